// examples/split_scan.sh cuts a scan into runs over marker subsets, each in a
// folder of its own, and gathers their tables: what it gathers must be what
// one whole run over all markers writes.
#include "test_support.h"

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

using test_support::readText;
using test_support::runShell;

const std::string analysis = "--singlepoint --hlod --nuclear --post";
const std::string input = " --ped families.ped --model dominant.model";

// The lines of a result file from its first "Phenotype: " line on: the part
// that depends on the markers (the header above it names the input paths,
// which differ between the runs, and the date).
std::vector<std::string> resultLines(const std::string& path) {
    std::istringstream text(readText(path));
    std::vector<std::string> lines;
    bool inResults = false;
    for (std::string line; std::getline(text, line);) {
        inResults = inResults || line.rfind("Phenotype: ", 0) == 0;
        if (inResults) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::string runFolder(int run) {
    char folder[32];
    std::snprintf(folder, sizeof folder, "scan/run-%03d", run);
    return folder;
}

struct SplitCase {
    std::string label;
    std::string map;         // map file text; the example pedigrees have three markers
    std::string splitFlags;  // how the script cuts the scan
    int runs;                // run folders it must make
    std::string options = analysis + input;  // of orlex, but for the map
    int leadingColumns = 10;                 // of the pedigree file, before the allele columns
};

void PrintTo(const SplitCase& splitCase, std::ostream* out) {
    *out << splitCase.label;
}

class LargeStudyTest : public test_support::TempDirTest,
                       public ::testing::WithParamInterface<SplitCase> {};

TEST_P(LargeStudyTest, GatheredTablesEqualOneWholeRun) {
    const SplitCase& c = GetParam();
    test_support::copySourceFolder("examples");
    test_support::writeText("scan.map", c.map);

    const auto whole = runShell("orlex " + c.options + " --map scan.map > log");
    ASSERT_EQ(whole.status, 0) << readText("log");
    const auto split = runShell("bash split_scan.sh " + c.splitFlags + " -o scan -- " + c.options +
                                " --map scan.map");
    ASSERT_EQ(split.status, 0) << split.output;

    for (int run = 1; run <= c.runs + 1; ++run) {
        const std::string folder = runFolder(run);
        ASSERT_EQ(std::filesystem::exists(folder), run <= c.runs) << folder;
        if (run > c.runs) {
            break;
        }
        // The run's own markers only, in its map and its pedigree file.
        const auto markers = test_support::linesOf(readText(folder + "/markers.txt"));
        const auto map = test_support::linesOf(readText(folder + "/run.map"));
        ASSERT_GE(markers.size(), 2u) << folder;
        EXPECT_EQ(map.size(), markers.size()) << folder;
        for (const std::string& pedigreeLine :
             test_support::linesOf(readText(folder + "/run.ped"))) {
            EXPECT_EQ(test_support::wordsOf(pedigreeLine).size(),
                      c.leadingColumns + 2 * (markers.size() - 1))
                << folder << ": " << pedigreeLine;
        }
    }
    for (const std::string name :
         {"orlex_singlepoint.out", "orlex_singlepoint_nuc.out", "orlex_summary.out"}) {
        if (!std::filesystem::exists(name)) {  // an analysis the case does not ask for
            EXPECT_FALSE(std::filesystem::exists("scan/" + name)) << name;
            continue;
        }
        const auto expected = resultLines(name);
        ASSERT_GE(expected.size(), 5u) << name;
        EXPECT_EQ(resultLines("scan/" + name), expected) << name;
    }
}

const std::string oneChromosome =
    "CHROMOSOME haldane MARKER\n1 0.0 D1S101\n1 12.5 D1S102\n1 30.0 D1S103\n";

INSTANTIATE_TEST_SUITE_P(
    Splits, LargeStudyTest,
    ::testing::Values(
        SplitCase{"OneMarkerPerRun", oneChromosome, "-j 3 -n 1", 3},
        SplitCase{"RunsStopAtAChromosome",
                  "CHROMOSOME haldane MARKER\n1 0.0 D1S101\n2 12.5 D2S102\n2 30.0 D2S103\n",
                  "-j 2 -n 3", 2},
        SplitCase{"RunsStopWherePositionsDecrease",
                  "CHROMOSOME haldane MARKER\n1 0.0 D1S101\n1 30.0 D1S102\n1 12.5 D1S103\n", "-j 1",
                  2},
        // Each phenotype's tables gather under its own heading; the LodHet
        // table of the summary ends at the next heading, not at an empty line.
        SplitCase{"SeveralPhenotypesWithHeterogeneity", oneChromosome, "-j 3 -n 1", 3,
                  analysis + input + " --phen phenotypes.phen"},
        SplitCase{"PreMakepedPedigrees", oneChromosome, "-j 2 -n 2", 2,
                  "--singlepoint --hlod --ped families.pre --model dominant.model", 6},
        SplitCase{"LiabilityClasses", oneChromosome, "-j 2 -n 2", 2,
                  "--singlepoint --post --liab --ped families_liability.ped "
                  "--model liability.model",
                  11}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return info.param.label; });

class LargeStudyFailureTest : public test_support::TempDirTest {};

TEST_F(LargeStudyFailureTest, AFailedRunFailsTheScanAndNothingIsGathered) {
    test_support::copySourceFolder("examples");
    const auto split = runShell(
        "bash split_scan.sh -j 2 -n 1 -o scan -- --singlepoint --post --ped families.ped"
        " --model missing.model --map markers.map");
    EXPECT_NE(split.status, 0);
    EXPECT_FALSE(std::filesystem::exists("scan/orlex_singlepoint.out"));
}

// Multipoint windows reach across neighbouring markers: runs hold whole
// chromosomes, one each unless -n says otherwise, and an -n or a map that
// would cut a chromosome is refused.
TEST_F(LargeStudyFailureTest, MultipointRunsAreCutAtChromosomesOnly) {
    test_support::copySourceFolder("examples");
    test_support::writeText(
        "two.map", "CHROMOSOME haldane MARKER\n1 0.0 D1S101\n2 12.5 D2S102\n2 30.0 D2S103\n");
    const auto split = runShell("bash split_scan.sh -j 3 -o scan -- --multipoint --wsize 2 --post" +
                                input + " --map two.map");
    ASSERT_EQ(split.status, 0) << split.output;
    EXPECT_FALSE(std::filesystem::exists(runFolder(3)));
    EXPECT_EQ(test_support::linesOf(readText(runFolder(2) + "/markers.txt")).size(), 3u);
    EXPECT_TRUE(std::filesystem::exists(runFolder(2) + "/orlex_multipoint.out"));

    const std::vector<std::pair<std::string, std::string>> refusals{
        {"-n 1", "CHROMOSOME haldane MARKER\n1 0.0 D1S101\n1 12.5 D1S102\n1 30.0 D1S103\n"},
        {"", "CHROMOSOME haldane MARKER\n1 0.0 D1S101\n1 30.0 D1S102\n1 12.5 D1S103\n"}};
    for (const auto& [flags, map] : refusals) {
        test_support::writeText("cut.map", map);
        const auto refused =
            runShell("bash split_scan.sh " + flags + " -o refused -- --multipoint " + "--post" +
                     input + " --map cut.map");
        EXPECT_EQ(refused.status, 2) << flags << map;
        EXPECT_NE(refused.output.find("would be cut inside chromosome 1"), std::string::npos)
            << refused.output;
        EXPECT_FALSE(std::filesystem::exists("refused"));
    }
}

// A pedigree line whose columns do not fit the map would be cut wrongly.
TEST_F(LargeStudyFailureTest, APedigreeFileThatDoesNotFitTheMapIsRefused) {
    test_support::copySourceFolder("examples");
    const auto split =
        runShell("bash split_scan.sh -n 1 -o scan -- --singlepoint" + input + " --map markers.map");
    EXPECT_EQ(split.status, 2);
    EXPECT_NE(split.output.find("Error: line 1 of pedigree file "), std::string::npos)
        << split.output;
    EXPECT_FALSE(std::filesystem::exists("scan"));
}

TEST_F(LargeStudyFailureTest, TheScriptRefusesTheMarkerSelectionItSetsItself) {
    test_support::copySourceFolder("examples");
    const auto split = runShell("bash split_scan.sh -o scan -- " + analysis +
                                " --ped families.ped --model dominant.model --map markers.map"
                                " --marker D1S101");
    EXPECT_EQ(split.status, 2);
    EXPECT_NE(split.output.find("--marker is set by the script"), std::string::npos)
        << split.output;
    EXPECT_FALSE(std::filesystem::exists("scan"));
}

}  // namespace
