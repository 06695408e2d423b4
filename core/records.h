// The records of a pedigree data set. Every identifier and value is kept as
// the text that was read; relatives are found by id through the pedigree's
// person tree, never through pointers between persons.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "rbtree.h"

// One named phenotype value of a person, keyed by its name.
class Phenotype : public Object<Phenotype> {
  public:
    std::string name;
    std::string value;
    std::string index;  // carried along when the store copies phenotype records

    Phenotype() = default;  // leaf record
    Phenotype(std::string phenotypeName, std::string phenotypeValue);
    ~Phenotype() override = default;

    std::string getName() const;
    std::string getValue() const;
    std::string getIndex() const;
    void setValue(std::string newValue);
    void setIndex(std::string newIndex);
};

// Either an entry of the genetic map (keyed by its name) or a person's
// genotype at one marker (keyed by the marker index, which links the two).
// A data set holds tens of millions of genotypes and a few thousand map
// entries, so the texts that only a map entry has (name, chromosome and
// the two positions) are kept in a block of their own, made on the first
// write: a genotype holds its key, alleles and index, and an empty pointer.
class Marker : public Object<Marker> {
  public:
    std::array<std::string, 2> alleles;
    std::string index;

    Marker() = default;  // leaf record
    // A map entry takes (name, chromosome, position); a genotype takes
    // (index, first allele, second allele).
    Marker(std::string markerKey, std::string second, std::string third, bool genotype);
    // A genotype made straight from the texts of a pedigree line: what
    // (index, first allele, second allele, true) makes, without the copies
    // and reassignments of its strings.
    Marker(std::string_view markerIndex, std::string_view firstAllele,
           std::string_view secondAllele);
    ~Marker() override = default;

    std::string getName() const;
    std::string getChromosome() const;
    std::string getIndex() const;
    void setName(std::string newName);
    void setChromosome(std::string newChromosome);
    void setPosition(std::string newPosition);
    void setIndex(std::string newIndex);
    // The base-pair position a map file gives ("0" in the package's own
    // layout); empty for a genotype.
    std::string getBasePairPosition() const;
    void setBasePairPosition(std::string newPosition);

    // The centiMorgan position text read as a number (0 when it has none).
    double getPosition() const;

    // The first allele for 0, the second for 1, "" for any other index.
    std::string getAllele(int i) const;
    // Any index other than 0 and 1 is ignored.
    void setAllele(int i, std::string allele);

  private:
    struct MapEntryTexts {
        std::string name;
        std::string chromosome;
        std::string position;
        std::string basePairPosition;
    };
    std::unique_ptr<MapEntryTexts> mapEntry_;

    // The block, made when a text is first written.
    MapEntryTexts& mapEntry();
    // The text of the block, or the empty text of a record that has none.
    const std::string& mapText(std::string MapEntryTexts::*text) const;
};

// One individual with the columns of a LINKAGE pedigree line.
class Person : public Object<Person> {
  public:
    std::string pedigreeId;
    std::string personId;
    std::string fatherId;
    std::string motherId;
    std::string firstOffspringId = "-999";  // "-999": no pointer columns were read
    std::string nextPaternalSibId;
    std::string nextMaternalSibId;
    std::string sex;
    std::string probandStatus;
    RBTree<Phenotype>* phenotypeTree = nullptr;
    RBTree<Marker>* markerTree = nullptr;
    std::string singletonId;
    bool usedAsChild = false;
    bool usedAsParent = false;
    std::string newPersonId;
    std::string originalPedigreeId;
    std::string originalPersonId;

    Person() = default;  // leaf record
    Person(std::string pedigree, std::string person, std::string father, std::string mother,
           std::string personSex);
    // A person whose ids are set later (key and ids stay empty / "NIL" until then).
    Person(std::string father, std::string mother, std::string personSex);
    ~Person() override;

    std::string getPedigreeId() const;
    std::string getPersonId() const;
    std::string getFatherId() const;
    std::string getMotherId() const;
    std::string getSex() const;
    void setPedigreeId(std::string id);
    void setPersonId(std::string id);

    void setFOID(std::string id);
    void setNPSID(std::string id);
    void setNMSID(std::string id);
    void setProbandStatus(std::string status);
    std::string getFOID() const;
    std::string getNPSID() const;
    std::string getNMSID() const;
    std::string getProbandStatus() const;

    RBTree<Phenotype>* getPhenotypeTree() const;
    RBTree<Marker>* getMarkerTree() const;

    bool addPhenotype(Phenotype* phenotype);
    bool addorUpdatePhenotype(std::string phenotypeName, std::string phenotypeValue);
    Phenotype* getPhenotype(const std::string& phenotypeName) const;
    // Replaces the phenotype tree (deleting the old one) by the given tree,
    // which the person then owns; null or the person's own tree change nothing.
    void addPhenotypes(RBTree<Phenotype>* tree);

    bool addMarker(Marker* marker);
    Marker* getMarker(const std::string& markerKey) const;
    // The genotype whose index field equals the text (smallest key if several).
    Marker* getMarkerWithIndex(const std::string& markerIndex) const;
    // Replaces the genotype tree like addPhenotypes.
    void addMarkers(RBTree<Marker>* tree);

    // The pedigree-file columns, each followed by a tab.
    std::string getPersonInfo() const;
    // Calls add with each of those columns in file order.
    template <typename Add>
    void forEachPersonColumn(Add&& add) const {
        add(pedigreeId);
        add(personId);
        add(fatherId);
        add(motherId);
        if (firstOffspringId != "-999") {
            add(firstOffspringId);
            add(nextPaternalSibId);
            add(nextMaternalSibId);
            add(sex);
            add(probandStatus);
        } else {
            add(sex);
        }
    }

    void setSingletonId(std::string id);
    bool isUsedAsChild() const;
    void setUsedAsChild();
    void setUsedAsParent();
    std::string getNewPersonId() const;
    void setNewPersonId(std::string id);
    void setOriginalPersonId(std::string id);
    void setOriginalPedigreeId(std::string id);
    std::string getOriginalPersonId() const;
};

// One family: its id and the tree of its persons keyed by person id.
class Pedigree : public Object<Pedigree> {
  public:
    std::string pedigreeId;
    std::string originalPedigreeId;
    RBTree<Person>* personTree = nullptr;

    Pedigree() = default;  // leaf record
    explicit Pedigree(std::string id);
    ~Pedigree() override;

    // Takes ownership unless it returns false (null, or the id is present).
    bool addPerson(Person* person);
    Person* getPerson(const std::string& personIdToFind) const;
    std::string getPedigreeId() const;
    RBTree<Person>* getPersonTree() const;
};
