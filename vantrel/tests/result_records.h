// Result records of vantrel built by hand for the tests of the writers: run
// records with chosen -2 ln likelihoods, gathered into VTResults.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "likelihoods.h"
#include "vt_results.h"

namespace vantrel_test {

class ResultRecords {
  public:
    // A run with one estimate; it lives as long as this object.
    Likelihoods* run(int alleles, double minus2LnLike, const std::vector<double>& frequencies,
                     const std::vector<double>& conditional = {}) {
        runs.push_back(std::make_unique<Likelihoods>("Hypothesis", false, false, alleles));
        auto estimate = std::make_unique<Likelihood>();
        estimate->setLikelihood(minus2LnLike);
        estimate->setAlleleFrequencies(frequencies);
        estimate->setCondAlleleFrequencies(conditional);
        estimate->setThetas({0.5});
        runs.back()->addEstimate(std::move(estimate));
        return runs.back().get();
    }

    // One marker with the best -2 ln L of its four runs, as the schedule
    // adds it.
    void addMarker(VTResults& results, const std::string& name, int alleles, double l0, double l1,
                   double l2, double l3) {
        const std::vector<double> p(static_cast<std::size_t>(alleles), 1.0 / alleles);
        results.addH0(name, run(alleles, l0, p));
        results.addH1(name, run(alleles, l1, p));
        results.addH2(name, run(alleles, l2, p, p));
        results.addH3(name, run(alleles, l3, p, p));
        results.addMarkerName(name);
        results.addMarkerInfo(name, nullptr);
    }

    std::vector<std::unique_ptr<Likelihoods>> runs;
};

}  // namespace vantrel_test
