// The component nuclear pedigrees: which families are made, their fresh
// numbering and pointer columns, and the engine file written from them.
#include <string>
#include <vector>

#include "pedigrees.h"
#include "test_support.h"

using test_support::readText;

namespace {

// A person as the pedigree reader leaves it; genotype "" is untyped and
// affection "" has no value.
Person* add(Pedigrees& store, const std::string& pedigreeId, const std::string& id,
            const std::string& father, const std::string& mother, const std::string& sex,
            const std::string& affection, const std::string& genotype) {
    Pedigree* pedigree = store.pedigreeTree->find(pedigreeId);
    if (pedigree == nullptr) {
        pedigree = new Pedigree(pedigreeId);
        store.pedigreeTree->insert(pedigree);
    }
    auto* person = new Person(pedigreeId, id, father, mother, sex);
    if (!affection.empty()) {
        person->addPhenotype(new Phenotype("DISEASE_LOCUS", affection));
    }
    if (const auto slash = genotype.find('/'); slash != std::string::npos) {
        person->addMarker(
            new Marker("0", genotype.substr(0, slash), genotype.substr(slash + 1), true));
    }
    pedigree->addPerson(person);
    return person;
}

class NuclearPedigreesTest : public test_support::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        store.phenotypeNames = {"DISEASE_LOCUS"};
        store.markerCount = 1;
    }

    // Grandparents 1 and 2 with sons 3 and 4; 4 and the founder 5 have 6.
    void addThreeGenerations(const std::string& pedigreeId) {
        add(store, pedigreeId, "1", "0", "0", "1", "1", "1/2");
        add(store, pedigreeId, "2", "0", "0", "2", "1", "3/4");
        add(store, pedigreeId, "3", "1", "2", "1", "2", "1/3");
        add(store, pedigreeId, "4", "1", "2", "1", "2", "2/4");
        add(store, pedigreeId, "5", "0", "0", "2", "1", "");
        add(store, pedigreeId, "6", "4", "5", "2", "2", "2/5");
    }

    bool write() { return store.writeNuclearPedigreeFile("pedfile.dat", {"DISEASE_LOCUS"}, {"0"}); }

    Pedigrees store;
};

TEST_F(NuclearPedigreesTest, SplitsAThreeGenerationPedigreeIntoNumberedFamilies) {
    addThreeGenerations("1");

    ASSERT_TRUE(write());

    // Father 1 (the only proband), mother 2, children 3, 4, ... chained by
    // their sib pointers; person 4 of the store is a child in the first
    // family and the father of the second.
    EXPECT_EQ(readText("pedfile.dat"),
              "1\t1\t0\t0\t3\t0\t0\t1\t1\t1 1 2 \n"
              "1\t2\t0\t0\t3\t0\t0\t2\t0\t1 3 4 \n"
              "1\t3\t1\t2\t0\t4\t4\t1\t0\t2 1 3 \n"
              "1\t4\t1\t2\t0\t0\t0\t1\t0\t2 2 4 \n"
              "2\t1\t0\t0\t3\t0\t0\t1\t1\t2 2 4 \n"
              "2\t2\t0\t0\t3\t0\t0\t2\t0\t1 0 0 \n"
              "2\t3\t1\t2\t0\t0\t0\t2\t0\t2 2 5 \n");
    EXPECT_EQ(store.getNuclearPedigreeCount(), 2);
    EXPECT_EQ(store.getNuclearPersonCount(), 7);
    EXPECT_EQ(store.pedigreeType, "NUCLEAR_PEDIGREE");
}

TEST_F(NuclearPedigreesTest, NumbersContinueAcrossPedigreesAndHalfSibsSplit) {
    addThreeGenerations("1");
    // Father 1 with two mothers: 4 and 6 are full sibs, 5 their half sib.
    add(store, "2", "1", "0", "0", "1", "1", "1/1");
    add(store, "2", "2", "0", "0", "2", "1", "2/2");
    add(store, "2", "3", "0", "0", "2", "1", "3/3");
    add(store, "2", "4", "1", "2", "1", "2", "1/2");
    add(store, "2", "5", "1", "3", "2", "2", "1/3");
    add(store, "2", "6", "1", "2", "2", "1", "1/2");

    RBTree<Pedigree>* nuclear = store.createNuclearPedigrees();

    ASSERT_EQ(nuclear->count, 4);
    const Pedigree* fullSibs = nuclear->find("3");
    const Pedigree* halfSib = nuclear->find("4");
    ASSERT_NE(fullSibs, nullptr);
    ASSERT_NE(halfSib, nullptr);
    EXPECT_EQ(fullSibs->getPersonTree()->count, 4);
    EXPECT_EQ(fullSibs->getPerson("4")->getSex(), "2");  // store person 6
    EXPECT_EQ(halfSib->getPersonTree()->count, 3);
    EXPECT_EQ(halfSib->getPerson("2")->getMarker("0")->getAllele(0), "3");
}

TEST_F(NuclearPedigreesTest, CopiesOwnTheirRecords) {
    addThreeGenerations("1");
    Person* original = store.pedigreeTree->find("1")->getPerson("3");
    original->getPhenotype("DISEASE_LOCUS")->setIndex("7");

    store.createNuclearPedigrees();
    const Person* copy = store.nuclearPedigrees->find("1")->getPerson("3");
    original->getMarker("0")->setAllele(0, "9");

    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getMarker("0")->getAllele(0), "1");
    EXPECT_EQ(copy->getPhenotype("DISEASE_LOCUS")->getIndex(), "7");
    EXPECT_EQ(copy->getMarkerTree()->name, "Master-Nuclear-Marker-Tree");
    EXPECT_EQ(copy->getPhenotypeTree()->name, "Master-Nuclear-Phenotype-Tree");
    EXPECT_EQ(copy->getPedigreeId(), "1");
}

TEST_F(NuclearPedigreesTest, TheSetIsBuiltOnceAndReusedByLaterWrites) {
    EXPECT_EQ(store.getNuclearPedigreeCount(), 0);
    EXPECT_EQ(store.getNuclearPersonCount(), 0);
    addThreeGenerations("1");

    ASSERT_TRUE(write());
    const std::string first = readText("pedfile.dat");
    RBTree<Pedigree>* built = store.nuclearPedigrees;
    ASSERT_TRUE(write());

    EXPECT_EQ(store.nuclearPedigrees, built);
    EXPECT_EQ(store.nuclearPedigreeCounter, 3);
    EXPECT_EQ(readText("pedfile.dat"), first);
}

TEST_F(NuclearPedigreesTest, FoundersAloneGiveAnEmptySet) {
    add(store, "1", "1", "0", "0", "1", "1", "1/2");
    add(store, "1", "2", "0", "0", "2", "1", "1/2");

    ASSERT_TRUE(write());

    EXPECT_EQ(readText("pedfile.dat"), "");
    EXPECT_EQ(store.getNuclearPedigreeCount(), 0);
    EXPECT_EQ(store.getNuclearPersonCount(), 0);
}

}  // namespace
