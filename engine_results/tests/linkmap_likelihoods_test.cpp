// The multipoint reader against files the engine's LINKMAP build wrote (data/,
// made by linkmaporlex from a two-family data set of three markers 10 cM
// apart, five steps per interval) and against cut and altered copies.
#include "linkmap_likelihoods.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

using test_support::readText;
using test_support::sourcePath;
using test_support::writeText;

static std::string fixture(const std::string& name) {
    return readText(sourcePath("engine_results/tests/data/" + name));
}

// Blocks counted independently of the reader: one THETAS line each.
static size_t thetasLines(const std::string& text) {
    size_t count = 0;
    for (size_t at = text.find("THETAS"); at != std::string::npos;
         at = text.find("THETAS", at + 1)) {
        ++count;
    }
    return count;
}

// The first lines of the text.
static std::string firstLines(const std::string& text, int lines) {
    std::istringstream input(text);
    std::string kept;
    std::string line;
    for (int i = 0; i < lines && std::getline(input, line); ++i) {
        kept += line + "\n";
    }
    return kept;
}

class LinkmapReader : public test_support::TempDirTest {
  protected:
    // Reads the text as "outfile.dat"; the output of the reader goes to printed.
    bool read(const std::string& text, int loci, int pedigrees, int skip = 0) {
        writeText("outfile.dat", text);
        run.numberOfLoci = loci;
        run.numberOfPedigrees = pedigrees;
        run.headerLinesToSkip = skip;
        std::ostringstream captured;
        std::streambuf* const previous = std::cout.rdbuf(captured.rdbuf());
        const bool ok = run.readOutFile();
        std::cout.rdbuf(previous);
        printed = captured.str();
        return ok;
    }

    LinkmapLikelihoods run;
    std::string printed;
};

struct EngineFile {
    const char* name;
    int loci;
    size_t blocks;  // as counted in the file by hand
    std::vector<double> firstThetas;
    std::vector<double> lastThetas;
    double firstLnTotal;
    double lastPedigree2LnLike;
};

static void PrintTo(const EngineFile& file, std::ostream* out) {
    *out << file.name;
}

class EngineFileReading : public LinkmapReader, public ::testing::WithParamInterface<EngineFile> {};

TEST_P(EngineFileReading, EveryBlockBecomesOneEvaluation) {
    const EngineFile& file = GetParam();
    const std::string text = fixture(file.name);
    ASSERT_TRUE(read(text, file.loci, 2)) << printed;
    EXPECT_EQ(printed, "");
    EXPECT_EQ(run.evaluations.size(), thetasLines(text));
    EXPECT_EQ(run.evaluations.size(), file.blocks);

    const FastlinkLikelihoods& first = *run.evaluations.front();
    const FastlinkLikelihoods& last = *run.evaluations.back();
    EXPECT_EQ(first.thetas, file.firstThetas);
    EXPECT_EQ(last.thetas, file.lastThetas);
    EXPECT_DOUBLE_EQ(first.lnLikeTotal, file.firstLnTotal);
    // From the six-decimal TOTALS line, not the rounded "-2 LN(LIKE)" line.
    EXPECT_DOUBLE_EQ(first.getMinus2LnLike(), -2.0 * file.firstLnTotal);
    EXPECT_EQ(last.getPedigreeNames(), (std::vector<std::string>{"1", "2"}));
    ASSERT_NE(last.getLikelihood("2"), nullptr);
    EXPECT_DOUBLE_EQ(last.getLikelihood("2")->getLnLike(), file.lastPedigree2LnLike);
    for (const auto& evaluation : run.evaluations) {
        EXPECT_DOUBLE_EQ(evaluation->getLodScore(), 1.0);
        EXPECT_DOUBLE_EQ(evaluation->getRecombinationFraction(), 1.0);
        EXPECT_DOUBLE_EQ(evaluation->getLikelihood("1")->getLodScore(), -99.0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Linkmaporlex, EngineFileReading,
    ::testing::Values(
        EngineFile{
            "linkmap_trait_first.out", 3, 5, {0.5, 0.091}, {0.1, 0.091}, -68.436892, -31.611422},
        EngineFile{
            "linkmap_trait_between.out", 3, 6, {0.0, 0.091}, {0.091, 0.0}, -66.329058, -30.149715},
        EngineFile{"linkmap_trait_last.out",
                   4,
                   6,
                   {0.091, 0.091, 0.0},
                   {0.091, 0.091, 0.5},
                   -85.0929,
                   -41.103918}),
    [](const ::testing::TestParamInfo<EngineFile>& info) {
        std::string name = info.param.name;
        name = name.substr(0, name.find('.'));
        name.erase(std::remove(name.begin(), name.end(), '_'), name.end());
        return name;
    });

TEST_F(LinkmapReader, HeaderLinesAreSkippedAndAFileOfNothingElseHoldsNoEvaluation) {
    EXPECT_TRUE(read("", 3, 2));
    EXPECT_TRUE(run.evaluations.empty());
    EXPECT_TRUE(read("head 1\nhead 2\n", 3, 2, 2));
    EXPECT_TRUE(run.evaluations.empty());
    EXPECT_TRUE(read("head\n" + fixture("linkmap_trait_first.out"), 3, 2, 1));
    EXPECT_EQ(run.evaluations.size(), 5u);
}

TEST_F(LinkmapReader, OneLocusReadsNoThetasAndNoPedigreesReadsNoRecords) {
    const std::string block =
        "---\n---\nTHETAS 0.5 7\n---\nhead\n---\n---\nTOTALS -3.5 -1.52\n-2 LN(LIKE) = 7\n";
    ASSERT_TRUE(read(block + block, 1, 0)) << printed;
    ASSERT_EQ(run.evaluations.size(), 2u);
    EXPECT_TRUE(run.evaluations[1]->thetas.empty());
    EXPECT_TRUE(run.evaluations[1]->getPedigreeNames().empty());
    EXPECT_DOUBLE_EQ(run.evaluations[1]->getMinus2LnLike(), 7.0);
}

TEST_F(LinkmapReader, ABlockWithoutThetasHasOneLineFewerAndExtraTokensAreIgnored) {
    const std::string text =
        "---\n---\nPEDIGREE | LN LIKE\n---\n---\n 7 -2.5 -1.1 extra\n---\nTOTALS -2.5 -1.1 x\n"
        "-2 LN(LIKE) = 5.0 more\n";
    ASSERT_TRUE(read(text, 3, 1)) << printed;
    ASSERT_EQ(run.evaluations.size(), 1u);
    EXPECT_TRUE(run.evaluations[0]->thetas.empty());
    EXPECT_DOUBLE_EQ(run.evaluations[0]->getLikelihood("7")->getLnLike(), -2.5);
    EXPECT_DOUBLE_EQ(run.evaluations[0]->getMinus2LnLike(), 5.0);
}

struct BrokenFile {
    const char* label;
    int linesKept;  // of the trait-between engine file; 0 keeps all
    std::string from;
    std::string to;
    size_t evaluationsLeft;
    const char* message;
};

static void PrintTo(const BrokenFile& broken, std::ostream* out) {
    *out << broken.label;
}

class BrokenEngineFile : public LinkmapReader, public ::testing::WithParamInterface<BrokenFile> {};

TEST_P(BrokenEngineFile, FailsNamingTheLineAndKeepsTheWholeBlocksBefore) {
    const BrokenFile& broken = GetParam();
    std::string text = fixture("linkmap_trait_between.out");
    if (broken.linesKept > 0) {
        text = firstLines(text, broken.linesKept);
    }
    if (!broken.from.empty()) {
        const size_t at = text.find(broken.from);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, broken.from.size(), broken.to);
    }
    EXPECT_FALSE(read(text, 3, 2));
    EXPECT_EQ(run.evaluations.size(), broken.evaluationsLeft);
    EXPECT_EQ(printed.rfind("Error: outfile.dat, line ", 0), 0u) << printed;
    EXPECT_NE(printed.find(broken.message), std::string::npos) << printed;
}

// Blocks are 11 lines long; the third block's pedigree lines are lines 29 and 30.
INSTANTIATE_TEST_SUITE_P(
    Linkmaporlex, BrokenEngineFile,
    ::testing::Values(
        BrokenFile{"CutInsideThirdBlocksPedigrees", 29, "", "", 2, "(pedigree line 2 of 2)"},
        BrokenFile{"CutAfterTheThetas", 25, "", "", 2, "ends inside an evaluation block"},
        BrokenFile{"CutBeforeTheLastMinus2LnLike", 65, "", "", 5, "-2 LN(LIKE)"},
        BrokenFile{"WordForATheta", 0, "THETAS  0.018", "THETAS  none", 1, "THETAS value 1 of 2"},
        BrokenFile{"WordForALnLikelihood", 0, "-34.023033", "nan?", 1, "pedigree line 1"},
        BrokenFile{"WordForATotal", 0, "-65.231110", "-", 1, "TOTALS line"}),
    [](const ::testing::TestParamInfo<BrokenFile>& info) { return info.param.label; });

TEST_F(LinkmapReader, AMissingFileIsReportedWhateverTheVerboseSetting) {
    std::ostringstream captured;
    std::streambuf* const previous = std::cout.rdbuf(captured.rdbuf());
    const bool ok = run.readOutFile();
    std::cout.rdbuf(previous);
    EXPECT_FALSE(ok);
    EXPECT_EQ(captured.str(), "Error: Unable to open OUTFILE outfile.dat for reading.\n");
}

TEST_F(LinkmapReader, PedigreeReferenceComesFromTheFirstOrLastEvaluation) {
    EXPECT_DOUBLE_EQ(run.getNullMinus2LNLikelihoodForPedigree("1", 0), -99.0);
    ASSERT_TRUE(read(fixture("linkmap_trait_between.out"), 3, 2));
    EXPECT_DOUBLE_EQ(run.getNullMinus2LNLikelihoodForPedigree("1", 0), -34.569907);
    EXPECT_DOUBLE_EQ(run.getNullMinus2LNLikelihoodForPedigree("1", 1), -32.960469);
    EXPECT_DOUBLE_EQ(run.getNullMinus2LNLikelihoodForPedigree("1", 2), -99.0);
    EXPECT_DOUBLE_EQ(run.getNullMinus2LNLikelihoodForPedigree("3", 0), -99.0);

    LinkmapLikelihoods single;
    single.evaluations.push_back(std::make_unique<FastlinkLikelihoods>());
    single.evaluations[0]->addLikelihood("4", -1.25, -0.5, -99.0);
    EXPECT_DOUBLE_EQ(single.getNullMinus2LNLikelihoodForPedigree("4", 1),
                     single.getNullMinus2LNLikelihoodForPedigree("4", 0));
}

TEST_F(LinkmapReader, PrintsTheRunAsATableOfLodScores) {
    ASSERT_TRUE(read(fixture("linkmap_trait_between.out"), 3, 2));
    run.markerNames = {"M1", "M2"};
    run.locusOrder = {2, 1, 3};
    run.nullMinus2LnLike = 136.873784;
    std::ostringstream captured;
    std::streambuf* const previous = std::cout.rdbuf(captured.rdbuf());
    run.printBetter();
    std::cout << 0.5;
    std::cout.rdbuf(previous);
    const std::string table = captured.str();
    EXPECT_EQ(table.substr(0, table.find('\n', table.find('\n') + 1) + 1),
              "Marker order: M1 M2 \tLocus order: 2 1 3 \n"
              "    Thetas             -2ln(like)    LOD Score\n");
    // (136.873784 - 2 x 66.329058) / (2 ln 10)
    EXPECT_NE(table.find("  0.000000  0.091000   132.658116     0.915421\n"), std::string::npos)
        << table;
    // The stream's own notation is back for later output.
    EXPECT_EQ(table.substr(table.size() - 4), "\n0.5");

    LinkmapLikelihoods empty;
    captured.str("");
    std::cout.rdbuf(captured.rdbuf());
    empty.printBetter();
    std::cout.rdbuf(previous);
    EXPECT_EQ(captured.str(), "No results! :-O\n");
}
