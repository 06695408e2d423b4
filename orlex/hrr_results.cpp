// The result files of the haplotype-relative-risk analysis: the text report
// of the count tables and statistics, and histograms of -log10(p-value) per
// marker.
#include <algorithm>
#include <array>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <limits>
#include <map>
#include <sstream>

#include "file.h"
#include "hrr.h"
#include "marker_map.h"
#include "orlex.h"
#include "pedigrees.h"
#include "postscript.h"
#include "utilities.h"

std::string Hrr::welcome() {
    return MLink::welcome();
}

static void writeCountRow(std::ostream& out, const std::string& name, int cases, int controls) {
    out << std::setw(13) << name << std::setw(13) << cases << std::setw(13) << controls << "\n";
}

static void writeMarkerSection(std::ostream& out, const std::string& markerName,
                               const HrrMarker& record) {
    out << "Marker : " << markerName << "\n\n";
    out << "Genotype Count\n";
    out << std::setw(13) << "Genotype" << std::setw(13) << "Case" << std::setw(13) << "Control"
        << "\n";
    for (const std::string& genotype : record.genotypeNames) {
        writeCountRow(out, genotype, record.getCaseCountForGenotype(genotype),
                      record.getControlCountForGenotype(genotype));
    }
    out << "\nAllele Count\n";
    out << std::setw(13) << "Allele" << std::setw(13) << "Case" << std::setw(13) << "Control"
        << "\n";
    for (const std::string& allele : record.alleleNames) {
        const int cases = record.getCaseAlleleCount(allele);
        const int controls = record.getControlAlleleCount(allele);
        if (cases != 0 || controls != 0) {
            writeCountRow(out, allele, cases, controls);
        }
    }
    out << "\n"
        << std::fixed << std::setprecision(6) << "Genotype-Based LRT  " << std::setw(13) << ": "
        << record.getLRT("genotype") << "\n"
        << "Allele-Based LRT    " << std::setw(13) << ": " << record.getLRT("allele") << "\n\n\n";
}

// ---------------------------------------------------------------------------
// Charts

namespace {

// The four p-values of a marker, in the order of the chart pages.
struct PValueKind {
    const char* label;
    double HrrMarker::*pValue;
    bool randomized;
};

const std::array<PValueKind, 4> pValueKinds = {{
    {"Allele rand", &HrrMarker::alleleRandomizedPValue, true},
    {"Allele theo", &HrrMarker::alleleTheoreticalPValue, false},
    {"Genotype rand", &HrrMarker::genotypeRandomizedPValue, true},
    {"Genotype theo", &HrrMarker::genotypeTheoreticalPValue, false},
}};

// The bar of a p-value. A p-value of 0 lies below the smallest value the
// test reports above 0, and is drawn there rather than as the empty bar of
// p = 1: one over the replicates for the randomised tests; for the
// chi-square tail at one degree of freedom its last value before the normal
// tail's cut-off (z = 12), otherwise the smallest positive double.
double barHeight(double pValue, bool randomized, int degreesOfFreedom) {
    if (pValue > 0.0) {
        // Not -0 for p = 1, which would be labelled "-0".
        return std::max(0.0, -std::log10(pValue));
    }
    if (randomized) {
        return std::log10(static_cast<double>(HrrMarker::replicates));
    }
    const double resolution =
        degreesOfFreedom == 1 ? chipr(144.0, 1) : std::numeric_limits<double>::denorm_min();
    return -std::log10(resolution);
}

// The markers of one phenotype and the bar heights of each kind.
struct PhenotypeBars {
    std::vector<std::string> names;
    std::array<std::map<std::string, double>, 4> heights;
    std::array<double, 4> largest{};
};

PhenotypeBars barsOf(const HrrPhenotype& results, const MarkerMap& map) {
    PhenotypeBars bars;
    for (const std::string& index : results.getHrrMarkerNames()) {
        const HrrMarker& record = *results.getHrrMarker(index);
        const std::string name = map.getMarkerName(index);
        bars.names.push_back(name);
        for (std::size_t kind = 0; kind < pValueKinds.size(); ++kind) {
            const bool alleleBased = kind < 2;
            const int degreesOfFreedom =
                static_cast<int>(alleleBased ? record.alleleNames.size()
                                             : record.genotypeNames.size()) -
                1;
            const double height = barHeight(record.*pValueKinds[kind].pValue,
                                            pValueKinds[kind].randomized, degreesOfFreedom);
            bars.heights[kind][name] = height;
            bars.largest[kind] = std::max(bars.largest[kind], height);
        }
    }
    return bars;
}

}  // namespace

// Up to 100 markers on one page of a kind; more go on pages of 50, the last
// padded with empty slots.
void Hrr::addChartPages(PostScript& document, const std::string& phenotype,
                        const std::vector<std::string>& names,
                        const std::map<std::string, double>& heights, const std::string& label,
                        double largest) const {
    const std::size_t count = names.size();
    const std::size_t pageSize = count <= 100 ? count : 50;
    const std::size_t pageCount = count <= 100 ? 1 : (count + pageSize - 1) / pageSize;
    const std::string infoLine = pedigrees->mapFileName + " " + pedigrees->pedigreeFileName + " " +
                                 pedigrees->phenotypeFileName + " " + pedigrees->modelFileName +
                                 " " + pedigrees->linkageLocusFileName;
    for (std::size_t block = 0; block < pageCount; ++block) {
        std::vector<std::string> pageNames;
        for (std::size_t i = block * pageSize; i < (block + 1) * pageSize; ++i) {
            pageNames.push_back(i < count ? names[i] : "@" + std::to_string(i));
        }
        auto* page = new PostScriptPage();
        page->title = "Hrr Analysis       (" + current_time_and_date() + ")";
        page->subtitle = "Phenotype: " + phenotype;
        page->infoLine = infoLine;
        page->xAxisLabel = "Markers";
        page->yAxisLabel = "-log10(p-value)    (" + label + ")";
        page->boxGap = 2;
        page->maxTicks = 100;
        page->yTickStep = largest <= 1.0 ? 0.1 : largest <= 3.0 ? 0.5 : 1.0;
        page->yMax = largest < 3.0 ? 3.0 : std::floor(largest) + 1.0;
        page->yMin = 0.0;
        page->numberOfBoxes = static_cast<int>(pageNames.size());
        page->setHistogramBoxNamesAndValues(heights, pageNames);
        document.addPostScriptPage(page);
    }
}

// Writes the gathered text into the file; false after an "Error: " line
// when the file cannot be opened or written.
static bool writeText(File& file, const std::string& name) {
    if (!file.openFile(name, "write")) {
        std::cout << std::endl << "Error: Unable to open " << name << " for writing";
        return false;
    }
    if (!file.writeOutputBufferAndClose()) {
        std::cout << std::endl << "Error: Unable to write " << name;
        return false;
    }
    return true;
}

bool Hrr::writeGenotypeAndAlleleCounts(const std::string& baseName) {
    const std::string textName = baseName + ".out";
    std::cout << "The Hrr Counts: " << baseName << std::flush;
    File file;
    std::ostream& out = file.outputBuffer;
    out << std::right << welcome() << "\n" << pedigrees->getCommonHeader();
    out << "HRR Pedigree statistics\n" << std::string(24, '=') << "\n";
    out << "  # pedigrees          : " << pedigrees->getHrrPedigreeCount() << "\n"
        << "  # persons            : " << pedigrees->getHrrPersonCount() << "\n\n";
    const MarkerMap* map = pedigrees->getMarkerMap();
    PostScript document;
    for (const std::string& phenotype : phenotypeNames) {
        out << "Phenotype : " << phenotype << "\n";
        const HrrPhenotype& results = *phenotypes.at(phenotype);
        for (const std::string& index : results.getHrrMarkerNames()) {
            writeMarkerSection(out, map->getMarkerName(index), *results.getHrrMarker(index));
        }
        const PhenotypeBars bars = barsOf(results, *map);
        for (std::size_t kind = 0; kind < pValueKinds.size(); ++kind) {
            addChartPages(document, phenotype, bars.names, bars.heights[kind],
                          pValueKinds[kind].label, bars.largest[kind]);
        }
    }
    // Each file is written whether or not the other could be.
    bool written = writeText(file, textName);
    const std::string chartName = baseName + ".ps";
    std::cout << std::endl << "The HRR Histograms:  " << chartName;
    if (!document.writeHistogramPagesIntoPostScriptFile(chartName)) {
        std::cout << std::endl << "Error: Unable to write the chart file " << chartName;
        written = false;
    }
    std::cout << std::endl;
    return written;
}
