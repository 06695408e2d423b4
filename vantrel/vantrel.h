// The driver of the joint linkage and linkage-disequilibrium program: its
// options, the one store of pedigrees, the LINKAGE locus model and the result
// records of every phenotype and model it analyses.
//
// The member functions are spread over the files of this folder by concern:
// vantrel.cpp (banner, input, marker and phenotype selection, run),
// command_line.cpp, and the files of the hypothesis schedule, the engine's
// datafile, the maximisation runs and the result files.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "locus_file.h"
#include "pedigrees.h"

class Likelihoods;
class VTResults;

class Vantrel {
  public:
    Vantrel();
    ~Vantrel();
    Vantrel(const Vantrel&) = delete;
    Vantrel& operator=(const Vantrel&) = delete;

    // The banner printed at start and written at the top of the detail file.
    static std::string welcome();

    // Reads the command line into the option members. A malformed command
    // line ends the process with status 1, help and version output with 0.
    bool parse_cmdline_arguments(int argc, char** argv);
    bool read_input_files();
    // Selects the markers and phenotypes and runs every enabled model.
    bool run();
    bool read_marker_list_file(const std::string& fileName);
    // Removes the engine's exchange files from the working directory once
    // the run has made sure that none of them was there before it; called
    // after a successful run.
    void cleanUp() const;
    // Whether a report of the pedigree checks was lost, which fails the run
    // once its results are written.
    bool reportFileLost() const;
    // The detail and table files a run with these options writes (none
    // without a model), and the chart files of the phenotypes and models;
    // all are checked before the engine runs.
    std::vector<std::string> resultFiles() const;
    std::vector<std::string> chartFiles(const std::vector<std::string>& phenotypes) const;

    // The four-hypothesis schedule of one model over the selected phenotypes
    // and marker numbers (map index + 1).
    bool execute_analysis(std::vector<std::string> phenotypes, std::vector<int> markers,
                          std::string model);
    // Builds and writes "datafile.dat" for one maximisation run and keeps it
    // as currentDatafile.
    bool make_datafile(int marker, bool linkage, bool ld, std::string model, bool frequenciesFixed,
                       bool thetasFixed);
    // One maximisation with the engine; null after a failure. The record is
    // never deleted before the process ends.
    Likelihoods* maximize_likelihood(bool linkage, bool ld, bool frequenciesFixed,
                                     bool thetasFixed);
    // The detail file (prefix + ".out"), the table file (prefix +
    // "_tbl.out") and the charts of every phenotype and model. False, after
    // an "Error: " line, when a file cannot be opened, written or closed, or
    // a chart is refused; a result file that fails stops the writing, a
    // chart that fails does not keep the others from being written.
    bool write_result_files();
    void setStep(unsigned int n) { step = n; }

    // The selections run() analyses, with their messages: the marker numbers
    // (map index + 1; skipped markers are listed in the members below), and
    // the phenotype names before the liability class is taken out.
    std::vector<int> selectMarkers();
    std::vector<std::string> selectPhenotypes() const;

    // ---- Options (command_line.cpp)
    std::string pedigreeFileName = "vantrel.ped";
    std::string linkageLocusFileName;
    bool linkageLocusFileGiven = false;
    std::string phenotypeFileName;
    bool phenotypeFileGiven = false;
    std::string mapFileName;
    bool mapFileGiven = false;
    std::string modelFileName;
    bool modelFileGiven = false;
    std::string controlMapFileName;
    std::string controlGenotypeFileName;
    bool controlFilesGiven = false;
    std::string caseMapFileName;
    std::string caseGenotypeFileName;
    bool caseFilesGiven = false;
    std::string caseControlPhenotypeName = "DISEASE_LOCUS";
    bool singletonLinkageFormat = false;
    std::string markerListFileName;
    bool markerListFileGiven = false;
    std::string outputPrefix = "vantrel";
    bool linkageFormat = false;
    bool hasDiseasePhenotype = true;
    bool liabilityClass = false;
    bool plinkMapFormat = false;
    bool xlinked = false;
    bool useNomad = true;
    bool dominantAnalysis = false;
    bool recessiveAnalysis = false;
    bool modelBasedAnalysis = false;
    std::string markerName;
    bool markerGiven = false;
    std::string phenotypeName = "DISEASE_LOCUS";
    bool phenotypeGiven = false;
    bool verbose = false;
    bool forceLoopBreak = false;
    bool skipMendelErrors = false;
    bool debugGenotypes = false;
    bool debugCodominant = false;
    bool debugStartValues = false;
    bool msPause = false;

    // ---- Run state
    // The store; null until read_input_files creates it.
    std::unique_ptr<Pedigrees> pedigrees;
    // The program's LINKAGE locus model: locus 0 the trait locus, locus i the
    // marker of map index i - 1. Owned by the store.
    LinkageLocusFile* linkageLocusFile = nullptr;
    std::vector<std::string> markerListNames;
    // Selected markers skipped for fewer than two alleles, and for Mendelian
    // errors, in selection order.
    std::vector<std::string> monomorphicMarkers;
    std::vector<std::string> mendelErrorMarkers;
    // One per phenotype and model, in run order.
    std::vector<std::unique_ptr<VTResults>> results;
    // The locus file of the latest "datafile.dat".
    std::unique_ptr<LinkageLocusFile> currentDatafile;

    // ---- Hypothesis schedule state. The runs are shared with the results
    // and live until the process ends.
    Likelihoods* bestH0 = nullptr;
    Likelihoods* bestH1 = nullptr;
    Likelihoods* bestH3 = nullptr;
    unsigned int step = 0;
    // Every run record made by maximize_likelihood, kept to the end of the
    // run: the results and the best-run pointers above share them.
    std::vector<std::unique_ptr<Likelihoods>> runRecords;

  private:
    std::vector<std::pair<std::string, std::string>> givenInputFiles() const;
    // ---- Result files (result_files.cpp)
    std::string detailFileText() const;
    std::string inputSummaryText() const;
    std::string tableFileText() const;
    std::string skippedMarkerLists() const;
    bool writeCharts();
    void printStoreSettings();
    bool readPedigrees();
    bool readSingletons();
    bool readLocusModel();
    bool checkLocusModel() const;
    void selectMarker(const Marker* marker, std::vector<int>& selection);

    // Set once no engine file was found in the working directory: only then
    // are the engine files the clean-up removes this run's own.
    bool engineFilesChecked = false;
};
