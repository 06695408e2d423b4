// The engine's pedigree file "pedfile.dat": one line per person with its
// LINKAGE leading columns, the chosen phenotype columns and marker columns.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "marker_info.h"
#include "pedigrees.h"
#include "utilities.h"

static bool isDigits(const std::string& id) {
    return std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Numeric order of two digit strings of any length: leading zeros do not
// count, a shorter number is smaller, equal lengths compare digit by digit.
static bool digitsLess(const std::string& a, const std::string& b) {
    const auto significant = [](const std::string& s) {
        std::string_view digits(s);
        while (!digits.empty() && digits.front() == '0') {
            digits.remove_prefix(1);
        }
        return digits;
    };
    const std::string_view x = significant(a);
    const std::string_view y = significant(b);
    if (x.size() != y.size()) {
        return x.size() < y.size();
    }
    return x < y;
}

// The text of the file. A line is a dozen columns of a few characters each,
// for which the checks and the library calls of a std::string append, and
// even of a copy, cost more than the copying itself: columns are copied
// through a pointer into room made ahead instead, and the room is never
// filled before it is written.
class ColumnText {
  public:
    ColumnText() = default;
    // Its pointers point into its own text.
    ColumnText(const ColumnText&) = delete;
    ColumnText& operator=(const ColumnText&) = delete;

    // The column and the separator after it.
    void add(const std::string& column, char separator) {
        char* out = copyShort(column, room(column.size() + 1));
        *out++ = separator;
        end_ = out;
    }
    void add(std::string_view columns) {
        end_ = std::copy(columns.begin(), columns.end(), room(columns.size()));
    }
    std::string_view view() const {
        return std::string_view(text_.get(), static_cast<std::size_t>(end_ - text_.get()));
    }

  private:
    // Where the next bytes go, with room for size of them.
    char* room(std::size_t size) {
        if (static_cast<std::size_t>(limit_ - end_) < size) {
            grow(size);
        }
        return end_;
    }

    // Apart, so that the adds around it stay small enough to be compiled inline.
    void grow(std::size_t size);

    // A column is mostly a few characters: copied inline in at most two
    // moves of a fixed width, which may overlap, rather than through a
    // library call made for long copies or a loop over its bytes.
    static char* copyShort(const std::string& column, char* out) {
        const char* in = column.data();
        const std::size_t size = column.size();
        if (size == 1) {
            *out = *in;
        } else if (size < 4) {
            if (size != 0) {
                std::memcpy(out, in, 2);
                std::memcpy(out + size - 2, in + size - 2, 2);
            }
        } else if (size < 8) {
            std::memcpy(out, in, 4);
            std::memcpy(out + size - 4, in + size - 4, 4);
        } else {
            for (std::size_t at = 0; at + 8 < size; at += 8) {
                std::memcpy(out + at, in + at, 8);
            }
            std::memcpy(out + size - 8, in + size - 8, 8);
        }
        return out + size;
    }

    std::unique_ptr<char[]> text_;  // the text, then room for more
    char* end_ = nullptr;
    char* limit_ = nullptr;
};

void ColumnText::grow(std::size_t size) {
    const std::size_t used = static_cast<std::size_t>(end_ - text_.get());
    const std::size_t capacity =
        std::max(2 * static_cast<std::size_t>(limit_ - text_.get()), used + size + 4096);
    std::unique_ptr<char[]> grown(new char[capacity]);
    std::copy(text_.get(), end_, grown.get());
    text_ = std::move(grown);
    end_ = text_.get() + used;
    limit_ = text_.get() + capacity;
}

// The record of a marker index: marker indexes are plain whole numbers, whose
// look-up does not grow with the number of markers.
template <typename T>
static T* findMarkerRecord(const RBTree<T>* tree, const std::string& key) {
    if (tree == nullptr) {
        return nullptr;
    }
    return tree->findIndexed(key);
}

// One write of the pedigree file: its columns resolved once from the plans
// and the store, the persons of the pedigree being written and the text.
// It lives for that write alone, so nothing resolved here can outlast a change
// of the store between writes (alleles collapsed, nuclear pedigrees built,
// columns changed).
struct PedigreeFileWriting {
    struct MarkerColumn {
        std::string key;  // the marker index, as the genotypes are keyed
        std::size_t number = 0;
        bool numbered = false;  // a plain whole number: found through the tree's number table
        bool newNames = false;
        const MarkerInfo* info = nullptr;  // the alleles' new names, with newNames
        // With newNames, the new name of each allele whose name is a plain
        // whole number, by that number (null where no allele has it): every
        // person's two copies then cost an index, not a search of the alleles
        // by name. Empty when some such number is too large for a table.
        std::vector<const std::string*> newNameByNumber;

        void tableNewNames() {
            if (info == nullptr) {
                return;
            }
            std::size_t largest = 0;
            for (const Allele* allele : info->alleles) {
                std::size_t number = 0;
                if (RBTree<Marker>::plainNumber(allele->alleleName, number)) {
                    largest = std::max(largest, number);
                }
            }
            if (largest >= tabledNumbers) {
                return;
            }
            newNameByNumber.assign(largest + 1, nullptr);
            for (const Allele* allele : info->alleles) {
                std::size_t number = 0;
                // The first allele of a name answers, as in the search.
                if (RBTree<Marker>::plainNumber(allele->alleleName, number) &&
                    newNameByNumber[number] == nullptr) {
                    newNameByNumber[number] = &allele->alleleNewName;
                }
            }
        }

        // What Pedigrees::getNewAlleleName gives, which answers the names
        // the table does not hold.
        const std::string& newName(const std::string& allele) const {
            std::size_t number = 0;
            if (RBTree<Marker>::plainNumber(allele, number) && number < newNameByNumber.size() &&
                newNameByNumber[number] != nullptr) {
                return *newNameByNumber[number];
            }
            return Pedigrees::getNewAlleleName(allele, info);
        }

        // Alleles are lengths or small codes; larger numbers are searched.
        static constexpr std::size_t tabledNumbers = 1024;
    };
    std::vector<const std::string*> phenotypeNames;
    std::vector<MarkerColumn> markerColumns;
    std::vector<const Person*> persons;
    ColumnText text;

    PedigreeFileWriting(const Pedigrees& store, const std::vector<std::string>& phenotypes,
                        const std::vector<std::string>& markers) {
        for (const std::string& name : phenotypes) {
            if (name != "DO_NOT_PRINT_PHENOTYPES") {
                phenotypeNames.push_back(&name);
            }
        }
        const auto addColumn = [&](std::string key) {
            MarkerColumn column;
            column.numbered = RBTree<Marker>::plainNumber(key, column.number);
            column.newNames = store.useNewAlleleNames;
            if (column.newNames) {
                column.info = findMarkerRecord(store.markerInfo, key);
                column.tableNewNames();
            }
            column.key = std::move(key);
            markerColumns.push_back(std::move(column));
        };
        if (markers.empty()) {
            for (int i = 0; i < store.markerCount; ++i) {
                addColumn(IntToString(i));
            }
        } else {
            std::for_each(markers.begin(), markers.end(), addColumn);
        }
    }
};

bool Pedigrees::writePedigreeFile(const std::string& fileName,
                                  std::vector<std::string> phenotypeColumnPlan,
                                  std::vector<std::string> markerColumnPlan) {
    pedigreeType = "BASIC_PEDIGREE";
    phenotypeColumns = std::move(phenotypeColumnPlan);
    markerColumns = std::move(markerColumnPlan);
    return writePedigreeFile(fileName);
}

bool Pedigrees::writePedigreeFile(const std::string& fileName) {
    std::ofstream out(fileName, std::ios::out | std::ios::trunc);
    if (!out) {
        std::cout << "Error: Unable to open " << fileName << " for wreiting!" << std::endl;
        return false;
    }

    RBTree<Pedigree>* pedigrees = pedigreeTree;
    if (pedigreeType == "NUCLEAR_PEDIGREE") {
        // Built once per store and reused by every later nuclear write.
        if (nuclearPedigrees == nullptr) {
            nuclearPedigrees = createNuclearPedigrees();
        }
        pedigrees = nuclearPedigrees;
    }

    PedigreeFileWriting writing(*this, phenotypeColumns.empty() ? phenotypeNames : phenotypeColumns,
                                markerColumns);
    if (pedigrees != nullptr) {
        pedigreeRecursion(pedigrees->root, writing);
    }
    const std::string_view text = writing.text.view();

    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (out.fail()) {
        // A truncated pedigree file would hand the engine a part of the
        // families; no such file is left behind.
        std::cout << "Error: Unable to write " << fileName << "!" << std::endl;
        std::error_code ignored;
        if (std::filesystem::is_regular_file(fileName, ignored)) {
            std::filesystem::remove(fileName, ignored);
        }
        return false;
    }
    return true;
}

void Pedigrees::pedigreeRecursion(const Pedigree* root, PedigreeFileWriting& writing) {
    if (root == nullptr || isLeafKey(root->key)) {
        return;
    }
    pedigreeRecursion(root->left, writing);
    personRecursion(root->getPersonTree(), writing);
    pedigreeRecursion(root->right, writing);
}

void Pedigrees::personRecursion(const RBTree<Person>* persons, PedigreeFileWriting& writing) {
    numericPersonIds = true;
    if (persons == nullptr) {
        return;
    }
    // The records themselves in key order, so no person is looked up again.
    std::vector<const Person*>& order = writing.persons;
    order.clear();
    createPedigreeVector(persons->root, order);
    numericPersonIds = std::all_of(order.begin(), order.end(),
                                   [](const Person* person) { return isDigits(person->key); });
    const auto numericLess = [](const Person* a, const Person* b) {
        return digitsLess(a->key, b->key);
    };
    // Stable, so ids of equal value (7 and 07) keep their key order.
    if (numericPersonIds && !std::is_sorted(order.begin(), order.end(), numericLess)) {
        std::stable_sort(order.begin(), order.end(), numericLess);
    }
    ColumnText& text = writing.text;
    for (const Person* person : order) {
        person->forEachPersonColumn([&text](const std::string& column) { text.add(column, '\t'); });
        phenotypeRecursion(person->getPhenotypeTree(), writing);
        markerRecursion(person->getMarkerTree(), writing);
        text.add("\n");
    }
}

void Pedigrees::createPedigreeVector(const Person* root, std::vector<const Person*>& persons) {
    forEachRecordInOrder(root, [&persons](const Person& person) { persons.push_back(&person); });
}

// RBTree::find for a person's phenotypes: a person holds a few, mostly the
// one sought at the root, so each record is first matched for equality, which
// needs one comparison of bytes, and only a miss pays for the ordered
// comparison of the strings.
static const Phenotype* findPhenotype(const RBTree<Phenotype>& phenotypes,
                                      const std::string& name) {
    const Phenotype* x = phenotypes.root;
    while (!isLeafKey(x->key)) {
        if (x->key.size() == name.size() &&
            std::memcmp(x->key.data(), name.data(), name.size()) == 0) {
            return x;
        }
        x = name.compare(x->key) < 0 ? x->left : x->right;
    }
    return nullptr;
}

void Pedigrees::phenotypeRecursion(const RBTree<Phenotype>* phenotypes,
                                   PedigreeFileWriting& writing) {
    ColumnText& text = writing.text;
    for (const std::string* name : writing.phenotypeNames) {
        const Phenotype* phenotype =
            phenotypes != nullptr ? findPhenotype(*phenotypes, *name) : nullptr;
        if (phenotype != nullptr) {
            text.add(phenotype->value, ' ');
        } else {
            text.add("0 ");
        }
    }
}

void Pedigrees::markerRecursion(const RBTree<Marker>* genotypes, PedigreeFileWriting& writing) {
    ColumnText& text = writing.text;
    const auto add = [&text](const std::string& allele) { text.add(allele, ' '); };
    // Each column is one look-up in a table, so a file of one marker costs
    // time in proportion to the persons, whatever the number of markers.
    for (const PedigreeFileWriting::MarkerColumn& column : writing.markerColumns) {
        const Marker* genotype = nullptr;
        if (genotypes != nullptr) {
            genotype = column.numbered ? genotypes->findNumbered(column.number, column.key)
                                       : genotypes->find(column.key);
        }
        if (genotype == nullptr) {
            text.add("0 0 ");
        } else if (column.newNames) {
            add(column.newName(genotype->alleles[0]));
            add(column.newName(genotype->alleles[1]));
        } else {
            add(genotype->alleles[0]);
            add(genotype->alleles[1]);
        }
    }
}

const std::string& Pedigrees::getNewAlleleName(const std::string& allele, const MarkerInfo* info) {
    static const std::string noRecord = "nulli";
    static const std::string noAllele = "-1";
    if (info == nullptr) {
        return noRecord;
    }
    const Allele* found = info->getAlleleWithName(allele);
    return found != nullptr ? found->alleleNewName : noAllele;
}
