// The driver of the linkage analysis program: its options, the one store of
// pedigrees and the analyses it runs.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "hrr.h"
#include "linkmap.h"
#include "mlink.h"
#include "pedigrees.h"

class Orlex {
  public:
    Orlex();
    ~Orlex();
    Orlex(const Orlex&) = delete;
    Orlex& operator=(const Orlex&) = delete;

    // The banner printed at start and written at the top of the summary file.
    static std::string welcome();

    // Reads the command line into the members. A malformed command line ends
    // the process with status 1, help and version output with status 0.
    bool parse(int argc, char** argv);
    bool readInputFiles();
    bool run();
    bool writeResults();
    // The best LOD scores and the association p-values of every marker in
    // name + ".out"; false when the file cannot be written.
    bool writeSummaryFile(const std::string& name);
    // Removes the engine's exchange files from the working directory once
    // the run has made sure that none of them was there before it.
    void cleanUp() const;
    // Every file that a run with these options writes its results to
    // (result files, charts, summary, statistics files), in the order they
    // are written: worked out before anything is read, so that a run that
    // could not keep them is refused before it computes.
    std::vector<std::string> outputFiles() const;

    std::unique_ptr<Pedigrees> pedigrees;
    std::unique_ptr<MLink> basicMLink;
    std::unique_ptr<MLink> nuclearMLink;
    std::unique_ptr<Hrr> hrr;
    std::unique_ptr<Linkmap> linkmap;

    bool pedigreeFileGiven = false;
    bool mapFileGiven = false;
    bool phenotypeFileGiven = false;
    bool locusFileGiven = false;
    bool modelFileGiven = false;
    std::string pedigreeFile = "orlex.pre";
    std::string mapFile = "orlex.map";
    std::string phenotypeFile = "orlex.phen";
    std::string locusFile = "orlex.dat";
    std::string modelFile = "orlex.model";
    bool postMakeped = false;
    bool xlinked = false;
    bool liabilityClass = false;
    bool affectionStatus = true;
    bool hrrAnalysis = false;
    bool sibpairAnalysis = false;
    bool singlepointAnalysis = false;
    bool multipointAnalysis = false;
    bool hlodAnalysis = false;
    std::string markerName;
    std::string phenotypeName;
    bool verbose = false;
    bool statistics = false;
    bool prefixGiven = false;
    std::string outputPrefix = "orlex";
    bool msPause = false;
    bool nuclearAnalysis = false;
    std::string frequencyType = "a";
    bool frequencyTypeGiven = false;
    bool singlepointCurves = false;
    bool byFamily = false;
    bool quiet = false;
    bool trim = false;
    int windowSize = 3;
    int steps = 5;
    bool onlyMarkersGiven = false;
    std::string onlyMarkersFile;
    bool slow = false;

  private:
    bool engineFilesChecked = false;
    std::vector<std::pair<std::string, std::string>> givenInputFiles() const;
    bool checkOptions() const;
    bool checkInputNames() const;
    bool checkOutputs() const;
    void copySettingsIntoStore();
    bool readPedigrees();
    bool generateLocusModel();
    bool readLocusModel();
    bool checkLocusModel() const;
    bool checkLiabilityClasses() const;
    bool checkAffectionValues() const;
    bool runSinglepoint();
    bool runHrr();
    // The result files of one two-point analysis; false when any was lost.
    bool writeSinglepointResults(MLink& mlink, const std::string& suffix);

    // Where the trait locus of the run came from, for the messages about it.
    std::string traitLocusSource;
    bool runMultipoint();
    // The multipoint result files; false when any was lost.
    bool writeMultipointResults();
};
