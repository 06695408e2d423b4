// The bridge over the stand-in engine, whose likelihood is a binomial in
// the first male fraction times multinomials in the estimated frequencies.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine_standin.h"
#include "ilink_nomad_bridge.h"
#include "standin_likelihood.h"

namespace {

TEST(SwapProbs, WritesTheComplementOrMarksTheBlockInfeasible) {
    struct Case {
        std::vector<double> values;
        int index;
        std::vector<double> expected;
        int infeasible;
    };
    const std::vector<Case> cases = {
        {{0.2, 0.3, 0.1}, 1, {0.2, 0.4, 0.1}, 0},  // 1 - (0.2 + 0.3 + 0.1) = 0.4
        {{0.2, 0.3, 0.1}, 3, {0.2, 0.3, 0.1}, 0},  // the implicit allele: nothing written
        {{0.6, 0.3, 0.2}, 0, {0.0, 0.3, 0.2}, 1},
        {{0.6, 0.3, 0.2}, 3, {0.6, 0.3, 0.2}, 1},  // infeasible even when nothing is written
    };
    for (Case c : cases) {
        const int result = swap_probs(c.values.data(), static_cast<int>(c.values.size()), c.index);
        EXPECT_EQ(result, c.infeasible) << "index " << c.index;
        for (std::size_t k = 0; k < c.values.size(); ++k)
            EXPECT_NEAR(c.values[k], c.expected[k], 1e-15) << "index " << c.index;
    }
}

TEST(ChooseLargestProb, FirstOfEqualMaximaOrTheImplicitAllele) {
    struct Case {
        std::vector<double> values;
        int expected;
    };
    const std::vector<Case> cases = {
        {{0.25, 0.25, 0.25}, 0},  // a tie of three; the implicit 0.25 is not larger
        {{0.1, 0.4, 0.4}, 1},
        {{0.2, 0.1}, 2},  // the implicit 0.7 is the largest
        {{}, 0},
    };
    for (Case c : cases)
        EXPECT_EQ(choose_largest_prob(c.values.data(), static_cast<int>(c.values.size())),
                  c.expected);
}

// Two loci, the second with `alleles` estimated frequencies after one
// fraction; with `conditional` a second block follows.
void setUpRun(int alleles, bool conditional, const std::vector<double>& parameters) {
    standinReset(2, 3, 2);
    standinSetLocus(2, alleles);
    disfreqs = conditional ? 1 : 0;
    nall = static_cast<int>(parameters.size());
    std::copy(parameters.begin(), parameters.end(), xall);
    std::fill(itp, itp + nall, 1);
}

TEST(SwapAlleles, AppliedTwiceRestoresTheVector) {
    setUpRun(4, true, {0.05, 0.5, 0.2, 0.1, 0.1, 0.3, 0.25});
    std::vector<double> start(7), lower(7), upper(7);
    nomad_get_startx(start.data(), lower.data(), upper.data());
    EXPECT_EQ(allele_index, 0);   // 0.5 against the implicit 0.2
    EXPECT_EQ(dallele_index, 3);  // the implicit 0.35 is the largest
    const std::vector<double> optimiserView = start;
    EXPECT_NEAR(optimiserView[1], 0.2, 1e-15) << "the largest allele is now the dependent one";
    EXPECT_EQ(swap_alleles(start.data()), 0);
    EXPECT_EQ(swap_alleles(start.data()), 0);
    for (std::size_t k = 0; k < start.size(); ++k)
        EXPECT_NEAR(start[k], optimiserView[k], 1e-15);
    EXPECT_EQ(swap_alleles(start.data()), 0);
    const std::vector<double> engineView = {0.05, 0.5, 0.2, 0.1, 0.1, 0.3, 0.25};
    for (std::size_t k = 0; k < start.size(); ++k)
        EXPECT_NEAR(start[k], engineView[k], 1e-15);
}

TEST(NomadGetStartx, BoundsFractionsByOneHalfAndFrequenciesByOne) {
    setUpRun(3, false, {0.05, 0.2, 0.3});
    std::vector<double> start(3), lower(3), upper(3);
    nomad_get_startx(start.data(), lower.data(), upper.data());
    EXPECT_EQ(firstFrequency, 1);
    EXPECT_EQ(lastFrequency, 2);
    EXPECT_EQ(allele_index, 2);  // the implicit 0.5: nothing exchanged
    EXPECT_EQ(start, (std::vector<double>{0.05, 0.2, 0.3}));
    EXPECT_EQ(lower, (std::vector<double>{0.0, 0.0, 0.0}));
    EXPECT_EQ(upper, (std::vector<double>{0.5, 1.0, 1.0}));
}

TEST(NomadGetStartx, WithoutFrequenciesEveryParameterIsAFraction) {
    standinReset(3);
    nall = 2;
    xall[0] = 0.1;
    xall[1] = 0.2;
    std::vector<double> start(2), lower(2), upper(2);
    nomad_get_startx(start.data(), lower.data(), upper.data());
    EXPECT_EQ(firstFrequency, 0);
    EXPECT_EQ(allele_index, -1);
    EXPECT_EQ(upper, (std::vector<double>{0.5, 0.5}));
}

TEST(EvalX, EvaluatesAFeasiblePointFromFreshPersonFlags) {
    setUpRun(3, false, {0.05, 0.2, 0.3});
    standinModel.recombinants = 2;
    standinModel.meioses = 10;
    standinModel.alleleCounts = {1, 2, 3};
    std::vector<double> start(3), lower(3), upper(3);
    nomad_get_startx(start.data(), lower.data(), upper.data());
    std::vector<double> point = {0.2, 0.3, 0.25};  // implicit allele 0.45
    double value = 0.0;
    int feasible = -1;
    testing::internal::CaptureStdout();
    EXPECT_EQ(eval_x(&value, point.data(), &feasible), 1);
    eval_x(&value, point.data(), &feasible);
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(feasible, 1);
    EXPECT_NEAR(value, standinMinus2LnLike(0.2, {0.3, 0.25, 0.45}), 1e-12);
    EXPECT_EQ(standinModel.likelihoodCalls, 4);  // two pedigrees, twice
    EXPECT_EQ(standinModel.staleFlagCalls, 0);
    EXPECT_EQ(standinModel.loopFileOpens, 2);
    EXPECT_EQ(standinModel.loopFileCloses, 2);
    EXPECT_EQ(i, nuped + 1);
    EXPECT_NEAR(likebyped[0] + likebyped[1], alike, 1e-12);
    EXPECT_EQ(output, "You may gain efficiency by increasing maxcensor\n")
        << "the censoring note is printed once, at the first evaluation";
    EXPECT_EQ(x[0], 0.2);
    EXPECT_EQ(x[2], 0.25);
}

TEST(EvalX, RejectsAnInfeasiblePointWithoutEvaluatingIt) {
    setUpRun(3, false, {0.05, 0.2, 0.3});
    std::vector<double> start(3), lower(3), upper(3);
    nomad_get_startx(start.data(), lower.data(), upper.data());
    std::vector<double> point = {0.2, 0.7, 0.5};
    double value = 123.0;
    int feasible = -1;
    EXPECT_EQ(eval_x(&value, point.data(), &feasible), 0);
    EXPECT_EQ(feasible, 0);
    EXPECT_EQ(value, 123.0);
    EXPECT_EQ(standinModel.likelihoodCalls, 0);
}

TEST(EvalX, RejectsAPointTheEngineMarksInadmissible) {
    // Interference on the logistic scale: values of 0 are class
    // probabilities of 0.5 each, so the no-crossover class is negative.
    standinReset(3);
    interfer = 1;
    nall = 2;
    std::fill(itp, itp + nall, 1);
    std::vector<double> start(2), lower(2), upper(2);
    nomad_get_startx(start.data(), lower.data(), upper.data());
    std::vector<double> point = {0.0, 0.0};
    double value = 0.0;
    int feasible = -1;
    EXPECT_EQ(eval_x(&value, point.data(), &feasible), 0);
    EXPECT_EQ(feasible, 0);
    EXPECT_EQ(standinModel.likelihoodCalls, 0);
}

TEST(NomadSaveSolution, StoresTheEngineViewOfTheIteratedParameters) {
    setUpRun(3, false, {0.05, 0.6, 0.3});
    itp[0] = 0;  // the fraction is not iterated
    std::vector<double> start(3), lower(3), upper(3);
    nomad_get_startx(start.data(), lower.data(), upper.data());
    ASSERT_EQ(allele_index, 0);
    // Optimiser view: the engine's implicit allele, then allele 2.
    std::vector<double> solution = {0.05, 0.25, 0.15};  // engine view 0.6, 0.15 (implicit 0.25)
    nomad_save_solution(solution.data(), 7, 42, 12.5);
    EXPECT_NEAR(xall[1], 0.6, 1e-15);
    EXPECT_NEAR(outsavex[0], 0.6, 1e-15);
    EXPECT_NEAR(outsavex[1], 0.15, 1e-15);
    EXPECT_NEAR(x[0], 0.6, 1e-15);
    EXPECT_EQ(f, 12.5);
    EXPECT_EQ(outsavefvalue, 12.5);
    EXPECT_EQ(nit, 7);
    EXPECT_EQ(nfe, 42);
}

}  // namespace
