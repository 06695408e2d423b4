#include <algorithm>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <optional>
#include <sstream>

#include "heterogeneity.h"
#include "linkmap.h"
#include "marker_map.h"
#include "orlex.h"
#include "pedigrees.h"
#include "postscript.h"
#include "utilities.h"

static constexpr double ln10 = 2.302585092994046;

std::string Linkmap::welcome() {
    return Orlex::welcome();
}

// The evaluation that a pedigree's per-family LOD at a position is measured
// from: the window's first (unlinked) evaluation, or for the trait-last
// position its own last one (unlinked as well).
static const FastlinkLikelihoods& familyReference(const std::vector<LinkmapLikelihoods*>& window,
                                                  const LinkmapLikelihoods& position) {
    const bool traitLast = position.traitPosition == static_cast<int>(position.markerNames.size());
    return traitLast ? *position.evaluations.back() : *window.front()->evaluations.front();
}

// The pedigree's LOD at the evaluation; none when either evaluation holds no
// record of it, or when it is left out of the evaluation.
static std::optional<double> familyLod(const std::string& id, const FastlinkLikelihoods& evaluation,
                                       const FastlinkLikelihoods& reference) {
    const FastlinkLikelihood* record = evaluation.getLikelihood(id);
    const FastlinkLikelihood* base = reference.getLikelihood(id);
    if (record == nullptr || base == nullptr || evaluation.isLeftOut(id)) {
        return std::nullopt;
    }
    return (record->getLnLike() - base->getLnLike()) / ln10;
}

void Linkmap::countHLods() {
    hlods.clear();
    alphaLabels.clear();
    for (int k = 0; k < admixtureProportionCount; ++k) {
        alphaLabels.push_back(admixtureProportionLabel(k));
    }
    for (const std::string& phenotype : phenotypes) {
        auto& phenotypeRows = hlods.emplace_back();
        for (const std::string& key : windowKeys.at(phenotype)) {
            auto& windowRows = phenotypeRows.emplace_back();
            const std::vector<LinkmapLikelihoods*>& window = results.at(phenotype).at(key);
            for (const LinkmapLikelihoods* position : window) {
                const FastlinkLikelihoods& reference = familyReference(window, *position);
                int index = 0;
                for (const auto& evaluation : position->evaluations) {
                    std::vector<std::optional<double>> lods;
                    for (const std::string& id : pedigreeIdsInNumericOrder(*evaluation)) {
                        lods.push_back(familyLod(id, *evaluation, reference));
                    }
                    auto& row = windowRows.emplace_back();
                    for (int k = 0; k < admixtureProportionCount; ++k) {
                        const double alpha = admixtureProportion(k);
                        row.push_back({++index, alpha, heterogeneityLod(lods, alpha)});
                    }
                }
            }
        }
    }
}

// Writes the whole text into the file at once and ends the console line
// that names it; false, with an "Error: " line, when it cannot be opened or
// written.
static bool writeWhole(const std::string& fileName, const std::string& text) {
    std::cout << std::endl;
    return writeTextFile(fileName, text);
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
                        writeCell(text, theta, 10, 6);
                    }
                    writeCell(text, evaluation->getMinus2LnLike(), 13, 6);
                    writeCell(text, position->lodScoreOf(*evaluation), 13, 6);
                    text << '\n';
                }
            }
        }
    }
    return writeWhole(fileName, text.str());
}

PostScriptPage* multipointCurvePage(const std::vector<LinkmapLikelihoods*>& window, bool haldane) {
    auto* page = new PostScriptPage();
    std::vector<std::string> labels;
    std::map<std::string, double> marks;
    double offset = 0.0;
    for (const LinkmapLikelihoods* position : window) {
        const int trait = position->traitPosition;
        if (trait < 1 || trait >= static_cast<int>(position->markerNames.size())) {
            continue;
        }
        double x = offset;
        for (const auto& evaluation : position->evaluations) {
            const double theta = evaluation->thetas.at(static_cast<size_t>(trait - 1));
            x = offset + (haldane ? RecombinationFractionToHaldaneCentiMorgan(theta)
                                  : RecombinationFractionToKosambiCentiMorgan(theta));
            page->curveXValues.push_back(x);
            page->curveYValues.push_back(position->lodScoreOf(*evaluation));
            // The chart draws the marks only when every name has one position.
            const std::string label = doubleToString(x);
            if (marks.emplace(label, x).second) {
                labels.push_back(label);
            }
        }
        offset = x;
    }
    page->setMarkerNamesAndPositions(labels, marks);

    const auto& ys = page->curveYValues;
    const double highest = ys.empty() ? 0.0 : *std::max_element(ys.begin(), ys.end());
    const double lowest = ys.empty() ? 0.0 : *std::min_element(ys.begin(), ys.end());
    page->yMax = highest < 3.0 ? 3.0 : std::trunc(highest) + 1;
    page->yMin = lowest > 0.0 ? -2.0 : std::trunc(lowest) - 1;
    if (page->curveXValues.empty()) {
        page->xTickStep = 0.1;
        page->xMax = 1.0;
    } else {
        const double last = page->curveXValues.back();
        page->xTickStep = last > 10.0 ? 1.0 : last > 2.0 ? 0.5 : 0.1;
        page->xMax = std::max(last, 1e-9);
    }
    return page;
}

bool Linkmap::writeResultsPostScript(std::string baseName) {
    const std::string fileName = baseName + ".ps";
    std::cout << "The LOD Score Curves: " << fileName;
    const std::string date = current_time_and_date();
    const std::string infoLine = pedigrees->mapFileName + " " + pedigrees->pedigreeFileName + " " +
                                 pedigrees->phenotypeFileName + " " + pedigrees->modelFileName +
                                 " " + pedigrees->linkageLocusFileName;
    const bool haldane = pedigrees->getMarkerMap()->isHaldane();
    PostScript document;
    document.showCentiMorganLabel = false;
    for (const std::string& phenotype : phenotypes) {
        for (const std::string& key : windowKeys.at(phenotype)) {
            PostScriptPage* page = multipointCurvePage(results.at(phenotype).at(key), haldane);
            page->title = "Multipoint Analysis       (" + date + ")";
            page->subtitle = "Phenotype: " + phenotype + "   Marker order: " + key;
            page->infoLine = infoLine;
            page->xAxisLabel = "cM";
            page->yAxisLabel = "Lod Score";
            page->xMin = 0.0;
            page->yTickStep = 1.0;
            document.addPostScriptPage(page);
        }
    }
    const bool written = document.writeCurvePagesIntoPostScriptFileCorrectly(fileName);
    std::cout << std::endl;
    if (!written) {
        std::cout << "Error: Unable to write " << fileName << "!" << std::endl;
    }
    return written;
}

bool Linkmap::writeHLodResults(std::string baseName) {
    const std::string fileName = baseName + ".out";
    std::cout << "The LOD Scores under heterogeneity: " << fileName;
    std::ostringstream text;
    text << welcome() << '\n' << pedigrees->getCommonHeader() << std::right;
    for (size_t p = 0; p < phenotypes.size(); ++p) {
        text << "Phenotype: " << phenotypes[p] << '\n';
        const std::vector<std::string>& keys = windowKeys.at(phenotypes[p]);
        for (size_t w = 0; w < keys.size(); ++w) {
            const auto& rows = hlods.at(p).at(w);
            text << "\tMarkers: " << keys[w] << '\n'
                 << std::string(10, ' ') << std::setw(10) << "Index" << '\n'
                 << std::setw(10) << "Alpha" << '\n'
                 << std::string(10, ' ');
            for (size_t row = 1; row <= rows.size(); ++row) {
                text << std::setw(10) << row;
            }
            text << '\n' << std::fixed << std::setprecision(5);
            for (size_t k = 0; k < alphaLabels.size(); ++k) {
                text << std::setw(10) << alphaLabels[k];
                for (const auto& row : rows) {
                    writeCell(text, row.at(k).hlod, 10, 5);
                }
                text << '\n';
            }
        }
    }
    return writeWhole(fileName, text.str());
}

bool Linkmap::writeHLodResultsByFamily(std::string baseName) {
    const std::string fileName = baseName + ".out";
    std::cout << "The LOD Scores: " << fileName;
    std::ostringstream text;
    text << welcome() << '\n'
         << pedigrees->getCommonHeader() << std::right << std::fixed << std::setprecision(5);
    for (const std::string& phenotype : phenotypes) {
        text << "Phenotype: " << phenotype << '\n';
        for (const std::string& key : windowKeys.at(phenotype)) {
            const std::vector<LinkmapLikelihoods*>& window = results.at(phenotype).at(key);
            size_t rows = 0;
            for (const LinkmapLikelihoods* position : window) {
                rows += position->evaluations.size();
            }
            text << "\tMarkers: " << key << '\n'
                 << std::string(10, ' ') << std::setw(10) << "Index" << '\n'
                 << std::setw(10) << "Pedigreeid" << '\n'
                 << std::string(10, ' ');
            for (size_t row = 1; row <= rows; ++row) {
                text << std::setw(15) << row;
            }
            text << '\n';
            for (const std::string& id :
                 pedigreeIdsInNumericOrder(*window.front()->evaluations.front())) {
                text << std::setw(10) << id;
                for (const LinkmapLikelihoods* position : window) {
                    const FastlinkLikelihoods& reference = familyReference(window, *position);
                    for (const auto& evaluation : position->evaluations) {
                        if (evaluation->isLeftOut(id)) {
                            text << std::setw(15) << leftOutMark;
                        } else {
                            writeCell(text, familyLod(id, *evaluation, reference), 15, 5);
                        }
                    }
                }
                text << '\n';
            }
            text << '\n';
        }
    }
    return writeWhole(fileName, text.str());
}
