#include "postscript.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>
#include <string>

#include "test_support.h"

namespace {

using test_support::readText;
using test_support::renderPostScript;

class PostScriptTest : public test_support::TempDirTest {};

int count(const std::string& text, const std::string& part) {
    int found = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++found;
    }
    return found;
}

PostScriptPage* histogramPage(const std::vector<std::pair<std::string, double>>& bars) {
    auto* page = new PostScriptPage();
    std::map<std::string, double> values;
    std::vector<std::string> names;
    for (const auto& [name, value] : bars) {
        values[name] = value;
        names.push_back(name);
    }
    page->setHistogramBoxNamesAndValues(values, names);
    page->numberOfBoxes = static_cast<int>(names.size());
    return page;
}

PostScriptPage* thetaPage(int points) {
    auto* page = new PostScriptPage();
    page->xMax = 0.5;
    page->yMin = -3.0;
    page->yMax = 3.0;
    for (int i = 0; i < points; ++i) {
        page->curveXValues.push_back(i * 0.01);
        page->curveYValues.push_back(std::sin(i * 0.1) * 2.0);
    }
    return page;
}

// Text outside PostScript strings, so names and labels do not count.
std::string code(const std::string& text) {
    return std::regex_replace(text, std::regex(R"(\((\\.|[^\\)])*\))"), "()");
}

const std::string prologue =
    "%!PS-Adobe-1.0\n"
    "%%Pages: 1\n"
    "%%BeginDocument\n"
    "/scaleTimes{\n"
    "   /Times-Roman findfont\n"
    "   exch scalefont\n"
    "  setfont\n"
    " } def\n"
    "/fillbox {setgray fill} def\n";

TEST_F(PostScriptTest, HistogramPageIsWrittenAsLaidOut) {
    PostScript document;
    PostScriptPage* page = histogramPage({{"M1", 0.5}, {"M2", 1.0}});
    page->title = "T";
    page->subtitle = "S";
    page->infoLine = "I";
    page->xAxisLabel = "Markers";
    page->yAxisLabel = "Lod Score";
    document.addPostScriptPage(page);
    ASSERT_TRUE(document.writeHistogramPagesIntoPostScriptFile("h.ps"));

    // Slots of 300 points, bars 295 wide; yMax 1 with step 0.5 puts ticks at
    // 100, 300 and 500, and the next one (700) writes the label 1 again at 500.
    const std::string expected =
        prologue +
        "a4\n%%Page: 1 1\n"
        "10 scaleTimes 100 725 moveto -90 rotate (0)show 90 rotate  \n"
        " [3 3] 0 setdash 100 702 moveto  100 100 lineto\n"
        "10 scaleTimes 300 725 moveto -90 rotate (0.5)show 90 rotate  \n"
        " [3 3] 0 setdash 300 702 moveto  300 100 lineto\n"
        "10 scaleTimes 500 725 moveto -90 rotate (1)show 90 rotate  \n"
        " [3 3] 0 setdash 500 702 moveto  500 100 lineto\n"
        "10 scaleTimes 500 725 moveto -90 rotate (1)show 90 rotate  \n"
        "stroke [] 0 setdash 0.9 setlinewidth\n"
        " newpath\n"
        " 0 fillbox 8 scaleTimes 50 404 moveto (M1)show 305 404 moveto (0.5)show  \n"
        " 100 400 moveto   % rightlower coordinate   (x,y)  \n"
        " 0 295 rlineto    % leftlower coordinate    (boxwidth) \n"
        "200 0 rlineto    % leftupper coordinate   (boxheight) \n"
        " 0 -295 rlineto    % rightupper coordinate  (boxwidth) \n"
        " closepath \n .7 fillbox \n"
        " newpath\n"
        " 0 fillbox 8 scaleTimes 50 104 moveto (M2)show 505 104 moveto (1)show  \n"
        " 100 100 moveto   % rightlower coordinate   (x,y)  \n"
        " 0 295 rlineto    % leftlower coordinate    (boxwidth) \n"
        "400 0 rlineto    % leftupper coordinate   (boxheight) \n"
        " 0 -295 rlineto    % rightupper coordinate  (boxwidth) \n"
        " closepath \n .7 fillbox \n"
        "newpath\n0 fillbox\n100 100 moveto\n500 100 lineto\n500 100 moveto\n500 700 lineto\n"
        "500 700 moveto\n100 700 lineto\n100 700 moveto\n100 100 lineto\nstroke   \n"
        "newpath \n"
        "14 scaleTimes 550 50  moveto -90 rotate (1)show 90 rotate\n"
        "14 scaleTimes 560 700 moveto -90 rotate (T)show 90 rotate\n"
        "12 scaleTimes 540 700 moveto -90 rotate (S)show 90 rotate\n"
        "12 scaleTimes 520 700 moveto -90 rotate (I)show 90 rotate\n"
        "14 scaleTimes 30 390 moveto -90 rotate (Markers)show 90 rotate\n"
        "14 scaleTimes 270 750 moveto (Lod Score)show\n"
        "closepath\nshowpage \n%%EndDocument\n";
    EXPECT_EQ(readText("h.ps"), expected);
    EXPECT_TRUE(renderPostScript("h.ps"));
}

TEST_F(PostScriptTest, DocumentWithoutPagesHoldsOnlyThePrologue) {
    PostScript document;
    ASSERT_TRUE(document.writeHistogramPagesIntoPostScriptFile("empty.ps"));
    std::string expected = prologue;
    expected.replace(expected.find("Pages: 1"), 8, "Pages: 0");
    EXPECT_EQ(readText("empty.ps"), expected);
}

TEST_F(PostScriptTest, PageWhoseBoxCountDiffersFromItsBarsIsLeftOutButKeepsItsNumber) {
    PostScript document;
    document.addPostScriptPage(histogramPage({{"A", 1.0}}));
    PostScriptPage* wrong = histogramPage({{"B", 1.0}, {"C", 1.0}});
    wrong->numberOfBoxes = 3;
    document.addPostScriptPage(wrong);
    document.addPostScriptPage(new PostScriptPage());  // no boxes at all
    document.addPostScriptPage(histogramPage({{"D", 1.0}}));
    ASSERT_TRUE(document.writeHistogramPagesIntoPostScriptFile("h.ps"));

    const std::string text = readText("h.ps");
    EXPECT_NE(text.find("%%Pages: 4\n"), std::string::npos);
    EXPECT_NE(text.find("%%Page: 1 1\n"), std::string::npos);
    EXPECT_NE(text.find("%%Page: 4 4\n"), std::string::npos);
    EXPECT_EQ(count(text, "%%Page: "), 2);
    EXPECT_EQ(text.find("(B)show"), std::string::npos);
    EXPECT_TRUE(renderPostScript("h.ps"));
}

TEST_F(PostScriptTest, MoreThanHundredBarsAreDrawnWithoutNamesOrValues) {
    std::vector<std::pair<std::string, double>> bars;
    for (int i = 0; i < 101; ++i) {
        bars.emplace_back("m" + std::to_string(i), i % 7 * 0.5);
    }
    PostScript document;
    PostScriptPage* page = histogramPage(bars);
    page->yMax = 4.0;
    document.addPostScriptPage(page);
    ASSERT_TRUE(document.writeHistogramPagesIntoPostScriptFile("h.ps"));

    const std::string text = readText("h.ps");
    EXPECT_EQ(count(text, " .7 fillbox"), 101);
    EXPECT_EQ(count(text, "8 scaleTimes"), 0);
    EXPECT_EQ(text.find("(m0)"), std::string::npos);
    EXPECT_TRUE(renderPostScript("h.ps"));
}

TEST_F(PostScriptTest, SlotsNamedWithAtStayEmptyAndLaterBarsKeepTheirPlaces) {
    PostScript document;
    PostScriptPage* page = histogramPage({{"a", 1}, {"b", 1}, {"@2", 0}, {"@3", 0}, {"e", 1}});
    page->boxGap = 2;
    document.addPostScriptPage(page);
    ASSERT_TRUE(document.writeHistogramPagesIntoPostScriptFile("h.ps"));

    // Slots of 120 points: the fifth bar stands at 700 - 120 * 5 = 100.
    const std::string text = readText("h.ps");
    EXPECT_EQ(count(text, " .7 fillbox"), 3);
    EXPECT_EQ(text.find("(@"), std::string::npos);
    EXPECT_NE(text.find(" 100 100 moveto   % rightlower"), std::string::npos);
    EXPECT_NE(text.find(" 100 460 moveto   % rightlower"), std::string::npos);
    EXPECT_EQ(text.find(" 100 340 moveto"), std::string::npos);
}

TEST_F(PostScriptTest, BarOfTheTopValueReachesTheTopOfTheFrameAndMissingValueIsZero) {
    PostScript document;
    PostScriptPage* page = histogramPage({{"top", 3.0}});
    page->histogramBoxNames.push_back("novalue");
    page->numberOfBoxes = 2;
    page->yMax = 3.0;
    document.addPostScriptPage(page);
    ASSERT_TRUE(document.writeHistogramPagesIntoPostScriptFile("h.ps"));

    const std::string text = readText("h.ps");
    EXPECT_NE(text.find("(top)show 505 "), std::string::npos);
    EXPECT_NE(text.find("\n400 0 rlineto"), std::string::npos);
    EXPECT_NE(text.find("(novalue)show 105 104 moveto (0)show"), std::string::npos);
}

TEST_F(PostScriptTest, MaxTicksZeroDrawsTheBaseLineTickOnly) {
    PostScript document;
    PostScriptPage* page = histogramPage({{"a", 1.0}});
    page->maxTicks = 0;
    document.addPostScriptPage(page);
    ASSERT_TRUE(document.writeHistogramPagesIntoPostScriptFile("h.ps"));
    const std::string text = readText("h.ps");
    EXPECT_EQ(count(text, "725 moveto"), 1);
    EXPECT_NE(text.find("100 725 moveto -90 rotate (0)show"), std::string::npos);
}

// Names and headings come from users' files: "(", ")" and "\" in them must
// neither end the string early nor run as code.
TEST_F(PostScriptTest, TextsAreEscapedSoTheyCannotBreakTheDocument) {
    const std::string hostile = "m(1)\\ ) erasepage (";
    PostScript document;
    PostScriptPage* page = histogramPage({{hostile, 1.0}});
    page->title = hostile;
    page->infoLine = "a\\";
    document.addPostScriptPage(page);
    ASSERT_TRUE(document.writeHistogramPagesIntoPostScriptFile("h.ps"));

    const std::string text = readText("h.ps");
    EXPECT_NE(text.find("(m\\(1\\)\\\\ \\) erasepage \\()show 90 rotate"), std::string::npos);
    EXPECT_NE(text.find("(a\\\\)show"), std::string::npos);
    EXPECT_EQ(code(text).find("erasepage"), std::string::npos);
    EXPECT_TRUE(renderPostScript("h.ps"));
}

struct BadScale {
    std::string name;
    double value;
    double yMax;
    double yTickStep;
};

void PrintTo(const BadScale& scale, std::ostream* out) {
    *out << scale.name;
}

class PostScriptBadScaleTest : public test_support::TempDirTest,
                               public ::testing::WithParamInterface<BadScale> {};

// Infinite, NaN and huge numbers must not reach the document outside a
// string (the interpreter fails on "nan", "inf" and on 1e+300) nor be
// converted to int unchecked.
TEST_P(PostScriptBadScaleTest, DocumentStillRenders) {
    const BadScale& scale = GetParam();
    PostScript histogram;
    PostScriptPage* bars = histogramPage({{"a", scale.value}, {"b", 1.0}});
    bars->yMax = scale.yMax;
    bars->yTickStep = scale.yTickStep;
    histogram.addPostScriptPage(bars);
    ASSERT_TRUE(histogram.writeHistogramPagesIntoPostScriptFile("h.ps"));

    PostScript curves;
    PostScriptPage* curve = thetaPage(5);
    curve->curveYValues[2] = scale.value;
    curve->yMax = scale.yMax;
    curve->yTickStep = scale.yTickStep;
    curves.addPostScriptPage(curve);
    ASSERT_TRUE(curves.writeCurvePagesIntoPostScriptFile("c.ps"));

    for (const char* file : {"h.ps", "c.ps"}) {
        const std::string text = code(readText(file));
        EXPECT_EQ(text.find("nan"), std::string::npos) << file;
        EXPECT_EQ(text.find("inf"), std::string::npos) << file;
        EXPECT_TRUE(renderPostScript(file));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scales, PostScriptBadScaleTest,
    ::testing::Values(BadScale{"NaNValue", std::nan(""), 3.0, 0.5},
                      BadScale{"InfiniteValue", std::numeric_limits<double>::infinity(), 3.0, 0.5},
                      BadScale{"HugeValue", -1e300, 3.0, 0.5}, BadScale{"ZeroTop", 1.0, 0.0, 0.5},
                      BadScale{"NaNTop", 1.0, std::nan(""), 0.5},
                      BadScale{"ZeroStep", 1.0, 3.0, 0.0}),
    [](const auto& info) { return info.param.name; });

TEST_F(PostScriptTest, UnwritableFileGivesFalse) {
    PostScript document;
    document.addPostScriptPage(histogramPage({{"a", 1.0}}));
    EXPECT_FALSE(document.writeHistogramPagesIntoPostScriptFile("no/such/folder/h.ps"));
    EXPECT_FALSE(document.writeHistogramPagesIntoPostScriptFile("/dev/full"));
    EXPECT_FALSE(document.writeCurvePagesIntoPostScriptFile("/dev/full"));
    EXPECT_FALSE(document.writeCurvePagesIntoPostScriptFileCorrectly("no/such/folder/c.ps"));
}

struct ThetaCurve {
    std::string name;
    int points;
    int segments;
};

void PrintTo(const ThetaCurve& curve, std::ostream* out) {
    *out << curve.name;
}

class ThetaCurveTest : public test_support::TempDirTest,
                       public ::testing::WithParamInterface<ThetaCurve> {};

// Each segment ends on every second point, so an even count leaves the last
// point out.
TEST_P(ThetaCurveTest, SegmentsCoverPointsInPairs) {
    PostScript document;
    document.addPostScriptPage(thetaPage(GetParam().points));
    ASSERT_TRUE(document.writeCurvePagesIntoPostScriptFile("c.ps"));
    const std::string text = readText("c.ps");
    EXPECT_EQ(count(text, "curveto stroke"), GetParam().segments);
    EXPECT_TRUE(renderPostScript("c.ps"));
}

INSTANTIATE_TEST_SUITE_P(Points, ThetaCurveTest,
                         ::testing::Values(ThetaCurve{"FiftyOne", 51, 25},
                                           ThetaCurve{"Fifty", 50, 24}, ThetaCurve{"Three", 3, 1},
                                           ThetaCurve{"Two", 2, 0}),
                         [](const auto& info) { return info.param.name; });

TEST_F(PostScriptTest, ThetaPageScalesTicksZeroLineAndMaximum) {
    PostScript document;
    PostScriptPage* page = new PostScriptPage();
    page->xMax = 0.5;
    page->yMin = -3.0;
    page->yMax = 3.0;
    // LOD 3 at theta 0.1 is the highest point: x = (3 + 3) * 400 / 6 + 100 =
    // 500, y = 0.1 * -600 / 0.5 + 700 = 580.
    page->curveXValues = {0.0, 0.1, 0.2, 0.3, 0.4};
    page->curveYValues = {1.0, 3.0, 2.0, 3.0, -2.0};
    document.addPostScriptPage(page);
    ASSERT_TRUE(document.writeCurvePagesIntoPostScriptFile("c.ps"));

    const std::string text = readText("c.ps");
    // y range 6: ticks every 33 points labelled from -3 by 0.5.
    EXPECT_NE(text.find("10 scaleTimes 100 725 moveto -90 rotate (-3)show 90 rotate  \n"
                        "100 705 moveto  100 695 lineto\n"
                        "10 scaleTimes 133 725 moveto -90 rotate (-2.5)show 90 rotate  \n"
                        "133 705 moveto  133 695 lineto\n"
                        "10 scaleTimes 166 725 moveto -90 rotate (-2)show 90 rotate  \n"
                        "166 705 moveto  166 695 lineto\n"
                        "10 scaleTimes 200 725 moveto -90 rotate (-1.5)show"),
              std::string::npos);
    EXPECT_NE(text.find("366.667 700 500 580 433.333 460 curveto stroke\n433.333 460 moveto\n"),
              std::string::npos);
    EXPECT_NE(text.find("300 700 moveto [3 3] 0 setdash 0.4 setlinewidth 300 100 lineto stroke \n"),
              std::string::npos);
    EXPECT_NE(text.find("100 580 moveto [3 3] 0 setdash 0.4 setlinewidth 500 580 lineto stroke \n"),
              std::string::npos);
    // Eleven position ticks, 0 to 0.5.
    EXPECT_EQ(count(text, "10 scaleTimes 70 "), 11);
    EXPECT_NE(text.find("10 scaleTimes 70 100 moveto (0.5)show"), std::string::npos);
    EXPECT_TRUE(renderPostScript("c.ps"));
}

TEST_F(PostScriptTest, ThetaPageOfTwoPointsKeepsTheMaximumAtTheOrigin) {
    PostScript document;
    document.addPostScriptPage(thetaPage(2));
    ASSERT_TRUE(document.writeCurvePagesIntoPostScriptFile("c.ps"));
    EXPECT_NE(readText("c.ps").find("100 0 moveto [3 3] 0 setdash 0.4 setlinewidth 0 0 lineto"),
              std::string::npos);
}

TEST_F(PostScriptTest, ThetaWriterWithUnequalPointListsLeavesTheFileEmpty) {
    PostScript document;
    document.addPostScriptPage(thetaPage(5));
    PostScriptPage* broken = thetaPage(5);
    broken->curveYValues.pop_back();
    document.addPostScriptPage(broken);
    EXPECT_FALSE(document.writeCurvePagesIntoPostScriptFile("c.ps"));
    EXPECT_TRUE(std::filesystem::exists("c.ps"));
    EXPECT_EQ(readText("c.ps"), "");
}

TEST_F(PostScriptTest, ThetaWriterPlacesAMarkerWithoutPositionAtZero) {
    PostScript document;
    PostScriptPage* page = thetaPage(3);
    page->markerNames = {"D1S1"};
    document.addPostScriptPage(page);
    ASSERT_TRUE(document.writeCurvePagesIntoPostScriptFile("c.ps"));
    EXPECT_NE(readText("c.ps").find("8 scaleTimes 70 697 moveto (D1S1)show \n"
                                    "95 700 moveto 105 700 lineto \n"),
              std::string::npos);
}

PostScriptPage* mapPage() {
    auto* page = new PostScriptPage();
    page->xMax = 20.0;
    page->yMin = -2.0;
    page->yMax = 4.0;
    page->xTickStep = 1.0;
    page->yTickStep = 0.5;
    page->curveXValues = {0.0, 2.5, 5.0, 7.5, 10.0, 12.5, 15.0, 17.5, 20.0};
    page->curveYValues = {-1.0, 0.5, 1.2, 2.5, 3.333, 2.0, 0.0, -1.5, -2.0};
    page->setMarkerNamesAndPositions({"M1", "M2", "M3"}, {{"M1", 0.0}, {"M2", 10.0}, {"M3", 20.0}});
    return page;
}

TEST_F(PostScriptTest, MapPageExtendsTheCurveToItsLastPointAndRoundsTickLabels) {
    PostScript document;
    PostScriptPage* page = mapPage();
    page->yTickStep = 1.0 / 3.0;
    document.addPostScriptPage(page);
    ASSERT_TRUE(document.writeCurvePagesIntoPostScriptFileCorrectly("m.ps"));

    const std::string text = readText("m.ps");
    // Nine points and two copies: five segments, the last ending on the
    // first copy just right of the last point.
    EXPECT_EQ(count(text, "curveto stroke"), 5);
    EXPECT_NE(text.find("(0.33)show"), std::string::npos);
    EXPECT_EQ(count(text, "\n95 "), 3);
    // Twenty position ticks from 0 by 1 while below 20; zero line at 100 +
    // 400 * 2 / 6.
    EXPECT_EQ(count(text, "10 scaleTimes 70 "), 20);
    EXPECT_NE(text.find("233 700 moveto [3 3]"), std::string::npos);
    EXPECT_TRUE(renderPostScript("m.ps"));
}

TEST_F(PostScriptTest, MapPageOfOnePointDrawsOneSegment) {
    PostScript document;
    PostScriptPage* page = mapPage();
    page->curveXValues = {5.0};
    page->curveYValues = {1.0};
    document.addPostScriptPage(page);
    ASSERT_TRUE(document.writeCurvePagesIntoPostScriptFileCorrectly("m.ps"));
    EXPECT_EQ(count(readText("m.ps"), "curveto stroke"), 1);
    EXPECT_TRUE(renderPostScript("m.ps"));
}

TEST_F(PostScriptTest, MapPageWithUnmatchedMarkerNamesDrawsNoMarksAndNoZeroLineAboveZero) {
    PostScript document;
    PostScriptPage* page = mapPage();
    page->markerPositions.erase("M2");
    page->yMin = 1.0;
    document.addPostScriptPage(page);
    ASSERT_TRUE(document.writeCurvePagesIntoPostScriptFileCorrectly("m.ps"));
    const std::string text = readText("m.ps");
    EXPECT_EQ(text.find("(M1)show"), std::string::npos);
    EXPECT_EQ(text.find(" 700 moveto [3 3]"), std::string::npos);
}

TEST_F(PostScriptTest, MapWriterLeavesAPageOfUnequalListsWithoutBodyAndGoesOn) {
    PostScript document;
    PostScriptPage* broken = mapPage();
    broken->curveXValues.pop_back();
    document.addPostScriptPage(broken);
    PostScriptPage* stuck = mapPage();
    stuck->xTickStep = 0.0;  // would never reach the end of the axis
    document.addPostScriptPage(stuck);
    ASSERT_TRUE(document.writeCurvePagesIntoPostScriptFileCorrectly("m.ps"));
    const std::string text = readText("m.ps");
    EXPECT_NE(text.find("%%Page: 1 1\na4\n%%Page: 2 2\n"), std::string::npos);
    EXPECT_EQ(count(text, "showpage"), 1);
}

}  // namespace
