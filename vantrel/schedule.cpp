// Placeholder until the hypothesis schedule lands: a run stops where the
// analysis would start.
#include <iostream>

#include "vantrel.h"

bool Vantrel::execute_analysis(std::vector<std::string>, std::vector<int>, std::string model) {
    std::cout << "Error: The " << model << " analysis is not available in this build" << std::endl;
    return false;
}
