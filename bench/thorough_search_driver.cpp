// A slow, thorough maximisation for the reference column of
// bench/optimiser_bench.sh, which links it into an ilinkvant of its own in
// place of engine_modules/optimiser_driver: BOBYQA with tight tolerances
// from the datafile's start and from many random starts (fractions uniform,
// every frequency block uniform on its simplex), then restarts from the best
// point until they gain nothing. Its best value is what the shipped
// optimiser must reach.
//
// THOROUGH_STARTS (environment) sets the number of random starts (default 40).
#include <nlopt.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
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

struct Objective {
    std::vector<double> full;  // the last point, all entries
    std::vector<std::size_t> free;
    std::vector<double> bestPoint;
    double bestValue = HUGE_VAL;
    double worst = -HUGE_VAL;
    int evaluations = 0;

    static double call(unsigned, const double* values, double*, void* self) {
        return static_cast<Objective*>(self)->evaluate(values);
    }

    double evaluate(const double* values) {
        for (std::size_t k = 0; k < free.size(); ++k)
            full[free[k]] = values[k];
        ++evaluations;
        std::vector<double> buffer = full;
        double value = 0.0;
        int feasible = 0;
        eval_x(&value, buffer.data(), &feasible);
        if (feasible == 0 || !std::isfinite(value))
            return worst > -HUGE_VAL ? worst + 1000.0 : 1e300;
        worst = std::max(worst, value);
        if (value < bestValue) {
            bestValue = value;
            bestPoint = full;
        }
        return value;
    }
};

void search(Objective& objective, std::vector<double> start, const std::vector<double>& lower,
            const std::vector<double>& upper) {
    const std::size_t m = objective.free.size();
    std::vector<double> x(m), lo(m), hi(m), steps(m);
    for (std::size_t k = 0; k < m; ++k) {
        const std::size_t j = objective.free[k];
        lo[k] = lower[j];
        hi[k] = upper[j];
        x[k] = std::clamp(start[j], lo[k], hi[k]);
        const double room = std::max(std::min(x[k] - lo[k], hi[k] - x[k]), 1e-3);
        steps[k] = std::min(0.1 * (hi[k] - lo[k]), 0.5 * room);
    }
    objective.full = start;
    nlopt_opt opt = nlopt_create(NLOPT_LN_BOBYQA, static_cast<unsigned>(m));
    nlopt_set_lower_bounds(opt, lo.data());
    nlopt_set_upper_bounds(opt, hi.data());
    nlopt_set_initial_step(opt, steps.data());
    nlopt_set_min_objective(opt, &Objective::call, &objective);
    nlopt_set_xtol_abs1(opt, 1e-9);
    nlopt_set_maxeval(opt, 200000);
    double value = 0.0;
    nlopt_optimize(opt, x.data(), &value);
    nlopt_destroy(opt);
}

// Fills one block of `n` optimiser entries with n of the n + 1 entries of a
// point drawn uniformly from the simplex; whichever allele the bridge keeps
// dependent, the block is then a uniform draw.
void randomBlock(std::vector<double>& point, int first, int n, std::mt19937& random) {
    std::exponential_distribution<double> draw(1.0);
    std::vector<double> q(static_cast<std::size_t>(n) + 1);
    std::generate(q.begin(), q.end(), [&] { return draw(random); });
    double sum = 0.0;
    for (double v : q)
        sum += v;
    for (int k = 0; k < n; ++k)
        point[static_cast<std::size_t>(first + k)] =
            std::max(q[static_cast<std::size_t>(k)] / sum, 1e-6);
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
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](double bound) { return std::max(bound, 1e-12); });
    Objective objective;
    for (std::size_t j = 0; j < count; ++j)
        if (itp[j] != 0 && upper[j] > lower[j])
            objective.free.push_back(j);
    const char* setting = std::getenv("THOROUGH_STARTS");
    const int starts = setting != nullptr ? std::atoi(setting) : 40;
    std::mt19937 random(20231);
    const int fractions = firstFrequency == 0 ? nall : firstFrequency;
    const int n = lastFrequency - firstFrequency + 1;
    search(objective, start, lower, upper);
    for (int s = 0; s < starts; ++s) {
        std::vector<double> point = start;
        for (int j = 0; j < fractions; ++j)
            if (itp[j] != 0)
                point[static_cast<std::size_t>(j)] =
                    std::uniform_real_distribution<double>(0.0, 0.5)(random);
        if (itsys != 0 && firstFrequency > 0) {
            randomBlock(point, firstFrequency, n, random);
            if (disfreqs)
                randomBlock(point, lastFrequency + 1, n, random);
        }
        search(objective, point, lower, upper);
    }
    for (int polish = 0; polish < 10 && objective.bestValue < HUGE_VAL; ++polish) {
        const double before = objective.bestValue;
        search(objective, objective.bestPoint, lower, upper);
        if (before - objective.bestValue < 1e-9)
            break;
    }
    if (objective.bestValue == HUGE_VAL) {
        std::fprintf(stderr, "ilinkvant (thorough): no admissible point\n");
        std::exit(EXIT_FAILURE);
    }
    nomad_save_solution(objective.bestPoint.data(), starts + 1, objective.evaluations,
                        objective.bestValue);
    setparam();
    recombination();
}
