// What a run that ran out of memory tells its user: what it was doing, what
// the study needs, and how to cut the study into runs that fit.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <sstream>
#include <string>

#include "pedigrees.h"

// What the store keeps per person and per genotype: the person with its two
// trees, their nil records and a few phenotypes; a genotype record and its
// slot in the tree's number table. Genotypes of missing alleles are not
// kept, so this is what a study typed throughout needs.
static constexpr std::uint64_t bytesPerPerson = sizeof(Person) + sizeof(RBTree<Marker>) +
                                                sizeof(RBTree<Phenotype>) + sizeof(Marker) +
                                                3 * sizeof(Phenotype);
static constexpr std::uint64_t bytesPerGenotype = sizeof(Marker) + sizeof(Marker*);

static std::string memoryText(std::uint64_t bytes) {
    std::ostringstream text;
    constexpr double gigabyte = 1e9;
    if (static_cast<double>(bytes) >= gigabyte) {
        text << std::fixed << std::setprecision(1) << static_cast<double>(bytes) / gigabyte
             << " GB";
    } else {
        text << std::max<std::uint64_t>(1, (bytes + 500000) / 1000000) << " MB";
    }
    return text.str();
}

std::uint64_t Pedigrees::memoryNeeded(int persons) const {
    const auto people = static_cast<std::uint64_t>(std::max(persons, 0));
    const auto markers = static_cast<std::uint64_t>(std::max(markerCount, 0));
    return people * (bytesPerPerson + markers * bytesPerGenotype);
}

int Pedigrees::countPersonLines(const std::string& fileName) {
    std::ifstream in(fileName);
    int lines = 0;
    bool blank = true;
    for (std::istreambuf_iterator<char> c(in), end; c != end; ++c) {
        if (*c == '\n') {
            lines += blank ? 0 : 1;
            blank = true;
        } else if (*c != ' ' && *c != '\t' && *c != '\r') {
            blank = false;
        }
    }
    return lines + (blank ? 0 : 1);
}

std::string Pedigrees::outOfMemoryMessage(const std::string& activity, int persons,
                                          int personsStored) const {
    std::ostringstream text;
    text << "Error: Out of memory while " << activity;
    if (persons <= 0) {
        text << ": give the run more memory";
        return text.str();
    }
    if (personsStored > 0) {
        text << ", with " << personsStored << " of its " << persons << " persons stored";
    }
    text << ": the study's " << persons << " persons with " << markerCount << " markers need about "
         << memoryText(memoryNeeded(persons)) << " of memory; ";
    const char* const howToCut =
        " (the map file and the marker columns of the pedigree file cut alike) and analyse each "
        "part in a run of its own";
    if (personsStored > 0 && personsStored < persons && markerCount > 1) {
        // What the stored persons took is about what the run could have:
        // a part must fit in that, with room left for the analysis.
        const int parts = std::min(markerCount, persons / personsStored + 1);
        const int markersPerPart = (markerCount + parts - 1) / parts;
        text << "split its markers into " << parts << " parts of at most " << markersPerPart
             << " markers each" << howToCut;
    } else {
        text << "give the run more memory than that, or split its markers into parts" << howToCut;
    }
    return text.str();
}

std::string outOfMemoryMessage(Pedigrees& store) {
    if (store.pedigreeFileRead) {
        return store.outOfMemoryMessage("analysing the study", store.getPedigreePersonCount(), 0);
    }
    return store.outOfMemoryMessage(
        "reading the input files",
        store.pedigreeFileName.empty() ? 0 : Pedigrees::countPersonLines(store.pedigreeFileName),
        0);
}
