// Marker information: allele copies counted by group, records for every
// marker, sorted alleles with new names 1..n.
#include <string>
#include <vector>

#include "marker_info.h"
#include "pedigree_builder.h"
#include "pedigrees.h"
#include "test_support.h"

namespace {

struct Counts {
    int all, founders, males, females;
    bool operator==(const Counts& other) const {
        return all == other.all && founders == other.founders && males == other.males &&
               females == other.females;
    }
};

Counts totals(const MarkerInfo& record) {
    return {record.allCount, record.foundersCount, record.malesCount, record.femalesCount};
}

Counts counts(const MarkerInfo& record, const std::string& allele) {
    const Allele* a = record.getAlleleWithName(allele);
    if (a == nullptr) {
        return {-1, -1, -1, -1};
    }
    return {a->allCount, a->foundersCount, a->malesCount, a->femalesCount};
}

std::vector<std::string> namesAndNewNames(const MarkerInfo& record) {
    std::vector<std::string> names;
    for (const Allele* allele : record.getAlleles()) {
        names.push_back(allele->getAlleleName() + "=" + allele->getAlleleNewName());
    }
    return names;
}

void PrintTo(const Counts& c, std::ostream* os) {
    *os << "{" << c.all << ", " << c.founders << ", " << c.males << ", " << c.females << "}";
}

TEST(MarkerInformationTest, FemaleFounderCountsBothCopiesInEveryGroupOfHers) {
    Pedigrees store;
    store.markerCount = 1;
    addPerson(store, "1", "1", "0", "0", "2", {"2/3"});
    store.createMarkerInfo();
    const MarkerInfo& record = *store.getMarkerInfo()->find("0");
    EXPECT_EQ(totals(record), (Counts{2, 2, 0, 2}));
    EXPECT_EQ(counts(record, "2"), (Counts{1, 1, 0, 1}));
    EXPECT_EQ(counts(record, "3"), (Counts{1, 1, 0, 1}));
}

TEST(MarkerInformationTest, XLinkedMaleGivesOneCopyButFoundersCountBoth) {
    Pedigrees store;
    store.markerCount = 1;
    store.xlinked = true;
    addPerson(store, "1", "1", "0", "0", "1", {"4/4"});
    addPerson(store, "1", "2", "0", "0", "2", {"4/5"});
    addPerson(store, "1", "3", "1", "2", "1", {"5/7"});  // no founder: 7 counts nowhere
    store.createMarkerInfo();
    const MarkerInfo& record = *store.getMarkerInfo()->find("0");
    EXPECT_EQ(totals(record), (Counts{4, 4, 2, 2}));
    EXPECT_EQ(counts(record, "4"), (Counts{2, 3, 1, 1}));
    EXPECT_EQ(counts(record, "5"), (Counts{2, 1, 1, 1}));
    EXPECT_EQ(counts(record, "7"), (Counts{0, 0, 0, 0}));
}

TEST(MarkerInformationTest, EveryMarkerGetsARecordOnceThereIsAPerson) {
    Pedigrees store;
    store.markerCount = 12;
    addPerson(store, "1", "1", "0", "0", "1");
    addPerson(store, "1", "2", "0", "0", "2", {"", "1/2"});
    store.createMarkerInfo();
    EXPECT_EQ(store.getMarkerInfo()->count, 12);
    EXPECT_EQ(store.getMarkerInfo()->find("0")->getAlleleCount(), 0);
    EXPECT_EQ(store.getMarkerInfo()->find("11")->getAlleleCount(), 0);
    EXPECT_EQ(store.getMarkerInfo()->find("1")->getAlleleCount(), 2);
}

// Only keys that are a marker number as the reader writes it count; others
// ("01", a number past the markers, a sign) belong to no marker.
TEST(MarkerInformationTest, GenotypesOutsideTheMarkerNumbersCountNowhere) {
    Pedigrees store;
    store.markerCount = 2;
    Person* person = addPerson(store, "1", "1", "0", "0", "2", {"", "3/4"});
    for (const char* key : {"01", "2", "-0", "+1", "1x"}) {
        ASSERT_TRUE(person->addMarker(new Marker(key, "7", "7", true)));
    }
    store.createMarkerInfo();
    EXPECT_EQ(store.getMarkerInfo()->count, 2);
    EXPECT_EQ(totals(*store.getMarkerInfo()->find("0")), (Counts{0, 0, 0, 0}));
    EXPECT_EQ(namesAndNewNames(*store.getMarkerInfo()->find("1")),
              (std::vector<std::string>{"3=1", "4=2"}));
}

TEST(MarkerInformationTest, AllelesAreSortedAndRenamedOverAllPersons) {
    Pedigrees store;
    store.markerCount = 2;
    addPerson(store, "2", "1", "0", "0", "1", {"10/9", "b/A"});
    addPerson(store, "1", "1", "0", "0", "2", {"2/10", "10/a"});
    store.createMarkerInfo();
    EXPECT_EQ(namesAndNewNames(*store.getMarkerInfo()->find("0")),
              (std::vector<std::string>{"2=1", "9=2", "10=3"}));
    EXPECT_EQ(namesAndNewNames(*store.getMarkerInfo()->find("1")),
              (std::vector<std::string>{"10=1", "A=2", "a=3", "b=4"}));
}

TEST(MarkerInformationTest, RebuildingReplacesTheRecordsWhole) {
    Pedigrees store;
    store.markerCount = 1;
    Person* person = addPerson(store, "1", "1", "0", "0", "2", {"1/2"});
    store.createMarkerInfo();
    person->getMarker("0")->setAllele(1, "1");
    store.createMarkerInfo();
    const MarkerInfo& record = *store.getMarkerInfo()->find("0");
    EXPECT_EQ(totals(record), (Counts{2, 2, 0, 2}));
    EXPECT_EQ(namesAndNewNames(record), (std::vector<std::string>{"1=1"}));
}

TEST(MarkerInformationTest, AnyPedigreeSetCanBeCountedIntoItsOwnTree) {
    Pedigrees store;
    store.markerCount = 1;
    RBTree<Pedigree> set(new Pedigree(), "set");
    auto* pedigree = new Pedigree("5");
    auto* person = new Person("5", "3", "1", "2", "1");
    person->addMarker(new Marker("0", "8", "6", true));
    pedigree->addPerson(person);
    set.insert(pedigree);
    RBTree<MarkerInfo> records(new MarkerInfo(), "records");
    store.createMarkerInfoPedigreeRecursion(set.root, &records);
    EXPECT_EQ(totals(*records.find("0")), (Counts{2, 0, 2, 0}));
    EXPECT_EQ(namesAndNewNames(*records.find("0")), (std::vector<std::string>{"6=1", "8=2"}));
    EXPECT_EQ(store.getMarkerInfo()->count, 0);
}

}  // namespace
