// The LINKAGE locus model of a run: the disease model (read or default) as the
// first locus, then one numbered-allele locus per marker with allele
// frequencies estimated from the pedigree data.
#include <iostream>
#include <numeric>
#include <string>
#include <vector>

#include "locus.h"
#include "locus_file.h"
#include "marker_info.h"
#include "marker_map.h"
#include "model.h"
#include "pedigrees.h"
#include "utilities.h"

bool Pedigrees::readModelFile(const std::string& fileName) {
    modelFileName = fileName;
    delete model;
    model = new Model();
    if (!model->readModelFile(fileName) || !checkModelLimits()) {
        delete model;
        model = nullptr;
        return false;
    }
    return true;
}

// The marker-information group whose frequencies the code selects; empty for
// "u" (no frequencies) and for a code the program does not know.
static std::string frequencyGroup(const std::string& code) {
    if (code == "a") {
        return "all";
    }
    if (code == "f") {
        return "founders";
    }
    return "";
}

bool Pedigrees::makeLinkageLocusFile() {
    if (model == nullptr) {
        model = new Model();
        model->makeModel();
    }
    std::cout << "Generating LINKAGE locus file ";
    if (markerCount == 0 || !pedigreeFileRead) {
        std::cout << "...failed" << std::endl;
        return false;
    }
    if (frequencyType != "a" && frequencyType != "f" && frequencyType != "u") {
        std::cout << "...failed" << std::endl
                  << "Unknown allele frequency code " << frequencyType << " (use a, f or u)"
                  << std::endl;
        return false;
    }

    // A locus file read in part before its reader failed must not lend its
    // header, order or loci to the generated one.
    delete linkageLocusFile;
    linkageLocusFile = new LinkageLocusFile();

    if (model->getLocus() != nullptr) {
        linkageLocusFile->addLocus(new Locus(model->getLocus()));
    }
    std::vector<int> locusOrder(static_cast<std::size_t>(markerCount) + 1);
    std::iota(locusOrder.begin(), locusOrder.end(), 1);
    linkageLocusFile->addRecombinationFraction(0.5);

    std::string group = frequencyGroup(frequencyType);
    if (frequencyType == "f") {
        for (int i = 0; i < markerCount; ++i) {
            const MarkerInfo* info = markerInfo->find(IntToString(i));
            if (info != nullptr && !info->hasFoundersAllAlleles()) {
                std::cout << std::endl
                          << "Warning: All alleles are not found from founders" << std::endl
                          << "...using allele frequencies from all" << std::endl;
                group = "all";
                break;
            }
        }
    }

    for (int i = 0; i < markerCount; ++i) {
        const std::string markerIndex = IntToString(i);
        if (i > 0) {
            linkageLocusFile->addRecombinationFraction(
                markerMap->getRecombinationFractionBetweenWithIndex(IntToString(i - 1),
                                                                    markerIndex));
        }
        MarkerInfo* info = markerInfo->find(markerIndex);
        if (info == nullptr) {
            continue;
        }
        const int alleleCount = info->getAlleleCount();
        auto* locus = new Locus(IntToString(i + 1), Locus::numberedAllelesType, alleleCount);
        if (frequencyType != "u") {
            std::vector<double> frequencies(static_cast<std::size_t>(alleleCount));
            for (int j = 0; j < alleleCount; ++j) {
                frequencies[static_cast<std::size_t>(j)] = info->getAlleleFreq(j, group);
            }
            locus->addAlleleFrequencies(frequencies);
        }
        locus->setName(markerMap->getMarkerName(markerIndex));
        linkageLocusFile->addLocus(locus);
    }

    linkageLocusFile->setNumberOfLoci(markerCount + 1);
    linkageLocusFile->setRiskLocus(0);
    linkageLocusFile->setSexLink(model->sexLinked);
    linkageLocusFile->setProgramNumber(LinkageLocusFile::mlinkProgram);
    linkageLocusFile->setMutLocus(0);
    linkageLocusFile->setMutRateMale(0.0);
    linkageLocusFile->setMutRateFemale(0.0);
    linkageLocusFile->setHapFreq(0);
    linkageLocusFile->setLocusOrder(locusOrder);
    linkageLocusFile->setSexDifference(0);
    linkageLocusFile->setInterference(0);
    linkageLocusFile->setRecombinationVaried(0);
    linkageLocusFile->setIncrement(0.1);
    linkageLocusFile->setFinishingValue(0.45);
    linkageLocusFile->setMarkerMap(markerMap);

    std::cout << "...done" << std::endl;
    return true;
}
