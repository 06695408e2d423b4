// Input beyond the limits of the engine build is refused before the engine
// sees it; the limits are those the build recorded for the programs.
#include <algorithm>
#include <string>

#include "engine_limits.h"
#include "locus_file.h"
#include "pedigrees.h"
#include "test_support.h"

using test_support::writeText;

namespace {

class EngineLimitsTest : public test_support::TempDirTest {
  protected:
    // Trios whose parents bring alleles 1 .. `alleles` of marker M1, none
    // rare enough to be merged.
    void readTrios(int alleles) {
        std::string text;
        for (int t = 0; 4 * t < alleles; ++t) {
            const auto allele = [&](int i) { return std::to_string(std::min(4 * t + i, alleles)); };
            const std::string pedigree = std::to_string(t + 1);
            text += pedigree + " 1 0 0 1 2 " + allele(1) + " " + allele(2) + "\n" + pedigree +
                    " 2 0 0 2 1 " + allele(3) + " " + allele(4) + "\n" + pedigree + " 3 1 2 1 2 " +
                    allele(1) + " " + allele(3) + "\n";
        }
        writeText("trios.pre", text);
        writeText("one.map", "CHR HALDANE POS\n1 0 M1\n");
        store.affectionStatusColumn = true;
        testing::internal::CaptureStdout();
        const bool read = store.readMapFile("one.map") && store.readPedigreeFile("trios.pre");
        store.collapseAlleles();
        store.useNewAlleleNames = true;
        const std::string output = testing::internal::GetCapturedStdout();
        ASSERT_TRUE(read) << output;
    }

    // A model of `classes` liability classes, read into the store.
    bool readModel(int classes, std::string& output) {
        std::string text = "0 0.01 " + std::to_string(classes) + "\n";
        for (int k = 0; k < classes; ++k) {
            text += "0.01 0.9 0.9\n";
        }
        writeText("classes.model", text);
        testing::internal::CaptureStdout();
        const bool read = store.readModelFile("classes.model");
        output = testing::internal::GetCapturedStdout();
        return read;
    }

    bool check(std::string& output) {
        testing::internal::CaptureStdout();
        const bool within = store.checkEngineLimits();
        output = testing::internal::GetCapturedStdout();
        return within;
    }

    Pedigrees store;
};

TEST_F(EngineLimitsTest, TheStoreTakesTheLimitsOfTheOrlexBuild) {
    EXPECT_EQ(store.engineLimits.alleles, orlexEngineLimits.alleles);
    EXPECT_EQ(store.engineLimits.liabilityClasses, orlexEngineLimits.liabilityClasses);
    // vantrel's build takes larger markers.
    EXPECT_GT(vantrelEngineLimits.alleles, orlexEngineLimits.alleles);
}

TEST_F(EngineLimitsTest, MarkersWithMoreAllelesThanTheEngineHoldsAreRefused) {
    const int limit = store.engineLimits.alleles;
    readTrios(limit + 1);
    std::string output;
    EXPECT_FALSE(check(output));
    EXPECT_EQ(output, "Error: Marker M1 of pedigree file trios.pre (rare alleles merged) has " +
                          std::to_string(limit + 1) + " alleles, more than the " +
                          std::to_string(store.engineLimits.alleles) + " the engine build holds\n");
    // The same data fit the larger build.
    store.engineLimits = vantrelEngineLimits;
    EXPECT_TRUE(check(output)) << output;
}

TEST_F(EngineLimitsTest, AMarkerAtTheLimitIsTaken) {
    readTrios(store.engineLimits.alleles);
    std::string output;
    EXPECT_TRUE(check(output)) << output;
    EXPECT_EQ(output, "");
}

TEST_F(EngineLimitsTest, ModelsWithMoreLiabilityClassesThanTheEngineHoldsAreRefused) {
    const int limit = store.engineLimits.liabilityClasses;
    std::string output;
    EXPECT_TRUE(readModel(limit, output)) << output;
    EXPECT_FALSE(readModel(limit + 1, output));
    EXPECT_NE(output.find("Error: The disease model of model file classes.model has " +
                          std::to_string(limit + 1) + " liability classes, more than the " +
                          std::to_string(limit) + " the engine build holds\n"),
              std::string::npos)
        << output;
    EXPECT_EQ(store.model, nullptr);
}

TEST_F(EngineLimitsTest, LocusFileLociBeyondTheLimitsAreRefused) {
    readTrios(2);
    const int alleles = store.engineLimits.alleles + 1;
    const int classes = store.engineLimits.liabilityClasses + 1;
    std::string equalFrequencies;
    for (int i = 0; i < alleles; ++i) {
        equalFrequencies += std::to_string(1.0 / alleles) + " ";
    }
    std::string classLines;
    for (int k = 0; k < classes; ++k) {
        classLines += "0.01 0.9 0.9\n";
    }
    const std::string head = "2 0 0 5\n0 0 0 0\n1 2\n";
    const std::string tail = "0 0\n0.1\n1 0.02 0.49\n";
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {head + "1 2\n0.99 0.01\n1\n0.01 0.9 0.9\n3 " + std::to_string(alleles) + "\n" +
             equalFrequencies + "\n" + tail,
         "Error: The LINKAGE locus file big.dat: locus 2 has " + std::to_string(alleles) +
             " alleles, more than the " + std::to_string(alleles - 1) +
             " the engine build holds\n"},
        {head + "1 2\n0.99 0.01\n" + std::to_string(classes) + "\n" + classLines +
             "3 2\n0.5 0.5\n" + tail,
         "Error: The LINKAGE locus file big.dat: locus 1 has " + std::to_string(classes) +
             " liability classes, more than the " + std::to_string(classes - 1) +
             " the engine build holds\n"},
    };
    for (const auto& c : cases) {
        writeText("big.dat", c.text);
        store.linkageLocusFileName = "big.dat";
        delete store.linkageLocusFile;
        store.linkageLocusFile = new LinkageLocusFile();
        testing::internal::CaptureStdout();
        const bool read = store.linkageLocusFile->readLocusFile("big.dat");
        const std::string readOutput = testing::internal::GetCapturedStdout();
        ASSERT_TRUE(read) << readOutput;
        std::string output;
        EXPECT_FALSE(check(output));
        EXPECT_EQ(output, c.error);
    }
}

// With --freq u the engine takes the locus file's frequency of allele k for
// the pedigrees' allele k: an allele the locus does not declare has none.
TEST_F(EngineLimitsTest, GivenFrequenciesNeedEveryAlleleDeclared) {
    struct Case {
        const char* alleles;  // of person 2, line 3 of the file
        std::string error;    // "" when every allele is declared
    };
    const std::string undeclared = "Error: Pedigree file fam.ped, line 3: allele ";
    const std::string where =
        " of person 2 of pedigree 1 at marker M1 is not declared by the LINKAGE locus file "
        "fam.dat, whose locus of that marker has the alleles 1 to 3: with --freq u the allele "
        "frequencies are the file's\n";
    const Case cases[] = {
        {"3 3", ""},
        {"0 0", ""},
        {"4 1", undeclared + "4" + where},
        {"2 A", undeclared + "A" + where},
        {"02 1", undeclared + "02" + where},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.alleles);
        writeText("fam.ped", std::string("1 1 0 0 3 0 0 1 1 1 1 2\n\n") + "1 2 0 0 3 0 0 2 0 1 " +
                                 c.alleles + "\n" + "1 3 1 2 0 0 0 1 0 2 1 3\n");
        writeText("one.map", "CHR HALDANE POS\n1 0 M1\n");
        writeText("fam.dat",
                  "2 0 0 5\n0 0 0 0\n1 2\n1 2\n0.99 0.01\n1\n0.01 0.9 0.9\n3 3\n0.2 0.3 "
                  "0.5\n0 0\n0.1\n1 0.1 0.45\n");
        Pedigrees given;
        given.affectionStatusColumn = true;
        given.linkageFormat = true;
        given.frequencyType = "u";
        given.linkageLocusFileName = "fam.dat";
        testing::internal::CaptureStdout();
        const bool read = given.readMapFile("one.map") && given.readPedigreeFile("fam.ped") &&
                          given.linkageLocusFile->readLocusFile("fam.dat");
        const std::string reading = testing::internal::GetCapturedStdout();
        ASSERT_TRUE(read) << reading;
        testing::internal::CaptureStdout();
        EXPECT_EQ(given.checkDeclaredAlleles(), c.error.empty());
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.error);
    }
}

}  // namespace
