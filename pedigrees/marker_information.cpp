// Allele counts per marker and group, and the new allele names 1..n.
#include <algorithm>
#include <string>
#include <vector>

#include "marker_info.h"
#include "pedigrees.h"
#include "utilities.h"

namespace {

bool isLeaf(const std::string& key) {
    return isLeafKey(key);
}

bool isFounder(const Person& person) {
    return person.fatherId == "0" && person.motherId == "0";
}

// Each marker's allele of a name, made on first sight. Most allele names
// are a single digit: those are remembered per marker for the whole count,
// so that every later copy costs an index rather than a search through the
// marker's alleles.
class AlleleLookup {
  public:
    explicit AlleleLookup(int markerCount)
        : digits_(static_cast<std::size_t>(markerCount) * 10, nullptr) {}

    Allele& of(MarkerInfo& record, int number, const std::string& name) {
        Allele** const remembered = name.size() == 1 && name[0] >= '0' && name[0] <= '9'
                                        ? &digits_[static_cast<std::size_t>(number) * 10 +
                                                   static_cast<std::size_t>(name[0] - '0')]
                                        : nullptr;
        if (remembered != nullptr && *remembered != nullptr) {
            return **remembered;
        }
        Allele* allele = record.getAlleleWithName(name);
        if (allele == nullptr) {
            allele = new Allele(name);
            record.addAllele(allele);
        }
        if (remembered != nullptr) {
            *remembered = allele;
        }
        return *allele;
    }

  private:
    std::vector<Allele*> digits_;
};

// Counts one allele copy into the record's totals and into the allele's own
// counts, under the same rules: X-linked males give no second copy to "all"
// and "males", while founders count both copies.
void countAlleleCopy(MarkerInfo& record, Allele* allele, int slot, bool male, bool founder,
                     bool xlinked) {
    // The counts are incremented in place: this runs for every allele copy of
    // the file, twice per read.
    const bool countsAsCopy = !(male && xlinked && slot == 1);
    if (countsAsCopy) {
        ++(male ? record.malesCount : record.femalesCount);
        ++record.allCount;
        ++(male ? allele->malesCount : allele->femalesCount);
        ++allele->allCount;
    }
    if (founder) {
        ++record.foundersCount;
        ++allele->foundersCount;
    }
}

MarkerInfo* findOrCreateRecord(RBTree<MarkerInfo>& tree, const std::string& index,
                               int markerCount) {
    // Once every marker's record exists, nothing more is inserted, and the
    // number table answers the look-ups without a tree walk; while records
    // are still being made, an insert would drop that table after every
    // look-up.
    MarkerInfo* record = tree.count >= markerCount ? tree.findIndexed(index) : tree.find(index);
    if (record == nullptr) {
        record = new MarkerInfo(index);
        tree.insert(record);
    }
    return record;
}

// The persons of a person tree in key order that have a genotype tree.
void collectGenotypedPersons(const Person* root, std::vector<const Person*>& persons) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    collectGenotypedPersons(root->left, persons);
    if (root->getMarkerTree() != nullptr) {
        persons.push_back(root);
    }
    collectGenotypedPersons(root->right, persons);
}

// The persons of a pedigree tree that have a genotype tree, pedigree by
// pedigree in key order and each pedigree's persons in key order.
void collectPedigreePersons(const Pedigree* root, std::vector<const Person*>& persons) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    collectPedigreePersons(root->left, persons);
    if (root->getPersonTree() != nullptr) {
        collectGenotypedPersons(root->getPersonTree()->root, persons);
    }
    collectPedigreePersons(root->right, persons);
}

// The marker number 0..markerCount-1 whose decimal text is the key, or -1 for
// any other key (leading zeros, signs or other characters included).
int markerNumber(const std::string& key, int markerCount) {
    // A key of more digits than plainNumber reads is beyond any marker count.
    std::size_t number = 0;
    if (!RBTree<Marker>::plainNumber(key, number) ||
        number >= static_cast<std::size_t>(std::max(markerCount, 0))) {
        return -1;
    }
    return static_cast<int>(number);
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

// All pedigrees' persons are gathered first and counted in one pass, in the
// order in which a count pedigree by pedigree would meet them.
void Pedigrees::countPedigreesInto(Pedigree* root, RBTree<MarkerInfo>* tree) {
    std::vector<const Person*> persons;
    collectPedigreePersons(root, persons);
    countGenotypes(persons, tree);
}

void Pedigrees::createMarkerInfoPersonRecursion(Person* root, RBTree<MarkerInfo>* tree) {
    std::vector<const Person*> persons;
    collectGenotypedPersons(root, persons);
    countGenotypes(persons, tree);
}

void Pedigrees::countGenotypes(const std::vector<const Person*>& persons,
                               RBTree<MarkerInfo>* tree) {
    if (tree == nullptr || markerCount < 1 || persons.empty()) {
        return;
    }
    // Each marker's record is looked up once for the whole count rather than
    // once per person, and each person's genotypes are read by walking the
    // person's tree instead of one keyed look-up per marker. The records are
    // independent, so counting a person's markers in key order rather than
    // numeric order gives the same counts and the same allele order.
    std::vector<MarkerInfo*> records;
    records.reserve(static_cast<std::size_t>(markerCount));
    for (int i = 0; i < markerCount; ++i) {
        records.push_back(findOrCreateRecord(*tree, IntToString(i), markerCount));
    }
    AlleleLookup alleles(markerCount);
    for (const Person* person : persons) {
        const bool male = person->sex == "1";
        const bool founder = isFounder(*person);
        forEachRecordInOrder(person->getMarkerTree()->root, [&](const Marker& genotype) {
            const int number = markerNumber(genotype.key, markerCount);
            if (number < 0) {
                return;
            }
            MarkerInfo& record = *records[static_cast<std::size_t>(number)];
            for (int slot = 0; slot < 2; ++slot) {
                Allele& allele =
                    alleles.of(record, number, genotype.alleles[static_cast<std::size_t>(slot)]);
                countAlleleCopy(record, &allele, slot, male, founder, xlinked);
            }
        });
    }
}

RBTree<MarkerInfo>* Pedigrees::getMarkerInfo() const {
    return markerInfo;
}

RBTree<MarkerInfo>* Pedigrees::getHrrMarkerInfo() const {
    return hrrMarkerInfo;
}
