// vantrel's input: the pedigree file in both formats with case and control
// singletons in both map layouts, the phenotype file, the marker list, the
// marker and phenotype selection, and the inputs that stop a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "marker_map.h"
#include "records.h"
#include "test_support.h"
#include "vantrel.h"

namespace fs = std::filesystem;
using test_support::readText;
using test_support::writeText;

namespace {

// Two nuclear families of 4 and 3 persons typed at M1, M2 and M3; M3 is
// monomorphic in every file. The same families in both formats.
const char* const preMakeped =
    "1 1 0 0 1 1  1 2  1 3  1 1\n"
    "1 2 0 0 2 1  1 1  2 3  1 1\n"
    "1 3 1 2 1 2  1 1  1 2  1 1\n"
    "1 4 1 2 2 2  2 1  3 3  1 1\n"
    "2 1 0 0 1 1  1 1  2 2  1 1\n"
    "2 2 0 0 2 2  1 2  2 3  1 1\n"
    "2 3 1 2 2 2  1 2  2 2  1 1\n";

const char* const postMakeped =
    "1 1 0 0 3 0 0 1 1 1  1 2  1 3  1 1\n"
    "1 2 0 0 3 0 0 2 0 1  1 1  2 3  1 1\n"
    "1 3 1 2 0 4 4 1 0 2  1 1  1 2  1 1\n"
    "1 4 1 2 0 0 0 2 0 2  2 1  3 3  1 1\n"
    "2 1 0 0 3 0 0 1 1 1  1 1  2 2  1 1\n"
    "2 2 0 0 3 0 0 2 0 2  1 2  2 3  1 1\n"
    "2 3 1 2 0 0 0 2 0 2  1 2  2 2  1 1\n";

// A map of the markers named, in the own layout or PLINK's four columns.
std::string mapText(const std::vector<std::string>& markers, bool plink) {
    std::string text = plink ? "" : "CHROMOSOME haldane MARKER\n";
    for (std::size_t i = 0; i < markers.size(); ++i) {
        const std::string cM = std::to_string(10 * i);
        text += plink ? "1 " + markers[i] + " " + cM + " " + std::to_string(1000 * i) + "\n"
                      : "1 " + cM + " " + markers[i] + "\n";
    }
    return text;
}

struct Layout {
    const char* name;
    bool post;
    bool plink;
};

void PrintTo(const Layout& layout, std::ostream* os) {
    *os << layout.name;
}

class VantrelInputTest : public test_support::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        writeText("fam.pre", preMakeped);
        writeText("fam.ped", postMakeped);
        writeText("fam.map", mapText({"M1", "M2", "M3"}, false));
        writeText("dominant.model", "0 0.001 1\n0 1 1\n");
    }

    // Parses the arguments (after the program name) and reads the input,
    // keeping what was printed.
    bool read(std::vector<std::string> arguments) { return read(vantrel, std::move(arguments)); }

    bool read(Vantrel& into, std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "vantrel");
        test_support::Arguments words(std::move(arguments));
        testing::internal::CaptureStdout();
        const bool parsed = into.parse_cmdline_arguments(words.argc(), words.argv());
        const bool read = parsed && into.read_input_files();
        output = testing::internal::GetCapturedStdout();
        return read;
    }

    bool run() {
        testing::internal::CaptureStdout();
        const bool ran = vantrel.run();
        output = testing::internal::GetCapturedStdout();
        return ran;
    }

    bool printed(const std::string& text) const { return output.find(text) != std::string::npos; }

    Vantrel vantrel;
    std::string output;
};

// ---- Pedigrees with cases and controls, in every format and layout

class VantrelLayoutTest : public VantrelInputTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(VantrelLayoutTest, CasesAndControlsBecomeDummyPedigreesBesideTheFamilies) {
    const Layout& layout = GetParam();
    writeText("fam.map", mapText({"M1", "M2", "M3"}, layout.plink));
    writeText("cases.map", mapText({"M1", "M2", "M3"}, layout.plink));
    // The control map names its markers in another order than the main map.
    writeText("controls.map", mapText({"M2", "M1"}, layout.plink));
    writeText("cases.gt", "3\na 1 1 2 1 3 1 1\nb 2 2 2 3 3 1 1\n");
    writeText("controls.gt", "2\nc 1 2 3 1 1\nd 2 2 2 1 2\ne 1 3 3 2 2\n");
    std::vector<std::string> arguments{"-p",           layout.post ? "fam.ped" : "fam.pre",
                                       "-m",           "fam.map",
                                       "--casemap",    "cases.map",
                                       "--casegt",     "cases.gt",
                                       "--controlmap", "controls.map",
                                       "--controlgt",  "controls.gt",
                                       "--ccphen",     "DISEASE_LOCUS"};
    if (layout.post) {
        arguments.push_back("--post");
    }
    if (layout.plink) {
        arguments.push_back("--plinkmap");
    }

    ASSERT_TRUE(read(arguments)) << output;

    Pedigrees& store = *vantrel.pedigrees;
    // Cases a (male) and b (female) pair up; controls c and d pair up and e
    // gets a dummy spouse: 2 families + 1 + 2 dummy pedigrees of 3 persons.
    EXPECT_EQ(store.caseSingletonCount, 2);
    EXPECT_EQ(store.controlSingletonCount, 3);
    EXPECT_EQ(store.getCaseControlPedigreeCount("case"), 1u);
    EXPECT_EQ(store.getCaseControlPedigreeCount("control"), 2u);
    EXPECT_EQ(store.pedigreeTree->count, 5);
    EXPECT_EQ(store.getPedigreePersonCount(), 7 + 3 * 3);
    // What the detail file reports of the families alone.
    const int dummies = static_cast<int>(store.getCaseControlPedigreeCount("case") +
                                         store.getCaseControlPedigreeCount("control"));
    EXPECT_EQ(store.pedigreeTree->count - dummies, 2);
    EXPECT_EQ(store.getPedigreePersonCount() - 3 * dummies, 7);

    // Genotypes land on the main map's marker of the same name.
    const Pedigree* control = store.pedigreeTree->find("800000");
    ASSERT_NE(control, nullptr);
    const Person* c = control->getPerson("1");
    ASSERT_NE(c, nullptr);
    ASSERT_NE(c->getMarker("0"), nullptr);
    EXPECT_EQ(c->getMarker("0")->getAllele(0), "1");
    EXPECT_EQ(c->getMarker("1")->getAllele(1), "3");
    const Pedigree* cases = store.pedigreeTree->find("900000");
    ASSERT_NE(cases, nullptr);
    EXPECT_EQ(cases->getPerson("1")->getPhenotype("DISEASE_LOCUS")->getValue(), "2");
    EXPECT_EQ(cases->getPerson("2")->getMarker("1")->getAllele(0), "3");

    EXPECT_EQ(vantrel.linkageLocusFile, store.linkageLocusFile);
    EXPECT_EQ(vantrel.linkageLocusFile->getNumberOfLoci(), 4);
    EXPECT_TRUE(store.useNewAlleleNames);
    EXPECT_TRUE(printed("Done reading input files.\nOutput file prefix: vantrel\n")) << output;
    // Only the engine's converted file of this run is removed.
    EXPECT_FALSE(fs::exists("fam.pre.linkage"));
    EXPECT_EQ(printed("(Pedigree file in LINKAGE format)"), layout.post);
    EXPECT_EQ(printed("(Pedigree file in pre-makeped format)"), !layout.post);
}

INSTANTIATE_TEST_SUITE_P(FormatsAndLayouts, VantrelLayoutTest,
                         ::testing::Values(Layout{"PreMakepedOwnMap", false, false},
                                           Layout{"PreMakepedPlinkMap", false, true},
                                           Layout{"PostMakepedOwnMap", true, false},
                                           Layout{"PostMakepedPlinkMap", true, true}),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                             return info.param.name;
                         });

TEST_F(VantrelInputTest, SingletonFilesInLinkageLayoutAreReadWithCclinkage) {
    writeText("controls.map", mapText({"M1", "M2"}, false));
    writeText("controls.ped", "7 1 0 0 1 1  1 2  2 3\n8 1 0 0 2 1  2 2  3 3\n");

    ASSERT_TRUE(read({"-p", "fam.pre", "-m", "fam.map", "--controlmap", "controls.map",
                      "--controlgt", "controls.ped", "--cclinkage"}))
        << output;

    const Pedigrees& store = *vantrel.pedigrees;
    EXPECT_EQ(store.controlSingletonCount, 2);
    EXPECT_EQ(store.getCaseControlPedigreeCount("control"), 1u);
    const Person* female = store.pedigreeTree->find("800000")->getPerson("2");
    ASSERT_NE(female, nullptr);
    EXPECT_EQ(female->singletonId, "8.1");
    EXPECT_EQ(female->getMarker("1")->getAllele(0), "3");
}

// ---- Marker and phenotype selection

TEST_F(VantrelInputTest, EveryPolymorphicMarkerOfTheMapIsSelected) {
    ASSERT_TRUE(read({"-p", "fam.pre", "-m", "fam.map"})) << output;

    testing::internal::CaptureStdout();
    const std::vector<int> markers = vantrel.selectMarkers();
    output = testing::internal::GetCapturedStdout();

    EXPECT_EQ(markers, (std::vector<int>{1, 2}));
    EXPECT_EQ(vantrel.monomorphicMarkers, std::vector<std::string>{"M3"});
    EXPECT_TRUE(printed("Warning: Marker M3 has less than 2 alleles...skipping.\n")) << output;
}

TEST_F(VantrelInputTest, TwoPhenotypesOfThePhenotypeFileAreAnalysedAfterTheAffectionStatus) {
    // Every run analyses a phenotype as an affection status.
    writeText("fam.phen",
              "2 T1 T2\n"
              "1 1 2 1\n1 2 1 2\n1 3 x 1\n1 4 1 2\n"
              "2 1 2 1\n2 2 2 2\n2 3 0 0\n");

    ASSERT_TRUE(read({"-p", "fam.pre", "-m", "fam.map", "-f", "fam.phen"})) << output;

    EXPECT_EQ(vantrel.selectPhenotypes(), (std::vector<std::string>{"DISEASE_LOCUS", "T1", "T2"}));
    const Person* person = vantrel.pedigrees->pedigreeTree->find("1")->getPerson("4");
    EXPECT_EQ(person->getPhenotype("T2")->getValue(), "2");
    EXPECT_EQ(person->getPhenotype("T1")->getValue(), "1");

    vantrel.phenotypeGiven = true;
    vantrel.phenotypeName = "T2";
    EXPECT_EQ(vantrel.selectPhenotypes(), std::vector<std::string>{"T2"});
}

TEST_F(VantrelInputTest, APhenotypeOptionThatNamesNoPhenotypeFindsNothing) {
    ASSERT_TRUE(read({"-p", "fam.pre", "-m", "fam.map", "--phen", "BMI"})) << output;

    EXPECT_FALSE(run());
    EXPECT_TRUE(
        printed("Error: Phenotype BMI not found!\nError: No phenotypes to orlex...! None of "
                "the pedigree file fam.pre is left to analyse\n"))
        << output;
}

TEST_F(VantrelInputTest, TheLiabilityClassAloneLeavesNoPhenotypeAndIsAnError) {
    writeText("liab.pre",
              "1 1 0 0 1 1 1  1 2  1 3  1 1\n"
              "1 2 0 0 2 1 1  1 1  2 3  1 1\n"
              "1 3 1 2 1 2 1  1 1  1 2  1 1\n");
    ASSERT_TRUE(read(
        {"-p", "liab.pre", "-m", "fam.map", "--liabclass", "--phen", "LIABILITY_CLASS", "--dom"}))
        << output;

    EXPECT_FALSE(run());
    EXPECT_TRUE(printed("Error: LIABILITY_CLASS is the liability class")) << output;
    EXPECT_TRUE(printed("...aborting program due to errors!")) << output;
}

TEST_F(VantrelInputTest, NoModelSwitchSelectsAndAnalysesNothing) {
    ASSERT_TRUE(read({"-p", "fam.pre", "-m", "fam.map"})) << output;

    EXPECT_TRUE(run()) << output;
    EXPECT_TRUE(printed("Using NLopt's BOBYQA optimiser for the likelihood maximization!\n"))
        << output;
    EXPECT_FALSE(printed("Error")) << output;
}

TEST_F(VantrelInputTest, AllMarkersMonomorphicLeavesNothingToAnalyse) {
    ASSERT_TRUE(read({"-p", "fam.pre", "-m", "fam.map", "--marker", "M3", "--dom"})) << output;

    EXPECT_FALSE(run());
    EXPECT_TRUE(
        printed("has less than 2 alleles...skipping.\nError: No markers to orlex...! None of the "
                "selected markers is left to analyse (see the lines above)\n\n"
                "...aborting program due to errors!\n"))
        << output;
}

// Child 1 4 cannot have allele 3 at M1: neither parent carries it.
static std::string withMendelianError(std::string pedigree, const std::string& genotypes) {
    const std::string person = "1 4 1 2 ";
    const std::size_t line = pedigree.find(person);
    const std::size_t alleles = pedigree.find(genotypes, line);
    return pedigree.replace(alleles, genotypes.size(), "3 1");
}

TEST_F(VantrelInputTest, MarkersWithMendelianErrorsAreAnalysedUnlessSkippingIsAsked) {
    writeText("fam.ped", withMendelianError(postMakeped, "2 1"));

    ASSERT_TRUE(read({"-p", "fam.ped", "--post", "-m", "fam.map"})) << output;
    EXPECT_EQ(vantrel.selectMarkers(), (std::vector<int>{1, 2}));
    EXPECT_TRUE(vantrel.mendelErrorMarkers.empty());

    Vantrel skipping;
    ASSERT_TRUE(read(skipping, {"-p", "fam.ped", "--post", "-m", "fam.map", "--skipmendelerrors"}))
        << output;
    EXPECT_TRUE(printed("Skipping markers with Mendelian erros.\n")) << output;
    testing::internal::CaptureStdout();
    EXPECT_EQ(skipping.selectMarkers(), std::vector<int>{2});
    output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(skipping.mendelErrorMarkers, std::vector<std::string>{"M1"});
    EXPECT_TRUE(printed("Warning: Marker M1 has Mendelian errors...skipping.\n")) << output;
}

TEST_F(VantrelInputTest, APreMakepedFileWithMendelianErrorsIsConvertedOnlyWhenSkipping) {
    writeText("fam.pre", withMendelianError(preMakeped, "2 1"));

    EXPECT_FALSE(read({"-p", "fam.pre", "-m", "fam.map"}));
    EXPECT_TRUE(printed("You may like to use option '--skipmendelerrors', but with caution!\n"))
        << output;
    EXPECT_TRUE(printed("...aborting program due to errors!")) << output;

    Vantrel skipping;
    ASSERT_TRUE(read(skipping, {"-p", "fam.pre", "-m", "fam.map", "--skipmendelerrors"})) << output;
    EXPECT_EQ(skipping.pedigrees->pedigreeTree->count, 2);
    EXPECT_FALSE(fs::exists("fam.pre.linkage"));
}

// ---- The marker list file

TEST_F(VantrelInputTest, TheMarkerListTakesTheFirstWordOfEachLineAndItsLastLineWithoutLineFeed) {
    writeText("list.txt", "M2 first word only\n\n   M9\nM1");

    ASSERT_TRUE(read({"-p", "fam.pre", "-m", "fam.map", "--markerlist", "list.txt"})) << output;
    EXPECT_EQ(vantrel.markerListNames, (std::vector<std::string>{"M2", "M9", "M1"}));
    EXPECT_TRUE(printed("Reading marker list file: list.txt\ncontained 3 markers...\n...done\n"))
        << output;

    testing::internal::CaptureStdout();
    const std::vector<int> markers = vantrel.selectMarkers();
    output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(markers, (std::vector<int>{2, 1}));
    EXPECT_TRUE(
        printed("Marker list file in use!\n"
                "Warning: Marker 'M9' not in map file...SKIPPING!\n"))
        << output;
}

TEST_F(VantrelInputTest, TheMarkerOptionWinsOverTheMarkerList) {
    writeText("list.txt", "M1\n");

    ASSERT_TRUE(
        read({"-p", "fam.pre", "-m", "fam.map", "--markerlist", "list.txt", "--marker", "M2"}))
        << output;
    EXPECT_EQ(vantrel.selectMarkers(), std::vector<int>{2});
}

TEST_F(VantrelInputTest, AnUnreadableMarkerListStopsTheRun) {
    EXPECT_FALSE(
        read({"-p", "fam.pre", "-m", "fam.map", "--markerlist", "missing.txt", "--marker", "M1"}));
    EXPECT_TRUE(
        printed("Error: Unable to open file missing.txt for reading.\n"
                "Error in reading marker list file\n\n\n"
                "...aborting program due to errors!\n"))
        << output;
}

// ---- Inputs that stop the run at input

// Everything in the working directory, by name.
static std::vector<std::string> directoryEntries() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(".")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(VantrelInputTest, AnInputNamedLikeAnEngineFileIsRefusedBeforeAnythingIsWritten) {
    fs::rename("fam.map", "pedfile.dat");
    const std::vector<std::string> before = directoryEntries();

    EXPECT_FALSE(read({"-p", "fam.pre", "-m", "pedfile.dat", "--dom"}));

    EXPECT_TRUE(
        printed("Error: Input file pedfile.dat (--mapfile) is the engine's file "
                "pedfile.dat"))
        << output;
    EXPECT_TRUE(printed("...aborting program due to errors!")) << output;
    EXPECT_EQ(directoryEntries(), before);
    EXPECT_EQ(readText("pedfile.dat"), mapText({"M1", "M2", "M3"}, false));
}

TEST_F(VantrelInputTest, FilesOfTheUsersNamedLikeThoseTheRunWritesAreKept) {
    writeText("fam.pre.linkage", "the user's own file\n");
    writeText("fam.pre.trimmed", "another of the user's files\n");

    EXPECT_FALSE(read({"-p", "fam.pre", "-m", "fam.map"}));

    EXPECT_TRUE(printed("Error: fam.pre.linkage already exists in the working directory"))
        << output;
    EXPECT_TRUE(printed("...aborting program due to errors!")) << output;
    EXPECT_EQ(readText("fam.pre.linkage"), "the user's own file\n");
    EXPECT_EQ(readText("fam.pre.trimmed"), "another of the user's files\n");

    fs::remove("fam.pre.linkage");
    writeText("final.dat", "an earlier run's estimates\n");
    Vantrel again;
    EXPECT_FALSE(read(again, {"-p", "fam.pre", "-m", "fam.map"}));
    EXPECT_TRUE(printed("Error: final.dat already exists in the working directory")) << output;
    EXPECT_EQ(readText("final.dat"), "an earlier run's estimates\n");
    // The refused run removes nothing of the working directory.
    again.cleanUp();
    EXPECT_TRUE(fs::exists("final.dat"));
}

TEST_F(VantrelInputTest, OnlyTheConvertedFileOfThisRunIsRemoved) {
    writeText("fam.pre.trimmed", "the user's own file\n");

    ASSERT_TRUE(read({"-p", "fam.pre", "-m", "fam.map"})) << output;

    EXPECT_FALSE(fs::exists("fam.pre.linkage"));
    EXPECT_EQ(readText("fam.pre.trimmed"), "the user's own file\n");
}

TEST_F(VantrelInputTest, ALocusFileWithoutALocusPerMarkerIsRefusedWithBothCounts) {
    // A trait locus and one marker: the map has three markers.
    writeText("two.dat",
              "2 0 0 5\n0 0.0 0.0 0\n1 2\n"
              "1 2\n0.999 0.001\n1\n0 1 1\n"
              "3 2\n0.5 0.5\n"
              "0 0\n0.1\n1 0.1 0.45\n");

    EXPECT_FALSE(read({"-p", "fam.pre", "-m", "fam.map", "-d", "two.dat", "--model"}));

    EXPECT_TRUE(
        printed("Error: The LINKAGE locus file two.dat has 2 loci, but the map has 3 "
                "markers"))
        << output;
    EXPECT_TRUE(printed("...aborting program due to errors!")) << output;

    // A trait locus and the three markers: the file becomes the run's model.
    writeText("four.dat",
              "4 0 0 5\n0 0.0 0.0 0\n1 2 3 4\n"
              "1 2\n0.99 0.01\n1\n0 0.8 0.8\n"
              "3 2\n0.5 0.5\n3 3\n0.2 0.3 0.5\n3 1\n1.0\n"
              "0 0\n0.1 0.1 0.1\n1 0.1 0.45\n");
    Vantrel fourLoci;
    ASSERT_TRUE(read(fourLoci, {"-p", "fam.pre", "-m", "fam.map", "-d", "four.dat", "--model"}))
        << output;
    EXPECT_EQ(fourLoci.linkageLocusFile, fourLoci.pedigrees->linkageLocusFile);
    EXPECT_EQ(fourLoci.linkageLocusFile->getLocus(2)->getAlleleFrequency(2), 0.5);
    EXPECT_EQ(fourLoci.linkageLocusFile->getLocus(0)->getAlleleFrequency(1), 0.01);
}

TEST_F(VantrelInputTest, AModelFileThatCannotBeReadStopsTheRun) {
    writeText("broken.model", "0 zero 1\n");

    EXPECT_FALSE(read({"-p", "fam.pre", "-m", "fam.map", "-k", "broken.model", "--model"}));

    EXPECT_TRUE(printed("Error: Reading the model file broken.model failed\n")) << output;
    EXPECT_TRUE(printed("...aborting program due to errors!")) << output;
}

// The joint program reads X-linked pedigrees through the store's reader,
// which refuses a heterozygous male.
TEST_F(VantrelInputTest, XLinkedDataRefuseAHeterozygousMale) {
    EXPECT_FALSE(read({"-p", "fam.pre", "-m", "fam.map", "--xlinked", "--dom"}));
    EXPECT_TRUE(
        printed("Error: Pedigree file fam.pre, line 1: person 1 of pedigree 1 is a male "
                "heterozygous (1/2) at marker M1 (marker_index: 0) of X-linked data\n"))
        << output;
}

TEST_F(VantrelInputTest, TheModelBasedAnalysisNeedsAModelOrALocusFile) {
    EXPECT_FALSE(read({"-p", "fam.pre", "-m", "fam.map", "--model"}));

    EXPECT_TRUE(
        printed("Error: If you wish to do model-based Vantrel analysis, you have to use "
                "model-file or Linkage datafile!\n\n\n"
                "...aborting program due to errors!\n"))
        << output;
}

TEST_F(VantrelInputTest, XLinkedModelBasedAnalysisNeedsMalePenetrances) {
    // Males carry one X: each is homozygous at every marker.
    writeText("fam.pre",
              "1 1 0 0 1 1  1 1  3 3  1 1\n"
              "1 2 0 0 2 1  1 1  2 3  1 1\n"
              "1 3 1 2 1 2  1 1  2 2  1 1\n"
              "1 4 1 2 2 2  1 1  3 3  1 1\n"
              "2 1 0 0 1 1  1 1  2 2  1 1\n"
              "2 2 0 0 2 2  1 2  2 3  1 1\n"
              "2 3 1 2 2 2  1 2  2 2  1 1\n");
    EXPECT_FALSE(
        read({"-p", "fam.pre", "-m", "fam.map", "-k", "dominant.model", "--xlinked", "--model"}));
    EXPECT_TRUE(
        printed("Error: X-linked data (--xlinked) need a sex-linked disease model with "
                "male penetrances, and the model file dominant.model has none\n"))
        << output;

    // The dominant and recessive runs build a trait locus of their own.
    Vantrel dominant;
    EXPECT_TRUE(read(
        dominant, {"-p", "fam.pre", "-m", "fam.map", "-k", "dominant.model", "--xlinked", "--dom"}))
        << output;

    writeText("xlinked.model", "1 0.001 1\n0 1 1\n0 1\n");
    Vantrel sexLinked;
    EXPECT_TRUE(read(sexLinked, {"-p", "fam.pre", "-m", "fam.map", "-k", "xlinked.model",
                                 "--xlinked", "--model"}))
        << output;
}

TEST_F(VantrelInputTest, TheModelsLiabilityClassesMustAgreeWithTheLiabilityColumn) {
    // Person 1 3 is of class 2.
    writeText("liab.pre",
              "1 1 0 0 1 1 1  1 2  1 3  1 1\n"
              "1 2 0 0 2 1 1  1 1  2 3  1 1\n"
              "1 3 1 2 1 2 2  1 1  1 2  1 1\n");
    writeText("two.model", "0 0.001 2\n0 1 1\n0 0.5 0.5\n");

    EXPECT_FALSE(read(
        {"-p", "liab.pre", "-m", "fam.map", "--liabclass", "-k", "dominant.model", "--model"}));
    EXPECT_TRUE(
        printed("Error: Pedigree file liab.pre: person 3 of pedigree 1 has liability "
                "class 2, but the trait locus of the model file dominant.model declares 1 "
                "liability class"))
        << output;
    EXPECT_TRUE(printed("...aborting program due to errors!")) << output;

    Vantrel twoClasses;
    EXPECT_TRUE(read(twoClasses, {"-p", "liab.pre", "-m", "fam.map", "--liabclass", "-k",
                                  "two.model", "--model"}))
        << output;
    // The dominant run's own trait locus has one class and no class column.
    Vantrel dominant;
    EXPECT_TRUE(read(dominant, {"-p", "liab.pre", "-m", "fam.map", "--liabclass", "-k",
                                "dominant.model", "--dom"}))
        << output;
}

}  // namespace

// vantrel's engine build holds more alleles per marker than orlex's: a marker
// within its limit is read, one allele more is refused before any engine run.
TEST_F(VantrelInputTest, MarkersAreCheckedAgainstTheJointProgramsEngineLimits) {
    const auto familiesWith = [](int alleles) {
        std::string text;
        for (int t = 0; 4 * t < alleles; ++t) {
            const auto allele = [&](int i) { return std::to_string(std::min(4 * t + i, alleles)); };
            const std::string id = std::to_string(t + 1);
            text += id + " 1 0 0 1 2 " + allele(1) + " " + allele(2) + "\n" + id + " 2 0 0 2 1 " +
                    allele(3) + " " + allele(4) + "\n" + id + " 3 1 2 1 2 " + allele(1) + " " +
                    allele(3) + "\n";
        }
        return text;
    };
    writeText("one.map", mapText({"M1"}, false));
    ASSERT_GT(vantrelEngineLimits.alleles, orlexEngineLimits.alleles);

    writeText("within.pre", familiesWith(vantrelEngineLimits.alleles));
    EXPECT_TRUE(read({"-p", "within.pre", "-m", "one.map", "--dom"})) << output;

    writeText("beyond.pre", familiesWith(vantrelEngineLimits.alleles + 1));
    Vantrel beyond;
    EXPECT_FALSE(read(beyond, {"-p", "beyond.pre", "-m", "one.map", "--dom"}));
    EXPECT_TRUE(printed("more than the " + std::to_string(vantrelEngineLimits.alleles) +
                        " the engine build holds"))
        << output;
    EXPECT_TRUE(printed("...aborting program due to errors!")) << output;
}
