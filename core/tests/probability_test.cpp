#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "utilities.h"

namespace {

// The rational approximation with its rounded constants is off by up to
// about 1.2e-5.
TEST(PnormTest, MatchesTheNormalTailWithinTheApproximationError) {
    const struct {
        double z;
        double tail;
    } cases[] = {
        {0.0, 0.5},           {1.0, 0.158655254},  {1.96, 0.0249978952}, {3.0, 0.001349898},
        {-1.96, 0.975002105}, {-0.5, 0.691462461}, {5.0, 2.86652e-7},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(pnorm(c.z), c.tail, 1.5e-5) << c.z;
    }
}

TEST(PnormTest, IsSymmetricAndCutOffBeyondTwelve) {
    for (const double z : {0.1, 0.7, 1.5, 2.5, 4.0, 11.9}) {
        EXPECT_DOUBLE_EQ(pnorm(-z), 1.0 - pnorm(z)) << z;
    }
    EXPECT_GT(pnorm(12.0), 0.0);
    EXPECT_EQ(pnorm(12.5), 0.0);
    EXPECT_EQ(pnorm(-12.5), 1.0);
}

// Upper tails at the usual table quantiles and, for large statistics, the
// regularised upper incomplete gamma function computed to 30 digits.
TEST(ChiprTest, MatchesTheChiSquareTail) {
    const struct {
        double x;
        int df;
        double tail;
        double tolerance;
    } cases[] = {
        // One degree of freedom rests on the normal approximation (doubled error).
        {3.841459, 1, 0.05, 3e-5},
        {6.634897, 1, 0.01, 3e-5},
        {10.827566, 1, 0.001, 3e-5},
        {0.4549364, 1, 0.5, 3e-5},
        {5.991465, 2, 0.05, 1e-7},
        {13.815511, 2, 0.001, 1e-8},
        {7.814728, 3, 0.05, 1e-7},
        {11.344867, 3, 0.01, 1e-7},
        {2.365974, 3, 0.5, 1e-7},
        {0.3518463, 3, 0.95, 1e-7},
        {18.307038, 10, 0.05, 1e-7},
        {23.209251, 10, 0.01, 1e-7},
        {9.341818, 10, 0.5, 1e-7},
        {3.940299, 10, 0.95, 1e-7},
        {0.1, 7, 0.999997688581, 1e-9},
        {124.342, 100, 0.05000071577, 1e-9},
        {135.807, 100, 0.00999957372925, 1e-9},
        {1100.0, 1000, 0.0146144081263, 1e-9},
        {1600.0, 2000, 0.999999999994, 1e-9},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(chipr(c.x, c.df), c.tail, c.tolerance) << "x " << c.x << " df " << c.df;
    }
}

TEST(ChiprTest, TinyTailsOfLargeStatisticsKeepTheirRelativeAccuracy) {
    const struct {
        double x;
        int df;
        double tail;
    } cases[] = {
        {200.0, 3, 4.21854110719e-43},
        {200.0, 10, 1.6139305337e-37},
        {400.0, 11, 6.11947921089e-79},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(chipr(c.x, c.df) / c.tail, 1.0, 1e-9) << "x " << c.x << " df " << c.df;
    }
}

TEST(ChiprTest, ClosedFormsOfSmallDegreesOfFreedom) {
    for (const double x : {0.01, 0.5, 3.0, 40.0, 168.9, 169.0, 170.0, 400.0, 1400.0}) {
        EXPECT_DOUBLE_EQ(chipr(x, 2), std::exp(-x / 2)) << x;
        EXPECT_NEAR(chipr(x, 4) / (std::exp(-x / 2) * (1 + x / 2)), 1.0, 1e-12) << x;
        const double s = std::sqrt(x);
        const double df3 = std::erfc(s / std::sqrt(2.0)) +
                           2 * s * std::exp(-x / 2) / std::sqrt(2 * std::acos(-1.0));
        EXPECT_NEAR(chipr(x, 3) / df3, 1.0, 1e-12) << x;
    }
}

TEST(ChiprTest, NoStatisticOrNoDegreesOfFreedomGiveOne) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const int df : {1, 2, 3, 10}) {
        EXPECT_EQ(chipr(0.0, df), 1.0);
        EXPECT_EQ(chipr(-1.0, df), 1.0);
        EXPECT_EQ(chipr(nan, df), 1.0);
    }
    for (const double x : {0.5, 3.84, 1000.0}) {
        EXPECT_EQ(chipr(x, 0), 1.0);
        EXPECT_EQ(chipr(x, -2), 1.0);
    }
}

TEST(ChiprTest, VanishesForHugeStatistics) {
    EXPECT_EQ(chipr(150.0, 1), 0.0);
    const double inf = std::numeric_limits<double>::infinity();
    for (const int df : {1, 2, 3, 10}) {
        EXPECT_EQ(chipr(inf, df), 0.0) << df;
        EXPECT_EQ(chipr(1e6, df), 0.0) << df;
    }
}

// A tail never rises with the statistic and never leaves [0, 1]: not for
// small statistics with many odd degrees of freedom, and not across 169.
TEST(ChiprTest, IsMonotoneAndWithinTheUnitInterval) {
    std::vector<double> xs;
    for (int i = 1; i <= 60000; ++i) {
        xs.push_back(i * 1e-4);
    }
    for (double x = 6.0; x < 3000.0; x *= 1.01) {
        xs.push_back(x);
    }
    for (int i = -100; i <= 100; ++i) {
        xs.push_back(169.0 + i * 0.01);
    }
    std::sort(xs.begin(), xs.end());
    for (const int df : {1, 2, 3, 4, 7, 11, 21, 51, 200, 1001}) {
        double previous = 1.0;
        for (const double x : xs) {
            const double tail = chipr(x, df);
            ASSERT_GE(tail, 0.0) << "x " << x << " df " << df;
            ASSERT_LE(tail, previous) << "x " << x << " df " << df;
            previous = tail;
        }
    }
}

TEST(GetRandomTest, SeedsOnceAndDividesByTheGeneratorsLargestValue) {
    getRandom();  // the first call seeds from the clock
    std::srand(7);
    std::vector<int> expected;
    for (int i = 0; i < 5; ++i) {
        expected.push_back(std::rand());
    }
    std::srand(7);
    for (const int value : expected) {
        EXPECT_DOUBLE_EQ(getRandom(), static_cast<double>(value) / RAND_MAX);
    }
}

TEST(GetRandomTest, DrawsUniformlyFromTheUnitInterval) {
    const int draws = 20000;
    double sum = 0.0;
    int below = 0;
    for (int i = 0; i < draws; ++i) {
        const double u = getRandom();
        ASSERT_GE(u, 0.0);
        ASSERT_LE(u, 1.0);
        sum += u;
        below += u < 0.25 ? 1 : 0;
    }
    EXPECT_NEAR(sum / draws, 0.5, 0.01);
    EXPECT_NEAR(static_cast<double>(below) / draws, 0.25, 0.015);
}

}  // namespace
