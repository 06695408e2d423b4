#include "fastlink_likelihoods.h"

#include <algorithm>
#include <iterator>
#include <numeric>

FastlinkLikelihoods::FastlinkLikelihoods() : recombinationFraction(1.0), lodScore(1.0) {}

FastlinkLikelihoods::FastlinkLikelihoods(double theta)
    : recombinationFraction(theta), lodScore(0.0) {}

void FastlinkLikelihoods::reserve(std::size_t count) {
    records.reserve(count);
}

std::vector<std::string> FastlinkLikelihoods::getPedigreeNames() const {
    std::vector<std::string> names;
    names.reserve(records.size());
    std::transform(records.begin(), records.end(), std::back_inserter(names),
                   [](const FastlinkLikelihood& record) { return record.pedigreeId; });
    return names;
}

const FastlinkLikelihood* FastlinkLikelihoods::getLikelihood(const std::string& id) const {
    for (; indexed < records.size(); ++indexed) {
        index[records[indexed].pedigreeId] = indexed;
    }
    const auto found = index.find(id);
    return found == index.end() ? nullptr : &records[found->second];
}

std::vector<std::string> FastlinkLikelihoods::getImpossiblePedigrees() const {
    std::vector<std::string> ids;
    for (const FastlinkLikelihood& record : records) {
        if (isImpossibleLnLike(record.lnLike)) {
            ids.push_back(record.pedigreeId);
        }
    }
    return ids;
}

bool FastlinkLikelihoods::isLeftOut(const std::string& id) const {
    return std::find(leftOut.begin(), leftOut.end(), id) != leftOut.end();
}

void FastlinkLikelihoods::leaveOut(const std::vector<std::string>& ids) {
    leftOut = ids;
    lnLikeTotal = 0.0;
    log10Total = 0.0;
    for (const FastlinkLikelihood& record : records) {
        if (!isLeftOut(record.pedigreeId)) {
            lnLikeTotal += record.lnLike;
            log10Total += record.log10Like;
        }
    }
    minus2LnLike = -2.0 * lnLikeTotal;
}

double FastlinkLikelihoods::keptLodScoreSum() const {
    return std::accumulate(records.begin(), records.end(), 0.0,
                           [this](double sum, const FastlinkLikelihood& record) {
                               return isLeftOut(record.pedigreeId) ? sum : sum + record.lodScore;
                           });
}
