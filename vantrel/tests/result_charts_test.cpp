// vantrel's charts: the six pages of a phenotype and model, their scales,
// the height of a p-value of 0, the file name, and the file itself rendered
// by Ghostscript.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "postscript.h"
#include "result_records.h"
#include "test_support.h"
#include "utilities.h"
#include "vt_results.h"

namespace fs = std::filesystem;

namespace {

constexpr double twoLn10 = 4.605170185988092;

struct ScaleCase {
    std::string name;
    double largestLod;
    double largestHeight;
    VTResults::AxisScale lod;
    VTResults::AxisScale pValues;
};

void PrintTo(const ScaleCase& value, std::ostream* out) {
    *out << value.name;
}

class ChartScale : public testing::TestWithParam<ScaleCase> {};

TEST_P(ChartScale, TopAndStep) {
    const ScaleCase& c = GetParam();
    const VTResults::AxisScale lod = VTResults::lodAxis(c.largestLod);
    EXPECT_EQ(lod.top, c.lod.top);
    EXPECT_EQ(lod.step, c.lod.step);
    const VTResults::AxisScale pValues = VTResults::pValueAxis(c.largestHeight, lod.step);
    EXPECT_EQ(pValues.top, c.pValues.top);
    EXPECT_EQ(pValues.step, c.pValues.step);
}

const ScaleCase scaleCases[] = {
    {"NothingAboveZero", 0.0, 0.0, {3.0, 0.5}, {3.0, 0.5}},
    {"NegativeLod", -2.5, 0.0, {3.0, 0.5}, {3.0, 0.5}},
    {"SmallValues", 2.9, 2.99, {3.0, 0.5}, {3.0, 0.5}},
    // The truncated top would be 4 and 9, below the bars.
    {"TopNeverBelowTheLargestBar", 4.2, 9.25, {5.0, 0.5}, {10.0, 1.0}},
    {"StepOneAboveFive", 7.9, 7.9, {8.0, 1.0}, {8.0, 1.0}},
    // The p-value pages round with the LOD page's step of 2.
    {"StepTwoAboveTen", 12.3, 6.4, {14.0, 2.0}, {8.0, 1.0}},
    {"StepFiveAboveTen", 1.0, 33.0, {3.0, 0.5}, {33.0, 5.0}},
};

INSTANTIATE_TEST_SUITE_P(VTResults, ChartScale, testing::ValuesIn(scaleCases),
                         [](const testing::TestParamInfo<ScaleCase>& info) {
                             return info.param.name;
                         });

class ResultCharts : public test_support::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        results.setName("Dominant");
        results.setPhenotypeName("DISEASE_LOCUS");
        results.outputPrefix = "run";
        results.runDate = "Thu Dec 10 12:00:00 2026\n";
    }

    // The pages as the chart file gets them, in order.
    std::vector<PostScriptPage> pages() const {
        PostScript document;
        results.addChartPages(document);
        std::vector<PostScriptPage> copies;
        for (const PostScriptPage* page : document.pages) {
            copies.push_back(*page);
        }
        return copies;
    }

    vantrel_test::ResultRecords records;
    VTResults results;
};

TEST_F(ResultCharts, SixPagesOfOneBarPerMarker) {
    // M1 (two alleles): -2 ln L 60, 50, 60, 50; M2 (three alleles): 80 under
    // H0 and H1, 60 under H2 and H3, so its LD tests have two degrees of
    // freedom and exact tails exp(-x / 2).
    records.addMarker(results, "M1", 2, 60.0, 50.0, 60.0, 50.0);
    records.addMarker(results, "M2", 3, 80.0, 80.0, 60.0, 60.0);
    const std::vector<PostScriptPage> charts = pages();
    ASSERT_EQ(charts.size(), 6u);

    const char* const texts[] = {
        " vantrel analysis: Linkage",           " vantrel analysis: Linkage",
        " vantrel analysis : LD given Linkage", " vantrel analysis: LD given NO Linkage",
        " vantrel analysis: Linkage given LD",  " vantrel analysis: Joint Linkage and LD"};
    for (std::size_t i = 0; i < charts.size(); ++i) {
        const PostScriptPage& page = charts[i];
        EXPECT_EQ(page.title, "vantrel version 1.0.0");
        EXPECT_EQ(page.subtitle, std::string("Phenotype: DISEASE_LOCUS, Dominant") + texts[i]);
        EXPECT_EQ(page.infoLine, "Thu Dec 10 12:00:00 2026\n");
        EXPECT_EQ(page.xAxisLabel, "Markers");
        EXPECT_EQ(page.yAxisLabel, i == 0 ? "Lod Score" : "-log10(p-value)");
        EXPECT_EQ(page.numberOfBoxes, 2);
        EXPECT_EQ(page.histogramBoxNames, (std::vector<std::string>{"M1", "M2"}));
    }

    EXPECT_DOUBLE_EQ(charts[0].histogramBoxValues.at("M1"), 10.0 / twoLn10);
    EXPECT_DOUBLE_EQ(charts[0].histogramBoxValues.at("M2"), 0.0);
    // M1's "Linkage" p-value is half the one-degree tail of 10: 7.83e-4
    // (the normal approximation is good to 0.5%).
    EXPECT_NEAR(charts[1].histogramBoxValues.at("M1"), -std::log10(0.5 * 1.565402e-3), 3e-3);
    // Without linkage the halved tail of the "Linkage" test is 0.5.
    EXPECT_NEAR(charts[1].histogramBoxValues.at("M2"), std::log10(2.0), 1e-12);
    // M2's "LD|NoLinkage" is exp(-10); its "LD|Linkage" the same.
    const double ldHeight = 10.0 / std::log(10.0);
    EXPECT_NEAR(charts[2].histogramBoxValues.at("M2"), ldHeight, 1e-9);
    EXPECT_NEAR(charts[3].histogramBoxValues.at("M2"), ldHeight, 1e-9);
    // A p-value of 1 stands at 0, not at -0 (the bar's label).
    EXPECT_DOUBLE_EQ(charts[4].histogramBoxValues.at("M2"), 0.0);
    EXPECT_FALSE(std::signbit(charts[4].histogramBoxValues.at("M2")));

    // The largest LOD 2.17 and the largest bar 4.34 (M2's LD tests).
    EXPECT_EQ(charts[0].yMax, 3.0);
    EXPECT_EQ(charts[0].yTickStep, 0.5);
    for (std::size_t i = 1; i < charts.size(); ++i) {
        EXPECT_EQ(charts[i].yMax, 5.0) << "page " << i + 1;
        EXPECT_EQ(charts[i].yTickStep, 0.5) << "page " << i + 1;
    }
}

TEST_F(ResultCharts, APValueOfZeroStandsAtTheTallestBar) {
    // L0 - L1 = L2 - L3 = 400: both one-degree tails are past the point
    // where the normal tail stops (a deviate of 20 > 12), so "Linkage" and
    // "Linkage|LD" are 0. "LD+Linkage" still is 0.5 exp(-200), whose
    // height 200 / ln 10 + log10(2) = 87.16 is the tallest bar.
    records.addMarker(results, "M1", 2, 1000.0, 600.0, 1000.0, 600.0);
    const std::vector<PostScriptPage> charts = pages();
    const double tallest = 200.0 / std::log(10.0) + std::log10(2.0);
    EXPECT_NEAR(charts[5].histogramBoxValues.at("M1"), tallest, 1e-9);
    EXPECT_NEAR(charts[1].histogramBoxValues.at("M1"), tallest, 1e-9);
    EXPECT_NEAR(charts[4].histogramBoxValues.at("M1"), tallest, 1e-9);
    EXPECT_DOUBLE_EQ(charts[2].histogramBoxValues.at("M1"), 0.0);
    // LOD 86.86 (step 2): top 88; the p-value pages 87.16 + 2 -> 89.
    EXPECT_EQ(charts[0].yMax, 88.0);
    EXPECT_EQ(charts[1].yMax, 89.0);
    EXPECT_EQ(charts[1].yTickStep, 5.0);
}

TEST_F(ResultCharts, APValueOfZeroAmongSmallOnesStandsAboveEveryComputableOne) {
    // L2 - L3 = 400 makes "Linkage|LD" 0; the other tests are modest.
    records.addMarker(results, "M1", 2, 100.0, 100.0, 480.0, 80.0);
    records.addMarker(results, "M2", 2, 100.0, 98.0, 100.0, 98.0);
    const std::vector<PostScriptPage> charts = pages();
    EXPECT_EQ(charts[4].histogramBoxValues.at("M1"), VTResults::zeroPValueHeight);
    // The smallest p-value above 0 of a one-degree test, at a deviate of 12,
    // stands below it.
    EXPECT_LT(-std::log10(0.5 * chipr(144.0, 1)), VTResults::zeroPValueHeight);
    EXPECT_LT(charts[5].histogramBoxValues.at("M1"), 10.0);
    for (std::size_t i = 1; i < charts.size(); ++i) {
        EXPECT_TRUE(std::isfinite(charts[i].yMax));
        EXPECT_GE(charts[i].yMax, VTResults::zeroPValueHeight) << "page " << i + 1;
    }
}

struct NameCase {
    std::string name;
    std::string prefix;
    std::string phenotype;
    std::string model;
    std::string file;
};

void PrintTo(const NameCase& value, std::ostream* out) {
    *out << value.name;
}

class ChartFileName : public testing::TestWithParam<NameCase> {};

TEST_P(ChartFileName, PrefixPhenotypeAndModel) {
    VTResults results;
    results.outputPrefix = GetParam().prefix;
    results.setPhenotypeName(GetParam().phenotype);
    results.setName(GetParam().model);
    EXPECT_EQ(results.chartFileName(), GetParam().file);
}

const NameCase nameCases[] = {
    {"AffectionStatus", "vantrel", "DISEASE_LOCUS", "Dominant", "vantrel_dominant.ps"},
    {"ModelBased", "vantrel", "DISEASE_LOCUS", "Model-based", "vantrel_model-based.ps"},
    {"PhenotypeInLowerCase", "run1", "Asthma", "Recessive", "run1_asthma_recessive.ps"},
    // Only the exact name is the affection status.
    {"AffectionStatusInLowerCase", "Run", "disease_locus", "Dominant",
     "Run_disease_locus_dominant.ps"},
    {"PrefixInAFolder", "out/Run", "DISEASE_LOCUS", "Recessive", "out/Run_recessive.ps"},
};

INSTANTIATE_TEST_SUITE_P(VTResults, ChartFileName, testing::ValuesIn(nameCases),
                         [](const testing::TestParamInfo<NameCase>& info) {
                             return info.param.name;
                         });

TEST_F(ResultCharts, TheChartFileRendersAllSixPages) {
    records.addMarker(results, "M1", 2, 60.0, 50.0, 60.0, 50.0);
    records.addMarker(results, "M(2)", 3, 1000.0, 600.0, 1000.0, 600.0);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(results.writeGraphs());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Dominant graphical PostScript output file is 'run_dominant.ps'\n");
    fs::create_directory("png");
    EXPECT_TRUE(test_support::renderPostScript("run_dominant.ps", "png"));
    EXPECT_EQ(test_support::renderedPageCount("png"), 6);
}

TEST_F(ResultCharts, AFileThatCannotBeWrittenIsAnError) {
    records.addMarker(results, "M1", 2, 60.0, 50.0, 60.0, 50.0);
    results.outputPrefix = "no/such/folder/run";
    testing::internal::CaptureStdout();
    EXPECT_FALSE(results.writeGraphs());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error: Unable to write the chart file no/such/folder/run_dominant.ps!\n");
}

TEST_F(ResultCharts, ANameWithASlashIsRefused) {
    fs::create_directory("run_a");
    records.addMarker(results, "M1", 2, 60.0, 50.0, 60.0, 50.0);
    results.setPhenotypeName("a/b");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(results.writeGraphs());
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed.rfind("Error: The Dominant chart of phenotype a/b is not written", 0), 0u)
        << printed;
    EXPECT_TRUE(fs::is_empty("run_a"));
}

}  // namespace
