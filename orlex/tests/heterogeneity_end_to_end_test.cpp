// The heterogeneity LOD of orlex end to end with the real engine, against
// values derived by hand. Both families have a fully penetrant dominant
// trait, an affected heterozygous father, a mother who cannot carry the
// trait allele and four children, phase unknown. With k of n children
// recombinant a family's LOD is Z(theta) = log10(2^(n-1) [theta^k
// (1-theta)^(n-k) + theta^(n-k) (1-theta)^k]).
//
// Marker M1: pedigree 2 has no recombinant (Z = log10 8 at theta 0),
// pedigree 10 has two (Z = -infinity at theta 0, where the engine reports
// -999.999999). At theta 0 the HLOD is log10((1 + 7 alpha)(1 - alpha)),
// highest at alpha 3/7; on the grid at alpha 0.43, and no theta above 0
// does better (the search below checks every grid point).
// Marker M2: no recombinant in either family: the best point is theta 0,
// alpha 1, HLOD 2 log10 8.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "phase_unknown_families.h"
#include "test_support.h"

namespace {

using orlex_test::Family;
using orlex_test::familyLod;
using test_support::CommandResult;

struct HetPoint {
    double hlod;
    double theta;
    double alpha;
};

// Every grid point (thetas 0 .. 0.48 by 0.02 in the engine's order,
// alphas 0 .. 1 by 0.01); the first of equal maxima wins, and the best
// starts at (0, 0, 0).
HetPoint bestOnGrid(const std::vector<Family>& families) {
    HetPoint best{0.0, 0.0, 0.0};
    for (int step = 0; step <= 24; ++step) {
        const double theta = step * 0.02;
        for (int k = 0; k <= 100; ++k) {
            const double alpha = k / 100.0;
            double hlod = 0.0;
            for (const Family& family : families) {
                hlod += std::log10(alpha * std::pow(10.0, familyLod(theta, family)) + 1 - alpha);
            }
            if (hlod > best.hlod + 1e-9) {
                best = {hlod, theta, alpha};
            }
        }
    }
    return best;
}

// The marker's line of the table under the given heading.
std::optional<HetPoint> tableLine(const std::string& output, const std::string& heading,
                                  const std::string& marker) {
    const size_t table = output.find(heading);
    if (table == std::string::npos) {
        return std::nullopt;
    }
    const std::regex line("^ *" + marker + " +(-?[0-9.]+) +([0-9.]+) +([0-9.]+)$");
    std::istringstream lines(output.substr(table));
    for (std::string text; std::getline(lines, text);) {
        std::smatch match;
        if (std::regex_match(text, match, line)) {
            return HetPoint{std::stod(match[1]), std::stod(match[2]), std::stod(match[3])};
        }
    }
    return std::nullopt;
}

void expectPoint(const std::optional<HetPoint>& got, const HetPoint& expected) {
    ASSERT_TRUE(got.has_value());
    // The trait allele's frequency of 0.001 lets the father be homozygous
    // with a small probability, which moves the engine's LODs by about 2e-6.
    EXPECT_NEAR(got->hlod, expected.hlod, 1e-5);
    EXPECT_NEAR(got->theta, expected.theta, 1e-9);
    EXPECT_NEAR(got->alpha, expected.alpha, 1e-9);
}

using HeterogeneityRun = orlex_test::HlodFamiliesRun;

TEST_F(HeterogeneityRun, BestPointsFollowFromTheFamiliesLodCurves) {
    const HetPoint m1{std::log10((1 + 7 * 0.43) * (1 - 0.43)), 0.0, 0.43};
    const HetPoint m2{2 * std::log10(8.0), 0.0, 1.0};
    // The hand values are the grid's best.
    const HetPoint searched = bestOnGrid({{4, 0}, {4, 2}});
    ASSERT_NEAR(searched.hlod, m1.hlod, 1e-12);
    ASSERT_EQ(searched.alpha, m1.alpha);

    const CommandResult result = orlex("--singlepoint --hlod --nuclear");
    ASSERT_EQ(result.status, 0) << result.output;
    const std::string whole =
        "Parametric linkage analysis under heterogeneity\n"
        "Phenotype: DISEASE_LOCUS\n"
        "              Marker       LodHet     Theta     Alpha\n";
    expectPoint(tableLine(result.output, whole, "M1"), m1);
    expectPoint(tableLine(result.output, whole, "M2"), m2);
    // The families are nuclear already: the same points.
    const std::string nuclear =
        "Parametric linkage analysis for nuclear pedigrees under "
        "heterogeneity\nPhenotype: DISEASE_LOCUS\n"
        "              Marker    NucLodHet     Theta     Alpha\n";
    expectPoint(tableLine(result.output, nuclear, "M1"), m1);
    expectPoint(tableLine(result.output, nuclear, "M2"), m2);
}

TEST_F(HeterogeneityRun, NoTableWithoutTheOption) {
    const CommandResult result = orlex("--singlepoint");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output.find("under heterogeneity"), std::string::npos);
}

}  // namespace
