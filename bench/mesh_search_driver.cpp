// The mesh search that ilinkvant -n ran before it maximised with NLopt,
// kept only as the baseline of bench/optimiser_bench.sh, which links it into
// a second ilinkvant of its own in place of engine_modules/optimiser_driver.
// Mesh-adaptive polling with a few random directions and restarts.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <optional>
#include <random>
#include <vector>

#include "engine_globals.h"
#include "ilink_nomad_bridge.h"
#include "recombination_table.h"

extern "C" {
int nomad_requested = 0;
}

namespace {

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

using Direction = std::vector<double>;  // one entry per varying parameter

// Polls around the best point on a mesh that grows after a success and
// shrinks after a failed poll; infeasible points are rejected unevaluated
// (the objective says so), points outside the bounds are projected onto them.
class MeshPoller {
  public:
    MeshPoller(const SearchObjective& objective, const std::vector<double>& start,
               const std::vector<double>& lower, const std::vector<double>& upper,
               const std::vector<bool>& varies, const SearchSettings& settings)
        : objective_(objective),
          lower_(lower),
          upper_(upper),
          settings_(settings),
          random_(settings.seed) {
        for (std::size_t j = 0; j < start.size(); ++j)
            if (varies[j] && upper[j] > lower[j])
                free_.push_back(j);
        // Only the varying entries are brought into their bounds: a fixed
        // entry keeps its start value even outside them.
        result_.point = start;
        for (std::size_t j = 0; j < start.size(); ++j)
            if (varies[j])
                result_.point[j] = std::min(std::max(start[j], lower[j]), upper[j]);
        if (const auto value = evaluate(result_.point))
            accept(result_.point, *value);
    }

    SearchResult run() {
        if (free_.empty())
            return result_;
        double mesh = settings_.initialMesh;
        for (int round = 0; round <= settings_.restarts && !exhausted(); ++round) {
            if (round > 0)
                mesh = settings_.restartMesh;
            const double before = result_.value;
            while (mesh >= settings_.minimumMesh && !exhausted()) {
                ++result_.iterations;
                mesh = poll(mesh) ? std::min(2.0 * mesh, 0.5) : 0.5 * mesh;
            }
            // A restart that found nothing worth having will not be
            // followed by one that does.
            if (round > 0 && result_.feasible && before - result_.value < settings_.restartGain)
                break;
        }
        return result_;
    }

  private:
    bool exhausted() const { return result_.evaluations >= settings_.maximumEvaluations; }

    std::optional<double> evaluate(const std::vector<double>& point) {
        ++result_.evaluations;
        double value = 0.0;
        if (!objective_(point, &value) || std::isnan(value))
            return std::nullopt;
        return value;
    }

    void accept(const std::vector<double>& point, double value) {
        result_.point = point;
        result_.value = value;
        result_.feasible = true;
    }

    bool better(double value) const { return !result_.feasible || value < result_.value; }

    std::vector<double> trialPoint(const Direction& direction, double mesh) const {
        std::vector<double> point = result_.point;
        for (std::size_t k = 0; k < free_.size(); ++k) {
            const std::size_t j = free_[k];
            const double step = mesh * (upper_[j] - lower_[j]) * direction[k];
            point[j] = std::clamp(point[j] + step, lower_[j], upper_[j]);
        }
        return point;
    }

    // Tries the point one mesh step along the direction; on success keeps
    // doubling the step while that still improves.
    bool tryDirection(const Direction& direction, double mesh) {
        std::vector<double> trial = trialPoint(direction, mesh);
        if (trial == result_.point || exhausted())
            return false;
        const auto value = evaluate(trial);
        if (!value || !better(*value))
            return false;
        accept(trial, *value);
        for (double step = 2.0 * mesh; step <= 1.0 && !exhausted(); step *= 2.0) {
            trial = trialPoint(direction, step);
            if (trial == result_.point)
                break;
            const auto extended = evaluate(trial);
            if (!extended || !better(*extended))
                break;
            accept(trial, *extended);
        }
        return true;
    }

    std::vector<Direction> pollDirections() {
        std::vector<Direction> directions;
        if (!lastSuccess_.empty())
            directions.push_back(lastSuccess_);
        const std::size_t m = free_.size();
        for (std::size_t k = 0; k < m; ++k) {
            for (const double sign : {1.0, -1.0}) {
                Direction unit(m, 0.0);
                unit[k] = sign;
                directions.push_back(unit);
            }
        }
        std::normal_distribution<double> normal;
        for (int r = 0; r < settings_.randomDirections && m > 1; ++r) {
            Direction random(m);
            std::generate(random.begin(), random.end(), [&] { return normal(random_); });
            const double largest =
                std::abs(*std::max_element(random.begin(), random.end(), [](double a, double b) {
                    return std::abs(a) < std::abs(b);
                }));
            if (largest == 0.0)
                continue;
            std::transform(random.begin(), random.end(), random.begin(),
                           [largest](double v) { return v / largest; });
            directions.push_back(random);
            std::transform(random.begin(), random.end(), random.begin(),
                           [](double v) { return -v; });
            directions.push_back(random);
        }
        return directions;
    }

    bool poll(double mesh) {
        for (const Direction& direction : pollDirections()) {
            if (tryDirection(direction, mesh)) {
                lastSuccess_ = direction;
                return true;
            }
        }
        lastSuccess_.clear();
        return false;
    }

    const SearchObjective& objective_;
    const std::vector<double>& lower_;
    const std::vector<double>& upper_;
    const SearchSettings settings_;
    std::mt19937 random_;
    std::vector<std::size_t> free_;
    Direction lastSuccess_;
    SearchResult result_;
};

SearchResult meshSearch(const SearchObjective& objective, const std::vector<double>& start,
                        const std::vector<double>& lower, const std::vector<double>& upper,
                        const std::vector<bool>& varies, const SearchSettings& settings = {}) {
    return MeshPoller(objective, start, lower, upper, varies, settings).run();
}

// Every evaluation allocates and frees the engine's work arrays; with the
// default trim threshold the heap is grown and shrunk each time, and those
// system calls cost more than the likelihood of a large marker.
void keepFreedMemory() {
#ifdef __GLIBC__
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
    mallopt(M_TOP_PAD, 64 * 1024 * 1024);
#endif
}

}  // namespace

extern "C" void nomad_maximise(void) {
    keepFreedMemory();
    const std::size_t count = static_cast<std::size_t>(nall);
    std::vector<double> start(count), lower(count), upper(count);
    nomad_get_startx(start.data(), lower.data(), upper.data());
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
    SearchResult best = meshSearch(minus2LnLike, start, lower, upper, varies);
    if (!best.feasible) {
        std::fprintf(stderr,
                     "ilinkvant: no admissible parameter values were found from the start "
                     "values of datafile.dat\n");
        std::exit(EXIT_FAILURE);
    }
    nomad_save_solution(best.point.data(), best.iterations, best.evaluations, best.value);
    // What the engine writes next must belong to the optimum, not to the
    // last point polled.
    setparam();
    recombination();
}
