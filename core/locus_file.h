// A whole LINKAGE locus file in memory: the run settings, the loci, the
// recombination fractions and the closing line(s) of the LINKAGE program
// that reads it. Every engine run reads one of these as "datafile.dat".
#pragma once

#include <string>
#include <vector>

#include "locus.h"

class MarkerMap;

// Reads the whitespace-separated numbers of a LINKAGE-style text (locus file,
// disease model file) and keeps count of the lines, so that a failure can say
// where it happened. Reading never stops at a length limit.
class LinkageTextReader {
  public:
    explicit LinkageTextReader(std::string text);

    // Each reads the next number into value. A number must stand alone (a
    // blank, the end of the line or a sign such as "<<" after it). False,
    // with problem() telling what was expected and what stood there, when the
    // text ends or holds no such number.
    bool readInt(int& value, const std::string& what);
    bool readDouble(double& value, const std::string& what);
    // Reads the next word (a run of characters other than white space),
    // across line ends. False, with problem() set, when the text has ended.
    bool readWord(std::string& word, const std::string& what);
    // The next word without reading it; empty when the text has ended.
    std::string peekWord();
    // Discards everything up to and including the next line feed.
    void skipRestOfLine();
    // Reads everything up to the next line feed (which it discards).
    std::string readRestOfLine();
    // Records a fault found by the caller at the given line; returns false.
    bool fail(const std::string& problem, int line);
    // True when nothing but white space is left.
    bool atEnd();

    // The line (from 1) of the last number read, or of the failure.
    int line() const { return tokenLine_; }
    // The line (from 1) that reading has reached.
    int currentLine() const { return line_; }
    const std::string& problem() const { return problem_; }

  private:
    void skipSpace();
    bool startNumber(const std::string& what);
    bool endNumber(const char* end, const std::string& what);
    std::string wordAt(size_t position) const;

    std::string text_;
    size_t position_ = 0;
    int line_ = 1;
    int tokenLine_ = 1;
    std::string problem_;
};

class LinkageLocusFile {
  public:
    static constexpr int ilinkProgram = 3;
    static constexpr int linkmapProgram = 4;
    static constexpr int mlinkProgram = 5;
    // How far from 1 the allele frequencies of a locus may sum: they are
    // rescaled to sum to 1, with a warning when the sum was not 1.
    static constexpr double frequencySumTolerance = 0.001;

    LinkageLocusFile() = default;
    ~LinkageLocusFile();
    // The file owns its loci: copying would delete them twice.
    LinkageLocusFile(const LinkageLocusFile&) = delete;
    LinkageLocusFile& operator=(const LinkageLocusFile&) = delete;

    // Reads a LINKAGE locus file into this object; on failure prints
    // "...failed" and the reason, keeps what was read so far (header, locus
    // order, complete loci) and returns false.
    bool readLocusFile(const std::string& fileName);
    // Writes the whole object as a LINKAGE locus file. Returns false, with an
    // "Error: " line and nothing written, when the file cannot be written or
    // when a disease locus lacks penetrances the file would need. The names
    // are accepted for the callers' sake; the object is always written whole.
    bool writeLocusFile(const std::string& fileName,
                        const std::vector<std::string>& lociNames = {}) const;

    int getNumberOfLoci() const { return numberOfLoci; }
    int getXlinked() const { return sexLink; }
    // Locus i (from 0), still owned by this file; null when there is none.
    Locus* getLocus(int i) const;
    // The marker locus of the map index, found by its id (the index + 1, as
    // both the reader and the store's generator give it), so a marker that got
    // no locus cannot lend its place to the next marker's; null when none.
    Locus* getMarkerLocus(const std::string& markerIndex) const;
    // Whether the file can model X-linked data: it is sex-linked and its
    // trait locus (locus 0), when an affection locus, has male penetrances
    // for every liability class.
    bool hasSexLinkedTraitLocus() const;

    // Also resets the locus order to 0 .. n - 1.
    void setNumberOfLoci(int n);
    void setRiskLocus(int value) { riskLocus = value; }
    void setSexLink(int value) { sexLink = value; }
    void setProgramNumber(int value) { programNumber = value; }
    void setMutLocus(int value) { mutLocus = value; }
    void setHapFreq(int value) { hapFreq = value; }
    void setSexDifference(int value) { sexDifference = value; }
    void setInterference(int value) { interference = value; }
    void setRecombinationVaried(int value) { recombinationVaried = value; }
    void setIteratedLocus(int value) { iteratedLocus = value; }
    void setMutRateMale(double value) { mutRateMale = value; }
    void setMutRateFemale(double value) { mutRateFemale = value; }
    void setIncrement(double value) { increment = value; }
    void setFinishingValue(double value) { finishingValue = value; }
    void setEstimateTheta(bool value) { estimateTheta = value; }
    void setCondHaplotypeFrequencies(bool value) { condHaplotypeFrequencies = value; }
    void setLocusOrder(const std::vector<int>& order) { locusOrder = order; }
    // Takes ownership of the locus.
    void addLocus(Locus* locus);
    void addRecombinationFraction(double fraction) { recombinationFractions.push_back(fraction); }
    // Replaces the whole list by the one value.
    void setRecombinationFraction(double fraction) { recombinationFractions = {fraction}; }
    void setEstimateAlleleFrequencies(const std::vector<bool>& flags) {
        estimateAlleleFrequencies = flags;
    }
    void setEstimateHaplotypeFrequencies(const std::vector<bool>& flags) {
        estimateHaplotypeFrequencies = flags;
    }
    // Not owned; neither reading nor writing consults it.
    void setMarkerMap(MarkerMap* map) { markerMap = map; }

    int numberOfLoci = 0;
    int riskLocus = 0;
    int sexLink = 0;
    int programNumber = 0;
    int mutLocus = 0;
    double mutRateMale = 0.0;
    double mutRateFemale = 0.0;
    int hapFreq = 0;
    std::vector<int> locusOrder;
    std::vector<Locus*> loci;
    int sexDifference = 0;
    int interference = 0;
    std::vector<double> recombinationFractions;
    int recombinationVaried = 0;
    double increment = 0.0;
    double finishingValue = 0.0;
    MarkerMap* markerMap = nullptr;
    bool condHaplotypeFrequencies = false;
    int iteratedLocus = 0;
    bool estimateTheta = false;
    std::vector<bool> estimateAlleleFrequencies;
    std::vector<bool> estimateHaplotypeFrequencies;
    int linkmapLocusVaried = 0;
    double linkmapFinishingValue = 0.0;
    int linkmapNumberOfEvaluations = 0;

  private:
    // The whole text that writeLocusFile writes.
    std::string toString() const;
    // The "Error: " line for the first disease locus whose penetrances the
    // file would have to fill with stand-in values; empty when there is none.
    std::string missingPenetranceError(const std::string& fileName) const;
};
