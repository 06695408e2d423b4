// Writes a synthetic data set for the store benchmark: a pre-MAKEPED
// pedigree file with an affection column and a map file in the package's own
// layout. Every pedigree has three generations and ten persons (two
// grandparents, their son and daughter, the son's wife and their five
// children); genotypes are drawn at random and passed on by Mendel's rules,
// so the checks find nothing to report.
//
// Usage: generate_data PEDIGREES MARKERS PEDIGREE_FILE MAP_FILE [SEED]
#include <array>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

static constexpr int allelesPerMarker = 8;

struct Member {
    int id;
    int father;  // 0: founder
    int mother;
    int sex;  // 1 male, 2 female
};

static constexpr std::array<Member, 10> family = {{
    {1, 0, 0, 1},
    {2, 0, 0, 2},
    {3, 1, 2, 1},
    {4, 1, 2, 2},
    {5, 0, 0, 2},
    {6, 3, 5, 1},
    {7, 3, 5, 2},
    {8, 3, 5, 1},
    {9, 3, 5, 2},
    {10, 3, 5, 1},
}};

static int parse(const char* text, const char* what) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 1 || value > 1000000) {
        std::cerr << "generate_data: " << what << " must be a positive number, not " << text
                  << "\n";
        std::exit(2);
    }
    return static_cast<int>(value);
}

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) {
        std::cerr << "usage: generate_data PEDIGREES MARKERS PEDIGREE_FILE MAP_FILE [SEED]\n";
        return 2;
    }
    const int pedigrees = parse(argv[1], "PEDIGREES");
    const int markers = parse(argv[2], "MARKERS");
    std::mt19937 random(argc == 6 ? static_cast<unsigned>(parse(argv[5], "SEED")) : 20261210u);
    std::uniform_int_distribution<int> allele(1, allelesPerMarker);
    std::uniform_int_distribution<int> coin(0, 1);

    std::ofstream map(argv[4]);
    map << "CHROMOSOME HALDANE POSITION\n";
    for (int m = 0; m < markers; ++m) {
        map << "1 " << 0.5 * m << " D1S" << (m + 1) << "\n";
    }

    std::ofstream ped(argv[3]);
    std::vector<std::array<int, 2>> genotypes(family.size() * static_cast<std::size_t>(markers));
    for (int p = 1; p <= pedigrees; ++p) {
        for (std::size_t k = 0; k < family.size(); ++k) {
            const Member& member = family[k];
            for (int m = 0; m < markers; ++m) {
                auto& g = genotypes[k * markers + m];
                if (member.father == 0) {
                    g = {allele(random), allele(random)};
                } else {
                    const auto& f = genotypes[(member.father - 1) * markers + m];
                    const auto& mo = genotypes[(member.mother - 1) * markers + m];
                    g = {f[coin(random)], mo[coin(random)]};
                }
            }
        }
        for (std::size_t k = 0; k < family.size(); ++k) {
            const Member& member = family[k];
            ped << p << ' ' << member.id << ' ' << member.father << ' ' << member.mother << ' '
                << member.sex << ' ' << 1 + coin(random);
            for (int m = 0; m < markers; ++m) {
                const auto& g = genotypes[k * markers + m];
                ped << ' ' << g[0] << ' ' << g[1];
            }
            ped << '\n';
        }
    }
    ped.close();
    map.close();
    if (!ped || !map) {
        std::cerr << "generate_data: unable to write " << argv[3] << " or " << argv[4] << "\n";
        return 1;
    }
    return 0;
}
