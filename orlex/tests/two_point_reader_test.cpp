// The reader of the MLINK two-point result file. The fixture is a real
// "outfile.dat" of the engine's mlinkorlex for two phase-unknown families
// (mlink_fixture.ped / .dat beside it): 26 blocks, theta 0.5 first.
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "mlink.h"
#include "pedigrees.h"
#include "test_support.h"

using test_support::readText;
using test_support::sourcePath;

static std::string fixtureText() {
    return readText(sourcePath("orlex/tests/data/mlink_fixture.out"));
}

struct ReadResult {
    bool ok;
    std::string output;
    std::unique_ptr<MLinkMarker> marker;
};

static ReadResult readBlocks(const std::string& text, int pedigreeCount) {
    std::istringstream input(text);
    auto marker = std::make_unique<MLinkMarker>();
    testing::internal::CaptureStdout();
    const bool ok = readTwoPointBlocks(input, "outfile.dat", pedigreeCount, *marker);
    return {ok, testing::internal::GetCapturedStdout(), std::move(marker)};
}

// Z(theta) of a phase-unknown family of n children, k of them recombinant.
static double phaseUnknownLod(double theta, int n, int k) {
    return std::log10(std::pow(2.0, n - 1) * (std::pow(theta, k) * std::pow(1 - theta, n - k) +
                                              std::pow(theta, n - k) * std::pow(1 - theta, k)));
}

TEST(TwoPointReader, ReadsEveryBlockOfTheEngineFileInOrder) {
    const ReadResult read = readBlocks(fixtureText(), 2);
    ASSERT_TRUE(read.ok) << read.output;
    std::vector<std::string> expected = {"0.5", "0"};
    for (int step = 1; step <= 24; ++step) {
        std::ostringstream key;
        key << step * 0.02;
        expected.push_back(key.str());
    }
    EXPECT_EQ(read.marker->getLikelihoodsNames(), expected);

    const FastlinkLikelihoods* point = read.marker->getLikelihoods(0.1);
    ASSERT_NE(point, nullptr);
    EXPECT_DOUBLE_EQ(point->getRecombinationFraction(), 0.1);
    EXPECT_EQ(point->getPedigreeNames(), (std::vector<std::string>{"1", "2"}));
    EXPECT_DOUBLE_EQ(point->getLikelihood("1")->getLnLike(), -17.364611);
    EXPECT_DOUBLE_EQ(point->getLikelihood("1")->log10Like, -7.541339);
    EXPECT_DOUBLE_EQ(point->lnLikeTotal, -30.934982);
    EXPECT_DOUBLE_EQ(point->log10Total, -13.434863);
    EXPECT_DOUBLE_EQ(point->getMinus2LnLike(), 61.87);
    // Family 1: six children, one recombinant; family 2: four, none.
    EXPECT_NEAR(point->getLikelihood("1")->getLodScore(), phaseUnknownLod(0.1, 6, 1), 1e-5);
    EXPECT_NEAR(point->getLikelihood("2")->getLodScore(), phaseUnknownLod(0.1, 4, 0), 1e-5);
    EXPECT_NEAR(point->getLodScore(), phaseUnknownLod(0.1, 6, 1) + phaseUnknownLod(0.1, 4, 0),
                1e-5);

    // The impossible theta 0 of family 1 is read as the engine printed it.
    EXPECT_LT(read.marker->getLikelihoods(0.0)->getLodScore(), -1e19);
    const FastlinkLikelihoods* best = read.marker->getLikelihoodWithMaxLodScore();
    ASSERT_NE(best, nullptr);
    EXPECT_DOUBLE_EQ(best->getRecombinationFraction(), 0.1);
}

TEST(TwoPointReader, BlankLinesAndTrailingTokensChangeNothing) {
    const std::string text = fixtureText();
    std::string spaced;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        spaced += "\n   \t\n" + line + (line.rfind("TOTALS", 0) == 0 ? " extra tokens" : "") + "\n";
    }
    spaced = std::regex_replace(spaced, std::regex("LOD=( +[-0-9.]+)"), "LOD=$1 more");
    spaced += "\n  \n";

    const ReadResult plain = readBlocks(text, 2);
    const ReadResult read = readBlocks(spaced, 2);
    ASSERT_TRUE(read.ok) << read.output;
    ASSERT_EQ(read.marker->getLikelihoodsNames(), plain.marker->getLikelihoodsNames());
    for (const std::string& key : plain.marker->getLikelihoodsNames()) {
        const FastlinkLikelihoods* expected = plain.marker->likelihoods.at(key);
        const FastlinkLikelihoods* actual = read.marker->likelihoods.at(key);
        EXPECT_EQ(actual->getLodScore(), expected->getLodScore()) << key;
        EXPECT_EQ(actual->lnLikeTotal, expected->lnLikeTotal) << key;
        EXPECT_EQ(actual->getLikelihood("2")->getLodScore(),
                  expected->getLikelihood("2")->getLodScore())
            << key;
    }
}

TEST(TwoPointReader, FileWithoutBlocksGivesAMarkerWithoutBlocks) {
    for (const std::string& text :
         {std::string(), std::string("\n\n  \n"), std::string("LINKAGE\nORDER\n----\n----\n\n")}) {
        const ReadResult read = readBlocks(text, 2);
        EXPECT_TRUE(read.ok);
        EXPECT_TRUE(read.marker->getLikelihoodsNames().empty());
        EXPECT_EQ(read.marker->getLikelihoodWithMaxLodScore(), nullptr);
    }
}

TEST(TwoPointReader, RepeatedThetaStandsTwiceAndTheLaterBlockIsKept) {
    const std::string text = fixtureText();
    const size_t second = text.find("THETAS  0.000");
    std::string twice = text;
    twice.replace(second, 13, "THETAS  0.500");
    const ReadResult read = readBlocks(twice, 2);
    ASSERT_TRUE(read.ok) << read.output;
    const std::vector<std::string> names = read.marker->getLikelihoodsNames();
    EXPECT_EQ(names[0], "0.5");
    EXPECT_EQ(names[1], "0.5");
    EXPECT_LT(read.marker->getLikelihoods(0.5)->getLodScore(), -1e19);
}

TEST(TwoPointReader, TieKeepsTheEarliestBlock) {
    const std::string block =
        "THETAS  %\n---\nPEDIGREE |  LN LIKE  | LOG 10 LIKE\n---\n"
        "        1   -1.0    -0.4 LOD=     0.000000\n---\nTOTALS -1.0 -0.4\n"
        "-2 LN(LIKE) =  2.0 LOD SCORE =     0.000000\n---\n---\n";
    std::string text = "head\nhead\n---\n---\n";
    for (const char* theta : {"0.500", "0.000", "0.020"}) {
        text += std::regex_replace(block, std::regex("%"), theta);
    }
    const ReadResult read = readBlocks(text, 1);
    ASSERT_TRUE(read.ok) << read.output;
    EXPECT_DOUBLE_EQ(read.marker->getLikelihoodWithMaxLodScore()->getRecombinationFraction(), 0.5);
}

// Each damaged file ends the reading with an error naming the file and line.
TEST(TwoPointReader, DamagedFileIsAnErrorNamingTheLine) {
    const std::string text = fixtureText();
    struct Case {
        const char* what;
        std::string text;
        int pedigreeCount;
        std::string message;
    };
    std::string notANumber = text;
    notANumber.replace(notANumber.find("-18.548412"), 10, "-18.54x412");
    std::string badTotal = text;
    badTotal.replace(badTotal.find("6.35566e+01"), 11, "nonsense");
    const std::string truncated = text.substr(0, text.find("TOTALS      -31.778304"));
    std::string shortLine = text;
    shortLine.replace(shortLine.find("THETAS  0.040"), 13, "THETAS");
    // The next pedigree line must not make up the missing fields.
    std::string noLod = text;
    noLod.erase(noLod.find(" LOD=    -0.237689"), 18);
    const std::vector<Case> cases = {
        {"a likelihood that is no number", notANumber, 2,
         "line 31: the ln likelihood of pedigree 1 is not a number (\"-18.54x412\")"},
        {"a -2 ln(like) that is no number", badTotal, 2,
         "line 35: -2 ln(like) is not a number (\"nonsense\")"},
        {"more pedigrees than the file holds", text, 3,
         "line 11: too few fields for pedigree line 3 of the block of theta 0.500"},
        {"a file cut inside a block", truncated, 2,
         "the file ends where the totals of the block of theta 0.020 should stand"},
        {"a theta line without its value", shortLine, 2,
         "line 38: too few fields for a recombination fraction"},
        {"a pedigree line without its LOD score", noLod, 2,
         "line 31: too few fields for pedigree line 1 of the block of theta 0.020"},
    };
    for (const Case& c : cases) {
        const ReadResult read = readBlocks(c.text, c.pedigreeCount);
        EXPECT_FALSE(read.ok) << c.what;
        EXPECT_NE(read.output.find("Error: outfile.dat, "), std::string::npos) << c.what;
        EXPECT_NE(read.output.find(c.message), std::string::npos) << c.what << ": " << read.output;
    }
}

class ReadResultsFile : public test_support::TempDirTest {};

TEST_F(ReadResultsFile, AppendsTheNamedMarkerAndPrintsItsBestPoint) {
    Pedigrees store;
    store.pedigreeTree->insert(new Pedigree("1"));
    store.pedigreeTree->insert(new Pedigree("2"));
    test_support::writeText("outfile.dat", fixtureText());
    MLink mlink(&store);
    mlink.selectedMarkers = {"M0", "M1"};
    mlink.currentMarkerIndex = 1;

    testing::internal::CaptureStdout();
    ASSERT_TRUE(mlink.readResultsFile("outfile.dat", "basic"));
    // The console line leaves the stream's precision and notation as they were.
    std::cout << 1.0 / 3 << '\n';
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(output, "                  M1     0.996553      0.10\n0.333333\n");
    ASSERT_EQ(mlink.currentMarkers.size(), 1u);
    EXPECT_EQ(mlink.currentMarkers[0]->getIndex(), "M1");
    EXPECT_EQ(mlink.currentMarkers[0]->getLikelihoodsNames().size(), 26u);
}

TEST_F(ReadResultsFile, MissingFileIsAnErrorAndAddsNothing) {
    Pedigrees store;
    MLink mlink(&store);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(mlink.readResultsFile("outfile.dat", "basic"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error: Unable to open stream file outfile.dat for reading.\n");
    EXPECT_TRUE(mlink.currentMarkers.empty());
}

// A file that reads without a fault but lacks blocks of the engine's theta
// grid (cut at a block boundary, say) gives no best LOD: its best would be
// the best of the blocks that happen to be there.
TEST_F(ReadResultsFile, BlocksOtherThanTheEnginesGridAreAnError) {
    const std::string text = fixtureText();
    const auto from = [&text](const char* theta) { return text.find(theta); };
    struct Case {
        const char* what;
        std::string text;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"cut before theta 0.2", text.substr(0, from("THETAS  0.200")),
         "Error: outfile.dat for marker M1 holds 11 of the 26 recombination fractions that the "
         "engine evaluates (0.5, then 0 to 0.48 by 0.02): the file ends before theta 0.2\n"},
        {"block of theta 0.1 missing",
         text.substr(0, from("THETAS  0.100")) + text.substr(from("THETAS  0.120")),
         "Error: outfile.dat for marker M1: block 7 is for theta 0.12, where the engine "
         "evaluates theta 0.1\n"},
        {"a block after the last", text + "-----\n-----\n" + text.substr(from("THETAS  0.480")),
         "Error: outfile.dat for marker M1: block 27 is for theta 0.48, where the engine "
         "evaluates no further theta\n"},
    };
    for (const Case& c : cases) {
        Pedigrees store;
        store.pedigreeTree->insert(new Pedigree("1"));
        store.pedigreeTree->insert(new Pedigree("2"));
        test_support::writeText("outfile.dat", c.text);
        MLink mlink(&store);
        mlink.selectedMarkers = {"M1"};
        mlink.currentMarkerIndex = 0;
        testing::internal::CaptureStdout();
        EXPECT_FALSE(mlink.readResultsFile("outfile.dat", "basic")) << c.what;
        // No console line of a best point precedes the error.
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.error) << c.what;
        EXPECT_TRUE(mlink.currentMarkers.empty()) << c.what;
    }
}
