// orlex --multipoint end to end with the real engine, checked against LODs
// derived by hand.
//
// Each family has an affected grandfather homozygous 1 at every marker, an
// unaffected grandmother homozygous 2, their affected son (1/2 everywhere,
// so the trait allele D travels with his father's alleles 1) and his
// unaffected wife homozygous 3, an allele nobody else carries. Every child's
// allele from the son is seen directly. The trait is dominant with
// penetrance f = 0.8, no phenocopies and a disease allele frequency of 1e-5
// (its effects on the LODs are of that order). With the trait locus at a
// marker the trait travels with that marker's allele, so against the
// unlinked trait a child adds
//   affected with allele 1:   log10(f / (f/2))              = log10 2
//   unaffected with allele 1: log10((1 - f) / (1 - f/2))    = log10 1/3
//   unaffected with allele 2: log10(1 / (1 - f/2))          = log10 5/3
// (an affected child with allele 2 would be impossible).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;
using test_support::CommandResult;
using test_support::contains;
using test_support::readText;
using test_support::writeText;

namespace {

struct Child {
    bool affected;
    // 1: the grandfather's allele (with D), 2: the grandmother's, per marker.
    std::array<int, 3> alleles;
};
using Family = std::vector<Child>;

// Data that favour M2: only there do all unaffected children carry allele 2.
const std::vector<Family> families = {
    {{true, {1, 1, 1}},
     {true, {1, 1, 1}},
     {true, {1, 1, 1}},
     {false, {2, 2, 2}},
     {false, {1, 2, 2}},
     {false, {2, 2, 1}}},
    {{true, {1, 1, 1}}, {false, {2, 2, 1}}, {false, {1, 2, 2}}},
};

double familyLodAtMarker(const Family& family, int marker) {
    const double f = 0.8;
    double lod = 0.0;
    for (const Child& child : family) {
        const bool fromGrandfather = child.alleles[static_cast<size_t>(marker)] == 1;
        if (child.affected) {
            lod += std::log10(fromGrandfather ? 2.0 : 0.0);
        } else {
            lod += std::log10((fromGrandfather ? 1 - f : 1.0) / (1 - f / 2));
        }
    }
    return lod;
}

double lodAtMarker(int marker) {
    double lod = 0.0;
    for (const Family& family : families) {
        lod += familyLodAtMarker(family, marker);
    }
    return lod;
}

// Families linked with probability alpha.
double hlodAtMarker(int marker, double alpha) {
    double hlod = 0.0;
    for (const Family& family : families) {
        hlod += std::log10(alpha * std::pow(10.0, familyLodAtMarker(family, marker)) + 1 - alpha);
    }
    return hlod;
}

// LINKAGE pedigree file (pointers included) of the families over the first
// `markers` markers.
std::string pedigreeFile(int markers) {
    std::ostringstream text;
    const auto person = [&](size_t fam, int id, int father, int mother, int firstChild, int nextSib,
                            int sex, bool affected, const std::string& genotype) {
        text << fam << ' ' << id << ' ' << father << ' ' << mother << ' ' << firstChild << ' '
             << nextSib << ' ' << nextSib << ' ' << sex << " 0 " << (affected ? 2 : 1);
        for (int m = 0; m < markers; ++m) {
            text << "  " << genotype.substr(static_cast<size_t>(m) * 4, 3);
        }
        text << '\n';
    };
    for (size_t fam = 1; fam <= families.size(); ++fam) {
        person(fam, 1, 0, 0, 3, 0, 1, true, "1 1 1 1 1 1 ");
        person(fam, 2, 0, 0, 3, 0, 2, false, "2 2 2 2 2 2 ");
        person(fam, 3, 1, 2, 5, 0, 1, true, "1 2 1 2 1 2 ");
        person(fam, 4, 0, 0, 5, 0, 2, false, "3 3 3 3 3 3 ");
        const Family& children = families[fam - 1];
        for (size_t c = 0; c < children.size(); ++c) {
            const int id = 5 + static_cast<int>(c);
            const int next = c + 1 < children.size() ? id + 1 : 0;
            std::string genotype;
            for (const int allele : children[c].alleles) {
                genotype += std::to_string(allele) + " 3 ";
            }
            person(fam, id, 3, 4, 0, next, 1 + static_cast<int>(c % 2), children[c].affected,
                   genotype);
        }
    }
    return text.str();
}

// One trait position of a window as printed on the console.
struct Position {
    std::string markers;  // "M1 M2 " (window key)
    std::vector<int> locusOrder;
    std::vector<std::vector<double>> rows;  // thetas..., -2 ln(like), LOD
};

std::vector<double> numbers(const std::string& line) {
    std::istringstream words(line);
    std::vector<double> values;
    for (double value = 0.0; words >> value;) {
        values.push_back(value);
    }
    return values;
}

std::vector<Position> consoleTables(const std::string& output) {
    static const std::regex header("^Marker order: (.*)\tLocus order: (.*)$");
    std::vector<Position> positions;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_match(line, match, header)) {
            positions.push_back({match[1], {}, {}});
            for (const double locus : numbers(match[2])) {
                positions.back().locusOrder.push_back(static_cast<int>(locus));
            }
            std::getline(lines, line);  // column heads
        } else if (!positions.empty() && !line.empty() && line[0] == ' ') {
            positions.back().rows.push_back(numbers(line));
        } else if (!positions.empty()) {
            positions.push_back({});  // ends the table
            positions.pop_back();
        }
    }
    return positions;
}

double lodOf(const std::vector<double>& row) {
    return row.back();
}

class MultipointRun : public test_support::TempDirTest {
  protected:
    // Markers 10 cM apart on one chromosome, Haldane's map.
    void writeData(int markers, const std::string& pedigrees = "") {
        writeText("families.ped", pedigrees.empty() ? pedigreeFile(markers) : pedigrees);
        std::string map = "CHROMOSOME haldane MARKER\n";
        for (int m = 0; m < markers; ++m) {
            map += "1 " + std::to_string(10 * m) + ".0 M" + std::to_string(m + 1) + "\n";
        }
        writeText("markers.map", map);
        writeText("reduced.model", "0 0.00001 1\n0 0.8 0.8\n");
    }

    // Runs orlex --multipoint on the inputs; programs in extraPath come first.
    CommandResult orlex(const std::string& arguments, const std::string& extraPath = "") const {
        return test_support::runProgram("orlex", "--multipoint " + inputs + " " + arguments,
                                        extraPath);
    }

    std::string inputs = "--post --ped families.ped --map markers.map --model reduced.model";

    // A stand-in for an engine program in ./stubs: the script's body, then
    // (unless it exits) the real program.
    static void stub(const std::string& program, const std::string& body) {
        fs::create_directories("stubs");
        const std::string file = "stubs/" + program;
        writeText(file, "#!/bin/sh\n" + body + "\nexec " +
                            test_support::enginePath(program).string() + " \"$@\"\n");
        fs::permissions(file, fs::perms::owner_all);
    }

    static std::string stubPath() { return (fs::current_path() / "stubs").string(); }

    // The LOD with the trait at each marker of each window: the first row of
    // the position right after the marker. The last row of an interval
    // before it has the trait at the marker too (the trait-first run stops
    // short of the first marker).
    static std::map<std::string, std::vector<double>> lodsAtMarkers(
        const std::vector<Position>& positions) {
        std::map<std::string, std::vector<double>> lods;
        for (size_t p = 0; p < positions.size(); ++p) {
            const Position& position = positions[p];
            const size_t trait = static_cast<size_t>(
                std::find(position.locusOrder.begin(), position.locusOrder.end(), 1) -
                position.locusOrder.begin());
            if (trait == 0) {
                continue;
            }
            EXPECT_FALSE(position.rows.empty());
            lods[position.markers].push_back(lodOf(position.rows.front()));
            if (trait >= 2) {
                EXPECT_NEAR(lodOf(positions[p - 1].rows.back()), lodOf(position.rows.front()), 1e-6)
                    << position.markers << "trait position " << trait;
            }
        }
        return lods;
    }
};

TEST_F(MultipointRun, TwoMarkersGiveTheHandDerivedLods) {
    writeData(2);
    const CommandResult result = orlex("");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Warning: Multipoint window size cannot be more than number of "
                                 "markers! Setting window size to 2\n"),
              std::string::npos);
    const std::vector<Position> positions = consoleTables(result.output);
    ASSERT_EQ(positions.size(), 3u) << result.output;
    const auto lods = lodsAtMarkers(positions);
    ASSERT_EQ(lods.count("M1 M2 "), 1u);
    EXPECT_NEAR(lods.at("M1 M2 ")[0], lodAtMarker(0), 1e-3);
    EXPECT_NEAR(lods.at("M1 M2 ")[1], lodAtMarker(1), 1e-3);
    // The reference is the unlinked trait: the first evaluation of the window.
    EXPECT_NEAR(lodOf(positions[0].rows[0]), 0.0, 1e-9);
    EXPECT_DOUBLE_EQ(positions[0].rows[0][0], 0.5);
    const auto nonAscii = [](char c) { return (static_cast<unsigned char>(c) & 0x80) != 0; };
    EXPECT_TRUE(std::none_of(result.output.begin(), result.output.end(), nonAscii));
    const std::string table = readText("orlex_multipoint.out");
    EXPECT_TRUE(std::none_of(table.begin(), table.end(), nonAscii));
}

// The LOD table of the result file: every row of a window's positions.
std::vector<std::vector<double>> fileRows(const std::string& text, const std::string& window) {
    const size_t start = text.find("Markers: " + window + "\n");
    EXPECT_NE(start, std::string::npos) << text;
    std::istringstream lines(text.substr(start));
    std::string line;
    std::getline(lines, line);
    std::getline(lines, line);
    std::vector<std::vector<double>> rows;
    while (std::getline(lines, line) && !line.empty() && line[0] == ' ') {
        rows.push_back(numbers(line));
    }
    return rows;
}

TEST_F(MultipointRun, ThreeMarkersInOneWindowPeakAtTheMiddleMarker) {
    writeData(3);
    const CommandResult result = orlex("--wsize 3");
    ASSERT_EQ(result.status, 0) << result.output;
    const std::vector<Position> positions = consoleTables(result.output);
    ASSERT_EQ(positions.size(), 4u) << result.output;
    const std::vector<double> lods = lodsAtMarkers(positions).at("M1 M2 M3 ");
    ASSERT_EQ(lods.size(), 3u);
    for (int marker = 0; marker < 3; ++marker) {
        EXPECT_NEAR(lods[static_cast<size_t>(marker)], lodAtMarker(marker), 1e-3) << marker;
    }

    // The file holds the console's rows, position after position; its
    // largest LOD is the trait at M2 (no recombination between them).
    const auto rows = fileRows(readText("orlex_multipoint.out"), "M1 M2 M3 ");
    std::vector<std::vector<double>> consoleRows;
    for (const Position& position : positions) {
        consoleRows.insert(consoleRows.end(), position.rows.begin(), position.rows.end());
    }
    EXPECT_EQ(rows, consoleRows);
    const auto best = std::max_element(
        rows.begin(), rows.end(), [](const auto& a, const auto& b) { return lodOf(a) < lodOf(b); });
    EXPECT_NEAR(lodOf(*best), lodAtMarker(1), 1e-3);
    EXPECT_EQ((std::vector<double>(best->begin(), best->begin() + 3)),
              (std::vector<double>{0.091, 0.0, 0.091}));
}

TEST_F(MultipointRun, TwoWindowsOfTwoMarkersShareTheMiddleMarker) {
    writeData(3);
    const CommandResult result = orlex("--wsize 2");
    ASSERT_EQ(result.status, 0) << result.output;
    const auto lods = lodsAtMarkers(consoleTables(result.output));
    ASSERT_EQ(lods.size(), 2u) << result.output;
    EXPECT_NEAR(lods.at("M1 M2 ")[0], lodAtMarker(0), 1e-3);
    EXPECT_NEAR(lods.at("M1 M2 ")[1], lodAtMarker(1), 1e-3);
    EXPECT_NEAR(lods.at("M2 M3 ")[0], lodAtMarker(1), 1e-3);
    EXPECT_NEAR(lods.at("M2 M3 ")[1], lodAtMarker(2), 1e-3);
    const std::string table = readText("orlex_multipoint.out");
    EXPECT_LT(table.find("Markers: M1 M2 \n"), table.find("Markers: M2 M3 \n"));
    EXPECT_EQ(fileRows(table, "M2 M3 ").front().size(), 4u);
    // One LOD curve page per window.
    fs::create_directory("pages");
    EXPECT_TRUE(test_support::renderPostScript("orlex_multipoint.ps", "pages"));
    EXPECT_EQ(test_support::renderedPageCount("pages"), 2);
}

// The rows of a heterogeneity or by-family table of the window: the lines
// after its three heading lines, each split into its label and its values.
std::vector<std::pair<std::string, std::vector<double>>> windowTable(const std::string& text,
                                                                     const std::string& window) {
    const size_t start = text.find("\tMarkers: " + window + "\n");
    EXPECT_NE(start, std::string::npos) << text;
    std::istringstream lines(text.substr(start));
    std::string line;
    for (int heading = 0; heading < 4; ++heading) {
        std::getline(lines, line);
    }
    std::vector<std::pair<std::string, std::vector<double>>> rows;
    while (std::getline(lines, line) && !line.empty() &&
           line.find("Markers") == std::string::npos) {
        std::istringstream words(line);
        std::string label;
        words >> label;
        rows.push_back({label, numbers(line.substr(static_cast<size_t>(words.tellg())))});
    }
    return rows;
}

TEST_F(MultipointRun, HeterogeneityAndFamilyTablesFollowTheFamilies) {
    writeData(3);
    const CommandResult result = orlex("--wsize 3 --byfamily");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(contains(result.output,
                         "The LOD Score Curves: orlex_multipoint.ps\n"
                         "The LOD Scores under heterogeneity: orlex_multipoint_het.out\n"
                         "The LOD Scores: orlex_multipoint_by_family.out\n"));
    const std::vector<Position> positions = consoleTables(result.output);
    ASSERT_EQ(positions.size(), 4u);
    // Rows of the trait at M1, M2 and M3: the first of the position after each.
    std::vector<size_t> atMarker;
    std::vector<double> lods;
    for (const Position& position : positions) {
        if (&position != &positions.front()) {
            atMarker.push_back(lods.size());
        }
        for (const auto& row : position.rows) {
            lods.push_back(lodOf(row));
        }
    }

    const auto het = windowTable(readText("orlex_multipoint_het.out"), "M1 M2 M3 ");
    ASSERT_EQ(het.size(), 101u);
    EXPECT_EQ(het.front().first, "0");
    EXPECT_EQ(het[50].first, "0.5");
    EXPECT_EQ(het.back().first, "1");
    ASSERT_EQ(het.back().second.size(), lods.size());
    const size_t lastPosition = lods.size() - positions.back().rows.size();
    for (size_t row = 0; row < lods.size(); ++row) {
        EXPECT_DOUBLE_EQ(het.front().second[row], 0.0);
        // All families linked: the LOD of the evaluation (the trait-last
        // position measures each family from its own unlinked end).
        if (row < lastPosition) {
            EXPECT_NEAR(het.back().second[row], lods[row], 2e-5) << row;
        }
    }
    for (int marker = 0; marker < 3; ++marker) {
        const size_t row = atMarker[static_cast<size_t>(marker)];
        EXPECT_NEAR(het[50].second[row], hlodAtMarker(marker, 0.5), 1e-3) << marker;
        EXPECT_NEAR(het[20].second[row], hlodAtMarker(marker, 0.2), 1e-3) << marker;
    }

    const auto byFamily = windowTable(readText("orlex_multipoint_by_family.out"), "M1 M2 M3 ");
    ASSERT_EQ(byFamily.size(), families.size());
    for (size_t family = 0; family < families.size(); ++family) {
        EXPECT_EQ(byFamily[family].first, std::to_string(family + 1));
        ASSERT_EQ(byFamily[family].second.size(), lods.size());
        for (int marker = 0; marker < 3; ++marker) {
            EXPECT_NEAR(byFamily[family].second[atMarker[static_cast<size_t>(marker)]],
                        familyLodAtMarker(families[family], marker), 1e-3)
                << family << " " << marker;
        }
    }

    const std::string chart = readText("orlex_multipoint.ps");
    EXPECT_TRUE(contains(chart, "(Phenotype: DISEASE_LOCUS   Marker order: M1 M2 M3 )"));
    // The title holds the date as the other charts do, its line feed included.
    EXPECT_TRUE(std::regex_search(
        chart, std::regex(R"(\(Multipoint Analysis {7}\\\([A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\d )"
                          R"(\d\d:\d\d:\d\d \d{4}\n\\\)\)show 90 rotate\n)")))
        << chart;
    fs::create_directory("pages");
    EXPECT_TRUE(test_support::renderPostScript("orlex_multipoint.ps", "pages"));
    EXPECT_EQ(test_support::renderedPageCount("pages"), 1);
}

// The lines of the tables: those after each line that begins with the
// heading, up to the first that is empty or does not begin with a blank.
std::vector<std::string> rowsAfter(const std::string& text, const std::string& heading) {
    std::istringstream lines(text);
    std::vector<std::string> rows;
    bool inTable = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(heading, 0) == 0) {
            inTable = true;
        } else if (line.empty() || line[0] != ' ') {
            inTable = false;
        } else if (inTable) {
            rows.push_back(line);
        }
    }
    return rows;
}

// The words of the line, each of which must be one whole number: two
// numbers fused into one word are not.
std::vector<double> wholeNumbers(const std::string& line) {
    std::istringstream words(line);
    std::vector<double> values;
    for (std::string word; words >> word;) {
        char* end = nullptr;
        values.push_back(std::strtod(word.c_str(), &end));
        EXPECT_EQ(*end, '\0') << "\"" << word << "\" in\n" << line;
    }
    return values;
}

// Full penetrance: the unaffected third child carries the grandfather's
// allele 1 at M1, so with the trait at M1 the family is impossible and the
// engine gives its floor, ln L = -1e20: a LOD of about -4.3e19.
TEST_F(MultipointRun, AnImpossibleEvaluationKeepsEveryColumnApart) {
    writeData(2,
              "1 1 0 0 3 0 0 1 0 2  1 1  1 1\n"
              "1 2 0 0 3 0 0 2 0 1  2 2  2 2\n"
              "1 3 1 2 5 0 0 1 0 2  1 2  1 2\n"
              "1 4 0 0 5 0 0 2 0 1  3 3  3 3\n"
              "1 5 3 4 0 6 6 1 0 2  1 3  1 3\n"
              "1 6 3 4 0 7 7 2 0 2  1 3  1 3\n"
              "1 7 3 4 0 0 0 1 0 1  1 3  2 3\n");
    writeText("reduced.model", "0 0.00001 1\n0 1.0 1.0\n");
    const CommandResult result = orlex("--byfamily");
    ASSERT_EQ(result.status, 0) << result.output;
    const std::vector<Position> positions = consoleTables(result.output);
    ASSERT_EQ(positions.size(), 3u) << result.output;
    // The trait at M1: the first evaluation of the second position.
    EXPECT_LT(lodOf(positions[1].rows.front()), -1e19) << result.output;

    // Two thetas, -2 ln(like) and the LOD on every line of the console and
    // of the file.
    const std::vector<std::string> console = rowsAfter(result.output, "    Thetas");
    const std::vector<std::string> table =
        rowsAfter(readText("orlex_multipoint.out"), "    Thetas");
    ASSERT_GT(console.size(), 5u);
    EXPECT_EQ(table, console);
    for (const std::string& line : console) {
        EXPECT_EQ(wholeNumbers(line).size(), 4u) << line;
    }
    const size_t evaluations = console.size();
    // The row numbers, then one line per alpha: its label and every row.
    const std::vector<std::string> het =
        rowsAfter(readText("orlex_multipoint_het.out"), "     Alpha");
    ASSERT_EQ(het.size(), 102u);
    EXPECT_EQ(wholeNumbers(het.front()).size(), evaluations);
    for (size_t alpha = 1; alpha < het.size(); ++alpha) {
        EXPECT_EQ(wholeNumbers(het[alpha]).size(), evaluations + 1) << het[alpha];
    }
    EXPECT_LT(wholeNumbers(het.back())[positions[0].rows.size() + 1], -1e19);
    // The row numbers, then the family: its id and every row.
    const std::vector<std::string> byFamily =
        rowsAfter(readText("orlex_multipoint_by_family.out"), "Pedigreeid");
    ASSERT_EQ(byFamily.size(), 2u);
    EXPECT_EQ(wholeNumbers(byFamily[0]).size(), evaluations);
    EXPECT_EQ(wholeNumbers(byFamily[1]).size(), evaluations + 1) << byFamily[1];
}

// Logs every unknown run: its arguments and the first and last lines of the
// datafile it reads.
static const char* const logDatafiles =
    "echo \"unknownorlex $*\" >> engine.log\n"
    "if [ -f datafile.dat ]; then head -n 1 datafile.dat >> engine.log; "
    "tail -n 1 datafile.dat >> engine.log; else echo 'no datafile.dat' >> engine.log; fi";

// The looped family of the two-point tests with its marker twice.
static std::string loopedPedigrees() {
    std::istringstream lines(readText(test_support::sourcePath("orlex/tests/data/looped.ped")));
    std::string text;
    for (std::string line; std::getline(lines, line);) {
        text += line + "  " + line.substr(line.size() - 3) + "\n";
    }
    return text;
}

TEST_F(MultipointRun, LoopsAreBrokenWithTheWindowsOwnDatafile) {
    writeData(2, loopedPedigrees());
    stub("unknownorlex", logDatafiles);
    const CommandResult result = orlex("--verbose", stubPath());
    ASSERT_EQ(result.status, 0) << result.output;
    const std::string log = readText("engine.log");
    // The loop breakers are chosen on the three-locus LINKMAP datafile of
    // the window, with the trait first (0.0001 as its finishing value).
    EXPECT_EQ(log.substr(0, log.find("unknownorlex \n")), "unknownorlex -l\n3 0 0 4\n1 0.0001 5\n")
        << log;
    EXPECT_TRUE(contains(result.output, "External command: linkmaporlex\n"));
    EXPECT_EQ(consoleTables(result.output).size(), 3u) << result.output;
}

TEST_F(MultipointRun, DatafilesFollowTheLocusModelsSexLink) {
    std::string pedigrees;
    std::istringstream lines(readText(test_support::sourcePath("orlex/tests/data/xlinked.ped")));
    for (std::string line; std::getline(lines, line);) {
        pedigrees += line + "  " + line.substr(line.size() - 3) + "\n";
    }
    writeData(2, pedigrees);
    fs::copy_file(test_support::sourcePath("orlex/tests/data/xlinked_dominant.model"),
                  "xlinked.model");
    writeText("xlinked.dat",
              "3 0 1 5\n0 0 0 0\n1 2 3\n1 2\n0.999 0.001\n1\n0 1 1\n0 1\n3 3\n0.3 0.3 "
              "0.4\n3 3\n0.3 0.3 0.4\n0 0\n0.5 0.1\n1 0.1 0.45\n");
    stub("unknownorlex", logDatafiles);
    const std::string files = "--post --ped families.ped --map markers.map ";

    inputs = files + "--xlinked --model xlinked.model";
    const CommandResult fromModel = orlex("", stubPath());
    ASSERT_EQ(fromModel.status, 0) << fromModel.output;
    EXPECT_FALSE(contains(fromModel.output, "Warning: The LINKAGE locus model"));
    EXPECT_TRUE(contains(readText("engine.log"), "\n3 0 1 4\n")) << readText("engine.log");
    EXPECT_FALSE(contains(readText("engine.log"), "\n3 0 0 4\n"));

    fs::remove("engine.log");
    inputs = files + "--dat xlinked.dat";
    const CommandResult fromLocusFile = orlex("", stubPath());
    ASSERT_EQ(fromLocusFile.status, 0) << fromLocusFile.output;
    EXPECT_TRUE(contains(fromLocusFile.output,
                         "Warning: The LINKAGE locus model is sex-linked but --xlinked was not "
                         "given: the multipoint runs follow the locus model\n"));
    EXPECT_FALSE(contains(readText("engine.log"), "\n3 0 0 4\n"));
}

TEST_F(MultipointRun, StepsAndWindowSizeOutOfRangeFallBackToTheirDefaults) {
    writeData(3);
    stub("unknownorlex", logDatafiles);
    const CommandResult result = orlex("--steps 0 --wsize 1 --slow --verbose", stubPath());
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(contains(result.output,
                         "Warning: Multipoint window size must be > 1! Setting window size to 3.\n"
                         "Warning: Multipoint steps must be > 0! Setting steps to 5.\n"))
        << result.output;
    EXPECT_TRUE(contains(result.output, "External command: linkmaporlexslow\n"));
    EXPECT_TRUE(contains(readText("engine.log"), "\n1 0.0001 5\n"));
    EXPECT_EQ(consoleTables(result.output).size(), 4u);

    const CommandResult negative = orlex("--steps -3 --wsize 2");
    ASSERT_EQ(negative.status, 0) << negative.output;
    EXPECT_TRUE(contains(negative.output, "Setting steps to 5.\n"));
    EXPECT_EQ(consoleTables(negative.output).size(), 6u);
}

// Many steps are counted out before the engine starts, as the most that the
// engine then evaluates: steps at the first trait position of a window, and
// at each later one the steps and, unless rounding stops it short, the far
// end of the interval.
TEST_F(MultipointRun, ManyStepsAreCountedOutInEngineEvaluations) {
    writeData(3);
    const CommandResult result = orlex("--steps 60 --wsize 2");
    ASSERT_EQ(result.status, 0) << result.output;
    const int perWindow = 60 + 2 * 61;
    EXPECT_TRUE(contains(result.output,
                         "Warning: Multipoint steps 60 (--steps) ask the engine "
                         "for up to " +
                             std::to_string(2 * perWindow) +
                             " evaluations: " + std::to_string(perWindow) +
                             " in each of 2 windows for each of 1 phenotypes, "
                             "where the default of 5 steps asks for 17\n"))
        << result.output;
    size_t rows = 0;
    for (const Position& position : consoleTables(result.output)) {
        rows += position.rows.size();
    }
    EXPECT_LE(rows, static_cast<size_t>(2 * perWindow));
    EXPECT_GE(rows, static_cast<size_t>(2 * 3 * 60));
}

TEST_F(MultipointRun, WindowsAcrossChromosomesOrAgainstTheMapAreSkipped) {
    writeData(3);
    writeText("markers.map", "CHROMOSOME haldane MARKER\n1 0.0 M1\n1 10.0 M2\n2 5.0 M3\n");
    const CommandResult chromosomes = orlex("--wsize 2");
    ASSERT_EQ(chromosomes.status, 0) << chromosomes.output;
    EXPECT_TRUE(contains(chromosomes.output,
                         "Warning: Multipoint window skipped: markers M2 and M3 lie on different "
                         "chromosomes (1 and 2)\n"))
        << chromosomes.output;
    const auto windows = lodsAtMarkers(consoleTables(chromosomes.output));
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_NEAR(windows.at("M1 M2 ")[1], lodAtMarker(1), 1e-3);
    EXPECT_FALSE(contains(readText("orlex_multipoint.out"), "M3"));

    writeText("markers.map", "CHROMOSOME haldane MARKER\n1 10.0 M1\n1 0.0 M2\n1 20.0 M3\n");
    const CommandResult order = orlex("--wsize 2");
    ASSERT_EQ(order.status, 0) << order.output;
    EXPECT_TRUE(contains(order.output,
                         "Warning: Multipoint window skipped: markers M1 and M2 are out of map "
                         "order (a negative distance)\n"))
        << order.output;
    const auto ordered = lodsAtMarkers(consoleTables(order.output));
    ASSERT_EQ(ordered.size(), 1u);
    EXPECT_NEAR(ordered.at("M2 M3 ")[0], lodAtMarker(1), 1e-3);
    EXPECT_NEAR(ordered.at("M2 M3 ")[1], lodAtMarker(2), 1e-3);
}

TEST_F(MultipointRun, MarkersAtOnePositionAskForNoEvaluationsAlongTheInterval) {
    writeData(3);
    writeText("markers.map", "CHROMOSOME haldane MARKER\n1 0.0 M1\n1 0.0 M2\n1 10.0 M3\n");
    stub("unknownorlex", logDatafiles);
    const CommandResult result = orlex("--wsize 3", stubPath());
    ASSERT_EQ(result.status, 0) << result.output;
    const std::string log = readText("engine.log");
    EXPECT_TRUE(contains(log, "\n1 0.0001 0\n")) << log;
    EXPECT_FALSE(contains(log, " 5\n")) << log;
}

struct EngineFault {
    const char* label;
    const char* program;
    const char* body;
    const char* message;
};

static void PrintTo(const EngineFault& fault, std::ostream* out) {
    *out << fault.label;
}

class FaultyEngine : public MultipointRun, public ::testing::WithParamInterface<EngineFault> {};

// A run that leaves no results must never pass another run's off as its own.
TEST_P(FaultyEngine, StopsTheRunNamingTheWindow) {
    writeData(2);
    // "@engine" in a body runs the real program.
    const std::string body =
        std::regex_replace(GetParam().body, std::regex("@engine"),
                           test_support::enginePath(GetParam().program).string());
    stub(GetParam().program, body);
    const CommandResult result = orlex("", stubPath());
    EXPECT_EQ(result.status, 255) << result.output;
    EXPECT_TRUE(contains(result.output, GetParam().message)) << result.output;
    EXPECT_FALSE(fs::exists("orlex_multipoint.out"));
    EXPECT_FALSE(fs::exists("outfile.dat"));
}

// The second LINKMAP run of the window (trait between M1 and M2) misbehaves.
INSTANTIATE_TEST_SUITE_P(
    SecondRun, FaultyEngine,
    ::testing::Values(
        EngineFault{"ExitsWithoutResults", "linkmaporlex",
                    "n=$(cat calls 2>/dev/null || echo 0); echo $((n + 1)) > calls; "
                    "[ $n -eq 1 ] && exit 0",
                    "Error: Unable to open OUTFILE outfile.dat for reading.\n"
                    "Error: The engine left no results in outfile.dat for the window M1 M2 "
                    "(trait position 1)\n"},
        EngineFault{"WritesAnEmptyFile", "linkmaporlex",
                    "n=$(cat calls 2>/dev/null || echo 0); echo $((n + 1)) > calls; "
                    "[ $n -eq 1 ] && : > outfile.dat && exit 0",
                    "Error: The engine left no results in outfile.dat for the window M1 M2 "
                    "(trait position 1)\n"},
        EngineFault{"FailsInLinkmap", "linkmaporlex",
                    "n=$(cat calls 2>/dev/null || echo 0); echo $((n + 1)) > calls; "
                    "[ $n -eq 1 ] && exit 3",
                    "\n******************************************************************\n"
                    "Error in executing LINKMAPORLEX: linkmaporlex\n\nSomething is wrong....\n"},
        EngineFault{"FailsInUnknown", "unknownorlex", "exit 1",
                    "Error in executing UNKNOWORLEX: unknownorlex\n"},
        // Whole blocks of 11 lines (two pedigrees): the file reads without a fault.
        EngineFault{"CutAtABlockBoundary", "linkmaporlex",
                    "n=$(cat calls 2>/dev/null || echo 0); echo $((n + 1)) > calls; "
                    "if [ $n -eq 1 ]; then @engine \"$@\" || exit; "
                    "head -n 33 outfile.dat > cut && mv cut outfile.dat; exit 0; fi",
                    "Error: outfile.dat for the window M1 M2 (trait position 1) holds 3 "
                    "evaluations, fewer than the 5 steps the datafile asked the engine for: the "
                    "file is cut short\n"},
        EngineFault{"BlockWithoutItsThetasLine", "linkmaporlex",
                    "n=$(cat calls 2>/dev/null || echo 0); echo $((n + 1)) > calls; "
                    "if [ $n -eq 1 ]; then @engine \"$@\" || exit; "
                    "awk '/^THETAS/ && ++t == 2 { next } { print }' outfile.dat > cut && "
                    "mv cut outfile.dat; exit 0; fi",
                    "Error: outfile.dat for the window M1 M2 (trait position 1) has no THETAS "
                    "line in evaluation 2 of 6, so the trait's place in that evaluation is "
                    "unknown\n"}),
    [](const ::testing::TestParamInfo<EngineFault>& info) { return info.param.label; });

TEST_F(MultipointRun, AResultFileThatCannotBeWrittenFailsTheRunAfterTheOthers) {
    writeData(2);
    test_support::wrapEngineProgram("fake", "linkmaporlex", "mkdir -p orlex_multipoint.ps");
    const CommandResult result = orlex("", (dir() / "fake").string());
    EXPECT_EQ(result.status, 255) << result.output;
    EXPECT_TRUE(contains(result.output,
                         "The LOD Scores: orlex_multipoint.out\n"
                         "The LOD Score Curves: orlex_multipoint.ps\n"
                         "Error: Unable to write orlex_multipoint.ps!\n"))
        << result.output;
    EXPECT_TRUE(fs::exists("orlex_multipoint_het.out"));
    EXPECT_FALSE(contains(result.output, "Elapsed time"));
}

TEST_F(MultipointRun, MarkerAndPhenotypeSelection) {
    writeData(2);
    struct Case {
        std::string arguments;
        int status;
        std::string output;
    };
    writeText("one.txt", "CHROMOSOME POSITION MARKER\n1 0.0 M1\n");
    const std::vector<Case> cases = {
        {"--phenotype NOPE", 255,
         "Error: Phenotype NOPE not found!\nError: No phenotypes to orlex...! None of the pedigree "
         "file families.ped is left to analyse\n"},
        {"--onlymarkers one.txt", 0, "Too few markers to orlex...!\n"},
    };
    for (const Case& c : cases) {
        const CommandResult result = orlex(c.arguments);
        EXPECT_EQ(result.status, c.status) << c.arguments << "\n" << result.output;
        EXPECT_TRUE(contains(result.output, c.output)) << c.arguments << "\n" << result.output;
        EXPECT_FALSE(fs::exists("orlex_multipoint.out")) << c.arguments;
    }
}

}  // namespace
