// The "datafile.dat" of each hypothesis run, byte for byte.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "likelihoods.h"
#include "locus_file.h"
#include "test_support.h"
#include "vantrel.h"

namespace {

using test_support::readText;
using test_support::writeText;

// The program's locus model: a model trait locus with two liability
// classes, a two-allele marker and a three-allele marker whose input
// frequencies do not sum to 1.
std::unique_ptr<LinkageLocusFile> locusModel() {
    auto model = std::make_unique<LinkageLocusFile>();
    model->setNumberOfLoci(3);
    auto* trait = new Locus("TRAIT", Locus::affectionType, 2);
    trait->addAlleleFrequencies({0.75, 0.25});
    trait->setFemalePenetrances({0.5, 0.75, 1.0});
    trait->setFemalePenetrances({0.25, 0.5, 0.75});
    trait->setMalePenetrances({0.125, 0.875});
    trait->setMalePenetrances({0.0625, 0.5});
    model->addLocus(trait);
    auto* snp = new Locus("1", Locus::numberedAllelesType, 2);
    snp->addAlleleFrequencies({0.25, 0.75});
    model->addLocus(snp);
    auto* triallelic = new Locus("2", Locus::numberedAllelesType, 3);
    triallelic->addAlleleFrequencies({0.25, 0.25, 0.25});
    model->addLocus(triallelic);
    return model;
}

// The pieces of the expected files, as the LINKAGE writer prints them with
// 17 significant digits.
std::string header(int sexLink) {
    return "2 0 " + std::to_string(sexLink) + " 3\n0 0 0 0\n1 2 \n";
}
const std::string tiny = "1.0000000000000001e-05";
const std::string simpleTraitFrequencies = "1 2\n0.99999000000000005 " + tiny + " \n1\n";
const std::string dominant = simpleTraitFrequencies + "0 " + tiny + " " + tiny + " \n";
const std::string recessive = simpleTraitFrequencies + "0 0 " + tiny + " \n";
const std::string maleRow = "0 " + tiny + " \n";
const std::string modelTrait = "1 2\n0.75 0.25 \n2\n0.5 0.75 1 \n0.25 0.5 0.75 \n";
const std::string modelTraitXlinked =
    "1 2\n0.75 0.25 \n2\n0.5 0.75 1 \n0.125 0.875 \n0.25 0.5 0.75 \n0.0625 0.5 \n";
const std::string snp = "3 2\n0.25 0.75 \n";
const std::string snpLd = "3 2\n0.25 0.75 \n0.25 0.75 \n";
const std::string triallelic = "3 3\n0.25 0.25 0.25 \n";
const std::string third = "0.33333333333333331 ";
const std::string triallelicLd =
    "3 3\n" + third + third + third + "\n" + third + third + third + "\n";

struct Hypothesis {
    bool linkage, ld, frequenciesFixed, thetasFixed;
};
// The schedule's runs.
const Hypothesis h0{false, false, false, true};
const Hypothesis h1{true, false, false, false};
const Hypothesis h2{false, true, false, true};
const Hypothesis h3{true, true, false, false};

struct Case {
    std::string name;
    std::string model;
    bool xlinked;
    Hypothesis hypothesis;
    int marker;
    std::string expected;
};

void PrintTo(const Case& value, std::ostream* out) {
    *out << value.name;
}

class MakeDatafile : public test_support::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        vantrel.linkageLocusFile = model.get();
        // The H1 estimate that H3 starts from.
        h1Run = std::make_unique<Likelihoods>("Hypothesis", true, false, 2);
        auto estimate = std::make_unique<Likelihood>();
        estimate->setThetas({0.125});
        h1Run->addEstimate(std::move(estimate));
        vantrel.bestH1 = h1Run.get();
    }

    bool make(const std::string& modelName, const Hypothesis& h, int marker) {
        return vantrel.make_datafile(marker, h.linkage, h.ld, modelName, h.frequenciesFixed,
                                     h.thetasFixed);
    }

    std::unique_ptr<LinkageLocusFile> model = locusModel();
    std::unique_ptr<Likelihoods> h1Run;
    Vantrel vantrel;
};

class MakeDatafileCases : public MakeDatafile, public testing::WithParamInterface<Case> {};

TEST_P(MakeDatafileCases, WritesTheRunsFile) {
    const Case& c = GetParam();
    vantrel.xlinked = c.xlinked;
    ASSERT_TRUE(make(c.model, c.hypothesis, c.marker));
    EXPECT_EQ(readText("datafile.dat"), c.expected);
    // The marker locus stays at hand for the run's record.
    ASSERT_NE(vantrel.currentDatafile, nullptr);
    EXPECT_EQ(vantrel.currentDatafile->getLocus(1)->getNumberOfAlleles(), c.marker + 1);
}

const Case cases[] = {
    // H0: input frequencies, theta 0.5 fixed, the n - 1 frequency flags.
    {"DominantH0", "Dominant", false, h0, 1, header(0) + dominant + snp + "0 0\n0.5  \n2\n0 1 \n"},
    // H1: theta 0.05 estimated.
    {"DominantH1", "Dominant", false, h1, 1,
     header(0) + dominant + snp + "0 0\n0.050000000000000003  \n2\n1 1 \n"},
    // H2: the frequencies on normal and on disease haplotypes, 2n - 1 flags.
    {"DominantH2", "Dominant", false, h2, 1,
     header(0) + dominant + snpLd + "0 0\n0.5  \n2\n0 1 1 1 \n"},
    // H3: theta from H1's estimate.
    {"DominantH3", "Dominant", false, h3, 1,
     header(0) + dominant + snpLd + "0 0\n0.125  \n2\n1 1 1 1 \n"},
    {"RecessiveH0", "Recessive", false, h0, 1,
     header(0) + recessive + snp + "0 0\n0.5  \n2\n0 1 \n"},
    {"DominantXlinked", "Dominant", true, h0, 1,
     header(1) + dominant + maleRow + snp + "0 0\n0.5  \n2\n0 1 \n"},
    {"RecessiveXlinked", "Recessive", true, h1, 1,
     header(1) + recessive + maleRow + snp + "0 0\n0.050000000000000003  \n2\n1 1 \n"},
    {"ModelBasedH1", "Model-based", false, h1, 1,
     header(0) + modelTrait + snp + "0 0\n0.050000000000000003  \n2\n1 1 \n"},
    {"ModelBasedXlinked", "Model-based", true, h0, 1,
     header(1) + modelTraitXlinked + snp + "0 0\n0.5  \n2\n0 1 \n"},
    // Input frequencies that do not sum to 1: as read without LD, rescaled
    // with LD.
    {"ThreeAllelesH0", "Dominant", false, h0, 2,
     header(0) + dominant + triallelic + "0 0\n0.5  \n2\n0 1 1 \n"},
    {"ThreeAllelesH3", "Recessive", false, h3, 2,
     header(0) + recessive + triallelicLd + "0 0\n0.125  \n2\n1 1 1 1 1 1 \n"},
};

INSTANTIATE_TEST_SUITE_P(Hypotheses, MakeDatafileCases, testing::ValuesIn(cases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST_F(MakeDatafile, FixedFrequenciesIterateNothing) {
    ASSERT_TRUE(make("Dominant", {true, false, true, false}, 1));
    EXPECT_EQ(readText("datafile.dat"),
              header(0) + dominant + snp + "0 0\n0.050000000000000003  \n0\n1 \n");
}

TEST_F(MakeDatafile, AnH1RecordWithoutThetaStopsH3CleanlyAndKeepsTheOldFile) {
    writeText("datafile.dat", "previous\n");
    h1Run->getLikelihood(0)->setThetas({});
    testing::internal::CaptureStdout();
    EXPECT_FALSE(make("Dominant", h3, 1));
    vantrel.bestH1 = nullptr;
    EXPECT_FALSE(make("Dominant", h3, 1));
    const std::string output = testing::internal::GetCapturedStdout();
    const std::string error =
        "Error: The linkage run (H1) of marker locus 1 holds no estimated "
        "recombination fraction to start H3 from; datafile.dat not written\n";
    EXPECT_EQ(output, error + error);
    EXPECT_EQ(readText("datafile.dat"), "previous\n");
    EXPECT_EQ(vantrel.currentDatafile, nullptr);
}

TEST_F(MakeDatafile, DebugSwitchShowsTheStartValues) {
    vantrel.debugStartValues = true;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(make("Dominant", h1, 2));
    ASSERT_TRUE(make("Dominant", h3, 2));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Debug: Allele frequencies : 0.25 0.25 0.25 \n"
              "Debug: Thetas: 0.05 \n"
              "Debug: Conditional allele frequencies (+): 0.333333 0.333333 0.333333 \n"
              "Debug: Conditional allele frequencies (D): 0.333333 0.333333 0.333333 \n"
              "Debug: Thetas: 0.125 \n");
}

TEST_F(MakeDatafile, AMarkerOutsideTheModelIsRefused) {
    testing::internal::CaptureStdout();
    EXPECT_FALSE(make("Dominant", h0, 3));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error: The LINKAGE locus model has no locus 3 for the marker; datafile.dat not "
              "written\n");
}

}  // namespace
