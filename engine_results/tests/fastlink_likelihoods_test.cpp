#include "fastlink_likelihoods.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(FastlinkLikelihoods, ConstructorsSetThetaAndTotalLod) {
    const FastlinkLikelihoods multipoint;
    EXPECT_DOUBLE_EQ(multipoint.getRecombinationFraction(), 1.0);
    EXPECT_DOUBLE_EQ(multipoint.getLodScore(), 1.0);
    EXPECT_TRUE(multipoint.thetas.empty());

    const FastlinkLikelihoods twoPoint(0.02);
    EXPECT_DOUBLE_EQ(twoPoint.getRecombinationFraction(), 0.02);
    EXPECT_DOUBLE_EQ(twoPoint.getLodScore(), 0.0);
}

TEST(FastlinkLikelihoods, RecordsKeepTheirValuesAndTheOrderOfAddition) {
    FastlinkLikelihoods point(0.1);
    point.addLikelihood("12", -10.5, -4.56, 0.25);
    point.addLikelihood("3", -7.0, -3.04, -1.5);
    point.setLnLikeTotal(-17.5);
    point.setLog10Total(-7.6);
    point.setMinus2LnLike(35.0);
    point.setLodScore(-1.25);

    EXPECT_EQ(point.getPedigreeNames(), (std::vector<std::string>{"12", "3"}));
    const FastlinkLikelihood* record = point.getLikelihood("3");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->getPedigreeId(), "3");
    EXPECT_DOUBLE_EQ(record->getLnLike(), -7.0);
    EXPECT_DOUBLE_EQ(record->log10Like, -3.04);
    EXPECT_DOUBLE_EQ(record->getLodScore(), -1.5);
    // Totals are kept as given, not derived from the records.
    EXPECT_DOUBLE_EQ(point.lnLikeTotal, -17.5);
    EXPECT_DOUBLE_EQ(point.log10Total, -7.6);
    EXPECT_DOUBLE_EQ(point.getMinus2LnLike(), 35.0);
    EXPECT_DOUBLE_EQ(point.getLodScore(), -1.25);
}

TEST(FastlinkLikelihoods, UnknownIdGivesNullAndChangesNothing) {
    FastlinkLikelihoods empty(0.5);
    EXPECT_TRUE(empty.getPedigreeNames().empty());
    EXPECT_EQ(empty.getLikelihood("1"), nullptr);

    FastlinkLikelihoods point(0.5);
    point.addLikelihood("1", -1.0, -0.43, 0.0);
    EXPECT_EQ(point.getLikelihood("2"), nullptr);
    EXPECT_EQ(point.getPedigreeNames(), std::vector<std::string>{"1"});
}

// Under the sanitizers this also shows that the replaced record is released.
TEST(FastlinkLikelihoods, RepeatedIdStandsTwiceAndTheLastRecordWins) {
    FastlinkLikelihoods point(0.0);
    point.addLikelihood("7", -1.0, -0.43, 0.1);
    point.addLikelihood("7", -2.0, -0.87, 0.2);
    EXPECT_EQ(point.getPedigreeNames(), (std::vector<std::string>{"7", "7"}));
    ASSERT_NE(point.getLikelihood("7"), nullptr);
    EXPECT_DOUBLE_EQ(point.getLikelihood("7")->getLnLike(), -2.0);
}

// Look-ups made before later records are added must not hide those records.
TEST(FastlinkLikelihoods, RecordsAddedAfterALookUpAreFound) {
    FastlinkLikelihoods point(0.0);
    point.addLikelihood("1", -1.0, -0.43, 0.1);
    ASSERT_NE(point.getLikelihood("1"), nullptr);
    EXPECT_EQ(point.getLikelihood("2"), nullptr);
    point.addLikelihood("2", -2.0, -0.87, 0.2);
    point.addLikelihood("1", -3.0, -1.30, 0.3);
    ASSERT_NE(point.getLikelihood("2"), nullptr);
    EXPECT_DOUBLE_EQ(point.getLikelihood("2")->getLnLike(), -2.0);
    EXPECT_DOUBLE_EQ(point.getLikelihood("1")->getLnLike(), -3.0);
}

TEST(FastlinkLikelihoods, LeftOutPedigreesKeepTheirRecordsButLeaveTheTotals) {
    FastlinkLikelihoods point(0.0);
    point.addLikelihood("1", -1e20, -4.3429e19, 0.0);
    point.addLikelihood("2", -14.5, -6.3, 0.85);
    point.addLikelihood("3", -17.5, -7.6, 0.87);
    point.setLnLikeTotal(-1e20);
    point.setMinus2LnLike(2e20);
    EXPECT_EQ(point.getImpossiblePedigrees(), std::vector<std::string>{"1"});

    point.leaveOut({"1"});
    EXPECT_TRUE(point.isLeftOut("1"));
    EXPECT_FALSE(point.isLeftOut("2"));
    EXPECT_NE(point.getLikelihood("1"), nullptr);
    EXPECT_DOUBLE_EQ(point.lnLikeTotal, -32.0);
    EXPECT_DOUBLE_EQ(point.log10Total, -13.9);
    EXPECT_DOUBLE_EQ(point.getMinus2LnLike(), 64.0);
    EXPECT_DOUBLE_EQ(point.keptLodScoreSum(), 1.72);
    // A possible but very unlikely pedigree is no impossible one.
    EXPECT_FALSE(isImpossibleLnLike(-1e6));
}
