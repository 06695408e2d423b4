// Both programs under a memory limit too small for the study: the run ends
// with status 255 and an "Error: " line that says what was being read, what
// the study needs and how to split it, and leaves no file behind, instead of
// aborting on an uncaught allocation failure.
#include "test_support.h"

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>

namespace {

using test_support::contains;
using test_support::readText;
using test_support::runShell;

// Trios whose genotypes follow Mendel's rules at every marker: father 1 1,
// mother 2 2, child 1 2, all affected.
constexpr int trios = 200;
constexpr int persons = 3 * trios;
constexpr int markers = 10000;
// 256 MiB of address space: a few times what the programs need on small data,
// and less than half of what this study's genotypes alone take (at least
// 100 bytes per genotype for a record that holds two texts and a key).
constexpr long limitKilobytes = 256 * 1024;
static_assert(double(persons) * markers * 100 > 2.0 * limitKilobytes * 1024,
              "the study must not fit in the limit");

void writeStudy(bool postMakeped) {
    std::ofstream map("study.map");
    map << "CHROMOSOME haldane MARKER\n";
    for (int m = 0; m < markers; ++m) {
        map << "1 " << m * 0.5 << " M" << m << "\n";
    }
    std::ofstream pedigrees(postMakeped ? "study.ped" : "study.pre");
    const auto line = [&](int pedigree, int person, const char* parents, const char* pointers,
                          const char* sex, const char* genotype) {
        pedigrees << pedigree << ' ' << person << ' ' << parents << ' '
                  << (postMakeped ? pointers : "") << sex << (postMakeped ? " 0 2" : " 2");
        for (int m = 0; m < markers; ++m) {
            pedigrees << "  " << genotype;
        }
        pedigrees << "\n";
    };
    for (int t = 1; t <= trios; ++t) {
        line(t, 1, "0 0", "3 0 0 ", "1", "1 1");
        line(t, 2, "0 0", "3 0 0 ", "2", "2 2");
        line(t, 3, "1 2", "0 0 0 ", "1", "1 2");
    }
}

struct LimitCase {
    std::string label;
    bool postMakeped;
    std::string command;  // the study's files are study.ped / study.pre and study.map
};

void PrintTo(const LimitCase& limitCase, std::ostream* out) {
    *out << limitCase.label;
}

class OutOfMemoryTest : public test_support::TempDirTest,
                        public ::testing::WithParamInterface<LimitCase> {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
#if defined(__SANITIZE_ADDRESS__)
        GTEST_SKIP() << "AddressSanitizer reserves far more address space than any limit here";
#endif
    }
};

std::string underLimit(const std::string& command) {
    return "ulimit -v " + std::to_string(limitKilobytes) + "\n" + command + "\n";
}

TEST_P(OutOfMemoryTest, RunEndsWithAnErrorLineAndLeavesNoFile) {
    test_support::copySourceFiles("examples", {"dominant.model"});
    writeStudy(GetParam().postMakeped);
    std::set<std::string> before;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        before.insert(entry.path().filename().string());
    }
    before.insert("commands.sh");

    const auto run = runShell(underLimit("exec " + GetParam().command + " > log 2>&1"));
    const std::string log = readText("log");
    EXPECT_EQ(run.status, 255) << log;
    const std::string file = GetParam().postMakeped ? "study.ped" : "study.pre";
    EXPECT_TRUE(contains(log, "\nError: Out of memory while reading the pedigree file " + file))
        << log;
    EXPECT_FALSE(contains(log, "bad_alloc")) << log;

    // The numbers of the message, against the study's own.
    const std::regex numbers(
        "with ([0-9]+) of its ([0-9]+) persons stored: the study's "
        "([0-9]+) persons with ([0-9]+) markers need about ([0-9.]+) "
        "(GB|MB) of memory; split its markers into ([0-9]+) parts of at "
        "most ([0-9]+) markers each");
    std::smatch found;
    ASSERT_TRUE(std::regex_search(log, found, numbers)) << log;
    const int stored = std::stoi(found[1]);
    EXPECT_GT(stored, 0);
    EXPECT_LT(stored, persons);
    EXPECT_EQ(std::stoi(found[2]), persons);
    EXPECT_EQ(std::stoi(found[3]), persons);
    EXPECT_EQ(std::stoi(found[4]), markers);
    const double need = std::stod(found[5]) * (found[6] == "GB" ? 1e9 : 1e6);
    EXPECT_GT(need, double(limitKilobytes) * 1024) << "the study did not fit";
    const int parts = std::stoi(found[7]);
    const int perPart = std::stoi(found[8]);
    // Each part holds at most as many genotypes as the run stored before it
    // ran out, and together the parts hold every marker.
    EXPECT_GT(parts, persons / stored);
    EXPECT_GE(parts * perPart, markers);
    EXPECT_LT((parts - 1) * perPart, markers);

    std::set<std::string> after;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        after.insert(entry.path().filename().string());
    }
    after.erase("log");
    EXPECT_EQ(after, before) << "files left behind";
}

INSTANTIATE_TEST_SUITE_P(
    BothPrograms, OutOfMemoryTest,
    ::testing::Values(
        LimitCase{"OrlexPostMakeped", true,
                  "orlex --singlepoint --post --ped study.ped --map study.map "
                  "--model dominant.model"},
        LimitCase{"OrlexPreMakeped", false,
                  "orlex --singlepoint --ped study.pre --map study.map --model dominant.model"},
        LimitCase{"VantrelPostMakeped", true,
                  "vantrel --post --pedigreefile study.ped --mapfile study.map --dom"},
        LimitCase{"VantrelPreMakeped", false,
                  "vantrel --pedigreefile study.pre --mapfile study.map --dom"}),
    [](const ::testing::TestParamInfo<LimitCase>& info) { return info.param.label; });

// The same limit leaves room for a small study's whole run, engine included:
// what fails above is the study's size, not the limit itself.
TEST_F(OutOfMemoryTest, SmallStudyRunsUnderTheSameLimit) {
    test_support::copySourceFiles("examples", {"families.ped", "markers.map", "dominant.model"});
    const auto run = runShell(underLimit(
        "orlex --singlepoint --post --ped families.ped --map markers.map --model dominant.model"));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(contains(run.output, "D1S102     1.922120      0.06")) << run.output;
}

}  // namespace
