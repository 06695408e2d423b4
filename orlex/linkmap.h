// Multipoint linkage analysis through the engine's LINKMAP build: a window of
// markers slides along the map and the trait locus is moved through it.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "linkmap_likelihoods.h"

class Pedigrees;
class PostScriptPage;

// One heterogeneity point of a multipoint evaluation.
class LinkmapHLod {
  public:
    // Numbers the points of one trait position from 1, across its
    // evaluations and admixture proportions.
    int index = 0;
    double alpha = -1.0;
    double hlod = -1.0;
};

class Linkmap {
  public:
    explicit Linkmap(Pedigrees* pedigrees);
    Linkmap(const Linkmap&) = delete;
    Linkmap& operator=(const Linkmap&) = delete;
    ~Linkmap();

    // Selects the markers and phenotypes and runs every window. False stops
    // the program; one usable marker is true with no results.
    bool run();
    bool execute_analysis(std::vector<std::string> phenotypes, std::vector<int> markerNumbers);
    // Writes "datafile.dat" for the window's markers with the trait where the
    // locus order puts it.
    bool make_datafile(std::vector<std::string> markerIndices, std::vector<int> locusOrder);
    // Runs unknown and LINKMAP on the exchange files.
    bool linkmap();

    // Heterogeneity LOD of every evaluation at every admixture proportion.
    void countHLods();
    bool writeResults(std::string fileName);
    bool writeResultsPostScript(std::string baseName);
    bool writeHLodResults(std::string baseName);
    bool writeHLodResultsByFamily(std::string baseName);
    // The banner that opens the text result files.
    static std::string welcome();

    Pedigrees* pedigrees;
    int windowSize = 3;
    bool phenotypeGiven = false;
    std::string phenotypeName;
    // Evaluations that LINKMAP makes along each interval.
    int steps = 5;
    bool resultsPresent = true;
    bool fewerAllelesAllowed = false;
    bool slow = false;
    // Phenotype -> window key -> one run per trait position (0 first). A
    // window key is its marker names, each followed by one blank.
    std::map<std::string, std::map<std::string, std::vector<LinkmapLikelihoods*>>> results;
    // The window keys of each phenotype in window order.
    std::map<std::string, std::vector<std::string>> windowKeys;
    std::vector<std::string> phenotypes;
    // Per phenotype (order of phenotypes), per window (order of windowKeys),
    // one row per evaluation (trait position 0 first), one point per alpha.
    std::vector<std::vector<std::vector<std::vector<LinkmapHLod>>>> hlods;
    std::vector<std::string> alphaLabels;

  private:
    bool selectMarkers(std::vector<int>& markerNumbers) const;
    bool selectPhenotypes(std::vector<std::string>& selected) const;
    // Brings the window size and the steps into their bounds with a warning,
    // or refuses them with an "Error: " line and false when they ask more
    // than the engine can give.
    bool clampWindowAndSteps(int markerCount, int phenotypeCount);
    // The reason the window cannot be run (markers on two chromosomes or out
    // of map order), or "" when it can.
    std::string windowProblem(const std::vector<std::string>& markerIndices) const;
    bool analyseWindow(const std::string& phenotype, const std::vector<std::string>& indices,
                       std::map<std::string, std::vector<LinkmapLikelihoods*>>& windows,
                       std::vector<std::string>& keys);
    // The evaluations that each datafile of the window asks LINKMAP for
    // along the trait's interval: none when two of its markers stand at one
    // position.
    int evaluationsAsked(const std::vector<std::string>& markerIndices) const;
    std::unique_ptr<LinkmapLikelihoods> runTraitPosition(const std::vector<std::string>& indices,
                                                         const std::vector<std::string>& names,
                                                         int traitPosition);

    // Owns every run read, also those of a phenotype whose analysis failed.
    std::vector<std::unique_ptr<LinkmapLikelihoods>> runs;
};

// What the engine's file of one trait position lacks against the asked
// number of evaluations (every evaluation placed by its THETAS line, at
// least the asked number of them, at least one), or "" when it lacks nothing.
std::string missingEvaluations(const LinkmapLikelihoods& run, int asked);

// The LOD curve page of one window (its runs in trait-position order) over
// its interior intervals, x in cM from the first marker by the map's
// function, with the value and position axes set from the points. The
// caller owns the page and sets its texts.
PostScriptPage* multipointCurvePage(const std::vector<LinkmapLikelihoods*>& window, bool haldane);
