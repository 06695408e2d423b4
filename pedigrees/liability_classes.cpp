// The trait columns as the engine reads them. An affection locus takes the
// status 1 or 2 (0 unknown); any other value crashes the engine. The engine
// reads a person's liability class from
// the column right after the affection status, as a number from 1 to the
// trait locus's number of classes, and only when that locus is an affection
// locus of more than one class: a file without that column, or with a class
// the locus does not have, makes it read every later column one token off.
#include <charconv>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "locus.h"
#include "pedigrees.h"
#include "utilities.h"

namespace {

template <typename Record, typename Visit>
void forEachRecord(Record* node, const Visit& visit) {
    if (node == nullptr || isLeafKey(node->key)) {
        return;
    }
    forEachRecord(node->left, visit);
    visit(*node);
    forEachRecord(node->right, visit);
}

template <typename Record>
Record* rootOf(const RBTree<Record>* tree) {
    return tree != nullptr ? tree->root : nullptr;
}

bool readsClassColumn(const Locus& traitLocus) {
    return traitLocus.type == Locus::affectionType && traitLocus.numberOfLiabClasses > 1;
}

// The class as the engine would read it: a whole number and nothing else.
std::optional<int> classNumber(const std::string& text) {
    int number = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return number;
}

std::string classes(int count) {
    return IntToString(count) + (count == 1 ? " liability class" : " liability classes");
}

// A converted file's users know their persons by the ids they wrote.
std::string whoIs(const Pedigree& pedigree, const Person& person, bool convertedFile) {
    const bool original = convertedFile && !pedigree.originalPedigreeId.empty();
    return "person " + (original ? person.getOriginalPersonId() : person.getPersonId()) +
           " of pedigree " + (original ? pedigree.originalPedigreeId : pedigree.getPedigreeId());
}

// What is wrong with the person's class for a locus of `declared` classes,
// or nothing.
std::string classProblem(const Pedigree& pedigree, const Person& person, int declared,
                         bool convertedFile) {
    const Phenotype* value = person.getPhenotype(liabilityClassPhenotype);
    if (value == nullptr && declared == 1) {
        // The engine reads no class for a locus of one class.
        return "";
    }
    const std::optional<int> number = value ? classNumber(value->getValue()) : std::nullopt;
    if (number && *number >= 1 && *number <= declared) {
        return "";
    }
    return whoIs(pedigree, person, convertedFile) +
           (value == nullptr ? " has no liability class"
                             : " has liability class " + value->getValue());
}

bool failed(const std::string& message) {
    std::cout << "Error: " << message << std::endl;
    return false;
}

}  // namespace

std::vector<std::string> Pedigrees::getTraitPhenotypeNames() const {
    std::vector<std::string> names;
    for (const std::string& name : phenotypeNames) {
        if (name != liabilityClassPhenotype) {
            names.push_back(name);
        }
    }
    return names;
}

std::vector<std::string> Pedigrees::getTraitColumnPlan(const std::string& phenotype,
                                                       const Locus& traitLocus) const {
    // Decided by the locus alone, as the engine decides what it reads: a class
    // column of missing codes stops the engine with its own message, while a
    // missing column would shift every marker column under it.
    if (readsClassColumn(traitLocus)) {
        return {phenotype, liabilityClassPhenotype};
    }
    return {phenotype};
}

bool Pedigrees::checkLiabilityClasses(const Locus& traitLocus,
                                      const std::string& traitLocusSource) const {
    if (traitLocus.type != Locus::affectionType) {
        return true;
    }
    const int declared = traitLocus.numberOfLiabClasses;
    const std::string locus = "trait locus of " + traitLocusSource;
    if (declared < 1) {
        return failed("The " + locus + " declares " + classes(declared) +
                      ": an affection-status locus needs at least 1");
    }
    if (!liabilityClassColumn || !affectionStatusColumn) {
        return declared == 1 ||
               failed("The " + locus + " declares " + classes(declared) +
                      ", but the pedigree file " + pedigreeFileName +
                      " is read without a liability-class column, so its persons are all of " +
                      classes(1));
    }

    std::string problem;
    forEachRecord(rootOf(pedigreeTree), [&](const Pedigree& pedigree) {
        forEachRecord(rootOf(pedigree.getPersonTree()), [&](const Person& person) {
            if (problem.empty()) {
                problem = classProblem(pedigree, person, declared, convertedLinkageFormat);
            }
        });
    });
    return problem.empty() || failed("Pedigree file " + pedigreeFileName + ": " + problem +
                                     ", but the " + locus + " declares " + classes(declared));
}

bool Pedigrees::checkAffectionValues(const std::string& phenotypeName) const {
    const std::vector<std::string> analysed =
        phenotypeName.empty() ? getTraitPhenotypeNames() : std::vector<std::string>{phenotypeName};
    std::string problem;
    forEachRecord(rootOf(pedigreeTree), [&](const Pedigree& pedigree) {
        forEachRecord(rootOf(pedigree.getPersonTree()), [&](const Person& person) {
            for (const std::string& name : analysed) {
                const Phenotype* value = person.getPhenotype(name);
                if (problem.empty() && value != nullptr && value->getValue() != "1" &&
                    value->getValue() != "2") {
                    problem = "Phenotype " + name + " of " +
                              whoIs(pedigree, person, convertedLinkageFormat) + " is " +
                              value->getValue();
                }
            }
        });
    });
    const std::string file =
        phenotypeFileName.empty() ? "" : " (phenotype file " + phenotypeFileName + ")";
    return problem.empty() ||
           failed(problem + file +
                  ", but the engine reads it as an affection status: use 1 (unaffected), 2 "
                  "(affected) or 0, x, - or . (unknown)");
}
