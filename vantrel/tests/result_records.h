// Result records of vantrel built by hand for the tests of the writers: run
// records with chosen -2 ln likelihoods, gathered into VTResults.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "likelihoods.h"
#include "vt_results.h"

namespace vantrel_test {

struct Estimate {
    double minus2LnLike;
    std::vector<double> frequencies;
    std::vector<double> conditional = {};
    std::vector<double> thetas = {0.5};
};

class ResultRecords {
  public:
    // A run holding the estimates in order; it lives as long as this object.
    Likelihoods* run(int alleles, const std::vector<Estimate>& estimates) {
        runs.push_back(std::make_unique<Likelihoods>("Hypothesis", false, false, alleles));
        for (const Estimate& e : estimates) {
            auto estimate = std::make_unique<Likelihood>();
            estimate->setLikelihood(e.minus2LnLike);
            estimate->setAlleleFrequencies(e.frequencies);
            estimate->setCondAlleleFrequencies(e.conditional);
            estimate->setThetas(e.thetas);
            estimate->setIterEvalPig(iterations, evaluations, 0.0);
            runs.back()->addEstimate(std::move(estimate));
        }
        return runs.back().get();
    }

    // One marker with the best -2 ln L of its four runs, as the schedule
    // adds it.
    void addMarker(VTResults& results, const std::string& name, int alleles, double l0, double l1,
                   double l2, double l3) {
        const std::vector<double> p(static_cast<std::size_t>(alleles), 1.0 / alleles);
        results.addH0(name, run(alleles, {{l0, p}}));
        results.addH1(name, run(alleles, {{l1, p}}));
        results.addH2(name, run(alleles, {{l2, p, p}}));
        results.addH3(name, run(alleles, {{l3, p, p}}));
        results.addMarkerName(name);
        results.addMarkerInfo(name, nullptr);
    }

    std::vector<std::unique_ptr<Likelihoods>> runs;
    // The iteration and evaluation counts every estimate reports.
    int iterations = 0;
    int evaluations = 0;
};

}  // namespace vantrel_test
