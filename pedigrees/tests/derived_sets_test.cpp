// The HRR trios, TDT trios and affected sib pairs taken from the store for
// one phenotype and marker, their copies, counts and marker information, and
// the singleton counts of pedigrees without a trio.
#include <string>
#include <vector>

#include "marker_info.h"
#include "pedigrees.h"
#include "test_support.h"

namespace {

struct PersonLine {
    std::string id, father, mother, sex, affection, genotype;  // "" = no value / untyped
};

void add(Pedigrees& store, const std::string& pedigreeId, const PersonLine& line) {
    Pedigree* pedigree = store.pedigreeTree->find(pedigreeId);
    if (pedigree == nullptr) {
        pedigree = new Pedigree(pedigreeId);
        store.pedigreeTree->insert(pedigree);
    }
    auto* person = new Person(pedigreeId, line.id, line.father, line.mother, line.sex);
    if (!line.affection.empty()) {
        person->addPhenotype(new Phenotype("DISEASE_LOCUS", line.affection));
    }
    if (const auto slash = line.genotype.find('/'); slash != std::string::npos) {
        person->addMarker(
            new Marker("0", line.genotype.substr(0, slash), line.genotype.substr(slash + 1), true));
    }
    pedigree->addPerson(person);
}

void fill(Pedigrees& store, const std::string& pedigreeId, const std::vector<PersonLine>& lines) {
    store.markerCount = 1;
    for (const PersonLine& line : lines) {
        add(store, pedigreeId, line);
    }
    store.createMarkerInfo();
}

std::string genotypeOf(const Person* person) {
    const Marker* genotype = person != nullptr ? person->getMarker("0") : nullptr;
    return genotype != nullptr ? genotype->getAllele(0) + "/" + genotype->getAllele(1) : "";
}

// The genotype of person 3 of the set pedigree taken from pedigree "1", or
// "" when the set took nothing from it.
std::string firstChildOf(RBTree<Pedigree>* set) {
    const Pedigree* taken = set->find("1");
    return taken != nullptr ? genotypeOf(taken->getPerson("3")) : "";
}

TEST(DerivedSetsTest, EachSetTakesWhatItsRulesAllow) {
    struct Case {
        const char* what;
        std::vector<PersonLine> persons;
        std::string hrrChild;
        std::string tdtChild;
        bool sibPair;
    };
    const std::vector<Case> cases = {
        {"affected child of untyped parents",
         {{"1", "0", "0", "1", "1", ""},
          {"2", "0", "0", "2", "1", ""},
          {"3", "1", "2", "1", "2", "1/2"}},
         "1/2",
         "",
         false},
        {"unaffected child of typed parents",
         {{"1", "0", "0", "1", "1", "1/2"},
          {"2", "0", "0", "2", "1", "3/4"},
          {"3", "1", "2", "1", "1", "1/3"}},
         "1/3",
         "",
         false},
        {"unaffected child with one parent untyped",
         {{"1", "0", "0", "1", "1", "1/2"},
          {"2", "0", "0", "2", "1", ""},
          {"3", "1", "2", "1", "1", "1/3"}},
         "",
         "",
         false},
        {"an earlier unaffected child is taken before a later affected one",
         {{"1", "0", "0", "1", "1", "1/2"},
          {"2", "0", "0", "2", "1", "3/4"},
          {"3", "1", "2", "1", "1", "2/4"},
          {"4", "1", "2", "2", "2", "1/3"}},
         "2/4",
         "1/3",
         false},
        {"one homozygous parent gives no TDT trio",
         {{"1", "0", "0", "1", "1", "1/1"},
          {"2", "0", "0", "2", "1", "3/4"},
          {"3", "1", "2", "1", "2", "1/3"}},
         "1/3",
         "",
         false},
        {"affected typed full sibs of untyped parents",
         {{"1", "0", "0", "1", "1", ""},
          {"2", "0", "0", "2", "1", ""},
          {"3", "1", "2", "1", "2", "1/2"},
          {"4", "1", "2", "2", "2", "1/3"}},
         "1/2",
         "",
         true},
        {"half sibs never pair",
         {{"1", "0", "0", "1", "1", ""},
          {"2", "0", "0", "2", "1", ""},
          {"5", "0", "0", "2", "1", ""},
          {"3", "1", "2", "1", "2", "1/2"},
          {"4", "1", "5", "2", "2", "1/3"}},
         "1/2",
         "",
         false},
        {"an unaffected sib does not pair",
         {{"1", "0", "0", "1", "1", ""},
          {"2", "0", "0", "2", "1", ""},
          {"3", "1", "2", "1", "1", "1/2"},
          {"4", "1", "2", "2", "2", "1/3"}},
         "1/3",
         "",
         false},
        {"a child without a value satisfies no rule",
         {{"1", "0", "0", "1", "1", "1/2"},
          {"2", "0", "0", "2", "1", "3/4"},
          {"3", "1", "2", "1", "", "1/3"},
          {"4", "1", "2", "1", "", "2/3"}},
         "",
         "",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Pedigrees store;
        fill(store, "1", c.persons);

        EXPECT_EQ(firstChildOf(store.createHrrPedigreesForMarker("DISEASE_LOCUS", "0")),
                  c.hrrChild);
        EXPECT_EQ(firstChildOf(store.createTdtPedigreesForMarker("DISEASE_LOCUS", "0")),
                  c.tdtChild);
        EXPECT_EQ(store.createSibPairPedigreesForMarker("DISEASE_LOCUS", "0")->count,
                  c.sibPair ? 1 : 0);
        EXPECT_EQ(store.getHrrPedigreeCount(), c.hrrChild.empty() ? 0 : 1);
        EXPECT_EQ(store.getTdtPedigreeCount(), c.tdtChild.empty() ? 0 : 1);
        EXPECT_EQ(store.getSibPairPedigreeCount(), c.sibPair ? 1 : 0);
    }
}

void expectPerson(const Person* person, const std::string& pedigreeId, const std::string& father,
                  const std::string& mother, const std::string& sex,
                  const std::string& firstOffspring, const std::string& nextSib,
                  const std::string& proband, const std::string& genotype) {
    ASSERT_NE(person, nullptr);
    EXPECT_EQ(person->getPedigreeId(), pedigreeId);
    EXPECT_EQ(person->getFatherId(), father);
    EXPECT_EQ(person->getMotherId(), mother);
    EXPECT_EQ(person->getSex(), sex);
    EXPECT_EQ(person->getFOID(), firstOffspring);
    EXPECT_EQ(person->getNPSID(), nextSib);
    EXPECT_EQ(person->getNMSID(), nextSib);
    EXPECT_EQ(person->getProbandStatus(), proband);
    EXPECT_EQ(genotypeOf(person), genotype);
}

TEST(DerivedSetsTest, TriosAndPairsAreCompleteFamiliesUnderTheStoreId) {
    Pedigrees store;
    // The father is listed under a higher id than the mother and the sibs.
    fill(store, "17",
         {{"9", "0", "0", "1", "1", "1/2"},
          {"2", "0", "0", "2", "1", "3/4"},
          {"5", "9", "2", "2", "2", "1/3"},
          {"6", "9", "2", "1", "2", "2/4"}});

    const Pedigree* trio = store.createHrrPedigreesForMarker("DISEASE_LOCUS", "0")->find("17");
    ASSERT_NE(trio, nullptr);
    EXPECT_EQ(trio->getPersonTree()->count, 3);
    expectPerson(trio->getPerson("1"), "17", "0", "0", "1", "3", "0", "1", "1/2");
    expectPerson(trio->getPerson("2"), "17", "0", "0", "2", "3", "0", "0", "3/4");
    expectPerson(trio->getPerson("3"), "17", "1", "2", "2", "0", "0", "0", "1/3");
    EXPECT_EQ(trio->getPerson("3")->getPhenotype("DISEASE_LOCUS")->getValue(), "2");
    EXPECT_EQ(store.getHrrPersonCount(), 3);
    // The set's own marker information counts the trio's six allele copies.
    const MarkerInfo* info = store.getHrrMarkerInfo()->find("0");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->allCount, 6);
    EXPECT_EQ(info->getAlleleCount(), 4);

    const Pedigree* pair = store.createSibPairPedigreesForMarker("DISEASE_LOCUS", "0")->find("17");
    ASSERT_NE(pair, nullptr);
    EXPECT_EQ(pair->getPersonTree()->count, 4);
    expectPerson(pair->getPerson("1"), "17", "0", "0", "1", "3", "0", "1", "1/2");
    expectPerson(pair->getPerson("2"), "17", "0", "0", "2", "3", "0", "0", "3/4");
    expectPerson(pair->getPerson("3"), "17", "1", "2", "2", "0", "4", "0", "1/3");
    expectPerson(pair->getPerson("4"), "17", "1", "2", "1", "0", "0", "0", "2/4");
    EXPECT_EQ(store.sibPairMarkerInfo->find("0")->allCount, 8);
}

TEST(DerivedSetsTest, FoundersOfPedigreesWithoutATrioAddToTheSingletonCounts) {
    Pedigrees store;
    // No trio: the child's mother is untyped and the child unaffected.
    fill(store, "1",
         {{"1", "0", "0", "1", "2", "5/5"},
          {"2", "0", "0", "2", "1", ""},
          {"3", "1", "2", "1", "1", "5/6"},
          {"4", "0", "0", "2", "1", "6/7"},
          {"5", "0", "0", "1", "", "7/7"}});
    // A second pedigree gives a trio, so its founders are not counted.
    add(store, "2", {"1", "0", "0", "1", "1", "5/6"});
    add(store, "2", {"2", "0", "0", "2", "1", "6/6"});
    add(store, "2", {"3", "1", "2", "1", "2", "6/6"});
    store.createMarkerInfo();

    for (int build = 1; build <= 2; ++build) {
        SCOPED_TRACE(build);
        store.createHrrPedigreesForMarker("DISEASE_LOCUS", "0");
        EXPECT_EQ(store.getHrrPedigreeCount(), 1);
        const MarkerInfo* info = store.getMarkerInfo()->find("0");
        ASSERT_NE(info, nullptr);
        // Every build adds to the counts of the last.
        EXPECT_EQ(info->affectedSingletonCount, build);
        EXPECT_EQ(info->healthySingletonCount, build);
        EXPECT_EQ(info->getAlleleWithName("5")->affectedSingletonCount, 2 * build);
        EXPECT_EQ(info->getAlleleWithName("6")->healthySingletonCount, build);
        EXPECT_EQ(info->getAlleleWithName("7")->healthySingletonCount, build);
        EXPECT_EQ(info->getAlleleWithName("7")->affectedSingletonCount, 0);
    }
}

TEST(DerivedSetsTest, CountsOfSetsNotYetBuiltAreZero) {
    Pedigrees store;
    EXPECT_EQ(store.getHrrPedigreeCount(), 0);
    EXPECT_EQ(store.getHrrPersonCount(), 0);
    EXPECT_EQ(store.getTdtPedigreeCount(), 0);
    EXPECT_EQ(store.getSibPairPedigreeCount(), 0);
}

TEST(DerivedSetsTest, EveryBuildReplacesTheSetForTheNewMarker) {
    Pedigrees store;
    fill(store, "1",
         {{"1", "0", "0", "1", "1", "1/2"},
          {"2", "0", "0", "2", "1", "3/4"},
          {"3", "1", "2", "1", "2", "1/3"}});

    ASSERT_EQ(store.createTdtPedigreesForMarker("DISEASE_LOCUS", "0")->count, 1);
    // Nobody is typed at marker 1.
    EXPECT_EQ(store.createTdtPedigreesForMarker("DISEASE_LOCUS", "1")->count, 0);
    EXPECT_EQ(store.getTdtPedigreeCount(), 0);
    EXPECT_EQ(store.tdtMarkerInfo->count, 0);
    EXPECT_EQ(store.createHrrPedigreesForMarker("OTHER", "0")->count, 0);
}

}  // namespace
