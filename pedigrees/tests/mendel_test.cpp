// The Mendelian consistency check, its "mendel.err" blocks and each marker's
// error status.
#include <algorithm>
#include <filesystem>
#include <functional>
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
    testing::internal::CaptureStdout();
    EXPECT_TRUE(store.writeMendelianErrors("no/such/dir/mendel.err"));
    EXPECT_NE(testing::internal::GetCapturedStdout().find(
                  "Error: Unable to open no/such/dir/mendel.err for writing!\n"),
              std::string::npos);
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

}  // namespace
