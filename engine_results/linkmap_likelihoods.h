// Every evaluation point of one run of the engine's LINKMAP build, read from
// its "outfile.dat".
#pragma once

#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "fastlink_likelihoods.h"

// 2 ln 10: a difference of -2 ln likelihoods divided by it is a LOD score.
constexpr double twoLn10 = 4.605170185988092;

class LinkmapLikelihoods {
  public:
    LinkmapLikelihoods() = default;
    LinkmapLikelihoods(const LinkmapLikelihoods&) = delete;
    LinkmapLikelihoods& operator=(const LinkmapLikelihoods&) = delete;

    // Appends one evaluation per block of "outfile.dat" in the working
    // directory. False, with an "Error: " line, when the file cannot be
    // opened or a block is cut short or malformed; the blocks read before
    // it stay.
    bool readOutFile();
    // The run as a table on standard output: thetas, -2 ln(like), LOD.
    void printBetter() const;
    // The ln likelihood of the pedigree at the first (which 0) or the last
    // (which 1) evaluation; -99.0 when there is no such evaluation or record.
    double getNullMinus2LNLikelihoodForPedigree(const std::string& pedigreeId, int which) const;
    // The LOD of an evaluation against nullMinus2LnLike.
    double lodScoreOf(const FastlinkLikelihoods& evaluation) const {
        return (nullMinus2LnLike - evaluation.getMinus2LnLike()) / twoLn10;
    }

    // Loci of the run; each THETAS line holds numberOfLoci - 1 fractions.
    int numberOfLoci = 0;
    // Pedigree lines in each block.
    int numberOfPedigrees = 0;
    std::vector<int> locusOrder;
    // 0 = trait before the first marker of the window, window size = after the last.
    int traitPosition = 0;
    std::vector<std::string> markerNames;
    // The -2 ln likelihood that the LOD scores are measured from.
    double nullMinus2LnLike = 0.0;
    // One per block of the file, in file order.
    std::vector<std::unique_ptr<FastlinkLikelihoods>> evaluations;
    // Lines ignored at the top of the file before the first block.
    int headerLinesToSkip = 0;

  private:
    // The whole layout of the file is walked here and nowhere else.
    bool readBlocks(std::istream& input, const std::string& fileName);
};
