// One maximisation run with the engine on the "pedfile.dat" and
// "datafile.dat" of the working directory.
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>

#include "likelihoods.h"
#include "utilities.h"
#include "vantrel.h"

Likelihoods* Vantrel::maximize_likelihood(bool linkage, bool ld, bool frequenciesFixed,
                                          bool /*thetasFixed: written into the datafile*/) {
    const Locus* markerLocus = currentDatafile != nullptr ? currentDatafile->getLocus(1) : nullptr;
    if (markerLocus == nullptr) {
        std::cout << "Error: No datafile.dat with a marker locus was made for this run"
                  << std::endl;
        return nullptr;
    }
    auto run =
        std::make_unique<Likelihoods>("Hypothesis", linkage, ld, markerLocus->getNumberOfAlleles());
    // With LD both programs read the marker's two frequency lines.
    const std::string preparation = std::string("unknownvant") + (ld ? " -c " : "");
    const std::string maximisation =
        std::string("ilinkvant") + " -n " + (linkage ? " -b " : "") + (ld ? " -c " : "");

    if (!runEngineProgram("UNKNOWNVANT", preparation, verbose)) {
        return nullptr;
    }
    // A run that writes no estimate must not hand on the previous run's.
    std::error_code error;
    std::filesystem::remove("final.dat", error);
    if (error) {
        std::cout << "Error: Unable to remove the previous run's final.dat: " << error.message()
                  << std::endl;
        return nullptr;
    }
    if (!runEngineProgram("ILINKVANT", maximisation, verbose) ||
        !run->readFinalDat(frequenciesFixed)) {
        return nullptr;
    }
    runRecords.push_back(std::move(run));
    return runRecords.back().get();
}
