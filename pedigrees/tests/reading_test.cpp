// The pedigree file reader: column layouts, stored records, progress lines
// and failure messages.
#include <string>
#include <vector>

#include "engine_limits.h"
#include "marker_info.h"
#include "marker_map.h"
#include "pedigrees.h"
#include "test_support.h"
#include "utilities.h"

using test_support::readText;
using test_support::writeText;

namespace {

struct Outcome {
    bool ok = false;
    std::string output;
};

// A map of n markers M1 .. Mn, 10 cM apart.
void writeMap(const std::string& name, int n) {
    std::string text = "CHR HALDANE POS\n";
    for (int i = 1; i <= n; ++i) {
        text += "1 " + std::to_string(10 * i) + " M" + std::to_string(i) + "\n";
    }
    writeText(name, text);
}

struct Layout {
    bool post = false;
    bool affection = true;
    bool liability = false;
    bool xlinked = false;
    bool converted = false;

    Layout& set(bool Layout::*flag, bool value = true) {
        this->*flag = value;
        return *this;
    }
};

// Reads the pedigree text with the given layout, after a map of mapMarkers
// markers when that is not negative.
Outcome read(Pedigrees& store, const std::string& pedigreeText, int mapMarkers,
             Layout layout = {}) {
    writeText("test.ped", pedigreeText);
    store.linkageFormat = layout.post;
    store.affectionStatusColumn = layout.affection;
    store.liabilityClassColumn = layout.liability;
    store.xlinked = layout.xlinked;
    store.convertedLinkageFormat = layout.converted;
    testing::internal::CaptureStdout();
    if (mapMarkers >= 0) {
        writeMap("test.map", mapMarkers);
        store.readMapFile("test.map");
    }
    Outcome outcome;
    outcome.ok = store.readPedigreeFile("test.ped");
    outcome.output = testing::internal::GetCapturedStdout();
    return outcome;
}

Person* person(Pedigrees& store, const std::string& pedigree, const std::string& id) {
    Pedigree* p = store.pedigreeTree->find(pedigree);
    return p == nullptr ? nullptr : p->getPerson(id);
}

std::string genotype(Person* p, int marker) {
    const Marker* m = p->getMarker(std::to_string(marker));
    return m == nullptr ? "untyped" : m->getAllele(0) + "/" + m->getAllele(1);
}

std::string phenotype(Person* p, const std::string& name) {
    const Phenotype* ph = p->getPhenotype(name);
    return ph == nullptr ? "none" : ph->getValue();
}

// A nuclear family before MAKEPED with affection status and three markers.
const char* const nuclearFamily =
    "1 1 0 0 1 2  1 2  3 4  5 6\n"
    "1 2 0 0 2 1  3 3  1 1  0 0\n"
    "1 3 1 2 2 2  1 3  3 1  5 6\n";

class ReadingTest : public test_support::TempDirTest {};

TEST_F(ReadingTest, ReadsPreMakepedFileIntoPedigreesPersonsPhenotypesAndGenotypes) {
    Pedigrees store;
    const Outcome outcome = read(store, nuclearFamily, 3);
    ASSERT_TRUE(outcome.ok) << outcome.output;
    EXPECT_NE(outcome.output.find("Reading pedigree file: test.ped\n"), std::string::npos);
    EXPECT_NE(outcome.output.find("(Total number of pedigrees 1)\n(Total number of persons 3)\n"),
              std::string::npos);
    EXPECT_NE(outcome.output.find("...done.\n"), std::string::npos);
    EXPECT_TRUE(store.pedigreeFileRead);
    EXPECT_EQ(store.pedigreeFileName, "test.ped");
    EXPECT_EQ(store.phenotypeNames, std::vector<std::string>{"DISEASE_LOCUS"});

    Person* child = person(store, "1", "3");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->getFatherId(), "1");
    EXPECT_EQ(child->getMotherId(), "2");
    EXPECT_EQ(child->getSex(), "2");
    EXPECT_EQ(child->getFOID(), "-999");
    EXPECT_EQ(phenotype(child, "DISEASE_LOCUS"), "2");
    EXPECT_EQ(genotype(child, 0), "1/3");
    EXPECT_EQ(genotype(child, 1), "3/1");
    EXPECT_EQ(genotype(person(store, "1", "2"), 2), "untyped");
    // The marker information is built: marker 0 holds the alleles 1, 2, 3.
    ASSERT_NE(store.markerInfo->find("0"), nullptr);
    EXPECT_EQ(store.markerInfo->find("0")->getAlleleCount(), 3);
}

TEST_F(ReadingTest, PostMakepedFileWithMakepedColumnsKeepsPointersAndOriginalIds) {
    Pedigrees store;
    const Outcome outcome = read(store,
                                 "1 1 0 0 3 0 0 1 1 2 1 2 Ped: F7 Per: dad\n"
                                 "1 2 0 0 3 0 0 2 0 1 3 4 Ped: F7 Per: mum\n"
                                 "1 3 1 2 0 0 0 1 0 2 1 3 Ped: F7 Per: kid\n",
                                 1, Layout().set(&Layout::post).set(&Layout::converted));
    ASSERT_TRUE(outcome.ok) << outcome.output;
    EXPECT_NE(outcome.output.find(
                  "(Pedigree file contains MAKEPED extra columns at the end...ignoring them)\n"),
              std::string::npos);
    Person* father = person(store, "1", "1");
    ASSERT_NE(father, nullptr);
    EXPECT_EQ(father->getFOID(), "3");
    EXPECT_EQ(father->getNPSID(), "0");
    EXPECT_EQ(father->getProbandStatus(), "1");
    EXPECT_EQ(father->getOriginalPersonId(), "dad");
    EXPECT_EQ(father->originalPedigreeId, "F7");
    EXPECT_EQ(store.pedigreeTree->find("1")->originalPedigreeId, "F7");
    EXPECT_EQ(genotype(person(store, "1", "3"), 0), "1/3");
}

TEST_F(ReadingTest, SlinkColumnsAreIgnored) {
    Pedigrees plain;
    ASSERT_TRUE(read(plain, nuclearFamily, 3).ok);
    Pedigrees slink;
    // One SLINK column far longer than any fixed skip limit.
    const std::string slinkColumns = " 1 2 3 4 " + std::string(30000, 'z') + " simu\n";
    std::string text;
    for (std::string line : {"1 1 0 0 1 2  1 2  3 4  5 6", "1 2 0 0 2 1  3 3  1 1  0 0",
                             "1 3 1 2 2 2  1 3  3 1  5 6"}) {
        text += line + slinkColumns;
    }
    const Outcome outcome = read(slink, text, 3);
    ASSERT_TRUE(outcome.ok) << outcome.output;
    EXPECT_NE(outcome.output.find(
                  "(Pedigree file contains SLINK extra columns at the end...ignoring them)\n"),
              std::string::npos);
    for (const char* id : {"1", "2", "3"}) {
        for (int m = 0; m < 3; ++m) {
            EXPECT_EQ(genotype(person(slink, "1", id), m), genotype(person(plain, "1", id), m));
        }
    }
}

TEST_F(ReadingTest, MissingCodesStoreNothing) {
    Pedigrees store;
    const Outcome outcome = read(store,
                                 "1 1 0 0 1 -9 x  0 0  - 3\n"
                                 "1 2 0 0 2 1  2  1 2  . 3\n"
                                 "1 3 1 2 2 2  .  1 1  3 x\n",
                                 2, Layout().set(&Layout::liability));
    ASSERT_TRUE(outcome.ok) << outcome.output;
    EXPECT_EQ(store.phenotypeNames, (std::vector<std::string>{"DISEASE_LOCUS", "LIABILITY_CLASS"}));
    Person* father = person(store, "1", "1");
    EXPECT_EQ(phenotype(father, "DISEASE_LOCUS"), "none");
    EXPECT_EQ(phenotype(father, "LIABILITY_CLASS"), "none");
    EXPECT_EQ(genotype(father, 0), "untyped");
    EXPECT_EQ(genotype(father, 1), "untyped");
    Person* mother = person(store, "1", "2");
    EXPECT_EQ(phenotype(mother, "LIABILITY_CLASS"), "2");
    EXPECT_EQ(genotype(mother, 0), "1/2");
    EXPECT_EQ(genotype(person(store, "1", "3"), 1), "untyped");
}

TEST_F(ReadingTest, LinesOfOnePedigreeNeedNotBeAdjacent) {
    Pedigrees store;
    const Outcome outcome = read(store,
                                 "7 1 0 0 1 1 1 2\n"
                                 "8 1 0 0 1 1 1 2\n"
                                 "7 2 0 0 2 1 1 2\n"
                                 "8 2 0 0 2 1 1 2\n"
                                 "7 3 1 2 1 1 1 1\n"
                                 "8 3 1 2 1 1 2 2\n",
                                 1);
    ASSERT_TRUE(outcome.ok) << outcome.output;
    EXPECT_EQ(store.pedigreeTree->count, 2);
    EXPECT_EQ(store.pedigreeTree->find("7")->personTree->count, 3);
    EXPECT_EQ(store.pedigreeTree->find("8")->personTree->count, 3);
}

TEST_F(ReadingTest, WithoutMapTheMarkerCountComesFromTheColumns) {
    Pedigrees store;
    const Outcome outcome = read(store, nuclearFamily, -1);
    ASSERT_TRUE(outcome.ok) << outcome.output;
    EXPECT_EQ(store.markerCount, 3);
    EXPECT_EQ(outcome.output.find("mapfile claims"), std::string::npos);
    EXPECT_EQ(store.getMarkerMap()->getMarkerName("2"), "MARKER3");
    EXPECT_EQ(genotype(person(store, "1", "1"), 2), "5/6");
}

// An empty map file is no map: the markers of the pedigree file get the
// generated map, and the user is told.
TEST_F(ReadingTest, AnEmptyMapFileGetsTheGeneratedMapWithAWarning) {
    Pedigrees store;
    const Outcome outcome = read(store, nuclearFamily, 0);
    ASSERT_TRUE(outcome.ok) << outcome.output;
    EXPECT_EQ(store.markerCount, 3);
    EXPECT_EQ(store.getMarkerMap()->getMarkerName("2"), "MARKER3");
    EXPECT_NE(outcome.output.find("Warning: The map file test.map holds no marker: a map of 3 "
                                  "markers named by their column (MARKER1, ...), 10 cM apart, "
                                  "is used\n"),
              std::string::npos)
        << outcome.output;
}

TEST_F(ReadingTest, WindowsLineEndsAndTrailingBlankLinesReadLikeUnixOnes) {
    Pedigrees store;
    const Outcome outcome = read(store,
                                 "1 1 0 0 1 2 1 2\r\n"
                                 "1 2 0 0 2 1 3 3\r\n"
                                 "1 3 1 2 2 2 1 3\r\n"
                                 "\r\n   \n\t\n\n",
                                 1);
    ASSERT_TRUE(outcome.ok) << outcome.output;
    EXPECT_NE(outcome.output.find("(Total number of persons 3)\n"), std::string::npos);
    EXPECT_EQ(genotype(person(store, "1", "3"), 0), "1/3");
}

TEST_F(ReadingTest, XlinkedDataSkipTheMendelianCheck) {
    Pedigrees store;
    // The son's allele 9 comes from neither parent.
    const Outcome outcome = read(store, "1 1 0 0 1 1 1 1\n1 2 0 0 2 1 2 2\n1 3 1 2 1 2 9 9\n", 1,
                                 Layout().set(&Layout::xlinked));
    ASSERT_TRUE(outcome.ok) << outcome.output;
    EXPECT_NE(outcome.output.find("(Mendelian error check disabled for X-linked data)\n"),
              std::string::npos);
    EXPECT_FALSE(store.mendelianErrorsFound);
}

TEST_F(ReadingTest, MendelianErrorsAreReportedWithoutFailingTheRead) {
    Pedigrees store;
    const Outcome outcome = read(store, "1 1 0 0 1 1 1 1\n1 2 0 0 2 1 2 2\n1 3 1 2 1 2 9 9\n", 1);
    ASSERT_TRUE(outcome.ok) << outcome.output;
    EXPECT_NE(outcome.output.find("Mendelian errors found! \n...done.\n"), std::string::npos);
    EXPECT_TRUE(store.mendelianErrorsFound);
    EXPECT_FALSE(readText("mendel.err").empty());
}

TEST_F(ReadingTest, FamilyErrorsFailTheReadAfterAllLinesWereRead) {
    Pedigrees store;
    const Outcome outcome = read(store, "1 1 0 0 1 1 1 1\n1 2 1 0 2 1 1 2\n", 1);
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(store.pedigreeFileRead);
    EXPECT_NE(readText("family.err").find("Error: pedigree contains less than 3 members"),
              std::string::npos);
    EXPECT_EQ(outcome.output.find("...done.", outcome.output.find("Reading pedigree file")),
              std::string::npos);
}

// Each case fails the read with "...failed" and then the given message line.
struct FailureCase {
    const char* name;
    std::string text;
    int mapMarkers;
    Layout layout;
    std::string message;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadingFailureTest : public test_support::TempDirTest,
                           public testing::WithParamInterface<FailureCase> {};

TEST_P(ReadingFailureTest, FailsWithItsMessage) {
    const FailureCase& c = GetParam();
    Pedigrees store;
    const Outcome outcome = read(store, c.text, c.mapMarkers, c.layout);
    EXPECT_FALSE(outcome.ok);
    // Every failure line starts with "Error: ".
    const std::string marked = c.message.rfind("Error: ", 0) == 0 ? "" : "Error: ";
    EXPECT_NE(outcome.output.find("...failed\n" + marked + c.message + "\n"), std::string::npos)
        << outcome.output;
}

const std::string family3 = "1 1 0 0 1 2 1 2 3 4 5 6\n1 2 0 0 2 1 3 3 1 1 0 0\n";

INSTANTIATE_TEST_SUITE_P(
    Messages, ReadingFailureTest,
    testing::Values(
        FailureCase{"MarkerCountDiffersFromMap",
                    family3,
                    4,
                    {},
                    "Pedigree file contains 3 marker(s) and mapfile claims 4"},
        FailureCase{"NonUniformColumns",
                    "1 1 0 0 1 2 1 2\n1 2 0 0 2 1 3\n",
                    1,
                    {},
                    "Unable to read pedigree file that hasn't a standard column count: test.ped "
                    "line 2 Pedigree 1 Person 2 has 7 columns, 8 expected"},
        FailureCase{"EmptyFile",
                    "\n\n",
                    1,
                    {},
                    "Unable to read pedigree file that hasn't a standard column count"},
        FailureCase{"NoUniformColumnsAndNoMap",
                    "1 1 0 0 1 2 1 2\n1 2 0 0 2 1 3\n",
                    -1,
                    {},
                    "Unable to generate mapfile for pedigree file that hasn't a standard column "
                    "count"},
        // The file has an affection column that the flags do not announce:
        // its column count also fits four markers without one, but then a
        // line lacks an allele and would take it from the next line.
        FailureCase{"AffectionColumnNotAnnounced", family3, 4,
                    Layout().set(&Layout::affection, false),
                    "Unable to read pedigree file that hasn't a standard column count: test.ped "
                    "line 1 Pedigree 1 Person 1 has 12 columns, 13 expected"},
        // An announced affection column that the file lacks leaves one
        // column over, which would shift every allele by one.
        FailureCase{"AffectionColumnMissing",
                    "1 1 0 0 1 1 2 3 4\n1 2 0 0 2 3 3 1 1\n",
                    1,
                    {},
                    "Unable to read pedigree file that hasn't a standard column count: test.ped "
                    "line 1 Pedigree 1 Person 1 has 9 columns, 8 expected"},
        FailureCase{"UnknownSex",
                    "1 1 0 0 0 x 1 2\n",
                    1,
                    {},
                    "Unknown gender status: Pedigree: 1 Person: 1 sex: 0"},
        // The engine would take these for unaffected.
        FailureCase{"AffectionStatusNine",
                    "1 1 0 0 1 2 1 2\n1 2 0 0 2 9 1 2\n",
                    1,
                    {},
                    "Error: Affection status 9 of person 2 of pedigree 1 at line 2 of pedigree "
                    "file test.ped: use 0 (unknown), 1 (unaffected) or 2 (affected)"},
        FailureCase{"AffectionStatusMinusOne",
                    "1 1 0 0 1 -1 1 2\n",
                    1,
                    {},
                    "Error: Affection status -1 of person 1 of pedigree 1 at line 1 of pedigree "
                    "file test.ped: use 0 (unknown), 1 (unaffected) or 2 (affected)"},
        FailureCase{"LiabilityClassZero", "1 1 0 0 1 2 1 1 2\n1 2 0 0 2 2 0 1 2\n", 1,
                    Layout().set(&Layout::liability), "Liability class can't be 0 at line: 2"},
        // The engine follows the pointer columns unchecked: a person who is
        // not there crashes it, a sib chain that loops hangs it.
        FailureCase{"FirstOffspringNamesNoPerson",
                    "1 1 0 0 -1 0 0 1 0 2 1 2\n1 2 0 0 3 0 0 2 0 1 1 1\n"
                    "1 3 1 2 0 0 0 1 0 2 1 2\n",
                    1, Layout().set(&Layout::post),
                    "Error: The first offspring (column 5) of person 1 of pedigree 1 at line 1 "
                    "of pedigree file test.ped names person -1, who is not in the pedigree (0 "
                    "for none)"},
        FailureCase{"NextPaternalSibIsThePersonItself",
                    "1 1 0 0 3 0 0 1 0 2 1 2\n1 2 0 0 3 0 0 2 0 1 1 1\n"
                    "1 3 1 2 0 3 0 1 0 2 1 2\n",
                    1, Layout().set(&Layout::post),
                    "Error: The next paternal sib (column 6) of person 3 of pedigree 1 at line 3 "
                    "of pedigree file test.ped names person 3, which makes the chain of sibs "
                    "loop back to itself"},
        FailureCase{"NextMaternalSibsLoop",
                    "1 1 0 0 3 0 0 1 0 2 1 2\n1 2 0 0 3 0 0 2 0 1 1 1\n"
                    "1 3 1 2 0 4 4 1 0 2 1 2\n1 4 1 2 0 0 3 1 0 2 1 2\n",
                    1, Layout().set(&Layout::post),
                    "Error: The next maternal sib (column 7) of person 4 of pedigree 1 at line 4 "
                    "of pedigree file test.ped names person 3, which makes the chain of sibs "
                    "loop back to itself"},
        // The engine reads post-MAKEPED ids as numbers: a word crashes it, a
        // negative pedigree id silently gets a LOD of 0.
        FailureCase{"PostMakepedPedigreeIdNotANumber",
                    "A 1 0 0 3 0 0 1 0 2 1 2\nA 2 0 0 3 0 0 2 0 1 1 1\n"
                    "A 3 1 2 0 0 0 1 0 2 1 2\n",
                    1, Layout().set(&Layout::post),
                    "Error: The pedigree id A at line 1 of pedigree file test.ped is not a whole "
                    "number from 1 to 2147483647 written without leading zeros, as the engine "
                    "reads a post-MAKEPED file"},
        FailureCase{"PostMakepedPersonIdBeyondTheEngine",
                    "1 1 0 0 3 0 0 1 0 2 1 2\n1 2 0 0 3 0 0 2 0 1 1 1\n1 " +
                        std::to_string(orlexEngineLimits.persons + 1) + " 1 2 0 0 0 1 0 2 1 2\n",
                    1, Layout().set(&Layout::post),
                    "Error: The person id " + std::to_string(orlexEngineLimits.persons + 1) +
                        " of pedigree 1 at line 3 of pedigree file test.ped is not a whole number "
                        "from 1 to " +
                        std::to_string(orlexEngineLimits.persons) +
                        " written without leading zeros, as the engine reads a post-MAKEPED "
                        "file"},
        // A pointer to someone who is no such child crashes the engine or
        // silently changes the pedigree's likelihood.
        FailureCase{"FirstOffspringIsNoChildOfThePerson",
                    "1 1 0 0 2 0 0 1 0 2 1 2\n1 2 0 0 3 0 0 2 0 1 1 1\n"
                    "1 3 1 2 0 0 0 1 0 2 1 2\n",
                    1, Layout().set(&Layout::post),
                    "Error: The first offspring (column 5) of person 1 of pedigree 1 at line 1 "
                    "of pedigree file test.ped names person 2, who is not a child of the person "
                    "(0 for none)"},
        FailureCase{"NextMaternalSibIsTheMother",
                    "1 1 0 0 3 0 0 1 0 2 1 2\n1 2 0 0 3 0 0 2 0 1 1 1\n"
                    "1 3 1 2 0 0 2 1 0 2 1 2\n",
                    1, Layout().set(&Layout::post),
                    "Error: The next maternal sib (column 7) of person 3 of pedigree 1 at line 3 "
                    "of pedigree file test.ped names person 2, who is not a child of the same "
                    "mother (0 for none)"},
        FailureCase{"ParentWithoutFirstOffspring",
                    "1 1 0 0 0 0 0 1 0 2 1 2\n1 2 0 0 3 0 0 2 0 1 1 1\n"
                    "1 3 1 2 0 0 0 1 0 2 1 2\n",
                    1, Layout().set(&Layout::post),
                    "Error: The first offspring (column 5) of person 1 of pedigree 1 at line 1 "
                    "of pedigree file test.ped and the next paternal sib (column 6) of its "
                    "children lead to none of them: person 3 is not reached"},
        FailureCase{"MaternalSibChainStopsShort",
                    "1 1 0 0 3 0 0 1 0 2 1 2\n1 2 0 0 3 0 0 2 0 1 1 1\n"
                    "1 3 1 2 0 4 0 1 0 2 1 2\n1 4 1 2 0 0 0 2 0 2 1 2\n",
                    1, Layout().set(&Layout::post),
                    "Error: The first offspring (column 5) of person 2 of pedigree 1 at line 2 "
                    "of pedigree file test.ped and the next maternal sib (column 7) of its "
                    "children lead to some of them: person 4 is not reached"},
        // The engine crashes on a proband status it does not know.
        FailureCase{"ProbandStatusNotANumber",
                    "1 1 0 0 3 0 0 1 x 2 1 2\n1 2 0 0 3 0 0 2 0 1 1 1\n"
                    "1 3 1 2 0 0 0 1 0 2 1 2\n",
                    1, Layout().set(&Layout::post),
                    "Error: The proband status (column 9) x of person 1 of pedigree 1 at line 1 "
                    "of pedigree file test.ped is not 0, 1 or a loop breaker's number"},
        FailureCase{"LoopBreakerNumberOnOnePerson",
                    "1 1 0 0 3 0 0 1 3 2 1 2\n1 2 0 0 3 0 0 2 0 1 1 1\n"
                    "1 3 1 2 0 0 0 1 0 2 1 2\n",
                    1, Layout().set(&Layout::post),
                    "Error: The proband status (column 9) 3 of person 1 of pedigree 1 at line 1 "
                    "of pedigree file test.ped marks a loop breaker, but 1 persons of the "
                    "pedigree carry it, not its two copies"},
        FailureCase{"HalfTyped",
                    "1 1 0 0 1 2 1 2 0 3\n",
                    2,
                    {},
                    "Pedigree 1 Person 1 halftyped (0/3) at marker_index: 1, line 1\n"
                    " *** Problem with pedigree file format? ***"},
        // A male has one X; a female may be heterozygous, and a male missing
        // at the marker is no fault.
        FailureCase{"XLinkedHeterozygousMale",
                    "1 1 0 0 1 2 1 1 0 0\n1 2 0 0 2 2 1 2 3 4\n1 3 1 2 1 2 1 1 3 4\n", 2,
                    Layout().set(&Layout::xlinked),
                    "Error: Pedigree file test.ped, line 3: person 3 of pedigree 1 is a male "
                    "heterozygous (3/4) at marker M2 (marker_index: 1) of X-linked data"},
        FailureCase{
            "WordLongerThanAnyRealInput",
            "1 1 0 0 1 2 1 2\n1 2 0 0 2 2 1 " + std::string(longestInputWord + 1, '\0') + "\n",
            1,
            {},
            "Error: The pedigree file test.ped: line 2 holds a word of more than 1048576 "
            "characters, longer than any real input"},
        FailureCase{"DuplicatePerson",
                    "1 1 0 0 1 2 1 2\n2 1 0 0 1 2 1 2\n1 1 0 0 2 2 1 2\n",
                    1,
                    {},
                    "Duplicate person at line: 3 personid: 1\n"
                    " *** Problem with pedigree file format? ***"},
        FailureCase{"ReservedPedigreeId",
                    "NIL 1 0 0 1 2 1 2\n",
                    1,
                    {},
                    "Pedigree and person ids can't be NIL at line: 1 Pedigree NIL Person 1"},
        FailureCase{"ReservedPersonId",
                    "1 1 0 0 1 2 1 2\n1 NIL 0 0 1 2 1 2\n",
                    1,
                    {},
                    "Pedigree and person ids can't be NIL at line: 2 Pedigree 1 Person NIL"}),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST_F(ReadingTest, UnopenableFileFailsWithItsMessage) {
    Pedigrees store;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(store.readPedigreeFile("missing.ped"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Reading pedigree file: missing.ped\n...failed\n"
              "Error: Unable to open pedigree file missing.ped for reading.\n");
}

}  // namespace
