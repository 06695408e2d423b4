#ifndef ORLEX_PEDIGREES_SIBSHIP_PLACEMENT_H
#define ORLEX_PEDIGREES_SIBSHIP_PLACEMENT_H

// The greedy placement of a full sibship's alleles into the two parental
// allele sets, shared by the sibship test on allele texts and the Mendelian
// check, which runs it on small allele codes.
#include <algorithm>
#include <vector>

// One parent's alleles. A typed parent's set is its genotype and is full
// however few alleles it holds: a homozygous 1/1 parent can pass nothing but
// 1, so the untyped parent must account for every other allele.
template <typename Allele>
class ParentalSet {
  public:
    explicit ParentalSet(bool typed) : typed_(typed) {}

    bool contains(const Allele& allele) const {
        return std::find(alleles_.begin(), alleles_.end(), allele) != alleles_.end();
    }
    bool hasRoom() const { return !typed_ && alleles_.size() < 2; }
    bool isEmpty() const { return alleles_.empty(); }
    std::size_t size() const { return alleles_.size(); }
    void add(const Allele& allele) {
        if (!contains(allele)) {
            alleles_.push_back(allele);
        }
    }
    void addIfOpen(const Allele& allele) {
        if (!typed_) {
            add(allele);
        }
    }

  private:
    bool typed_;
    std::vector<Allele> alleles_;
};

template <typename Allele>
struct ParentalSets {
    ParentalSet<Allele> first;
    ParentalSet<Allele> second{false};

    std::size_t size() const { return first.size() + second.size(); }

    // The opening of each pass, at the first genotype (a, b): a homozygous
    // child shows an allele that both parents carry.
    void open(const Allele* homozygous, const Allele& a, const Allele& b) {
        if (homozygous != nullptr) {
            first.addIfOpen(*homozygous);
            second.add(*homozygous);
        } else if (first.isEmpty() && second.isEmpty()) {
            first.add(a);
            second.add(b);
        }
    }

    // Tries to place one genotype; returns whether it fits the sets afterwards.
    // A genotype that does not fit leaves the sets as they were.
    bool place(const Allele& a, const Allele& b, bool secondPass) {
        if ((first.contains(a) && second.contains(b)) ||
            (second.contains(a) && first.contains(b))) {
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
};

#endif
