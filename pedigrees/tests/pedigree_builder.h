// Builds test pedigrees directly in a store, the way the pedigree file reader
// leaves them: one genotype record per typed marker, none for an untyped one.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "marker_map.h"
#include "pedigrees.h"

// Genotypes are "a/b" texts by marker index; "" leaves that marker untyped.
// A non-empty affection becomes the person's DISEASE_LOCUS value.
inline Person* addPerson(RBTree<Pedigree>& tree, const std::string& pedigreeId,
                         const std::string& id, const std::string& father,
                         const std::string& mother, const std::string& sex,
                         const std::vector<std::string>& genotypes = {},
                         const std::string& affection = "") {
    Pedigree* pedigree = tree.find(pedigreeId);
    if (pedigree == nullptr) {
        pedigree = new Pedigree(pedigreeId);
        tree.insert(pedigree);
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
    if (!affection.empty()) {
        person->addorUpdatePhenotype("DISEASE_LOCUS", affection);
    }
    if (!pedigree->addPerson(person)) {
        delete person;
        return nullptr;
    }
    return person;
}

inline Person* addPerson(Pedigrees& store, const std::string& pedigreeId, const std::string& id,
                         const std::string& father, const std::string& mother,
                         const std::string& sex, const std::vector<std::string>& genotypes = {},
                         const std::string& affection = "") {
    return addPerson(*store.pedigreeTree, pedigreeId, id, father, mother, sex, genotypes,
                     affection);
}

// For fixtures that must hold as written: a refused person fails the test.
template <typename Target>
void addPersonOrFail(Target& target, const std::string& pedigreeId, const std::string& id,
                     const std::string& father, const std::string& mother, const std::string& sex,
                     const std::vector<std::string>& genotypes = {},
                     const std::string& affection = "") {
    EXPECT_NE(addPerson(target, pedigreeId, id, father, mother, sex, genotypes, affection), nullptr)
        << "person " << id << " of pedigree " << pedigreeId << " was refused";
}

// Markers MARKER1 .. MARKERn.
inline void useMarkers(Pedigrees& store, int n) {
    auto* map = new MarkerMap();
    testing::internal::CaptureStdout();
    map->makeMarkerMap(n);
    testing::internal::GetCapturedStdout();
    store.setMarkerMap(map);
}
