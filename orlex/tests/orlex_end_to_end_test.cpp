// orlex run end to end on small data sets with the real engine programs.
// The expected LOD scores are derived by hand: in a phase-unknown family of
// a fully penetrant dominant trait, with an affected heterozygous parent, a
// mate who cannot carry the trait allele and n children of whom k are
// recombinant, Z(theta) = log10(2^(n-1) [theta^k (1-theta)^(n-k) +
// theta^(n-k) (1-theta)^k]); families add.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <limits>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine_limits.h"
#include "mlink.h"
#include "phase_unknown_families.h"
#include "test_support.h"

namespace fs = std::filesystem;
using test_support::CommandResult;
using test_support::contains;
using test_support::readText;
using test_support::writeText;

using orlex_test::bestOnEngineGrid;
using orlex_test::BestPoint;
using orlex_test::Family;

// The console line of a marker: its name, best LOD and that block's theta.
static std::optional<BestPoint> consoleLine(const std::string& output, const std::string& marker) {
    const std::regex line("^ *" + marker + " +(-?[0-9.]+) +([0-9.]+)$");
    std::istringstream lines(output);
    for (std::string text; std::getline(lines, text);) {
        std::smatch match;
        if (std::regex_match(text, match, line)) {
            return BestPoint{std::stod(match[1]), std::stod(match[2])};
        }
    }
    return std::nullopt;
}

static const std::vector<std::string> exchangeFiles = {
    "datafile.dat",     "FASTLINK.err", "final.dat",   "ipedfile.dat",
    "lpedfile.dat",     "outfile.dat",  "pedfile.dat", "speedfile.dat",
    "newspeedfile.dat", "stream.dat",   "loopfile.dat"};

class OrlexRun : public test_support::TempDirTest {
  protected:
    void copyData(std::initializer_list<std::string> names) {
        for (const std::string& name : names) {
            fs::copy_file(test_support::sourcePath("orlex/tests/data/" + name), name);
        }
    }

    // Runs orlex in the temporary directory; programs in extraPath come first.
    static CommandResult orlex(const std::string& arguments, const std::string& extraPath = "") {
        return test_support::runProgram("orlex", arguments, extraPath);
    }

    void expectBest(const CommandResult& result, const std::string& marker,
                    const std::vector<Family>& families) const {
        const std::optional<BestPoint> line = consoleLine(result.output, marker);
        ASSERT_TRUE(line.has_value()) << marker << " missing in:\n" << result.output;
        const BestPoint expected = bestOnEngineGrid(families);
        EXPECT_NEAR(line->lod, expected.lod, 1e-5) << marker;
        EXPECT_NEAR(line->theta, expected.theta, 1e-9) << marker;
    }

    void expectNoExchangeFiles() const {
        for (const std::string& name : exchangeFiles) {
            EXPECT_FALSE(fs::exists(name)) << name << " was left behind";
        }
    }
};

TEST_F(OrlexRun, PhaseUnknownFamiliesGiveTheAnalyticLods) {
    copyData({"two_families.ped", "five_markers.map", "dominant.model"});
    const CommandResult result = orlex(
        "--singlepoint --post --ped two_families.ped --map five_markers.map "
        "--model dominant.model");
    ASSERT_EQ(result.status, 0) << result.output;
    expectBest(result, "M1", {{6, 1}, {4, 0}});
    expectBest(result, "M2", {{6, 0}, {4, 0}});
    expectBest(result, "M3", {{6, 2}, {4, 1}});
    // Homozygous fathers carry no linkage information: every LOD is 0 and
    // the engine's first block, theta 0.5, is reported.
    const std::optional<BestPoint> m4 = consoleLine(result.output, "M4");
    ASSERT_TRUE(m4.has_value()) << result.output;
    EXPECT_NEAR(m4->lod, 0.0, 1e-6);
    EXPECT_DOUBLE_EQ(m4->theta, 0.5);
    EXPECT_TRUE(contains(result.output, "Skipping marker M5, since no informative families found"));
    EXPECT_TRUE(
        contains(result.output, "\nParametric Linkage analysis\nPhenotype: DISEASE_LOCUS\n"));
    EXPECT_TRUE(contains(result.output, "\nElapsed time: "));
    expectNoExchangeFiles();
}

TEST_F(OrlexRun, SlowEngineRunsTheSelectedMarkerOnly) {
    copyData({"two_families.ped", "five_markers.map", "dominant.model"});
    const CommandResult result = orlex(
        "--singlepoint --post --slow --verbose --marker M3 --ped two_families.ped "
        "--map five_markers.map --model dominant.model");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(contains(result.output, "External command: mlinkorlexslow\n"));
    EXPECT_TRUE(contains(result.output,
                         "Running external program unknown to create "
                         "outfile.datExternal command: unknownorlex\n"));
    expectBest(result, "M3", {{6, 2}, {4, 1}});
    EXPECT_FALSE(consoleLine(result.output, "M1").has_value());
}

TEST_F(OrlexRun, MarkerSelectionFileSetsTheMarkersAndTheirOrder) {
    copyData({"two_families.ped", "five_markers.map", "dominant.model"});
    writeText("only.txt", "CHROMOSOME POSITION MARKER\n1 0.0 M3\n1 5.0 M1\n");
    const CommandResult result = orlex(
        "--singlepoint --post --marker M2 --onlymarkers only.txt --ped two_families.ped "
        "--map five_markers.map --model dominant.model");
    ASSERT_EQ(result.status, 0) << result.output;
    expectBest(result, "M3", {{6, 2}, {4, 1}});
    expectBest(result, "M1", {{6, 1}, {4, 0}});
    EXPECT_LT(result.output.find("                  M3 "),
              result.output.find("                  M1 "));
    EXPECT_FALSE(consoleLine(result.output, "M2").has_value());
}

TEST_F(OrlexRun, NuclearAnalysisRunsTheOrdinaryEngineBuild) {
    copyData({"two_families.ped", "five_markers.map", "dominant.model"});
    const std::string input =
        " --post --marker M1 --ped two_families.ped --map five_markers.map --model dominant.model";
    const CommandResult both = orlex("--singlepoint --nuclear --slow --verbose" + input);
    ASSERT_EQ(both.status, 0) << both.output;
    const size_t nuclear =
        both.output.find("\nParametric Linkage analysis for nuclear pedigrees\n");
    ASSERT_NE(nuclear, std::string::npos) << both.output;
    const std::string whole = both.output.substr(0, nuclear);
    const std::string components = both.output.substr(nuclear);
    EXPECT_TRUE(contains(whole, "External command: mlinkorlexslow\n"));
    EXPECT_TRUE(contains(components, "External command: mlinkorlex\n"));
    EXPECT_TRUE(contains(components, "NucLodHom"));
    // Both families are nuclear already, so the component families give the same LODs.
    expectBest({0, whole}, "M1", {{6, 1}, {4, 0}});
    expectBest({0, components}, "M1", {{6, 1}, {4, 0}});

    const CommandResult withoutSinglepoint = orlex("--nuclear --sibpair" + input);
    EXPECT_EQ(withoutSinglepoint.status, 0) << withoutSinglepoint.output;
    EXPECT_FALSE(contains(withoutSinglepoint.output, "Parametric Linkage analysis"));
}

TEST_F(OrlexRun, XLinkedFamilyGivesTheAnalyticLod) {
    copyData({"xlinked.ped", "one_marker.map", "xlinked_dominant.model", "xlinked.dat"});
    // The mother's meioses to her sons are the informative ones.
    const CommandResult fromModel = orlex(
        "--singlepoint --post --xlinked --ped xlinked.ped --map one_marker.map "
        "--model xlinked_dominant.model");
    ASSERT_EQ(fromModel.status, 0) << fromModel.output;
    expectBest(fromModel, "M1", {{6, 1}});

    const CommandResult fromLocusFile = orlex(
        "--singlepoint --post --xlinked --freq u --ped xlinked.ped --map one_marker.map "
        "--dat xlinked.dat");
    ASSERT_EQ(fromLocusFile.status, 0) << fromLocusFile.output;
    EXPECT_TRUE(contains(fromLocusFile.output,
                         "Warning: Pedigree file contains less alleles than defined in linkage "
                         "data file (analyzing anyway)\n"));
    expectBest(fromLocusFile, "M1", {{6, 1}});
}

TEST_F(OrlexRun, XLinkedDataWithoutMalePenetrancesAreRefused) {
    copyData({"xlinked.ped", "one_marker.map", "dominant.model"});
    const CommandResult result = orlex(
        "--singlepoint --post --xlinked --ped xlinked.ped --map one_marker.map "
        "--model dominant.model");
    EXPECT_EQ(result.status, 255);
    EXPECT_TRUE(contains(result.output,
                         "Error: X-linked data (--xlinked) need a sex-linked "
                         "disease model with male penetrances"))
        << result.output;
    EXPECT_FALSE(contains(result.output, "Parametric Linkage analysis"));
}

TEST_F(OrlexRun, LoopedPedigreeIsBrokenByTheEngine) {
    // The mother's parents are first cousins; the loop's members are
    // unaffected and untyped, so they carry no linkage information.
    copyData({"looped.ped", "one_marker.map", "dominant.model"});
    const CommandResult result = orlex(
        "--singlepoint --post --verbose --ped looped.ped --map one_marker.map "
        "--model dominant.model");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(contains(result.output, "External command: unknownorlex -l \n"));
    expectBest(result, "M1", {{6, 1}});
    expectNoExchangeFiles();
}

TEST_F(OrlexRun, PreMakepedFileIsConvertedOnTheFly) {
    copyData({"two_families.pre", "five_markers.map", "dominant.model"});
    const CommandResult result =
        orlex("--singlepoint --ped two_families.pre --map five_markers.map --model dominant.model");
    ASSERT_EQ(result.status, 0) << result.output;
    expectBest(result, "M1", {{6, 1}, {4, 0}});
    expectBest(result, "M3", {{6, 2}, {4, 1}});
    EXPECT_FALSE(fs::exists("two_families.pre.linkage"));
    EXPECT_TRUE(fs::exists("two_families.pre"));
}

TEST_F(OrlexRun, ExitStatuses) {
    copyData({"two_families.ped", "five_markers.map", "dominant.model"});
    const std::string input =
        " --post --ped two_families.ped --map five_markers.map --model dominant.model";
    struct Case {
        std::string arguments;
        int status;
        std::string output;
    };
    const std::vector<Case> cases = {
        {"", 255, "Error: Pedigree file is not set\n"},
        {"--ped two_families.ped", 255, "Error: Map file is not set\n"},
        {"--ped two_families.ped --map five_markers.map", 255,
         "Error: Model file or Linkage locus file must be given\n"},
        {"--nosuchoption", 1, "PARSE ERROR"},
        {"--wsize", 1, "PARSE ERROR"},
        {"--steps five", 1, "PARSE ERROR"},
        {"--help", 0, "See ORLEX documentation for full information!"},
        {"--version", 0, "1.0.0"},
        {input, 255, "Error: No analysis selected"},
        {"--sibpair" + input, 0, "Warning: Sib pair linkage analysis (--sibpair) is not available"},
        {"--singlepoint --marker NOPE" + input, 255,
         "Error: Cannot find given marker NOPE (--marker) in the map file five_markers.map\n"},
        {"--singlepoint --phenotype NOPE" + input, 255,
         "Error: Cannot find given phenotype NOPE (--phenotype) in the pedigree file "
         "two_families.ped\n"},
        {"--mspause --map x", 255, "External command: PAUSE"},
    };
    for (const Case& c : cases) {
        const CommandResult result = orlex(c.arguments);
        EXPECT_EQ(result.status, c.status) << c.arguments << "\n" << result.output;
        EXPECT_TRUE(contains(result.output, c.output)) << c.arguments << "\n" << result.output;
    }
}

// Each of these stops with an "Error: " line before an engine runs and
// leaves the user's files alone.
TEST_F(OrlexRun, BadOptionsAndInputsAreRefused) {
    copyData({"xlinked.ped", "one_marker.map", "xlinked_dominant.model", "xlinked.dat"});
    writeText("broken.dat", "2 0 1 5\n0 0 0 0\n1 2\n2 2\n");
    writeText("quantitative.phen", "1 LEVEL\n1 1 0.7\n1 2 1.3\n");
    // Allele 4 of a marker whose locus declares alleles 1 to 3.
    std::string undeclared = readText("xlinked.ped");
    undeclared.replace(undeclared.find("1 2 0 0 3 0 0 2 0 2  1 2"), 24, "1 2 0 0 3 0 0 2 0 2  1 4");
    writeText("undeclared.ped", undeclared);
    writeText("three_loci.dat",
              "3 0 1 5\n0 0 0 0\n1 2 3\n1 2\n0.999 0.001\n1\n0 1 1\n0 1\n3 3\n0.3 0.3 0.4\n"
              "3 2\n0.5 0.5\n0 0\n0.5 0.1\n1 0.1 0.45\n");
    const std::string userPedigrees = readText("xlinked.ped");
    const std::string base = "--singlepoint --post --xlinked --map one_marker.map ";
    const std::string model = " --model xlinked_dominant.model";
    struct Case {
        std::string arguments;
        std::string error;
    };
    const std::vector<Case> cases = {
        {base + "--ped pedfile.dat" + model,
         "Error: Input file pedfile.dat (--ped) is the engine's file pedfile.dat"},
        {"--singlepoint --post --ped xlinked.ped --map ./outfile.dat" + model,
         "Error: Input file ./outfile.dat (--map) is the engine's file outfile.dat"},
        // unknown writes this scratch file, and the clean-up removes it too.
        {base + "--ped countfile.dat" + model,
         "Error: Input file countfile.dat (--ped) is the engine's file countfile.dat"},
        {base + "--ped xlinked.ped --freq m" + model,
         "Error: Unknown allele frequency type \"m\" given with --freq: use a, f or u"},
        {base + "--ped xlinked.ped --freq u" + model,
         "Error: Allele frequency type u takes the marker allele frequencies from a LINKAGE "
         "locus file: give one with --dat"},
        {base + "--ped xlinked.ped --dat three_loci.dat",
         "Error: The LINKAGE locus file three_loci.dat has 3 loci, but the map file "
         "one_marker.map has 1 markers"},
        {base + "--ped xlinked.ped --dat broken.dat",
         "Error: The LINKAGE locus file broken.dat could not be read and no model file was "
         "given"},
        // The engine reads the phenotype as an affection status and crashes.
        {base + "--ped xlinked.ped --phen quantitative.phen" + model,
         "Error: Phenotype LEVEL of person 1 of pedigree 1 is 0.7 (phenotype file "
         "quantitative.phen), but the engine reads it as an affection status: use 1 "
         "(unaffected), 2 (affected) or 0, x, - or . (unknown)"},
        // The engine would take allele 4's frequency from no locus entry.
        {base + "--ped undeclared.ped --freq u --dat xlinked.dat",
         "Error: Pedigree file undeclared.ped, line 2: allele 4 of person 2 of pedigree 1 at "
         "marker M1 is not declared by the LINKAGE locus file xlinked.dat, whose locus of that "
         "marker has the alleles 1 to 3"},
        {base + "--ped xlinked.ped --freq u --dat broken.dat" + model,
         "Error: Allele frequency type u needs the LINKAGE locus file broken.dat, which could "
         "not be read"},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> userExchangeFiles = {"pedfile.dat", "countfile.dat"};
        for (const std::string& name : userExchangeFiles) {
            fs::remove(name);
            if (contains(c.arguments, "--ped " + name)) {
                fs::copy_file("xlinked.ped", name);
            }
        }
        const CommandResult result = orlex(c.arguments);
        EXPECT_EQ(result.status, 255) << c.arguments << "\n" << result.output;
        EXPECT_TRUE(contains(result.output, c.error)) << c.arguments << "\n" << result.output;
        EXPECT_FALSE(contains(result.output, "Parametric Linkage analysis")) << c.arguments;
        for (const std::string& name : userExchangeFiles) {
            if (contains(c.arguments, "--ped " + name)) {
                // Neither the refusal nor the clean-up touched the user's file.
                ASSERT_TRUE(fs::exists(name)) << c.arguments;
                EXPECT_EQ(readText(name), userPedigrees) << c.arguments;
            }
        }
    }
    EXPECT_EQ(readText("xlinked.ped"), userPedigrees);
}

TEST_F(OrlexRun, ExchangeFileLinkedToAnInputIsRefused) {
    copyData({"xlinked.ped", "one_marker.map", "xlinked_dominant.model"});
    const std::string userPedigrees = readText("xlinked.ped");
    fs::create_directory("work");
    fs::create_symlink("../xlinked.ped", "work/pedfile.dat");
    fs::current_path("work");
    const CommandResult result = orlex(
        "--singlepoint --post --xlinked --ped ../xlinked.ped --map ../one_marker.map "
        "--model ../xlinked_dominant.model");
    fs::current_path("..");
    EXPECT_EQ(result.status, 255) << result.output;
    EXPECT_TRUE(contains(
        result.output, "Error: Input file ../xlinked.ped (--ped) is the engine's file pedfile.dat"))
        << result.output;
    EXPECT_EQ(readText("xlinked.ped"), userPedigrees);
    EXPECT_TRUE(fs::is_symlink("work/pedfile.dat"));
}

TEST_F(OrlexRun, UnreadableLocusFileFallsBackToTheModelWithAWarning) {
    copyData({"xlinked.ped", "one_marker.map", "xlinked_dominant.model"});
    writeText("broken.dat", "2 0 1 5\n0 0 0 0\n1 2\n2 2\n");
    const CommandResult result = orlex(
        "--singlepoint --post --xlinked --ped xlinked.ped --map one_marker.map "
        "--dat broken.dat --model xlinked_dominant.model");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(contains(result.output,
                         "Warning: The LINKAGE locus file broken.dat could not be read; building "
                         "it from the model file xlinked_dominant.model instead\n"));
    expectBest(result, "M1", {{6, 1}});
}

// Stand-ins for the MLINK build show how the program meets an engine that
// fails, or that succeeds without leaving results.
TEST_F(OrlexRun, EngineFailuresStopTheRun) {
    copyData({"xlinked.ped", "one_marker.map", "xlinked_dominant.model"});
    fs::create_directory("fake");
    const std::string arguments =
        "--singlepoint --post --xlinked --ped xlinked.ped --map one_marker.map "
        "--model xlinked_dominant.model";
    struct Case {
        std::string script;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"exit 3", "\n" + std::string(66, '*') +
                       "\nError in executing MLINK: mlinkorlex\n\n"
                       "Something is wrong....\n" +
                       std::string(66, '*') + "\n\nAborting program!\n"},
        {"exit 0", "Error: The engine left no results in outfile.dat for marker M1\n"},
        // Cut at a block boundary: the file reads without a fault.
        {"\"" + test_support::enginePath("mlinkorlex").string() +
             "\" && sed -i '/^THETAS  0.100/,$d' outfile.dat",
         "Error: outfile.dat for marker M1 holds 6 of the 26 recombination fractions that the "
         "engine evaluates (0.5, then 0 to 0.48 by 0.02): the file ends before theta 0.1\n"},
    };
    for (const Case& c : cases) {
        writeText("fake/mlinkorlex", "#!/bin/sh\n" + c.script + "\n");
        fs::permissions("fake/mlinkorlex", fs::perms::owner_all);
        const CommandResult result = orlex(arguments, (dir() / "fake").string());
        EXPECT_EQ(result.status, 255) << c.script << "\n" << result.output;
        EXPECT_TRUE(contains(result.output, c.error)) << c.script << "\n" << result.output;
        EXPECT_FALSE(consoleLine(result.output, "M1").has_value()) << result.output;
        expectNoExchangeFiles();
    }
}

// The user's entries of the engine's names are never overwritten, written
// through or removed: the run stops before its first engine file.
TEST_F(OrlexRun, EngineNamedEntriesInTheWorkingDirectoryStopTheRun) {
    copyData({"xlinked.ped", "one_marker.map", "xlinked_dominant.model"});
    fs::create_directory("elsewhere");
    writeText("elsewhere/notes.txt", "the user's notes\n");
    const std::string arguments =
        "--singlepoint --post --xlinked --ped xlinked.ped --map one_marker.map "
        "--model xlinked_dominant.model";
    struct Case {
        std::string name;
        bool link;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"datafile.dat", false,
         "Error: datafile.dat already exists in the working directory: the engine would "
         "overwrite it and the clean-up remove it: run in a directory without it, or remove it "
         "with: rm -f datafile.dat\n"},
        {"stream.dat", true, "Error: stream.dat (a link) already exists in the working directory"},
        {"mendel.err", true,
         "Error: mendel.err in the working directory is a link, and the report is never written "
         "through one: run in a directory without it, or remove it\n"},
    };
    for (const Case& c : cases) {
        if (c.link) {
            fs::create_symlink("elsewhere/notes.txt", c.name);
        } else {
            writeText(c.name, "the user's file\n");
        }
        const CommandResult result = orlex(arguments);
        EXPECT_EQ(result.status, 255) << c.name << "\n" << result.output;
        EXPECT_TRUE(contains(result.output, c.error)) << c.name << "\n" << result.output;
        EXPECT_FALSE(consoleLine(result.output, "M1").has_value()) << result.output;
        EXPECT_EQ(readText(c.link ? "elsewhere/notes.txt" : c.name),
                  c.link ? "the user's notes\n" : "the user's file\n")
            << c.name;
        EXPECT_EQ(fs::is_symlink(c.name), c.link) << c.name;
        fs::remove(c.name);
        expectNoExchangeFiles();
    }
    // An input named like a report is refused like the exchange files.
    fs::copy_file("one_marker.map", "family.err");
    const CommandResult input = orlex(
        "--singlepoint --post --xlinked --ped xlinked.ped --map family.err "
        "--model xlinked_dominant.model");
    EXPECT_EQ(input.status, 255) << input.output;
    EXPECT_TRUE(contains(input.output,
                         "Error: Input file family.err (--map) is the report family.err in the "
                         "working directory"))
        << input.output;
}

// The statistics files are written before the other inputs are read: their
// folder is checked before anything is.
TEST_F(OrlexRun, StatisticsThatCannotBeWrittenStopTheRunBeforeItReads) {
    copyData({"xlinked.ped", "one_marker.map", "xlinked_dominant.model"});
    const CommandResult result = orlex(
        "--singlepoint --stats --prefix no/such/folder/run --post --xlinked --ped xlinked.ped "
        "--map one_marker.map --model xlinked_dominant.model");
    EXPECT_EQ(result.status, 255) << result.output;
    EXPECT_TRUE(contains(result.output,
                         "Error: Output file no/such/folder/run_markerinfo_statistics.info cannot "
                         "be written: the folder no/such/folder does not exist"))
        << result.output;
    EXPECT_FALSE(contains(result.output, "prefix: ")) << result.output;
    expectNoExchangeFiles();
}

// A marker with one allele more than the engine build holds crashed it;
// now the input is refused before any engine file is written.
TEST_F(OrlexRun, MarkersBeyondTheEngineLimitAreRefusedBeforeTheEngineRuns) {
    copyData({"one_marker.map", "dominant.model"});
    const int alleles = orlexEngineLimits.alleles + 1;
    std::string trios;
    for (int t = 0; 4 * t < alleles; ++t) {
        const auto allele = [&](int i) { return std::to_string(std::min(4 * t + i, alleles)); };
        const std::string pedigree = std::to_string(t + 1);
        trios += pedigree + " 1 0 0 1 2 " + allele(1) + " " + allele(2) + "\n" + pedigree +
                 " 2 0 0 2 1 " + allele(3) + " " + allele(4) + "\n" + pedigree + " 3 1 2 1 2 " +
                 allele(1) + " " + allele(3) + "\n";
    }
    writeText("trios.pre", trios);
    const CommandResult result =
        orlex("--singlepoint --ped trios.pre --map one_marker.map --model dominant.model");
    EXPECT_EQ(result.status, 255) << result.output;
    EXPECT_TRUE(contains(result.output,
                         "Error: Marker M1 of pedigree file trios.pre (rare "
                         "alleles merged) has " +
                             std::to_string(alleles) + " alleles, more than the " +
                             std::to_string(orlexEngineLimits.alleles) +
                             " the engine build holds\n"))
        << result.output;
    EXPECT_FALSE(contains(result.output, "Error in executing")) << result.output;
    expectNoExchangeFiles();
}

// ---------------------------------------------------------------------------
// Liability classes. Each family has an affected father heterozygous 1/2 at
// the marker and an unaffected mother 3/3, both of class 1 (so the father
// carries one trait allele and the mother none). A child whose phenotype has
// probability a when it carries the trait allele and u when it does not
// contributes (1 - theta) a + theta u when it got the father's marker allele
// that goes with the trait allele in the phase considered, and
// theta a + (1 - theta) u otherwise; the two phases are equally likely, so
// Z(theta) = log10(sum over phases of prod f / (2 prod (a + u) / 2)).
// Classes: 1 fully penetrant (0, 1, 1): fully informative; 2 the same
// penetrance 0.5 for every genotype: the child adds nothing; 3 (0, 0.8, 0.8).

struct ClassChild {
    int paternalAllele;
    bool affected;
    int liabilityClass;
};
using ClassFamily = std::vector<ClassChild>;

static const std::vector<ClassFamily> classFamilies = {
    {{1, true, 1},
     {1, true, 1},
     {2, false, 1},
     {2, false, 1},
     {2, true, 1},
     {1, false, 2},
     {2, true, 2},
     {1, true, 3},
     {1, false, 3}},
    {{2, true, 1}, {1, false, 1}, {2, true, 2}, {1, true, 2}, {1, false, 3}, {2, false, 3}},
};

static const char* const threeClassLocusFile =
    "2 0 0 5\n0 0.0 0.0 0\n1 2\n1 2\n0.99999 0.00001\n3\n0 1 1\n0.5 0.5 0.5\n0 0.8 0.8\n"
    "3 3\n0.3 0.3 0.4\n0 0\n0.0\n1 0.1 0.45\n";
static const char* const oneClassLocusFile =
    "2 0 0 5\n0 0.0 0.0 0\n1 2\n1 2\n0.99999 0.00001\n1\n0 1 1\n"
    "3 3\n0.3 0.3 0.4\n0 0\n0.0\n1 0.1 0.45\n";

// The engine turns ln likelihoods into LOD scores with ln 10 rounded to
// 2.30259: 2e-6 of a LOD, which shows at 1e-5 once the LOD is below -5.
static constexpr double engineLn10 = 2.30259;

// With oneClass every child counts as class 1.
static double classFamiliesLod(double theta, bool oneClass) {
    const auto penetrance = [](int liabilityClass, bool carrier) {
        const double affected[][2] = {{0.0, 1.0}, {0.5, 0.5}, {0.0, 0.8}};
        return affected[liabilityClass - 1][carrier ? 1 : 0];
    };
    double lod = 0.0;
    for (const ClassFamily& family : classFamilies) {
        double phases = 0.0;
        double unlinked = 2.0;
        for (const int traitAllele : {1, 2}) {
            double product = 1.0;
            for (const ClassChild& child : family) {
                const int k = oneClass ? 1 : child.liabilityClass;
                const double a = child.affected ? penetrance(k, true) : 1 - penetrance(k, true);
                const double u = child.affected ? penetrance(k, false) : 1 - penetrance(k, false);
                const bool withTrait = child.paternalAllele == traitAllele;
                product *= withTrait ? (1 - theta) * a + theta * u : theta * a + (1 - theta) * u;
                if (traitAllele == 1) {
                    unlinked *= (a + u) / 2;
                }
            }
            phases += product;
        }
        lod += std::log(phases / unlinked) / engineLn10;
    }
    return lod;
}

// The families as a pedigree file: post-MAKEPED with pointer columns, or
// pre-MAKEPED; with or without the liability-class column.
static std::string classFamiliesFile(bool postMakeped, bool classColumn) {
    std::ostringstream file;
    const auto line = [&](size_t pedigree, int id, int father, int mother, int firstChild,
                          int nextSib, int sex, bool affected, int liabilityClass,
                          const std::string& genotype) {
        file << pedigree << ' ' << id << ' ' << father << ' ' << mother << ' ';
        if (postMakeped) {
            file << firstChild << ' ' << nextSib << ' ' << nextSib << ' ' << sex << ' '
                 << (id == 1 ? 1 : 0) << ' ';
        } else {
            file << sex << ' ';
        }
        file << (affected ? 2 : 1) << ' ';
        if (classColumn) {
            file << liabilityClass << ' ';
        }
        file << genotype << '\n';
    };
    for (size_t f = 0; f < classFamilies.size(); ++f) {
        const ClassFamily& children = classFamilies[f];
        line(f + 1, 1, 0, 0, 3, 0, 1, true, 1, "1 2");
        line(f + 1, 2, 0, 0, 3, 0, 2, false, 1, "3 3");
        for (size_t i = 0; i < children.size(); ++i) {
            const int id = static_cast<int>(i) + 3;
            const int next = i + 1 < children.size() ? id + 1 : 0;
            line(f + 1, id, 1, 2, 0, next, 1 + static_cast<int>(i % 2), children[i].affected,
                 children[i].liabilityClass, std::to_string(children[i].paternalAllele) + " 3");
        }
    }
    return file.str();
}

class OrlexLiabilityClasses : public OrlexRun {
  protected:
    void SetUp() override {
        OrlexRun::SetUp();
        copyData({"one_marker.map"});
        writeText("classes.ped", classFamiliesFile(true, true));
        writeText("classes.pre", classFamiliesFile(false, true));
        writeText("one_class.ped", classFamiliesFile(true, false));
        writeText("three_classes.dat", threeClassLocusFile);
        writeText("one_class.dat", oneClassLocusFile);
        // The engine's result file of each run is kept beside the run.
        fs::create_directory("keep");
        writeText("keep/mlinkorlex", "#!/bin/sh\n\"" +
                                         test_support::enginePath("mlinkorlex").string() +
                                         "\" \"$@\"\nstatus=$?\n"
                                         "cp outfile.dat engine_outfile.dat\nexit $status\n");
        fs::permissions("keep/mlinkorlex", fs::perms::owner_all);
    }

    CommandResult run(const std::string& arguments) const {
        return orlex("--singlepoint --map one_marker.map " + arguments, (dir() / "keep").string());
    }

    // The best point on the engine's grid and every block with theta > 0 of
    // the engine's result file.
    void expectLods(const CommandResult& result, bool oneClass) const {
        std::vector<double> thetas = {0.5};
        for (int step = 0; step <= 24; ++step) {
            thetas.push_back(step * 0.02);
        }
        BestPoint best{-std::numeric_limits<double>::infinity(), 0.0};
        for (const double theta : thetas) {
            const double lod = theta > 0 ? classFamiliesLod(theta, oneClass)
                                         : -std::numeric_limits<double>::infinity();
            if (lod > best.lod + 1e-9) {
                best = {lod, theta};
            }
        }
        const std::optional<BestPoint> line = consoleLine(result.output, "M1");
        ASSERT_TRUE(line.has_value()) << result.output;
        EXPECT_NEAR(line->lod, best.lod, 1e-5);
        EXPECT_NEAR(line->theta, best.theta, 1e-9);

        std::istringstream engineFile(readText("engine_outfile.dat"));
        MLinkMarker marker;
        testing::internal::CaptureStdout();
        const bool read = readTwoPointBlocks(engineFile, "engine_outfile.dat", 2, marker);
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(read);
        ASSERT_EQ(marker.getLikelihoodsNames().size(), 26u);
        for (const double theta : thetas) {
            if (theta > 0) {
                ASSERT_NE(marker.getLikelihoods(theta), nullptr) << theta;
                EXPECT_NEAR(marker.getLikelihoods(theta)->getLodScore(),
                            classFamiliesLod(theta, oneClass), 1e-5)
                    << "theta " << theta;
            }
        }
    }
};

TEST_F(OrlexLiabilityClasses, TheEngineGetsEachPersonsClassAndTheLodsAreAnalytic) {
    const CommandResult result = run("--post --liab --ped classes.ped --dat three_classes.dat");
    ASSERT_EQ(result.status, 0) << result.output;
    expectLods(result, false);
    // The class is the trait's, not a phenotype of its own.
    EXPECT_FALSE(contains(result.output, "Phenotype: LIABILITY_CLASS")) << result.output;
    expectNoExchangeFiles();

    // The same families as one class.
    const CommandResult oneClass = run("--post --ped one_class.ped --dat one_class.dat");
    ASSERT_EQ(oneClass.status, 0) << oneClass.output;
    expectLods(oneClass, true);
    EXPECT_GT(std::abs(classFamiliesLod(0.1, true) - classFamiliesLod(0.1, false)), 0.1);
}

TEST_F(OrlexLiabilityClasses, AConvertedPreMakepedFileGivesTheSameLods) {
    const CommandResult result = run("--liab --ped classes.pre --dat three_classes.dat");
    ASSERT_EQ(result.status, 0) << result.output;
    expectLods(result, false);
    EXPECT_FALSE(fs::exists("classes.pre.linkage"));
}

TEST_F(OrlexLiabilityClasses, TheModelFileAndTheNuclearFamiliesCarryTheClassesToo) {
    writeText("three_classes.model", "0 0.00001 3\n0 1 1\n0.5 0.5 0.5\n0 0.8 0.8\n");
    const CommandResult result =
        run("--post --liab --nuclear --ped classes.ped --model three_classes.model");
    ASSERT_EQ(result.status, 0) << result.output;
    const size_t nuclear =
        result.output.find("\nParametric Linkage analysis for nuclear pedigrees\n");
    ASSERT_NE(nuclear, std::string::npos) << result.output;
    // The families are nuclear already: their components give the same LODs,
    // and the result file kept is the nuclear run's.
    expectLods({0, result.output.substr(0, nuclear)}, false);
    expectLods({0, result.output.substr(nuclear)}, false);
}

TEST_F(OrlexLiabilityClasses, ClassesTheTraitLocusDoesNotHaveStopTheRunAtInput) {
    struct Case {
        std::string arguments;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"--post --liab --phenotype LIABILITY_CLASS --ped classes.ped --dat three_classes.dat",
         "Error: LIABILITY_CLASS is the liability class of the trait beside it, not a phenotype "
         "to analyse: name an affection phenotype with --phenotype\n"},
        {"--post --ped one_class.ped --dat three_classes.dat",
         "Error: The trait locus of the LINKAGE locus file three_classes.dat declares 3 "
         "liability classes, but the pedigree file one_class.ped is read without a "
         "liability-class column, so its persons are all of 1 liability class\n"},
        // Persons are met in the order of their ids as text: 1, 10, 11, 2, ...
        {"--post --liab --ped classes.ped --dat one_class.dat",
         "Error: Pedigree file classes.ped: person 10 of pedigree 1 has liability class 3, but "
         "the trait locus of the LINKAGE locus file one_class.dat declares 1 liability class\n"},
        {"--liab --ped classes.pre --dat one_class.dat",
         "Error: Pedigree file classes.pre: person 10 of pedigree 1 has liability class 3, but "
         "the trait locus of the LINKAGE locus file one_class.dat declares 1 liability class\n"},
    };
    for (const Case& c : cases) {
        const CommandResult result = run(c.arguments);
        EXPECT_EQ(result.status, 255) << c.arguments << "\n" << result.output;
        EXPECT_TRUE(contains(result.output, c.error)) << c.arguments << "\n" << result.output;
        EXPECT_FALSE(contains(result.output, "Parametric Linkage analysis")) << c.arguments;
    }
}
