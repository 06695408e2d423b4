// Transmission tables checked against gamete probabilities derived by hand:
// a parent with phase 1-1-1 / 2-2-2 passes a gamete with crossovers in a
// given set of intervals with probability 0.5 times theta for each interval
// with a crossover and (1 - theta) for each without.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine_standin.h"
#include "recombination_table.h"

namespace {

std::vector<double> tableStart(const double* table, int count) {
    return std::vector<double>(table, table + count);
}

void expectTable(const std::vector<double>& expected, const double* table) {
    for (std::size_t k = 0; k < expected.size(); ++k)
        EXPECT_NEAR(table[k], expected[k], 1e-15) << "entry " << k;
    EXPECT_EQ(table[expected.size()], -1.0) << "the table runs on past its last entry";
}

// Probability of the gamete whose crossover pattern (relative to the
// parent's phase) is `crossovers`, one flag per interval.
double gamete(const std::vector<int>& crossovers, const std::vector<double>& theta) {
    double p = 0.5;
    for (std::size_t k = 0; k < crossovers.size(); ++k)
        p *= crossovers[k] ? theta[k] : 1.0 - theta[k];
    return p;
}

TEST(Recombination, TwoLociTable) {
    standinReset(2);
    const double t = 0.1;
    maletheta->fractions[0] = t;
    recombination();
    // hom-hom, hom-het, het-hom: one entry each; het-het: the two phase
    // patterns, then the row of the second pattern against both.
    expectTable({0.5, 0.5, 0.5, 0.5 * (1 - t), 0.5 * t, 0.5 * t, 0.5 * (1 - t)},
                standinMaleTable());
    EXPECT_EQ(standinFemaleTable()[0], -1.0) << "no female table without a sex difference";
    EXPECT_FALSE(penalty);
}

TEST(Recombination, ThreeLociAllHeterozygousBlock) {
    standinReset(3);
    const std::vector<double> theta = {0.1, 0.2};
    maletheta->fractions[0] = theta[0];
    maletheta->fractions[1] = theta[1];
    recombination();
    // Patterns in table order, as crossover flags of the two intervals:
    // 1-1-1, 1-1-2, 1-2-1, 1-2-2.
    const std::vector<std::vector<int>> patterns = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    std::vector<double> expected;
    for (const auto& p : patterns)
        expected.push_back(gamete(p, theta));
    for (std::size_t a = 1; a < patterns.size(); ++a) {
        for (const auto& b : patterns) {
            std::vector<int> relative = {patterns[a][0] ^ b[0], patterns[a][1] ^ b[1]};
            expected.push_back(gamete(relative, theta));
        }
    }
    // Blocks before het-het-het: 1 + 1 + 1 + 4 + 1 + 4 + 4 entries.
    const double* table = standinMaleTable();
    expectTable(expected, table + 16);
}

TEST(Recombination, HomozygousMiddleLocusCombinesTheIntervals) {
    standinReset(3);
    const double t1 = 0.1, t2 = 0.2;
    maletheta->fractions[0] = t1;
    maletheta->fractions[1] = t2;
    recombination();
    const double r = t1 * (1 - t2) + (1 - t1) * t2;  // odd number of crossovers
    // het-hom-het is the sixth block: after 1 + 1 + 1 + 4 + 1 entries.
    const std::vector<double> block = tableStart(standinMaleTable() + 8, 4);
    EXPECT_NEAR(block[0], 0.5 * (1 - r), 1e-15);
    EXPECT_NEAR(block[1], 0.5 * r, 1e-15);
    EXPECT_NEAR(block[2], 0.5 * r, 1e-15);
    EXPECT_NEAR(block[3], 0.5 * (1 - r), 1e-15);
}

// Three loci under interference: c1 crossover in interval 1 only, c2 in
// interval 2 only, c3 in both, c4 in none.
struct Classes {
    double c1, c2, c3, c4;
};

std::vector<double> interferenceTable(double f12, double f23, double f13, const Classes& c) {
    auto pair = [](double t) {
        return std::vector<double>{0.5 - 0.5 * t, 0.5 * t, 0.5 * t, 0.5 - 0.5 * t};
    };
    std::vector<double> table = {0.5, 0.5, 0.5};
    for (const auto& block : {pair(f23), std::vector<double>{0.5}, pair(f13), pair(f12)})
        table.insert(table.end(), block.begin(), block.end());
    for (const double p : {c.c4, c.c2, c.c3, c.c1, c.c2, c.c4, c.c1, c.c3, c.c3, c.c1, c.c4, c.c2,
                           c.c1, c.c3, c.c2, c.c4})
        table.push_back(0.5 * p);
    return table;
}

TEST(Recombination, InterferenceFromFixedFractions) {
    standinReset(3);
    interfer = 1;
    dolod = 1;
    double* f = maletheta->fractions;
    f[0] = 0.1;
    f[1] = 0.2;
    f[2] = 0.26;  // no interference: 0.1 + 0.2 - 2 * 0.1 * 0.2
    recombination();
    expectTable(interferenceTable(0.1, 0.2, 0.26, {0.08, 0.18, 0.02, 0.72}), standinMaleTable());
    EXPECT_FALSE(penalty);
}

TEST(Recombination, InterferenceOnTheLogisticScale) {
    standinReset(3);
    interfer = 1;
    double* f = maletheta->fractions;
    // Logistic values whose class probabilities are 0.08, 0.18 and 0.02.
    f[0] = std::log(1 / 0.08 - 1);
    f[1] = std::log(1 / 0.18 - 1);
    f[2] = std::log(1 / 0.02 - 1);
    recombination();
    EXPECT_NEAR(f[0], 0.10, 1e-15);
    EXPECT_NEAR(f[1], 0.20, 1e-15);
    EXPECT_NEAR(f[2], 0.26, 1e-15);
    expectTable(interferenceTable(0.1, 0.2, 0.26, {0.08, 0.18, 0.02, 0.72}), standinMaleTable());
}

TEST(Recombination, NegativeClassProbabilityIsInadmissible) {
    standinReset(3);
    interfer = 1;
    // Zeros on the logistic scale are 0.5 each: c4 = 1 - 1.5 < 0.
    recombination();
    EXPECT_TRUE(penalty);
    EXPECT_EQ(standinMaleTable()[0], -1.0) << "no table is filled with negative probabilities";
}

TEST(Recombination, MapFunctionGivesTheOuterFraction) {
    standinReset(3);
    interfer = 1;
    mapping = 1;
    maletheta->fractions[0] = 0.1;
    maletheta->fractions[1] = 0.2;
    recombination();
    EXPECT_NEAR(maletheta->fractions[2], 0.26, 1e-15);  // Haldane in the stand-in
    expectTable(interferenceTable(0.1, 0.2, 0.26, {0.08, 0.18, 0.02, 0.72}), standinMaleTable());
}

TEST(Recombination, FemaleFractionsFromTheDistanceRatio) {
    standinReset(2);
    sexdif = 1;
    distratio = 2.0;
    maletheta->fractions[0] = 0.1;
    recombination();
    // Haldane: twice the distance of 0.1 is 0.5 * (1 - 0.8^2) = 0.18.
    const double t = 0.18;
    EXPECT_NEAR(femaletheta->fractions[0], t, 1e-15);
    expectTable({0.5, 0.5, 0.5, 0.5 * (1 - t), 0.5 * t, 0.5 * t, 0.5 * (1 - t)},
                standinFemaleTable());
}

TEST(Recombination, GivenFemaleFractionsAreUsedAsTheyAre) {
    standinReset(2);
    sexdif = 1;
    readfemale = 1;
    maletheta->fractions[0] = 0.1;
    femaletheta->fractions[0] = 0.3;
    recombination();
    expectTable({0.5, 0.5, 0.5, 0.35, 0.15, 0.15, 0.35}, standinFemaleTable());
}

TEST(RecombinationDeathTest, RefusesMoreLociThanTheRecordsHold) {
    standinReset(5);
    EXPECT_EXIT(recombination(), testing::ExitedWithCode(1), "5 loci");
}

TEST(RecombinationDeathTest, InterferenceNeedsThreeLoci) {
    standinReset(2);
    interfer = 1;
    EXPECT_EXIT(recombination(), testing::ExitedWithCode(1), "interference model needs 3 loci");
}

}  // namespace
