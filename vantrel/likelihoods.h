// The estimates of one hypothesis run of vantrel, as the ILINK-type engine
// leaves them in "final.dat" after each of its runs.
#pragma once

#include <memory>
#include <string>
#include <vector>

class LinkageTextReader;

// The engine gives a pedigree that is impossible at a marker (likelihood 0,
// as with a Mendelian error) ln L -1e20, so the whole run's -2 ln L is 2e20;
// no possible data come near.
constexpr double impossibleMinus2LnLikeBound = 2e19;
inline bool isImpossibleMinus2LnLike(double minus2LnLike) {
    return minus2LnLike >= impossibleMinus2LnLikeBound;
}

// One estimate: one reading of "final.dat".
class Likelihood {
  public:
    Likelihood() = default;

    void setAlleleFrequencies(const std::vector<double>& frequencies) {
        alleleFrequencies = frequencies;
    }
    void setCondAlleleFrequencies(const std::vector<double>& frequencies) {
        condAlleleFrequencies = frequencies;
    }
    void setThetas(const std::vector<double>& values) { thetas = values; }
    void setLikelihood(double value) { minus2LnLike = value; }
    void setLodScore(double value) { lodScore = value; }
    void setIterEvalPig(int iterationCount, int evaluationCount, double lastValue) {
        iterations = iterationCount;
        evaluations = evaluationCount;
        lastLineValue = lastValue;
    }

    std::vector<double> getAlleleFreqs() const { return alleleFrequencies; }
    std::vector<double> getCondAlleleFreqs() const { return condAlleleFrequencies; }
    std::vector<double> getThetas() const { return thetas; }
    // -2 ln(likelihood).
    double getLikelihood() const { return minus2LnLike; }

    // One line: -2 ln L, iterations, evaluations, thetas, frequencies and,
    // when there are any, the frequencies conditional on the disease allele.
    std::string InString() const;

    std::vector<double> alleleFrequencies;
    // Marker allele frequencies on the disease-allele haplotypes (LD runs).
    std::vector<double> condAlleleFrequencies;
    // Never filled by the engine runs of this program.
    std::vector<double> haplotypeFrequencies;
    std::vector<double> thetas;
    double minus2LnLike = 0.0;
    double lodScore = 0.0;
    int iterations = 0;
    int evaluations = 0;
    // The third number of the engine's iteration report; kept for the record.
    double lastLineValue = 0.0;
};

// All estimates of one hypothesis run, in the order read, and the best one.
class Likelihoods {
  public:
    Likelihoods(std::string notes, bool modelLinkage, bool modelLD, int numberOfAlleles);
    Likelihoods(const Likelihoods&) = delete;
    Likelihoods& operator=(const Likelihoods&) = delete;
    ~Likelihoods();

    // Reads "final.dat" of the working directory into a new estimate; with
    // frequenciesFixed the file holds no frequency lines. False, after an
    // "Error: " line naming the file and the fault, when the file is
    // missing, ends early or holds a word that is not the number its place
    // needs; nothing is appended then.
    bool readFinalDat(bool frequenciesFixed);

    // Appends an estimate and finds the best one again.
    void addEstimate(std::unique_ptr<Likelihood> estimate);

    // Queries of the best (smallest -2 ln L; the earliest on ties) and of the
    // last estimate. Only valid once an estimate was read.
    double getMinLikelihood() const;
    // The best estimate's likelihood is zero: some pedigree is impossible.
    bool bestIsImpossible() const { return isImpossibleMinus2LnLike(getMinLikelihood()); }
    std::vector<double> getMinLikelihoodEstAlleleFreqs() const;
    std::vector<double> getMinLikelihoodEstAlleleFreqsCond() const;
    std::vector<double> getMinLikelihoodEstThetas() const;
    std::vector<double> getLastEstimatedThetas() const;

    int getNumberOfAlleles() const { return numberOfAlleles; }
    int getLikelihoodVectorSize() const { return static_cast<int>(estimates.size()); }
    // The i-th estimate itself, still owned here.
    Likelihood* getLikelihood(int i) const { return estimates.at(static_cast<size_t>(i)).get(); }
    // The InString() lines of every estimate in the order read.
    std::string InString() const;

    std::string notes;
    bool modelLinkage;
    bool modelLD;
    int numberOfAlleles;
    std::vector<std::unique_ptr<Likelihood>> estimates;
    int bestIndex = 0;
    // The marker the run belongs to; set by the result records.
    std::string markerName;

  private:
    bool readEstimate(LinkageTextReader& in, bool frequenciesFixed, Likelihood& estimate) const;
    bool readFrequencies(LinkageTextReader& in, bool conditional,
                         std::vector<double>& frequencies) const;
    const Likelihood& best() const;
};
