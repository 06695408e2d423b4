// Start-up and support routines of the engine: look-ahead end-of-file and
// end-of-line tests, the allocation-failure report, the allele-count print
// and the pedigree index of the engine's pedigree file.
#pragma once

#include <cstdio>

extern "C" {
int P_eof(FILE* file);
int P_eoln(FILE* file);
[[noreturn]] void malloc_err(const char* what);
// Prints the allele count of every locus; returns the number of haplotypes.
int check_constants(void);
// Builds `pedidx2num` and `ped_loc_all` and sets `mymaxped`; the pedigree
// file is read on the first call only.
void init_ped_loc_all(void);
// Releases `pedidx2num`; returns 0.
int allele_downcode_check(void);
}
