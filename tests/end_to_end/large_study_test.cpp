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

struct SplitCase {
    std::string label;
    std::string map;         // map file text; the example pedigrees have three markers
    std::string splitFlags;  // how the script cuts the scan
    int runs;                // run folders it must make
};

void PrintTo(const SplitCase& splitCase, std::ostream* out) {
    *out << splitCase.label;
}

class LargeStudyTest : public test_support::TempDirTest,
                       public ::testing::WithParamInterface<SplitCase> {};

TEST_P(LargeStudyTest, GatheredTablesEqualOneWholeRun) {
    test_support::copySourceFolder("examples");
    test_support::writeText("scan.map", GetParam().map);

    const auto whole = runShell("mkdir whole && cd whole && orlex " + analysis +
                                " --ped ../families.ped --model ../dominant.model"
                                " --map ../scan.map > log");
    ASSERT_EQ(whole.status, 0) << readText("whole/log");
    const auto split =
        runShell("bash split_scan.sh " + GetParam().splitFlags + " -o scan -- " + analysis +
                 " --ped families.ped --model dominant.model --map scan.map");
    ASSERT_EQ(split.status, 0) << split.output;

    for (int run = 1; run <= GetParam().runs + 1; ++run) {
        char folder[32];
        std::snprintf(folder, sizeof folder, "scan/run-%03d", run);
        EXPECT_EQ(std::filesystem::exists(folder), run <= GetParam().runs) << folder;
    }
    for (const std::string name :
         {"orlex_singlepoint.out", "orlex_singlepoint_nuc.out", "orlex_summary.out"}) {
        const auto expected = resultLines("whole/" + name);
        ASSERT_GE(expected.size(), 5u) << name;
        EXPECT_EQ(resultLines("scan/" + name), expected) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Splits, LargeStudyTest,
    ::testing::Values(
        SplitCase{"OneMarkerPerRun",
                  "CHROMOSOME haldane MARKER\n1 0.0 D1S101\n1 12.5 D1S102\n1 30.0 D1S103\n",
                  "-j 3 -n 1", 3},
        SplitCase{"RunsStopAtAChromosome",
                  "CHROMOSOME haldane MARKER\n1 0.0 D1S101\n2 12.5 D2S102\n2 30.0 D2S103\n",
                  "-j 2 -n 3", 2},
        SplitCase{"RunsStopWherePositionsDecrease",
                  "CHROMOSOME haldane MARKER\n1 0.0 D1S101\n1 30.0 D1S102\n1 12.5 D1S103\n", "-j 1",
                  2}),
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
