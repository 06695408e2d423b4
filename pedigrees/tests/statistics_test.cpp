// The report header, the Hardy-Weinberg genotype statistics, the counters
// of the pedigree statistics, PIC and heterozygosity, and the statistics
// files.
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "locus_file.h"
#include "marker_info.h"
#include "marker_map.h"
#include "pedigree_builder.h"
#include "pedigrees.h"
#include "report_header.h"
#include "test_support.h"
#include "utilities.h"

using test_support::readText;
using test_support::sourcePath;
using test_support::writeText;

namespace {

std::string captured(const std::function<void()>& action) {
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
}

// Founders of one pedigree typed at a three-allele marker (2/1 is stored
// reversed), and a typed child who is no founder.
void buildThreeAlleleMarker(Pedigrees& store) {
    useMarkers(store, 1);
    const std::vector<std::string> founders = {"1/1", "1/1", "1/1", "2/1", "1/3",
                                               "3/1", "2/2", "2/2", "3/3", "3/3"};
    for (std::size_t i = 0; i < founders.size(); ++i) {
        addPersonOrFail(store, "1", "f" + std::to_string(i), "0", "0", i % 2 == 0 ? "1" : "2",
                        {founders[i]});
    }
    addPersonOrFail(store, "1", "child", "f0", "f1", "1", {"1/2"});
    store.createMarkerInfo();
}

class StatisticsTest : public test_support::TempDirTest {};

TEST_F(StatisticsTest, HeaderOfAStoreWithoutNamesOrLocus) {
    Pedigrees store;
    addPersonOrFail(store, "1", "1", "0", "0", "1", {});
    addPersonOrFail(store, "2", "1", "0", "0", "2", {});
    addPersonOrFail(store, "2", "2", "0", "0", "1", {});
    EXPECT_EQ(withFixedDate(store.getCommonHeader()), plainHeader(2, 3));
}

TEST_F(StatisticsTest, HeaderNamesTheFilesCountsNoDummiesAndShowsTheDiseaseLocus) {
    Pedigrees store;
    store.pedigreeFileName = "family.ped";
    store.linkageLocusFileName = "model.dat";
    store.mapFileName = "markers.map";
    store.modelFileName = "dominant.model";
    store.phenotypeFileName = "traits.phe";
    addPersonOrFail(store, "1", "1", "0", "0", "1", {});
    addPersonOrFail(store, "1", "2", "0", "0", "2", {});
    addPersonOrFail(store, "1", "3", "1", "2", "1", {});
    // A case dummy pedigree of three persons counts in neither line.
    for (const char* id : {"1", "2", "3"}) {
        addPersonOrFail(store, "case1", id, "0", "0", "1", {});
    }
    store.casePedigrees.push_back(store.pedigreeTree->find("case1"));
    testing::internal::CaptureStdout();
    ASSERT_TRUE(store.linkageLocusFile->readLocusFile(
        sourcePath("pedigrees/tests/data/dominant_disease_locus.dat").string()));
    testing::internal::GetCapturedStdout();

    const std::string before = current_time_and_date();
    const std::string header = store.getCommonHeader();
    const std::string after = current_time_and_date();
    const std::string rest =
        "\n"
        "Input files\n"
        "========================\n"
        "Pedigree file          : family.ped\n"
        "  # pedigrees          : 1\n"
        "  # persons            : 3\n"
        "Linkage locus file     : model.dat\n"
        "Map file               : markers.map\n"
        "Model file             : dominant.model\n"
        "Phenotype file         : traits.phe\n"
        "\n"
        "Parameters used in analysis:\n"
        "===============================================================\n"
        "Disease allele frequency: P(D) = 0.001\n"
        "Liability class  P(Affected|++)  P(Affected|D+)  P(Affected|DD)\n"
        "---------------------------------------------------------------\n"
        "              1              0               1               1 \n"
        "===============================================================\n"
        "\n"
        "\n"
        "\n"
        "\n"
        "\n"
        "\n";
    EXPECT_TRUE(header == "Date : " + before + rest || header == "Date : " + after + rest)
        << header;
}

TEST_F(StatisticsTest, ThreeAlleleMarkerHasHandComputedTermsAndThreeDegreesOfFreedom) {
    Pedigrees store;
    buildThreeAlleleMarker(store);
    store.createGenotypeStatistics();
    // Frequencies: all 10/22, 6/22, 6/22 over 11 persons; founders 9/20,
    // 5/20, 6/20 over 10. Totals 5.67111 and 7.21481 on 3 degrees of
    // freedom (on 2 they would give 0.05868 and 0.02712).
    const std::string expected =
        plainHeader(1, 11) +
        "Marker MARKER1\n"
        "            All                           Founders\n"
        "Genotype Obs(0)    Exp(E) (O-E)^2/E         Obs(0)    Exp(E) (O-E)^2/E\n"
        "======================================================================\n"
        "     1/1      3      2.27   0.23273              3      2.03   0.46944\n"
        "     1/2      2      2.73   0.19394              1      2.25   0.69444\n"
        "     1/3      2      2.73   0.19394              2      2.70   0.18148\n"
        "     2/2      2      0.82   1.70707              2      0.62   3.02500\n"
        "     2/3      0      1.64   1.63636              0      1.50   1.50000\n"
        "     3/3      2      0.82   1.70707              2      0.90   1.34444\n"
        "======================================================================\n"
        "   Total     11     11.00   5.67111             10     10.00   7.21481\n"
        "\n"
        "                                All       Founders\n"
        "Chi-squared p-value         0.12876        0.06536\n"
        "\n"
        "\n";
    EXPECT_EQ(withFixedDate(store.genotypeStatisticsText.str()), expected);
}

TEST_F(StatisticsTest, StatisticsAreBuiltOnceAndWrittenAlike) {
    Pedigrees store;
    buildThreeAlleleMarker(store);
    store.writeGenotypeStatistics("first.info");
    store.writeGenotypeStatistics("second.info");
    EXPECT_EQ(readText("first.info"), readText("second.info"));
    const MarkerInfo* record = store.markerInfo->find("0");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->genotypes.size(), 6u);
    EXPECT_EQ(record->genotypes[0]->getGenotypeCount("all"), 3);
}

// Undefined terms: when nobody (or no founder) is expected to carry a
// genotype, its term, the total and the p-value say NaN.
struct UndefinedCase {
    const char* name;
    std::vector<std::vector<std::string>> persons;  // id, father, mother, genotype
    std::vector<std::string> rows;                  // the genotype and total rows
    std::string pValues;
};

void PrintTo(const UndefinedCase& c, std::ostream* os) {
    *os << c.name;
}

class UndefinedTermsTest : public StatisticsTest,
                           public testing::WithParamInterface<UndefinedCase> {};

TEST_P(UndefinedTermsTest, PrintsNaNWithoutDividing) {
    Pedigrees store;
    useMarkers(store, 1);
    for (const auto& person : GetParam().persons) {
        addPersonOrFail(store, "1", person[0], person[1], person[2], "1", {person[3]});
    }
    store.createMarkerInfo();
    store.createGenotypeStatistics();
    const std::string text = store.genotypeStatisticsText.str();
    for (const std::string& row : GetParam().rows) {
        EXPECT_NE(text.find(row + "\n"), std::string::npos) << row << "\n" << text;
    }
    EXPECT_NE(text.find(GetParam().pValues + "\n"), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UndefinedTermsTest,
    testing::Values(
        // No founder is typed: every founder expectation is 0. One degree
        // of freedom goes through the normal-tail approximation (the exact
        // tail would be 0.63735).
        UndefinedCase{"UntypedFounders",
                      {{"1", "0", "0", ""},
                       {"2", "0", "0", ""},
                       {"3", "1", "2", "1/2"},
                       {"4", "1", "2", "1/1"}},
                      {"     1/1      1      1.12   0.01389              0      0.00       NaN",
                       "     1/2      1      0.75   0.08333              0      0.00       NaN",
                       "     2/2      0      0.12   0.12500              0      0.00       NaN",
                       "   Total      2      2.00   0.22222              0      0.00       NaN"},
                      "Chi-squared p-value         0.63737          NaN, 1"},
        // Allele 3 is carried by a child only; three alleles give three
        // degrees of freedom.
        UndefinedCase{"AlleleOnlyInAChild",
                      {{"1", "0", "0", "1/1"}, {"2", "0", "0", "1/2"}, {"3", "1", "2", "2/3"}},
                      {"     1/3      0      0.50   0.50000              0      0.00       NaN",
                       "     2/2      0      0.33   0.33333              0      0.12   0.12500",
                       "     2/3      1      0.33   1.33333              0      0.00       NaN",
                       "   Total      3      3.00   2.33333              2      2.00       NaN"},
                      "Chi-squared p-value         0.50617          NaN, 3"},
        // One allele: no degree of freedom; a zero statistic has p-value 1.
        UndefinedCase{"SingleAllele",
                      {{"1", "0", "0", "4/4"}, {"2", "0", "0", "4/4"}, {"3", "1", "2", "4/4"}},
                      {"     4/4      3      3.00   0.00000              2      2.00   0.00000",
                       "   Total      3      3.00   0.00000              2      2.00   0.00000"},
                      "Chi-squared p-value         1.00000        1.00000"}),
    [](const testing::TestParamInfo<UndefinedCase>& info) { return info.param.name; });

TEST_F(StatisticsTest, MarkersWithoutRecordOrGenotypes) {
    Pedigrees store;
    useMarkers(store, 2);
    addPersonOrFail(store, "1", "1", "0", "0", "1", {"", ""});
    const std::string noRecords =
        plainHeader(1, 1) + "Marker MARKER1\n\n\n\nMarker MARKER2\n\n\n\n";
    store.createGenotypeStatistics();
    EXPECT_EQ(withFixedDate(store.genotypeStatisticsText.str()), noRecords);

    Pedigrees typedStore;
    useMarkers(typedStore, 1);
    addPersonOrFail(typedStore, "1", "1", "0", "0", "1", {""});
    typedStore.createMarkerInfo();
    typedStore.createGenotypeStatistics();
    EXPECT_EQ(withFixedDate(typedStore.genotypeStatisticsText.str()),
              plainHeader(1, 1) + "Marker MARKER1\nNo genotypes found\n\n\n\n");
}

TEST_F(StatisticsTest, WithoutMarkersTheTextIsTheHeaderAlone) {
    Pedigrees store;
    addPersonOrFail(store, "1", "1", "0", "0", "1", {});
    store.createGenotypeStatistics();
    EXPECT_EQ(withFixedDate(store.genotypeStatisticsText.str()), plainHeader(1, 1));
}

TEST_F(StatisticsTest, GenotypeCountingMatchesEitherOrderAndKnowsFounders) {
    Pedigrees store;
    useMarkers(store, 1);
    addPersonOrFail(store, "1", "1", "0", "0", "1", {"2/1"});
    addPersonOrFail(store, "1", "2", "0", "0", "2", {"1/1"});
    addPersonOrFail(store, "1", "3", "1", "0", "1", {"1/2"});  // one parent given: no founder
    addPersonOrFail(store, "1", "4", "1", "2", "2", {""});
    store.createMarkerInfo();
    store.countMarkersGenotypes("0");
    const std::vector<Genotype*> table = store.markerInfo->find("0")->getGenotypes();
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0]->getGenotypeName(), "1/1");
    EXPECT_EQ(table[0]->getGenotypeCount("all"), 1);
    EXPECT_EQ(table[1]->getGenotypeCount("all"), 2);
    EXPECT_EQ(table[1]->getGenotypeCount("founders"), 1);
    EXPECT_EQ(table[2]->getGenotypeCount("all"), 0);
    // All: p(1) = 4/6 over 3 persons; founders: p(1) = 3/4 over 2.
    EXPECT_DOUBLE_EQ(table[0]->getExpectedGenotypeCount("all"), 3.0 * 4 / 9);
    EXPECT_DOUBLE_EQ(table[1]->getExpectedGenotypeCount("founders"), 2.0 * 2 * 0.75 * 0.25);
}

TEST_F(StatisticsTest, ShareOfGenotypedPersonsAndPedigrees) {
    Pedigrees store;
    useMarkers(store, 1);
    for (int i = 1; i <= 5; ++i) {
        addPersonOrFail(store, "1", std::to_string(i), "0", "0", "1", {i <= 2 ? "1/2" : ""});
    }
    for (int i = 1; i <= 3; ++i) {
        addPersonOrFail(store, "2", std::to_string(i), "0", "0", "1", {i == 1 ? "1/1" : ""});
    }
    addPersonOrFail(store, "3", "1", "0", "0", "1", {""});
    // Three of nine persons, in two of three pedigrees.
    EXPECT_DOUBLE_EQ(store.getPercentGenotyped("0"), 3.0 / 9);
    EXPECT_EQ(store.genotypedPersonCount, 3);
    EXPECT_EQ(store.genotypedPedigreeCount, 2);

    Pedigrees empty;
    EXPECT_TRUE(std::isnan(empty.getPercentGenotyped("0")));
    EXPECT_EQ(empty.genotypedPedigreeCount, 0);
}

TEST_F(StatisticsTest, PhenotypeDistributionsCountOnlyOneTwoAndAbsent) {
    Pedigrees store;
    useMarkers(store, 1);
    addPersonOrFail(store, "1", "1", "0", "0", "1", {"1/2"}, "2");
    addPersonOrFail(store, "1", "2", "0", "0", "2", {""}, "2");
    addPersonOrFail(store, "1", "3", "1", "2", "1", {"1/1"}, "1");
    addPersonOrFail(store, "1", "4", "1", "2", "1", {"1/1"}, "02");
    addPersonOrFail(store, "1", "5", "1", "2", "2", {"1/2"});
    addPersonOrFail(store, "1", "6", "1", "2", "2", {""});

    store.countPhenotypedDistribution("DISEASE_LOCUS");
    EXPECT_EQ(store.phenotypeAffectedCount, 2);
    EXPECT_EQ(store.phenotypeUnaffectedCount, 1);
    EXPECT_EQ(store.phenotypeUnknownCount, 2);

    store.countGenotypedPhenotypeStates("DISEASE_LOCUS", "0");
    EXPECT_EQ(store.stateAffectedCount, 2);
    EXPECT_EQ(store.stateAffectedGenotypedCount, 1);
    EXPECT_EQ(store.stateUnaffectedCount, 1);
    EXPECT_EQ(store.stateUnaffectedGenotypedCount, 1);
    EXPECT_EQ(store.stateUnknownCount, 2);
    EXPECT_EQ(store.stateUnknownGenotypedCount, 1);
}

// Closed forms: H = 1 - sum p^2, PIC = H - sum over i < j of 2 pi^2 pj^2.
struct DiversityCase {
    const char* name;
    std::vector<std::string> genotypes;  // one founder each
    double heterozygosity;
    double pic;
};

void PrintTo(const DiversityCase& c, std::ostream* os) {
    *os << c.name;
}

class DiversityTest : public StatisticsTest, public testing::WithParamInterface<DiversityCase> {};

TEST_P(DiversityTest, HeterozygosityAndPicFollowTheirClosedForms) {
    Pedigrees store;
    useMarkers(store, 1);
    int id = 0;
    for (const std::string& genotype : GetParam().genotypes) {
        addPersonOrFail(store, "1", std::to_string(++id), "0", "0", "1", {genotype});
    }
    store.createMarkerInfo();
    EXPECT_NEAR(store.getHeterozygosity("0"), GetParam().heterozygosity, 1e-12);
    EXPECT_NEAR(store.getPolymorphismInformationContent("0"), GetParam().pic, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Frequencies, DiversityTest,
    testing::Values(DiversityCase{"TwoEqualAlleles", {"1/2", "1/2"}, 0.5, 0.5 - 2 * 0.0625},
                    // 0.5, 0.3, 0.2 in two orders of first appearance
                    DiversityCase{"ThreeAlleles",
                                  {"1/1", "1/2", "1/3", "2/3", "1/2"},
                                  0.62,
                                  0.62 - 2 * (0.25 * 0.09 + 0.25 * 0.04 + 0.09 * 0.04)},
                    DiversityCase{"ThreeAllelesOtherOrder",
                                  {"3/2", "1/2", "1/3", "1/1", "1/2"},
                                  0.62,
                                  0.62 - 2 * (0.25 * 0.09 + 0.25 * 0.04 + 0.09 * 0.04)},
                    // One allele: no pairs, PIC equals H.
                    DiversityCase{"OneAllele", {"7/7"}, 0.0, 0.0}),
    [](const testing::TestParamInfo<DiversityCase>& info) { return info.param.name; });

TEST_F(StatisticsTest, MarkerWithoutAlleleInformationHasNoDiversity) {
    Pedigrees store;
    useMarkers(store, 2);
    addPersonOrFail(store, "1", "1", "0", "0", "1", {"1/2", ""});
    store.createMarkerInfo();
    EXPECT_DOUBLE_EQ(store.getHeterozygosity("1"), -1.1);
    EXPECT_DOUBLE_EQ(store.getPolymorphismInformationContent("1"), -1.1);
    EXPECT_DOUBLE_EQ(store.getHeterozygosity("5"), -1.1);
    EXPECT_DOUBLE_EQ(store.getPolymorphismInformationContent("5"), -1.1);
}

// Three pedigrees of ten persons; MARKER1 has frequencies 0.5, 0.5 and
// MARKER2 0.5, 0.3, 0.2. TRAIT is a phenotype nobody has.
void buildPedigreeStatisticsData(Pedigrees& store) {
    useMarkers(store, 2);
    addPersonOrFail(store, "1", "1", "0", "0", "1", {"", "1/1"}, "1");
    addPersonOrFail(store, "1", "2", "0", "0", "2", {"", "1/2"}, "1");
    addPersonOrFail(store, "1", "3", "1", "2", "1", {"1/2", "1/3"}, "2");
    addPersonOrFail(store, "1", "4", "1", "2", "2", {"", "2/3"}, "2");
    addPersonOrFail(store, "2", "1", "0", "0", "1", {"1/1", ""});
    addPersonOrFail(store, "2", "2", "0", "0", "2", {"2/2", ""}, "1");
    addPersonOrFail(store, "2", "3", "1", "2", "1", {"", ""}, "2");
    addPersonOrFail(store, "3", "1", "0", "0", "1", {"", ""}, "01");
    addPersonOrFail(store, "3", "2", "0", "0", "2", {"", ""});
    addPersonOrFail(store, "3", "3", "1", "2", "1", {"", "1/2"}, "2");
    store.phenotypeNames = {"DISEASE_LOCUS", "TRAIT"};
    store.createMarkerInfo();
}

TEST_F(StatisticsTest, PedigreeStatisticsFile) {
    Pedigrees store;
    buildPedigreeStatisticsData(store);
    store.writePedigreeStatistics("pedigree.info");
    const std::string expected = plainHeader(3, 10) +
                                 "Pedigree Statistics\n"
                                 "=========================\n"
                                 "Average pedigree size: 3.33333\n"
                                 "Pedigree Count: 3\n"
                                 "Person Count: 10\n"
                                 "\n"
                                 "Marker Statistics\n"
                                 "============================================================\n"
                                 "    Marker     %Genotyped     %Genotyped       PIC         H\n"
                                 "                  Persons      Pedigrees                    \n"
                                 "   MARKER1        0.30000        0.66667   0.37500   0.50000\n"
                                 "   MARKER2        0.50000        0.66667   0.54780   0.62000\n"
                                 "\n"
                                 "\n"
                                 "Phenotype Statistics\n"
                                 "============================================================\n"
                                 "      Phenotype      %Affected    %Unaffected       %Unknown\n"
                                 "  DISEASE_LOCUS          40.00          30.00          20.00\n"
                                 "          TRAIT           0.00           0.00         100.00\n"
                                 "\n"
                                 "\n"
                                 "Phenotype & Marker Statistics\n"
                                 "============================================================\n"
                                 "    Phenotype: DISEASE_LOCUS\n"
                                 "         Marker      %Affected    %Unaffected       %Unknown\n"
                                 "        MARKER1          25.00          33.33          50.00\n"
                                 "        MARKER2          75.00          66.67           0.00\n"
                                 "    Phenotype: TRAIT\n"
                                 "         Marker      %Affected    %Unaffected       %Unknown\n"
                                 "        MARKER1           0.00           0.00          30.00\n"
                                 "        MARKER2           0.00           0.00          50.00\n";
    EXPECT_EQ(withFixedDate(readText("pedigree.info")), expected);
    EXPECT_TRUE(store.pedigreeStatisticsText.str().empty());

    // A second write starts from a fresh number format.
    store.writePedigreeStatistics("again.info");
    EXPECT_EQ(withFixedDate(readText("again.info")), expected);
}

TEST_F(StatisticsTest, PedigreeStatisticsOfAWholeAverageAndOfAnEmptyStore) {
    Pedigrees store;
    for (const char* pedigree : {"1", "2", "3"}) {
        for (const char* id : {"1", "2", "3"}) {
            addPersonOrFail(store, pedigree, id, "0", "0", "1", {});
        }
    }
    store.writePedigreeStatistics("whole.info");
    EXPECT_NE(readText("whole.info").find("\nAverage pedigree size: 3\n"), std::string::npos);
    // No markers and no phenotypes: the sections keep their titles only.
    EXPECT_NE(readText("whole.info").find("                    \n\n\n\n\n"), std::string::npos);

    // Nothing to divide by: the undefined figures say NaN.
    Pedigrees empty;
    useMarkers(empty, 1);
    empty.phenotypeNames = {"DISEASE_LOCUS"};
    empty.writePedigreeStatistics("empty.info");
    const std::string text = readText("empty.info");
    EXPECT_NE(text.find("\nAverage pedigree size: NaN\n"), std::string::npos) << text;
    EXPECT_NE(text.find("   MARKER1            NaN        0.00000  -1.10000  -1.10000\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("  DISEASE_LOCUS            NaN            NaN            NaN\n"),
              std::string::npos)
        << text;
}

TEST_F(StatisticsTest, UnopenableFilesReportAndWriteNothing) {
    Pedigrees store;
    buildPedigreeStatisticsData(store);
    const std::string output = captured([&store] {
        store.writePedigreeStatistics("no/such/pedigree.info");
        store.writeGenotypeStatistics("no/such/genotype.info");
    });
    EXPECT_EQ(output,
              "Error: Unable to open no/such/pedigree.info for writing!\n"
              "Error: Unable to open no/such/genotype.info for writing!\n");
    EXPECT_TRUE(store.pedigreeStatisticsText.str().empty());
    // The genotype statistics were not built by the failed write.
    EXPECT_FALSE(store.genotypeStatisticsCreated);
}

// A full disk shows only at the close; the files of an earlier run stay.
TEST_F(StatisticsTest, FailedWritesAreReportedAndKeepTheEarlierFiles) {
    Pedigrees store;
    buildPedigreeStatisticsData(store);
    writeText("genotype.info", "earlier\n");
    writeText("pedigree.info", "earlier\n");
    std::string output;
    {
        // Room for the captured messages, not for the files.
        const test_support::FileSizeLimit full(200);
        output = captured([&store] {
            store.writeGenotypeStatistics("genotype.info");
            store.writePedigreeStatistics("pedigree.info");
        });
    }
    EXPECT_EQ(output,
              "Error: Unable to write genotype.info!\n"
              "Error: Unable to write pedigree.info!\n");
    EXPECT_EQ(readText("genotype.info"), "earlier\n");
    EXPECT_EQ(readText("pedigree.info"), "earlier\n");
    EXPECT_EQ(test_support::entriesOf("."),
              (std::vector<std::string>{"genotype.info", "pedigree.info"}));
}

// A family that gives one HRR trio, one TDT trio and one sib pair at MARKER1
// and nothing at MARKER2, and a pedigree that gives nothing.
void buildTrioFamily(Pedigrees& store) {
    useMarkers(store, 2);
    addPersonOrFail(store, "1", "1", "0", "0", "1", {"1/2", ""}, "1");
    addPersonOrFail(store, "1", "2", "0", "0", "2", {"3/4", ""}, "1");
    addPersonOrFail(store, "1", "3", "1", "2", "1", {"1/3", ""}, "2");
    addPersonOrFail(store, "1", "4", "1", "2", "2", {"2/4", ""}, "2");
    addPersonOrFail(store, "2", "1", "0", "0", "1", {"", ""}, "1");
    store.phenotypeNames = {"DISEASE_LOCUS"};
    store.createMarkerInfo();
}

const char* const STATISTICS_SUFFIXES[] = {
    "markerinfo_statistics.info",
    "hrr_markerinfo_statistics.info",
    "tdt_markerinfo_statistics.info",
    "sib_pair_markerinfo_statistics.info",
    "pedigree_statistics.info",
    "genotype_statistics.info",
    "number_of_hrr_tdt_sibpair_peds.info",
};

TEST_F(StatisticsTest, WriteStatisticsWritesEveryFileUnderThePrefix) {
    for (const std::string prefix : {"run", ""}) {
        Pedigrees store;
        buildTrioFamily(store);
        store.outputPrefix = prefix;
        EXPECT_EQ(captured([&store] { store.writeStatistics(); }), "");
        for (const char* suffix : STATISTICS_SUFFIXES) {
            EXPECT_TRUE(std::filesystem::exists(prefix + "_" + suffix)) << prefix << suffix;
        }
        EXPECT_TRUE(store.frequencyText.str().empty());
        EXPECT_EQ(store.hrrPedigrees != nullptr ? store.hrrPedigrees->count : -1, 0)
            << "the count file leaves the sets of the last marker";
    }

    const std::string count = withFixedDate(readText("run_number_of_hrr_tdt_sibpair_peds.info"));
    EXPECT_EQ(count, plainHeader(2, 5) +
                         "Number of Hrr, Tdt And Sib Pair Pedigrees\n"
                         "\n"
                         "Marker         HRR            TDT       SIBPAIRS  \n"
                         "MARKER1        1              1         1         \n"
                         "MARKER2        0              0         0         \n");

    // Each set file names its own set; MARKER2 gives no set pedigree.
    const std::string trioTable =
        "Allele    All      Freq    Founders      Freq    Males      Freq    Females      Freq"
        "    New Allele\n"
        "     1      2  0.333333           1  0.250000        2  0.500000          0  0.000000"
        "             1\n"
        "     2      1  0.166667           1  0.250000        1  0.250000          0  0.000000"
        "             2\n"
        "     3      2  0.333333           1  0.250000        1  0.250000          1  0.500000"
        "             3\n"
        "     4      1  0.166667           1  0.250000        0  0.000000          1  0.500000"
        "             4\n"
        "\n\n";
    EXPECT_EQ(withFixedDate(readText("run_hrr_markerinfo_statistics.info")),
              plainHeader(2, 5) + "Marker MARKER1\n# hrr pedigrees   : 1\n# hrr persons     : 3\n" +
                  trioTable);
    EXPECT_EQ(withFixedDate(readText("run_tdt_markerinfo_statistics.info")),
              plainHeader(2, 5) + "Marker MARKER1\n# tdt pedigrees   : 1\n# tdt persons     : 3\n" +
                  trioTable);
    const std::string sibPairs = withFixedDate(readText("run_sib_pair_markerinfo_statistics.info"));
    EXPECT_EQ(sibPairs.find(plainHeader(2, 5) + "Marker MARKER1\n# sibpair pedigrees   : 1\n"
                                                "# sibpair persons     : 4\n"),
              0u)
        << sibPairs;
    EXPECT_EQ(sibPairs.find("MARKER2"), std::string::npos);
}

// Every marker of a scan gives a set: the set files hold a section per marker
// in index order, gathered into one write of each file.
TEST_F(StatisticsTest, SetFrequencyFilesAreWrittenOnceAfterTheLastMarker) {
    const auto build = [](Pedigrees& store, const std::string& prefix) {
        useMarkers(store, 3);
        const std::vector<std::string> trio = {"1/2", "3/4", "1/3", "2/4"};
        for (int person = 0; person < 4; ++person) {
            const std::string& genotype = trio[static_cast<std::size_t>(person)];
            const std::string id = std::to_string(person + 1);
            addPersonOrFail(store, "1", id, person < 2 ? "0" : "1", person < 2 ? "0" : "2",
                            person % 2 == 0 ? "1" : "2", {genotype, genotype, genotype},
                            person < 2 ? "1" : "2");
        }
        store.phenotypeNames = {"DISEASE_LOCUS"};
        store.createMarkerInfo();
        store.outputPrefix = prefix;
    };

    Pedigrees written;
    build(written, "run");
    EXPECT_EQ(captured([&written] { written.writeStatistics(); }), "");
    for (const char* suffix : {"hrr_markerinfo_statistics.info", "tdt_markerinfo_statistics.info",
                               "sib_pair_markerinfo_statistics.info"}) {
        const std::string text = readText(std::string("run_") + suffix);
        const std::size_t first = text.find("Marker MARKER1\n");
        const std::size_t second = text.find("Marker MARKER2\n");
        const std::size_t third = text.find("Marker MARKER3\n");
        EXPECT_TRUE(first != std::string::npos && first < second && second < third &&
                    third != std::string::npos)
            << suffix << "\n"
            << text;
    }

    // Each attempt to write a file reports itself: one line per file, not per marker.
    Pedigrees unopenable;
    build(unopenable, "no/such/run");
    const std::string output = captured([&unopenable] { unopenable.writeStatistics(); });
    for (const char* suffix : {"hrr_markerinfo_statistics.info", "tdt_markerinfo_statistics.info",
                               "sib_pair_markerinfo_statistics.info"}) {
        const std::string line =
            std::string("Error: Unable to open no/such/run_") + suffix + " for writing!\n";
        std::size_t attempts = 0;
        for (std::size_t at = output.find(line); at != std::string::npos;
             at = output.find(line, at + 1)) {
            ++attempts;
        }
        EXPECT_EQ(attempts, 1u) << suffix;
    }
}

// Read from files as a run reads them: a missing genotype "0 0" stores
// nothing. Alleles 1, 2, 3 have 5, 4 and 5 of 14 copies: H = 130/196 and
// PIC = H - 2 (25 16 + 25 25 + 16 25) / 14^4.
TEST_F(StatisticsTest, StatisticsOfReadPedigreeFiles) {
    Pedigrees store;
    store.linkageFormat = true;
    store.affectionStatusColumn = true;
    store.outputPrefix = "read";
    const std::string output = captured([&store] {
        ASSERT_TRUE(
            store.readMapFile(sourcePath("pedigrees/tests/data/statistics_families.map").string()));
        ASSERT_TRUE(store.readPedigreeFile(
            sourcePath("pedigrees/tests/data/statistics_families.ped").string()));
        EXPECT_TRUE(store.writeStatistics());
    });
    EXPECT_EQ(output.find("Error"), std::string::npos) << output;
    EXPECT_NE(readText("read_pedigree_statistics.info")
                  .find("\n    D2S123        0.87500        1.00000   0.58908   0.66327\n"),
              std::string::npos)
        << readText("read_pedigree_statistics.info");
    // Trios in both pedigrees; no parent pair is heterozygous twice; one
    // affected sib pair.
    EXPECT_NE(readText("read_number_of_hrr_tdt_sibpair_peds.info")
                  .find("\nD2S123         2              0         1         \n"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists("read_tdt_markerinfo_statistics.info"));
}

TEST_F(StatisticsTest, WriteStatisticsGoesOnPastUnopenableFiles) {
    Pedigrees store;
    buildTrioFamily(store);
    store.outputPrefix = "no/such/run";
    bool written = true;
    const std::string output = captured([&] { written = store.writeStatistics(); });
    // The caller learns of it: the user asked for these files.
    EXPECT_FALSE(written);
    for (const char* suffix : STATISTICS_SUFFIXES) {
        EXPECT_NE(output.find(std::string("Error: Unable to open no/such/run_") + suffix +
                              " for writing!\n"),
                  std::string::npos)
            << suffix;
    }
    EXPECT_TRUE(std::filesystem::is_empty("."));
}

}  // namespace
