// MLink's result files on two-point results built by hand.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "mlink.h"
#include "mlink_builder.h"
#include "pedigrees.h"
#include "test_support.h"

namespace {

using test_support::contains;
using test_support::readText;
using test_support::renderPostScript;

class SinglepointFilesTest : public test_support::TempDirTest {
  protected:
    Pedigrees store;
    MLink mlink{&store};

    void SetUp() override {
        TempDirTest::SetUp();
        mlink.analysisType = "basic";
        mlink.selectedPhenotypes = {"DISEASE"};
    }

    // Runs a writer with its console output captured.
    template <typename Writer>
    std::string quietly(Writer writer, bool expected = true) {
        testing::internal::CaptureStdout();
        const bool written = writer();
        const std::string output = testing::internal::GetCapturedStdout();
        EXPECT_EQ(written, expected) << output;
        return output;
    }
};

TEST_F(SinglepointFilesTest, AllLodTableWritesLowLodsInExponentFormAndTheFirstBlockLast) {
    mlink.results = {{buildMarker(mlink, "A", {0.5, 0.0, 0.1}, {{0.0}, {-1.5}, {0.25}})}};
    const std::string output = quietly([&] { return mlink.writeAllLODScoresFile("all"); });
    EXPECT_EQ(output, "The LOD Scores for singlepoint curves: all.out\n");
    const std::string text = readText("all.out");
    EXPECT_TRUE(contains(text,
                         "Phenotype: DISEASE\n"
                         "               Theta                   A\n"
                         "                0.00       -1.500000e+00\n"
                         "                0.10            0.250000\n"
                         "                0.50        0.000000e+00\n\n"))
        << text;
    EXPECT_FALSE(std::filesystem::exists("all.ps"));
}

// A marker that lacks a theta, and one without any block, must not move
// the other markers' values under the wrong heading.
TEST_F(SinglepointFilesTest, MissingRecordsLeaveEmptyCellsAndMarkersWithoutBlocksAreSkipped) {
    MLinkMarker* full = buildMarker(mlink, "Full", {0.5, 0.0, 0.1},
                                    {{0.0, 0.0}, {1.0, 2.0}, {0.5, std::nullopt}}, {"10", "2"});
    MLinkMarker* shorter = buildMarker(mlink, "Short", {0.5, 0.1}, {{0.0}, {0.75}});
    MLinkMarker* empty = buildMarker(mlink, "Empty", {}, {});
    mlink.results = {{full, empty, shorter}};
    store.singlepointCurves = true;

    quietly([&] { return mlink.writeAllLODScoresFile("all"); });
    EXPECT_TRUE(contains(readText("all.out"),
                         "               Theta                Full               Short\n"
                         "                0.00            3.000000                    \n"
                         "                0.10            0.500000            0.750000\n"))
        << readText("all.out");
    EXPECT_TRUE(renderPostScript("all.ps"));

    quietly([&] { return mlink.writeResultsByFamilyFile("family"); });
    const std::string family = readText("family.out");
    // Pedigree 2 has no record at theta 0.1: an empty cell, then the first block.
    EXPECT_TRUE(contains(family,
                         "Marker: Full\n"
                         "               Theta\n"
                         "Pedigreeid\n"
                         "                        0            0.1            0.5\n"
                         "         2        2.00000                       0.00000\n"
                         "        10        1.00000        0.50000        0.00000\n\n\n"))
        << family;
    EXPECT_FALSE(contains(family, "Empty"));

    quietly([&] { return mlink.writeResultsFile("best"); });
    EXPECT_TRUE(contains(readText("best.out"),
                         "                Full     3.000000     0.000000\n"
                         "               Short     0.750000     0.100000\n"));
    EXPECT_FALSE(contains(readText("best.out"), "Empty"));
    EXPECT_TRUE(renderPostScript("best.ps"));
}

// Converted input keeps each pedigree's id before conversion, and the
// whole-pedigree file names the family by it. Nuclear pedigrees are
// numbered on their own: the whole pedigree of the same number is another
// family, so the nuclear file keeps the engine's id.
TEST_F(SinglepointFilesTest, ByFamilyLabelsAreOriginalIdsOfWholePedigreesOnly) {
    auto* pedigree = new Pedigree("1");
    pedigree->originalPedigreeId = "FAM-A";
    store.pedigreeTree->insert(pedigree);
    mlink.results = {{buildMarker(mlink, "M", {0.5, 0.1}, {{0.0, 0.0}, {1.0, 2.0}})}};

    quietly([&] { return mlink.writeResultsByFamilyFile("whole"); });
    EXPECT_TRUE(contains(readText("whole.out"),
                         "\n     FAM-A        1.00000        0.00000\n"
                         "         2        2.00000        0.00000\n"));
    mlink.analysisType = "nuclear";
    quietly([&] { return mlink.writeResultsByFamilyFile("nuclear"); });
    const std::string nuclear = readText("nuclear.out");
    EXPECT_TRUE(contains(nuclear, "Nuclear Pedigree statistics\n"));
    EXPECT_TRUE(contains(nuclear, "\n         1        1.00000        0.00000\n"));
    EXPECT_FALSE(contains(nuclear, "FAM-A        "));
}

TEST_F(SinglepointFilesTest, SingleBlockMarkerRowsKeepTheirPedigreeLabel) {
    mlink.results = {{buildMarker(mlink, "One", {0.5}, {{0.0}})}};
    quietly([&] { return mlink.writeResultsByFamilyFile("family"); });
    EXPECT_TRUE(contains(readText("family.out"),
                         "                      0.5\n"
                         "         1        0.00000\n"));
}

TEST_F(SinglepointFilesTest, HeterogeneityTableHasAColumnPerProportionAndARowPerTheta) {
    mlink.results = {{buildMarker(mlink, "M", {0.5, 0.0, 0.1}, {{0.0}, {1.0}, {-1200.0}})}};
    quietly([&] {
        mlink.maximizeHLod();
        return true;
    });
    quietly([&] { return mlink.writeHLodFile("het"); });
    const std::string text = readText("het.out");
    EXPECT_TRUE(contains(text,
                         "Phenotype: DISEASE\n\tMarker: M\n               Theta\n     Alpha\n"
                         "                   0      0.01"))
        << text;
    // log10(0.5 * 10 + 0.5) = 0.74036 at alpha 0.5; the homogeneous LOD at 1.
    const size_t row = text.find("\n         0   0.00000");
    ASSERT_NE(row, std::string::npos) << text;
    const std::string line = text.substr(row + 1, text.find('\n', row + 1) - row - 1);
    EXPECT_EQ(line.size(), 10u + 101u * 10u);
    EXPECT_EQ(line.substr(10 + 50 * 10, 10), "   0.74036");
    EXPECT_EQ(line.substr(10 + 100 * 10), "   1.00000");
    // A value as wide as its cell stays apart from its neighbour.
    EXPECT_TRUE(contains(text, " -1200.00000\n")) << text;
}

struct Scale {
    const char* name;
    double bestLod;
    const char* topLabel;   // label at the top of the value axis
    const char* stepLabel;  // label of the second tick
};

void PrintTo(const Scale& scale, std::ostream* out) {
    *out << scale.name;
}

class HistogramScaleTest : public SinglepointFilesTest,
                           public testing::WithParamInterface<Scale> {};

TEST_P(HistogramScaleTest, ValueAxisFollowsTheBestLod) {
    const Scale& scale = GetParam();
    mlink.results = {{buildMarker(mlink, "M", {0.5, 0.1}, {{0.0}, {scale.bestLod}})}};
    quietly([&] { return mlink.writeResultsFile("best"); });
    const std::string chart = readText("best.ps");
    EXPECT_TRUE(contains(chart, std::string("500 725 moveto -90 rotate (") + scale.topLabel))
        << chart;
    EXPECT_TRUE(contains(chart, std::string("rotate (") + scale.stepLabel + ")show")) << chart;
    EXPECT_TRUE(renderPostScript("best.ps"));
}

INSTANTIATE_TEST_SUITE_P(Scales, HistogramScaleTest,
                         testing::Values(Scale{"NegativeBest", -1.0, "3", "0.5"},
                                         Scale{"ExactlyThree", 3.0, "4", "0.5"},
                                         Scale{"AboveThree", 3.2, "4", "1"}),
                         [](const auto& info) { return std::string(info.param.name); });

// 101 markers: pages of 50 slots, the last filled with empty slots @101 ..
// @149 so its bars keep their width.
TEST_F(SinglepointFilesTest, RowOfMoreThanHundredMarkersIsSplitIntoPagesOfFifty) {
    std::vector<MLinkMarker*> row;
    for (int i = 1; i <= 101; ++i) {
        row.push_back(buildMarker(mlink, "M" + std::to_string(i), {0.5, 0.1}, {{0.0}, {i / 50.0}}));
    }
    mlink.results = {row};
    quietly([&] { return mlink.writeResultsFile("best"); });
    const std::string chart = readText("best.ps");
    EXPECT_TRUE(contains(chart, "%%Pages: 3\n"));
    EXPECT_TRUE(contains(chart, "%%Page: 3 3\n"));
    const std::string third = chart.substr(chart.find("%%Page: 3 3"));
    EXPECT_TRUE(contains(third, "(M101)show"));
    EXPECT_FALSE(contains(third, "(M100)show"));
    EXPECT_EQ(third.find("(@"), std::string::npos);
    EXPECT_TRUE(contains(chart.substr(0, chart.find("%%Page: 2 2")), "(M50)show"));
    EXPECT_TRUE(renderPostScript("best.ps"));
}

TEST_F(SinglepointFilesTest, WritersReportFilesTheyCannotWrite) {
    mlink.results = {{buildMarker(mlink, "M", {0.5, 0.1}, {{0.0}, {1.0}})}};
    const std::string output =
        quietly([&] { return mlink.writeResultsFile("no/such/folder/best"); }, false);
    EXPECT_TRUE(contains(output, "Error: Unable to open no/such/folder/best.out for writing\n"));

    // A device takes no whole file.
    std::filesystem::create_symlink("/dev/full", "full.out");
    EXPECT_TRUE(contains(quietly([&] { return mlink.writeResultsByFamilyFile("full"); }, false),
                         "Error: Unable to open full.out for writing\n"));
    std::filesystem::create_symlink("/dev/full", "chart.ps");
    const std::string chart = quietly([&] { return mlink.writeResultsFile("chart"); }, false);
    EXPECT_TRUE(contains(chart, "...failed\nError: Unable to write chart.ps\n")) << chart;
    EXPECT_TRUE(
        contains(readText("chart.out"), "                   M     1.000000     0.100000\n"));
}

// A failed write leaves the file of an earlier run as it was.
TEST_F(SinglepointFilesTest, NoResultRowsIsAFailedWrite) {
    test_support::writeText("family.out", "the earlier results\n");
    EXPECT_EQ(quietly([&] { return mlink.writeResultsByFamilyFile("family"); }, false),
              "The LOD Scores: family.out\n...failed\n");
    EXPECT_EQ(readText("family.out"), "the earlier results\n");
}

}  // namespace
