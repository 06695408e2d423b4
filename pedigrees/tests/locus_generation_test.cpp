// The LINKAGE locus file the store builds from the disease model and the
// markers of the data.
#include <cmath>
#include <string>
#include <vector>

#include "locus_file.h"
#include "model.h"
#include "pedigrees.h"
#include "test_support.h"

using test_support::writeText;

namespace {

// Father 1 and mother 2 (founders) with child 3, typed at three markers of a
// Haldane map at 10, 20 and 35 cM. With childOnlyAllele the child carries an
// allele at the second marker that no founder has.
void makeFamily(Pedigrees& store, bool childOnlyAllele) {
    writeText("test.map", "CHR HALDANE POS\n1 10 M1\n1 20 M2\n1 35 M3\n");
    testing::internal::CaptureStdout();
    ASSERT_TRUE(store.readMapFile("test.map"));
    // Per person: the two alleles at each of the three markers.
    const std::vector<std::vector<std::string>> genotypes = {
        {"1", "2", "1", "1", "1", "1"},
        {"1", "3", "2", "2", "1", "1"},
        {"2", "3", "1", childOnlyAllele ? "3" : "2", "1", "1"},
    };
    auto* pedigree = new Pedigree("1");
    const std::vector<std::vector<std::string>> persons = {
        {"1", "0", "0", "1"}, {"2", "0", "0", "2"}, {"3", "1", "2", "2"}};
    for (std::size_t p = 0; p < persons.size(); ++p) {
        auto* person = new Person("1", persons[p][0], persons[p][1], persons[p][2], persons[p][3]);
        for (std::size_t m = 0; m < genotypes.size(); ++m) {
            person->addMarker(
                new Marker(std::to_string(m), genotypes[p][2 * m], genotypes[p][2 * m + 1], true));
        }
        pedigree->addPerson(person);
    }
    store.pedigreeTree->insert(pedigree);
    store.pedigreeFileRead = true;
    store.createMarkerInfo();
    testing::internal::GetCapturedStdout();
}

std::string generate(Pedigrees& store, bool expected = true) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(store.makeLinkageLocusFile(), expected);
    return testing::internal::GetCapturedStdout();
}

double haldane(double cM) {
    return 0.5 * (1.0 - std::exp(-2.0 * cM / 100.0));
}

class LocusGenerationTest : public test_support::TempDirTest {};

TEST_F(LocusGenerationTest, DiseaseLocusFirstThenOneLocusPerMarkerWithMapFractions) {
    Pedigrees store;
    makeFamily(store, false);
    EXPECT_EQ(generate(store), "Generating model...done\nGenerating LINKAGE locus file ...done\n");
    const LinkageLocusFile& file = *store.linkageLocusFile;
    EXPECT_EQ(file.getNumberOfLoci(), 4);
    ASSERT_EQ(file.loci.size(), 4u);
    std::vector<std::string> ids;
    for (const Locus* locus : file.loci) {
        ids.push_back(locus->id);
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"DISEASE_LOCUS_1", "1", "2", "3"}));
    EXPECT_EQ(file.locusOrder, (std::vector<int>{1, 2, 3, 4}));
    ASSERT_EQ(file.recombinationFractions.size(), 3u);
    EXPECT_EQ(file.recombinationFractions[0], 0.5);
    EXPECT_NEAR(file.recombinationFractions[1], haldane(10), 1e-12);
    EXPECT_NEAR(file.recombinationFractions[2], haldane(15), 1e-12);

    EXPECT_EQ(file.loci[0]->alleleFrequencies, (std::vector<double>{0.99, 0.01}));
    // Marker M1: alleles 1, 2 and 3 in 2 of 6 copies each.
    const Locus& m1 = *file.loci[1];
    EXPECT_EQ(m1.type, 3);
    EXPECT_EQ(m1.numberOfAlleles, 3);
    EXPECT_EQ(m1.name, "M1");
    EXPECT_EQ(m1.alleleFrequencies, (std::vector<double>{2.0 / 6, 2.0 / 6, 2.0 / 6}));
    EXPECT_EQ(file.loci[2]->alleleFrequencies, (std::vector<double>{0.5, 0.5}));
    EXPECT_EQ(file.loci[3]->alleleFrequencies, std::vector<double>{1.0});

    EXPECT_EQ(file.sexLink, 0);
    EXPECT_EQ(file.programNumber, 5);
    EXPECT_EQ(file.recombinationVaried, 0);
    EXPECT_EQ(file.increment, 0.1);
    EXPECT_EQ(file.finishingValue, 0.45);
    EXPECT_EQ(file.markerMap, store.getMarkerMap());
}

TEST_F(LocusGenerationTest, FounderFrequenciesFallBackToAllWhenAnAlleleLacksAFounder) {
    Pedigrees complete;
    makeFamily(complete, false);
    complete.frequencyType = "f";
    generate(complete);
    // The founders carry M1's alleles 1, 2, 1 and 3.
    EXPECT_EQ(complete.linkageLocusFile->loci[1]->alleleFrequencies,
              (std::vector<double>{0.5, 0.25, 0.25}));

    Pedigrees incomplete;
    makeFamily(incomplete, true);
    incomplete.frequencyType = "f";
    const std::string output = generate(incomplete);
    EXPECT_EQ(output,
              "Generating model...done\nGenerating LINKAGE locus file \n"
              "Warning: All alleles are not found from founders\n"
              "...using allele frequencies from all\n...done\n");
    // Every marker now uses all persons, M1 as well as M2 whose allele 3
    // only the child carries.
    EXPECT_EQ(incomplete.linkageLocusFile->loci[1]->alleleFrequencies,
              (std::vector<double>{2.0 / 6, 2.0 / 6, 2.0 / 6}));
    EXPECT_EQ(incomplete.linkageLocusFile->loci[2]->alleleFrequencies,
              (std::vector<double>{3.0 / 6, 2.0 / 6, 1.0 / 6}));
}

TEST_F(LocusGenerationTest, CodeUGivesNoFrequencies) {
    Pedigrees store;
    makeFamily(store, false);
    store.frequencyType = "u";
    generate(store);
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_TRUE(store.linkageLocusFile->loci[i]->alleleFrequencies.empty());
    }
}

TEST_F(LocusGenerationTest, UnknownFrequencyCodeFailsAndAddsNothing) {
    Pedigrees store;
    makeFamily(store, false);
    store.frequencyType = "m";
    EXPECT_EQ(generate(store, false),
              "Generating model...done\nGenerating LINKAGE locus file ...failed\n"
              "Unknown allele frequency code m (use a, f or u)\n");
    EXPECT_TRUE(store.linkageLocusFile->loci.empty());
}

TEST_F(LocusGenerationTest, ModelFileBecomesTheDiseaseLocusWithItsSexLink) {
    writeText("test.model", "1 0.2 1\n0.1 0.8 0.9\n0.05 0.85\n");
    Pedigrees store;
    makeFamily(store, false);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(store.readModelFile("test.model"));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(store.modelFileName, "test.model");
    EXPECT_EQ(generate(store), "Generating LINKAGE locus file ...done\n");
    EXPECT_EQ(store.linkageLocusFile->sexLink, 1);
    EXPECT_EQ(store.linkageLocusFile->loci[0]->alleleFrequencies, (std::vector<double>{0.8, 0.2}));
    EXPECT_EQ(store.linkageLocusFile->loci[0]->malePenetrances,
              (std::vector<std::vector<double>>{{0.05, 0.85}}));
}

TEST_F(LocusGenerationTest, UnreadableModelFileLeavesNoModel) {
    Pedigrees store;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(store.readModelFile("none.model"));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(store.model, nullptr);
}

TEST_F(LocusGenerationTest, DataNotReadFailsAndKeepsTheDefaultModel) {
    Pedigrees store;
    EXPECT_EQ(generate(store, false),
              "Generating model...done\nGenerating LINKAGE locus file ...failed\n");
    EXPECT_NE(store.model, nullptr);
    EXPECT_TRUE(store.linkageLocusFile->loci.empty());
}

TEST_F(LocusGenerationTest, GenerationAfterAFailedLocusFileReadStartsFromNothing) {
    // A complete disease locus, then a marker block that breaks off.
    writeText("broken.dat",
              "2 0 0 5\n0 0.0 0.0 0\n1 2\n1 2\n0.99 0.01\n1\n0.01 0.9 0.9\n3 2\n0.5\n");
    Pedigrees store;
    makeFamily(store, false);
    testing::internal::CaptureStdout();
    ASSERT_FALSE(store.linkageLocusFile->readLocusFile("broken.dat"));
    testing::internal::GetCapturedStdout();
    ASSERT_FALSE(store.linkageLocusFile->loci.empty());
    generate(store);
    EXPECT_EQ(store.linkageLocusFile->loci.size(), 4u);
    EXPECT_EQ(store.linkageLocusFile->locusOrder, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(store.linkageLocusFile->recombinationFractions.size(), 3u);
}

}  // namespace
