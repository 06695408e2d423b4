#include "postscript.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "postscript_text.h"
#include "utilities.h"

namespace {

// Far beyond the page in either direction, well inside what the
// interpreter's numbers hold.
constexpr double coordinateLimit = 1.0e6;

const char* const prologue =
    "%%BeginDocument\n"
    "/scaleTimes{\n"
    "   /Times-Roman findfont\n"
    "   exch scalefont\n"
    "  setfont\n"
    " } def\n"
    "/fillbox {setgray fill} def\n";

}  // namespace

std::string postScriptText(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        if (c == '\\' || c == '(' || c == ')') {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

double postScriptReal(double value) {
    if (std::isnan(value)) {
        return 0.0;
    }
    return std::clamp(value, -coordinateLimit, coordinateLimit);
}

int postScriptInt(double value) {
    return static_cast<int>(std::trunc(postScriptReal(value)));
}

void writePageHeader(std::ostream& out, int pageNumber) {
    out << "a4\n%%Page: " << pageNumber << ' ' << pageNumber << '\n';
}

void writePageFrame(std::ostream& out) {
    out << "newpath\n"
           "0 fillbox\n"
           "100 100 moveto\n"
           "500 100 lineto\n"
           "500 100 moveto\n"
           "500 700 lineto\n"
           "500 700 moveto\n"
           "100 700 lineto\n"
           "100 700 moveto\n"
           "100 100 lineto\n"
           "stroke   \n";
}

void writePageTexts(std::ostream& out, int pageNumber, const std::string& title,
                    const std::string& subtitle, const std::string& infoLine,
                    const std::string& xAxisLabel, const std::string& yAxisLabel) {
    out << "newpath \n";
    out << "14 scaleTimes 550 50  moveto -90 rotate (" << pageNumber << ")show 90 rotate\n";
    out << "14 scaleTimes 560 700 moveto -90 rotate (" << postScriptText(title)
        << ")show 90 rotate\n";
    out << "12 scaleTimes 540 700 moveto -90 rotate (" << postScriptText(subtitle)
        << ")show 90 rotate\n";
    out << "12 scaleTimes 520 700 moveto -90 rotate (" << postScriptText(infoLine)
        << ")show 90 rotate\n";
    out << "14 scaleTimes 30 390 moveto -90 rotate (" << postScriptText(xAxisLabel)
        << ")show 90 rotate\n";
    out << "14 scaleTimes 270 750 moveto (" << postScriptText(yAxisLabel) << ")show\n";
}

void writePageEnd(std::ostream& out) {
    out << "closepath\nshowpage \n%%EndDocument\n";
}

void writeTickLabel(std::ostream& out, int fontSize, int pos, const std::string& label) {
    out << fontSize << " scaleTimes " << pos << " 725 moveto -90 rotate (" << postScriptText(label)
        << ")show 90 rotate  \n";
}

void PostScriptPage::setHistogramBoxNamesAndValues(std::map<std::string, double> values,
                                                   std::vector<std::string> names) {
    histogramBoxValues = std::move(values);
    histogramBoxNames = std::move(names);
}

void PostScriptPage::setMarkerNamesAndPositions(std::vector<std::string> names,
                                                std::map<std::string, double> positions) {
    markerNames = std::move(names);
    markerPositions = std::move(positions);
}

void PostScript::addPostScriptPage(PostScriptPage* page) {
    ownedPages.emplace_back(page);
    pages.push_back(page);
}

bool PostScript::openOutput(const std::string& fileName) {
    outputFile = std::make_unique<File>();
    if (!outputFile->openFile(fileName, "write") || !outputFile->isOpen("write")) {
        outputFile.reset();
        return false;
    }
    outputFile->outputBuffer << "%!PS-Adobe-1.0\n%%Pages: " << pages.size() << '\n' << prologue;
    return true;
}

bool PostScript::writeOutput() {
    const bool written = outputFile->writeOutputBufferAndClose();
    outputFile.reset();
    return written;
}

bool PostScript::writeHistogramPagesIntoPostScriptFile(const std::string& fileName) {
    if (!openOutput(fileName)) {
        return false;
    }
    for (size_t p = 0; p < pages.size(); ++p) {
        writeHistogramPage(*pages[p], static_cast<int>(p) + 1);
    }
    return writeOutput();
}

void PostScript::writeHistogramPage(const PostScriptPage& page, int pageNumber) {
    const int n = page.numberOfBoxes;
    if (n <= 0 || static_cast<size_t>(n) != page.histogramBoxNames.size()) {
        return;
    }
    std::ostream& out = outputFile->outputBuffer;
    writePageHeader(out, pageNumber);

    if (page.maxTicks >= 0) {
        for (int k = 0;; ++k) {
            const int pos = 100 + postScriptInt(400.0 * k * page.yTickStep / page.yMax);
            if (pos > 500) {
                writeTickLabel(out, tickLabelFontSize, 500, doubleToString(page.yMax));
                break;
            }
            writeTickLabel(out, tickLabelFontSize, pos, doubleToString(k * page.yTickStep));
            out << " [3 3] 0 setdash " << pos << " 702 moveto  " << pos << " 100 lineto\n";
            if (k >= page.maxTicks) {
                break;
            }
        }
        out << "stroke [] 0 setdash 0.9 setlinewidth\n";
    }

    const double slotWidth = 600.0 / n;
    const double barWidth = slotWidth - page.boxGap;
    const std::map<std::string, double> values = page.getHistogramBoxValues();
    const std::vector<std::string> names = page.histogramBoxNames;
    for (int i = 0; i < n; ++i) {
        const std::string& name = names[static_cast<size_t>(i)];
        if (!name.empty() && name.front() == '@') {
            continue;
        }
        const auto found = values.find(name);
        const double value = found == values.end() ? 0.0 : found->second;
        const int barLength = postScriptInt(value / page.yMax * 400.0);
        const int y = postScriptInt(700.0 - (page.boxGap + barWidth) * (i + 1));
        out << " newpath\n";
        if (n <= 100) {
            out << " 0 fillbox " << barLabelFontSize << " scaleTimes 50 " << y + 4 << " moveto ("
                << postScriptText(name) << ")show " << barLength + 105 << ' ' << y + 4
                << " moveto (" << postScriptText(doubleToString(value)) << ")show  \n";
        }
        const double w = postScriptReal(barWidth);
        out << " 100 " << y << " moveto   % rightlower coordinate   (x,y)  \n";
        out << " 0 " << w << " rlineto    % leftlower coordinate    (boxwidth) \n";
        out << barLength << " 0 rlineto    % leftupper coordinate   (boxheight) \n";
        // A slot narrower than the gap gives a negative width, which "-"
        // before it would turn into a name the interpreter does not know.
        if (w >= 0) {
            out << " 0 -" << w;
        } else {
            out << " 0 " << -w;
        }
        out << " rlineto    % rightupper coordinate  (boxwidth) \n";
        out << " closepath \n .7 fillbox \n";
    }

    writePageFrame(out);
    writePageTexts(out, pageNumber, page.title, page.subtitle, page.infoLine, page.xAxisLabel,
                   page.yAxisLabel);
    writePageEnd(out);
}
