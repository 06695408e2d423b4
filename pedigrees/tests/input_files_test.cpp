// The map, phenotype and marker-selection files of the store.
#include <string>
#include <vector>

#include "marker_map.h"
#include "pedigrees.h"
#include "test_support.h"

using test_support::writeText;

namespace {

struct Outcome {
    bool ok = false;
    std::string output;
};

template <typename Read>
Outcome captured(Read read) {
    testing::internal::CaptureStdout();
    Outcome outcome;
    outcome.ok = read();
    outcome.output = testing::internal::GetCapturedStdout();
    return outcome;
}

// Pedigrees 1 and 2 with persons 1, 2, 3 each, as read from a pedigree file
// with an affection column; with converted set, they carry the original ids
// "F<pedigree>" and "P<person>".
void addFamilies(Pedigrees& store, bool converted = false) {
    for (const char* pedigreeId : {"1", "2"}) {
        auto* pedigree = new Pedigree(pedigreeId);
        if (converted) {
            pedigree->originalPedigreeId = std::string("F") + pedigreeId;
        }
        for (const char* id : {"1", "2", "3"}) {
            auto* person = new Person(pedigreeId, id, "0", "0", "1");
            if (converted) {
                person->setOriginalPedigreeId(std::string("F") + pedigreeId);
                person->setOriginalPersonId(std::string("P") + id);
            }
            pedigree->addPerson(person);
        }
        store.pedigreeTree->insert(pedigree);
    }
    store.phenotypeNames = {"DISEASE_LOCUS"};
    store.convertedLinkageFormat = converted;
    store.pedigreeFileRead = true;
}

std::string value(Pedigrees& store, const std::string& pedigree, const std::string& person,
                  const std::string& name) {
    const Phenotype* p = store.pedigreeTree->find(pedigree)->getPerson(person)->getPhenotype(name);
    return p == nullptr ? "none" : p->getValue();
}

class InputFilesTest : public test_support::TempDirTest {};

TEST_F(InputFilesTest, MapFileSetsTheMarkerCountAndLayout) {
    writeText("plink.map", "1 rs1 0.5 100\n1 rs2 1.5 200\n");
    Pedigrees store;
    store.plinkMapFormat = true;
    const Outcome outcome = captured([&] { return store.readMapFile("plink.map"); });
    ASSERT_TRUE(outcome.ok) << outcome.output;
    EXPECT_EQ(store.mapFileName, "plink.map");
    EXPECT_EQ(store.markerCount, 2);
    EXPECT_TRUE(store.getMarkerMap()->plinkFormat);
    EXPECT_EQ(store.getMarkerMap()->getMarkerName("1"), "rs2");
}

TEST_F(InputFilesTest, GeneratedMapLeavesOutSlinkAndMakepedColumns) {
    struct Case {
        std::string line;
        bool post;
        bool affection;
        int markers;
    };
    const std::vector<Case> cases = {
        {"1 1 0 0 1 2 1 2 3 4 1 2 3 4 5 simu", false, true, 2},
        {"1 1 0 0 1 2 1 2 3 4 Ped: 7 Per: 8", false, true, 2},
        {"1 1 0 0 0 0 0 1 1 2 1 2 3 4 5 6", true, true, 3},
        {"1 1 0 0 1 1 2 3 4", false, false, 2},
    };
    for (const Case& c : cases) {
        writeText("gen.ped", c.line + "\n" + c.line + "\n");
        Pedigrees store;
        store.linkageFormat = c.post;
        store.affectionStatusColumn = c.affection;
        const Outcome outcome = captured([&] { return store.makeMapFile("gen.ped"); });
        ASSERT_TRUE(outcome.ok) << c.line;
        EXPECT_EQ(store.markerCount, c.markers) << c.line;
        EXPECT_EQ(store.getMarkerMap()->getMarkerName(std::to_string(c.markers - 1)),
                  "MARKER" + std::to_string(c.markers))
            << c.line;
    }
}

TEST_F(InputFilesTest, GeneratedMapNeedsAFileOfUniformLines) {
    for (const std::string text : {"", "1 1 0 0 1 2 1 2\n1 2 0 0 2 2 1\n"}) {
        writeText("gen.ped", text);
        Pedigrees store;
        store.affectionStatusColumn = true;
        EXPECT_FALSE(captured([&] { return store.makeMapFile("gen.ped"); }).ok) << text;
        EXPECT_EQ(store.markerCount, 0);
    }
}

TEST_F(InputFilesTest, PhenotypeValuesAreStoredAndMissingCodesAreNot) {
    writeText("test.phen",
              "2\tBMI  SCORE extra words after the names\n"
              "1 1 24.5 x\n"
              "1 2 - 0\n"
              "2 3 . 2\n");
    Pedigrees store;
    addFamilies(store);
    const Outcome outcome = captured([&] { return store.readPhenotypeFile("test.phen"); });
    ASSERT_TRUE(outcome.ok) << outcome.output;
    EXPECT_EQ(outcome.output, "Reading phenotype file: test.phen...done\n");
    EXPECT_EQ(store.phenotypeFileName, "test.phen");
    EXPECT_EQ(store.phenotypeNames, (std::vector<std::string>{"DISEASE_LOCUS", "BMI", "SCORE"}));
    EXPECT_EQ(value(store, "1", "1", "BMI"), "24.5");
    EXPECT_EQ(value(store, "1", "1", "SCORE"), "none");
    EXPECT_EQ(value(store, "1", "2", "BMI"), "none");
    EXPECT_EQ(value(store, "1", "2", "SCORE"), "none");
    EXPECT_EQ(value(store, "2", "3", "SCORE"), "2");
    EXPECT_EQ(value(store, "2", "1", "SCORE"), "none");  // not in the file
}

TEST_F(InputFilesTest, ConvertedPedigreesAreFoundByTheirOriginalIds) {
    writeText("test.phen", "1 BMI\nF2 P3 31\n");
    Pedigrees store;
    addFamilies(store, true);
    const Outcome outcome = captured([&] { return store.readPhenotypeFile("test.phen"); });
    ASSERT_TRUE(outcome.ok) << outcome.output;
    EXPECT_EQ(value(store, "2", "3", "BMI"), "31");
}

TEST_F(InputFilesTest, ShortLastRowWarnsAndStoresNothingForTheMissingValue) {
    writeText("test.phen", "3 A B C\n1 1 5 6 7\n1 2 8 9\n");
    Pedigrees store;
    addFamilies(store);
    const Outcome outcome = captured([&] { return store.readPhenotypeFile("test.phen"); });
    ASSERT_TRUE(outcome.ok) << outcome.output;
    EXPECT_EQ(outcome.output,
              "Reading phenotype file: test.phen\n"
              "Warning: Value for Phenotype: C not found at line: 3 of phenotype file test.phen\n"
              "...done\n");
    EXPECT_EQ(value(store, "1", "2", "B"), "9");
    EXPECT_EQ(value(store, "1", "2", "C"), "none");
}

TEST_F(InputFilesTest, PersonListedTwiceWithOnlyMissingValuesIsNoDuplicate) {
    writeText("test.phen", "1 A\n1 1 5\n1 1 x\n");
    Pedigrees store;
    addFamilies(store);
    EXPECT_TRUE(captured([&] { return store.readPhenotypeFile("test.phen"); }).ok);
}

struct PhenotypeFailure {
    const char* name;
    std::string text;
    std::string output;  // what follows "Reading phenotype file: test.phen"
};

void PrintTo(const PhenotypeFailure& c, std::ostream* os) {
    *os << c.name;
}

// What follows "Reading phenotype file: test.phen" when the read fails.
std::string failed(const std::string& problem) {
    return "...failed\nError: Phenotype file test.phen: " + problem + "\n";
}

class PhenotypeFailureTest : public test_support::TempDirTest,
                             public testing::WithParamInterface<PhenotypeFailure> {};

TEST_P(PhenotypeFailureTest, FailsWithItsMessage) {
    const PhenotypeFailure& c = GetParam();
    writeText("test.phen", c.text);
    Pedigrees store;
    addFamilies(store);
    const Outcome outcome = captured([&] { return store.readPhenotypeFile("test.phen"); });
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.output, "Reading phenotype file: test.phen" + c.output);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, PhenotypeFailureTest,
    testing::Values(
        PhenotypeFailure{"ZeroPhenotypes", "0 A\n",
                         failed("Number of phenotypes:0 at line 1 ...check your files!")},
        PhenotypeFailure{"CountNotANumber", "abc A\n1 1 2\n",
                         failed("Number of phenotypes:0 at line 1 ...check your files!")},
        PhenotypeFailure{"CountWithTrailingText", "2x A B\n",
                         failed("Number of phenotypes:0 at line 1 ...check your files!")},
        PhenotypeFailure{"NegativeCount", "\n-2 A B\n",
                         failed("Number of phenotypes:-2 at line 2 ...check your files!")},
        PhenotypeFailure{"EmptyFile", "",
                         failed("Number of phenotypes:0 at line 1 ...check your files!")},
        PhenotypeFailure{"NameOfThePedigreeFile", "2 A DISEASE_LOCUS\n",
                         failed("duplicate phenotypename: DISEASE_LOCUS at phenotypecolumn: 2, "
                                "line 1")},
        PhenotypeFailure{"NameTwice", "2 A A\n",
                         failed("duplicate phenotypename: A at phenotypecolumn: 2, line 1")},
        PhenotypeFailure{"ReservedName", "1 NIL\n",
                         failed("Phenotype name can't be NIL at phenotypecolumn: 1, line 1")},
        PhenotypeFailure{"TooFewNames", "3 A B\n",
                         failed("The header at line 1 names 2 phenotypes, but its count is 3: "
                                "phenotype name missing at phenotypecolumn 3")},
        // The header is one line: names are never taken from the lines of
        // persons after it.
        PhenotypeFailure{"NamesOnLaterLines", "2\nBMI\nSCORE\n1 1 3 4\n",
                         failed("The header at line 1 names 0 phenotypes, but its count is 2: "
                                "phenotype name missing at phenotypecolumn 1")},
        PhenotypeFailure{"ShortHeader", "2 A\n1 1 5 6\n1 2 7 8\n",
                         failed("The header at line 1 names 1 phenotypes, but its count is 2: "
                                "phenotype name missing at phenotypecolumn 2")},
        // Values are matched by position: a short row before the last one
        // would move every later value onto the wrong person.
        PhenotypeFailure{"ShortRow", "2 A B\n1 1 5\n1 2 7 8\n",
                         failed("Wrong number of values at line: 2 Pedigree 1 Person 1 has 1 "
                                "values, 2 expected")},
        PhenotypeFailure{"LongRow", "1 A\n1 1 5\n1 2 7 8\n",
                         failed("Wrong number of values at line: 3 Pedigree 1 Person 2 has 2 "
                                "values, 1 expected")},
        // Lines are counted as in the file, blank ones included.
        PhenotypeFailure{"UnknownPedigree", "1 A\n\n1 1 5\r\n9 1 5\n",
                         failed("Pedigree not found for phenotype at line: 4 Pedigree 9 "
                                "Person 1 does not match with pedigree file!")},
        PhenotypeFailure{"UnknownPerson", "1 A\n2 4 5\n",
                         failed("Pedigree found, but not person at line: 2 Pedigree 2 Person "
                                "4 does not match with pedigree file!")},
        PhenotypeFailure{"DuplicatePhenotype", "1 A\n1 1 5\n1 1 6\n",
                         failed("Duplicate phenotype at line: 3 name: A Pedigree 1 Person 1")}),
    [](const testing::TestParamInfo<PhenotypeFailure>& info) { return info.param.name; });

TEST_F(InputFilesTest, PhenotypeFileBeforeThePedigreeFileFails) {
    writeText("test.phen", "1 A\n");
    Pedigrees store;
    const Outcome outcome = captured([&] { return store.readPhenotypeFile("test.phen"); });
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.output,
              "Reading phenotype file: test.phen...failed\n"
              "Error: Unable to open phenotype file before Pedigreefile \n");
}

TEST_F(InputFilesTest, UnopenablePhenotypeFileFails) {
    Pedigrees store;
    addFamilies(store);
    const Outcome outcome = captured([&] { return store.readPhenotypeFile("none.phen"); });
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.output,
              "Reading phenotype file: none.phen...failed\n"
              "Error: Unable to open phenotype file none.phen for reading.\n");
}

// A map of M1 at 1 cM, M2 at 2 cM, M3 at 3 cM and a marker named 12.
void readFourMarkerMap(Pedigrees& store) {
    writeText("test.map", "CHR HALDANE POS\n1 1 M1\n1 2 M2\n1 3 M3\n1 4 12\n");
    ASSERT_TRUE(captured([&] { return store.readMapFile("test.map"); }).ok);
}

TEST_F(InputFilesTest, OnlymarkersFileSelectsMarkersAndMovesThem) {
    writeText("only.txt",
              "CHROMOSOME POSITION NAME\n"
              "2 10 M3 rest of the line\n"
              "\n"
              "2 10 M1\n"
              "3 12.5 M2\n"
              "NULL 13 12\n"
              "4 14 M3\n");
    Pedigrees store;
    readFourMarkerMap(store);
    const Outcome outcome = captured([&] { return store.readOnlyMarkersFile("only.txt"); });
    ASSERT_TRUE(outcome.ok) << outcome.output;
    EXPECT_EQ(outcome.output, "Reading onlymarkers file only.txt...done \n");
    EXPECT_EQ(store.onlyMarkerNames, (std::vector<std::string>{"M3", "M1", "M2"}));
    const Marker* m2 = store.getMarkerMap()->getMarkerWithName("M2");
    EXPECT_DOUBLE_EQ(m2->getPosition(), 12.5);
    EXPECT_EQ(m2->getChromosome(), "3");
}

TEST_F(InputFilesTest, OnlymarkersListEndsAtALineOfFewerThanThreeWords) {
    writeText("only.txt", "a b c\n1 5 M1\n1 6\n1 7 M2\n");
    Pedigrees store;
    readFourMarkerMap(store);
    ASSERT_TRUE(captured([&] { return store.readOnlyMarkersFile("only.txt"); }).ok);
    EXPECT_EQ(store.onlyMarkerNames, std::vector<std::string>{"M1"});
}

// The header is one line, however few or many its words: the first marker's
// line is never taken for the rest of a short header.
TEST_F(InputFilesTest, OnlymarkersHeaderIsItsFirstLine) {
    for (const char* header : {"CHR POS\n", "MARKERS\n", "\n\t\nCHR POS NAME NOTE\r\n"}) {
        writeText("only.txt", std::string(header) + "1 5 M1\n1 6 M2\n");
        Pedigrees store;
        readFourMarkerMap(store);
        const Outcome outcome = captured([&] { return store.readOnlyMarkersFile("only.txt"); });
        ASSERT_TRUE(outcome.ok) << header << outcome.output;
        EXPECT_EQ(store.onlyMarkerNames, (std::vector<std::string>{"M1", "M2"})) << header;
    }
}

// A selection of no marker would analyse every marker.
TEST_F(InputFilesTest, OnlymarkersFileThatSelectsNoMarkerIsAnError) {
    for (const char* text : {"", "CHR POS NAME\n", "M1\nM2\nM3\n", "1 M1 10 100\n"}) {
        writeText("only.txt", text);
        Pedigrees store;
        readFourMarkerMap(store);
        const Outcome outcome = captured([&] { return store.readOnlyMarkersFile("only.txt"); });
        EXPECT_FALSE(outcome.ok) << text;
        EXPECT_TRUE(store.onlyMarkerNames.empty()) << text;
        EXPECT_NE(outcome.output.find(
                      "...failed\nError: The onlymarkers file only.txt selects no marker: after a "
                      "header line it needs one line per marker: chromosome, position (cM), "
                      "marker name\n"),
                  std::string::npos)
            << outcome.output;
    }
}

TEST_F(InputFilesTest, OnlymarkersHeaderNamingAMapMarkerIsSkippedWithAWarning) {
    writeText("only.txt", "1 1 M1\n1 2 M2\n");
    Pedigrees store;
    readFourMarkerMap(store);
    const Outcome outcome = captured([&] { return store.readOnlyMarkersFile("only.txt"); });
    ASSERT_TRUE(outcome.ok) << outcome.output;
    EXPECT_EQ(outcome.output,
              "Reading onlymarkers file only.txt\nWarning: The first line of onlymarkers file "
              "only.txt names the map marker M1, but it is the header line and is skipped\n"
              "...done \n");
    EXPECT_EQ(store.onlyMarkerNames, std::vector<std::string>{"M2"});
}

TEST_F(InputFilesTest, OnlymarkersFailures) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"1 10 M1\n1 9 M2\n", "Error: Marker position must be linear"},
        {"1 10 M1\n1 11 M9\n", "Error: Marker M9 not found "},
        {"1 12 M1\n", "Error: onlymarkers file not correct "},
        {"1 M1 10\n", "Error: onlymarkers file not correct "},
        {"1 abc M1\n", "Error: Marker position abc is not a number at line: 2"},
        {"1 20 M1\n1 21 M2\n1 22 M1\n",
         "Error: Marker M1 at line 4 of onlymarkers file only.txt is selected a second time"},
        {"1 10 M1\n1 11cM M2\n", "Error: Marker position 11cM is not a number at line: 3"},
    };
    for (const auto& [entries, message] : cases) {
        writeText("only.txt", "CHR POS NAME\n" + entries);
        Pedigrees store;
        readFourMarkerMap(store);
        const Outcome outcome = captured([&] { return store.readOnlyMarkersFile("only.txt"); });
        EXPECT_FALSE(outcome.ok) << entries;
        EXPECT_EQ(outcome.output, "Reading onlymarkers file only.txt...failed\n" + message + "\n")
            << entries;
    }
    Pedigrees store;
    const Outcome outcome = captured([&] { return store.readOnlyMarkersFile("none.txt"); });
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.output,
              "Reading onlymarkers file none.txt...failed\n"
              "Error: Unable to open onlymarkers file none.txt for reading!\n");
}

}  // namespace
