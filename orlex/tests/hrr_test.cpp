// Haplotype-relative-risk counting and statistics, checked against tables
// and statistics worked out by hand and, for the randomised p-values,
// against the exact distribution of the statistic under the test's
// simulation model (cases and controls drawn from the pooled genotypes).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hrr.h"
#include "marker_info.h"
#include "pedigrees.h"
#include "test_support.h"
#include "utilities.h"

namespace {

using test_support::writeText;

// 2 sum O ln(O / E) of a 2 x K table, E = row total x column total / N.
double gStatistic(const std::vector<int>& cases, const std::vector<int>& controls) {
    double caseTotal = 0.0;
    double controlTotal = 0.0;
    for (std::size_t k = 0; k < cases.size(); ++k) {
        caseTotal += cases[k];
        controlTotal += controls[k];
    }
    const double total = caseTotal + controlTotal;
    double g = 0.0;
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const double column = cases[k] + controls[k];
        for (const auto& [observed, row] : {std::pair<double, double>{cases[k], caseTotal},
                                            std::pair<double, double>{controls[k], controlTotal}}) {
            if (observed > 0) {
                g += 2.0 * observed * std::log(observed / (row * column / total));
            }
        }
    }
    return g;
}

// P(chi-square with df degrees of freedom > x) by Simpson's rule over the
// density, with closed forms for 1 and 2 degrees of freedom.
double chiSquareTail(double x, int df) {
    if (df == 1) {
        return std::erfc(std::sqrt(x / 2.0));
    }
    if (df == 2) {
        return std::exp(-x / 2.0);
    }
    const double half = df / 2.0;
    const auto density = [half](double t) {
        return std::exp((half - 1.0) * std::log(t) - t / 2.0 - half * std::log(2.0) -
                        std::lgamma(half));
    };
    const double upper = x + 400.0;
    const int steps = 200000;
    const double h = (upper - x) / steps;
    double sum = density(x) + density(upper);
    for (int i = 1; i < steps; ++i) {
        sum += (i % 2 == 1 ? 4.0 : 2.0) * density(x + i * h);
    }
    return sum * h / 3.0;
}

struct Alleles {
    explicit Alleles(const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            owned.push_back(std::make_unique<Allele>(name));
            pointers.push_back(owned.back().get());
        }
    }
    std::vector<std::unique_ptr<Allele>> owned;
    std::vector<Allele*> pointers;
};

// A record with the given genotype counts, in the order of the genotype
// names, and the allele counts they imply, as the trio walk adds them.
std::unique_ptr<HrrMarker> recordWith(const std::vector<std::string>& alleleNames,
                                      const std::vector<int>& cases,
                                      const std::vector<int>& controls) {
    const Alleles alleles(alleleNames);
    auto record = std::make_unique<HrrMarker>("0", alleles.pointers);
    std::size_t g = 0;
    for (std::size_t i = 0; i < alleleNames.size(); ++i) {
        for (std::size_t j = i; j < alleleNames.size(); ++j, ++g) {
            const std::string name = alleleNames[i] + "/" + alleleNames[j];
            for (int n = 0; n < cases[g]; ++n) {
                record->addCaseCountForGenotype(name);
                record->addCaseAlleleCount(alleleNames[i]);
                record->addCaseAlleleCount(alleleNames[j]);
            }
            for (int n = 0; n < controls[g]; ++n) {
                record->addControlCountForGenotype(name);
                record->addControlAlleleCount(alleleNames[i]);
                record->addControlAlleleCount(alleleNames[j]);
            }
        }
    }
    return record;
}

// Allele counts of genotype counts over k alleles, genotypes in the order
// 1/1, 1/2, ..., 1/k, 2/2, ...
std::vector<int> alleleCounts(const std::vector<int>& genotypes, std::size_t k) {
    std::vector<int> alleles(k);
    std::size_t g = 0;
    for (std::size_t i = 0; i < k; ++i) {
        for (std::size_t j = i; j < k; ++j, ++g) {
            alleles[i] += genotypes[g];
            alleles[j] += genotypes[g];
        }
    }
    return alleles;
}

// ---------------------------------------------------------------------------
// Trio counting through the store

class HrrTrios : public test_support::TempDirTest {
  protected:
    // Reads a LINKAGE pedigree file with an affection column and one marker "M1".
    void readData(const std::string& pedigreeLines) {
        writeText("test.map", "CHROMOSOME haldane MARKER\n1 0.0 M1\n");
        writeText("test.ped", pedigreeLines);
        store.linkageFormat = true;
        store.affectionStatusColumn = true;
        testing::internal::CaptureStdout();
        const bool read = store.readMapFile("test.map") && store.readPedigreeFile("test.ped");
        const std::string output = testing::internal::GetCapturedStdout();
        ASSERT_TRUE(read) << output;
    }

    // Runs the analysis of the marker and returns its record.
    const HrrMarker* analyse() {
        hrr.quiet = true;
        testing::internal::CaptureStdout();
        const bool ran = hrr.run("M1", "DISEASE_LOCUS");
        console = testing::internal::GetCapturedStdout();
        EXPECT_TRUE(ran) << console;
        const auto phenotype = hrr.phenotypes.find("DISEASE_LOCUS");
        return phenotype == hrr.phenotypes.end() ? nullptr : phenotype->second->getHrrMarker("0");
    }

    Pedigrees store;
    Hrr hrr{&store};
    std::string console;
};

// Columns: pedigree, person, father, mother, first offspring, next paternal
// and maternal sibs, sex, proband, affection, the two alleles of M1.
TEST_F(HrrTrios, BiallelicMarkerCountsCasesAndUntransmittedControls) {
    readData(
        // Child 1/2: the 1 from the mother, the 2 from the father; control 1/1.
        "1 1 0 0 3 0 0 1 0 1  1 2\n1 2 0 0 3 0 0 2 0 1  1 1\n1 3 1 2 0 0 0 1 0 2  1 2\n"
        // Child written father-first (1 from the father 1/1, 2 from the
        // mother 2/2): control 2/1, the genotype 1/2.
        "2 1 0 0 3 0 0 1 0 1  1 1\n2 2 0 0 3 0 0 2 0 1  2 2\n2 3 1 2 0 0 0 2 0 2  1 2\n"
        // Homozygous child of a 1/2 mother and a 2/2 father: control 1/2.
        "3 1 0 0 3 0 0 1 0 1  2 2\n3 2 0 0 3 0 0 2 0 1  1 2\n3 3 1 2 0 0 0 1 0 2  2 2\n"
        // Untyped father: the trio adds nothing, not even the case.
        "4 1 0 0 3 0 0 1 0 1  0 0\n4 2 0 0 3 0 0 2 0 1  1 2\n4 3 1 2 0 0 0 1 0 2  1 1\n"
        // Mendelian error (2/2 child of 1/1 parents): neither case nor control.
        "5 1 0 0 3 0 0 1 0 1  1 1\n5 2 0 0 3 0 0 2 0 1  1 1\n5 3 1 2 0 0 0 1 0 2  2 2\n"
        // Unaffected child: not a case.
        "6 1 0 0 3 0 0 1 0 1  1 2\n6 2 0 0 3 0 0 2 0 1  1 2\n6 3 1 2 0 0 0 1 0 1  1 2\n");
    const HrrMarker* record = analyse();
    ASSERT_NE(record, nullptr) << console;

    const std::vector<std::string> genotypes = {"1/1", "1/2", "2/2"};
    ASSERT_EQ(record->genotypeNames, genotypes);
    const std::vector<int> cases = {0, 2, 1};
    const std::vector<int> controls = {1, 2, 0};
    for (std::size_t g = 0; g < genotypes.size(); ++g) {
        EXPECT_EQ(record->getCaseCountForGenotype(genotypes[g]), cases[g]) << genotypes[g];
        EXPECT_EQ(record->getControlCountForGenotype(genotypes[g]), controls[g]) << genotypes[g];
    }
    EXPECT_EQ(record->getCaseAlleleCount("1"), 2);
    EXPECT_EQ(record->getCaseAlleleCount("2"), 4);
    EXPECT_EQ(record->getControlAlleleCount("1"), 4);
    EXPECT_EQ(record->getControlAlleleCount("2"), 2);
    EXPECT_EQ(record->caseGenotypeTotal, 3);
    EXPECT_EQ(record->controlGenotypeTotal, 3);

    // By hand: alleles 2 [4 ln(2/3) + 8 ln(4/3)] = 1.35917..., genotypes 4 ln 2.
    EXPECT_NEAR(record->alleleLRT, 8 * std::log(2.0 / 3) + 16 * std::log(4.0 / 3), 1e-12);
    EXPECT_NEAR(record->alleleLRT, gStatistic({2, 4}, {4, 2}), 1e-12);
    EXPECT_NEAR(record->genotypeLRT, 4 * std::log(2.0), 1e-12);
    EXPECT_NEAR(record->genotypeLRT, gStatistic(cases, controls), 1e-12);
    // One degree of freedom rests on the normal tail's approximation.
    EXPECT_NEAR(record->alleleTheoreticalPValue, chiSquareTail(record->alleleLRT, 1), 3e-5);
    EXPECT_NEAR(record->genotypeTheoreticalPValue, 0.25, 1e-12);
    EXPECT_TRUE(console.find("                  M1") != std::string::npos) << console;
}

// With --verbose each statistic reports as it is done, between the header
// and the marker's row.
TEST_F(HrrTrios, VerboseRunReportsTheStatisticsAsTheyAreDone) {
    readData("1 1 0 0 3 0 0 1 0 1  1 2\n1 2 0 0 3 0 0 2 0 1  1 1\n1 3 1 2 0 0 0 1 0 2  1 2\n");
    store.verbose = true;
    ASSERT_NE(analyse(), nullptr) << console;
    EXPECT_NE(console.find("     randomized    theoretical\n"
                           "...done\n"
                           "Counting genotype based LRT for marker: M1...done\n"
                           "Randomizing marker : M1\n"
                           "                  M1"),
              std::string::npos)
        << console;
}

// Allele names that are not numbers: "C A" and "A C" are one genotype, and
// every child below is written father-first or with its mother's allele
// second in the mother's pair.
TEST_F(HrrTrios, MultiallelicLettersAreOneGenotypeInEitherOrder) {
    readData(
        // Child C/G: C from the father A/C, G from the mother G/T; control T/A.
        "1 1 0 0 3 0 0 1 0 1  A C\n1 2 0 0 3 0 0 2 0 1  G T\n1 3 1 2 0 0 0 1 0 2  C G\n"
        // Child A/C: A from the father T/A, C from the mother C/C; control C/T.
        "2 1 0 0 3 0 0 1 0 1  T A\n2 2 0 0 3 0 0 2 0 1  C C\n2 3 1 2 0 0 0 1 0 2  A C\n"
        // Child "C A": C from the mother T/C, A from the father G/A; control T/G.
        "3 1 0 0 3 0 0 1 0 1  G A\n3 2 0 0 3 0 0 2 0 1  T C\n3 3 1 2 0 0 0 1 0 2  C A\n"
        // Homozygous G/G of mother A/G and father G/T: control A/T.
        "4 1 0 0 3 0 0 1 0 1  G T\n4 2 0 0 3 0 0 2 0 1  A G\n4 3 1 2 0 0 0 1 0 2  G G\n");
    const HrrMarker* record = analyse();
    ASSERT_NE(record, nullptr) << console;

    const std::vector<std::string> genotypes = {"A/A", "A/C", "A/G", "A/T", "C/C",
                                                "C/G", "C/T", "G/G", "G/T", "T/T"};
    ASSERT_EQ(record->genotypeNames, genotypes);
    const std::vector<int> cases = {0, 2, 0, 0, 0, 1, 0, 1, 0, 0};
    const std::vector<int> controls = {0, 0, 0, 2, 0, 0, 1, 0, 1, 0};
    for (std::size_t g = 0; g < genotypes.size(); ++g) {
        EXPECT_EQ(record->getCaseCountForGenotype(genotypes[g]), cases[g]) << genotypes[g];
        EXPECT_EQ(record->getControlCountForGenotype(genotypes[g]), controls[g]) << genotypes[g];
    }
    const std::vector<int> caseAlleles = {2, 3, 3, 0};
    const std::vector<int> controlAlleles = {2, 1, 1, 4};
    const std::vector<std::string> alleles = {"A", "C", "G", "T"};
    for (std::size_t a = 0; a < alleles.size(); ++a) {
        EXPECT_EQ(record->getCaseAlleleCount(alleles[a]), caseAlleles[a]) << alleles[a];
        EXPECT_EQ(record->getControlAlleleCount(alleles[a]), controlAlleles[a]) << alleles[a];
    }
    EXPECT_NEAR(record->alleleLRT, gStatistic(caseAlleles, controlAlleles), 1e-12);
    EXPECT_NEAR(record->genotypeLRT, gStatistic(cases, controls), 1e-12);
    // Every allele and genotype counts in the degrees of freedom, seen or not.
    EXPECT_NEAR(record->alleleTheoreticalPValue, chiSquareTail(record->alleleLRT, 3), 1e-7);
    EXPECT_NEAR(record->genotypeTheoreticalPValue, chiSquareTail(record->genotypeLRT, 9), 1e-7);
}

TEST_F(HrrTrios, TriosWithAnUntypedParentOnlyGiveARecordOfOnes) {
    readData("1 1 0 0 3 0 0 1 0 1  0 0\n1 2 0 0 3 0 0 2 0 1  1 2\n1 3 1 2 0 0 0 1 0 2  1 1\n");
    const HrrMarker* record = analyse();
    ASSERT_NE(record, nullptr) << console;
    EXPECT_EQ(record->caseGenotypeTotal + record->controlGenotypeTotal, 0);
    for (const double p : {record->alleleRandomizedPValue, record->alleleTheoreticalPValue,
                           record->genotypeRandomizedPValue, record->genotypeTheoreticalPValue}) {
        EXPECT_EQ(p, 1.0);
    }
    EXPECT_NE(
        console.find("      M1       1.000000       1.000000       1.000000       1.000000\n"),
        std::string::npos)
        << console;
}

// No trio: an unaffected child, its parents untyped.
TEST_F(HrrTrios, MarkerWithoutTriosIsSkippedWithAMessage) {
    readData("1 1 0 0 3 0 0 1 0 1  0 0\n1 2 0 0 3 0 0 2 0 1  0 0\n1 3 1 2 0 0 0 1 0 1  1 1\n");
    EXPECT_EQ(analyse(), nullptr);
    EXPECT_NE(console.find("Skipping marker M1, since no informative families found\n"),
              std::string::npos)
        << console;
}

// Once the store has counted a typed founder of a pedigree without a trio,
// the marker is passed over without the message.
TEST_F(HrrTrios, MarkerWithoutTriosButWithSingletonsIsPassedOverQuietly) {
    readData("1 1 0 0 3 0 0 1 0 1  0 0\n1 2 0 0 3 0 0 2 0 1  1 2\n1 3 1 2 0 0 0 1 0 1  1 1\n");
    EXPECT_EQ(analyse(), nullptr);
    EXPECT_EQ(store.getMarkerInfo()->find("0")->healthySingletonCount, 1);
    EXPECT_EQ(console.find("Skipping marker"), std::string::npos) << console;
    EXPECT_EQ(console.find("  M1 "), std::string::npos) << console;
}

// Every phenotype of the store is analysed, also one read from a phenotype
// file, where a value of 2 counts as affected; --phenotype picks one.
TEST_F(HrrTrios, EachPhenotypeCountsItsOwnAffectedChildren) {
    readData(
        // Unaffected for DISEASE_LOCUS, 2 for SECOND: case 1/2, control 1/1.
        "1 1 0 0 3 0 0 1 0 1  1 2\n1 2 0 0 3 0 0 2 0 1  1 1\n1 3 1 2 0 0 0 1 0 1  1 2\n"
        // Affected, 1 for SECOND: case 2/2, control 1/2.
        "2 1 0 0 3 0 0 1 0 1  2 2\n2 2 0 0 3 0 0 2 0 1  1 2\n2 3 1 2 0 0 0 1 0 2  2 2\n");
    writeText("test.phen", "1 SECOND\n1 3 2\n2 3 1\n");
    testing::internal::CaptureStdout();
    ASSERT_TRUE(store.readPhenotypeFile("test.phen"));
    testing::internal::GetCapturedStdout();
    hrr.quiet = true;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(hrr.run("", ""));
    console = testing::internal::GetCapturedStdout();
    ASSERT_EQ(hrr.phenotypeNames, (std::vector<std::string>{"DISEASE_LOCUS", "SECOND"}));
    const HrrMarker* disease = hrr.phenotypes.at("DISEASE_LOCUS")->getHrrMarker("0");
    const HrrMarker* second = hrr.phenotypes.at("SECOND")->getHrrMarker("0");
    ASSERT_NE(disease, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(disease->getCaseCountForGenotype("2/2"), 1);
    EXPECT_EQ(disease->getControlCountForGenotype("1/2"), 1);
    EXPECT_EQ(disease->caseGenotypeTotal + disease->controlGenotypeTotal, 2);
    EXPECT_EQ(second->getCaseCountForGenotype("1/2"), 1);
    EXPECT_EQ(second->getControlCountForGenotype("1/1"), 1);
    EXPECT_EQ(second->caseGenotypeTotal + second->controlGenotypeTotal, 2);
    EXPECT_NE(console.find("Phenotype: SECOND\n"), std::string::npos) << console;

    Hrr selected(&store);
    selected.quiet = true;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(selected.run("", "SECOND"));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(selected.phenotypeNames, std::vector<std::string>{"SECOND"});
    EXPECT_EQ(selected.phenotypes.at("SECOND")->getHrrMarker("0")->getCaseCountForGenotype("1/2"),
              1);
}

TEST_F(HrrTrios, UnknownMarkerOrPhenotypeStopsBeforeAnyAnalysis) {
    readData("1 1 0 0 3 0 0 1 0 1  1 2\n1 2 0 0 3 0 0 2 0 1  1 1\n1 3 1 2 0 0 0 1 0 2  1 2\n");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(hrr.run("NOPE", ""));
    EXPECT_FALSE(hrr.run("", "NOPE"));
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(output,
              "Error: Cannot find given marker NOPE (--marker) in the map file test.map\n"
              "Error: Cannot find given phenotype NOPE (--phenotype) in the pedigree file "
              "test.ped\n");
    EXPECT_TRUE(hrr.phenotypeNames.empty());
}

// ---------------------------------------------------------------------------
// Records and statistics

TEST(HrrMarkerTest, IdenticalCaseAndControlCountsGiveStatisticsOfZeroAndPValuesOfOne) {
    const auto record = recordWith({"1", "2", "3"}, {3, 1, 0, 2, 4, 1}, {3, 1, 0, 2, 4, 1});
    record->quiet = true;
    record->Randomize();
    EXPECT_NEAR(record->alleleLRT, 0.0, 1e-12);
    EXPECT_NEAR(record->genotypeLRT, 0.0, 1e-12);
    EXPECT_EQ(record->alleleTheoreticalPValue, 1.0);
    EXPECT_EQ(record->genotypeTheoreticalPValue, 1.0);
    EXPECT_EQ(record->alleleRandomizedPValue, 1.0);
    EXPECT_EQ(record->genotypeRandomizedPValue, 1.0);
}

// Cases all 1/1 and controls all 2/2: a replicate reaches that statistic
// only by separating 60 draws the same way, with probability 2^-59.
TEST(HrrMarkerTest, PerfectSeparationGivesRandomisedPValuesOfZero) {
    const auto record = recordWith({"1", "2"}, {30, 0, 0}, {0, 0, 30});
    record->quiet = true;
    record->Randomize();
    EXPECT_EQ(record->alleleRandomizedPValue, 0.0);
    EXPECT_EQ(record->genotypeRandomizedPValue, 0.0);
    EXPECT_NEAR(record->alleleLRT, gStatistic({60, 0}, {0, 60}), 1e-9);
    EXPECT_EQ(record->alleleTheoreticalPValue, 0.0);  // beyond the normal tail's cut-off
}

TEST(HrrMarkerTest, OneAlleleHasNoDegreesOfFreedom) {
    const auto record = recordWith({"7"}, {4}, {4});
    record->quiet = true;
    record->Randomize();
    EXPECT_EQ(record->genotypeNames, std::vector<std::string>{"7/7"});
    for (const double p : {record->alleleRandomizedPValue, record->alleleTheoreticalPValue,
                           record->genotypeRandomizedPValue, record->genotypeTheoreticalPValue}) {
        EXPECT_EQ(p, 1.0);
    }
}

TEST(HrrMarkerTest, NamesDistributionAndTypes) {
    const auto record = recordWith({"1", "2"}, {1, 2, 0}, {0, 1, 0});
    EXPECT_EQ(record->getGenotypeNames(), (std::vector<std::string>{"1/1", "1/2", "2/2"}));
    EXPECT_EQ(record->getGenotypeName("2", "1"), "1/2");
    EXPECT_EQ(record->getGenotypeName("1", "2"), "1/2");
    const std::vector<double> cumulative = record->getProbabilityDistribution();
    ASSERT_EQ(cumulative.size(), 3u);
    EXPECT_DOUBLE_EQ(cumulative[0], 0.25);
    EXPECT_DOUBLE_EQ(cumulative[1], 1.0);
    EXPECT_DOUBLE_EQ(cumulative[2], 1.0);

    EXPECT_EQ(record->getLRT("haplotype", record->caseAlleleCounts, record->controlAlleleCounts),
              -1.0);
    EXPECT_EQ(record->getLRT("haplotype"), -1.0);
    record->countLRT("haplotype", record->caseAlleleCounts, record->controlAlleleCounts);
    EXPECT_EQ(record->alleleLRT, 0.0);
    EXPECT_EQ(record->genotypeLRT, 0.0);
    EXPECT_EQ(record->getH0("haplotype", {}, {}), 0.0);
    EXPECT_EQ(record->getH1("haplotype", {}, {}), 0.0);
}

TEST(HrrPhenotypeTest, FirstRecordUnderAnIndexStays) {
    HrrPhenotype phenotype("DISEASE_LOCUS");
    const Alleles alleles({"1", "2"});
    auto first = std::make_unique<HrrMarker>("4", alleles.pointers);
    HrrMarker* kept = first.get();
    phenotype.addHrrMarker("4", std::move(first));
    phenotype.addHrrMarker("4", std::make_unique<HrrMarker>("4", alleles.pointers));
    phenotype.addHrrMarker("5", nullptr);
    EXPECT_EQ(phenotype.getHrrMarker("4"), kept);
    EXPECT_EQ(phenotype.getHrrMarker("5"), nullptr);
    EXPECT_EQ(phenotype.getHrrMarkerNames(), std::vector<std::string>{"4"});
}

TEST(HrrPValueFieldTest, FixedDownToOneInAMillionThenScientific) {
    EXPECT_EQ(hrrPValueField(1e-6), "       0.000001");
    EXPECT_EQ(hrrPValueField(5e-7), "   5.000000e-07");
    EXPECT_EQ(hrrPValueField(1.0), "       1.000000");
    EXPECT_EQ(hrrPValueField(0.0), "   0.000000e+00");
}

// ---------------------------------------------------------------------------
// Randomised p-values against the exact distribution

// Calls visit(counts, probability) for every outcome of n draws from the
// categories with the shares given.
void forEachMultinomial(int n, const std::vector<double>& shares,
                        const std::function<void(const std::vector<int>&, double)>& visit) {
    std::vector<int> counts(shares.size());
    std::function<void(std::size_t, int, double)> place = [&](std::size_t k, int left,
                                                              double logProbability) {
        if (k + 1 == shares.size()) {
            counts[k] = left;
            if (left > 0 && shares[k] == 0.0) {
                return;
            }
            visit(counts, std::exp(logProbability + (left > 0 ? left * std::log(shares[k]) : 0.0) -
                                   std::lgamma(left + 1.0)));
            return;
        }
        for (int c = 0; c <= left; ++c) {
            if (c > 0 && shares[k] == 0.0) {
                break;
            }
            counts[k] = c;
            place(k + 1, left - c,
                  logProbability + (c > 0 ? c * std::log(shares[k]) : 0.0) - std::lgamma(c + 1.0));
        }
    };
    place(0, n, std::lgamma(n + 1.0));
}

struct ExactCase {
    std::string name;
    std::vector<std::string> alleles;
    std::vector<int> cases;
    std::vector<int> controls;
};

std::ostream& operator<<(std::ostream& out, const ExactCase& c) {
    return out << c.name;
}

class RandomisedPValue : public testing::TestWithParam<ExactCase> {};

TEST_P(RandomisedPValue, MatchesTheExactDistributionOfTheStatistic) {
    const ExactCase& c = GetParam();
    const std::size_t k = c.alleles.size();
    int caseTotal = 0;
    int controlTotal = 0;
    std::vector<double> shares;
    for (std::size_t g = 0; g < c.cases.size(); ++g) {
        caseTotal += c.cases[g];
        controlTotal += c.controls[g];
    }
    for (std::size_t g = 0; g < c.cases.size(); ++g) {
        shares.push_back(static_cast<double>(c.cases[g] + c.controls[g]) /
                         (caseTotal + controlTotal));
    }
    const double observedGenotype = gStatistic(c.cases, c.controls);
    const double observedAllele = gStatistic(alleleCounts(c.cases, k), alleleCounts(c.controls, k));
    double exactGenotype = 0.0;
    double exactAllele = 0.0;
    forEachMultinomial(caseTotal, shares, [&](const std::vector<int>& cases, double pCases) {
        forEachMultinomial(controlTotal, shares,
                           [&](const std::vector<int>& controls, double pControls) {
                               const double p = pCases * pControls;
                               // Ties count, also where rounding separates equal statistics.
                               if (gStatistic(cases, controls) >= observedGenotype - 1e-9) {
                                   exactGenotype += p;
                               }
                               if (gStatistic(alleleCounts(cases, k), alleleCounts(controls, k)) >=
                                   observedAllele - 1e-9) {
                                   exactAllele += p;
                               }
                           });
    });

    randomGenerator().seed(20261210);  // reproducible replicates
    const auto record = recordWith(c.alleles, c.cases, c.controls);
    record->quiet = true;
    record->Randomize();
    // Five standard errors of a proportion estimated from 100,000 replicates.
    const auto tolerance = [](double p) {
        p = std::clamp(p, 0.0, 1.0);
        return std::max(5.0 * std::sqrt(p * (1.0 - p) / HrrMarker::replicates), 1e-4);
    };
    EXPECT_NEAR(record->genotypeRandomizedPValue, exactGenotype, tolerance(exactGenotype));
    EXPECT_NEAR(record->alleleRandomizedPValue, exactAllele, tolerance(exactAllele));
}

INSTANTIATE_TEST_SUITE_P(
    SmallTrioSets, RandomisedPValue,
    testing::Values(
        ExactCase{"Biallelic", {"1", "2"}, {2, 1, 0}, {0, 1, 2}},
        ExactCase{
            "TriallelicUnequalGroups", {"1", "2", "3"}, {2, 1, 0, 0, 1, 0}, {0, 0, 1, 1, 0, 1}},
        ExactCase{"NoAssociation", {"1", "2"}, {1, 2, 1}, {1, 2, 1}},
        ExactCase{"StrongAssociation", {"1", "2", "3"}, {4, 1, 0, 0, 0, 0}, {0, 0, 0, 2, 1, 2}}),
    [](const testing::TestParamInfo<ExactCase>& info) { return info.param.name; });

}  // namespace
