#include "ilink_nomad_bridge.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "engine_globals.h"
#include "recombination_table.h"

namespace {

constexpr int kCensorStart = -32767;
constexpr int kCensorLow = 49999;   // at or below: the censoring array could be smaller
constexpr int kCensorHigh = 50001;  // at or above: a larger one would help

int frequencyBlockLength() {
    return lastFrequency - firstFrequency + 1;
}

// Copies the iterated entries of the full vector, in order, into `out`.
void copyIterated(const double* full, double* out) {
    int k = 0;
    for (int j = 0; j < nall; ++j)
        if (itp[j] != 0)
            out[k++] = full[j];
}

}  // namespace

extern "C" int swap_probs(double* values, int count, int index) {
    const double sum = std::accumulate(values, values + count, 0.0);
    const bool infeasible = sum > 1.0;
    if (index < count)
        values[index] = infeasible ? 0.0 : 1.0 - sum;
    return infeasible ? 1 : 0;
}

extern "C" int swap_alleles(double* vector) {
    const int n = frequencyBlockLength();
    bool infeasible = false;
    if (allele_index >= 0)
        infeasible = swap_probs(vector + firstFrequency, n, allele_index) != 0;
    if (disfreqs && dallele_index >= 0)
        infeasible = (swap_probs(vector + lastFrequency + 1, n, dallele_index) != 0) || infeasible;
    return infeasible ? 1 : 0;
}

extern "C" int choose_largest_prob(double* values, int count) {
    if (count <= 0)
        return count;
    int best = 0;
    double largest = -1.0;
    for (int k = 0; k < count; ++k) {
        if (values[k] > largest) {
            largest = values[k];
            best = k;
        }
    }
    const double implicit = 1.0 - std::accumulate(values, values + count, 0.0);
    return implicit > largest ? count : best;
}

extern "C" void nomad_get_startx(double* start, double* lower, double* upper) {
    std::copy(xall, xall + nall, start);
    std::fill(lower, lower + nall, 0.0);
    std::fill(upper, upper + nall, 1.0);
    initialize_param_indices();
    setparam();
    allele_index = dallele_index = -1;
    if (itsys != 0 && !disequi) {
        const int n = frequencyBlockLength();
        allele_index = choose_largest_prob(start + firstFrequency, n);
        if (disfreqs)
            dallele_index = choose_largest_prob(start + lastFrequency + 1, n);
    }
    swap_alleles(start);
    const int fractionCount = firstFrequency == 0 ? nall : firstFrequency;
    std::fill(upper, upper + fractionCount, 0.5);
}

extern "C" int run_ilink(double* point) {
    std::copy(point, point + nall, xall);
    if (swap_alleles(xall) != 0)
        return 1;
    copyIterated(xall, x);
    setparam();
    recombination();
    return penalty ? 1 : 0;
}

extern "C" double calc_alike(void) {
    for (int p = 1; p <= totperson; ++p) {
        person[p]->done = 0;
        person[p]->firstpass = 1;
    }
    alike = 0.0;
    thisc = kCensorStart;
    open_loop_file();
    // The engine's running index mirrors the pedigree in work; a local
    // counter keeps the loop safe from routines that reuse the global.
    for (int pedigree = 1; pedigree <= nuped; ++pedigree) {
        ::i = pedigree;
        read_loop_file(pedigree);
        likelihood(pedigree, proband[pedigree - 1]);
        likebyped[pedigree - 1] = like;
        alike += like;
    }
    ::i = nuped + 1;
    close_loop_file();
    if (firsttime) {
        if (thisc <= kCensorLow)
            std::printf("Maxcensor can be reduced to %12d\n", thisc);
        else if (thisc >= kCensorHigh)
            std::puts("You may gain efficiency by increasing maxcensor");
        firsttime = 0;
    }
    return alike;
}

extern "C" int eval_x(double* value, double* point, int* feasible) {
    if (run_ilink(point) != 0) {
        *feasible = 0;
        return 0;
    }
    *value = -2.0 * calc_alike();
    *feasible = 1;
    return 1;
}

extern "C" void nomad_save_solution(double* solution, int iterations, int evaluations,
                                    double value) {
    std::copy(solution, solution + nall, xall);
    swap_alleles(xall);
    copyIterated(xall, outsavex);
    copyIterated(xall, x);
    f = outsavefvalue = value;
    nit = iterations;
    nfe = evaluations;
}
