#include "recombination_table.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine_globals.h"

namespace {

constexpr int kMaxPatterns = 128;
// Gametes that need more crossovers than this are given probability 0.
constexpr int kMaxRecombinations = ENGINE_MAXLOCUS;

using Strands = std::array<char, ENGINE_MAXLOCUS>;

struct ClassBlock {
    int nextIndex = 0;
    double c1 = 0.0, c2 = 0.0, c3 = 0.0, c4 = 0.0;
};

struct Walk {
    ClassBlock* block = nullptr;
    EngineFractions* record = nullptr;
    double* table = nullptr;
    int tableIndex = 0;
    int patternCount = 0;
    bool heterozygous[ENGINE_MAXLOCUS] = {};
    Strands haplotype1 = {};
    Strands haplotype2 = {};
    Strands patterns1[kMaxPatterns] = {};
    Strands patterns2[kMaxPatterns] = {};
};

// Probability of an odd number of crossovers over two adjacent intervals.
double combine(double theta, double next) {
    return theta * (1.0 - next) + (1.0 - theta) * next;
}

void appendEntry(Walk* walk, double probability) {
    walk->table[walk->tableIndex++] = probability;
}

void storePattern(Walk* walk, double probability) {
    walk->patterns1[walk->patternCount] = walk->haplotype1;
    walk->patterns2[walk->patternCount] = walk->haplotype2;
    ++walk->patternCount;
    appendEntry(walk, probability);
}

// `locus` is 1-based: the heterozygous locus whose phase was just fixed.
void nexthet(int locus, int firstStrand, Walk* walk, double p) {
    const double* theta = walk->record->fractions;
    double recval = theta[locus - 1];
    do {
        ++locus;
        walk->haplotype1[locus - 1] = 0;
        walk->haplotype2[locus - 1] = 0;
        if (!walk->heterozygous[locus - 1] && locus != mlocus)
            recval = combine(recval, theta[locus - 1]);
    } while (locus != mlocus && !walk->heterozygous[locus - 1]);

    const double inPhase = firstStrand ? p * (1.0 - recval) : p * recval;
    const double outOfPhase = firstStrand ? p * recval : p * (1.0 - recval);
    if (locus != mlocus) {
        walk->haplotype1[locus - 1] = 1;
        walk->haplotype2[locus - 1] = 2;
        nexthet(locus, 1, walk, inPhase);
        walk->haplotype1[locus - 1] = 2;
        walk->haplotype2[locus - 1] = 1;
        nexthet(locus, 0, walk, outOfPhase);
        return;
    }
    if (!walk->heterozygous[locus - 1]) {
        storePattern(walk, p);
        return;
    }
    walk->haplotype1[locus - 1] = 1;
    walk->haplotype2[locus - 1] = 2;
    storePattern(walk, inPhase);
    walk->haplotype1[locus - 1] = 2;
    walk->haplotype2[locus - 1] = 1;
    storePattern(walk, outOfPhase);
}

// Three loci under interference: the classes c1..c4 give the double
// heterozygote's gametes directly.
void interferenceEntries(Walk* walk) {
    const bool h1 = walk->heterozygous[0], h2 = walk->heterozygous[1], h3 = walk->heterozygous[2];
    const double* theta = walk->record->fractions;
    auto pairEntries = [walk](double t) {
        for (const double p : {0.5 - 0.5 * t, 0.5 * t, 0.5 * t, 0.5 - 0.5 * t})
            storePattern(walk, p);
    };
    if (h1 && h2 && !h3) {
        pairEntries(theta[0]);
    } else if (!h1 && h2 && h3) {
        pairEntries(theta[mlocus - 2]);
    } else if (h1 && !h2 && h3) {
        pairEntries(theta[mlocus - 1]);
    } else if (h1 && h2 && h3) {
        const ClassBlock& c = *walk->block;
        for (const double p : {c.c4, c.c2, c.c3, c.c1, c.c2, c.c4, c.c1, c.c3, c.c3, c.c1, c.c4,
                               c.c2, c.c1, c.c3, c.c2, c.c4})
            storePattern(walk, 0.5 * p);
    } else {
        storePattern(walk, 0.5);
    }
}

// Rows of transmission probabilities between every stored phase pattern
// and every other, for a parent heterozygous at two or more loci.
void pairwiseRows(Walk* walk, int firstHet) {
    const double* theta = walk->record->fractions;
    const int n = walk->patternCount;
    for (int a = 1; a < n; ++a) {
        walk->haplotype1 = walk->patterns1[a];
        for (int b = 0; b < n; ++b) {
            double u = 0.5;
            bool firstStrandOfB = true;
            int recombinations = 0;
            double recval = theta[firstHet];
            for (int locus = firstHet + 1; locus < mlocus; ++locus) {
                if (!walk->heterozygous[locus]) {
                    recval = combine(recval, theta[locus]);
                    continue;
                }
                const Strands& strand = firstStrandOfB ? walk->patterns1[b] : walk->patterns2[b];
                if (strand[locus] == walk->haplotype1[locus]) {
                    u *= 1.0 - recval;
                } else {
                    u *= recval;
                    ++recombinations;
                    firstStrandOfB = !firstStrandOfB;
                }
                recval = theta[locus];
            }
            appendEntry(walk, recombinations > kMaxRecombinations ? 0.0 : u);
        }
    }
}

void getrecprob(Walk* walk) {
    walk->patternCount = 0;
    walk->tableIndex = walk->block->nextIndex;
    int locus = 0;  // 0-based scan position
    for (;; ++locus) {
        const bool het = walk->heterozygous[locus];
        walk->haplotype1[locus] = het ? 1 : 0;
        walk->haplotype2[locus] = het ? 2 : 0;
        if (het || locus == mlocus - 1)
            break;
    }
    if (locus == mlocus - 1)
        storePattern(walk, 0.5);
    else if (interfer)
        interferenceEntries(walk);
    else
        nexthet(locus + 1, 1, walk, 0.5);
    if (!interfer && walk->patternCount > 1)
        pairwiseRows(walk, locus);
    walk->block->nextIndex = walk->tableIndex;
}

// Visits every heterozygosity pattern, homozygous before heterozygous, the
// first locus varying slowest; `locus` is 1-based.
void gethet(int* locus, Walk* walk) {
    int next = *locus + 1;
    for (const bool het : {false, true}) {
        walk->heterozygous[*locus - 1] = het;
        if (*locus != mlocus)
            gethet(&next, walk);
        else
            getrecprob(walk);
    }
}

void fillTable(EngineFractions* record, ClassBlock* block) {
    Walk walk;
    block->nextIndex = 0;
    walk.block = block;
    walk.record = record;
    walk.table = record->transmissionTable;
    int first = 1;
    gethet(&first, &walk);
}

// Optimiser values of the interference model live on a logistic scale;
// turns them into class probabilities and the three fractions they imply.
void classesFromLogistic(double* f, double* o, ClassBlock* c) {
    const int m = mlocus;
    for (int k = 0; k < m; ++k)
        o[k] = 1.0 / (1.0 + std::exp(o[k]));
    f[0] = o[0] + o[m - 1];
    f[m - 2] = o[m - 2] + o[m - 1];
    f[m - 1] = o[0] + o[m - 2];
    c->c1 = o[0];
    c->c2 = o[m - 2];
    c->c3 = o[m - 1];
    c->c4 = 1.0 - o[0] - o[m - 2] - o[m - 1];
}

void classesFromFractions(const double* f, ClassBlock* c) {
    const int m = mlocus;
    c->c1 = (f[0] + f[m - 1] - f[m - 2]) * 0.5;
    c->c2 = (f[m - 2] + f[m - 1] - f[0]) * 0.5;
    c->c3 = (f[m - 2] + f[0] - f[m - 1]) * 0.5;
    c->c4 = 1.0 - c->c1 - c->c2 - c->c3;
}

bool admissible(const ClassBlock& c) {
    return std::min({c.c1, c.c2, c.c3, c.c4}) >= 0.0;
}

void checkLocusCount() {
    if (mlocus < 1 || mlocus > ENGINE_MAXLOCUS) {
        std::fprintf(stderr, "recombination: %d loci, but this engine build holds at most %d\n",
                     mlocus, ENGINE_MAXLOCUS);
        std::exit(EXIT_FAILURE);
    }
    if (interfer && mlocus != 3) {
        std::fprintf(stderr, "recombination: the interference model needs 3 loci, not %d\n",
                     mlocus);
        std::exit(EXIT_FAILURE);
    }
}

}  // namespace

extern "C" void recombination(void) {
    checkLocusCount();
    const int m = mlocus;
    ClassBlock classes;
    double o[ENGINE_MAXLOCUS] = {};

    EngineFractions* male = maletheta;
    if (interfer) {
        if (mapping)
            male->fractions[m - 1] = mapfunction(male->fractions[m - 2], male->fractions[0]);
        std::copy(male->fractions, male->fractions + ENGINE_MAXLOCUS, o);
        if (mapping || dolod)
            classesFromFractions(male->fractions, &classes);
        else
            classesFromLogistic(male->fractions, o, &classes);
        if (!admissible(classes)) {
            penalty = 1;
            return;
        }
    }
    fillTable(male, &classes);
    if (!sexdif)
        return;

    if (!readfemale) {
        if (interfer && !dolod) {
            male->fractions[0] = o[0] + o[m - 1];
            male->fractions[m - 2] = o[m - 2] + o[m - 1];
            male->fractions[m - 1] = o[0] + o[m - 2];
        }
        const int intervals = interfer ? m : m - 1;
        for (int k = 0; k < intervals; ++k) {
            double distance = distratio * getdist(&male->fractions[k]);
            femaletheta->fractions[k] = invdist(&distance);
        }
    }
    EngineFractions* female = femaletheta;
    if (interfer) {
        if (mapping)
            female->fractions[m - 1] = mapfunction(female->fractions[m - 2], female->fractions[0]);
        if (readfemale && !mapping && !dolod) {
            std::copy(female->fractions, female->fractions + ENGINE_MAXLOCUS, o);
            classesFromLogistic(female->fractions, o, &classes);
        } else {
            classesFromFractions(female->fractions, &classes);
        }
        if (!admissible(classes)) {
            penalty = 1;
            return;
        }
    }
    fillTable(female, &classes);
}
