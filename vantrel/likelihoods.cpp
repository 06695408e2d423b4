#include "likelihoods.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <sstream>
#include <utility>

#include "locus_file.h"
#include "utilities.h"

namespace {

const char* const finalFileName = "final.dat";

void writeFixed(std::ostream& out, const std::vector<double>& values, int width) {
    for (const double value : values) {
        out << std::setw(width) << value;
    }
}

// Reads and discards the given number of words (labels such as "-2 LN(LIKE) =").
bool skipWords(LinkageTextReader& in, int count, const std::string& what) {
    std::string ignored;
    for (int i = 0; i < count; ++i) {
        if (!in.readWord(ignored, what)) {
            return false;
        }
    }
    return true;
}

void skipLines(LinkageTextReader& in, int count) {
    for (int i = 0; i < count; ++i) {
        in.skipRestOfLine();
    }
}

}  // namespace

std::string Likelihood::InString() const {
    std::ostringstream out;
    out << std::fixed << std::setprecision(6);
    out << std::setw(13) << minus2LnLike << std::setw(8) << iterations << std::setw(8)
        << evaluations;
    writeFixed(out, thetas, 10);
    writeFixed(out, alleleFrequencies, 10);
    if (!condAlleleFrequencies.empty()) {
        out << "  ";
        writeFixed(out, condAlleleFrequencies, 10);
    }
    out << '\n';
    return out.str();
}

Likelihoods::Likelihoods(std::string runNotes, bool linkage, bool ld, int alleles)
    : notes(std::move(runNotes)), modelLinkage(linkage), modelLD(ld), numberOfAlleles(alleles) {}

Likelihoods::~Likelihoods() = default;

bool Likelihoods::readFinalDat(bool frequenciesFixed) {
    std::ifstream file(finalFileName, std::ios::binary);
    std::error_code ignored;
    if (!file || std::filesystem::is_directory(finalFileName, ignored)) {
        std::cout << "Error: Unable to open FINAL file " << finalFileName << " for reading."
                  << std::endl;
        return false;
    }
    LinkageTextReader in(
        std::string{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()});
    file.close();

    auto estimate = std::make_unique<Likelihood>();
    if (!readEstimate(in, frequenciesFixed, *estimate)) {
        std::cout << "Error: FINAL file " << finalFileName << ", line " << in.line() << ": "
                  << in.problem() << std::endl;
        return false;
    }
    addEstimate(std::move(estimate));

    // The format stays set on the console: the debug start values printed
    // after a run appear in it too.
    const Likelihood& last = *estimates.back();
    std::cout << std::left << std::fixed << std::setprecision(6) << std::setw(20);
    // A zero likelihood has no -2 ln L to show.
    if (isImpossibleMinus2LnLike(last.minus2LnLike)) {
        std::cout << "impossible";
    } else {
        std::cout << last.minus2LnLike;
    }
    std::cout << std::setw(5) << last.iterations << std::setw(5) << last.evaluations;
    for (const double theta : last.thetas) {
        std::cout << ' ' << theta;
    }
    std::cout << '\n';
    return true;
}

// The layout of "final.dat" is read by position: line 2 lists the loci (its
// characters count them), the frequency block follows unless the
// frequencies were fixed, then the thetas, -2 ln L and the iteration report.
bool Likelihoods::readEstimate(LinkageTextReader& in, bool frequenciesFixed,
                               Likelihood& estimate) const {
    if (in.atEnd()) {
        return in.fail("the file is empty", 1);
    }
    in.skipRestOfLine();
    const int lociLine = in.currentLine();
    const int loci = countElements(in.readRestOfLine());
    if (loci < 2) {
        // Without a second locus there is no recombination fraction, and an
        // estimate without one cannot start a later linkage run.
        return in.fail("expected the chromosome order of at least two loci", lociLine);
    }
    if (!frequenciesFixed) {
        skipLines(in, 4);
        if (!readFrequencies(in, false, estimate.alleleFrequencies)) {
            return false;
        }
        in.skipRestOfLine();
        if (modelLD) {
            in.skipRestOfLine();
            if (!readFrequencies(in, true, estimate.condAlleleFrequencies)) {
                return false;
            }
            in.skipRestOfLine();
        }
    }
    skipLines(in, 2);
    for (int i = 0; i < loci - 1; ++i) {
        double theta = 0.0;
        if (!in.readDouble(theta, "recombination fraction " + std::to_string(i + 1))) {
            return false;
        }
        estimate.thetas.push_back(theta);
    }
    skipLines(in, 2);
    if (!skipWords(in, 3, "\"-2 LN(LIKE) =\"") ||
        !in.readDouble(estimate.minus2LnLike, "a finite -2 ln(likelihood)")) {
        return false;
    }
    in.skipRestOfLine();
    if (!skipWords(in, 3, "the LOD score line")) {
        return false;
    }
    estimate.lodScore = -999.999;
    in.skipRestOfLine();
    return skipWords(in, 4, "\"NUMBER OF ITERATIONS =\"") &&
           in.readInt(estimate.iterations, "the number of iterations") &&
           skipWords(in, 5, "\"NUMBER OF FUNCTION EVALUATIONS =\"") &&
           in.readInt(estimate.evaluations, "the number of function evaluations") &&
           skipWords(in, 2, "\"PTG =\"") &&
           in.readDouble(estimate.lastLineValue, "the last value of the iteration report");
}

bool Likelihoods::readFrequencies(LinkageTextReader& in, bool conditional,
                                  std::vector<double>& frequencies) const {
    const std::string kind =
        conditional ? "allele frequency (conditional on disease) " : "allele frequency ";
    frequencies.clear();
    for (int i = 0; i < numberOfAlleles; ++i) {
        double value = 0.0;
        if (in.peekWord() == "nan") {
            // The engine's optimiser can leave an allele it never needed at
            // "nan"; the list keeps the allele's place.
            std::string nan;
            in.readWord(nan, "");
            std::cout << (conditional
                              ? "Warning: ILINK allele frequency (conditional on disease) was "
                                "\"nan\" at index "
                              : "Warning: ILINK allele frequency was \"nan\" at index ")
                      << i << std::endl;
        } else if (!in.readDouble(value, kind + std::to_string(i + 1))) {
            return false;
        } else if (value > 1.0) {
            std::cout << (conditional ? "Warning: ILINK conditional allele frequency was > 1.0 "
                                        "at index "
                                      : "Warning: ILINK allele frequency was > 1.0 at index ")
                      << i << std::endl;
        }
        frequencies.push_back(value);
    }
    return true;
}

void Likelihoods::addEstimate(std::unique_ptr<Likelihood> estimate) {
    estimates.push_back(std::move(estimate));
    // min_element keeps the first of equal values.
    const auto bestEstimate = std::min_element(
        estimates.begin(), estimates.end(),
        [](const auto& a, const auto& b) { return a->minus2LnLike < b->minus2LnLike; });
    bestIndex = static_cast<int>(bestEstimate - estimates.begin());
}

const Likelihood& Likelihoods::best() const {
    return *estimates.at(static_cast<size_t>(bestIndex));
}

double Likelihoods::getMinLikelihood() const {
    return best().minus2LnLike;
}

std::vector<double> Likelihoods::getMinLikelihoodEstAlleleFreqs() const {
    return best().alleleFrequencies;
}

std::vector<double> Likelihoods::getMinLikelihoodEstAlleleFreqsCond() const {
    return best().condAlleleFrequencies;
}

std::vector<double> Likelihoods::getMinLikelihoodEstThetas() const {
    return best().thetas;
}

std::vector<double> Likelihoods::getLastEstimatedThetas() const {
    return estimates.at(estimates.size() - 1)->thetas;
}

std::string Likelihoods::InString() const {
    std::string text;
    for (const auto& estimate : estimates) {
        text += estimate->InString();
    }
    return text;
}
