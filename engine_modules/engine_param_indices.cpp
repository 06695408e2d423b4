// The index range of the estimated allele frequencies in the engine's full
// parameter vector, laid out as the engine's parameter loader reads it:
// male fractions, the outer interference fraction, female fractions or the
// distance ratio, then the frequencies of the iterated locus.
#include "engine_globals.h"

extern "C" {
int firstFrequency = 0;
int lastFrequency = -1;
int allele_index = -1;
int dallele_index = -1;
}

namespace {

int fractionParameterCount() {
    const int outer = (interfer && !mapping) ? 1 : 0;
    int count = mlocus - 1 + outer;
    if (sexdif)
        count += readfemale ? mlocus - 1 + outer : 1;
    return count;
}

}  // namespace

extern "C" void initialize_param_indices(void) {
    if (itsys == 0) {
        // No frequencies are estimated: 0 marks the absent block.
        firstFrequency = 0;
        lastFrequency = -1;
        return;
    }
    firstFrequency = fractionParameterCount();
    const int values = disequi ? nuhap : thislocus[itsys - 1]->nallele;
    lastFrequency = firstFrequency + values - 2;
}
