#include "locus_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

using test_support::readText;
using test_support::sourcePath;
using test_support::writeText;

class LocusFileTest : public test_support::TempDirTest {};

// Reads a file and returns what the reader printed.
static std::string readPrinting(LinkageLocusFile& file, const std::string& name, bool& read) {
    testing::internal::CaptureStdout();
    read = file.readLocusFile(name);
    return testing::internal::GetCapturedStdout();
}

static std::string writePrinting(const LinkageLocusFile& file, const std::string& name,
                                 bool& written) {
    testing::internal::CaptureStdout();
    written = file.writeLocusFile(name, {});
    return testing::internal::GetCapturedStdout();
}

static std::string fixture(const std::string& name) {
    return sourcePath("core/tests/data/" + name).string();
}

static void expectSameDoubles(const std::vector<double>& actual,
                              const std::vector<double>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_DOUBLE_EQ(actual[i], expected[i]) << "value " << i;
    }
}

static void expectSameLocus(const Locus& actual, const Locus& expected) {
    EXPECT_EQ(actual.id, expected.id);
    EXPECT_EQ(actual.type, expected.type);
    EXPECT_EQ(actual.numberOfAlleles, expected.numberOfAlleles);
    expectSameDoubles(actual.alleleFrequencies, expected.alleleFrequencies);
    EXPECT_EQ(actual.numberOfLiabClasses, expected.numberOfLiabClasses);
    EXPECT_EQ(actual.femalePenetrances, expected.femalePenetrances);
    EXPECT_EQ(actual.malePenetrances, expected.malePenetrances);
    EXPECT_EQ(actual.genotypeMeans, expected.genotypeMeans);
    EXPECT_EQ(actual.variances, expected.variances);
    EXPECT_EQ(actual.multiplier, expected.multiplier);
}

static void expectSameFile(const LinkageLocusFile& actual, const LinkageLocusFile& expected) {
    EXPECT_EQ(actual.numberOfLoci, expected.numberOfLoci);
    EXPECT_EQ(actual.riskLocus, expected.riskLocus);
    EXPECT_EQ(actual.sexLink, expected.sexLink);
    EXPECT_EQ(actual.programNumber, expected.programNumber);
    EXPECT_EQ(actual.mutLocus, expected.mutLocus);
    EXPECT_EQ(actual.mutRateMale, expected.mutRateMale);
    EXPECT_EQ(actual.mutRateFemale, expected.mutRateFemale);
    EXPECT_EQ(actual.hapFreq, expected.hapFreq);
    EXPECT_EQ(actual.locusOrder, expected.locusOrder);
    ASSERT_EQ(actual.loci.size(), expected.loci.size());
    for (size_t i = 0; i < actual.loci.size(); ++i) {
        SCOPED_TRACE("locus " + std::to_string(i));
        expectSameLocus(*actual.loci[i], *expected.loci[i]);
    }
    EXPECT_EQ(actual.sexDifference, expected.sexDifference);
    EXPECT_EQ(actual.interference, expected.interference);
    EXPECT_EQ(actual.recombinationFractions, expected.recombinationFractions);
    EXPECT_EQ(actual.recombinationVaried, expected.recombinationVaried);
    EXPECT_EQ(actual.increment, expected.increment);
    EXPECT_EQ(actual.finishingValue, expected.finishingValue);
}

TEST_F(LocusFileTest, ReadsAffectionLocusWithSeveralLiabilityClasses) {
    LinkageLocusFile file;
    bool read = false;
    const std::string name = fixture("liability_classes.dat");
    EXPECT_EQ(readPrinting(file, name, read),
              "Reading LINKAGE locus file " + name + "\n (Number of loci: 3)...done.\n");
    ASSERT_TRUE(read);
    EXPECT_EQ(file.getNumberOfLoci(), 3);
    EXPECT_EQ(file.getXlinked(), 0);
    EXPECT_EQ(file.programNumber, 5);
    EXPECT_EQ(file.locusOrder, (std::vector<int>{1, 2, 3}));
    const Locus* trait = file.getLocus(0);
    ASSERT_NE(trait, nullptr);
    EXPECT_EQ(trait->id, "DISEASE_LOCUS_0");
    EXPECT_EQ(trait->type, Locus::affectionType);
    expectSameDoubles(trait->alleleFrequencies, {0.999, 0.001});
    EXPECT_EQ(trait->numberOfLiabClasses, 3);
    EXPECT_EQ(trait->femalePenetrances, (std::vector<std::vector<double>>{
                                            {0.0, 0.3, 0.3}, {0.01, 0.6, 0.6}, {0.02, 0.9, 0.9}}));
    EXPECT_TRUE(trait->malePenetrances.empty());
    const Locus* marker = file.getLocus(2);
    ASSERT_NE(marker, nullptr);
    EXPECT_EQ(file.getLocus(1)->id, "1");
    EXPECT_EQ(marker->id, "2");
    EXPECT_EQ(marker->type, Locus::numberedAllelesType);
    expectSameDoubles(marker->alleleFrequencies, {0.2, 0.3, 0.5});
    EXPECT_EQ(file.recombinationFractions, (std::vector<double>{0.1, 0.05}));
    EXPECT_EQ(file.recombinationVaried, 1);
    EXPECT_EQ(file.increment, 0.1);
    EXPECT_EQ(file.finishingValue, 0.45);
    EXPECT_EQ(file.getLocus(-1), nullptr);
    EXPECT_EQ(file.getLocus(file.getNumberOfLoci()), nullptr);
}

TEST_F(LocusFileTest, ReadsMalePenetrancesOfXLinkedData) {
    LinkageLocusFile file;
    bool read = false;
    readPrinting(file, fixture("xlinked.dat"), read);
    ASSERT_TRUE(read);
    EXPECT_EQ(file.getXlinked(), 1);
    const Locus* trait = file.getLocus(0);
    EXPECT_EQ(trait->femalePenetrances,
              (std::vector<std::vector<double>>{{0.0, 0.0, 0.95}, {0.01, 0.01, 0.8}}));
    EXPECT_EQ(trait->malePenetrances, (std::vector<std::vector<double>>{{0.0, 0.95}, {0.01, 0.8}}));
    EXPECT_EQ(trait->numberOfLiabClasses, 2);
    expectSameDoubles(file.getLocus(1)->alleleFrequencies, {0.1, 0.2, 0.3, 0.15, 0.25});
}

TEST_F(LocusFileTest, ReadsQuantitativeLocus) {
    LinkageLocusFile file;
    bool read = false;
    readPrinting(file, fixture("quantitative.dat"), read);
    ASSERT_TRUE(read);
    const Locus* trait = file.getLocus(0);
    EXPECT_EQ(trait->type, Locus::quantitativeType);
    EXPECT_EQ(trait->numberOfLiabClasses, 1);
    EXPECT_EQ(trait->genotypeMeans, (std::vector<double>{1.25, 2.5, 3.75}));
    EXPECT_EQ(trait->variances, std::vector<double>{1.5});
    EXPECT_EQ(trait->multiplier, 2.0);
}

TEST_F(LocusFileTest, WrittenFilesReadBackToTheSameValues) {
    for (const char* name : {"liability_classes.dat", "xlinked.dat", "quantitative.dat"}) {
        SCOPED_TRACE(name);
        LinkageLocusFile original;
        bool done = false;
        readPrinting(original, fixture(name), done);
        ASSERT_TRUE(done);
        writePrinting(original, "datafile.dat", done);
        ASSERT_TRUE(done);
        const std::string written = readText("datafile.dat");

        LinkageLocusFile again;
        readPrinting(again, "datafile.dat", done);
        ASSERT_TRUE(done);
        expectSameFile(again, original);
        writePrinting(again, "datafile.dat", done);
        EXPECT_EQ(readText("datafile.dat"), written);
    }
}

TEST_F(LocusFileTest, WritesTheMlinkFileByteForByte) {
    LinkageLocusFile file;
    file.setNumberOfLoci(2);
    file.setProgramNumber(LinkageLocusFile::mlinkProgram);
    file.setLocusOrder({1, 2});
    auto* trait = new Locus("DISEASE_LOCUS_1", Locus::affectionType, 2);
    trait->addAlleleFrequencies({0.99, 0.01});
    trait->setFemalePenetrances({0.01, 0.9, 0.9});
    file.addLocus(trait);
    auto* marker = new Locus("1", Locus::numberedAllelesType, 2);
    marker->addAlleleFrequencies({0.5, 0.5});
    file.addLocus(marker);
    file.addLocus(nullptr);
    file.setRecombinationFraction(0.0);
    file.setRecombinationVaried(1);
    file.setIncrement(0.02);
    file.setFinishingValue(0.49);
    bool written = false;
    EXPECT_EQ(writePrinting(file, "datafile.dat", written), "");
    EXPECT_TRUE(written);
    EXPECT_EQ(readText("datafile.dat"),
              "2 0 0 5\n"
              "0 0 0 0\n"
              "1 2 \n"
              "1 2\n"
              "0.98999999999999999 0.01 \n"
              "1\n"
              "0.01 0.90000000000000002 0.90000000000000002 \n"
              "3 2\n"
              "0.5 0.5 \n"
              "0 0\n"
              "0  \n"
              "1 0.02 0.48999999999999999\n");
}

TEST_F(LocusFileTest, EmptyObjectWritesHeaderSexDifferenceAndClosingLines) {
    LinkageLocusFile file;
    file.setMutRateMale(1e-05);
    bool written = false;
    writePrinting(file, "datafile.dat", written);
    EXPECT_TRUE(written);
    EXPECT_EQ(readText("datafile.dat"), "0 0 0 0\n0 1.0000000000000001e-05 0 0\n\n0 0\n\n0 0 0\n");
}

TEST_F(LocusFileTest, ClosingLinesFollowTheProgram) {
    struct Case {
        int iteratedLocus;
        bool estimateTheta;
        bool conditional;
        std::vector<bool> alleleFlags;
        std::vector<bool> haplotypeFlags;
        std::string closing;
    };
    const std::vector<Case> cases = {
        {2, true, false, {true, true, true}, {}, "2\n1 1 1 \n"},
        {2, false, true, {true, true}, {true, false, true, true}, "2\n0 1 0 1 \n"},
        {0, true, false, {true, true, true}, {}, "0\n1 \n"},
        // The last flag is never written, and fewer than two write none.
        {2, true, false, {}, {}, "2\n1 \n"},
        {2, true, true, {true}, {true}, "2\n1 \n"},
    };
    for (const Case& c : cases) {
        LinkageLocusFile file;
        file.setProgramNumber(LinkageLocusFile::ilinkProgram);
        file.setIteratedLocus(c.iteratedLocus);
        file.setEstimateTheta(c.estimateTheta);
        file.setCondHaplotypeFrequencies(c.conditional);
        file.setEstimateAlleleFrequencies(c.alleleFlags);
        file.setEstimateHaplotypeFrequencies(c.haplotypeFlags);
        file.addRecombinationFraction(0.05);
        bool written = false;
        writePrinting(file, "datafile.dat", written);
        EXPECT_EQ(readText("datafile.dat"),
                  "0 0 0 3\n0 0 0 0\n\n0 0\n0.050000000000000003  \n" + c.closing);
    }

    LinkageLocusFile linkmap;
    linkmap.setProgramNumber(LinkageLocusFile::linkmapProgram);
    linkmap.linkmapLocusVaried = 2;
    linkmap.linkmapFinishingValue = 0.45;
    linkmap.linkmapNumberOfEvaluations = 10;
    bool written = false;
    writePrinting(linkmap, "datafile.dat", written);
    EXPECT_EQ(readText("datafile.dat"), "0 0 0 4\n0 0 0 0\n\n0 0\n\n2 0.45000000000000001 10\n");
}

TEST_F(LocusFileTest, SettersOfLociCountAndFractions) {
    LinkageLocusFile file;
    file.setNumberOfLoci(3);
    EXPECT_EQ(file.locusOrder, (std::vector<int>{0, 1, 2}));
    file.setNumberOfLoci(-2);
    EXPECT_TRUE(file.locusOrder.empty());
    file.addRecombinationFraction(0.1);
    file.addRecombinationFraction(0.2);
    file.setRecombinationFraction(0.5);
    EXPECT_EQ(file.recombinationFractions, std::vector<double>{0.5});
}

static const std::string header = "2 0 0 5\n0 0 0 0\n1 2\n";
static const std::string affection = "1 2\n0.99 0.01\n1\n0.01 0.9 0.9\n";
static const std::string marker = "3 2\n0.5 0.5\n";
static const std::string tail = "0 0\n0.1\n1 0.02 0.49\n";

static std::string atLine(int line, const std::string& problem) {
    return "Error: LINKAGE locus file bad.dat, line " + std::to_string(line) + ": " + problem;
}

TEST_F(LocusFileTest, FaultyFilesFailWithTheirReason) {
    struct Case {
        std::string text;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"", atLine(1, "expected the number of loci, found the end of the file")},
        {header + affection, atLine(7, "expected the type of locus 2, found the end of the file")},
        {header + "1 2\n0.99 abc\n",
         atLine(5, "expected an allele frequency of locus 1, found \"abc\"")},
        {header + "1 2\nnan 0.01\n",
         atLine(5, "expected an allele frequency of locus 1, found \"nan\"")},
        {"2.5 0 0 5\n", atLine(1, "expected the number of loci, found \"2.5\"")},
        {"2x 0 0 5\n", atLine(1, "expected the number of loci, found \"2x\"")},
        {"-1 0 0 5\n", atLine(1, "the number of loci cannot be negative (-1)")},
        {header + "3 -2\n", atLine(4, "the number of alleles of locus 1 cannot be negative (-2)")},
        {header + "1 2\n0.99 0.01\n-1\n",
         atLine(6, "the number of liability classes of locus 1 cannot be negative (-1)")},
        {header + affection + marker + "0 0\n0.1\n",
         atLine(11, "expected the varied recombination fraction, found the end of the file")},
        // Beyond 0.001 from 1 a sum is no rounding of the figures.
        {header + "1 2\n0.998 0.0008\n1\n0.01 0.9 0.9\n" + marker + tail,
         "Error: The allele frequencies of locus 1 of LINKAGE locus file bad.dat sum to 0.9988, "
         "not 1 (within 0.001)"},
        {header + affection + "3 2\n0.5 0.5012\n" + tail,
         "Error: The allele frequencies of locus 2 of LINKAGE locus file bad.dat sum to 1.0012, "
         "not 1 (within 0.001)"},
        {header + "1 0\n1\n0.01 0.9 0.9\n" + marker + tail,
         "Error: The allele frequencies of locus 1 of LINKAGE locus file bad.dat sum to 0, not 1 "
         "(within 0.001)"},
        {header + affection + "3 2\n-0.1 1.1\n" + tail,
         atLine(9, "an allele frequency of locus 2 cannot be negative (-0.1)")},
        {header + "1 2\n-0.1 1.1\n1\n0.01 0.9 0.9\n" + marker + tail,
         atLine(5, "an allele frequency of locus 1 cannot be negative (-0.1)")},
        // Beyond [0, 1] the engine's LOD scores are no numbers.
        {header + "1 2\n0.99 0.01\n1\n0.01 1e20 0.9\n" + marker + tail,
         atLine(7,
                "a penetrance of liability class 1 of locus 1 must lie between 0 and 1, not "
                "1e+20")},
        {header + "1 2\n0.99 0.01\n1\n-0.01 0.9 0.9\n" + marker + tail,
         atLine(7,
                "a penetrance of liability class 1 of locus 1 must lie between 0 and 1, not "
                "-0.01")},
        {"2 0 1 5\n0 0 0 0\n1 2\n1 2\n0.99 0.01\n1\n0.01 0.9 0.9\n0.01 1.5\n" + marker + tail,
         atLine(8,
                "a male penetrance of liability class 1 of locus 1 must lie between 0 and 1, "
                "not 1.5")},
        {header + affection + "3 2\n1.5 0.5\n" + tail,
         atLine(9, "an allele frequency of locus 2 must lie between 0 and 1, not 1.5")},
        {header + "1 3\n0.3 0.3 0.4\n",
         atLine(4, "locus 1 is a disease locus with 3 alleles; it can have at most 2")},
        {header + "2 2\n",
         atLine(4, "locus 1 has binary factors (type 2), which are not supported")},
        {header + "7 2\n",
         atLine(4,
                "locus 1 has the unknown locus type 7 (0 quantitative, 1 affection status, 3 "
                "numbered alleles)")},
        {header + affection + marker + "0 1\n0.1\n1 0.02 0.49\n",
         atLine(10, "sex difference and interference are not supported: both must be 0")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        writeText("bad.dat", c.text);
        LinkageLocusFile file;
        bool read = true;
        EXPECT_EQ(readPrinting(file, "bad.dat", read),
                  "Reading LINKAGE locus file bad.dat\n...failed\n" + c.reason + "\n");
        EXPECT_FALSE(read);
    }
}

TEST_F(LocusFileTest, MissingFileCannotBeOpened) {
    LinkageLocusFile file;
    bool read = true;
    EXPECT_EQ(readPrinting(file, "absent.dat", read),
              "Reading LINKAGE locus file absent.dat\n...failed\n"
              "Error: Unable to open locus file absent.dat for reading.\n");
    EXPECT_FALSE(read);
}

TEST_F(LocusFileTest, LociReadBeforeAFailureStay) {
    writeText("bad.dat", header + affection + "3 2\n0.5 0.6\n" + tail);
    LinkageLocusFile file;
    bool read = true;
    readPrinting(file, "bad.dat", read);
    EXPECT_FALSE(read);
    EXPECT_EQ(file.getNumberOfLoci(), 2);
    EXPECT_EQ(file.locusOrder, (std::vector<int>{1, 2}));
    ASSERT_NE(file.getLocus(0), nullptr);
    EXPECT_EQ(file.getLocus(1), nullptr);
}

TEST_F(LocusFileTest, AcceptsTheFilesTheTestsAllow) {
    struct Case {
        std::string text;
        std::vector<double> markerFrequencies;
        std::string sumShown;  // in the rescaling warning; empty for none
    };
    const std::string longComment = " << " + std::string(20000, 'c') + " 0.9 9\n";
    const std::vector<Case> cases = {
        {header + affection + "3 2\n0.49995 0.5\n" + tail,
         {0.49995 / 0.99995, 0.5 / 0.99995},
         "0.99995"},
        {header + affection + "3 2\n0.50005 0.5\n" + tail,
         {0.50005 / 1.00005, 0.5 / 1.00005},
         "1.00005"},
        // Published frequencies rounded to four decimals.
        {header + affection + "3 3\n0.3333 0.3333 0.3333\n" + tail,
         std::vector<double>(3, 0.3333 / (0.3333 + 0.3333 + 0.3333)), "0.9999"},
        {header + affection + "3 2\n0.5001 0.5\n" + tail,
         {0.5001 / 1.0001, 0.5 / 1.0001},
         "1.0001"},
        {header + affection + "3 2\n0.4991 0.5\n" + tail,
         {0.4991 / 0.9991, 0.5 / 0.9991},
         "0.9991"},
        {header + affection + "3 3\n0.1 0.2 0.7\n" + tail, {0.1, 0.2, 0.7}, ""},
        {header + affection + "3 2\n0 1\n" + tail, {0.0, 1.0}, ""},
        // Skipping a line discards all of it, however long its comment.
        {"2 0 0 5\n0 0 0 0\n1 2" + longComment + "1 2\n0.99 0.01" + longComment +
             "1\n0.01 0.9 0.9\n3 2\n0.5 0.5" + longComment + tail,
         {0.5, 0.5},
         ""},
        {"2 0 0 5\r\n0 0 0 0\r\n1 2\r\n1 2\r\n0.99 0.01\r\n1\r\n0.01 0.9 0.9\r\n3 2\r\n"
         "0.25 0.75<<freq\r\n0 0\r\n0.1\r\n1 0.02 0.49\r\n",
         {0.25, 0.75},
         ""},
        // An ILINK file may end after the iterated locus and the theta flag.
        {"2 0 0 3\n0 0 0 0\n1 2\n" + affection + marker + "0 0\n0.1\n0\n1 \n", {0.5, 0.5}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 200));
        writeText("good.dat", c.text);
        LinkageLocusFile file;
        bool read = false;
        const std::string printed = readPrinting(file, "good.dat", read);
        ASSERT_TRUE(read);
        EXPECT_EQ(test_support::contains(printed, "Warning: "), !c.sumShown.empty()) << printed;
        if (!c.sumShown.empty()) {
            EXPECT_TRUE(
                test_support::contains(printed,
                                       "Warning: The allele frequencies of locus 2 of LINKAGE "
                                       "locus file good.dat sum to " +
                                           c.sumShown + ": they are rescaled to sum to 1\n"))
                << printed;
        }
        ASSERT_NE(file.getLocus(1), nullptr);
        expectSameDoubles(file.getLocus(1)->alleleFrequencies, c.markerFrequencies);
        expectSameDoubles(file.getLocus(0)->alleleFrequencies, {0.99, 0.01});
        EXPECT_EQ(file.recombinationFractions, std::vector<double>{0.1});
    }

    writeText("one.dat", "1 0 0 5\n0 0 0 0\n1\n1 1\n1\n1\n0 1 1\n0 0\n\n1 0.1 0.5\n");
    LinkageLocusFile single;
    bool read = false;
    readPrinting(single, "one.dat", read);
    ASSERT_TRUE(read);
    EXPECT_EQ(single.getLocus(0)->alleleFrequencies, std::vector<double>{1.0});
    EXPECT_TRUE(single.recombinationFractions.empty());
}

TEST_F(LocusFileTest, XLinkedFileRefusesADiseaseLocusWithoutMalePenetrances) {
    writeText("datafile.dat", "previous run\n");
    LinkageLocusFile file;
    file.setNumberOfLoci(1);
    file.setSexLink(1);
    auto* trait = new Locus("DISEASE_LOCUS_1", Locus::affectionType, 2);
    trait->addAlleleFrequencies({0.99, 0.01});
    trait->setFemalePenetrances({0.01, 0.9, 0.9});
    file.addLocus(trait);
    bool written = true;
    EXPECT_EQ(writePrinting(file, "datafile.dat", written),
              "Error: Disease model DISEASE_LOCUS_1 has no male penetrances for liability "
              "class 1, which X-linked data need; datafile.dat not written!\n");
    EXPECT_FALSE(written);
    EXPECT_EQ(readText("datafile.dat"), "previous run\n");

    trait->setMalePenetrances({0.01, 0.9});
    trait->setNumberOfLiabClasses(2);
    EXPECT_EQ(writePrinting(file, "datafile.dat", written),
              "Error: Disease model DISEASE_LOCUS_1 has no penetrances for liability class 2; "
              "datafile.dat not written!\n");
    EXPECT_FALSE(written);

    trait->setNumberOfLiabClasses(1);
    EXPECT_EQ(writePrinting(file, "datafile.dat", written), "");
    EXPECT_TRUE(written);
}

TEST_F(LocusFileTest, FailedWritesAreReported) {
    LinkageLocusFile file;
    bool written = true;
    EXPECT_EQ(writePrinting(file, "no/such/folder/datafile.dat", written),
              "Error: Unable to open no/such/folder/datafile.dat for writing!\n");
    EXPECT_FALSE(written);
    EXPECT_EQ(writePrinting(file, "/dev/full", written), "Error: Unable to write /dev/full!\n");
    EXPECT_FALSE(written);
}

// Per recombination fraction, the total LOD of an MLINK outfile.dat.
static std::map<double, double> mlinkLods(const std::string& outfile) {
    std::map<double, double> lods;
    std::istringstream lines(outfile);
    std::string line;
    double theta = -1.0;
    const std::string lodLabel = "LOD SCORE =";
    while (std::getline(lines, line)) {
        if (line.rfind("THETAS", 0) == 0) {
            theta = std::stod(line.substr(6));
        } else if (const size_t at = line.find(lodLabel); at != std::string::npos) {
            lods[theta] = std::stod(line.substr(at + lodLabel.size()));
        }
    }
    return lods;
}

// A nuclear family under a fully penetrant dominant trait: the affected
// father is D+ (he has unaffected children) and heterozygous 1/2 at a marker,
// the mother is ++ and 3/3, so every child shows which trait and marker
// alleles it got from the father. Of six children, five agree with one phase
// and one with the other: LOD(theta) = log10(2^6 * (theta (1 - theta)^5 +
// theta^5 (1 - theta)) / 2).
TEST_F(LocusFileTest, EngineProgramsAcceptTheWrittenFileAndGiveTheAnalyticLod) {
    for (const char* program : {"unknownorlex", "mlinkorlex"}) {
        ASSERT_TRUE(std::filesystem::exists(test_support::enginePath(program)))
            << "engine program " << test_support::enginePath(program)
            << " is missing: build it with engine/build.sh";
    }
    LinkageLocusFile file;
    file.setNumberOfLoci(2);
    file.setProgramNumber(LinkageLocusFile::mlinkProgram);
    file.setLocusOrder({1, 2});
    auto* trait = new Locus("DISEASE_LOCUS_1", Locus::affectionType, 2);
    trait->addAlleleFrequencies({0.99, 0.01});
    trait->setFemalePenetrances({0.0, 1.0, 1.0});
    file.addLocus(trait);
    auto* marker = new Locus("1", Locus::numberedAllelesType, 3);
    marker->addAlleleFrequencies({1.0 / 3, 1.0 / 3, 1.0 / 3});
    file.addLocus(marker);
    file.setRecombinationFraction(0.0);
    file.setRecombinationVaried(1);
    file.setIncrement(0.02);
    file.setFinishingValue(0.49);
    bool written = false;
    writePrinting(file, "datafile.dat", written);
    ASSERT_TRUE(written);

    // Pedigree, person, father, mother, first offspring, next paternal and
    // maternal sib, sex, proband; affection status; marker alleles.
    writeText("pedfile.dat",
              "1\t1\t0\t0\t3\t0\t0\t1\t1\t2 1 2 \n"
              "1\t2\t0\t0\t3\t0\t0\t2\t0\t1 3 3 \n"
              "1\t3\t1\t2\t0\t4\t4\t1\t0\t2 1 3 \n"
              "1\t4\t1\t2\t0\t5\t5\t2\t0\t2 1 3 \n"
              "1\t5\t1\t2\t0\t6\t6\t1\t0\t2 1 3 \n"
              "1\t6\t1\t2\t0\t7\t7\t2\t0\t2 2 3 \n"
              "1\t7\t1\t2\t0\t8\t8\t1\t0\t1 2 3 \n"
              "1\t8\t1\t2\t0\t0\t0\t2\t0\t1 2 3 \n");
    for (const char* program : {"unknownorlex", "mlinkorlex"}) {
        const test_support::CommandResult run =
            test_support::runCommand(std::string(program) + " < /dev/null");
        ASSERT_EQ(run.status, 0) << program << ":\n" << run.output;
    }

    const std::string outfile = readText("outfile.dat");
    // Unlinked, the likelihood is the founders' genotype probabilities (the
    // father D+ and 1/2 in either phase, the mother ++ and 3/3) times 1/4 for
    // each child's paternal pair of alleles.
    const size_t totals = outfile.find("TOTALS");
    ASSERT_NE(totals, std::string::npos) << outfile;
    const double p = 0.99;
    const double q = 0.01;
    EXPECT_NEAR(std::stod(outfile.substr(totals + 6)),
                std::log(2 * p * q * 2.0 / 9 * p * p / 9 * std::pow(0.25, 6)), 2e-6);

    const std::map<double, double> lods = mlinkLods(outfile);
    ASSERT_EQ(lods.size(), 26u) << outfile;
    EXPECT_EQ(lods.at(0.5), 0.0);
    EXPECT_LT(lods.at(0.0), -100.0);
    for (const auto& [theta, lod] : lods) {
        if (theta == 0.0 || theta == 0.5) {
            continue;
        }
        const double expected =
            std::log10(32.0 * (theta * std::pow(1 - theta, 5) + std::pow(theta, 5) * (1 - theta)));
        EXPECT_NEAR(lod, expected, 2e-6) << "theta " << theta;
    }
}
