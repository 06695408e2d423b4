// Mendelian consistency of every child's genotypes with its parents and, where
// a parent is untyped, with what two parents could pass to the whole full
// sibship ("mendel.err").
#include <algorithm>
#include <array>
#include <fstream>
#include <iostream>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "marker_map.h"
#include "pedigrees.h"
#include "sibship_placement.h"
#include "utilities.h"

namespace {

bool isLeaf(const std::string& key) {
    return isLeafKey(key);
}

std::string allelesOf(const Marker* genotype) {
    return genotype == nullptr ? "0/0" : genotype->getAllele(0) + "/" + genotype->getAllele(1);
}

bool holds(const Marker& genotype, const std::string& allele) {
    return sameShortText(genotype.alleles[0], allele) || sameShortText(genotype.alleles[1], allele);
}

using AlleleSets = ParentalSets<int>;

// The typed members of one full sibship at one marker, in key order, with
// their alleles as small codes, and what every child's check there shares.
//
// A child's sibship test places the child's genotype first and then its
// typed sibs in key order, which is the sibship in key order with the child
// taken out. The test of two passes over that list is worked out once per
// distinct genotype of the sibship: the first pass over the whole sibship
// gives the same sets as over the list without the child wherever the child's
// own place changes nothing, and a place changes something at most four
// times (each change adds an allele to a set of at most two). Only the
// children at those places get a pass of their own. The second pass may run
// over the whole sibship: once the child's genotype is placed first, its
// second placement changes nothing, and a failure ends the pass before it.
struct SibshipMarker {
    struct Trajectory {
        std::pair<int, int> genotype;
        std::vector<bool> changed;  // the first pass changed the sets at this place
        bool consistent = false;
    };

    std::vector<const Person*> persons;
    std::vector<std::pair<int, int>> codes;
    bool parentTyped = false;
    std::pair<int, int> parent{-1, -1};
    int firstHomozygous = -1;
    // More distinct alleles than the parental slots left for them; the same
    // for every child, as both counts cover the whole sibship.
    bool tooManyAlleles = false;
    std::size_t cursor = 0;
    std::vector<Trajectory> trajectories;

    std::size_t positionOf(const Person* child) {
        auto found =
            std::find(persons.begin() + static_cast<std::ptrdiff_t>(cursor), persons.end(), child);
        if (found == persons.end()) {
            found = std::find(persons.begin(), persons.end(), child);
        }
        cursor = static_cast<std::size_t>(found - persons.begin());
        return cursor;
    }

    AlleleSets start(const int* homozygous, int a, int b) const {
        AlleleSets sets{ParentalSet<int>(parentTyped)};
        if (parentTyped) {
            sets.first.add(parent.first);
            sets.first.add(parent.second);
        }
        sets.open(homozygous, a, b);
        sets.place(a, b, false);
        return sets;
    }

    bool secondPass(AlleleSets sets, const int* homozygous, int a, int b) const {
        sets.open(homozygous, a, b);
        if (!sets.place(a, b, true)) {
            return false;
        }
        return std::all_of(codes.begin(), codes.end(), [&sets](const std::pair<int, int>& g) {
            return sets.place(g.first, g.second, true);
        });
    }

    // Whether the sibship test passes for the child at this place.
    bool consistentFor(std::size_t position) {
        const auto [a, b] = codes[position];
        const int* const homozygous =
            a == b ? &codes[position].first : (firstHomozygous >= 0 ? &firstHomozygous : nullptr);
        const AlleleSets opened = start(homozygous, a, b);
        auto trajectory =
            std::find_if(trajectories.begin(), trajectories.end(),
                         [&](const Trajectory& t) { return t.genotype == codes[position]; });
        if (trajectory == trajectories.end()) {
            Trajectory added{codes[position], std::vector<bool>(codes.size()), false};
            AlleleSets sets = opened;
            for (std::size_t q = 0; q < codes.size(); ++q) {
                const std::size_t before = sets.size();
                sets.place(codes[q].first, codes[q].second, false);
                added.changed[q] = sets.size() != before;
            }
            added.consistent = secondPass(sets, homozygous, a, b);
            trajectory = trajectories.insert(trajectories.end(), std::move(added));
        }
        if (!trajectory->changed[position]) {
            return trajectory->consistent;
        }
        AlleleSets sets = opened;
        for (std::size_t q = 0; q < codes.size(); ++q) {
            if (q != position) {
                sets.place(codes[q].first, codes[q].second, false);
            }
        }
        return secondPass(sets, homozygous, a, b);
    }
};

// Codes the distinct allele texts of one sibship at one marker. A sibship
// shows a handful of alleles at a marker: the first few codes are kept in
// place, so that the three codings made per sibship and marker take no
// memory from the heap.
class AlleleCodes {
  public:
    int of(std::string_view allele) {
        for (std::size_t code = 0; code < count_; ++code) {
            if (text(code) == allele) {
                return static_cast<int>(code);
            }
        }
        if (count_ < first_.size()) {
            first_[count_] = allele;
        } else {
            more_.push_back(allele);
        }
        return static_cast<int>(count_++);
    }
    std::size_t count() const { return count_; }

  private:
    std::string_view text(std::size_t code) const {
        return code < first_.size() ? first_[code] : more_[code - first_.size()];
    }

    std::array<std::string_view, 8> first_;
    std::vector<std::string_view> more_;
    std::size_t count_ = 0;
};

struct Sibship {
    std::vector<const Person*> members;  // key order
    std::unordered_map<std::string, SibshipMarker> markers;
};

}  // namespace

struct MendelSibships {
    std::map<std::pair<std::string, std::string>, Sibship> byParents;
    Sibship* current = nullptr;
};

namespace {

void groupSibships(const Person* root, MendelSibships& sibships) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    groupSibships(root->left, sibships);
    sibships.byParents[{root->fatherId, root->motherId}].members.push_back(root);
    groupSibships(root->right, sibships);
}

// The sibship's typed members at the marker, with one parent typed at most
// (typedParent, or nullptr for none).
SibshipMarker buildSibshipMarker(const Sibship& sibship, const std::string& index,
                                 const Marker* typedParent) {
    SibshipMarker data;
    data.persons.reserve(sibship.members.size());
    data.codes.reserve(sibship.members.size());
    AlleleCodes codes;
    AlleleCodes homozygous;
    if (typedParent != nullptr) {
        data.parentTyped = true;
        data.parent = {codes.of(typedParent->alleles[0]), codes.of(typedParent->alleles[1])};
        if (typedParent->alleles[0] == typedParent->alleles[1]) {
            homozygous.of(typedParent->alleles[0]);
        }
    }
    // The typed parent's alleles count only as slots, not as alleles seen.
    AlleleCodes seen;
    for (const Person* member : sibship.members) {
        const Marker* genotype = member->getMarker(index);
        if (genotype == nullptr) {
            continue;
        }
        const std::string& s1 = genotype->alleles[0];
        const std::string& s2 = genotype->alleles[1];
        data.persons.push_back(member);
        data.codes.emplace_back(codes.of(s1), codes.of(s2));
        seen.of(s1);
        seen.of(s2);
        if (s1 == s2) {
            homozygous.of(s1);
            if (data.firstHomozygous < 0) {
                data.firstHomozygous = data.codes.back().first;
            }
        }
    }
    data.tooManyAlleles = 4 - static_cast<int>(homozygous.count()) < static_cast<int>(seen.count());
    return data;
}

// The shared part of the checks at one marker of the current child's sibship.
SibshipMarker& sibshipAt(MendelSibships& sibships, const std::string& index,
                         const Marker* typedParent) {
    Sibship& sibship = *sibships.current;
    const auto found = sibship.markers.find(index);
    if (found != sibship.markers.end()) {
        return found->second;
    }
    return sibship.markers.emplace(index, buildSibshipMarker(sibship, index, typedParent))
        .first->second;
}

}  // namespace

bool Pedigrees::writeMendelianErrors(const std::string& fileName) {
    if (!checkMendelianErrors()) {
        return false;
    }
    if (!writeTextFile(fileName, mendelErrorText.str())) {
        reportFileLost = true;
        return true;
    }
    mendelErrorText.str("");
    return true;
}

bool Pedigrees::checkMendelianErrors() {
    std::cout << "(Checking Mendelian consistency...";
    mendelianErrorsFound = false;
    mendelStatusEntries.clear();
    if (pedigreeTree != nullptr) {
        pedigreeCheckMendelianErrors(pedigreeTree->root);
    }
    mendelStatusEntries.clear();
    std::cout << mendelErrorText.str() << std::flush;
    std::cout << "done)\n";
    return mendelianErrorsFound;
}

void Pedigrees::pedigreeCheckMendelianErrors(Pedigree* root) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    pedigreeCheckMendelianErrors(root->left);
    if (root->getPersonTree() != nullptr) {
        mendelSibships = std::make_shared<MendelSibships>();
        groupSibships(root->getPersonTree()->root, *mendelSibships);
        personCheckMendelianErrors(root->getPersonTree()->root, root);
        mendelSibships.reset();
    }
    pedigreeCheckMendelianErrors(root->right);
}

void Pedigrees::personCheckMendelianErrors(Person* root, Pedigree* pedigree) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    personCheckMendelianErrors(root->left, pedigree);
    Person* father = pedigree->getPerson(root->fatherId);
    Person* mother = pedigree->getPerson(root->motherId);
    if (father != nullptr && mother != nullptr && root->getMarkerTree() != nullptr) {
        if (mendelSibships != nullptr) {
            mendelSibships->current = &mendelSibships->byParents[{root->fatherId, root->motherId}];
        }
        markercheckMendelianErrors(root->getMarkerTree()->root, root, pedigree, mother, father);
    }
    personCheckMendelianErrors(root->right, pedigree);
}

void Pedigrees::markercheckMendelianErrors(Marker* root, Person* child, Pedigree* pedigree,
                                           Person* mother, Person* father) {
    forEachRecordInOrder(root, [&](Marker& genotype) {
        checkMendelianErrorsForPersonsFamily(&genotype, child, pedigree, mother, father);
    });
}

void Pedigrees::checkMendelianErrorsForPersonsFamily(Marker* marker, Person* child,
                                                     Pedigree* pedigree, Person* mother,
                                                     Person* father) {
    const std::string& index = marker->index;
    const std::string& c1 = marker->alleles[0];
    const std::string& c2 = marker->alleles[1];
    // What Person::getMarker finds, with the index read as a number once for
    // both parents.
    std::size_t number = 0;
    const bool numbered = RBTree<Marker>::plainNumber(index, number);
    const auto genotypeOf = [&](const Person* parent) -> const Marker* {
        const RBTree<Marker>* tree = parent->markerTree;
        if (tree == nullptr) {
            return nullptr;
        }
        return numbered ? tree->findNumbered(number, index) : tree->find(index);
    };
    const Marker* motherGenotype = genotypeOf(mother);
    const Marker* fatherGenotype = genotypeOf(father);
    bool errorFound = false;

    const auto report = [&](const std::string& line, bool withSibship) {
        const std::string markerName =
            markerMap != nullptr ? markerMap->getMarkerName(index) : std::string();
        mendelErrorText << "\n#### Pedigree " << child->getPedigreeId() << " Name " << markerName
                        << " ####\n"
                        << line << "Father " << father->getPersonId() << ": "
                        << allelesOf(fatherGenotype) << " Mother " << mother->getPersonId() << ": "
                        << allelesOf(motherGenotype) << "\n"
                        << "Child " << child->getPersonId() << ": " << c1 << "/" << c2 << "\n";
        if (withSibship) {
            if (sibshipText.empty()) {
                findSisterAndBrothersForPerson(pedigree->getPersonTree()->root, child, marker,
                                               mother, father);
            }
            mendelErrorText << sibshipText;
        }
        mendelianErrorsFound = true;
        errorFound = true;
    };

    if (motherGenotype != nullptr && fatherGenotype != nullptr) {
        const bool consistent = (holds(*motherGenotype, c1) && holds(*fatherGenotype, c2)) ||
                                (holds(*motherGenotype, c2) && holds(*fatherGenotype, c1));
        if (!consistent) {
            report("Error: alleles not found from parents\n", false);
        }
    } else {
        const Marker* typed = motherGenotype != nullptr ? motherGenotype : fatherGenotype;
        if (typed != nullptr && !holds(*typed, c1) && !holds(*typed, c2)) {
            report("Error: alleles not found from parent\n", false);
        }
        if (mendelSibships == nullptr || mendelSibships->current == nullptr) {
            // A check outside the walk over the pedigree groups its pedigree here.
            mendelSibships = std::make_shared<MendelSibships>();
            groupSibships(pedigree->getPersonTree()->root, *mendelSibships);
            mendelSibships->current =
                &mendelSibships->byParents[{child->fatherId, child->motherId}];
        }
        SibshipMarker& sibship = sibshipAt(*mendelSibships, index, typed);
        if (!sibship.consistentFor(sibship.positionOf(child))) {
            report(typed != nullptr ? "Error: too many alleles found in childs LEVEL2 \n"
                                    : "Error: too many alleles found in childs LEVEL2\n",
                   true);
        }
        if (sibship.tooManyAlleles) {
            report("Error: too many alleles found in childs\n", true);
        }
    }
    sibshipText.clear();
    // Every checked marker gets an entry; an error once found stays.
    bool& status = statusEntry(index, numbered ? &number : nullptr);
    status = status || errorFound;
}

bool& Pedigrees::statusEntry(const std::string& index, const std::size_t* number) {
    if (number == nullptr || *number > static_cast<std::size_t>(markerCount)) {
        return markerMendelErrorStatus[index];
    }
    std::vector<bool*>& entries = mendelStatusEntries;
    if (*number >= entries.size()) {
        entries.resize(*number + 1, nullptr);
    }
    bool*& entry = entries[*number];
    if (entry == nullptr) {
        entry = &markerMendelErrorStatus[index];
    }
    return *entry;
}

void Pedigrees::findSisterAndBrothersForPerson(Person* root, Person* child, Marker* marker,
                                               Person* mother, Person* father) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    findSisterAndBrothersForPerson(root->left, child, marker, mother, father);
    const bool fullSib = root->fatherId == child->fatherId && root->motherId == child->motherId &&
                         root->personId != child->personId;
    const Marker* genotype = fullSib ? root->getMarker(marker->index) : nullptr;
    if (genotype != nullptr) {
        sibshipText += "Child " + root->getPersonId() + ": " + genotype->alleles[0] + "/" +
                       genotype->alleles[1] + "\n";
    }
    findSisterAndBrothersForPerson(root->right, child, marker, mother, father);
}

bool Pedigrees::getMarkerMendelErrorStatus(const std::string& markerIndex) const {
    const auto found = markerMendelErrorStatus.find(markerIndex);
    return found != markerMendelErrorStatus.end() && found->second;
}
