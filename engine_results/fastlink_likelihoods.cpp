#include "fastlink_likelihoods.h"

#include <utility>

FastlinkLikelihood::FastlinkLikelihood(std::string pedigreeId, double lnLike, double log10Like,
                                       double lodScore)
    : pedigreeId(std::move(pedigreeId)), lnLike(lnLike), log10Like(log10Like), lodScore(lodScore) {}

FastlinkLikelihoods::FastlinkLikelihoods() : recombinationFraction(1.0), lodScore(1.0) {}

FastlinkLikelihoods::FastlinkLikelihoods(double theta)
    : recombinationFraction(theta), lodScore(0.0) {}

void FastlinkLikelihoods::addLikelihood(const std::string& id, double ln, double log10,
                                        double lod) {
    records.emplace_back(id, ln, log10, lod);
    pedigreeNames.push_back(id);
}

void FastlinkLikelihoods::reserve(std::size_t count) {
    records.reserve(count);
    pedigreeNames.reserve(count);
}

const FastlinkLikelihood* FastlinkLikelihoods::getLikelihood(const std::string& id) const {
    for (; indexed < records.size(); ++indexed) {
        index[records[indexed].pedigreeId] = indexed;
    }
    const auto found = index.find(id);
    return found == index.end() ? nullptr : &records[found->second];
}
