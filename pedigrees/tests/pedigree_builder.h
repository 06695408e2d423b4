// Builds test pedigrees directly in a store, the way the pedigree file reader
// leaves them: one genotype record per typed marker, none for an untyped one.
#pragma once

#include <string>
#include <vector>

#include "pedigrees.h"

// Genotypes are "a/b" texts by marker index; "" leaves that marker untyped.
inline Person* addPerson(Pedigrees& store, const std::string& pedigreeId, const std::string& id,
                         const std::string& father, const std::string& mother,
                         const std::string& sex, const std::vector<std::string>& genotypes = {}) {
    Pedigree* pedigree = store.pedigreeTree->find(pedigreeId);
    if (pedigree == nullptr) {
        pedigree = new Pedigree(pedigreeId);
        store.pedigreeTree->insert(pedigree);
    }
    auto* person = new Person(pedigreeId, id, father, mother, sex);
    for (std::size_t i = 0; i < genotypes.size(); ++i) {
        const std::string& genotype = genotypes[i];
        const auto slash = genotype.find('/');
        if (slash != std::string::npos) {
            person->addMarker(new Marker(std::to_string(i), genotype.substr(0, slash),
                                         genotype.substr(slash + 1), true));
        }
    }
    if (!pedigree->addPerson(person)) {
        delete person;
        return nullptr;
    }
    return person;
}
