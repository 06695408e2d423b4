// Mendelian consistency of every child's genotypes with its parents and, where
// a parent is untyped, with what two parents could pass to the whole full
// sibship ("mendel.err").
#include <algorithm>
#include <fstream>
#include <iostream>

#include "marker_map.h"
#include "pedigrees.h"

namespace {

bool isLeaf(const std::string& key) {
    return isLeafKey(key);
}

std::string allelesOf(const Marker* genotype) {
    return genotype == nullptr ? "0/0" : genotype->getAllele(0) + "/" + genotype->getAllele(1);
}

bool holds(const Marker& genotype, const std::string& allele) {
    return genotype.alleles[0] == allele || genotype.alleles[1] == allele;
}

bool contains(const std::vector<std::string>& list, const std::string& value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

void addUnique(std::vector<std::string>& list, const std::string& value) {
    if (!contains(list, value)) {
        list.push_back(value);
    }
}

}  // namespace

bool Pedigrees::writeMendelianErrors(const std::string& fileName) {
    if (!checkMendelianErrors()) {
        return false;
    }
    std::ofstream file(fileName, std::ios::out | std::ios::trunc);
    if (!file) {
        std::cout << "Error: Unable to open " << fileName << " for writing!\n";
        return true;
    }
    file << mendelErrorText.str();
    file.close();
    mendelErrorText.str("");
    return true;
}

bool Pedigrees::checkMendelianErrors() {
    std::cout << "(Checking Mendelian consistency...";
    mendelianErrorsFound = false;
    if (pedigreeTree != nullptr) {
        pedigreeCheckMendelianErrors(pedigreeTree->root);
    }
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
        personCheckMendelianErrors(root->getPersonTree()->root, root);
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
        markercheckMendelianErrors(root->getMarkerTree()->root, root, pedigree, mother, father);
    }
    personCheckMendelianErrors(root->right, pedigree);
}

void Pedigrees::markercheckMendelianErrors(Marker* root, Person* child, Pedigree* pedigree,
                                           Person* mother, Person* father) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    markercheckMendelianErrors(root->left, child, pedigree, mother, father);
    checkMendelianErrorsForPersonsFamily(root, child, pedigree, mother, father);
    markercheckMendelianErrors(root->right, child, pedigree, mother, father);
}

void Pedigrees::checkMendelianErrorsForPersonsFamily(Marker* marker, Person* child,
                                                     Pedigree* pedigree, Person* mother,
                                                     Person* father) {
    const std::string& index = marker->index;
    const std::string& c1 = marker->alleles[0];
    const std::string& c2 = marker->alleles[1];
    const Marker* motherGenotype = mother->getMarker(index);
    const Marker* fatherGenotype = father->getMarker(index);
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
            mendelErrorText << sibshipText;
        }
        mendelianErrorsFound = true;
        errorFound = true;
    };
    const auto checkSibship = [&](const std::map<std::string, bool>& initialSet,
                                  const std::string& level2Line) {
        findSisterAndBrothersForPerson(pedigree->getPersonTree()->root, child, marker, mother,
                                       father);
        if (!isConcistent(sibshipGenotypes, initialSet)) {
            report(level2Line, true);
        }
        if (freeParentalSlots < static_cast<int>(sibshipAlleles.size())) {
            report("Error: too many alleles found in childs\n", true);
        }
        sibshipAlleles.clear();
        homozygousAlleles.clear();
    };

    sibshipGenotypes.clear();
    if (motherGenotype != nullptr && fatherGenotype != nullptr) {
        const bool consistent = (holds(*motherGenotype, c1) && holds(*fatherGenotype, c2)) ||
                                (holds(*motherGenotype, c2) && holds(*fatherGenotype, c1));
        if (!consistent) {
            report("Error: alleles not found from parents\n", false);
        }
    } else if (motherGenotype != nullptr || fatherGenotype != nullptr) {
        const Marker& typed = motherGenotype != nullptr ? *motherGenotype : *fatherGenotype;
        const std::string& t1 = typed.alleles[0];
        const std::string& t2 = typed.alleles[1];
        sibshipGenotypes.push_back({c1, c2});
        if (!holds(typed, c1) && !holds(typed, c2)) {
            report("Error: alleles not found from parent\n", false);
        }
        freeParentalSlots = 4;
        if (t1 == t2) {
            homozygousAlleles.push_back(t1);
            --freeParentalSlots;
        }
        if (c1 == c2) {
            if (homozygousAlleles.empty() || homozygousAlleles.front() != c1) {
                homozygousAlleles.push_back(c1);
                --freeParentalSlots;
            }
            sibshipAlleles.push_back(c1);
        } else {
            sibshipAlleles.push_back(c1);
            sibshipAlleles.push_back(c2);
        }
        checkSibship({{t1, true}, {t2, true}}, "Error: too many alleles found in childs LEVEL2 \n");
    } else {
        freeParentalSlots = 4;
        sibshipGenotypes.push_back({c1, c2});
        if (c1 == c2) {
            homozygousAlleles.push_back(c1);
            --freeParentalSlots;
            sibshipAlleles.push_back(c1);
        } else {
            sibshipAlleles.push_back(c1);
            sibshipAlleles.push_back(c2);
        }
        checkSibship({}, "Error: too many alleles found in childs LEVEL2\n");
    }
    sibshipText.clear();
    // Every checked marker gets an entry; an error once found stays.
    bool& status = markerMendelErrorStatus[index];
    status = status || errorFound;
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
        const std::string& s1 = genotype->alleles[0];
        const std::string& s2 = genotype->alleles[1];
        sibshipGenotypes.push_back({s1, s2});
        if (s1 == s2) {
            if (!contains(homozygousAlleles, s2)) {
                --freeParentalSlots;
                homozygousAlleles.push_back(s2);
            }
            addUnique(sibshipAlleles, s1);
        } else {
            addUnique(sibshipAlleles, s1);
            addUnique(sibshipAlleles, s2);
        }
        sibshipText += "Child " + root->getPersonId() + ": " + s1 + "/" + s2 + "\n";
    }
    findSisterAndBrothersForPerson(root->right, child, marker, mother, father);
}

bool Pedigrees::getMarkerMendelErrorStatus(const std::string& markerIndex) const {
    const auto found = markerMendelErrorStatus.find(markerIndex);
    return found != markerMendelErrorStatus.end() && found->second;
}
