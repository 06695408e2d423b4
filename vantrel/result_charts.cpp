// vantrel's charts: per phenotype and model one PostScript file of six
// histogram pages with one bar per marker.
#include <algorithm>
#include <array>
#include <cmath>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "postscript.h"
#include "utilities.h"
#include "version.h"
#include "vt_results.h"

namespace {

constexpr std::size_t pageCount = 6;

struct PageText {
    const char* subtitle;
    const char* valueAxis;
};

const std::array<PageText, pageCount> pageTexts{{
    {" vantrel analysis: Linkage", "Lod Score"},
    {" vantrel analysis: Linkage", "-log10(p-value)"},
    {" vantrel analysis : LD given Linkage", "-log10(p-value)"},
    {" vantrel analysis: LD given NO Linkage", "-log10(p-value)"},
    {" vantrel analysis: Linkage given LD", "-log10(p-value)"},
    {" vantrel analysis: Joint Linkage and LD", "-log10(p-value)"},
}};

// The five p-values in page order.
std::array<double, pageCount - 1> pValuesOf(const VTResults::Statistics& s) {
    return {s.linkage, s.ldGivenLinkage, s.ldNoLinkage, s.linkageGivenLd, s.ldPlusLinkage};
}

// A NaN value leaves the maximum as it is.
double largestOf(const std::vector<double>& values) {
    double largest = 0.0;
    for (const double value : values) {
        if (value > largest) {
            largest = value;
        }
    }
    return largest;
}

// A whole number a step above the largest value, and never below it: with
// a step of 0.5 the truncation alone would put 4.2 above a top of 4.
double axisTop(double largest, double step) {
    return largest < 3 ? 3.0 : std::max(std::trunc(largest + step), std::ceil(largest));
}

}  // namespace

VTResults::AxisScale VTResults::lodAxis(double largestLod) {
    const double step = largestLod > 10 ? 2.0 : largestLod > 5 ? 1.0 : 0.5;
    return {axisTop(largestLod, step), step};
}

VTResults::AxisScale VTResults::pValueAxis(double largestHeight, double lodStep) {
    const double top = axisTop(largestHeight, lodStep);
    return {top, top > 10 ? 5.0 : top > 5 ? 1.0 : 0.5};
}

std::string VTResults::chartFileName() const {
    return chartFileName(outputPrefix, phenotypeName, modelName);
}

std::string VTResults::chartFileName(const std::string& prefix, const std::string& phenotype,
                                     const std::string& model) {
    const std::string phenotypePart =
        phenotype == "DISEASE_LOCUS" ? "" : stringToLower(phenotype) + "_";
    return prefix + "_" + phenotypePart + stringToLower(model) + ".ps";
}

double VTResults::pValueCeiling() const {
    std::vector<double> heights;
    for (const std::string& marker : markerNames) {
        for (const double p : pValuesOf(statistics(marker))) {
            if (p > 0.0) {
                heights.push_back(-std::log10(p));
            }
        }
    }
    return std::max(zeroPValueHeight, largestOf(heights));
}

void VTResults::addChartPages(PostScript& document) const {
    const double ceiling = pValueCeiling();
    std::array<std::vector<double>, pageCount> columns;
    for (const std::string& marker : markerNames) {
        const Statistics s = statistics(marker);
        columns[0].push_back(s.lod);
        const auto pValues = pValuesOf(s);
        for (std::size_t i = 0; i < pValues.size(); ++i) {
            // Subtracted from 0.0: a p-value of 1 would be drawn as -0.
            columns[i + 1].push_back(pValues[i] == 0.0 ? ceiling : 0.0 - std::log10(pValues[i]));
        }
    }

    const AxisScale lodScale = lodAxis(largestOf(columns[0]));
    std::vector<double> allHeights;
    for (std::size_t page = 1; page < pageCount; ++page) {
        allHeights.insert(allHeights.end(), columns[page].begin(), columns[page].end());
    }
    const AxisScale pValueScale = pValueAxis(largestOf(allHeights), lodScale.step);

    for (std::size_t page = 0; page < pageCount; ++page) {
        auto chart = std::make_unique<PostScriptPage>();
        chart->title = std::string("vantrel version ") + vantrelVersion;
        chart->subtitle =
            "Phenotype: " + phenotypeName + ", " + modelName + pageTexts[page].subtitle;
        chart->infoLine = runDate;
        chart->xAxisLabel = "Markers";
        chart->yAxisLabel = pageTexts[page].valueAxis;
        const AxisScale& scale = page == 0 ? lodScale : pValueScale;
        chart->yMax = scale.top;
        chart->yTickStep = scale.step;
        chart->yMin = 0;
        chart->numberOfBoxes = static_cast<int>(markerNames.size());
        std::map<std::string, double> values;
        for (std::size_t m = 0; m < markerNames.size(); ++m) {
            values[markerNames[m]] = columns[page][m];
        }
        chart->setHistogramBoxNamesAndValues(values, markerNames);
        document.addPostScriptPage(chart.release());
    }
}

bool VTResults::writeGraphs() const {
    for (const std::string* name : {&phenotypeName, &modelName}) {
        if (name->find('/') != std::string::npos) {
            std::cout << "Error: The " << modelName << " chart of phenotype " << phenotypeName
                      << " is not written: \"" << *name
                      << "\" holds a \"/\", which would put the chart into another folder"
                      << std::endl;
            return false;
        }
    }
    PostScript document;
    addChartPages(document);
    const std::string fileName = chartFileName();
    if (!document.writeHistogramPagesIntoPostScriptFile(fileName)) {
        std::cout << "Error: Unable to write the chart file " << fileName << "!" << std::endl;
        return false;
    }
    std::cout << modelName << " graphical PostScript output file is '" << fileName << "'"
              << std::endl;
    return true;
}
