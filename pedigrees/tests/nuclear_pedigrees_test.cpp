// The component nuclear pedigrees: which families are made, their fresh
// numbering and pointer columns, and the engine file written from them.
#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "pedigrees.h"
#include "test_support.h"

using test_support::readText;
using test_support::writeText;

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

// Per recombination fraction, the total LOD of an MLINK outfile.dat.
std::map<double, double> mlinkLods(const std::string& outfile) {
    std::map<double, double> lods;
    std::istringstream lines(outfile);
    double theta = -1.0;
    const std::string lodLabel = "LOD SCORE =";
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("THETAS", 0) == 0) {
            theta = std::stod(line.substr(6));
        } else if (const auto at = line.find(lodLabel); at != std::string::npos) {
            lods[theta] = std::stod(line.substr(at + lodLabel.size()));
        }
    }
    return lods;
}

// A fully penetrant dominant trait and a marker of four equally frequent
// alleles. In the whole pedigree the grandparents tell the phase of person 3;
// split into nuclear families both fathers are phase-unknown founders, so the
// engine's total LOD is the sum of two phase-unknown families:
//   1 (D+, 1/2) x 2 (++, 3/3): children D1, D1, +2: 0 or 3 recombinants,
//     LOD = log10(4 ((1 - t)^3 + t^3));
//   3 (D+, 1/3) x 10 (++, 4/4): children D1, +3, D3: 1 or 2 recombinants,
//     LOD = log10(4 t (1 - t)).
TEST_F(NuclearPedigreesTest, TheEngineAnalysesEachNuclearFamilyOnItsOwn) {
    add(store, "1", "1", "0", "0", "1", "2", "1/2");
    add(store, "1", "2", "0", "0", "2", "1", "3/3");
    add(store, "1", "3", "1", "2", "1", "2", "1/3");
    add(store, "1", "4", "1", "2", "2", "2", "1/3");
    add(store, "1", "5", "1", "2", "2", "1", "2/3");
    add(store, "1", "10", "0", "0", "2", "1", "4/4");
    add(store, "1", "11", "3", "10", "1", "2", "1/4");
    add(store, "1", "12", "3", "10", "2", "1", "3/4");
    add(store, "1", "13", "3", "10", "1", "2", "3/4");
    writeText("datafile.dat",
              "2 0 0 5\n0 0.0 0.0 0\n1 2\n"
              "1 2\n0.99 0.01\n1\n0.0 1.0 1.0\n"
              "3 4\n0.25 0.25 0.25 0.25\n"
              "0 0\n0.0\n1 0.02 0.49\n");

    ASSERT_TRUE(write());
    ASSERT_EQ(store.getNuclearPedigreeCount(), 2);
    for (const char* program : {"unknownorlex", "mlinkorlex"}) {
        const test_support::CommandResult run =
            test_support::runCommand(std::string(program) + " < /dev/null");
        ASSERT_EQ(run.status, 0) << program << ":\n" << run.output;
    }

    const std::map<double, double> lods = mlinkLods(readText("outfile.dat"));
    ASSERT_EQ(lods.size(), 26u);
    for (const auto& [theta, lod] : lods) {
        if (theta == 0.0) {
            continue;  // the second family excludes it: no finite LOD
        }
        const double expected = std::log10(4 * (std::pow(1 - theta, 3) + std::pow(theta, 3))) +
                                std::log10(4 * theta * (1 - theta));
        EXPECT_NEAR(lod, expected, 2e-6) << "theta " << theta;
    }
}

}  // namespace
