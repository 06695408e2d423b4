#include "model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

using test_support::writeText;

class ModelTest : public test_support::TempDirTest {};

static std::string readPrinting(Model& model, const std::string& name, bool& read) {
    testing::internal::CaptureStdout();
    read = model.readModelFile(name);
    return testing::internal::GetCapturedStdout();
}

TEST_F(ModelTest, ReadsAnAutosomalModel) {
    writeText("model.txt", "0\n0.2\n2\n0.01 0.95 0.95 << class 1\n0.0 0.5 1\n");
    Model model;
    bool read = false;
    EXPECT_EQ(readPrinting(model, "model.txt", read), "Reading model file: model.txt...done\n");
    ASSERT_TRUE(read);
    EXPECT_EQ(model.sexLinked, 0);
    const Locus* locus = model.getLocus();
    ASSERT_NE(locus, nullptr);
    EXPECT_EQ(locus->id, "DISEASE_LOCUS_1");
    EXPECT_EQ(locus->type, Locus::affectionType);
    EXPECT_EQ(locus->getNumberOfAlleles(), 2);
    EXPECT_EQ(locus->alleleFrequencies, (std::vector<double>{0.8, 0.2}));
    EXPECT_EQ(locus->numberOfLiabClasses, 2);
    EXPECT_EQ(locus->femalePenetrances,
              (std::vector<std::vector<double>>{{0.01, 0.95, 0.95}, {0.0, 0.5, 1.0}}));
    EXPECT_TRUE(locus->malePenetrances.empty());
    EXPECT_NE(locus->toStringDiseaseLocus(0).find("P(D) = 0.2\n"), std::string::npos);
}

TEST_F(ModelTest, ReadsMaleLinesOfAnXLinkedModel) {
    writeText("model.txt", "1 0.001 2\n0 0 0.9\n0 0.9 males\n0.01 0.01 0.8\n0.01 0.8\n");
    Model model;
    bool read = false;
    readPrinting(model, "model.txt", read);
    ASSERT_TRUE(read);
    EXPECT_EQ(model.sexLinked, 1);
    const Locus* locus = model.getLocus();
    EXPECT_EQ(locus->femalePenetrances,
              (std::vector<std::vector<double>>{{0.0, 0.0, 0.9}, {0.01, 0.01, 0.8}}));
    EXPECT_EQ(locus->malePenetrances, (std::vector<std::vector<double>>{{0.0, 0.9}, {0.01, 0.8}}));
    EXPECT_EQ(locus->numberOfLiabClasses, 2);
}

TEST_F(ModelTest, FaultyModelsFailWithTheirReason) {
    struct Case {
        std::string text;
        int line;
        std::string problem;
    };
    const std::vector<Case> cases = {
        {"", 1, "expected the sex-linked flag, found the end of the file"},
        {"2 0.01 1\n0 1 1\n", 1, "the sex-linked flag must be 0 or 1, not 2"},
        {"0 0 1\n0 1 1\n", 1,
         "the disease allele frequency must lie strictly between 0 and 1, not 0"},
        {"0\n1\n1\n0 1 1\n", 2,
         "the disease allele frequency must lie strictly between 0 and 1, not 1"},
        {"0 -0.1 1\n0 1 1\n", 1,
         "the disease allele frequency must lie strictly between 0 and 1, not -0.1"},
        {"0 0.01 0\n", 1, "the number of liability classes must be at least 1, not 0"},
        {"0 0.01 -1\n", 1, "the number of liability classes must be at least 1, not -1"},
        {"0 0.01 1\n0 1.2 1\n", 2,
         "a penetrance of liability class 1 must lie between 0 and 1, not 1.2"},
        {"0 0.01 2\n0 1 1\n-0.1 1 1\n", 3,
         "a penetrance of liability class 2 must lie between 0 and 1, not -0.1"},
        {"0 0.01 2\n0 1 1\n", 2,
         "expected a penetrance of liability class 2, found the end of the file"},
        {"1 0.01 1\n0 1 1\n", 2,
         "expected a male penetrance of liability class 1, found the end of the file"},
        {"0 0.01 1\n0 high 1\n", 2, "expected a penetrance of liability class 1, found \"high\""},
        {"0 one 1\n", 1, "expected the disease allele frequency, found \"one\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        writeText("model.txt", c.text);
        Model model;
        bool read = true;
        EXPECT_EQ(readPrinting(model, "model.txt", read),
                  "Reading model file: model.txt..failed\nError: model file model.txt, "
                  "line " +
                      std::to_string(c.line) + ": " + c.problem + "\n");
        EXPECT_FALSE(read);
        EXPECT_EQ(model.getLocus(), nullptr);
    }
}

TEST_F(ModelTest, MissingFileFailsWithTwoDots) {
    Model model;
    bool read = true;
    EXPECT_EQ(readPrinting(model, "absent.txt", read),
              "Reading model file: absent.txt..failed\n"
              "Error: Unable to open model file absent.txt for reading.\n");
    EXPECT_FALSE(read);
    EXPECT_EQ(model.getLocus(), nullptr);
}

TEST_F(ModelTest, FailedReadKeepsTheModelItHad) {
    Model model;
    testing::internal::CaptureStdout();
    model.makeModel();
    testing::internal::GetCapturedStdout();
    const Locus* before = model.getLocus();
    writeText("model.txt", "1 0.5 1\n0 1 1\n");
    bool read = true;
    readPrinting(model, "model.txt", read);
    EXPECT_FALSE(read);
    EXPECT_EQ(model.getLocus(), before);
    EXPECT_EQ(model.sexLinked, 0);
}

TEST_F(ModelTest, DefaultModelIsDominantWithPhenocopies) {
    Model model;
    writeText("model.txt", "1 0.2 1\n0 1 1\n0 1\n");
    bool read = false;
    readPrinting(model, "model.txt", read);
    ASSERT_TRUE(read);
    testing::internal::CaptureStdout();
    model.makeModel();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Generating model...done\n");
    EXPECT_EQ(model.sexLinked, 0);
    ASSERT_NE(model.getLocus(), nullptr);
    EXPECT_EQ(model.getLocus()->id, "DISEASE_LOCUS_1");
    EXPECT_EQ(model.getLocus()->toString(0),
              "1 2\n0.98999999999999999 0.01 \n1\n0.01 0.90000000000000002 0.90000000000000002 \n");
}
