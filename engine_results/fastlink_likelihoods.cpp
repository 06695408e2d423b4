#include "fastlink_likelihoods.h"

#include <algorithm>
#include <iterator>

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
