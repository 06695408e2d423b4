// The pedigree file reader: LINKAGE pedigree files before and after MAKEPED,
// with or without affection and liability columns and the trailing columns
// that MAKEPED and SLINK append.
#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <iostream>
#include <map>
#include <new>
#include <numeric>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "marker_map.h"
#include "pedigrees.h"
#include "utilities.h"

// Leading columns: pedigree, person, father, mother, then either sex alone
// (before MAKEPED) or the three pointer columns, sex and proband (after it).
static constexpr int preMakepedLeadingColumns = 5;
static constexpr int postMakepedLeadingColumns = 9;

// Every failure of a reader says so on a line of its own that starts with
// "Error: ".
static void printFailure(const std::string& reason) {
    const bool marked = reason.rfind("Error: ", 0) == 0;
    std::cout << "...failed" << std::endl << (marked ? "" : "Error: ") << reason << std::endl;
}

// Asked twice per person and marker: one character compared in place, not
// four string comparisons.
static bool isMissingAllele(std::string_view allele) {
    return allele.size() == 1 && std::string_view("0-.x").find(allele[0]) != std::string_view::npos;
}

static bool isMissingAffection(const std::string& value) {
    return value == "-9" || value == "x" || value == "-" || value == "." || value == "0";
}

// The engine reads the affection column as 0 (unknown), 1 (unaffected) or 2
// (affected); anything else it would silently take for unaffected. The other
// missing codes are read as 0.
static bool isAffectionStatus(const std::string& value) {
    return value == "1" || value == "2" || isMissingAffection(value);
}

static bool isMissingLiabilityClass(const std::string& value) {
    return value == "x" || value == "-" || value == "." || value == "0";
}

// What separates the columns of a pedigree file line.
static bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// One line split at blanks and tabs into columns, views into the line that
// hold until the next line is read: each line is split twice and most of its
// columns are alleles, so no column is copied before it is kept. A carriage
// return before the line feed of a file saved on Windows is not part of the
// last column.
static void splitColumns(std::string& line, std::vector<std::string_view>& columns) {
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    columns.clear();
    // A plain test per character: the library's search for any of a set of
    // characters looks each one up in the set, and the file is split twice.
    auto begin = std::find_if_not(line.cbegin(), line.cend(), isBlank);
    while (begin != line.cend()) {
        const auto end = std::find_if(begin, line.cend(), isBlank);
        columns.emplace_back(&*begin, static_cast<std::size_t>(end - begin));
        begin = std::find_if_not(end, line.cend(), isBlank);
    }
}

// Pedigree file lines that hold columns, numbered as in the file.
class PedigreeLines {
  public:
    explicit PedigreeLines(std::istream& in) : in_(in) {}

    bool next() {
        while (std::getline(in_, line_)) {
            ++number_;
            splitColumns(line_, columns_);
            if (!columns_.empty()) {
                return true;
            }
        }
        return false;
    }

    int number() const { return number_; }
    const std::vector<std::string_view>& columns() const { return columns_; }

  private:
    std::istream& in_;
    int number_ = 0;
    std::string line_;
    std::vector<std::string_view> columns_;
};

// What the column plan takes from the first line: the MAKEPED and SLINK
// columns that follow the markers.
struct TrailingColumns {
    bool makeped = false;
    bool slink = false;

    template <typename Column>
    explicit TrailingColumns(const std::vector<Column>& firstLine) {
        const auto count = firstLine.size();
        makeped = count >= 2 && firstLine[count - 2] == "Per:";
        slink = count >= 1 && (firstLine.back() == "orig" || firstLine.back() == "simu");
    }

    int count() const { return (makeped ? 4 : 0) + (slink ? 6 : 0); }
};

// The first line that holds columns, and the first later one whose column
// count differs from it.
struct ColumnScan {
    std::vector<std::string> firstLine;
    int oddLineNumber = 0;
    std::string oddPedigreeId;
    std::string oddPersonId;
    int oddColumnCount = 0;
};

// The number of columns of a line, as splitColumns would find them: the
// scan counts the columns of every line but splits only the first and an odd
// one, so no view is made per column.
static std::size_t countColumns(std::string_view line) {
    std::size_t count = 0;
    bool inColumn = false;
    for (const char c : line) {
        const bool blank = isBlank(c);
        count += static_cast<std::size_t>(!blank && !inColumn);
        inColumn = !blank;
    }
    return count;
}

static ColumnScan scanColumns(std::istream& in) {
    ColumnScan scan;
    std::string line;
    std::vector<std::string_view> columns;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::string_view text(line);
        if (!text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
        }
        const std::size_t count = countColumns(text);
        if (count == 0 || count == scan.firstLine.size()) {
            continue;
        }
        splitColumns(line, columns);
        if (scan.firstLine.empty()) {
            scan.firstLine.assign(columns.begin(), columns.end());
        } else {
            scan.oddLineNumber = number;
            scan.oddPedigreeId = columns[0];
            scan.oddPersonId = columns.size() > 1 ? columns[1] : std::string_view();
            scan.oddColumnCount = static_cast<int>(columns.size());
            break;
        }
    }
    return scan;
}

static std::string columnCountMessage(const std::string& fileName, int lineNumber,
                                      const std::string& pedigreeId, const std::string& personId,
                                      int found, int expected) {
    return "Unable to read pedigree file that hasn't a standard column count: " + fileName +
           " line " + IntToString(lineNumber) + " Pedigree " + pedigreeId + " Person " + personId +
           " has " + IntToString(found) + " columns, " + IntToString(expected) + " expected";
}

// The engine reads the ids of a post-MAKEPED file as numbers: a word that is
// no number crashes it, an id beyond an int wraps around, a negative one
// gives its pedigree a LOD of 0, and "01" would be the same pedigree or
// person as "1". It keeps persons in an array indexed by their ids.
constexpr long long maxPedigreeId = 2147483647;

static bool allDigits(const std::string& word) {
    return !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

static bool checkEngineId(const std::string& what, const std::string& id, long long max, int line,
                          const std::string& fileName) {
    if (allDigits(id) && id.size() <= 10 && id[0] != '0' && std::stoll(id) <= max) {
        return true;
    }
    printFailure("Error: The " + what + " at line " + IntToString(line) + " of pedigree file " +
                 fileName + " is not a whole number from 1 to " + std::to_string(max) +
                 " written without leading zeros, as the engine reads a post-MAKEPED file");
    return false;
}

// The pointer columns of one person of a post-MAKEPED file: first offspring,
// next paternal sib and next maternal sib, "0" for none.
struct PointerColumns {
    std::string pedigreeId;
    std::string personId;
    std::array<std::string, 3> pointers;
    int line = 0;
    std::string fatherId;
    std::string motherId;
    std::string proband;
};

static const std::array<const char*, 3> pointerColumnNames = {
    "first offspring (column 5)", "next paternal sib (column 6)", "next maternal sib (column 7)"};

static std::string pointerPlace(const PointerColumns& person, std::size_t column,
                                const std::string& fileName) {
    return "Error: The " + std::string(pointerColumnNames[column]) + " of person " +
           person.personId + " of pedigree " + person.pedigreeId + " at line " +
           IntToString(person.line) + " of pedigree file " + fileName;
}

// The person at which following the sib column from some person comes back
// to a person already on the way, or null when every chain ends.
static const PointerColumns* sibChainLoop(const std::vector<const PointerColumns*>& pedigree,
                                          std::size_t column) {
    std::map<std::string, const PointerColumns*> byId;
    for (const PointerColumns* person : pedigree) {
        byId[person->personId] = person;
    }
    enum class Visit { onTheWay, done };
    std::map<std::string, Visit> visits;
    for (const PointerColumns* start : pedigree) {
        std::vector<std::string> way;
        for (const PointerColumns* person = start;
             person != nullptr && !visits.count(person->personId);) {
            visits[person->personId] = Visit::onTheWay;
            way.push_back(person->personId);
            const std::string& next = person->pointers[column];
            const auto found = visits.find(next);
            if (found != visits.end() && found->second == Visit::onTheWay) {
                return person;
            }
            const auto nextPerson = byId.find(next);
            person = nextPerson == byId.end() ? nullptr : nextPerson->second;
        }
        for (const std::string& id : way) {
            visits[id] = Visit::done;
        }
    }
    return nullptr;
}

// Whether the person that a pointer column names stands where the column
// says: a child of the person (first offspring), a child of the same father
// (next paternal sib) or of the same mother (next maternal sib).
static bool pointsToTheRightPerson(const PointerColumns& person, std::size_t column,
                                   const PointerColumns& named) {
    switch (column) {
        case 0:
            return named.fatherId == person.personId || named.motherId == person.personId;
        case 1:
            return person.fatherId != "0" && named.fatherId == person.fatherId;
        default:
            return person.motherId != "0" && named.motherId == person.motherId;
    }
}

static const std::array<const char*, 3> rightPersons = {
    "a child of the person", "a child of the same father", "a child of the same mother"};

// LINKAGE's proband column: 0, 1 for a proband, or a number above 1 that the
// two copies of a loop breaker share.
static bool checkProbandColumn(const std::vector<const PointerColumns*>& pedigree,
                               const std::string& fileName) {
    std::map<std::string, int> loopBreakerCopies;
    for (const PointerColumns* person : pedigree) {
        const std::string& proband = person->proband;
        const bool wholeNumber = allDigits(proband) && proband.size() < 10;
        if (wholeNumber && std::stoi(proband) > 1) {
            ++loopBreakerCopies[proband];
        }
        if (!wholeNumber) {
            printFailure("Error: The proband status (column 9) " + proband + " of person " +
                         person->personId + " of pedigree " + person->pedigreeId + " at line " +
                         IntToString(person->line) + " of pedigree file " + fileName +
                         " is not 0, 1 or a loop breaker's number");
            return false;
        }
    }
    for (const PointerColumns* person : pedigree) {
        const auto copies = loopBreakerCopies.find(person->proband);
        if (copies != loopBreakerCopies.end() && copies->second != 2) {
            printFailure("Error: The proband status (column 9) " + person->proband + " of person " +
                         person->personId + " of pedigree " + person->pedigreeId + " at line " +
                         IntToString(person->line) + " of pedigree file " + fileName +
                         " marks a loop breaker, but " + IntToString(copies->second) +
                         " persons of the pedigree carry it, not its two copies");
            return false;
        }
    }
    return true;
}

// The engine finds a parent's children only through the first offspring
// and then the sib chain of the parent's sex: a child left out of it is
// left out of the likelihood, and a parent without a first offspring
// crashes the engine. To be called once the chains are known to end.
static bool checkChildrenReached(const std::vector<const PointerColumns*>& pedigree,
                                 const std::string& fileName) {
    std::map<std::string, const PointerColumns*> byId;
    // Each parent's children, and whether the parent is their father.
    std::map<std::string, std::pair<std::set<std::string>, bool>> childrenOf;
    for (const PointerColumns* person : pedigree) {
        byId[person->personId] = person;
        if (person->fatherId != "0") {
            childrenOf[person->fatherId].first.insert(person->personId);
            childrenOf[person->fatherId].second = true;
        }
        if (person->motherId != "0") {
            childrenOf[person->motherId].first.insert(person->personId);
        }
    }
    for (const PointerColumns* parent : pedigree) {
        const auto found = childrenOf.find(parent->personId);
        if (found == childrenOf.end()) {
            continue;
        }
        const auto& [children, father] = found->second;
        std::set<std::string> reached;
        for (std::string id = parent->pointers[0]; id != "0" && reached.insert(id).second;) {
            const auto child = byId.find(id);
            id = child == byId.end() ? "0" : child->second->pointers[father ? 1 : 2];
        }
        const auto missing = std::find_if(children.begin(), children.end(),
                                          [&](const auto& id) { return reached.count(id) == 0; });
        if (missing != children.end()) {
            printFailure(pointerPlace(*parent, 0, fileName) + " and the " +
                         pointerColumnNames[father ? 1 : 2] + " of its children lead to " +
                         (reached.empty() ? "none of them" : "some of them") + ": person " +
                         *missing + " is not reached");
            return false;
        }
    }
    return true;
}

// The engine follows these columns without checking them: a pointer to no
// person of the pedigree crashes it, a sib chain that loops hangs it, and a
// pointer to someone who is no such child crashes it or silently changes
// the pedigree's likelihood. A proband status it does not know crashes it.
static bool checkPointerColumns(const std::vector<PointerColumns>& persons,
                                const std::string& fileName) {
    std::map<std::string, std::vector<const PointerColumns*>> pedigrees;
    std::map<std::string, std::map<std::string, const PointerColumns*>> ids;
    for (const PointerColumns& person : persons) {
        pedigrees[person.pedigreeId].push_back(&person);
        ids[person.pedigreeId].emplace(person.personId, &person);
    }
    for (const PointerColumns& person : persons) {
        for (std::size_t column = 0; column < person.pointers.size(); ++column) {
            const std::string& pointer = person.pointers[column];
            if (pointer == "0") {
                continue;
            }
            const auto named = ids[person.pedigreeId].find(pointer);
            if (named == ids[person.pedigreeId].end()) {
                printFailure(pointerPlace(person, column, fileName) + " names person " + pointer +
                             ", who is not in the pedigree (0 for none)");
                return false;
            }
            if (!pointsToTheRightPerson(person, column, *named->second)) {
                printFailure(pointerPlace(person, column, fileName) + " names person " + pointer +
                             ", who is not " + rightPersons[column] + " (0 for none)");
                return false;
            }
        }
    }
    for (const auto& [pedigreeId, members] : pedigrees) {
        if (!checkProbandColumn(members, fileName)) {
            return false;
        }
    }
    for (const auto& [pedigreeId, members] : pedigrees) {
        for (const std::size_t column : {std::size_t{1}, std::size_t{2}}) {
            if (const PointerColumns* person = sibChainLoop(members, column)) {
                printFailure(pointerPlace(*person, column, fileName) + " names person " +
                             person->pointers[column] +
                             ", which makes the chain of sibs loop back to itself");
                return false;
            }
        }
        if (!checkChildrenReached(members, fileName)) {
            return false;
        }
    }
    return true;
}

// Whether the tree holds exactly the genotypes of a pedigree line: a record
// for each marker whose alleles are not missing, keyed by the marker's index
// and holding the line's two allele texts, and no other record.
static bool holdsGenotypesOf(const RBTree<Marker>& tree,
                             const std::vector<std::string_view>& columns, std::size_t firstAllele,
                             const std::vector<int>& markersInKeyOrder,
                             const std::vector<std::string>& markerKeys) {
    const auto allele = [&](int marker, std::size_t copy) {
        return columns[firstAllele + 2 * static_cast<std::size_t>(marker) + copy];
    };
    const auto typed = [&](int marker) {
        return !isMissingAllele(allele(marker, 0)) && !isMissingAllele(allele(marker, 1));
    };
    auto next = markersInKeyOrder.begin();
    bool same = true;
    forEachRecordInOrder(tree.root, [&](const Marker& record) {
        next = std::find_if(next, markersInKeyOrder.end(), typed);
        same = same && next != markersInKeyOrder.end() && record.key == markerKeys[*next] &&
               record.index == record.key && record.alleles[0] == allele(*next, 0) &&
               record.alleles[1] == allele(*next, 1);
        if (next != markersInKeyOrder.end()) {
            ++next;
        }
    });
    return same && std::none_of(next, markersInKeyOrder.end(), typed);
}

// The person of the store that read the file a converted file was made from,
// found by the original ids that the converted line carries; null when there
// is none.
static Person* validatedPerson(const Pedigrees* validated, const std::string& pedigreeId,
                               const std::string& personId) {
    if (validated == nullptr || validated->pedigreeTree == nullptr) {
        return nullptr;
    }
    const Pedigree* pedigree = validated->pedigreeTree->find(pedigreeId);
    return pedigree != nullptr ? pedigree->getPerson(personId) : nullptr;
}

bool Pedigrees::readPedigreeFile(const std::string& fileName) {
    try {
        return readAndCheckPedigreeFile(fileName);
    } catch (const std::bad_alloc&) {
        MemoryReserve::release();
        printFailure(outOfMemoryMessage("reading the pedigree file " + fileName,
                                        countPersonLines(fileName), getPedigreePersonCount()));
        return false;
    }
}

bool Pedigrees::readAndCheckPedigreeFile(const std::string& fileName) {
    if (!convertedLinkageFormat) {
        pedigreeFileName = fileName;
    }
    std::cout << "Reading pedigree file: " << fileName << std::endl;
    // The checks write their reports into the working directory.
    if (!refuseLinkedReportFiles()) {
        return false;
    }

    // The column plan and the records read the file twice, and the
    // converter hands it to MAKEPED after the check.
    const std::string problem = inputFileProblem(fileName);
    if (!problem.empty()) {
        printFailure("Error: The pedigree file " + fileName + " " + problem);
        return false;
    }
    std::ifstream in(fileName);
    if (!in) {
        printFailure("Error: Unable to open pedigree file " + fileName + " for reading.");
        return false;
    }

    const int leadingColumns =
        (linkageFormat ? postMakepedLeadingColumns : preMakepedLeadingColumns) +
        (affectionStatusColumn ? 1 : 0) + (affectionStatusColumn && liabilityClassColumn ? 1 : 0);

    if (markerCount == 0) {
        if (!makeMapFile(fileName)) {
            printFailure(
                "Unable to generate mapfile for pedigree file that hasn't a standard column count");
            return false;
        }
        if (!mapFileName.empty() && markerCount > 0) {
            std::cout << "Warning: The map file " << mapFileName << " holds no marker: a map of "
                      << markerCount
                      << " markers named by their column (MARKER1, ...), 10 cM apart, is used"
                      << std::endl;
        }
    } else {
        const ColumnScan scan = scanColumns(in);
        if (scan.firstLine.size() < 2) {
            printFailure("Unable to read pedigree file that hasn't a standard column count");
            return false;
        }
        if (scan.oddLineNumber != 0) {
            printFailure(columnCountMessage(fileName, scan.oddLineNumber, scan.oddPedigreeId,
                                            scan.oddPersonId, scan.oddColumnCount,
                                            static_cast<int>(scan.firstLine.size())));
            return false;
        }
        const TrailingColumns trailing(scan.firstLine);
        if (trailing.makeped) {
            std::cout << "(Pedigree file contains MAKEPED extra columns at the end...ignoring them)"
                      << std::endl;
        }
        if (trailing.slink) {
            std::cout << "(Pedigree file contains SLINK extra columns at the end...ignoring them)"
                      << std::endl;
        }
        const int remaining = static_cast<int>(scan.firstLine.size()) - trailing.count();
        const int countingBase = linkageFormat ? 10 : 6;
        const int fileMarkers = (affectionStatusColumn ? 0 : 1) + (remaining - countingBase) / 2;
        if (fileMarkers != markerCount) {
            printFailure("Pedigree file contains " + IntToString(fileMarkers) +
                         " marker(s) and mapfile claims " + IntToString(markerCount));
            return false;
        }
        in.clear();
        in.seekg(0);
        if (!in) {
            printFailure("Error: The pedigree file " + fileName +
                         " cannot be read a second time: save it as a file first");
            return false;
        }
    }

    if (affectionStatusColumn) {
        phenotypeNames.push_back("DISEASE_LOCUS");
        if (liabilityClassColumn) {
            phenotypeNames.push_back("LIABILITY_CLASS");
        }
    }

    const int expectedColumns = leadingColumns + 2 * markerCount;
    std::vector<std::string> markerKeys;
    markerKeys.reserve(markerCount);
    for (int i = 0; i < markerCount; ++i) {
        markerKeys.push_back(IntToString(i));
    }
    // Genotypes are made in the key order of their tree ("10" before "2"),
    // which builds each person's tree in one pass.
    std::vector<int> markersInKeyOrder(static_cast<std::size_t>(markerCount));
    std::iota(markersInKeyOrder.begin(), markersInKeyOrder.end(), 0);
    std::sort(markersInKeyOrder.begin(), markersInKeyOrder.end(),
              [&markerKeys](int a, int b) { return markerKeys[a] < markerKeys[b]; });
    std::vector<Marker*> genotypes;
    genotypes.reserve(markerCount);

    PedigreeLines lines(in);
    std::vector<PointerColumns> pointerColumns;
    int trailingCount = -1;  // taken from the first line, as the column plan does
    std::string previousPedigreeId;
    Pedigree* previousPedigree = nullptr;
    while (lines.next()) {
        const auto& columns = lines.columns();
        const int n = lines.number();
        if (trailingCount < 0) {
            trailingCount = TrailingColumns(columns).count();
        }
        const auto tooLong = std::find_if(columns.begin(), columns.end(), [](std::string_view c) {
            return c.size() > longestInputWord;
        });
        if (tooLong != columns.end()) {
            printFailure("Error: The pedigree file " + fileName + ": " + tooLongWordProblem(n));
            return false;
        }
        const std::string pedigreeId(columns[0]);
        const std::string personId(columns.size() > 1 ? columns[1] : std::string_view());
        if (static_cast<int>(columns.size()) - trailingCount != expectedColumns) {
            printFailure(columnCountMessage(fileName, n, pedigreeId, personId,
                                            static_cast<int>(columns.size()),
                                            expectedColumns + trailingCount));
            return false;
        }
        // Trees treat the key "NIL" as an empty leaf: such a pedigree or person
        // could be stored but never found again.
        if (pedigreeId == "NIL" || personId == "NIL") {
            printFailure("Pedigree and person ids can't be NIL at line: " + IntToString(n) +
                         " Pedigree " + pedigreeId + " Person " + personId);
            return false;
        }
        if (linkageFormat &&
            (!checkEngineId("pedigree id " + pedigreeId, pedigreeId, maxPedigreeId, n, fileName) ||
             !checkEngineId("person id " + personId + " of pedigree " + pedigreeId, personId,
                            engineLimits.persons, n, fileName))) {
            return false;
        }

        std::size_t c = 2;
        const std::string fatherId(columns[c++]);
        const std::string motherId(columns[c++]);
        std::string firstOffspringId, nextPaternalSibId, nextMaternalSibId, probandStatus;
        if (linkageFormat) {
            firstOffspringId = columns[c++];
            nextPaternalSibId = columns[c++];
            nextMaternalSibId = columns[c++];
        }
        const std::string sex(columns[c++]);
        if (linkageFormat) {
            probandStatus = columns[c++];
        }
        if (sex != "1" && sex != "2") {
            printFailure("Unknown gender status: Pedigree: " + pedigreeId + " Person: " + personId +
                         " sex: " + sex);
            return false;
        }

        auto* person = new Person(pedigreeId, personId, fatherId, motherId, sex);
        if (linkageFormat) {
            pointerColumns.push_back({pedigreeId,
                                      personId,
                                      {firstOffspringId, nextPaternalSibId, nextMaternalSibId},
                                      n,
                                      fatherId,
                                      motherId,
                                      probandStatus});
            person->setFOID(firstOffspringId);
            person->setNPSID(nextPaternalSibId);
            person->setNMSID(nextMaternalSibId);
            person->setProbandStatus(probandStatus);
        }

        if (affectionStatusColumn) {
            const std::string affection(columns[c++]);
            if (!isAffectionStatus(affection)) {
                delete person;
                printFailure("Error: Affection status " + affection + " of person " + personId +
                             " of pedigree " + pedigreeId + " at line " + IntToString(n) +
                             " of pedigree file " + fileName +
                             ": use 0 (unknown), 1 (unaffected) or 2 (affected)");
                return false;
            }
            if (!isMissingAffection(affection)) {
                person->addPhenotype(new Phenotype("DISEASE_LOCUS", affection));
            }
            if (liabilityClassColumn) {
                const std::string liabilityClass(columns[c++]);
                if (!isMissingLiabilityClass(liabilityClass)) {
                    person->addPhenotype(new Phenotype("LIABILITY_CLASS", liabilityClass));
                }
                if (liabilityClass == "0") {
                    delete person;
                    printFailure("Liability class can't be 0 at line: " + IntToString(n));
                    return false;
                }
            }
        }

        const std::size_t firstAllele = c;
        // A male carries one X: two different alleles of a male are a typing
        // or coding fault that the engine would take for a genotype.
        const bool hemizygous = xlinked && sex == "1";
        for (int i = 0; i < markerCount; ++i) {
            const std::string_view allele1 = columns[c++];
            const std::string_view allele2 = columns[c++];
            if ((allele1 == "0") != (allele2 == "0")) {
                delete person;
                printFailure("Pedigree " + pedigreeId + " Person " + personId + " halftyped (" +
                             std::string(allele1) + "/" + std::string(allele2) +
                             ") at marker_index: " + IntToString(i) + ", line " + IntToString(n) +
                             "\n *** Problem with pedigree file format? ***");
                return false;
            }
            if (hemizygous && allele1 != allele2 && !isMissingAllele(allele1) &&
                !isMissingAllele(allele2)) {
                delete person;
                printFailure("Error: Pedigree file " + fileName + ", line " + IntToString(n) +
                             ": person " + personId + " of pedigree " + pedigreeId +
                             " is a male heterozygous (" + std::string(allele1) + "/" +
                             std::string(allele2) + ") at marker " +
                             markerMap->getMarkerName(markerKeys[i]) +
                             " (marker_index: " + IntToString(i) + ") of X-linked data");
                return false;
            }
        }
        std::string originalPedigreeId;
        std::string originalPersonId;
        if (convertedLinkageFormat) {
            const auto token = [&](std::size_t i) {
                return i < columns.size() ? std::string(columns[i]) : std::string();
            };
            if (token(c) == "Ped:") {
                originalPedigreeId = token(c + 1);
                person->setOriginalPedigreeId(originalPedigreeId);
            }
            if (token(c + 2) == "Per:") {
                originalPersonId = token(c + 3);
                person->setOriginalPersonId(originalPersonId);
            }
        }

        // The conversion copies the genotype columns as they stand, so a
        // person of a converted file takes over the genotype tree of its
        // validated original where the line shows the very same genotypes,
        // instead of making every record a second time.
        Person* const original =
            validatedPerson(validatedStore, originalPedigreeId, originalPersonId);
        if (original != nullptr && original->markerTree != nullptr &&
            holdsGenotypesOf(*original->markerTree, columns, firstAllele, markersInKeyOrder,
                             markerKeys)) {
            std::swap(person->markerTree, original->markerTree);
        } else {
            genotypes.clear();
            for (const int i : markersInKeyOrder) {
                const std::string_view allele1 =
                    columns[firstAllele + 2 * static_cast<std::size_t>(i)];
                const std::string_view allele2 =
                    columns[firstAllele + 2 * static_cast<std::size_t>(i) + 1];
                if (!isMissingAllele(allele1) && !isMissingAllele(allele2)) {
                    genotypes.push_back(new Marker(markerKeys[i], allele1, allele2));
                }
            }
            if (!person->getMarkerTree()->insertSorted(genotypes)) {
                for (Marker* genotype : genotypes) {
                    if (!person->addMarker(genotype)) {
                        delete genotype;
                    }
                }
            }
        }

        Pedigree* pedigree = previousPedigree;
        if (pedigree == nullptr || pedigreeId != previousPedigreeId) {
            pedigree = pedigreeTree->find(pedigreeId);
            if (pedigree == nullptr) {
                pedigree = new Pedigree(pedigreeId);
                pedigree->originalPedigreeId = originalPedigreeId;
                pedigreeTree->insert(pedigree);
            }
        }
        if (!pedigree->addPerson(person)) {
            delete person;
            printFailure("Duplicate person at line: " + IntToString(n) + " personid: " + personId +
                         "\n *** Problem with pedigree file format? ***");
            return false;
        }
        previousPedigreeId = pedigreeId;
        previousPedigree = pedigree;
    }

    pedigreeFileRead = true;
    in.close();
    if (!checkPointerColumns(pointerColumns, fileName)) {
        return false;
    }

    std::cout << "(Total number of pedigrees " << pedigreeTree->count << ")" << std::endl;
    std::cout << "(Total number of persons " << getPedigreePersonCount() << ")" << std::endl;

    if (countAllelesOnRead) {
        createMarkerInfo();
    }
    const bool checksTakenOver = familyChecksKnown && takeOverFamilyChecks();
    if (!checksTakenOver && writeFamilyErrors("family.err")) {
        return false;
    }
    if (xlinked) {
        std::cout << "(Mendelian error check disabled for X-linked data)" << std::endl;
    } else if (mendelianConsistencyKnown) {
        std::cout << "(Checking Mendelian consistency...done)\n";
    } else if (writeMendelianErrors("mendel.err")) {
        std::cout << "Mendelian errors found! " << mendelianErrorExtent("mendel.err") << std::endl;
    }
    std::cout << "...done." << std::endl;
    return true;
}
