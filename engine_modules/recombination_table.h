// Transmission probabilities of a parent's haplotypes, filled into the
// engine's tables from the current recombination fractions.
#pragma once

extern "C" {
// Fills the male table and, when the sexes differ, the female one. Marks the
// parameters inadmissible (`penalty`) when an interference class probability
// comes out negative, and ends the process when the run has more loci than
// the engine's fraction records hold.
void recombination(void);
}
