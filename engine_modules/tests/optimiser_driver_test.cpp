// The bounded search alone, and driving the stand-in engine through
// the bridge, whose optimum is known in closed form.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "engine_standin.h"
#include "optimiser_driver.h"
#include "standin_likelihood.h"

namespace {

TEST(BoundedSearch, NeverTakesARejectedPointAndGetsToTheBarrier) {
    // Minimum of the unconstrained quadratic at (2, 0.9): outside x <= 1;
    // points with x + y > 1.5 are infeasible.
    int infeasibleSeen = 0;
    const SearchObjective objective = [&](const std::vector<double>& p, double* value) {
        if (p[0] + p[1] > 1.5) {
            ++infeasibleSeen;
            return false;
        }
        *value = (p[0] - 2) * (p[0] - 2) + (p[1] - 0.9) * (p[1] - 0.9);
        return true;
    };
    const SearchResult result =
        boundedSearch(objective, {0.2, 0.2}, {0.0, 0.0}, {1.0, 1.0}, {true, true});
    ASSERT_TRUE(result.feasible);
    EXPECT_GT(infeasibleSeen, 0);
    EXPECT_LE(result.point[0] + result.point[1], 1.5);
    double there = 0.0;
    ASSERT_TRUE(objective(result.point, &there));
    EXPECT_EQ(result.value, there) << "the value belongs to the point reported";
    // On the barrier x + y = 1.5 the nearest point to (2, 0.9) is (1, 0.5),
    // with 1.16; a model-based method gets close to a wall it cannot model.
    EXPECT_NEAR(result.point[0], 1.0, 1e-6);
    EXPECT_NEAR(result.value, 1.16, 1e-4);
    EXPECT_GT(result.iterations, 1) << "a run that met rejected points is restarted";
    EXPECT_GT(result.evaluations, result.iterations);
}

TEST(BoundedSearch, FixedEntriesKeepTheirStartValue) {
    const SearchObjective objective = [](const std::vector<double>& p, double* value) {
        *value = std::pow(p[0] - 0.3, 2) + std::pow(p[1] - 0.1, 2);
        return true;
    };
    // A fixed entry on its bound, and one outside it (a fixed distance
    // ratio of 2 under the fractions' bound of 0.5).
    for (const double fixed : {0.5, 2.0}) {
        const SearchResult result =
            boundedSearch(objective, {fixed, 0.5}, {0.0, 0.0}, {0.5, 1.0}, {false, true});
        EXPECT_EQ(result.point[0], fixed);
        EXPECT_NEAR(result.point[1], 0.1, 1e-7);
    }
}

TEST(BoundedSearch, ACorrelatedValleyIsFollowedToItsMinimum) {
    // A narrow diagonal valley: coordinate steps alone crawl along it.
    const SearchObjective objective = [](const std::vector<double>& p, double* value) {
        const double along = p[0] + p[1] - 0.8, across = p[0] - p[1] - 0.2;
        *value = along * along + 1000.0 * across * across;
        return true;
    };
    const SearchResult result =
        boundedSearch(objective, {0.0, 0.0}, {0.0, 0.0}, {1.0, 1.0}, {true, true});
    EXPECT_NEAR(result.point[0], 0.5, 1e-5);
    EXPECT_NEAR(result.point[1], 0.3, 1e-5);
    EXPECT_LT(result.value, 1e-10);
}

TEST(BoundedSearch, EveryCoordinateIsLocatedWhateverItsFirstStep) {
    // Binomial -2 ln L of three proportions, at their maximum at 0.3, 0.2
    // and 0.6. A start near a bound gets a first step far smaller than the
    // others; that must not loosen where the others end.
    const std::vector<double> hat = {0.3, 0.2, 0.6};
    const SearchObjective objective = [&hat](const std::vector<double>& p, double* value) {
        *value = 0.0;
        for (std::size_t k = 0; k < p.size(); ++k)
            *value -= 2000.0 * (hat[k] * std::log(p[k]) + (1 - hat[k]) * std::log(1 - p[k]));
        return true;
    };
    const SearchResult result = boundedSearch(objective, {0.5, 2e-6, 0.5}, {1e-12, 1e-12, 1e-12},
                                              {0.9, 0.9, 0.9}, {true, true, true});
    for (std::size_t k = 0; k < hat.size(); ++k)
        EXPECT_NEAR(result.point[k], hat[k], 1e-6) << "coordinate " << k;
}

TEST(BoundedSearch, NoFeasiblePointIsReported) {
    const SearchObjective objective = [](const std::vector<double>&, double*) { return false; };
    SearchSettings settings;
    settings.maximumEvaluations = 500;
    const SearchResult result = boundedSearch(objective, {0.5}, {0.0}, {1.0}, {true}, settings);
    EXPECT_FALSE(result.feasible);
    EXPECT_LE(result.evaluations, 500);
}

// Two loci: the fraction, then three estimated frequencies of the marker.
void setUpStandinRun(double startTheta, int thetaIterated) {
    standinReset(2, 3, 2);
    standinSetLocus(2, 4);
    standinModel.recombinants = 3;
    standinModel.meioses = 20;
    standinModel.alleleCounts = {10, 30, 20, 40};
    nall = 4;
    const double start[] = {startTheta, 0.25, 0.25, 0.25};
    std::copy(start, start + 4, xall);
    std::fill(itp, itp + nall, 1);
    itp[0] = thetaIterated;
}

TEST(NomadMaximise, ReachesTheMaximumLikelihoodEstimates) {
    setUpStandinRun(0.05, 1);
    testing::internal::CaptureStdout();
    nomad_maximise();
    testing::internal::GetCapturedStdout();
    // theta = 3/20; frequencies = counts / 100.
    EXPECT_NEAR(outsavex[0], 0.15, 1e-5);
    EXPECT_NEAR(outsavex[1], 0.10, 1e-5);
    EXPECT_NEAR(outsavex[2], 0.30, 1e-5);
    EXPECT_NEAR(outsavex[3], 0.20, 1e-5);
    EXPECT_NEAR(f, standinMinus2LnLike(0.15, {0.1, 0.3, 0.2, 0.4}), 1e-6);
    EXPECT_EQ(outsavefvalue, f);
    EXPECT_GT(nfe, nit);
    // The engine is left at the optimum, not at the last point polled.
    EXPECT_NEAR(maletheta->fractions[0], 0.15, 1e-5);
    EXPECT_NEAR(standinModel.frequencies[3], 0.40, 1e-5);
    EXPECT_EQ(xall[0], outsavex[0]);
}

TEST(NomadMaximise, AFractionThatIsNotIteratedStaysAtItsStartValue) {
    setUpStandinRun(0.5, 0);
    testing::internal::CaptureStdout();
    nomad_maximise();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(xall[0], 0.5);
    EXPECT_EQ(maletheta->fractions[0], 0.5);
    EXPECT_NEAR(outsavex[0], 0.10, 1e-5) << "only the iterated entries are saved";
    EXPECT_NEAR(f, standinMinus2LnLike(0.5, {0.1, 0.3, 0.2, 0.4}), 1e-6);
}

TEST(NomadMaximiseDeathTest, NoAdmissibleStartEndsTheRun) {
    // Interference on the logistic scale with every value in [0, 0.5]: each
    // class probability is at least 1 / (1 + e^0.5), so c4 is always < 0.
    standinReset(3);
    interfer = 1;
    nall = 3;
    std::fill(itp, itp + nall, 1);
    EXPECT_EXIT(nomad_maximise(), testing::ExitedWithCode(1), "no admissible parameter values");
}

}  // namespace
