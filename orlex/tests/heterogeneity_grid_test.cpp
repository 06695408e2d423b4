// MLink::maximizeHLod on results built by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "mlink.h"
#include "mlink_builder.h"
#include "pedigrees.h"

namespace {

class HeterogeneityGridTest : public ::testing::Test {
  protected:
    Pedigrees store;
    MLink mlink{&store};

    void SetUp() override {
        mlink.analysisType = "basic";
        mlink.selectedPhenotypes = {"DISEASE"};
    }
};

TEST_F(HeterogeneityGridTest, OnePedigreeOfLodOneGivesLog10OfFiveAndAHalfAtOneHalf) {
    mlink.results = {{buildMarker(mlink, "M", {0.5, 0.1}, {{0.0}, {1.0}})}};
    testing::internal::CaptureStdout();
    mlink.maximizeHLod();
    const std::string output = testing::internal::GetCapturedStdout();

    ASSERT_EQ(mlink.hlodGrid.size(), 1u);
    ASSERT_EQ(mlink.hlodGrid[0][0].size(), 1u);  // the first block takes no part
    const std::vector<MLinkHLod>& row = mlink.hlodGrid[0][0][0];
    ASSERT_EQ(row.size(), 101u);
    EXPECT_EQ(row[0].hlod, 0.0);
    EXPECT_DOUBLE_EQ(row[50].alpha, 0.5);
    EXPECT_NEAR(row[50].hlod, std::log10(5.5), 1e-12);
    EXPECT_EQ(row[100].alpha, 1.0);
    EXPECT_NEAR(row[100].hlod, 1.0, 1e-12);
    EXPECT_DOUBLE_EQ(row[100].theta, 0.1);
    EXPECT_EQ(mlink.bestHlods[0][0].alpha, 1.0);
    EXPECT_EQ(mlink.thetaLabels, std::vector<std::string>{"0.1"});
    ASSERT_EQ(mlink.alphaLabels.size(), 101u);
    EXPECT_EQ(mlink.alphaLabels[1], "0.01");
    EXPECT_EQ(mlink.alphaLabels[100], "1");
    EXPECT_EQ(mlink.hlodPhenotypes, std::vector<std::string>{"DISEASE"});
    EXPECT_NE(output.find("\nParametric linkage analysis under heterogeneity\n"
                          "Phenotype: DISEASE\n"
                          "              Marker       LodHet     Theta     Alpha\n"
                          "                   M     1.000000      0.10      1.00\n\n\n"),
              std::string::npos)
        << output;
}

// At alpha 1 a very negative family LOD must stand as it is: a running sum
// of 0.01 steps ends above 1 and gave NaN there.
TEST_F(HeterogeneityGridTest, LastProportionGivesTheHomogeneousLodEvenForVeryNegativeLods) {
    mlink.results = {{buildMarker(mlink, "M", {0.5, 0.0}, {{0.0, 0.0}, {0.903088, -999.999999}})}};
    testing::internal::CaptureStdout();
    mlink.maximizeHLod();
    testing::internal::GetCapturedStdout();
    const std::vector<MLinkHLod>& row = mlink.hlodGrid[0][0][0];
    EXPECT_NEAR(row[100].hlod, 0.903088 - 999.999999, 1e-9);
    for (const MLinkHLod& point : row) {
        EXPECT_TRUE(std::isfinite(point.hlod)) << point.alpha;
    }
}

TEST_F(HeterogeneityGridTest, NegativeLodsKeepTheBestAtTheOriginAndTheEarliestTieWins) {
    mlink.results = {{buildMarker(mlink, "Neg", {0.5, 0.0, 0.1}, {{0}, {-2.0}, {-0.5}}),
                      buildMarker(mlink, "Tie", {0.5, 0.0, 0.1}, {{0}, {1.0}, {1.0}})}};
    testing::internal::CaptureStdout();
    mlink.maximizeHLod();
    testing::internal::GetCapturedStdout();
    const MLinkHLod& negative = mlink.bestHlods[0][0];
    EXPECT_EQ(negative.theta, 0.0);
    EXPECT_EQ(negative.alpha, 0.0);
    EXPECT_EQ(negative.hlod, 0.0);
    EXPECT_EQ(mlink.bestHlods[0][1].theta, 0.0);  // theta 0.1 only ties
    EXPECT_EQ(mlink.bestHlods[0][1].alpha, 1.0);
}

TEST_F(HeterogeneityGridTest, FirstMarkerWithOneBlockLeavesTheLabelsEmpty) {
    mlink.results = {{buildMarker(mlink, "One", {0.5}, {{1.0}}),
                      buildMarker(mlink, "Two", {0.5, 0.2}, {{0.0}, {1.0}})}};
    testing::internal::CaptureStdout();
    mlink.maximizeHLod();
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(mlink.thetaLabels.empty());
    EXPECT_TRUE(mlink.alphaLabels.empty());
    EXPECT_TRUE(mlink.hlodGrid[0][0].empty());
    EXPECT_EQ(mlink.hlodGrid[0][1].size(), 1u);
    EXPECT_EQ(mlink.bestHlods[0][0].hlod, 0.0);
}

}  // namespace
