// Studies at and beyond the engine's compiled limits, run with the real
// engine: a study at a limit gives the LOD derived by hand, one beyond it
// ends with the engine's own reason in the error box, never with a hang.
// A couple's LOD with a fully penetrant dominant trait, an affected parent
// heterozygous at the marker, a mate homozygous at it, n children and no
// recombinant, phase unknown: Z(0) = log10(2^(n-1)), which the engine
// turns from natural logarithms with ln 10 taken as 2.30259.
#include "test_support.h"

#include <cmath>
#include <regex>
#include <string>

namespace {

using test_support::contains;
using test_support::runShell;
using test_support::writeText;

// One line of a post-MAKEPED pedigree file: pedigree, person, father,
// mother, first child, next sibling by father and by mother, sex, proband,
// affection, the marker's two alleles.
std::string person(int pedigree, int id, int father, int mother, int firstChild, int nextSibling,
                   int sex, int affection, const char* alleles) {
    return std::to_string(pedigree) + " " + std::to_string(id) + " " + std::to_string(father) +
           " " + std::to_string(mother) + " " + std::to_string(firstChild) + " " +
           std::to_string(nextSibling) + " " + std::to_string(nextSibling) + " " +
           std::to_string(sex) + " " + (id == 1 ? "1" : "0") + " " + std::to_string(affection) +
           " " + alleles + "\n";
}

// An affected father 1/2 and an unaffected mother 1/1 with the children,
// affected 1/1 and unaffected 1/2 by turns: the trait allele travels with
// the father's 1 in every child.
std::string couple(int pedigree, int children) {
    std::string text =
        person(pedigree, 1, 0, 0, 3, 0, 1, 2, "1 2") + person(pedigree, 2, 0, 0, 3, 0, 2, 1, "1 1");
    for (int child = 3; child < children + 3; ++child) {
        const bool affected = child % 2 == 1;
        const int next = child + 1 < children + 3 ? child + 1 : 0;
        text += person(pedigree, child, 1, 2, 0, next, 1 + child % 2, affected ? 2 : 1,
                       affected ? "1 1" : "1 2");
    }
    return text;
}

std::string couples(int pedigrees, int children) {
    std::string text;
    for (int pedigree = 1; pedigree <= pedigrees; ++pedigree) {
        text += couple(pedigree, children);
    }
    return text;
}

// The compiled limits (build/engine/bin/orlex.limits); the documents'
// limits tables give the same.
constexpr int maxChildren = 18;
constexpr int maxPedigrees = 5000;
constexpr int maxPersons = 20000;

const char* const orlexRun =
    "--singlepoint --post --ped study.ped --map one.map --model dominant.model";
const char* const vantrelRun = "--post --pedigreefile study.ped --mapfile one.map --dom";

class EngineLimitsTest : public test_support::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        writeText("one.map", "CHROMOSOME haldane MARKER\n1 0.0 M1\n");
        writeText("dominant.model", "0 0.001 1\n0 1 1\n");
    }

    // A hung engine program ends the test, not the suite's time.
    static test_support::CommandResult run(const std::string& program,
                                           const std::string& arguments) {
        return runShell("timeout -k 5 300 " + program + " " + arguments);
    }
};

TEST_F(EngineLimitsTest, ASibshipAtTheLimitGivesItsLod) {
    writeText("study.ped", couple(1, maxChildren));
    const auto result = run("orlex", orlexRun);
    ASSERT_EQ(result.status, 0) << result.output;
    std::smatch best;
    ASSERT_TRUE(
        std::regex_search(result.output, best, std::regex("\n *M1 +(-?[0-9.]+) +([0-9.]+)\n")))
        << result.output;
    const double engineLn10 = 2.30259;
    EXPECT_NEAR(std::stod(best[1]), (maxChildren - 1) * std::log(2.0) / engineLn10, 1e-6);
    EXPECT_EQ(std::stod(best[2]), 0.0);
}

struct Beyond {
    const char* label;
    const char* program;
    const char* arguments;
    int pedigrees;
    int children;
    std::string heading;  // of the engine's lines in the box
    std::string reason;   // the last of them
};

void PrintTo(const Beyond& beyond, std::ostream* out) {
    *out << beyond.label;
}

class BeyondTheLimitTest : public EngineLimitsTest, public ::testing::WithParamInterface<Beyond> {};

TEST_P(BeyondTheLimitTest, TheEnginesReasonIsInTheErrorBox) {
    const Beyond& c = GetParam();
    writeText("study.ped", couples(c.pedigrees, c.children));
    const auto result = run(c.program, c.arguments);
    EXPECT_EQ(result.status, 255) << result.output;
    EXPECT_TRUE(contains(result.output, "\n\n" + c.heading + "\n")) << result.output;
    EXPECT_TRUE(contains(result.output, c.reason + std::string(66, '*') + "\n\nAborting program!"))
        << result.output;
    EXPECT_FALSE(contains(result.output, "--verbose to see")) << result.output;
}

const std::string sibshipReason =
    "  A nuclear family has more children than maxchild\n"
    "  The program will exit politely to allow you to\n"
    "  increase maxchild in the file commondefs.h\n";

// The pedigrees are sorted by their ids as words, so 999 is the last.
const std::string pedigreesReason =
    "  Fatal error detected in procedure inputdata\n"
    "  Error detected reading pedigree record at pedigree999. Maximum number of pedigree "
    "records exceeded\n";

INSTANTIATE_TEST_SUITE_P(
    Studies, BeyondTheLimitTest,
    ::testing::Values(
        Beyond{"OrlexSibship", "orlex", orlexRun, 1, 60,
               "Last lines of mlinkorlex's error output:", sibshipReason},
        Beyond{"VantrelSibship", "vantrel", vantrelRun, 1, 60,
               "Last lines of ilinkvant's error output:", sibshipReason},
        Beyond{"OrlexPedigrees", "orlex", orlexRun, maxPedigrees + 1, 1,
               "Last lines of mlinkorlex's output (--verbose shows all of it):", pedigreesReason},
        // Couples of four children: six persons a pedigree.
        Beyond{"OrlexPersons", "orlex", orlexRun, maxPersons / 6 + 1, 4,
               "Last lines of mlinkorlex's output (--verbose shows all of it):",
               "  Error detected reading pedigree record 20001. Maximum number of individuals "
               "exceeded\n"},
        Beyond{"VantrelPedigrees", "vantrel", vantrelRun, maxPedigrees + 1, 1,
               "Last lines of ilinkvant's output (--verbose shows all of it):", pedigreesReason}),
    [](const ::testing::TestParamInfo<Beyond>& info) { return info.param.label; });

}  // namespace
