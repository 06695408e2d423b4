// What the engine build cannot take is refused at input: beyond its limits
// the engine programs crash or fail in the middle of an analysis.
#include <iostream>
#include <string>

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
