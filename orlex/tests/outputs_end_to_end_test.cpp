// What orlex does with its output files when they would destroy an input or
// could not be kept: the run is refused before anything is read, written or
// computed, and the entry of that name stays as it was. The names are those
// the result files, charts, summary and statistics files are documented
// under, for a run that writes all of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;
using test_support::CommandResult;
using test_support::contains;
using test_support::entriesOf;
using test_support::readText;
using test_support::writeText;

namespace {

const std::string everyOutput =
    "--singlepoint --nuclear --hlod --byfamily --singlepointcurves --multipoint --hrrrand "
    "--quiet --stats --prefix study";

const std::vector<std::string> outputSuffixes = {
    "_markerinfo_statistics.info",
    "_hrr_markerinfo_statistics.info",
    "_tdt_markerinfo_statistics.info",
    "_sib_pair_markerinfo_statistics.info",
    "_pedigree_statistics.info",
    "_genotype_statistics.info",
    "_number_of_hrr_tdt_sibpair_peds.info",
    "_hrr.out",
    "_hrr.ps",
    "_singlepoint.out",
    "_singlepoint.ps",
    "_singlepoint_by_family.out",
    "_singlepoint_curves.out",
    "_singlepoint_curves.ps",
    "_singlepoint_het.out",
    "_singlepoint_het.ps",
    "_singlepoint_nuc.out",
    "_singlepoint_nuc.ps",
    "_singlepoint_nuc_by_family.out",
    "_singlepoint_nuc_curves.out",
    "_singlepoint_nuc_curves.ps",
    "_singlepoint_nuc_het.out",
    "_singlepoint_nuc_het.ps",
    "_multipoint.out",
    "_multipoint.ps",
    "_multipoint_het.out",
    "_multipoint_by_family.out",
    "_summary.out",
};

struct InputKind {
    std::string option;
    std::string file;  // the file the option names in an ordinary run
};

const std::vector<InputKind> inputKinds = {
    {"--ped", "hlod_families.ped"}, {"--map", "two_markers.map"},  {"--model", "dominant.model"},
    {"--dat", "locus.dat"},         {"--phen", "phenotypes.phen"}, {"--onlymarkers", "only.txt"},
};

class OrlexOutputs : public test_support::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        test_support::copySourceFiles("orlex/tests/data",
                                      {"hlod_families.ped", "two_markers.map", "dominant.model"});
        // Read by no run here: every run that names them is refused first.
        writeText("locus.dat", "the user's locus file\n");
        writeText("phenotypes.phen", "the user's phenotype file\n");
        writeText("only.txt", "CHROMOSOME POSITION NAME\n1 0.0 M1\n");
        test_support::writeRecordingEngine(
            "fake",
            {"mlinkorlex", "mlinkorlexslow", "linkmaporlex", "linkmaporlexslow", "unknownorlex"},
            dir() / "engine_ran");
    }

    // The inputs of the three required options, and the one of `kind` under
    // the name `name` when given.
    static std::string inputs(const InputKind* kind = nullptr, const std::string& name = "") {
        std::string arguments = " --post";
        for (const InputKind& input : inputKinds) {
            const bool required =
                input.option == "--ped" || input.option == "--map" || input.option == "--model";
            if (kind != nullptr && kind->option == input.option) {
                arguments += " " + input.option + " " + name;
            } else if (required) {
                arguments += " " + input.option + " " + input.file;
            }
        }
        return arguments;
    }

    CommandResult refusedRun(const std::string& arguments) const {
        return test_support::runProgram("orlex", arguments, (dir() / "fake").string());
    }
};

TEST_F(OrlexOutputs, ARunWritesExactlyTheOutputsItChecks) {
    std::vector<std::string> expected = entriesOf(".");
    // The allele frequencies of the TDT sets are written only where a
    // marker has one, and these families give none.
    for (const std::string& suffix : outputSuffixes) {
        if (suffix != "_tdt_markerinfo_statistics.info") {
            expected.push_back("study" + suffix);
        }
    }
    std::sort(expected.begin(), expected.end());
    const CommandResult result = test_support::runProgram("orlex", everyOutput + inputs());
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(entriesOf("."), expected);
}

TEST_F(OrlexOutputs, AnOutputNamedLikeAnyInputIsRefusedAndTheInputKept) {
    const std::vector<std::string> entries = entriesOf(".");
    for (const std::string& suffix : outputSuffixes) {
        const std::string name = "study" + suffix;
        for (const InputKind& kind : inputKinds) {
            fs::copy_file(kind.file, name);
            const std::string input = readText(name);
            const CommandResult result = refusedRun(everyOutput + inputs(&kind, name));
            EXPECT_EQ(result.status, 255) << name << " " << kind.option << "\n" << result.output;
            EXPECT_TRUE(contains(result.output, "Error: Output file " + name +
                                                    " is the input file " + name + " (" +
                                                    kind.option +
                                                    "), which writing the results "
                                                    "would destroy"))
                << name << " " << kind.option << "\n"
                << result.output;
            EXPECT_EQ(readText(name), input) << name << " " << kind.option;
            fs::remove(name);
            EXPECT_EQ(entriesOf("."), entries) << name << " " << kind.option;
        }
    }
    // An output folder whose summary is a link to the pedigree file.
    fs::create_directory("out");
    fs::create_symlink("../hlod_families.ped", "out/study_summary.out");
    const std::string pedigrees = readText("hlod_families.ped");
    const CommandResult result = refusedRun("--singlepoint --prefix out/study" + inputs());
    EXPECT_EQ(result.status, 255) << result.output;
    EXPECT_TRUE(contains(result.output,
                         "Error: Output file out/study_summary.out is the input file "
                         "hlod_families.ped (--ped)"))
        << result.output;
    EXPECT_EQ(readText("hlod_families.ped"), pedigrees);
    EXPECT_EQ(entriesOf("out"), std::vector<std::string>{"study_summary.out"});
    EXPECT_FALSE(fs::exists("engine_ran"));
}

TEST_F(OrlexOutputs, AnOutputThatCouldNotBeKeptIsRefusedBeforeAnythingRuns) {
    struct Obstacle {
        std::string kind;
        std::string problem;
    };
    const std::vector<Obstacle> obstacles = {{"link to /dev/full", "is not a regular file"},
                                             {"folder", "is a folder"},
                                             {"read-only file", "is read-only"}};
    for (const std::string& suffix : outputSuffixes) {
        const std::string name = "study" + suffix;
        for (const Obstacle& obstacle : obstacles) {
            if (obstacle.kind == "folder") {
                fs::create_directory(name);
            } else if (obstacle.kind == "read-only file") {
                writeText(name, "the earlier results\n");
                fs::permissions(name, static_cast<fs::perms>(0444));
            } else {
                fs::create_symlink("/dev/full", name);
            }
            const std::vector<std::string> entries = entriesOf(".");
            const CommandResult result = refusedRun(everyOutput + inputs());
            EXPECT_EQ(result.status, 255) << name << " " << obstacle.kind << "\n" << result.output;
            EXPECT_TRUE(contains(result.output, "Error: Output file " + name + " " +
                                                    obstacle.problem +
                                                    ", so the run could not keep its results"))
                << name << " " << obstacle.kind << "\n"
                << result.output;
            EXPECT_FALSE(contains(result.output, "prefix: ")) << name << "\n" << result.output;
            EXPECT_EQ(entriesOf("."), entries) << name << " " << obstacle.kind;
            if (obstacle.kind == "folder") {
                EXPECT_TRUE(fs::is_empty(name)) << name;
            } else if (obstacle.kind == "read-only file") {
                EXPECT_EQ(readText(name), "the earlier results\n") << name;
            } else {
                EXPECT_EQ(fs::read_symlink(name), "/dev/full") << name;
            }
            fs::remove(name);
        }
    }
    EXPECT_FALSE(fs::exists("engine_ran"));
}

// A Mendelian error at M2, with only M1 analysed: the report cannot replace
// the read-only one of an earlier run, the results are written all the same,
// and the run ends with 255.
TEST_F(OrlexOutputs, ALostMendelReportFailsTheRunAfterTheResultsAreWritten) {
    std::string pedigrees = readText("hlod_families.ped");
    const std::string child = "10 3 1 2 0 4 4 1 0 2  1 3  1 3\n";
    ASSERT_NE(pedigrees.find(child), std::string::npos);
    pedigrees.replace(pedigrees.find(child), child.size(), "10 3 1 2 0 4 4 1 0 2  1 3  2 2\n");
    writeText("hlod_families.ped", pedigrees);
    writeText("mendel.err", "the earlier report\n");
    fs::permissions("mendel.err", static_cast<fs::perms>(0444));
    const CommandResult result =
        test_support::runProgram("orlex", "--singlepoint --marker M1 --prefix study" + inputs());
    EXPECT_EQ(result.status, 255) << result.output;
    EXPECT_TRUE(contains(result.output, "Error: Unable to open mendel.err for writing!\n"))
        << result.output;
    EXPECT_TRUE(contains(result.output, "Mendelian errors found!")) << result.output;
    EXPECT_EQ(readText("mendel.err"), "the earlier report\n");
    EXPECT_TRUE(contains(readText("study_singlepoint.out"), "\n                  M1 "))
        << readText("study_singlepoint.out");
    EXPECT_TRUE(fs::exists("study_summary.out"));
    EXPECT_FALSE(contains(result.output, "Elapsed time"));
}

}  // namespace
