// Case and control singletons read in both layouts, paired into dummy
// pedigrees, and joined to the store's pedigrees.
#include <algorithm>
#include <memory>
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
    const Outcome run = read("cases", {"M1"}, "1 f 2 1 1 m 1 1 2");

    ASSERT_TRUE(run.ok) << run.output;
    expectPedigree(dummy("cases", 0), "900000",
                   {{"1", "0", "0", "2", "1", "f", "2"},
                    {"2", "0", "0", "1", "0", "m", "2"},
                    {"3", "2", "1", "2", "0", "", ""}});
}

TEST_F(SingletonsTest, LoneSingletonsGetADummySpouse) {
    const Outcome run = read("controls", {"M1"}, "1 p 1 1 1 q 1 1 1 r 1 1 1");

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
    const Outcome run = read("cases", {"M1"}, "1 u 2 1 1");

    ASSERT_TRUE(run.ok) << run.output;
    expectPedigree(dummy("cases", 0), "900000",
                   {{"1", "0", "0", "2", "1", "u", "2"},
                    {"2", "0", "0", "1", "0", "", ""},
                    {"3", "2", "1", "2", "0", "", ""}});
}

TEST_F(SingletonsTest, PedigreeIdsOfThePedigreeFileAreSkipped) {
    store.pedigreeTree->insert(new Pedigree("900000"));
    store.pedigreeTree->insert(new Pedigree("900002"));

    const Outcome run = read("cases", {"M1"}, "1 a 1 1 1 b 1 1 1 c 1 1 1");

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

        const Outcome run = read("cases", {"M1"}, std::string("1 s 1 ") + c.alleles + "\n");

        EXPECT_EQ(run.ok, c.ok) << run.output;
        if (c.ok) {
            ASSERT_EQ(store.casePedigrees.size(), before + 1);
            const Person* person = store.casePedigrees.back()->getPerson("1");
            EXPECT_EQ(person->getMarker("0") != nullptr, c.typed);
        } else {
            EXPECT_NE(run.output.find("Error: Singleton s halftyped at marker_index: 0\n"
                                      "*** Problem with singleton file format? ***\n"),
                      std::string::npos)
                << run.output;
            EXPECT_EQ(store.casePedigrees.size(), before);
        }
    }
}

TEST_F(SingletonsTest, GenotypesGoToTheMainMapMarkerOfTheSameName) {
    // The control map numbers its markers in another order than the main
    // map; the case map has a marker the main map lacks.
    ASSERT_TRUE(read("controls", {"M3", "M1"}, "2 k 1 7 8 5 6").ok);
    const Outcome run = read("cases", {"M1", "Z9", "M3"}, "3 a 1 1 2 3 4 5 6 b 1 1 1 3 3 5 5");

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

    const Outcome run = read("controls", {"M1"}, "1 k 1 1 2");

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
    const std::vector<Case> cases = {
        {"a record cut short in its alleles", "2 a 1 1 2 3 4\nb 2 1 1\n", false,
         "Error: Singleton file cases.txt ends inside the record of singleton b starting at line "
         "2!\n"},
        {"a record cut short in its leading words", "1 2 0 0 1 1 1 2 3 4\n7 8 0", true,
         "Error: Singleton file cases.txt ends inside the record of singleton 7.8 starting at "
         "line 2!\n"},
        {"a count that differs from the map's", "3 a 1 1 2 3 4", false,
         "Error: Singleton marker map file marker count doesn't match with singleton genotype "
         "file marker count!\n"},
        // The engine crashes on any other sex code.
        {"a sex other than 1 or 2", "2 a 1 1 2 3 4\nb 7 1 1 2 2\n", false,
         "Error: Singleton file cases.txt, line 2: the sex of singleton b is 7, not 1 (male) or 2 "
         "(female)!\n"},
        {"no count", "", false,
         "Error: Singleton marker map file marker count doesn't match with singleton genotype "
         "file marker count!\n"},
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

TEST_F(SingletonsTest, GenotypeFilesNeedTheirMapAndAReadableFile) {
    writeText("controls.txt", "1 k 1 1 2");
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
    ASSERT_TRUE(read("controls", {"M1"}, "1 k 1 1 2 l 2 1 1").ok);
    ASSERT_TRUE(read("cases", {"M1"}, "1 a 1 1 2").ok);
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
    ASSERT_TRUE(read("controls", {"M1"}, "1 k 1 1 2").ok);
    ASSERT_TRUE(read("cases", {"M1"}, "1 a 1 1 2").ok);
    expectClashReported(store, "900000");
}

TEST_F(SingletonsTest, ACollidingControlIdIsReportedAndNothingIsMerged) {
    ASSERT_TRUE(read("controls", {"M1"}, "1 k 1 1 2").ok);
    ASSERT_TRUE(read("cases", {"M1"}, "1 a 1 1 2").ok);
    expectClashReported(store, "800000");
}

}  // namespace
