// The haplotype-relative-risk driver: marker and phenotype selection, the
// trio sets of the store, the counting of case and control genotypes and the
// console table.
#include "hrr.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <optional>
#include <utility>

#include "marker_info.h"
#include "marker_map.h"
#include "mlink.h"
#include "pedigrees.h"
#include "utilities.h"

bool Hrr::selectMarkers(const std::string& markerName, std::vector<std::string>& selected) const {
    const MarkerMap* map = pedigrees->getMarkerMap();
    if (!pedigrees->onlyMarkerNames.empty()) {
        selected = pedigrees->onlyMarkerNames;
        return true;
    }
    if (markerName.empty()) {
        for (int index = 0; index < map->getMarkerCount(); ++index) {
            selected.push_back(map->getMarkerName(IntToString(index)));
        }
        return true;
    }
    if (map->getMarkerWithName(markerName) == nullptr) {
        reportUnknownMarker(*pedigrees, markerName);
        return false;
    }
    selected.push_back(markerName);
    return true;
}

bool Hrr::selectPhenotypes(const std::string& phenotypeName,
                           std::vector<std::string>& selected) const {
    // The liability class belongs to the trait beside it and is never analysed.
    const std::vector<std::string> names = pedigrees->getTraitPhenotypeNames();
    if (phenotypeName.empty()) {
        selected = names;
        return true;
    }
    if (std::find(names.begin(), names.end(), phenotypeName) == names.end()) {
        reportUnknownPhenotype(*pedigrees, phenotypeName);
        return false;
    }
    selected.push_back(phenotypeName);
    return true;
}

static void printHeader() {
    std::cout << std::right << std::setw(20) << "Marker" << std::setw(15) << "Allele-based"
              << std::setw(15) << "Allele-based" << std::setw(15) << "Genotype-based"
              << std::setw(15) << "Genotype-based"
              << "\n"
              << std::setw(20) << " " << std::setw(15) << "randomized" << std::setw(15)
              << "theoretical" << std::setw(15) << "randomized" << std::setw(15) << "theoretical"
              << std::endl;
}

bool Hrr::run(const std::string& markerName, const std::string& phenotypeName) {
    std::vector<std::string> markers;
    std::vector<std::string> selectedPhenotypes;
    if (!selectMarkers(markerName, markers) ||
        !selectPhenotypes(phenotypeName, selectedPhenotypes)) {
        return false;
    }
    std::cout << "\nHaplotype Relative Risk" << std::endl;
    for (const std::string& phenotype : selectedPhenotypes) {
        std::cout << "Phenotype: " << phenotype << std::endl;
        auto results = std::make_unique<HrrPhenotype>(phenotype);
        printHeader();
        for (const std::string& marker : markers) {
            analyseMarker(phenotype, marker, *results);
        }
        phenotypeNames.push_back(phenotype);
        phenotypes[phenotype] = std::move(results);
        std::cout << std::endl;
    }
    return true;
}

void Hrr::analyseMarker(const std::string& phenotype, const std::string& marker,
                        HrrPhenotype& results) {
    const Marker* entry = pedigrees->getMarkerMap()->getMarkerWithName(marker);
    if (entry == nullptr) {
        return;
    }
    const std::string index = entry->getIndex();
    const RBTree<Pedigree>* trios = pedigrees->createHrrPedigreesForMarker(phenotype, index);
    if (trios->count == 0) {
        const MarkerInfo* info = pedigrees->getMarkerInfo()->find(index);
        if (info == nullptr ||
            (info->affectedSingletonCount == 0 && info->healthySingletonCount == 0)) {
            std::cout << "Skipping marker " << marker << ", since no informative families found"
                      << std::endl;
        }
        return;
    }
    const RBTree<MarkerInfo>* trioInfo = pedigrees->getHrrMarkerInfo();
    const MarkerInfo* info = trioInfo != nullptr ? trioInfo->find(index) : nullptr;
    if (info == nullptr) {
        return;
    }
    currentMarker = std::make_unique<HrrMarker>(index, info->getAlleles());
    currentMarker->quiet = quiet;
    pedigreeCountCaseAndControlGenotypes(trios->root, phenotype);

    const bool verbose = pedigrees->verbose;
    currentMarker->countLRT("allele", currentMarker->getCaseCountsForAlleles(),
                            currentMarker->getControlCountsForAlleles());
    if (verbose) {
        std::cout << "...done" << std::endl << "Counting genotype based LRT for marker: " << marker;
    }
    currentMarker->countLRT("genotype", currentMarker->getCaseCountsForGenotypes(),
                            currentMarker->getControlCountsForGenotypes());
    if (verbose) {
        std::cout << "...done" << std::endl << "Randomizing marker : " << marker << std::endl;
    }
    currentMarker->Randomize();
    // The row overwrites the progress line.
    std::cout << std::right << std::setw(20) << marker
              << hrrPValueField(currentMarker->alleleRandomizedPValue)
              << hrrPValueField(currentMarker->alleleTheoreticalPValue)
              << hrrPValueField(currentMarker->genotypeRandomizedPValue)
              << hrrPValueField(currentMarker->genotypeTheoreticalPValue) << std::endl;
    results.addHrrMarker(index, std::move(currentMarker));
}

void Hrr::pedigreeCountCaseAndControlGenotypes(Pedigree* node, const std::string& phenotypeName) {
    if (node == nullptr || node->key == "NIL") {
        return;
    }
    pedigreeCountCaseAndControlGenotypes(node->left, phenotypeName);
    countTrio(*node, phenotypeName);
    pedigreeCountCaseAndControlGenotypes(node->right, phenotypeName);
}

using AllelePair = std::pair<std::string, std::string>;

// The parents' alleles that the child did not receive: its two alleles may
// stand in either order in the pedigree file, so both ways of taking one from
// the mother and the other from the father are tried. None when neither
// fits (a Mendelian error). Whenever several ways fit they leave the same
// pair of alleles.
static std::optional<AllelePair> untransmittedAlleles(const AllelePair& child,
                                                      const AllelePair& mother,
                                                      const AllelePair& father) {
    const std::array<AllelePair, 2> orders = {child, {child.second, child.first}};
    const std::array<AllelePair, 2> mothers = {mother, {mother.second, mother.first}};
    const std::array<AllelePair, 2> fathers = {father, {father.second, father.first}};
    for (const auto& [fromMother, fromFather] : orders) {
        for (const auto& [passedByMother, keptByMother] : mothers) {
            for (const auto& [passedByFather, keptByFather] : fathers) {
                if (fromMother == passedByMother && fromFather == passedByFather) {
                    return AllelePair{keptByMother, keptByFather};
                }
            }
        }
    }
    return std::nullopt;
}

static std::optional<AllelePair> genotypeOf(const Person* person, const std::string& markerIndex) {
    const Marker* genotype = person != nullptr ? person->getMarker(markerIndex) : nullptr;
    if (genotype == nullptr || genotype->getAllele(0) == "0" || genotype->getAllele(1) == "0") {
        return std::nullopt;
    }
    return AllelePair{genotype->getAllele(0), genotype->getAllele(1)};
}

// An affected child typed with both parents gives its genotype as a case and
// the untransmitted alleles as a control; a Mendelian error gives neither.
void Hrr::countTrio(const Pedigree& trio, const std::string& phenotypeName) {
    const Person* child = trio.getPerson("3");
    const Phenotype* status = child != nullptr ? child->getPhenotype(phenotypeName) : nullptr;
    if (currentMarker == nullptr || status == nullptr || status->getValue() != "2") {
        return;
    }
    const std::string& index = currentMarker->markerIndex;
    const std::optional<AllelePair> father = genotypeOf(trio.getPerson("1"), index);
    const std::optional<AllelePair> mother = genotypeOf(trio.getPerson("2"), index);
    const std::optional<AllelePair> childAlleles = genotypeOf(child, index);
    if (!father || !mother || !childAlleles) {
        return;
    }
    const std::optional<AllelePair> control = untransmittedAlleles(*childAlleles, *mother, *father);
    if (!control) {
        return;
    }
    HrrMarker& record = *currentMarker;
    record.addCaseCountForGenotype(
        record.getGenotypeName(childAlleles->first, childAlleles->second));
    record.addCaseAlleleCount(childAlleles->first);
    record.addCaseAlleleCount(childAlleles->second);
    record.addControlCountForGenotype(record.getGenotypeName(control->first, control->second));
    record.addControlAlleleCount(control->first);
    record.addControlAlleleCount(control->second);
}
