// Unrelated cases and controls as dummy pedigrees: two singletons of
// opposite sex become the parents of a dummy child, a singleton without a
// partner gets a dummy spouse and a dummy child. The dummy pedigrees join the
// pedigree tree only when combined, after which every later step treats them
// as ordinary pedigrees.
#include <algorithm>
#include <array>
#include <charconv>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "marker_map.h"
#include "pedigrees.h"
#include "utilities.h"

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

// The records of a singleton file, one per line after the count: false,
// with a message naming file, line and singleton, for a line of another
// word count, a sex other than 1 or 2, an id given twice, a half-typed pair,
// a heterozygous male at an X-linked marker or a repeated marker.
class SingletonRecords {
  public:
    SingletonRecords(std::string fileName, bool linkageLayout, bool xlinked,
                     std::vector<std::string> indices, std::vector<std::string> names,
                     int freshIndex)
        : fileName_(std::move(fileName)),
          leadingWords_(linkageLayout ? 6 : 2),
          linkageLayout_(linkageLayout),
          xlinked_(xlinked),
          indices_(std::move(indices)),
          names_(std::move(names)),
          freshIndex_(freshIndex) {}

    bool read(const std::vector<ColumnLine>& lines, std::size_t first,
              std::vector<Singleton>& singletons) {
        std::map<std::string, int> lineOfId;
        for (std::size_t row = first; row < lines.size(); ++row) {
            const ColumnLine& line = lines[row];
            const std::vector<std::string>& words = line.columns;
            const std::string id =
                linkageLayout_ && words.size() >= 2 ? words[0] + "." + words[1] : words[0];
            const std::size_t expected = leadingWords_ + 2 * indices_.size();
            if (words.size() != expected) {
                // Read as one stream of words, a missing allele would shift
                // the next singleton's id into an allele.
                return fail(line.number, id,
                            "has " + std::to_string(words.size()) + " words, " +
                                std::to_string(expected) + " expected (" +
                                (linkageLayout_ ? "pedigree, person, father, mother, sex, "
                                                  "affection"
                                                : "id, sex") +
                                ", then two alleles for each of the " +
                                std::to_string(indices_.size()) + " markers)");
            }
            const std::string& sex = linkageLayout_ ? words[4] : words[1];
            if (sex != "1" && sex != "2") {
                // The engine crashes on any other sex code, as the pedigree
                // reader knows.
                return fail(line.number, id, "has the sex " + sex + ", not 1 (male) or 2 (female)");
            }
            const auto [earlier, fresh] = lineOfId.emplace(id, line.number);
            if (!fresh) {
                return fail(line.number, id,
                            "is given a second time (first at line " +
                                std::to_string(earlier->second) + ")");
            }
            auto person = std::make_unique<Person>("0", "0", sex);
            person->setSingletonId(id);
            if (!readGenotypes(*person, words, id, line.number)) {
                return false;
            }
            singletons.push_back({std::move(person), false});
        }
        return true;
    }

  private:
    bool readGenotypes(Person& person, const std::vector<std::string>& words, const std::string& id,
                       int line) {
        const bool male = person.getSex() == "1";
        for (std::size_t j = 0; j < indices_.size(); ++j) {
            const std::string index =
                indices_[j].empty() ? IntToString(freshIndex_++) : indices_[j];
            const std::string& allele1 = words[leadingWords_ + 2 * j];
            const std::string& allele2 = words[leadingWords_ + 2 * j + 1];
            const std::string marker =
                " at marker " + names_[j] + " (marker_index: " + std::to_string(j) + ")";
            if ((allele1 == "0") != (allele2 == "0")) {
                return fail(line, id, "is halftyped (" + allele1 + "/" + allele2 + ")" + marker);
            }
            if (isMissingAllele(allele1) || isMissingAllele(allele2)) {
                continue;
            }
            // A male carries one X: two different alleles are a typing or
            // coding fault the engine would take for a genotype.
            if (xlinked_ && male && allele1 != allele2) {
                return fail(line, id,
                            "is a male heterozygous (" + allele1 + "/" + allele2 + ")" + marker +
                                " of X-linked data");
            }
            auto genotype = std::make_unique<Marker>(index, allele1, allele2, true);
            if (!person.addMarker(genotype.get())) {
                return fail(line, id,
                            "has a second genotype (" + allele1 + "/" + allele2 +
                                ") for the marker" + marker);
            }
            genotype.release();
        }
        return true;
    }

    bool fail(int line, const std::string& id, const std::string& problem) const {
        std::cout << "Error: Singleton file " << fileName_ << ", line " << line << ": singleton "
                  << id << " " << problem << "!" << std::endl;
        return false;
    }

    std::string fileName_;
    std::size_t leadingWords_;
    bool linkageLayout_;
    bool xlinked_;
    std::vector<std::string> indices_;
    std::vector<std::string> names_;
    int freshIndex_;
};

// Pairs each unused singleton with the first later unused one of the other
// sex; a singleton without a partner gets a dummy spouse. The unused
// singletons of each sex wait in file order, so the search for a partner
// never looks at a singleton twice: pairing is linear in their number.
static void makeDummyPedigrees(std::vector<Singleton>& singletons, const SingletonKind& kind,
                               const RBTree<Pedigree>& pedigreeTree,
                               const std::string& phenotypeName, std::vector<Pedigree*>& made) {
    std::array<std::deque<std::size_t>, 2> waiting;  // males, females
    const auto sexIndex = [](const Singleton& s) { return s.person->getSex() == "1" ? 0 : 1; };
    for (std::size_t i = 0; i < singletons.size(); ++i) {
        waiting[sexIndex(singletons[i])].push_back(i);
    }
    int pedigreeNumber = kind.firstPedigreeNumber;
    for (std::size_t i = 0; i < singletons.size(); ++i) {
        Singleton& first = singletons[i];
        if (first.used) {
            continue;
        }
        const int sex = sexIndex(first);
        waiting[sex].pop_front();  // the earliest unused of its sex is this one
        std::deque<std::size_t>& others = waiting[1 - sex];
        Singleton* partner = nullptr;
        if (!others.empty()) {
            partner = &singletons[others.front()];
            others.pop_front();
        }
        while (pedigreeTree.find(IntToString(pedigreeNumber)) != nullptr) {
            ++pedigreeNumber;
        }
        const std::string pedigreeId = IntToString(pedigreeNumber++);
        const bool firstIsMale = sex == 0;

        auto* pedigree = new Pedigree(pedigreeId);
        first.used = true;
        pedigree->addPerson(placeSingleton(std::move(first.person), pedigreeId, "1", "1",
                                           phenotypeName, kind.phenotypeValue));
        if (partner != nullptr) {
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

    std::string& fileRead = settings.controls ? controlSingletonFileName : caseSingletonFileName;
    const std::string& otherFile =
        settings.controls ? caseSingletonFileName : controlSingletonFileName;
    std::error_code ignored;
    if (!otherFile.empty() &&
        (otherFile == fileName || std::filesystem::equivalent(otherFile, fileName, ignored))) {
        std::cout << "Error: Singleton file " << fileName << " is given as the genotype file of "
                  << "both the cases and the controls: every singleton of it would be both"
                  << std::endl;
        return false;
    }
    const std::string problem = inputFileProblem(fileName);
    if (!problem.empty()) {
        std::cout << "Error: Singleton file " << fileName << " " << problem << std::endl;
        return false;
    }
    std::ifstream in(fileName);
    if (!in) {
        std::cout << "Error: Unable to open singleton file " << fileName << " for reading!"
                  << std::endl;
        return false;
    }
    std::vector<ColumnLine> lines;
    std::string tooLong;
    if (!readColumnLines(in, lines, tooLong) || in.bad()) {
        std::cout << "Error: Unable to read singleton file " << fileName
                  << (tooLong.empty() ? "" : ": " + tooLong) << "!" << std::endl;
        return false;
    }
    in.close();
    std::size_t firstRecord = 0;
    if (!linkageLayout) {
        // The count stands alone on the first line.
        int count = 0;
        const bool counted = !lines.empty() && lines.front().columns.size() == 1 &&
                             readWholeNumber(lines.front().columns.front(), count);
        if (!counted || count != markers) {
            std::cout << "Error: Singleton marker map file marker count doesn't match with "
                         "singleton genotype file marker count! The first line of singleton file "
                      << fileName << " must hold the number of markers alone, " << markers
                      << " for its map" << std::endl;
            return false;
        }
        firstRecord = 1;
    }
    const MarkerMap& singletonMap = settings.controls ? *controlMarkerMap : *caseMarkerMap;
    std::vector<std::string> names;
    for (int j = 0; j < markers; ++j) {
        names.push_back(singletonMap.getMarkerName(IntToString(j)));
    }
    SingletonRecords records(fileName, linkageLayout, xlinked,
                             mainMapIndices(singletonMap, markers, markerMap), std::move(names),
                             freshIndex);
    std::vector<Singleton> singletons;
    if (!records.read(lines, firstRecord, singletons)) {
        return false;
    }
    fileRead = fileName;

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
