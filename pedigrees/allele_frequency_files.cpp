// Allele counts and frequencies per marker and group, for the whole pedigree
// set and for the HRR, TDT and sib-pair sets.
#include <iomanip>
#include <iostream>
#include <sstream>

#include "file.h"
#include "marker_info.h"
#include "marker_map.h"
#include "pedigrees.h"
#include "utilities.h"

namespace {

bool isLeaf(const std::string& key) {
    return key == "NIL";
}

std::string sixDecimals(double frequency) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(6) << frequency;
    return text.str();
}

// The four counted groups with the widths of their count and frequency
// columns.
struct GroupColumns {
    const char* group;
    const char* heading;
    int countWidth;
};

constexpr GroupColumns GROUP_COLUMNS[] = {
    {"all", "All", 7},
    {"founders", "Founders", 12},
    {"males", "Males", 9},
    {"females", "Females", 11},
};

void appendAlleleTable(std::ostream& out, const std::vector<Allele*>& alleles,
                       const MarkerInfo& record) {
    out << std::setw(6) << "Allele";
    for (const GroupColumns& columns : GROUP_COLUMNS) {
        out << std::setw(columns.countWidth) << columns.heading << std::setw(10) << "Freq";
    }
    out << std::setw(14) << "New Allele" << '\n';
    for (const Allele* allele : alleles) {
        out << std::setw(6) << allele->getAlleleName();
        for (const GroupColumns& columns : GROUP_COLUMNS) {
            out << std::setw(columns.countWidth) << allele->getAlleleCount(columns.group)
                << std::setw(10)
                << sixDecimals(
                       record.getAlleleFreqWithName(allele->getAlleleName(), columns.group));
        }
        out << std::setw(14) << allele->getAlleleNewName() << '\n';
    }
}

// Opens a frequency file for writing; reported, and counted in
// fileWriteFailures, when it cannot be opened.
bool openFrequencyFile(Pedigrees& store, File& file, const std::string& fileName) {
    if (file.openFile(fileName, "write")) {
        return true;
    }
    std::cout << "Error: Unable to open " << fileName << " for writing!\n";
    ++store.fileWriteFailures;
    return false;
}

// Writes all of frequencyText to the opened file; counted in
// fileWriteFailures when it is not written.
bool finishFrequencyFile(Pedigrees& store, File& file, const std::string& fileName) {
    if (finishTextFile(file, fileName, store.frequencyText.str())) {
        return true;
    }
    ++store.fileWriteFailures;
    return false;
}

}  // namespace

void Pedigrees::writeFrequenciesFile(const std::string& fileName) {
    File file;
    if (!openFrequencyFile(*this, file, fileName)) {
        return;
    }
    frequencyText << getCommonHeader();
    if (markerInfo != nullptr) {
        createFrequenciesMarkerRecursion(markerInfo->root);
    }
    finishFrequencyFile(*this, file, fileName);
    frequencyText.str("");
}

void Pedigrees::addSetFrequencies(const RBTree<MarkerInfo>* setMarkerInfo,
                                  const std::string& markerIndex) {
    MarkerInfo* record = setMarkerInfo != nullptr ? setMarkerInfo->find(markerIndex) : nullptr;
    if (record != nullptr) {
        createFrequenciesAlleleRecursion(record->getAlleles(), record);
    }
}

bool Pedigrees::writeFrequencyText(const std::string& fileName) {
    File file;
    return openFrequencyFile(*this, file, fileName) && finishFrequencyFile(*this, file, fileName);
}

// The three set writers share this: the marker's section of the set, then
// everything gathered so far written to the file. A file that cannot be
// opened gets no section added.
static void writeSetFrequenciesFile(Pedigrees& store, const RBTree<MarkerInfo>* setMarkerInfo,
                                    const std::string& fileName, const std::string& markerIndex) {
    File file;
    if (!openFrequencyFile(store, file, fileName)) {
        return;
    }
    store.addSetFrequencies(setMarkerInfo, markerIndex);
    finishFrequencyFile(store, file, fileName);
}

void Pedigrees::writeHrrFrequenciesFile(const std::string& fileName,
                                        const std::string& markerIndex) {
    writeSetFrequenciesFile(*this, hrrMarkerInfo, fileName, markerIndex);
}

void Pedigrees::writeTdtFrequenciesFile(const std::string& fileName,
                                        const std::string& markerIndex) {
    writeSetFrequenciesFile(*this, tdtMarkerInfo, fileName, markerIndex);
}

void Pedigrees::writeSibPairFrequenciesFile(const std::string& fileName,
                                            const std::string& markerIndex) {
    writeSetFrequenciesFile(*this, sibPairMarkerInfo, fileName, markerIndex);
}

void Pedigrees::createFrequenciesMarkerRecursion(MarkerInfo* node) {
    if (node == nullptr || isLeaf(node->key)) {
        return;
    }
    createFrequenciesMarkerRecursion(node->left);
    createFrequenciesAlleleRecursion(node->getAlleles(), node);
    createFrequenciesMarkerRecursion(node->right);
}

void Pedigrees::createFrequenciesAlleleRecursion(std::vector<Allele*> alleles, MarkerInfo* record) {
    const Marker* entry =
        markerMap != nullptr ? markerMap->getMarker(record->getMarkerIndex()) : nullptr;
    if (entry == nullptr) {
        return;
    }
    frequencyText << "Marker " << entry->getName() << '\n';

    // The set being written is the one that exists; the HRR set is deleted
    // before the TDT pass, and the TDT set outlives its pass.
    const std::pair<const char*, RBTree<Pedigree>*> sets[] = {
        {"hrr", hrrPedigrees},
        {"sibpair", sibPairPedigrees},
        {"tdt", tdtPedigrees},
    };
    for (const auto& [kind, set] : sets) {
        if (set != nullptr) {
            personCountSum = 0;
            getPedigreePersonCount(set->root);
            frequencyText << "# " << kind << " pedigrees   : " << set->count << '\n';
            frequencyText << "# " << kind << " persons     : " << personCountSum << '\n';
            break;
        }
    }

    if (alleles.empty()) {
        frequencyText << "No alleles found\n";
    } else {
        appendAlleleTable(frequencyText, alleles, *record);
    }
    frequencyText << "\n\n";
}
