// orlex's two-point result files end to end with the real engine. The data
// (hlod_families.ped) is described in heterogeneity_end_to_end_test.cpp:
// per-family LODs Z(theta) = log10(2^(n-1) [theta^k (1-theta)^(n-k) +
// theta^(n-k) (1-theta)^k]) for n = 4 children, k recombinants: at M1
// pedigree 2 has k = 0 and pedigree 10 k = 2, at M2 both have k = 0.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "phase_unknown_families.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

using test_support::CommandResult;
using test_support::contains;
using test_support::readText;
using test_support::renderPostScript;

// The LOD of a family of four children with k recombinants.
double familyLod(double theta, int k) {
    return orlex_test::familyLod(theta, {4, k});
}

// The numbers of the line that begins with the label (after blanks).
std::vector<double> numbersAfter(const std::string& text, const std::string& label) {
    const std::regex line("(^|\\n) *" + label + "((?: +[-0-9.e+]+)+)\\n");
    std::smatch match;
    if (!std::regex_search(text, match, line)) {
        return {};
    }
    std::istringstream numbers(match[2].str());
    std::vector<double> values;
    for (double value; numbers >> value;) {
        values.push_back(value);
    }
    return values;
}

const std::vector<std::string> singlepointFiles = {"_singlepoint.out",
                                                   "_singlepoint.ps",
                                                   "_singlepoint_by_family.out",
                                                   "_singlepoint_curves.out",
                                                   "_singlepoint_curves.ps",
                                                   "_singlepoint_het.out",
                                                   "_singlepoint_het.ps",
                                                   "_singlepoint_nuc.out",
                                                   "_singlepoint_nuc.ps",
                                                   "_singlepoint_nuc_by_family.out",
                                                   "_singlepoint_nuc_curves.out",
                                                   "_singlepoint_nuc_curves.ps",
                                                   "_singlepoint_nuc_het.out",
                                                   "_singlepoint_nuc_het.ps"};

using SinglepointFilesRun = orlex_test::HlodFamiliesRun;

TEST_F(SinglepointFilesRun, EveryOptionWritesItsFilesWithTheHandDerivedValues) {
    const CommandResult result =
        orlex("--singlepoint --hlod --nuclear --byfamily --singlepointcurves --prefix run");
    ASSERT_EQ(result.status, 0) << result.output;
    for (const std::string& suffix : singlepointFiles) {
        ASSERT_TRUE(fs::exists("run" + suffix)) << suffix;
        if (fs::path(suffix).extension() == ".ps") {
            EXPECT_TRUE(renderPostScript("run" + suffix)) << suffix;
        }
    }
    EXPECT_TRUE(contains(result.output,
                         "The LOD Scores: run_singlepoint.out\n"
                         "The LOD Score histograms: run_singlepoint.ps\n"
                         "The LOD Scores: run_singlepoint_by_family.out\n\n"
                         "The LOD Scores for singlepoint curves: "
                         "run_singlepoint_curves.out\n"
                         "The LOD Score curves: run_singlepoint_curves.ps\n"
                         "The LOD Scores under heterogeneity: "
                         "run_singlepoint_het.out\n\n"
                         "The LOD Scores under heterogeneity histograms: "
                         "run_singlepoint_het.ps\n"))
        << result.output;
    EXPECT_TRUE(contains(result.output,
                         "Component nuclear pedigree LOD Scores under heterogeneity histograms: "
                         "run_singlepoint_nuc_het.ps\n"));

    // Best LODs: M2 at theta 0 (2 log10 8); M1 where Z0 + Z2 peaks, 0.26.
    const std::string best = readText("run_singlepoint.out");
    EXPECT_TRUE(contains(best,
                         "\nPhenotype: DISEASE_LOCUS\n"
                         "              Marker    LOD Score        Theta\n"));
    const std::vector<double> m1 = numbersAfter(best, "M1");
    ASSERT_EQ(m1.size(), 2u) << best;
    EXPECT_NEAR(m1[0], familyLod(0.26, 0) + familyLod(0.26, 2), 1e-5);
    EXPECT_DOUBLE_EQ(m1[1], 0.26);
    const std::vector<double> m2 = numbersAfter(best, "M2");
    ASSERT_EQ(m2.size(), 2u);
    EXPECT_NEAR(m2[0], 2 * std::log10(8.0), 1e-5);
    EXPECT_DOUBLE_EQ(m2[1], 0.0);

    // By family: thetas 0 .. 0.48 and the engine's first block 0.5 last;
    // pedigree 2 before 10 (integer order); at theta 0.1 pedigree 10 has
    // Z2(0.1) at M1.
    const std::string family = readText("run_singlepoint_by_family.out");
    EXPECT_TRUE(contains(family,
                         "Marker: M1\n               Theta\nPedigreeid\n"
                         "                        0           0.02"));
    EXPECT_LT(family.find("\n         2 "), family.find("\n        10 "));
    const std::vector<double> ten = numbersAfter(family, "10");
    ASSERT_EQ(ten.size(), 26u) << family;
    EXPECT_NEAR(ten[5], familyLod(0.1, 2), 1e-5);
    EXPECT_NEAR(ten[25], 0.0, 1e-9);

    // LOD table: one column per marker; the negative M1 LOD at 0.02 in
    // exponent form.
    const std::string curves = readText("run_singlepoint_curves.out");
    EXPECT_TRUE(contains(curves,
                         "Phenotype: DISEASE_LOCUS\n"
                         "               Theta                  M1                  M2\n"));
    const std::vector<double> at002 = numbersAfter(curves, "0.02");
    ASSERT_EQ(at002.size(), 2u) << curves;
    EXPECT_NEAR(at002[0], familyLod(0.02, 0) + familyLod(0.02, 2), 1e-5);
    EXPECT_NEAR(at002[1], 2 * familyLod(0.02, 0), 1e-5);
    EXPECT_TRUE(std::regex_search(curves, std::regex("\\n {16}0\\.02 {7}-1\\.3433[0-9]{2}e\\+00")));

    // Heterogeneity grid at theta 0, M1: alpha 0.43 gives
    // log10((1 + 7 alpha)(1 - alpha)); alpha 1 the sum of the family LODs,
    // finite although pedigree 10 is impossible there.
    const std::string het = readText("run_singlepoint_het.out");
    // The theta 0 row, not the line of alpha labels that also begins with 0.
    const size_t thetaZero = het.find("\n         0   ");
    ASSERT_NE(thetaZero, std::string::npos) << het;
    const std::vector<double> row = numbersAfter(het.substr(thetaZero), "0");
    ASSERT_EQ(row.size(), 101u) << het;
    EXPECT_NEAR(row[43], std::log10((1 + 7 * 0.43) * 0.57), 1e-5);
    EXPECT_NEAR(row[100], std::log10(8.0) - 1000.0, 1e-3);
    EXPECT_FALSE(std::regex_search(het, std::regex("\\bnan\\b")));
}

// Outputs that become unwritable while the engine runs: the other files are
// written, an earlier file is kept as it was, nothing half-written is left,
// and the run ends with 255.
TEST_F(SinglepointFilesRun, LostFilesEndTheRunWithStatus255AfterTheOthersAreWritten) {
    test_support::writeText("run_singlepoint_curves.out", "the earlier curves\n");
    test_support::wrapEngineProgram("fake", "mlinkorlex",
                                    "mkdir -p run_singlepoint_by_family.out\n"
                                    "ln -sfn /dev/full run_singlepoint_het.ps\n"
                                    "chmod a-w run_singlepoint_curves.out");
    const CommandResult result =
        orlex("--singlepoint --hlod --byfamily --singlepointcurves --prefix run",
              "hlod_families.ped", "two_markers.map", (dir() / "fake").string());
    EXPECT_EQ(result.status, 255) << result.output;
    EXPECT_TRUE(contains(result.output,
                         "Error: Unable to open run_singlepoint_by_family.out for writing\n"));
    EXPECT_TRUE(contains(result.output, "Error: Unable to write run_singlepoint_het.ps\n"));
    EXPECT_TRUE(
        contains(result.output, "Error: Unable to open run_singlepoint_curves.out for writing\n"));
    EXPECT_FALSE(contains(result.output, "Elapsed time"));
    EXPECT_TRUE(contains(readText("run_singlepoint.out"), "Phenotype: DISEASE_LOCUS"));
    EXPECT_EQ(readText("run_singlepoint_curves.out"), "the earlier curves\n");
    EXPECT_TRUE(contains(readText("run_singlepoint_het.out"), "\tMarker: M2\n"));
    EXPECT_TRUE(renderPostScript("run_singlepoint.ps"));
    EXPECT_TRUE(fs::is_empty("run_singlepoint_by_family.out"));
    EXPECT_EQ(fs::read_symlink("run_singlepoint_het.ps"), "/dev/full");
    for (const std::string& name : test_support::entriesOf(".")) {
        EXPECT_NE(name.front(), '.') << name << " was left behind";
    }
}

// The folder is found missing before anything is read, and no engine runs.
TEST_F(SinglepointFilesRun, PrefixInAMissingFolderIsRefusedBeforeTheEngineStarts) {
    test_support::wrapEngineProgram("fake", "mlinkorlex", "touch engine_ran");
    const std::vector<std::string> before = test_support::entriesOf(".");
    const CommandResult result =
        orlex("--singlepoint --hlod --prefix missing/run", "hlod_families.ped", "two_markers.map",
              (dir() / "fake").string());
    EXPECT_EQ(result.status, 255) << result.output;
    EXPECT_TRUE(contains(result.output,
                         "Error: Output file missing/run_singlepoint.out cannot be written: the "
                         "folder missing does not exist, and the run would lose its results\n"))
        << result.output;
    EXPECT_FALSE(contains(result.output, "missing/run_singlepoint_het")) << result.output;
    EXPECT_FALSE(contains(result.output, "Reading")) << result.output;
    EXPECT_EQ(test_support::entriesOf("."), before);
}

TEST_F(SinglepointFilesRun, OnlymarkersOrderIsTheOrderOfEveryFile) {
    test_support::writeText("only.txt", "CHROMOSOME POSITION NAME\n1 0.0 M2\n1 10.0 M1\n");
    const CommandResult result =
        orlex("--singlepoint --hlod --byfamily --onlymarkers only.txt --prefix only");
    ASSERT_EQ(result.status, 0) << result.output;
    for (const char* file :
         {"only_singlepoint.out", "only_singlepoint_by_family.out", "only_singlepoint_het.out"}) {
        const std::string text = readText(file);
        const size_t m2 = text.find("M2");
        ASSERT_NE(m2, std::string::npos) << file;
        EXPECT_LT(m2, text.find("M1")) << file;
    }
    EXPECT_NEAR(numbersAfter(readText("only_singlepoint.out"), "M2").at(0), 2 * std::log10(8.0),
                1e-5);
    const std::string chart = readText("only_singlepoint_het.ps");
    EXPECT_LT(chart.find("(M2)show"), chart.find("(M1)show"));
    EXPECT_TRUE(renderPostScript("only_singlepoint_het.ps"));
}

// A phenotype that is not the first: every row label and chart subtitle
// names it, and its values are its own (all unaffected: no linkage
// information, LOD 0 at the engine's first block).
TEST_F(SinglepointFilesRun, SelectedPhenotypeNamesEveryRow) {
    std::ofstream phen("second.phen");
    phen << "1 HEALTHY\n";
    for (const char* pedigree : {"10", "2"}) {
        for (int person = 1; person <= 6; ++person) {
            phen << pedigree << ' ' << person << " 1\n";
        }
    }
    phen.close();
    const CommandResult result = orlex(
        "--singlepoint --hlod --byfamily --singlepointcurves --phenotype HEALTHY "
        "-f second.phen --prefix phen");
    ASSERT_EQ(result.status, 0) << result.output;
    for (const char* file : {"phen_singlepoint.out", "phen_singlepoint_by_family.out",
                             "phen_singlepoint_curves.out", "phen_singlepoint_het.out"}) {
        const std::string text = readText(file);
        EXPECT_TRUE(contains(text, "Phenotype: HEALTHY\n")) << file;
        EXPECT_FALSE(contains(text, "Phenotype: DISEASE_LOCUS")) << file;
    }
    EXPECT_EQ(numbersAfter(readText("phen_singlepoint.out"), "M2"),
              (std::vector<double>{0.0, 0.5}));
    for (const char* chart :
         {"phen_singlepoint.ps", "phen_singlepoint_curves.ps", "phen_singlepoint_het.ps"}) {
        EXPECT_TRUE(contains(readText(chart), "(Phenotype: HEALTHY")) << chart;
        EXPECT_TRUE(renderPostScript(chart)) << chart;
    }
}

// 101 markers, all like M2 (no recombinant in either family): the
// histograms of the best LODs and HLODs come in three pages of 50 slots.
TEST_F(SinglepointFilesRun, MoreThanHundredMarkersArePagedInBothHistograms) {
    std::ofstream map("many.map");
    map << "CHROMOSOME haldane MARKER\n";
    for (int m = 1; m <= 101; ++m) {
        map << "1 " << m * 5 << ".0 M" << m << '\n';
    }
    map.close();
    std::ifstream source("hlod_families.ped");
    std::ofstream pedigree("many.ped");
    for (std::string line; std::getline(source, line);) {
        // The last genotype of each person is M2's; repeat it 101 times.
        const std::string head = line.substr(0, line.rfind("  "));
        const std::string m2 = line.substr(line.rfind("  "));
        pedigree << head.substr(0, head.rfind("  "));
        for (int m = 0; m < 101; ++m) {
            pedigree << m2;
        }
        pedigree << '\n';
    }
    pedigree.close();

    const CommandResult result =
        orlex("--singlepoint --hlod --prefix many", "many.ped", "many.map");
    ASSERT_EQ(result.status, 0) << result.output;
    const std::string best = readText("many_singlepoint.out");
    for (const std::string marker : {"M1", "M50", "M101"}) {
        const std::vector<double> values = numbersAfter(best, marker);
        ASSERT_EQ(values.size(), 2u) << marker;
        EXPECT_NEAR(values[0], 2 * std::log10(8.0), 1e-5) << marker;
    }
    for (const char* file : {"many_singlepoint.ps", "many_singlepoint_het.ps"}) {
        const std::string chart = readText(file);
        EXPECT_TRUE(contains(chart, "%%Pages: 3\n")) << file;
        const size_t second = chart.find("%%Page: 2 2");
        const size_t third = chart.find("%%Page: 3 3");
        ASSERT_NE(third, std::string::npos) << file;
        EXPECT_TRUE(contains(chart.substr(0, second), "(M50)show")) << file;
        EXPECT_TRUE(contains(chart.substr(second, third - second), "(M51)show")) << file;
        EXPECT_TRUE(contains(chart.substr(third), "(M101)show")) << file;
        EXPECT_FALSE(contains(chart, "(@")) << file;
        EXPECT_TRUE(renderPostScript(file, "pages_" + fs::path(file).stem().string()));
        EXPECT_EQ(test_support::renderedPageCount("pages_" + fs::path(file).stem().string()), 3);
    }
}

}  // namespace
