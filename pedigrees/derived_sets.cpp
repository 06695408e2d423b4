// The derived sets of the association tests, rebuilt for one phenotype and
// one marker at a time: at most one haplotype-relative-risk trio, one TDT
// trio and one affected sib pair (with their parents) per store pedigree,
// each set with its own marker information. Set pedigrees keep the id of the
// pedigree they were taken from.
#include <string>

#include "marker_info.h"
#include "pedigrees.h"

static bool isLeaf(const std::string& key) {
    return key == "NIL";
}

static bool isTyped(const Person& person, const std::string& markerIndex) {
    return person.getMarker(markerIndex) != nullptr;
}

// A person without a record of the phenotype has no value and satisfies no
// value test.
static bool hasValue(const Person& person, const std::string& phenotypeName,
                     const std::string& value) {
    const Phenotype* phenotype = person.getPhenotype(phenotypeName);
    return phenotype != nullptr && phenotype->getValue() == value;
}

static bool isHeterozygous(const Person& person, const std::string& markerIndex) {
    const Marker* genotype = person.getMarker(markerIndex);
    return genotype != nullptr && genotype->getAllele(0) != genotype->getAllele(1);
}

static bool isFounder(const Person& person) {
    return person.getFatherId() == "0" && person.getMotherId() == "0";
}

struct Parents {
    Person* father = nullptr;
    Person* mother = nullptr;

    bool bothFound() const { return father != nullptr && mother != nullptr; }
    int typedCount(const std::string& markerIndex) const {
        return (father != nullptr && isTyped(*father, markerIndex) ? 1 : 0) +
               (mother != nullptr && isTyped(*mother, markerIndex) ? 1 : 0);
    }
};

static Parents parentsOf(const Person& child, const Pedigree& pedigree) {
    RBTree<Person>* persons = pedigree.getPersonTree();
    if (persons == nullptr) {
        return {};
    }
    return {persons->find(child.getFatherId()), persons->find(child.getMotherId())};
}

// A fresh member of a derived pedigree: a deep copy of the source's records
// under the LINKAGE ids of its place in the small family.
static Person* derivedCopy(Pedigrees& store, const Person& source, const std::string& id,
                           const std::string& father, const std::string& mother,
                           const std::string& firstOffspring, const std::string& nextSib,
                           const std::string& proband) {
    auto* copy = new Person(source.getPedigreeId(), id, father, mother, source.getSex());
    copy->setFOID(firstOffspring);
    copy->setNPSID(nextSib);
    copy->setNMSID(nextSib);
    copy->setProbandStatus(proband);
    copy->addPhenotypes(store.copyPhenotypes(source.getPhenotypeTree()));
    copy->addMarkers(store.copyMarkers(source.getMarkerTree()));
    return copy;
}

static void addTo(Pedigree& pedigree, Person* person) {
    if (!pedigree.addPerson(person)) {
        delete person;
    }
}

static void insertInto(RBTree<Pedigree>* set, Pedigree* pedigree) {
    if (set == nullptr || !set->insert(pedigree)) {
        delete pedigree;
    }
}

// ---- HRR set

RBTree<Pedigree>* Pedigrees::createHrrPedigreesForMarker(const std::string& phenotypeName,
                                                         const std::string& markerIndex) {
    delete hrrPedigrees;
    hrrPedigrees = new RBTree<Pedigree>(new Pedigree(), "Master-HRR-Tree");
    pedigreeCreateHrrPedigrees(pedigreeTree->root, phenotypeName, markerIndex);
    createHrrMarkerInfo();
    return hrrPedigrees;
}

void Pedigrees::pedigreeCreateHrrPedigrees(Pedigree* root, const std::string& phenotypeName,
                                           const std::string& markerIndex) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    pedigreeCreateHrrPedigrees(root->left, phenotypeName, markerIndex);
    if (root->getPersonTree() != nullptr) {
        personCreateHrrPedigrees(root->getPersonTree()->root, root, phenotypeName, markerIndex);
    }
    if (!hrrTrioFound) {
        singletonPedigree(root, phenotypeName, markerIndex);
    }
    hrrTrioFound = false;
    pedigreeCreateHrrPedigrees(root->right, phenotypeName, markerIndex);
}

// Each person in turn is tried against the four rules before the next
// person is: an unaffected child of typed parents met first is taken before
// a later affected child.
void Pedigrees::personCreateHrrPedigrees(Person* root, Pedigree* pedigree,
                                         const std::string& phenotypeName,
                                         const std::string& markerIndex) {
    if (root == nullptr || isLeaf(root->key) || hrrTrioFound) {
        return;
    }
    personCreateHrrPedigrees(root->left, pedigree, phenotypeName, markerIndex);
    personCreateHrrPedigreesOne(root, pedigree, phenotypeName, markerIndex);
    personCreateHrrPedigreesTwo(root, pedigree, phenotypeName, markerIndex);
    personCreateHrrPedigreesThree(root, pedigree, phenotypeName, markerIndex);
    personCreateHrrPedigreesFour(root, pedigree, phenotypeName, markerIndex);
    personCreateHrrPedigrees(root->right, pedigree, phenotypeName, markerIndex);
}

// Rule 1: an affected typed child with both parents typed.
void Pedigrees::personCreateHrrPedigreesOne(Person* child, Pedigree* pedigree,
                                            const std::string& phenotypeName,
                                            const std::string& markerIndex) {
    if (hrrTrioFound || !isTyped(*child, markerIndex) || !hasValue(*child, phenotypeName, "2")) {
        return;
    }
    const Parents parents = parentsOf(*child, *pedigree);
    if (parents.bothFound() && parents.typedCount(markerIndex) == 2) {
        copyHrrFamily(child, parents.mother, parents.father, "hrr");
        hrrTrioFound = true;
    }
}

// Rule 2: an affected typed child with at least one parent typed.
void Pedigrees::personCreateHrrPedigreesTwo(Person* child, Pedigree* pedigree,
                                            const std::string& phenotypeName,
                                            const std::string& markerIndex) {
    if (hrrTrioFound || !isTyped(*child, markerIndex) || !hasValue(*child, phenotypeName, "2")) {
        return;
    }
    const Parents parents = parentsOf(*child, *pedigree);
    if (parents.bothFound() && parents.typedCount(markerIndex) >= 1) {
        copyHrrFamily(child, parents.mother, parents.father, "hrr");
        hrrTrioFound = true;
    }
}

// Rule 3: an affected typed child whose parents are both untyped.
void Pedigrees::personCreateHrrPedigreesThree(Person* child, Pedigree* pedigree,
                                              const std::string& phenotypeName,
                                              const std::string& markerIndex) {
    if (hrrTrioFound || !isTyped(*child, markerIndex) || !hasValue(*child, phenotypeName, "2")) {
        return;
    }
    const Parents parents = parentsOf(*child, *pedigree);
    if (parents.bothFound() && parents.typedCount(markerIndex) == 0) {
        copyHrrFamily(child, parents.mother, parents.father, "hrr");
        hrrTrioFound = true;
    }
}

// Rule 4: an unaffected typed child with both parents typed.
void Pedigrees::personCreateHrrPedigreesFour(Person* child, Pedigree* pedigree,
                                             const std::string& phenotypeName,
                                             const std::string& markerIndex) {
    if (hrrTrioFound || !isTyped(*child, markerIndex) || !hasValue(*child, phenotypeName, "1")) {
        return;
    }
    const Parents parents = parentsOf(*child, *pedigree);
    if (parents.bothFound() && parents.typedCount(markerIndex) == 2) {
        copyHrrFamily(child, parents.mother, parents.father, "hrr");
        hrrTrioFound = true;
    }
}

void Pedigrees::singletonPedigree(Pedigree* pedigree, const std::string& phenotypeName,
                                  const std::string& markerIndex) {
    if (pedigree->getPersonTree() != nullptr) {
        singletonPerson(pedigree->getPersonTree()->root, phenotypeName, markerIndex);
    }
}

// Typed founders of pedigrees without a trio add to the singleton counts of
// the store's marker information; the counts grow with every build.
void Pedigrees::singletonPerson(Person* root, const std::string& phenotypeName,
                                const std::string& markerIndex) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    singletonPerson(root->left, phenotypeName, markerIndex);
    const Marker* genotype = root->getMarker(markerIndex);
    MarkerInfo* record = markerInfo != nullptr ? markerInfo->find(markerIndex) : nullptr;
    if (isFounder(*root) && genotype != nullptr && record != nullptr) {
        const bool affected = hasValue(*root, phenotypeName, "2");
        const bool healthy = hasValue(*root, phenotypeName, "1");
        const auto count = [affected](auto& counted) {
            ++(affected ? counted.affectedSingletonCount : counted.healthySingletonCount);
        };
        if (affected || healthy) {
            count(*record);
            for (int slot = 0; slot < 2; ++slot) {
                if (Allele* allele = record->getAlleleWithName(genotype->getAllele(slot))) {
                    count(*allele);
                }
            }
        }
    }
    singletonPerson(root->right, phenotypeName, markerIndex);
}

void Pedigrees::copyHrrFamily(Person* child, Person* mother, Person* father,
                              const std::string& kind) {
    auto* trio = new Pedigree(child->getPedigreeId());
    addTo(*trio, derivedCopy(*this, *child, "3", "1", "2", "0", "0", "0"));
    addTo(*trio, derivedCopy(*this, *mother, "2", "0", "0", "3", "0", "0"));
    addTo(*trio, derivedCopy(*this, *father, "1", "0", "0", "3", "0", "1"));
    insertInto(kind == "tdt" ? tdtPedigrees : hrrPedigrees, trio);
}

void Pedigrees::createHrrMarkerInfo() {
    delete hrrMarkerInfo;
    hrrMarkerInfo = new RBTree<MarkerInfo>(new MarkerInfo(), "hrrarkersinfo");
    createMarkerInfoPedigreeRecursion(hrrPedigrees->root, hrrMarkerInfo);
}

int Pedigrees::getHrrPedigreeCount() const {
    return hrrPedigrees != nullptr ? hrrPedigrees->count : 0;
}

int Pedigrees::getHrrPersonCount() {
    personCountSum = 0;
    if (hrrPedigrees != nullptr) {
        getPedigreePersonCount(hrrPedigrees->root);
    }
    return personCountSum;
}

// ---- TDT set

RBTree<Pedigree>* Pedigrees::createTdtPedigreesForMarker(const std::string& phenotypeName,
                                                         const std::string& markerIndex) {
    delete tdtPedigrees;
    tdtPedigrees = new RBTree<Pedigree>(new Pedigree(), "Master-TDT-TRee");
    pedigreeCreateTdtPedigrees(pedigreeTree->root, phenotypeName, markerIndex);
    createTdtMarkerInfo();
    return tdtPedigrees;
}

void Pedigrees::pedigreeCreateTdtPedigrees(Pedigree* root, const std::string& phenotypeName,
                                           const std::string& markerIndex) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    pedigreeCreateTdtPedigrees(root->left, phenotypeName, markerIndex);
    tdtTrioFound = false;
    if (root->getPersonTree() != nullptr) {
        personCreateTdtPedigrees(root->getPersonTree()->root, root, phenotypeName, markerIndex);
    }
    tdtTrioFound = false;
    pedigreeCreateTdtPedigrees(root->right, phenotypeName, markerIndex);
}

void Pedigrees::personCreateTdtPedigrees(Person* root, Pedigree* pedigree,
                                         const std::string& phenotypeName,
                                         const std::string& markerIndex) {
    if (root == nullptr || isLeaf(root->key) || tdtTrioFound) {
        return;
    }
    personCreateTdtPedigrees(root->left, pedigree, phenotypeName, markerIndex);
    personCreateTdtPedigreesSimple(root, pedigree, phenotypeName, markerIndex);
    personCreateTdtPedigrees(root->right, pedigree, phenotypeName, markerIndex);
}

// An affected typed child whose typed parents are both heterozygous.
void Pedigrees::personCreateTdtPedigreesSimple(Person* child, Pedigree* pedigree,
                                               const std::string& phenotypeName,
                                               const std::string& markerIndex) {
    if (tdtTrioFound || !isTyped(*child, markerIndex) || !hasValue(*child, phenotypeName, "2")) {
        return;
    }
    const Parents parents = parentsOf(*child, *pedigree);
    if (parents.bothFound() && isHeterozygous(*parents.mother, markerIndex) &&
        isHeterozygous(*parents.father, markerIndex)) {
        copyHrrFamily(child, parents.mother, parents.father, "tdt");
        tdtTrioFound = true;
    }
}

void Pedigrees::createTdtMarkerInfo() {
    delete tdtMarkerInfo;
    tdtMarkerInfo = new RBTree<MarkerInfo>(new MarkerInfo(), "tdtmarkersinfo");
    createMarkerInfoPedigreeRecursion(tdtPedigrees->root, tdtMarkerInfo);
}

int Pedigrees::getTdtPedigreeCount() const {
    return tdtPedigrees != nullptr ? tdtPedigrees->count : 0;
}

// ---- Sib-pair set

RBTree<Pedigree>* Pedigrees::createSibPairPedigreesForMarker(const std::string& phenotypeName,
                                                             const std::string& markerIndex) {
    delete sibPairPedigrees;
    sibPairPedigrees = new RBTree<Pedigree>(new Pedigree(), "Master-Sibpair-TRee");
    pedigreeCreateSibPairPedigrees(pedigreeTree->root, phenotypeName, markerIndex);
    createSibPairMarkerInfo();
    return sibPairPedigrees;
}

void Pedigrees::pedigreeCreateSibPairPedigrees(Pedigree* root, const std::string& phenotypeName,
                                               const std::string& markerIndex) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    pedigreeCreateSibPairPedigrees(root->left, phenotypeName, markerIndex);
    sibPairFound = false;
    if (root->getPersonTree() != nullptr) {
        personCreateSibPairPedigrees(root->getPersonTree()->root, root, phenotypeName, markerIndex);
    }
    sibPairFound = false;
    pedigreeCreateSibPairPedigrees(root->right, phenotypeName, markerIndex);
}

// Each person in turn is the first sib; its parents' typing only decides
// which of the three searches looks for the second.
void Pedigrees::personCreateSibPairPedigrees(Person* root, Pedigree* pedigree,
                                             const std::string& phenotypeName,
                                             const std::string& markerIndex) {
    if (root == nullptr || isLeaf(root->key) || sibPairFound) {
        return;
    }
    personCreateSibPairPedigrees(root->left, pedigree, phenotypeName, markerIndex);
    personCreateSibPairPedigreesOne(root, pedigree, phenotypeName, markerIndex);
    personCreateSibPairPedigreesTwo(root, pedigree, phenotypeName, markerIndex);
    personCreateSibPairPedigreesThree(root, pedigree, phenotypeName, markerIndex);
    personCreateSibPairPedigrees(root->right, pedigree, phenotypeName, markerIndex);
}

// Both parents typed.
void Pedigrees::personCreateSibPairPedigreesOne(Person* firstSib, Pedigree* pedigree,
                                                const std::string& phenotypeName,
                                                const std::string& markerIndex) {
    const Parents parents = parentsOf(*firstSib, *pedigree);
    if (!sibPairFound && parents.bothFound() && parents.typedCount(markerIndex) == 2) {
        personFindSiblingAndCreateSibPairPedigreesSimple(pedigree->getPersonTree()->root, firstSib,
                                                         pedigree, phenotypeName, markerIndex);
    }
}

// One parent typed.
void Pedigrees::personCreateSibPairPedigreesTwo(Person* firstSib, Pedigree* pedigree,
                                                const std::string& phenotypeName,
                                                const std::string& markerIndex) {
    const Parents parents = parentsOf(*firstSib, *pedigree);
    if (!sibPairFound && parents.bothFound() && parents.typedCount(markerIndex) == 1) {
        personFindSiblingAndCreateSibPairPedigreesSimple(pedigree->getPersonTree()->root, firstSib,
                                                         pedigree, phenotypeName, markerIndex);
    }
}

// Neither parent typed.
void Pedigrees::personCreateSibPairPedigreesThree(Person* firstSib, Pedigree* pedigree,
                                                  const std::string& phenotypeName,
                                                  const std::string& markerIndex) {
    const Parents parents = parentsOf(*firstSib, *pedigree);
    if (!sibPairFound && parents.bothFound() && parents.typedCount(markerIndex) == 0) {
        personFindSiblingAndCreateSibPairPedigreesSimple(pedigree->getPersonTree()->root, firstSib,
                                                         pedigree, phenotypeName, markerIndex);
    }
}

// The first full sib, in key order, that is typed and affected like the
// first sib makes the pair.
void Pedigrees::personFindSiblingAndCreateSibPairPedigreesSimple(Person* root, Person* firstSib,
                                                                 Pedigree* pedigree,
                                                                 const std::string& phenotypeName,
                                                                 const std::string& markerIndex) {
    if (root == nullptr || isLeaf(root->key) || sibPairFound) {
        return;
    }
    personFindSiblingAndCreateSibPairPedigreesSimple(root->left, firstSib, pedigree, phenotypeName,
                                                     markerIndex);
    const bool fullSib = root->getPersonId() != firstSib->getPersonId() &&
                         root->getFatherId() == firstSib->getFatherId() &&
                         root->getMotherId() == firstSib->getMotherId();
    const bool bothAffectedAndTyped =
        isTyped(*root, markerIndex) && isTyped(*firstSib, markerIndex) &&
        hasValue(*root, phenotypeName, "2") && hasValue(*firstSib, phenotypeName, "2");
    if (!sibPairFound && fullSib && bothAffectedAndTyped) {
        const Parents parents = parentsOf(*firstSib, *pedigree);
        if (parents.bothFound()) {
            copySibFamily(root, firstSib, parents.mother, parents.father);
            sibPairFound = true;
        }
    }
    personFindSiblingAndCreateSibPairPedigreesSimple(root->right, firstSib, pedigree, phenotypeName,
                                                     markerIndex);
}

void Pedigrees::copySibFamily(Person* secondSib, Person* firstSib, Person* mother, Person* father) {
    auto* pair = new Pedigree(firstSib->getPedigreeId());
    addTo(*pair, derivedCopy(*this, *firstSib, "3", "1", "2", "0", "4", "0"));
    addTo(*pair, derivedCopy(*this, *secondSib, "4", "1", "2", "0", "0", "0"));
    addTo(*pair, derivedCopy(*this, *mother, "2", "0", "0", "3", "0", "0"));
    addTo(*pair, derivedCopy(*this, *father, "1", "0", "0", "3", "0", "1"));
    insertInto(sibPairPedigrees, pair);
}

void Pedigrees::createSibPairMarkerInfo() {
    delete sibPairMarkerInfo;
    sibPairMarkerInfo = new RBTree<MarkerInfo>(new MarkerInfo(), "sibpairmarkersinfo");
    createMarkerInfoPedigreeRecursion(sibPairPedigrees->root, sibPairMarkerInfo);
}

int Pedigrees::getSibPairPedigreeCount() const {
    return sibPairPedigrees != nullptr ? sibPairPedigrees->count : 0;
}
