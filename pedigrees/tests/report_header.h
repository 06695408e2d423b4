// The header lines that the statistics and allele frequency files open with,
// made comparable in tests.
#pragma once

#include <string>

// The date line of a file's header, replaced so that files compare whole.
inline std::string withFixedDate(const std::string& text) {
    const std::string label = "Date : ";
    if (text.compare(0, label.size(), label) != 0) {
        return text;
    }
    return label + "D\n" + text.substr(text.find('\n') + 1);
}

// The header of a store with no file names, no locus and the given counts.
inline std::string plainHeader(int pedigrees, int persons) {
    return "Date : D\n"
           "\n"
           "Input files\n"
           "========================\n"
           "Pedigree file          : \n"
           "  # pedigrees          : " +
           std::to_string(pedigrees) +
           "\n"
           "  # persons            : " +
           std::to_string(persons) + "\n\n\n\n";
}
