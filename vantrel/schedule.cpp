// The four-hypothesis schedule: for one trait model, every phenotype and
// marker is maximised under H0 (no linkage, no LD), H1 (linkage), H2 (LD)
// and H3 (linkage and LD), and the runs are gathered per phenotype.
#include <algorithm>
#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "likelihoods.h"
#include "marker_info.h"
#include "marker_map.h"
#include "utilities.h"
#include "vantrel.h"
#include "vt_results.h"

namespace {

void announce(const char* hypothesis) {
    std::cout << hypothesis << "\n" << std::string(78, '=') << std::endl;
}

std::string modelTagOf(const std::string& model) {
    if (model == "Dominant") {
        return "dom";
    }
    if (model == "Recessive") {
        return "rec";
    }
    return "model-based";
}

}  // namespace

// A run whose best likelihood is zero has no -2 ln L, LOD or p-value to give:
// the marker is listed as not analysed, as markers skipped for Mendelian
// errors are. True when the run is so.
static bool notAnalysable(Vantrel& vantrel, const Likelihoods& run, const std::string& marker,
                          const std::string& index, const std::string& phenotype,
                          const std::string& model, const char* hypothesis) {
    if (!run.bestIsImpossible()) {
        return false;
    }
    const bool mendelian = vantrel.pedigrees->getMarkerMendelErrorStatus(index);
    std::cout << "Warning: Marker " << marker << " not analysed (" << model << ", phenotype "
              << phenotype << "): its likelihood under " << hypothesis
              << " is zero, as some pedigree's genotypes are impossible at it"
              << (mendelian ? " (Mendelian errors, see mendel.err)" : "") << std::endl;
    std::vector<std::string>& list =
        mendelian ? vantrel.mendelErrorMarkers : vantrel.impossibleMarkers;
    if (std::find(list.begin(), list.end(), marker) == list.end()) {
        list.push_back(marker);
    }
    return true;
}

// Each hypothesis contains those nested in it (H0 in H1 and H2, both in
// H3), so its maximum can never be worse than theirs; a run that ends worse
// by more than this stopped short, and its p-values would be wrong.
constexpr double kNestingTolerance = 1e-4;

// -2 ln L as the tables print it, so that the numbers of the warning are
// those the user compares.
static std::string minus2LnLText(const Likelihoods& run) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(6) << run.getMinLikelihood();
    return out.str();
}

// Prints a "Warning: " for every hypothesis of the marker whose -2 ln L is
// above that of a hypothesis nested in it.
static void checkNesting(const std::string& marker, const std::string& model,
                         const std::vector<const Likelihoods*>& runs) {
    const std::pair<int, int> nested[] = {{1, 0}, {2, 0}, {3, 1}, {3, 2}};
    for (const auto& [outer, inner] : nested) {
        const double above = runs[outer]->getMinLikelihood() - runs[inner]->getMinLikelihood();
        if (above > kNestingTolerance) {
            std::cout << "Warning: Marker " << marker << ", model " << model << ": -2 ln L of H"
                      << outer << " (" << minus2LnLText(*runs[outer]) << ") is above that of H"
                      << inner << " nested in it (" << minus2LnLText(*runs[inner])
                      << "); the maximisation of H" << outer << " stopped short" << std::endl;
        }
    }
}

// One hypothesis run after H0: its datafile, then the engine. The
// recombination fraction is estimated exactly when there is linkage, the
// marker frequencies always. Null after a failure.
static Likelihoods* maximise(Vantrel& vantrel, int marker, const std::string& model,
                             unsigned int step, bool linkage, bool ld) {
    const bool thetasFixed = !linkage;
    vantrel.setStep(step);
    if (!vantrel.make_datafile(marker, linkage, ld, model, false, thetasFixed)) {
        return nullptr;
    }
    return vantrel.maximize_likelihood(linkage, ld, false, thetasFixed);
}

// The marker's four runs into the phenotype's results; false at the first
// failure, whose message has been printed.
static bool analyseMarker(Vantrel& vantrel, VTResults& result, const std::string& phenotype,
                          int marker, const std::string& model) {
    Pedigrees& store = *vantrel.pedigrees;
    const std::string index = IntToString(marker - 1);
    const std::string name = store.getMarkerMap()->getMarkerName(index);
    std::cout << "Marker: " << name << "\n" << std::endl;

    vantrel.setStep(1);
    if (!vantrel.make_datafile(marker, false, false, model, false, true)) {
        return false;
    }
    // The trait columns are those the engine reads for the datafile's trait
    // locus: a class column only where that locus has classes.
    const std::vector<std::string> traitColumns =
        store.getTraitColumnPlan(phenotype, *vantrel.currentDatafile->getLocus(0));
    if (!store.writePedigreeFile("pedfile.dat", traitColumns, {index})) {
        return false;
    }
    // "pedfile.dat" is new for every marker, so its loops are broken anew.
    if ((store.hasLoops || vantrel.forceLoopBreak) && !store.break_loops(true, vantrel.verbose)) {
        return false;
    }

    announce("Hypothesis H0: Linkage=No, LD=No");
    Likelihoods* run = vantrel.maximize_likelihood(false, false, false, true);
    if (run == nullptr) {
        return false;
    }
    if (notAnalysable(vantrel, *run, name, index, phenotype, model, "H0")) {
        return true;
    }
    vantrel.bestH0 = run;
    result.addH0(name, run);
    std::vector<const Likelihoods*> runs = {run};
    std::cout << std::endl;

    announce("Hypothesis H1: Linkage=Yes, LD=No");
    if ((run = maximise(vantrel, marker, model, 3, true, false)) == nullptr) {
        return false;
    }
    if (notAnalysable(vantrel, *run, name, index, phenotype, model, "H1")) {
        return true;
    }
    result.addH1(name, run);
    vantrel.bestH1 = run;
    runs.push_back(run);
    std::cout << std::endl;

    announce("Hypothesis H2: Linkage=No, LD=Yes");
    if ((run = maximise(vantrel, marker, model, 1, false, true)) == nullptr) {
        return false;
    }
    if (notAnalysable(vantrel, *run, name, index, phenotype, model, "H2")) {
        return true;
    }
    result.addH2(name, run);
    runs.push_back(run);
    std::cout << std::endl;

    announce("Hypothesis H3: Linkage=Yes, LD=Yes");
    if ((run = maximise(vantrel, marker, model, 1, true, true)) == nullptr) {
        return false;
    }
    if (notAnalysable(vantrel, *run, name, index, phenotype, model, "H3")) {
        return true;
    }
    result.addH3(name, run);
    vantrel.bestH3 = run;
    runs.push_back(run);
    checkNesting(name, model, runs);

    const Marker* mapEntry = store.getMarkerMap()->getMarkerWithName(name);
    MarkerInfo* info =
        mapEntry != nullptr ? store.getMarkerInfo()->find(mapEntry->getIndex()) : nullptr;
    if (info == nullptr) {
        std::cout << "Error: No allele statistics for marker " << name << std::endl;
        return false;
    }
    result.addMarkerName(name);
    result.addMarkerInfo(name, info);
    result.printInterMediateResults(name);
    return true;
}

bool Vantrel::execute_analysis(std::vector<std::string> phenotypes, std::vector<int> markers,
                               std::string model) {
    std::cout << "Number of phenotypes " << phenotypes.size() << std::endl;
    for (const std::string& phenotype : phenotypes) {
        auto result = std::make_unique<VTResults>();
        result->setName(model);
        result->setPhenotypeName(phenotype);
        result->markerMap = pedigrees->getMarkerMap();
        result->modelTag = modelTagOf(model);
        if (model == "Dominant") {
            std::cout << "Dominant Vantrel analysis ..." << std::endl;
        } else if (model == "Recessive") {
            std::cout << "Recessive Vantrel analysis ..." << std::endl;
        } else {
            result->diseaseAlleleFrequency = linkageLocusFile->getLocus(0)->getAlleleFrequency(1);
            std::cout << "Model-based Vantrel analysis..." << std::endl;
        }
        std::cout << "Phenotype: " << phenotype << std::endl;
        for (const int marker : markers) {
            if (!analyseMarker(*this, *result, phenotype, marker, model)) {
                return false;
            }
        }
        results.push_back(std::move(result));
    }
    return true;
}
