#include "linkmap_likelihoods.h"

#include <algorithm>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <string_view>

#include "result_text.h"

#include "utilities.h"

static const char* const outFileName = "outfile.dat";

bool LinkmapLikelihoods::readOutFile() {
    std::ifstream input(outFileName);
    if (!input) {
        std::cout << "Error: Unable to open OUTFILE " << outFileName << " for reading."
                  << std::endl;
        return false;
    }
    return readBlocks(input, outFileName);
}

bool LinkmapLikelihoods::readBlocks(std::istream& input, const std::string& fileName) {
    ResultText text(input);
    ResultTextLine current;
    // Blank lines carry nothing in the engine's layout and are passed over.
    const auto nextLine = [&]() {
        while (text.nextLine(current)) {
            if (current.text.find_first_not_of(" \t\r") != std::string_view::npos) {
                return true;
            }
        }
        return false;
    };
    const auto fail = [&](const std::string& problem) {
        std::cout << "Error: " << fileName << ", line " << current.number << ": " << problem
                  << std::endl;
        return false;
    };
    const auto skipLines = [&](int count) {
        for (int i = 0; i < count; ++i) {
            if (!nextLine()) {
                return false;
            }
        }
        return true;
    };
    const std::string cutShort = "the file ends inside an evaluation block";

    for (int i = 0; i < headerLinesToSkip; ++i) {
        if (!nextLine()) {
            return true;
        }
    }
    while (nextLine()) {
        auto point = std::make_unique<FastlinkLikelihoods>();
        point->reserve(static_cast<std::size_t>(std::max(numberOfPedigrees, 0)));
        if (!skipLines(2)) {
            return fail(cutShort);
        }
        ResultWords thetaLine(current.text);
        int headingLines = 3;
        if (thetaLine.word() == "THETAS") {
            for (int k = 1; k < numberOfLoci; ++k) {
                double theta = 0.0;
                if (!thetaLine.number(theta)) {
                    return fail("THETAS value " + std::to_string(k) + " of " +
                                std::to_string(numberOfLoci - 1) + " is missing or not a number");
                }
                point->thetas.push_back(theta);
            }
        } else {
            // The rest of this line is the first of the column headings.
            headingLines = 2;
        }
        if (!skipLines(headingLines)) {
            return fail(cutShort);
        }
        for (int p = 1; p <= numberOfPedigrees; ++p) {
            if (!nextLine()) {
                return fail(cutShort + " (pedigree line " + std::to_string(p) + " of " +
                            std::to_string(numberOfPedigrees) + ")");
            }
            ResultWords pedigreeLine(current.text);
            const std::string_view id = pedigreeLine.word();
            double lnLike = 0.0;
            double log10Like = 0.0;
            if (id.empty() || !pedigreeLine.number(lnLike) || !pedigreeLine.number(log10Like)) {
                return fail("pedigree line " + std::to_string(p) +
                            " needs an id, its ln likelihood and its log10 likelihood");
            }
            point->addLikelihood(id, lnLike, log10Like, -99.0);
        }
        if (!skipLines(1) || !nextLine()) {
            return fail(cutShort + " (before its TOTALS line)");
        }
        ResultWords totalsLine(current.text);
        double lnTotal = 0.0;
        double log10Total = 0.0;
        if (totalsLine.word().empty() || !totalsLine.number(lnTotal) ||
            !totalsLine.number(log10Total)) {
            return fail("the TOTALS line needs the total ln and log10 likelihoods");
        }
        if (!nextLine()) {
            return fail(cutShort + " (before its -2 LN(LIKE) line)");
        }
        ResultWords minus2Line(current.text);
        double printed = 0.0;
        if (minus2Line.word().empty() || minus2Line.word().empty() || minus2Line.word().empty() ||
            !minus2Line.number(printed)) {
            return fail("the -2 LN(LIKE) line needs its value");
        }
        point->setLnLikeTotal(lnTotal);
        point->setLog10Total(log10Total);
        // The engine prints -2 ln(like) with six significant digits only, which
        // can move a large study's LOD by hundredths; the TOTALS line has six
        // decimals.
        point->setMinus2LnLike(-2.0 * lnTotal);
        evaluations.push_back(std::move(point));
    }
    return true;
}

void LinkmapLikelihoods::printBetter() const {
    if (evaluations.empty()) {
        std::cout << "No results! :-O" << std::endl;
        return;
    }
    const std::ios_base::fmtflags flags = std::cout.flags();
    std::cout << "Marker order: ";
    for (const std::string& name : markerNames) {
        std::cout << name << ' ';
    }
    std::cout << "\tLocus order: ";
    for (const int locus : locusOrder) {
        std::cout << locus << ' ';
    }
    std::cout << '\n' << std::right << std::setw(10) << "Thetas";
    for (int k = 0; k < numberOfLoci - 2; ++k) {
        std::cout << std::setw(10) << "";
    }
    std::cout << std::setw(13) << "-2ln(like)" << std::setw(13) << "LOD Score" << '\n';
    const int decimals = static_cast<int>(std::cout.precision());
    for (const auto& evaluation : evaluations) {
        for (const double theta : evaluation->thetas) {
            writeCell(std::cout, theta, 10, decimals);
        }
        writeCell(std::cout, evaluation->getMinus2LnLike(), 13, decimals);
        writeCell(std::cout, lodScoreOf(*evaluation), 13, decimals);
        std::cout << '\n';
    }
    std::cout.flush();
    // Later output keeps the notation it had.
    std::cout.flags(flags);
}

double LinkmapLikelihoods::getNullMinus2LNLikelihoodForPedigree(const std::string& pedigreeId,
                                                                int which) const {
    if (evaluations.empty() || (which != 0 && which != 1)) {
        return -99.0;
    }
    const FastlinkLikelihoods& evaluation = which == 0 ? *evaluations.front() : *evaluations.back();
    const FastlinkLikelihood* record = evaluation.getLikelihood(pedigreeId);
    return record == nullptr ? -99.0 : record->getLnLike();
}
