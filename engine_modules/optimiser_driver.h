// The engine entry point that maximises the ILINK likelihood through the
// optimiser bridge, and the bounded local search it runs: NLopt's BOBYQA
// (Powell's derivative-free trust-region method on quadratic models).
#pragma once

#include <functional>
#include <vector>

// Returns false when the point is infeasible; the search never takes the
// value of such a point for a real one.
using SearchObjective = std::function<bool(const std::vector<double>& point, double* value)>;

struct SearchSettings {
    double initialStep = 0.1;      // the largest first step, as a fraction of each range
    double pointTolerance = 1e-5;  // how closely every varying entry is located
    int maximumEvaluations = 100000;
    int restarts = 2;  // from the best point, only after runs that met rejected points
};

struct SearchResult {
    std::vector<double> point;
    double value = 0.0;
    bool feasible = false;  // false when no feasible point was met
    int iterations = 0;     // runs of the method (the first and its restarts)
    int evaluations = 0;    // objective calls, infeasible ones included
};

// Minimises the objective over lower <= point <= upper. Entries whose
// `varies` flag is false stay at their start value.
SearchResult boundedSearch(const SearchObjective& objective, const std::vector<double>& start,
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
