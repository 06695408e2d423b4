// The store's frame: owned objects, the small accessors, the person-counting
// walk and the id lookups between converted and original ids.
#include <algorithm>

#include "locus_file.h"
#include "marker_info.h"
#include "marker_map.h"
#include "model.h"
#include "pedigrees.h"

namespace {

bool isLeaf(const std::string& key) {
    return key == "NIL";
}

}  // namespace

Pedigrees::Pedigrees()
    : markerMap(new MarkerMap()),
      pedigreeTree(new RBTree<Pedigree>(new Pedigree(), "Master-Tree")),
      linkageLocusFile(new LinkageLocusFile()),
      markerInfo(new RBTree<MarkerInfo>(new MarkerInfo(), "markersinfo")),
      tdtMarkerInfo(new RBTree<MarkerInfo>(new MarkerInfo(), "tdtmarkersinfo")),
      hrrMarkerInfo(new RBTree<MarkerInfo>(new MarkerInfo(), "hrrarkersinfo")),
      sibPairMarkerInfo(new RBTree<MarkerInfo>(new MarkerInfo(), "sibpairmarkersinfo")),
      caseMarkerMap(new MarkerMap()),
      controlMarkerMap(new MarkerMap()) {}

Pedigrees::~Pedigrees() {
    // The case and control vectors only point into pedigreeTree once merged;
    // dummy pedigrees that were never merged are still this store's to free.
    for (const std::vector<Pedigree*>* dummies : {&casePedigrees, &controlPedigrees}) {
        for (Pedigree* dummy : *dummies) {
            if (pedigreeTree == nullptr || pedigreeTree->find(dummy->key) != dummy) {
                delete dummy;
            }
        }
    }
    delete pedigreeTree;
    delete markerMap;
    delete markerInfo;
    delete hrrMarkerInfo;
    delete tdtMarkerInfo;
    delete sibPairMarkerInfo;
    delete hrrPedigrees;
    delete tdtPedigrees;
    delete sibPairPedigrees;
    delete caseMarkerMap;
    delete controlMarkerMap;
    delete nuclearPedigrees;
    delete model;
    delete linkageLocusFile;
}

std::vector<std::string> Pedigrees::getPhenotypeNames() const {
    return phenotypeNames;
}

bool Pedigrees::isPhenotypeRead(const std::string& phenotypeName) const {
    return std::find(phenotypeNames.begin(), phenotypeNames.end(), phenotypeName) !=
           phenotypeNames.end();
}

void Pedigrees::setMarkerMap(MarkerMap* map) {
    if (map == nullptr) {
        // The converter takes back the map it lent to a temporary store.
        markerMap = nullptr;
        markerCount = 0;
        return;
    }
    if (map != markerMap) {
        delete markerMap;
        markerMap = map;
    }
    markerCount = markerMap->getMarkerCount();
}

MarkerMap* Pedigrees::getMarkerMap() const {
    return markerMap;
}

void Pedigrees::getPedigreePersonCount(Pedigree* root) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    getPedigreePersonCount(root->left);
    if (root->getPersonTree() != nullptr) {
        personCountSum += root->getPersonTree()->count;
    }
    getPedigreePersonCount(root->right);
}

int Pedigrees::getPedigreePersonCount() {
    personCountSum = 0;
    if (pedigreeTree != nullptr) {
        getPedigreePersonCount(pedigreeTree->root);
    }
    return personCountSum;
}

std::string Pedigrees::getOrigPedigreeID(const std::string& pedigreeId) {
    foundOriginalPedigreeId.clear();
    lookupNewPedigreeId = pedigreeId;
    if (pedigreeTree != nullptr) {
        getOrigPedigreeID(pedigreeTree->root);
    }
    return foundOriginalPedigreeId;
}

void Pedigrees::getOrigPedigreeID(Pedigree* node) {
    if (node == nullptr || isLeaf(node->key)) {
        return;
    }
    getOrigPedigreeID(node->left);
    if (node->getPedigreeId() == lookupNewPedigreeId) {
        foundOriginalPedigreeId = node->originalPedigreeId;
        return;
    }
    getOrigPedigreeID(node->right);
}

std::string Pedigrees::getNewPedigreeID(const std::string& originalPedigreeId) {
    lookupNewPedigreeId.clear();
    lookupOriginalPedigreeId = originalPedigreeId;
    if (pedigreeTree != nullptr) {
        getNewPedigreeID(pedigreeTree->root);
    }
    return lookupNewPedigreeId;
}

void Pedigrees::getNewPedigreeID(Pedigree* node) {
    if (node == nullptr || isLeaf(node->key)) {
        return;
    }
    getNewPedigreeID(node->left);
    if (node->originalPedigreeId == lookupOriginalPedigreeId) {
        lookupNewPedigreeId = node->getPedigreeId();
        return;
    }
    getNewPedigreeID(node->right);
}

std::string Pedigrees::getNewPersonID(const std::string& originalPedigreeId,
                                      const std::string& originalPersonId) {
    lookupNewPersonId.clear();
    const std::string newPedigreeId = getNewPedigreeID(originalPedigreeId);
    Pedigree* pedigree = pedigreeTree != nullptr ? pedigreeTree->find(newPedigreeId) : nullptr;
    if (pedigree == nullptr || pedigree->getPersonTree() == nullptr) {
        return {};
    }
    lookupOriginalPersonId = originalPersonId;
    getNewPersonID(pedigree->getPersonTree()->root);
    return lookupNewPersonId;
}

void Pedigrees::getNewPersonID(Person* node) {
    if (node == nullptr || isLeaf(node->key)) {
        return;
    }
    getNewPersonID(node->left);
    if (node->getOriginalPersonId() == lookupOriginalPersonId) {
        lookupNewPersonId = node->getPersonId();
        return;
    }
    getNewPersonID(node->right);
}
