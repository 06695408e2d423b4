// Heterogeneity rows and LOD curve pages of the multipoint analysis, on
// windows of runs built by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "linkmap.h"
#include "marker_map.h"
#include "postscript.h"

namespace {

// One evaluation: its thetas, its -2 ln(like) and the ln likelihood of each
// pedigree (ids "1", "2", ... in that order; NaN leaves the pedigree out).
struct Evaluation {
    std::vector<double> thetas;
    double minus2LnLike;
    std::vector<double> lnLikes;
};

class Window {
  public:
    // Positions 0 .. markers, each with its evaluations.
    Window(int markers, const std::vector<std::vector<Evaluation>>& positions,
           double reference = 100.0) {
        for (size_t t = 0; t < positions.size(); ++t) {
            auto run = std::make_unique<LinkmapLikelihoods>();
            run->traitPosition = static_cast<int>(t);
            run->numberOfLoci = markers + 1;
            for (int m = 1; m <= markers; ++m) {
                run->markerNames.push_back("M" + std::to_string(m));
            }
            run->nullMinus2LnLike = reference;
            for (const Evaluation& evaluation : positions[t]) {
                auto point = std::make_unique<FastlinkLikelihoods>();
                point->thetas = evaluation.thetas;
                point->setMinus2LnLike(evaluation.minus2LnLike);
                for (size_t p = 0; p < evaluation.lnLikes.size(); ++p) {
                    if (!std::isnan(evaluation.lnLikes[p])) {
                        point->addLikelihood(std::to_string(p + 1), evaluation.lnLikes[p], 0.0,
                                             -99.0);
                    }
                }
                run->evaluations.push_back(std::move(point));
            }
            pointers.push_back(run.get());
            runs.push_back(std::move(run));
        }
    }

    std::vector<LinkmapLikelihoods*> pointers;

  private:
    std::vector<std::unique_ptr<LinkmapLikelihoods>> runs;
};

// An evaluation of a two-marker window with the trait x cM past M1 (Haldane)
// whose LOD against a reference of 100 is lod.
Evaluation atDistance(double x, double lod) {
    const double theta = HaldaneCentiMorganToRecombinationFraction(x);
    return {{theta, 0.1 - theta}, 100.0 - lod * twoLn10, {}};
}

struct AxisCase {
    const char* label;
    std::vector<double> lods;  // of the interior points, 0.5 cM apart
    double lastX;
    double yMin;
    double yMax;
    double xTickStep;
};

void PrintTo(const AxisCase& axis, std::ostream* out) {
    *out << axis.label;
}

class CurvePageAxes : public ::testing::TestWithParam<AxisCase> {};

TEST_P(CurvePageAxes, FollowTheLodsAndTheLastPosition) {
    const AxisCase& axis = GetParam();
    std::vector<Evaluation> interior;
    for (size_t i = 0; i < axis.lods.size(); ++i) {
        const double x = axis.lastX - 0.5 * static_cast<double>(axis.lods.size() - 1 - i);
        interior.push_back(atDistance(x, axis.lods[i]));
    }
    const Window window(2, {{atDistance(0.0, 9.0)}, interior, {atDistance(0.0, -9.0)}});
    const std::unique_ptr<PostScriptPage> page(multipointCurvePage(window.pointers, true));
    EXPECT_EQ(page->curveYValues.size(), axis.lods.size());
    EXPECT_DOUBLE_EQ(page->yMin, axis.yMin);
    EXPECT_DOUBLE_EQ(page->yMax, axis.yMax);
    EXPECT_DOUBLE_EQ(page->xTickStep, axis.xTickStep);
    EXPECT_NEAR(page->xMax, axis.lastX, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Multipoint, CurvePageAxes,
    ::testing::Values(AxisCase{"LodsBetweenPointOneAndTwoPointFive", {0.1, 2.5}, 1.5, -2, 3, 0.1},
                      AxisCase{"SmallestMinusOnePointFive", {-1.5, 1.0}, 12.0, -2, 3, 1.0},
                      AxisCase{"SmallestZeroLargestFourPointTwo", {0.0, 4.2}, 5.0, -1, 5, 0.5}),
    [](const ::testing::TestParamInfo<AxisCase>& info) { return info.param.label; });

TEST(MultipointCurvePage, InteriorPositionsFollowOneAnotherAlongTheWindow) {
    // Three markers 0.1 and 0.2 apart (as fractions); five evaluations per
    // interval.
    std::vector<std::vector<Evaluation>> positions(4);
    for (int step = 0; step < 5; ++step) {
        const double a = 0.1 * step / 4;
        const double b = 0.2 * step / 4;
        positions[0].push_back({{0.5 - 0.1 * step, 0.1, 0.2}, 100.0, {}});
        positions[1].push_back({{a, 0.1 - a, 0.2}, 100.0 - step, {}});
        positions[2].push_back({{0.1, b, 0.2 - b}, 100.0 - 2 * step, {}});
        positions[3].push_back({{0.1, 0.2, 0.1 * step}, 100.0, {}});
    }
    const Window window(3, positions);
    for (const bool haldane : {true, false}) {
        const std::unique_ptr<PostScriptPage> page(multipointCurvePage(window.pointers, haldane));
        const auto cM = [haldane](double theta) {
            return haldane ? RecombinationFractionToHaldaneCentiMorgan(theta)
                           : RecombinationFractionToKosambiCentiMorgan(theta);
        };
        ASSERT_EQ(page->curveXValues.size(), 10u);
        EXPECT_DOUBLE_EQ(page->curveXValues[0], 0.0);
        EXPECT_DOUBLE_EQ(page->curveXValues[4], cM(0.1));
        // The second interval starts where the first ended.
        EXPECT_DOUBLE_EQ(page->curveXValues[5], cM(0.1));
        EXPECT_DOUBLE_EQ(page->curveXValues[9], cM(0.1) + cM(0.2));
        EXPECT_DOUBLE_EQ(page->curveYValues[9], 8.0 / twoLn10);
        EXPECT_DOUBLE_EQ(page->xMax, cM(0.1) + cM(0.2));
        // Every x is marked once; a repeated x would hide all marks.
        EXPECT_EQ(page->markerNames.size(), 9u);
        EXPECT_EQ(page->markerPositions.size(), page->markerNames.size());
    }
}

// Reference ln likelihoods of pedigrees 1 and 2: -10 and -20.
TEST(MultipointHeterogeneity, RowsHoldEveryAlphaOfEveryEvaluationFromTheFamilyLods) {
    const double ln10 = std::log(10.0);
    const auto family = [ln10](double lod1, double lod2) {
        return std::vector<double>{-10.0 + lod1 * ln10, -20.0 + lod2 * ln10};
    };
    std::vector<std::vector<Evaluation>> positions(4);
    for (int step = 0; step < 5; ++step) {
        positions[0].push_back({{0.5, 0.1, 0.1}, 100.0, family(0.1 * step, -0.5 * step)});
        positions[1].push_back({{0.0, 0.1, 0.1}, 100.0, family(1.0, -1.0)});
        positions[2].push_back({{0.1, 0.0, 0.1}, 100.0, family(2.0, NAN)});
        // The trait-last run measures each family from its own last
        // evaluation (1.1 and 0.3 above the window's first).
        positions[3].push_back({{0.1, 0.1, 0.0}, 100.0, family(0.3 + 0.2 * step, 0.3)});
    }
    Linkmap linkmap(nullptr);
    linkmap.windowSize = 3;
    const Window window(3, positions);
    linkmap.phenotypes = {"P"};
    linkmap.windowKeys["P"] = {"M1 M2 M3 "};
    linkmap.results["P"]["M1 M2 M3 "] = window.pointers;
    linkmap.countHLods();

    ASSERT_EQ(linkmap.alphaLabels.size(), 101u);
    EXPECT_EQ(linkmap.alphaLabels[1], "0.01");
    EXPECT_EQ(linkmap.alphaLabels[100], "1");
    ASSERT_EQ(linkmap.hlods.size(), 1u);
    ASSERT_EQ(linkmap.hlods[0].size(), 1u);
    const auto& rows = linkmap.hlods[0][0];
    ASSERT_EQ(rows.size(), 20u);
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 101u);
        EXPECT_DOUBLE_EQ(row[0].hlod, 0.0);
        EXPECT_DOUBLE_EQ(row[100].alpha, 1.0);
    }
    // Numbered across the evaluations of a position, from 1 at each position.
    EXPECT_EQ(rows[0][0].index, 1);
    EXPECT_EQ(rows[4][100].index, 505);
    EXPECT_EQ(rows[5][0].index, 1);

    EXPECT_NEAR(rows[2][100].hlod, 0.2 - 1.0, 1e-12);
    EXPECT_NEAR(rows[5][100].hlod, 0.0, 1e-12);
    EXPECT_NEAR(rows[5][50].hlod, std::log10(0.5 * 10.0 + 0.5) + std::log10(0.5 * 0.1 + 0.5),
                1e-12);
    // A pedigree without a record adds nothing.
    EXPECT_NEAR(rows[10][100].hlod, 2.0, 1e-12);
    EXPECT_NEAR(rows[10][30].hlod, std::log10(0.3 * 100.0 + 0.7), 1e-12);
    EXPECT_NEAR(rows[15][100].hlod, 0.3 - 1.1, 1e-12);
    EXPECT_NEAR(rows[19][100].hlod, 0.0, 1e-12);
}

}  // namespace
