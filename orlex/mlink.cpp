#include "mlink.h"

#include <algorithm>
#include <cerrno>
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

// One line of the result file that holds any token; blank lines do not count.
struct ResultLine {
    int number;
    std::vector<std::string> tokens;
};

static std::vector<ResultLine> readResultLines(std::istream& input) {
    std::vector<ResultLine> lines;
    std::string text;
    for (int number = 1; std::getline(input, text); ++number) {
        std::istringstream words(text);
        ResultLine line{number, {}};
        for (std::string word; words >> word;) {
            line.tokens.push_back(word);
        }
        if (!line.tokens.empty()) {
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

// The token as a whole number in the stream's notation (fixed or exponent).
static bool parseNumber(const std::string& token, double& value) {
    errno = 0;
    char* end = nullptr;
    value = std::strtod(token.c_str(), &end);
    return end != token.c_str() && *end == '\0' && errno != ERANGE;
}

// Walks the lines of one result file and reports where a block went wrong.
class TwoPointParser {
  public:
    TwoPointParser(std::vector<ResultLine> lines, std::string fileName)
        : lines_(std::move(lines)), fileName_(std::move(fileName)) {}

    bool atEnd() const { return next_ >= lines_.size(); }

    // Skips up to count lines; the last block of a file may lack its closing lines.
    void skip(size_t count) { next_ = std::min(lines_.size(), next_ + count); }

    // The next line, which must hold at least minTokens tokens.
    const ResultLine* take(size_t minTokens, const std::string& what) {
        if (atEnd()) {
            fail(lastLineNumber(), "the file ends where " + what + " should stand");
            return nullptr;
        }
        const ResultLine& line = lines_[next_++];
        if (line.tokens.size() < minTokens) {
            fail(line.number, "too few fields for " + what);
            return nullptr;
        }
        return &line;
    }

    bool number(const ResultLine& line, size_t position, const std::string& what, double& value) {
        if (parseNumber(line.tokens[position], value)) {
            return true;
        }
        fail(line.number, what + " is not a number (\"" + line.tokens[position] + "\")");
        return false;
    }

    bool failed() const { return failed_; }

  private:
    int lastLineNumber() const { return lines_.empty() ? 0 : lines_.back().number; }

    void fail(int lineNumber, const std::string& problem) {
        failed_ = true;
        std::cout << "Error: " << fileName_ << ", line " << lineNumber << ": " << problem
                  << std::endl;
    }

    std::vector<ResultLine> lines_;
    std::string fileName_;
    size_t next_ = 0;
    bool failed_ = false;
};

static std::unique_ptr<FastlinkLikelihoods> readBlock(TwoPointParser& parser, int pedigreeCount) {
    const ResultLine* thetaLine = parser.take(2, "a recombination fraction");
    double theta = 0.0;
    if (thetaLine == nullptr ||
        !parser.number(*thetaLine, 1, "the recombination fraction", theta)) {
        return nullptr;
    }
    const std::string thetaText = thetaLine->tokens[1];
    auto point = std::make_unique<FastlinkLikelihoods>(stringToDouble(thetaText));
    const std::string block = " of the block of theta " + thetaText;
    if (parser.take(1, "the line after the recombination fraction") == nullptr ||
        parser.take(1, "the column heads" + block) == nullptr ||
        parser.take(1, "the line under the column heads" + block) == nullptr) {
        return nullptr;
    }
    for (int i = 0; i < pedigreeCount; ++i) {
        const ResultLine* line = parser.take(5, "pedigree line " + IntToString(i + 1) + block);
        if (line == nullptr) {
            return nullptr;
        }
        const std::string& id = line->tokens[0];
        double lnLike = 0.0;
        double log10Like = 0.0;
        double lod = 0.0;
        if (!parser.number(*line, 1, "the ln likelihood of pedigree " + id, lnLike) ||
            !parser.number(*line, 2, "the log10 likelihood of pedigree " + id, log10Like) ||
            !parser.number(*line, 4, "the LOD score of pedigree " + id, lod)) {
            return nullptr;
        }
        point->addLikelihood(id, lnLike, log10Like, lod);
    }
    const ResultLine* spacer = parser.take(1, "the line under the pedigrees" + block);
    const ResultLine* totals = spacer ? parser.take(3, "the totals" + block) : nullptr;
    const ResultLine* lodLine =
        totals ? parser.take(8, "the -2 ln(like) and LOD line" + block) : nullptr;
    double lnTotal = 0.0;
    double log10Total = 0.0;
    double minus2LnLike = 0.0;
    double lod = 0.0;
    if (lodLine == nullptr || !parser.number(*totals, 1, "the total ln likelihood", lnTotal) ||
        !parser.number(*totals, 2, "the total log10 likelihood", log10Total) ||
        !parser.number(*lodLine, 3, "-2 ln(like)", minus2LnLike) ||
        !parser.number(*lodLine, 7, "the total LOD score", lod)) {
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
    TwoPointParser parser(readResultLines(input), fileName);
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

// ---------------------------------------------------------------------------
// MLink

static const char* const unknownProgram = "unknownorlex";

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
        std::cout << "Cannot find given marker " << markerName << std::endl;
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
        std::cout << "Cannot find given phenotype " << phenotypeName << std::endl;
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
    file.setIncrement(0.02);
    file.setFinishingValue(0.49);
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
