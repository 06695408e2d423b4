// Allele counts per marker and group, and the new allele names 1..n.
#include "marker_info.h"
#include "pedigrees.h"
#include "utilities.h"

namespace {

bool isLeaf(const std::string& key) {
    return key == "NIL";
}

bool isFounder(const Person& person) {
    return person.getFatherId() == "0" && person.getMotherId() == "0";
}

// Counts one allele copy into the record's totals and into the allele's own
// counts, under the same rules: X-linked males give no second copy to "all"
// and "males", while founders count both copies.
void countAlleleCopy(MarkerInfo& record, const std::string& alleleName, int slot, bool male,
                     bool founder, bool xlinked) {
    Allele* allele = record.getAlleleWithName(alleleName);
    if (allele == nullptr) {
        allele = new Allele(alleleName);
        record.addAllele(allele);
    }
    const bool countsAsCopy = !(male && xlinked && slot == 1);
    const char* sexGroup = male ? "males" : "females";
    if (countsAsCopy) {
        record.addCount(sexGroup);
        record.addCount("all");
        allele->addCount(sexGroup);
        allele->addCount("all");
    }
    if (founder) {
        record.addCount("founders");
        allele->addCount("founders");
    }
}

MarkerInfo* findOrCreateRecord(RBTree<MarkerInfo>& tree, const std::string& index) {
    MarkerInfo* record = tree.find(index);
    if (record == nullptr) {
        record = new MarkerInfo(index);
        tree.insert(record);
    }
    return record;
}

}  // namespace

void Pedigrees::createMarkerInfo() {
    delete markerInfo;
    markerInfo = new RBTree<MarkerInfo>(new MarkerInfo(), "markersinfo");
    if (pedigreeTree != nullptr) {
        createMarkerInfoPedigreeRecursion(pedigreeTree->root, markerInfo);
    }
}

void Pedigrees::createMarkerInfoPedigreeRecursion(Pedigree* root, RBTree<MarkerInfo>* tree) {
    if (tree == nullptr) {
        return;
    }
    countPedigreesInto(root, tree);
    // Sorting once after the walk gives the same records as sorting after
    // every person.
    for (int i = 0; i < markerCount; ++i) {
        if (MarkerInfo* record = tree->find(IntToString(i))) {
            record->sortAllelesVector();
            record->addAllelesNewNames();
        }
    }
}

void Pedigrees::countPedigreesInto(Pedigree* root, RBTree<MarkerInfo>* tree) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    countPedigreesInto(root->left, tree);
    if (root->getPersonTree() != nullptr) {
        createMarkerInfoPersonRecursion(root->getPersonTree()->root, tree);
    }
    countPedigreesInto(root->right, tree);
}

void Pedigrees::createMarkerInfoPersonRecursion(Person* root, RBTree<MarkerInfo>* tree) {
    if (tree == nullptr || root == nullptr || isLeaf(root->key)) {
        return;
    }
    createMarkerInfoPersonRecursion(root->left, tree);
    if (root->getMarkerTree() != nullptr && markerCount >= 1) {
        const bool male = root->getSex() == "1";
        const bool founder = isFounder(*root);
        for (int i = 0; i < markerCount; ++i) {
            const std::string index = IntToString(i);
            MarkerInfo* record = findOrCreateRecord(*tree, index);
            const Marker* genotype = root->getMarker(index);
            if (genotype == nullptr) {
                continue;
            }
            for (int slot = 0; slot < 2; ++slot) {
                countAlleleCopy(*record, genotype->getAllele(slot), slot, male, founder, xlinked);
            }
        }
    }
    createMarkerInfoPersonRecursion(root->right, tree);
}

RBTree<MarkerInfo>* Pedigrees::getMarkerInfo() const {
    return markerInfo;
}

RBTree<MarkerInfo>* Pedigrees::getHrrMarkerInfo() const {
    return hrrMarkerInfo;
}
