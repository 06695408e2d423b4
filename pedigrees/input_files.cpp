// The input files that complete the pedigree file: the marker map (read or
// generated), the phenotype file and the marker-selection ("onlymarkers") file.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include "file.h"
#include "marker_map.h"
#include "pedigrees.h"
#include "utilities.h"

// Every failure of a reader says so on a line of its own that starts with
// "Error: ".
static void printFailure(const std::string& reason) {
    const bool marked = reason.rfind("Error: ", 0) == 0;
    std::cout << "...failed" << std::endl << (marked ? "" : "Error: ") << reason << std::endl;
}

static bool isMissingPhenotypeValue(const std::string& value) {
    return value == "x" || value == "-" || value == "." || value == "0";
}

// The whole text is an integer (0 otherwise, as a count that cannot be read).
static int completeInteger(const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE ||
        value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
        return 0;
    }
    return static_cast<int>(value);
}

// The whole text is a finite decimal number.
static bool isCompleteNumber(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(value);
}

bool Pedigrees::readMapFile(const std::string& fileName) {
    mapFileName = fileName;
    if (markerMap == nullptr) {
        markerMap = new MarkerMap();
    }
    if (plinkMapFormat) {
        markerMap->plinkFormat = true;
    }
    const bool read = markerMap->readMapFile(fileName);
    markerCount = markerMap->getMarkerCount();
    return read;
}

bool Pedigrees::makeMapFile(const std::string& fileName) {
    const std::vector<std::vector<std::string>> rows = readFile(fileName);
    if (rows.empty()) {
        return false;
    }
    const auto& first = rows.front();
    const bool uniform = std::all_of(rows.begin(), rows.end(),
                                     [&](const auto& row) { return row.size() == first.size(); });
    if (!uniform) {
        return false;
    }
    const int count = static_cast<int>(first.size());
    int remaining = count;
    if (count >= 2 && first[count - 2] == "Per:") {
        remaining -= 4;
    }
    if (first.back() == "orig" || first.back() == "simu") {
        remaining -= 6;
    }
    const int countingBase = linkageFormat ? 10 : 6;
    const int markers = (affectionStatusColumn ? 0 : 1) + (remaining - countingBase) / 2;
    if (markerMap == nullptr) {
        markerMap = new MarkerMap();
    }
    markerMap->makeMarkerMap(markers);
    markerCount = markerMap->getMarkerCount();
    return true;
}

bool Pedigrees::readPhenotypeFile(const std::string& fileName) {
    phenotypeFileName = fileName;
    std::cout << "Reading phenotype file: " << fileName;
    if (!pedigreeFileRead) {
        printFailure("Error: Unable to open phenotype file before Pedigreefile ");
        return false;
    }
    const auto fail = [&fileName](const std::string& problem) {
        printFailure("Error: Phenotype file " + fileName + ": " + problem);
        return false;
    };
    const std::string problem = inputFileProblem(fileName);
    if (!problem.empty()) {
        return fail(problem);
    }
    std::ifstream in(fileName);
    if (!in) {
        printFailure("Error: Unable to open phenotype file " + fileName + " for reading.");
        return false;
    }
    std::vector<ColumnLine> lines;
    std::string tooLong;
    if (!readColumnLines(in, lines, tooLong)) {
        return fail(tooLong);
    }
    if (in.bad()) {
        return fail("cannot be read");
    }
    in.close();

    // The header is the first line: the number of phenotypes and their
    // names; whatever follows the last name is ignored. A header short of
    // names is refused: taking them from the next line would swallow the
    // first person's values.
    const int headerLine = lines.empty() ? 1 : lines.front().number;
    const std::vector<std::string> noWords;
    const std::vector<std::string>& header = lines.empty() ? noWords : lines.front().columns;
    const int phenotypeCount = header.empty() ? 0 : completeInteger(header.front());
    if (phenotypeCount < 1) {
        return fail("Number of phenotypes:" + IntToString(phenotypeCount) + " at line " +
                    IntToString(headerLine) + " ...check your files!");
    }
    if (static_cast<int>(header.size()) - 1 < phenotypeCount) {
        return fail("The header at line " + IntToString(headerLine) + " names " +
                    IntToString(static_cast<int>(header.size()) - 1) +
                    " phenotypes, but its count is " + IntToString(phenotypeCount) +
                    ": phenotype name missing at phenotypecolumn " +
                    IntToString(static_cast<int>(header.size())));
    }
    const std::size_t firstColumnName = phenotypeNames.size();
    for (int j = 1; j <= phenotypeCount; ++j) {
        const std::string& name = header[static_cast<std::size_t>(j)];
        const std::string where =
            " at phenotypecolumn: " + IntToString(j) + ", line " + IntToString(headerLine);
        if (isPhenotypeRead(name)) {
            return fail("duplicate phenotypename: " + name + where);
        }
        // Trees keep no record under the reserved key, so the values of such
        // a phenotype would be lost.
        if (name == "NIL") {
            return fail("Phenotype name can't be NIL" + where);
        }
        phenotypeNames.push_back(name);
    }

    const std::size_t valuesPerRow = 2 + static_cast<std::size_t>(phenotypeCount);
    std::string previousPedigreeId;
    Pedigree* pedigree = nullptr;
    bool progressLineOpen = true;  // "...done" completes the progress line
    for (std::size_t row = 1; row < lines.size(); ++row) {
        const auto& columns = lines[row].columns;
        const bool lastRow = row + 1 == lines.size();
        const std::string n = IntToString(lines[row].number);
        if (columns.size() < 2 && lastRow) {
            // The last line ends before its person id: nothing to store.
            break;
        }
        const std::string& pedigreeId = columns[0];
        const std::string personId = columns.size() > 1 ? columns[1] : std::string();
        const std::string who = " Pedigree " + pedigreeId + " Person " + personId;
        // Values are matched to names by position, so a row with values
        // missing or to spare would put every later value in the wrong place.
        if (columns.size() > valuesPerRow || (columns.size() < valuesPerRow && !lastRow)) {
            return fail("Wrong number of values at line: " + n + who + " has " +
                        IntToString(std::max(0, static_cast<int>(columns.size()) - 2)) +
                        " values, " + IntToString(phenotypeCount) + " expected");
        }

        if (pedigree == nullptr || pedigreeId != previousPedigreeId) {
            pedigree = pedigreeTree->find(convertedLinkageFormat ? getNewPedigreeID(pedigreeId)
                                                                 : pedigreeId);
            previousPedigreeId = pedigreeId;
        }
        if (pedigree == nullptr) {
            return fail("Pedigree not found for phenotype at line: " + n + who +
                        " does not match with pedigree file!");
        }
        Person* person = pedigree->getPerson(
            convertedLinkageFormat ? getNewPersonID(pedigreeId, personId) : personId);
        if (person == nullptr) {
            return fail("Pedigree found, but not person at line: " + n + who +
                        " does not match with pedigree file!");
        }

        for (int j = 0; j < phenotypeCount; ++j) {
            const std::string& name = phenotypeNames[firstColumnName + j];
            const std::size_t at = 2 + static_cast<std::size_t>(j);
            if (at >= columns.size()) {
                if (progressLineOpen) {
                    std::cout << std::endl;
                    progressLineOpen = false;
                }
                std::cout << "Warning: Value for Phenotype: " << name << " not found at line: " << n
                          << " of phenotype file " << fileName << std::endl;
                continue;
            }
            const std::string& value = columns[at];
            if (isMissingPhenotypeValue(value)) {
                continue;
            }
            auto* phenotype = new Phenotype(name, value);
            if (!person->addPhenotype(phenotype)) {
                delete phenotype;
                return fail("Duplicate phenotype at line: " + n + " name: " + name + who);
            }
        }
    }
    std::cout << "...done" << std::endl;
    return true;
}

// A first line that names a marker of the map is a selection line given
// without a header; it is skipped as the header all the same.
static void warnOfSkippedMarkerLine(const MarkerMap& map, const std::string& fileName,
                                    const std::vector<std::string>& firstLine) {
    const auto named = std::find_if(firstLine.begin(), firstLine.end(), [&map](const auto& word) {
        return map.getMarkerWithName(word) != nullptr;
    });
    if (named != firstLine.end()) {
        std::cout << std::endl
                  << "Warning: The first line of onlymarkers file " << fileName
                  << " names the map marker " << *named
                  << ", but it is the header line and is skipped" << std::endl;
    }
}

bool Pedigrees::readOnlyMarkersFile(const std::string& fileName) {
    std::cout << "Reading onlymarkers file " << fileName;
    const std::string problem = inputFileProblem(fileName);
    if (!problem.empty()) {
        printFailure("Error: The onlymarkers file " + fileName + " " + problem);
        return false;
    }
    File file;
    if (!file.openFile(fileName, "read")) {
        printFailure("Error: Unable to open onlymarkers file " + fileName + " for reading!");
        return false;
    }
    file.getAllLinesInOStringStream();
    file.closeFile("read");
    std::vector<ColumnLine> lines;
    std::string tooLong;
    if (!readColumnLines(file.inputBuffer, lines, tooLong)) {
        printFailure("Error: The onlymarkers file " + fileName + ": " + tooLong);
        return false;
    }

    // A header line, then one marker per line. The header is the first line
    // whatever its words: counting words over lines would take a short
    // header's missing words from the first marker's line.
    std::size_t row = 1;

    if (!lines.empty()) {
        warnOfSkippedMarkerLine(*markerMap, fileName, lines.front().columns);
    }

    std::string previousPosition;
    for (; row < lines.size(); ++row) {
        const auto& columns = lines[row].columns;
        if (columns.size() < 3 || columns[0] == "NULL") {
            break;
        }
        const std::string& chromosome = columns[0];
        const std::string& position = columns[1];
        const std::string& name = columns[2];
        if (!isCompleteNumber(position)) {
            printFailure(markerMap->getMarkerWithName(position) != nullptr
                             ? "Error: onlymarkers file not correct "
                             : "Error: Marker position " + position +
                                   " is not a number at line: " + IntToString(lines[row].number));
            return false;
        }
        if (!previousPosition.empty() &&
            stringToDouble(position) < stringToDouble(previousPosition)) {
            printFailure("Error: Marker position must be linear");
            return false;
        }
        if (markerMap->getMarkerWithName(position) != nullptr) {
            printFailure("Error: onlymarkers file not correct ");
            return false;
        }
        Marker* marker = markerMap->getMarkerWithName(name);
        if (marker == nullptr) {
            printFailure("Error: Marker " + name + " not found ");
            return false;
        }
        // A marker twice in a multipoint window counts its genotypes twice.
        if (std::find(onlyMarkerNames.begin(), onlyMarkerNames.end(), name) !=
            onlyMarkerNames.end()) {
            printFailure("Error: Marker " + name + " at line " + IntToString(lines[row].number) +
                         " of onlymarkers file " + fileName + " is selected a second time");
            return false;
        }
        onlyMarkerNames.push_back(name);
        marker->setPosition(position);
        marker->setChromosome(chromosome);
        previousPosition = position;
    }
    // Every marker would be analysed, the opposite of a selection.
    if (onlyMarkerNames.empty()) {
        printFailure("Error: The onlymarkers file " + fileName +
                     " selects no marker: after a header line it needs one line per marker: "
                     "chromosome, position (cM), marker name");
        return false;
    }
    std::cout << "...done " << std::endl;
    return true;
}
