// The installed package: `cmake --install` of this build into a fresh
// prefix puts the two programs, the converter and the engine programs there
// and nothing else, and both programs run with only that prefix on PATH.
#include "test_support.h"

#include <cmath>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using test_support::contains;
using test_support::readText;
using test_support::wordsOf;

class InstalledPackage : public test_support::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        prefix = dir() / "prefix";
        const fs::path build = test_support::programPath("orlex").parent_path().parent_path();
        const auto installed = test_support::runCommand("cmake --install '" + build.string() +
                                                        "' --prefix '" + prefix.string() + "'");
        ASSERT_EQ(installed.status, 0) << installed.output;
        fs::create_directory("work");
    }

    // Runs a command line in the folder work/ with PATH holding the
    // prefix's bin folder alone: no folder of the build or the source.
    test_support::CommandResult installedRun(const std::string& command) const {
        return test_support::runCommand("cd work && env PATH='" + (prefix / "bin").string() + "' " +
                                        command + " </dev/null");
    }

    fs::path prefix;
};

TEST_F(InstalledPackage, HoldsTheProgramsAndNothingElse) {
    std::set<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(prefix)) {
        entries.insert(fs::relative(entry.path(), prefix).string());
    }
    const std::set<std::string> expected{"bin",
                                         "bin/orlex",
                                         "bin/vantrel",
                                         "bin/makepedvant",
                                         "bin/unknownorlex",
                                         "bin/mlinkorlex",
                                         "bin/linkmaporlex",
                                         "bin/mlinkorlexslow",
                                         "bin/linkmaporlexslow",
                                         "bin/unknownvant",
                                         "bin/ilinkvant"};
    EXPECT_EQ(entries, expected);
    for (const std::string& entry : expected) {
        if (entry != "bin") {
            EXPECT_EQ(fs::status(prefix / entry).permissions() & fs::perms::owner_exec,
                      fs::perms::owner_exec)
                << entry;
        }
    }
}

// A pre-MAKEPED file, so that the installed converter runs too. In both
// families of hlod_families.ped an affected heterozygous father of a fully
// penetrant dominant trait passes the disease allele with marker M2's allele
// 1 to four children without recombination: each family's LOD at theta 0 is
// log10 2^3, the two together 2 log10 8.
TEST_F(InstalledPackage, BothProgramsRunFromThePrefixAlone) {
    std::istringstream post(
        readText(test_support::sourcePath("orlex/tests/data/hlod_families.ped")));
    std::string pre;
    for (std::string line; std::getline(post, line);) {
        const std::vector<std::string> words = wordsOf(line);
        // Pedigree, person, father, mother, sex, affection, then the genotypes.
        for (const size_t column : {0, 1, 2, 3, 7, 9}) {
            pre += words.at(column) + " ";
        }
        for (size_t column = 10; column < words.size(); ++column) {
            pre += words[column] + " ";
        }
        pre += "\n";
    }
    test_support::writeText("work/families.pre", pre);
    for (const char* name : {"two_markers.map", "dominant.model"}) {
        fs::copy_file(test_support::sourcePath("orlex/tests/data") / name, fs::path("work") / name);
    }

    const auto orlex = installedRun(
        "orlex --singlepoint --ped families.pre --map two_markers.map --model dominant.model");
    ASSERT_EQ(orlex.status, 0) << orlex.output;
    // Six decimals; the small chance (disease allele frequency 0.001) that a
    // parent carries two disease alleles takes a few millionths off.
    const std::smatch m2 = [&] {
        std::smatch match;
        std::regex_search(orlex.output, match, std::regex("\n +M2 +([0-9.]+) +([0-9.]+)\n"));
        return match;
    }();
    ASSERT_EQ(m2.size(), 3u) << orlex.output;
    EXPECT_NEAR(std::stod(m2[1]), 2 * std::log10(8.0), 1e-5) << orlex.output;
    EXPECT_EQ(m2[2], "0.00");

    const auto vantrel = installedRun(
        "vantrel --pedigreefile families.pre --mapfile two_markers.map --dom --marker M2");
    ASSERT_EQ(vantrel.status, 0) << vantrel.output;
    const std::vector<std::string> table = test_support::linesOf(readText("work/vantrel_tbl.out"));
    ASSERT_GE(table.size(), 3u) << vantrel.output;
    const std::vector<std::string> row = wordsOf(table[2]);
    ASSERT_EQ(row.size(), 12u) << table[2];
    EXPECT_EQ(row[1], "M2");
    EXPECT_GT(std::stod(row[6]), 0.0) << "a linkage LOD for the families linked at M2";
}

}  // namespace
