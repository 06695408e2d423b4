// Charts written as plain PostScript: a document of pages that the caller
// fills field by field and writes in one call, either every page as a
// histogram (one bar per marker) or every page as a curve over positions.
//
// The sheet is read turned a quarter turn: the value axis runs along the
// PostScript x axis (base line x 100, top x 500) and markers or positions
// along y (700 at the reader's left, 100 at the right).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "file.h"

class PostScriptPage {
  public:
    PostScriptPage() = default;

    // Replaces the bars; the caller sets numberOfBoxes to the number of names.
    void setHistogramBoxNamesAndValues(std::map<std::string, double> values,
                                       std::vector<std::string> names);
    std::map<std::string, double> getHistogramBoxValues() const { return histogramBoxValues; }
    void setMarkerNamesAndPositions(std::vector<std::string> names,
                                    std::map<std::string, double> positions);
    std::map<std::string, double> getMarkerPositions() const { return markerPositions; }

    std::string title;
    std::string subtitle;
    std::string infoLine;
    std::string xAxisLabel;
    std::string yAxisLabel;
    // Position axis range (curve pages).
    double xMax = 1.0;
    // Top of the value axis; histograms always start at 0.
    double yMax = 1.0;
    double xMin = 0.0;
    double yMin = 0.0;
    // Bar slots of a histogram page; a page whose count differs from the
    // number of bar names is left out of the file.
    int numberOfBoxes = 0;
    int boxGap = 5;
    int maxTicks = 100;
    double yTickStep = 0.5;
    double xTickStep = 0.05;
    std::map<std::string, double> histogramBoxValues;
    // Bar names in drawing order; a name beginning with "@" is an empty slot.
    std::vector<std::string> histogramBoxNames;
    std::vector<double> curveXValues;
    std::vector<double> curveYValues;
    std::vector<std::string> markerNames;
    std::map<std::string, double> markerPositions;
};

class PostScript {
  public:
    PostScript() = default;
    PostScript(const PostScript&) = delete;
    PostScript& operator=(const PostScript&) = delete;

    // The document owns the page from now on.
    void addPostScriptPage(PostScriptPage* page);

    // Each writer returns false, and leaves no chart text in the file, when
    // the file cannot be opened or written.

    // Every page as a histogram.
    bool writeHistogramPagesIntoPostScriptFile(const std::string& fileName);
    // Every page as a two-point LOD curve over recombination fractions 0 to
    // 0.5 with a LOD floor of -3. Also false at the first page whose point
    // lists differ in length; the file then stays empty.
    bool writeCurvePagesIntoPostScriptFile(const std::string& fileName);
    // Every page as a curve over map positions, ranges and steps from the
    // page; a page whose point lists differ in length is left without body.
    bool writeCurvePagesIntoPostScriptFileCorrectly(const std::string& fileName);

    // Exists only while a writer runs.
    std::unique_ptr<File> outputFile;
    // In order of addition.
    std::vector<PostScriptPage*> pages;
    int barLabelFontSize = 8;
    int tickLabelFontSize = 10;
    // Both callers clear it; a set flag adds nothing to a page.
    bool showCentiMorganLabel = true;

  private:
    bool openOutput(const std::string& fileName);
    bool writeOutput();
    void writeHistogramPage(const PostScriptPage& page, int pageNumber);
    bool writeThetaCurvePage(const PostScriptPage& page, int pageNumber);
    void writeMapCurvePage(const PostScriptPage& page, int pageNumber);

    std::vector<std::unique_ptr<PostScriptPage>> ownedPages;
};
