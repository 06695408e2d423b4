// Writes the inputs of the optimiser benchmark: data sets for the joint
// program, one folder each, and "runs.txt", one line per joint-program run
// to make on them: a label (where "%m" stands for the marker), the folder,
// the marker and the program's other arguments. bench/optimiser_bench.sh runs them with an
// ilinkvant that keeps every engine input it is given, so that the cases are
// exactly what the joint program sends the engine. One case the joint
// program cannot make goes straight to the engine's inputs: the
// phase-known family, in "engine/phase-known_H1", with the switches of
// unknownvant ("unknown-switches") and ilinkvant ("switches").
//
// The data sets are simulated: founders carry (trait allele, marker allele)
// haplotypes, with the marker allele drawn from a distribution that depends
// on the trait allele (linkage disequilibrium), and pass them on with
// recombination between the two loci. Only carriers of the disease allele
// are affected, so the dominant analysis model fits every pedigree.
// Families have three generations of ten persons; trios are an affected
// child and its parents; cases and controls are unrelated affected and
// unaffected persons. One more set holds the data of the joint program's
// known-answer test (vantrel/tests/joint_analysis_test.cpp).
//
// Usage: bench_optimiser_cases OUT_DIR
#include <array>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "known_answer_data.h"

namespace {

struct DataSet {
    std::string name;
    int alleles;  // marker alleles simulated
    int families;
    int trios;
    int cases;
    int controls;
    bool xlinked;
    unsigned seed;
};

using Haplotype = std::array<int, 2>;  // trait allele (1 normal, 2 disease), marker allele

struct Person {
    int id, father, mother, sex;            // sex 1 male, 2 female
    std::array<Haplotype, 2> haplotypes{};  // males of X-linked data: both the one X
    int affection = 0;
    bool genotyped = true;
};

class Simulator {
  public:
    explicit Simulator(const DataSet& set)
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

    // Unrelated persons of the given affection (2 affected, 1 not), men
    // and women in turn.
    std::vector<Person> singletons(int count, int affection) {
        std::vector<Person> result;
        while (static_cast<int>(result.size()) < count) {
            const int id = static_cast<int>(result.size()) + 1;
            Person p{id, 0, 0, 2 - id % 2};
            makeFounder(p);
            phenotype(p);
            if (p.affection == affection) {
                p.genotyped = true;
                result.push_back(p);
            }
        }
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

std::string genotype(const Person& p, bool xlinked) {
    if (!p.genotyped)
        return "0 0";
    const int second = xlinked && p.sex == 1 ? p.haplotypes[0][1] : p.haplotypes[1][1];
    return std::to_string(p.haplotypes[0][1]) + ' ' + std::to_string(second);
}

// The post-MAKEPED layout: first offspring, next paternal and next maternal
// sib, found by id order.
std::string pedigreeText(const std::vector<std::vector<Person>>& pedigrees, bool xlinked) {
    std::ostringstream out;
    for (std::size_t k = 0; k < pedigrees.size(); ++k) {
        const auto& ped = pedigrees[k];
        for (const Person& p : ped) {
            const auto firstChild = [&] {
                for (const Person& c : ped)
                    if (c.father == p.id || c.mother == p.id)
                        return c.id;
                return 0;
            };
            const auto nextSib = [&](int parent, bool paternal) {
                for (std::size_t c = static_cast<std::size_t>(p.id); c < ped.size(); ++c)
                    if ((paternal ? ped[c].father : ped[c].mother) == parent)
                        return ped[c].id;
                return 0;
            };
            out << k + 1 << ' ' << p.id << ' ' << p.father << ' ' << p.mother << ' ' << firstChild()
                << ' ' << (p.father ? nextSib(p.father, true) : 0) << ' '
                << (p.mother ? nextSib(p.mother, false) : 0) << ' ' << p.sex << ' '
                << (p.id == 1 ? 1 : 0) << ' ' << p.affection << ' ' << genotype(p, xlinked) << '\n';
        }
    }
    return out.str();
}

// The joint program's own layout of unrelated persons, one marker.
std::string singletonText(const std::vector<Person>& persons, const char* prefix, bool xlinked) {
    std::ostringstream out;
    out << "1\n";
    for (const Person& p : persons)
        out << prefix << p.id << ' ' << p.sex << ' ' << genotype(p, xlinked) << '\n';
    return out.str();
}

void write(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path) << text;
}

// Unrelated persons as the joint program gives them to the engine: a man
// and a woman of one kind as the parents of an untyped child.
std::vector<std::vector<Person>> dummyPedigrees(const std::vector<Person>& persons) {
    std::vector<std::vector<Person>> pedigrees;
    for (std::size_t k = 0; k + 1 < persons.size(); k += 2) {
        Person father = persons[k], mother = persons[k + 1];
        father.id = 1;
        mother.id = 2;
        Person child{3, 1, 2, 1};
        child.genotyped = false;
        pedigrees.push_back({father, mother, child});
    }
    return pedigrees;
}

// A simulated set and its joint-program run under the dominant model, the
// model the data follow. The joint program needs a pedigree file: a set of
// cases and controls alone gives them in it, as the dummy pedigrees the
// program would make of them.
std::string writeSimulatedSet(const std::filesystem::path& dir, const DataSet& set) {
    std::filesystem::create_directories(dir);
    Simulator simulator(set);
    std::string arguments = "--post --pedigreefile families.ped --mapfile markers.map --dom";
    write(dir / "markers.map",
          std::string("CHROMOSOME haldane MARKER\n") + (set.xlinked ? "X" : "1") + " 0.0 M\n");
    if (set.families == 0 && set.trios == 0) {
        auto pedigrees = dummyPedigrees(simulator.singletons(set.cases, 2));
        for (auto& pedigree : dummyPedigrees(simulator.singletons(set.controls, 1)))
            pedigrees.push_back(std::move(pedigree));
        write(dir / "families.ped", pedigreeText(pedigrees, set.xlinked));
        return set.name + ' ' + set.name + " M " + arguments + (set.xlinked ? " --xlinked" : "");
    }
    write(dir / "families.ped", pedigreeText(simulator.pedigrees(), set.xlinked));
    if (set.cases > 0) {
        write(dir / "cases.gt",
              singletonText(simulator.singletons(set.cases, 2), "c", set.xlinked));
        arguments += " --casemap markers.map --casegt cases.gt";
    }
    if (set.controls > 0) {
        write(dir / "controls.gt",
              singletonText(simulator.singletons(set.controls, 1), "k", set.xlinked));
        arguments += " --controlmap markers.map --controlgt controls.gt";
    }
    if (set.xlinked)
        arguments += " --xlinked";
    return set.name + ' ' + set.name + " M " + arguments;
}

std::vector<std::string> writeTestSet(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    write(dir / "fam.ped", known_answer::families());
    for (const char* name : {"fam.map", "cases.map", "controls.map"})
        write(dir / name, known_answer::map);
    write(dir / "cases.gt", known_answer::cases());
    write(dir / "controls.gt", known_answer::controls());
    write(dir / "dominant.model", "0 0.001 1\n0 1 1\n");
    const std::string arguments =
        "-p fam.ped --post -m fam.map --casemap cases.map --casegt cases.gt --controlmap "
        "controls.map --controlgt controls.gt";
    std::vector<std::string> runs;
    for (const char* marker : {"M1", "M2"}) {
        const std::string where = std::string(" test ") + marker + ' ' + arguments;
        runs.push_back("test_dom_%m" + where + " --dom");
        runs.push_back("test_rec_%m" + where + " --rec");
        runs.push_back("test_model_%m" + where + " --model -k dominant.model");
    }
    return runs;
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
    write(dir / "datafile.dat",
          "2 0 0 3\n0 0.0 0.0 0\n1 2\n3 3\n" + third + "3 3\n" + third + "0 0\n0.1\n0\n1 1\n");
    write(dir / "unknown-switches", "\n");
    write(dir / "switches", "-n -b\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: bench_optimiser_cases OUT_DIR\n";
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path out = argv[1];
    // name, alleles, families, trios, cases, controls, X-linked, seed.
    // The largest first: the bench captures them in this order, and they
    // take longest.
    const std::vector<DataSet> sets = {
        {"45-allele", 45, 6, 30, 0, 0, false, 17},
        {"cc-24-allele", 24, 0, 0, 50, 50, false, 21},
        {"12-allele", 12, 15, 40, 0, 0, false, 15},
        {"cc-10-allele", 10, 0, 0, 40, 40, false, 20},
        {"8-allele", 8, 10, 30, 0, 0, false, 14},
        {"6-allele", 6, 10, 30, 0, 0, false, 13},
        {"families+cc-6-allele", 6, 8, 0, 30, 30, false, 19},
        {"X-linked", 5, 12, 25, 0, 0, true, 16},
        {"X-linked+cc-4-allele", 4, 8, 10, 20, 20, true, 22},
        {"family+trios", 4, 3, 10, 0, 0, false, 11},
        {"trios-3-allele", 3, 0, 40, 0, 0, false, 18},
        {"2-allele", 2, 10, 20, 0, 0, false, 12},
    };
    fs::create_directories(out);
    std::ofstream runs(out / "runs.txt");
    for (const DataSet& set : sets)
        runs << writeSimulatedSet(out / "sets" / set.name, set) << '\n';
    for (const std::string& line : writeTestSet(out / "sets" / "test"))
        runs << line << '\n';
    writePhaseKnownFamily(out / "engine" / "phase-known_H1");
    return runs ? 0 : 1;
}
