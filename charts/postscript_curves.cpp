#include <cmath>
#include <ostream>
#include <vector>

#include "postscript.h"
#include "postscript_text.h"
#include "utilities.h"

namespace {

// The theta writer's fixed LOD floor.
constexpr double thetaLodFloor = -3.0;

struct Point {
    double x;  // value coordinate
    double y;  // position coordinate
};

// Coordinates of the page's points, and how the ticks and lines are placed.
struct CurveScale {
    double xRange;
    double yRange;
    double valueOffset;  // subtracted from a value before scaling

    double valueCoordinate(double v) const { return (v - valueOffset) * 400.0 / yRange + 100.0; }
    double positionCoordinate(double p) const { return p * -600.0 / xRange + 700.0; }
};

CurveScale thetaScale(const PostScriptPage& page) {
    const double xRange = std::fabs(page.xMax - page.xMin);
    if (page.yMin < 0) {
        return {xRange, std::fabs(page.yMax - thetaLodFloor), thetaLodFloor};
    }
    return {xRange, std::fabs(page.yMax - page.yMin), 0.0};
}

CurveScale mapScale(const PostScriptPage& page) {
    return {page.xMax - page.xMin, page.yMax - page.yMin, page.yMin < 0 ? page.yMin : 0.0};
}

void writeValueTicks(std::ostream& out, const PostScriptPage& page, const CurveScale& scale,
                     int fontSize, bool roundLabels) {
    if (page.maxTicks < 0) {
        return;
    }
    const auto label = [roundLabels](double value) {
        return doubleToString(roundLabels ? changeValueLengthToTwo(value) : value);
    };
    for (int k = 0;; ++k) {
        const int pos = 100 + postScriptInt(400.0 * k * page.yTickStep / scale.yRange);
        if (pos > 500) {
            writeTickLabel(out, fontSize, 500, label(page.yMax));
            break;
        }
        writeTickLabel(out, fontSize, pos, label(page.yMin + k * page.yTickStep));
        out << pos << " 705 moveto  " << pos << " 695 lineto\n";
        if (k >= page.maxTicks) {
            break;
        }
    }
    out << "stroke [] 0 setdash 0.9 setlinewidth\n";
}

void writeMarkerMarks(std::ostream& out, const PostScriptPage& page, const CurveScale& scale) {
    for (const std::string& name : page.markerNames) {
        const auto found = page.markerPositions.find(name);
        const double position = found == page.markerPositions.end() ? 0.0 : found->second;
        const double y = postScriptReal(scale.positionCoordinate(position));
        out << "8 scaleTimes 70 " << y - 3 << " moveto (" << postScriptText(name) << ")show \n";
        out << "95 " << y << " moveto 105 " << y << " lineto \n";
        out << "stroke  0.9 setlinewidth \n";
    }
}

// Bezier segments through every second point; returns the point with the
// highest value coordinate (the first of equal ones), (0, 0) when none
// exceeds 0.
Point writeCurve(std::ostream& out, const std::vector<Point>& points) {
    Point highest{0.0, 0.0};
    const auto keep = [&highest](const Point& point) {
        if (point.x > highest.x) {
            highest = point;
        }
    };
    for (size_t i = 0; i + 2 < points.size(); i += 2) {
        const Point& a = points[i];
        const Point& b = points[i + 1];
        const Point& c = points[i + 2];
        if (i == 0) {
            out << a.x << ' ' << a.y << " moveto\n";
        }
        out << a.x << ' ' << a.y << ' ' << b.x << ' ' << b.y << ' ' << c.x << ' ' << c.y
            << " curveto stroke\n";
        out << c.x << ' ' << c.y << " moveto\n";
        keep(a);
        keep(b);
        keep(c);
    }
    return highest;
}

void writePositionTick(std::ostream& out, double t, const CurveScale& scale) {
    const int yt = postScriptInt(scale.positionCoordinate(t));
    out << "newpath\n10 scaleTimes 70 " << yt << " moveto (" << postScriptText(doubleToString(t))
        << ")show \nclosepath\nnewpath\n90 " << yt << " moveto \n105 " << yt
        << " lineto \nstroke \n";
}

void writeZeroLine(std::ostream& out, const PostScriptPage& page, const CurveScale& scale) {
    const int z = 100 + postScriptInt(400.0 * std::fabs(page.yMin) / scale.yRange);
    out << z << " 700 moveto [3 3] 0 setdash 0.4 setlinewidth " << z << " 100 lineto stroke \n";
}

void writeMaximumLine(std::ostream& out, const Point& highest) {
    const int x = postScriptInt(highest.x);
    const int y = postScriptInt(highest.y);
    out << "100 " << y << " moveto [3 3] 0 setdash 0.4 setlinewidth " << x << ' ' << y
        << " lineto stroke \n";
}

std::vector<Point> curvePoints(const std::vector<double>& positions,
                               const std::vector<double>& values, const CurveScale& scale) {
    std::vector<Point> points;
    points.reserve(positions.size());
    for (size_t i = 0; i < positions.size(); ++i) {
        points.push_back({postScriptReal(scale.valueCoordinate(values[i])),
                          postScriptReal(scale.positionCoordinate(positions[i]))});
    }
    return points;
}

}  // namespace

bool PostScript::writeCurvePagesIntoPostScriptFile(const std::string& fileName) {
    if (!openOutput(fileName)) {
        return false;
    }
    for (size_t p = 0; p < pages.size(); ++p) {
        if (!writeThetaCurvePage(*pages[p], static_cast<int>(p) + 1)) {
            // Nothing of the document reaches the file.
            outputFile->closeFile("write");
            outputFile.reset();
            return false;
        }
    }
    return writeOutput();
}

bool PostScript::writeThetaCurvePage(const PostScriptPage& page, int pageNumber) {
    std::ostream& out = outputFile->outputBuffer;
    writePageHeader(out, pageNumber);
    if (page.curveXValues.size() != page.curveYValues.size()) {
        return false;
    }
    const CurveScale scale = thetaScale(page);
    writeValueTicks(out, page, scale, tickLabelFontSize, false);
    writePageFrame(out);
    writeMarkerMarks(out, page, scale);
    const Point highest = writeCurve(out, curvePoints(page.curveXValues, page.curveYValues, scale));
    // Eleven ticks whatever the sum's rounding: the last stands at
    // 0.49999999999999994 and is written 0.5.
    double t = 0.0;
    do {
        writePositionTick(out, t, scale);
        t += 0.05;
    } while (t < 0.5);
    writePageTexts(out, pageNumber, page.title, page.subtitle, page.infoLine, page.xAxisLabel,
                   page.yAxisLabel);
    writeZeroLine(out, page, scale);
    writeMaximumLine(out, highest);
    writePageEnd(out);
    return true;
}

bool PostScript::writeCurvePagesIntoPostScriptFileCorrectly(const std::string& fileName) {
    if (!openOutput(fileName)) {
        return false;
    }
    for (size_t p = 0; p < pages.size(); ++p) {
        writeMapCurvePage(*pages[p], static_cast<int>(p) + 1);
    }
    return writeOutput();
}

void PostScript::writeMapCurvePage(const PostScriptPage& page, int pageNumber) {
    std::ostream& out = outputFile->outputBuffer;
    writePageHeader(out, pageNumber);
    if (page.curveXValues.size() != page.curveYValues.size()) {
        return;
    }
    // Two copies of the last point just beyond it let the segments, which
    // end on every second point, reach the last real one.
    std::vector<double> positions = page.curveXValues;
    std::vector<double> values = page.curveYValues;
    if (!positions.empty()) {
        for (int copy = 0; copy < 2; ++copy) {
            positions.push_back(positions.back() + 0.00001);
            values.push_back(values.back());
        }
    }
    const CurveScale scale = mapScale(page);
    writeValueTicks(out, page, scale, tickLabelFontSize, true);
    writePageFrame(out);
    if (!page.markerNames.empty() && page.markerNames.size() == page.markerPositions.size()) {
        writeMarkerMarks(out, page, scale);
    }
    const Point highest = writeCurve(out, curvePoints(positions, values, scale));
    // A step that does not move t (not positive, or lost in t's rounding)
    // would never reach the end of the axis.
    for (double t = page.xMin; t < page.xMax && t + page.xTickStep > t; t += page.xTickStep) {
        writePositionTick(out, t, scale);
    }
    writePageTexts(out, pageNumber, page.title, page.subtitle, page.infoLine, page.xAxisLabel,
                   page.yAxisLabel);
    if (page.yMin <= 0 && page.yMax >= 0) {
        writeZeroLine(out, page, scale);
    }
    writeMaximumLine(out, highest);
    writePageEnd(out);
}
