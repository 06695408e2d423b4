#include <ctime>
#include <iostream>
#include <memory>
#include <new>

#include "orlex.h"
#include "record_memory.h"
#include "utilities.h"

int main(int argc, char** argv) {
    auto orlex = std::make_unique<Orlex>();
    std::cout << Orlex::welcome();
    const std::time_t start = std::time(nullptr);

    int exitValue = -1;
    MemoryReserve::hold();
    try {
        if (orlex->parse(argc, argv) && orlex->readInputFiles() && orlex->run() &&
            orlex->writeResults()) {
            std::cout << "\nElapsed time: "
                      << secondsToCorrectTimeFormat(std::difftime(std::time(nullptr), start))
                      << std::endl;
            exitValue = 0;
        }
    } catch (const std::bad_alloc&) {
        MemoryReserve::release();
        std::cout << outOfMemoryMessage(*orlex->pedigrees) << std::endl;
    }
    // Also after a failed step: a failed engine run leaves its files behind.
    orlex->cleanUp();
    if (orlex->msPause) {
        execute_external_command("PAUSE", true);
    }
    releaseAtExit(orlex);
    return exitValue;
}
