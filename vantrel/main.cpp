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
        vantrel->write_result_files();
        vantrel->cleanUp();
        exitValue = 0;
    }
    if (vantrel->msPause) {
        execute_external_command("PAUSE", true);
    }
    return exitValue;
}
