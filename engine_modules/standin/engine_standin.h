// A small stand-in for the engine's globals and routines, so that each
// module routine can be tested alone. Its likelihood is a known function of
// the loaded parameters: a binomial in the first male fraction times
// multinomials in the estimated allele frequencies, so the optimum and the
// value there are known in closed form.
#pragma once

#include <vector>

#include "engine_globals.h"

struct StandinModel {
    int recombinants = 0;
    int meioses = 0;
    std::vector<double> alleleCounts;      // multinomial counts of the first frequency block
    std::vector<double> condAlleleCounts;  // of the second block, with disfreqs
    // Filled by the stand-in's routines.
    std::vector<double> frequencies;      // the full first block setparam loaded
    std::vector<double> condFrequencies;  // the full second block
    int likelihoodCalls = 0;
    int staleFlagCalls = 0;  // likelihood calls that met unreset person flags
    int loopFileOpens = 0;
    int loopFileCloses = 0;
};

extern StandinModel standinModel;

// Resets every global to an empty run of `loci` loci with `persons`
// persons in `pedigrees` pedigrees; fractions 0.5, tables filled with -1.
void standinReset(int loci, int persons = 2, int pedigrees = 1);

// Sets the iterated locus (1-based, 0 for none) and its allele count.
void standinSetLocus(int locus, int alleles);

// The male and female transmission tables.
double* standinMaleTable();
double* standinFemaleTable();
