#include <iostream>
#include <memory>

#include "utilities.h"
#include "vantrel.h"

int main(int argc, char** argv) {
    std::cout << Vantrel::welcome();
    auto vantrel = std::make_unique<Vantrel>();

    int exitValue = -1;
    if (vantrel->parse_cmdline_arguments(argc, argv) && vantrel->read_input_files() &&
        vantrel->run()) {
        // The engine's files are of no use after a failed write either.
        const bool written = vantrel->write_result_files();
        vantrel->cleanUp();
        // A lost report fails the run, after the results are kept.
        exitValue = written && !vantrel->reportFileLost() ? 0 : -1;
    }
    if (vantrel->msPause) {
        execute_external_command("PAUSE", true);
    }
    return exitValue;
}
