// Whether a full sibship's genotypes at one marker fit two parents of at most
// two alleles each: a greedy placement of each child's alleles into the two
// parental sets, in two passes over the genotypes in the order given.
#include <algorithm>
#include <string>

#include "pedigrees.h"
#include "sibship_placement.h"

bool Pedigrees::isConcistent(std::vector<std::vector<std::string>> genotypes,
                             std::map<std::string, bool> initialSet) const {
    const bool anyMalformed =
        std::any_of(genotypes.begin(), genotypes.end(),
                    [](const auto& genotype) { return genotype.size() != 2; });
    if (anyMalformed) {
        return false;
    }
    const auto homozygous =
        std::find_if(genotypes.begin(), genotypes.end(),
                     [](const auto& genotype) { return genotype[0] == genotype[1]; });

    ParentalSets<std::string> sets{ParentalSet<std::string>(!initialSet.empty())};
    for (const auto& entry : initialSet) {
        sets.first.add(entry.first);
    }
    const std::string* const homozygousAllele =
        homozygous != genotypes.end() ? &(*homozygous)[0] : nullptr;
    for (const bool secondPass : {false, true}) {
        for (std::size_t i = 0; i < genotypes.size(); ++i) {
            const std::string& a = genotypes[i][0];
            const std::string& b = genotypes[i][1];
            if (i == 0) {
                sets.open(homozygousAllele, a, b);
            }
            if (!sets.place(a, b, secondPass) && secondPass) {
                return false;
            }
        }
    }
    return true;
}
