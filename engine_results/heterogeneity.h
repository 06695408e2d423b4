// The heterogeneity (admixture) LOD score: under the hypothesis that only a
// share alpha of the families is linked, a family of LOD score L contributes
// log10(alpha * 10^L + 1 - alpha). Both the two-point and the multipoint
// analyses evaluate it on the same grid of admixture proportions.
#pragma once

#include <optional>
#include <string>
#include <vector>

class FastlinkLikelihoods;

// Admixture proportions of the grid: k / 100 for k = 0 .. 100. Computed
// from k rather than summed up by 0.01, which would end above 1 and make
// 1 - alpha negative.
constexpr int admixtureProportionCount = 101;
double admixtureProportion(int k);
// "0", "0.01", ..., "1".
std::string admixtureProportionLabel(int k);

// One family's term, log10(alpha * 10^lod + 1 - alpha), finite whatever
// lod holds: lod at alpha 1, 0 at alpha 0, and no overflow of 10^lod.
double heterogeneityTerm(double lod, double alpha);

// The sum of the terms of the families, in the order given. A family
// without a LOD (no record at the point or at its reference) has no
// evidence either way and adds nothing, as a LOD of 0 would.
double heterogeneityLod(const std::vector<std::optional<double>>& familyLods, double alpha);

// The pedigree ids of the point in ascending order of their integer value
// (ids without leading digits count as 0), the order in which family terms
// are summed and family rows listed.
std::vector<std::string> pedigreeIdsInNumericOrder(const FastlinkLikelihoods& point);
