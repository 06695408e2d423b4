// A slow, thorough maximisation for the reference column of
// bench/optimiser_bench.sh, which links it into an ilinkvant of its own in
// place of engine_modules/optimiser_driver: BOBYQA with tight tolerances
// from the datafile's start, from corner starts (each frequency block near
// a vertex of its simplex, the fractions at a bound) and from random starts
// (fractions uniform, every frequency block uniform on its simplex). Every
// search goes on from its best point with a fresh trust region and the
// dependent alleles chosen anew while that gains, and the best point of all
// is polished so at the end. Its best value is what the shipped optimiser
// must reach.
//
// Environment: THOROUGH_STARTS, the number of starts besides the datafile's
// (default 40, up to half of them corners); THOROUGH_EVALUATIONS, the
// evaluation budget (default 150000), after which no new run begins. A run
// that spent the budget says so on standard error.
#include <nlopt.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <random>
#include <utility>
#include <vector>
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

// As in the shipped driver: a lower bound of 0 lets the engine compute a
// dependent frequency of -1e-17 and reject the point.
constexpr double kLowestValue = 1e-12;
constexpr double kTolerance = 1e-10;
// A run from the best point follows a run that gained more than this.
constexpr double kRestartGain = 1e-9;
constexpr int kMostRunsPerStart = 8;
constexpr int kMostPolishRuns = 20;
// A corner start gives the vertex allele this frequency and shares the rest
// evenly among the others.
constexpr double kVertexFrequency = 0.95;

int fractionCount() {
    return firstFrequency == 0 ? nall : firstFrequency;
}

int blockLength() {
    return lastFrequency - firstFrequency + 1;
}

// Whether the run estimates the frequencies of the iterated locus (both
// blocks alike when it has disease-conditional ones).
bool hasFrequencies() {
    return itsys != 0 && firstFrequency > 0 && !disequi && itp[firstFrequency] != 0;
}

int environmentCount(const char* name, int fallback) {
    const char* setting = std::getenv(name);
    if (setting == nullptr || *setting == '\0')
        return fallback;
    char* end = nullptr;
    const long value = std::strtol(setting, &end, 10);
    if (*end != '\0' || value < 0 || value > 100000000) {
        std::fprintf(stderr, "ilinkvant (thorough): %s=%s is not a count\n", name, setting);
        std::exit(EXIT_FAILURE);
    }
    return static_cast<int>(value);
}

// Points in the engine's parametrisation, where the last allele of each
// frequency block is the dependent one (1 minus the others). The searches
// see the largest frequency of each block as the dependent one instead, as
// the bridge's swap_alleles maps it.
using EnginePoint = std::vector<double>;

void chooseDependentAlleles(const EnginePoint& point) {
    allele_index = dallele_index = -1;
    if (!hasFrequencies())
        return;
    const int n = blockLength();
    std::vector<double> copy = point;
    allele_index = choose_largest_prob(copy.data() + firstFrequency, n);
    if (disfreqs)
        dallele_index = choose_largest_prob(copy.data() + lastFrequency + 1, n);
}

// swap_alleles is its own inverse: one function maps both ways.
std::vector<double> swapped(std::vector<double> point) {
    swap_alleles(point.data());
    return point;
}

class ThoroughSearch {
  public:
    ThoroughSearch(std::vector<double> lower, std::vector<double> upper, int budget)
        : lower_(std::move(lower)), upper_(std::move(upper)), budget_(budget) {
        for (std::size_t j = 0; j < lower_.size(); ++j)
            if (itp[j] != 0 && upper_[j] > lower_[j])
                free_.push_back(j);
    }

    // Runs from the start, then from the best point of the previous run,
    // while that gains; each run chooses the dependent alleles anew.
    void climb(const EnginePoint& start, int mostRuns) {
        EnginePoint point = start;
        double value = HUGE_VAL;
        for (int r = 0; r < mostRuns && !spent(); ++r) {
            const std::pair<EnginePoint, double> result = run(point);
            const double gain = value - result.second;
            if (result.second < value) {
                point = result.first;
                value = result.second;
            }
            if (!(gain > kRestartGain))
                break;
        }
    }

    bool spent() const { return evaluations_ >= budget_; }
    bool found() const { return bestValue_ < HUGE_VAL; }
    const EnginePoint& bestPoint() const { return bestPoint_; }
    double bestValue() const { return bestValue_; }
    int evaluations() const { return evaluations_; }
    int runs() const { return runs_; }

  private:
    static double call(unsigned, const double* values, double*, void* self) {
        return static_cast<ThoroughSearch*>(self)->evaluate(values);
    }

    // The value of the point whose free entries are given, in the current
    // search parametrisation. An infeasible point is given the worst value
    // this run has met, so that it neither ruins the quadratic models with
    // an infinity nor passes for a real value; it never becomes a best point.
    double evaluate(const double* values) {
        for (std::size_t k = 0; k < free_.size(); ++k)
            point_[free_[k]] = values[k];
        ++evaluations_;
        std::vector<double> buffer = point_;
        double value = 0.0;
        int feasible = 0;
        eval_x(&value, buffer.data(), &feasible);
        if (feasible == 0 || !std::isfinite(value))
            return runFeasible_ ? runWorst_ : HUGE_VAL;
        runWorst_ = runFeasible_ ? std::max(runWorst_, value) : value;
        runFeasible_ = true;
        if (value < runBestValue_) {
            runBestValue_ = value;
            runBestPoint_ = point_;
        }
        return value;
    }

    // One BOBYQA run from the engine point; returns its best point (as an
    // engine point) and value, HUGE_VAL when the start is infeasible.
    std::pair<EnginePoint, double> run(const EnginePoint& start) {
        ++runs_;
        chooseDependentAlleles(start);
        point_ = swapped(start);
        for (const std::size_t j : free_)
            point_[j] = std::clamp(point_[j], lower_[j], upper_[j]);
        runFeasible_ = false;
        runBestValue_ = HUGE_VAL;
        const std::size_t m = free_.size();
        std::vector<double> x(m), lo(m), hi(m), steps(m);
        for (std::size_t k = 0; k < m; ++k) {
            const std::size_t j = free_[k];
            lo[k] = lower_[j];
            hi[k] = upper_[j];
            x[k] = point_[j];
            const double room = std::max(std::min(x[k] - lo[k], hi[k] - x[k]), 1e-3);
            steps[k] = std::min(0.1 * (hi[k] - lo[k]), 0.5 * room);
        }
        // BOBYQA cannot model a region without a single value in it.
        evaluate(x.data());
        if (runFeasible_ && m > 0 && !spent()) {
            nlopt_opt opt = nlopt_create(NLOPT_LN_BOBYQA, static_cast<unsigned>(m));
            nlopt_set_lower_bounds(opt, lo.data());
            nlopt_set_upper_bounds(opt, hi.data());
            nlopt_set_initial_step(opt, steps.data());
            nlopt_set_min_objective(opt, &ThoroughSearch::call, this);
            // No value tolerance: it would end a run after a single step
            // that happened to gain nothing.
            nlopt_set_xtol_abs1(opt, kTolerance);
            nlopt_set_maxeval(opt, budget_ - evaluations_);
            double value = 0.0;
            nlopt_optimize(opt, x.data(), &value);
            nlopt_destroy(opt);
        }
        if (!runFeasible_)
            return {start, HUGE_VAL};
        const EnginePoint best = swapped(runBestPoint_);
        if (runBestValue_ < bestValue_) {
            bestValue_ = runBestValue_;
            bestPoint_ = best;
        }
        return {best, runBestValue_};
    }

    const std::vector<double> lower_, upper_;
    const int budget_;
    std::vector<std::size_t> free_;
    std::vector<double> point_;  // the last point evaluated, search parametrisation
    bool runFeasible_ = false;
    double runWorst_ = 0.0;
    double runBestValue_ = HUGE_VAL;
    std::vector<double> runBestPoint_;
    EnginePoint bestPoint_;
    double bestValue_ = HUGE_VAL;
    int evaluations_ = 0;
    int runs_ = 0;
};

// The n engine entries of a block of n + 1 frequencies.
void setBlock(EnginePoint& point, int first, const std::vector<double>& frequencies) {
    std::copy(frequencies.begin(), frequencies.end() - 1, point.begin() + first);
}

std::vector<double> uniformOnSimplex(int alleles, std::mt19937& random) {
    std::exponential_distribution<double> draw(1.0);
    std::vector<double> q(static_cast<std::size_t>(alleles));
    std::generate(q.begin(), q.end(), [&] { return draw(random); });
    const double sum = std::accumulate(q.begin(), q.end(), 0.0);
    std::transform(q.begin(), q.end(), q.begin(), [sum](double v) { return v / sum; });
    return q;
}

std::vector<double> nearVertex(int alleles, int vertex) {
    std::vector<double> q(static_cast<std::size_t>(alleles),
                          (1.0 - kVertexFrequency) / std::max(alleles - 1, 1));
    q[static_cast<std::size_t>(vertex)] = kVertexFrequency;
    return q;
}

// The alleles of the start's first block, most frequent first: the
// vertices the corner starts visit first.
std::vector<int> allelesByFrequency(const EnginePoint& start) {
    const int n = blockLength();
    std::vector<double> block(start.begin() + firstFrequency, start.begin() + firstFrequency + n);
    block.push_back(1.0 - std::accumulate(block.begin(), block.end(), 0.0));
    std::vector<int> order(block.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return block[a] > block[b]; });
    return order;
}

// Corner start k: the disease-conditional block (or the only block) near
// the vertex of the k-th most frequent allele, the other block at the
// start, the fractions at their upper bound for even k and their lower for
// odd k.
EnginePoint cornerStart(const EnginePoint& start, const std::vector<double>& lower,
                        const std::vector<double>& upper, int k, const std::vector<int>& order) {
    EnginePoint point = start;
    for (int j = 0; j < fractionCount(); ++j)
        if (itp[j] != 0)
            point[j] = k % 2 == 0 ? upper[j] : lower[j];
    if (hasFrequencies()) {
        const int alleles = blockLength() + 1;
        const int vertex = order[static_cast<std::size_t>(k) % order.size()];
        setBlock(point, disfreqs ? lastFrequency + 1 : firstFrequency, nearVertex(alleles, vertex));
    }
    return point;
}

EnginePoint randomStart(const EnginePoint& start, std::mt19937& random) {
    EnginePoint point = start;
    for (int j = 0; j < fractionCount(); ++j)
        if (itp[j] != 0)
            point[j] = std::uniform_real_distribution<double>(0.0, 0.5)(random);
    if (hasFrequencies()) {
        const int alleles = blockLength() + 1;
        setBlock(point, firstFrequency, uniformOnSimplex(alleles, random));
        if (disfreqs)
            setBlock(point, lastFrequency + 1, uniformOnSimplex(alleles, random));
    }
    return point;
}

int cornerCount(int starts) {
    if (hasFrequencies())
        return std::min(starts / 2, blockLength() + 1);
    return std::min(starts, 2);  // only fractions vary: each bound once
}

}  // namespace

extern "C" void nomad_maximise(void) {
#ifdef __GLIBC__
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
    mallopt(M_TOP_PAD, 64 * 1024 * 1024);
#endif
    const std::size_t count = static_cast<std::size_t>(nall);
    std::vector<double> start(count), lower(count), upper(count);
    nomad_get_startx(start.data(), lower.data(), upper.data());
    const EnginePoint engineStart = swapped(start);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](double bound) { return std::max(bound, kLowestValue); });
    const int starts = environmentCount("THOROUGH_STARTS", 40);
    ThoroughSearch search(lower, upper, environmentCount("THOROUGH_EVALUATIONS", 150000));
    std::mt19937 random(20231);

    search.climb(engineStart, kMostRunsPerStart);
    const int corners = cornerCount(starts);
    const std::vector<int> order =
        hasFrequencies() ? allelesByFrequency(engineStart) : std::vector<int>{0};
    for (int s = 0; s < starts && !search.spent(); ++s)
        search.climb(s < corners ? cornerStart(engineStart, lower, upper, s, order)
                                 : randomStart(engineStart, random),
                     kMostRunsPerStart);
    if (search.found())
        search.climb(search.bestPoint(), kMostPolishRuns);
    if (!search.found()) {
        std::fprintf(stderr, "ilinkvant (thorough): no admissible point\n");
        std::exit(EXIT_FAILURE);
    }
    if (search.spent())
        std::fprintf(stderr, "ilinkvant (thorough): the budget of evaluations was spent\n");
    // The solution goes to the engine in the parametrisation of the
    // dependent alleles in force.
    chooseDependentAlleles(search.bestPoint());
    std::vector<double> solution = swapped(search.bestPoint());
    nomad_save_solution(solution.data(), search.runs(), search.evaluations(), search.bestValue());
    setparam();
    recombination();
}
