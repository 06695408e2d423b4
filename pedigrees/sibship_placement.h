#ifndef ORLEX_PEDIGREES_SIBSHIP_PLACEMENT_H
#define ORLEX_PEDIGREES_SIBSHIP_PLACEMENT_H

// The greedy placement of a full sibship's alleles into the two parental
// allele sets, shared by the sibship test on allele texts and the Mendelian
// check, which runs it on small allele codes.
#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

// One parent's alleles. A typed parent's set is its genotype and is full
// however few alleles it holds: a homozygous 1/1 parent can pass nothing but
// 1, so the untyped parent must account for every other allele.
template <typename Allele>
class ParentalSet {
  public:
    explicit ParentalSet(bool typed) : typed_(typed) {}

    bool contains(const Allele& allele) const {
        const auto inPlace = near_.begin() + static_cast<std::ptrdiff_t>(nearCount());
        return std::find(near_.begin(), inPlace, allele) != inPlace ||
               std::find(far_.begin(), far_.end(), allele) != far_.end();
    }
    bool hasRoom() const { return !typed_ && size_ < 2; }
    bool isEmpty() const { return size_ == 0; }
    std::size_t size() const { return size_; }
    void add(const Allele& allele) {
        if (contains(allele)) {
            return;
        }
        if (size_ < near_.size()) {
            near_[size_] = allele;
        } else {
            far_.push_back(allele);
        }
        ++size_;
    }
    void addIfOpen(const Allele& allele) {
        if (!typed_) {
            add(allele);
        }
    }

  private:
    // The placement fills an open set up to two alleles and the second
    // pass's opening may add a third; only a typed set given more alleles
    // goes beyond. Those three stay in place, so that copying the sets, as
    // the Mendelian check does for every child of a sibship, takes no heap.
    std::size_t nearCount() const { return std::min(size_, near_.size()); }

    bool typed_;
    std::size_t size_ = 0;
    std::array<Allele, 3> near_{};
    std::vector<Allele> far_;
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
