// Two-point results built by hand for the tests of MLink's heterogeneity
// grid and result files.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "mlink.h"

// One block per theta; lods[b][f] is the LOD of pedigree ids[f] in block b,
// and a missing value leaves the pedigree out of that block. The block's
// total LOD is the sum of its pedigrees' LODs.
inline MLinkMarker* buildMarker(MLink& mlink, const std::string& name,
                                const std::vector<double>& thetas,
                                const std::vector<std::vector<std::optional<double>>>& lods,
                                std::vector<std::string> ids = {}) {
    auto* marker = new MLinkMarker();
    marker->setIndex(name);
    for (size_t b = 0; b < thetas.size(); ++b) {
        auto* block = new FastlinkLikelihoods(thetas[b]);
        double total = 0.0;
        for (size_t f = 0; f < lods[b].size(); ++f) {
            if (!lods[b][f]) {
                continue;
            }
            const std::string id = f < ids.size() ? ids[f] : std::to_string(f + 1);
            block->addLikelihood(id, -1.0, -1.0, *lods[b][f]);
            total += *lods[b][f];
        }
        block->setLodScore(total);
        marker->addLikelihoods(thetas[b], block);
    }
    mlink.ownMarker(marker);
    return marker;
}
