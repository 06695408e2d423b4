// The engine pedigree file "pedfile.dat": its bytes, its person order and
// its failure reports.
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "locus_file.h"
#include "marker_info.h"
#include "pedigrees.h"
#include "test_support.h"

using test_support::readText;
using test_support::sourcePath;

namespace {

Person* addPerson(Pedigrees& store, const std::string& pedigreeId, const std::string& id,
                  const std::string& father = "0", const std::string& mother = "0",
                  const std::string& sex = "1") {
    Pedigree* pedigree = store.pedigreeTree->find(pedigreeId);
    if (pedigree == nullptr) {
        pedigree = new Pedigree(pedigreeId);
        store.pedigreeTree->insert(pedigree);
    }
    auto* person = new Person(pedigreeId, id, father, mother, sex);
    EXPECT_TRUE(pedigree->addPerson(person));
    return person;
}

void type(Person* person, int marker, const std::string& a, const std::string& b) {
    person->addMarker(new Marker(std::to_string(marker), a, b, true));
}

bool write(Pedigrees& store, const std::vector<std::string>& phenotypes,
           const std::vector<std::string>& markers, std::string* output = nullptr,
           const std::string& fileName = "pedfile.dat") {
    testing::internal::CaptureStdout();
    const bool ok = store.writePedigreeFile(fileName, phenotypes, markers);
    const std::string text = testing::internal::GetCapturedStdout();
    if (output != nullptr) {
        *output = text;
    }
    return ok;
}

class EngineFilesTest : public test_support::TempDirTest {};

TEST_F(EngineFilesTest, WritesTheChosenColumnsOfEveryPerson) {
    Pedigrees store;
    store.markerCount = 2;
    store.phenotypeNames = {"DISEASE_LOCUS", "BMI"};
    Person* father = addPerson(store, "1", "1");
    father->setFOID("3");
    father->setNPSID("0");
    father->setNMSID("0");
    father->setProbandStatus("1");
    father->addPhenotype(new Phenotype("DISEASE_LOCUS", "2"));
    type(father, 0, "7", "9");
    type(father, 1, "A", "B");
    Person* mother = addPerson(store, "1", "2", "0", "0", "2");
    mother->addPhenotype(new Phenotype("BMI", "22.5"));
    type(mother, 1, "B", "B");

    ASSERT_TRUE(write(store, {"BMI"}, {"1"}));
    EXPECT_EQ(readText("pedfile.dat"),
              "1\t1\t0\t0\t3\t0\t0\t1\t1\t0 A B \n"
              "1\t2\t0\t0\t2\t22.5 B B \n");

    // Empty plans: every phenotype and every marker in order.
    ASSERT_TRUE(write(store, {}, {}));
    EXPECT_EQ(readText("pedfile.dat"),
              "1\t1\t0\t0\t3\t0\t0\t1\t1\t2 0 7 9 A B \n"
              "1\t2\t0\t0\t2\t0 22.5 0 0 B B \n");

    // No columns at all: the leading fields end the line.
    store.markerCount = 0;
    ASSERT_TRUE(write(store, {"DO_NOT_PRINT_PHENOTYPES"}, {}));
    EXPECT_EQ(readText("pedfile.dat"), "1\t1\t0\t0\t3\t0\t0\t1\t1\t\n1\t2\t0\t0\t2\t\n");
    EXPECT_EQ(store.pedigreeFileText.str(), "");
}

TEST_F(EngineFilesTest, PersonOrderIsNumericUnlessAnIdHoldsAnotherCharacter) {
    Pedigrees store;
    for (const char* id : {"1", "2", "10", "3"}) {
        addPerson(store, "1", id);
    }
    for (const char* id : {"1", "2", "10", "A1"}) {
        addPerson(store, "2", id);
    }
    // Longer than any machine integer, and equal values of different texts.
    for (const char* id : {"100000000000000000000", "99999999999999999999", "7", "07", "8"}) {
        addPerson(store, "3", id);
    }
    ASSERT_TRUE(write(store, {"DO_NOT_PRINT_PHENOTYPES"}, {}));
    std::vector<std::string> order;
    std::string text = readText("pedfile.dat");
    for (std::size_t at = 0; at < text.size();) {
        const auto tab = text.find('\t', at);
        const auto secondTab = text.find('\t', tab + 1);
        order.push_back(text.substr(at, 1) + ":" + text.substr(tab + 1, secondTab - tab - 1));
        at = text.find('\n', at) + 1;
    }
    EXPECT_EQ(order, (std::vector<std::string>{
                         "1:1", "1:2", "1:3", "1:10", "2:1", "2:10", "2:2", "2:A1", "3:07", "3:7",
                         "3:8", "3:99999999999999999999", "3:100000000000000000000"}));
}

TEST_F(EngineFilesTest, NewAlleleNamesComeFromTheMarkerInformation) {
    Pedigrees store;
    store.markerCount = 2;
    Person* p = addPerson(store, "1", "1");
    type(p, 0, "12", "5");
    type(p, 1, "x1", "x2");
    auto* info = new MarkerInfo("0");
    for (const char* name : {"5", "12"}) {
        auto* allele = new Allele(name);
        allele->setAlleleNewName(std::string(name) == "5" ? "1" : "2");
        info->addAllele(allele);
    }
    store.markerInfo->insert(info);
    store.useNewAlleleNames = true;
    ASSERT_TRUE(write(store, {"DO_NOT_PRINT_PHENOTYPES"}, {}));
    // Marker 1 has no information record.
    EXPECT_EQ(readText("pedfile.dat"), "1\t1\t0\t0\t1\t2 1 nulli nulli \n");

    type(addPerson(store, "1", "2"), 0, "5", "99");
    ASSERT_TRUE(write(store, {"DO_NOT_PRINT_PHENOTYPES"}, {"0"}));
    EXPECT_EQ(readText("pedfile.dat"), "1\t1\t0\t0\t1\t2 1 \n1\t2\t0\t0\t1\t1 -1 \n");
}

// Names that are plain whole numbers are answered from a table of the write;
// any other name, and any number the table lacks, must answer as the search
// of the marker's alleles by name does.
TEST_F(EngineFilesTest, EveryAlleleNameGetsTheNewNameOfTheAlleleOfThatExactName) {
    Pedigrees store;
    store.markerCount = 2;
    const std::vector<std::vector<std::pair<const char*, const char*>>> alleles = {
        {{"5", "1"}, {"12", "2"}, {"05", "3"}, {"A", "4"}, {"0", "5"}},
        {{"3", "1"}, {"5000", "2"}}};  // a number too large for a table
    for (std::size_t marker = 0; marker < alleles.size(); ++marker) {
        auto* info = new MarkerInfo(std::to_string(marker));
        for (const auto& [name, newName] : alleles[marker]) {
            auto* allele = new Allele(name);
            allele->setAlleleNewName(newName);
            info->addAllele(allele);
        }
        store.markerInfo->insert(info);
    }
    store.useNewAlleleNames = true;
    const std::vector<std::vector<const char*>> genotypes = {{"12", "5", "3", "5000"},
                                                             {"05", "A", "4", "3"},
                                                             {"7", "99", "03", "5"},
                                                             {"0", "012", "", "x"}};
    for (std::size_t i = 0; i < genotypes.size(); ++i) {
        Person* person = addPerson(store, "1", std::to_string(i + 1));
        type(person, 0, genotypes[i][0], genotypes[i][1]);
        type(person, 1, genotypes[i][2], genotypes[i][3]);
    }
    ASSERT_TRUE(write(store, {"DO_NOT_PRINT_PHENOTYPES"}, {}));
    EXPECT_EQ(readText("pedfile.dat"),
              "1\t1\t0\t0\t1\t2 1 1 2 \n"
              "1\t2\t0\t0\t1\t3 4 -1 1 \n"
              "1\t3\t0\t0\t1\t-1 -1 -1 -1 \n"
              "1\t4\t0\t0\t1\t5 -1 -1 -1 \n");
}

// Values of every length up to past two words, sought among more phenotypes
// than sit at a tree's root, in an order other than the tree's.
TEST_F(EngineFilesTest, PhenotypeValuesOfAnyLengthAreFoundAmongManyPhenotypes) {
    Pedigrees store;
    Person* person = addPerson(store, "1", "1");
    const std::string letters = "abcdefghijklmnopqrstu";
    std::vector<std::string> plan = {"P99"};  // not held: written as 0
    std::string expected = "1\t1\t0\t0\t1\t0 ";
    for (std::size_t length = 21; length-- > 0;) {
        const std::string name = "P" + std::to_string(100 + length);
        person->addPhenotype(new Phenotype(name, letters.substr(0, length)));
        plan.push_back(name);
        expected += letters.substr(0, length) + " ";
    }
    ASSERT_TRUE(write(store, plan, {}));
    EXPECT_EQ(readText("pedfile.dat"), expected + "\n");
}

TEST_F(EngineFilesTest, EmptyStoreWritesAnEmptyFile) {
    Pedigrees store;
    test_support::writeText("pedfile.dat", "old text\n");
    ASSERT_TRUE(write(store, {}, {}));
    EXPECT_EQ(readText("pedfile.dat"), "");
}

TEST_F(EngineFilesTest, UnopenableFileIsReportedAndTheNextWriteStartsAfresh) {
    Pedigrees store;
    addPerson(store, "1", "1");
    std::string output;
    EXPECT_FALSE(write(store, {"DO_NOT_PRINT_PHENOTYPES"}, {}, &output, "no/such/dir/pedfile.dat"));
    EXPECT_EQ(output, "Error: Unable to open no/such/dir/pedfile.dat for wreiting!\n");
    ASSERT_TRUE(write(store, {"DO_NOT_PRINT_PHENOTYPES"}, {}));
    EXPECT_EQ(readText("pedfile.dat"), "1\t1\t0\t0\t1\t\n");
}

TEST_F(EngineFilesTest, FailedWriteIsReportedAndReturnsFalse) {
    Pedigrees store;
    addPerson(store, "1", "1");
    std::string output;
    // The device accepts the open but no byte of the text.
    EXPECT_FALSE(write(store, {"DO_NOT_PRINT_PHENOTYPES"}, {}, &output, "/dev/full"));
    EXPECT_EQ(output, "Error: Unable to write /dev/full!\n");
    EXPECT_EQ(store.pedigreeFileText.str(), "");
}

// The total LOD score of every recombination fraction of an MLINK
// "outfile.dat", in file order.
std::vector<std::pair<double, double>> lodScores(const std::string& outfile) {
    std::vector<std::pair<double, double>> scores;
    std::istringstream in(outfile);
    std::string line;
    double theta = -1.0;
    while (std::getline(in, line)) {
        if (line.rfind("THETAS", 0) == 0) {
            theta = std::stod(line.substr(6));
        }
        const auto lod = line.find("LOD SCORE =");
        if (lod != std::string::npos) {
            scores.emplace_back(theta, std::stod(line.substr(lod + 11)));
        }
    }
    return scores;
}

// A father affected by a fully penetrant dominant disease without
// phenocopies, typed 11/12, an unaffected mother typed 13/13 and five
// children: every child shows which paternal allele it received and whether
// it received the disease allele. Under one phase four children are
// non-recombinant and one recombinant, under the other the reverse, so the
// likelihood ratio against free recombination is
// ((1 - t)^4 t + t^4 (1 - t)) / 2 / 0.5^5.
TEST_F(EngineFilesTest, EngineGivesTheAnalyticLodsOfAFullyInformativeFamily) {
    Pedigrees store;
    store.linkageFormat = true;
    store.affectionStatusColumn = true;
    testing::internal::CaptureStdout();
    const bool read =
        store.readMapFile(sourcePath("pedigrees/tests/data/informative_family.map")) &&
        store.readPedigreeFile(sourcePath("pedigrees/tests/data/informative_family.ped")) &&
        store.readModelFile(sourcePath("pedigrees/tests/data/full_penetrance_dominant.model"));
    store.collapseAlleles();
    store.useNewAlleleNames = true;
    const bool generated = store.makeLinkageLocusFile();
    const std::string output = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(read && generated) << output;
    EXPECT_FALSE(store.hasLoops);

    ASSERT_TRUE(write(store, {"DISEASE_LOCUS"}, {"0"}));
    // The alleles 11, 12 and 13 reach the engine as 1, 2 and 3.
    EXPECT_EQ(readText("pedfile.dat"),
              "1\t1\t0\t0\t3\t0\t0\t1\t1\t2 1 2 \n"
              "1\t2\t0\t0\t3\t0\t0\t2\t0\t1 3 3 \n"
              "1\t3\t1\t2\t0\t4\t4\t1\t0\t2 1 3 \n"
              "1\t4\t1\t2\t0\t5\t5\t2\t0\t2 1 3 \n"
              "1\t5\t1\t2\t0\t6\t6\t1\t0\t2 1 3 \n"
              "1\t6\t1\t2\t0\t7\t7\t2\t0\t1 2 3 \n"
              "1\t7\t1\t2\t0\t0\t0\t1\t0\t2 2 3 \n");

    // The generated file scanned from 0.1 in the generated steps of 0.1.
    LinkageLocusFile& datafile = *store.linkageLocusFile;
    ASSERT_EQ(datafile.getNumberOfLoci(), 2);
    datafile.setRecombinationFraction(0.1);
    datafile.setRecombinationVaried(1);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(datafile.writeLocusFile("datafile.dat"));
    testing::internal::GetCapturedStdout();

    const auto unknown =
        test_support::runCommand(test_support::enginePath("unknownorlex").string());
    ASSERT_EQ(unknown.status, 0) << unknown.output;
    const auto mlink = test_support::runCommand(test_support::enginePath("mlinkorlex").string());
    ASSERT_EQ(mlink.status, 0) << mlink.output;

    const auto scores = lodScores(readText("outfile.dat"));
    ASSERT_EQ(scores.size(), 5u) << readText("outfile.dat");
    for (const auto& [theta, lod] : scores) {
        const double t = theta;
        const double ratio =
            (std::pow(1 - t, 4) * t + std::pow(t, 4) * (1 - t)) / 2 / std::pow(0.5, 5);
        EXPECT_NEAR(lod, std::log10(ratio), 1e-5) << "theta " << theta;
    }
    EXPECT_EQ(scores.front().first, 0.5);
    EXPECT_NEAR(scores[1].first, 0.1, 1e-9);
    EXPECT_NEAR(scores.back().first, 0.4, 1e-9);
}

}  // namespace
