#include "mlink.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <system_error>

#include "locus_file.h"
#include "marker_info.h"
#include "marker_map.h"
#include "pedigrees.h"
#include "result_text.h"
#include "utilities.h"

// ---------------------------------------------------------------------------
// MLinkMarker

void MLinkMarker::addLikelihoods(double theta, FastlinkLikelihoods* point) {
    points.emplace_back(point);
    const std::string key = doubleToString(theta);
    likelihoodsNames.push_back(key);
    likelihoods[key] = point;
}

FastlinkLikelihoods* MLinkMarker::getLikelihoods(double theta) const {
    const auto found = likelihoods.find(doubleToString(theta));
    return found == likelihoods.end() ? nullptr : found->second;
}

FastlinkLikelihoods* MLinkMarker::getLikelihoodWithMaxLodScore() const {
    FastlinkLikelihoods* best = nullptr;
    for (const std::string& name : likelihoodsNames) {
        FastlinkLikelihoods* const point = likelihoods.at(name);
        if (best == nullptr || point->getLodScore() > best->getLodScore()) {
            best = point;
        }
    }
    return best;
}

// ---------------------------------------------------------------------------
// The engine's two-point result file

// One line of the result file that holds any word; blank lines do not count.
// The first words are kept as views into the file's text; no block line
// needs more of them.
struct ResultLine {
    static constexpr std::size_t keptWords = 8;
    int number = 0;
    std::size_t wordCount = 0;
    std::array<std::string_view, keptWords> words;
};

// What a pedigree line of a block gives: its id and three of its numbers.
struct PedigreeFields {
    enum Number { lnLike, log10Like, lod };
    std::string_view id;
    std::array<double, 3> numbers{};
};

// A pedigree line read in one pass over its text: id, ln likelihood, log10
// likelihood, "LOD=", LOD score, and whatever follows. The text may go on past
// the line's end; the words are read within its first line all the same. The
// length read, up to the LOD score; 0 for any line that is not laid out so,
// whose word by word reading then names the fault.
static std::size_t readPedigreeFields(std::string_view text, PedigreeFields& fields) {
    using namespace result_text_detail;
    const char* const last = text.data() + text.size();
    const auto skip = [last](const char* p) { return skipSeparators<resultLineSpaces>(p, last); };
    const char* p = skip(text.data());
    const char* const idEnd = skipWord(p, last);
    if (idEnd == p) {
        return 0;
    }
    fields.id = std::string_view(p, static_cast<std::size_t>(idEnd - p));
    p = idEnd;
    // The numbers are read in one loop, so that their reading is compiled
    // inline once rather than called three times.
    for (std::size_t n = 0; n < fields.numbers.size(); ++n) {
        p = skip(p);
        if (n == PedigreeFields::lod) {
            // The word "LOD=" stands before the LOD score.
            const char* const word = skipWord(p, last);
            if (word == p) {
                return 0;
            }
            p = skip(word);
        }
        const char* const end = readNumber(p, last, fields.numbers[n]);
        if (end == nullptr || (end != last && !isResultSpace(*end))) {
            return 0;
        }
        p = end;
    }
    return static_cast<std::size_t>(p - text.data());
}

// Walks the lines of one result file and reports where a block went wrong.
class TwoPointParser {
  public:
    TwoPointParser(std::istream& input, std::string fileName)
        : text_(input), fileName_(std::move(fileName)) {}

    bool atEnd() {
        fillAhead();
        return !haveAhead_;
    }

    // Skips up to count lines; the last block of a file may lack its closing lines.
    void skip(size_t count) {
        ResultTextLine ignored;
        for (size_t i = 0; i < count && nextWordLine(ignored); ++i) {
        }
    }

    // The next line, which must hold at least minWords words. What names the
    // line for a message; it is called only to report a fault.
    template <typename What>
    bool take(size_t minWords, const What& what, ResultLine& line) {
        ResultTextLine text;
        if (!nextWordLine(text)) {
            failAtEnd(what);
            return false;
        }
        line = split(text);
        if (line.wordCount < minWords) {
            fail(line.number, "too few fields for " + what());
            return false;
        }
        return true;
    }

    // The next line as a pedigree line: most of a file is made of them, so
    // they are read in one pass and split into words only to name a fault.
    template <typename What>
    bool takePedigree(const What& what, PedigreeFields& fields) {
        // A pedigree line that follows at once is read in place, without
        // finding its end first.
        if (!haveAhead_) {
            const std::size_t read = readPedigreeFields(text_.remaining(), fields);
            if (read != 0) {
                text_.passLine(read);
                return true;
            }
        }
        ResultTextLine text;
        if (!nextWordLine(text)) {
            failAtEnd(what);
            return false;
        }
        if (readPedigreeFields(text.text, fields) != 0) {
            return true;
        }
        const ResultLine line = split(text);
        if (line.wordCount < 5) {
            fail(line.number, "too few fields for " + what());
            return false;
        }
        const auto ofPedigree = [&line](const char* part) {
            return [part, &line] { return part + std::string(line.words[0]); };
        };
        fields.id = line.words[0];
        return number(line, 1, ofPedigree("the ln likelihood of pedigree "),
                      fields.numbers[PedigreeFields::lnLike]) &&
               number(line, 2, ofPedigree("the log10 likelihood of pedigree "),
                      fields.numbers[PedigreeFields::log10Like]) &&
               number(line, 4, ofPedigree("the LOD score of pedigree "),
                      fields.numbers[PedigreeFields::lod]);
    }

    template <typename What>
    bool number(const ResultLine& line, size_t position, const What& what, double& value) {
        if (parseResultNumber(line.words[position], value)) {
            return true;
        }
        fail(line.number,
             what() + " is not a number (\"" + std::string(line.words[position]) + "\")");
        return false;
    }

  private:
    // Looks ahead for the next line holding a word, kept without its leading
    // blanks; words are split off only for the lines that need them.
    void fillAhead() {
        while (!haveAhead_ && text_.nextLine(ahead_)) {
            ahead_.text = ResultWords(ahead_.text).rest();
            haveAhead_ = !ahead_.text.empty();
        }
    }

    bool nextWordLine(ResultTextLine& line) {
        fillAhead();
        if (!haveAhead_) {
            return false;
        }
        line = ahead_;
        haveAhead_ = false;
        return true;
    }

    static ResultLine split(const ResultTextLine& text) {
        ResultLine line{text.number, 0, {}};
        ResultWords words(text.text);
        for (std::string_view word = words.word(); !word.empty(); word = words.word()) {
            if (line.wordCount < ResultLine::keptWords) {
                line.words[line.wordCount] = word;
            }
            ++line.wordCount;
        }
        return line;
    }

    template <typename What>
    void failAtEnd(const What& what) {
        fail(text_.lastWordLineNumber(), "the file ends where " + what() + " should stand");
    }

    void fail(int lineNumber, const std::string& problem) {
        std::cout << "Error: " << fileName_ << ", line " << lineNumber << ": " << problem
                  << std::endl;
    }

    ResultText text_;
    std::string fileName_;
    ResultTextLine ahead_;
    bool haveAhead_ = false;
};

// A message part that is only built when a fault is reported.
static auto named(const char* text) {
    return [text] { return std::string(text); };
}

static std::unique_ptr<FastlinkLikelihoods> readBlock(TwoPointParser& parser, int pedigreeCount) {
    ResultLine thetaLine;
    double theta = 0.0;
    if (!parser.take(2, named("a recombination fraction"), thetaLine) ||
        !parser.number(thetaLine, 1, named("the recombination fraction"), theta)) {
        return nullptr;
    }
    const std::string thetaText(thetaLine.words[1]);
    auto point = std::make_unique<FastlinkLikelihoods>(stringToDouble(thetaText));
    point->reserve(static_cast<std::size_t>(std::max(pedigreeCount, 0)));
    const auto inBlock = [&thetaText](const char* what) {
        return [what, &thetaText] { return what + (" of the block of theta " + thetaText); };
    };
    ResultLine line;
    if (!parser.take(1, named("the line after the recombination fraction"), line) ||
        !parser.take(1, inBlock("the column heads"), line) ||
        !parser.take(1, inBlock("the line under the column heads"), line)) {
        return nullptr;
    }
    for (int i = 0; i < pedigreeCount; ++i) {
        const auto pedigreeLine = [&] {
            return "pedigree line " + IntToString(i + 1) + " of the block of theta " + thetaText;
        };
        PedigreeFields fields;
        if (!parser.takePedigree(pedigreeLine, fields)) {
            return nullptr;
        }
        point->addLikelihood(fields.id, fields.numbers[PedigreeFields::lnLike],
                             fields.numbers[PedigreeFields::log10Like],
                             fields.numbers[PedigreeFields::lod]);
    }
    ResultLine totals;
    ResultLine lodLine;
    double lnTotal = 0.0;
    double log10Total = 0.0;
    double minus2LnLike = 0.0;
    double lod = 0.0;
    if (!parser.take(1, inBlock("the line under the pedigrees"), line) ||
        !parser.take(3, inBlock("the totals"), totals) ||
        !parser.take(8, inBlock("the -2 ln(like) and LOD line"), lodLine) ||
        !parser.number(totals, 1, named("the total ln likelihood"), lnTotal) ||
        !parser.number(totals, 2, named("the total log10 likelihood"), log10Total) ||
        !parser.number(lodLine, 3, named("-2 ln(like)"), minus2LnLike) ||
        !parser.number(lodLine, 7, named("the total LOD score"), lod)) {
        return nullptr;
    }
    point->setLnLikeTotal(lnTotal);
    point->setLog10Total(log10Total);
    point->setMinus2LnLike(minus2LnLike);
    point->setLodScore(lod);
    parser.skip(2);
    return point;
}

bool readTwoPointBlocks(std::istream& input, const std::string& fileName, int pedigreeCount,
                        MLinkMarker& marker) {
    TwoPointParser parser(input, fileName);
    parser.skip(4);
    while (!parser.atEnd()) {
        std::unique_ptr<FastlinkLikelihoods> point = readBlock(parser, pedigreeCount);
        if (point == nullptr) {
            return false;
        }
        const double theta = point->getRecombinationFraction();
        marker.addLikelihoods(theta, point.release());
    }
    return true;
}

void reportUnknownMarker(const Pedigrees& store, const std::string& name) {
    std::cout << "Error: Cannot find given marker " << name << " (--marker) in the map file "
              << store.mapFileName << std::endl;
}

void reportUnknownPhenotype(const Pedigrees& store, const std::string& name) {
    std::cout << "Error: Cannot find given phenotype " << name
              << " (--phenotype) in the pedigree file " << store.pedigreeFileName
              << (store.phenotypeFileName.empty() ? "" : " or the phenotype file ")
              << store.phenotypeFileName << std::endl;
}

// ---------------------------------------------------------------------------
// MLink

static const char* const unknownProgram = "unknownorlex";

// The recombination fractions that each marker's datafile asks MLINK for:
// theta runs from 0 by the increment while it stays below the finishing
// value, after the engine's opening evaluation at 0.5.
static constexpr double thetaIncrement = 0.02;
static constexpr double thetaFinishingValue = 0.49;

// The keys of the blocks that MLINK writes for that grid, in file order.
static std::vector<std::string> thetaGridKeys() {
    std::vector<std::string> keys{doubleToString(0.5)};
    for (int step = 0; step * thetaIncrement < thetaFinishingValue; ++step) {
        keys.push_back(doubleToString(step * thetaIncrement));
    }
    return keys;
}

// An "Error: " line when the marker's blocks are not the grid's, block for
// block: a file cut at a block boundary reads without a fault, and its best
// LOD would be the best of the blocks that happen to be there.
static bool holdsTheThetaGrid(const MLinkMarker& marker, const std::string& fileName) {
    static const std::vector<std::string> grid = thetaGridKeys();
    const std::vector<std::string>& read = marker.likelihoodsNames;
    const auto [gridAt, readAt] = std::mismatch(grid.begin(), grid.end(), read.begin(), read.end());
    if (gridAt == grid.end() && readAt == read.end()) {
        return true;
    }
    const std::string where = fileName + " for marker " + marker.getIndex();
    if (readAt == read.end()) {
        std::cout << "Error: " << where << " holds " << read.size() << " of the " << grid.size()
                  << " recombination fractions that the engine evaluates (0.5, then 0 to "
                  << grid.back() << " by " << doubleToString(thetaIncrement)
                  << "): the file ends before theta " << *gridAt << std::endl;
    } else {
        std::cout << "Error: " << where << ": block " << (readAt - read.begin()) + 1
                  << " is for theta " << *readAt << ", where the engine evaluates "
                  << (gridAt == grid.end() ? "no further theta" : "theta " + *gridAt) << std::endl;
    }
    return false;
}

MLink::MLink(Pedigrees* store) : pedigrees(store) {}

MLink::~MLink() = default;

int MLink::pedigreeCount(const std::string& kind) const {
    if (kind == "basic") {
        return pedigrees->pedigreeTree->count;
    }
    if (kind == "nuclear") {
        return pedigrees->getNuclearPedigreeCount();
    }
    if (kind == "hrr") {
        return pedigrees->getHrrPedigreeCount();
    }
    if (kind == "tdt") {
        return pedigrees->getTdtPedigreeCount();
    }
    if (kind == "sibpair") {
        return pedigrees->getSibPairPedigreeCount();
    }
    return 0;
}

bool MLink::readResultsFile(const std::string& fileName, const std::string& kind) {
    std::ifstream input(fileName);
    if (!input) {
        std::cout << "Error: Unable to open stream file " << fileName << " for reading."
                  << std::endl;
        return false;
    }
    auto marker = std::make_unique<MLinkMarker>();
    if (!readTwoPointBlocks(input, fileName, pedigreeCount(kind), *marker)) {
        return false;
    }
    if (currentMarkerIndex >= 0 && currentMarkerIndex < static_cast<int>(selectedMarkers.size())) {
        marker->setIndex(selectedMarkers[currentMarkerIndex]);
    }
    // A file without blocks is reported by the caller.
    if (!marker->likelihoodsNames.empty() && !holdsTheThetaGrid(*marker, fileName)) {
        return false;
    }
    if (const FastlinkLikelihoods* best = marker->getLikelihoodWithMaxLodScore()) {
        // Later tables print at the stream's own precision and notation.
        const std::ios_base::fmtflags flags = std::cout.flags();
        const std::streamsize precision = std::cout.precision();
        std::cout << std::right << std::fixed << std::setw(20) << marker->getIndex()
                  << std::setw(13) << std::setprecision(6) << best->getLodScore() << std::setw(10)
                  << std::setprecision(2) << best->getRecombinationFraction() << std::endl;
        std::cout.flags(flags);
        std::cout.precision(precision);
    }
    currentMarkers.push_back(marker.get());
    markerRecords.push_back(std::move(marker));
    return true;
}

bool MLink::selectMarkers() {
    selectedMarkers.clear();
    const MarkerMap* map = pedigrees->getMarkerMap();
    if (!pedigrees->onlyMarkerNames.empty()) {
        selectedMarkers = pedigrees->onlyMarkerNames;
        return true;
    }
    if (markerName.empty()) {
        for (int index = 0; index < pedigrees->markerCount; ++index) {
            const std::string name = map->getMarkerName(IntToString(index));
            if (!name.empty()) {
                selectedMarkers.push_back(name);
            }
        }
        return true;
    }
    if (map->getMarkerWithName(markerName) == nullptr) {
        reportUnknownMarker(*pedigrees, markerName);
        return false;
    }
    selectedMarkers.push_back(markerName);
    return true;
}

bool MLink::selectPhenotypes() {
    selectedPhenotypes.clear();
    // The liability class belongs to the trait beside it and is never analysed.
    const std::vector<std::string> names = pedigrees->getTraitPhenotypeNames();
    if (phenotypeName.empty()) {
        selectedPhenotypes = names;
        return true;
    }
    if (std::find(names.begin(), names.end(), phenotypeName) == names.end()) {
        reportUnknownPhenotype(*pedigrees, phenotypeName);
        return false;
    }
    selectedPhenotypes.push_back(phenotypeName);
    return true;
}

bool MLink::run(const std::string& kind, const std::string& marker, const std::string& phenotype) {
    analysisType = kind;
    markerName = marker;
    phenotypeName = phenotype;
    results.clear();

    static const std::vector<std::string> kinds = {"basic", "nuclear", "hrr", "tdt", "sibpair"};
    if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) {
        std::cout << "Error: Unknown kind of two-point analysis: " << kind << std::endl;
        return false;
    }
    if (pedigrees->markerCount == 0) {
        std::cout << "Error: No markers to analyse: the marker map is empty" << std::endl;
        return false;
    }
    if (!pedigrees->pedigreeFileRead) {
        std::cout << "Error: No pedigree file has been read" << std::endl;
        return false;
    }
    if (!selectMarkers() || !selectPhenotypes()) {
        return false;
    }

    if (kind == "basic") {
        std::cout << "\nParametric Linkage analysis" << std::endl;
    } else if (kind == "nuclear") {
        std::cout << "\nParametric Linkage analysis for nuclear pedigrees" << std::endl;
    }
    if (fewerAllelesAllowed) {
        std::cout << "Warning: Pedigree file contains less alleles than defined in linkage data "
                     "file (analyzing anyway)"
                  << std::endl;
    }

    for (const std::string& selected : selectedPhenotypes) {
        std::cout << "Phenotype: " << selected << std::endl;
        std::cout << std::right << std::setw(20) << "Marker" << std::setw(13)
                  << (kind == "nuclear" ? "NucLodHom" : "LodHom") << std::setw(10) << "Theta"
                  << std::endl;
        currentMarkers.clear();
        for (size_t i = 0; i < selectedMarkers.size(); ++i) {
            currentMarkerIndex = static_cast<int>(i);
            if (!analyseMarker(selected, selectedMarkers[i])) {
                return false;
            }
        }
        results.push_back(currentMarkers);
    }
    return true;
}

bool MLink::analyseMarker(const std::string& phenotype, const std::string& marker) {
    const Marker* entry = pedigrees->getMarkerMap()->getMarkerWithName(marker);
    const std::string markerIndex = entry != nullptr ? entry->getIndex() : "";
    const MarkerInfo* info = pedigrees->getMarkerInfo()->find(markerIndex);
    if (entry == nullptr || info == nullptr ||
        (info->getAlleleCount() < 2 && !fewerAllelesAllowed)) {
        std::cout << "Skipping marker " << marker << ", since no informative families found"
                  << std::endl;
        return true;
    }
    if (!writePedigreeFile(phenotype, markerIndex, marker) ||
        !writeLocusFile(markerIndex, marker)) {
        return false;
    }
    const bool verbose = pedigrees->verbose;
    if (pedigrees->hasLoops && !pedigrees->break_loops(false, verbose)) {
        return false;
    }
    // A result left by the previous marker must never pass for this one's.
    std::remove("outfile.dat");
    const std::string mlinkProgram = slow ? "mlinkorlexslow" : "mlinkorlex";
    if (!runEngine("UNKNOWN", "unknown", unknownProgram) ||
        !runEngine("MLINK", "mlink", mlinkProgram)) {
        return false;
    }
    std::error_code error;
    if (!std::filesystem::exists("outfile.dat", error)) {
        std::cout << "Error: The engine left no results in outfile.dat for marker " << marker
                  << std::endl;
        return false;
    }
    if (!readResultsFile("outfile.dat", analysisType)) {
        return false;
    }
    if (currentMarkers.back()->likelihoodsNames.empty()) {
        std::cout << "Error: The engine left no results in outfile.dat for marker " << marker
                  << std::endl;
        return false;
    }
    return true;
}

bool MLink::writePedigreeFile(const std::string& phenotype, const std::string& markerIndex,
                              const std::string& marker) {
    const bool verbose = pedigrees->verbose;
    if (verbose) {
        std::cout << "Writing needed pedfile.dat for marker " << marker << std::endl;
    }
    // Without a trait locus the locus file step reports the fault.
    const Locus* trait = pedigrees->linkageLocusFile->getLocus(0);
    const std::vector<std::string> phenotypes =
        trait != nullptr ? pedigrees->getTraitColumnPlan(phenotype, *trait)
                         : std::vector<std::string>{phenotype};
    const std::vector<std::string> markers{markerIndex};
    const bool nuclear = analysisType == "nuclear";
    const bool written =
        nuclear ? pedigrees->writeNuclearPedigreeFile("pedfile.dat", phenotypes, markers)
                : pedigrees->writePedigreeFile("pedfile.dat", phenotypes, markers);
    const int count =
        nuclear ? pedigrees->getNuclearPedigreeCount() : pedigrees->pedigreeTree->count;
    const bool ok = written && count >= 1;
    if (verbose) {
        std::cout << (ok ? "...done" : "...failed") << std::endl;
    }
    // The writer names its own open failure.
    if (written && count < 1) {
        std::cout << "Error: No pedigrees to analyse for marker " << marker << std::endl;
    }
    return ok;
}

bool MLink::writeLocusFile(const std::string& markerIndex, const std::string& marker) {
    const LinkageLocusFile& store = *pedigrees->linkageLocusFile;
    const Locus* trait = store.getLocus(0);
    const Locus* locus = store.getMarkerLocus(markerIndex);
    if (trait == nullptr || locus == nullptr) {
        std::cout << "Error: The LINKAGE locus model has no "
                  << (trait == nullptr ? "trait locus" : "locus for marker " + marker) << std::endl;
        return false;
    }
    const bool verbose = pedigrees->verbose;
    if (verbose) {
        std::cout << "Writing needed datafile.dat for marker " << marker << std::endl;
    }
    LinkageLocusFile file;
    file.setMarkerMap(pedigrees->getMarkerMap());
    file.setNumberOfLoci(2);
    file.setRiskLocus(0);
    file.setSexLink(store.getXlinked());
    file.setProgramNumber(LinkageLocusFile::mlinkProgram);
    file.setMutLocus(0);
    file.setMutRateMale(0.0);
    file.setMutRateFemale(0.0);
    file.setHapFreq(0);
    file.setLocusOrder({1, 2});
    file.addLocus(new Locus(trait));
    file.addLocus(new Locus(locus));
    file.setSexDifference(0);
    file.setInterference(0);
    file.setRecombinationVaried(1);
    file.setIncrement(thetaIncrement);
    file.setFinishingValue(thetaFinishingValue);
    file.addRecombinationFraction(0.0);
    const bool written = file.writeLocusFile("datafile.dat", {});
    if (verbose) {
        std::cout << (written ? "...done" : "...failed") << std::endl;
    }
    return written;
}

bool MLink::runEngine(const std::string& program, const std::string& label,
                      const std::string& command) {
    const bool verbose = pedigrees->verbose;
    if (verbose) {
        std::cout << "Running external program " << label << " to create outfile.dat";
    }
    if (!runEngineProgram(program, command, verbose)) {
        return false;
    }
    if (verbose) {
        std::cout << "...done" << std::endl;
    }
    return true;
}
