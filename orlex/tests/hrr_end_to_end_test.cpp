// orlex's haplotype-relative-risk analysis and summary file end to end,
// against values derived by hand.
//
// In both families of hlod_families.ped the first affected child is 1/3 at
// both markers, its father 1/2 and its mother 3/3: each trio gives the case
// 1/3 and the control 2/3. So the allele table is cases (1: 2, 2: 0, 3: 2)
// against controls (0, 2, 2), the genotype table 1/3: (2, 0) and 2/3:
// (0, 2); both statistics are 2 sum O ln(O/E) = 8 ln 2, on 2 and 5 degrees
// of freedom (three alleles, six genotypes). Drawing 2 cases and 2 controls
// from the pooled genotypes (1/3 and 2/3, one half each), a replicate
// reaches 8 ln 2 only when the cases share one genotype and the controls the
// other: probability 2 / 16 = 0.125 for both tests.
//
// The two-point values: with a fully penetrant dominant trait, an affected
// heterozygous father and four children of whom k are recombinant, a
// family's LOD is log10(8 [theta^k (1-theta)^(4-k) + theta^(4-k)
// (1-theta)^k]). At M1 the families have 0 and 2 recombinants, at M2 none.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "phase_unknown_families.h"
#include "test_support.h"

namespace {

using orlex_test::bestOnEngineGrid;
using test_support::CommandResult;
using test_support::contains;
using test_support::readText;
using test_support::renderPostScript;
using test_support::writeText;

// The rows of the table under the heading: marker name to its numbers, up
// to the first empty line.
std::map<std::string, std::vector<double>> tableRows(const std::string& text,
                                                     const std::string& heading) {
    std::map<std::string, std::vector<double>> rows;
    const size_t at = text.find(heading);
    if (at == std::string::npos) {
        return rows;
    }
    std::istringstream lines(text.substr(at + heading.size()));
    for (std::string line; std::getline(lines, line) && !line.empty();) {
        if (const size_t cr = line.rfind('\r'); cr != std::string::npos) {
            line = line.substr(cr + 1);  // the row overwrites the progress line
        }
        std::istringstream words(line);
        std::string name;
        words >> name;
        for (double value = 0; words >> value;) {
            rows[name].push_back(value);
        }
    }
    return rows;
}

const std::string pValueHeader =
    "              Marker   Allele-based   Allele-based Genotype-based Genotype-based\n"
    "                         randomized    theoretical     randomized    theoretical\n";

// P(chi-square > 8 ln 2) on five degrees of freedom, by the closed form of
// odd degrees: 2 P(Z > s) + 2 phi(s) (s + s^3 / 3), s = sqrt(x).
double genotypeTail() {
    const double x = 8 * std::log(2.0);
    const double s = std::sqrt(x);
    const double density = std::exp(-x / 2) / std::sqrt(2 * M_PI);
    return std::erfc(s / std::sqrt(2.0)) + 2 * density * (s + s * x / 3);
}

class HrrRun : public orlex_test::HlodFamiliesRun {
  protected:
    // Every chart the run wrote renders without a Ghostscript error.
    static void renderEveryChart() {
        int charts = 0;
        for (const auto& entry : std::filesystem::directory_iterator(".")) {
            if (entry.is_regular_file() && entry.path().extension() == ".ps") {
                ++charts;
                EXPECT_TRUE(renderPostScript(entry.path()));
            }
        }
        EXPECT_GT(charts, 0);
    }

    // Randomised p-values within five standard errors of 0.125 (100,000
    // replicates), theoretical ones as derived.
    static void expectPValues(const std::vector<double>& row) {
        ASSERT_EQ(row.size(), 4u);
        EXPECT_NEAR(row[0], 0.125, 0.0053);
        EXPECT_NEAR(row[1], 0.0625, 1e-6);  // exp(-8 ln 2 / 2)
        EXPECT_NEAR(row[2], 0.125, 0.0053);
        EXPECT_NEAR(row[3], genotypeTail(), 1e-6);
    }
};

TEST_F(HrrRun, AssociationOnlyRunWritesTableReportChartsAndSummary) {
    const CommandResult result = orlex("--hrrrand --quiet");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_FALSE(contains(result.output, "Completed:"));
    const std::string heading =
        "\nHaplotype Relative Risk\nPhenotype: DISEASE_LOCUS\n" + pValueHeader;
    const auto console = tableRows(result.output, heading);
    ASSERT_EQ(console.size(), 2u) << result.output;
    expectPValues(console.at("M1"));
    expectPValues(console.at("M2"));
    EXPECT_TRUE(contains(result.output,
                         "The Hrr Counts: orlex_hrr\n"
                         "The HRR Histograms:  orlex_hrr.ps\n\n"
                         "Summary file: orlex_summary.out\n"));

    const std::string report = readText("orlex_hrr.out");
    EXPECT_TRUE(contains(report, "  # pedigrees          : 2\n  # persons            : 6\n"));
    EXPECT_TRUE(contains(report,
                         "          1/3            2            0\n"
                         "          2/2            0            0\n"
                         "          2/3            0            2\n"));
    EXPECT_TRUE(contains(report, "Genotype-Based LRT             : 5.545177\n"));
    renderEveryChart();

    // Banner, common header, and the association part only, with the
    // console's values.
    const std::string summary = readText("orlex_summary.out");
    EXPECT_EQ(summary.rfind("-------", 0), 0u);
    EXPECT_TRUE(contains(summary,
                         "\n\n\nAssociation analysis summary - results are p-values\n\n"
                         "Phenotype: DISEASE_LOCUS\n\nHalplotype Relative Risk\n" +
                             pValueHeader))
        << summary;
    EXPECT_FALSE(contains(summary, "Parametric Linkage analysis summary"));
    EXPECT_EQ(tableRows(summary, "Halplotype Relative Risk\n" + pValueHeader), console);
}

TEST_F(HrrRun, ProgressLineIsOverwrittenByTheRow) {
    const CommandResult result = orlex("--hrrrand --marker M2");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(contains(result.output,
                         "Completed: 100%" + std::string(20, ' ') + "\r                  M2 "))
        << result.output;
    renderEveryChart();
}

// Every analysis that feeds the summary, with a marker selection file and a
// --marker option it overrides (a name the map lacks): every row names its
// own marker, and the nuclear columns (the families are nuclear already)
// repeat the whole-pedigree values.
TEST_F(HrrRun, SummaryGathersEveryTwoPointAnalysisAndTheAssociation) {
    writeText("only.txt", "CHROMOSOME POSITION MARKER\n1 0.0 M1\n1 10.0 M2\n");
    const CommandResult result = orlex(
        "--singlepoint --hlod --nuclear --hrrrand --quiet --marker NOPE --onlymarkers only.txt");
    ASSERT_EQ(result.status, 0) << result.output;
    const std::string summary = readText("orlex_summary.out");

    const std::string lodHom =
        "Parametric Linkage analysis summary - All on Lod Score Scale\n\n"
        "Phenotype: DISEASE_LOCUS\n\n"
        "              Marker       LodHom     Theta    NucLodHom     Theta\n";
    const auto homogeneity = tableRows(summary, lodHom);
    ASSERT_EQ(homogeneity.size(), 2u) << summary;
    const auto m1 = bestOnEngineGrid({{4, 0}, {4, 2}});
    const auto m2 = bestOnEngineGrid({{4, 0}, {4, 0}});
    for (const auto& [marker, best] : {std::pair{"M1", m1}, std::pair{"M2", m2}}) {
        const std::vector<double>& row = homogeneity.at(marker);
        ASSERT_EQ(row.size(), 4u) << marker;
        // The trait allele's frequency of 0.001 moves the engine's LODs by about 2e-6.
        EXPECT_NEAR(row[0], best.lod, 1e-5) << marker;
        EXPECT_NEAR(row[1], best.theta, 1e-9) << marker;
        EXPECT_NEAR(row[2], best.lod, 1e-5) << marker;
        EXPECT_NEAR(row[3], best.theta, 1e-9) << marker;
    }

    const std::string lodHet =
        "              Marker       LodHet     Theta     Alpha    NucLodHet     Theta     Alpha\n";
    const auto heterogeneity = tableRows(summary, lodHet);
    ASSERT_EQ(heterogeneity.size(), 2u) << summary;
    // M1 at theta 0: log10((1 + 7 alpha)(1 - alpha)), best on the grid at 0.43.
    const std::vector<double> hetM1 = {std::log10((1 + 7 * 0.43) * (1 - 0.43)), 0.0, 0.43};
    const std::vector<double> hetM2 = {2 * std::log10(8.0), 0.0, 1.0};
    for (const auto& [marker, expected] : {std::pair{"M1", hetM1}, std::pair{"M2", hetM2}}) {
        const std::vector<double>& row = heterogeneity.at(marker);
        ASSERT_EQ(row.size(), 6u) << marker;
        for (size_t i = 0; i < 6; ++i) {
            EXPECT_NEAR(row[i], expected[i % 3], 1e-5) << marker << " column " << i;
        }
    }

    const auto association = tableRows(summary, "Halplotype Relative Risk\n" + pValueHeader);
    ASSERT_EQ(association.size(), 2u) << summary;
    expectPValues(association.at("M1"));
    expectPValues(association.at("M2"));
    EXPECT_LT(summary.find(lodHom), summary.find(lodHet));
    EXPECT_LT(summary.find(lodHet), summary.find("Association analysis summary"));
    renderEveryChart();
}

TEST_F(HrrRun, SinglepointSummaryWithoutHeterogeneityOrAssociation) {
    const CommandResult result = orlex("--singlepoint --marker M2");
    ASSERT_EQ(result.status, 0) << result.output;
    const std::string summary = readText("orlex_summary.out");
    const auto rows = tableRows(summary, "              Marker       LodHom     Theta\n");
    ASSERT_EQ(rows.size(), 1u) << summary;
    const auto m2 = bestOnEngineGrid({{4, 0}, {4, 0}});
    ASSERT_EQ(rows.at("M2").size(), 2u);
    EXPECT_NEAR(rows.at("M2")[0], m2.lod, 1e-5);
    EXPECT_NEAR(rows.at("M2")[1], m2.theta, 1e-9);
    // Without --hlod two empty lines end the table, and nothing follows.
    EXPECT_TRUE(summary.size() > 3 && summary.compare(summary.size() - 3, 3, "\n\n\n") == 0)
        << summary;
    EXPECT_FALSE(contains(summary, "LodHet"));
    EXPECT_FALSE(contains(summary, "Association analysis summary"));
    renderEveryChart();
}

TEST_F(HrrRun, NoSummaryWithoutATwoPointOrAssociationAnalysis) {
    const CommandResult result = orlex("--sibpair");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_FALSE(std::filesystem::exists("orlex_summary.out"));
    EXPECT_FALSE(contains(result.output, "Summary file:"));
}

// A chart that could not be kept stops the run before the permutations:
// an "Error: " line names it, nothing is written, and the run ends with 255.
TEST_F(HrrRun, UnwritableChartStopsTheRunBeforeItComputes) {
    std::filesystem::create_directory("orlex_hrr.ps");
    const CommandResult result = orlex("--hrrrand --quiet");
    EXPECT_EQ(result.status, 255) << result.output;
    EXPECT_TRUE(contains(result.output, "Error: Output file orlex_hrr.ps is a folder"))
        << result.output;
    EXPECT_FALSE(std::filesystem::exists("orlex_hrr.out"));
    EXPECT_FALSE(std::filesystem::exists("orlex_summary.out"));
    EXPECT_TRUE(std::filesystem::is_empty("orlex_hrr.ps"));
}

}  // namespace
