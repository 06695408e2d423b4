#include "orlex.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "locus_file.h"
#include "utilities.h"

static bool failed(const std::string& message) {
    std::cout << "Error: " << message << std::endl;
    return false;
}

Orlex::Orlex() : pedigrees(std::make_unique<Pedigrees>()) {}

Orlex::~Orlex() = default;

std::string Orlex::welcome() {
    const std::string rule(79, '-');
    return rule + "\n" +
           "orlex - parametric linkage analysis of pedigree data\n"
           "Version 1.0.0\n"
           "Part of the orlex and vantrel package; likelihoods by the FASTLINK engine\n"
           "Report faults, with the command line used, to the package's issue tracker\n" +
           rule + "\n";
}

// The input files given on the command line, with the option naming each.
std::vector<std::pair<std::string, std::string>> Orlex::givenInputFiles() const {
    std::vector<std::pair<std::string, std::string>> files;
    const auto add = [&files](bool given, const char* option, const std::string& name) {
        if (given) {
            files.emplace_back(option, name);
        }
    };
    add(pedigreeFileGiven, "--ped", pedigreeFile);
    add(mapFileGiven, "--map", mapFile);
    add(phenotypeFileGiven, "--phen", phenotypeFile);
    add(modelFileGiven, "--model", modelFile);
    add(locusFileGiven, "--dat", locusFile);
    add(onlyMarkersGiven, "--onlymarkers", onlyMarkersFile);
    return files;
}

std::vector<std::string> Orlex::outputFiles() const {
    std::vector<std::string> files;
    const auto add = [this, &files](const std::string& suffix) {
        files.push_back(outputPrefix + suffix);
    };
    if (statistics) {
        for (const char* suffix :
             {"_markerinfo_statistics.info", "_hrr_markerinfo_statistics.info",
              "_tdt_markerinfo_statistics.info", "_sib_pair_markerinfo_statistics.info",
              "_pedigree_statistics.info", "_genotype_statistics.info",
              "_number_of_hrr_tdt_sibpair_peds.info"}) {
            add(suffix);
        }
    }
    if (hrrAnalysis) {
        add("_hrr.out");
        add("_hrr.ps");
    }
    if (singlepointAnalysis) {
        std::vector<std::string> bases{"_singlepoint"};
        if (nuclearAnalysis) {
            bases.emplace_back("_singlepoint_nuc");
        }
        for (const std::string& base : bases) {
            add(base + ".out");
            add(base + ".ps");
            if (byFamily) {
                add(base + "_by_family.out");
            }
            if (singlepointCurves) {
                add(base + "_curves.out");
                add(base + "_curves.ps");
            }
            if (hlodAnalysis) {
                add(base + "_het.out");
                add(base + "_het.ps");
            }
        }
    }
    if (multipointAnalysis) {
        add("_multipoint.out");
        add("_multipoint.ps");
        add("_multipoint_het.out");
        if (byFamily) {
            add("_multipoint_by_family.out");
        }
    }
    if (hrrAnalysis || singlepointAnalysis) {
        add("_summary.out");
    }
    return files;
}

void Orlex::cleanUp() const {
    // Before the check, any engine file in the working directory was the
    // user's; after it, only this run can have made them.
    if (engineFilesChecked) {
        delete_intermediate_files();
    }
}

bool Orlex::checkOptions() const {
    if (phenotypeName == liabilityClassPhenotype) {
        return failed(std::string(liabilityClassPhenotype) +
                      " is the liability class of the trait beside it, not a phenotype to "
                      "analyse: name an affection phenotype with --phenotype");
    }
    if (frequencyType != "a" && frequencyType != "f" && frequencyType != "u") {
        return failed("Unknown allele frequency type \"" + frequencyType +
                      "\" given with --freq: use a, f or u");
    }
    if (frequencyType == "u" && !locusFileGiven) {
        return failed(
            "Allele frequency type u takes the marker allele frequencies from a LINKAGE locus "
            "file: give one with --dat");
    }
    return true;
}

bool Orlex::checkInputNames() const {
    return checkInputsAreNotEngineFiles(givenInputFiles());
}

bool Orlex::checkOutputs() const {
    return checkOutputFiles(outputFiles(), givenInputFiles());
}

void Orlex::copySettingsIntoStore() {
    pedigrees->outputPrefix = outputPrefix;
    pedigrees->affectionStatusColumn = affectionStatus;
    pedigrees->linkageFormat = postMakeped;
    pedigrees->liabilityClassColumn = liabilityClass;
    pedigrees->xlinked = xlinked;
    pedigrees->verbose = verbose;
    pedigrees->singlepointCurves = singlepointCurves;
    pedigrees->frequencyType = frequencyType;
    pedigrees->trimRequested = trim;
    if (modelFileGiven) {
        pedigrees->modelFileName = modelFile;
    }
    if (phenotypeFileGiven) {
        pedigrees->phenotypeFileName = phenotypeFile;
    }
    if (locusFileGiven) {
        pedigrees->linkageLocusFileName = locusFile;
    }
}

bool Orlex::readPedigrees() {
    if (postMakeped) {
        return pedigrees->readPedigreeFile(pedigreeFile) ||
               failed("Reading the pedigree file " + pedigreeFile + " failed");
    }
    if (!pedigrees->readAndConvertPreToLinkage(pedigreeFile)) {
        return failed("Reading and converting the pre-MAKEPED pedigree file " + pedigreeFile +
                      " failed");
    }
    return true;
}

bool Orlex::generateLocusModel() {
    traitLocusSource = "the model file " + modelFile;
    return pedigrees->makeLinkageLocusFile() ||
           failed("Generating the LINKAGE locus file from the model failed");
}

bool Orlex::readLocusModel() {
    if (!locusFileGiven || locusFile.empty()) {
        return generateLocusModel();
    }
    if (pedigrees->linkageLocusFile->readLocusFile(locusFile)) {
        traitLocusSource = "the LINKAGE locus file " + locusFile;
        const int loci = pedigrees->linkageLocusFile->getNumberOfLoci();
        if (loci != pedigrees->markerCount + 1) {
            return failed("The LINKAGE locus file " + locusFile + " has " + IntToString(loci) +
                          " loci, but the map file " + mapFile + " has " +
                          IntToString(pedigrees->markerCount) +
                          " markers: a trait locus and one locus per marker are needed (" +
                          IntToString(pedigrees->markerCount + 1) + " loci)");
        }
        return true;
    }
    if (frequencyType == "u") {
        return failed("Allele frequency type u needs the LINKAGE locus file " + locusFile +
                      ", which could not be read");
    }
    if (!modelFileGiven || modelFile.empty()) {
        return failed("The LINKAGE locus file " + locusFile +
                      " could not be read and no model file was given");
    }
    // The failed read may have left a header and loci behind.
    delete pedigrees->linkageLocusFile;
    pedigrees->linkageLocusFile = new LinkageLocusFile();
    std::cout << "Warning: The LINKAGE locus file " << locusFile
              << " could not be read; building it from the model file " << modelFile << " instead"
              << std::endl;
    return generateLocusModel();
}

bool Orlex::checkLocusModel() const {
    if (!xlinked) {
        return true;
    }
    return pedigrees->linkageLocusFile->hasSexLinkedTraitLocus() ||
           failed(
               "X-linked data (--xlinked) need a sex-linked disease model with male "
               "penetrances, and the " +
               std::string(locusFileGiven ? "LINKAGE locus file" : "model") + " has none");
}

// A pedigree file whose classes the trait locus does not have would make the
// engine read every later column one token off.
bool Orlex::checkLiabilityClasses() const {
    const Locus* trait = pedigrees->linkageLocusFile->getLocus(0);
    return trait == nullptr || pedigrees->checkLiabilityClasses(*trait, traitLocusSource);
}

// The phenotypes analysed with an affection locus reach the engine as
// affection statuses: a value other than 1 or 2 (a quantitative phenotype of
// the phenotype file, say) crashes it. The association tests start no engine.
bool Orlex::checkAffectionValues() const {
    const bool engineRuns =
        singlepointAnalysis || nuclearAnalysis || hlodAnalysis || multipointAnalysis;
    const Locus* trait = pedigrees->linkageLocusFile->getLocus(0);
    return !engineRuns || trait == nullptr || trait->type != Locus::affectionType ||
           pedigrees->checkAffectionValues(phenotypeName);
}

bool Orlex::readInputFiles() {
    if (!pedigreeFileGiven) {
        return failed("Pedigree file is not set");
    }
    if (!mapFileGiven) {
        return failed("Map file is not set");
    }
    if (!modelFileGiven && !locusFileGiven) {
        return failed("Model file or Linkage locus file must be given");
    }
    if (!checkOptions() || !checkInputNames() || !checkOutputs() || !refuseExistingEngineFiles()) {
        return false;
    }
    engineFilesChecked = true;
    std::cout << "prefix: " << outputPrefix << std::endl;
    copySettingsIntoStore();

    if (mapFile.empty()) {
        return failed("The map file name is empty");
    }
    if (!pedigrees->readMapFile(mapFile)) {
        return failed("Reading the map file " + mapFile + " failed");
    }
    if (!readPedigrees()) {
        return false;
    }
    // Statistics the user asked for and did not get fail the run.
    if (statistics && !pedigrees->writeStatistics()) {
        return failed("Writing the statistics files (--stats) failed");
    }
    if (phenotypeFileGiven && !phenotypeFile.empty() &&
        !pedigrees->readPhenotypeFile(phenotypeFile)) {
        return failed("Reading the phenotype file " + phenotypeFile + " failed");
    }
    if (onlyMarkersGiven && !onlyMarkersFile.empty() &&
        !pedigrees->readOnlyMarkersFile(onlyMarkersFile)) {
        return failed("Reading the marker selection file " + onlyMarkersFile + " failed");
    }
    // The frequencies of the locus file belong to the alleles by their
    // numbers: merged or renumbered, an allele would take another's.
    const bool givenFrequencies = frequencyType == "u";
    if (!givenFrequencies) {
        pedigrees->collapseAlleles();
        pedigrees->useNewAlleleNames = true;
    }
    if (modelFileGiven && !modelFile.empty() && !pedigrees->readModelFile(modelFile)) {
        return failed("Reading the model file " + modelFile + " failed");
    }
    if (!readLocusModel() || (givenFrequencies && !pedigrees->checkDeclaredAlleles()) ||
        !checkLocusModel() || !pedigrees->checkEngineLimits() || !checkLiabilityClasses() ||
        !checkAffectionValues()) {
        return false;
    }
    std::cout << "Done reading input files." << std::endl;
    return true;
}

bool Orlex::runSinglepoint() {
    const bool fewerAlleles = frequencyTypeGiven && frequencyType == "u";
    basicMLink = std::make_unique<MLink>(pedigrees.get());
    basicMLink->slow = slow;
    basicMLink->fewerAllelesAllowed = fewerAlleles;
    if (!basicMLink->run("basic", markerName, phenotypeName)) {
        return false;
    }
    if (hlodAnalysis) {
        basicMLink->maximizeHLod();
    }
    if (!nuclearAnalysis) {
        return true;
    }
    // The nuclear analysis always runs the ordinary engine build.
    nuclearMLink = std::make_unique<MLink>(pedigrees.get());
    nuclearMLink->fewerAllelesAllowed = fewerAlleles;
    if (!nuclearMLink->run("nuclear", markerName, phenotypeName)) {
        return false;
    }
    if (hlodAnalysis) {
        nuclearMLink->maximizeHLod();
    }
    return true;
}

bool Orlex::runHrr() {
    hrr = std::make_unique<Hrr>(pedigrees.get());
    hrr->quiet = quiet;
    return hrr->run(markerName, phenotypeName);
}

bool Orlex::runMultipoint() {
    linkmap = std::make_unique<Linkmap>(pedigrees.get());
    linkmap->slow = slow;
    linkmap->fewerAllelesAllowed = frequencyTypeGiven && frequencyType == "u";
    if (!phenotypeName.empty()) {
        linkmap->phenotypeName = phenotypeName;
        linkmap->phenotypeGiven = true;
    }
    linkmap->windowSize = windowSize;
    linkmap->steps = steps;
    if (!linkmap->run()) {
        return false;
    }
    linkmap->countHLods();
    return true;
}

bool Orlex::writeMultipointResults() {
    if (!multipointAnalysis || !linkmap || !linkmap->resultsPresent) {
        return true;
    }
    const std::string base = outputPrefix + "_multipoint";
    bool written = linkmap->writeResults(base + ".out");
    written = linkmap->writeResultsPostScript(base) && written;
    written = linkmap->writeHLodResults(base + "_het") && written;
    if (byFamily) {
        written = linkmap->writeHLodResultsByFamily(base + "_by_family") && written;
    }
    return written;
}

bool Orlex::run() {
    if (hrrAnalysis && !runHrr()) {
        return false;
    }
    if (singlepointAnalysis && !runSinglepoint()) {
        return false;
    }
    if (multipointAnalysis && !runMultipoint()) {
        return false;
    }
    if (sibpairAnalysis) {
        std::cout << "Warning: Sib pair linkage analysis (--sibpair) is not available: nothing "
                     "is run for it"
                  << std::endl;
    }
    return true;
}

bool Orlex::writeResults() {
    if (!hrrAnalysis && !sibpairAnalysis && !singlepointAnalysis && !multipointAnalysis) {
        return failed(
            "No analysis selected: give --singlepoint, --multipoint, --hrrrand or --sibpair");
    }
    // A file that cannot be written ends the run with status 255, but only
    // after every other file is written: one lost file costs no others.
    bool allWritten = true;
    if (hrr != nullptr) {
        allWritten = hrr->writeGenotypeAndAlleleCounts(outputPrefix + "_hrr") && allWritten;
    }
    if (basicMLink) {
        allWritten = writeSinglepointResults(*basicMLink, "_singlepoint") && allWritten;
        if (nuclearAnalysis && nuclearMLink) {
            allWritten = writeSinglepointResults(*nuclearMLink, "_singlepoint_nuc") && allWritten;
        }
    }
    allWritten = writeMultipointResults() && allWritten;
    if (basicMLink != nullptr || hrr != nullptr) {
        allWritten = writeSummaryFile(outputPrefix + "_summary") && allWritten;
    }
    // A report the pedigree checks could not write is as lost as a result
    // file; its "Error: " line was printed when it was lost.
    return allWritten && !pedigrees->reportFileLost;
}

bool Orlex::writeSinglepointResults(MLink& mlink, const std::string& suffix) {
    const std::string base = outputPrefix + suffix;
    bool written = mlink.writeResultsFile(base);
    if (byFamily) {
        written = mlink.writeResultsByFamilyFile(base + "_by_family") && written;
    }
    if (singlepointCurves) {
        written = mlink.writeAllLODScoresFile(base + "_curves") && written;
    }
    if (hlodAnalysis) {
        written = mlink.writeHLodFile(base + "_het") && written;
        written = mlink.writeHLodPostscript(base + "_het") && written;
    }
    return written;
}
