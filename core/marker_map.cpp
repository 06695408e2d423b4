#include "marker_map.h"

#include <cmath>
#include <fstream>
#include <iostream>
#include <limits>

#include "utilities.h"

double HaldaneCentiMorganToRecombinationFraction(double centiMorgans) {
    return -0.5 * std::expm1(-2.0 * centiMorgans / 100.0);
}

// tanh keeps the fraction at one half for distances whose exponential would
// overflow.
double KosambiCentiMorganToRecombinationFraction(double centiMorgans) {
    return 0.5 * std::tanh(2.0 * centiMorgans / 100.0);
}

double RecombinationFractionToHaldaneCentiMorgan(double theta) {
    return -0.5 * std::log1p(-2.0 * theta) * 100.0;
}

double RecombinationFractionToKosambiCentiMorgan(double theta) {
    return 0.5 * std::atanh(2.0 * theta) * 100.0;
}

MarkerMap::MarkerMap() : markerTree(new RBTree<Marker>(new Marker(), "Marker Map Tree")) {}

MarkerMap::~MarkerMap() {
    delete markerTree;
}

// The tokens of one map entry; a token the file ended before stays empty.
struct MapEntryTokens {
    std::string chromosome;
    std::string name;
    std::string position;
    std::string basePairPosition;
};

static MapEntryTokens readEntryTokens(std::istream& in, bool plinkFormat) {
    MapEntryTokens entry;
    if (plinkFormat) {
        in >> entry.chromosome >> entry.name >> entry.position >> entry.basePairPosition;
    } else {
        in >> entry.chromosome >> entry.position >> entry.name;
        entry.basePairPosition = "0";
    }
    return entry;
}

static bool mapReadFailed(const std::string& reason) {
    std::cout << "...failed" << '\n' << reason << std::endl;
    return false;
}

bool MarkerMap::readMapFile(const std::string& fileName) {
    std::cout << "Reading map file " << fileName << std::endl;
    std::ifstream in(fileName);
    if (!in.is_open()) {
        return mapReadFailed("Unable to open marker map file " + fileName + " for reading!");
    }
    if (plinkFormat) {
        std::cout << "(Map file is in PLINK format)" << std::endl;
        mapFunction = "haldane";
    } else {
        std::string unused;
        std::string function;
        in >> unused >> function >> unused;
        mapFunction = stringToLower(function);
    }

    int counter = 0;
    while (!in.eof()) {
        const MapEntryTokens entry = readEntryTokens(in, plinkFormat);
        // Whatever follows an entry on its line is a comment, however long.
        in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        if (entry.chromosome.empty()) {
            break;
        }
        if (entry.position.empty()) {
            return mapReadFailed("Map function is missing");
        }
        if (entry.name.empty()) {
            return mapReadFailed("Marker name is missing");
        }
        if (counter < 5) {
            std::cout << ' ' << entry.name;
        }
        auto* marker = new Marker(entry.name, entry.chromosome, entry.position, false);
        const std::string index = IntToString(counter);
        marker->setIndex(index);
        marker->basePairPosition = entry.basePairPosition;
        markerNames[index] = entry.name;
        const bool inserted = markerTree->insert(marker);
        ++counter;
        if (!inserted) {
            delete marker;
            return mapReadFailed("Duplicate marker at line: " + IntToString(counter) +
                                 " markername: " + entry.name);
        }
    }
    // A read error (such as a directory given as the map) must not pass for
    // a map without markers, which would have one generated in its place.
    if (in.bad()) {
        return mapReadFailed("Unable to read marker map file " + fileName + "!");
    }

    std::cout << " ..." << '\n';
    markerCount = counter;
    in.close();
    std::cout << "(Number of markers : " << markerCount << ")" << '\n' << "...done." << std::endl;
    return true;
}

void MarkerMap::makeMarkerMap(int n) {
    std::cout << "Generating map file " << std::endl;
    mapFunction = "haldane";
    for (int i = 0; i < n; ++i) {
        const std::string index = IntToString(i);
        auto* marker = new Marker("MARKER" + IntToString(i + 1), "1", index + "1", false);
        marker->setIndex(index);
        markerNames[index] = marker->getName();
        if (markerTree->insert(marker)) {
            ++markerCount;
        } else {
            delete marker;
        }
    }
    std::cout << "(Number of markers : " << markerCount << ")"
              << "...done." << std::endl;
}

bool MarkerMap::isHaldane() const {
    return mapFunction == "haldane";
}

int MarkerMap::getMarkerCount() const {
    return markerCount;
}

int MarkerMap::getNumberOfMarkers() const {
    return markerTree->count;
}

Marker* MarkerMap::getMarkerWithName(const std::string& name) const {
    return markerTree->find(name);
}

std::string MarkerMap::getMarkerName(const std::string& index) const {
    const auto found = markerNames.find(index);
    return found == markerNames.end() ? std::string() : found->second;
}

Marker* MarkerMap::getMarker(const std::string& index) const {
    const auto found = markerNames.find(index);
    return found == markerNames.end() ? nullptr : getMarkerWithName(found->second);
}

std::string MarkerMap::getFullMarkerInfo(const std::string& name) const {
    const Marker* marker = getMarkerWithName(name);
    if (marker == nullptr) {
        return "";
    }
    return marker->getChromosome() + " " + marker->getName() + " " + marker->basePairPosition +
           " " + doubleToString(marker->getPosition());
}

double MarkerMap::getGeneticDistanceBetween(const std::string& name1,
                                            const std::string& name2) const {
    const Marker* first = getMarkerWithName(name1);
    const Marker* second = getMarkerWithName(name2);
    if (first == nullptr) {
        std::cout << "marker1 is null";
    }
    if (second == nullptr) {
        std::cout << "marker2 is null";
    }
    if (first == nullptr || second == nullptr) {
        return -1.0;
    }
    return second->getPosition() - first->getPosition();
}

double MarkerMap::getRecombinationFractionBetweenWithIndex(const std::string& index1,
                                                           const std::string& index2) const {
    const double distance = getGeneticDistanceBetween(getMarkerName(index1), getMarkerName(index2));
    return isHaldane() ? HaldaneCentiMorganToRecombinationFraction(distance)
                       : KosambiCentiMorganToRecombinationFraction(distance);
}
