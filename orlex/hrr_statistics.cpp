// The haplotype-relative-risk records and their statistics: the allele- and
// genotype-based likelihood-ratio statistics of the 2 x K case/control
// tables, their chi-square p-values and their randomised p-values.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iomanip>
#include <random>
#include <sstream>

#include "hrr.h"
#include "marker_info.h"
#include "utilities.h"

std::string hrrPValueField(double value) {
    std::ostringstream text;
    text << std::right << std::setw(15) << std::setprecision(6)
         << (value < 1e-6 ? std::scientific : std::fixed) << value;
    return text.str();
}

// ---------------------------------------------------------------------------
// HrrMarker: counts

HrrMarker::HrrMarker(std::string index, const std::vector<Allele*>& alleles)
    : markerIndex(std::move(index)) {
    for (const Allele* allele : alleles) {
        if (allele != nullptr) {
            alleleNames.push_back(allele->getAlleleName());
        }
    }
    for (const std::string& name : alleleNames) {
        caseAlleleCounts[name] = 0;
        controlAlleleCounts[name] = 0;
    }
    const int count = static_cast<int>(alleleNames.size());
    for (int i = 0; i < count; ++i) {
        for (int j = i; j < count; ++j) {
            const std::string name = alleleNames[i] + "/" + alleleNames[j];
            genotypeNames.push_back(name);
            caseGenotypeCounts[name] = 0;
            controlGenotypeCounts[name] = 0;
            firstAlleleOfGenotype.push_back(i);
            secondAlleleOfGenotype.push_back(j);
        }
    }
}

void HrrMarker::addCaseCountForGenotype(const std::string& genotype) {
    ++caseGenotypeCounts[genotype];
    ++caseGenotypeTotal;
}

void HrrMarker::addControlCountForGenotype(const std::string& genotype) {
    ++controlGenotypeCounts[genotype];
    ++controlGenotypeTotal;
}

void HrrMarker::addCaseAlleleCount(const std::string& allele) {
    ++caseAlleleCounts[allele];
    ++caseAlleleTotal;
}

void HrrMarker::addControlAlleleCount(const std::string& allele) {
    ++controlAlleleCounts[allele];
    ++controlAlleleTotal;
}

static int countOf(const std::map<std::string, int>& counts, const std::string& name) {
    const auto found = counts.find(name);
    return found == counts.end() ? 0 : found->second;
}

int HrrMarker::getCaseCountForGenotype(const std::string& genotype) const {
    return countOf(caseGenotypeCounts, genotype);
}

int HrrMarker::getControlCountForGenotype(const std::string& genotype) const {
    return countOf(controlGenotypeCounts, genotype);
}

int HrrMarker::getCaseAlleleCount(const std::string& allele) const {
    return countOf(caseAlleleCounts, allele);
}

int HrrMarker::getControlAlleleCount(const std::string& allele) const {
    return countOf(controlAlleleCounts, allele);
}

std::string HrrMarker::getGenotypeName(const std::string& first, const std::string& second) const {
    const auto position = [this](const std::string& allele) {
        return std::find(alleleNames.begin(), alleleNames.end(), allele) - alleleNames.begin();
    };
    return position(first) <= position(second) ? first + "/" + second : second + "/" + first;
}

// ---------------------------------------------------------------------------
// HrrMarker: statistics of the observed counts

// sum over the names of c ln(c / total), for the counts that are not 0.
static double sumOfLogShares(const std::vector<std::string>& names,
                             const std::map<std::string, int>& counts, int total) {
    double sum = 0.0;
    if (total == 0) {
        return sum;
    }
    for (const std::string& name : names) {
        const int count = countOf(counts, name);
        if (count != 0) {
            sum += count * std::log(static_cast<double>(count) / total);
        }
    }
    return sum;
}

double HrrMarker::getH0(const std::string& type, const std::map<std::string, int>& cases,
                        const std::map<std::string, int>& controls) const {
    if (type == "genotype") {
        return sumOfLogShares(genotypeNames, cases, caseGenotypeTotal) +
               sumOfLogShares(genotypeNames, controls, controlGenotypeTotal);
    }
    if (type == "allele") {
        return sumOfLogShares(alleleNames, cases, caseAlleleTotal) +
               sumOfLogShares(alleleNames, controls, controlAlleleTotal);
    }
    return 0.0;
}

double HrrMarker::getH1(const std::string& type, const std::map<std::string, int>& cases,
                        const std::map<std::string, int>& controls) const {
    const bool genotypes = type == "genotype";
    if (!genotypes && type != "allele") {
        return 0.0;
    }
    const std::vector<std::string>& names = genotypes ? genotypeNames : alleleNames;
    const int total =
        genotypes ? caseGenotypeTotal + controlGenotypeTotal : caseAlleleTotal + controlAlleleTotal;
    std::map<std::string, int> pooled;
    for (const std::string& name : names) {
        pooled[name] = countOf(cases, name) + countOf(controls, name);
    }
    return sumOfLogShares(names, pooled, total);
}

double HrrMarker::getLRT(const std::string& type, const std::map<std::string, int>& cases,
                         const std::map<std::string, int>& controls) const {
    if (type != "genotype" && type != "allele") {
        return -1.0;
    }
    return 2.0 * (getH0(type, cases, controls) - getH1(type, cases, controls));
}

double HrrMarker::getLRT(const std::string& type) const {
    if (type == "allele") {
        return alleleLRT;
    }
    if (type == "genotype") {
        return genotypeLRT;
    }
    return -1.0;
}

void HrrMarker::countLRT(const std::string& type, const std::map<std::string, int>& cases,
                         const std::map<std::string, int>& controls) {
    if (type == "allele") {
        alleleLRT = getLRT(type, cases, controls);
    } else if (type == "genotype") {
        genotypeLRT = getLRT(type, cases, controls);
    }
}

std::vector<double> HrrMarker::getProbabilityDistribution() const {
    const int total = caseGenotypeTotal + controlGenotypeTotal;
    std::vector<double> cumulative;
    double sum = 0.0;
    for (const std::string& name : genotypeNames) {
        // No genotype counted: nothing to draw, every share is 0.
        if (total != 0) {
            sum += static_cast<double>(getCaseCountForGenotype(name) +
                                       getControlCountForGenotype(name)) /
                   total;
        }
        cumulative.push_back(sum);
    }
    return cumulative;
}

// ---------------------------------------------------------------------------
// HrrMarker: the randomisation test
//
// The replicates are counted in arrays indexed by genotype and allele
// position, drawn through a precomputed table, and their statistics are sums
// of n ln n looked up in a table: a replicate allocates nothing and looks
// nothing up by name.

namespace {

// Draws genotype positions with their pooled shares: a uniform u picks the
// first position whose cumulative share reaches u, none when u lies beyond
// the last share. u = (v + 0.5) / 2^32 for a random 32-bit word v, so it is
// never exactly 0 (which would pick the first genotype whatever its share)
// nor 1 (which rounding in the shares could leave undrawn). The comparison
// is made on v against the largest word of each position, and a guide table
// over the top bits of v starts the search at the answer or just before it.
class CumulativeDraw {
  public:
    explicit CumulativeDraw(const std::vector<double>& cumulative) {
        for (const double share : cumulative) {
            // The largest v with (v + 0.5) / 2^32 <= share; -1 when there is none.
            const double word = std::floor(std::ldexp(share, 32) - 0.5);
            lastWord_.push_back(static_cast<std::int64_t>(std::clamp(word, -1.0, 4294967295.0)));
        }
        std::size_t position = 0;
        for (std::size_t bucket = 0; bucket < guide_.size(); ++bucket) {
            const std::int64_t firstWord = static_cast<std::int64_t>(bucket) << guideShift;
            while (position < lastWord_.size() && lastWord_[position] < firstWord) {
                ++position;
            }
            guide_[bucket] = position;
        }
    }

    // The position drawn by the word; the number of positions for none.
    std::size_t operator()(std::uint32_t word) const {
        std::size_t position = guide_[word >> guideShift];
        while (position < lastWord_.size() && lastWord_[position] < word) {
            ++position;
        }
        return position;
    }

  private:
    static constexpr int guideShift = 22;
    std::vector<std::int64_t> lastWord_;
    std::vector<std::size_t> guide_ = std::vector<std::size_t>(std::size_t{1} << (32 - guideShift));
};

// 32-bit words from the process's generator, two from each 64-bit output.
class RandomWords {
  public:
    explicit RandomWords(std::mt19937_64& generator) : generator_(generator) {}

    std::uint32_t next() {
        if (spare_) {
            spare_ = false;
            return static_cast<std::uint32_t>(buffer_ >> 32);
        }
        buffer_ = generator_();
        spare_ = true;
        return static_cast<std::uint32_t>(buffer_);
    }

  private:
    std::mt19937_64& generator_;
    std::uint64_t buffer_ = 0;
    bool spare_ = false;
};

// 2 (H0 - H1) of a 2 x K table of counts against the record's totals, from
// sum_k c_k ln(c_k / C) = sum_k c_k ln c_k - (sum_k c_k) ln C, with n ln n
// taken from a table of every count the table can hold.
class LikelihoodRatio {
  public:
    LikelihoodRatio(std::size_t categories, int caseTotal, int controlTotal, int largestCount)
        : categories_(categories),
          nLogN_(static_cast<std::size_t>(std::max(largestCount, 0)) + 1),
          logCaseTotal_(logOf(caseTotal)),
          logControlTotal_(logOf(controlTotal)),
          logTotal_(logOf(caseTotal + controlTotal)) {
        for (std::size_t n = 1; n < nLogN_.size(); ++n) {
            nLogN_[n] = static_cast<double>(n) * std::log(static_cast<double>(n));
        }
    }

    double operator()(const std::vector<int>& cases, const std::vector<int>& controls) const {
        double separate = 0.0;
        double pooled = 0.0;
        long caseSum = 0;
        long controlSum = 0;
        for (std::size_t k = 0; k < categories_; ++k) {
            separate += nLogN(cases[k]) + nLogN(controls[k]);
            pooled += nLogN(cases[k] + controls[k]);
            caseSum += cases[k];
            controlSum += controls[k];
        }
        separate -= scaled(caseSum, logCaseTotal_) + scaled(controlSum, logControlTotal_);
        pooled -= scaled(caseSum + controlSum, logTotal_);
        return 2.0 * (separate - pooled);
    }

  private:
    // Counts set in the public maps by hand may lie beyond the table.
    double nLogN(int n) const {
        return static_cast<std::size_t>(n) < nLogN_.size() ? nLogN_[n]
                                                           : n * std::log(static_cast<double>(n));
    }
    static double logOf(int total) {
        return total > 0 ? std::log(static_cast<double>(total)) : 0.0;
    }
    static double scaled(long sum, double logTotal) {
        return sum == 0 ? 0.0 : static_cast<double>(sum) * logTotal;
    }

    std::size_t categories_;
    std::vector<double> nLogN_;
    double logCaseTotal_;
    double logControlTotal_;
    double logTotal_;
};

std::vector<int> countsByName(const std::vector<std::string>& names,
                              const std::map<std::string, int>& counts) {
    std::vector<int> result;
    for (const std::string& name : names) {
        const auto found = counts.find(name);
        result.push_back(found == counts.end() ? 0 : found->second);
    }
    return result;
}

}  // namespace

void HrrMarker::Randomize() {
    countLRT("allele", caseAlleleCounts, controlAlleleCounts);
    countLRT("genotype", caseGenotypeCounts, controlGenotypeCounts);

    const std::size_t genotypes = genotypeNames.size();
    const std::size_t alleles = alleleNames.size();
    const int genotypeTotal = caseGenotypeTotal + controlGenotypeTotal;
    const int largestCount = std::max(2 * genotypeTotal, caseAlleleTotal + controlAlleleTotal);
    const LikelihoodRatio genotypeStatistic(genotypes, caseGenotypeTotal, controlGenotypeTotal,
                                            largestCount);
    const LikelihoodRatio alleleStatistic(alleles, caseAlleleTotal, controlAlleleTotal,
                                          largestCount);
    // The observed statistics are recomputed the same way, so that a
    // replicate with the observed table ties exactly. Tables that differ but
    // have the same statistic in exact arithmetic (cases and controls
    // swapped, genotypes relabelled) differ by rounding in the sums of
    // n ln n, which grows with N ln N: within this margin they tie too.
    const double tieMargin =
        1e-12 * (1.0 + largestCount * std::log(1.0 + static_cast<double>(largestCount)));
    const double observedGenotype =
        genotypeStatistic(countsByName(genotypeNames, caseGenotypeCounts),
                          countsByName(genotypeNames, controlGenotypeCounts)) -
        tieMargin;
    const double observedAllele = alleleStatistic(countsByName(alleleNames, caseAlleleCounts),
                                                  countsByName(alleleNames, controlAlleleCounts)) -
                                  tieMargin;

    const CumulativeDraw draw(getProbabilityDistribution());
    RandomWords words(randomGenerator());
    // One slot beyond the genotypes takes the draws that fall past the last share.
    std::vector<int> caseGenotypes(genotypes + 1);
    std::vector<int> controlGenotypes(genotypes + 1);
    std::vector<int> caseAlleles(alleles);
    std::vector<int> controlAlleles(alleles);
    const auto allelesOf = [this, genotypes](const std::vector<int>& genotypeCounts,
                                             std::vector<int>& alleleCounts) {
        std::fill(alleleCounts.begin(), alleleCounts.end(), 0);
        for (std::size_t g = 0; g < genotypes; ++g) {
            alleleCounts[firstAlleleOfGenotype[g]] += genotypeCounts[g];
            alleleCounts[secondAlleleOfGenotype[g]] += genotypeCounts[g];
        }
    };

    int alleleHits = 0;
    int genotypeHits = 0;
    for (int replicate = 0; replicate < replicates; ++replicate) {
        // The line shows tenths; reporting each replicate would only rewrite it.
        if (!quiet && (replicate == 0 || (replicate + 1) % (replicates / 10) == 0)) {
            progressReportX("Completed", replicate + 1, replicates);
        }
        std::fill(caseGenotypes.begin(), caseGenotypes.end(), 0);
        std::fill(controlGenotypes.begin(), controlGenotypes.end(), 0);
        for (int i = 0; i < caseGenotypeTotal; ++i) {
            ++caseGenotypes[draw(words.next())];
        }
        for (int i = 0; i < controlGenotypeTotal; ++i) {
            ++controlGenotypes[draw(words.next())];
        }
        allelesOf(caseGenotypes, caseAlleles);
        allelesOf(controlGenotypes, controlAlleles);
        alleleHits += alleleStatistic(caseAlleles, controlAlleles) >= observedAllele ? 1 : 0;
        genotypeHits +=
            genotypeStatistic(caseGenotypes, controlGenotypes) >= observedGenotype ? 1 : 0;
    }
    alleleRandomizedPValue = alleleHits / static_cast<double>(replicates);
    genotypeRandomizedPValue = genotypeHits / static_cast<double>(replicates);
    alleleTheoreticalPValue = chipr(alleleLRT, static_cast<int>(alleles) - 1);
    genotypeTheoreticalPValue = chipr(genotypeLRT, static_cast<int>(genotypes) - 1);
}

// ---------------------------------------------------------------------------
// HrrPhenotype

void HrrPhenotype::addHrrMarker(const std::string& index, std::unique_ptr<HrrMarker> record) {
    if (record == nullptr || markers.count(index) != 0) {
        return;
    }
    markerNames.push_back(index);
    markers.emplace(index, std::move(record));
}

HrrMarker* HrrPhenotype::getHrrMarker(const std::string& index) const {
    const auto found = markers.find(index);
    return found == markers.end() ? nullptr : found->second.get();
}
