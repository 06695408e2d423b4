#include "marker_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "rbtree.h"

namespace {

const char* const kGroups[] = {"all", "founders", "males", "females"};

std::vector<std::string> namesOf(const MarkerInfo& info) {
    std::vector<std::string> names;
    for (const Allele* allele : info.getAlleles()) {
        names.push_back(allele->getAlleleName());
    }
    return names;
}

MarkerInfo* withAlleles(const std::vector<std::string>& names) {
    auto* info = new MarkerInfo("0");
    for (const auto& name : names) {
        info->addAllele(new Allele(name));
    }
    return info;
}

TEST(AlleleTest, CountsEachGroupAndNothingElse) {
    Allele allele("7");
    for (int i = 0; i < 4; ++i) {
        for (int g = 0; g <= i; ++g) {
            allele.addCount(kGroups[g]);
        }
    }
    allele.addCount("Males");
    allele.addCount("");
    EXPECT_EQ(allele.getAlleleCount("all"), 4);
    EXPECT_EQ(allele.getAlleleCount("founders"), 3);
    EXPECT_EQ(allele.getAlleleCount("males"), 2);
    EXPECT_EQ(allele.getAlleleCount("females"), 1);
    EXPECT_EQ(allele.getAlleleCount("Males"), 0);
    EXPECT_EQ(allele.getAlleleNewName(), "");
}

TEST(MarkerInfoTest, FrequenciesDivideByTheGroupTotal) {
    MarkerInfo info("3");
    EXPECT_EQ(info.key, "3");
    EXPECT_EQ(info.getMarkerIndex(), "3");
    auto* a = new Allele("1");
    auto* b = new Allele("2");
    ASSERT_TRUE(info.addAllele(a));
    ASSERT_TRUE(info.addAllele(b));
    // Four copies in all (a, a, a, b); founders hold a and b; males hold b.
    for (int i = 0; i < 4; ++i) {
        info.addCount("all");
    }
    for (int i = 0; i < 3; ++i) {
        a->addCount("all");
    }
    b->addCount("all");
    info.addCount("founders");
    info.addCount("founders");
    a->addCount("founders");
    b->addCount("founders");
    info.addCount("males");
    b->addCount("males");

    const struct {
        int i;
        const char* group;
        double frequency;
    } cases[] = {
        {0, "all", 0.75},  {1, "all", 0.25},   {0, "founders", 0.5}, {1, "founders", 0.5},
        {0, "males", 0.0}, {1, "males", 1.0},  {0, "females", 0.0},  {-1, "all", -1.0},
        {2, "all", -1.0},  {0, "Males", -1.0}, {0, "", -1.0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(info.getAlleleFreq(c.i, c.group), c.frequency) << c.i << " " << c.group;
    }
    EXPECT_DOUBLE_EQ(info.getAlleleFreqWithName("1", "all"), 0.75);
    EXPECT_DOUBLE_EQ(info.getAlleleFreqWithName("2", "males"), 1.0);
    EXPECT_DOUBLE_EQ(info.getAlleleFreqWithName("3", "all"), -1.0);
    EXPECT_DOUBLE_EQ(info.getAlleleFreqWithName("1", "everyone"), -1.0);
}

TEST(MarkerInfoTest, AddsEachAlleleNameOnce) {
    MarkerInfo info("0");
    auto* first = new Allele("A");
    ASSERT_TRUE(info.addAllele(first));
    Allele second("A");
    EXPECT_FALSE(info.addAllele(&second));
    EXPECT_FALSE(info.addAllele(nullptr));
    EXPECT_EQ(info.getAlleleCount(), 1);
    EXPECT_EQ(info.getAlleleWithName("A"), first);
    EXPECT_EQ(info.getAlleleWithName("a"), nullptr);
}

TEST(MarkerInfoTest, SortsNumericallyOnlyWhenEveryNameIsDigits) {
    const struct {
        std::vector<std::string> names;
        std::vector<std::string> sorted;
    } cases[] = {
        {{"10", "9", "2"}, {"2", "9", "10"}},
        {{"10", "9", "A"}, {"10", "9", "A"}},
        {{"9", "-1", "10"}, {"-1", "10", "9"}},
        {{"b", "B", "a", "ab"}, {"B", "a", "ab", "b"}},
        {{"1\xe9", "12", "2"}, {"12", "1\xe9", "2"}},
        {{"100", "20", "3", "0"}, {"0", "3", "20", "100"}},
        {{}, {}},
    };
    for (const auto& c : cases) {
        MarkerInfo* info = withAlleles(c.names);
        info->sortAllelesVector();
        EXPECT_EQ(namesOf(*info), c.sorted);
        delete info;
    }
}

TEST(MarkerInfoTest, NewNamesFollowTheLatestOrder) {
    MarkerInfo* info = withAlleles({"10", "9", "2"});
    info->addAllelesNewNames();
    EXPECT_EQ(info->getOldAlleleWithNewName("1"), "10");
    info->sortAllelesVector();
    info->addAllelesNewNames();
    const std::vector<std::string> newNames = {"1", "2", "3"};
    const std::vector<std::string> oldNames = {"2", "9", "10"};
    for (std::size_t k = 0; k < newNames.size(); ++k) {
        EXPECT_EQ(info->getAlleles()[k]->getAlleleNewName(), newNames[k]);
        EXPECT_EQ(info->getOldAlleleWithNewName(newNames[k]), oldNames[k]);
    }
    EXPECT_EQ(info->getOldAlleleWithNewName("4"), "E");
    delete info;
    EXPECT_EQ(MarkerInfo("1").getOldAlleleWithNewName("1"), "E");
}

TEST(MarkerInfoTest, GenotypeTableHoldsEveryUnorderedPairOnce) {
    MarkerInfo* info = withAlleles({"K", "L", "M"});
    info->createMarkerGenotypes();
    std::vector<std::string> names;
    for (const Genotype* g : info->getGenotypes()) {
        names.push_back(g->getGenotypeName());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"K/K", "K/L", "K/M", "L/L", "L/M", "M/M"}));
    EXPECT_EQ(info->getGenotypes()[4]->getAllele(0), "L");
    EXPECT_EQ(info->getGenotypes()[4]->getAllele(1), "M");
    delete info;
}

TEST(MarkerInfoTest, SumsGenotypeCountsAndChiSquareTerms) {
    MarkerInfo* info = withAlleles({"1", "2"});
    info->createMarkerGenotypes();
    const std::vector<Genotype*> g = info->getGenotypes();  // 1/1, 1/2, 2/2
    const int observed[] = {5, 2, 3};
    const double expected[] = {4.0, 4.0, 2.0};
    for (std::size_t i = 0; i < g.size(); ++i) {
        for (int n = 0; n < observed[i]; ++n) {
            g[i]->addGenotypeCount("all");
        }
        g[i]->setExpectedGenotypeCount(expected[i], "all");
    }
    g[0]->addGenotypeCount("founders");
    g[0]->setExpectedGenotypeCount(0.5, "founders");
    g[1]->setExpectedGenotypeCount(0.5, "founders");
    EXPECT_DOUBLE_EQ(info->getGenotypeCount("all"), 10.0);
    EXPECT_DOUBLE_EQ(info->getExpectedGenotypeCount("all"), 10.0);
    // (5-4)^2/4 + (2-4)^2/4 + (3-2)^2/2
    EXPECT_DOUBLE_EQ(info->getChi2Count("all"), 0.25 + 1.0 + 0.5);
    // (1-0.5)^2/0.5 + (0-0.5)^2/0.5, and the third genotype's mark for no expectation
    EXPECT_DOUBLE_EQ(info->getChi2Count("founders"), 0.5 + 0.5 - 777.0);
    EXPECT_DOUBLE_EQ(info->getGenotypeCount("founders"), 1.0);
    delete info;
}

TEST(GenotypeTest, UnknownGroupsAndIndexesGiveTheirMarks) {
    Genotype g("1", "2");
    EXPECT_EQ(g.getGenotypeName(), "1/2");
    EXPECT_EQ(g.getAllele(2), "error");
    EXPECT_EQ(g.getAllele(-1), "error");
    g.addGenotypeCount("males");
    EXPECT_EQ(g.getGenotypeCount("males"), -1);
    EXPECT_EQ(g.getGenotypeCount("all"), 0);
    g.setGenotypeFreq(0.3, "all");
    g.setGenotypeFreq(0.4, "founders");
    g.setGenotypeFreq(0.9, "males");
    EXPECT_DOUBLE_EQ(g.getGenotypeFreq("all"), 0.3);
    EXPECT_DOUBLE_EQ(g.getGenotypeFreq("founders"), 0.4);
    EXPECT_EQ(g.getGenotypeFreq("males"), 0.0);
    EXPECT_TRUE(std::signbit(g.getGenotypeFreq("males")));
    EXPECT_DOUBLE_EQ(g.getExpectedGenotypeCount("females"), -11.111);
    EXPECT_DOUBLE_EQ(g.getChi2("all"), -666.0);
    EXPECT_DOUBLE_EQ(g.getChi2("founders"), -777.0);
    EXPECT_DOUBLE_EQ(g.getChi2("males"), -11.11);
}

TEST(MarkerInfoTest, FoundersMustCarryEveryAllele) {
    MarkerInfo* info = withAlleles({"1", "2"});
    EXPECT_FALSE(info->hasFoundersAllAlleles());
    info->getAlleles()[0]->addCount("founders");
    EXPECT_FALSE(info->hasFoundersAllAlleles());
    info->getAlleles()[1]->addCount("founders");
    EXPECT_TRUE(info->hasFoundersAllAlleles());
    delete info;
    EXPECT_TRUE(MarkerInfo("0").hasFoundersAllAlleles());
}

TEST(MarkerInfoTest, LivesInATreeKeyedByIndexThatOwnsIt) {
    RBTree<MarkerInfo> tree(new MarkerInfo(), "markers");
    for (const char* index : {"0", "1", "2", "10"}) {
        MarkerInfo* info = withAlleles({"1", "2"});
        info->key = info->markerIndex = index;
        info->createMarkerGenotypes();
        ASSERT_TRUE(tree.insert(info));
    }
    ASSERT_NE(tree.find("10"), nullptr);
    EXPECT_EQ(tree.find("10")->getAlleleCount(), 2);
    EXPECT_EQ(tree.find("3"), nullptr);
}

TEST(CompareTest, OrdersByLeadingIntegerOrBytes) {
    EXPECT_FALSE(StringToIntCompare("x", "0"));
    EXPECT_FALSE(StringToIntCompare("0", "x"));
    EXPECT_TRUE(StringToIntCompare("9", "12a"));
    EXPECT_FALSE(StringToIntCompare("12a", "12"));
    EXPECT_TRUE(StringToIntCompare("-3", "2"));
    std::vector<std::string> ids = {"10", "2", "1"};
    std::sort(ids.begin(), ids.end(), StringToIntCompare);
    EXPECT_EQ(ids, (std::vector<std::string>{"1", "2", "10"}));

    const Allele ab("ab"), a("a"), b("b"), nine("9"), ten("10");
    EXPECT_TRUE(AlleleCompare(&a, &ab));
    EXPECT_TRUE(AlleleCompare(&ab, &b));
    EXPECT_TRUE(AlleleCompare(&ten, &nine));
    EXPECT_TRUE(AlleleStringToIntCompare(&nine, &ten));
    EXPECT_FALSE(AlleleStringToIntCompare(&ten, &nine));
}

}  // namespace
