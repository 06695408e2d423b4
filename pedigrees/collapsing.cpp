// Allele collapsing: alleles too rare to give the engine a usable frequency
// are merged, marker by marker, into the next rarest allele.
#include <iostream>
#include <string>
#include <vector>

#include "marker_info.h"
#include "pedigrees.h"
#include "utilities.h"

// The rarest allele of the list ("all" frequency), the earliest among equals.
static Allele* smallestAllele(const std::vector<Allele*>& alleles, MarkerInfo* info,
                              double& frequency) {
    Allele* smallest = nullptr;
    frequency = 1.0;
    for (std::size_t j = 0; j < alleles.size(); ++j) {
        const double f = info->getAlleleFreq(static_cast<int>(j), "all");
        if (f < frequency) {
            frequency = f;
            smallest = alleles[j];
        }
    }
    return smallest;
}

// The rarest allele other than the smallest; it may be as rare as the smallest.
static Allele* secondSmallestAllele(const std::vector<Allele*>& alleles, MarkerInfo* info,
                                    const Allele* smallest, double smallestFrequency) {
    Allele* second = nullptr;
    double frequency = 1.0;
    for (std::size_t j = 0; j < alleles.size(); ++j) {
        const double f = info->getAlleleFreq(static_cast<int>(j), "all");
        if (f < frequency && f >= smallestFrequency &&
            alleles[j]->getAlleleName() != smallest->getAlleleName()) {
            frequency = f;
            second = alleles[j];
        }
    }
    return second;
}

void Pedigrees::collapseAlleles() {
    std::cout << "(Collapsing alleles...)" << std::endl;
    createMarkerInfo();
    for (int i = 0; i < markerCount; ++i) {
        const std::string markerIndex = IntToString(i);
        MarkerInfo* info = markerInfo->find(markerIndex);
        if (info == nullptr) {
            continue;
        }
        std::vector<Allele*> alleles = info->getAlleles();
        while (alleles.size() >= 3) {
            double smallestFrequency = 1.0;
            Allele* smallest = smallestAllele(alleles, info, smallestFrequency);
            if (smallest == nullptr || smallestFrequency >= MINIMUM_COLLAPSE_ALLELE_FREQUENCY) {
                break;
            }
            Allele* second = secondSmallestAllele(alleles, info, smallest, smallestFrequency);
            if (second == nullptr) {
                break;
            }
            changeSmallestAlleleToSecondSmallestAllelePedigreeRecursion(
                pedigreeTree->root, smallest, second, markerIndex);
            createMarkerInfo();
            info = markerInfo->find(markerIndex);
            if (info == nullptr) {
                break;
            }
            // Each merge removes one allele; stop should one ever remove none.
            const std::size_t before = alleles.size();
            alleles = info->getAlleles();
            if (alleles.size() >= before) {
                break;
            }
        }
    }
    // Every merge above recounted at once, so the counts are those of the
    // genotypes as they now stand: a further count of every genotype of every
    // marker would give the same records.
}

void Pedigrees::changeSmallestAlleleToSecondSmallestAllelePedigreeRecursion(
    Pedigree* root, Allele* smallest, Allele* second, const std::string& markerIndex) {
    if (root == nullptr || root->key == "NIL") {
        return;
    }
    changeSmallestAlleleToSecondSmallestAllelePedigreeRecursion(root->left, smallest, second,
                                                                markerIndex);
    if (root->getPersonTree() != nullptr) {
        changeSmallestAlleleToSecondSmallestAllelePersonRecursion(root->getPersonTree()->root,
                                                                  smallest, second, markerIndex);
    }
    changeSmallestAlleleToSecondSmallestAllelePedigreeRecursion(root->right, smallest, second,
                                                                markerIndex);
}

void Pedigrees::changeSmallestAlleleToSecondSmallestAllelePersonRecursion(
    Person* root, Allele* smallest, Allele* second, const std::string& markerIndex) {
    if (root == nullptr || root->key == "NIL") {
        return;
    }
    changeSmallestAlleleToSecondSmallestAllelePersonRecursion(root->left, smallest, second,
                                                              markerIndex);
    changeSmallestAlleleToSecondSmallestAllele(root, smallest, second, markerIndex);
    changeSmallestAlleleToSecondSmallestAllelePersonRecursion(root->right, smallest, second,
                                                              markerIndex);
}

void Pedigrees::changeSmallestAlleleToSecondSmallestAllele(Person* person, Allele* smallest,
                                                           Allele* second,
                                                           const std::string& markerIndex) {
    if (person == nullptr || smallest == nullptr || second == nullptr) {
        return;
    }
    // Genotypes are keyed by their marker index, so a keyed look-up finds the
    // same record as a walk comparing the index field.
    Marker* genotype = person->getMarker(markerIndex);
    if (genotype == nullptr) {
        return;
    }
    for (int slot = 0; slot < 2; ++slot) {
        if (genotype->getAllele(slot) == smallest->getAlleleName()) {
            genotype->setAllele(slot, second->getAlleleName());
        }
    }
}
