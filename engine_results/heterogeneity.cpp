#include "heterogeneity.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "fastlink_likelihoods.h"
#include "marker_info.h"
#include "utilities.h"

double admixtureProportion(int k) {
    return k / 100.0;
}

std::string admixtureProportionLabel(int k) {
    return doubleToString(admixtureProportion(k));
}

double heterogeneityTerm(double lod, double alpha) {
    if (alpha <= 0.0) {
        return 0.0;
    }
    if (alpha >= 1.0) {
        // Also for a LOD whose power of ten vanishes (the engine gives an
        // inconsistent pedigree ln L -1e20).
        return lod;
    }
    const double power = std::pow(10.0, lod);
    if (std::isfinite(power)) {
        // alpha + (1 - alpha) is exactly 1 for every grid proportion, so a
        // LOD of 0 adds exactly 0.
        return std::log10(alpha * power + (1.0 - alpha));
    }
    // 10^lod overflows: the unlinked share no longer counts.
    return lod + std::log10(alpha);
}

double heterogeneityLod(const std::vector<std::optional<double>>& familyLods, double alpha) {
    return std::accumulate(familyLods.begin(), familyLods.end(), 0.0,
                           [alpha](double sum, const std::optional<double>& lod) {
                               return lod ? sum + heterogeneityTerm(*lod, alpha) : sum;
                           });
}

std::vector<std::string> pedigreeIdsInNumericOrder(const FastlinkLikelihoods& point) {
    std::vector<std::string> ids = point.getPedigreeNames();
    std::stable_sort(ids.begin(), ids.end(), StringToIntCompare);
    return ids;
}
