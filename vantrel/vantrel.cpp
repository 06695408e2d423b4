// The driver of the joint program: banner, input in its fixed order, the
// marker list, marker and phenotype selection, and the run over the models.
#include "vantrel.h"

#include <algorithm>
#include <fstream>
#include <iostream>

#include "likelihoods.h"
#include "marker_info.h"
#include "marker_map.h"
#include "utilities.h"
#include "version.h"
#include "vt_results.h"

// Ends a failed input step: the cause has been printed just before.
static bool aborted() {
    std::cout << "\n...aborting program due to errors!\n" << std::endl;
    return false;
}

static bool failedInput(const std::string& message) {
    std::cout << "Error: " << message << std::endl;
    return aborted();
}

// "A, B and C".
static std::string joinedNames(const std::vector<std::string>& names) {
    std::string joined;
    for (size_t i = 0; i < names.size(); ++i) {
        joined += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    }
    return joined;
}

Vantrel::Vantrel() = default;

Vantrel::~Vantrel() = default;

std::string Vantrel::welcome() {
    const std::string rule(79, '-');
    return rule + "\n" +
           "vantrel - joint linkage and linkage disequilibrium analysis of pedigrees,\n"
           "          cases and controls\n"
           "Version " +
           vantrelVersion +
           "\n"
           "Part of the orlex and vantrel package; likelihoods maximised by the FASTLINK\n"
           "engine's ILINK with NLopt's BOBYQA optimiser\n" +
           rule + "\n";
}

std::vector<std::pair<std::string, std::string>> Vantrel::givenInputFiles() const {
    std::vector<std::pair<std::string, std::string>> files{{"--pedigreefile", pedigreeFileName}};
    const auto add = [&files](bool given, const char* option, const std::string& name) {
        if (given) {
            files.emplace_back(option, name);
        }
    };
    add(mapFileGiven, "--mapfile", mapFileName);
    add(controlFilesGiven, "--controlmap", controlMapFileName);
    add(controlFilesGiven, "--controlgt", controlGenotypeFileName);
    add(caseFilesGiven, "--casemap", caseMapFileName);
    add(caseFilesGiven, "--casegt", caseGenotypeFileName);
    add(phenotypeFileGiven, "--phenotypefile", phenotypeFileName);
    add(linkageLocusFileGiven, "--datafile", linkageLocusFileName);
    add(modelFileGiven, "--modelfile", modelFileName);
    add(markerListFileGiven, "--markerlist", markerListFileName);
    return files;
}

void Vantrel::cleanUp() const {
    // Before the check, any engine file in the working directory was the
    // user's; after it, only this run can have made them.
    if (engineFilesChecked) {
        delete_intermediate_files();
    }
}

bool Vantrel::reportFileLost() const {
    return pedigrees != nullptr && pedigrees->reportFileLost;
}

std::vector<std::string> Vantrel::resultFiles() const {
    if (!dominantAnalysis && !recessiveAnalysis && !modelBasedAnalysis) {
        return {};
    }
    return {outputPrefix + ".out", outputPrefix + "_tbl.out"};
}

std::vector<std::string> Vantrel::chartFiles(const std::vector<std::string>& phenotypes) const {
    std::vector<std::string> files;
    for (const auto& [enabled, model] :
         {std::pair{dominantAnalysis, "Dominant"}, std::pair{recessiveAnalysis, "Recessive"},
          std::pair{modelBasedAnalysis, "Model-based"}}) {
        for (const std::string& phenotype : phenotypes) {
            if (enabled) {
                files.push_back(VTResults::chartFileName(outputPrefix, phenotype, model));
            }
        }
    }
    return files;
}

void Vantrel::printStoreSettings() {
    pedigrees->verbose = verbose;
    std::cout << (linkageFormat ? "(Pedigree file in LINKAGE format)"
                                : "(Pedigree file in pre-makeped format)")
              << std::endl;
    pedigrees->linkageFormat = linkageFormat;
    if (hasDiseasePhenotype) {
        std::cout << "(Pedigree has disease phenotype)" << std::endl;
    }
    pedigrees->affectionStatusColumn = hasDiseasePhenotype;
    if (liabilityClass) {
        std::cout << "(Pedigree has liability class)" << std::endl;
    }
    pedigrees->liabilityClassColumn = liabilityClass;
    pedigrees->xlinked = xlinked;
    if (xlinked) {
        std::cout << "(X-linked data)" << std::endl;
    }
}

bool Vantrel::readPedigrees() {
    // The store converts into the working directory, refuses to replace a
    // file there and removes its converted file itself.
    const bool read =
        linkageFormat ? pedigrees->readPedigreeFile(pedigreeFileName)
                      : pedigrees->readAndConvertPreToLinkage(pedigreeFileName, skipMendelErrors);
    if (!read) {
        if (pedigrees->mendelianErrorsFound) {
            std::cout << "You may like to use option '--skipmendelerrors', but with caution!"
                      << std::endl;
        }
        return failedInput("Reading the pedigree file " + pedigreeFileName + " failed");
    }
    if (pedigrees->mendelianErrorsFound && skipMendelErrors) {
        std::cout << "Skipping markers with Mendelian erros." << std::endl;
    }
    return true;
}

bool Vantrel::readSingletons() {
    if (!controlFilesGiven && !caseFilesGiven) {
        return true;
    }
    pedigrees->caseControlPhenotypeName = caseControlPhenotypeName;
    if (controlFilesGiven && !(pedigrees->readMapFileForControlPedigrees(controlMapFileName) &&
                               pedigrees->readSingletonFile(controlGenotypeFileName, "controls",
                                                            singletonLinkageFormat))) {
        return failedInput("Reading the controls' files " + controlMapFileName + " and " +
                           controlGenotypeFileName + " failed");
    }
    if (caseFilesGiven &&
        !(pedigrees->readMapFileForCasePedigrees(caseMapFileName) &&
          pedigrees->readSingletonFile(caseGenotypeFileName, "cases", singletonLinkageFormat))) {
        return failedInput("Reading the cases' files " + caseMapFileName + " and " +
                           caseGenotypeFileName + " failed");
    }
    // Nothing is merged on a clash: the run would silently lack the
    // singletons.
    if (!pedigrees->combinePedigreesAndSingletons()) {
        return failedInput(
            "The case and control singletons could not be merged into the pedigrees of " +
            pedigreeFileName + ": a dummy pedigree id is taken already");
    }
    return true;
}

bool Vantrel::readLocusModel() {
    if (linkageLocusFileGiven) {
        auto file = std::make_unique<LinkageLocusFile>();
        if (!file->readLocusFile(linkageLocusFileName)) {
            return aborted();
        }
        file->setMarkerMap(pedigrees->getMarkerMap());
        delete pedigrees->linkageLocusFile;
        pedigrees->linkageLocusFile = file.release();
        const int loci = pedigrees->linkageLocusFile->getNumberOfLoci();
        if (loci != pedigrees->markerCount + 1) {
            return failedInput("The LINKAGE locus file " + linkageLocusFileName + " has " +
                               IntToString(loci) + " loci, but the map has " +
                               IntToString(pedigrees->markerCount) +
                               " markers: a trait locus and one locus per marker are needed (" +
                               IntToString(pedigrees->markerCount + 1) + " loci)");
        }
    }
    // The model-based analysis would otherwise run on the default model.
    if (modelFileGiven && !pedigrees->readModelFile(modelFileName)) {
        return failedInput("Reading the model file " + modelFileName + " failed");
    }
    if (modelBasedAnalysis && !modelFileGiven && !linkageLocusFileGiven) {
        std::cout << "Error: If you wish to do model-based Vantrel analysis, you have to use "
                     "model-file or Linkage datafile!\n"
                  << std::endl;
        return aborted();
    }
    if (!linkageLocusFileGiven && !pedigrees->makeLinkageLocusFile()) {
        return failedInput("Generating the LINKAGE locus file from the model failed");
    }
    linkageLocusFile = pedigrees->linkageLocusFile;
    // Every run makes the phenotype the status of an affection locus.
    if (!pedigrees->checkEngineLimits() ||
        !pedigrees->checkAffectionValues(phenotypeGiven ? phenotypeName : "")) {
        return aborted();
    }
    return checkLocusModel();
}

// The trait locus of the model is analysed only in the model-based run; the
// dominant and recessive runs build their own.
bool Vantrel::checkLocusModel() const {
    if (!modelBasedAnalysis) {
        return true;
    }
    const std::string source = linkageLocusFileGiven
                                   ? "the LINKAGE locus file " + linkageLocusFileName
                                   : "the model file " + modelFileName;
    if (xlinked && !linkageLocusFile->hasSexLinkedTraitLocus()) {
        return failedInput(
            "X-linked data (--xlinked) need a sex-linked disease model with male penetrances, "
            "and " +
            source + " has none");
    }
    const Locus* trait = linkageLocusFile->getLocus(0);
    if (trait == nullptr) {
        return failedInput(source + " has no trait locus");
    }
    return pedigrees->checkLiabilityClasses(*trait, source) || aborted();
}

bool Vantrel::read_input_files() {
    std::cout << "Reading input files..." << std::endl;
    // The chart files depend on the phenotypes read; they are checked once
    // those are known, still before the engine runs.
    if (!checkInputsAreNotEngineFiles(givenInputFiles()) ||
        !checkOutputFiles(resultFiles(), givenInputFiles()) || !refuseExistingEngineFiles()) {
        return aborted();
    }
    engineFilesChecked = true;
    pedigrees = std::make_unique<Pedigrees>();
    // The joint program's engine build holds more alleles than orlex's.
    pedigrees->engineLimits = vantrelEngineLimits;
    // The case and control maps share the layout of the main map.
    pedigrees->plinkMapFormat = plinkMapFormat;
    if (mapFileGiven && !pedigrees->readMapFile(mapFileName)) {
        return failedInput("Reading the map file " + mapFileName + " failed");
    }
    printStoreSettings();
    if (!readPedigrees() || !readSingletons()) {
        return false;
    }
    if (phenotypeFileGiven && !pedigrees->readPhenotypeFile(phenotypeFileName)) {
        return failedInput("Reading the phenotype file " + phenotypeFileName + " failed");
    }
    pedigrees->collapseAlleles();
    pedigrees->useNewAlleleNames = true;
    if (!readLocusModel()) {
        return false;
    }
    if (markerListFileGiven && !read_marker_list_file(markerListFileName)) {
        std::cout << "Error in reading marker list file\n" << std::endl;
        return aborted();
    }
    std::cout << "Done reading input files." << std::endl
              << "Output file prefix: " << outputPrefix << std::endl;
    return true;
}

bool Vantrel::read_marker_list_file(const std::string& fileName) {
    std::cout << "Reading marker list file: " << fileName << std::endl;
    const std::string problem = inputFileProblem(fileName);
    if (!problem.empty()) {
        std::cout << "Error: The marker list file " << fileName << " " << problem << std::endl;
        return false;
    }
    std::ifstream file(fileName);
    if (!file) {
        std::cout << "Error: Unable to open file " << fileName << " for reading." << std::endl;
        return false;
    }
    // Only the first word of a line names a marker; the last line counts
    // whether or not it ends with a line feed.
    std::vector<ColumnLine> lines;
    std::string tooLong;
    if (!readColumnLines(file, lines, tooLong)) {
        std::cout << "Error: The marker list file " << fileName << ": " << tooLong << std::endl;
        return false;
    }
    for (const ColumnLine& line : lines) {
        markerListNames.push_back(line.columns.front());
    }
    std::cout << "contained " << markerListNames.size() << " markers..." << std::endl
              << "...done" << std::endl;
    return true;
}

// Appends the marker's number (map index + 1) to the selection unless it has
// fewer than two alleles, or Mendelian errors that are to be skipped.
void Vantrel::selectMarker(const Marker* marker, std::vector<int>& selection) {
    const std::string index = marker->getIndex();
    const std::string name = marker->getName();
    const MarkerInfo* info = pedigrees->getMarkerInfo()->find(index);
    if (info == nullptr || info->getAlleles().size() < 2) {
        std::cout << "Warning: Marker " << name << " has less than 2 alleles...skipping."
                  << std::endl;
        monomorphicMarkers.push_back(name);
        return;
    }
    if (pedigrees->getMarkerMendelErrorStatus(index) && skipMendelErrors) {
        std::cout << "Warning: Marker " << name << " has Mendelian errors...skipping." << std::endl;
        mendelErrorMarkers.push_back(name);
        return;
    }
    selection.push_back(stringToInt(index) + 1);
}

std::vector<int> Vantrel::selectMarkers() {
    std::vector<int> selection;
    MarkerMap* map = pedigrees->getMarkerMap();
    if (markerGiven) {
        if (const Marker* marker = map->getMarkerWithName(markerName)) {
            selectMarker(marker, selection);
        } else {
            std::cout << "Error: Marker (" << markerName << ") not found!" << std::endl;
        }
    } else if (markerListFileGiven) {
        std::cout << "Marker list file in use!" << std::endl;
        for (const std::string& name : markerListNames) {
            if (const Marker* marker = map->getMarkerWithName(name)) {
                selectMarker(marker, selection);
            } else {
                std::cout << "Warning: Marker '" << name << "' not in map file...SKIPPING!"
                          << std::endl;
            }
        }
    } else {
        // The locus model has a trait locus and one locus per map marker.
        for (int i = 1; i < linkageLocusFile->getNumberOfLoci(); ++i) {
            if (const Marker* marker = map->getMarker(IntToString(i - 1))) {
                selectMarker(marker, selection);
            }
        }
    }
    return selection;
}

std::vector<std::string> Vantrel::selectPhenotypes() const {
    if (!phenotypeGiven) {
        return pedigrees->getPhenotypeNames();
    }
    if (pedigrees->isPhenotypeRead(phenotypeName)) {
        return {phenotypeName};
    }
    std::cout << "Error: Phenotype " << phenotypeName << " not found!" << std::endl;
    return {};
}

bool Vantrel::run() {
    if (useNomad) {
        std::cout << "Using NLopt's BOBYQA optimiser for the likelihood maximization!" << std::endl;
    }
    const std::vector<int> markers = selectMarkers();
    if (markers.empty()) {
        return failedInput(
            "No markers to orlex...! None of the selected markers is left to analyse (see the "
            "lines above)");
    }
    std::vector<std::string> phenotypes = selectPhenotypes();
    if (phenotypes.empty()) {
        return failedInput("No phenotypes to orlex...! None of the pedigree file " +
                           pedigreeFileName + " is left to analyse");
    }
    // The liability class goes to the engine with the affection status; it
    // is never a trait of its own.
    phenotypes.erase(
        std::remove(phenotypes.begin(), phenotypes.end(), std::string(liabilityClassPhenotype)),
        phenotypes.end());
    if (phenotypes.empty()) {
        return failedInput(
            "LIABILITY_CLASS is the liability class of the affection status, not "
            "a phenotype to analyse: choose another with --phen");
    }
    // The singletons carry their status only in this phenotype: in any other
    // they would enter every run as persons of unknown status.
    if ((caseFilesGiven || controlFilesGiven) &&
        std::find(phenotypes.begin(), phenotypes.end(), caseControlPhenotypeName) ==
            phenotypes.end()) {
        return failedInput("The cases' and controls' phenotype " + caseControlPhenotypeName +
                           " (--ccphen) is not analysed: the analysed phenotypes are " +
                           joinedNames(phenotypes) + ": name one of them with --ccphen");
    }

    if (!checkOutputFiles(chartFiles(phenotypes), givenInputFiles())) {
        return aborted();
    }
    const std::vector<std::pair<bool, const char*>> models{{dominantAnalysis, "Dominant"},
                                                           {recessiveAnalysis, "Recessive"},
                                                           {modelBasedAnalysis, "Model-based"}};
    for (const auto& [enabled, model] : models) {
        if (enabled && !execute_analysis(phenotypes, markers, model)) {
            return false;
        }
    }
    return true;
}
