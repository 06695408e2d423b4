#include "locus_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <memory>
#include <numeric>
#include <sstream>
#include <utility>

#include "utilities.h"

static bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

LinkageTextReader::LinkageTextReader(std::string text) : text_(std::move(text)) {}

void LinkageTextReader::skipSpace() {
    const auto begin = text_.begin() + static_cast<std::ptrdiff_t>(position_);
    const auto end = std::find_if(begin, text_.end(), [](char c) { return !isSpace(c); });
    line_ += static_cast<int>(std::count(begin, end, '\n'));
    position_ = static_cast<size_t>(end - text_.begin());
}

void LinkageTextReader::skipRestOfLine() {
    readRestOfLine();
}

std::string LinkageTextReader::readRestOfLine() {
    const size_t lineFeed = text_.find('\n', position_);
    const size_t end = lineFeed == std::string::npos ? text_.size() : lineFeed;
    std::string rest = text_.substr(position_, end - position_);
    if (lineFeed == std::string::npos) {
        position_ = text_.size();
    } else {
        position_ = lineFeed + 1;
        ++line_;
    }
    return rest;
}

bool LinkageTextReader::fail(const std::string& problem, int line) {
    problem_ = problem;
    tokenLine_ = line;
    return false;
}

bool LinkageTextReader::atEnd() {
    skipSpace();
    return position_ == text_.size();
}

std::string LinkageTextReader::wordAt(size_t position) const {
    constexpr size_t longest = 40;
    const auto begin = text_.begin() + static_cast<std::ptrdiff_t>(position);
    const auto end = std::find_if(begin, text_.end(), isSpace);
    std::string word(begin, end);
    if (word.size() > longest) {
        word = word.substr(0, longest) + "...";
    }
    return word;
}

bool LinkageTextReader::startNumber(const std::string& what) {
    skipSpace();
    tokenLine_ = line_;
    if (position_ < text_.size()) {
        return true;
    }
    // The line feed that closes the last line opens no line of its own.
    if (!text_.empty() && text_.back() == '\n' && tokenLine_ > 1) {
        --tokenLine_;
    }
    problem_ = "expected " + what + ", found the end of the file";
    return false;
}

bool LinkageTextReader::readWord(std::string& word, const std::string& what) {
    if (!startNumber(what)) {
        return false;
    }
    const auto begin = text_.begin() + static_cast<std::ptrdiff_t>(position_);
    const auto end = std::find_if(begin, text_.end(), isSpace);
    word.assign(begin, end);
    position_ = static_cast<size_t>(end - text_.begin());
    return true;
}

std::string LinkageTextReader::peekWord() {
    skipSpace();
    const auto begin = text_.begin() + static_cast<std::ptrdiff_t>(position_);
    return std::string(begin, std::find_if(begin, text_.end(), isSpace));
}

// A number that runs straight into letters, digits or a further point or
// sign ("2x", "1.5" as an integer) is a malformed field, not a number
// followed by a comment.
bool LinkageTextReader::endNumber(const char* end, const std::string& what) {
    const char* const last = text_.data() + text_.size();
    const bool alone = end == last || isSpace(*end) ||
                       (std::ispunct(static_cast<unsigned char>(*end)) != 0 &&
                        std::strchr(".+-", *end) == nullptr);
    if (!alone) {
        problem_ = "expected " + what + ", found \"" + wordAt(position_) + "\"";
        return false;
    }
    position_ = static_cast<size_t>(end - text_.data());
    return true;
}

// Stream extraction accepts a leading plus sign; the character conversions
// do not.
static const char* afterPlus(const char* first, const char* last) {
    const bool signedNumber =
        first + 1 < last && *first == '+' &&
        (std::isdigit(static_cast<unsigned char>(first[1])) != 0 || first[1] == '.');
    return signedNumber ? first + 1 : first;
}

bool LinkageTextReader::readInt(int& value, const std::string& what) {
    if (!startNumber(what)) {
        return false;
    }
    const char* const last = text_.data() + text_.size();
    const char* const first = afterPlus(text_.data() + position_, last);
    int parsed = 0;
    const auto [end, error] = std::from_chars(first, last, parsed);
    if (error != std::errc()) {
        problem_ = "expected " + what + ", found \"" + wordAt(position_) + "\"";
        return false;
    }
    if (!endNumber(end, what)) {
        return false;
    }
    value = parsed;
    return true;
}

bool LinkageTextReader::readDouble(double& value, const std::string& what) {
    if (!startNumber(what)) {
        return false;
    }
    const char* const last = text_.data() + text_.size();
    const char* const first = afterPlus(text_.data() + position_, last);
    double parsed = 0.0;
    const auto [end, error] = std::from_chars(first, last, parsed, std::chars_format::general);
    if (error != std::errc() || !std::isfinite(parsed)) {
        problem_ = "expected " + what + ", found \"" + wordAt(position_) + "\"";
        return false;
    }
    if (!endNumber(end, what)) {
        return false;
    }
    value = parsed;
    return true;
}

static std::string numberText(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

// A sum shown with the figures that tell it from 1: 0.9999 and 1.0001, not 1.
static std::string sumText(double sum) {
    std::ostringstream out;
    out << std::setprecision(10) << sum;
    return out.str();
}

// Reads the numbers of one locus file into a LinkageLocusFile. Every step
// returns false with error() set at the first fault; complete loci are
// handed to the file as they are read.
class LocusFileParser {
  public:
    LocusFileParser(LinkageLocusFile& file, std::string fileName, std::string text)
        : file_(file), fileName_(std::move(fileName)), in_(std::move(text)) {}

    bool parse() { return readHeader() && readLoci() && readTail(); }
    const std::string& error() const { return error_; }

  private:
    bool readHeader();
    bool readLoci();
    bool readLocus(int position);
    bool readQuantitative(Locus& locus, const std::string& label);
    bool readAffection(Locus& locus, const std::string& label);
    bool readFrequencies(Locus& locus, const std::string& label);
    bool readTail();
    bool readClosingLine();

    bool fail(std::string message) {
        error_ = std::move(message);
        return false;
    }
    // Every fault of the text names the file and the line where the reading stopped.
    bool failAtLine(const std::string& problem) {
        return fail("Error: LINKAGE locus file " + fileName_ + ", line " +
                    std::to_string(in_.line()) + ": " + problem);
    }
    bool readInt(int& value, const std::string& what) {
        return in_.readInt(value, what) || failAtLine(in_.problem());
    }
    bool readDouble(double& value, const std::string& what) {
        return in_.readDouble(value, what) || failAtLine(in_.problem());
    }
    bool readCount(int& value, const std::string& what) {
        if (!readInt(value, what)) {
            return false;
        }
        return value >= 0 ||
               failAtLine(what + " cannot be negative (" + std::to_string(value) + ")");
    }
    // Penetrances are probabilities: beyond [0, 1] the engine's likelihoods
    // are no numbers, and the LOD scores with them.
    bool readPenetrances(std::vector<double>& values, int count, const std::string& what) {
        values.clear();
        for (int i = 0; i < count; ++i) {
            double value = 0.0;
            if (!readDouble(value, what)) {
                return false;
            }
            if (!(value >= 0.0 && value <= 1.0)) {
                return failAtLine(what + " must lie between 0 and 1, not " + numberText(value));
            }
            values.push_back(value);
        }
        return true;
    }
    bool readDoubles(std::vector<double>& values, int count, const std::string& what) {
        values.clear();
        for (int i = 0; i < count; ++i) {
            double value = 0.0;
            if (!readDouble(value, what)) {
                return false;
            }
            values.push_back(value);
        }
        return true;
    }

    LinkageLocusFile& file_;
    const std::string fileName_;
    LinkageTextReader in_;
    std::string error_;
};

bool LocusFileParser::readHeader() {
    if (!readCount(file_.numberOfLoci, "the number of loci") ||
        !readInt(file_.riskLocus, "the risk locus") ||
        !readInt(file_.sexLink, "the sex-link code") ||
        !readInt(file_.programNumber, "the program number")) {
        return false;
    }
    in_.skipRestOfLine();
    if (!readInt(file_.mutLocus, "the mutation locus") ||
        !readDouble(file_.mutRateMale, "the male mutation rate") ||
        !readDouble(file_.mutRateFemale, "the female mutation rate") ||
        !readInt(file_.hapFreq, "the haplotype-frequency indicator")) {
        return false;
    }
    in_.skipRestOfLine();
    for (int i = 0; i < file_.numberOfLoci; ++i) {
        int entry = 0;
        if (!readInt(entry, "the locus order")) {
            return false;
        }
        file_.locusOrder.push_back(entry);
    }
    in_.skipRestOfLine();
    return true;
}

bool LocusFileParser::readLoci() {
    for (int position = 0; position < file_.numberOfLoci; ++position) {
        if (!readLocus(position)) {
            return false;
        }
    }
    return true;
}

bool LocusFileParser::readLocus(int position) {
    const std::string label = "locus " + std::to_string(position + 1);
    int type = 0;
    int alleles = 0;
    if (!readInt(type, "the type of " + label) ||
        !readInt(alleles, "the number of alleles of " + label)) {
        return false;
    }
    in_.skipRestOfLine();
    if (type == 2) {
        return failAtLine(label + " has binary factors (type 2), which are not supported");
    }
    if (type != Locus::quantitativeType && type != Locus::affectionType &&
        type != Locus::numberedAllelesType) {
        return failAtLine(label + " has the unknown locus type " + std::to_string(type) +
                          " (0 quantitative, 1 affection status, 3 numbered alleles)");
    }
    if (alleles < 0) {
        return failAtLine("the number of alleles of " + label + " cannot be negative (" +
                          std::to_string(alleles) + ")");
    }
    if (type == Locus::affectionType && alleles > 2) {
        return failAtLine(label + " is a disease locus with " + std::to_string(alleles) +
                          " alleles; it can have at most 2");
    }
    const std::string id = type == Locus::numberedAllelesType
                               ? std::to_string(position)
                               : "DISEASE_LOCUS_" + std::to_string(position);
    auto locus = std::make_unique<Locus>(id, type, alleles);
    bool read = false;
    switch (type) {
        case Locus::quantitativeType:
            read = readQuantitative(*locus, label);
            break;
        case Locus::affectionType:
            read = readAffection(*locus, label);
            break;
        default:
            read = readFrequencies(*locus, label);
            in_.skipRestOfLine();
            break;
    }
    if (!read) {
        return false;
    }
    file_.addLocus(locus.release());
    return true;
}

bool LocusFileParser::readQuantitative(Locus& locus, const std::string& label) {
    if (!readDoubles(locus.alleleFrequencies, locus.numberOfAlleles,
                     "an allele frequency of " + label)) {
        return false;
    }
    in_.skipRestOfLine();
    if (!readCount(locus.numberOfLiabClasses, "the number of traits of " + label)) {
        return false;
    }
    in_.skipRestOfLine();
    for (int trait = 0; trait < locus.numberOfLiabClasses; ++trait) {
        std::vector<double> means;
        if (!readDoubles(means, 3, "a genotype mean of " + label)) {
            return false;
        }
        locus.genotypeMeans.insert(locus.genotypeMeans.end(), means.begin(), means.end());
        in_.skipRestOfLine();
    }
    double variance = 0.0;
    if (!readDouble(variance, "the variance of " + label)) {
        return false;
    }
    locus.variances = {variance};
    in_.skipRestOfLine();
    if (!readDouble(locus.multiplier, "the variance multiplier of " + label)) {
        return false;
    }
    in_.skipRestOfLine();
    return true;
}

bool LocusFileParser::readAffection(Locus& locus, const std::string& label) {
    if (!readFrequencies(locus, label)) {
        return false;
    }
    in_.skipRestOfLine();
    int classes = 0;
    if (!readCount(classes, "the number of liability classes of " + label)) {
        return false;
    }
    locus.setNumberOfLiabClasses(classes);
    in_.skipRestOfLine();
    for (int k = 0; k < classes; ++k) {
        const std::string liability = "liability class " + std::to_string(k + 1) + " of " + label;
        std::vector<double> penetrances;
        if (!readPenetrances(penetrances, 3, "a penetrance of " + liability)) {
            return false;
        }
        locus.setFemalePenetrances(penetrances);
        in_.skipRestOfLine();
        if (file_.sexLink == 1) {
            if (!readPenetrances(penetrances, 2, "a male penetrance of " + liability)) {
                return false;
            }
            locus.setMalePenetrances(penetrances);
            in_.skipRestOfLine();
        }
    }
    return true;
}

// Frequencies of an affection or numbered-allele locus: none negative, and
// the sum within 0.001 of 1, stored rescaled to sum 1. Published frequencies
// rounded to four decimals sum to 0.9999 or 1.0001; a sum further off than
// rounding of the figures explains is a wrong file, not a rounded one.
bool LocusFileParser::readFrequencies(Locus& locus, const std::string& label) {
    std::vector<double> frequencies;
    for (int i = 0; i < locus.numberOfAlleles; ++i) {
        double frequency = 0.0;
        if (!readDouble(frequency, "an allele frequency of " + label)) {
            return false;
        }
        if (frequency < 0.0) {
            return failAtLine("an allele frequency of " + label + " cannot be negative (" +
                              numberText(frequency) + ")");
        }
        if (frequency > 1.0) {
            return failAtLine("an allele frequency of " + label +
                              " must lie between 0 and 1, not " + numberText(frequency));
        }
        frequencies.push_back(frequency);
    }
    const double sum = std::accumulate(frequencies.begin(), frequencies.end(), 0.0);
    const double offBy = std::abs(sum - 1.0);
    if (!(offBy <= LinkageLocusFile::frequencySumTolerance)) {
        return fail("Error: The allele frequencies of " + label + " of LINKAGE locus file " +
                    fileName_ + " sum to " + sumText(sum) + ", not 1 (within " +
                    numberText(LinkageLocusFile::frequencySumTolerance) + ")");
    }
    // Sums of decimal figures that are exactly 1 come out of the additions
    // a few units of the last place off; only a sum off by more was rounded.
    if (offBy > 1e-9) {
        std::cout << "Warning: The allele frequencies of " << label << " of LINKAGE locus file "
                  << fileName_ << " sum to " << sumText(sum) << ": they are rescaled to sum to 1"
                  << std::endl;
    }
    std::transform(frequencies.begin(), frequencies.end(), frequencies.begin(),
                   [sum](double frequency) { return frequency / sum; });
    locus.addAlleleFrequencies(frequencies);
    return true;
}

bool LocusFileParser::readTail() {
    if (!readInt(file_.sexDifference, "the sex difference") ||
        !readInt(file_.interference, "the interference")) {
        return false;
    }
    if (file_.sexDifference != 0 || file_.interference != 0) {
        return failAtLine("sex difference and interference are not supported: both must be 0");
    }
    in_.skipRestOfLine();
    for (int i = 0; i < file_.numberOfLoci - 1; ++i) {
        double fraction = 0.0;
        if (!readDouble(fraction, "a recombination fraction")) {
            return false;
        }
        file_.addRecombinationFraction(fraction);
    }
    in_.skipRestOfLine();
    return readClosingLine();
}

// The three numbers after the recombination fractions, whatever program the
// file names. An ILINK file may close with fewer (an iterated locus of 0 and
// a lone theta flag), so there the end of the file ends them quietly.
bool LocusFileParser::readClosingLine() {
    const bool mayEnd = file_.programNumber == LinkageLocusFile::ilinkProgram;
    if (mayEnd && in_.atEnd()) {
        return true;
    }
    if (!readInt(file_.recombinationVaried, "the varied recombination fraction")) {
        return false;
    }
    if (mayEnd && in_.atEnd()) {
        return true;
    }
    if (!readDouble(file_.increment, "the increment")) {
        return false;
    }
    if (mayEnd && in_.atEnd()) {
        return true;
    }
    return readDouble(file_.finishingValue, "the finishing value");
}

LinkageLocusFile::~LinkageLocusFile() {
    for (Locus* locus : loci) {
        delete locus;
    }
    loci.clear();
}

Locus* LinkageLocusFile::getLocus(int i) const {
    if (i < 0 || static_cast<size_t>(i) >= loci.size()) {
        return nullptr;
    }
    return loci[static_cast<size_t>(i)];
}

Locus* LinkageLocusFile::getMarkerLocus(const std::string& markerIndex) const {
    const std::string id = IntToString(stringToInt(markerIndex) + 1);
    const auto markers = loci.begin() + std::min<size_t>(1, loci.size());
    const auto found = std::find_if(markers, loci.end(),
                                    [&id](const Locus* locus) { return locus && locus->id == id; });
    return found == loci.end() ? nullptr : *found;
}

bool LinkageLocusFile::hasSexLinkedTraitLocus() const {
    const Locus* trait = getLocus(0);
    if (sexLink != 1 || trait == nullptr) {
        return false;
    }
    if (trait->type != Locus::affectionType) {
        return true;
    }
    for (int k = 0; k < trait->numberOfLiabClasses; ++k) {
        if (!trait->hasMalePenetrances(k)) {
            return false;
        }
    }
    return true;
}

void LinkageLocusFile::setNumberOfLoci(int n) {
    numberOfLoci = n;
    locusOrder.assign(static_cast<size_t>(std::max(n, 0)), 0);
    std::iota(locusOrder.begin(), locusOrder.end(), 0);
}

void LinkageLocusFile::addLocus(Locus* locus) {
    loci.push_back(locus);
}

bool LinkageLocusFile::readLocusFile(const std::string& fileName) {
    std::cout << "Reading LINKAGE locus file " << fileName << '\n';
    const std::string problem = inputFileProblem(fileName);
    if (!problem.empty()) {
        std::cout << "...failed\n"
                  << "Error: The LINKAGE locus file " << fileName << " " << problem << '\n';
        return false;
    }
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        std::cout << "...failed\n"
                  << "Error: Unable to open locus file " << fileName << " for reading.\n";
        return false;
    }
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    in.close();
    LocusFileParser parser(*this, fileName, std::move(text));
    if (!parser.parse()) {
        std::cout << "...failed\n" << parser.error() << '\n';
        return false;
    }
    std::cout << " (Number of loci: " << numberOfLoci << ")"
              << "...done.\n";
    return true;
}

std::string LinkageLocusFile::missingPenetranceError(const std::string& fileName) const {
    for (const Locus* locus : loci) {
        if (locus == nullptr || locus->type != Locus::affectionType) {
            continue;
        }
        for (int k = 0; k < locus->numberOfLiabClasses; ++k) {
            const std::string liability = " for liability class " + std::to_string(k + 1);
            if (!locus->hasFemalePenetrances(k)) {
                return "Error: Disease model " + locus->id + " has no penetrances" + liability +
                       "; " + fileName + " not written!";
            }
            if (sexLink == 1 && !locus->hasMalePenetrances(k)) {
                return "Error: Disease model " + locus->id + " has no male penetrances" +
                       liability + ", which X-linked data need; " + fileName + " not written!";
            }
        }
    }
    return "";
}

static void writeClosingFlags(std::ostream& out, const std::vector<bool>& flags) {
    // The last frequency is one minus the others: its flag is not written.
    for (int j = 0; j <= static_cast<int>(flags.size()) - 2; ++j) {
        out << (flags[static_cast<size_t>(j)] ? 1 : 0) << ' ';
    }
}

std::string LinkageLocusFile::toString() const {
    std::ostringstream out;
    out << std::setprecision(17);
    out << numberOfLoci << ' ' << riskLocus << ' ' << sexLink << ' ' << programNumber << '\n';
    out << mutLocus << ' ';
    writeNumber(out, mutRateMale);
    out << ' ';
    writeNumber(out, mutRateFemale);
    out << ' ' << hapFreq << '\n';
    for (const int entry : locusOrder) {
        out << entry << ' ';
    }
    out << '\n';
    for (const Locus* locus : loci) {
        if (locus != nullptr) {
            out << locus->toString(sexLink);
        }
    }
    out << sexDifference << ' ' << interference << '\n';
    for (const double fraction : recombinationFractions) {
        writeNumber(out, fraction);
        out << "  ";
    }
    out << '\n';
    switch (programNumber) {
        case linkmapProgram:
            out << linkmapLocusVaried << ' ' << linkmapFinishingValue << ' '
                << linkmapNumberOfEvaluations << '\n';
            break;
        case ilinkProgram:
            out << iteratedLocus << '\n';
            out << (estimateTheta ? 1 : 0) << ' ';
            if (iteratedLocus == 2) {
                writeClosingFlags(out, condHaplotypeFrequencies ? estimateHaplotypeFrequencies
                                                                : estimateAlleleFrequencies);
            }
            out << '\n';
            break;
        default:
            out << recombinationVaried << ' ';
            writeNumber(out, increment);
            out << ' ';
            writeNumber(out, finishingValue);
            out << '\n';
            break;
    }
    return out.str();
}

bool LinkageLocusFile::writeLocusFile(const std::string& fileName,
                                      const std::vector<std::string>& /*lociNames*/) const {
    // Stand-in penetrances would reach the engine as real values.
    const std::string error = missingPenetranceError(fileName);
    if (!error.empty()) {
        std::cout << error << '\n';
        return false;
    }
    const std::string text = toString();
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) {
        std::cout << "Error: Unable to open " << fileName << " for writing!\n";
        return false;
    }
    out << text;
    out.close();
    if (!out) {
        // A cut-off file must not be read by the engine as a whole one.
        std::error_code ignored;
        if (std::filesystem::is_regular_file(fileName, ignored)) {
            std::filesystem::remove(fileName, ignored);
        }
        std::cout << "Error: Unable to write " << fileName << "!\n";
        return false;
    }
    return true;
}
