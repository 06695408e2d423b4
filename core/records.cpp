#include "records.h"

#include <utility>
#include <vector>

#include "utilities.h"

// Phenotype

Phenotype::Phenotype(std::string phenotypeName, std::string phenotypeValue)
    : name(std::move(phenotypeName)), value(std::move(phenotypeValue)) {
    key = name;
}

std::string Phenotype::getName() const {
    return name;
}
std::string Phenotype::getValue() const {
    return value;
}
std::string Phenotype::getIndex() const {
    return index;
}
void Phenotype::setValue(std::string newValue) {
    value = std::move(newValue);
}
void Phenotype::setIndex(std::string newIndex) {
    index = std::move(newIndex);
}

// Marker

Marker::Marker(std::string markerKey, std::string second, std::string third, bool genotype) {
    key = std::move(markerKey);
    if (genotype) {
        index = key;
        // Moved one by one: a braced array would be built and moved once more.
        alleles[0] = std::move(second);
        alleles[1] = std::move(third);
    } else {
        MapEntryTexts& texts = mapEntry();
        texts.name = key;
        texts.chromosome = std::move(second);
        texts.position = std::move(third);
    }
}

Marker::Marker(std::string_view markerIndex, std::string_view firstAllele,
               std::string_view secondAllele)
    : Object<Marker>(markerIndex),
      alleles{std::string(firstAllele), std::string(secondAllele)},
      index(markerIndex) {}

Marker::MapEntryTexts& Marker::mapEntry() {
    if (!mapEntry_) {
        mapEntry_ = std::make_unique<MapEntryTexts>();
    }
    return *mapEntry_;
}

const std::string& Marker::mapText(std::string MapEntryTexts::*text) const {
    static const std::string none;
    return mapEntry_ ? (*mapEntry_).*text : none;
}

std::string Marker::getName() const {
    return mapText(&MapEntryTexts::name);
}
std::string Marker::getChromosome() const {
    return mapText(&MapEntryTexts::chromosome);
}
std::string Marker::getIndex() const {
    return index;
}
std::string Marker::getBasePairPosition() const {
    return mapText(&MapEntryTexts::basePairPosition);
}
void Marker::setName(std::string newName) {
    mapEntry().name = std::move(newName);
}
void Marker::setChromosome(std::string newChromosome) {
    mapEntry().chromosome = std::move(newChromosome);
}
void Marker::setPosition(std::string newPosition) {
    mapEntry().position = std::move(newPosition);
}
void Marker::setBasePairPosition(std::string newPosition) {
    mapEntry().basePairPosition = std::move(newPosition);
}
void Marker::setIndex(std::string newIndex) {
    index = std::move(newIndex);
}

double Marker::getPosition() const {
    return stringToDouble(mapText(&MapEntryTexts::position));
}

std::string Marker::getAllele(int i) const {
    return i == 0 || i == 1 ? alleles[static_cast<std::size_t>(i)] : std::string();
}

void Marker::setAllele(int i, std::string allele) {
    if (i == 0 || i == 1) {
        alleles[static_cast<std::size_t>(i)] = std::move(allele);
    }
}

// Person

Person::Person(std::string pedigree, std::string person, std::string father, std::string mother,
               std::string personSex)
    : pedigreeId(std::move(pedigree)),
      personId(std::move(person)),
      fatherId(std::move(father)),
      motherId(std::move(mother)),
      sex(std::move(personSex)),
      phenotypeTree(new RBTree<Phenotype>(new Phenotype(), personId)),
      markerTree(new RBTree<Marker>(new Marker(), personId)) {
    key = personId;
}

Person::Person(std::string father, std::string mother, std::string personSex)
    : Person(std::string(), std::string(), std::move(father), std::move(mother),
             std::move(personSex)) {
    key = "NIL";
}

Person::~Person() {
    delete phenotypeTree;
    delete markerTree;
}

std::string Person::getPedigreeId() const {
    return pedigreeId;
}
std::string Person::getPersonId() const {
    return personId;
}
std::string Person::getFatherId() const {
    return fatherId;
}
std::string Person::getMotherId() const {
    return motherId;
}
std::string Person::getSex() const {
    return sex;
}
void Person::setPedigreeId(std::string id) {
    pedigreeId = std::move(id);
}
void Person::setPersonId(std::string id) {
    personId = std::move(id);
}

void Person::setFOID(std::string id) {
    firstOffspringId = std::move(id);
}
void Person::setNPSID(std::string id) {
    nextPaternalSibId = std::move(id);
}
void Person::setNMSID(std::string id) {
    nextMaternalSibId = std::move(id);
}
void Person::setProbandStatus(std::string status) {
    probandStatus = std::move(status);
}
std::string Person::getFOID() const {
    return firstOffspringId;
}
std::string Person::getNPSID() const {
    return nextPaternalSibId;
}
std::string Person::getNMSID() const {
    return nextMaternalSibId;
}
std::string Person::getProbandStatus() const {
    return probandStatus;
}

RBTree<Phenotype>* Person::getPhenotypeTree() const {
    return phenotypeTree;
}
RBTree<Marker>* Person::getMarkerTree() const {
    return markerTree;
}

bool Person::addPhenotype(Phenotype* phenotype) {
    return phenotypeTree != nullptr && phenotypeTree->insert(phenotype);
}

bool Person::addorUpdatePhenotype(std::string phenotypeName, std::string phenotypeValue) {
    if (Phenotype* existing = getPhenotype(phenotypeName)) {
        existing->setValue(std::move(phenotypeValue));
        return true;
    }
    auto* added = new Phenotype(std::move(phenotypeName), std::move(phenotypeValue));
    if (addPhenotype(added)) {
        return true;
    }
    delete added;  // refused (the reserved key), so it is still ours
    return false;
}

Phenotype* Person::getPhenotype(const std::string& phenotypeName) const {
    return phenotypeTree != nullptr ? phenotypeTree->find(phenotypeName) : nullptr;
}

void Person::addPhenotypes(RBTree<Phenotype>* tree) {
    if (tree == nullptr || tree == phenotypeTree) {
        return;
    }
    delete phenotypeTree;
    phenotypeTree = tree;
}

bool Person::addMarker(Marker* marker) {
    return markerTree != nullptr && markerTree->insert(marker);
}

Marker* Person::getMarker(const std::string& markerKey) const {
    // Genotypes are keyed by marker index: a table look-up, not a tree walk
    // that deepens with the number of markers.
    return markerTree != nullptr ? markerTree->findIndexed(markerKey) : nullptr;
}

// In key order, so the first match is the one with the smallest key.
static Marker* firstWithIndex(Marker* record, const std::string& markerIndex) {
    if (record == nullptr || isLeafKey(record->key)) {
        return nullptr;
    }
    if (Marker* found = firstWithIndex(record->left, markerIndex)) {
        return found;
    }
    if (record->index == markerIndex) {
        return record;
    }
    return firstWithIndex(record->right, markerIndex);
}

Marker* Person::getMarkerWithIndex(const std::string& markerIndex) const {
    return markerTree != nullptr ? firstWithIndex(markerTree->root, markerIndex) : nullptr;
}

void Person::addMarkers(RBTree<Marker>* tree) {
    if (tree == nullptr || tree == markerTree) {
        return;
    }
    delete markerTree;
    markerTree = tree;
}

std::string Person::getPersonInfo() const {
    std::string info;
    info.reserve(64);
    forEachPersonColumn([&info](const std::string& column) {
        info += column;
        info += '\t';
    });
    return info;
}

void Person::setSingletonId(std::string id) {
    singletonId = std::move(id);
}
bool Person::isUsedAsChild() const {
    return usedAsChild;
}
void Person::setUsedAsChild() {
    usedAsChild = true;
}
void Person::setUsedAsParent() {
    usedAsParent = true;
}
std::string Person::getNewPersonId() const {
    return newPersonId;
}
void Person::setNewPersonId(std::string id) {
    newPersonId = std::move(id);
}
void Person::setOriginalPersonId(std::string id) {
    originalPersonId = std::move(id);
}
void Person::setOriginalPedigreeId(std::string id) {
    originalPedigreeId = std::move(id);
}
std::string Person::getOriginalPersonId() const {
    return originalPersonId;
}

// Pedigree

Pedigree::Pedigree(std::string id)
    : pedigreeId(std::move(id)), personTree(new RBTree<Person>(new Person(), pedigreeId)) {
    key = pedigreeId;
}

Pedigree::~Pedigree() {
    delete personTree;
}

bool Pedigree::addPerson(Person* person) {
    return person != nullptr && personTree != nullptr && personTree->insert(person);
}

Person* Pedigree::getPerson(const std::string& personIdToFind) const {
    return personTree != nullptr ? personTree->find(personIdToFind) : nullptr;
}

std::string Pedigree::getPedigreeId() const {
    return pedigreeId;
}
RBTree<Person>* Pedigree::getPersonTree() const {
    return personTree;
}
