// ilinkvant, with our recombination table, input checks and NLopt search,
// on phase-known fully informative families whose likelihood is known in
// closed form. The father's phase is known from his homozygous parents
// (1-1-1 from his father, 2-2-2 from his mother) and the mother is
// homozygous 3 everywhere, so each child shows which paternal gamete it got.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using test_support::enginePath;
using test_support::readText;
using test_support::runCommand;
using test_support::writeText;

class Ilinkvant : public test_support::TempDirTest {};

// Paternal alleles of each child, one per locus (1 or 2).
using Gametes = std::vector<std::vector<int>>;

std::string genotypes(const std::vector<int>& first, const std::vector<int>& second) {
    std::string text;
    for (std::size_t l = 0; l < first.size(); ++l)
        text += " " + std::to_string(first[l]) + " " + std::to_string(second[l]);
    return text;
}

// The family as a post-MAKEPED pedigree file: persons 1 and 2 the father's
// parents, 3 the father, 4 the mother, 5 on the children.
std::string phaseKnownFamily(const Gametes& children, const std::string& extra = "") {
    const std::size_t loci = children.front().size();
    const std::vector<int> ones(loci, 1), twos(loci, 2), threes(loci, 3);
    std::ostringstream ped;
    ped << "1 1 0 0 3 0 0 1 1" << genotypes(ones, ones) << "\n";
    ped << "1 2 0 0 3 0 0 2 0" << genotypes(twos, twos) << "\n";
    ped << "1 3 1 2 5 0 0 1 0" << genotypes(ones, twos) << "\n";
    ped << "1 4 0 0 5 0 0 2 0" << genotypes(threes, threes) << "\n";
    for (std::size_t c = 0; c < children.size(); ++c) {
        const int id = static_cast<int>(c) + 5;
        const int next = c + 1 < children.size() ? id + 1 : 0;
        ped << "1 " << id << " 3 4 0 " << next << " " << next << " " << 1 + c % 2 << " 0"
            << genotypes(children[c], threes) << "\n";
    }
    ped << extra;
    return ped.str();
}

// A datafile of numbered-allele loci with three alleles of frequency 1/3
// each, except the frequencies given for the last locus.
std::string datafile(std::size_t loci, const std::string& thetas, const std::string& tail,
                     const std::string& lastFrequencies = "") {
    const std::string third = "0.3333333333333333 0.3333333333333333 0.3333333333333334\n";
    std::ostringstream text;
    text << loci << " 0 0 3\n0 0.0 0.0 0\n";
    for (std::size_t l = 1; l <= loci; ++l)
        text << l << (l < loci ? " " : "\n");
    for (std::size_t l = 1; l <= loci; ++l)
        text << "3 3\n" << (l == loci && !lastFrequencies.empty() ? lastFrequencies : third);
    text << "0 0\n" << thetas << "\n" << tail;
    return text.str();
}

struct Final {
    std::vector<double> frequencies;
    std::vector<double> conditionalFrequencies;  // on the disease allele, in LD runs
    std::vector<double> thetas;
    double minus2LnLike = 0.0;
};

std::vector<double> numbersOf(const std::string& line) {
    std::istringstream in(line);
    std::vector<double> numbers;
    for (double value; in >> value;)
        numbers.push_back(value);
    return numbers;
}

Final readFinal() {
    std::istringstream in(readText("final.dat"));
    Final result;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("GENE FREQUENCIES", 0) == 0 && std::getline(in, line))
            result.frequencies = numbersOf(line);
        else if (line.rfind("CONDITIONAL", 0) == 0 && std::getline(in, line))
            result.conditionalFrequencies = numbersOf(line);
        else if (line.rfind("THETAS", 0) == 0 && std::getline(in, line))
            result.thetas = numbersOf(line);
        else if (line.rfind("-2 LN(LIKE) =", 0) == 0)
            result.minus2LnLike = std::stod(line.substr(13));
    }
    return result;
}

void runEngine(const std::string& switches, const std::string& unknownSwitches = "") {
    const auto unknown =
        runCommand(enginePath("unknownvant").string() + unknownSwitches + " < /dev/null");
    ASSERT_EQ(unknown.status, 0) << unknown.output;
    const auto ilink = runCommand(enginePath("ilinkvant").string() + switches + " < /dev/null");
    ASSERT_EQ(ilink.status, 0) << ilink.output;
}

// ln L of the children's paternal gametes: 0.5 per child, then theta or
// 1 - theta per interval by whether the gamete switches strand there.
double childrenLnLike(const Gametes& children, const std::vector<double>& thetas) {
    double ln = 0.0;
    for (const auto& gamete : children) {
        ln += std::log(0.5);
        for (std::size_t k = 0; k + 1 < gamete.size(); ++k)
            ln += std::log(gamete[k] != gamete[k + 1] ? thetas[k] : 1.0 - thetas[k]);
    }
    return ln;
}

TEST_F(Ilinkvant, EstimatesThetaAsTheRecombinantFraction) {
    // 2 recombinants among 10 meioses.
    const Gametes children = {{1, 2}, {2, 1}, {1, 1}, {1, 1}, {1, 1},
                              {2, 2}, {2, 2}, {2, 2}, {2, 2}, {1, 1}};
    writeText("pedfile.dat", phaseKnownFamily(children));
    writeText("datafile.dat", datafile(2, "0.1", "0\n1 1\n"));
    runEngine(" -n  -b ");
    const Final result = readFinal();
    ASSERT_EQ(result.thetas.size(), 1u);
    EXPECT_NEAR(result.thetas[0], 0.2, 1e-3);
    // The founders' genotypes: 12 alleles of frequency 1/3.
    const double expected = -2.0 * (12 * std::log(1.0 / 3) + childrenLnLike(children, {0.2}));
    EXPECT_NEAR(result.minus2LnLike, expected, 1e-4);
}

TEST_F(Ilinkvant, LikelihoodAtFixedFractionsMatchesTheTransmissionModel) {
    struct Case {
        Gametes children;
        std::string thetas;
        std::vector<double> values;
    };
    const std::vector<Case> cases = {
        {{{1, 2}, {1, 1}, {2, 2}, {2, 1}, {1, 1}}, "0.15", {0.15}},
        // A double recombinant (1-2-1) and single ones in either interval.
        {{{1, 2, 1}, {1, 1, 2}, {2, 2, 1}, {1, 1, 1}, {2, 2, 2}, {2, 1, 1}},
         "0.1 0.25",
         {0.1, 0.25}},
    };
    for (const Case& c : cases) {
        const std::size_t loci = c.children.front().size();
        writeText("pedfile.dat", phaseKnownFamily(c.children));
        // Nothing iterated: the engine evaluates the start point only.
        std::string flags = "0";
        for (std::size_t k = 1; k < loci; ++k)
            flags += " 0";
        writeText("datafile.dat", datafile(loci, c.thetas, "0\n" + flags + "\n"));
        runEngine(" -n ");
        const double founders = 6.0 * loci * std::log(1.0 / 3);
        const double expected = -2.0 * (founders + childrenLnLike(c.children, c.values));
        EXPECT_NEAR(readFinal().minus2LnLike, expected, 1e-8) << loci << " loci";
    }
}

TEST_F(Ilinkvant, AFixedHalfStaysAHalfWhileFrequenciesAreEstimated) {
    const Gametes children = {{1, 2}, {2, 1}, {1, 1}, {2, 2}};
    // A trio adds founders 1/1 and 1/3 at both loci, so the founders carry
    // marker alleles 1, 2, 3 five, two and three times.
    const std::string trio =
        "2 1 0 0 3 0 0 1 1 1 1 1 1\n2 2 0 0 3 0 0 2 0 1 3 1 3\n2 3 1 2 0 0 0 1 0 1 1 1 1\n";
    writeText("pedfile.dat", phaseKnownFamily(children, trio));
    writeText("datafile.dat", datafile(2, "0.5", "2\n0 1 1\n", "0.2 0.3 0.5\n"));
    runEngine(" -n ");
    const Final result = readFinal();
    ASSERT_EQ(result.thetas.size(), 1u);
    EXPECT_EQ(result.thetas[0], 0.5);
    ASSERT_EQ(result.frequencies.size(), 3u);
    const std::vector<double> p = {0.5, 0.2, 0.3};
    for (std::size_t a = 0; a < p.size(); ++a)
        EXPECT_NEAR(result.frequencies[a], p[a], 1e-4) << "allele " << a + 1;
    // Founder genotypes at the fixed locus (1/3 each) and the estimated one;
    // at theta 0.5 every child of the family gets its gamete with 0.25, the
    // trio's child its mother's alleles 1 with 0.5 at each locus.
    const double third = std::log(1.0 / 3);
    const double markerFounders = 2 * std::log(p[0]) + 2 * std::log(p[1]) + 2 * std::log(p[2]) +
                                  2 * std::log(p[0]) + std::log(2 * p[0] * p[2]);
    const double fixedFounders = 10 * third + std::log(2.0);
    const double ln = markerFounders + fixedFounders + 4 * std::log(0.25) + 2 * std::log(0.5);
    EXPECT_NEAR(result.minus2LnLike, -2.0 * ln, 1e-4);
}

TEST_F(Ilinkvant, TheSameInputsGiveTheSameFinalFile) {
    // Theta and two frequencies estimated together.
    const std::string trio =
        "2 1 0 0 3 0 0 1 1 1 1 1 1\n2 2 0 0 3 0 0 2 0 1 3 1 3\n"
        "2 3 1 2 0 0 0 1 0 1 1 1 1\n";
    writeText("pedfile.dat", phaseKnownFamily({{1, 2}, {2, 1}, {1, 1}, {2, 2}, {1, 1}}, trio));
    writeText("datafile.dat", datafile(2, "0.1", "2\n1 1 1\n", "0.2 0.3 0.5\n"));
    runEngine(" -n  -b ");
    const std::string first = readText("final.dat");
    runEngine(" -n  -b ");
    EXPECT_EQ(readText("final.dat"), first);
    EXPECT_NE(first.find("NUMBER OF FUNCTION EVALUATIONS"), std::string::npos);
}

// Two families of a dominant trait (disease allele 1e-5, penetrances 0,
// 1e-5, 1e-5): an affected father typed 1/2 at the marker, a mother 1/1 in
// the first family and 2/2 in the second, and four affected children, two
// of whom got the father's allele 1.
std::string carrierFamilies() {
    std::string ped;
    for (const std::string mother : {"1", "2"}) {
        const std::string& family = mother;
        ped += family + " 1 0 0 3 0 0 1 1 2 1 2\n";
        ped += family + " 2 0 0 3 0 0 2 0 1 " + mother + " " + mother + "\n";
        for (int child = 3; child <= 6; ++child) {
            const std::string next = child < 6 ? std::to_string(child + 1) : "0";
            ped += family + " " + std::to_string(child) + " 1 2 0 " + next + " " + next + " " +
                   (child % 2 == 0 ? "1" : "2") + " 0 2 " + (child <= 4 ? "1 " : "2 ") + mother +
                   "\n";
        }
    }
    return ped;
}

// The datafile of an LD run at theta 0.5 on the trait and the marker, with
// the marker frequencies on normal and on disease haplotypes and the
// iterated flags (theta first).
std::string ldDatafile(int alleles, const std::string& frequencies, const std::string& conditional,
                       const std::string& iterated) {
    return "2 0 0 3\n0 0 0 0\n1 2\n1 2\n0.99999 1e-05\n1\n0 1e-05 1e-05\n3 " +
           std::to_string(alleles) + "\n" + frequencies + "\n" + conditional + "\n0 0\n0.5\n2\n" +
           iterated + "\n";
}

// With theta fixed at 0.5 the marker frequencies of the carrier families
// enter as (c1 p2 + c2 p1)^2 p1^2 p2^2 (p on normal, c on disease
// haplotypes), which is flat in c where p = 1/2, the frequencies counted in
// the data and the start of an LD run. The maximum puts every disease
// haplotype on one allele: c1 = 1 with p2 = 2/3, or mirrored.
TEST_F(Ilinkvant, AnLdRunLeavesTheStartWhereTheLikelihoodIsFlatInTheConditionalFrequencies) {
    writeText("pedfile.dat", carrierFamilies());
    writeText("datafile.dat", ldDatafile(2, "0.5 0.5", "0.5 0.5", "0 0 0"));
    runEngine(" -n -c ", " -c ");
    const double atStart = readFinal().minus2LnLike;
    writeText("datafile.dat", ldDatafile(2, "0.5 0.5", "0.5 0.5", "0 1 1"));
    runEngine(" -n -c ", " -c ");
    const Final result = readFinal();
    const double gain = 2.0 * (6 * std::log(2.0) + 2 * std::log(1.0 / 3) + 4 * std::log(2.0 / 3));
    // The trait's small probabilities (a carrier mother, say) move both
    // values by parts in 1e5.
    EXPECT_NEAR(atStart - result.minus2LnLike, gain, 1e-3);
    ASSERT_EQ(result.frequencies.size(), 2u) << readText("final.dat");
    ASSERT_EQ(result.conditionalFrequencies.size(), 2u) << readText("final.dat");
    const double p1 = result.frequencies[0], c1 = result.conditionalFrequencies[0];
    EXPECT_NEAR(std::min(p1, 1 - p1), 1.0 / 3, 1e-3);
    EXPECT_NEAR(c1, p1 < 0.5 ? 1.0 : 0.0, 1e-3);
}

TEST_F(Ilinkvant, FrequenciesTheDatafileFixesInAnLdRunKeepTheirValues) {
    // Allele 2's frequencies fixed in both blocks, at different values; the
    // others estimated. Allele 3 is absent from the data.
    writeText("pedfile.dat", carrierFamilies());
    writeText("datafile.dat", ldDatafile(3, "0.4 0.4 0.2", "0.3 0.05 0.65", "0 1 0 1 0"));
    runEngine(" -n -c ", " -c ");
    const Final result = readFinal();
    ASSERT_EQ(result.conditionalFrequencies.size(), 3u) << readText("final.dat");
    EXPECT_NEAR(result.frequencies[1], 0.4, 1e-9);
    EXPECT_NEAR(result.conditionalFrequencies[1], 0.05, 1e-9);
}

TEST_F(Ilinkvant, RejectsAnUnknownSwitch) {
    writeText("pedfile.dat", phaseKnownFamily({{1, 2}, {1, 1}}));
    writeText("datafile.dat", datafile(2, "0.1", "0\n1 1\n"));
    ASSERT_EQ(runCommand(enginePath("unknownvant").string() + " < /dev/null").status, 0);
    EXPECT_NE(runCommand(enginePath("ilinkvant").string() + " -z < /dev/null").status, 0);
}

}  // namespace
