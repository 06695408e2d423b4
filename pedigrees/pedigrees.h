// The one store of all pedigree data of a run: the pedigrees with their
// persons, phenotypes and genotypes, the marker map, the marker information,
// the disease model and LINKAGE locus file, the switches the drivers set, the
// derived pedigree sets and the working state of the checks and writers.
//
// The methods are spread over the files of this folder by concern: store.cpp
// (members, lookups, person counting), reading.cpp, input_files.cpp,
// family_checks.cpp, mendel.cpp, sibship.cpp, marker_information.cpp,
// collapsing.cpp, locus_generation.cpp, engine_files.cpp and the files of the
// derived sets, singletons and statistics.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine_limits.h"
#include "rbtree.h"
#include "records.h"

class MarkerMap;
class MarkerInfo;
class Allele;
class Genotype;
class LinkageLocusFile;
class Locus;
class Model;
struct MendelSibships;
struct PedigreeFileWriting;

// Alleles rarer than this (over all counted copies) are merged into the next
// rarest allele of their marker.
inline constexpr double MINIMUM_COLLAPSE_ALLELE_FREQUENCY = 1e-05;

// The phenotype name of the liability-class column: the class of the trait
// analysed beside it, never a trait of its own.
inline constexpr const char* liabilityClassPhenotype = "LIABILITY_CLASS";

class Pedigrees {
  public:
    MarkerMap* markerMap;
    RBTree<Pedigree>* pedigreeTree;
    bool pedigreeFileRead = false;
    int markerCount = 0;
    std::vector<std::string> phenotypeNames;
    bool useNewAlleleNames = false;
    LinkageLocusFile* linkageLocusFile;
    Model* model = nullptr;
    bool verbose = false;
    std::string outputPrefix;
    bool trimRequested = false;
    bool singlepointCurves = false;
    std::string frequencyType = "a";
    std::string pedigreeFileName;
    std::string mapFileName;
    std::string phenotypeFileName;
    std::string linkageLocusFileName;
    std::string modelFileName;
    std::vector<std::string> onlyMarkerNames;
    bool qtlModel = false;
    bool linkageFormat = false;
    bool affectionStatusColumn = false;
    bool liabilityClassColumn = false;
    bool xlinked = false;
    bool convertedLinkageFormat = false;
    bool plinkMapFormat = false;

    // Running sum of the person-counting walk.
    int personCountSum = 0;

    // Engine pedigree file writer.
    std::string pedigreeType = "BASIC_PEDIGREE";
    std::vector<std::string> phenotypeColumns;
    std::vector<std::string> markerColumns;
    // Always empty: each write builds its text in a string of its own.
    std::ostringstream pedigreeFileText;
    bool numericPersonIds = true;

    RBTree<MarkerInfo>* markerInfo;
    RBTree<MarkerInfo>* tdtMarkerInfo;
    RBTree<MarkerInfo>* hrrMarkerInfo;
    RBTree<MarkerInfo>* sibPairMarkerInfo;
    RBTree<Pedigree>* hrrPedigrees = nullptr;
    RBTree<Pedigree>* tdtPedigrees = nullptr;
    RBTree<Pedigree>* sibPairPedigrees = nullptr;

    // Trio and sib-pair set builders: a set pedigree was taken from the
    // pedigree being walked.
    bool hrrTrioFound = false;
    bool tdtTrioFound = false;
    bool sibPairFound = false;

    MarkerMap* caseMarkerMap;
    MarkerMap* controlMarkerMap;
    int caseMarkerCount = 0;
    int controlMarkerCount = 0;
    std::vector<Pedigree*> casePedigrees;     // owned by pedigreeTree once merged
    std::vector<Pedigree*> controlPedigrees;  // likewise
    std::string caseControlPhenotypeName;
    int caseSingletonCount = 0;
    int controlSingletonCount = 0;
    // The genotype files read so far, per kind: one file given as both is
    // refused.
    std::string caseSingletonFileName;
    std::string controlSingletonFileName;

    RBTree<Pedigree>* nuclearPedigrees = nullptr;
    int nuclearPedigreeCounter = 1;
    int nuclearPersonCounter = 1;
    // The family a nuclear pedigree was cut from, in the ids of the input
    // file: the whole pedigree's and the parents'.
    struct NuclearOrigin {
        std::string pedigree;
        std::string father;
        std::string mother;
    };
    std::map<std::string, NuclearOrigin> nuclearOrigins;  // by nuclear pedigree id

    // Family-structure and loop checks.
    std::ostringstream familyErrorText;
    bool familyErrorsFound = false;
    bool pedigreeNotWhole = false;
    bool loopFound = false;
    Person* topologyStartPerson = nullptr;
    int topologyVisitCount = 0;
    // A report ("family.err", "mendel.err") could not be written: the run
    // goes on, and its driver ends it as failed once the rest is written.
    bool reportFileLost = false;

    // Mendelian consistency check; the sibship members are the working
    // state of one child-marker check.
    std::ostringstream mendelErrorText;
    bool mendelianErrorsFound = false;
    // Set on the store that reads a converted file when the validation read
    // of the very file it was converted from found no Mendelian error: the
    // conversion renumbers persons but keeps every family and genotype, so
    // the same check would find none again.
    bool mendelianConsistencyKnown = false;
    // Cleared on a conversion's validation store, which is deleted without
    // its allele counts ever being read.
    bool countAllelesOnRead = true;
    // While a converted file is read: the store that read the file it was
    // converted from. A person whose line holds the very genotypes that its
    // original person has takes that person's genotype tree over instead of
    // making every record again.
    Pedigrees* validatedStore = nullptr;
    std::map<std::string, bool> markerMendelErrorStatus;
    // The pedigrees in which the last check found an error.
    std::set<std::string> mendelErrorPedigrees;
    // Each marker number's entry of markerMendelErrorStatus, found once per
    // check instead of a map search per child and marker; map entries stay
    // where they are, and the check drops these when it ends.
    std::vector<bool*> mendelStatusEntries;
    std::vector<std::vector<std::string>> sibshipGenotypes;
    std::vector<std::string> sibshipAlleles;
    std::vector<std::string> homozygousAlleles;
    int freeParentalSlots = 0;
    std::string sibshipText;
    // The full sibships of the pedigree under check, grouped once, with what
    // the checks of their children at one marker share.
    std::shared_ptr<MendelSibships> mendelSibships;

    bool hasLoops = false;
    // The pedigrees in which the loop search found a loop.
    std::set<std::string> loopedPedigreeIds;
    // Set, with validatedStore, on the store that reads a converted file
    // that was converted from the very file validated (not a trimmed one):
    // the conversion renumbers pedigrees and persons but keeps every family,
    // and the loop verdict does not depend on the numbering, so the family
    // checks of the validation read stand for the converted file.
    bool familyChecksKnown = false;

    // Genotype statistics and the counters the statistics writers read.
    std::ostringstream genotypeStatisticsText;
    bool genotypeStatisticsCreated = false;
    int genotypedPersonCount = 0;
    int phenotypeAffectedCount = 0;
    int phenotypeUnaffectedCount = 0;
    int phenotypeUnknownCount = 0;
    int stateAffectedGenotypedCount = 0;
    int stateUnaffectedGenotypedCount = 0;
    int stateUnknownGenotypedCount = 0;
    int stateAffectedCount = 0;
    int stateUnaffectedCount = 0;
    int stateUnknownCount = 0;
    bool pedigreeHasGenotypedPerson = false;
    int genotypedPedigreeCount = 0;

    // Statistics and allele frequency files being assembled, and the number
    // of files that could not be written.
    int fileWriteFailures = 0;
    std::ostringstream pedigreeStatisticsText;
    std::ostringstream pedigreeSetCountText;
    std::ostringstream frequencyText;

    Pedigrees();
    ~Pedigrees();
    Pedigrees(const Pedigrees&) = delete;
    Pedigrees& operator=(const Pedigrees&) = delete;

    // ---- Store core (store.cpp)
    std::vector<std::string> getPhenotypeNames() const;
    bool isPhenotypeRead(const std::string& phenotypeName) const;
    // Adopts the map (deleting the current one); null lets go of the current
    // map without deleting it.
    void setMarkerMap(MarkerMap* map);
    MarkerMap* getMarkerMap() const;
    // Adds the persons of every pedigree under root to personCountSum.
    void getPedigreePersonCount(Pedigree* root);
    int getPedigreePersonCount();
    std::string getOrigPedigreeID(const std::string& pedigreeId);
    std::string getNewPedigreeID(const std::string& originalPedigreeId);
    std::string getNewPersonID(const std::string& originalPedigreeId,
                               const std::string& originalPersonId);

    // ---- Pedigree file reader (reading.cpp)
    // Running out of memory ends the read with "...failed" and the
    // outOfMemoryMessage below, and false.
    bool readPedigreeFile(const std::string& fileName);

    // ---- Running out of memory (memory_exhaustion.cpp)
    // About what the records of a study of this many persons, typed at every
    // marker of the map, take in memory (bytes).
    std::uint64_t memoryNeeded(int persons) const;
    // The number of lines of a pedigree file that hold a column (0 when it
    // cannot be read).
    static int countPersonLines(const std::string& fileName);
    // The "Error: " text of a run that ran out of memory while it did what
    // activity says ("reading the pedigree file x.ped"): what the study's
    // persons and markers need, and into how many parts to split its
    // markers. personsStored is the number of persons the store held when
    // memory ran out, 0 when that says nothing about what the run can hold.
    std::string outOfMemoryMessage(const std::string& activity, int persons,
                                   int personsStored) const;

    // ---- Phenotype, map and marker-selection files (input_files.cpp)
    bool readMapFile(const std::string& fileName);
    bool makeMapFile(const std::string& pedigreeFile);
    bool readPhenotypeFile(const std::string& fileName);
    bool readOnlyMarkersFile(const std::string& fileName);

    // ---- Family-structure and loop checks (family_checks.cpp)
    // True when errors were found (and written to the file).
    bool writeFamilyErrors(const std::string& fileName);
    bool checkFamilies();
    void checkPedigreeTopology(Pedigree* root);
    void pedigreeCheckFamilies(Pedigree* root);
    void personCheckFamilies(Person* root, Pedigree* pedigree);
    // Reports a person who is their own ancestor through parent links.
    void findAncestryCycles(Pedigree* pedigree);
    void findParentlessPersonFromPedigree(Person* root);
    void findNotGreyChildsForPerson(Person* root, Person* person, Pedigree* pedigree,
                                    const std::string& personId);
    void findNotGreyParentsForPerson(Person* root, Person* person, Pedigree* pedigree,
                                     const std::string& personId);
    void findPedigreeLoops(Person* root, Pedigree* pedigree);
    // The family checks of a converted file taken over from validatedStore:
    // its loop lines printed under the converted pedigree ids and hasLoops
    // set as a check would. False, with nothing changed, when some pedigree
    // cannot be matched with its original of the same size.
    bool takeOverFamilyChecks();
    void resetBlueColors(Person* root);
    void findEveryChildForFounderOrPerson(Person* root, Pedigree* pedigree, Person* person);
    void findPartner(Person* root, Pedigree* pedigree, Person* person, Person* child);
    void findEveryChildForPartner(Person* root, Pedigree* pedigree, Person* partner,
                                  Person* person);
    void findEveryChildForPartnersParents(Person* root, Pedigree* pedigree, Person* partner);
    void findEveryChildForParentAndChild(Person* root, Pedigree* pedigree, Person* parent,
                                         Person* child);

    // ---- Mendelian consistency check (mendel.cpp)
    // True when errors were found (and written to the file).
    bool writeMendelianErrors(const std::string& fileName);
    bool checkMendelianErrors();
    void pedigreeCheckMendelianErrors(Pedigree* root);
    void personCheckMendelianErrors(Person* root, Pedigree* pedigree);
    void markercheckMendelianErrors(Marker* root, Person* child, Pedigree* pedigree, Person* mother,
                                    Person* father);
    void checkMendelianErrorsForPersonsFamily(Marker* marker, Person* child, Pedigree* pedigree,
                                              Person* mother, Person* father);
    void findSisterAndBrothersForPerson(Person* root, Person* child, Marker* marker, Person* mother,
                                        Person* father);
    // The marker's entry of markerMendelErrorStatus; number is the index read
    // as a plain whole number, or null when it is none.
    bool& statusEntry(const std::string& index, const std::size_t* number);
    bool getMarkerMendelErrorStatus(const std::string& markerIndex) const;
    // How many markers and pedigrees the errors found touch, and where their
    // report is: "1 marker and 2 pedigrees affected (see mendel.err)".
    std::string mendelianErrorExtent(const std::string& reportFileName) const;

    // ---- Sibship allele-set consistency (sibship.cpp)
    // Whether the genotypes (each a list of two allele texts) can come from
    // two parents of at most two alleles each; a non-empty initial set is the
    // whole allele set of a typed parent.
    bool isConcistent(std::vector<std::vector<std::string>> genotypes,
                      std::map<std::string, bool> initialSet) const;

    // ---- Marker information (marker_information.cpp)
    void createMarkerInfo();
    void createMarkerInfoPedigreeRecursion(Pedigree* root, RBTree<MarkerInfo>* tree);
    // Counts the persons below root into the tree; the records are sorted
    // and renumbered by createMarkerInfoPedigreeRecursion at its end.
    void createMarkerInfoPersonRecursion(Person* root, RBTree<MarkerInfo>* tree);
    RBTree<MarkerInfo>* getMarkerInfo() const;
    RBTree<MarkerInfo>* getHrrMarkerInfo() const;

    // ---- Allele collapsing (collapsing.cpp)
    void collapseAlleles();
    void changeSmallestAlleleToSecondSmallestAllelePedigreeRecursion(
        Pedigree* root, Allele* smallest, Allele* second, const std::string& markerIndex);
    void changeSmallestAlleleToSecondSmallestAllelePersonRecursion(Person* root, Allele* smallest,
                                                                   Allele* second,
                                                                   const std::string& markerIndex);
    void changeSmallestAlleleToSecondSmallestAllele(Person* person, Allele* smallest,
                                                    Allele* second, const std::string& markerIndex);

    // ---- LINKAGE locus file generation (locus_generation.cpp)
    bool readModelFile(const std::string& fileName);
    bool makeLinkageLocusFile();

    // ---- Engine pedigree file writer (engine_files.cpp)
    bool writePedigreeFile(const std::string& fileName,
                           std::vector<std::string> phenotypeColumnPlan,
                           std::vector<std::string> markerColumnPlan);
    bool writePedigreeFile(const std::string& fileName);
    void pedigreeRecursion(const Pedigree* root, PedigreeFileWriting& writing);
    void personRecursion(const RBTree<Person>* persons, PedigreeFileWriting& writing);
    // Appends the persons below root in key order.
    static void createPedigreeVector(const Person* root, std::vector<const Person*>& persons);
    static void phenotypeRecursion(const RBTree<Phenotype>* phenotypes,
                                   PedigreeFileWriting& writing);
    static void markerRecursion(const RBTree<Marker>* genotypes, PedigreeFileWriting& writing);
    // The allele's new name in the marker's record: "nulli" without a
    // record, "-1" when the record has no allele of that name.
    static const std::string& getNewAlleleName(const std::string& allele, const MarkerInfo* info);

    // ---- Engine limits (engine_limits.cpp)
    // The limits of the engine build the program starts: vantrel sets
    // vantrelEngineLimits before reading.
    EngineLimits engineLimits = orlexEngineLimits;
    // "Error: " naming the model file and false when the model holds more
    // liability classes than engineLimits.
    bool checkModelLimits() const;
    // "Error: " naming the marker or locus, the value and the limit, and
    // false, when a marker of the pedigree data (after rare alleles are
    // merged), a locus of the LINKAGE locus file or the model exceeds
    // engineLimits. Called once the locus file is in place, before the first
    // engine file is written.
    bool checkEngineLimits() const;
    // With allele frequencies taken from the LINKAGE locus file, whether
    // every allele of the pedigree data is one the file's locus of its
    // marker declares: a number from 1 to its number of alleles. "Error: "
    // naming the pedigree file, line, person, marker and allele, and false,
    // otherwise. Call it once the locus file is read, on alleles as read.
    bool checkDeclaredAlleles() const;

    // ---- Liability classes of the trait (liability_classes.cpp)
    // Whether every value of the phenotypes an analysis selects (the one
    // named, or every trait phenotype when the name is empty) is 1 or 2, as
    // the engine reads an affection status; missing values are not stored.
    // "Error: " naming the phenotype, person, value and phenotype file, and
    // false, otherwise. Call it at input when the trait locus is an affection
    // locus.
    bool checkAffectionValues(const std::string& phenotypeName) const;
    // The phenotype names an analysis may select: all but the liability class.
    std::vector<std::string> getTraitPhenotypeNames() const;
    // The phenotype column plan of an engine pedigree file that analyses the
    // phenotype with the trait locus: the phenotype, then LIABILITY_CLASS when
    // the engine reads a class for that locus (an affection locus of more
    // than one class). Hand it to writePedigreeFile or writeNuclearPedigreeFile
    // with any marker plan.
    std::vector<std::string> getTraitColumnPlan(const std::string& phenotype,
                                                const Locus& traitLocus) const;
    // Whether the pedigree file's liability classes fit the trait locus: with
    // more than one class the file needs the class column and every person a
    // class from 1 to that number; with one class no person may name another.
    // Otherwise prints an "Error: " naming the pedigree file, the person (by
    // the ids of a converted file's original) and both numbers, and returns
    // false. The source names where the locus came from, for the message
    // ("the LINKAGE locus file x.dat", "the model file x.model").
    bool checkLiabilityClasses(const Locus& traitLocus, const std::string& traitLocusSource) const;

    // ---- Pre-MAKEPED conversion and loop breaking
    bool readAndConvertPreToLinkage(const std::string& fileName, bool skipMendelianErrors);
    bool readAndConvertPreToLinkage(const std::string& fileName);
    bool break_loops(bool jointProgram, bool verboseOutput);

    // ---- Nuclear pedigrees
    bool writeNuclearPedigreeFile(const std::string& fileName,
                                  std::vector<std::string> phenotypeColumnPlan,
                                  std::vector<std::string> markerColumnPlan);
    RBTree<Pedigree>* createNuclearPedigrees();
    int getNuclearPedigreeCount() const;
    // Where the nuclear pedigree of this id came from; null for an unknown id.
    const NuclearOrigin* getNuclearOrigin(const std::string& nuclearId) const;
    int getNuclearPersonCount();
    void pedigreeCreateNuclearPedigrees(Pedigree* root);
    void personCreateNuclearPedigrees(Person* root, Pedigree* pedigree);
    void createNewNuclearPedigree(Person* firstChild, Pedigree* pedigree);
    // Adds a numbered copy of the source to the target pedigree.
    void copyPerson(Person* source, Pedigree* target);
    void findSistersAndBrothers(Person* root, Pedigree* pedigree, const std::string& fatherId,
                                const std::string& motherId);
    RBTree<Phenotype>* copyPhenotypes(RBTree<Phenotype>* source);
    RBTree<Marker>* copyMarkers(RBTree<Marker>* source);

    // ---- HRR, TDT and sib-pair sets
    RBTree<Pedigree>* createHrrPedigreesForMarker(const std::string& phenotypeName,
                                                  const std::string& markerIndex);
    RBTree<Pedigree>* createTdtPedigreesForMarker(const std::string& phenotypeName,
                                                  const std::string& markerIndex);
    RBTree<Pedigree>* createSibPairPedigreesForMarker(const std::string& phenotypeName,
                                                      const std::string& markerIndex);
    int getHrrPedigreeCount() const;
    int getTdtPedigreeCount() const;
    int getSibPairPedigreeCount() const;
    int getHrrPersonCount();
    void pedigreeCreateHrrPedigrees(Pedigree* root, const std::string& phenotypeName,
                                    const std::string& markerIndex);
    void personCreateHrrPedigrees(Person* root, Pedigree* pedigree,
                                  const std::string& phenotypeName, const std::string& markerIndex);
    void personCreateHrrPedigreesOne(Person* root, Pedigree* pedigree,
                                     const std::string& phenotypeName,
                                     const std::string& markerIndex);
    void personCreateHrrPedigreesTwo(Person* root, Pedigree* pedigree,
                                     const std::string& phenotypeName,
                                     const std::string& markerIndex);
    void personCreateHrrPedigreesThree(Person* root, Pedigree* pedigree,
                                       const std::string& phenotypeName,
                                       const std::string& markerIndex);
    void personCreateHrrPedigreesFour(Person* root, Pedigree* pedigree,
                                      const std::string& phenotypeName,
                                      const std::string& markerIndex);
    void singletonPedigree(Pedigree* pedigree, const std::string& phenotypeName,
                           const std::string& markerIndex);
    void singletonPerson(Person* root, const std::string& phenotypeName,
                         const std::string& markerIndex);
    // Builds a trio pedigree and inserts it into the set named by kind
    // ("hrr" or "tdt").
    void copyHrrFamily(Person* child, Person* mother, Person* father, const std::string& kind);
    void createHrrMarkerInfo();
    void pedigreeCreateTdtPedigrees(Pedigree* root, const std::string& phenotypeName,
                                    const std::string& markerIndex);
    void personCreateTdtPedigrees(Person* root, Pedigree* pedigree,
                                  const std::string& phenotypeName, const std::string& markerIndex);
    void personCreateTdtPedigreesSimple(Person* root, Pedigree* pedigree,
                                        const std::string& phenotypeName,
                                        const std::string& markerIndex);
    void createTdtMarkerInfo();
    void pedigreeCreateSibPairPedigrees(Pedigree* root, const std::string& phenotypeName,
                                        const std::string& markerIndex);
    void personCreateSibPairPedigrees(Person* root, Pedigree* pedigree,
                                      const std::string& phenotypeName,
                                      const std::string& markerIndex);
    void personFindSiblingAndCreateSibPairPedigreesSimple(Person* root, Person* firstSib,
                                                          Pedigree* pedigree,
                                                          const std::string& phenotypeName,
                                                          const std::string& markerIndex);
    void personCreateSibPairPedigreesOne(Person* root, Pedigree* pedigree,
                                         const std::string& phenotypeName,
                                         const std::string& markerIndex);
    void personCreateSibPairPedigreesTwo(Person* root, Pedigree* pedigree,
                                         const std::string& phenotypeName,
                                         const std::string& markerIndex);
    void personCreateSibPairPedigreesThree(Person* root, Pedigree* pedigree,
                                           const std::string& phenotypeName,
                                           const std::string& markerIndex);
    // Builds a sib-pair pedigree and inserts it into sibPairPedigrees.
    void copySibFamily(Person* secondSib, Person* firstSib, Person* mother, Person* father);
    void createSibPairMarkerInfo();

    // ---- Case and control singletons
    bool readMapFileForCasePedigrees(const std::string& fileName);
    bool readMapFileForControlPedigrees(const std::string& fileName);
    bool readSingletonFile(const std::string& fileName, const std::string& kind,
                           bool linkageLayout);
    bool combinePedigreesAndSingletons();
    std::size_t getCaseControlPedigreeCount(const std::string& kind) const;

    // ---- Genotype statistics and report header
    std::string getCommonHeader();
    void writeGenotypeStatistics(const std::string& fileName);
    void createGenotypeStatistics();
    void countMarkersGenotypes(const std::string& index);
    void countMarkersGenotypeFreq(MarkerInfo* record, std::vector<Genotype*> genotypes);
    double getPercentGenotyped(const std::string& index);
    void countPhenotypedDistribution(const std::string& phenotypeName);
    void countGenotypedPhenotypeStates(const std::string& phenotypeName, const std::string& index);
    void pedigreeCountGenotype(Pedigree* root, Genotype* genotype, const std::string& index);
    void personCountGenotype(Person* root, Genotype* genotype, const std::string& index);
    void pedigreeGenotypedRecursion(Pedigree* root, const std::string& index);
    void personGenotypedRecursion(Person* root, const std::string& index);
    void pedigreePhenotypedRecursion(Pedigree* root, const std::string& phenotypeName);
    void personPhenotypedRecursion(Person* root, const std::string& phenotypeName);
    void pedigreeCountGenotypedPhenotypeStatesRecursion(Pedigree* root,
                                                        const std::string& phenotypeName,
                                                        const std::string& index);
    void personCountGenotypedPhenotypeStatesRecursion(Person* root,
                                                      const std::string& phenotypeName,
                                                      const std::string& index);

    // ---- Statistics files
    // True when every statistics file was written.
    bool writeStatistics();
    void writePedigreeStatistics(const std::string& fileName);
    void writeNumberOfHrrTdtSibpairPeds(const std::string& fileName);
    double getPolymorphismInformationContent(const std::string& markerIndex);
    double getHeterozygosity(const std::string& markerIndex);

    // ---- Allele frequency files
    void writeFrequenciesFile(const std::string& fileName);
    void writeHrrFrequenciesFile(const std::string& fileName, const std::string& markerIndex);
    void writeTdtFrequenciesFile(const std::string& fileName, const std::string& markerIndex);
    void writeSibPairFrequenciesFile(const std::string& fileName, const std::string& markerIndex);
    // Appends the marker's section of a set's records to frequencyText; a
    // marker without a record there adds nothing.
    void addSetFrequencies(const RBTree<MarkerInfo>* setMarkerInfo, const std::string& markerIndex);
    // Writes all of frequencyText to the file, which keeps its text; false
    // (reported, and counted in fileWriteFailures) when it is not written.
    bool writeFrequencyText(const std::string& fileName);
    void createFrequenciesMarkerRecursion(MarkerInfo* node);
    void createFrequenciesAlleleRecursion(std::vector<Allele*> alleles, MarkerInfo* record);

  private:
    // readPedigreeFile, but for running out of memory.
    bool readAndCheckPedigreeFile(const std::string& fileName);

    void countPedigreesInto(Pedigree* root, RBTree<MarkerInfo>* tree);
    // Counts the genotypes of the persons, in their order, into the tree.
    void countGenotypes(const std::vector<const Person*>& persons, RBTree<MarkerInfo>* tree);

    // In-order walk steps of the id lookups above.
    void getOrigPedigreeID(Pedigree* node);
    void getNewPedigreeID(Pedigree* node);
    void getNewPersonID(Person* node);

    // Search keys and results of the id lookups; a lookup is not re-entrant.
    std::string lookupOriginalPedigreeId;
    std::string lookupOriginalPersonId;
    std::string lookupNewPedigreeId;
    std::string lookupNewPersonId;
    std::string foundOriginalPedigreeId;
};

// The "Error: " text of a run that ran out of memory outside the read of its
// pedigree file (which says so itself): while reading the other input files,
// or, once the pedigrees are read, while analysing them.
std::string outOfMemoryMessage(Pedigrees& store);
