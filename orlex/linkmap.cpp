#include "linkmap.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <numeric>
#include <system_error>

#include "locus_file.h"
#include "marker_info.h"
#include "marker_map.h"
#include "pedigrees.h"
#include "utilities.h"

static constexpr int defaultWindowSize = 3;
static constexpr int defaultSteps = 5;
// The engine's LINKMAP build keeps FASTLINK's default limit of 8 loci (the
// engine build sets no other): the trait and at most 7 markers.
static constexpr int largestWindowSize = 7;
// The engine prints the recombination fractions of an evaluation with three
// decimals: beyond 500 steps even the widest interval, theta 0.5 down to 0,
// gives evaluations whose printed places coincide.
static constexpr int largestSteps = 500;
// Ten times the default: from here on the run's engine evaluations are
// counted out before they start.
static constexpr int manySteps = 10 * defaultSteps;

Linkmap::Linkmap(Pedigrees* store) : pedigrees(store) {}

Linkmap::~Linkmap() = default;

static std::string windowKeyOf(const std::vector<std::string>& names) {
    return std::accumulate(
        names.begin(), names.end(), std::string(),
        [](std::string key, const std::string& name) { return std::move(key) + name + " "; });
}

bool Linkmap::selectMarkers(std::vector<int>& markerNumbers) const {
    const MarkerMap& map = *pedigrees->getMarkerMap();
    std::vector<int> candidates;
    if (pedigrees->onlyMarkerNames.empty()) {
        for (int i = 1; i < pedigrees->linkageLocusFile->getNumberOfLoci(); ++i) {
            candidates.push_back(i);
        }
    } else {
        for (const std::string& name : pedigrees->onlyMarkerNames) {
            const Marker* marker = map.getMarkerWithName(name);
            if (marker == nullptr) {
                std::cout << "Warning: Marker " << name << " is not in the map...SKIPPING!"
                          << std::endl;
                continue;
            }
            candidates.push_back(stringToInt(marker->getIndex()) + 1);
        }
    }
    for (const int number : candidates) {
        const std::string index = IntToString(number - 1);
        const MarkerInfo* info = pedigrees->getMarkerInfo()->find(index);
        if (info != nullptr && info->getAlleleCount() > 1) {
            markerNumbers.push_back(number);
        } else if (fewerAllelesAllowed) {
            std::cout << "Warning: Pedigree file contains less alleles than defined in linkage "
                         "data file (analyzing anyway)"
                      << std::endl;
            markerNumbers.push_back(number);
        } else {
            std::cout << "Warning: Marker " << map.getMarkerName(index)
                      << " has less than 2 alleles...SKIPPING!" << std::endl;
        }
    }
    return true;
}

bool Linkmap::selectPhenotypes(std::vector<std::string>& selected) const {
    const std::vector<std::string> names = pedigrees->getTraitPhenotypeNames();
    if (!phenotypeGiven) {
        selected = names;
    } else if (std::find(names.begin(), names.end(), phenotypeName) != names.end()) {
        selected.push_back(phenotypeName);
    } else {
        std::cout << "Error: Phenotype " << phenotypeName << " not found!" << std::endl;
    }
    if (selected.empty()) {
        std::cout << "Error: No phenotypes to orlex...! None of the pedigree file "
                  << pedigrees->pedigreeFileName << " is left to analyse" << std::endl;
        return false;
    }
    return true;
}

bool Linkmap::clampWindowAndSteps(int markerCount, int phenotypeCount) {
    if (windowSize <= 1) {
        std::cout << "Warning: Multipoint window size must be > 1! Setting window size to 3."
                  << std::endl;
        windowSize = defaultWindowSize;
    }
    if (windowSize > markerCount) {
        std::cout << "Warning: Multipoint window size cannot be more than number of markers! "
                  << "Setting window size to " << markerCount << std::endl;
        windowSize = markerCount;
    }
    // No evaluation, or a negative count, would leave the interval unexplored.
    if (steps <= 0) {
        std::cout << "Warning: Multipoint steps must be > 0! Setting steps to " << defaultSteps
                  << "." << std::endl;
        steps = defaultSteps;
    }
    if (windowSize > largestWindowSize) {
        std::cout << "Error: Multipoint window size " << windowSize
                  << " (--wsize) is more than the engine's LINKMAP build takes: it holds "
                  << largestWindowSize + 1 << " loci, the trait and at most " << largestWindowSize
                  << " markers" << std::endl;
        return false;
    }
    if (steps > largestSteps) {
        std::cout << "Error: Multipoint steps " << steps << " (--steps) are more than "
                  << largestSteps
                  << ": the engine prints recombination fractions with three decimals, so "
                     "further steps would only repeat the places of others"
                  << std::endl;
        return false;
    }
    if (steps > manySteps) {
        // Steps evaluations at the first trait position of a window and up to
        // one more at each later one, in every window of every phenotype.
        const long long windows = markerCount - windowSize + 1;
        const long long perWindow =
            steps + static_cast<long long>(windowSize) * (static_cast<long long>(steps) + 1);
        const long long perDefaultWindow = defaultSteps + windowSize * (defaultSteps + 1);
        std::cout << "Warning: Multipoint steps " << steps << " (--steps) ask the engine for up to "
                  << windows * perWindow * phenotypeCount << " evaluations: " << perWindow
                  << " in each of " << windows << " windows for each of " << phenotypeCount
                  << " phenotypes, where the default of " << defaultSteps << " steps asks for "
                  << perDefaultWindow << std::endl;
    }
    return true;
}

bool Linkmap::run() {
    if (pedigrees->linkageLocusFile->getLocus(0) == nullptr) {
        std::cout << "Error: The LINKAGE locus model has no trait locus" << std::endl;
        return false;
    }
    std::vector<int> markerNumbers;
    selectMarkers(markerNumbers);
    if (markerNumbers.empty()) {
        std::cout << "Error: No markers to orlex...! None of the map file "
                  << pedigrees->mapFileName << " is left to analyse (see the warnings above)"
                  << std::endl;
        return false;
    }
    if (markerNumbers.size() == 1) {
        std::cout << "Too few markers to orlex...!" << std::endl;
        resultsPresent = false;
        return true;
    }
    std::vector<std::string> selected;
    if (!selectPhenotypes(selected)) {
        return false;
    }
    if (!clampWindowAndSteps(static_cast<int>(markerNumbers.size()),
                             static_cast<int>(selected.size()))) {
        return false;
    }
    // The runs follow the locus model's sex link, as the two-point runs do.
    const bool modelXlinked = pedigrees->linkageLocusFile->getXlinked() == 1;
    if (modelXlinked != pedigrees->xlinked) {
        std::cout << "Warning: The LINKAGE locus model is "
                  << (modelXlinked ? "sex-linked" : "not sex-linked") << " but --xlinked was "
                  << (pedigrees->xlinked ? "given" : "not given")
                  << ": the multipoint runs follow the locus model" << std::endl;
    }
    if (!execute_analysis(selected, markerNumbers)) {
        return false;
    }
    resultsPresent = true;
    return true;
}

bool Linkmap::execute_analysis(std::vector<std::string> selectedPhenotypes,
                               std::vector<int> markerNumbers) {
    std::cout << "Multipoint linkage analysis...\n"
              << std::string(78, '=') << "\nMultipoint window size " << windowSize
              << "\nNumber of phenotypes " << selectedPhenotypes.size() << "\nNumber of markers    "
              << markerNumbers.size() << std::endl;
    const size_t width = static_cast<size_t>(windowSize);
    for (const std::string& phenotype : selectedPhenotypes) {
        std::cout << "Phenotype: " << phenotype << std::endl;
        std::map<std::string, std::vector<LinkmapLikelihoods*>> windows;
        std::vector<std::string> keys;
        for (size_t start = 0; start + width <= markerNumbers.size(); ++start) {
            std::vector<std::string> indices;
            std::transform(markerNumbers.begin() + static_cast<std::ptrdiff_t>(start),
                           markerNumbers.begin() + static_cast<std::ptrdiff_t>(start + width),
                           std::back_inserter(indices),
                           [](int number) { return IntToString(number - 1); });
            const std::string problem = windowProblem(indices);
            if (!problem.empty()) {
                std::cout << "Warning: " << problem << std::endl;
                continue;
            }
            if (!analyseWindow(phenotype, indices, windows, keys)) {
                return false;
            }
        }
        results[phenotype] = std::move(windows);
        windowKeys[phenotype] = std::move(keys);
        phenotypes.push_back(phenotype);
    }
    return true;
}

std::string Linkmap::windowProblem(const std::vector<std::string>& markerIndices) const {
    const MarkerMap& map = *pedigrees->getMarkerMap();
    for (size_t k = 0; k + 1 < markerIndices.size(); ++k) {
        const Marker* first = map.getMarker(markerIndices[k]);
        const Marker* second = map.getMarker(markerIndices[k + 1]);
        if (first == nullptr || second == nullptr) {
            return "Multipoint window skipped: marker index " +
                   markerIndices[first == nullptr ? k : k + 1] + " is not in the map";
        }
        const std::string pair = "markers " + first->getName() + " and " + second->getName();
        if (first->getChromosome() != second->getChromosome()) {
            return "Multipoint window skipped: " + pair + " lie on different chromosomes (" +
                   first->getChromosome() + " and " + second->getChromosome() + ")";
        }
        if (second->getPosition() < first->getPosition()) {
            return "Multipoint window skipped: " + pair +
                   " are out of map order (a negative distance)";
        }
    }
    return "";
}

// The trait is locus 1 and the window's markers are loci 2 .. w + 1; the
// trait stands before marker t + 1, or last when t = w.
static std::vector<int> locusOrderFor(int windowSize, int traitPosition) {
    std::vector<int> order(static_cast<size_t>(windowSize));
    std::iota(order.begin(), order.end(), 2);
    order.insert(order.begin() + traitPosition, 1);
    return order;
}

bool Linkmap::analyseWindow(const std::string& phenotype, const std::vector<std::string>& indices,
                            std::map<std::string, std::vector<LinkmapLikelihoods*>>& windows,
                            std::vector<std::string>& keys) {
    const MarkerMap& map = *pedigrees->getMarkerMap();
    std::vector<std::string> names;
    std::transform(indices.begin(), indices.end(), std::back_inserter(names),
                   [&map](const std::string& index) { return map.getMarkerName(index); });
    const std::string key = windowKeyOf(names);
    const std::vector<std::string> traitColumns =
        pedigrees->getTraitColumnPlan(phenotype, *pedigrees->linkageLocusFile->getLocus(0));
    if (!pedigrees->writePedigreeFile("pedfile.dat", traitColumns, indices)) {
        return false;
    }
    // Loop breaking reads the window's datafile: it must be this window's.
    if (pedigrees->hasLoops && (!make_datafile(indices, locusOrderFor(windowSize, 0)) ||
                                !pedigrees->break_loops(false, pedigrees->verbose))) {
        return false;
    }
    std::vector<LinkmapLikelihoods*> positions;
    for (int t = 0; t <= windowSize; ++t) {
        std::unique_ptr<LinkmapLikelihoods> position = runTraitPosition(indices, names, t);
        if (position == nullptr) {
            return false;
        }
        const double reference = t == 0 ? position->evaluations.front()->getMinus2LnLike()
                                        : positions.front()->nullMinus2LnLike;
        position->nullMinus2LnLike = reference;
        position->printBetter();
        positions.push_back(position.get());
        runs.push_back(std::move(position));
    }
    windows[key] = std::move(positions);
    keys.push_back(key);
    return true;
}

std::unique_ptr<LinkmapLikelihoods> Linkmap::runTraitPosition(
    const std::vector<std::string>& indices, const std::vector<std::string>& names,
    int traitPosition) {
    const std::vector<int> order = locusOrderFor(windowSize, traitPosition);
    if (!make_datafile(indices, order) || !linkmap()) {
        return nullptr;
    }
    auto position = std::make_unique<LinkmapLikelihoods>();
    position->locusOrder = order;
    position->numberOfLoci = static_cast<int>(order.size());
    position->markerNames = names;
    position->numberOfPedigrees = pedigrees->pedigreeTree->count;
    position->traitPosition = traitPosition;
    const bool read = position->readOutFile();
    if (read && !position->evaluations.empty()) {
        const std::string problem = missingEvaluations(*position, evaluationsAsked(indices));
        if (problem.empty()) {
            return position;
        }
        std::cout << "Error: outfile.dat for the window " << windowKeyOf(names)
                  << "(trait position " << traitPosition << ") " << problem << std::endl;
        return nullptr;
    }
    // The file is removed before every run, so a run that exits 0 without
    // it, or with an empty one, left no results; a malformed one the reader
    // has reported.
    std::error_code error;
    if (read || !std::filesystem::exists("outfile.dat", error)) {
        std::cout << "Error: The engine left no results in outfile.dat for the window "
                  << windowKeyOf(names) << "(trait position " << traitPosition << ")" << std::endl;
    }
    return nullptr;
}

int Linkmap::evaluationsAsked(const std::vector<std::string>& markerIndices) const {
    const MarkerMap& map = *pedigrees->getMarkerMap();
    for (size_t k = 0; k + 1 < markerIndices.size(); ++k) {
        if (map.getRecombinationFractionBetweenWithIndex(markerIndices[k], markerIndices[k + 1]) <
            1e-5) {
            return 0;
        }
    }
    return steps;
}

// What a run's file lacks, or "": a file cut at a block boundary reads
// without a fault, and an evaluation without its THETAS line has no place
// on the map.
std::string missingEvaluations(const LinkmapLikelihoods& run, int asked) {
    const auto& evaluations = run.evaluations;
    const size_t thetas = static_cast<size_t>(std::max(run.numberOfLoci - 1, 0));
    const auto unplaced = std::find_if(
        evaluations.begin(), evaluations.end(),
        [thetas](const auto& evaluation) { return evaluation->thetas.size() != thetas; });
    if (unplaced != evaluations.end()) {
        return "has no THETAS line in evaluation " +
               std::to_string(unplaced - evaluations.begin() + 1) + " of " +
               std::to_string(evaluations.size()) +
               ", so the trait's place in that evaluation is unknown";
    }
    if (evaluations.size() < static_cast<size_t>(std::max(asked, 1))) {
        return "holds " + std::to_string(evaluations.size()) + " evaluations, fewer than the " +
               std::to_string(asked) +
               " steps the datafile asked the engine for: the file is cut short";
    }
    return "";
}

bool Linkmap::make_datafile(std::vector<std::string> markerIndices, std::vector<int> locusOrder) {
    const LinkageLocusFile& store = *pedigrees->linkageLocusFile;
    const MarkerMap& map = *pedigrees->getMarkerMap();
    const int loci = windowSize + 1;
    const int traitPosition =
        static_cast<int>(std::find(locusOrder.begin(), locusOrder.end(), 1) - locusOrder.begin());

    const Locus* trait = store.getLocus(0);
    std::vector<const Locus*> markers;
    for (const std::string& index : markerIndices) {
        markers.push_back(store.getMarkerLocus(index));
        if (markers.back() == nullptr) {
            std::cout << "Error: The LINKAGE locus model has no locus for marker "
                      << map.getMarkerName(index) << std::endl;
            return false;
        }
    }
    if (trait == nullptr) {
        std::cout << "Error: The LINKAGE locus model has no trait locus" << std::endl;
        return false;
    }

    LinkageLocusFile file;
    file.setMarkerMap(pedigrees->getMarkerMap());
    file.setNumberOfLoci(loci);
    file.setRiskLocus(0);
    file.setSexLink(store.getXlinked());
    file.setProgramNumber(LinkageLocusFile::linkmapProgram);
    file.setMutLocus(0);
    file.setMutRateMale(0.0);
    file.setMutRateFemale(0.0);
    file.setHapFreq(0);
    file.setLocusOrder(locusOrder);
    file.addLocus(new Locus(trait));
    for (const Locus* marker : markers) {
        file.addLocus(new Locus(marker));
    }
    file.setSexDifference(0);
    file.setInterference(0);

    std::vector<double> fractions;
    for (size_t k = 0; k + 1 < markerIndices.size(); ++k) {
        fractions.push_back(
            map.getRecombinationFractionBetweenWithIndex(markerIndices[k], markerIndices[k + 1]));
    }
    double finishing = 0.0;
    if (traitPosition == 0) {
        fractions.insert(fractions.begin(), 0.5);
        finishing = 0.0001;
    } else if (traitPosition == windowSize) {
        fractions.push_back(0.0);
        finishing = 0.5;
    } else {
        finishing = fractions[static_cast<size_t>(traitPosition - 1)];
        fractions.insert(fractions.begin() + traitPosition - 1, 0.0);
    }
    for (const double fraction : fractions) {
        file.addRecombinationFraction(fraction);
    }
    file.linkmapLocusVaried = 1;
    file.linkmapFinishingValue = finishing;
    file.linkmapNumberOfEvaluations = evaluationsAsked(markerIndices);
    return file.writeLocusFile("datafile.dat", {});
}

bool Linkmap::linkmap() {
    // A run that writes nothing must never pass the previous run's results
    // off as its own.
    std::remove("outfile.dat");
    const bool verbose = pedigrees->verbose;
    const std::string linkmapProgram = slow ? "linkmaporlexslow" : "linkmaporlex";
    return runEngineProgram("UNKNOWORLEX", "unknownorlex", verbose) &&
           runEngineProgram("LINKMAPORLEX", linkmapProgram, verbose);
}
