// The genetic map of a data set and the map functions between centiMorgans
// and recombination fractions.
#pragma once

#include <map>
#include <string>

#include "rbtree.h"
#include "records.h"

// d in centiMorgans, theta a recombination fraction. Every value is converted
// as it is: a negative distance gives a negative fraction, and a fraction of
// one half or more has no finite distance.
double HaldaneCentiMorganToRecombinationFraction(double centiMorgans);
double KosambiCentiMorganToRecombinationFraction(double centiMorgans);
double RecombinationFractionToHaldaneCentiMorgan(double theta);
double RecombinationFractionToKosambiCentiMorgan(double theta);

// The markers in map-file order. Markers are known elsewhere by their index,
// the decimal text of their 0-based position in the file; the map turns an
// index into a name and a position. Filled once, then only read.
class MarkerMap {
  public:
    std::string mapFunction;  // "haldane"; any other text means Kosambi's
    RBTree<Marker>* markerTree;
    int markerCount = 0;
    std::map<std::string, std::string> markerNames;  // index -> name
    bool plinkFormat = false;  // chromosome, name, cM, bp columns; set before reading

    MarkerMap();
    ~MarkerMap();
    MarkerMap(const MarkerMap&) = delete;
    MarkerMap& operator=(const MarkerMap&) = delete;

    bool readMapFile(const std::string& fileName);
    // n markers "MARKER1".."MARKERn" on chromosome 1, 10 cM apart from 1 cM.
    void makeMarkerMap(int n);

    bool isHaldane() const;
    int getMarkerCount() const;
    int getNumberOfMarkers() const;
    Marker* getMarkerWithName(const std::string& name) const;
    std::string getMarkerName(const std::string& index) const;
    Marker* getMarker(const std::string& index) const;
    // "chromosome name basePairs centiMorgans"; "" for a name not in the map.
    std::string getFullMarkerInfo(const std::string& name) const;
    // Signed: negative when the second marker lies before the first; -1 when
    // either is missing.
    double getGeneticDistanceBetween(const std::string& name1, const std::string& name2) const;
    double getRecombinationFractionBetweenWithIndex(const std::string& index1,
                                                    const std::string& index2) const;
};
