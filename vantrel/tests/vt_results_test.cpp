// vantrel's result statistics and text blocks, on run records with known
// -2 ln likelihoods and frequencies.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "likelihoods.h"
#include "marker_info.h"
#include "marker_map.h"
#include "result_records.h"
#include "vt_results.h"

namespace {

class VTResultsTest : public testing::Test {
  protected:
    VTResultsTest() {
        records.iterations = 3;
        records.evaluations = 7;
    }

    // A run record holding the estimates in order.
    Likelihoods* run(int alleles, const std::vector<vantrel_test::Estimate>& estimates) {
        return records.run(alleles, estimates);
    }

    // One marker with the four best -2 ln L; frequencies and thetas as given.
    void addMarker(const std::string& name, int alleles, double l0, double l1, double l2, double l3,
                   const std::vector<double>& p = {}, const std::vector<double>& c = {}) {
        results.addH0(name, run(alleles, {{l0, p}}));
        results.addH1(name, run(alleles, {{l1, p, {}, {0.05}}}));
        results.addH2(name, run(alleles, {{l2, p, c}}));
        results.addH3(name, run(alleles, {{l3, p, c, {0.01}}}));
        results.addMarkerName(name);
    }

    vantrel_test::ResultRecords records;
    VTResults results;
};

constexpr double twoLn10 = 4.605170185988092;

// The exact chi-square tails with one and two degrees of freedom.
double tail1(double x) {
    return x > 0 ? std::erfc(std::sqrt(x / 2)) : 1.0;
}
double tail2(double x) {
    return x > 0 ? std::exp(-x / 2) : 1.0;
}

TEST_F(VTResultsTest, StatisticsOfATwoAlleleMarker) {
    addMarker("rs1", 2, 40.0, 31.0, 36.0, 27.0);
    const VTResults::Statistics s = results.statistics("rs1");
    EXPECT_DOUBLE_EQ(s.lod, 9.0 / twoLn10);
    // The one-degree tail comes from a normal approximation good to 0.5%.
    const auto near = [](double value, double expected) {
        return std::fabs(value - expected) < 5e-3 * expected;
    };
    EXPECT_TRUE(near(s.linkage, 0.5 * tail1(9.0))) << s.linkage;
    EXPECT_TRUE(near(s.ldGivenLinkage, tail1(4.0))) << s.ldGivenLinkage;
    EXPECT_TRUE(near(s.ldNoLinkage, tail1(4.0))) << s.ldNoLinkage;
    EXPECT_TRUE(near(s.linkageGivenLd, tail1(9.0))) << s.linkageGivenLd;
    EXPECT_TRUE(near(s.ldPlusLinkage, 0.5 * tail1(13.0) + 0.5 * tail2(13.0))) << s.ldPlusLinkage;
}

TEST_F(VTResultsTest, LdTestsOfAThreeAlleleMarkerHaveTwoDegreesOfFreedom) {
    addMarker("D7S1", 3, 40.0, 31.0, 36.0, 27.0);
    const VTResults::Statistics s = results.statistics("D7S1");
    EXPECT_NEAR(s.ldGivenLinkage, tail2(4.0), 1e-12);
    EXPECT_NEAR(s.ldNoLinkage, tail2(4.0), 1e-12);
    EXPECT_NEAR(s.linkageGivenLd, tail1(9.0), 5e-3 * tail1(9.0));
    // chi-square with 3 degrees of freedom: erfc(sqrt(x/2)) + sqrt(2x/pi) e^(-x/2).
    const double tail3 = tail1(13.0) + std::sqrt(2 * 13.0 / M_PI) * std::exp(-6.5);
    EXPECT_NEAR(s.ldPlusLinkage, 0.5 * tail2(13.0) + 0.5 * tail3, 1e-9);
}

TEST_F(VTResultsTest, TheBestRunOfAHypothesisIsKeptAndTheEarlierWinsTies) {
    results.addH0("rs1", run(2, {{50.0, {0.5, 0.5}}}));
    Likelihoods* first = run(2, {{45.0, {0.5, 0.5}}});
    Likelihoods* tie = run(2, {{45.0, {0.4, 0.6}}});
    Likelihoods* better = run(2, {{47.0, {0.5, 0.5}}, {44.0, {0.3, 0.7}}});
    results.addH1("rs1", first);
    results.addH1("rs1", tie);
    EXPECT_EQ(results.bestH1Runs.at("rs1"), first);
    results.addH1("rs1", better);
    EXPECT_EQ(results.bestH1Runs.at("rs1"), better);
    EXPECT_EQ(results.allH1Runs, (std::vector<Likelihoods*>{first, tie, better}));
    EXPECT_EQ(tie->markerName, "rs1");
}

// A marker whose H1 fits worse than H0, and a marker of three alleles with
// round p-values: 0 where the tail underflows, 1e-3 and 1e-7 where the
// two-degree tail gives them exactly.
class VTResultsBlocks : public VTResultsTest {
  protected:
    void SetUp() override {
        results.setName("Dominant");
        results.setPhenotypeName("DISEASE_LOCUS");
        results.modelTag = "dom";
        addMarker("rs1", 2, 100.0, 101.0, 100.5, 101.0, {0.6, 0.4}, {0.9, 0.1});
        addMarker("D7S1", 3, 5000.0, 3000.0, 5000.0 - 2 * std::log(1e7), 3000.0 - 2 * std::log(1e3),
                  {0.2, 0.3, 0.5}, {0.1, 0.1, 0.8});
    }
};

TEST_F(VTResultsBlocks, LodScoresAndPValues) {
    EXPECT_EQ(results.getLodScoresInString(),
              "       Marker      Linkage\n"
              "          rs1    -0.217147\n"
              "         D7S1   434.294482\n");
    EXPECT_EQ(results.getPValuesInString(),
              "       Marker      Linkage   LD|Linkage LD|NoLinkage   Linkage|LD   LD+Linkage\n"
              "          rs1     0.500000     1.000000     1.000000     1.000000     1.000000\n"
              "         D7S1 0.000000e+00     0.001000 1.000000e-07 0.000000e+00 0.000000e+00\n");
}

TEST_F(VTResultsBlocks, LikelihoodsAndTheirDifferences) {
    EXPECT_EQ(results.getLikelihoodsInString(),
              "       Marker             H0             H1             H2             H3\n"
              "          rs1     100.000000     101.000000     100.500000     101.000000\n"
              "         D7S1    5000.000000    3000.000000    4967.763809    2986.184489\n");
    EXPECT_EQ(results.get2lnLikelihoodsDifferencesInString(),
              "                   H0 vs. H1      H1 vs. H3      H0 vs. H2      H2 vs. H3      H0 "
              "vs. H3\n"
              "       Marker        Linkage     LD|Linkage   LD|NoLinkage     Linkage|LD     "
              "LD+Linkage\n"
              "          rs1  -1.000000 (1)   0.000000 (1)   -0.500000 (1)  -0.500000 (1)   "
              "-1.000000 (50%:2 50%:1)\n"
              "         D7S12000.000000 (1)  13.815511 (2)   32.236191 (2)1981.579319 (1) "
              "2013.815511 (50%:3 50%:2)\n"
              "\n");
}

TEST_F(VTResultsBlocks, ConsoleBlockOfOneMarker) {
    testing::internal::CaptureStdout();
    results.printInterMediateResults("D7S1");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\nLinkage LOD Score is 434.294\n\np-values:\n\n"
              "       Linkage    LD|Linkage  LD|NoLinkage    Linkage|LD    LD+Linkage\n"
              "  0.000000e+00      0.001000  1.000000e-07  0.000000e+00  0.000000e+00\n\n");
}

TEST_F(VTResultsBlocks, TableRowsFollowTheMapLine) {
    MarkerMap map;
    map.makeMarkerMap(1);
    results.markerMap = &map;
    results.markerNames = {"MARKER1"};
    results.h0Runs["MARKER1"] = results.h0Runs.at("D7S1");
    results.bestH1Runs["MARKER1"] = results.bestH1Runs.at("D7S1");
    results.bestH2Runs["MARKER1"] = results.bestH2Runs.at("D7S1");
    results.bestH3Runs["MARKER1"] = results.bestH3Runs.at("D7S1");
    const std::string row = map.getFullMarkerInfo("MARKER1") +
                            " DISEASE_LOCUS dom 434.294482 0.000000e+00 0.001000 1.000000e-07 "
                            "0.000000e+00 0.000000e+00 \n";
    EXPECT_EQ(results.getInfoLodscorePValuesInString(1), row);
    EXPECT_EQ(results.getInfoLodscorePValuesInString(0),
              "Chr Marker bp cM Phenotype Model Linkage(lodscore) Linkage(p-value) LD|Linkage "
              "LD|NoLinkage Linkage|LD LD+Linkage \n" +
                  row);
    EXPECT_EQ(results.getInfo(), "Dominant (Phenotype: DISEASE_LOCUS)");
}

TEST_F(VTResultsBlocks, FrequenciesUnderEachHypothesisWithTheInputAlleleNames) {
    MarkerInfo info("1");
    const std::vector<std::pair<std::string, std::string>> alleles = {{"A", "1"}, {"C", "2"}};
    for (const auto& [name, newName] : alleles) {
        auto* allele = new Allele(name);
        allele->setAlleleNewName(newName);
        info.addAllele(allele);
    }
    results.addMarkerInfo("D7S1", &info);
    results.markerNames = {"D7S1"};
    EXPECT_EQ(results.getAlleleandHaplotypeFrequenciesInString(),
              "Marker : D7S1\n"
              "\n"
              "A         C         E         Alleles\n"
              "0.200000  0.300000  0.500000  Allele frequencies under H0 (Linkage=No, LD=No) "
              "Thetas: 0.500000\n"
              "0.200000  0.300000  0.500000  Allele frequencies under H1 (Linkage=YES,LD=No) "
              "Thetas: 0.050000\n"
              "0.200000  0.300000  0.500000  (+) Conditional allele frequencies under H2 "
              "(Linkage=No, LD=YES) Thetas: 0.500000\n"
              "0.100000  0.100000  0.800000  (D)\n"
              "0.200000  0.300000  0.500000  (+) Conditional allele frequencies under H3 "
              "(Linkage=YES,LD=YES) Thetas: 0.010000\n"
              "0.100000  0.100000  0.800000  (D)\n"
              "\n");
}

TEST_F(VTResultsBlocks, MaximisationDetailListsEveryRunOfTheMarker) {
    Likelihoods* second = run(2, {{102.0, {0.5, 0.5}, {}, {0.2}}});
    results.addH1("rs1", second);
    results.markerNames = {"rs1"};
    const std::string h0 = "   100.000000       3       7  0.500000  0.600000  0.400000\n";
    const std::string h1 = "   101.000000       3       7  0.050000  0.600000  0.400000\n";
    const std::string h1Second = "   102.000000       3       7  0.200000  0.500000  0.500000\n";
    const std::string h2 =
        "   100.500000       3       7  0.500000  0.600000  0.400000    0.900000  0.100000\n";
    const std::string h3 =
        "   101.000000       3       7  0.010000  0.600000  0.400000    0.900000  0.100000\n";
    EXPECT_EQ(results.getAllMaximitionInfoInString(),
              "Marker rs1\nH0: " + h0 + "H1: " + h1 + h1Second + "H2: " + h2 + "H3: " + h3 + "\n");
}

TEST_F(VTResultsBlocks, LdMeasuresOnlyForTwoAlleles) {
    results.diseaseAlleleFrequency = 0.01;
    const std::string header =
        "       Marker          delta             D'              r"
        "             r2\n";
    EXPECT_EQ(results.getLDmeasures(2),
              header +
                  "          rs1       0.002970       0.748111       0.061008       0.003722\n"
                  "         D7S1          LD measures are only for SNP markers\n");
}

struct LdCase {
    std::string name;
    double f;
    std::vector<double> p, c;
    double delta, dPrime, r, r2;
    std::string row;  // the four values as printed
};

void PrintTo(const LdCase& value, std::ostream* out) {
    *out << value.name;
}

class LdMeasures : public VTResultsTest, public testing::WithParamInterface<LdCase> {};

TEST_P(LdMeasures, FromTheHaplotypeFrequencies) {
    const LdCase& c = GetParam();
    const VTResults::LdMeasures m = VTResults::ldMeasures(c.f, c.p, c.c);
    const auto same = [](double expected, double value) {
        return std::isnan(expected) ? std::isnan(value) : std::fabs(expected - value) < 1e-12;
    };
    EXPECT_TRUE(same(c.delta, m.delta)) << m.delta;
    EXPECT_TRUE(same(c.dPrime, m.dPrime)) << m.dPrime;
    EXPECT_TRUE(same(c.r, m.r)) << m.r;
    EXPECT_TRUE(same(c.r2, m.r2)) << m.r2;

    results.diseaseAlleleFrequency = c.f;
    addMarker("rs1", 2, 10.0, 9.0, 8.0, 7.0, c.p, c.c);
    const std::string text = results.getLDmeasures(3);
    EXPECT_EQ(text.substr(text.find('\n') + 1), "          rs1" + c.row + "\n");
}

// Worked by hand: with f = 0.01, p = (0.6, 0.4), c = (0.9, 0.1) the
// haplotypes D1, D2, N1, N2 have 0.009, 0.001, 0.594, 0.396; allele 1 has
// 0.603, so delta = 0.009 - 0.01 * 0.603 = 0.00297, Dmax = 0.01 * 0.397 and
// r2 = 0.00297^2 / (0.397 * 0.603 * 0.01 * 0.99).
const double nan = std::nan("");
const LdCase ldCases[] = {
    {"Positive",
     0.01,
     {0.6, 0.4},
     {0.9, 0.1},
     0.00297,
     0.00297 / 0.00397,
     0.00297 / std::sqrt(0.397 * 0.603 * 0.0099),
     0.00297 * 0.00297 / (0.397 * 0.603 * 0.0099),
     "       0.002970       0.748111       0.061008       0.003722"},
    // delta = 0.002 - 0.01 * 0.596 < 0: Dmax = 0.01 * 0.596, D' negative, r not.
    {"Negative",
     0.01,
     {0.6, 0.4},
     {0.2, 0.8},
     -0.00396,
     -0.00396 / 0.00596,
     0.00396 / std::sqrt(0.404 * 0.596 * 0.0099),
     0.00396 * 0.00396 / (0.404 * 0.596 * 0.0099),
     "      -0.003960      -0.664430       0.081108       0.006579"},
    // At the default disease frequency the values fall below 1e-6.
    {"Small",
     1e-5,
     {0.5, 0.5},
     {0.6, 0.4},
     1e-5 * 0.6 - 1e-5 * (0.6e-5 + 0.99999 * 0.5),
     0.19999839999679977,
     0.0006324523697493742,
     3.999960000015991e-07,
     "   9.999900e-07       0.199998       0.000632   3.999960e-07"},
    // Allele 2 estimated absent: Dmax and the r2 denominator are 0.
    {"AbsentAllele",
     0.01,
     {1.0, 0.0},
     {1.0, 0.0},
     0.0,
     nan,
     nan,
     nan,
     "   0.000000e+00            NaN            NaN            NaN"},
    // No disease allele: pD = 0.
    {"NoDiseaseAllele",
     0.0,
     {0.6, 0.4},
     {0.9, 0.1},
     0.0,
     nan,
     nan,
     nan,
     "   0.000000e+00            NaN            NaN            NaN"},
};

INSTANTIATE_TEST_SUITE_P(Haplotypes, LdMeasures, testing::ValuesIn(ldCases),
                         [](const testing::TestParamInfo<LdCase>& info) {
                             return info.param.name;
                         });

}  // namespace
