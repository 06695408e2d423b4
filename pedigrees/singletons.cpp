// Unrelated cases and controls as dummy pedigrees: two singletons of
// opposite sex become the parents of a dummy child, a singleton without a
// partner gets a dummy spouse and a dummy child. The dummy pedigrees join the
// pedigree tree only when combined, after which every later step treats them
// as ordinary pedigrees.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "marker_map.h"
#include "pedigrees.h"
#include "utilities.h"

// The words of a singleton file, whose line breaks carry no meaning; the
// line of the last word read is kept for messages.
class SingletonWords {
  public:
    explicit SingletonWords(std::istream& in) : in_(in) {}

    bool next(std::string& word) {
        word.clear();
        char c = 0;
        while (in_.get(c) && std::isspace(static_cast<unsigned char>(c))) {
            if (c == '\n') {
                ++line_;
            }
        }
        if (!in_) {
            return false;
        }
        wordLine_ = line_;
        do {
            word += c;
        } while (in_.get(c) && !std::isspace(static_cast<unsigned char>(c)));
        if (in_) {
            in_.unget();
        }
        return true;
    }

    int wordLine() const { return wordLine_; }
    bool failed() const { return in_.bad(); }

  private:
    std::istream& in_;
    int line_ = 1;
    int wordLine_ = 0;
};

static bool isMissingAllele(const std::string& allele) {
    return allele == "0" || allele == "-" || allele == "." || allele == "x";
}

static bool readWholeNumber(const std::string& word, int& value) {
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    return error == std::errc() && stop == end;
}

static bool readSingletonMap(MarkerMap* map, int& count, bool plink, const std::string& fileName) {
    if (plink) {
        map->plinkFormat = true;
    }
    const bool read = map->readMapFile(fileName);
    count = map->getMarkerCount();
    return read;
}

bool Pedigrees::readMapFileForCasePedigrees(const std::string& fileName) {
    std::cout << "Cases marker map..." << std::endl;
    return readSingletonMap(caseMarkerMap, caseMarkerCount, plinkMapFormat, fileName);
}

bool Pedigrees::readMapFileForControlPedigrees(const std::string& fileName) {
    std::cout << "Controls marker map..." << std::endl;
    return readSingletonMap(controlMarkerMap, controlMarkerCount, plinkMapFormat, fileName);
}

// One singleton as read, before it is placed in a dummy pedigree.
struct Singleton {
    std::unique_ptr<Person> person;
    bool used = false;
};

static Person* dummyPerson(const std::string& pedigreeId, const std::string& id,
                           const std::string& father, const std::string& mother,
                           const std::string& sex, const std::string& firstOffspring,
                           const std::string& proband) {
    auto* person = new Person(pedigreeId, id, father, mother, sex);
    person->setFOID(firstOffspring);
    person->setNPSID("0");
    person->setNMSID("0");
    person->setProbandStatus(proband);
    return person;
}

// Gives the singleton its place in the dummy pedigree; it keeps its file id
// as its singleton id.
static Person* placeSingleton(std::unique_ptr<Person> singleton, const std::string& pedigreeId,
                              const std::string& id, const std::string& proband,
                              const std::string& phenotypeName, const std::string& value) {
    Person* person = singleton.release();
    person->setPedigreeId(pedigreeId);
    person->setPersonId(id);
    person->key = id;
    person->setFOID("3");
    person->setNPSID("0");
    person->setNMSID("0");
    person->setProbandStatus(proband);
    person->addPhenotype(new Phenotype(phenotypeName, value));
    return person;
}

// What one kind of singletons takes: the first dummy pedigree number and
// the phenotype value of its persons.
struct SingletonKind {
    bool controls;
    int firstPedigreeNumber;
    std::string phenotypeValue;

    explicit SingletonKind(const std::string& lowerKind)
        : controls(lowerKind == "controls"),
          firstPedigreeNumber(controls ? 800000 : 900000),
          phenotypeValue(controls ? "1" : "2") {}
};

// The main map's index of each singleton marker, empty for a marker it does
// not hold. Genotypes are matched by name against the main map only: the
// other kind's map numbers its markers in its own file order.
static std::vector<std::string> mainMapIndices(const MarkerMap& singletonMap, int markers,
                                               const MarkerMap* mainMap) {
    std::vector<std::string> indices(static_cast<std::size_t>(markers));
    for (int j = 0; j < markers; ++j) {
        const std::string name = singletonMap.getMarkerName(IntToString(j));
        const Marker* mapped = mainMap != nullptr ? mainMap->getMarkerWithName(name) : nullptr;
        if (mapped != nullptr) {
            indices[static_cast<std::size_t>(j)] = mapped->getIndex();
        } else {
            std::cout << "Warning: Singleton marker '" << name
                      << "' not found from original marker map file! This marker will not be "
                         "analyzed!"
                      << std::endl;
        }
    }
    return indices;
}

// Markers that the main map lacks get indices of their own above the main
// map's, so their genotypes never mix with its markers.
static int firstFreshIndex(const MarkerMap* mainMap) {
    const int count = mainMap != nullptr ? mainMap->getNumberOfMarkers() : 0;
    if (count == 0) {
        return 0;
    }
    const Marker* last = mainMap->getMarker(IntToString(count - 1));
    return last != nullptr ? stringToInt(last->getIndex()) + 1 : count;
}

// The records of a singleton file after its count; false, with a message,
// for a record cut short, a sex other than 1 or 2, a half-typed pair or a
// repeated marker.
class SingletonRecords {
  public:
    SingletonRecords(SingletonWords& words, std::string fileName, bool linkageLayout,
                     std::vector<std::string> indices, int freshIndex)
        : words_(words),
          fileName_(std::move(fileName)),
          leadingWords_(linkageLayout ? 6 : 2),
          linkageLayout_(linkageLayout),
          indices_(std::move(indices)),
          freshIndex_(freshIndex) {}

    bool read(std::vector<Singleton>& singletons) {
        for (int ordinal = 1;; ++ordinal) {
            std::vector<std::string> leading;
            int firstLine = 0;
            std::string word;
            while (static_cast<int>(leading.size()) < leadingWords_ && words_.next(word)) {
                if (leading.empty()) {
                    firstLine = words_.wordLine();
                }
                leading.push_back(word);
            }
            if (leading.empty()) {
                return true;
            }
            const std::string id =
                linkageLayout_ && leading.size() >= 2 ? leading[0] + "." + leading[1] : leading[0];
            if (static_cast<int>(leading.size()) < leadingWords_) {
                return cutShort(id, firstLine);
            }
            const std::string& sex = linkageLayout_ ? leading[4] : leading[1];
            if (sex != "1" && sex != "2") {
                // The engine crashes on any other sex code, as the pedigree
                // reader knows.
                std::cout << "Error: Singleton file " << fileName_ << ", line " << firstLine
                          << ": the sex of singleton " << id << " is " << sex
                          << ", not 1 (male) or 2 (female)!" << std::endl;
                return false;
            }
            auto person = std::make_unique<Person>("0", "0", sex);
            person->setSingletonId(id);
            if (!readGenotypes(*person, id, ordinal, firstLine)) {
                return false;
            }
            singletons.push_back({std::move(person), false});
        }
    }

  private:
    bool readGenotypes(Person& person, const std::string& id, int ordinal, int firstLine) {
        for (std::size_t j = 0; j < indices_.size(); ++j) {
            const std::string index =
                indices_[j].empty() ? IntToString(freshIndex_++) : indices_[j];
            std::string allele1;
            std::string allele2;
            if (!words_.next(allele1) || !words_.next(allele2)) {
                return cutShort(id, firstLine);
            }
            if ((allele1 == "0") != (allele2 == "0")) {
                std::cout << "Error: Singleton " << id << " halftyped at marker_index: " << j
                          << std::endl
                          << "*** Problem with singleton file format? ***" << std::endl;
                return false;
            }
            if (isMissingAllele(allele1) || isMissingAllele(allele2)) {
                continue;
            }
            auto genotype = std::make_unique<Marker>(index, allele1, allele2, true);
            if (!person.addMarker(genotype.get())) {
                std::cout << "Error: Duplicate marker at line: " << ordinal << " marker id: " << j
                          << " allele 1: " << allele1 << " allele 2: " << allele2 << std::endl;
                return false;
            }
            genotype.release();
        }
        return true;
    }

    bool cutShort(const std::string& id, int line) const {
        std::cout << "Error: Singleton file " << fileName_
                  << " ends inside the record of singleton " << id << " starting at line " << line
                  << "!" << std::endl;
        return false;
    }

    SingletonWords& words_;
    std::string fileName_;
    int leadingWords_;
    bool linkageLayout_;
    std::vector<std::string> indices_;
    int freshIndex_;
};

// Pairs each unused singleton with the first later unused one of another
// sex text; a singleton without a partner gets a dummy spouse.
static void makeDummyPedigrees(std::vector<Singleton>& singletons, const SingletonKind& kind,
                               const RBTree<Pedigree>& pedigreeTree,
                               const std::string& phenotypeName, std::vector<Pedigree*>& made) {
    int pedigreeNumber = kind.firstPedigreeNumber;
    for (auto first = singletons.begin(); first != singletons.end(); ++first) {
        if (first->used) {
            continue;
        }
        const std::string firstSex = first->person->getSex();
        const auto partner = std::find_if(first + 1, singletons.end(), [&](const Singleton& s) {
            return !s.used && s.person->getSex() != firstSex;
        });
        while (pedigreeTree.find(IntToString(pedigreeNumber)) != nullptr) {
            ++pedigreeNumber;
        }
        const std::string pedigreeId = IntToString(pedigreeNumber++);
        const bool firstIsMale = firstSex == "1";

        auto* pedigree = new Pedigree(pedigreeId);
        first->used = true;
        pedigree->addPerson(placeSingleton(std::move(first->person), pedigreeId, "1", "1",
                                           phenotypeName, kind.phenotypeValue));
        if (partner != singletons.end()) {
            partner->used = true;
            pedigree->addPerson(placeSingleton(std::move(partner->person), pedigreeId, "2", "0",
                                               phenotypeName, kind.phenotypeValue));
        } else {
            pedigree->addPerson(
                dummyPerson(pedigreeId, "2", "0", "0", firstIsMale ? "2" : "1", "3", "0"));
        }
        pedigree->addPerson(dummyPerson(pedigreeId, "3", firstIsMale ? "1" : "2",
                                        firstIsMale ? "2" : "1", "2", "0", "0"));
        made.push_back(pedigree);
    }
}

bool Pedigrees::readSingletonFile(const std::string& fileName, const std::string& kind,
                                  bool linkageLayout) {
    const std::string lowerKind = stringToLower(kind);
    const SingletonKind settings(lowerKind);
    std::cout << "Singleton (" << lowerKind << ") genotype file..." << std::endl;
    if (linkageLayout) {
        std::cout << "Singleton file is in LINKAGE format..." << std::endl;
    }
    std::cout << "(Phenotype name: " << caseControlPhenotypeName << ")" << std::endl;

    const int markers = settings.controls ? controlMarkerCount : caseMarkerCount;
    if (markers == 0) {
        std::cout << (settings.controls
                          ? "Error: Unable to open control genotype file before control map file!"
                          : "Error: Unable to open case genotype file before case map file!")
                  << std::endl;
        return false;
    }
    const int freshIndex = firstFreshIndex(markerMap);

    std::ifstream in(fileName);
    if (!in) {
        std::cout << "Error: Unable to open singleton file " << fileName << " for reading!"
                  << std::endl;
        return false;
    }
    SingletonWords words(in);
    if (!linkageLayout) {
        std::string word;
        int count = 0;
        if (!words.next(word) || !readWholeNumber(word, count) || count != markers) {
            std::cout << "Error: Singleton marker map file marker count doesn't match with "
                         "singleton genotype file marker count!"
                      << std::endl;
            return false;
        }
    }
    const MarkerMap& singletonMap = settings.controls ? *controlMarkerMap : *caseMarkerMap;
    SingletonRecords records(words, fileName, linkageLayout,
                             mainMapIndices(singletonMap, markers, markerMap), freshIndex);
    std::vector<Singleton> singletons;
    if (!records.read(singletons)) {
        return false;
    }
    if (words.failed()) {
        std::cout << "Error: Unable to read singleton file " << fileName << "!" << std::endl;
        return false;
    }
    in.close();

    (settings.controls ? controlSingletonCount : caseSingletonCount) =
        static_cast<int>(singletons.size());
    std::cout << "(Number of singletons: " << singletons.size() << ")" << std::endl;

    std::vector<Pedigree*>& made = settings.controls ? controlPedigrees : casePedigrees;
    makeDummyPedigrees(singletons, settings, *pedigreeTree, caseControlPhenotypeName, made);
    if (settings.controls) {
        std::cout << " # of control pedigrees created : " << controlPedigrees.size() << std::endl;
    } else {
        std::cout << " # of case pedigrees created    : " << casePedigrees.size() << std::endl;
    }
    std::cout << "...done." << std::endl;
    return true;
}

bool Pedigrees::combinePedigreesAndSingletons() {
    // The dummy pedigree ids were chosen against the pedigree file's ids
    // only; a clash is reported and nothing is merged, so no singleton is
    // dropped silently.
    std::vector<Pedigree*> dummies(casePedigrees);
    dummies.insert(dummies.end(), controlPedigrees.begin(), controlPedigrees.end());
    std::set<std::string> dummyIds;
    for (const Pedigree* dummy : dummies) {
        const std::string& id = dummy->getPedigreeId();
        if (pedigreeTree->find(id) != nullptr || !dummyIds.insert(id).second) {
            std::cout << "Ooops! Pedigree file contains already pedigree id '" << id << "'!"
                      << std::endl;
            return false;
        }
    }
    for (Pedigree* pedigree : dummies) {
        pedigreeTree->insert(pedigree);
    }
    return true;
}

std::size_t Pedigrees::getCaseControlPedigreeCount(const std::string& kind) const {
    return kind == "case" ? casePedigrees.size() : controlPedigrees.size();
}
