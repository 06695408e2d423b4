// Writes the data sets of the per-marker benchmarks, pre-MAKEPED with an
// affection column and genotypes passed on by Mendel's rules, so the checks
// find nothing to report.
//
//   generate_families study MARKERS PEDIGREE_FILE MAP_FILE MODEL_FILE [SEED]
//       a study of 155 families and 1,002 persons: nuclear families of two
//       to five children and three-generation families (two untyped
//       grandparents, their son, his wife and their children), markers of 4
//       to 12 alleles with uneven frequencies, a few untyped genotypes, and a
//       dominant disease model
//   generate_families families PERSONS MARKERS PEDIGREE_FILE MAP_FILE MODEL_FILE [SEED]
//       the same mix of families, as many as make about PERSONS persons
//   generate_families sibships SIBSHIP_SIZE CHILDREN MARKERS PEDIGREE_FILE MAP_FILE [SEED]
//       CHILDREN children in full sibships of SIBSHIP_SIZE, each with an
//       untyped father and a typed mother, markers of 8 alleles
//   generate_families singletons PERSONS MARKERS CASE_FILE CONTROL_FILE PEDIGREE_FILE MAP_FILE
//   [SEED]
//       PERSONS unrelated persons, half cases and half controls of
//       alternating sex, in the own genotype layout, markers of 8 alleles;
//       and one small family, as a pedigree file must hold one
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Member {
    int father = 0;  // 1-based position in the family; 0: founder
    int mother = 0;
    int sex = 1;  // 1 male, 2 female
    bool typed = true;
};

using Family = std::vector<Member>;

int parse(const char* text, const char* what) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 1 || value > 1000000) {
        std::cerr << "generate_families: " << what << " must be a positive number, not " << text
                  << "\n";
        std::exit(2);
    }
    return static_cast<int>(value);
}

Family nuclearFamily(int children, bool fatherTyped) {
    Family family{{0, 0, 1, fatherTyped}, {0, 0, 2, true}};
    for (int c = 0; c < children; ++c) {
        family.push_back({1, 2, 1 + c % 2, true});
    }
    return family;
}

Family threeGenerationFamily(int children) {
    Family family{{0, 0, 1, false}, {0, 0, 2, false}, {1, 2, 1, true}, {0, 0, 2, true}};
    for (int c = 0; c < children; ++c) {
        family.push_back({3, 4, 1 + c % 2, true});
    }
    return family;
}

// Every third family of three generations: 155 families for 1,002 persons.
std::vector<Family> studyFamilies(int personCount) {
    const int familyCount = std::max(1, personCount * 155 / 1002);
    std::vector<int> children(static_cast<std::size_t>(familyCount));
    int persons = 0;
    for (int f = 0; f < familyCount; ++f) {
        children[f] = f % 3 == 2 ? 4 : 2 + f % 4;
        persons += (f % 3 == 2 ? 4 : 2) + children[f];
    }
    // Spread the remaining persons as extra children over the families.
    for (int f = 0; persons < personCount; f = (f + 7) % familyCount) {
        ++children[f];
        ++persons;
    }
    std::vector<Family> families;
    for (int f = 0; f < familyCount; ++f) {
        families.push_back(f % 3 == 2 ? threeGenerationFamily(children[f])
                                      : nuclearFamily(children[f], true));
    }
    return families;
}

class Writer {
  public:
    Writer(std::vector<int> alleleCounts, unsigned seed)
        : alleleCounts_(std::move(alleleCounts)), random_(seed) {
        for (const int count : alleleCounts_) {
            // Uneven frequencies: allele k weighs count + 1 - k.
            std::vector<double> weights;
            for (int k = 1; k <= count; ++k) {
                weights.push_back(count + 1 - k);
            }
            draws_.emplace_back(weights.begin(), weights.end());
        }
    }

    void writeFamily(std::ostream& out, int pedigree, const Family& family, double untypedShare) {
        const std::size_t markers = alleleCounts_.size();
        std::vector<std::pair<int, int>> genotypes(family.size() * markers);
        std::uniform_int_distribution<int> coin(0, 1);
        for (std::size_t k = 0; k < family.size(); ++k) {
            const Member& member = family[k];
            for (std::size_t m = 0; m < markers; ++m) {
                auto& g = genotypes[k * markers + m];
                if (member.father == 0) {
                    g = {1 + draws_[m](random_), 1 + draws_[m](random_)};
                } else {
                    const auto& f = genotypes[(member.father - 1) * markers + m];
                    const auto& mo = genotypes[(member.mother - 1) * markers + m];
                    g = {coin(random_) ? f.first : f.second, coin(random_) ? mo.first : mo.second};
                }
            }
        }
        std::bernoulli_distribution untyped(untypedShare);
        std::uniform_int_distribution<int> affection(0, 9);
        for (std::size_t k = 0; k < family.size(); ++k) {
            const Member& member = family[k];
            const int status = affection(random_);
            out << pedigree << ' ' << k + 1 << ' ' << member.father << ' ' << member.mother << ' '
                << member.sex << ' '
                << (status == 0  ? 0
                    : status < 4 ? 2
                                 : 1);
            for (std::size_t m = 0; m < markers; ++m) {
                if (!member.typed || untyped(random_)) {
                    out << " 0 0";
                } else {
                    const auto& g = genotypes[k * markers + m];
                    out << ' ' << g.first << ' ' << g.second;
                }
            }
            out << '\n';
        }
    }

    // Unrelated persons of alternating sex, in the own layout of case and
    // control files: the marker count, then an id, the sex and the alleles.
    void writeUnrelated(std::ostream& out, const std::string& idPrefix, int count) {
        out << alleleCounts_.size() << '\n';
        for (int k = 0; k < count; ++k) {
            out << idPrefix << k + 1 << ' ' << 1 + k % 2;
            for (auto& draw : draws_) {
                out << ' ' << 1 + draw(random_) << ' ' << 1 + draw(random_);
            }
            out << '\n';
        }
    }

  private:
    std::vector<int> alleleCounts_;
    std::mt19937 random_;
    std::vector<std::discrete_distribution<int>> draws_;
};

bool writeMap(const std::string& fileName, int markers) {
    std::ofstream map(fileName);
    map << "CHROMOSOME haldane MARKER\n";
    for (int m = 0; m < markers; ++m) {
        map << "1 " << 0.5 * m << " D1S" << (m + 1) << "\n";
    }
    map.close();
    return static_cast<bool>(map);
}

int fail(const std::string& fileName) {
    std::cerr << "generate_families: unable to write " << fileName << "\n";
    return 1;
}

int study(int personCount, char** argv, const char* seedText) {
    const int markers = parse(argv[0], "MARKERS");
    const unsigned seed = seedText ? static_cast<unsigned>(parse(seedText, "SEED")) : 20261210u;
    std::vector<int> alleleCounts;
    for (int m = 0; m < markers; ++m) {
        alleleCounts.push_back(4 + (m * 5) % 9);  // 4 to 12 alleles
    }
    Writer writer(alleleCounts, seed);
    std::ofstream ped(argv[1]);
    const std::vector<Family> families = studyFamilies(personCount);
    for (std::size_t f = 0; f < families.size(); ++f) {
        writer.writeFamily(ped, static_cast<int>(f + 1), families[f], 0.03);
    }
    ped.close();
    if (!ped) {
        return fail(argv[1]);
    }
    if (!writeMap(argv[2], markers)) {
        return fail(argv[2]);
    }
    // Dominant trait: allele frequency 0.001, penetrances 0.01, 0.95, 0.95.
    std::ofstream model(argv[3]);
    model << "0 0.001 1\n0.01 0.95 0.95\n";
    model.close();
    return model ? 0 : fail(argv[3]);
}

int singletons(int argc, char** argv) {
    const int persons = parse(argv[2], "PERSONS");
    const int markers = parse(argv[3], "MARKERS");
    const unsigned seed = argc == 9 ? static_cast<unsigned>(parse(argv[8], "SEED")) : 20261210u;
    Writer writer(std::vector<int>(static_cast<std::size_t>(markers), 8), seed);
    const std::pair<const char*, int> groups[] = {{"case", (persons + 1) / 2},
                                                  {"control", persons / 2}};
    for (int g = 0; g < 2; ++g) {
        std::ofstream out(argv[4 + g]);
        writer.writeUnrelated(out, groups[g].first, groups[g].second);
        out.close();
        if (!out) {
            return fail(argv[4 + g]);
        }
    }
    std::ofstream ped(argv[6]);
    writer.writeFamily(ped, 1, nuclearFamily(2, true), 0.0);
    ped.close();
    if (!ped) {
        return fail(argv[6]);
    }
    return writeMap(argv[7], markers) ? 0 : fail(argv[7]);
}

int sibships(int argc, char** argv) {
    const int size = parse(argv[2], "SIBSHIP_SIZE");
    const int children = parse(argv[3], "CHILDREN");
    const int markers = parse(argv[4], "MARKERS");
    const unsigned seed = argc == 8 ? static_cast<unsigned>(parse(argv[7], "SEED")) : 20261210u;
    Writer writer(std::vector<int>(static_cast<std::size_t>(markers), 8), seed);
    std::ofstream ped(argv[5]);
    const Family family = nuclearFamily(size, false);
    for (int f = 0; f < std::max(1, children / size); ++f) {
        writer.writeFamily(ped, f + 1, family, 0.0);
    }
    ped.close();
    if (!ped) {
        return fail(argv[5]);
    }
    return writeMap(argv[6], markers) ? 0 : fail(argv[6]);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "study" && (argc == 6 || argc == 7)) {
        return study(1002, argv + 2, argc == 7 ? argv[6] : nullptr);
    }
    if (mode == "families" && (argc == 7 || argc == 8)) {
        return study(parse(argv[2], "PERSONS"), argv + 3, argc == 8 ? argv[7] : nullptr);
    }
    if (mode == "singletons" && (argc == 8 || argc == 9)) {
        return singletons(argc, argv);
    }
    if (mode == "sibships" && (argc == 7 || argc == 8)) {
        return sibships(argc, argv);
    }
    std::cerr << "usage: generate_families study MARKERS PEDIGREE_FILE MAP_FILE MODEL_FILE [SEED]\n"
                 "       generate_families families PERSONS MARKERS PEDIGREE_FILE MAP_FILE "
                 "MODEL_FILE [SEED]\n"
                 "       generate_families sibships SIBSHIP_SIZE CHILDREN MARKERS PEDIGREE_FILE "
                 "MAP_FILE [SEED]\n"
                 "       generate_families singletons PERSONS MARKERS CASE_FILE CONTROL_FILE "
                 "PEDIGREE_FILE MAP_FILE [SEED]\n";
    return 2;
}
