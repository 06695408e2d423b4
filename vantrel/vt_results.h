// vantrel's results of one phenotype and one trait model: the four
// hypothesis runs of every analysed marker (H0 no linkage and no LD, H1
// linkage, H2 LD, H3 linkage and LD) and the statistics derived from them.
#pragma once

#include <map>
#include <string>
#include <vector>

class Likelihoods;
class MarkerInfo;
class MarkerMap;
class PostScript;

class VTResults {
  public:
    VTResults() = default;
    VTResults(const VTResults&) = delete;
    VTResults& operator=(const VTResults&) = delete;

    void setName(const std::string& name) { modelName = name; }
    void setPhenotypeName(const std::string& name) { phenotypeName = name; }
    void addMarkerName(const std::string& marker) { markerNames.push_back(marker); }
    void addMarkerInfo(const std::string& marker, MarkerInfo* info) { markerInfos[marker] = info; }
    void addH0(const std::string& marker, Likelihoods* run) { h0Runs[marker] = run; }
    // Each keeps, per marker, the run with the smallest -2 ln L (the earlier
    // one on ties) and lists every run added.
    void addH1(const std::string& marker, Likelihoods* run);
    void addH2(const std::string& marker, Likelihoods* run);
    void addH3(const std::string& marker, Likelihoods* run);

    // "<model> (Phenotype: <phenotype>)".
    std::string getInfo() const;
    // The LOD score and p-values of one marker on standard output.
    void printInterMediateResults(const std::string& marker) const;

    // Text blocks of the result files, one row per marker in markerNames order.
    std::string getLodScoresInString() const;
    std::string getPValuesInString() const;
    std::string getAlleleandHaplotypeFrequenciesInString() const;
    std::string getLikelihoodsInString() const;
    std::string getAllMaximitionInfoInString() const;
    std::string get2lnLikelihoodsDifferencesInString() const;
    // The LD measures of the kept H2 (hypothesis 2) or H3 (3) runs.
    std::string getLDmeasures(int hypothesis) const;
    // Table rows (with the header line when index is 0).
    std::string getInfoLodscorePValuesInString(unsigned int index) const;

    // The chart file: outputPrefix, "_", the phenotype (left out for the
    // affection status "DISEASE_LOCUS") and "_", the model, ".ps"; phenotype
    // and model in lower case.
    std::string chartFileName() const;
    // The same for any prefix, phenotype and model: the driver works the
    // chart files out before the analyses run.
    static std::string chartFileName(const std::string& prefix, const std::string& phenotype,
                                     const std::string& model);
    // Adds the six chart pages, one bar per marker: the LOD score, then
    // -log10 of the five p-values on one common scale. A p-value of 0 (a
    // tail too small to compute) stands at the pValueCeiling() of the pages.
    void addChartPages(PostScript& document) const;
    // The height of a p-value of 0 on the p-value pages: the highest bar of
    // a p-value above 0, but never below zeroPValueHeight.
    double pValueCeiling() const;
    // Writes the six pages into chartFileName() and names the file on
    // standard output. False, after an "Error: " line, when the phenotype
    // or model name holds a "/" (the chart would land in another folder) or
    // the file cannot be written.
    bool writeGraphs() const;
    // A value axis of the charts: its top and the step between its ticks.
    struct AxisScale {
        double top;
        double step;
    };
    // The LOD page's axis for the largest LOD (at least 0), and the p-value
    // pages' axis for their largest bar, whose top is rounded with the LOD
    // page's step. A top is a whole number, 3 at least, never below the
    // largest value.
    static AxisScale lodAxis(double largestLod);
    static AxisScale pValueAxis(double largestHeight, double lodStep);
    // Above -log10 of every p-value above 0 that a one-degree test gives
    // (about 2e-33, where the normal tail stops): a p-value of 0 never
    // stands below a computed one.
    static constexpr double zeroPValueHeight = 33.0;

    std::string runDate;
    std::string modelName = "unknown_model";
    std::string phenotypeName;
    std::string modelTag;
    std::vector<std::string> markerNames;
    std::string outputPrefix;
    double diseaseAlleleFrequency = 1e-5;
    // None of the records below is owned here.
    MarkerMap* markerMap = nullptr;
    std::map<std::string, MarkerInfo*> markerInfos;
    std::map<std::string, Likelihoods*> h0Runs;
    std::map<std::string, Likelihoods*> bestH1Runs;
    std::map<std::string, Likelihoods*> bestH2Runs;
    std::map<std::string, Likelihoods*> bestH3Runs;
    std::vector<Likelihoods*> allH1Runs;
    std::vector<Likelihoods*> allH2Runs;
    std::vector<Likelihoods*> allH3Runs;

    // The statistics of one marker from the best -2 ln L of its runs.
    struct Statistics {
        double l0 = 0.0, l1 = 0.0, l2 = 0.0, l3 = 0.0;
        int alleles = 0;  // of the H0 run
        double lod = 0.0;
        double linkage = 1.0;         // H0 vs. H1, one-sided
        double ldGivenLinkage = 1.0;  // H1 vs. H3
        double ldNoLinkage = 1.0;     // H0 vs. H2
        double linkageGivenLd = 1.0;  // H2 vs. H3
        double ldPlusLinkage = 1.0;   // H0 vs. H3, a 50:50 mixture
    };
    Statistics statistics(const std::string& marker) const;

    // delta, D', r and r2 of a diallelic marker from its frequencies on the
    // normal-allele (p) and disease-allele (c) haplotypes; NaN where a
    // denominator is 0.
    struct LdMeasures {
        double delta, dPrime, r, r2;
    };
    static LdMeasures ldMeasures(double diseaseFrequency, const std::vector<double>& p,
                                 const std::vector<double>& c);

  private:
    static void keep(std::map<std::string, Likelihoods*>& best, std::vector<Likelihoods*>& all,
                     const std::string& marker, Likelihoods* run);
    std::string frequencyBlock(const std::string& marker) const;
    std::string runsOf(const std::vector<Likelihoods*>& runs, const std::string& marker) const;
};
