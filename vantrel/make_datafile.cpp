// The engine's "datafile.dat" of one maximisation run: the trait locus, the
// marker with its start values, and what the engine is to estimate.
#include <iostream>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "likelihoods.h"
#include "vantrel.h"

namespace {

// The dominant and recessive trait loci: a rare disease allele whose
// penetrances are tiny, so that only the affected carry information.
std::unique_ptr<Locus> simpleTraitLocus(bool dominant, bool xlinked) {
    auto trait = std::make_unique<Locus>("VT_DISEASE_LOCUS", Locus::affectionType, 2);
    trait->setName("VT_DISEASE_LOCUS");
    trait->addAlleleFrequencies({0.99999, 1e-05});
    if (xlinked) {
        trait->setXlinked();
    }
    trait->setNumberOfLiabClasses(1);
    trait->setFemalePenetrances({0.0, dominant ? 1e-05 : 0.0, 1e-05});
    if (xlinked) {
        trait->setMalePenetrances({0.0, 1e-05});
    }
    return trait;
}

void printValues(const char* label, const std::vector<double>& values) {
    std::cout << label;
    for (const double value : values) {
        std::cout << value << ' ';
    }
    std::cout << std::endl;
}

// False when the values cannot be scaled to sum 1.
bool normalise(std::vector<double>& values) {
    const double sum = std::accumulate(values.begin(), values.end(), 0.0);
    if (!(sum > 0.0)) {
        return false;
    }
    for (double& value : values) {
        value /= sum;
    }
    return true;
}

}  // namespace

bool Vantrel::make_datafile(int marker, bool linkage, bool ld, std::string model,
                            bool frequenciesFixed, bool thetasFixed) {
    const bool simpleModel = model == "Dominant" || model == "Recessive";
    const Locus* modelTrait = linkageLocusFile != nullptr ? linkageLocusFile->getLocus(0) : nullptr;
    const Locus* modelMarker =
        linkageLocusFile != nullptr ? linkageLocusFile->getLocus(marker) : nullptr;
    if (modelMarker == nullptr) {
        std::cout << "Error: The LINKAGE locus model has no locus " << marker
                  << " for the marker; datafile.dat not written" << std::endl;
        return false;
    }
    if (!simpleModel && modelTrait == nullptr) {
        std::cout << "Error: The LINKAGE locus model has no trait locus; datafile.dat not written"
                  << std::endl;
        return false;
    }
    // The start theta of a linkage run with LD is the estimate of the
    // marker's linkage run; a record without one must stop the marker here.
    std::vector<double> h1Thetas;
    if (linkage && ld) {
        h1Thetas = bestH1 != nullptr && bestH1->getLikelihoodVectorSize() > 0
                       ? bestH1->getMinLikelihoodEstThetas()
                       : std::vector<double>{};
        if (h1Thetas.empty()) {
            std::cout << "Error: The linkage run (H1) of marker locus " << marker
                      << " holds no estimated recombination fraction to start H3 from; "
                         "datafile.dat not written"
                      << std::endl;
            return false;
        }
    }

    auto file = std::make_unique<LinkageLocusFile>();
    file->setNumberOfLoci(2);
    file->setRiskLocus(0);
    file->setSexLink(xlinked ? 1 : 0);
    file->setProgramNumber(LinkageLocusFile::ilinkProgram);
    file->setMutLocus(0);
    file->setMutRateMale(0.0);
    file->setMutRateFemale(0.0);
    file->setHapFreq(0);
    file->setLocusOrder({1, 2});
    file->addLocus(simpleModel ? simpleTraitLocus(model == "Dominant", xlinked).release()
                               : new Locus(modelTrait));
    file->setSexDifference(0);
    file->setInterference(0);

    auto markerLocus = std::make_unique<Locus>(modelMarker);
    const int alleles = markerLocus->getNumberOfAlleles();
    if (debugStartValues && !ld) {
        printValues("Debug: Allele frequencies : ", markerLocus->alleleFrequencies);
    }
    markerLocus->setHaplotypeFrequenciesOnOff(ld);
    file->setCondHaplotypeFrequencies(ld);
    if (ld) {
        // Start without LD: the same frequencies on normal and disease
        // haplotypes.
        std::vector<double> normal = markerLocus->alleleFrequencies;
        std::vector<double> disease = markerLocus->alleleFrequencies;
        if (!normalise(normal) || !normalise(disease)) {
            std::cout << "Error: The allele frequencies of marker locus " << marker
                      << " do not sum to a positive value; datafile.dat not written" << std::endl;
            return false;
        }
        if (debugStartValues) {
            printValues("Debug: Conditional allele frequencies (+): ", normal);
            printValues("Debug: Conditional allele frequencies (D): ", disease);
        }
        markerLocus->setHaplotypeFrequencies(normal);
        markerLocus->setHaplotypeFrequenciesCond(disease);
    }
    file->addLocus(markerLocus.release());
    file->setEstimateAlleleFrequencies(std::vector<bool>(static_cast<size_t>(alleles), true));
    file->setEstimateHaplotypeFrequencies(
        std::vector<bool>(2 * static_cast<size_t>(alleles), true));

    const double theta = !linkage ? 0.5 : !ld ? 0.05 : h1Thetas.front();
    file->setRecombinationFraction(theta);
    if (linkage && debugStartValues) {
        printValues("Debug: Thetas: ", file->recombinationFractions);
    }
    file->setIteratedLocus(frequenciesFixed ? 0 : 2);
    file->setEstimateTheta(!thetasFixed);

    currentDatafile = std::move(file);
    // A datafile that could not be written would leave the previous run's
    // file for the engine.
    return currentDatafile->writeLocusFile("datafile.dat", {});
}
