// One locus of a LINKAGE locus file: a trait locus (affection status or
// quantitative) or a marker locus with numbered alleles.
#pragma once

#include <string>
#include <vector>

class Locus {
  public:
    // LINKAGE locus types; binary factors (2) are never stored.
    static constexpr int quantitativeType = 0;
    static constexpr int affectionType = 1;
    static constexpr int numberedAllelesType = 3;

    // Stand-ins for penetrances a locus does not hold, so that a missing
    // liability class is visible in the text instead of shifting the rest.
    static constexpr double missingPenetrance = -4.0;
    static constexpr double missingMalePenetrance = -2.0;

    Locus(std::string id, int type, int numberOfAlleles);
    // A deep copy of the source (which must not be null); the engine drivers
    // copy the stored loci rather than share them with the file they write.
    explicit Locus(const Locus* source);

    int getNumberOfAlleles() const { return numberOfAlleles; }
    // The i-th allele frequency (from 0), or -3.0 when there is none.
    double getAlleleFrequency(int i) const;

    void setName(const std::string& newName) { name = newName; }
    void setXlinked() { xlinked = true; }
    void setNumberOfLiabClasses(int classes) { numberOfLiabClasses = classes; }
    // Replaces the frequencies; it does not append.
    void addAlleleFrequencies(const std::vector<double>& frequencies);
    // Each call appends one liability class (genotypes ++, +D, DD) and makes
    // the class count follow the rows stored.
    void setFemalePenetrances(const std::vector<double>& penetrances);
    // Each call appends one male class (hemizygotes + and D) of sex-linked
    // data and makes the class count follow the male rows stored.
    void setMalePenetrances(const std::vector<double>& penetrances);
    void setHaplotypeFrequencies(const std::vector<double>& frequencies);
    void setHaplotypeFrequenciesCond(const std::vector<double>& frequencies);
    void setHaplotypeFrequenciesOnOff(bool on) { haplotypeFrequenciesOnOff = on; }

    // Penetrance j of liability class k, or the stand-in value when the
    // locus holds none there.
    double femalePenetrance(int k, int j) const;
    double malePenetrance(int k, int j) const;
    // True when every liability class counted has its three penetrances and,
    // for sex-linked data, its two male penetrances.
    bool hasFemalePenetrances(int k) const;
    bool hasMalePenetrances(int k) const;

    // The locus block of a LINKAGE locus file, numbers with 17 significant
    // digits; male penetrance lines only when sexLink is 1.
    std::string toString(int sexLink) const;
    // The readable disease-model table of the report headers.
    std::string toStringDiseaseLocus(int sexLink) const;

    std::string id;
    int type;
    int numberOfAlleles;
    std::string name;
    bool xlinked = false;
    std::vector<double> alleleFrequencies;
    int numberOfLiabClasses = 0;
    std::vector<std::vector<double>> femalePenetrances;
    std::vector<std::vector<double>> malePenetrances;
    std::vector<double> genotypeMeans;
    std::vector<double> variances;
    double multiplier = 0.0;
    std::vector<double> haplotypeFrequencies;
    std::vector<double> haplotypeFrequenciesCond;
    bool haplotypeFrequenciesOnOff = false;
};
