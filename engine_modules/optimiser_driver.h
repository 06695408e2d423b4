// A bounded derivative-free search (mesh-adaptive polling with a few random
// directions and restarts) and the engine entry point that maximises the
// ILINK likelihood with it through the optimiser bridge.
#pragma once

#include <functional>
#include <vector>

// Returns false when the point is infeasible; the search never looks at the
// value of such a point.
using SearchObjective = std::function<bool(const std::vector<double>& point, double* value)>;

struct SearchSettings {
    double initialMesh = 0.1;  // first poll step, as a fraction of each bound range
    double minimumMesh = 1e-9;
    int restarts = 2;
    double restartMesh = 0.02;
    double restartGain = 1e-6;  // a restart improving less than this ends the search
    int randomDirections = 2;
    long maximumEvaluations = 200000;
    unsigned seed = 20231;
};

struct SearchResult {
    std::vector<double> point;
    double value = 0.0;
    bool feasible = false;  // false when no feasible point was met
    int iterations = 0;
    int evaluations = 0;
};

// Minimises the objective over lower <= point <= upper. Entries whose
// `varies` flag is false stay at their start value.
SearchResult meshSearch(const SearchObjective& objective, const std::vector<double>& start,
                        const std::vector<double>& lower, const std::vector<double>& upper,
                        const std::vector<bool>& varies, const SearchSettings& settings = {});

extern "C" {
// Set by the engine's option parser when the -n switch asks for this search
// instead of the engine's own optimiser.
extern int nomad_requested;

// Maximises the likelihood over the iterated parameters, stores the best
// point as the engine's solution and leaves the engine's state there. Ends
// the process with status 1 when no admissible point is found.
void nomad_maximise(void);
}
