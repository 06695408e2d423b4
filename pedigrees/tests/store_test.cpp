// The store's frame: starting values, the marker map hand-over, person
// counting and the lookups between converted and original ids.
#include <string>

#include "locus_file.h"
#include "marker_map.h"
#include "pedigree_builder.h"
#include "pedigrees.h"
#include "test_support.h"

namespace {

TEST(StoreTest, NewStoreStartsEmpty) {
    const Pedigrees store;
    EXPECT_EQ(store.markerCount, 0);
    EXPECT_FALSE(store.pedigreeFileRead);
    EXPECT_EQ(store.frequencyType, "a");
    EXPECT_TRUE(store.phenotypeNames.empty());
    EXPECT_EQ(store.pedigreeFileName + store.mapFileName + store.phenotypeFileName +
                  store.linkageLocusFileName + store.modelFileName + store.outputPrefix,
              "");
    ASSERT_NE(store.pedigreeTree, nullptr);
    EXPECT_EQ(store.pedigreeTree->count, 0);
    EXPECT_EQ(store.pedigreeTree->name, "Master-Tree");
    EXPECT_EQ(store.markerInfo->name, "markersinfo");
    EXPECT_EQ(store.hrrMarkerInfo->name, "hrrarkersinfo");
    EXPECT_EQ(store.tdtMarkerInfo->name, "tdtmarkersinfo");
    EXPECT_EQ(store.sibPairMarkerInfo->name, "sibpairmarkersinfo");
    EXPECT_NE(store.markerMap, nullptr);
    EXPECT_NE(store.caseMarkerMap, nullptr);
    EXPECT_NE(store.controlMarkerMap, nullptr);
    EXPECT_NE(store.linkageLocusFile, nullptr);
    EXPECT_EQ(store.model, nullptr);
    EXPECT_EQ(store.nuclearPedigrees, nullptr);
    EXPECT_EQ(store.hrrPedigrees, nullptr);
    EXPECT_EQ(store.pedigreeType, "BASIC_PEDIGREE");
    EXPECT_TRUE(store.numericPersonIds);
    EXPECT_EQ(store.nuclearPedigreeCounter, 1);
    EXPECT_EQ(store.nuclearPersonCounter, 1);
    EXPECT_FALSE(store.hasLoops);
    EXPECT_FALSE(store.mendelianErrorsFound);
}

TEST(StoreTest, PhenotypeIsReadOnlyUnderItsExactName) {
    Pedigrees store;
    EXPECT_FALSE(store.isPhenotypeRead("DISEASE_LOCUS"));
    store.phenotypeNames = {"DISEASE_LOCUS", "BMI"};
    EXPECT_TRUE(store.isPhenotypeRead("DISEASE_LOCUS"));
    EXPECT_TRUE(store.isPhenotypeRead("BMI"));
    EXPECT_FALSE(store.isPhenotypeRead("bmi"));
    EXPECT_FALSE(store.isPhenotypeRead("BM"));
    EXPECT_EQ(store.getPhenotypeNames(), store.phenotypeNames);
}

TEST(StoreTest, LentMarkerMapIsAdoptedAndGivenBackAlive) {
    Pedigrees store;
    auto* map = new MarkerMap();
    testing::internal::CaptureStdout();
    map->makeMarkerMap(3);
    testing::internal::GetCapturedStdout();
    store.setMarkerMap(map);
    EXPECT_EQ(store.getMarkerMap(), map);
    EXPECT_EQ(store.markerCount, 3);
    store.setMarkerMap(nullptr);
    EXPECT_EQ(store.markerCount, 0);
    EXPECT_EQ(store.getMarkerMap(), nullptr);
    EXPECT_EQ(map->getMarkerName("2"), "MARKER3");  // still alive: the store let go of it
    delete map;
}

TEST(StoreTest, PersonsAreCountedOverAllPedigrees) {
    Pedigrees store;
    EXPECT_EQ(store.getPedigreePersonCount(), 0);
    for (const char* id : {"1", "2", "3"}) {
        addPerson(store, "10", id, "0", "0", "1");
    }
    addPerson(store, "2", "1", "0", "0", "1");
    addPerson(store, "A", "1", "0", "0", "2");
    addPerson(store, "A", "2", "0", "0", "2");
    EXPECT_EQ(store.getPedigreePersonCount(), 6);
    // The walk step adds to the running sum without resetting it.
    store.getPedigreePersonCount(store.pedigreeTree->root);
    EXPECT_EQ(store.personCountSum, 12);
}

// Pedigrees 1 and 2 of a converted file, with their pre-conversion ids.
class ConvertedStoreTest : public ::testing::Test {
  protected:
    ConvertedStoreTest() {
        for (const auto& [id, original] : {std::pair{"1", "FAM-A"}, std::pair{"2", "FAM-B"}}) {
            for (const auto& [person, originalPerson] :
                 {std::pair{"1", "dad"}, std::pair{"2", "mum"}, std::pair{"3", "kid"}}) {
                addPerson(store, id, person, "0", "0", "1")->setOriginalPersonId(originalPerson);
            }
            store.pedigreeTree->find(id)->originalPedigreeId = original;
        }
        addPerson(store, "3", "1", "0", "0", "1");  // read without original ids
    }

    Pedigrees store;
};

TEST_F(ConvertedStoreTest, OriginalAndNewIdsAreFoundBothWays) {
    EXPECT_EQ(store.getOrigPedigreeID("2"), "FAM-B");
    EXPECT_EQ(store.getNewPedigreeID("FAM-A"), "1");
    EXPECT_EQ(store.getNewPersonID("FAM-B", "kid"), "3");
    EXPECT_EQ(store.getNewPersonID("FAM-A", "mum"), "2");
}

TEST_F(ConvertedStoreTest, UnknownIdsGiveTheEmptyText) {
    EXPECT_EQ(store.getOrigPedigreeID("3"), "");  // not converted: no original id
    EXPECT_EQ(store.getOrigPedigreeID("9"), "");
    EXPECT_EQ(store.getNewPedigreeID("FAM-C"), "");
    EXPECT_EQ(store.getNewPersonID("FAM-C", "kid"), "");
    EXPECT_EQ(store.getNewPersonID("FAM-A", "aunt"), "");
    EXPECT_EQ(store.getNewPedigreeID("fam-a"), "");
}

}  // namespace
