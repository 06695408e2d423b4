// Allele collapsing: the rarest allele of a marker of three or more alleles
// is merged into the next rarest while its frequency is below 1e-05.
#include <string>
#include <vector>

#include "marker_info.h"
#include "pedigrees.h"
#include "test_support.h"

namespace {

// Adds founders of one pedigree, each typed at marker 0 with the given
// genotype ("first/second"), numbered on from the persons already there.
void addTyped(Pedigrees& store, int count, const std::string& first, const std::string& second,
              const std::string& sex = "2") {
    Pedigree* pedigree = store.pedigreeTree->find("1");
    if (pedigree == nullptr) {
        pedigree = new Pedigree("1");
        store.pedigreeTree->insert(pedigree);
    }
    for (int i = 0; i < count; ++i) {
        const std::string id = std::to_string(pedigree->personTree->count + 1);
        auto* person = new Person("1", id, "0", "0", sex);
        person->addMarker(new Marker("0", first, second, true));
        pedigree->addPerson(person);
    }
    store.markerCount = 1;
}

// The alleles of marker 0 as name=newName after collapsing.
std::vector<std::string> collapsedAlleles(Pedigrees& store) {
    testing::internal::CaptureStdout();
    store.collapseAlleles();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "(Collapsing alleles...)\n");
    std::vector<std::string> names;
    for (const Allele* allele : store.markerInfo->find("0")->getAlleles()) {
        names.push_back(allele->getAlleleName() + "=" + allele->getAlleleNewName());
    }
    return names;
}

std::string genotypeOf(Pedigrees& store, const std::string& id) {
    const Marker* m = store.pedigreeTree->find("1")->getPerson(id)->getMarker("0");
    return m->getAllele(0) + "/" + m->getAllele(1);
}

TEST(CollapsingTest, AlleleAtTheThresholdStaysAndOneBelowItIsMerged) {
    // Persons 1 and 2 carry B once and C twice; the rest are A/A. With 50,000
    // persons B is 1 of 100,000 copies (exactly 1e-05), with 50,001 fewer.
    for (const int persons : {50000, 50001}) {
        Pedigrees store;
        addTyped(store, 1, "A", "B");
        addTyped(store, 1, "C", "C");
        addTyped(store, persons - 2, "A", "A");
        const std::vector<std::string> alleles = collapsedAlleles(store);
        if (persons == 50000) {
            EXPECT_EQ(alleles, (std::vector<std::string>{"A=1", "B=2", "C=3"}));
            EXPECT_EQ(genotypeOf(store, "1"), "A/B");
        } else {
            EXPECT_EQ(alleles, (std::vector<std::string>{"A=1", "C=2"}));
            EXPECT_EQ(genotypeOf(store, "1"), "A/C");
            EXPECT_EQ(store.markerInfo->find("0")->getAlleleWithName("C")->allCount, 3);
        }
    }
}

TEST(CollapsingTest, EqualFrequenciesMergeTheEarliestIntoTheNextAndStopAtTwoAlleles) {
    // X-linked males count only their first allele, so K and L have frequency 0.
    Pedigrees store;
    store.xlinked = true;
    addTyped(store, 1, "M", "K", "1");
    addTyped(store, 1, "M", "L", "1");
    addTyped(store, 3, "M", "M");
    EXPECT_EQ(collapsedAlleles(store), (std::vector<std::string>{"L=1", "M=2"}));
    EXPECT_EQ(genotypeOf(store, "1"), "M/L");
    EXPECT_EQ(genotypeOf(store, "2"), "M/L");
}

TEST(CollapsingTest, TwoAllelesAreNeverMerged) {
    Pedigrees store;
    store.xlinked = true;
    addTyped(store, 1, "1", "2", "1");
    addTyped(store, 2, "1", "1");
    EXPECT_EQ(collapsedAlleles(store), (std::vector<std::string>{"1=1", "2=2"}));
}

TEST(CollapsingTest, WithoutMarkersOnlyTheProgressLineIsPrinted) {
    Pedigrees store;
    addTyped(store, 3, "1", "2");
    store.markerCount = 0;
    testing::internal::CaptureStdout();
    store.collapseAlleles();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "(Collapsing alleles...)\n");
    EXPECT_EQ(genotypeOf(store, "2"), "1/2");
}

}  // namespace
