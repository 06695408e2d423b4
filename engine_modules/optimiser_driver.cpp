#include "optimiser_driver.h"

#include <nlopt.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <optional>
#include <tuple>
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

// A run from the best point with a fresh trust region, and the dependent
// alleles chosen anew there, follows a run while it gains more than this.
constexpr double kRestartGain = 1e-6;
constexpr int kMostRuns = 6;

// Each start of a hypothesis is searched loosely, to about 1e-2 of every
// range, and only the best of those searches is polished to 1e-5: the starts
// differ in which optimum they lead to, not in how closely they locate it,
// and locating every one of them closely cost most of the evaluations. A
// tolerance of 3e-2 stopped a 6-allele LD run 0.18 short of its optimum.
SearchSettings looseSearch() {
    SearchSettings settings;
    settings.initialStep = 0.1;
    settings.pointTolerance = 1e-2;
    settings.restarts = 0;
    return settings;
}

// The polish starts next to an optimum, where a small first trust region
// saves the evaluations a large one spends on shrinking back to it.
SearchSettings polishSearch() {
    SearchSettings settings;
    settings.initialStep = 0.01;
    settings.pointTolerance = 1e-5;
    settings.restarts = 0;
    return settings;
}

// An LD hypothesis whose searches end no more than this below the tied
// hypothesis's optimum may have stopped on it where it is a saddle, with a
// direction flat there. Where every disease carrier among the founders is
// typed 1/2 at a marker of two equally frequent alleles, the carriers'
// genotypes have the probability c1 p2 + c2 p1 = 1/2 whatever the
// disease-conditional frequencies c: at the tied start the likelihood is
// flat along c and at its maximum along p, and BOBYQA's first model, built
// from steps along single coordinates, sees no way up, while moving c and p
// together gains (1.36 of -2 ln L at M2 of the joint-analysis test's
// families). Such a hypothesis is searched once more from a point off the
// tie, where p is no longer held at its tied optimum.
constexpr double kNoAssociationGain = 1e-4;

// Likewise a linkage hypothesis whose searches end no more than this below
// the unlinked hypothesis's optimum may have stayed on it, every fraction
// at its upper bound, where the likelihood may be flat in the fractions or
// have a saddle: the LD searches of a set of trios all ended there, at the
// unlinked value, while the optimum lies at 0, 2.67 of -2 ln L below. Such
// a hypothesis is searched once more from a point with the fractions off
// that bound.
constexpr double kNoLinkageGain = 1e-4;
constexpr double kLinkedShare = 0.1;

// Which allele of a frequency block is the dependent one shapes BOBYQA's
// models, and with it which optimum a run reaches where the
// disease-conditional frequencies have several. In a 24-allele set of
// cases and controls every start, and every restart from the best point
// with the conditional frequencies moved, led to an optimum 0.149 of
// -2 ln L short; runs from the datafile's start whose dependent allele in
// the first block was that of its second largest frequency led to the
// better one, where the two largest frequencies are within 1e-3 of each
// other. So an LD hypothesis of more than two alleles is searched once
// more from the datafile's start that way.

int fractionCount() {
    return firstFrequency == 0 ? nall : firstFrequency;
}

int blockLength() {
    return lastFrequency - firstFrequency + 1;
}

// The hypotheses nested in the one the datafile asks for, as restrictions
// of its parameters: every iterated fraction at its upper bound (no
// linkage), and the disease-conditional frequencies equal to the others (no
// disequilibrium).
struct Restrictions {
    bool unlinked = false;
    bool tied = false;
};

// The engine's parameters, where the dependent allele of each frequency
// block is the last one; the searches see another dependent allele.
using EnginePoint = std::vector<double>;

struct Outcome {
    EnginePoint point;
    double value = 0.0;
    bool feasible = false;
    int iterations = 0;
    int evaluations = 0;
};

bool isBetter(const Outcome& a, const Outcome& b) {
    return a.feasible && (!b.feasible || a.value < b.value);
}

// Maximises the likelihood of the run and of the hypotheses nested in it.
// Each is searched from the datafile's start and from the optimum of every
// hypothesis nested in it, which it contains, and the best of those
// searches is polished: so no optimum found is worse than a nested one's,
// and where the likelihood has several optima the nested hypotheses lead to
// those the datafile's start does not reach. The nested optima are polished
// too: a run of the larger hypothesis then starts from the very value the
// run of the nested one reports, and cannot end above it.
class NestedMaximisation {
  public:
    NestedMaximisation(EnginePoint start, std::vector<double> lower, std::vector<double> upper,
                       std::vector<bool> varies)
        : start_(std::move(start)),
          lower_(std::move(lower)),
          upper_(std::move(upper)),
          varies_(std::move(varies)) {}

    Outcome maximise() {
        Outcome best = maximise(Restrictions{});
        best.evaluations = evaluations_;
        best.iterations = iterations_;
        return best;
    }

    // Sets the engine's dependent alleles for searches around the point and
    // returns the point as those searches see it.
    static std::vector<double> searchPoint(EnginePoint point, bool tied, bool runnerUp = false) {
        std::tie(allele_index, dallele_index) = dependentAlleles(point, tied, runnerUp);
        swap_alleles(point.data());
        return point;
    }

    // The point of a search, as the engine sees it.
    static EnginePoint enginePoint(std::vector<double> point) {
        swap_alleles(point.data());
        return point;
    }

  private:
    static int secondLargest(const double* block, int n) {
        std::vector<int> alleles(static_cast<std::size_t>(n));
        std::iota(alleles.begin(), alleles.end(), 0);
        std::partial_sort(alleles.begin(), alleles.begin() + 2, alleles.end(),
                          [block](int a, int b) { return block[a] > block[b]; });
        return alleles[1];
    }

    // The largest frequency of each block, the bridge's rule for the start.
    // With runnerUp, the first block's dependent allele is that of its
    // second largest frequency instead.
    static std::pair<int, int> dependentAlleles(const EnginePoint& point, bool tied,
                                                bool runnerUp = false) {
        if (itsys == 0 || disequi)
            return {-1, -1};
        const int n = blockLength();
        const int first =
            runnerUp ? secondLargest(point.data() + firstFrequency, n)
                     : choose_largest_prob(const_cast<double*>(point.data()) + firstFrequency, n);
        if (!disfreqs)
            return {first, -1};
        return {first, tied ? first
                            : choose_largest_prob(
                                  const_cast<double*>(point.data()) + lastFrequency + 1, n)};
    }

    bool linkable() const {
        for (int j = 0; j < fractionCount(); ++j)
            if (varies_[j] && upper_[j] > lower_[j])
                return true;
        return false;
    }

    // Both frequency blocks estimated in full, so that the second can follow
    // the first: tying a block with fixed entries would overwrite the values
    // the datafile fixed, and report an optimum at others.
    bool tieable() const {
        if (itsys == 0 || disequi || !disfreqs)
            return false;
        const auto begin = varies_.begin() + firstFrequency;
        return std::all_of(begin, begin + 2 * blockLength(), [](bool v) { return v; });
    }

    EnginePoint restricted(EnginePoint point, const Restrictions& r) const {
        if (r.unlinked)
            for (int j = 0; j < fractionCount(); ++j)
                if (varies_[j])
                    point[j] = upper_[j];
        if (r.tied)
            std::copy_n(point.begin() + firstFrequency, blockLength(),
                        point.begin() + lastFrequency + 1);
        return point;
    }

    std::vector<bool> variesUnder(const Restrictions& r) const {
        std::vector<bool> varies = varies_;
        if (r.unlinked)
            std::fill_n(varies.begin(), fractionCount(), false);
        if (r.tied)
            std::fill_n(varies.begin() + lastFrequency + 1, blockLength(), false);
        return varies;
    }

    static int key(const Restrictions& r) { return (r.unlinked ? 1 : 0) + (r.tied ? 2 : 0); }

    Outcome maximise(const Restrictions& r) {
        if (const auto& known = solved_[key(r)])
            return *known;
        std::vector<EnginePoint> starts = {restricted(start_, r)};
        if (!r.unlinked && linkable())
            addStart(starts, maximise(Restrictions{true, r.tied}));
        if (!r.tied && tieable())
            addStart(starts, maximise(Restrictions{r.unlinked, true}));
        Outcome best = bestOf(starts, r, looseSearch());
        if (!r.unlinked && linkable() && best.feasible) {
            const Outcome unlinked = maximise(Restrictions{true, r.tied});
            if (unlinked.feasible && best.value > unlinked.value - kNoLinkageGain)
                best = std::min(best, climb(linked(unlinked.point, r), r, looseSearch()), isBetter);
        }
        if (!r.tied && tieable() && best.feasible) {
            const Outcome tied = maximise(Restrictions{r.unlinked, true});
            if (tied.feasible && best.value > tied.value - kNoAssociationGain)
                best = std::min(best, climb(untied(tied.point), r, looseSearch()), isBetter);
        }
        if (!r.tied && tieable() && blockLength() > 2 && best.feasible)
            best = std::min(best, climb(restricted(start_, r), r, looseSearch(), true), isBetter);
        if (best.feasible)
            best = std::min(best, climb(best.point, r, polishSearch()), isBetter);
        solved_[key(r)] = best;
        return best;
    }

    Outcome bestOf(const std::vector<EnginePoint>& starts, const Restrictions& r,
                   const SearchSettings& settings) {
        Outcome best;
        for (const EnginePoint& point : starts)
            best = std::min(best, climb(point, r, settings), isBetter);
        return best;
    }

    // The tied point with the disease-conditional frequencies moved halfway
    // towards the vertex of the most frequent allele.
    static EnginePoint untied(EnginePoint point) {
        const int n = blockLength();
        const auto first = point.begin() + firstFrequency;
        const auto second = point.begin() + lastFrequency + 1;
        const int allele = choose_largest_prob(&*first, n);
        for (int k = 0; k < n; ++k)
            second[k] = 0.5 * first[k] + (k == allele ? 0.5 : 0.0);
        return point;
    }

    // The unlinked point with every iterated fraction a tenth of its range
    // above its lower bound and, in an untied LD hypothesis, the
    // disease-conditional frequencies moved halfway towards the others, off
    // the zeros of the unlinked optimum. From a 6-allele LD optimum at 0.5,
    // the linked optimum at 0.297 was reached with the fractions at a
    // twentieth to a quarter of their range when the conditional frequencies
    // moved too, and only at a twentieth to a seventh with them kept; from
    // half their range the run went back to 0.5 either way.
    EnginePoint linked(EnginePoint point, const Restrictions& r) const {
        for (int j = 0; j < fractionCount(); ++j)
            if (varies_[j])
                point[j] = lower_[j] + kLinkedShare * (upper_[j] - lower_[j]);
        if (!r.tied && tieable()) {
            const auto first = point.begin() + firstFrequency;
            const auto second = point.begin() + lastFrequency + 1;
            std::transform(first, first + blockLength(), second, second,
                           [](double p, double c) { return 0.5 * (p + c); });
        }
        return point;
    }

    static void addStart(std::vector<EnginePoint>& starts, const Outcome& nested) {
        if (nested.feasible &&
            std::find(starts.begin(), starts.end(), nested.point) == starts.end())
            starts.push_back(nested.point);
    }

    // Runs of the method from the point. A run that met rejected points may
    // have stopped at their edge, and one whose largest frequency in a block
    // is no longer the dependent one models that block poorly: a frequency
    // that grows towards 1 from a small start leaves the others to reach 0
    // on the edge of the infeasible region, where a run stalls. Such a run
    // is followed by one from its best point with a fresh trust region and
    // the dependent alleles chosen anew, while that gains. With runnerUp,
    // every run takes the first block's runner-up allele as its dependent.
    Outcome climb(EnginePoint point, const Restrictions& r, const SearchSettings& settings,
                  bool runnerUp = false) {
        const std::vector<bool> varies = variesUnder(r);
        const std::size_t second = static_cast<std::size_t>(lastFrequency + 1);
        const std::size_t n = static_cast<std::size_t>(blockLength());
        std::vector<double> buffer(point.size());
        int rejections = 0;
        const SearchObjective minus2LnLike = [&](const std::vector<double>& p, double* value) {
            std::copy(p.begin(), p.end(), buffer.begin());
            if (r.tied)
                std::copy_n(buffer.begin() + firstFrequency, n, buffer.begin() + second);
            int feasible = 0;
            eval_x(value, buffer.data(), &feasible);
            rejections += feasible == 0 ? 1 : 0;
            return feasible != 0;
        };
        Outcome best;
        for (int run = 0; run < kMostRuns; ++run) {
            const std::pair<int, int> dependent = dependentAlleles(point, r.tied, runnerUp);
            rejections = 0;
            const SearchResult result =
                boundedSearch(minus2LnLike, searchPoint(point, r.tied, runnerUp), lower_, upper_,
                              varies, settings);
            evaluations_ += result.evaluations;
            iterations_ += result.iterations;
            if (!result.feasible)
                break;
            const double gain = best.feasible ? best.value - result.value : HUGE_VAL;
            if (gain > 0.0) {
                best.point = restricted(enginePoint(result.point), r);
                best.value = result.value;
                best.feasible = true;
                point = best.point;
            }
            const bool stalled = rejections > 0 || dependentAlleles(point, r.tied) != dependent;
            if (gain <= kRestartGain || !stalled)
                break;
        }
        return best;
    }

    const EnginePoint start_;
    const std::vector<double> lower_, upper_;
    const std::vector<bool> varies_;
    std::optional<Outcome> solved_[4];
    int evaluations_ = 0;
    int iterations_ = 0;
};

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

    NestedMaximisation search(NestedMaximisation::enginePoint(start), lower, upper, varies);
    const Outcome best = search.maximise();
    if (!best.feasible) {
        std::fprintf(stderr,
                     "ilinkvant: no admissible parameter values were found from the start "
                     "values of datafile.dat\n");
        std::exit(EXIT_FAILURE);
    }
    std::vector<double> solution = search.searchPoint(best.point, false);
    nomad_save_solution(solution.data(), best.iterations, best.evaluations, best.value);
    // What the engine writes next must belong to the optimum, not to the
    // last point evaluated.
    setparam();
    recombination();
}
