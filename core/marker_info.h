// What the store learns about one marker in one pedigree set: its alleles
// with their counts per group of persons, their new names, and the genotype
// table of the Hardy-Weinberg statistics. Groups are named "all",
// "founders", "males" and "females"; genotypes know "all" and "founders".
#pragma once

#include <string>
#include <vector>

#include "rbtree.h"

class Allele {
  public:
    std::string alleleName;     // as written in the pedigree file
    std::string alleleNewName;  // "1".."n" once renumbered
    int allCount = 0;
    int foundersCount = 0;
    int malesCount = 0;
    int femalesCount = 0;
    int affectedSingletonCount = 0;
    int healthySingletonCount = 0;

    explicit Allele(std::string name);

    std::string getAlleleName() const;
    void setAlleleNewName(std::string newName);
    std::string getAlleleNewName() const;
    // Any other group text changes nothing.
    void addCount(const std::string& group);
    // 0 for any other group text.
    int getAlleleCount(const std::string& group) const;
};

class Genotype {
  public:
    std::string genotypeName;  // allele1 + "/" + allele2
    std::string allele1;
    std::string allele2;
    int allCount = 0;
    int foundersCount = 0;
    double allFrequency = 0.0;
    double foundersFrequency = 0.0;
    double allExpectedCount = 0.0;
    double foundersExpectedCount = 0.0;

    Genotype(std::string first, std::string second);

    std::string getGenotypeName() const;
    // "error" for an index other than 0 and 1.
    std::string getAllele(int i) const;
    void addGenotypeCount(const std::string& group);
    // -1 for a group other than "all" and "founders".
    int getGenotypeCount(const std::string& group) const;
    void setGenotypeFreq(double frequency, const std::string& group);
    // -0.0 for another group.
    double getGenotypeFreq(const std::string& group) const;
    void setExpectedGenotypeCount(double count, const std::string& group);
    // -11.111 for another group.
    double getExpectedGenotypeCount(const std::string& group) const;
    // (observed - expected)^2 / expected; an expected count of 0 gives the
    // marks -666 ("all") and -777 ("founders"), another group -11.11.
    double getChi2(const std::string& group) const;
};

// Keyed by the marker index; owns its alleles and genotypes.
class MarkerInfo : public Object<MarkerInfo> {
  public:
    int allCount = 0;  // allele copies counted into each group
    int foundersCount = 0;
    int malesCount = 0;
    int femalesCount = 0;
    std::string markerIndex;
    std::vector<Allele*> alleles;
    std::vector<Genotype*> genotypes;
    int affectedSingletonCount = 0;
    int healthySingletonCount = 0;

    MarkerInfo() = default;  // leaf record
    explicit MarkerInfo(std::string index);
    ~MarkerInfo() override;

    void addCount(const std::string& group);
    // Takes ownership unless it returns false (null, or the name is present).
    bool addAllele(Allele* allele);
    Allele* getAlleleWithName(const std::string& name) const;
    std::vector<Allele*> getAlleles() const;
    int getAlleleCount() const;
    // The allele's share of the group's copies: -1 for a position or group
    // that does not exist, 0 while the group has no copies.
    double getAlleleFreq(int i, const std::string& group) const;
    double getAlleleFreqWithName(const std::string& name, const std::string& group) const;
    // "E" when no allele carries the new name.
    std::string getOldAlleleWithNewName(const std::string& newName) const;
    std::string getMarkerIndex() const;
    // Numeric order when every name is all digits, byte order otherwise.
    void sortAllelesVector();
    void addAllelesNewNames();
    // Appends the genotypes i/j, j >= i, of the current allele order.
    void createMarkerGenotypes();
    std::vector<Genotype*> getGenotypes() const;
    double getGenotypeCount(const std::string& group) const;
    double getExpectedGenotypeCount(const std::string& group) const;
    double getChi2Count(const std::string& group) const;
    bool hasFoundersAllAlleles() const;

  private:
    int* totalFor(const std::string& group);
    const int* totalFor(const std::string& group) const;
    double frequencyOf(const Allele& allele, const std::string& group) const;
};

// Orders identifier texts by their leading integer (0 when there is none).
bool StringToIntCompare(const std::string& a, const std::string& b);
bool AlleleCompare(const Allele* a, const Allele* b);
bool AlleleStringToIntCompare(const Allele* a, const Allele* b);
