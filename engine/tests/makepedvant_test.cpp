// makepedvant converts pre-MAKEPED pedigree files; the engine trusts the
// pointer columns it computes, so they are checked against hand-derived values.

#include <filesystem>
#include <string>

#include "test_support.h"

using test_support::readText;
using test_support::runCommand;
using test_support::writeText;

class MakepedvantTest : public test_support::TempDirTest {
  protected:
    static test_support::CommandResult convert(const std::string& input,
                                               const std::string& output = "out.ped") {
        return runCommand(test_support::programPath("makepedvant").string() + " \"" + input +
                          "\" \"" + output + "\" n");
    }
};

TEST_F(MakepedvantTest, NumbersPersonsAndLinksHalfSibsAcrossInterleavedPedigrees) {
    // Pedigree A: dad has k1 and k3 with m1 and k2 with m2; pedigree B's
    // lines sit between A's; the rest of each line keeps its own spacing.
    writeText("fam pre",
              "A dad 0 0 1 2\t1 2\n"
              "B x 0 0 1 2 1 2\n"
              "A m1 0 0 2 1 3 3\n"
              "\n"
              "A k1 dad m1 2 2  1 3\n"
              "A m2 0 0 2 1 3 3\n"
              "B y 0 0 2 1 3 3\n"
              "A k2 dad m2 1 1 2 3\r\n"
              "A k3 dad m1 1 2 1 3\n"
              "B z x y 1 2 1 3\n");
    const auto result = convert("fam pre");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(readText("out.ped"),
              "1 1 0 0 3 0 0 1 1 2\t1 2  Ped: A Per: dad\n"
              "1 2 0 0 3 0 0 2 0 1 3 3  Ped: A Per: m1\n"
              "1 3 1 2 0 5 6 2 0 2  1 3  Ped: A Per: k1\n"
              "1 4 0 0 5 0 0 2 0 1 3 3  Ped: A Per: m2\n"
              "1 5 1 4 0 6 0 1 0 1 2 3  Ped: A Per: k2\n"
              "1 6 1 2 0 0 0 1 0 2 1 3  Ped: A Per: k3\n"
              "2 1 0 0 3 0 0 1 1 2 1 2  Ped: B Per: x\n"
              "2 2 0 0 3 0 0 2 0 1 3 3  Ped: B Per: y\n"
              "2 3 1 2 0 0 0 1 0 2 1 3  Ped: B Per: z\n");
}

TEST_F(MakepedvantTest, ChildListedBeforeItsParentsStillGetsLinked) {
    writeText("in.pre",
              "7 c 1 2 1\n"
              "7 1 0 0 1\n"
              "7 2 0 0 2\n");
    ASSERT_EQ(convert("in.pre").status, 0);
    EXPECT_EQ(readText("out.ped"),
              "1 1 2 3 0 0 0 1 1  Ped: 7 Per: c\n"
              "1 2 0 0 1 0 0 1 0  Ped: 7 Per: 1\n"
              "1 3 0 0 1 0 0 2 0  Ped: 7 Per: 2\n");
}

struct BadInput {
    const char* name;
    const char* text;
    const char* message;  // expected on standard error, after the file name
};

// The case's name is its label in test listings.
void PrintTo(const BadInput& bad, std::ostream* os) {
    *os << bad.name;
}

class MakepedvantErrorTest : public MakepedvantTest,
                             public ::testing::WithParamInterface<BadInput> {};

TEST_P(MakepedvantErrorTest, ReportsFileLineAndPersonAndLeavesNoOutput) {
    const BadInput& bad = GetParam();
    writeText("in.pre", bad.text);
    // A converted file of an earlier run must not survive a failed one.
    writeText("out.ped", "stale\n");
    const auto result = convert("in.pre");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find(std::string("makepedvant: in.pre") + bad.message),
              std::string::npos)
        << result.output;
    EXPECT_FALSE(std::filesystem::exists("out.ped"));
    EXPECT_FALSE(std::filesystem::exists("out.ped.partial"));
}

const char* const family =
    "F dad 0 0 1 2 1 2\n"
    "F mom 0 0 2 1 3 3\n";

INSTANTIATE_TEST_SUITE_P(
    Table, MakepedvantErrorTest,
    ::testing::Values(
        BadInput{"FatherNotInPedigree", "F dad 0 0 1 2\nF mom 0 0 2 1\n\nF kid ghost mom 1 2\n",
                 ", line 4, person kid (pedigree F): father ghost is not in pedigree F"},
        BadInput{"ParentInAnotherPedigree", "G mom 0 0 2 1\nF dad 0 0 1 2\nF kid dad mom 1 2\n",
                 ", line 3, person kid (pedigree F): mother mom is not in pedigree F"},
        BadInput{"OneParentUnknown", "F dad 0 0 1 2\nF kid dad 0 1 2\n",
                 ", line 2, person kid (pedigree F): has one parent unknown"},
        BadInput{"PersonListedTwice", "F dad 0 0 1 2\nF mom 0 0 2 1\nF dad 0 0 1 1\n",
                 ", line 3, person dad (pedigree F): listed twice in the pedigree"},
        BadInput{"OwnParent", "F dad 0 0 1 2\nF kid kid dad 1 2\n",
                 ", line 2, person kid (pedigree F): is its own father"},
        BadInput{"TooFewColumns", "F dad 0 0 1 2\nF kid dad mom\n",
                 ", line 2, person kid: too few columns (4"},
        BadInput{"SexNotOneOrTwo", "F dad 0 0 1 2\nF mom 0 0 0 1\n",
                 ", line 2, person mom (pedigree F): sex must be 1 or 2, not 0"},
        BadInput{"PersonIdZero", "F dad 0 0 1 2\nF 0 0 0 2 1\n",
                 ", line 2, person 0 (pedigree F): 0 is the unknown parent"},
        BadInput{"NoPersons", "\n  \n", " holds no persons"}),
    [](const ::testing::TestParamInfo<BadInput>& info) { return info.param.name; });

TEST_F(MakepedvantTest, UnreadableInputIsReportedAndLeavesNoOutput) {
    writeText("out.ped", "stale\n");
    const auto missing = convert("missing.pre");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("makepedvant: cannot read missing.pre"), std::string::npos)
        << missing.output;
    EXPECT_FALSE(std::filesystem::exists("out.ped"));

    std::filesystem::create_directory("folder.pre");
    const auto folder = convert("folder.pre");
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.output.find("cannot read folder.pre"), std::string::npos) << folder.output;
}

TEST_F(MakepedvantTest, RefusesOtherLoopBreakerAnswersAndWritingOverItsInput) {
    writeText("in.pre", family);
    const std::string program = test_support::programPath("makepedvant").string();
    EXPECT_EQ(runCommand(program + " in.pre out.ped y").status, 2);
    EXPECT_EQ(runCommand(program + " in.pre out.ped").status, 2);
    EXPECT_FALSE(std::filesystem::exists("out.ped"));
    EXPECT_EQ(convert("in.pre", "./in.pre").status, 2);
    EXPECT_EQ(readText("in.pre"), family);
}
