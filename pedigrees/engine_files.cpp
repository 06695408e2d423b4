// The engine's pedigree file "pedfile.dat": one line per person with its
// LINKAGE leading columns, the chosen phenotype columns and marker columns.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
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
        const auto first = s.find_first_not_of('0');
        return first == std::string::npos ? std::string_view() : std::string_view(s).substr(first);
    };
    const std::string_view x = significant(a);
    const std::string_view y = significant(b);
    if (x.size() != y.size()) {
        return x.size() < y.size();
    }
    return x < y;
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

    pedigreeFileText.str("");
    pedigreeFileText.clear();
    if (pedigrees != nullptr) {
        pedigreeRecursion(pedigrees->root);
    }
    const std::string text = pedigreeFileText.str();
    pedigreeFileText.str("");
    pedigreeFileText.clear();

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

void Pedigrees::pedigreeRecursion(Pedigree* root) {
    if (root == nullptr || root->key == "NIL") {
        return;
    }
    pedigreeRecursion(root->left);
    personRecursion(root->getPersonTree());
    pedigreeRecursion(root->right);
}

void Pedigrees::personRecursion(RBTree<Person>* persons) {
    numericPersonIds = true;
    if (persons == nullptr) {
        return;
    }
    personIdOrder.clear();
    createPedigreeVector(persons->root);
    numericPersonIds = std::all_of(personIdOrder.begin(), personIdOrder.end(), isDigits);
    if (numericPersonIds) {
        // Stable, so ids of equal value (7 and 07) keep their key order.
        std::stable_sort(personIdOrder.begin(), personIdOrder.end(), digitsLess);
    }
    for (const std::string& id : personIdOrder) {
        Person* person = persons->find(id);
        if (person == nullptr) {
            continue;
        }
        pedigreeFileText << person->getPersonInfo();
        phenotypeRecursion(person->getPhenotypeTree());
        markerRecursion(person->getMarkerTree());
        pedigreeFileText << '\n';
    }
    personIdOrder.clear();
}

void Pedigrees::createPedigreeVector(Person* root) {
    if (root == nullptr || root->key == "NIL") {
        return;
    }
    createPedigreeVector(root->left);
    personIdOrder.push_back(root->key);
    createPedigreeVector(root->right);
}

void Pedigrees::phenotypeRecursion(RBTree<Phenotype>* phenotypes) {
    const std::vector<std::string>& names =
        phenotypeColumns.empty() ? phenotypeNames : phenotypeColumns;
    for (const std::string& name : names) {
        if (name == "DO_NOT_PRINT_PHENOTYPES") {
            continue;
        }
        const Phenotype* phenotype = phenotypes != nullptr ? phenotypes->find(name) : nullptr;
        pedigreeFileText << (phenotype != nullptr ? phenotype->getValue() : std::string("0"))
                         << ' ';
    }
}

void Pedigrees::markerRecursion(RBTree<Marker>* genotypes) {
    const auto writeColumn = [&](const std::string& key) {
        Marker* genotype = findMarkerRecord(genotypes, key);
        if (genotype == nullptr) {
            pedigreeFileText << "0 0 ";
        } else if (useNewAlleleNames) {
            pedigreeFileText << getNewAlleleName(0, genotype) << ' '
                             << getNewAlleleName(1, genotype) << ' ';
        } else {
            pedigreeFileText << genotype->getAllele(0) << ' ' << genotype->getAllele(1) << ' ';
        }
    };
    // Each column is one look-up in a table, so a file of one marker costs
    // time in proportion to the persons, whatever the number of markers.
    if (markerColumns.empty()) {
        for (int i = 0; i < markerCount; ++i) {
            writeColumn(IntToString(i));
        }
    } else {
        std::for_each(markerColumns.begin(), markerColumns.end(), writeColumn);
    }
}

std::string Pedigrees::getNewAlleleName(int alleleNumber, Marker* genotype) {
    MarkerInfo* info = findMarkerRecord(markerInfo, genotype->key);
    if (info == nullptr) {
        return "nulli";
    }
    Allele* allele = info->getAlleleWithName(genotype->getAllele(alleleNumber));
    if (allele == nullptr) {
        return "-1";
    }
    return allele->getAlleleNewName();
}
