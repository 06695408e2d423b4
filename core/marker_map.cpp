#include "marker_map.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

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

// The fields of one map entry; a field the line ends before stays empty.
// Whatever follows the fields on their line is a comment.
struct MapEntryFields {
    std::string chromosome;
    std::string name;
    std::string position;
    std::string basePairPosition;
};

static MapEntryFields entryFields(const std::vector<std::string>& words, bool plinkFormat) {
    const auto word = [&words](std::size_t i) { return i < words.size() ? words[i] : ""; };
    if (plinkFormat) {
        return {word(0), word(1), word(2), word(3)};
    }
    return {word(0), word(2), word(1), "0"};
}

static bool isNumber(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(value);
}

static bool mapReadFailed(const std::string& reason) {
    const bool marked = reason.rfind("Error: ", 0) == 0;
    std::cout << "...failed" << '\n' << (marked ? "" : "Error: ") << reason << std::endl;
    return false;
}

// The header is the whole first line; its second word names the map
// function, and any word after the third is part of the header too.
static std::string mapFunctionOfHeader(const std::string& fileName,
                                       const std::vector<std::string>& header) {
    const std::string function = header.size() > 1 ? stringToLower(header[1]) : "";
    if (function != "haldane" && function != "kosambi") {
        std::cout << "Warning: The header of map file " << fileName << " names "
                  << (function.empty() ? "no map function" : "the map function " + header[1])
                  << ", neither Haldane nor Kosambi: Kosambi's function is used" << std::endl;
    }
    return function;
}

bool MarkerMap::readMapFile(const std::string& fileName) {
    std::cout << "Reading map file " << fileName << std::endl;
    const std::string problem = inputFileProblem(fileName);
    if (!problem.empty()) {
        return mapReadFailed("Error: The map file " + fileName + " " + problem);
    }
    std::ifstream in(fileName);
    if (!in.is_open()) {
        return mapReadFailed("Error: Unable to open marker map file " + fileName + " for reading!");
    }
    std::vector<ColumnLine> lines;
    std::string tooLong;
    if (!readColumnLines(in, lines, tooLong)) {
        return mapReadFailed("Error: Map file " + fileName + ": " + tooLong);
    }
    auto line = lines.cbegin();
    if (plinkFormat) {
        std::cout << "(Map file is in PLINK format)" << std::endl;
        mapFunction = "haldane";
    } else if (line != lines.cend()) {
        // The header is the file's first line, even when it is blank.
        const bool header = line->number == 1;
        mapFunction =
            mapFunctionOfHeader(fileName, header ? line->columns : std::vector<std::string>());
        line += header ? 1 : 0;
    }

    int counter = 0;
    for (; line != lines.cend(); ++line) {
        const int lineNumber = line->number;
        const MapEntryFields entry = entryFields(line->columns, plinkFormat);
        const std::string where =
            " at line " + IntToString(lineNumber) + " of map file " + fileName;
        if (entry.position.empty()) {
            return mapReadFailed("Error: Map function is missing: no marker position" + where);
        }
        if (entry.name.empty()) {
            return mapReadFailed("Error: Marker name is missing" + where);
        }
        // Read as 0 cM, a word in place of a position would put the marker
        // at the start of the map without a word said.
        if (!isNumber(entry.position)) {
            return mapReadFailed("Error: The position " + entry.position + " of marker " +
                                 entry.name + " at line " + IntToString(lineNumber) +
                                 " of map file " + fileName + " is not a number (field " +
                                 (plinkFormat ? "3" : "2") + ", centiMorgans)");
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
            return mapReadFailed("Error: Duplicate marker at line: " + IntToString(lineNumber) +
                                 " markername: " + entry.name + " of map file " + fileName);
        }
    }
    // A read error (such as a directory given as the map) must not pass for
    // a map without markers, which would have one generated in its place.
    if (in.bad()) {
        return mapReadFailed("Error: Unable to read marker map file " + fileName + "!");
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
