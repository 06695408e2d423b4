#include "records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> keysOf(const Marker* x) {
    if (x->key == "NIL") {
        return {};
    }
    std::vector<std::string> keys = keysOf(x->left);
    keys.push_back(x->key);
    const std::vector<std::string> right = keysOf(x->right);
    keys.insert(keys.end(), right.begin(), right.end());
    return keys;
}

TEST(RecordsTest, DefaultRecordsAreLeaves) {
    const Person person;
    EXPECT_EQ(person.key, "NIL");
    EXPECT_EQ(person.color, "");
    EXPECT_EQ(person.getFOID(), "-999");
    EXPECT_EQ(person.getPhenotypeTree(), nullptr);
    EXPECT_EQ(person.getMarkerTree(), nullptr);
    EXPECT_EQ(Pedigree().getPersonTree(), nullptr);
    EXPECT_EQ(Marker().key, "NIL");
    EXPECT_EQ(Phenotype().key, "NIL");
}

TEST(RecordsTest, AddPersonRefusesASecondPersonWithTheSameId) {
    Pedigree pedigree("F1");
    EXPECT_EQ(pedigree.key, "F1");
    EXPECT_EQ(pedigree.getPedigreeId(), "F1");
    auto* first = new Person("F1", "3", "1", "2", "2");
    ASSERT_TRUE(pedigree.addPerson(first));
    auto* second = new Person("F1", "3", "0", "0", "1");
    EXPECT_FALSE(pedigree.addPerson(second));
    delete second;
    EXPECT_FALSE(pedigree.addPerson(nullptr));
    EXPECT_EQ(pedigree.getPersonTree()->count, 1);
    EXPECT_EQ(pedigree.getPerson("3"), first);
    EXPECT_EQ(pedigree.getPerson("3")->getFatherId(), "1");
    EXPECT_EQ(pedigree.getPerson("4"), nullptr);
}

TEST(RecordsTest, PersonMadeWithoutIdsGetsThemBeforeGoingIntoATree) {
    auto* person = new Person("0", "0", "1");
    EXPECT_EQ(person->key, "NIL");
    EXPECT_EQ(person->getPersonId(), "");
    EXPECT_EQ(person->getPedigreeId(), "");
    person->setPedigreeId("case_1");
    person->setPersonId("1");
    EXPECT_EQ(person->key, "NIL");  // the setter leaves the key to the maker
    person->key = person->getPersonId();
    Pedigree pedigree("case_1");
    ASSERT_TRUE(pedigree.addPerson(person));
    EXPECT_EQ(pedigree.getPerson("1"), person);
}

TEST(RecordsTest, AddOrUpdatePhenotypeAddsOnceThenUpdates) {
    Person person("1", "3", "1", "2", "2");
    EXPECT_EQ(person.getPhenotype("BMI"), nullptr);
    EXPECT_TRUE(person.addorUpdatePhenotype("BMI", "21.5"));
    EXPECT_TRUE(person.addorUpdatePhenotype("BMI", "23"));
    EXPECT_EQ(person.getPhenotypeTree()->count, 1);
    ASSERT_NE(person.getPhenotype("BMI"), nullptr);
    EXPECT_EQ(person.getPhenotype("BMI")->getValue(), "23");
    // the reserved key is refused, and the record made for it does not leak
    EXPECT_FALSE(person.addorUpdatePhenotype("NIL", "1"));
    EXPECT_EQ(person.getPhenotypeTree()->count, 1);

    auto* duplicate = new Phenotype("BMI", "30");
    EXPECT_FALSE(person.addPhenotype(duplicate));
    delete duplicate;
    EXPECT_EQ(person.getPhenotype("BMI")->getValue(), "23");
}

TEST(RecordsTest, PersonInfoHasFiveOrNineTabTerminatedColumns) {
    Person person("1", "3", "1", "2", "2");
    EXPECT_EQ(person.getPersonInfo(), "1\t3\t1\t2\t2\t");
    person.setFOID("0");
    person.setNPSID("4");
    person.setNMSID("5");
    person.setProbandStatus("1");
    EXPECT_EQ(person.getPersonInfo(), "1\t3\t1\t2\t0\t4\t5\t2\t1\t");
}

TEST(RecordsTest, MarkerConstructorFillsMapEntryOrGenotype) {
    const Marker entry("D1S243", "1", "12.5", false);
    EXPECT_EQ(entry.key, "D1S243");
    EXPECT_EQ(entry.getName(), "D1S243");
    EXPECT_EQ(entry.getChromosome(), "1");
    EXPECT_DOUBLE_EQ(entry.getPosition(), 12.5);
    EXPECT_EQ(entry.getIndex(), "");
    EXPECT_EQ(entry.getAllele(0), "");

    const Marker genotype("4", "132", "0", true);
    EXPECT_EQ(genotype.key, "4");
    EXPECT_EQ(genotype.getIndex(), "4");
    EXPECT_EQ(genotype.getName(), "");
    EXPECT_EQ(genotype.getAllele(0), "132");
    EXPECT_EQ(genotype.getAllele(1), "0");
}

// A data set holds a genotype record per person and typed marker, and
// studies of 5,000 persons at 6,000 markers must fit in 8 GB: a genotype
// record stays within 192 bytes (its tree's empty positions cost nothing
// of their own), and a map entry keeps its texts all the same.
TEST(RecordsTest, AGenotypeRecordStaysSmallAndAMapEntryKeepsItsTexts) {
    EXPECT_LE(sizeof(Marker), 192u);
    Marker entry("rs7", "X", "3.5", false);
    entry.setBasePairPosition("10442");
    entry.setName("rs7b");
    EXPECT_EQ(entry.getName(), "rs7b");
    EXPECT_EQ(entry.getChromosome(), "X");
    EXPECT_DOUBLE_EQ(entry.getPosition(), 3.5);
    EXPECT_EQ(entry.getBasePairPosition(), "10442");
    const Marker genotype("3", "1", "2", true);
    EXPECT_EQ(genotype.getChromosome(), "");
    EXPECT_EQ(genotype.getBasePairPosition(), "");
    EXPECT_DOUBLE_EQ(genotype.getPosition(), 0.0);
}

TEST(RecordsTest, AlleleIndexesOtherThanZeroAndOneAreIgnored) {
    Marker genotype("0", "1", "2", true);
    genotype.setAllele(2, "9");
    genotype.setAllele(-1, "9");
    EXPECT_EQ(genotype.getAllele(0), "1");
    EXPECT_EQ(genotype.getAllele(1), "2");
    EXPECT_EQ(genotype.getAllele(2), "");
    EXPECT_EQ(genotype.getAllele(-1), "");
    genotype.setAllele(1, "7");
    EXPECT_EQ(genotype.getAllele(0), "1");
    EXPECT_EQ(genotype.getAllele(1), "7");
}

TEST(RecordsTest, PositionReadsTheLeadingNumber) {
    const struct {
        const char* text;
        double expected;
    } cases[] = {{"12.5", 12.5}, {"cM12", 0.0}, {"", 0.0}, {" -3.25cM", -3.25}};
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(Marker("m", "1", c.text, false).getPosition(), c.expected) << c.text;
    }
}

TEST(RecordsTest, MarkerWithIndexFindsTheSmallestKeyAmongMatches) {
    Person person("1", "1", "0", "0", "1");
    for (const char* index : {"0", "1", "2", "10"}) {
        ASSERT_TRUE(person.addMarker(new Marker(index, "1", "2", true)));
    }
    EXPECT_EQ(person.getMarkerWithIndex("10"), person.getMarker("10"));
    EXPECT_EQ(person.getMarkerWithIndex("3"), nullptr);

    // records whose index text differs from their key
    person.getMarker("2")->setIndex("7");
    person.getMarker("10")->setIndex("7");
    EXPECT_EQ(person.getMarkerWithIndex("7"), person.getMarker("10"));
    EXPECT_EQ(person.getMarkerWithIndex("2"), nullptr);
}

TEST(RecordsTest, AdoptingTreesReplacesThemButNeverTheOwnOrANullOne) {
    Person person("1", "1", "0", "0", "1");
    ASSERT_TRUE(person.addorUpdatePhenotype("DISEASE_LOCUS", "2"));
    ASSERT_TRUE(person.addMarker(new Marker("0", "1", "2", true)));
    RBTree<Phenotype>* const phenotypes = person.getPhenotypeTree();
    RBTree<Marker>* const markers = person.getMarkerTree();

    person.addPhenotypes(phenotypes);
    person.addPhenotypes(nullptr);
    person.addMarkers(markers);
    person.addMarkers(nullptr);
    ASSERT_EQ(person.getPhenotypeTree(), phenotypes);
    ASSERT_EQ(person.getMarkerTree(), markers);
    EXPECT_EQ(person.getPhenotype("DISEASE_LOCUS")->getValue(), "2");
    EXPECT_EQ(person.getMarker("0")->getAllele(1), "2");

    auto* newPhenotypes = new RBTree<Phenotype>(new Phenotype(), "copy");
    ASSERT_TRUE(newPhenotypes->insert(new Phenotype("LIABILITY_CLASS", "1")));
    auto* newMarkers = new RBTree<Marker>(new Marker(), "copy");
    ASSERT_TRUE(newMarkers->insert(new Marker("1", "3", "4", true)));
    ASSERT_TRUE(newMarkers->insert(new Marker("0", "5", "6", true)));
    person.addPhenotypes(newPhenotypes);
    person.addMarkers(newMarkers);
    EXPECT_EQ(person.getPhenotypeTree(), newPhenotypes);
    EXPECT_EQ(person.getPhenotype("DISEASE_LOCUS"), nullptr);
    EXPECT_EQ(person.getPhenotype("LIABILITY_CLASS")->getValue(), "1");
    EXPECT_EQ(keysOf(person.getMarkerTree()->root), (std::vector<std::string>{"0", "1"}));
    EXPECT_EQ(person.getMarker("0")->getAllele(0), "5");
}

// Run under LeakSanitizer, this shows that a pedigree frees every person and
// every phenotype and genotype record below it.
TEST(RecordsTest, DeletingAPedigreeFreesEverythingBelowIt) {
    auto* pedigree = new Pedigree("7");
    for (const char* id : {"1", "2", "3", "4", "5"}) {
        auto* person = new Person("7", id, "0", "0", "2");
        person->addorUpdatePhenotype("DISEASE_LOCUS", "1");
        person->addMarker(new Marker("0", "1", "1", true));
        person->addMarker(new Marker("1", "2", "2", true));
        ASSERT_TRUE(pedigree->addPerson(person));
    }
    EXPECT_EQ(pedigree->getPersonTree()->count, 5);
    delete pedigree;
}

}  // namespace
