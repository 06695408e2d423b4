// The Mendelian consistency check, its "mendel.err" blocks and each marker's
// error status.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "marker_map.h"
#include "pedigree_builder.h"
#include "pedigrees.h"
#include "test_support.h"

namespace {

using test_support::readText;

// Father 1 and mother 2 of pedigree 1 with children 3, 4, ... at one marker
// named M1; "" leaves a person untyped.
void addFamily(Pedigrees& store, const std::string& pedigree, const std::string& father,
               const std::string& mother, const std::vector<std::string>& children) {
    addPerson(store, pedigree, "1", "0", "0", "1", {father});
    addPerson(store, pedigree, "2", "0", "0", "2", {mother});
    for (std::size_t i = 0; i < children.size(); ++i) {
        addPerson(store, pedigree, std::to_string(i + 3), "1", "2", "1", {children[i]});
    }
}

std::string block(const std::string& line, const std::string& father, const std::string& mother,
                  const std::string& child, const std::string& childAlleles,
                  const std::string& sibLines = "") {
    return "\n#### Pedigree 1 Name M1 ####\n" + line + "Father 1: " + father +
           " Mother 2: " + mother + "\nChild " + child + ": " + childAlleles + "\n" + sibLines;
}

const std::string notFromParents = "Error: alleles not found from parents\n";
const std::string notFromParent = "Error: alleles not found from parent\n";
const std::string level2OneTyped = "Error: too many alleles found in childs LEVEL2 \n";
const std::string level2NoneTyped = "Error: too many alleles found in childs LEVEL2\n";
const std::string tooMany = "Error: too many alleles found in childs\n";

class MendelTest : public test_support::TempDirTest {
  protected:
    MendelTest() {
        store.markerCount = 1;
        store.getMarkerMap()->markerNames["0"] = "M1";
    }

    // Runs the check the way the pedigree reader does; returns what it printed.
    std::string writeErrors() {
        testing::internal::CaptureStdout();
        errorsFound = store.writeMendelianErrors("mendel.err");
        return testing::internal::GetCapturedStdout();
    }

    Pedigrees store;
    bool errorsFound = false;
};

struct FamilyCase {
    const char* what;
    std::string father, mother;
    std::vector<std::string> children;
    std::string expected;
};

TEST_F(MendelTest, FamiliesGiveTheirBlocksInCheckOrder) {
    const std::vector<FamilyCase> cases = {
        {"consistent with both parents", "1/2", "3/4", {"1/3", "4/2"}, ""},
        {"either allele order", "1/1", "2/2", {"2/1"}, ""},
        {"allele from neither parent",
         "1/2",
         "3/4",
         {"1/5"},
         block(notFromParents, "1/2", "3/4", "3", "1/5")},
        {"nothing from the typed parent",
         "1/2",
         "",
         {"3/4"},
         block(notFromParent, "1/2", "0/0", "3", "3/4") +
             block(level2OneTyped, "1/2", "0/0", "3", "3/4")},
        {"three alleles for the untyped parent",
         "1/2",
         "",
         {"1/3", "1/4", "1/5"},
         block(level2OneTyped, "1/2", "0/0", "3", "1/3", "Child 4: 1/4\nChild 5: 1/5\n") +
             block(level2OneTyped, "1/2", "0/0", "4", "1/4", "Child 3: 1/3\nChild 5: 1/5\n") +
             block(level2OneTyped, "1/2", "0/0", "5", "1/5", "Child 3: 1/3\nChild 4: 1/4\n")},
        {"homozygous typed parent passes one allele only",
         "1/1",
         "",
         {"1/1", "1/2", "1/3"},
         block(level2OneTyped, "1/1", "0/0", "3", "1/1", "Child 4: 1/2\nChild 5: 1/3\n") +
             block(level2OneTyped, "1/1", "0/0", "4", "1/2", "Child 3: 1/1\nChild 5: 1/3\n") +
             block(level2OneTyped, "1/1", "0/0", "5", "1/3", "Child 3: 1/1\nChild 4: 1/2\n")},
        {"six alleles in the sibship",
         "",
         "",
         {"1/2", "3/4", "5/6"},
         block(level2NoneTyped, "0/0", "0/0", "3", "1/2", "Child 4: 3/4\nChild 5: 5/6\n") +
             block(tooMany, "0/0", "0/0", "3", "1/2", "Child 4: 3/4\nChild 5: 5/6\n") +
             block(level2NoneTyped, "0/0", "0/0", "4", "3/4", "Child 3: 1/2\nChild 5: 5/6\n") +
             block(tooMany, "0/0", "0/0", "4", "3/4", "Child 3: 1/2\nChild 5: 5/6\n") +
             block(level2NoneTyped, "0/0", "0/0", "5", "5/6", "Child 3: 1/2\nChild 4: 3/4\n") +
             block(tooMany, "0/0", "0/0", "5", "5/6", "Child 3: 1/2\nChild 4: 3/4\n")},
        {"homozygous sibs use up parental slots",
         "",
         "",
         {"1/1", "2/2", "3/4"},
         block(level2NoneTyped, "0/0", "0/0", "3", "1/1", "Child 4: 2/2\nChild 5: 3/4\n") +
             block(tooMany, "0/0", "0/0", "3", "1/1", "Child 4: 2/2\nChild 5: 3/4\n") +
             block(level2NoneTyped, "0/0", "0/0", "4", "2/2", "Child 3: 1/1\nChild 5: 3/4\n") +
             block(tooMany, "0/0", "0/0", "4", "2/2", "Child 3: 1/1\nChild 5: 3/4\n") +
             block(level2NoneTyped, "0/0", "0/0", "5", "3/4", "Child 3: 1/1\nChild 4: 2/2\n") +
             block(tooMany, "0/0", "0/0", "5", "3/4", "Child 3: 1/1\nChild 4: 2/2\n")},
        {"untyped children give no block and no sib line",
         "",
         "",
         {"", "1/2", "", "3/4", "5/6"},
         block(level2NoneTyped, "0/0", "0/0", "4", "1/2", "Child 6: 3/4\nChild 7: 5/6\n") +
             block(tooMany, "0/0", "0/0", "4", "1/2", "Child 6: 3/4\nChild 7: 5/6\n") +
             block(level2NoneTyped, "0/0", "0/0", "6", "3/4", "Child 4: 1/2\nChild 7: 5/6\n") +
             block(tooMany, "0/0", "0/0", "6", "3/4", "Child 4: 1/2\nChild 7: 5/6\n") +
             block(level2NoneTyped, "0/0", "0/0", "7", "5/6", "Child 4: 1/2\nChild 6: 3/4\n") +
             block(tooMany, "0/0", "0/0", "7", "5/6", "Child 4: 1/2\nChild 6: 3/4\n")},
    };
    for (const FamilyCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove("mendel.err");
        Pedigrees checked;
        checked.markerCount = 1;
        checked.getMarkerMap()->markerNames["0"] = "M1";
        addFamily(checked, "1", c.father, c.mother, c.children);
        testing::internal::CaptureStdout();
        const bool found = checked.writeMendelianErrors("mendel.err");
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "(Checking Mendelian consistency..." + c.expected + "done)\n");
        EXPECT_EQ(found, !c.expected.empty());
        EXPECT_EQ(checked.mendelianErrorsFound, !c.expected.empty());
        EXPECT_EQ(std::filesystem::exists("mendel.err"), !c.expected.empty());
        if (!c.expected.empty()) {
            EXPECT_EQ(readText("mendel.err"), c.expected);
            EXPECT_EQ(checked.mendelErrorText.str(), "");
        }
    }
}

TEST_F(MendelTest, MarkerStatusKeepsAnErrorOnceFound) {
    store.markerCount = 4;
    for (const char* index : {"1", "2", "3"}) {
        store.getMarkerMap()->markerNames[index] = std::string("M") + index;
    }
    // Marker 3: child 3 is inconsistent, child 4 (checked later) is not.
    // Marker 1: nobody is typed.
    addPerson(store, "1", "1", "0", "0", "1", {"1/2", "", "1/1", "1/2"});
    addPerson(store, "1", "2", "0", "0", "2", {"1/2", "", "2/2", "3/4"});
    addPerson(store, "1", "3", "1", "2", "1", {"1/2", "", "1/2", "5/5"});
    addPerson(store, "1", "4", "1", "2", "2", {"2/2", "", "2/1", "1/3"});
    writeErrors();
    EXPECT_TRUE(errorsFound);
    EXPECT_TRUE(store.getMarkerMendelErrorStatus("3"));
    EXPECT_FALSE(store.getMarkerMendelErrorStatus("0"));
    EXPECT_FALSE(store.getMarkerMendelErrorStatus("2"));
    EXPECT_FALSE(store.getMarkerMendelErrorStatus("1"));
    EXPECT_EQ(store.markerMendelErrorStatus.count("1"), 0u);
    EXPECT_EQ(store.markerMendelErrorStatus.count("2"), 1u);
}

TEST_F(MendelTest, UnwritableErrorFileIsReportedAndStillCountsAsErrors) {
    addFamily(store, "1", "1/2", "3/4", {"5/6"});
    EXPECT_FALSE(store.reportFileLost);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(store.writeMendelianErrors("no/such/dir/mendel.err"));
    EXPECT_NE(testing::internal::GetCapturedStdout().find(
                  "Error: Unable to open no/such/dir/mendel.err for writing!\n"),
              std::string::npos);
    // The driver ends the run as failed once the rest is written.
    EXPECT_TRUE(store.reportFileLost);
}

// A genotype over the alleles 1..4 as the set of its alleles, one bit each.
int alleleBits(const std::string& genotype) {
    return (1 << (genotype[0] - '1')) | (1 << (genotype[2] - '1'));
}

// All parental genotypes over the alleles 1..4, as "a/b" texts.
std::vector<std::string> parentalGenotypes() {
    std::vector<std::string> genotypes;
    for (char a = '1'; a <= '4'; ++a) {
        for (char b = a; b <= '4'; ++b) {
            genotypes.push_back(std::string{a, '/', b});
        }
    }
    return genotypes;
}

// Whether some father and mother (the given genotype when typed, any
// genotype when untyped) could have every child.
bool parentsExist(const std::string& father, const std::string& mother,
                  const std::vector<std::string>& children) {
    const auto choices = [](const std::string& parent) {
        std::vector<int> sets;
        for (const std::string& genotype :
             parent.empty() ? parentalGenotypes() : std::vector<std::string>{parent}) {
            sets.push_back(alleleBits(genotype));
        }
        return sets;
    };
    const auto has = [](int set, char allele) { return (set >> (allele - '1')) & 1; };
    for (const int f : choices(father)) {
        for (const int m : choices(mother)) {
            const bool all = std::all_of(children.begin(), children.end(), [&](const auto& c) {
                return (has(f, c[0]) && has(m, c[2])) || (has(f, c[2]) && has(m, c[0]));
            });
            if (all) {
                return true;
            }
        }
    }
    return false;
}

// The pedigree ids of all blocks of a report.
std::set<std::string> reportedPedigrees(const std::string& report) {
    const std::string head = "#### Pedigree ";
    std::set<std::string> ids;
    for (auto at = report.find(head); at != std::string::npos; at = report.find(head, at)) {
        at += head.size();
        ids.insert(report.substr(at, report.find(' ', at) - at));
    }
    return ids;
}

// Every family of two parents, each typed (any genotype) or untyped, and 1 to
// 4 typed children over the alleles 1..4, up to a renaming of the alleles:
// the check reports an error for the family exactly when no parental
// genotypes could have these children. The verdict does not depend on which
// parent is which, so each pair of parents is tried once; the order of a
// child's two alleles matters only to the sibship test, whose every order is
// compared with the same search in sibship_test.
TEST_F(MendelTest, ReportsAFamilyExactlyWhenNoParentsCouldHaveItsChildren) {
    std::vector<std::string> parents{""};
    for (const std::string& genotype : parentalGenotypes()) {
        parents.push_back(genotype);
    }
    std::vector<std::string> children;
    const std::function<void(int)> extend = [&](int highest) {
        if (!children.empty()) {
            // One store per sibship, one pedigree per pair of parents.
            Pedigrees checked;
            checked.markerCount = 1;
            struct Family {
                std::string id, father, mother;
                bool possible;
            };
            std::vector<Family> families;
            for (std::size_t f = 0; f < parents.size(); ++f) {
                for (std::size_t m = f; m < parents.size(); ++m) {
                    const std::string id = "p" + std::to_string(families.size());
                    addFamily(checked, id, parents[f], parents[m], children);
                    families.push_back({id, parents[f], parents[m],
                                        parentsExist(parents[f], parents[m], children)});
                }
            }
            testing::internal::CaptureStdout();
            checked.checkMendelianErrors();
            testing::internal::GetCapturedStdout();
            const std::set<std::string> reported = reportedPedigrees(checked.mendelErrorText.str());
            for (const Family& family : families) {
                ASSERT_EQ(reported.count(family.id) == 1, !family.possible)
                    << "father " << family.father << " mother " << family.mother << " children "
                    << ::testing::PrintToString(children);
            }
        }
        if (children.size() == 4) {
            return;
        }
        for (int a = 1; a <= std::min(highest + 1, 4); ++a) {
            for (int b = a; b <= std::min(std::max(highest, a) + 1, 4); ++b) {
                children.push_back(std::to_string(a) + "/" + std::to_string(b));
                extend(std::max({highest, a, b}));
                children.pop_back();
                if (HasFatalFailure()) {
                    return;
                }
            }
        }
    };
    extend(0);
}

// The check as the plain rule reads: every child's sibship walked afresh,
// its genotypes placed in the order child first, then the sibs in key order.
class PlainMendelCheck {
  public:
    explicit PlainMendelCheck(const Pedigrees& store) : store_(store) {}

    const std::string& text() const { return text_; }

    // Appends the blocks of one pedigree.
    void check(Pedigree* pedigree) {
        const std::vector<Person*> persons = inKeyOrder(pedigree->getPersonTree()->root);
        for (Person* child : persons) {
            const Person* father = pedigree->getPerson(child->fatherId);
            const Person* mother = pedigree->getPerson(child->motherId);
            if (father == nullptr || mother == nullptr) {
                continue;
            }
            for (const Marker* genotype : markersOf(child)) {
                check(persons, *child, *genotype, *father, *mother);
            }
        }
    }

  private:
    static std::vector<Person*> inKeyOrder(Person* root) {
        std::vector<Person*> persons;
        std::function<void(Person*)> walk = [&](Person* node) {
            if (node != nullptr && !isLeafKey(node->key)) {
                walk(node->left);
                persons.push_back(node);
                walk(node->right);
            }
        };
        walk(root);
        return persons;
    }

    static std::vector<const Marker*> markersOf(const Person* person) {
        std::vector<const Marker*> markers;
        std::function<void(const Marker*)> walk = [&](const Marker* node) {
            if (node != nullptr && !isLeafKey(node->key)) {
                walk(node->left);
                markers.push_back(node);
                walk(node->right);
            }
        };
        walk(person->getMarkerTree()->root);
        return markers;
    }

    static std::string alleles(const Marker* genotype) {
        return genotype == nullptr ? "0/0" : genotype->alleles[0] + "/" + genotype->alleles[1];
    }

    void check(const std::vector<Person*>& persons, const Person& child, const Marker& genotype,
               const Person& father, const Person& mother) {
        const std::string& index = genotype.index;
        const std::string& c1 = genotype.alleles[0];
        const std::string& c2 = genotype.alleles[1];
        const Marker* m = mother.getMarker(index);
        const Marker* f = father.getMarker(index);
        std::string sibs;
        const auto block = [&](const std::string& line, bool withSibs) {
            text_ += "\n#### Pedigree " + child.pedigreeId + " Name " +
                     store_.getMarkerMap()->getMarkerName(index) + " ####\n" + line + "Father " +
                     father.personId + ": " + alleles(f) + " Mother " + mother.personId + ": " +
                     alleles(m) + "\nChild " + child.personId + ": " + c1 + "/" + c2 + "\n" +
                     (withSibs ? sibs : "");
        };
        const auto holds = [](const Marker* g, const std::string& a) {
            return g->alleles[0] == a || g->alleles[1] == a;
        };
        if (m != nullptr && f != nullptr) {
            if (!((holds(m, c1) && holds(f, c2)) || (holds(m, c2) && holds(f, c1)))) {
                block("Error: alleles not found from parents\n", false);
            }
            return;
        }
        const Marker* typed = m != nullptr ? m : f;
        std::vector<std::vector<std::string>> genotypes{{c1, c2}};
        std::vector<std::string> seen;
        std::vector<std::string> homozygous;
        const auto addSeen = [&](const std::string& a) {
            if (std::find(seen.begin(), seen.end(), a) == seen.end()) {
                seen.push_back(a);
            }
        };
        const auto addHomozygous = [&](const std::string& a) {
            if (std::find(homozygous.begin(), homozygous.end(), a) == homozygous.end()) {
                homozygous.push_back(a);
            }
        };
        if (typed != nullptr) {
            if (!holds(typed, c1) && !holds(typed, c2)) {
                block("Error: alleles not found from parent\n", false);
            }
            if (typed->alleles[0] == typed->alleles[1]) {
                addHomozygous(typed->alleles[0]);
            }
        }
        if (c1 == c2) {
            addHomozygous(c1);
        }
        addSeen(c1);
        addSeen(c2);
        for (const Person* sib : persons) {
            const Marker* s = sib->getMarker(index);
            if (sib->fatherId != child.fatherId || sib->motherId != child.motherId ||
                sib->personId == child.personId || s == nullptr) {
                continue;
            }
            genotypes.push_back({s->alleles[0], s->alleles[1]});
            if (s->alleles[0] == s->alleles[1]) {
                addHomozygous(s->alleles[0]);
            }
            addSeen(s->alleles[0]);
            addSeen(s->alleles[1]);
            sibs += "Child " + sib->personId + ": " + alleles(s) + "\n";
        }
        std::map<std::string, bool> initial;
        if (typed != nullptr) {
            initial = {{typed->alleles[0], true}, {typed->alleles[1], true}};
        }
        if (!store_.isConcistent(genotypes, initial)) {
            block(typed != nullptr ? "Error: too many alleles found in childs LEVEL2 \n"
                                   : "Error: too many alleles found in childs LEVEL2\n",
                  true);
        }
        if (4 - static_cast<int>(homozygous.size()) < static_cast<int>(seen.size())) {
            block("Error: too many alleles found in childs\n", true);
        }
    }

    const Pedigrees& store_;
    std::string text_;
};

// Random sibships of up to 14 children over 5 alleles, passed on by Mendel's
// rules with every sixth genotype drawn afresh, with untyped parents and
// children and a half-sibship beside each full one: the blocks of every
// child are those of the plain rule, however large the sibship.
TEST_F(MendelTest, LargeSibshipsReportWhatThePlainRuleReports) {
    constexpr int markers = 3;
    store.markerCount = markers;
    for (const char* index : {"0", "1", "2"}) {
        store.getMarkerMap()->markerNames[index] = std::string("M") + index;
    }
    std::mt19937 random(20261210u);
    std::uniform_int_distribution<int> allele(1, 5);
    std::uniform_int_distribution<int> percent(0, 99);
    using Genotype = std::pair<int, int>;
    const auto founder = [&] {
        std::vector<Genotype> list;
        for (int marker = 0; marker < markers; ++marker) {
            list.emplace_back(allele(random), allele(random));
        }
        return list;
    };
    const auto child = [&](const std::vector<Genotype>& father,
                           const std::vector<Genotype>& mother) {
        std::vector<Genotype> list;
        for (int marker = 0; marker < markers; ++marker) {
            const Genotype& f = father[marker];
            const Genotype& m = mother[marker];
            list.emplace_back(percent(random) < 50 ? f.first : f.second,
                              percent(random) < 50 ? m.first : m.second);
            if (percent(random) < 16) {
                list.back() = {allele(random), allele(random)};
            }
        }
        return list;
    };
    const auto texts = [&](const std::vector<Genotype>& list, int untypedPercent) {
        std::vector<std::string> typed;
        for (const Genotype& g : list) {
            typed.push_back(percent(random) < untypedPercent
                                ? ""
                                : std::to_string(g.first) + "/" + std::to_string(g.second));
        }
        return typed;
    };
    for (int p = 1; p <= 80; ++p) {
        const std::string id = std::to_string(p);
        const auto father = founder();
        const auto mother = founder();
        const auto otherMother = founder();
        addPersonOrFail(store, id, "1", "0", "0", "1", texts(father, 50));
        addPersonOrFail(store, id, "2", "0", "0", "2", texts(mother, 50));
        addPersonOrFail(store, id, "90", "0", "0", "2", texts(otherMother, 70));
        const int children = 1 + p % 14;
        for (int c = 0; c < children; ++c) {
            const bool half = c % 4 == 3;
            addPersonOrFail(store, id, std::to_string(3 + c), "1", half ? "90" : "2", "1",
                            texts(child(father, half ? otherMother : mother), 10));
        }
    }
    PlainMendelCheck plain(store);
    std::function<void(Pedigree*)> eachPedigree = [&](Pedigree* node) {
        if (node != nullptr && !isLeafKey(node->key)) {
            eachPedigree(node->left);
            plain.check(node);
            eachPedigree(node->right);
        }
    };
    eachPedigree(store.pedigreeTree->root);
    const std::string expected = plain.text();
    ASSERT_NE(expected.find("LEVEL2"), std::string::npos);
    writeErrors();
    EXPECT_TRUE(errorsFound);
    EXPECT_EQ(readText("mendel.err"), expected);
}

}  // namespace
