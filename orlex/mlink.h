// Two-point (singlepoint) linkage analysis through the engine's MLINK build.
#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fastlink_likelihoods.h"

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
    bool fewerAllelesAllowed = false;
    int currentMarkerIndex = 0;
    bool slow = false;

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
bool readTwoPointBlocks(std::istream& input, const std::string& fileName, int pedigreeCount,
                        MLinkMarker& marker);
