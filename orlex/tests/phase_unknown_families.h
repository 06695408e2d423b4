// LOD scores derived by hand for the test families: a fully penetrant
// dominant trait, an affected heterozygous parent, a mate who cannot carry
// the trait allele and n children of whom k are recombinant, phase unknown.
// A family's LOD is Z(theta) = log10(2^(n-1) [theta^k (1-theta)^(n-k) +
// theta^(n-k) (1-theta)^k]); families add.
#pragma once

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "test_support.h"

namespace orlex_test {

// Children and recombinants of one family.
struct Family {
    int n;
    int k;
};

inline double familyLod(double theta, Family family) {
    const double linked = std::pow(theta, family.k) * std::pow(1 - theta, family.n - family.k) +
                          std::pow(theta, family.n - family.k) * std::pow(1 - theta, family.k);
    return linked > 0 ? std::log10(std::pow(2.0, family.n - 1) * linked)
                      : -std::numeric_limits<double>::infinity();
}

struct BestPoint {
    double lod;
    double theta;
};

// The engine evaluates theta 0.5 first, then 0, 0.02, ..., 0.48; the first
// of equal maxima is the one reported.
inline BestPoint bestOnEngineGrid(const std::vector<Family>& families) {
    std::vector<double> thetas = {0.5};
    for (int step = 0; step <= 24; ++step) {
        thetas.push_back(step * 0.02);
    }
    BestPoint best{-std::numeric_limits<double>::infinity(), 0.0};
    for (const double theta : thetas) {
        double lod = 0.0;
        for (const Family& family : families) {
            lod += familyLod(theta, family);
        }
        if (lod > best.lod + 1e-9) {
            best = {lod, theta};
        }
    }
    return best;
}

// orlex on hlod_families.ped (two such families of four children) with the
// dominant model, in a temporary directory.
class HlodFamiliesRun : public test_support::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        test_support::copySourceFiles("orlex/tests/data",
                                      {"hlod_families.ped", "two_markers.map", "dominant.model"});
    }

    static test_support::CommandResult orlex(const std::string& options,
                                             const std::string& pedigree = "hlod_families.ped",
                                             const std::string& map = "two_markers.map",
                                             const std::string& extraPath = "") {
        return test_support::runProgram(
            "orlex",
            options + " --post --ped " + pedigree + " --map " + map + " --model dominant.model",
            extraPath);
    }
};

}  // namespace orlex_test
