// A marker at which some pedigree is impossible (its likelihood zero, as with
// a Mendelian error) is listed as not analysed instead of showing LODs,
// p-values and -2 ln L of the engine's impossible value; the other markers
// come out as in a run on the clean file. End to end with the real engine on
// the bundled examples.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

using test_support::CommandResult;
using test_support::contains;
using test_support::linesOf;
using test_support::readText;
using test_support::writeText;

namespace {

struct ImpossibleCase {
    const char* name;
    const char* pedigree;
    // The consistent genotype line of the file and its impossible form.
    const char* consistent;
    const char* impossible;
    const char* options;
    const char* marker;
    // The console's reason and the list the marker stands in.
    const char* reason;
    const char* list;
};

void PrintTo(const ImpossibleCase& c, std::ostream* os) {
    *os << c.name;
}

// The table file's rows of the markers other than the impossible one.
std::vector<std::string> otherRows(const std::string& table, const std::string& marker) {
    std::vector<std::string> rows;
    for (const std::string& line : linesOf(table)) {
        if (contains(line, " dom ") && !contains(line, " " + marker + " ")) {
            rows.push_back(line);
        }
    }
    return rows;
}

class ImpossibleMarkerTest : public test_support::TempDirTest,
                             public ::testing::WithParamInterface<ImpossibleCase> {};

TEST_P(ImpossibleMarkerTest, IsListedAsNotAnalysedAndTheOthersAreAsInACleanRun) {
    const ImpossibleCase& c = GetParam();
    test_support::copySourceFolder("examples");
    const std::string clean = readText(c.pedigree);
    const auto at = clean.find(c.consistent);
    ASSERT_NE(at, std::string::npos);
    std::string bad = clean;
    bad.replace(at, std::string(c.consistent).size(), c.impossible);
    writeText("bad.ped", bad);
    writeText("clean.ped", clean);
    const auto vantrel = [&c](const std::string& prefix) {
        return test_support::runProgram("vantrel", std::string("--post --dom ") + c.options +
                                                       " --pedigreefile " + prefix +
                                                       ".ped --prefix " + prefix);
    };

    const CommandResult result = vantrel("bad");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(contains(result.output, std::string("Warning: Marker ") + c.marker +
                                            " not analysed (Dominant, phenotype DISEASE_LOCUS): "
                                            "its likelihood under H0 is zero" +
                                            c.reason))
        << result.output;
    const std::string detail = readText("bad.out");
    const std::string table = readText("bad_tbl.out");
    for (const std::string& text : {result.output, detail, table}) {
        EXPECT_FALSE(contains(text, "e+20")) << text;
        EXPECT_FALSE(contains(text, "00000000000000000")) << text;
    }
    const std::string listed = std::string(c.list) + "\n" +
                               std::string(std::string(c.list).size(), '=') + "\n" + c.marker +
                               " \n";
    EXPECT_TRUE(contains(detail, listed)) << detail;
    EXPECT_TRUE(contains(result.output, listed)) << result.output;
    // The table keeps to rows: the list stands in the detail file and on the console.
    EXPECT_FALSE(contains(table, listed)) << table;

    ASSERT_EQ(vantrel("clean").status, 0);
    const std::vector<std::string> others = otherRows(table, c.marker);
    EXPECT_FALSE(others.empty());
    EXPECT_EQ(others, otherRows(readText("clean_tbl.out"), c.marker));
    EXPECT_EQ(otherRows(table, "none").size(), others.size()) << "the marker has a row";
}

INSTANTIATE_TEST_SUITE_P(
    Markers, ImpossibleMarkerTest,
    ::testing::Values(
        // Child 3 typed 4/4 with parents 1/2 and 3/3.
        ImpossibleCase{"MendelianError", "families.ped", "1  3 1 2 0 4 4 1 0 2   1 3",
                       "1  3 1 2 0 4 4 1 0 2   4 4", "--mapfile markers.map", "D1S101",
                       ", as some pedigree's genotypes are impossible at it (Mendelian errors, "
                       "see mendel.err)",
                       "Following markers with Mendel errors were not analysed:"},
        // A son hemizygous 1 of a mother 2/3; no Mendelian check runs on
        // X-linked data.
        ImpossibleCase{"XLinkedWithoutCheck", "xlinked.ped", "1 3 1 2 0 4 4 1 0 2   2 2",
                       "1 3 1 2 0 4 4 1 0 2   1 1", "--xlinked --mapfile xmarkers.map", "DXS101",
                       ", as some pedigree's genotypes are impossible at it\n",
                       "Following markers with a zero likelihood (impossible genotypes) were not "
                       "analysed:"}),
    [](const ::testing::TestParamInfo<ImpossibleCase>& info) { return info.param.name; });

}  // namespace
