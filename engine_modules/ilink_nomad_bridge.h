// The bridge through which a derivative-free optimiser maximises the ILINK
// likelihood: start point and bounds, the objective, and the solution store.
//
// Within each block of estimated allele frequencies the optimiser sees the
// allele with the largest start frequency as the dependent one (1 minus the
// others) instead of the engine's fixed last allele; swap_alleles maps one
// parametrisation to the other and is its own inverse.
#pragma once

extern "C" {
int swap_probs(double* values, int count, int index);
int swap_alleles(double* vector);
int choose_largest_prob(double* values, int count);
void nomad_get_startx(double* start, double* lower, double* upper);
void nomad_save_solution(double* solution, int iterations, int evaluations, double value);
int run_ilink(double* point);
double calc_alike(void);
int eval_x(double* value, double* point, int* feasible);
}
