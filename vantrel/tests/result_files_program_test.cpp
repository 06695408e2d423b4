// The result files of a whole vantrel run with the real engine, on the
// bundled example: three families and ten cases and ten controls typed at
// three markers, under the dominant and the model-based trait model.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;
using test_support::readText;
using test_support::wordsOf;

namespace {

const std::string exampleArguments =
    "-p families.ped --post -m markers.map --controlmap markers.map --controlgt controls.gt "
    "--casemap markers.map --casegt cases.gt -k dominant.model";

class ResultFilesProgram : public test_support::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        test_support::copySourceFiles("examples", {"families.ped", "markers.map", "dominant.model",
                                                   "cases.gt", "controls.gt"});
    }
};

// The text between a section title and the next title.
std::string section(const std::string& text, const std::string& title, const std::string& next) {
    const std::size_t start = text.find("\n" + title + "\n");
    const std::size_t end = text.find("\n" + next + "\n", start);
    return start == std::string::npos || end == std::string::npos
               ? ""
               : text.substr(start + title.size() + 2, end - start - title.size() - 2);
}

// The words after the marker name of every marker row of a section, by
// model name ("Dominant", "Model-based") and marker.
using Rows = std::map<std::pair<std::string, std::string>, std::vector<std::string>>;
Rows rowsOf(const std::string& block) {
    Rows rows;
    std::string model;
    std::istringstream lines(block);
    for (std::string line; std::getline(lines, line);) {
        const std::vector<std::string> words = wordsOf(line);
        if (line.find(" (Phenotype: ") != std::string::npos) {
            model = words.at(0);
        } else if (!words.empty() && words[0].rfind("D1S", 0) == 0) {
            rows[{model, words[0]}] = std::vector<std::string>(words.begin() + 1, words.end());
        }
    }
    return rows;
}

// Upper chi-square tails in closed form for 1 to 4 degrees of freedom.
double chiSquareTail(double x, int df) {
    if (x <= 0) {
        return 1.0;
    }
    const double normalPart = std::erfc(std::sqrt(x / 2));
    const double density = std::exp(-x / 2);
    switch (df) {
        case 1:
            return normalPart;
        case 2:
            return density;
        case 3:
            return normalPart + std::sqrt(2 * x / M_PI) * density;
        case 4:
            return density * (1 + x / 2);
        default:
            ADD_FAILURE() << "df " << df;
            return 0.0;
    }
}

void expectPValue(const std::string& shown, double expected, const std::string& label) {
    EXPECT_NEAR(std::stod(shown), expected, std::max(2e-6, 5e-3 * expected)) << label;
}

int integerAfter(const std::string& text, const std::string& label) {
    const std::size_t at = text.find("\n" + label);
    return at == std::string::npos ? -1 : std::stoi(text.substr(at + 1 + label.size()));
}

TEST_F(ResultFilesProgram, DetailAndTableFilesOfTheExample) {
    const test_support::CommandResult run =
        test_support::runProgram("vantrel", exampleArguments + " --dom --model");
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string detail = readText("vantrel.out");

    // families.ped: pedigrees 1, 2 and 3 with 8, 6 and 7 persons. Each
    // genotype file alternates males and females, so its ten singletons pair
    // into five dummy pedigrees of two parents and a dummy child.
    EXPECT_EQ(integerAfter(detail, "  # pedigrees          : "), 3);
    EXPECT_EQ(integerAfter(detail, "  # persons            : "), 21);
    for (const std::string kind : {"Cases", "Controls"}) {
        const std::size_t at = detail.find(kind + " genotype file");
        ASSERT_NE(at, std::string::npos) << kind;
        EXPECT_EQ(integerAfter(detail.substr(at), "  # singletons         : "), 10) << kind;
        EXPECT_EQ(integerAfter(detail.substr(at), "  # dummy pedigrees    : "), 5) << kind;
    }
    EXPECT_EQ(integerAfter(detail, "Total # of pedigrees   : "), 3 + 5 + 5);
    EXPECT_EQ(integerAfter(detail, "Total # of persons     : "), 21 + 10 * 3);
    EXPECT_NE(detail.find("\nParameters used model-based analysis:\n" + std::string(63, '=') +
                          "\nDisease allele frequency: P(D) = 0.001\n"),
              std::string::npos)
        << detail;

    const Rows lods = rowsOf(section(detail, "LOD SCORE statistics", "p-value statistics"));
    const Rows pValues =
        rowsOf(section(detail, "p-value statistics", "-2ln(Likelihood) difference"));
    const Rows differences =
        rowsOf(section(detail, "-2ln(Likelihood) difference", "-2ln(Likelihood)"));
    const Rows likelihoods =
        rowsOf(section(detail, "-2ln(Likelihood)", "Maximized allele and haplotype frequencies"));
    ASSERT_EQ(lods.size(), 6u) << detail;

    // The table: one header, then one row per model and marker in run order,
    // with the numbers of the detail file.
    const std::map<std::string, std::string> modelOfTag{{"dom", "Dominant"},
                                                        {"model-based", "Model-based"}};
    std::istringstream table(readText("vantrel_tbl.out"));
    std::string line;
    ASSERT_TRUE(std::getline(table, line));
    EXPECT_EQ(line, "# VANTREL analysis results in table format");
    ASSERT_TRUE(std::getline(table, line));
    EXPECT_EQ(line.rfind("Chr Marker bp cM Phenotype Model ", 0), 0u) << line;
    const std::vector<std::pair<std::string, std::string>> order{
        {"dom", "D1S101"},         {"dom", "D1S102"},         {"dom", "D1S103"},
        {"model-based", "D1S101"}, {"model-based", "D1S102"}, {"model-based", "D1S103"}};
    const std::map<std::string, std::string> positions{
        {"D1S101", "0"}, {"D1S102", "12.5"}, {"D1S103", "30"}};
    for (const auto& [tag, marker] : order) {
        ASSERT_TRUE(std::getline(table, line));
        const std::vector<std::string> row = wordsOf(line);
        ASSERT_EQ(row.size(), 12u) << line;
        EXPECT_EQ(row[0], "1");
        EXPECT_EQ(row[1], marker);
        EXPECT_EQ(row[3], positions.at(marker));
        EXPECT_EQ(row[4], "DISEASE_LOCUS");
        EXPECT_EQ(row[5], tag);
        const std::pair<std::string, std::string> key{modelOfTag.at(tag), marker};
        const std::string label = tag + " " + marker;
        EXPECT_EQ(row[6], lods.at(key).at(0)) << label;
        EXPECT_EQ(std::vector<std::string>(row.begin() + 7, row.end()), pValues.at(key)) << label;

        // The same numbers again from the -2 ln likelihoods and the number
        // of alleles k shown in the detail file.
        const std::vector<std::string>& l = likelihoods.at(key);
        const double l0 = std::stod(l.at(0)), l1 = std::stod(l.at(1)), l2 = std::stod(l.at(2)),
                     l3 = std::stod(l.at(3));
        const std::string& mixture = differences.at(key).back();  // "50%:k-1)"
        const int k = std::stoi(mixture.substr(mixture.find(':') + 1)) + 1;
        EXPECT_NEAR(std::stod(row[6]), (l0 - l1) / (2 * std::log(10.0)), 2e-6) << label;
        expectPValue(row[7], 0.5 * chiSquareTail(l0 - l1, 1), label + " Linkage");
        expectPValue(row[8], chiSquareTail(l1 - l3, k - 1), label + " LD|Linkage");
        expectPValue(row[9], chiSquareTail(l0 - l2, k - 1), label + " LD|NoLinkage");
        expectPValue(row[10], chiSquareTail(l2 - l3, 1), label + " Linkage|LD");
        expectPValue(row[11], 0.5 * chiSquareTail(l0 - l3, k - 1) + 0.5 * chiSquareTail(l0 - l3, k),
                     label + " LD+Linkage");
    }

    for (const char* chart : {"vantrel_dominant.ps", "vantrel_model-based.ps"}) {
        fs::create_directory("pages");
        EXPECT_TRUE(test_support::renderPostScript(chart, "pages")) << chart;
        EXPECT_EQ(test_support::renderedPageCount("pages"), 6) << chart;
        fs::remove_all("pages");
    }
}

// The table file becomes unwritable while the engine runs.
TEST_F(ResultFilesProgram, AResultFileLostAfterTheAnalysesEndsTheRunWith255) {
    test_support::wrapEngineProgram("fake", "ilinkvant", "ln -sfn /dev/full vantrel_tbl.out");
    const test_support::CommandResult run = test_support::runProgram(
        "vantrel", exampleArguments + " --dom --marker D1S103", (dir() / "fake").string());
    EXPECT_EQ(run.status, 255) << run.output;
    EXPECT_NE(run.output.find("\nError: Unable to open vantrel_tbl.out for writing!\n"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(fs::read_symlink("vantrel_tbl.out"), "/dev/full");
    EXPECT_TRUE(fs::is_regular_file("vantrel.out"));
    // The analyses were done: their engine files go all the same.
    EXPECT_FALSE(fs::exists("pedfile.dat"));
    EXPECT_FALSE(fs::exists("final.dat"));
}

}  // namespace
