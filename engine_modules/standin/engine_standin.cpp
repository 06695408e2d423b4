#include "engine_standin.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

constexpr int kMaxPersons = 1000;
constexpr int kMaxPedigrees = 150;
constexpr int kMaxParameters = 100;
constexpr int kTableSize = 4096;

double maleTable[kTableSize];
double femaleTable[kTableSize];
EngineFractions maleRecord;
EngineFractions femaleRecord;
EnginePerson persons[kMaxPersons + 1];
EngineLocus loci[ENGINE_MAXLOCUS];

double logOr(double p, double count) {
    return count == 0.0 ? 0.0 : count * std::log(p);
}

// Loads one block of `n` values and its implicit last entry; true when the
// last entry is negative.
bool loadBlock(const double* values, int n, std::vector<double>* block) {
    block->assign(values, values + n);
    block->push_back(1.0 - std::accumulate(values, values + n, 0.0));
    return block->back() < 0.0;
}

double multinomial(const std::vector<double>& p, const std::vector<double>& counts) {
    double sum = 0.0;
    for (std::size_t a = 0; a < counts.size() && a < p.size(); ++a)
        sum += logOr(p[a], counts[a]);
    return sum;
}

}  // namespace

StandinModel standinModel;

extern "C" {
int mlocus;
EngineBool interfer, mapping, dolod, sexdif, readfemale, disequi, disfreqs;
EngineBool penalty, firsttime;
double distratio;
int nall, itsys, totperson, nuped, thisc, nit, nfe, nuhap;
double xall[kMaxParameters], x[kMaxParameters], outsavex[kMaxParameters], likebyped[kMaxPedigrees];
int itp[kMaxParameters];
double like, alike, outsavefvalue, f;
int i;
int mymaxped;
int* pedidx2num;
EngineFractions *maletheta, *femaletheta;
EnginePerson* person[kMaxPersons + 1];
EnginePerson* proband[kMaxPedigrees];
EngineLocus* thislocus[ENGINE_MAXLOCUS];
EnginePedigreeLocations* ped_loc_all;

void setparam(void) {
    penalty = 0;
    int k = 0;
    for (int t = 0; t < mlocus - 1; ++t)
        maletheta->fractions[t] = xall[k++];
    if (itsys == 0)
        return;
    const int n = thislocus[itsys - 1]->nallele - 1;
    penalty = loadBlock(xall + k, n, &standinModel.frequencies);
    if (disfreqs)
        penalty = loadBlock(xall + k + n, n, &standinModel.condFrequencies) || penalty;
}

// Haldane's map function.
double mapfunction(double theta1, double theta2) {
    return theta1 + theta2 - 2.0 * theta1 * theta2;
}
double getdist(double* theta) {
    return -0.5 * std::log(1.0 - 2.0 * *theta);
}
double invdist(double* distance) {
    return 0.5 * (1.0 - std::exp(-2.0 * *distance));
}

void open_loop_file(void) {
    ++standinModel.loopFileOpens;
}
void read_loop_file(int) {}
void close_loop_file(void) {
    ++standinModel.loopFileCloses;
}

void likelihood(int, EnginePerson*) {
    StandinModel& m = standinModel;
    ++m.likelihoodCalls;
    const bool stale = std::any_of(person + 1, person + totperson + 1, [](EnginePerson* p) {
        return p->done != 0 || p->firstpass != 1;
    });
    if (stale)
        ++m.staleFlagCalls;
    const double theta = maletheta->fractions[0];
    double total = logOr(theta, m.recombinants) + logOr(1.0 - theta, m.meioses - m.recombinants);
    total += multinomial(m.frequencies, m.alleleCounts);
    total += multinomial(m.condFrequencies, m.condAlleleCounts);
    like = total / nuped;
    thisc = 60000;
}
}

void standinReset(int lociCount, int personCount, int pedigreeCount) {
    standinModel = StandinModel{};
    mlocus = lociCount;
    interfer = mapping = dolod = sexdif = readfemale = disequi = disfreqs = 0;
    penalty = 0;
    firsttime = 1;
    distratio = 1.0;
    nall = itsys = nit = nfe = nuhap = 0;
    thisc = 0;
    std::fill(std::begin(xall), std::end(xall), 0.0);
    std::fill(std::begin(x), std::end(x), 0.0);
    std::fill(std::begin(outsavex), std::end(outsavex), 0.0);
    std::fill(std::begin(itp), std::end(itp), 0);
    like = alike = outsavefvalue = f = 0.0;
    i = 0;
    std::fill(std::begin(maleTable), std::end(maleTable), -1.0);
    std::fill(std::begin(femaleTable), std::end(femaleTable), -1.0);
    maleRecord = EngineFractions{{0.5, 0.5, 0.5, 0.5}, maleTable};
    femaleRecord = EngineFractions{{0.5, 0.5, 0.5, 0.5}, femaleTable};
    maletheta = &maleRecord;
    femaletheta = &femaleRecord;
    totperson = personCount;
    for (int p = 0; p <= kMaxPersons; ++p) {
        persons[p] = EnginePerson{};
        persons[p].done = 1;  // as a previous evaluation leaves them
        persons[p].firstpass = 0;
        person[p] = &persons[p];
    }
    nuped = pedigreeCount;
    std::fill(std::begin(proband), std::end(proband), &persons[1]);
    for (int l = 0; l < ENGINE_MAXLOCUS; ++l) {
        loci[l] = EngineLocus{2};
        thislocus[l] = &loci[l];
    }
}

void standinSetLocus(int locus, int alleles) {
    itsys = locus;
    if (locus > 0)
        loci[locus - 1].nallele = alleles;
}

double* standinMaleTable() {
    return maleTable;
}
double* standinFemaleTable() {
    return femaleTable;
}
