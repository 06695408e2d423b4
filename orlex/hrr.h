// Haplotype-relative-risk association tests on parent and child trios: the
// genotype of an affected child is a case, the two alleles its parents did
// not pass on form a control genotype. Runs wholly inside the program.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

class Allele;
class Pedigree;
class Pedigrees;
class PostScript;

// A p-value cell of the association tables: right-aligned in 15 characters,
// six decimals, in scientific notation below 1e-6 and fixed otherwise.
std::string hrrPValueField(double value);

// One marker's case and control counts for one phenotype, its two
// likelihood-ratio statistics and their p-values.
class HrrMarker {
  public:
    // Replicates of the randomisation test.
    static constexpr int replicates = 100000;

    HrrMarker(std::string index, const std::vector<Allele*>& alleles);

    void addCaseCountForGenotype(const std::string& genotype);
    void addControlCountForGenotype(const std::string& genotype);
    void addCaseAlleleCount(const std::string& allele);
    void addControlAlleleCount(const std::string& allele);
    int getCaseCountForGenotype(const std::string& genotype) const;
    int getControlCountForGenotype(const std::string& genotype) const;
    int getCaseAlleleCount(const std::string& allele) const;
    int getControlAlleleCount(const std::string& allele) const;
    std::map<std::string, int> getCaseCountsForGenotypes() const { return caseGenotypeCounts; }
    std::map<std::string, int> getControlCountsForGenotypes() const {
        return controlGenotypeCounts;
    }
    std::map<std::string, int> getCaseCountsForAlleles() const { return caseAlleleCounts; }
    std::map<std::string, int> getControlCountsForAlleles() const { return controlAlleleCounts; }
    std::vector<std::string> getGenotypeNames() const { return genotypeNames; }
    std::vector<std::string> getAlleleNames() const { return alleleNames; }
    // The name of the genotype of two alleles: the one earlier in the
    // marker's allele list first, so "A/C" and "C/A" are one genotype.
    std::string getGenotypeName(const std::string& first, const std::string& second) const;

    // Log-likelihood of the counts with separate case and control
    // frequencies (H0) and with pooled ones (H1); type "genotype" or
    // "allele", any other type gives 0. The totals are the record's own.
    double getH0(const std::string& type, const std::map<std::string, int>& cases,
                 const std::map<std::string, int>& controls) const;
    double getH1(const std::string& type, const std::map<std::string, int>& cases,
                 const std::map<std::string, int>& controls) const;
    // 2 (H0 - H1), stored in genotypeLRT or alleleLRT; another type changes nothing.
    void countLRT(const std::string& type, const std::map<std::string, int>& cases,
                  const std::map<std::string, int>& controls);
    // 2 (H0 - H1) of the counts given, or -1 for another type.
    double getLRT(const std::string& type, const std::map<std::string, int>& cases,
                  const std::map<std::string, int>& controls) const;
    // The stored statistic of the type, or -1 for another type.
    double getLRT(const std::string& type) const;
    // Cumulative pooled genotype frequencies, in the order of genotypeNames.
    std::vector<double> getProbabilityDistribution() const;
    // Both statistics, their randomised p-values (replicates drawn under no
    // association from the pooled genotype distribution) and their
    // chi-square p-values.
    void Randomize();

    std::string markerIndex;
    std::vector<std::string> genotypeNames;
    std::vector<std::string> alleleNames;
    std::map<std::string, int> caseGenotypeCounts;
    std::map<std::string, int> controlGenotypeCounts;
    std::map<std::string, int> caseAlleleCounts;
    std::map<std::string, int> controlAlleleCounts;
    int caseGenotypeTotal = 0;
    int controlGenotypeTotal = 0;
    int caseAlleleTotal = 0;
    int controlAlleleTotal = 0;
    double alleleLRT = 0.0;
    double genotypeLRT = 0.0;
    double alleleRandomizedPValue = 0.0;
    double genotypeRandomizedPValue = 0.0;
    double alleleTheoreticalPValue = 0.0;
    double genotypeTheoreticalPValue = 0.0;
    bool quiet = false;

  private:
    // The allele positions each genotype name was built from.
    std::vector<int> firstAlleleOfGenotype;
    std::vector<int> secondAlleleOfGenotype;
};

// The marker records of one phenotype, in the order they were added.
class HrrPhenotype {
  public:
    explicit HrrPhenotype(std::string phenotypeName) : name(std::move(phenotypeName)) {}

    // Keeps the record unless one is stored under the index already (the
    // first stays) or it is null.
    void addHrrMarker(const std::string& index, std::unique_ptr<HrrMarker> record);
    HrrMarker* getHrrMarker(const std::string& index) const;
    std::vector<std::string> getHrrMarkerNames() const { return markerNames; }

    std::string name;
    std::map<std::string, std::unique_ptr<HrrMarker>> markers;
    std::vector<std::string> markerNames;
};

class Hrr {
  public:
    explicit Hrr(Pedigrees* store) : pedigrees(store) {}
    Hrr(const Hrr&) = delete;
    Hrr& operator=(const Hrr&) = delete;

    // Tests every selected marker ("" all, or the store's marker selection
    // file) for every selected phenotype ("" all) and prints the p-values.
    // False only for a marker or phenotype name the store does not know.
    bool run(const std::string& markerName, const std::string& phenotypeName);
    // Counts the trios below the node into currentMarker.
    void pedigreeCountCaseAndControlGenotypes(Pedigree* node, const std::string& phenotypeName);
    // The text report base + ".out" and the -log10(p-value) charts base + ".ps".
    bool writeGenotypeAndAlleleCounts(const std::string& baseName);
    static std::string welcome();

    Pedigrees* pedigrees;
    std::map<std::string, std::unique_ptr<HrrPhenotype>> phenotypes;
    // The analysed phenotypes in analysis order; the writers walk this list.
    std::vector<std::string> phenotypeNames;
    // The record the counting walk fills; null between markers.
    std::unique_ptr<HrrMarker> currentMarker;
    bool quiet = false;

  private:
    bool selectMarkers(const std::string& markerName, std::vector<std::string>& selected) const;
    bool selectPhenotypes(const std::string& phenotypeName,
                          std::vector<std::string>& selected) const;
    void analyseMarker(const std::string& phenotype, const std::string& marker,
                       HrrPhenotype& results);
    void countTrio(const Pedigree& trio, const std::string& phenotypeName);
    void addChartPages(PostScript& document, const std::string& phenotype,
                       const std::vector<std::string>& names,
                       const std::map<std::string, double>& heights, const std::string& label,
                       double largest) const;
};
