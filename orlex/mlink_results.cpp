// The result files of the two-point analyses: best LODs, LODs by family, the
// LOD table with its curves, and the heterogeneity grid with its charts.
#include <algorithm>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <utility>

#include "heterogeneity.h"
#include "mlink.h"
#include "orlex.h"
#include "pedigrees.h"
#include "postscript.h"
#include "utilities.h"

namespace {

// A row of the histogram charts: bars of markers in row order.
using Bars = std::vector<std::pair<std::string, double>>;

// Rows longer than this are split into pages of pageSlots slots.
constexpr size_t onePageBars = 100;
constexpr size_t pageSlots = 50;

bool openResultFile(File& file, const std::string& name) {
    if (!file.openFile(name, "write") || !file.isOpen("write")) {
        std::cout << "Error: Unable to open " << name << " for writing" << std::endl;
        return false;
    }
    return true;
}

bool finishResultFile(File& file, const std::string& name) {
    if (!file.writeOutputBufferAndClose()) {
        std::cout << "Error: Unable to write " << name << std::endl;
        return false;
    }
    return true;
}

bool writeChart(PostScript& document, const std::string& name, bool curves) {
    const bool written = curves ? document.writeCurvePagesIntoPostScriptFile(name)
                                : document.writeHistogramPagesIntoPostScriptFile(name);
    if (!written) {
        std::cout << "...failed" << std::endl;
        std::cout << "Error: Unable to write " << name << std::endl;
    }
    return written;
}

std::string rowLabel(const std::vector<std::string>& phenotypes, size_t row) {
    return "Phenotype: " + (row < phenotypes.size() ? phenotypes[row] : std::string());
}

// An id in a column of ten, kept apart from its left neighbour when it fills the column.
void writeLabel(std::ostream& text, const std::string& id) {
    text << std::setw(10) << (id.size() < 10 ? id : " " + id);
}

bool hasBlocks(const MLinkMarker* marker) {
    return marker != nullptr && !marker->likelihoodsNames.empty();
}

// The block keys of a marker in the order the files list them: from the
// second block on, then the engine's first block (theta 0.5) last.
std::vector<std::string> keysFirstBlockLast(const MLinkMarker& marker) {
    std::vector<std::string> keys = marker.getLikelihoodsNames();
    if (!keys.empty()) {
        std::rotate(keys.begin(), keys.begin() + 1, keys.end());
    }
    return keys;
}

std::string chartTitle() {
    return "Singlepoint Analysis       (" + current_time_and_date() + ")";
}

std::string chartInfoLine(const Pedigrees& store) {
    return store.mapFileName + " " + store.pedigreeFileName + " " + store.phenotypeFileName + " " +
           store.modelFileName + " " + store.linkageLocusFileName;
}

// The value axis of the histograms from the scale value: whole LODs up to
// one above it, at least 3.
void setHistogramScale(PostScriptPage& page, double scale) {
    page.yMax = std::max(std::trunc(scale) + 1.0, 3.0);
    page.yTickStep = scale > 3.0 ? 1.0 : 0.5;
}

// Adds the pages of one row. The scale value takes in each page's bars
// before the page is made, so a caller that wants one scale for the row
// takes the row in first.
void addHistogramPages(PostScript& document, const Bars& bars, const std::string& subtitle,
                       const std::string& title, const std::string& infoLine, double& scale) {
    const size_t perPage =
        bars.size() <= onePageBars ? std::max<size_t>(bars.size(), 1) : pageSlots;
    for (size_t first = 0; first < bars.size(); first += perPage) {
        std::map<std::string, double> values;
        std::vector<std::string> names;
        for (size_t slot = first; slot < first + perPage; ++slot) {
            if (slot < bars.size()) {
                values[bars[slot].first] = bars[slot].second;
                names.push_back(bars[slot].first);
                scale = std::max(scale, bars[slot].second);
            } else if (bars.size() > onePageBars) {
                // Fills the last page so its bars keep the width of the others.
                const std::string filler = "@" + IntToString(static_cast<int>(slot));
                values[filler] = 0.0;
                names.push_back(filler);
            }
        }
        auto* page = new PostScriptPage();
        page->title = title;
        page->subtitle = subtitle;
        page->infoLine = infoLine;
        page->xAxisLabel = "Markers";
        page->yAxisLabel = "Lod Score";
        page->boxGap = 2;
        page->maxTicks = 100;
        page->yMin = 0.0;
        setHistogramScale(*page, scale);
        page->numberOfBoxes = static_cast<int>(names.size());
        page->setHistogramBoxNamesAndValues(values, names);
        document.addPostScriptPage(page);
    }
}

std::string subtitleSuffix(const std::string& kind, bool heterogeneity) {
    if (kind == "basic") {
        return heterogeneity ? "\t\t\t\tLinkage Analysis under heterogeneity"
                             : "\t\t\t\tLinkage Analysis";
    }
    if (kind == "nuclear") {
        return heterogeneity ? "\t\t\t\tLinkage Analysis for nuclear pedigrees under heterogeneity"
                             : "\t\t\t\tLinkage Analysis for nuclear pedigrees";
    }
    return "";
}

std::optional<double> pedigreeLod(const MLinkMarker& marker, const std::string& key,
                                  const std::string& pedigreeId) {
    const auto block = marker.likelihoods.find(key);
    if (block == marker.likelihoods.end()) {
        return std::nullopt;
    }
    const FastlinkLikelihood* record = block->second->getLikelihood(pedigreeId);
    return record != nullptr ? std::optional<double>(record->getLodScore()) : std::nullopt;
}

bool leftOutAt(const MLinkMarker& marker, const std::string& key, const std::string& pedigreeId) {
    const auto block = marker.likelihoods.find(key);
    return block != marker.likelihoods.end() && block->second->isLeftOut(pedigreeId);
}

}  // namespace

std::string MLink::welcome() {
    return Orlex::welcome();
}

bool MLink::writeResultsFile(const std::string& baseName) {
    const std::string textName = baseName + ".out";
    const std::string chartName = baseName + ".ps";
    File file;
    if (!openResultFile(file, textName)) {
        return false;
    }
    std::cout << "The LOD Scores: " << textName << std::endl;
    if (results.empty()) {
        return false;
    }
    std::ostream& text = file.outputBuffer;
    text << welcome() << '\n' << pedigrees->getCommonHeader();
    PostScript document;
    bool chartsWritten = true;
    for (size_t p = 0; p < results.size(); ++p) {
        text << '\n' << rowLabel(selectedPhenotypes, p) << '\n';
        text << std::right << std::setw(20) << "Marker" << std::setw(13) << "LOD Score"
             << std::setw(13) << "Theta" << '\n';
        Bars bars;
        for (const MLinkMarker* marker : results[p]) {
            const FastlinkLikelihoods* best =
                marker != nullptr ? marker->getLikelihoodWithMaxLodScore() : nullptr;
            if (best == nullptr) {
                continue;
            }
            text << std::setw(20) << marker->getIndex();
            writeCell(text, best->getLodScore(), 13, 6);
            writeCell(text, best->getRecombinationFraction(), 13, 6);
            text << '\n';
            bars.emplace_back(marker->getIndex(), best->getLodScore());
        }
        // One scale for the whole row.
        double scale = 0.0;
        for (const auto& bar : bars) {
            scale = std::max(scale, bar.second);
        }
        addHistogramPages(document, bars,
                          rowLabel(selectedPhenotypes, p) + subtitleSuffix(analysisType, false),
                          chartTitle(), chartInfoLine(*pedigrees), scale);
        std::cout << "The LOD Score histograms: " << chartName << std::endl;
        chartsWritten = writeChart(document, chartName, false) && chartsWritten;
    }
    return finishResultFile(file, textName) && chartsWritten;
}

bool MLink::writeResultsByFamilyFile(const std::string& baseName) {
    const std::string textName = baseName + ".out";
    File file;
    if (!openResultFile(file, textName)) {
        return false;
    }
    std::cout << "The LOD Scores: " << textName << std::endl;
    if (results.empty()) {
        std::cout << "...failed" << std::endl;
        return false;
    }
    std::ostream& text = file.outputBuffer;
    text << welcome() << '\n' << pedigrees->getCommonHeader();
    const bool nuclear = analysisType == "nuclear";
    if (nuclear) {
        text << "Nuclear Pedigree statistics\n"
             << "========================\n"
             << "  # pedigrees          : " << pedigrees->getNuclearPedigreeCount() << '\n'
             << "  # persons            : " << pedigrees->getNuclearPersonCount() << '\n';
    }
    for (size_t p = 0; p < results.size(); ++p) {
        text << '\n' << rowLabel(selectedPhenotypes, p) << '\n';
        for (const MLinkMarker* marker : results[p]) {
            if (!hasBlocks(marker)) {
                continue;
            }
            const std::vector<std::string> keys = keysFirstBlockLast(*marker);
            // A nuclear pedigree's number alone says nothing to the user:
            // its row names the whole pedigree and the couple too.
            const std::vector<std::string> labels =
                nuclear ? std::vector<std::string>{"Nuclear", "Pedigree", "Father", "Mother"}
                        : std::vector<std::string>{"Pedigreeid"};
            const std::string labelSpace(10 * labels.size(), ' ');
            text << "Marker: " << marker->getIndex() << '\n';
            text << labelSpace << std::right << std::setw(10) << "Theta" << '\n';
            for (const std::string& label : labels) {
                text << std::setw(10) << label;
            }
            text << '\n' << labelSpace;
            for (const std::string& key : keys) {
                text << std::setw(15) << key;
            }
            text << '\n';
            const FastlinkLikelihoods& firstBlock =
                *marker->likelihoods.at(marker->likelihoodsNames.front());
            for (const std::string& id : pedigreeIdsInNumericOrder(firstBlock)) {
                if (nuclear) {
                    const Pedigrees::NuclearOrigin* origin = pedigrees->getNuclearOrigin(id);
                    for (const std::string& cell : {id, origin != nullptr ? origin->pedigree : "?",
                                                    origin != nullptr ? origin->father : "?",
                                                    origin != nullptr ? origin->mother : "?"}) {
                        writeLabel(text, cell);
                    }
                } else {
                    const std::string original = pedigrees->getOrigPedigreeID(id);
                    text << std::setw(10) << (original.empty() ? id : original);
                }
                for (const std::string& key : keys) {
                    if (leftOutAt(*marker, key, id)) {
                        text << std::setw(15) << leftOutMark;
                    } else {
                        writeCell(text, pedigreeLod(*marker, key, id), 15, 5);
                    }
                }
                text << '\n';
            }
            text << "\n\n";
        }
    }
    const bool written = finishResultFile(file, textName);
    std::cout << std::endl;
    return written;
}

void MLink::writeEveryMarkersGivenLODScore(File* file, const std::vector<MLinkMarker*>& row,
                                           const std::string& thetaText) {
    std::ostream& text = file->outputBuffer;
    for (const MLinkMarker* marker : row) {
        if (!hasBlocks(marker)) {
            continue;
        }
        const auto block = marker->likelihoods.find(thetaText);
        if (block == marker->likelihoods.end()) {
            text << std::string(20, ' ');
            continue;
        }
        const double lod = block->second->getLodScore();
        // Zero and negative LODs in exponent form.
        if (lod < 1e-06) {
            text << std::scientific;
        } else {
            text << std::fixed;
        }
        text << std::setprecision(6) << std::setw(20) << lod;
    }
    text << std::fixed << '\n';
}

bool MLink::writeAllLODScoresFile(const std::string& baseName) {
    const std::string textName = baseName + ".out";
    const std::string chartName = baseName + ".ps";
    File file;
    if (!openResultFile(file, textName)) {
        return false;
    }
    std::cout << "The LOD Scores for singlepoint curves: " << textName;
    PostScript document;
    document.showCentiMorganLabel = false;
    std::ostream& text = file.outputBuffer;
    text << welcome() << '\n' << pedigrees->getCommonHeader();
    for (size_t p = 0; p < results.size(); ++p) {
        const std::vector<MLinkMarker*>& row = results[p];
        text << rowLabel(selectedPhenotypes, p) << '\n';
        text << std::right << std::setw(20) << "Theta";
        double scale = 0.0;
        const MLinkMarker* first = nullptr;
        for (const MLinkMarker* marker : row) {
            if (!hasBlocks(marker)) {
                continue;
            }
            first = first != nullptr ? first : marker;
            text << std::setw(20) << marker->getIndex();
            scale = std::max(scale, marker->getLikelihoodWithMaxLodScore()->getLodScore());
        }
        text << '\n';
        if (first != nullptr) {
            const std::vector<std::string> keys = keysFirstBlockLast(*first);
            for (const std::string& key : keys) {
                const double theta = first->likelihoods.at(key)->getRecombinationFraction();
                text << std::fixed << std::setprecision(2) << std::setw(20)
                     << changeValueLengthToTwo(theta);
                writeEveryMarkersGivenLODScore(&file, row, key);
            }
            text << '\n';
        }
        if (!pedigrees->singlepointCurves) {
            continue;
        }
        for (const MLinkMarker* marker : row) {
            if (!hasBlocks(marker)) {
                continue;
            }
            auto* page = new PostScriptPage();
            page->xAxisLabel = "Theta";
            page->yAxisLabel = "Lod Score";
            page->title = chartTitle();
            page->subtitle = rowLabel(selectedPhenotypes, p) + "   Marker: " + marker->getIndex();
            page->infoLine = chartInfoLine(*pedigrees);
            page->xMin = 0.0;
            page->xMax = 0.5;
            page->yMin = -3.0;
            page->yMax = scale;
            for (const std::string& key : keysFirstBlockLast(*marker)) {
                const FastlinkLikelihoods& block = *marker->likelihoods.at(key);
                // The curve's floor: lower LODs would leave the chart.
                if (block.getLodScore() >= -3.0) {
                    page->curveXValues.push_back(
                        changeValueLengthToTwo(block.getRecombinationFraction()));
                    page->curveYValues.push_back(block.getLodScore());
                }
            }
            document.addPostScriptPage(page);
        }
    }
    std::cout << std::endl;
    bool chartWritten = true;
    if (pedigrees->singlepointCurves) {
        std::cout << "The LOD Score curves: " << chartName;
        chartWritten = writeChart(document, chartName, true);
        if (chartWritten) {
            std::cout << std::endl;
        }
    }
    return finishResultFile(file, textName) && chartWritten;
}

bool MLink::writeHLodFile(const std::string& baseName) {
    const std::string textName = baseName + ".out";
    File file;
    if (!openResultFile(file, textName)) {
        return false;
    }
    std::cout << (analysisType == "nuclear"
                      ? "Component nuclear pedigree LOD Scores under heterogeneity: "
                      : "The LOD Scores under heterogeneity: ")
              << textName << std::endl;
    std::ostream& text = file.outputBuffer;
    text << welcome() << '\n' << pedigrees->getCommonHeader();
    for (size_t p = 0; p < hlodPhenotypes.size() && p < hlodGrid.size() && p < results.size();
         ++p) {
        text << "Phenotype: " << hlodPhenotypes[p] << '\n';
        for (size_t m = 0; m < hlodGrid[p].size(); ++m) {
            const std::vector<std::vector<MLinkHLod>>& grid = hlodGrid[p][m];
            if (grid.empty() || m >= results[p].size()) {
                continue;
            }
            text << "\tMarker: " << results[p][m]->getIndex() << '\n';
            // The columns are the admixture proportions, the rows the thetas.
            text << std::string(10, ' ') << std::right << std::setw(10) << "Alpha" << '\n';
            text << std::setw(10) << "Theta" << '\n';
            text << std::string(10, ' ');
            for (const std::string& label : alphaLabels) {
                text << std::setw(10) << label;
            }
            text << '\n';
            for (size_t t = 0; t < thetaLabels.size(); ++t) {
                text << std::setw(10) << thetaLabels[t];
                for (int k = 0; k < admixtureProportionCount; ++k) {
                    const bool present = t < grid.size() && static_cast<size_t>(k) < grid[t].size();
                    writeCell(text, present ? std::optional<double>(grid[t][k].hlod) : std::nullopt,
                              10, 5);
                }
                text << '\n';
            }
            text << '\n';
        }
        text << '\n';
    }
    std::cout << std::endl;
    return finishResultFile(file, textName);
}

bool MLink::writeHLodPostscript(const std::string& baseName) {
    const std::string chartName = baseName + ".ps";
    PostScript document;
    // One scale for the whole document, growing with the rows.
    double scale = 0.0;
    for (size_t p = 0; p < bestHlods.size() && p < results.size(); ++p) {
        Bars bars;
        for (size_t m = 0; m < bestHlods[p].size() && m < results[p].size(); ++m) {
            if (hasBlocks(results[p][m])) {
                bars.emplace_back(results[p][m]->getIndex(), bestHlods[p][m].hlod);
            }
        }
        const std::string label = p < hlodPhenotypes.size() ? hlodPhenotypes[p] : "";
        addHistogramPages(document, bars,
                          "Phenotype: " + label + subtitleSuffix(analysisType, true), chartTitle(),
                          chartInfoLine(*pedigrees), scale);
    }
    if (analysisType == "basic") {
        std::cout << "The LOD Scores under heterogeneity histograms: ";
    } else if (analysisType == "nuclear") {
        std::cout << "Component nuclear pedigree LOD Scores under heterogeneity histograms: ";
    } else {
        std::cout << "Writing Linkage Analysis histograms into ";
    }
    std::cout << chartName << std::endl;
    return writeChart(document, chartName, false);
}
