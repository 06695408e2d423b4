#include <iomanip>
#include <iostream>
#include <sstream>

#include "file.h"
#include "linkmap.h"
#include "orlex.h"
#include "pedigrees.h"

std::string Linkmap::welcome() {
    return Orlex::welcome();
}

// Writes the whole text into the file at once; false when it cannot be
// opened or written.
static bool writeWhole(const std::string& fileName, const std::string& text) {
    File file;
    if (!file.openFile(fileName, "write")) {
        std::cout << "Error: Unable to open " << fileName << " for writing!" << std::endl;
        return false;
    }
    file.outputBuffer << text;
    file.addAllLinesFromOStringStream();
    // Closing flushes: a full disk shows only then.
    file.closeFile("write");
    const bool written = file.isOpen("write");
    if (!written) {
        std::cout << "Error: Unable to write " << fileName << "!" << std::endl;
    }
    return written;
}

bool Linkmap::writeResults(std::string fileName) {
    std::cout << "The LOD Scores: " << fileName;
    std::ostringstream text;
    text << welcome() << '\n'
         << pedigrees->getCommonHeader() << '\n'
         << "\nLinkmap results\n\n"
         << std::fixed << std::setprecision(6) << std::right;
    for (const std::string& phenotype : phenotypes) {
        text << "Phenotype: " << phenotype << '\n';
        for (const std::string& key : windowKeys.at(phenotype)) {
            text << "Markers: " << key << '\n' << std::setw(10) << "Thetas";
            for (int k = 1; k < windowSize; ++k) {
                text << std::setw(10) << "";
            }
            text << std::setw(13) << "-2ln(like)" << std::setw(13) << "LOD Score" << '\n';
            for (const LinkmapLikelihoods* position : results.at(phenotype).at(key)) {
                for (const auto& evaluation : position->evaluations) {
                    for (const double theta : evaluation->thetas) {
                        text << std::setw(10) << theta;
                    }
                    text << std::setw(13) << evaluation->getMinus2LnLike() << std::setw(13)
                         << position->lodScoreOf(*evaluation) << '\n';
                }
            }
        }
    }
    const bool written = writeWhole(fileName, text.str());
    std::cout << std::endl;
    return written;
}
