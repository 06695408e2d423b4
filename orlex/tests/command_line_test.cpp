#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "orlex.h"
#include "test_support.h"

static bool parseArguments(Orlex& orlex, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "orlex");
    test_support::Arguments words(std::move(arguments));
    return orlex.parse(words.argc(), words.argv());
}

TEST(CommandLine, AbsentOptionsKeepTheDriverDefaults) {
    Orlex orlex;
    ASSERT_TRUE(parseArguments(orlex, {}));
    EXPECT_FALSE(orlex.pedigreeFileGiven || orlex.mapFileGiven || orlex.phenotypeFileGiven ||
                 orlex.locusFileGiven || orlex.modelFileGiven || orlex.onlyMarkersGiven ||
                 orlex.frequencyTypeGiven || orlex.prefixGiven);
    EXPECT_EQ(orlex.pedigreeFile, "orlex.pre");
    EXPECT_EQ(orlex.mapFile, "orlex.map");
    EXPECT_EQ(orlex.outputPrefix, "orlex");
    EXPECT_EQ(orlex.frequencyType, "a");
    EXPECT_EQ(orlex.onlyMarkersFile, "");
    EXPECT_EQ(orlex.markerName, "");
    EXPECT_EQ(orlex.windowSize, 3);
    EXPECT_EQ(orlex.steps, 5);
    EXPECT_TRUE(orlex.affectionStatus);
    EXPECT_FALSE(orlex.singlepointAnalysis || orlex.verbose || orlex.postMakeped || orlex.slow);
}

TEST(CommandLine, EveryOptionReachesItsMember) {
    Orlex orlex;
    ASSERT_TRUE(parseArguments(orlex, {"--mspause",
                                       "--verbose",
                                       "--quiet",
                                       "--slow",
                                       "--stats",
                                       "--trim",
                                       "--prefix",
                                       "run1",
                                       "--steps",
                                       "7",
                                       "--wsize",
                                       "4",
                                       "--singlepointcurves",
                                       "--byfamily",
                                       "--freq",
                                       "f",
                                       "--phenotype",
                                       "P1",
                                       "--marker",
                                       "M2",
                                       "--onlymarkers",
                                       "only.txt",
                                       "--hlod",
                                       "--hrrrand",
                                       "--sibpair",
                                       "--nuclear",
                                       "--multipoint",
                                       "--singlepoint",
                                       "--xlinked",
                                       "--liab",
                                       "--post",
                                       "-f",
                                       "p.phen",
                                       "-k",
                                       "m.model",
                                       "-m",
                                       "m.map",
                                       "-d",
                                       "l.dat",
                                       "-p",
                                       "f.ped"}));
    const std::vector<bool> switches = {orlex.msPause,
                                        orlex.verbose,
                                        orlex.quiet,
                                        orlex.slow,
                                        orlex.statistics,
                                        orlex.trim,
                                        orlex.singlepointCurves,
                                        orlex.byFamily,
                                        orlex.hlodAnalysis,
                                        orlex.hrrAnalysis,
                                        orlex.sibpairAnalysis,
                                        orlex.nuclearAnalysis,
                                        orlex.multipointAnalysis,
                                        orlex.singlepointAnalysis,
                                        orlex.xlinked,
                                        orlex.liabilityClass,
                                        orlex.postMakeped,
                                        orlex.prefixGiven,
                                        orlex.frequencyTypeGiven,
                                        orlex.onlyMarkersGiven,
                                        orlex.phenotypeFileGiven,
                                        orlex.modelFileGiven,
                                        orlex.mapFileGiven,
                                        orlex.locusFileGiven,
                                        orlex.pedigreeFileGiven};
    EXPECT_EQ(std::count(switches.begin(), switches.end(), false), 0);
    EXPECT_EQ(orlex.outputPrefix, "run1");
    EXPECT_EQ(orlex.steps, 7);
    EXPECT_EQ(orlex.windowSize, 4);
    EXPECT_EQ(orlex.frequencyType, "f");
    EXPECT_EQ(orlex.phenotypeName, "P1");
    EXPECT_EQ(orlex.markerName, "M2");
    EXPECT_EQ(orlex.onlyMarkersFile, "only.txt");
    EXPECT_EQ(orlex.phenotypeFile, "p.phen");
    EXPECT_EQ(orlex.modelFile, "m.model");
    EXPECT_EQ(orlex.mapFile, "m.map");
    EXPECT_EQ(orlex.locusFile, "l.dat");
    EXPECT_EQ(orlex.pedigreeFile, "f.ped");
}
