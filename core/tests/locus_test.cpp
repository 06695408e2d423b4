#include "locus.h"

#include <gtest/gtest.h>

#include <string>

static Locus defaultDiseaseLocus() {
    Locus locus("DISEASE_LOCUS_1", Locus::affectionType, 2);
    locus.addAlleleFrequencies({0.99, 0.01});
    locus.setFemalePenetrances({0.01, 0.9, 0.9});
    return locus;
}

TEST(LocusTest, AlleleFrequenciesAreReplacedAndOutOfRangeGivesMinusThree) {
    Locus locus("1", Locus::numberedAllelesType, 2);
    locus.addAlleleFrequencies({0.1, 0.2, 0.7});
    locus.addAlleleFrequencies({0.25, 0.75});
    EXPECT_EQ(locus.alleleFrequencies, (std::vector<double>{0.25, 0.75}));
    EXPECT_EQ(locus.getAlleleFrequency(0), 0.25);
    EXPECT_EQ(locus.getAlleleFrequency(1), 0.75);
    EXPECT_EQ(locus.getAlleleFrequency(2), -3.0);
    EXPECT_EQ(locus.getAlleleFrequency(-1), -3.0);
}

TEST(LocusTest, ClassCountFollowsTheLastPenetranceListAppended) {
    Locus locus("DISEASE_LOCUS_1", Locus::affectionType, 2);
    locus.setNumberOfLiabClasses(5);
    for (int k = 0; k < 3; ++k) {
        locus.setFemalePenetrances({0.0, 0.5, 1.0});
    }
    EXPECT_EQ(locus.numberOfLiabClasses, 3);
    locus.setMalePenetrances({0.0, 1.0});
    EXPECT_EQ(locus.numberOfLiabClasses, 1);
}

TEST(LocusTest, AffectionBlockHasSeventeenDigitsAndTrailingBlanks) {
    EXPECT_EQ(defaultDiseaseLocus().toString(0),
              "1 2\n"
              "0.98999999999999999 0.01 \n"
              "1\n"
              "0.01 0.90000000000000002 0.90000000000000002 \n");
}

TEST(LocusTest, SexLinkOneAddsAMaleLineAfterEveryClass) {
    Locus locus("DISEASE_LOCUS_1", Locus::affectionType, 2);
    locus.addAlleleFrequencies({0.5, 0.5});
    locus.setFemalePenetrances({0.0, 0.5, 1.0});
    locus.setMalePenetrances({0.0, 1.0});
    locus.setFemalePenetrances({0.1, 0.6, 0.9});
    locus.setMalePenetrances({0.1, 0.9});
    EXPECT_EQ(locus.toString(0),
              "1 2\n0.5 0.5 \n2\n0 0.5 1 \n0.10000000000000001 0.59999999999999998 "
              "0.90000000000000002 \n");
    EXPECT_EQ(locus.toString(1),
              "1 2\n0.5 0.5 \n2\n0 0.5 1 \n0 1 \n0.10000000000000001 0.59999999999999998 "
              "0.90000000000000002 \n0.10000000000000001 0.90000000000000002 \n");
    // Only 1 means sex-linked.
    EXPECT_EQ(locus.toString(2), locus.toString(0));
}

TEST(LocusTest, PenetrancesTheLocusLacksShowAsStandInValues) {
    Locus locus = defaultDiseaseLocus();
    locus.setNumberOfLiabClasses(2);
    EXPECT_FALSE(locus.hasFemalePenetrances(1));
    EXPECT_FALSE(locus.hasMalePenetrances(0));
    EXPECT_EQ(locus.toString(1),
              "1 2\n0.98999999999999999 0.01 \n2\n"
              "0.01 0.90000000000000002 0.90000000000000002 \n-2 -2 \n"
              "-4 -4 -4 \n-2 -2 \n");
}

TEST(LocusTest, NumberedAllelesWriteEitherFrequenciesOrHaplotypeLines) {
    Locus locus("1", Locus::numberedAllelesType, 3);
    locus.addAlleleFrequencies({0.2, 0.3, 0.5});
    locus.setHaplotypeFrequencies({0.1, 0.1, 0.8});
    locus.setHaplotypeFrequenciesCond({0.6, 0.2, 0.2});
    EXPECT_EQ(locus.toString(1), "3 3\n0.20000000000000001 0.29999999999999999 0.5 \n");
    locus.setHaplotypeFrequenciesOnOff(true);
    EXPECT_EQ(locus.toString(0),
              "3 3\n"
              "0.10000000000000001 0.10000000000000001 0.80000000000000004 \n"
              "0.59999999999999998 0.20000000000000001 0.20000000000000001 \n");
}

TEST(LocusTest, QuantitativeBlockAndItsCopyAreTheSame) {
    Locus source("DISEASE_LOCUS_0", Locus::quantitativeType, 2);
    source.addAlleleFrequencies({0.5, 0.5});
    source.setNumberOfLiabClasses(1);
    source.genotypeMeans = {1.5, 2.0, 2.5};
    source.variances = {1.0};
    source.multiplier = 2.0;
    const std::string block = "0 2\n0.5 0.5 \n1\n1.5 2 2.5 \n1 \n2\n";
    EXPECT_EQ(source.toString(0), block);

    Locus copy(&source);
    source.genotypeMeans[0] = 9.0;
    source.variances.clear();
    EXPECT_EQ(copy.toString(0), block);
    EXPECT_EQ(copy.id, "DISEASE_LOCUS_0");
}

TEST(LocusTest, CopySharesNoStorageWithItsSource) {
    Locus source = defaultDiseaseLocus();
    source.setName("trait");
    source.setXlinked();
    source.setMalePenetrances({0.01, 0.9});
    source.setHaplotypeFrequencies({0.5});
    source.setHaplotypeFrequenciesOnOff(true);
    Locus copy(&source);
    source.femalePenetrances[0][0] = 0.5;
    source.malePenetrances.clear();
    source.alleleFrequencies[0] = 0.0;
    EXPECT_EQ(copy.name, "trait");
    EXPECT_TRUE(copy.xlinked);
    EXPECT_TRUE(copy.haplotypeFrequenciesOnOff);
    EXPECT_EQ(copy.haplotypeFrequencies, std::vector<double>{0.5});
    EXPECT_EQ(copy.femalePenetrances[0][0], 0.01);
    EXPECT_EQ(copy.malePenetrances.size(), 1u);
    EXPECT_EQ(copy.alleleFrequencies[0], 0.99);
}

TEST(LocusTest, UnknownTypesWriteTheirFirstLineOnly) {
    Locus locus("x", 2, 2);
    locus.addAlleleFrequencies({0.5, 0.5});
    EXPECT_EQ(locus.toString(0), "2 2\n");
}

TEST(LocusTest, DiseaseTableOfTheDefaultModel) {
    const std::string equals(63, '=');
    EXPECT_EQ(defaultDiseaseLocus().toStringDiseaseLocus(0),
              equals + "\nDisease allele frequency: P(D) = 0.01\n" +
                  "Liability class  P(Affected|++)  P(Affected|D+)  P(Affected|DD)\n" +
                  std::string(63, '-') + "\n" + std::string(14, ' ') + "1" + std::string(11, ' ') +
                  "0.01 " + std::string(12, ' ') + "0.9 " + std::string(12, ' ') + "0.9 \n" +
                  equals + "\n\n");
}

TEST(LocusTest, DiseaseTableMarksTheMaleLine) {
    Locus locus = defaultDiseaseLocus();
    locus.setMalePenetrances({1e-05, 0.9});
    const std::string table = locus.toStringDiseaseLocus(1);
    const std::string maleLine = std::string(15, ' ') + std::string(10, ' ') + "1e-05 " +
                                 std::string(12, ' ') + "0.9  (males)\n";
    EXPECT_NE(table.find("0.9 \n" + maleLine + std::string(63, '=')), std::string::npos) << table;
    EXPECT_EQ(locus.toStringDiseaseLocus(0).find("(males)"), std::string::npos);
}

TEST(LocusTest, DiseaseTableOfAMarkerSaysSo) {
    EXPECT_EQ(Locus("1", Locus::numberedAllelesType, 2).toStringDiseaseLocus(0),
              "This is not disease locus\n");
}
