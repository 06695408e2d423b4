// Pre-MAKEPED conversion through makepedvant and loop breaking through
// unknownorlex -l / unknownvant -l, with the real programs, and with stand-in
// scripts only where a failure has to be forced.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "marker_map.h"
#include "pedigrees.h"
#include "test_support.h"

using test_support::linesOf;
using test_support::readText;
using test_support::wordsOf;
using test_support::writeText;

namespace {

// Two nuclear families with text ids, one marker: the converter renumbers
// pedigrees and persons in file order.
const char* const kPreMakeped =
    "F7 dad 0 0 1 1 1 2\n"
    "F7 mum 0 0 2 1 3 4\n"
    "F7 kid dad mum 1 2 1 3\n"
    "G2 a 0 0 1 1 2 2\n"
    "G2 b 0 0 2 1 2 2\n"
    "G2 c a b 2 2 2 2\n";

// The child cannot have allele 2 from either parent: a Mendelian error only.
const char* const kMendelianError =
    "1 1 0 0 1 1 1 1\n"
    "1 2 0 0 2 1 1 1\n"
    "1 3 1 2 1 2 2 2\n";

// First cousins 7 and 8 have a child: one consanguinity loop.
const char* const kFirstCousinLoop =
    "1 1 0 0 1 1 1 2\n"
    "1 2 0 0 2 1 1 1\n"
    "1 3 1 2 1 1 1 2\n"
    "1 4 1 2 2 1 2 2\n"
    "1 5 0 0 2 1 1 1\n"
    "1 6 0 0 1 1 2 2\n"
    "1 7 3 5 1 1 1 2\n"
    "1 8 6 4 2 1 1 2\n"
    "1 9 7 8 1 2 2 2\n";

// An affection locus (full penetrance, recessive) and one two-allele marker.
const char* const kDatafile =
    "2 0 0 5\n"
    "0 0.0 0.0 0\n"
    "1 2\n"
    "1 2\n"
    "0.99 0.01\n"
    "1\n"
    "0.0 0.0 1.0\n"
    "3 2\n"
    "0.5 0.5\n"
    "0 0\n"
    "0.1\n"
    "1 0.1 0.45\n";

class ConversionTest : public test_support::TempDirTest {
  protected:
    static void writeMap(const std::string& name) {
        writeText(name, "CHROMOSOME HALDANE POSITION\n1 0.0 D1S1\n");
    }

    // A store set up as both programs set it before reading the pedigree file.
    static void prepare(Pedigrees& store) {
        store.affectionStatusColumn = true;
        ASSERT_TRUE(store.readMapFile("marker.map"));
    }

    struct Run {
        bool ok = false;
        std::string output;
    };

    static Run convert(Pedigrees& store, const std::string& name, bool skipMendelianErrors) {
        testing::internal::CaptureStdout();
        const bool ok = store.readAndConvertPreToLinkage(name, skipMendelianErrors);
        return {ok, testing::internal::GetCapturedStdout()};
    }

    // Converts fam.pre, the two families, with trimming asked for and the
    // trimmed file holding the given text.
    static Run convertTrimmed(Pedigrees& store, const std::string& trimmed) {
        writeText("fam.pre", kPreMakeped);
        writeText("fam.pre.trimmed", trimmed);
        writeMap("marker.map");
        prepare(store);
        store.trimRequested = true;
        return convert(store, "fam.pre", false);
    }

    static Run breakLoops(Pedigrees& store, bool jointProgram, bool verbose) {
        testing::internal::CaptureStdout();
        const bool ok = store.break_loops(jointProgram, verbose);
        return {ok, testing::internal::GetCapturedStdout()};
    }
};

const std::string kStars(66, '*');

TEST_F(ConversionTest, ConvertsThroughMakepedAndKeepsTheOriginalIds) {
    // A blank in the name must reach the converter as part of one word.
    const std::string name = "fam ily.pre";
    writeText(name, kPreMakeped);
    writeMap("marker.map");
    Pedigrees store;
    prepare(store);
    store.verbose = true;

    const Run run = convert(store, name, false);

    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_NE(run.output.find("(Converting pedigree file fam ily.pre to linkage format)\n"),
              std::string::npos);
    EXPECT_NE(
        run.output.find("External command: makepedvant 'fam ily.pre' 'fam ily.pre.linkage' n\n"),
        std::string::npos)
        << run.output;
    EXPECT_TRUE(store.linkageFormat);
    EXPECT_TRUE(store.convertedLinkageFormat);
    EXPECT_EQ(store.pedigreeFileName, name);
    EXPECT_EQ(store.pedigreeTree->count, 2);
    EXPECT_EQ(store.getOrigPedigreeID("1"), "F7");
    EXPECT_EQ(store.getOrigPedigreeID("2"), "G2");
    EXPECT_EQ(store.getNewPersonID("F7", "kid"), "3");
    EXPECT_EQ(store.getNewPersonID("G2", "a"), "1");
    // The converted file was read into the store and is gone.
    EXPECT_FALSE(std::filesystem::exists("fam ily.pre.linkage"));

    const Person* kid = store.pedigreeTree->find("1")->getPerson("3");
    ASSERT_NE(kid, nullptr);
    EXPECT_EQ(kid->getFatherId(), "1");
    EXPECT_EQ(kid->getMotherId(), "2");
    EXPECT_EQ(kid->getPhenotype("DISEASE_LOCUS")->getValue(), "2");
    const Marker* genotype = kid->getMarker("0");
    ASSERT_NE(genotype, nullptr);
    EXPECT_EQ(genotype->getAllele(0), "1");
    EXPECT_EQ(genotype->getAllele(1), "3");
    const Person* dad = store.pedigreeTree->find("1")->getPerson("1");
    EXPECT_EQ(dad->getFOID(), "3");
    EXPECT_EQ(dad->getProbandStatus(), "1");
}

// The converted file's persons take the genotype records of their validated
// originals over where the converted line holds the same genotypes, and make
// their own where it does not: whichever way, the store holds what the
// converted file says. The converter here is the real one, after which one
// line of its output is edited.
TEST_F(ConversionTest, ConvertedPersonsHoldTheConvertedFilesGenotypes) {
    const struct {
        const char* label;
        const char* kidColumns;  // the kid's three genotypes in the converted file
    } cases[] = {
        {"unchanged", "1 3  0 0  3 4"},
        {"an allele changed", "1 3  0 0  4 4"},
        {"a missing genotype typed", "1 3  1 1  3 4"},
        {"a typed genotype missing", "0 0  0 0  3 4"},
    };
    const std::string converter = test_support::programPath("makepedvant").string();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        writeText("fam.pre",
                  "F7 dad 0 0 1 1  1 2  0 0  3 3\n"
                  "F7 mum 0 0 2 1  3 4  1 1  0 0\n"
                  "F7 kid dad mum 1 2  1 3  0 0  3 4\n");
        writeText("marker.map", "CHROMOSOME HALDANE POSITION\n1 0.0 D1S1\n1 10 D1S2\n1 20 D1S3\n");
        standIn("makepedvant", "'" + converter + "' \"$@\" && sed -i '/Per: kid$/s/1 3  0 0  3 4/" +
                                   c.kidColumns + "/' \"$2\"");
        Pedigrees store;
        prepare(store);
        const Run run = convert(store, "fam.pre", false);
        ASSERT_TRUE(run.ok) << run.output;

        const Pedigree* family = store.pedigreeTree->find("1");
        const auto genotypes = [&](const std::string& person) {
            std::string text;
            for (const char* index : {"0", "1", "2"}) {
                const Marker* genotype = family->getPerson(person)->getMarker(index);
                text += genotype == nullptr ? "-"
                                            : genotype->getAllele(0) + "/" + genotype->getAllele(1);
                text += ' ';
            }
            return text;
        };
        EXPECT_EQ(genotypes("1"), "1/2 - 3/3 ");
        EXPECT_EQ(genotypes("2"), "3/4 1/1 - ");
        std::istringstream kid(c.kidColumns);
        std::string expected;
        for (std::string first, second; kid >> first >> second;) {
            expected += (first == "0" ? "-" : first + "/" + second) + " ";
        }
        EXPECT_EQ(genotypes("3"), expected);
        // A tree taken over still bears the name its original gave it.
        EXPECT_EQ(family->getPerson("1")->getMarkerTree()->name, "dad");
    }
}

TEST_F(ConversionTest, QuietRunsDiscardTheConverterOutput) {
    writeText("fam.pre", kPreMakeped);
    writeMap("marker.map");
    Pedigrees store;
    prepare(store);

    const Run run = convert(store, "fam.pre", false);

    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_EQ(run.output.find("External command"), std::string::npos);
}

TEST_F(ConversionTest, MendelianErrorsStopTheConversionUnlessSkipped) {
    for (const bool skip : {false, true}) {
        SCOPED_TRACE(skip ? "skipped" : "not skipped");
        writeText("fam.pre", kMendelianError);
        writeMap("marker.map");
        Pedigrees store;
        prepare(store);

        const Run run = convert(store, "fam.pre", skip);

        EXPECT_EQ(run.ok, skip) << run.output;
        EXPECT_TRUE(store.mendelianErrorsFound);
        EXPECT_NE(run.output.find("Mendelian errors found! "), std::string::npos);
        EXPECT_EQ(run.output.find("Converting") != std::string::npos, skip);
        // The refusal says why and both ways on.
        EXPECT_EQ(
            run.output.find("Error: The pre-MAKEPED pedigree file fam.pre has Mendelian "
                            "errors (see mendel.err) and is not converted") != std::string::npos,
            !skip)
            << run.output;
        EXPECT_EQ(run.output.find("vantrel with --skipmendelerrors") != std::string::npos, !skip);
        EXPECT_EQ(run.output.find("makepedvant 'fam.pre' 'fam_linkage.ped' n and analyse the "
                                  "converted file with --post") != std::string::npos,
                  !skip);
        EXPECT_FALSE(std::filesystem::exists("fam.pre.linkage"));
        EXPECT_EQ(store.convertedLinkageFormat, skip);
    }
}

TEST_F(ConversionTest, AFailingConverterFailsTheReadInsteadOfReadingAStaleFile) {
    writeText("fam.pre", kPreMakeped);
    writeMap("marker.map");
    // A converter that fails after writing part of a converted file.
    standIn("makepedvant", "echo '9 1 0 0 0 0 0 1 1 1 1 1  Ped: old Per: x' > \"$2\"; exit 1");
    Pedigrees store;
    prepare(store);

    const Run run = convert(store, "fam.pre", false);

    EXPECT_FALSE(run.ok);
    EXPECT_NE(run.output.find("\n" + kStars +
                              "\nError in converting pedigree file fam.pre with "
                              "MAKEPED...\n" +
                              kStars + "\n\n"),
              std::string::npos)
        << run.output;
    EXPECT_FALSE(std::filesystem::exists("fam.pre.linkage"));
    EXPECT_FALSE(store.convertedLinkageFormat);
    EXPECT_EQ(run.output.find("Reading pedigree file: fam.pre.linkage"), std::string::npos);
}

// The converted file goes into the working directory, whatever folder the
// input is in; the user's file of that name beside the input is never touched.
TEST_F(ConversionTest, ConvertsIntoTheWorkingDirectoryAndLeavesTheInputFolderAlone) {
    std::filesystem::create_directory("input");
    writeText("input/fam.pre", kPreMakeped);
    writeText("input/fam.pre.linkage", "the user's own file\n");
    std::filesystem::permissions(
        "input", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    writeMap("marker.map");
    Pedigrees store;
    prepare(store);
    store.verbose = true;

    const Run run = convert(store, "input/fam.pre", false);
    std::filesystem::permissions("input", std::filesystem::perms::owner_all);

    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_NE(run.output.find("External command: makepedvant 'input/fam.pre' 'fam.pre.linkage' n"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(store.pedigreeTree->count, 2);
    EXPECT_EQ(readText("input/fam.pre.linkage"), "the user's own file\n");
    EXPECT_FALSE(std::filesystem::exists("fam.pre.linkage"));
}

// A file or link of the converted file's name in the working directory stops
// the conversion before anything is written or run.
TEST_F(ConversionTest, AnEntryOfTheConvertedNameStopsTheConversionFirst) {
    writeText("fam.pre", kMendelianError);
    writeMap("marker.map");
    standIn("makepedvant", "touch converter-ran");
    for (const bool link : {false, true}) {
        SCOPED_TRACE(link ? "dangling link" : "file");
        if (link) {
            std::filesystem::remove("fam.pre.linkage");
            std::filesystem::create_symlink("elsewhere/map", "fam.pre.linkage");
        } else {
            writeText("fam.pre.linkage", "the user's own file\n");
        }
        Pedigrees store;
        prepare(store);

        const Run run = convert(store, "fam.pre", true);

        EXPECT_FALSE(run.ok);
        EXPECT_EQ(run.output,
                  "Error: fam.pre.linkage already exists in the working directory, and the "
                  "conversion of the pedigree file would overwrite and then remove it: run in a "
                  "directory without it, or remove it\n");
        EXPECT_FALSE(std::filesystem::exists("mendel.err"));
        EXPECT_FALSE(std::filesystem::exists("converter-ran"));
    }
    EXPECT_TRUE(std::filesystem::is_symlink("fam.pre.linkage"));
}

TEST_F(ConversionTest, TrimmingWithoutATrimmedFileFailsAtOnce) {
    writeText("fam.pre", kPreMakeped);
    writeMap("marker.map");
    // Would the converter run, it would leave this mark.
    standIn("makepedvant", "touch converter-ran");
    Pedigrees store;
    prepare(store);
    store.trimRequested = true;

    const Run run = convert(store, "fam.pre", false);

    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.output,
              "Error: Unable to open trimmed pedigree file fam.pre.trimmed for reading!\n");
    EXPECT_FALSE(std::filesystem::exists("converter-ran"));
}

TEST_F(ConversionTest, TrimmingHandsTheTrimmedFileToTheConverter) {
    // Only the first family is left in the trimmed file.
    const std::string all = kPreMakeped;
    Pedigrees store;

    const Run run = convertTrimmed(store, all.substr(0, all.find("G2")));

    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_EQ(store.pedigreeTree->count, 1);
    EXPECT_EQ(store.getOrigPedigreeID("1"), "F7");
}

TEST_F(ConversionTest, ATrimmedFileIsCheckedForMendelianErrorsOnItsOwn) {
    // The validated file is consistent; the trimmed one that is converted
    // gives the child alleles neither parent has.
    Pedigrees store;

    const Run run = convertTrimmed(store,
                                   "F7 dad 0 0 1 1 1 2\n"
                                   "F7 mum 0 0 2 1 3 4\n"
                                   "F7 kid dad mum 1 2 5 5\n");

    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_TRUE(store.mendelianErrorsFound);
    EXPECT_NE(readText("mendel.err").find("Child 3: 5/5"), std::string::npos);
}

// The same families renumbered: the converted file takes the family checks
// of the validated one over, loop verdicts included, and prints its loop
// lines under the converted pedigree ids as a check of its own would.
TEST_F(ConversionTest, TheConvertedFileTakesTheValidatedFilesFamilyChecksOver) {
    std::string looped;
    for (const std::string& line : linesOf(kFirstCousinLoop)) {
        looped += "F7" + line.substr(1) + "\n";
    }
    writeText("fam.pre",
              std::string(kPreMakeped).substr(std::string(kPreMakeped).find("G2")) + looped);
    writeMap("marker.map");
    Pedigrees store;
    prepare(store);

    // The loop's genotypes are not consistent, which is beside the point here.
    const Run run = convert(store, "fam.pre", true);

    ASSERT_TRUE(run.ok) << run.output;
    const std::string line = "(Atleast one marrige or consanguinty loop found from the pedigree ";
    const std::size_t converted = run.output.find("Reading pedigree file: fam.pre.linkage\n");
    ASSERT_NE(converted, std::string::npos) << run.output;
    EXPECT_EQ(run.output.substr(0, converted).find(line + "F7)\n"),
              run.output.substr(0, converted).rfind(line))
        << run.output;
    EXPECT_EQ(run.output.find(line, converted), run.output.find(line + "2)\n", converted))
        << run.output;
    EXPECT_EQ(run.output.find(line, run.output.find(line, converted) + 1), std::string::npos)
        << run.output;
    EXPECT_TRUE(store.hasLoops);
    EXPECT_EQ(store.loopedPedigreeIds, std::set<std::string>{"2"});
    // Taken over, not run again: the structure walk marks every person it reaches.
    EXPECT_FALSE(store.pedigreeTree->find("2")->getPerson("1")->greyMark);

    // A trimmed file is not the one validated: its families are checked anew.
    Pedigrees trimmedStore;
    const Run trimmed = convertTrimmed(trimmedStore, looped);
    ASSERT_TRUE(trimmed.ok) << trimmed.output;
    EXPECT_TRUE(trimmedStore.hasLoops);
    EXPECT_NE(trimmed.output.find(line + "1)\n"), std::string::npos) << trimmed.output;
}

TEST_F(ConversionTest, BreaksALoopThroughUnknownAndReplacesThePedigreeFile) {
    // The engine's own layout, made by the converter, with the marker's datafile.
    writeText("loop.pre", kFirstCousinLoop);
    ASSERT_EQ(test_support::runCommand("makepedvant loop.pre pedfile.dat n").status, 0);
    writeText("datafile.dat", kDatafile);
    const std::vector<std::string> before = linesOf(readText("pedfile.dat"));
    Pedigrees store;

    const Run run = breakLoops(store, false, true);

    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_NE(run.output.find("Breaking loops...\nExternal command: unknownorlex -l \n"),
              std::string::npos)
        << run.output;
    const std::string broken = readText("pedfile.dat");
    EXPECT_EQ(broken, readText("lpedfile.dat"));
    // One person of the loop is doubled; both copies carry the loop-breaker
    // mark 2 in the proband column and the same original id.
    const std::vector<std::string> after = linesOf(broken);
    ASSERT_EQ(after.size(), before.size() + 1);
    std::vector<std::vector<std::string>> breakers;
    for (const std::string& line : after) {
        const std::vector<std::string> words = wordsOf(line);
        ASSERT_GE(words.size(), 9u);
        if (words[8] == "2") {
            breakers.push_back(words);
        }
    }
    ASSERT_EQ(breakers.size(), 2u);
    EXPECT_EQ(breakers[0].back(), breakers[1].back());
    EXPECT_EQ(std::vector<std::string>(breakers[0].begin() + 9, breakers[0].end()),
              std::vector<std::string>(breakers[1].begin() + 9, breakers[1].end()));
}

TEST_F(ConversionTest, LoopBreakingFailuresLeaveThePedigreeFileAlone) {
    struct Case {
        const char* what;
        const char* unknownScript;  // nullptr: no stand-in
        bool datafile;
        const char* expected;
    };
    const Case cases[] = {
        {"non-zero status", "exit 3", true,
         "\n******************************************************************\n"
         "Error in breaking loops with UNKNOWN...\n"
         "******************************************************************\n\n"
         "Error: The engine program unknownvant ended with status 3\n"},
        {"non-zero status with the engine's reason", "echo 'ERROR: a loop too many'; exit 1", true,
         "\n******************************************************************\n"
         "Error in breaking loops with UNKNOWN...\n\n"
         "Last lines of unknownvant's output (--verbose shows all of it):\n"
         "  ERROR: a loop too many\n"
         "******************************************************************\n\n"
         "Error: The engine program unknownvant ended with status 1\n"},
        // The lpedfile.dat of an earlier marker is removed first, so it can
        // never stand in for this one's.
        {"no loop-broken file", "exit 0", true,
         "Error: Unable to open lpedfile.dat for reading!\n"},
        {"no datafile", "touch unknown-ran", false,
         "Error: Unable to break loops without datafile.dat!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeText("pedfile.dat", "this marker's pedigrees\n");
        writeText("lpedfile.dat", "an earlier marker's loop-broken pedigrees\n");
        std::filesystem::remove("datafile.dat");
        if (c.datafile) {
            writeText("datafile.dat", kDatafile);
        }
        standIn("unknownvant", c.unknownScript);
        Pedigrees store;

        const Run run = breakLoops(store, true, false);

        EXPECT_FALSE(run.ok);
        EXPECT_EQ(run.output, c.expected);
        EXPECT_EQ(readText("pedfile.dat"), "this marker's pedigrees\n");
        EXPECT_FALSE(std::filesystem::exists("unknown-ran"));
    }
}

TEST_F(ConversionTest, EachProgramBreaksLoopsWithItsOwnUnknown) {
    writeText("datafile.dat", kDatafile);
    // The stand-ins record their arguments; the quiet form discards stdout.
    const std::string record =
        "printf '%s|' \"$0\" \"$@\" > called; echo noise; echo x > lpedfile.dat";
    standIn("unknownvant", record);
    standIn("unknownorlex", record);
    for (const bool joint : {true, false}) {
        Pedigrees store;
        const Run run = breakLoops(store, joint, false);
        ASSERT_TRUE(run.ok) << run.output;
        EXPECT_EQ(run.output, "");
        const std::string called = readText("called");
        const std::string program = joint ? "unknownvant" : "unknownorlex";
        EXPECT_NE(called.find("/" + program + "|-l|"), std::string::npos) << called;
        EXPECT_EQ(readText("pedfile.dat"), "x\n");
    }
}

}  // namespace
