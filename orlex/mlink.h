// Two-point (singlepoint) linkage analysis through the engine's MLINK build.
#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fastlink_likelihoods.h"
#include "file.h"

class Pedigrees;

// One marker's two-point results: one evaluation point per block of the
// engine's file, keyed by the doubleToString text of its recombination
// fraction, in reading order.
class MLinkMarker {
  public:
    MLinkMarker() = default;
    MLinkMarker(const MLinkMarker&) = delete;
    MLinkMarker& operator=(const MLinkMarker&) = delete;

    // Takes ownership of the point.
    void addLikelihoods(double theta, FastlinkLikelihoods* likelihoods);
    FastlinkLikelihoods* getLikelihoods(double theta) const;
    std::vector<std::string> getLikelihoodsNames() const { return likelihoodsNames; }
    std::map<std::string, FastlinkLikelihoods*> getAllLikelihoods() const { return likelihoods; }
    // The block with the largest total LOD; the earliest block wins ties, so
    // the engine's first block (theta 0.5) wins when every LOD is equal.
    // Null for a marker without blocks.
    FastlinkLikelihoods* getLikelihoodWithMaxLodScore() const;
    void setIndex(const std::string& name) { index = name; }
    std::string getIndex() const { return index; }

    // A repeated theta text stands twice in the names; the map keeps the later point.
    std::map<std::string, FastlinkLikelihoods*> likelihoods;
    std::vector<std::string> likelihoodsNames;
    // The marker's name.
    std::string index;

  private:
    std::vector<std::unique_ptr<FastlinkLikelihoods>> points;
};

// One point of the heterogeneity grid: the recombination fraction of a
// block, the share of linked pedigrees and the heterogeneity LOD there.
class MLinkHLod {
  public:
    double theta = 0.0;
    double alpha = 0.0;
    double hlod = 0.0;
};

// One kind of two-point analysis: "basic" on the whole pedigrees of the
// store, "nuclear" on its component nuclear pedigrees.
class MLink {
  public:
    explicit MLink(Pedigrees* pedigrees);
    MLink(const MLink&) = delete;
    MLink& operator=(const MLink&) = delete;
    ~MLink();

    // Runs the engine for every selected phenotype and marker ("" selects
    // all) and keeps one row of marker results per phenotype.
    bool run(const std::string& kind, const std::string& marker, const std::string& phenotype);
    // Reads the engine's two-point result file of the marker in work into a
    // new MLinkMarker appended to currentMarkers.
    bool readResultsFile(const std::string& fileName, const std::string& kind);
    // Heterogeneity LODs of every marker on the grid of recombination
    // fractions (the blocks from the second on) and admixture proportions,
    // and the best point of each; prints the best points. Once per object.
    void maximizeHLod();

    // Result files; each takes a base name and adds ".out" or ".ps".
    // The program's banner at the top of every result file.
    static std::string welcome();
    bool writeResultsFile(const std::string& baseName);
    bool writeResultsByFamilyFile(const std::string& baseName);
    bool writeAllLODScoresFile(const std::string& baseName);
    bool writeHLodFile(const std::string& baseName);
    bool writeHLodPostscript(const std::string& baseName);
    // One line of the LOD table: each marker's LOD at the theta.
    void writeEveryMarkersGivenLODScore(File* file, const std::vector<MLinkMarker*>& row,
                                        const std::string& thetaText);

    Pedigrees* pedigrees;
    // The row being filled for the phenotype in work; copied into results at its end.
    std::vector<MLinkMarker*> currentMarkers;
    // One row per selected phenotype, one record per analysed marker.
    std::vector<std::vector<MLinkMarker*>> results;
    std::string analysisType;
    std::string markerName;
    std::string phenotypeName;
    std::vector<std::string> selectedMarkers;
    std::vector<std::string> selectedPhenotypes;
    // Heterogeneity results, filled by maximizeHLod. hlodGrid: per row, per
    // marker record of the row, per block from the second on (reading order),
    // one point per admixture proportion (ascending); a marker with fewer
    // than two blocks has no blocks here. bestHlods: per row, per marker
    // record, its best point.
    std::vector<std::vector<std::vector<std::vector<MLinkHLod>>>> hlodGrid;
    std::vector<std::string> hlodPhenotypes;
    // Labels of the grid: the admixture proportions, and the recombination
    // fractions of the blocks of the first marker of the first row.
    std::vector<std::string> alphaLabels;
    std::vector<std::string> thetaLabels;
    // The block keys of the marker in work.
    std::vector<std::string> thetaNames;
    std::vector<std::vector<MLinkHLod>> bestHlods;
    bool fewerAllelesAllowed = false;
    int currentMarkerIndex = 0;
    bool slow = false;

    // Takes ownership of a marker record made outside a run (tests build
    // results by hand).
    void ownMarker(MLinkMarker* marker) { markerRecords.emplace_back(marker); }

  private:
    bool selectMarkers();
    bool selectPhenotypes();
    bool analyseMarker(const std::string& phenotype, const std::string& marker);
    bool writePedigreeFile(const std::string& phenotype, const std::string& markerIndex,
                           const std::string& marker);
    bool writeLocusFile(const std::string& markerIndex, const std::string& marker);
    bool runEngine(const std::string& program, const std::string& label,
                   const std::string& command);
    int pedigreeCount(const std::string& kind) const;

    // Owns every marker record made, including those of a row that a
    // failed run never copied into results.
    std::vector<std::unique_ptr<MLinkMarker>> markerRecords;
};

// Reads the blocks of an MLINK two-point result file into the marker. A
// block whose numbers do not stand where they belong ends the reading with
// false and a message naming the file, its line and the field.
// The "Error: " lines of a --marker or --phenotype option that names no
// marker of the map file, or no phenotype that the store read.
void reportUnknownMarker(const Pedigrees& store, const std::string& name);
void reportUnknownPhenotype(const Pedigrees& store, const std::string& name);

bool readTwoPointBlocks(std::istream& input, const std::string& fileName, int pedigreeCount,
                        MLinkMarker& marker);
