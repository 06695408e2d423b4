// A pedigree whose genotypes are impossible at a marker (a Mendelian error in
// a post-MAKEPED file: the engine gives it ln L -1e20 at every point) is left
// out of that marker's results, end to end with the real engine.
//
// The hand-derived data are hlod_families.ped (phase_unknown_families.h) and
// a copy of its pedigree 2 as pedigree 7 whose child 3 is typed 4/4 at M1,
// where its parents are 1/2 and 3/3. At M1 the LOD is then that of
// pedigrees 2 (no recombinant of four children) and 10 (two recombinants:
// impossible at theta 0 only, which is evidence and stays); at M2 pedigree 7
// counts as in the clean file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "phase_unknown_families.h"
#include "test_support.h"

using test_support::CommandResult;
using test_support::contains;
using test_support::linesOf;
using test_support::readText;
using test_support::wordsOf;
using test_support::writeText;

using orlex_test::bestOnEngineGrid;
using orlex_test::Family;
using orlex_test::familyLod;

namespace {

// The lines from the first that starts with begin up to the next that starts
// with any of the ends (or the end of the text).
std::vector<std::string> section(const std::string& text, const std::string& begin,
                                 const std::vector<std::string>& ends) {
    std::vector<std::string> lines;
    bool inside = false;
    for (const std::string& line : linesOf(text)) {
        const auto startsWith = [&line](const std::string& part) {
            return line.compare(0, part.size(), part) == 0;
        };
        if (inside && std::any_of(ends.begin(), ends.end(), startsWith)) {
            break;
        }
        inside = inside || startsWith(begin);
        if (inside) {
            lines.push_back(line);
        }
    }
    return lines;
}

// The lines whose first word is the word.
std::vector<std::string> linesOfWord(const std::string& text, const std::string& word) {
    std::vector<std::string> lines;
    for (const std::string& line : linesOf(text)) {
        const std::vector<std::string> words = wordsOf(line);
        if (!words.empty() && words.front() == word) {
            lines.push_back(line);
        }
    }
    return lines;
}

int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class ImpossiblePedigreeRun : public test_support::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        test_support::copySourceFiles("orlex/tests/data", {"two_markers.map", "dominant.model"});
        const std::string base =
            readText(test_support::sourcePath("orlex/tests/data/hlod_families.ped"));
        std::string copy;
        for (const std::string& line : linesOf(base)) {
            if (line.compare(0, 2, "2 ") == 0) {
                copy += "7" + line.substr(1) + "\n";
            }
        }
        writeText("clean.ped", base + copy);
        const std::string consistent = "7 3 1 2 0 4 4 1 0 2  1 3";
        ASSERT_TRUE(contains(copy, consistent));
        copy.replace(copy.find(consistent), consistent.size(), "7 3 1 2 0 4 4 1 0 2  4 4");
        writeText("bad.ped", base + copy);
    }

    static CommandResult orlex(const std::string& pedigree, const std::string& options) {
        return test_support::runProgram("orlex", options + " --post --ped " + pedigree +
                                                     ".ped --map two_markers.map "
                                                     "--model dominant.model --prefix " +
                                                     pedigree);
    }
};

const std::vector<Family> keptAtM1 = {{4, 0}, {4, 2}};

double keptLod(double theta) {
    return familyLod(theta, keptAtM1[0]) + familyLod(theta, keptAtM1[1]);
}

TEST_F(ImpossiblePedigreeRun, TwoPointResultsHoldTheOtherPedigreesOnly) {
    const std::string options = "--singlepoint --byfamily --singlepointcurves --hlod --nuclear";
    const CommandResult bad = orlex("bad", options);
    ASSERT_EQ(bad.status, 0) << bad.output;
    // One warning per marker and analysis, none for M2.
    EXPECT_EQ(countOf(bad.output, "Warning: Marker M1: the likelihood of pedigree 7 is zero"), 1)
        << bad.output;
    EXPECT_EQ(countOf(bad.output, "Warning: Marker M1: the likelihood of nuclear pedigree"), 1);
    EXPECT_FALSE(contains(bad.output, "Warning: Marker M2"));

    // The console's best points of both analyses, and the summary's.
    const orlex_test::BestPoint best = bestOnEngineGrid(keptAtM1);
    std::vector<std::string> consoleLines = linesOfWord(bad.output, "M1");
    // Not the header's list of markers.
    consoleLines.erase(std::remove_if(consoleLines.begin(), consoleLines.end(),
                                      [](const std::string& line) { return contains(line, "M2"); }),
                       consoleLines.end());
    ASSERT_EQ(consoleLines.size(), 4u) << bad.output;  // LodHom, LodHet, NucLodHom, NucLodHet
    for (const std::string& line : {consoleLines[0], consoleLines[2]}) {
        EXPECT_NEAR(std::stod(wordsOf(line)[1]), best.lod, 2e-6) << line;
        EXPECT_NEAR(std::stod(wordsOf(line)[2]), best.theta, 1e-9) << line;
    }
    const std::vector<std::string> summary = linesOfWord(readText("bad_summary.out"), "M1");
    ASSERT_EQ(summary.size(), 2u);
    EXPECT_NEAR(std::stod(wordsOf(summary[0])[1]), best.lod, 2e-6) << summary[0];

    // Every theta of the LOD table; theta 0 stays minus infinity for
    // pedigree 10's recombinants.
    int thetas = 0;
    for (const std::string& line :
         section(readText("bad_singlepoint_curves.out"), "               Theta", {"Phenotype"})) {
        const std::vector<std::string> words = wordsOf(line);
        if (words.size() != 3 || words[0] == "Theta") {
            continue;
        }
        const double theta = std::stod(words[0]);
        const double lod = std::stod(words[1]);
        ++thetas;
        if (theta == 0.0) {
            EXPECT_LT(lod, -900.0) << line;
        } else {
            // Negative LODs stand in exponent form with seven digits.
            EXPECT_NEAR(lod, keptLod(theta), 1e-5) << line;
        }
    }
    EXPECT_EQ(thetas, 26);

    // The heterogeneity table at alpha 1 is the homogeneous LOD.
    for (const std::string& line :
         section(readText("bad_singlepoint_het.out"), "\tMarker: M1", {"\tMarker: M2"})) {
        const std::vector<std::string> words = wordsOf(line);
        if (words.size() != 102 || words[0] == "Alpha" || std::stod(words[0]) == 0.0) {
            continue;
        }
        // Five decimals.
        EXPECT_NEAR(std::stod(words.back()), keptLod(std::stod(words[0])), 1e-5) << line;
    }

    // Pedigree 7 is marked in every block, the others hold their LODs.
    const std::vector<std::string> byFamily =
        section(readText("bad_singlepoint_by_family.out"), "Marker: M1", {"Marker: M2"});
    const std::string joined = [&byFamily] {
        std::string text;
        for (const std::string& line : byFamily) {
            text += line + "\n";
        }
        return text;
    }();
    const std::vector<std::string> row7 = linesOfWord(joined, "7");
    ASSERT_EQ(row7.size(), 1u) << joined;
    EXPECT_EQ(countOf(row7[0], "left out"), 26) << row7[0];
    const std::vector<std::string> row2 = linesOfWord(joined, "2");
    ASSERT_EQ(row2.size(), 1u);
    EXPECT_NEAR(std::stod(wordsOf(row2[0])[1]), familyLod(0.0, {4, 0}), 1e-5);

    // M2 is as in a run on the clean file, in every file.
    const CommandResult clean = orlex("clean", options);
    ASSERT_EQ(clean.status, 0) << clean.output;
    EXPECT_EQ(linesOfWord(bad.output, "M2"), linesOfWord(clean.output, "M2"));
    for (const char* suffix : {"_singlepoint.out", "_summary.out", "_singlepoint_nuc.out"}) {
        EXPECT_EQ(linesOfWord(readText(std::string("bad") + suffix), "M2"),
                  linesOfWord(readText(std::string("clean") + suffix), "M2"))
            << suffix;
    }
    for (const char* suffix : {"_singlepoint_by_family.out", "_singlepoint_nuc_by_family.out",
                               "_singlepoint_het.out", "_singlepoint_nuc_het.out"}) {
        const auto m2 = [suffix](const std::string& prefix) {
            return section(readText(prefix + suffix), "Marker: M2", {"Phenotype"});
        };
        const auto tabbed = [suffix](const std::string& prefix) {
            return section(readText(prefix + suffix), "\tMarker: M2", {"Phenotype"});
        };
        EXPECT_EQ(m2("bad"), m2("clean")) << suffix;
        EXPECT_EQ(tabbed("bad"), tabbed("clean")) << suffix;
    }
    const auto m2Column = [](const std::string& prefix) {
        std::vector<std::string> column;
        for (const std::string& line : linesOf(readText(prefix + "_singlepoint_curves.out"))) {
            const std::vector<std::string> words = wordsOf(line);
            if (words.size() == 3) {
                column.push_back(words[2]);
            }
        }
        return column;
    };
    EXPECT_EQ(m2Column("bad"), m2Column("clean"));
}

// The LOD column of a window's rows in the multipoint LOD table.
std::vector<double> windowLods(const std::string& table, const std::string& window) {
    std::vector<double> lods;
    for (const std::string& line : section(table, "Markers: " + window, {"Markers: "})) {
        const std::vector<std::string> words = wordsOf(line);
        if (!words.empty() && words[0] != "Markers:" && words[0] != "Thetas") {
            lods.push_back(std::stod(words.back()));
        }
    }
    return lods;
}

TEST_F(ImpossiblePedigreeRun, MultipointWindowHoldsTheOtherPedigreesOnly) {
    // Without pedigree 7 the engine itself evaluates the other pedigrees.
    std::string without;
    for (const std::string& line : linesOf(readText("bad.ped"))) {
        if (line.compare(0, 2, "7 ") != 0) {
            without += line + "\n";
        }
    }
    writeText("without.ped", without);
    const std::string options = "--multipoint --wsize 2 --byfamily";
    const CommandResult bad = orlex("bad", options);
    ASSERT_EQ(bad.status, 0) << bad.output;
    EXPECT_EQ(countOf(bad.output,
                      "Warning: Multipoint window M1 M2: the likelihood of pedigree 7 "
                      "is zero"),
              1)
        << bad.output;
    ASSERT_EQ(orlex("without", options).status, 0);

    const std::vector<double> lods = windowLods(readText("bad_multipoint.out"), "M1 M2");
    const std::vector<double> expected = windowLods(readText("without_multipoint.out"), "M1 M2");
    // Five evaluations at the first trait position, six at each later one.
    ASSERT_EQ(lods.size(), 17u);
    ASSERT_EQ(lods.size(), expected.size());
    for (size_t i = 0; i < lods.size(); ++i) {
        // The engine prints -2 ln(like) with six significant digits.
        EXPECT_NEAR(lods[i], expected[i], 2e-4) << "evaluation " << i + 1;
    }
    EXPECT_FALSE(contains(readText("bad_multipoint.out"), "e+"));

    // At alpha 1 the heterogeneity LOD is the LOD, for every position but
    // the last (whose pedigree LODs have their own reference).
    // The last line of the table is that of alpha 1.
    const std::vector<std::string> alphaOne = linesOfWord(readText("bad_multipoint_het.out"), "1");
    ASSERT_FALSE(alphaOne.empty());
    const std::vector<std::string> hlods = wordsOf(alphaOne.back());
    ASSERT_EQ(hlods.size(), lods.size() + 1);
    for (size_t i = 0; i + 6 < lods.size(); ++i) {
        EXPECT_NEAR(std::stod(hlods[i + 1]), lods[i], 2e-5) << "evaluation " << i + 1;
    }
    const std::vector<std::string> row7 =
        linesOfWord(readText("bad_multipoint_by_family.out"), "7");
    ASSERT_EQ(row7.size(), 1u);
    EXPECT_EQ(countOf(row7[0], "left out"), static_cast<int>(lods.size()));
}

}  // namespace
