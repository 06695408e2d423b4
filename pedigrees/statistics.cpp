// The report header of the linkage program's files, the Hardy-Weinberg
// genotype statistics, the counters behind the pedigree statistics and the
// statistics files written before any analysis.
#include <cmath>
#include <iomanip>
#include <iostream>
#include <limits>
#include <numeric>
#include <optional>
#include <sstream>

#include "file.h"
#include "locus.h"
#include "locus_file.h"
#include "marker_info.h"
#include "marker_map.h"
#include "pedigrees.h"
#include "utilities.h"

namespace {

constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();
constexpr double UNKNOWN_MARKER_STATISTIC = -1.1;
const char* const GROUPS[] = {"all", "founders"};
// Width of the observed-count column of each group in the genotype table.
constexpr int OBSERVED_WIDTHS[] = {7, 15};

bool isLeaf(const std::string& key) {
    return key == "NIL";
}

bool isFounder(const Person& person) {
    return person.getFatherId() == "0" && person.getMotherId() == "0";
}

bool isGenotyped(const Person& person, const std::string& index) {
    return person.getMarker(index) != nullptr;
}

// Fixed notation with the given digits; an undefined value reads "NaN".
std::string fixedText(double value, int digits) {
    if (std::isnan(value)) {
        return "NaN";
    }
    std::ostringstream text;
    text << std::fixed << std::setprecision(digits) << value;
    return text.str();
}

std::string fixedText(std::optional<double> value, int digits) {
    return value ? fixedText(*value, digits) : std::string("NaN");
}

// The share in percent; undefined for an empty whole, which is never divided.
double percentOf(int part, int whole) {
    return whole == 0 ? NOT_A_NUMBER : 100.0 * part / whole;
}

double percentOrZero(int part, int whole) {
    return whole == 0 ? 0.0 : 100.0 * part / whole;
}

// The chi-square term of a genotype; a genotype that nobody is expected to
// carry has none.
std::optional<double> chiSquareTerm(const Genotype& genotype, const std::string& group) {
    if (!(genotype.getExpectedGenotypeCount(group) > 0.0)) {
        return std::nullopt;
    }
    return genotype.getChi2(group);
}

std::optional<double> chiSquareTotal(const MarkerInfo& record, const std::string& group) {
    std::optional<double> total = 0.0;
    for (const Genotype* genotype : record.genotypes) {
        const std::optional<double> term = chiSquareTerm(*genotype, group);
        if (!term) {
            return std::nullopt;
        }
        *total += *term;
    }
    return total;
}

// Genotype classes less one, less the k - 1 allele frequencies estimated from
// the same data: k(k + 1)/2 - 1 - (k - 1).
int hardyWeinbergDegreesOfFreedom(int alleleCount) {
    return alleleCount * (alleleCount - 1) / 2;
}

void appendGenotypeTable(std::ostream& out, const MarkerInfo& record) {
    const std::string rule(70, '=');
    out << std::setw(15) << "All" << std::setw(35) << "Founders" << '\n';
    out << std::setw(8) << "Genotype" << std::setw(7) << "Obs(0)" << std::setw(10) << "Exp(E)"
        << std::setw(10) << "(O-E)^2/E" << std::setw(15) << "Obs(0)" << std::setw(10) << "Exp(E)"
        << std::setw(10) << "(O-E)^2/E" << '\n';
    out << rule << '\n';
    for (const Genotype* genotype : record.genotypes) {
        out << std::setw(8) << genotype->getGenotypeName();
        for (int g = 0; g < 2; ++g) {
            const std::string group = GROUPS[g];
            out << std::setw(OBSERVED_WIDTHS[g]) << genotype->getGenotypeCount(group)
                << std::setw(10) << fixedText(genotype->getExpectedGenotypeCount(group), 2)
                << std::setw(10) << fixedText(chiSquareTerm(*genotype, group), 5);
        }
        out << '\n';
    }
    out << rule << '\n';
    out << std::setw(8) << "Total";
    for (int g = 0; g < 2; ++g) {
        const std::string group = GROUPS[g];
        out << std::setw(OBSERVED_WIDTHS[g]) << fixedText(record.getGenotypeCount(group), 0)
            << std::setw(10) << fixedText(record.getExpectedGenotypeCount(group), 2)
            << std::setw(10) << fixedText(chiSquareTotal(record, group), 5);
    }
    out << "\n\n";
}

void appendPValues(std::ostream& out, const MarkerInfo& record) {
    const int degreesOfFreedom = hardyWeinbergDegreesOfFreedom(record.getAlleleCount());
    out << std::setw(35) << "All" << std::setw(15) << "Founders" << '\n';
    out << std::setw(19) << "Chi-squared p-value";
    const int widths[] = {16, 15};
    for (int g = 0; g < 2; ++g) {
        const std::optional<double> total = chiSquareTotal(record, GROUPS[g]);
        if (total) {
            out << std::setw(widths[g]) << fixedText(chipr(*total, degreesOfFreedom), 5);
        } else {
            out << std::setw(widths[g]) << "NaN, " << degreesOfFreedom;
        }
    }
}

void emptyStream(std::ostringstream& stream) {
    stream.str("");
    stream.clear();
    const std::ostringstream fresh;
    stream.copyfmt(fresh);
}

using SetBuilder = RBTree<Pedigree>* (Pedigrees::*)(const std::string&, const std::string&);
using SetRecords = RBTree<MarkerInfo>* Pedigrees::*;

// One file of a derived set: the header, then the section of every marker
// whose set holds a pedigree, each taken while that marker's set exists.
// The file is written once, after the last marker, and not at all when no
// marker's set holds a pedigree: a scan of many markers costs one write,
// and a run that stops among the markers leaves no file that looks whole.
void writeSetFrequencies(Pedigrees& store, SetBuilder build, SetRecords records,
                         const std::string& fileName) {
    emptyStream(store.frequencyText);
    store.frequencyText << store.getCommonHeader();
    bool anySection = false;
    for (int i = 0; i < store.markerCount; ++i) {
        const std::string index = IntToString(i);
        const RBTree<Pedigree>* set = (store.*build)("DISEASE_LOCUS", index);
        if (set != nullptr && set->count >= 1) {
            store.addSetFrequencies(store.*records, index);
            anySection = true;
        }
    }
    if (anySection) {
        store.writeFrequencyText(fileName);
    }
}

}  // namespace

// ---- Report header

std::string Pedigrees::getCommonHeader() {
    std::ostringstream header;
    header << "Date : " << current_time_and_date() << '\n';
    header << "Input files\n";
    header << std::string(24, '=') << '\n';
    header << "Pedigree file          : " << pedigreeFileName << '\n';
    const int dummyPedigrees = static_cast<int>(casePedigrees.size() + controlPedigrees.size());
    const int pedigrees = pedigreeTree != nullptr ? pedigreeTree->count : 0;
    header << "  # pedigrees          : " << pedigrees - dummyPedigrees << '\n';
    personCountSum = 0;
    if (pedigreeTree != nullptr) {
        getPedigreePersonCount(pedigreeTree->root);
    }
    header << "  # persons            : " << personCountSum - 3 * dummyPedigrees << '\n';
    const std::pair<const char*, const std::string*> files[] = {
        {"Linkage locus file     : ", &linkageLocusFileName},
        {"Map file               : ", &mapFileName},
        {"Model file             : ", &modelFileName},
        {"Phenotype file         : ", &phenotypeFileName},
    };
    for (const auto& [label, name] : files) {
        if (!name->empty()) {
            header << label << *name << '\n';
        }
    }
    const Locus* diseaseLocus =
        linkageLocusFile != nullptr ? linkageLocusFile->getLocus(0) : nullptr;
    if (diseaseLocus != nullptr) {
        header << "\nParameters used in analysis:\n"
               << diseaseLocus->toStringDiseaseLocus(xlinked ? 1 : 0) << "\n\n";
    }
    header << "\n\n\n";
    return header.str();
}

// ---- Genotype statistics

void Pedigrees::writeGenotypeStatistics(const std::string& fileName) {
    File file;
    if (!file.openFile(fileName, "write")) {
        std::cout << "Error: Unable to open " << fileName << " for writing!\n";
        ++fileWriteFailures;
        return;
    }
    createGenotypeStatistics();
    if (!finishTextFile(file, fileName, genotypeStatisticsText.str())) {
        ++fileWriteFailures;
    }
}

void Pedigrees::createGenotypeStatistics() {
    if (genotypeStatisticsCreated) {
        return;
    }
    genotypeStatisticsText << getCommonHeader();
    for (int i = 0; i < markerCount; ++i) {
        const std::string index = IntToString(i);
        genotypeStatisticsText << "Marker " << markerMap->getMarkerName(index) << '\n';
        countMarkersGenotypes(index);
        const MarkerInfo* record = markerInfo != nullptr ? markerInfo->find(index) : nullptr;
        if (record != nullptr) {
            if (record->genotypes.empty()) {
                genotypeStatisticsText << "No genotypes found\n";
            } else {
                appendGenotypeTable(genotypeStatisticsText, *record);
                appendPValues(genotypeStatisticsText, *record);
            }
        }
        genotypeStatisticsText << "\n\n\n";
    }
    genotypeStatisticsCreated = true;
}

void Pedigrees::countMarkersGenotypes(const std::string& index) {
    MarkerInfo* record = markerInfo != nullptr ? markerInfo->find(index) : nullptr;
    if (record == nullptr) {
        return;
    }
    record->createMarkerGenotypes();
    for (Genotype* genotype : record->genotypes) {
        pedigreeCountGenotype(pedigreeTree->root, genotype, index);
    }
    countMarkersGenotypeFreq(record, record->getGenotypes());
}

void Pedigrees::countMarkersGenotypeFreq(MarkerInfo* record, std::vector<Genotype*> genotypes) {
    for (const std::string group : GROUPS) {
        const double genotypedPersons = record->getGenotypeCount(group);
        for (Genotype* genotype : genotypes) {
            const double p = record->getAlleleFreqWithName(genotype->allele1, group);
            const double q = record->getAlleleFreqWithName(genotype->allele2, group);
            const double frequency = genotype->allele1 == genotype->allele2 ? p * p : 2 * p * q;
            genotype->setGenotypeFreq(frequency, group);
            genotype->setExpectedGenotypeCount(genotypedPersons * frequency, group);
        }
    }
}

void Pedigrees::pedigreeCountGenotype(Pedigree* root, Genotype* genotype,
                                      const std::string& index) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    pedigreeCountGenotype(root->left, genotype, index);
    if (root->getPersonTree() != nullptr) {
        personCountGenotype(root->getPersonTree()->root, genotype, index);
    }
    pedigreeCountGenotype(root->right, genotype, index);
}

void Pedigrees::personCountGenotype(Person* root, Genotype* genotype, const std::string& index) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    personCountGenotype(root->left, genotype, index);
    const Marker* marker = root->getMarker(index);
    if (genotype != nullptr && marker != nullptr) {
        const std::string a = marker->getAllele(0);
        const std::string b = marker->getAllele(1);
        const bool matches = (a == genotype->allele1 && b == genotype->allele2) ||
                             (a == genotype->allele2 && b == genotype->allele1);
        if (matches) {
            genotype->addGenotypeCount("all");
            if (isFounder(*root)) {
                genotype->addGenotypeCount("founders");
            }
        }
    }
    personCountGenotype(root->right, genotype, index);
}

// ---- Counters read by the pedigree statistics

double Pedigrees::getPercentGenotyped(const std::string& index) {
    genotypedPersonCount = 0;
    genotypedPedigreeCount = 0;
    if (pedigreeTree != nullptr) {
        pedigreeGenotypedRecursion(pedigreeTree->root, index);
    }
    const int persons = getPedigreePersonCount();
    if (persons == 0) {
        return NOT_A_NUMBER;
    }
    return static_cast<double>(genotypedPersonCount) / persons;
}

void Pedigrees::pedigreeGenotypedRecursion(Pedigree* root, const std::string& index) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    pedigreeGenotypedRecursion(root->left, index);
    pedigreeHasGenotypedPerson = false;
    if (root->getPersonTree() != nullptr) {
        personGenotypedRecursion(root->getPersonTree()->root, index);
    }
    if (pedigreeHasGenotypedPerson) {
        ++genotypedPedigreeCount;
    }
    pedigreeGenotypedRecursion(root->right, index);
}

void Pedigrees::personGenotypedRecursion(Person* root, const std::string& index) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    personGenotypedRecursion(root->left, index);
    if (isGenotyped(*root, index)) {
        pedigreeHasGenotypedPerson = true;
        ++genotypedPersonCount;
    }
    personGenotypedRecursion(root->right, index);
}

void Pedigrees::countPhenotypedDistribution(const std::string& phenotypeName) {
    phenotypeAffectedCount = 0;
    phenotypeUnaffectedCount = 0;
    phenotypeUnknownCount = 0;
    if (pedigreeTree != nullptr) {
        pedigreePhenotypedRecursion(pedigreeTree->root, phenotypeName);
    }
}

void Pedigrees::pedigreePhenotypedRecursion(Pedigree* root, const std::string& phenotypeName) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    pedigreePhenotypedRecursion(root->left, phenotypeName);
    if (root->getPersonTree() != nullptr) {
        personPhenotypedRecursion(root->getPersonTree()->root, phenotypeName);
    }
    pedigreePhenotypedRecursion(root->right, phenotypeName);
}

void Pedigrees::personPhenotypedRecursion(Person* root, const std::string& phenotypeName) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    personPhenotypedRecursion(root->left, phenotypeName);
    const Phenotype* phenotype = root->getPhenotype(phenotypeName);
    if (phenotype == nullptr) {
        ++phenotypeUnknownCount;
    } else if (phenotype->getValue() == "1") {
        ++phenotypeUnaffectedCount;
    } else if (phenotype->getValue() == "2") {
        ++phenotypeAffectedCount;
    }
    personPhenotypedRecursion(root->right, phenotypeName);
}

void Pedigrees::countGenotypedPhenotypeStates(const std::string& phenotypeName,
                                              const std::string& index) {
    stateAffectedGenotypedCount = 0;
    stateUnaffectedGenotypedCount = 0;
    stateUnknownGenotypedCount = 0;
    stateAffectedCount = 0;
    stateUnaffectedCount = 0;
    stateUnknownCount = 0;
    if (pedigreeTree != nullptr) {
        pedigreeCountGenotypedPhenotypeStatesRecursion(pedigreeTree->root, phenotypeName, index);
    }
}

void Pedigrees::pedigreeCountGenotypedPhenotypeStatesRecursion(Pedigree* root,
                                                               const std::string& phenotypeName,
                                                               const std::string& index) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    pedigreeCountGenotypedPhenotypeStatesRecursion(root->left, phenotypeName, index);
    if (root->getPersonTree() != nullptr) {
        personCountGenotypedPhenotypeStatesRecursion(root->getPersonTree()->root, phenotypeName,
                                                     index);
    }
    pedigreeCountGenotypedPhenotypeStatesRecursion(root->right, phenotypeName, index);
}

void Pedigrees::personCountGenotypedPhenotypeStatesRecursion(Person* root,
                                                             const std::string& phenotypeName,
                                                             const std::string& index) {
    if (root == nullptr || isLeaf(root->key)) {
        return;
    }
    personCountGenotypedPhenotypeStatesRecursion(root->left, phenotypeName, index);
    const Phenotype* phenotype = root->getPhenotype(phenotypeName);
    int* total = nullptr;
    int* genotyped = nullptr;
    if (phenotype == nullptr) {
        total = &stateUnknownCount;
        genotyped = &stateUnknownGenotypedCount;
    } else if (phenotype->getValue() == "1") {
        total = &stateUnaffectedCount;
        genotyped = &stateUnaffectedGenotypedCount;
    } else if (phenotype->getValue() == "2") {
        total = &stateAffectedCount;
        genotyped = &stateAffectedGenotypedCount;
    }
    if (total != nullptr) {
        ++*total;
        if (isGenotyped(*root, index)) {
            ++*genotyped;
        }
    }
    personCountGenotypedPhenotypeStatesRecursion(root->right, phenotypeName, index);
}

// ---- Statistics files

bool Pedigrees::writeStatistics() {
    const int failuresBefore = fileWriteFailures;
    const std::string prefix = outputPrefix + "_";
    writeFrequenciesFile(prefix + "markerinfo_statistics.info");

    writeSetFrequencies(*this, &Pedigrees::createHrrPedigreesForMarker, &Pedigrees::hrrMarkerInfo,
                        prefix + "hrr_markerinfo_statistics.info");
    delete hrrPedigrees;
    hrrPedigrees = nullptr;

    writeSetFrequencies(*this, &Pedigrees::createTdtPedigreesForMarker, &Pedigrees::tdtMarkerInfo,
                        prefix + "tdt_markerinfo_statistics.info");

    writeSetFrequencies(*this, &Pedigrees::createSibPairPedigreesForMarker,
                        &Pedigrees::sibPairMarkerInfo,
                        prefix + "sib_pair_markerinfo_statistics.info");
    emptyStream(frequencyText);
    delete sibPairPedigrees;
    sibPairPedigrees = nullptr;

    writePedigreeStatistics(prefix + "pedigree_statistics.info");
    writeGenotypeStatistics(prefix + "genotype_statistics.info");
    writeNumberOfHrrTdtSibpairPeds(prefix + "number_of_hrr_tdt_sibpair_peds.info");
    return fileWriteFailures == failuresBefore;
}

void Pedigrees::writePedigreeStatistics(const std::string& fileName) {
    File file;
    if (!file.openFile(fileName, "write")) {
        std::cout << "Error: Unable to open " << fileName << " for writing!\n";
        ++fileWriteFailures;
    }
    emptyStream(pedigreeStatisticsText);
    std::ostringstream& out = pedigreeStatisticsText;
    const std::string rule(60, '=');
    const int pedigrees = pedigreeTree != nullptr ? pedigreeTree->count : 0;
    const int persons = getPedigreePersonCount();

    out << getCommonHeader();
    out << "Pedigree Statistics\n" << std::string(25, '=') << '\n';
    out << "Average pedigree size: ";
    if (pedigrees == 0) {
        out << "NaN";
    } else {
        out << static_cast<double>(persons) / pedigrees;
    }
    out << '\n';
    out << "Pedigree Count: " << pedigrees << '\n';
    out << "Person Count: " << persons << '\n';
    out << '\n';

    out << "Marker Statistics\n" << rule << '\n';
    out << std::setw(10) << "Marker" << std::setw(15) << "%Genotyped" << std::setw(15)
        << "%Genotyped" << std::setw(10) << "PIC" << std::setw(10) << "H" << '\n';
    out << std::setw(10) << " " << std::setw(15) << "Persons" << std::setw(15) << "Pedigrees"
        << std::setw(10) << " " << std::setw(10) << " " << '\n';
    for (int i = 0; i < markerCount; ++i) {
        const std::string index = IntToString(i);
        const double personShare = getPercentGenotyped(index);
        const double pedigreeShare =
            pedigrees == 0 ? 0.0 : static_cast<double>(genotypedPedigreeCount) / pedigrees;
        out << std::setw(10) << markerMap->getMarkerName(index) << std::setw(15)
            << fixedText(personShare, 5) << std::setw(15) << fixedText(pedigreeShare, 5)
            << std::setw(10) << fixedText(getPolymorphismInformationContent(index), 5)
            << std::setw(10) << fixedText(getHeterozygosity(index), 5) << '\n';
    }
    out << "\n\n";

    if (!phenotypeNames.empty()) {
        out << "Phenotype Statistics\n" << rule << '\n';
        out << std::setw(15) << "Phenotype" << std::setw(15) << "%Affected" << std::setw(15)
            << "%Unaffected" << std::setw(15) << "%Unknown" << '\n';
        for (const std::string& name : phenotypeNames) {
            countPhenotypedDistribution(name);
            out << std::setw(15) << name << std::setw(15)
                << fixedText(percentOf(phenotypeAffectedCount, persons), 2) << std::setw(15)
                << fixedText(percentOf(phenotypeUnaffectedCount, persons), 2) << std::setw(15)
                << fixedText(percentOf(phenotypeUnknownCount, persons), 2) << '\n';
        }
    }
    out << "\n\n";

    if (!phenotypeNames.empty() && markerCount != 0) {
        out << "Phenotype & Marker Statistics\n" << rule << '\n';
        for (const std::string& name : phenotypeNames) {
            out << std::setw(15) << "Phenotype: " << name << '\n';
            out << std::setw(15) << "Marker" << std::setw(15) << "%Affected" << std::setw(15)
                << "%Unaffected" << std::setw(15) << "%Unknown" << '\n';
            for (int i = 0; i < markerCount; ++i) {
                const std::string index = IntToString(i);
                countGenotypedPhenotypeStates(name, index);
                out << std::setw(15) << markerMap->getMarkerName(index) << std::setw(15)
                    << fixedText(percentOrZero(stateAffectedGenotypedCount, stateAffectedCount), 2)
                    << std::setw(15)
                    << fixedText(percentOrZero(stateUnaffectedGenotypedCount, stateUnaffectedCount),
                                 2)
                    << std::setw(15)
                    << fixedText(percentOrZero(stateUnknownGenotypedCount, stateUnknownCount), 2)
                    << '\n';
            }
        }
    }

    if (file.isOpen("write") && !finishTextFile(file, fileName, out.str())) {
        ++fileWriteFailures;
    }
    emptyStream(pedigreeStatisticsText);
}

void Pedigrees::writeNumberOfHrrTdtSibpairPeds(const std::string& fileName) {
    File file;
    if (!file.openFile(fileName, "write")) {
        std::cout << "Error: Unable to open " << fileName << " for writing!\n";
        ++fileWriteFailures;
    }
    emptyStream(pedigreeSetCountText);
    std::ostringstream& out = pedigreeSetCountText;
    out << getCommonHeader();
    out << "Number of Hrr, Tdt And Sib Pair Pedigrees\n\n";
    out << std::left << std::setw(15) << "Marker" << std::setw(15) << "HRR" << std::setw(10)
        << "TDT" << std::setw(10) << "SIBPAIRS" << '\n';
    for (int i = 0; i < markerCount; ++i) {
        const std::string index = IntToString(i);
        createHrrPedigreesForMarker("DISEASE_LOCUS", index);
        createTdtPedigreesForMarker("DISEASE_LOCUS", index);
        createSibPairPedigreesForMarker("DISEASE_LOCUS", index);
        out << std::setw(15) << markerMap->getMarkerName(index) << std::setw(15)
            << getHrrPedigreeCount() << std::setw(10) << getTdtPedigreeCount() << std::setw(10)
            << getSibPairPedigreeCount() << '\n';
    }
    if (file.isOpen("write") && !finishTextFile(file, fileName, out.str())) {
        ++fileWriteFailures;
    }
    emptyStream(pedigreeSetCountText);
}

// ---- Polymorphism information content and heterozygosity

namespace {

// Sum of the k-th powers of the marker's allele frequencies in "all".
double frequencyPowerSum(const MarkerInfo& record, int power) {
    return std::accumulate(record.alleles.begin(), record.alleles.end(), 0.0,
                           [&record, power](double sum, const Allele* allele) {
                               const double p =
                                   record.getAlleleFreqWithName(allele->alleleName, "all");
                               return sum + std::pow(p, power);
                           });
}

}  // namespace

double Pedigrees::getHeterozygosity(const std::string& markerIndex) {
    const MarkerInfo* record = markerInfo != nullptr ? markerInfo->find(markerIndex) : nullptr;
    if (record == nullptr || record->getAlleleCount() == 0) {
        return UNKNOWN_MARKER_STATISTIC;
    }
    return 1.0 - frequencyPowerSum(*record, 2);
}

double Pedigrees::getPolymorphismInformationContent(const std::string& markerIndex) {
    const MarkerInfo* record = markerInfo != nullptr ? markerInfo->find(markerIndex) : nullptr;
    if (record == nullptr || record->getAlleleCount() == 0) {
        return UNKNOWN_MARKER_STATISTIC;
    }
    // 2 * sum over pairs i < j of pi^2 pj^2 = (sum pi^2)^2 - sum pi^4.
    const double squares = frequencyPowerSum(*record, 2);
    const double pairTerms = squares * squares - frequencyPowerSum(*record, 4);
    return getHeterozygosity(markerIndex) - pairTerms;
}
