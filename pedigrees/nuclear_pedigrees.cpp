// The component nuclear pedigrees: one pedigree per sibship with both parents
// given, renumbered as father 1, mother 2 and children 3, 4, ... so that
// each is a complete LINKAGE pedigree with pointer columns of its own. The
// deep copies of phenotype and genotype records serve the trio and sib-pair
// sets as well.
#include <string>
#include <vector>

#include "pedigrees.h"
#include "utilities.h"

static bool isLeaf(const std::string& key) {
    return key == "NIL";
}

bool Pedigrees::writeNuclearPedigreeFile(const std::string& fileName,
                                         std::vector<std::string> phenotypeColumnPlan,
                                         std::vector<std::string> markerColumnPlan) {
    pedigreeType = "NUCLEAR_PEDIGREE";
    phenotypeColumns = std::move(phenotypeColumnPlan);
    markerColumns = std::move(markerColumnPlan);
    // Built once: the used-as-child marks of the first build would leave a
    // second build without families.
    if (nuclearPedigrees == nullptr) {
        createNuclearPedigrees();
    }
    return writePedigreeFile(fileName);
}

RBTree<Pedigree>* Pedigrees::createNuclearPedigrees() {
    delete nuclearPedigrees;
    nuclearPedigrees = new RBTree<Pedigree>(new Pedigree(), "Master-Nuclear-TRee");
    nuclearOrigins.clear();
    if (pedigreeTree != nullptr) {
        pedigreeCreateNuclearPedigrees(pedigreeTree->root);
    }
    return nuclearPedigrees;
}

int Pedigrees::getNuclearPedigreeCount() const {
    return nuclearPedigrees != nullptr ? nuclearPedigrees->count : 0;
}

const Pedigrees::NuclearOrigin* Pedigrees::getNuclearOrigin(const std::string& nuclearId) const {
    const auto found = nuclearOrigins.find(nuclearId);
    return found == nuclearOrigins.end() ? nullptr : &found->second;
}

// A converted pre-MAKEPED file keeps the ids it was given.
static std::string inputPersonId(const Person* person) {
    if (person == nullptr) {
        return "0";
    }
    const std::string original = person->getOriginalPersonId();
    return original.empty() ? person->getPersonId() : original;
}

int Pedigrees::getNuclearPersonCount() {
    personCountSum = 0;
    if (nuclearPedigrees != nullptr) {
        getPedigreePersonCount(nuclearPedigrees->root);
    }
    return personCountSum;
}

void Pedigrees::pedigreeCreateNuclearPedigrees(Pedigree* root) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    pedigreeCreateNuclearPedigrees(root->left);
    if (root->getPersonTree() != nullptr) {
        personCreateNuclearPedigrees(root->getPersonTree()->root, root);
    }
    pedigreeCreateNuclearPedigrees(root->right);
}

void Pedigrees::personCreateNuclearPedigrees(Person* root, Pedigree* pedigree) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    personCreateNuclearPedigrees(root->left, pedigree);
    if (!root->isUsedAsChild()) {
        createNewNuclearPedigree(root, pedigree);
    }
    personCreateNuclearPedigrees(root->right, pedigree);
}

void Pedigrees::createNewNuclearPedigree(Person* firstChild, Pedigree* pedigree) {
    if (firstChild->getMotherId() == "0" || firstChild->getFatherId() == "0") {
        return;
    }
    auto* nuclear = new Pedigree(IntToString(nuclearPedigreeCounter));
    Person* father = pedigree->getPerson(firstChild->getFatherId());
    Person* mother = pedigree->getPerson(firstChild->getMotherId());
    firstChild->setUsedAsChild();
    copyPerson(father, nuclear);
    copyPerson(mother, nuclear);
    copyPerson(firstChild, nuclear);
    findSistersAndBrothers(pedigree->getPersonTree()->root, nuclear, firstChild->getFatherId(),
                           firstChild->getMotherId());
    const std::string id = nuclear->getPedigreeId();
    if (nuclearPedigrees->insert(nuclear)) {
        const std::string& original = pedigree->originalPedigreeId;
        nuclearOrigins[id] = {original.empty() ? pedigree->getPedigreeId() : original,
                              inputPersonId(father), inputPersonId(mother)};
    } else {
        delete nuclear;
    }
    ++nuclearPedigreeCounter;
    nuclearPersonCounter = 1;
}

void Pedigrees::copyPerson(Person* source, Pedigree* target) {
    if (source == nullptr) {
        return;
    }
    const int number = nuclearPersonCounter++;
    const std::string id = IntToString(number);
    const bool parent = number == 1 || number == 2;
    auto* copy = new Person(target->getPedigreeId(), id, parent ? "0" : "1", parent ? "0" : "2",
                            source->getSex());
    copy->setFOID(parent ? "3" : "0");
    copy->setNPSID("0");
    copy->setNMSID("0");
    copy->setProbandStatus(number == 1 ? "1" : "0");
    copy->addPhenotypes(copyPhenotypes(source->getPhenotypeTree()));
    copy->addMarkers(copyMarkers(source->getMarkerTree()));
    if (number >= 4) {
        if (Person* previous = target->getPerson(IntToString(number - 1))) {
            previous->setNPSID(id);
            previous->setNMSID(id);
        }
    }
    if (!target->addPerson(copy)) {
        delete copy;
    }
}

void Pedigrees::findSistersAndBrothers(Person* root, Pedigree* target, const std::string& fatherId,
                                       const std::string& motherId) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    findSistersAndBrothers(root->left, target, fatherId, motherId);
    if (!root->isUsedAsChild() && root->getFatherId() == fatherId &&
        root->getMotherId() == motherId) {
        root->setUsedAsChild();
        copyPerson(root, target);
    }
    findSistersAndBrothers(root->right, target, fatherId, motherId);
}

static void copyPhenotypeRecords(const Phenotype* node, RBTree<Phenotype>& copy) {
    if (node == nullptr || isLeaf(node->key)) {
        return;
    }
    copyPhenotypeRecords(node->left, copy);
    auto* phenotype = new Phenotype(node->getName(), node->getValue());
    phenotype->setIndex(node->getIndex());
    if (!copy.insert(phenotype)) {
        delete phenotype;
    }
    copyPhenotypeRecords(node->right, copy);
}

static void copyMarkerRecords(const Marker* node, RBTree<Marker>& copy) {
    if (node == nullptr || isLeaf(node->key)) {
        return;
    }
    copyMarkerRecords(node->left, copy);
    auto* genotype = new Marker(node->getIndex(), node->getAllele(0), node->getAllele(1), true);
    genotype->setName(node->getName());
    if (!copy.insert(genotype)) {
        delete genotype;
    }
    copyMarkerRecords(node->right, copy);
}

RBTree<Phenotype>* Pedigrees::copyPhenotypes(RBTree<Phenotype>* source) {
    auto* copy = new RBTree<Phenotype>(new Phenotype(), "Master-Nuclear-Phenotype-Tree");
    if (source != nullptr) {
        copyPhenotypeRecords(source->root, *copy);
    }
    return copy;
}

RBTree<Marker>* Pedigrees::copyMarkers(RBTree<Marker>* source) {
    auto* copy = new RBTree<Marker>(new Marker(), "Master-Nuclear-Marker-Tree");
    if (source != nullptr) {
        copyMarkerRecords(source->root, *copy);
    }
    return copy;
}
