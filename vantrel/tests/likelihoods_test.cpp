// The final-estimate reader on "final.dat" files written by our ilinkvant,
// and on damaged copies of them.
//
// The fixtures in data/final_dat/ were made by running, in a folder holding
// pedfile.dat and the run's datafile as "datafile.dat":
//   frequencies_fixed: unknownvant;    ilinkvant -n -b
//   no_ld:             unknownvant;    ilinkvant -n
//   ld:                unknownvant -c; ilinkvant -n -b -c
// The data: a dominant trait (penetrances 0, 1e-05, 1e-05, so that only the
// affected are informative), a two-allele marker; family 1 an affected
// father 1/2 and mother 2/2 whose two affected children both got the
// father's allele 1, families 2 and 3 couples with an untyped child.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <ostream>
#include <string>
#include <vector>

#include "likelihoods.h"
#include "test_support.h"

namespace {

using test_support::readText;
using test_support::sourcePath;
using test_support::writeText;

std::string fixture(const std::string& name) {
    return readText(sourcePath("vantrel/tests/data/final_dat/" + name + ".final"));
}

double sum(const std::vector<double>& values) {
    return std::accumulate(values.begin(), values.end(), 0.0);
}

class FinalDat : public test_support::TempDirTest {
  protected:
    // Reads the text as "final.dat"; the console output is kept in output.
    bool read(Likelihoods& run, const std::string& text, bool frequenciesFixed = false) {
        writeText("final.dat", text);
        testing::internal::CaptureStdout();
        const bool ok = run.readFinalDat(frequenciesFixed);
        output = testing::internal::GetCapturedStdout();
        return ok;
    }
    std::string output;
};

struct Layout {
    std::string name;
    bool frequenciesFixed;
    bool linkage;
    bool ld;
    double minus2LnLike;
    int iterations;
    int evaluations;
    std::vector<double> thetas;
    std::vector<double> frequencies;
    std::vector<double> conditional;
};

void PrintTo(const Layout& value, std::ostream* out) {
    *out << value.name;
}

class FinalDatLayouts : public FinalDat, public testing::WithParamInterface<Layout> {};

// The values as the engine wrote them.
TEST_P(FinalDatLayouts, ReadsEveryValueInItsPlace) {
    const Layout& layout = GetParam();
    Likelihoods run("Hypothesis", layout.linkage, layout.ld, 2);
    ASSERT_TRUE(read(run, fixture(layout.name), layout.frequenciesFixed)) << output;
    ASSERT_EQ(run.getLikelihoodVectorSize(), 1);
    const Likelihood& estimate = *run.getLikelihood(0);
    EXPECT_DOUBLE_EQ(estimate.getLikelihood(), layout.minus2LnLike);
    EXPECT_EQ(estimate.iterations, layout.iterations);
    EXPECT_EQ(estimate.evaluations, layout.evaluations);
    EXPECT_EQ(estimate.lodScore, -999.999);
    EXPECT_EQ(estimate.getThetas(), layout.thetas);
    EXPECT_EQ(estimate.getAlleleFreqs(), layout.frequencies);
    EXPECT_EQ(estimate.getCondAlleleFreqs(), layout.conditional);
    EXPECT_TRUE(estimate.haplotypeFrequencies.empty());
}

// What the runs were given or had to find, derived from the data by hand.
TEST_P(FinalDatLayouts, HoldsWhatTheRunHadToFind) {
    const Layout& layout = GetParam();
    Likelihoods run("Hypothesis", layout.linkage, layout.ld, 2);
    ASSERT_TRUE(read(run, fixture(layout.name), layout.frequenciesFixed)) << output;
    const std::vector<double> thetas = run.getMinLikelihoodEstThetas();
    ASSERT_EQ(thetas.size(), 1u);
    const std::vector<double> p = run.getMinLikelihoodEstAlleleFreqs();
    const std::vector<double> c = run.getMinLikelihoodEstAlleleFreqsCond();
    if (!layout.frequenciesFixed) {
        EXPECT_NEAR(sum(p), 1.0, 1e-9);
    }
    if (layout.ld) {
        EXPECT_NEAR(sum(c), 1.0, 1e-9);
    }
    if (!layout.linkage) {
        // Given 0.5 and not estimated: it must come back exactly.
        EXPECT_EQ(thetas[0], 0.5);
        // Then the marker is independent of the trait and its frequencies
        // are the founders' allele counts: five 1s and seven 2s.
        EXPECT_NEAR(p[0], 5.0 / 12, 1e-6);
    } else {
        // Both affected children got the father's allele 1: no recombinant.
        EXPECT_NEAR(thetas[0], 0.0, 1e-6);
    }
    if (layout.ld) {
        // Every disease haplotype can carry allele 1; the nine normal
        // haplotypes carry allele 1 twice.
        EXPECT_NEAR(c[0], 1.0, 1e-6);
        EXPECT_NEAR(p[0], 2.0 / 9, 1e-4);
    }
}

const Layout layouts[] = {
    {"frequencies_fixed", true, true, false, 198.0697610526, 54, 57, {0.0}, {}, {}},
    {"no_ld", false, false, false, 199.121111466, 94, 220, {0.5}, {0.4166666508, 0.5833333492}, {}},
    {"ld",
     false,
     true,
     true,
     192.3552696627,
     88,
     667,
     {0.0},
     {0.222216398, 0.777783602},
     {1.0, 0.0}},
};

INSTANTIATE_TEST_SUITE_P(EngineFiles, FinalDatLayouts, testing::ValuesIn(layouts),
                         [](const testing::TestParamInfo<Layout>& info) {
                             return info.param.name;
                         });

TEST_F(FinalDat, ProgressLineLeavesTheConsoleFormatAlone) {
    Likelihoods run("Hypothesis", true, true, 2);
    ASSERT_TRUE(read(run, fixture("ld")));
    EXPECT_EQ(output, "192.355270          88   667   0.000000\n");
    EXPECT_EQ(std::cout.precision(), 6);
    EXPECT_EQ(std::cout.flags(), std::ios::dec | std::ios::skipws);
}

TEST_F(FinalDat, InStringPrintsTheConditionalPartOnlyWhenThereIsOne) {
    Likelihoods noLd("Hypothesis", false, false, 2);
    ASSERT_TRUE(read(noLd, fixture("no_ld")));
    EXPECT_EQ(noLd.InString(), "   199.121111      94     220  0.500000  0.416667  0.583333\n");
    Likelihoods ld("Hypothesis", true, true, 2);
    ASSERT_TRUE(read(ld, fixture("ld")));
    ASSERT_TRUE(read(ld, fixture("ld")));
    const std::string line =
        "   192.355270      88     667  0.000000  0.222216  0.777784    1.000000  0.000000\n";
    EXPECT_EQ(ld.InString(), line + line);
}

// A four-allele layout without LD; words may run on across lines.
std::string fourAlleles(const std::string& frequencies, const std::string& like) {
    return "CHROMOSOME ORDER OF LOCI : \n  1  2\n*** FINAL VALUES ***\nPROVIDED FOR LOCUS   2\n"
           "*****\nGENE FREQUENCIES :\n" +
           frequencies + "\n*****\nTHETAS:\n 0.1000000000\n*****\n-2 LN(LIKE) =  " + like +
           "\nLOD SCORE = 0.00000e+00\nNUMBER OF ITERATIONS =    3\n"
           "NUMBER OF FUNCTION EVALUATIONS =   7\nPTG =  0.00000e+00\n";
}

TEST_F(FinalDat, NanAndLargeFrequenciesKeepTheirPlaceWithAWarning) {
    Likelihoods run("Hypothesis", true, false, 4);
    ASSERT_TRUE(read(run, fourAlleles(" 0.5 1.25 nan 0.25", "1.5e+01")));
    EXPECT_EQ(run.getMinLikelihoodEstAlleleFreqs(), (std::vector<double>{0.5, 1.25, 0.0, 0.25}));
    EXPECT_NE(output.find("Warning: ILINK allele frequency was > 1.0 at index 1\n"),
              std::string::npos);
    EXPECT_NE(output.find("Warning: ILINK allele frequency was \"nan\" at index 2\n"),
              std::string::npos);
    EXPECT_EQ(run.getMinLikelihood(), 15.0);
}

TEST_F(FinalDat, ConditionalNanGetsItsOwnWarning) {
    std::string text = fixture("ld");
    text.replace(text.find(" 1.0000000000 0.0000000000"), 26, " 1.0000000000 nan");
    Likelihoods run("Hypothesis", true, true, 2);
    ASSERT_TRUE(read(run, text)) << output;
    EXPECT_EQ(run.getMinLikelihoodEstAlleleFreqsCond(), (std::vector<double>{1.0, 0.0}));
    EXPECT_NE(output.find("Warning: ILINK allele frequency (conditional on disease) was \"nan\" "
                          "at index 1\n"),
              std::string::npos);
}

TEST_F(FinalDat, EveryCharacterOfTheLociLineCountsALocus) {
    std::string text = fixture("frequencies_fixed");
    text.replace(text.find("  1  2"), 6, " 10 2");
    text.replace(text.find(" 0.0000000000"), 13, " 0.25 0.125");
    Likelihoods run("Hypothesis", true, false, 2);
    ASSERT_TRUE(read(run, text, true)) << output;
    EXPECT_EQ(run.getMinLikelihoodEstThetas(), (std::vector<double>{0.25, 0.125}));
}

TEST_F(FinalDat, TheBestEstimateIsTheEarliestOfTheSmallest) {
    Likelihoods run("Hypothesis", true, false, 4);
    ASSERT_TRUE(read(run, fourAlleles("0.1 0.2 0.3 0.4", "20")));
    ASSERT_TRUE(read(run, fourAlleles("0.4 0.3 0.2 0.1", "20")));
    EXPECT_EQ(run.bestIndex, 0);
    ASSERT_TRUE(read(run, fourAlleles("0.25 0.25 0.25 0.25", "19.5")));
    EXPECT_EQ(run.bestIndex, 2);
    EXPECT_EQ(run.getMinLikelihood(), 19.5);
    EXPECT_EQ(run.getMinLikelihoodEstAlleleFreqs(), (std::vector<double>(4, 0.25)));
    ASSERT_TRUE(read(run, fourAlleles("0.1 0.2 0.3 0.4", "30")));
    EXPECT_EQ(run.bestIndex, 2);
    EXPECT_EQ(run.getLikelihoodVectorSize(), 4);
}

struct Damage {
    std::string name;
    std::string from;  // text of the no-LD fixture to replace ("" cuts the file there)
    std::string to;
    std::string reason;  // expected in the error line
};

void PrintTo(const Damage& value, std::ostream* out) {
    *out << value.name;
}

class DamagedFinalDat : public FinalDat, public testing::WithParamInterface<Damage> {};

TEST_P(DamagedFinalDat, FailsWithTheFileAndTheFaultAndKeepsNothing) {
    const Damage& damage = GetParam();
    std::string text = fixture("no_ld");
    const std::size_t at = text.find(damage.from);
    ASSERT_NE(at, std::string::npos);
    text =
        damage.to == "<cut>" ? text.substr(0, at) : text.replace(at, damage.from.size(), damage.to);
    Likelihoods run("Hypothesis", false, false, 2);
    EXPECT_FALSE(read(run, text));
    EXPECT_EQ(run.getLikelihoodVectorSize(), 0);
    EXPECT_EQ(output.rfind("Error: FINAL file final.dat, line ", 0), 0u) << output;
    EXPECT_NE(output.find(damage.reason), std::string::npos) << output;
}

const Damage damages[] = {
    {"Empty", "CHROMOSOME", "<cut>", "line 1: the file is empty"},
    {"OneLocus", "  1  2", "  1", "line 2: expected the chromosome order of at least two loci"},
    {"CutInTheFrequencies", " 0.5833333492", "<cut>",
     "line 7: expected allele frequency 2, found "
     "the end of the file"},
    {"CutBeforeTheLikelihood", "-2 LN", "<cut>", "found the end of the file"},
    {"CutInTheIterationReport", "PTG", "<cut>", "line 15: expected \"PTG =\""},
    {"MinusNanFrequency", "0.5833333492", "-nan",
     "line 7: expected allele frequency 2, found \"-nan\""},
    {"MalformedTheta", " 0.5000000000", " 0.5x",
     "line 10: expected recombination fraction 1, found \"0.5x\""},
    {"NanLikelihood", " 1.991211114660e+02", " -nan",
     "line 12: expected a finite -2 ln(likelihood), found \"-nan\""},
    {"InfiniteLikelihood", " 1.991211114660e+02", " inf", "found \"inf\""},
    {"NonNumericIterations", "=    94", "= many",
     "expected the number of iterations, found \"many\""},
};

INSTANTIATE_TEST_SUITE_P(Faults, DamagedFinalDat, testing::ValuesIn(damages),
                         [](const testing::TestParamInfo<Damage>& info) {
                             return info.param.name;
                         });

TEST_F(FinalDat, AnLdFileReadAsANoLdRunFailsInsteadOfMisreading) {
    Likelihoods run("Hypothesis", false, false, 2);
    EXPECT_FALSE(read(run, fixture("ld")));
    EXPECT_NE(output.find("expected recombination fraction 1"), std::string::npos) << output;
}

TEST_F(FinalDat, AMissingFileIsReported) {
    Likelihoods run("Hypothesis", false, false, 2);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(run.readFinalDat(false));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error: Unable to open FINAL file final.dat for reading.\n");
    EXPECT_EQ(run.getLikelihoodVectorSize(), 0);
}

}  // namespace
