#include "marker_info.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "utilities.h"

// Allele

Allele::Allele(std::string name) : alleleName(std::move(name)) {}

std::string Allele::getAlleleName() const {
    return alleleName;
}

void Allele::setAlleleNewName(std::string newName) {
    alleleNewName = std::move(newName);
}

std::string Allele::getAlleleNewName() const {
    return alleleNewName;
}

// The count of a group, or null for a text that names none.
static const int* alleleCountFor(const Allele& allele, const std::string& group) {
    if (group == "all") {
        return &allele.allCount;
    }
    if (group == "founders") {
        return &allele.foundersCount;
    }
    if (group == "males") {
        return &allele.malesCount;
    }
    if (group == "females") {
        return &allele.femalesCount;
    }
    return nullptr;
}

void Allele::addCount(const std::string& group) {
    if (const int* count = alleleCountFor(*this, group)) {
        ++*const_cast<int*>(count);
    }
}

int Allele::getAlleleCount(const std::string& group) const {
    const int* count = alleleCountFor(*this, group);
    return count != nullptr ? *count : 0;
}

// Genotype

Genotype::Genotype(std::string first, std::string second)
    : genotypeName(first + "/" + second), allele1(std::move(first)), allele2(std::move(second)) {}

std::string Genotype::getGenotypeName() const {
    return genotypeName;
}

std::string Genotype::getAllele(int i) const {
    if (i == 0) {
        return allele1;
    }
    if (i == 1) {
        return allele2;
    }
    return "error";
}

void Genotype::addGenotypeCount(const std::string& group) {
    if (group == "all") {
        ++allCount;
    } else if (group == "founders") {
        ++foundersCount;
    }
}

int Genotype::getGenotypeCount(const std::string& group) const {
    if (group == "all") {
        return allCount;
    }
    if (group == "founders") {
        return foundersCount;
    }
    return -1;
}

void Genotype::setGenotypeFreq(double frequency, const std::string& group) {
    if (group == "all") {
        allFrequency = frequency;
    } else if (group == "founders") {
        foundersFrequency = frequency;
    }
}

double Genotype::getGenotypeFreq(const std::string& group) const {
    if (group == "all") {
        return allFrequency;
    }
    if (group == "founders") {
        return foundersFrequency;
    }
    return -0.0;
}

void Genotype::setExpectedGenotypeCount(double count, const std::string& group) {
    if (group == "all") {
        allExpectedCount = count;
    } else if (group == "founders") {
        foundersExpectedCount = count;
    }
}

double Genotype::getExpectedGenotypeCount(const std::string& group) const {
    if (group == "all") {
        return allExpectedCount;
    }
    if (group == "founders") {
        return foundersExpectedCount;
    }
    return -11.111;
}

static double chi2Term(int observed, double expected, double noExpectationMark) {
    if (expected == 0.0) {
        return noExpectationMark;
    }
    const double difference = observed - expected;
    return difference * difference / expected;
}

double Genotype::getChi2(const std::string& group) const {
    if (group == "all") {
        return chi2Term(allCount, allExpectedCount, -666.0);
    }
    if (group == "founders") {
        return chi2Term(foundersCount, foundersExpectedCount, -777.0);
    }
    return -11.11;
}

// MarkerInfo

MarkerInfo::MarkerInfo(std::string index) : markerIndex(std::move(index)) {
    key = markerIndex;
}

MarkerInfo::~MarkerInfo() {
    for (const Allele* allele : alleles) {
        delete allele;
    }
    for (const Genotype* genotype : genotypes) {
        delete genotype;
    }
}

const int* MarkerInfo::totalFor(const std::string& group) const {
    if (group == "all") {
        return &allCount;
    }
    if (group == "founders") {
        return &foundersCount;
    }
    if (group == "males") {
        return &malesCount;
    }
    if (group == "females") {
        return &femalesCount;
    }
    return nullptr;
}

int* MarkerInfo::totalFor(const std::string& group) {
    return const_cast<int*>(std::as_const(*this).totalFor(group));
}

void MarkerInfo::addCount(const std::string& group) {
    if (int* total = totalFor(group)) {
        ++*total;
    }
}

bool MarkerInfo::addAllele(Allele* allele) {
    if (allele == nullptr || getAlleleWithName(allele->alleleName) != nullptr) {
        return false;
    }
    alleles.push_back(allele);
    return true;
}

Allele* MarkerInfo::getAlleleWithName(const std::string& name) const {
    const auto found = std::find_if(alleles.begin(), alleles.end(), [&name](const Allele* a) {
        return sameShortText(a->alleleName, name);
    });
    return found == alleles.end() ? nullptr : *found;
}

std::vector<Allele*> MarkerInfo::getAlleles() const {
    return alleles;
}

int MarkerInfo::getAlleleCount() const {
    return static_cast<int>(alleles.size());
}

double MarkerInfo::frequencyOf(const Allele& allele, const std::string& group) const {
    const int* total = totalFor(group);
    if (total == nullptr) {
        return -1.0;
    }
    if (*total < 1) {
        return 0.0;
    }
    return static_cast<double>(allele.getAlleleCount(group)) / *total;
}

double MarkerInfo::getAlleleFreq(int i, const std::string& group) const {
    if (i < 0 || i >= getAlleleCount()) {
        return -1.0;
    }
    return frequencyOf(*alleles[static_cast<std::size_t>(i)], group);
}

double MarkerInfo::getAlleleFreqWithName(const std::string& name, const std::string& group) const {
    const Allele* allele = getAlleleWithName(name);
    return allele == nullptr ? -1.0 : frequencyOf(*allele, group);
}

std::string MarkerInfo::getOldAlleleWithNewName(const std::string& newName) const {
    const auto found = std::find_if(alleles.begin(), alleles.end(), [&newName](const Allele* a) {
        return a->alleleNewName == newName;
    });
    return found == alleles.end() ? "E" : (*found)->alleleName;
}

std::string MarkerInfo::getMarkerIndex() const {
    return markerIndex;
}

static bool isAllDigits(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void MarkerInfo::sortAllelesVector() {
    const bool numeric = std::all_of(alleles.begin(), alleles.end(),
                                     [](const Allele* a) { return isAllDigits(a->alleleName); });
    std::sort(alleles.begin(), alleles.end(), numeric ? AlleleStringToIntCompare : AlleleCompare);
}

void MarkerInfo::addAllelesNewNames() {
    int number = 0;
    for (Allele* allele : alleles) {
        allele->setAlleleNewName(IntToString(++number));
    }
}

void MarkerInfo::createMarkerGenotypes() {
    for (auto first = alleles.begin(); first != alleles.end(); ++first) {
        for (auto second = first; second != alleles.end(); ++second) {
            genotypes.push_back(new Genotype((*first)->alleleName, (*second)->alleleName));
        }
    }
}

std::vector<Genotype*> MarkerInfo::getGenotypes() const {
    return genotypes;
}

double MarkerInfo::getGenotypeCount(const std::string& group) const {
    return std::accumulate(
        genotypes.begin(), genotypes.end(), 0.0,
        [&group](double sum, const Genotype* g) { return sum + g->getGenotypeCount(group); });
}

double MarkerInfo::getExpectedGenotypeCount(const std::string& group) const {
    return std::accumulate(genotypes.begin(), genotypes.end(), 0.0,
                           [&group](double sum, const Genotype* g) {
                               return sum + g->getExpectedGenotypeCount(group);
                           });
}

double MarkerInfo::getChi2Count(const std::string& group) const {
    return std::accumulate(
        genotypes.begin(), genotypes.end(), 0.0,
        [&group](double sum, const Genotype* g) { return sum + g->getChi2(group); });
}

bool MarkerInfo::hasFoundersAllAlleles() const {
    return std::all_of(alleles.begin(), alleles.end(),
                       [](const Allele* a) { return a->foundersCount != 0; });
}

// Comparators

bool StringToIntCompare(const std::string& a, const std::string& b) {
    return stringToInt(a) < stringToInt(b);
}

bool AlleleCompare(const Allele* a, const Allele* b) {
    return a->alleleName < b->alleleName;
}

bool AlleleStringToIntCompare(const Allele* a, const Allele* b) {
    return stringToInt(a->alleleName) < stringToInt(b->alleleName);
}
