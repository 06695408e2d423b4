// Writes the engine inputs of the optimiser benchmark: one folder per run,
// holding "pedfile.dat", "datafile.dat" and "switches" (the unknownvant and
// ilinkvant switches of the run, one line each), as the joint program's
// schedule would write them for a trait locus and one marker.
//
// The data are simulated: founders carry (trait allele, marker allele)
// haplotypes, with the marker allele drawn from a distribution that depends
// on the trait allele (linkage disequilibrium), and pass them on with
// recombination between the two loci. Only carriers of the disease allele
// are affected, so the dominant analysis model (penetrances 0, 1e-5, 1e-5)
// fits every pedigree. Families have three generations of ten persons;
// trios are an affected child and its parents.
//
// Usage: bench_optimiser_cases OUT_DIR
#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "locus.h"
#include "locus_file.h"

namespace {

struct DataSet {
    std::string name;
    int alleles;  // marker alleles simulated
    int families;
    int trios;
    bool xlinked;
    unsigned seed;
};

struct Hypothesis {
    std::string name;
    bool linkage;
    bool ld;
};

const std::array<Hypothesis, 4> hypotheses = {{
    {"H0", false, false},
    {"H1", true, false},
    {"H2", false, true},
    {"H3", true, true},
}};

using Haplotype = std::array<int, 2>;  // trait allele (1 normal, 2 disease), marker allele

struct Person {
    int id, father, mother, sex;            // sex 1 male, 2 female
    std::array<Haplotype, 2> haplotypes{};  // males of X-linked data: both the one X
    int affection = 0;
    bool genotyped = true;
};

class Simulator {
  public:
    Simulator(const DataSet& set)
        : set_(set),
          random_(set.seed),
          normal_(markerWeights(set.alleles, false)),
          disease_(markerWeights(set.alleles, true)) {}

    std::vector<std::vector<Person>> pedigrees() {
        std::vector<std::vector<Person>> result;
        for (int f = 0; f < set_.families; ++f)
            result.push_back(family());
        for (int t = 0; t < set_.trios; ++t)
            result.push_back(trio());
        return result;
    }

  private:
    // A skewed allele distribution; under the disease allele the first
    // alleles are favoured, which is the disequilibrium the runs estimate.
    static std::discrete_distribution<int> markerWeights(int alleles, bool disease) {
        std::vector<double> weights(static_cast<std::size_t>(alleles));
        for (int a = 0; a < alleles; ++a)
            weights[a] = 1.0 + 4.0 / (1.0 + a) + (disease && a < 2 ? 3.0 : 0.0);
        return std::discrete_distribution<int>(weights.begin(), weights.end());
    }

    Haplotype founderHaplotype() {
        const int trait = std::bernoulli_distribution(0.15)(random_) ? 2 : 1;
        auto& markers = trait == 2 ? disease_ : normal_;
        return {trait, markers(random_) + 1};
    }

    Haplotype gamete(const Person& parent) {
        if (set_.xlinked && parent.sex == 1)
            return parent.haplotypes[0];
        const int first = coin(random_);
        Haplotype h = parent.haplotypes[first];
        if (std::bernoulli_distribution(0.1)(random_))
            h[1] = parent.haplotypes[1 - first][1];
        return h;
    }

    void makeFounder(Person& p) {
        p.haplotypes[0] = founderHaplotype();
        p.haplotypes[1] = set_.xlinked && p.sex == 1 ? p.haplotypes[0] : founderHaplotype();
    }

    void makeChild(Person& child, const Person& father, const Person& mother) {
        const Haplotype fromMother = gamete(mother);
        if (set_.xlinked && child.sex == 1)
            child.haplotypes = {fromMother, fromMother};
        else
            child.haplotypes = {gamete(father), fromMother};
    }

    // Carriers are affected with probability 0.6, non-carriers never.
    void phenotype(Person& p) {
        const bool carrier = p.haplotypes[0][0] == 2 || p.haplotypes[1][0] == 2;
        p.affection = carrier && std::bernoulli_distribution(0.6)(random_) ? 2 : 1;
        p.genotyped = std::bernoulli_distribution(0.9)(random_);
    }

    std::vector<Person> family() {
        std::vector<Person> p = {{1, 0, 0, 1}, {2, 0, 0, 2}, {3, 1, 2, 1}, {4, 1, 2, 2},
                                 {5, 0, 0, 2}, {6, 3, 5, 1}, {7, 3, 5, 2}, {8, 3, 5, 1},
                                 {9, 3, 5, 2}, {10, 3, 5, 1}};
        for (Person& person : p) {
            if (person.father == 0)
                makeFounder(person);
            else
                makeChild(person, p[person.father - 1], p[person.mother - 1]);
            phenotype(person);
        }
        return p;
    }

    std::vector<Person> trio() {
        std::vector<Person> p;
        do {
            p = {{1, 0, 0, 1}, {2, 0, 0, 2}, {3, 1, 2, 1 + coin(random_)}};
            makeFounder(p[0]);
            makeFounder(p[1]);
            makeChild(p[2], p[0], p[1]);
            for (Person& person : p)
                phenotype(person);
        } while (p[2].affection != 2);
        for (Person& person : p)
            person.genotyped = true;
        return p;
    }

    const DataSet set_;
    std::mt19937 random_;
    std::uniform_int_distribution<int> coin{0, 1};
    std::discrete_distribution<int> normal_;
    std::discrete_distribution<int> disease_;
};

// Alleles that occur in the data, renumbered 1 .. k in their order, so that
// the highest-numbered allele occurs as the engine needs; the frequencies
// are the genotyped persons' allele counts.
std::vector<double> renumberAlleles(std::vector<std::vector<Person>>& pedigrees) {
    std::vector<int> counts;
    for (const auto& pedigree : pedigrees)
        for (const Person& p : pedigree)
            for (const Haplotype& h : p.haplotypes)
                if (p.genotyped) {
                    if (static_cast<std::size_t>(h[1]) > counts.size())
                        counts.resize(static_cast<std::size_t>(h[1]), 0);
                    ++counts[static_cast<std::size_t>(h[1] - 1)];
                }
    std::vector<int> number(counts.size() + 1, 0);
    std::vector<double> frequencies;
    for (std::size_t a = 0; a < counts.size(); ++a) {
        if (counts[a] > 0) {
            frequencies.push_back(counts[a]);
            number[a + 1] = static_cast<int>(frequencies.size());
        }
    }
    for (auto& pedigree : pedigrees)
        for (Person& p : pedigree)
            for (Haplotype& h : p.haplotypes)
                h[1] = number[static_cast<std::size_t>(h[1])];
    const double total = std::accumulate(frequencies.begin(), frequencies.end(), 0.0);
    for (double& value : frequencies)
        value /= total;
    return frequencies;
}

// The post-MAKEPED pointer columns: first offspring, next paternal and next
// maternal sib, found by id order.
void writePedigreeFile(const std::string& path, const std::vector<std::vector<Person>>& pedigrees,
                       bool xlinked) {
    std::ofstream out(path);
    for (std::size_t k = 0; k < pedigrees.size(); ++k) {
        const auto& ped = pedigrees[k];
        for (const Person& p : ped) {
            const auto childOf = [&](int parent, std::size_t after) {
                for (std::size_t c = after; c < ped.size(); ++c)
                    if (ped[c].father == parent || ped[c].mother == parent)
                        return ped[c].id;
                return 0;
            };
            const auto nextSib = [&](int parent, bool paternal) {
                for (std::size_t c = static_cast<std::size_t>(p.id); c < ped.size(); ++c)
                    if ((paternal ? ped[c].father : ped[c].mother) == parent)
                        return ped[c].id;
                return 0;
            };
            out << k + 1 << ' ' << p.id << ' ' << p.father << ' ' << p.mother << ' '
                << childOf(p.id, 0) << ' ' << (p.father ? nextSib(p.father, true) : 0) << ' '
                << (p.mother ? nextSib(p.mother, false) : 0) << ' ' << p.sex << ' '
                << (p.id == 1 ? 1 : 0) << ' ' << p.affection;
            if (!p.genotyped)
                out << " 0 0";
            else if (xlinked && p.sex == 1)
                out << ' ' << p.haplotypes[0][1] << ' ' << p.haplotypes[0][1];
            else
                out << ' ' << p.haplotypes[0][1] << ' ' << p.haplotypes[1][1];
            out << '\n';
        }
    }
}

// The datafile of one hypothesis as the joint program builds it: the
// dominant trait locus, the marker, theta 0.5 without linkage and 0.05 with
// it (the H3 run starts from the same 0.05, not from an H1 estimate, so
// that both optimisers start every run from the same point).
bool writeDatafile(const std::string& path, const std::vector<double>& frequencies, bool xlinked,
                   const Hypothesis& h) {
    LinkageLocusFile file;
    file.setNumberOfLoci(2);
    file.setLocusOrder({1, 2});
    file.setSexLink(xlinked ? 1 : 0);
    file.setProgramNumber(LinkageLocusFile::ilinkProgram);
    auto* trait = new Locus("VT_DISEASE_LOCUS", Locus::affectionType, 2);
    if (xlinked)
        trait->setXlinked();
    trait->addAlleleFrequencies({0.99999, 1e-05});
    trait->setFemalePenetrances({0.0, 1e-05, 1e-05});
    if (xlinked)
        trait->setMalePenetrances({0.0, 1e-05});
    file.addLocus(trait);
    const int n = static_cast<int>(frequencies.size());
    auto* marker = new Locus("MARKER", Locus::numberedAllelesType, n);
    marker->addAlleleFrequencies(frequencies);
    marker->setHaplotypeFrequenciesOnOff(h.ld);
    file.setCondHaplotypeFrequencies(h.ld);
    if (h.ld) {
        marker->setHaplotypeFrequencies(frequencies);
        marker->setHaplotypeFrequenciesCond(frequencies);
    }
    file.addLocus(marker);
    file.setEstimateAlleleFrequencies(std::vector<bool>(static_cast<std::size_t>(n), true));
    file.setEstimateHaplotypeFrequencies(std::vector<bool>(2 * static_cast<std::size_t>(n), true));
    file.setRecombinationFraction(h.linkage ? 0.05 : 0.5);
    file.setIteratedLocus(2);
    file.setEstimateTheta(h.linkage);
    return file.writeLocusFile(path);
}

// The phase-known family: the father's phase is known from his homozygous
// parents and the mother is homozygous, so each of the ten children shows
// its paternal gamete; 2 recombinants among 10 meioses give theta-hat 0.2.
void writePhaseKnownFamily(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    const std::vector<std::array<int, 2>> gametes = {{1, 2}, {2, 1}, {1, 1}, {1, 1}, {1, 1},
                                                     {2, 2}, {2, 2}, {2, 2}, {2, 2}, {1, 1}};
    std::ofstream ped(dir / "pedfile.dat");
    ped << "1 1 0 0 3 0 0 1 1 1 1 1 1\n1 2 0 0 3 0 0 2 0 2 2 2 2\n"
        << "1 3 1 2 5 0 0 1 0 1 2 1 2\n1 4 0 0 5 0 0 2 0 3 3 3 3\n";
    for (std::size_t c = 0; c < gametes.size(); ++c) {
        const std::size_t id = c + 5, next = c + 1 < gametes.size() ? id + 1 : 0;
        ped << "1 " << id << " 3 4 0 " << next << ' ' << next << ' ' << 1 + c % 2 << " 0 "
            << gametes[c][0] << " 3 " << gametes[c][1] << " 3\n";
    }
    const std::string third = "0.3333333333333333 0.3333333333333333 0.3333333333333334\n";
    std::ofstream data(dir / "datafile.dat");
    data << "2 0 0 3\n0 0.0 0.0 0\n1 2\n3 3\n" << third << "3 3\n" << third << "0 0\n0.1\n0\n1 1\n";
    std::ofstream(dir / "switches") << "\n-n -b\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: bench_optimiser_cases OUT_DIR\n";
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path out = argv[1];
    // name, alleles, families, trios, X-linked, seed; the hypotheses run on
    // each set follow below.
    const std::vector<std::pair<DataSet, std::string>> sets = {
        {{"family+trios", 4, 3, 10, false, 11}, "H0 H1 H2 H3"},
        {{"2-allele", 2, 10, 20, false, 12}, "H0 H1 H2 H3"},
        {{"6-allele", 6, 10, 30, false, 13}, "H0 H1 H2 H3"},
        {{"8-allele", 8, 10, 30, false, 14}, "H0 H1 H2 H3"},
        {{"12-allele", 12, 15, 40, false, 15}, "H2 H3"},
        {{"X-linked", 5, 12, 25, true, 16}, "H0 H1 H2 H3"},
        {{"45-allele", 45, 6, 30, false, 17}, "H3"},
        {{"45-allele-8fam", 45, 8, 40, false, 17}, "H3"},
    };
    writePhaseKnownFamily(out / "phase-known_H1");
    for (const auto& [set, runs] : sets) {
        auto pedigrees = Simulator(set).pedigrees();
        const std::vector<double> frequencies = renumberAlleles(pedigrees);
        for (const Hypothesis& h : hypotheses) {
            if (runs.find(h.name) == std::string::npos)
                continue;
            const fs::path dir = out / (set.name + "_" + h.name);
            fs::create_directories(dir);
            writePedigreeFile((dir / "pedfile.dat").string(), pedigrees, set.xlinked);
            if (!writeDatafile((dir / "datafile.dat").string(), frequencies, set.xlinked, h))
                return 1;
            std::ofstream switches(dir / "switches");
            switches << (h.ld ? "-c" : "") << '\n'
                     << "-n" << (h.linkage ? " -b" : "") << (h.ld ? " -c" : "") << '\n';
        }
    }
    return 0;
}
