#include "optimiser_driver.h"

#include <nlopt.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "engine_globals.h"
#include "ilink_nomad_bridge.h"
#include "recombination_table.h"

extern "C" {
int nomad_requested = 0;
}

namespace {

// BOBYQA draws nothing at random, but NLopt's generator is seeded all the
// same, so that the same inputs always give the same "final.dat".
constexpr unsigned long kSeed = 20231;

// The objective over the varying entries only, as NLopt sees it. Keeps the
// best feasible point met. An infeasible point, or one whose value is not a
// finite number, never becomes the best point; NLopt is told the worst
// feasible value met so far, since an infinite one would ruin every
// quadratic model built on it and end the run where it stands.
class FreeSpaceObjective {
  public:
    FreeSpaceObjective(const SearchObjective& objective, std::vector<double> start,
                       std::vector<std::size_t> free)
        : objective_(objective), point_(std::move(start)), free_(std::move(free)) {}

    static double call(unsigned, const double* values, double*, void* self) {
        return static_cast<FreeSpaceObjective*>(self)->evaluate(values);
    }

    double evaluate(const double* values) {
        // Each run of the method starts by evaluating the best point so far,
        // whose value is known.
        if (result_.feasible && isAt(result_.point, values))
            return result_.value;
        for (std::size_t k = 0; k < free_.size(); ++k)
            point_[free_[k]] = values[k];
        ++result_.evaluations;
        double value = 0.0;
        if (!objective_(point_, &value) || !std::isfinite(value)) {
            ++rejections_;
            return result_.feasible ? worst_ : HUGE_VAL;
        }
        worst_ = std::max(worst_, value);
        if (!result_.feasible || value < result_.value) {
            result_.point = point_;
            result_.value = value;
            result_.feasible = true;
        }
        return value;
    }

    SearchResult& result() { return result_; }
    const SearchResult& result() const { return result_; }
    // Rejected points met since the last call.
    int takeRejections() { return std::exchange(rejections_, 0); }

  private:
    bool isAt(const std::vector<double>& point, const double* values) const {
        return std::equal(free_.begin(), free_.end(), values,
                          [&point](std::size_t j, double v) { return point[j] == v; });
    }

    const SearchObjective& objective_;
    std::vector<double> point_;  // the last point evaluated
    const std::vector<std::size_t> free_;
    double worst_ = -HUGE_VAL;  // of the feasible points
    int rejections_ = 0;
    SearchResult result_;
};

std::vector<double> gather(const std::vector<double>& full, const std::vector<std::size_t>& free) {
    std::vector<double> values(free.size());
    std::transform(free.begin(), free.end(), values.begin(),
                   [&full](std::size_t j) { return full[j]; });
    return values;
}

// NLopt scales each coordinate by its initial step, and BOBYQA moves a start
// coordinate that lies within one step of a bound onto that bound. Steps in
// proportion to the square root of the distance to the nearer bound make a
// multinomial likelihood about equally curved along every scaled frequency,
// and no step exceeds half that distance, so a start frequency is never
// moved to 0. A coordinate closer to a bound than kAtBound (after a
// previous run) counts as on it, so that it does not shrink every step.
constexpr double kAtBound = 1e-6;

std::vector<double> initialSteps(const std::vector<double>& x, const std::vector<double>& lower,
                                 const std::vector<double>& upper, double fraction) {
    const auto room = [&](std::size_t k) { return std::min(x[k] - lower[k], upper[k] - x[k]); };
    double smallestRoom = 1.0;
    for (std::size_t k = 0; k < x.size(); ++k)
        if (room(k) > kAtBound)
            smallestRoom = std::min(smallestRoom, room(k));
    std::vector<double> steps(x.size());
    for (std::size_t k = 0; k < x.size(); ++k) {
        const double range = upper[k] - lower[k];
        const double distance = room(k) > kAtBound ? room(k) : range;
        steps[k] = std::min(fraction * range, 0.5 * std::sqrt(distance * smallestRoom));
    }
    return steps;
}

void runBobyqa(FreeSpaceObjective& objective, const std::vector<std::size_t>& free,
               const std::vector<double>& lower, const std::vector<double>& upper,
               const SearchSettings& settings) {
    const std::vector<double> lo = gather(lower, free), hi = gather(upper, free);
    std::vector<double> x = gather(objective.result().point, free);
    const std::vector<double> steps = initialSteps(x, lo, hi, settings.initialStep);
    nlopt_opt opt = nlopt_create(NLOPT_LN_BOBYQA, static_cast<unsigned>(free.size()));
    nlopt_set_lower_bounds(opt, lo.data());
    nlopt_set_upper_bounds(opt, hi.data());
    nlopt_set_initial_step(opt, steps.data());
    nlopt_set_min_objective(opt, &FreeSpaceObjective::call, &objective);
    // Only the trust region's size ends the run: a value tolerance also
    // stopped it after single steps that happened to gain nothing, far from
    // the optimum. NLopt measures the region in units of each coordinate's
    // first step and ends the run at the loosest coordinate's tolerance; a
    // tolerance in proportion to the step locates every coordinate to within
    // pointTolerance, where one tolerance for all would locate the
    // coordinates of large steps only to within pointTolerance times the
    // ratio of the largest step to the smallest.
    const double largestStep = *std::max_element(steps.begin(), steps.end());
    std::vector<double> tolerances(steps.size());
    std::transform(steps.begin(), steps.end(), tolerances.begin(),
                   [&](double step) { return settings.pointTolerance * step / largestStep; });
    nlopt_set_xtol_abs(opt, tolerances.data());
    nlopt_set_maxeval(opt, settings.maximumEvaluations);
    double value = 0.0;
    // Whatever NLopt reports, the best feasible point met is the result.
    nlopt_optimize(opt, x.data(), &value);
    nlopt_destroy(opt);
    ++objective.result().iterations;
}

// A search from one start: a first run of the method, then restarts from
// the best point while runs meet rejected points.
class LocalSearch {
  public:
    LocalSearch(const SearchObjective& objective, const std::vector<double>& start,
                const std::vector<double>& lower, const std::vector<double>& upper,
                const std::vector<bool>& varies, const SearchSettings& settings)
        : lower_(lower),
          upper_(upper),
          settings_(settings),
          free_(freeEntries(lower, upper, varies)),
          start_(boundedStart(start, lower, upper, varies)),
          objective_(objective, start_, free_) {}

    // Evaluates the start and, when it is feasible, makes the first run.
    void run() {
        objective_.evaluate(gather(start_, free_).data());
        if (!objective_.result().feasible) {
            // BOBYQA cannot model a region without a single value in it.
            objective_.result().point = start_;
            return;
        }
        if (free_.empty())
            return;
        nlopt_srand(kSeed);
        runBobyqa(objective_, free_, lower_, upper_, settings_);
    }

    // A run that met rejected points may have stopped at their edge rather
    // than at the optimum; a fresh model from the best point goes on from
    // there. Runs that meet none, the engine's usual case, are not repeated.
    void refine() {
        if (!objective_.result().feasible)
            return;
        for (int restart = 0; restart < settings_.restarts && objective_.takeRejections() > 0;
             ++restart)
            runBobyqa(objective_, free_, lower_, upper_, settings_);
    }

    const SearchResult& result() const { return objective_.result(); }

  private:
    static std::vector<std::size_t> freeEntries(const std::vector<double>& lower,
                                                const std::vector<double>& upper,
                                                const std::vector<bool>& varies) {
        std::vector<std::size_t> free;
        for (std::size_t j = 0; j < varies.size(); ++j)
            if (varies[j] && upper[j] > lower[j])
                free.push_back(j);
        return free;
    }

    // Only the varying entries are brought into their bounds: a fixed entry
    // keeps its start value even outside them.
    static std::vector<double> boundedStart(std::vector<double> point,
                                            const std::vector<double>& lower,
                                            const std::vector<double>& upper,
                                            const std::vector<bool>& varies) {
        for (std::size_t j = 0; j < point.size(); ++j)
            if (varies[j])
                point[j] = std::clamp(point[j], lower[j], upper[j]);
        return point;
    }

    const std::vector<double> lower_, upper_;
    const SearchSettings settings_;
    const std::vector<std::size_t> free_;
    const std::vector<double> start_;
    FreeSpaceObjective objective_;
};

}  // namespace

SearchResult boundedSearch(const SearchObjective& objective, const std::vector<double>& start,
                           const std::vector<double>& lower, const std::vector<double>& upper,
                           const std::vector<bool>& varies, const SearchSettings& settings) {
    LocalSearch search(objective, start, lower, upper, varies, settings);
    search.run();
    search.refine();
    return search.result();
}

namespace {

// Every evaluation allocates and frees the engine's work arrays; with the
// default trim threshold the heap is grown and shrunk each time, and those
// system calls cost more than the likelihood of a large marker.
void keepFreedMemory() {
#ifdef __GLIBC__
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
    mallopt(M_TOP_PAD, 64 * 1024 * 1024);
#endif
}

// A hair above 0 for every lower bound. At 0 the engine recomputes a
// dependent frequency as 1 minus the others and can get -1e-17, which it
// rejects, and a fraction or frequency of 0 that the data contradict has
// likelihood 0: holes in the objective that BOBYQA's quadratic models cannot
// step over. The likelihood changes by far less than its printed digits.
constexpr double kLowestValue = 1e-12;

// The start point with every iterated recombination fraction (the entries
// before the frequencies) at its upper bound.
std::vector<double> unlinkedStart(std::vector<double> start, const std::vector<double>& upper,
                                  const std::vector<bool>& varies) {
    const int fractions = firstFrequency == 0 ? nall : firstFrequency;
    for (int j = 0; j < fractions; ++j)
        if (varies[j])
            start[j] = upper[j];
    return start;
}

// The point tolerance of the probe for a second optimum: coarse, since
// optima in different basins lie far further apart.
constexpr double kProbeTolerance = 1e-2;

bool isBetter(const SearchResult& a, const SearchResult& b) {
    return a.feasible && (!b.feasible || a.value < b.value);
}

}  // namespace

extern "C" void nomad_maximise(void) {
    keepFreedMemory();
    const std::size_t count = static_cast<std::size_t>(nall);
    std::vector<double> start(count), lower(count), upper(count);
    nomad_get_startx(start.data(), lower.data(), upper.data());
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](double bound) { return std::max(bound, kLowestValue); });
    std::vector<bool> varies(count);
    std::transform(itp, itp + nall, varies.begin(), [](int flag) { return flag != 0; });

    std::vector<double> buffer(count);
    const SearchObjective minus2LnLike = [&buffer](const std::vector<double>& point,
                                                   double* value) {
        std::copy(point.begin(), point.end(), buffer.begin());
        int feasible = 0;
        eval_x(value, buffer.data(), &feasible);
        return feasible != 0;
    };
    LocalSearch linked(minus2LnLike, start, lower, upper, varies, {});
    linked.run();
    std::vector<SearchResult> others;
    std::optional<LocalSearch> unlinked;
    // The likelihood of a linkage run with estimated frequencies can have a
    // second optimum at loose linkage, where disequilibrium explains the
    // data instead; a run from the datafile's fraction does not leave the
    // basin it starts in. A coarse run from the fractions' upper bound (no
    // linkage) probes for the other one, at a fraction of a full run's cost;
    // only when it ends better is that start searched in full.
    const std::vector<double> unlinkedPoint = unlinkedStart(start, upper, varies);
    if (unlinkedPoint != start) {
        SearchSettings coarse;
        coarse.pointTolerance = kProbeTolerance;
        LocalSearch probe(minus2LnLike, unlinkedPoint, lower, upper, varies, coarse);
        probe.run();
        others.push_back(probe.result());
        if (isBetter(probe.result(), linked.result())) {
            unlinked.emplace(minus2LnLike, unlinkedPoint, lower, upper, varies, SearchSettings{});
            unlinked->run();
        }
    }
    // Only the better full run is restarted: a restart polishes the point
    // where a run stopped, and gains far less than lies between two optima.
    LocalSearch& better =
        unlinked && isBetter(unlinked->result(), linked.result()) ? *unlinked : linked;
    better.refine();
    if (unlinked) {
        others.push_back((&better == &linked ? *unlinked : linked).result());
    }
    SearchResult best = better.result();
    for (const SearchResult& other : others) {
        if (isBetter(other, best)) {
            best.point = other.point;
            best.value = other.value;
            best.feasible = true;
        }
        best.evaluations += other.evaluations;
        best.iterations += other.iterations;
    }
    if (!best.feasible) {
        std::fprintf(stderr,
                     "ilinkvant: no admissible parameter values were found from the start "
                     "values of datafile.dat\n");
        std::exit(EXIT_FAILURE);
    }
    nomad_save_solution(best.point.data(), best.iterations, best.evaluations, best.value);
    // What the engine writes next must belong to the optimum, not to the
    // last point evaluated.
    setparam();
    recombination();
}
