// The command line of vantrel: what reaches the driver's members, and the
// statuses TCLAP ends the real program with.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "test_support.h"
#include "vantrel.h"

using test_support::programPath;
using test_support::runCommand;

static bool parseArguments(Vantrel& vantrel, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "vantrel");
    test_support::Arguments words(std::move(arguments));
    return vantrel.parse_cmdline_arguments(words.argc(), words.argv());
}

TEST(VantrelCommandLine, NoOptionsReadOnlyThePreMakepedPedigreeFileAndRunNoModel) {
    Vantrel vantrel;
    ASSERT_TRUE(parseArguments(vantrel, {}));

    EXPECT_EQ(vantrel.pedigreeFileName, "vantrel.ped");
    EXPECT_FALSE(vantrel.linkageFormat);
    EXPECT_FALSE(vantrel.mapFileGiven || vantrel.phenotypeFileGiven || vantrel.modelFileGiven ||
                 vantrel.linkageLocusFileGiven || vantrel.caseFilesGiven ||
                 vantrel.controlFilesGiven || vantrel.markerListFileGiven || vantrel.markerGiven ||
                 vantrel.phenotypeGiven);
    EXPECT_FALSE(vantrel.dominantAnalysis || vantrel.recessiveAnalysis ||
                 vantrel.modelBasedAnalysis);
    EXPECT_EQ(vantrel.outputPrefix, "vantrel");
    EXPECT_EQ(vantrel.phenotypeName, "DISEASE_LOCUS");
    EXPECT_EQ(vantrel.caseControlPhenotypeName, "DISEASE_LOCUS");
    // The defaults of absent file options are in force, unread.
    EXPECT_EQ(vantrel.mapFileName, "vantrel.map");
    EXPECT_EQ(vantrel.caseMapFileName, "cases.map");
    EXPECT_EQ(vantrel.controlGenotypeFileName, "controls.dat");
    EXPECT_EQ(vantrel.markerListFileName, "");
    EXPECT_TRUE(vantrel.hasDiseasePhenotype);
    EXPECT_TRUE(vantrel.useNomad);
    EXPECT_FALSE(vantrel.debugGenotypes || vantrel.debugCodominant || vantrel.debugStartValues);
}

TEST(VantrelCommandLine, EveryOptionReachesItsMember) {
    Vantrel vantrel;
    ASSERT_TRUE(parseArguments(vantrel, {"--mspause",
                                         "--verbose",
                                         "--skipmendelerrors",
                                         "--forceloopbreak",
                                         "--xlinked",
                                         "--phen",
                                         "T2",
                                         "--marker",
                                         "M7",
                                         "--rec",
                                         "--prefix",
                                         "run1",
                                         "--cclinkage",
                                         "--liabclass",
                                         "--post",
                                         "--plinkmap",
                                         "--ccphen",
                                         "CC",
                                         "--casemap",
                                         "c.map",
                                         "--casegt",
                                         "c.gt",
                                         "--controlmap",
                                         "k.map",
                                         "--controlgt",
                                         "k.gt",
                                         "--markerlist",
                                         "list.txt",
                                         "-f",
                                         "p.phen",
                                         "-k",
                                         "p.model",
                                         "-m",
                                         "p.map",
                                         "-d",
                                         "p.dat",
                                         "-p",
                                         "p.ped",
                                         "-g",
                                         "sv"}));

    EXPECT_TRUE(vantrel.msPause && vantrel.verbose && vantrel.skipMendelErrors &&
                vantrel.forceLoopBreak && vantrel.xlinked && vantrel.singletonLinkageFormat &&
                vantrel.liabilityClass && vantrel.linkageFormat && vantrel.plinkMapFormat);
    EXPECT_TRUE(vantrel.phenotypeGiven && vantrel.markerGiven);
    EXPECT_EQ(vantrel.phenotypeName, "T2");
    EXPECT_EQ(vantrel.markerName, "M7");
    EXPECT_TRUE(vantrel.recessiveAnalysis);
    EXPECT_FALSE(vantrel.dominantAnalysis || vantrel.modelBasedAnalysis);
    EXPECT_EQ(vantrel.outputPrefix, "run1");
    EXPECT_EQ(vantrel.caseControlPhenotypeName, "CC");
    EXPECT_TRUE(vantrel.caseFilesGiven && vantrel.controlFilesGiven);
    EXPECT_EQ(vantrel.caseMapFileName, "c.map");
    EXPECT_EQ(vantrel.caseGenotypeFileName, "c.gt");
    EXPECT_EQ(vantrel.controlMapFileName, "k.map");
    EXPECT_EQ(vantrel.controlGenotypeFileName, "k.gt");
    EXPECT_TRUE(vantrel.markerListFileGiven);
    EXPECT_EQ(vantrel.markerListFileName, "list.txt");
    EXPECT_TRUE(vantrel.phenotypeFileGiven && vantrel.modelFileGiven && vantrel.mapFileGiven &&
                vantrel.linkageLocusFileGiven);
    EXPECT_EQ(vantrel.phenotypeFileName, "p.phen");
    EXPECT_EQ(vantrel.modelFileName, "p.model");
    EXPECT_EQ(vantrel.mapFileName, "p.map");
    EXPECT_EQ(vantrel.linkageLocusFileName, "p.dat");
    EXPECT_EQ(vantrel.pedigreeFileName, "p.ped");
    EXPECT_TRUE(vantrel.debugStartValues);
    EXPECT_FALSE(vantrel.debugGenotypes || vantrel.debugCodominant);
}

TEST(VantrelCommandLine, AllRunsEveryModelWhateverElseIsGiven) {
    Vantrel vantrel;
    ASSERT_TRUE(parseArguments(vantrel, {"--all", "--dom"}));
    EXPECT_TRUE(vantrel.dominantAnalysis && vantrel.recessiveAnalysis &&
                vantrel.modelBasedAnalysis);
}

TEST(VantrelCommandLine, DebugAllSetsEveryDebugSwitch) {
    Vantrel vantrel;
    ASSERT_TRUE(parseArguments(vantrel, {"--debug", "all"}));
    EXPECT_TRUE(vantrel.debugGenotypes && vantrel.debugCodominant && vantrel.debugStartValues);
}

TEST(VantrelCommandLine, ACaseMapAloneReadsNoCaseFiles) {
    Vantrel vantrel;
    ASSERT_TRUE(parseArguments(vantrel, {"--casemap", "c.map", "--controlmap", "k.map"}));
    EXPECT_FALSE(vantrel.caseFilesGiven || vantrel.controlFilesGiven);
    EXPECT_EQ(vantrel.caseMapFileName, "c.map");
}

// Through the real program: TCLAP ends the process itself.
struct StatusCase {
    const char* name;
    const char* arguments;
    int status;
    const char* output;
};

static void PrintTo(const StatusCase& c, std::ostream* os) {
    *os << c.name;
}

class VantrelProgramStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(VantrelProgramStatus, EndsWithTclapsStatusAndText) {
    const StatusCase& c = GetParam();
    const test_support::CommandResult run =
        runCommand(programPath("vantrel").string() + " " + c.arguments);
    EXPECT_EQ(run.status, c.status) << run.output;
    EXPECT_NE(run.output.find(c.output), std::string::npos) << run.output;
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, VantrelProgramStatus,
    ::testing::Values(
        StatusCase{"DebugValueOutsideTheList", "--debug xx", 1,
                   "Value 'xx' does not meet constraint: gt|all|cdl|sv"},
        StatusCase{"UnknownOption", "--singlepoint", 1, "Couldn't find match for argument"},
        StatusCase{"MissingValue", "--prefix", 1, "Missing a value for this argument!"},
        StatusCase{"Help", "--help", 0, "See vantrel documentation for full information!"},
        StatusCase{"Version", "--version", 0, "1.0.0"}),
    [](const ::testing::TestParamInfo<StatusCase>& info) { return info.param.name; });
