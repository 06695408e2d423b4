// The liability class of the trait: the names an analysis may select, the
// class column of the engine's pedigree file, and the check of the pedigree
// file's classes against the trait locus.
#include <optional>
#include <string>
#include <vector>

#include "locus.h"
#include "pedigree_builder.h"
#include "pedigrees.h"
#include "test_support.h"

using test_support::readText;

namespace {

// An affection locus of the given number of classes (or a quantitative one).
Locus traitLocus(int classes, int type = Locus::affectionType) {
    Locus locus("DISEASE_LOCUS_1", type, 2);
    locus.addAlleleFrequencies({0.99, 0.01});
    for (int k = 0; k < classes; ++k) {
        locus.setFemalePenetrances({0.01, 0.9, 0.9});
    }
    locus.setNumberOfLiabClasses(classes);
    return locus;
}

// Persons 1, 2, 3 of pedigree "1"; a class of std::nullopt is missing.
void addPersonsWithClasses(Pedigrees& store,
                           const std::vector<std::optional<std::string>>& classes) {
    for (std::size_t i = 0; i < classes.size(); ++i) {
        Person* person = addPerson(store, "1", std::to_string(i + 1), "0", "0", "1", {"1/2"}, "2");
        ASSERT_NE(person, nullptr);
        if (classes[i]) {
            person->addorUpdatePhenotype(liabilityClassPhenotype, *classes[i]);
        }
    }
}

bool check(const Pedigrees& store, const Locus& locus, std::string& output) {
    testing::internal::CaptureStdout();
    const bool ok = store.checkLiabilityClasses(locus, "the LINKAGE locus file fam.dat");
    output = testing::internal::GetCapturedStdout();
    return ok;
}

TEST(LiabilityClassesTest, TheClassIsNoPhenotypeToSelect) {
    Pedigrees store;
    store.phenotypeNames = {"DISEASE_LOCUS", "LIABILITY_CLASS", "BMI"};
    EXPECT_EQ(store.getTraitPhenotypeNames(), (std::vector<std::string>{"DISEASE_LOCUS", "BMI"}));
}

TEST(LiabilityClassesTest, TheClassColumnFollowsThePhenotypeWhenTheEngineReadsOne) {
    const Pedigrees store;
    const std::vector<std::string> withClass{"TRAIT", "LIABILITY_CLASS"};
    const std::vector<std::string> alone{"TRAIT"};
    EXPECT_EQ(store.getTraitColumnPlan("TRAIT", traitLocus(3)), withClass);
    EXPECT_EQ(store.getTraitColumnPlan("TRAIT", traitLocus(2)), withClass);
    EXPECT_EQ(store.getTraitColumnPlan("TRAIT", traitLocus(1)), alone);
    EXPECT_EQ(store.getTraitColumnPlan("TRAIT", traitLocus(2, Locus::quantitativeType)), alone);
}

struct ClassCase {
    std::string name;
    bool classColumn;
    int declared;
    std::vector<std::optional<std::string>> classes;
    std::string error;  // the whole line printed, "" when the check passes
};

void PrintTo(const ClassCase& c, std::ostream* out) {
    *out << c.name;
}

class ClassCheckTest : public testing::TestWithParam<ClassCase> {};

TEST_P(ClassCheckTest, RefusesClassesTheLocusDoesNotHave) {
    const ClassCase& c = GetParam();
    Pedigrees store;
    store.pedigreeFileName = "fam.ped";
    store.affectionStatusColumn = true;
    store.liabilityClassColumn = c.classColumn;
    addPersonsWithClasses(store, c.classes);
    std::string output;
    EXPECT_EQ(check(store, traitLocus(c.declared), output), c.error.empty());
    EXPECT_EQ(output, c.error.empty() ? "" : c.error + "\n");
}

const std::string locusText = "the trait locus of the LINKAGE locus file fam.dat declares ";

INSTANTIATE_TEST_SUITE_P(
    Cases, ClassCheckTest,
    testing::Values(
        ClassCase{"EveryClassDeclared", true, 3, {"1", "2", "3"}, ""},
        ClassCase{"ClassAboveTheDeclaredNumber",
                  true,
                  3,
                  {"1", "4", "2"},
                  "Error: Pedigree file fam.ped: person 2 of pedigree 1 has liability class 4, "
                  "but " +
                      locusText + "3 liability classes"},
        ClassCase{"ClassBelowOne",
                  true,
                  2,
                  {"-1", "2"},
                  "Error: Pedigree file fam.ped: person 1 of pedigree 1 has liability class -1, "
                  "but " +
                      locusText + "2 liability classes"},
        ClassCase{"ClassNotAWholeNumber",
                  true,
                  3,
                  {"1", "2.5"},
                  "Error: Pedigree file fam.ped: person 2 of pedigree 1 has liability class 2.5, "
                  "but " +
                      locusText + "3 liability classes"},
        ClassCase{"MissingClassOfASeveralClassLocus",
                  true,
                  2,
                  {"1", std::nullopt},
                  "Error: Pedigree file fam.ped: person 2 of pedigree 1 has no liability class, "
                  "but " +
                      locusText + "2 liability classes"},
        ClassCase{"MissingClassOfAOneClassLocus", true, 1, {"1", std::nullopt}, ""},
        ClassCase{"SecondClassOfAOneClassLocus",
                  true,
                  1,
                  {"1", "2"},
                  "Error: Pedigree file fam.ped: person 2 of pedigree 1 has liability class 2, "
                  "but " +
                      locusText + "1 liability class"},
        ClassCase{"NoColumnForSeveralClasses",
                  false,
                  3,
                  {std::nullopt},
                  "Error: The trait locus of the LINKAGE locus file fam.dat declares 3 liability "
                  "classes, but the pedigree file fam.ped is read without a liability-class "
                  "column, so its persons are all of 1 liability class"},
        ClassCase{"NoColumnForOneClass", false, 1, {std::nullopt}, ""},
        ClassCase{"NoClassDeclared",
                  true,
                  0,
                  {"1"},
                  "Error: The trait locus of the LINKAGE locus file fam.dat declares 0 liability "
                  "classes: an affection-status locus needs at least 1"}),
    [](const testing::TestParamInfo<ClassCase>& info) { return info.param.name; });

TEST(LiabilityClassesTest, AQuantitativeTraitHasNoClassesToCheck) {
    Pedigrees store;
    store.affectionStatusColumn = true;
    store.liabilityClassColumn = true;
    addPersonsWithClasses(store, {"7"});
    std::string output;
    EXPECT_TRUE(check(store, traitLocus(2, Locus::quantitativeType), output));
}

TEST(LiabilityClassesTest, AConvertedFileNamesThePersonByTheIdsTheUserWrote) {
    Pedigrees store;
    store.pedigreeFileName = "fam.pre";
    store.affectionStatusColumn = true;
    store.liabilityClassColumn = true;
    store.convertedLinkageFormat = true;
    addPersonsWithClasses(store, {"1", "5"});
    Pedigree* pedigree = store.pedigreeTree->find("1");
    pedigree->originalPedigreeId = "FAM7";
    pedigree->getPerson("1")->setOriginalPersonId("mother");
    pedigree->getPerson("2")->setOriginalPersonId("son");
    std::string output;
    EXPECT_FALSE(check(store, traitLocus(3), output));
    EXPECT_EQ(output,
              "Error: Pedigree file fam.pre: person son of pedigree FAM7 has liability "
              "class 5, but " +
                  locusText + "3 liability classes\n");
}

class LiabilityClassFileTest : public test_support::TempDirTest {};

TEST_F(LiabilityClassFileTest, EveryEnginePedigreeFileCarriesTheClassAfterTheAffection) {
    Pedigrees store;
    store.markerCount = 1;
    store.affectionStatusColumn = true;
    store.liabilityClassColumn = true;
    store.phenotypeNames = {"DISEASE_LOCUS", "LIABILITY_CLASS"};
    // Parents 1 and 2 with children 3 and 4: one nuclear family.
    addPersonOrFail(store, "1", "1", "0", "0", "1", {"1/2"}, "2");
    addPersonOrFail(store, "1", "2", "0", "0", "2", {"3/3"}, "1");
    addPersonOrFail(store, "1", "3", "1", "2", "1", {"1/3"}, "2");
    addPersonOrFail(store, "1", "4", "1", "2", "2", {"2/3"}, "1");
    const char* classes[] = {"3", "1", "2", "1"};
    for (int id = 1; id <= 4; ++id) {
        store.pedigreeTree->find("1")
            ->getPerson(std::to_string(id))
            ->addorUpdatePhenotype(liabilityClassPhenotype, classes[id - 1]);
    }
    const std::vector<std::string> plan = store.getTraitColumnPlan("DISEASE_LOCUS", traitLocus(3));

    ASSERT_TRUE(store.writePedigreeFile("pedfile.dat", plan, {"0"}));
    EXPECT_EQ(readText("pedfile.dat"),
              "1\t1\t0\t0\t1\t2 3 1 2 \n"
              "1\t2\t0\t0\t2\t1 1 3 3 \n"
              "1\t3\t1\t2\t1\t2 2 1 3 \n"
              "1\t4\t1\t2\t2\t1 1 2 3 \n");

    ASSERT_TRUE(store.writeNuclearPedigreeFile("pedfile.dat", plan, {"0"}));
    const std::string nuclear = readText("pedfile.dat");
    for (const char* columns : {"\t2 3 1 2 \n", "\t1 1 3 3 \n", "\t2 2 1 3 \n", "\t1 1 2 3 \n"}) {
        EXPECT_NE(nuclear.find(columns), std::string::npos) << columns << " in\n" << nuclear;
    }
}

}  // namespace
