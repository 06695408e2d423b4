// The heterogeneity LOD grid of the two-point analysis.
#include <iomanip>
#include <iostream>
#include <optional>

#include "heterogeneity.h"
#include "mlink.h"
#include "utilities.h"

namespace {

// The grid row of one block: one point per admixture proportion.
std::vector<MLinkHLod> blockGridRow(const FastlinkLikelihoods& block) {
    std::vector<std::optional<double>> familyLods;
    for (const std::string& id : pedigreeIdsInNumericOrder(block)) {
        // A pedigree left out of the block's LOD is left out of its grid too,
        // so that the grid at alpha 1 is the block's LOD.
        if (!block.isLeftOut(id)) {
            familyLods.emplace_back(block.getLikelihood(id)->getLodScore());
        }
    }
    std::vector<MLinkHLod> row;
    row.reserve(admixtureProportionCount);
    for (int k = 0; k < admixtureProportionCount; ++k) {
        const double alpha = admixtureProportion(k);
        row.push_back(
            {block.getRecombinationFraction(), alpha, heterogeneityLod(familyLods, alpha)});
    }
    return row;
}

void printBestPoint(const std::string& marker, const MLinkHLod& best) {
    const std::ios_base::fmtflags flags = std::cout.flags();
    const std::streamsize precision = std::cout.precision();
    std::cout << std::right << std::fixed << std::setw(20) << marker << std::setw(13)
              << std::setprecision(6) << best.hlod << std::setw(10) << std::setprecision(2)
              << best.theta << std::setw(10) << best.alpha << std::endl;
    std::cout.flags(flags);
    std::cout.precision(precision);
}

}  // namespace

void MLink::maximizeHLod() {
    thetaLabels.clear();
    thetaNames.clear();
    hlodPhenotypes.clear();
    const bool nuclear = analysisType == "nuclear";
    std::cout << "\nParametric linkage analysis"
              << (nuclear ? " for nuclear pedigrees under heterogeneity" : " under heterogeneity")
              << std::endl;

    for (size_t p = 0; p < results.size(); ++p) {
        const std::string phenotype = p < selectedPhenotypes.size() ? selectedPhenotypes[p] : "";
        std::cout << "Phenotype: " << phenotype << std::endl;
        std::cout << std::right << std::setw(20) << "Marker" << std::setw(13)
                  << (nuclear ? "NucLodHet" : "LodHet") << std::setw(10) << "Theta" << std::setw(10)
                  << "Alpha" << std::endl;
        std::vector<std::vector<std::vector<MLinkHLod>>> rowGrid;
        std::vector<MLinkHLod> rowBest;
        for (size_t m = 0; m < results[p].size(); ++m) {
            const MLinkMarker& marker = *results[p][m];
            thetaNames = marker.getLikelihoodsNames();
            MLinkHLod best;
            std::vector<std::vector<MLinkHLod>> markerGrid;
            // The engine's first block (theta 0.5) takes no part in the grid.
            for (size_t b = 1; b < thetaNames.size(); ++b) {
                markerGrid.push_back(blockGridRow(*marker.likelihoods.at(thetaNames[b])));
                // Strictly greater only: the earliest point wins ties, and
                // the best stays at (0, 0, 0) unless some point is positive.
                for (const MLinkHLod& point : markerGrid.back()) {
                    if (point.hlod > best.hlod) {
                        best = point;
                    }
                }
                if (p == 0 && m == 0) {
                    thetaLabels.push_back(thetaNames[b]);
                }
            }
            if (p == 0 && m == 0 && !markerGrid.empty()) {
                for (int k = 0; k < admixtureProportionCount; ++k) {
                    alphaLabels.push_back(admixtureProportionLabel(k));
                }
            }
            rowBest.push_back(best);
            printBestPoint(marker.getIndex(), best);
            rowGrid.push_back(std::move(markerGrid));
        }
        hlodGrid.push_back(std::move(rowGrid));
        hlodPhenotypes.push_back(phenotype);
        bestHlods.push_back(std::move(rowBest));
        std::cout << std::endl;
    }
    std::cout << std::endl;
}
