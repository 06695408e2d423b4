// The four-hypothesis schedule end to end with the real engine, on a data
// set whose answers are known: nuclear families and unrelated cases and
// controls typed at a marker in complete linkage and association with the
// trait (M1) and at a marker on another chromosome in equilibrium (M2).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "known_answer_data.h"
#include "likelihoods.h"
#include "test_support.h"
#include "vantrel.h"
#include "vt_results.h"

namespace {

using test_support::enginePath;
using test_support::programPath;
using test_support::runCommand;
using test_support::writeText;

class JointAnalysis : public test_support::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        writeText("fam.ped", known_answer::families());
        for (const char* name : {"fam.map", "cases.map", "controls.map"})
            writeText(name, known_answer::map);
        writeText("cases.gt", known_answer::cases());
        writeText("controls.gt", known_answer::controls());
        // A second affection phenotype: the children's status reversed.
        std::ostringstream phenotypes;
        phenotypes << "1 AFF2\n";
        for (int f = 1; f <= 4; ++f) {
            for (int person = 1; person <= 6; ++person) {
                phenotypes << f << " " << person << " " << (person <= 2 ? 2 : 1) << "\n";
            }
        }
        writeText("fam.phen", phenotypes.str());
    }

    std::vector<std::string> arguments(const std::string& extra) const {
        std::vector<std::string> words{"vantrel",     "-p",         "fam.ped",      "--post",
                                       "-m",          "fam.map",    "--casemap",    "cases.map",
                                       "--casegt",    "cases.gt",   "--controlmap", "controls.map",
                                       "--controlgt", "controls.gt"};
        std::istringstream in(extra);
        for (std::string word; in >> word;) {
            words.push_back(word);
        }
        return words;
    }

    // The whole run in this process, keeping what it printed.
    bool analyse(const std::string& extra) {
        test_support::Arguments words(arguments(extra));
        testing::internal::CaptureStdout();
        const bool ok = vantrel.parse_cmdline_arguments(words.argc(), words.argv()) &&
                        vantrel.read_input_files() && vantrel.run();
        output = testing::internal::GetCapturedStdout();
        return ok;
    }

    // Puts an ilinkvant first on PATH that runs the real one until its
    // failingCall-th start, which runs the given script instead.
    void failingIlinkvant(int failingCall, const std::string& failure) {
        standIn("ilinkvant",
                "n=$(($(cat ilink.count 2>/dev/null || echo 0) + 1))\n"
                "echo $n > ilink.count\n"
                "if [ $n -ge " +
                    std::to_string(failingCall) + " ]; then " + failure + "; fi\nexec '" +
                    enginePath("ilinkvant").string() + "' \"$@\"");
    }

    bool printed(const std::string& text) const { return output.find(text) != std::string::npos; }

    Vantrel vantrel;
    std::string output;
};

// delta, D', r, r2 from the haplotype frequencies: delta as the cross
// difference hD1 hN2 - hD2 hN1 of the two-by-two table.
std::vector<double> handLdMeasures(double f, const std::vector<double>& p,
                                   const std::vector<double>& c) {
    const double hD1 = f * c[0], hD2 = f * c[1], hN1 = (1 - f) * p[0], hN2 = (1 - f) * p[1];
    const double delta = hD1 * hN2 - hD2 * hN1;
    const double pA1 = hD1 + hN1, pA2 = hD2 + hN2;
    const double dMax =
        delta >= 0 ? std::min(f * pA2, (1 - f) * pA1) : std::min(f * pA1, (1 - f) * pA2);
    const double r2 = delta * delta / (f * (1 - f) * pA1 * pA2);
    return {delta, delta / dMax, std::sqrt(r2), r2};
}

// The numbers of the row of the marker in an LD-measure block.
std::vector<double> printedRow(const std::string& block, const std::string& marker) {
    std::istringstream lines(block);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string name;
        if (words >> name && name == marker) {
            std::vector<double> values;
            for (std::string word; words >> word;) {
                values.push_back(std::stod(word));
            }
            return values;
        }
    }
    return {};
}

TEST_F(JointAnalysis, KnownAnswersOfTheFourHypotheses) {
    ASSERT_TRUE(analyse("--dom --phen DISEASE_LOCUS")) << output;
    ASSERT_EQ(vantrel.results.size(), 1u);
    const VTResults& results = *vantrel.results.front();
    EXPECT_EQ(results.markerNames, (std::vector<std::string>{"M1", "M2"}));
    EXPECT_TRUE(
        printed("Number of phenotypes 1\nDominant Vantrel analysis ...\n"
                "Phenotype: DISEASE_LOCUS\nMarker: M1\n\n"
                "Hypothesis H0: Linkage=No, LD=No\n" +
                std::string(78, '=') + "\n"))
        << output;

    // M1: only the affected are informative, and each family's father, of
    // unknown phase, gave all four children the same allele: theta-hat is
    // 0 recombinants / 16 meioses, and each family adds log10(2^4 / 2).
    const VTResults::Statistics m1 = results.statistics("M1");
    EXPECT_NEAR(results.bestH1Runs.at("M1")->getMinLikelihoodEstThetas().at(0), 0.0, 1e-4);
    EXPECT_NEAR(m1.lod, 4 * 3 * std::log10(2.0), 2e-3);
    // Without LD the frequencies are the founders' allele counts: 24 of 56.
    EXPECT_NEAR(results.h0Runs.at("M1")->getMinLikelihoodEstAlleleFreqs().at(0), 24.0 / 56, 1e-3);
    EXPECT_LT(m1.linkage, 1e-4);
    EXPECT_LT(m1.ldNoLinkage, 1e-3);
    EXPECT_LT(m1.ldGivenLinkage, 1e-3);
    EXPECT_LT(m1.ldPlusLinkage, 1e-6);

    // M1 with LD. Every affected person carries one disease haplotype
    // (f(++) = 0), everyone else two normal ones. With c the allele
    // frequencies on disease haplotypes and p on normal ones, the data give
    // without linkage ln L = 6 ln c1 + 10 ln p1 + 24 ln p2
    // + 8 ln(c1 p2 + c2 p1) + const: six 1/1 cases, the alleles of the
    // controls and mothers, and eight 1/2 carriers of unknown phase (four
    // cases, four fathers). H0 (c = p) peaks at p1 = 24/56; H2 on the
    // boundary c1 = 1, where p1 = 10/42. H3 then adds the fathers' phase at
    // theta 0: (1/2)^4 instead of (1/4)^4 for their four children.
    const double ln2 = std::log(2.0);
    const double lnL0 = 24 * std::log(3.0 / 7) + 32 * std::log(4.0 / 7) + 8 * ln2;
    const double lnL2 = 10 * std::log(5.0 / 21) + 32 * std::log(16.0 / 21);
    // Penetrances of 1e-05 instead of 1 and 0 leave a few thousandths.
    EXPECT_NEAR(m1.l0 - m1.l1, 2 * 4 * std::log(8.0), 5e-3);
    EXPECT_NEAR(m1.l0 - m1.l2, 2 * (lnL2 - lnL0), 5e-3);
    EXPECT_NEAR(m1.l2 - m1.l3, 2 * 4 * std::log(16.0), 5e-3);
    for (const auto* runs : {&results.bestH2Runs, &results.bestH3Runs}) {
        const Likelihoods& run = *runs->at("M1");
        EXPECT_NEAR(run.getMinLikelihoodEstAlleleFreqs().at(0), 10.0 / 42, 1e-4);
        // Allele 1 rides on every disease haplotype.
        EXPECT_NEAR(run.getMinLikelihoodEstAlleleFreqsCond().at(0), 1.0, 1e-3);
    }
    EXPECT_NEAR(results.bestH3Runs.at("M1")->getMinLikelihoodEstThetas().at(0), 0.0, 1e-4);

    // M2 is symmetric in its two alleles and each father gave either allele
    // to half his children: nothing to find.
    const VTResults::Statistics m2 = results.statistics("M2");
    for (const double l : {m2.l1, m2.l2, m2.l3}) {
        EXPECT_NEAR(l, m2.l0, 1e-3);
    }
    EXPECT_NEAR(results.bestH1Runs.at("M2")->getMinLikelihoodEstThetas().at(0), 0.5, 1e-3);
    EXPECT_NEAR(m2.linkage, 0.5, 0.02);
    for (const double p :
         {m2.ldGivenLinkage, m2.ldNoLinkage, m2.linkageGivenLd, m2.ldPlusLinkage}) {
        EXPECT_NEAR(p, 1.0, 0.05);
    }
    for (const double frequency :
         results.bestH2Runs.at("M2")->getMinLikelihoodEstAlleleFreqsCond()) {
        EXPECT_NEAR(frequency, 0.5, 1e-2);
    }

    // The LD measures printed, against the estimates of the same runs.
    for (const int hypothesis : {2, 3}) {
        const Likelihoods& run =
            *(hypothesis == 2 ? results.bestH2Runs : results.bestH3Runs).at("M1");
        const std::vector<double> expected = handLdMeasures(
            1e-5, run.getMinLikelihoodEstAlleleFreqs(), run.getMinLikelihoodEstAlleleFreqsCond());
        const std::vector<double> shown = printedRow(results.getLDmeasures(hypothesis), "M1");
        ASSERT_EQ(shown.size(), 4u) << results.getLDmeasures(hypothesis);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_NEAR(shown[i], expected[i], std::max(5e-7, 5e-7 * std::fabs(expected[i])))
                << "H" << hypothesis << " measure " << i;
        }
    }
}

TEST_F(JointAnalysis, AFailedEngineRunKeepsOnlyTheFinishedPhenotypes) {
    // The first phenotype's four runs succeed, the second's first fails.
    failingIlinkvant(5, "exit 3");
    EXPECT_FALSE(analyse("--dom --marker M2 -f fam.phen"));
    ASSERT_EQ(vantrel.results.size(), 1u);
    EXPECT_EQ(vantrel.results.front()->phenotypeName, "DISEASE_LOCUS");
    EXPECT_EQ(vantrel.results.front()->markerNames, std::vector<std::string>{"M2"});
    EXPECT_TRUE(printed("Phenotype: AFF2\nMarker: M2\n")) << output;
    const std::string rule(66, '*');
    EXPECT_TRUE(printed("\n" + rule + "\nError in executing ILINKVANT: ilinkvant -n \n\n" +
                        "Something is wrong....\n" + rule + "\n\nAborting program!\n"))
        << output;
}

TEST_F(JointAnalysis, ModelBasedRunBreaksLoopsBeforeEveryMarkerWhenForced) {
    writeText("dominant.model", "0 0.001 1\n0 1 1\n");
    ASSERT_TRUE(
        analyse("--model -k dominant.model --forceloopbreak --verbose --phen DISEASE_LOCUS"))
        << output;
    ASSERT_EQ(vantrel.results.size(), 1u);
    const VTResults& results = *vantrel.results.front();
    EXPECT_EQ(results.modelTag, "model-based");
    EXPECT_EQ(results.diseaseAlleleFrequency, 0.001);
    EXPECT_TRUE(printed("Model-based Vantrel analysis...\n")) << output;
    // The store has no loops; each marker's new pedigree file is still
    // handed to the loop breaker before its first run.
    for (const char* marker : {"M1", "M2"}) {
        const std::size_t start = output.find(std::string("Marker: ") + marker + "\n");
        ASSERT_NE(start, std::string::npos) << output;
        const std::size_t loops = output.find("External command: unknownvant -l ", start);
        EXPECT_LT(loops, output.find("Hypothesis H0", start)) << marker;
    }
}

TEST_F(JointAnalysis, AnEmptyMarkerListStillRecordsThePhenotype) {
    test_support::Arguments words(arguments("--rec"));
    testing::internal::CaptureStdout();
    ASSERT_TRUE(vantrel.parse_cmdline_arguments(words.argc(), words.argv()) &&
                vantrel.read_input_files());
    const bool ok = vantrel.execute_analysis({"DISEASE_LOCUS", "DISEASE_LOCUS"}, {}, "Recessive");
    output = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(ok);
    EXPECT_TRUE(
        printed("Number of phenotypes 2\nRecessive Vantrel analysis ...\n"
                "Phenotype: DISEASE_LOCUS\nRecessive Vantrel analysis ...\n"))
        << output;
    ASSERT_EQ(vantrel.results.size(), 2u);
    EXPECT_TRUE(vantrel.results.back()->markerNames.empty());
    EXPECT_EQ(vantrel.results.back()->modelTag, "rec");
}

struct ProgramFailure {
    std::string name;
    std::string script;   // what the failing ilinkvant does
    std::string message;  // what the program prints for it
};

void PrintTo(const ProgramFailure& value, std::ostream* out) {
    *out << value.name;
}

class JointAnalysisProgram : public JointAnalysis,
                             public testing::WithParamInterface<ProgramFailure> {};

TEST_P(JointAnalysisProgram, StopsWithStatus255) {
    failingIlinkvant(2, GetParam().script);
    std::string command = programPath("vantrel").string();
    for (const std::string& word : arguments("--dom --marker M1")) {
        if (word != "vantrel") {
            command += " " + word;
        }
    }
    const test_support::CommandResult run = runCommand(command);
    EXPECT_EQ(run.status, 255) << run.output;
    EXPECT_NE(run.output.find(GetParam().message), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Hypothesis H2"), std::string::npos) << run.output;
}

const ProgramFailure programFailures[] = {
    {"NonZeroStatus", "exit 1", "Error in executing ILINKVANT: ilinkvant -n  -b \n"},
    // A run that writes no estimate: the H0 estimate was removed first.
    {"NoEstimate", "exit 0", "Error: Unable to open FINAL file final.dat for reading.\n"},
};

INSTANTIATE_TEST_SUITE_P(Engine, JointAnalysisProgram, testing::ValuesIn(programFailures),
                         [](const testing::TestParamInfo<ProgramFailure>& info) {
                             return info.param.name;
                         });

}  // namespace

namespace {

// The bundled example's first marker, whose LD likelihood has a second
// optimum: the disease haplotypes all carry allele 2, a corner of the
// conditional frequencies that a search from the input frequencies stalls
// short of. No hypothesis may end worse than one nested in it.
// vantrel --dom on the bundled example's D1S101 in the current folder: its
// console output, and in ok whether the run succeeded.
std::string runExampleD1S101(Vantrel& vantrel, bool& ok) {
    test_support::copySourceFiles("examples", {"families.ped", "markers.map"});
    test_support::Arguments words({"vantrel", "--post", "--pedigreefile", "families.ped",
                                   "--mapfile", "markers.map", "--dom", "--marker", "D1S101"});
    testing::internal::CaptureStdout();
    ok = vantrel.parse_cmdline_arguments(words.argc(), words.argv()) &&
         vantrel.read_input_files() && vantrel.run();
    return testing::internal::GetCapturedStdout();
}

class BundledExample : public test_support::TempDirTest {};

TEST_F(BundledExample, EveryHypothesisReachesTheNestedOnesOptima) {
    Vantrel vantrel;
    bool ok = false;
    const std::string output = runExampleD1S101(vantrel, ok);
    ASSERT_TRUE(ok) << output;
    const VTResults::Statistics s = vantrel.results.at(0)->statistics("D1S101");
    EXPECT_LE(s.l1, s.l0 + 1e-4);
    EXPECT_LE(s.l2, s.l0 + 1e-4);
    EXPECT_LE(s.l3, s.l1 + 1e-4);
    EXPECT_LE(s.l3, s.l2 + 1e-4);
    // The corner optimum, reached by a separate engine run restarted from
    // the H2 estimate at that corner: 396.368199; a stalled H2 ends at
    // 396.50 and a stalled H3 above 401.
    EXPECT_NEAR(s.l2, 396.368199, 1e-3);
    EXPECT_NEAR(s.l3, 396.368199, 1e-3);
    EXPECT_EQ(output.find("Warning: Marker"), std::string::npos) << output;
}

}  // namespace

namespace {

// The nesting check after each marker, on the bundled example's D1S101
// with an ilinkvant that runs the real one and then, in the H3 run, writes
// H2's -2 ln L plus a shift into final.dat: a check that has something to
// find must name the marker, model and hypotheses and print both numbers as
// the tables do; one that has nothing to find stays silent.
struct NestingCase {
    std::string name;
    std::optional<double> h3AboveH2;  // no edit when empty
    bool warns;
};

void PrintTo(const NestingCase& value, std::ostream* out) {
    *out << value.name;
}

class NestingCheck : public test_support::TempDirTest,
                     public testing::WithParamInterface<NestingCase> {};

std::string sixDecimals(double value) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(6) << value;
    return out.str();
}

TEST_P(NestingCheck, WarnsOnlyWhereAHypothesisEndsAboveANestedOne) {
    const std::optional<double> shift = GetParam().h3AboveH2;
    // H2's value is kept as final.dat prints it; H3's is replaced.
    standIn("ilinkvant",
            "'" + enginePath("ilinkvant").string() + "' \"$@\" || exit\n" +
                "case \" $* \" in *\" -b -c \"*) ;;\n"
                "*\" -c \"*) awk '/^-2 LN\\(LIKE\\) =/ { print $4 }' final.dat > h2.value;"
                " exit 0 ;;\n*) exit 0 ;;\nesac\n" +
                (shift ? "awk -v v=\"$(cat h2.value)\" -v d=" + std::to_string(*shift) +
                             " '/^-2 LN\\(LIKE\\) =/ { printf \"-2 LN(LIKE) = %.12e\\n\", v + "
                             "d; next } { print }' final.dat > final.new && mv final.new "
                             "final.dat"
                       : std::string()));
    Vantrel vantrel;
    bool ok = false;
    const std::string output = runExampleD1S101(vantrel, ok);
    ASSERT_TRUE(ok) << output;

    const std::string h2Text = test_support::readText("h2.value");
    ASSERT_FALSE(h2Text.empty());
    const double h2 = std::stod(h2Text);
    const VTResults::Statistics s = vantrel.results.at(0)->statistics("D1S101");
    ASSERT_NEAR(s.l2, h2, 1e-9);
    if (shift) {
        ASSERT_NEAR(s.l3, h2 + *shift, 1e-9);
    }
    std::size_t warnings = 0;
    for (std::size_t at = output.find("Warning: "); at != std::string::npos;
         at = output.find("Warning: ", at + 1)) {
        ++warnings;
    }
    if (!GetParam().warns) {
        EXPECT_EQ(warnings, 0u) << output;
        return;
    }
    EXPECT_EQ(warnings, 1u) << output;
    EXPECT_NE(output.find("Warning: Marker D1S101, model Dominant: -2 ln L of H3 (" +
                          sixDecimals(h2 + *shift) + ") is above that of H2 nested in it (" +
                          sixDecimals(h2) + "); the maximisation of H3 stopped short\n"),
              std::string::npos)
        << output;
}

const NestingCase nestingCases[] = {
    {"Consistent", std::nullopt, false},
    {"WithinTolerance", 1e-5, false},
    {"StoppedShort", 0.1, true},
};

INSTANTIATE_TEST_SUITE_P(BundledExample, NestingCheck, testing::ValuesIn(nestingCases),
                         [](const testing::TestParamInfo<NestingCase>& info) {
                             return info.param.name;
                         });

}  // namespace
