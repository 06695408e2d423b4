// The stand-in engine's likelihood worked out from its model, for checking
// the values that the optimiser and the bridge report.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

#include "engine_standin.h"

// -2 ln L at first male fraction theta and first-block frequencies p.
inline double standinMinus2LnLike(double theta, const std::vector<double>& p) {
    const StandinModel& m = standinModel;
    double ln =
        m.recombinants * std::log(theta) + (m.meioses - m.recombinants) * std::log(1 - theta);
    for (std::size_t a = 0; a < p.size(); ++a)
        ln += m.alleleCounts[a] * std::log(p[a]);
    return -2.0 * ln;
}
