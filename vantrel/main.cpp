#include <iostream>
#include <memory>
#include <new>

#include "record_memory.h"
#include "utilities.h"
#include "vantrel.h"

int main(int argc, char** argv) {
    std::cout << Vantrel::welcome();
    auto vantrel = std::make_unique<Vantrel>();

    int exitValue = -1;
    MemoryReserve::hold();
    try {
        if (vantrel->parse_cmdline_arguments(argc, argv) && vantrel->read_input_files() &&
            vantrel->run()) {
            // The engine's files are of no use after a failed write either.
            const bool written = vantrel->write_result_files();
            vantrel->cleanUp();
            // A lost report fails the run, after the results are kept.
            exitValue = written && !vantrel->reportFileLost() ? 0 : -1;
        }
    } catch (const std::bad_alloc&) {
        MemoryReserve::release();
        std::cout << outOfMemoryMessage(*vantrel->pedigrees) << std::endl;
        vantrel->cleanUp();
    }
    if (vantrel->msPause) {
        execute_external_command("PAUSE", true);
    }
    return exitValue;
}
