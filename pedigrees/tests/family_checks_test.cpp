// Family-structure checks, their "family.err" blocks, and the loop search.
#include <pthread.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pedigree_builder.h"
#include "pedigrees.h"
#include "test_support.h"

namespace {

using test_support::readText;

class FamilyChecksTest : public test_support::TempDirTest {
  protected:
    // Runs the check the way the pedigree reader does; returns what it printed.
    std::string writeErrors() { return writeErrors(store); }
    std::string writeErrors(Pedigrees& checked) {
        testing::internal::CaptureStdout();
        errorsFound = checked.writeFamilyErrors("family.err");
        return testing::internal::GetCapturedStdout();
    }

    // Founders 1 and 2 with children 3 (male) and 4 (female).
    void addNuclearFamily(const std::string& pedigree) {
        addPerson(store, pedigree, "1", "0", "0", "1");
        addPerson(store, pedigree, "2", "0", "0", "2");
        addPerson(store, pedigree, "3", "1", "2", "1");
        addPerson(store, pedigree, "4", "1", "2", "2");
    }

    Pedigrees store;
    bool errorsFound = false;
};

std::string loopLine(const std::string& pedigree) {
    return "(Atleast one marrige or consanguinty loop found from the pedigree " + pedigree + ")\n";
}

TEST_F(FamilyChecksTest, SoundPedigreesWriteNothing) {
    addNuclearFamily("1");
    EXPECT_EQ(writeErrors(), "");
    EXPECT_FALSE(errorsFound);
    EXPECT_FALSE(store.hasLoops);
    EXPECT_FALSE(std::filesystem::exists("family.err"));
}

struct PersonSpec {
    std::string id, father, mother, sex;
};

struct PersonErrorCase {
    const char* what;
    std::vector<PersonSpec> persons;  // of pedigree 7, each connected to the rest
    std::string expected;
    bool alsoLoop = false;  // a person who is its own parent also closes a loop
};

TEST_F(FamilyChecksTest, PersonErrorsGiveOneBlockEach) {
    const std::vector<PersonErrorCase> cases = {
        {"father id 0",
         {{"1", "0", "0", "1"}, {"2", "0", "0", "2"}, {"3", "0", "2", "1"}, {"4", "1", "2", "2"}},
         "\n#### Pedigree 7 ####\nError:   father id is 0 but mother id is not\n"
         "Father 0 Mother 2\nChild 3\n"},
        {"mother id 0",
         {{"1", "0", "0", "1"}, {"2", "0", "0", "2"}, {"3", "1", "0", "1"}, {"4", "1", "2", "2"}},
         "\n#### Pedigree 7 ####\nError: mother id is 0 but father id is not\n"
         "Father 1 Mother 0\nChild 3\n"},
        {"both parents missing",
         {{"2", "0", "0", "2"}, {"3", "8", "9", "1"}, {"4", "3", "2", "2"}},
         "\n#### Pedigree 7 ####\nError:  father is not found\nFather 8 Mother 9\nChild 3\n"
         "\n#### Pedigree 7 ####\nError: mother is not found\nFather 8 Mother 9\nChild 3\n"},
        {"female father",
         {{"1", "0", "0", "2"}, {"2", "0", "0", "2"}, {"3", "1", "2", "1"}},
         "\n#### Pedigree 7 ####\nError: father found but gender wrong\n"
         "Father 1 Mother 2\nChild 3\n"},
        {"male mother",
         {{"1", "0", "0", "1"}, {"2", "0", "0", "1"}, {"3", "1", "2", "1"}},
         "\n#### Pedigree 7 ####\nError:  mother found but gender wrong\n"
         "Father 1 Mother 2\nChild 3\n"},
        {"own father",
         {{"1", "0", "0", "1"}, {"2", "0", "0", "2"}, {"3", "3", "2", "1"}, {"4", "1", "2", "2"}},
         "\n#### Pedigree 7 ####\nError:  child id is same as father id\n"
         "Father 3 Mother 2\nChild 3\n",
         true},
        {"own mother",
         {{"1", "0", "0", "1"}, {"2", "0", "0", "2"}, {"3", "1", "3", "2"}, {"4", "1", "2", "2"}},
         "\n#### Pedigree 7 ####\nError:  child id is same as mother id \n"
         "Father 1 Mother 3\nChild 3\n",
         true},
    };
    for (const PersonErrorCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove("family.err");
        Pedigrees checked;
        for (const PersonSpec& person : c.persons) {
            addPerson(checked, "7", person.id, person.father, person.mother, person.sex);
        }
        EXPECT_EQ(writeErrors(checked), (c.alsoLoop ? loopLine("7") : "") + c.expected);
        EXPECT_TRUE(errorsFound);
        EXPECT_EQ(readText("family.err"), c.expected);
        EXPECT_EQ(checked.familyErrorText.str(), "");
    }
}

TEST_F(FamilyChecksTest, PedigreeOfTwoPersonsIsTooSmall) {
    addPerson(store, "5", "1", "0", "0", "1");
    addPerson(store, "5", "2", "1", "0", "2");
    const std::string expected =
        "\n#### Pedigree 5 ####\nError: pedigree contains less than 3 members\n"
        "\n#### Pedigree 5 ####\nError: mother id is 0 but father id is not\n"
        "Father 1 Mother 0\nChild 2\n";
    EXPECT_EQ(writeErrors(), expected);
    EXPECT_TRUE(errorsFound);
}

TEST_F(FamilyChecksTest, PedigreeNotWholeSuppressesEveryOtherCheck) {
    addNuclearFamily("1");
    addPerson(store, "1", "5", "0", "0", "1");
    addPerson(store, "1", "6", "0", "0", "2");
    addPerson(store, "1", "7", "5", "6", "1");
    // Pedigree 2 has a structure error, not reported.
    addPerson(store, "2", "1", "0", "0", "1");
    addPerson(store, "2", "2", "0", "0", "1");
    addPerson(store, "2", "3", "1", "2", "1");
    EXPECT_EQ(writeErrors(), "\n#### Pedigree 1 ####\nError: this pedigree is not whole\n");
    EXPECT_TRUE(errorsFound);
    EXPECT_TRUE(store.pedigreeNotWhole);
    EXPECT_FALSE(store.hasLoops);
}

TEST_F(FamilyChecksTest, OwnAncestorIsAnErrorThoughEveryParentIsPresent) {
    // 4's father is 5, whose mother is 4.
    addPerson(store, "1", "1", "0", "0", "1");
    addPerson(store, "1", "2", "0", "0", "2");
    addPerson(store, "1", "3", "1", "2", "1");
    addPerson(store, "1", "4", "5", "2", "2");
    addPerson(store, "1", "5", "3", "4", "1");
    const std::string expected =
        "\n#### Pedigree 1 ####\nError: person is their own ancestor\nFather 5 Mother 2\n"
        "Child 4\n";
    EXPECT_EQ(writeErrors(), expected);
    EXPECT_TRUE(errorsFound);
    EXPECT_EQ(readText("family.err"), expected);
}

TEST_F(FamilyChecksTest, PedigreeWithoutFounderIsReportedAsACycle) {
    addPerson(store, "9", "1", "3", "4", "1");
    addPerson(store, "9", "2", "3", "4", "2");
    addPerson(store, "9", "3", "1", "2", "1");
    addPerson(store, "9", "4", "1", "2", "2");
    EXPECT_EQ(writeErrors(),
              "\n#### Pedigree 9 ####\nError: person is their own ancestor\nFather 3 Mother 4\n"
              "Child 1\n");
    EXPECT_TRUE(errorsFound);
}

TEST_F(FamilyChecksTest, MarriageAndConsanguinityLoopsAreFoundButNoError) {
    // Pedigree 1: brothers 3 and 4 marry sisters 7 and 8.
    addPerson(store, "1", "1", "0", "0", "1");
    addPerson(store, "1", "2", "0", "0", "2");
    addPerson(store, "1", "3", "1", "2", "1");
    addPerson(store, "1", "4", "1", "2", "1");
    addPerson(store, "1", "5", "0", "0", "1");
    addPerson(store, "1", "6", "0", "0", "2");
    addPerson(store, "1", "7", "5", "6", "2");
    addPerson(store, "1", "8", "5", "6", "2");
    addPerson(store, "1", "9", "3", "7", "1");
    addPerson(store, "1", "10", "4", "8", "2");
    // Pedigree 2: first cousins 7 and 8 have a child.
    addPerson(store, "2", "1", "0", "0", "1");
    addPerson(store, "2", "2", "0", "0", "2");
    addPerson(store, "2", "3", "1", "2", "1");
    addPerson(store, "2", "4", "1", "2", "2");
    addPerson(store, "2", "5", "0", "0", "2");
    addPerson(store, "2", "6", "0", "0", "1");
    addPerson(store, "2", "7", "3", "5", "1");
    addPerson(store, "2", "8", "6", "4", "2");
    addPerson(store, "2", "9", "7", "8", "2");
    EXPECT_EQ(writeErrors(), loopLine("1") + loopLine("2"));
    EXPECT_FALSE(errorsFound);
    EXPECT_TRUE(store.hasLoops);
    EXPECT_FALSE(std::filesystem::exists("family.err"));
}

TEST_F(FamilyChecksTest, ChildrenByTwoPartnersAreNoLoop) {
    addPerson(store, "1", "1", "0", "0", "1");
    addPerson(store, "1", "2", "0", "0", "2");
    addPerson(store, "1", "3", "0", "0", "2");
    addPerson(store, "1", "4", "1", "2", "1");
    addPerson(store, "1", "5", "1", "3", "2");
    EXPECT_EQ(writeErrors(), "");
    EXPECT_FALSE(store.hasLoops);
}

struct LoopCase {
    const char* what;
    std::vector<PersonSpec> persons;  // ids 1 .. n, parents before children
    bool looped;
};

// The ids of the persons renumbered: as given, in reverse, and spread over
// one to three digits so that the persons' key order is another again
// (7 is prime to every count of persons below).
std::vector<std::vector<std::string>> renumberings(std::size_t persons) {
    std::vector<std::vector<std::string>> result(3);
    for (std::size_t i = 0; i < persons; ++i) {
        result[0].push_back(std::to_string(i + 1));
        result[1].push_back(std::to_string(persons - i));
        const std::size_t shuffled = i * 7 % persons + 1;
        result[2].push_back(std::to_string(i % 2 == 0 ? shuffled : 100 + shuffled));
    }
    return result;
}

TEST_F(FamilyChecksTest, LoopVerdictIsTheSameUnderAnyNumberingOfThePersons) {
    const std::vector<LoopCase> cases = {
        {"children by two partners",
         {{"1", "0", "0", "1"},
          {"2", "0", "0", "2"},
          {"3", "0", "0", "2"},
          {"4", "1", "2", "1"},
          {"5", "1", "3", "2"}},
         false},
        {"three generations with spouses married in",
         {{"1", "0", "0", "1"},
          {"2", "0", "0", "2"},
          {"3", "1", "2", "1"},
          {"4", "1", "2", "2"},
          {"5", "0", "0", "2"},
          {"6", "0", "0", "1"},
          {"7", "3", "5", "1"},
          {"8", "6", "4", "2"},
          {"9", "0", "0", "2"},
          {"10", "7", "9", "1"}},
         false},
        {"brothers marry sisters",
         {{"1", "0", "0", "1"},
          {"2", "0", "0", "2"},
          {"3", "1", "2", "1"},
          {"4", "1", "2", "1"},
          {"5", "0", "0", "1"},
          {"6", "0", "0", "2"},
          {"7", "5", "6", "2"},
          {"8", "5", "6", "2"},
          {"9", "3", "7", "1"},
          {"10", "4", "8", "2"}},
         true},
        {"first cousins have a child",
         {{"1", "0", "0", "1"},
          {"2", "0", "0", "2"},
          {"3", "1", "2", "1"},
          {"4", "1", "2", "2"},
          {"5", "0", "0", "2"},
          {"6", "0", "0", "1"},
          {"7", "3", "5", "1"},
          {"8", "6", "4", "2"},
          {"9", "7", "8", "2"}},
         true},
        // Two mothers each have a son or a daughter by two men; the sons of
        // one marry the daughters of the other. The loop runs through both
        // mothers' second marriages only.
        {"half-sibships married across",
         {{"1", "0", "0", "1"},
          {"2", "0", "0", "2"},
          {"3", "0", "0", "1"},
          {"4", "1", "2", "1"},
          {"5", "3", "2", "1"},
          {"6", "0", "0", "1"},
          {"7", "0", "0", "2"},
          {"8", "0", "0", "1"},
          {"9", "6", "7", "2"},
          {"10", "8", "7", "2"},
          {"11", "4", "9", "1"},
          {"12", "5", "10", "2"}},
         true},
    };
    for (const LoopCase& c : cases) {
        for (const std::vector<std::string>& ids : renumberings(c.persons.size())) {
            const auto renumbered = [&ids](const std::string& id) {
                return id == "0" ? id : ids[std::stoul(id) - 1];
            };
            SCOPED_TRACE(std::string(c.what) + ", first person numbered " + ids[0]);
            Pedigrees checked;
            for (const PersonSpec& person : c.persons) {
                addPersonOrFail(checked, "4", renumbered(person.id), renumbered(person.father),
                                renumbered(person.mother), person.sex);
            }
            EXPECT_EQ(writeErrors(checked), c.looped ? loopLine("4") : "");
            EXPECT_FALSE(errorsFound);
            EXPECT_EQ(checked.hasLoops, c.looped);
        }
    }
}

TEST_F(FamilyChecksTest, StoreWithoutPedigreeTreeChecksNothing) {
    delete store.pedigreeTree;
    store.pedigreeTree = nullptr;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(store.checkFamilies());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(FamilyChecksTest, UnwritableErrorFileIsReportedAndStillCountsAsErrors) {
    addPerson(store, "5", "1", "0", "0", "1");
    EXPECT_FALSE(store.reportFileLost);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(store.writeFamilyErrors("no/such/dir/family.err"));
    EXPECT_NE(testing::internal::GetCapturedStdout().find(
                  "Error: Unable to open no/such/dir/family.err for writing!\n"),
              std::string::npos);
    // The driver ends the run as failed once the rest is written.
    EXPECT_TRUE(store.reportFileLost);
}

// A line of many generations: each child marries a founder and has one
// child. Run on a thread with a small stack, so that walks which recursed
// once per generation would overflow it.
struct DeepCheck {
    Pedigrees* store;
    bool errors = true;
};

void* runDeepCheck(void* argument) {
    auto* check = static_cast<DeepCheck*>(argument);
    check->errors = check->store->checkFamilies();
    return nullptr;
}

TEST_F(FamilyChecksTest, DeepPedigreeIsCheckedOnASmallStack) {
    const int generations = 2000;
    addPerson(store, "1", "f0", "0", "0", "1");
    addPerson(store, "1", "s0", "0", "0", "2");
    addPerson(store, "1", "c0", "f0", "s0", "1");
    for (int g = 1; g < generations; ++g) {
        const std::string parent = "c" + std::to_string(g - 1);
        const std::string spouse = "s" + std::to_string(g);
        addPerson(store, "1", spouse, "0", "0", "2");
        addPerson(store, "1", "c" + std::to_string(g), parent, spouse, "1");
    }
    DeepCheck check{&store};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 256 * 1024);
    pthread_t thread;
    testing::internal::CaptureStdout();
    ASSERT_EQ(pthread_create(&thread, &attributes, runDeepCheck, &check), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(check.errors);
    EXPECT_FALSE(store.hasLoops);
}

}  // namespace
