// What the engine build cannot take is refused at input: beyond its limits
// the engine programs crash or fail in the middle of an analysis.
#include <algorithm>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "locus.h"
#include "locus_file.h"
#include "marker_info.h"
#include "marker_map.h"
#include "model.h"
#include "pedigrees.h"
#include "utilities.h"

static bool beyondLimit(const std::string& what, int value, int limit, const std::string& unit) {
    std::cout << "Error: " << what << " has " << value << " " << unit << ", more than the " << limit
              << " the engine build holds" << std::endl;
    return false;
}

bool Pedigrees::checkModelLimits() const {
    const Locus* trait = model != nullptr ? model->getLocus() : nullptr;
    if (trait == nullptr || trait->numberOfLiabClasses <= engineLimits.liabilityClasses) {
        return true;
    }
    return beyondLimit("The disease model of model file " + modelFileName,
                       trait->numberOfLiabClasses, engineLimits.liabilityClasses,
                       "liability classes");
}

bool Pedigrees::checkEngineLimits() const {
    // Alleles rarer than the merging threshold are merged first: the count
    // the engine gets is the one after merging.
    for (int i = 0; i < markerCount && markerInfo != nullptr; ++i) {
        const std::string index = IntToString(i);
        const MarkerInfo* info = markerInfo->find(index);
        if (info != nullptr && info->getAlleleCount() > engineLimits.alleles) {
            return beyondLimit("Marker " + markerMap->getMarkerName(index) + " of pedigree file " +
                                   pedigreeFileName + " (rare alleles merged)",
                               info->getAlleleCount(), engineLimits.alleles, "alleles");
        }
    }
    if (!checkModelLimits()) {
        return false;
    }
    if (linkageLocusFile == nullptr) {
        return true;
    }
    const std::string source = linkageLocusFileName.empty()
                                   ? std::string("The LINKAGE locus file made from the model")
                                   : "The LINKAGE locus file " + linkageLocusFileName;
    for (int p = 0; p < linkageLocusFile->getNumberOfLoci(); ++p) {
        const Locus* locus = linkageLocusFile->getLocus(p);
        if (locus == nullptr) {
            continue;
        }
        const std::string what = source + ": locus " + IntToString(p + 1);
        if (locus->type == Locus::numberedAllelesType &&
            locus->numberOfAlleles > engineLimits.alleles) {
            return beyondLimit(what, locus->numberOfAlleles, engineLimits.alleles, "alleles");
        }
        if (locus->type == Locus::affectionType &&
            locus->numberOfLiabClasses > engineLimits.liabilityClasses) {
            return beyondLimit(what, locus->numberOfLiabClasses, engineLimits.liabilityClasses,
                               "liability classes");
        }
    }
    return true;
}

// The allele as the numbered-allele locus of count alleles declares it:
// 1 .. count, written without sign or leading zeros.
static bool isDeclaredAllele(const std::string& allele, int count) {
    if (allele.empty() || allele.size() > 9 || allele[0] == '0' ||
        !std::all_of(allele.begin(), allele.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    return std::stoi(allele) <= count;
}

namespace {

// A genotype allele that the locus file does not declare.
struct UndeclaredAllele {
    const Person* person = nullptr;
    std::string markerIndex;
    std::string allele;
    int declared = 0;
};

}  // namespace

// The ids of the person as the pedigree file gives them: the original ones
// in a converted file.
static std::pair<std::string, std::string> fileIds(const Person& person, bool converted) {
    return converted ? std::make_pair(person.originalPedigreeId, person.getOriginalPersonId())
                     : std::make_pair(person.getPedigreeId(), person.getPersonId());
}

bool Pedigrees::checkDeclaredAlleles() const {
    if (linkageLocusFile == nullptr || pedigreeTree == nullptr) {
        return true;
    }
    std::vector<int> declared(static_cast<std::size_t>(std::max(markerCount, 0)), -1);
    for (int i = 0; i < markerCount; ++i) {
        const Locus* locus = linkageLocusFile->getMarkerLocus(IntToString(i));
        if (locus != nullptr && locus->type == Locus::numberedAllelesType) {
            declared[static_cast<std::size_t>(i)] = locus->numberOfAlleles;
        }
    }
    // The earliest person of the file that carries such an allele is
    // named; the walk finds the persons in key order.
    std::vector<UndeclaredAllele> found;
    forEachRecordInOrder(pedigreeTree->root, [&](const Pedigree& pedigree) {
        forEachRecordInOrder(pedigree.getPersonTree()->root, [&](const Person& person) {
            for (int i = 0; i < markerCount; ++i) {
                const int count = declared[static_cast<std::size_t>(i)];
                const Marker* genotype = count < 0 ? nullptr : person.getMarker(IntToString(i));
                if (genotype == nullptr) {
                    continue;
                }
                for (const std::string& allele : genotype->alleles) {
                    if (!isDeclaredAllele(allele, count)) {
                        found.push_back({&person, IntToString(i), allele, count});
                        return;
                    }
                }
            }
        });
    });
    if (found.empty()) {
        return true;
    }
    std::map<std::pair<std::string, std::string>, int> lineOf;
    std::ifstream in(pedigreeFileName);
    std::vector<ColumnLine> lines;
    std::string ignored;
    readColumnLines(in, lines, ignored);
    for (const ColumnLine& line : lines) {
        if (line.columns.size() >= 2) {
            lineOf.emplace(std::make_pair(line.columns[0], line.columns[1]), line.number);
        }
    }
    int firstLine = 0;
    const UndeclaredAllele* first = &found.front();
    for (const UndeclaredAllele& undeclared : found) {
        const auto line = lineOf.find(fileIds(*undeclared.person, convertedLinkageFormat));
        if (line != lineOf.end() && (firstLine == 0 || line->second < firstLine)) {
            firstLine = line->second;
            first = &undeclared;
        }
    }
    const auto [pedigreeId, personId] = fileIds(*first->person, convertedLinkageFormat);
    std::cout << "Error: Pedigree file " << pedigreeFileName << ", line " << firstLine
              << ": allele " << first->allele << " of person " << personId << " of pedigree "
              << pedigreeId << " at marker " << markerMap->getMarkerName(first->markerIndex)
              << " is not declared by the LINKAGE locus file " << linkageLocusFileName
              << ", whose locus of that marker has the alleles 1 to " << first->declared
              << ": with --freq u the allele frequencies are the file's" << std::endl;
    return false;
}
