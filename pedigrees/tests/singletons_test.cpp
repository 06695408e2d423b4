// Case and control singletons read in both layouts, paired into dummy
// pedigrees, and joined to the store's pedigrees.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "marker_map.h"
#include "pedigrees.h"
#include "test_support.h"
#include "utilities.h"

using test_support::writeText;

namespace {

struct Outcome {
    bool ok = false;
    std::string output;
};

class SingletonsTest : public test_support::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        writeMap("main.map", {"M1", "M2", "M3"});
        quietly([&] { store.markerMap->readMapFile("main.map"); });
        store.markerCount = store.markerMap->getMarkerCount();
        store.caseControlPhenotypeName = "T2D";
    }

    static void writeMap(const std::string& name, const std::vector<std::string>& markers) {
        std::string text = "CHROMOSOME HALDANE POSITION\n";
        for (std::size_t i = 0; i < markers.size(); ++i) {
            text += "1 " + std::to_string(10 * i) + " " + markers[i] + "\n";
        }
        writeText(name, text);
    }

    template <typename F>
    static std::string quietly(F&& step) {
        testing::internal::CaptureStdout();
        step();
        return testing::internal::GetCapturedStdout();
    }

    // Reads the kind's map (markers named) and then its genotype file.
    Outcome read(const std::string& kind, const std::vector<std::string>& mapMarkers,
                 const std::string& genotypes, bool linkageLayout = false) {
        const std::string map = kind + ".map";
        writeMap(map, mapMarkers);
        quietly([&] {
            if (kind == "cases") {
                store.readMapFileForCasePedigrees(map);
            } else {
                store.readMapFileForControlPedigrees(map);
            }
        });
        writeText(kind + ".txt", genotypes);
        Outcome run;
        run.output =
            quietly([&] { run.ok = store.readSingletonFile(kind + ".txt", kind, linkageLayout); });
        return run;
    }

    const Pedigree* dummy(const std::string& kind, std::size_t i) const {
        const std::vector<Pedigree*>& made =
            kind == "cases" ? store.casePedigrees : store.controlPedigrees;
        return i < made.size() ? made[i] : nullptr;
    }

    Pedigrees store;
};

// Person fields of a dummy pedigree: id, father, mother, sex, proband, the
// singleton's file id ("" for dummies) and its phenotype value ("" none).
struct Expected {
    std::string id, father, mother, sex, proband, singletonId, value;
};

void expectPedigree(const Pedigree* pedigree, const std::string& pedigreeId,
                    const std::vector<Expected>& persons) {
    ASSERT_NE(pedigree, nullptr);
    EXPECT_EQ(pedigree->getPedigreeId(), pedigreeId);
    EXPECT_EQ(pedigree->getPersonTree()->count, static_cast<int>(persons.size()));
    for (const Expected& e : persons) {
        SCOPED_TRACE(pedigreeId + " person " + e.id);
        const Person* person = pedigree->getPerson(e.id);
        ASSERT_NE(person, nullptr);
        EXPECT_EQ(person->getPedigreeId(), pedigreeId);
        EXPECT_EQ(person->getPersonId(), e.id);
        EXPECT_EQ(person->getFatherId(), e.father);
        EXPECT_EQ(person->getMotherId(), e.mother);
        EXPECT_EQ(person->getSex(), e.sex);
        EXPECT_EQ(person->getProbandStatus(), e.proband);
        EXPECT_EQ(person->getFOID(), e.id == "3" ? "0" : "3");
        EXPECT_EQ(person->getNPSID(), "0");
        EXPECT_EQ(person->getNMSID(), "0");
        EXPECT_EQ(person->singletonId, e.singletonId);
        const Phenotype* phenotype = person->getPhenotype("T2D");
        EXPECT_EQ(phenotype != nullptr ? phenotype->getValue() : "", e.value);
    }
}

TEST_F(SingletonsTest, CasesOfOppositeSexArePairedInFileOrder) {
    const Outcome run = read("cases", {"M1"},
                             "1\n"
                             "a 1 1 2\n"
                             "b 1 1 1\n"
                             "c 2 2 2\n"
                             "d 2 1 2\n");

    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_EQ(store.caseSingletonCount, 4);
    EXPECT_EQ(store.getCaseControlPedigreeCount("case"), 2u);
    expectPedigree(dummy("cases", 0), "900000",
                   {{"1", "0", "0", "1", "1", "a", "2"},
                    {"2", "0", "0", "2", "0", "c", "2"},
                    {"3", "1", "2", "2", "0", "", ""}});
    expectPedigree(dummy("cases", 1), "900001",
                   {{"1", "0", "0", "1", "1", "b", "2"},
                    {"2", "0", "0", "2", "0", "d", "2"},
                    {"3", "1", "2", "2", "0", "", ""}});
    const Marker* genotype = dummy("cases", 0)->getPerson("2")->getMarker("0");
    ASSERT_NE(genotype, nullptr);
    EXPECT_EQ(genotype->getAllele(0), "2");
    EXPECT_EQ(genotype->getAllele(1), "2");
    EXPECT_NE(run.output.find("Singleton (cases) genotype file...\n(Phenotype name: T2D)\n"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("(Number of singletons: 4)\n # of case pedigrees created    : 2\n"
                              "...done.\n"),
              std::string::npos)
        << run.output;
}

TEST_F(SingletonsTest, TheFirstSingletonOfAPairIsTheProbandWhateverItsSex) {
    const Outcome run = read("cases", {"M1"}, "1\nf 2 1 1\nm 1 1 2\n");

    ASSERT_TRUE(run.ok) << run.output;
    expectPedigree(dummy("cases", 0), "900000",
                   {{"1", "0", "0", "2", "1", "f", "2"},
                    {"2", "0", "0", "1", "0", "m", "2"},
                    {"3", "2", "1", "2", "0", "", ""}});
}

TEST_F(SingletonsTest, LoneSingletonsGetADummySpouse) {
    const Outcome run = read("controls", {"M1"}, "1\np 1 1 1\nq 1 1 1\nr 1 1 1\n");

    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_EQ(store.controlSingletonCount, 3);
    const std::vector<std::string> ids = {"800000", "800001", "800002"};
    const std::vector<std::string> singletons = {"p", "q", "r"};
    for (std::size_t i = 0; i < ids.size(); ++i) {
        expectPedigree(dummy("controls", i), ids[i],
                       {{"1", "0", "0", "1", "1", singletons[i], "1"},
                        {"2", "0", "0", "2", "0", "", ""},
                        {"3", "1", "2", "2", "0", "", ""}});
    }
    EXPECT_NE(run.output.find(" # of control pedigrees created : 3\n"), std::string::npos);
    // Only "case" selects the cases.
    EXPECT_EQ(store.getCaseControlPedigreeCount("cases"), 3u);
    EXPECT_EQ(store.getCaseControlPedigreeCount("case"), 0u);
}

TEST_F(SingletonsTest, ALoneFemaleSingletonGetsAMaleSpouse) {
    const Outcome run = read("cases", {"M1"}, "1\nu 2 1 1");

    ASSERT_TRUE(run.ok) << run.output;
    expectPedigree(dummy("cases", 0), "900000",
                   {{"1", "0", "0", "2", "1", "u", "2"},
                    {"2", "0", "0", "1", "0", "", ""},
                    {"3", "2", "1", "2", "0", "", ""}});
}

TEST_F(SingletonsTest, PedigreeIdsOfThePedigreeFileAreSkipped) {
    store.pedigreeTree->insert(new Pedigree("900000"));
    store.pedigreeTree->insert(new Pedigree("900002"));

    const Outcome run = read("cases", {"M1"}, "1\na 1 1 1\nb 1 1 1\nc 1 1 1\n");

    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_EQ(dummy("cases", 0)->getPedigreeId(), "900001");
    EXPECT_EQ(dummy("cases", 1)->getPedigreeId(), "900003");
    EXPECT_EQ(dummy("cases", 2)->getPedigreeId(), "900004");
}

TEST_F(SingletonsTest, LinkageLayoutRecordsNameSingletonsByPedigreeAndPerson) {
    const Outcome run = read("controls", {"M1", "M2"}, "12 3 0 0 2 1 1 2 3 4\n", true);

    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_NE(run.output.find("Singleton file is in LINKAGE format...\n"), std::string::npos);
    const Person* person = dummy("controls", 0)->getPerson("1");
    ASSERT_NE(person, nullptr);
    EXPECT_EQ(person->singletonId, "12.3");
    EXPECT_EQ(person->getSex(), "2");
    EXPECT_EQ(person->getMarker("1")->getAllele(1), "4");
}

TEST_F(SingletonsTest, AllelePairsAreTypedMissingOrHalfTyped) {
    struct Case {
        const char* alleles;
        bool ok;
        bool typed;
    };
    const Case cases[] = {
        {"3 4", true, true},   {"0 0", true, false},  {"x 5", true, false},
        {"0 5", false, false}, {"0 x", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.alleles);
        const std::size_t before = store.casePedigrees.size();

        const Outcome run = read("cases", {"M1"}, std::string("1\ns 1 ") + c.alleles + "\n");

        EXPECT_EQ(run.ok, c.ok) << run.output;
        if (c.ok) {
            ASSERT_EQ(store.casePedigrees.size(), before + 1);
            const Person* person = store.casePedigrees.back()->getPerson("1");
            EXPECT_EQ(person->getMarker("0") != nullptr, c.typed);
        } else {
            EXPECT_NE(run.output.find("Error: Singleton file cases.txt, line 2: singleton s is "
                                      "halftyped (" +
                                      std::string(c.alleles).replace(1, 1, "/") +
                                      ") at marker M1 (marker_index: 0)!\n"),
                      std::string::npos)
                << run.output;
            EXPECT_EQ(store.casePedigrees.size(), before);
        }
    }
}

TEST_F(SingletonsTest, GenotypesGoToTheMainMapMarkerOfTheSameName) {
    // The control map numbers its markers in another order than the main
    // map; the case map has a marker the main map lacks.
    ASSERT_TRUE(read("controls", {"M3", "M1"}, "2\nk 1 7 8 5 6\n").ok);
    const Outcome run = read("cases", {"M1", "Z9", "M3"}, "3\na 1 1 2 3 4 5 6\nb 1 1 1 3 3 5 5\n");

    ASSERT_TRUE(run.ok) << run.output;
    const Person* control = dummy("controls", 0)->getPerson("1");
    EXPECT_EQ(control->getMarker("2")->getAllele(0), "7");
    EXPECT_EQ(control->getMarker("0")->getAllele(0), "5");
    const Person* first = dummy("cases", 0)->getPerson("1");
    EXPECT_EQ(first->getMarker("0")->getAllele(1), "2");
    EXPECT_EQ(first->getMarker("2")->getAllele(1), "6");
    EXPECT_NE(run.output.find("Warning: Singleton marker 'Z9' not found from original marker map "
                              "file! This marker will not be analyzed!\n"),
              std::string::npos)
        << run.output;
    // The unknown marker's genotypes take indices above the main map's, one
    // per singleton.
    EXPECT_EQ(first->getMarker("3")->getAllele(0), "3");
    const Pedigree* second = dummy("cases", 1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->getPerson("1")->getMarker("4")->getAllele(0), "3");
    EXPECT_EQ(first->getMarkerTree()->count, 3);
}

TEST_F(SingletonsTest, AnEmptyMainMapLeavesEveryMarkerUnanalysed) {
    const std::unique_ptr<MarkerMap> mainMap(store.markerMap);
    store.markerMap = new MarkerMap();

    const Outcome run = read("controls", {"M1"}, "1\nk 1 1 2");

    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_NE(run.output.find("Warning: Singleton marker 'M1' not found"), std::string::npos);
    EXPECT_NE(dummy("controls", 0)->getPerson("1")->getMarker("0"), nullptr);
}

TEST_F(SingletonsTest, FailedReadsChangeNothing) {
    struct Case {
        const char* what;
        std::string genotypes;
        bool linkageLayout;
        std::string message;
    };
    const std::string longWord(longestInputWord + 1, '\0');
    const auto atLine = [](int line, const std::string& problem) {
        return "Error: Singleton file cases.txt, line " + std::to_string(line) + ": singleton " +
               problem + "!\n";
    };
    const std::string ownWords = "id, sex, then two alleles for each of the 2 markers)";
    const std::string linkageWords =
        "pedigree, person, father, mother, sex, affection, then two alleles for each of the 2 "
        "markers)";
    const std::vector<Case> cases = {
        // Read as one stream of words, a missing allele would make the next
        // singleton's id an allele.
        {"a record short of an allele", "2\na 1 1 2 3\nb 2 1 1 2 2\n", false,
         atLine(2, "a has 5 words, 6 expected (" + ownWords)},
        {"a record with a word to spare", "2\na 1 1 2 3 4\nb 2 1 1 2 2 5\n", false,
         atLine(3, "b has 7 words, 6 expected (" + ownWords)},
        {"a last record cut short", "2\r\n\na 1 1 2 3 4\r\n\t\nb 2 1", false,
         atLine(5, "b has 3 words, 6 expected (" + ownWords)},
        {"a LINKAGE record cut short in its leading words", "1 2 0 0 1 1 1 2 3 4\n7 8 0", true,
         atLine(2, "7.8 has 3 words, 10 expected (" + linkageWords)},
        {"a count that differs from the map's", "3\na 1 1 2 3 4\n", false,
         "Error: Singleton marker map file marker count doesn't match with singleton genotype "
         "file marker count! The first line of singleton file cases.txt must hold the number of "
         "markers alone, 2 for its map\n"},
        {"a count with a record on its line", "2 a 1 1 2 3 4\n", false,
         "Error: Singleton marker map file marker count doesn't match with singleton genotype "
         "file marker count! The first line of singleton file cases.txt must hold the number of "
         "markers alone, 2 for its map\n"},
        {"no count", "", false,
         "Error: Singleton marker map file marker count doesn't match with singleton genotype "
         "file marker count! The first line of singleton file cases.txt must hold the number of "
         "markers alone, 2 for its map\n"},
        // The engine crashes on any other sex code.
        {"a sex other than 1 or 2", "2\na 1 1 2 3 4\nb 7 1 1 2 2\n", false,
         atLine(3, "b has the sex 7, not 1 (male) or 2 (female)")},
        {"an id given twice", "2\na 1 1 2 3 4\nb 2 1 1 2 2\na 2 1 1 2 2\n", false,
         atLine(4, "a is given a second time (first at line 2)")},
        {"a LINKAGE id given twice", "1 2 0 0 1 1 1 2 3 4\n1 2 0 0 2 1 1 1 2 2\n", true,
         atLine(2, "1.2 is given a second time (first at line 1)")},
        {"a word longer than any real input", "2\na 1 1 2 3 " + longWord + "\n", false,
         "Error: Unable to read singleton file cases.txt: line 2 holds a word of more than "
         "1048576 characters, longer than any real input!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome run = read("cases", {"M1", "M2"}, c.genotypes, c.linkageLayout);

        EXPECT_FALSE(run.ok);
        EXPECT_EQ(
            run.output.substr(run.output.size() - std::min(run.output.size(), c.message.size())),
            c.message)
            << run.output;
        EXPECT_TRUE(store.casePedigrees.empty());
        EXPECT_EQ(store.caseSingletonCount, 0);
    }
}

// A male has one X: two different alleles of a male at an X-linked marker
// are a fault, which the engine would take for a genotype.
TEST_F(SingletonsTest, XLinkedDataRefuseAHeterozygousMale) {
    store.xlinked = true;
    const Outcome females = read("controls", {"M1", "M2"}, "2\nf 2 1 2 3 4\nm 1 1 1 0 0\n");
    ASSERT_TRUE(females.ok) << females.output;

    const Outcome male = read("cases", {"M1", "M2"}, "2\nf 2 1 2 3 4\nm 1 1 1 3 4\n");
    EXPECT_FALSE(male.ok);
    EXPECT_TRUE(test_support::contains(
        male.output,
        "Error: Singleton file cases.txt, line 3: singleton m is a male heterozygous (3/4) at "
        "marker M2 (marker_index: 1) of X-linked data!\n"))
        << male.output;
    EXPECT_TRUE(store.casePedigrees.empty());
}

// Every singleton of one file given as both kinds would be a case and a
// control at once.
TEST_F(SingletonsTest, OneFileGivenAsCasesAndControlsIsRefused) {
    ASSERT_TRUE(read("controls", {"M1"}, "1\nk 1 1 2\n").ok);
    writeMap("cases.map", {"M1"});
    quietly([&] { store.readMapFileForCasePedigrees("cases.map"); });
    for (const char* spelling : {"controls.txt", "./controls.txt"}) {
        Outcome run;
        run.output = quietly([&] { run.ok = store.readSingletonFile(spelling, "cases", false); });
        EXPECT_FALSE(run.ok);
        EXPECT_TRUE(test_support::contains(
            run.output, "Error: Singleton file " + std::string(spelling) +
                            " is given as the genotype file of both the cases and the controls: "
                            "every singleton of it would be both\n"))
            << run.output;
        EXPECT_TRUE(store.casePedigrees.empty());
    }
}

// Each singleton's partner is the first later one of the other sex still
// unpaired, however the sexes come; a long run of one sex costs no search
// over the singletons already passed.
TEST_F(SingletonsTest, PairingFollowsFileOrderAtAnyScale) {
    std::string text = "1\n";
    const int males = 20000;
    for (int i = 0; i < males; ++i) {
        text += "m" + std::to_string(i) + " 1 1 1\n";
    }
    text += "f0 2 1 1\nf1 2 1 1\n";
    const Outcome run = read("cases", {"M1"}, text);

    ASSERT_TRUE(run.ok);
    ASSERT_EQ(store.casePedigrees.size(), static_cast<std::size_t>(males));
    EXPECT_EQ(dummy("cases", 0)->getPerson("2")->singletonId, "f0");
    EXPECT_EQ(dummy("cases", 1)->getPerson("2")->singletonId, "f1");
    const Pedigree* last = dummy("cases", males - 1);
    EXPECT_EQ(last->getPerson("1")->singletonId, "m" + std::to_string(males - 1));
    EXPECT_EQ(last->getPerson("2")->singletonId, "");
}

TEST_F(SingletonsTest, GenotypeFilesNeedTheirMapAndAReadableFile) {
    writeText("controls.txt", "1\nk 1 1 2");
    Outcome run;
    run.output =
        quietly([&] { run.ok = store.readSingletonFile("controls.txt", "controls", false); });
    EXPECT_FALSE(run.ok);
    EXPECT_NE(run.output.find("Error: Unable to open control genotype file before control map "
                              "file!\n"),
              std::string::npos);
    EXPECT_TRUE(store.controlPedigrees.empty());
    EXPECT_EQ(store.controlSingletonCount, 0);

    run.output = quietly([&] { run.ok = store.readSingletonFile("cases.txt", "cases", false); });
    EXPECT_NE(run.output.find("Error: Unable to open case genotype file before case map file!\n"),
              std::string::npos);

    writeMap("cases.map", {"M1"});
    quietly([&] { store.readMapFileForCasePedigrees("cases.map"); });
    run.output = quietly([&] { run.ok = store.readSingletonFile("missing.txt", "cases", false); });
    EXPECT_FALSE(run.ok);
    EXPECT_NE(run.output.find("Error: Unable to open singleton file missing.txt for reading!\n"),
              std::string::npos);
}

TEST_F(SingletonsTest, CombiningAddsCasesAndControlsToTheStore) {
    ASSERT_TRUE(read("controls", {"M1"}, "1\nk 1 1 2\nl 2 1 1\n").ok);
    ASSERT_TRUE(read("cases", {"M1"}, "1\na 1 1 2\n").ok);
    store.pedigreeTree->insert(new Pedigree("1"));

    EXPECT_TRUE(store.combinePedigreesAndSingletons());

    EXPECT_EQ(store.pedigreeTree->count, 3);
    EXPECT_EQ(store.pedigreeTree->find("900000"), store.casePedigrees[0]);
    EXPECT_EQ(store.pedigreeTree->find("800000"), store.controlPedigrees[0]);
    EXPECT_EQ(store.getPedigreePersonCount(), 6);
}

// A pedigree with a dummy's id arrives after the dummy ids were chosen: the
// clash is reported and no dummy pedigree is merged, of either kind.
void expectClashReported(Pedigrees& store, const std::string& taken) {
    store.pedigreeTree->insert(new Pedigree(taken));
    testing::internal::CaptureStdout();
    EXPECT_FALSE(store.combinePedigreesAndSingletons());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Ooops! Pedigree file contains already pedigree id '" + taken + "'!\n");
    EXPECT_EQ(store.pedigreeTree->count, 1);
}

TEST_F(SingletonsTest, ACollidingCaseIdIsReportedAndNothingIsMerged) {
    ASSERT_TRUE(read("controls", {"M1"}, "1\nk 1 1 2\n").ok);
    ASSERT_TRUE(read("cases", {"M1"}, "1\na 1 1 2\n").ok);
    expectClashReported(store, "900000");
}

TEST_F(SingletonsTest, ACollidingControlIdIsReportedAndNothingIsMerged) {
    ASSERT_TRUE(read("controls", {"M1"}, "1\nk 1 1 2\n").ok);
    ASSERT_TRUE(read("cases", {"M1"}, "1\na 1 1 2\n").ok);
    expectClashReported(store, "800000");
}

}  // namespace
