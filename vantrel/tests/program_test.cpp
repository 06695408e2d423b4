// The vantrel program's exit statuses and what a run leaves in the working
// directory, through the real program and the real converter.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;
using test_support::CommandResult;
using test_support::contains;
using test_support::programPath;
using test_support::runCommand;
using test_support::writeText;

namespace {

class VantrelProgramTest : public test_support::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        // Two families typed at two markers; M2 is monomorphic.
        writeText("fam.pre",
                  "1 1 0 0 1 1  1 2  1 1\n"
                  "1 2 0 0 2 1  1 1  1 1\n"
                  "1 3 1 2 1 2  1 1  1 1\n"
                  "1 4 1 2 2 2  2 1  1 1\n"
                  "2 1 0 0 1 1  1 1  1 1\n"
                  "2 2 0 0 2 2  1 2  1 1\n"
                  "2 3 1 2 2 2  1 2  1 1\n");
        writeText("fam.map", "CHROMOSOME haldane MARKER\n1 0.0 M1\n1 10.0 M2\n");
    }

    CommandResult vantrel(const std::string& arguments) const {
        return runCommand(programPath("vantrel").string() + " " + arguments);
    }

    static std::vector<std::string> entries() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(".")) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(VantrelProgramTest, ARunWithoutModelReadsTheInputAndLeavesNothingBehind) {
    const std::vector<std::string> inputs = entries();

    const CommandResult run = vantrel("-p fam.pre -m fam.map --mspause");

    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(contains(run.output, "vantrel - joint linkage and linkage disequilibrium"))
        << run.output;
    EXPECT_TRUE(contains(run.output,
                         "Done reading input files.\nOutput file prefix: vantrel\n"
                         "Using NLopt's BOBYQA optimiser for the likelihood maximization!\n"
                         "Warning: Marker M2 has less than 2 alleles...skipping.\n"))
        << run.output;
    // The pause runs at the very end; that the shell knows no such command
    // changes nothing.
    EXPECT_TRUE(contains(run.output, "External command: PAUSE")) << run.output;
    EXPECT_EQ(entries(), inputs);
}

// Every failed run ends with status 255 after a line naming its cause and
// the closing line; the pause still runs.
// Every run makes the phenotype the status of an affection locus, which
// the engine crashes on unless it is 1 or 2.
TEST_F(VantrelProgramTest, APhenotypeThatIsNoAffectionStatusIsRefusedAtInput) {
    writeText("level.phen", "1 LEVEL\n1 1 2\n2 3 0.7\n");

    const CommandResult run = vantrel("-p fam.pre -m fam.map -f level.phen --dom");

    EXPECT_EQ(run.status, 255) << run.output;
    EXPECT_TRUE(contains(run.output,
                         "Error: Phenotype LEVEL of person 3 of pedigree 2 is 0.7 "
                         "(phenotype file level.phen), but the engine reads it as an "
                         "affection status"))
        << run.output;
    EXPECT_FALSE(fs::exists("pedfile.dat"));
}

struct FailedRun {
    const char* name;
    const char* arguments;
    const char* cause;
};

void PrintTo(const FailedRun& run, std::ostream* os) {
    *os << run.name;
}

class VantrelFailedRunTest : public VantrelProgramTest,
                             public ::testing::WithParamInterface<FailedRun> {};

TEST_P(VantrelFailedRunTest, EndsWith255AfterNamingTheCause) {
    const FailedRun& failed = GetParam();

    const CommandResult run = vantrel(std::string(failed.arguments) + " --mspause");

    EXPECT_EQ(run.status, 255) << run.output;
    const std::size_t cause = run.output.find(failed.cause);
    ASSERT_NE(cause, std::string::npos) << run.output;
    EXPECT_NE(run.output.find("\n...aborting program due to errors!\n", cause), std::string::npos)
        << run.output;
    EXPECT_TRUE(contains(run.output, "External command: PAUSE")) << run.output;
}

INSTANTIATE_TEST_SUITE_P(
    Causes, VantrelFailedRunTest,
    ::testing::Values(FailedRun{"DefaultPedigreeFileMissing", "",
                                "Error: Reading the pedigree file vantrel.ped failed\n"},
                      FailedRun{"MapFileMissing", "-p fam.pre -m none.map",
                                "Error: Reading the map file none.map failed\n"},
                      FailedRun{"PhenotypeFileMissing", "-p fam.pre -m fam.map -f none.phen",
                                "Unable to open phenotype file none.phen for reading."},
                      FailedRun{"CaseFilesMissing", "-p fam.pre -m fam.map --casegt none.gt",
                                "Error: Reading the cases' files cases.map and none.gt failed\n"},
                      FailedRun{"OnlyMarkerMonomorphic", "-p fam.pre -m fam.map --marker M2 --dom",
                                "Warning: Marker M2 has less than 2 alleles...skipping.\n"
                                "Error: No markers to orlex...! None of the selected markers is "
                                "left to analyse (see the lines above)\n"},
                      FailedRun{"MarkerNotInTheMap", "-p fam.pre -m fam.map --marker M9 --dom",
                                "Error: Marker (M9) not found!\nError: No markers to orlex...!"}),
    [](const ::testing::TestParamInfo<FailedRun>& info) { return std::string(info.param.name); });

}  // namespace
