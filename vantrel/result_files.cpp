// Placeholder until the result files land: without a model nothing is written.
#include "vantrel.h"

bool Vantrel::write_result_files() {
    return true;
}
