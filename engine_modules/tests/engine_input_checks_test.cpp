// The start-up routines. init_ped_loc_all keeps the pedigree count of its
// first call for the whole process, so each of its cases runs in a child
// process of its own (a death-test fork that must exit with status 0).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine_input_checks.h"
#include "engine_standin.h"
#include "test_support.h"

namespace {

using test_support::readText;
using test_support::writeText;

class EngineInputChecks : public test_support::TempDirTest {};
using EngineInputChecksDeathTest = EngineInputChecks;

// In the child: builds the index and exits 0 when it holds `expected`.
[[noreturn]] void expectPedigreeIndex(const std::vector<int>& expected) {
    standinReset(2);
    init_ped_loc_all();
    bool same = mymaxped == static_cast<int>(expected.size());
    for (std::size_t k = 0; same && k < expected.size(); ++k)
        same = pedidx2num[k] == expected[k];
    if (!same) {
        std::fprintf(stderr, "found %d pedigrees:", mymaxped);
        for (int k = 0; k < mymaxped; ++k)
            std::fprintf(stderr, " %d", pedidx2num[k]);
        std::fprintf(stderr, "\n");
    }
    std::exit(same ? 0 : 1);
}

TEST_F(EngineInputChecksDeathTest, CountsRunsOfPedigreeNumbers) {
    const std::string longTail(300, '1');  // one line far over 199 characters
    struct Case {
        std::string pedfile;
        std::vector<int> expected;
    };
    const std::vector<Case> cases = {
        {"1 1 0 0\n1 2 0 0\n2 1 0 0\n1 3 0 0\n", {1, 2, 1}},  // not contiguous: three
        {"0 1 0 0\n0 2 0 0\n7 1 0 0\n", {7}},                 // a leading pedigree 0
        {"  3 1 0 0\n\n3 2 0 0\n4 1 " + longTail + " 2\n4 2 0 0\n", {3, 4}},
        {"5 1 0 0\nfoo\n5 2 0 0", {5}},  // no number: the previous one; no final newline
    };
    for (const Case& c : cases) {
        writeText("pedfile.dat", c.pedfile);
        EXPECT_EXIT(expectPedigreeIndex(c.expected), testing::ExitedWithCode(0), "") << c.pedfile;
    }
}

TEST_F(EngineInputChecksDeathTest, PrefersIpedfile) {
    writeText("pedfile.dat", "1 1\n2 1\n");
    writeText("ipedfile.dat", "9 1\n");
    EXPECT_EXIT(expectPedigreeIndex({9}), testing::ExitedWithCode(0), "");
}

TEST_F(EngineInputChecksDeathTest, ReadsTheFileOnceAndReplacesTheRecords) {
    writeText("pedfile.dat", "1 1\n2 1\n");
    const auto child = [] {
        standinReset(2);
        init_ped_loc_all();
        ped_loc_all[1][3][ENGINE_MAXALL].present = 1;
        std::remove("pedfile.dat");  // a second read would now fail
        init_ped_loc_all();
        // Every entry of the new records starts cleared; the old ones are
        // freed (the sanitizer build reports a leak otherwise).
        const bool cleared = ped_loc_all[1][3][ENGINE_MAXALL].present == 0 &&
                             ped_loc_all[0][0][0].new_frequency == 0.0;
        std::exit(mymaxped == 2 && cleared ? 0 : 1);
    };
    EXPECT_EXIT(child(), testing::ExitedWithCode(0), "");
}

TEST_F(EngineInputChecksDeathTest, FailuresEndWithStatusOne) {
    EXPECT_EXIT(init_ped_loc_all(), testing::ExitedWithCode(1),
                "Error opening ipedfile.dat and pedfile.dat.");
    writeText("pedfile.dat", "");
    EXPECT_EXIT(init_ped_loc_all(), testing::ExitedWithCode(1),
                "foundped\\(\\) found 0 pedigree's - wrong.");
}

TEST_F(EngineInputChecksDeathTest, MallocErrReportsAndAppendsToTheErrorFile) {
    writeText("FASTLINK.err", "earlier\n");
    EXPECT_EXIT(malloc_err("gene tables"), testing::ExitedWithCode(1),
                "Problem with malloc, probably not enough space\nProblem occurred when "
                "allocating gene tables");
    const std::string log = readText("FASTLINK.err");
    EXPECT_EQ(log.rfind("earlier\n\n", 0), 0u);
    EXPECT_NE(log.find("\nProblem with malloc, probably not enough space\n"
                       "Problem occurred when allocating gene tables\n"),
              std::string::npos);
}

TEST_F(EngineInputChecks, EndOfFileAndEndOfLineLookAhead) {
    writeText("peek.txt", "a\n");
    FILE* file = std::fopen("peek.txt", "r");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(P_eof(file), 0);
    EXPECT_EQ(P_eoln(file), 0);
    EXPECT_EQ(std::getc(file), 'a') << "the look-ahead character is pushed back";
    EXPECT_EQ(P_eoln(file), 1);
    EXPECT_EQ(std::getc(file), '\n');
    EXPECT_EQ(P_eof(file), 1);
    EXPECT_EQ(P_eoln(file), 1);
    std::fclose(file);
    EXPECT_EQ(P_eof(stdin), 0) << "standard input is never read ahead";
}

TEST(EngineInputChecksStartup, CheckConstantsPrintsCountsAndReturnsTheHaplotypes) {
    standinReset(2);
    thislocus[0]->nallele = 2;
    thislocus[1]->nallele = 45;
    testing::internal::CaptureStdout();
    EXPECT_EQ(check_constants(), 90);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\nNumber of alleles at locus 1 is 2\nNumber of alleles at locus 2 is 45"
              "\nThe number of haplotypes used is 90\n");
}

TEST(EngineInputChecksStartup, AlleleDowncodeCheckReleasesTheIndex) {
    pedidx2num = static_cast<int*>(std::calloc(3, sizeof(int)));
    EXPECT_EQ(allele_downcode_check(), 0);
    EXPECT_EQ(pedidx2num, nullptr);
}

}  // namespace
