// Whether a full sibship's genotypes at one marker fit two parents of at most
// two alleles each: a greedy placement of each child's alleles into the two
// parental sets, in two passes over the genotypes in the order given.
#include <algorithm>
#include <set>

#include "pedigrees.h"

namespace {

// One parent's alleles. A typed parent's set is its genotype and is full
// however few alleles it holds: a homozygous 1/1 parent can pass nothing but
// 1, so the untyped parent must account for every other allele.
class ParentalSet {
  public:
    explicit ParentalSet(bool typed) : typed_(typed) {}

    bool contains(const std::string& allele) const { return alleles_.count(allele) > 0; }
    bool hasRoom() const { return !typed_ && alleles_.size() < 2; }
    bool isEmpty() const { return alleles_.empty(); }
    void add(const std::string& allele) { alleles_.insert(allele); }
    void addIfOpen(const std::string& allele) {
        if (!typed_) {
            alleles_.insert(allele);
        }
    }

  private:
    bool typed_;
    std::set<std::string> alleles_;
};

// Tries to place one genotype; returns whether it fits the sets afterwards.
bool place(const std::string& a, const std::string& b, ParentalSet& first, ParentalSet& second,
           bool secondPass) {
    if ((first.contains(a) && second.contains(b)) || (second.contains(a) && first.contains(b))) {
        return true;
    }
    if (first.contains(a) && !second.contains(b) && second.hasRoom()) {
        second.add(b);
        return true;
    }
    if (first.contains(b) && !second.contains(a) && second.hasRoom()) {
        second.add(a);
        return true;
    }
    if (!first.contains(a) && second.contains(b) && first.hasRoom()) {
        first.add(a);
        return true;
    }
    if (!first.contains(b) && second.contains(a) && first.hasRoom()) {
        first.add(b);
        return true;
    }
    if (secondPass && !first.contains(b) && !second.contains(a) && first.hasRoom() &&
        second.hasRoom()) {
        first.add(a);
        second.add(b);
        return true;
    }
    return false;
}

}  // namespace

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

    ParentalSet first(!initialSet.empty());
    for (const auto& entry : initialSet) {
        first.add(entry.first);
    }
    ParentalSet second(false);

    for (const bool secondPass : {false, true}) {
        for (std::size_t i = 0; i < genotypes.size(); ++i) {
            const std::string& a = genotypes[i][0];
            const std::string& b = genotypes[i][1];
            if (i == 0) {
                // A homozygous child shows an allele that both parents carry.
                if (homozygous != genotypes.end()) {
                    first.addIfOpen((*homozygous)[0]);
                    second.add((*homozygous)[0]);
                } else if (first.isEmpty() && second.isEmpty()) {
                    first.add(a);
                    second.add(b);
                }
            }
            if (!place(a, b, first, second, secondPass) && secondPass) {
                return false;
            }
        }
    }
    return true;
}
