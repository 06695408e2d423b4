// vantrel's result writer on results built by hand: the layout of the
// detail and table files, the skipped-marker lists, and every failure.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "pedigrees.h"
#include "result_records.h"
#include "test_support.h"
#include "vantrel.h"
#include "vt_results.h"

namespace fs = std::filesystem;
using test_support::linesOf;
using test_support::readText;
using test_support::writeText;

namespace {

class ResultFiles : public test_support::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        vantrel.pedigrees = std::make_unique<Pedigrees>();
        vantrel.pedigreeFileName = "fam.ped";
        vantrel.outputPrefix = "run";
    }

    // A phenotype's results under a model, with markers M1 and M2.
    VTResults& addResults(const std::string& model, const std::string& phenotype,
                          const std::string& tag) {
        auto results = std::make_unique<VTResults>();
        results->setName(model);
        results->setPhenotypeName(phenotype);
        results->modelTag = tag;
        records.addMarker(*results, "M1", 2, 60.0, 50.0, 58.0, 47.0);
        records.addMarker(*results, "M2", 3, 80.0, 80.0, 74.0, 74.0);
        vantrel.results.push_back(std::move(results));
        return *vantrel.results.back();
    }

    bool write() {
        testing::internal::CaptureStdout();
        const bool written = vantrel.write_result_files();
        output = testing::internal::GetCapturedStdout();
        return written;
    }

    vantrel_test::ResultRecords records;
    Vantrel vantrel;
    std::string output;
};

TEST_F(ResultFiles, WithoutAModelNothingIsWritten) {
    addResults("Dominant", "DISEASE_LOCUS", "dom");
    EXPECT_TRUE(write());
    EXPECT_EQ(output, "");
    EXPECT_TRUE(fs::is_empty("."));
}

TEST_F(ResultFiles, DetailFileLayout) {
    vantrel.dominantAnalysis = true;
    vantrel.mapFileGiven = true;
    vantrel.mapFileName = "fam.map";
    const VTResults& results = addResults("Dominant", "DISEASE_LOCUS", "dom");
    ASSERT_TRUE(write()) << output;

    const std::string detail = readText("run.out");
    const std::string head = Vantrel::welcome() + "\nDate : ";
    EXPECT_EQ(detail.substr(0, head.size()), head);
    const std::vector<std::string> detailLines = linesOf(detail.substr(head.size()));
    ASSERT_GE(detailLines.size(), 2u);
    EXPECT_EQ(detailLines[1], "") << "the date's own line end, then an empty line";

    const std::string info = "Dominant (Phenotype: DISEASE_LOCUS)\n";
    const std::string expected =
        "Input files\n========================\n"
        "Pedigree file          : fam.ped\n"
        "  # pedigrees          : 0\n"
        "  # persons            : 0\n"
        "Map file               : fam.map\n"
        "\n\n"
        "LOD SCORE statistics\n====================\n\n" +
        info + results.getLodScoresInString() +
        "\n"
        "p-value statistics\n==================\n\n" +
        info + results.getPValuesInString() +
        "\n"
        "-2ln(Likelihood) difference\n===========================\n\n"
        "After -2ln(Like) difference in brackets is the degrees of freedom (df)\n\n" +
        info + results.get2lnLikelihoodsDifferencesInString() +
        "\n"
        "-2ln(Likelihood)\n================\n\n" +
        info + results.getLikelihoodsInString() + "\n" +
        "Maximized allele and haplotype frequencies\n" + std::string(42, '=') + "\n\n" + info +
        results.getAlleleandHaplotypeFrequenciesInString() +
        "\n"
        "Detail maximization info\n========================\n\n" +
        info + results.getAllMaximitionInfoInString() + "\n" +
        "LD measures between disease and marker loci\n" + std::string(43, '=') + "\n\n" +
        "Hypothesis H2: Linkage=No, LD=YES\n" + std::string(33, '=') + "\n\n" + info +
        results.getLDmeasures(2) + "\n\n" + "Hypothesis H3: Linkage=YES, LD=YES\n" +
        std::string(34, '=') + "\n\n" + info + results.getLDmeasures(3) + "\n\n";
    const std::size_t input = detail.find("Input files\n");
    ASSERT_NE(input, std::string::npos) << detail;
    EXPECT_EQ(detail.substr(input), expected);

    EXPECT_EQ(output,
              "Detail output file is 'run.out'\n"
              "Table format output file is 'run_tbl.out'\n"
              "Dominant graphical PostScript output file is 'run_dominant.ps'\n\n\n");
}

TEST_F(ResultFiles, OneTableOfEveryPhenotypeModelAndMarker) {
    vantrel.dominantAnalysis = vantrel.recessiveAnalysis = true;
    writeText("fam.map", "CHROMOSOME haldane MARKER\n1 0.0 M1\n2 7.5 M2\n");
    ASSERT_TRUE(vantrel.pedigrees->readMapFile("fam.map"));
    for (const auto& [model, tag] : {std::pair{"Dominant", "dom"}, {"Recessive", "rec"}}) {
        for (const char* phenotype : {"DISEASE_LOCUS", "AFF2"}) {
            addResults(model, phenotype, tag).markerMap = vantrel.pedigrees->getMarkerMap();
        }
    }
    ASSERT_TRUE(write()) << output;

    const std::vector<std::string> table = linesOf(readText("run_tbl.out"));
    ASSERT_EQ(table.size(), 12u) << readText("run_tbl.out");
    EXPECT_EQ(table[0], "# VANTREL analysis results in table format");
    EXPECT_EQ(table[1],
              "Chr Marker bp cM Phenotype Model Linkage(lodscore) Linkage(p-value) LD|Linkage "
              "LD|NoLinkage Linkage|LD LD+Linkage ");
    const char* const rowStarts[] = {
        "1 M1 0 0 DISEASE_LOCUS dom ", "2 M2 0 7.5 DISEASE_LOCUS dom ",
        "1 M1 0 0 AFF2 dom ",          "2 M2 0 7.5 AFF2 dom ",
        "1 M1 0 0 DISEASE_LOCUS rec ", "2 M2 0 7.5 DISEASE_LOCUS rec ",
        "1 M1 0 0 AFF2 rec ",          "2 M2 0 7.5 AFF2 rec ",
    };
    for (std::size_t i = 0; i < std::size(rowStarts); ++i) {
        EXPECT_EQ(table[i + 2].rfind(rowStarts[i], 0), 0u) << table[i + 2];
    }
    EXPECT_EQ(table[10], "");
    EXPECT_EQ(table[11], "");
    for (const char* chart :
         {"run_dominant.ps", "run_aff2_dominant.ps", "run_recessive.ps", "run_aff2_recessive.ps"}) {
        EXPECT_TRUE(fs::exists(chart)) << chart;
    }
}

TEST_F(ResultFiles, SkippedMarkersTenToALineAfterTheFirst) {
    vantrel.recessiveAnalysis = true;
    addResults("Recessive", "DISEASE_LOCUS", "rec");
    for (int i = 1; i <= 11; ++i) {
        vantrel.monomorphicMarkers.push_back("m" + std::to_string(i));
    }
    vantrel.mendelErrorMarkers = {"e1", "e2"};
    ASSERT_TRUE(write()) << output;

    const std::string monomorphic = "\nFollowing monomorphic markers were not analysed:\n" +
                                    std::string(48, '=') +
                                    "\nm1 \nm2 m3 m4 m5 m6 m7 m8 m9 m10 m11 \n";
    const std::string mendel = "\nFollowing markers with Mendel errors were not analysed:\n" +
                               std::string(55, '=') + "\ne1 \ne2 ";
    const std::string detail = readText("run.out");
    const std::string detailEnd = monomorphic + mendel + "\n";
    ASSERT_GE(detail.size(), detailEnd.size());
    EXPECT_EQ(detail.substr(detail.size() - detailEnd.size()), detailEnd);
    const std::string table = readText("run_tbl.out");
    const std::string tableEnd = "\n" + monomorphic + "\n" + mendel + "\n";
    ASSERT_GE(table.size(), tableEnd.size());
    EXPECT_EQ(table.substr(table.size() - tableEnd.size()), tableEnd);

    EXPECT_NE(output.find("'\n\n"
                          "Note: Some markers were monomorphic and were omitted from the analysis! "
                          "See output files!\n"
                          "Note: Some markers with Mendelian errorr were skipped! See output "
                          "files!\n\n"),
              std::string::npos)
        << output;
}

struct WriteFailure {
    std::string name;
    std::string link;  // linked to /dev/full
    std::string prefix;
    std::string message;
    std::vector<std::string> written;
};

void PrintTo(const WriteFailure& value, std::ostream* out) {
    *out << value.name;
}

class ResultFileFailure : public ResultFiles, public testing::WithParamInterface<WriteFailure> {};

TEST_P(ResultFileFailure, StopsWithAnError) {
    const WriteFailure& c = GetParam();
    if (!c.link.empty()) {
        fs::create_symlink("/dev/full", c.link);
    }
    vantrel.outputPrefix = c.prefix;
    vantrel.dominantAnalysis = true;
    addResults("Dominant", "DISEASE_LOCUS", "dom");
    EXPECT_FALSE(write());
    EXPECT_EQ(output.rfind(c.message, 0), 0u) << output;
    EXPECT_EQ(output.find("graphical PostScript"), std::string::npos) << output;
    for (const std::string& file : c.written) {
        EXPECT_TRUE(fs::is_regular_file(file)) << file;
    }
    EXPECT_FALSE(fs::exists(c.prefix + "_dominant.ps"));
}

const WriteFailure writeFailures[] = {
    {"DetailFileCannotBeOpened",
     "",
     "no/such/folder/run",
     "Error: Unable to open no/such/folder/run.out for writing!\n",
     {}},
    {"DetailFileIsADevice", "run.out", "run", "Error: Unable to open run.out for writing!\n", {}},
    {"TableFileIsADevice",
     "run_tbl.out",
     "run",
     "Detail output file is 'run.out'\nError: Unable to open run_tbl.out for writing!\n",
     {"run.out"}},
};

INSTANTIATE_TEST_SUITE_P(Vantrel, ResultFileFailure, testing::ValuesIn(writeFailures),
                         [](const testing::TestParamInfo<WriteFailure>& info) {
                             return info.param.name;
                         });

TEST_F(ResultFiles, PhenotypesDifferingInCaseKeepTheirOwnCharts) {
    vantrel.dominantAnalysis = true;
    addResults("Dominant", "Asthma", "dom");
    addResults("Dominant", "asthma", "dom");
    addResults("Dominant", "Eczema", "dom");
    EXPECT_FALSE(write());
    EXPECT_NE(output.find("Error: The Dominant charts of phenotypes Asthma and asthma would both "
                          "be written to run_asthma_dominant.ps; the chart of asthma is not "
                          "written\n"),
              std::string::npos)
        << output;
    EXPECT_NE(readText("run_asthma_dominant.ps").find("(Phenotype: Asthma, Dominant"),
              std::string::npos);
    EXPECT_TRUE(fs::exists("run_eczema_dominant.ps"));
    // The two phenotypes' numbers are in the result files all the same.
    EXPECT_NE(readText("run_tbl.out").find(" asthma dom "), std::string::npos);
}

TEST_F(ResultFiles, APhenotypeWithASlashGetsNoChart) {
    vantrel.modelBasedAnalysis = true;
    fs::create_directory("run_a");
    addResults("Model-based", "a/b", "model-based");
    EXPECT_FALSE(write());
    EXPECT_NE(output.find("Error: The Model-based chart of phenotype a/b is not written"),
              std::string::npos)
        << output;
    EXPECT_TRUE(fs::is_empty("run_a"));
    EXPECT_TRUE(fs::exists("run.out"));
    EXPECT_TRUE(fs::exists("run_tbl.out"));
}

}  // namespace
