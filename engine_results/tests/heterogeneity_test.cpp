#include "heterogeneity.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "fastlink_likelihoods.h"

namespace {

TEST(AdmixtureGridTest, HasOneHundredAndOneProportionsEndingExactlyAtOne) {
    EXPECT_EQ(admixtureProportionCount, 101);
    EXPECT_EQ(admixtureProportion(0), 0.0);
    EXPECT_EQ(admixtureProportion(100), 1.0);
    EXPECT_EQ(admixtureProportionLabel(0), "0");
    EXPECT_EQ(admixtureProportionLabel(7), "0.07");
    EXPECT_EQ(admixtureProportionLabel(50), "0.5");
    EXPECT_EQ(admixtureProportionLabel(100), "1");
    for (int k = 1; k < admixtureProportionCount; ++k) {
        EXPECT_LT(admixtureProportion(k - 1), admixtureProportion(k));
    }
}

struct TermCase {
    const char* name;
    double lod;
    double alpha;
    double expected;
};

void PrintTo(const TermCase& term, std::ostream* out) {
    *out << term.name;
}

class HeterogeneityTermTest : public ::testing::TestWithParam<TermCase> {};

TEST_P(HeterogeneityTermTest, MatchesTheClosedForm) {
    const TermCase& term = GetParam();
    const double got = heterogeneityTerm(term.lod, term.alpha);
    ASSERT_TRUE(std::isfinite(got));
    EXPECT_NEAR(got, term.expected, 1e-12 * std::max(1.0, std::fabs(term.expected)));
}

INSTANTIATE_TEST_SUITE_P(
    Terms, HeterogeneityTermTest,
    ::testing::Values(
        // log10(0.5 * 10 + 0.5)
        TermCase{"LodOneHalfLinked", 1.0, 0.5, std::log10(5.5)},
        TermCase{"LodOneAllLinked", 1.0, 1.0, 1.0}, TermCase{"AnyLodNoneLinked", 5.0, 0.0, 0.0},
        TermCase{"LodZeroAddsNothing", 0.0, 0.37, 0.0},
        TermCase{"NegativeLod", -2.0, 0.3, std::log10(0.3 * 0.01 + 0.7)},
        // Below about -15 a sum of 0.01 steps made 1 - alpha negative and the
        // term NaN; at alpha 1 the family's LOD stands as it is.
        TermCase{"VeryNegativeLodAllLinked", -20.0, 1.0, -20.0},
        TermCase{"InconsistentPedigreeAllLinked", -4.3e19, 1.0, -4.3e19},
        TermCase{"UnderflowingLodHalfLinked", -400.0, 0.5, std::log10(0.5)},
        // 10^400 overflows a double; the term does not.
        TermCase{"OverflowingLodHalfLinked", 400.0, 0.5, 400.0 + std::log10(0.5)}),
    [](const auto& info) { return info.param.name; });

// A marker without linkage information (every LOD 0) must keep its best
// point at alpha 0: no rounding may lift a grid point above 0.
TEST(HeterogeneityLodTest, LodsOfZeroGiveExactlyZeroAtEveryProportion) {
    for (int k = 0; k < admixtureProportionCount; ++k) {
        EXPECT_EQ(heterogeneityLod({0.0, 0.0, 0.0}, admixtureProportion(k)), 0.0) << k;
    }
}

TEST(HeterogeneityLodTest, SumsTheFamiliesAndLeavesMissingOnesOut) {
    const double expected = std::log10(0.25 * 100 + 0.75) + std::log10(0.25 * 0.1 + 0.75);
    EXPECT_NEAR(heterogeneityLod({2.0, std::nullopt, -1.0}, 0.25), expected, 1e-12);
    EXPECT_EQ(heterogeneityLod({std::nullopt}, 0.5), 0.0);
    EXPECT_EQ(heterogeneityLod({}, 0.5), 0.0);
    EXPECT_DOUBLE_EQ(heterogeneityLod({2.0, -1.0}, 1.0), 1.0);
}

TEST(HeterogeneityLodTest, PedigreesComeInIntegerOrder) {
    FastlinkLikelihoods point(0.1);
    for (const char* id : {"10", "2", "1"}) {
        point.addLikelihood(id, 0.0, 0.0, 0.0);
    }
    EXPECT_EQ(pedigreeIdsInNumericOrder(point), (std::vector<std::string>{"1", "2", "10"}));
}

}  // namespace
