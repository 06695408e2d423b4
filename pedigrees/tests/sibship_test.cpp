// The sibship allele-set test: can a full sibship's genotypes come from two
// parents of at most two alleles each, one of them possibly typed?
#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "pedigrees.h"
#include "test_support.h"

namespace {

using Genotypes = std::vector<std::vector<std::string>>;
using AlleleSet = std::map<std::string, bool>;

Genotypes genotypesOf(const std::vector<std::string>& texts) {
    Genotypes genotypes;
    for (const std::string& text : texts) {
        genotypes.push_back({text.substr(0, text.find('/')), text.substr(text.find('/') + 1)});
    }
    return genotypes;
}

AlleleSet setOf(const std::vector<std::string>& alleles) {
    AlleleSet set;
    for (const std::string& allele : alleles) {
        set[allele] = true;
    }
    return set;
}

struct SibshipCase {
    std::vector<std::string> genotypes;
    std::vector<std::string> typedParent;
    bool consistent;
};

TEST(SibshipTest, KnownSibships) {
    const std::vector<SibshipCase> cases = {
        {{"1/2", "3/4", "5/6"}, {}, false},
        {{"1/1", "2/2", "3/4"}, {}, false},
        {{"1/3", "2/3", "1/4"}, {}, true},
        {{"1/2", "1/2", "1/2"}, {}, true},
        {{"1/2", "3/4", "1/3", "2/4"}, {}, true},
        {{"1/3", "2/4"}, {"1", "2"}, true},
        {{"1/3", "1/4", "1/5"}, {"1", "2"}, false},
        {{"7/9"}, {}, true},
        {{"7/9"}, {"1", "2"}, false},
        // A homozygous typed parent can pass only its one allele: the other
        // parent would need 1, 2 and 3.
        {{"1/1", "1/2", "1/3"}, {"1"}, false},
        {{"1/2", "1/3"}, {"1"}, true},
        // A homozygous child whose allele the typed parent lacks.
        {{"3/3", "1/3"}, {"1", "2"}, false},
        // A typed set given more alleles than placement ever keeps: each of
        // them still counts.
        {{"4/7", "3/8"}, {"1", "2", "3", "4"}, true},
        {{"4/7", "3/8", "5/9"}, {"1", "2", "3", "4"}, false},
    };
    const Pedigrees store;
    for (const SibshipCase& c : cases) {
        EXPECT_EQ(store.isConcistent(genotypesOf(c.genotypes), setOf(c.typedParent)), c.consistent)
            << ::testing::PrintToString(c.genotypes) << " with "
            << ::testing::PrintToString(c.typedParent);
    }
}

TEST(SibshipTest, GenotypeWithoutExactlyTwoAllelesIsInconsistent) {
    const Pedigrees store;
    EXPECT_FALSE(store.isConcistent({{"1", "2"}, {"1"}}, {}));
    EXPECT_FALSE(store.isConcistent({{"1", "2", "3"}}, {}));
}

// Two parents, each a set of one or two alleles out of 1..4.
std::vector<std::set<std::string>> allParentalSets() {
    std::vector<std::set<std::string>> sets;
    for (int a = 1; a <= 4; ++a) {
        for (int b = a; b <= 4; ++b) {
            sets.push_back({std::to_string(a), std::to_string(b)});
        }
    }
    return sets;
}

bool fits(const Genotypes& genotypes, const std::set<std::string>& one,
          const std::set<std::string>& other) {
    return std::all_of(genotypes.begin(), genotypes.end(), [&](const auto& g) {
        return (one.count(g[0]) && other.count(g[1])) || (one.count(g[1]) && other.count(g[0]));
    });
}

bool bruteForce(const Genotypes& genotypes, const AlleleSet& typedParent) {
    const auto parents = allParentalSets();
    std::vector<std::set<std::string>> firstChoices;
    if (typedParent.empty()) {
        firstChoices = parents;
    } else {
        std::set<std::string> typed;
        for (const auto& entry : typedParent) {
            typed.insert(entry.first);
        }
        firstChoices.push_back(typed);
    }
    return std::any_of(firstChoices.begin(), firstChoices.end(), [&](const auto& first) {
        return std::any_of(parents.begin(), parents.end(),
                           [&](const auto& second) { return fits(genotypes, first, second); });
    });
}

// Every sibship of 1 to 4 children over the alleles 1..4, alleles in either
// order, up to a renaming of the alleles (they appear first in the order 1, 2,
// 3, 4), with an untyped parent or a typed one of every genotype.
void forEachSibship(const std::function<void(const Genotypes&)>& visit) {
    Genotypes sibship;
    std::function<void(int)> extend = [&](int highest) {
        if (!sibship.empty()) {
            visit(sibship);
        }
        if (sibship.size() == 4) {
            return;
        }
        for (int a = 1; a <= std::min(highest + 1, 4); ++a) {
            const int highestAfterA = std::max(highest, a);
            for (int b = 1; b <= std::min(highestAfterA + 1, 4); ++b) {
                sibship.push_back({std::to_string(a), std::to_string(b)});
                extend(std::max(highestAfterA, b));
                sibship.pop_back();
            }
        }
    };
    extend(0);
}

TEST(SibshipTest, AgreesWithASearchOverAllParentalGenotypesForEverySmallSibship) {
    std::vector<AlleleSet> typedParents{{}};
    for (const auto& parent : allParentalSets()) {
        AlleleSet set;
        for (const std::string& allele : parent) {
            set[allele] = true;
        }
        typedParents.push_back(set);
    }
    const Pedigrees store;
    int sibships = 0;
    forEachSibship([&](const Genotypes& sibship) {
        ++sibships;
        for (const AlleleSet& typedParent : typedParents) {
            ASSERT_EQ(store.isConcistent(sibship, typedParent), bruteForce(sibship, typedParent))
                << ::testing::PrintToString(sibship) << " with typed parent "
                << ::testing::PrintToString(typedParent);
        }
    });
    // The enumeration itself: 2,999 sibships up to renaming.
    EXPECT_EQ(sibships, 2999);
}

}  // namespace
