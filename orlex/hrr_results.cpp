// The result files of the haplotype-relative-risk analysis: the text report
// of the count tables and statistics.
#include <iomanip>
#include <iostream>
#include <sstream>

#include "file.h"
#include "hrr.h"
#include "marker_map.h"
#include "orlex.h"
#include "pedigrees.h"

std::string Hrr::welcome() {
    return Orlex::welcome();
}

static void writeCountRow(std::ostream& out, const std::string& name, int cases, int controls) {
    out << std::setw(13) << name << std::setw(13) << cases << std::setw(13) << controls << "\n";
}

static void writeMarkerSection(std::ostream& out, const std::string& markerName,
                               const HrrMarker& record) {
    out << "Marker : " << markerName << "\n\n";
    out << "Genotype Count\n";
    out << std::setw(13) << "Genotype" << std::setw(13) << "Case" << std::setw(13) << "Control"
        << "\n";
    for (const std::string& genotype : record.genotypeNames) {
        writeCountRow(out, genotype, record.getCaseCountForGenotype(genotype),
                      record.getControlCountForGenotype(genotype));
    }
    out << "\nAllele Count\n";
    out << std::setw(13) << "Allele" << std::setw(13) << "Case" << std::setw(13) << "Control"
        << "\n";
    for (const std::string& allele : record.alleleNames) {
        const int cases = record.getCaseAlleleCount(allele);
        const int controls = record.getControlAlleleCount(allele);
        if (cases != 0 || controls != 0) {
            writeCountRow(out, allele, cases, controls);
        }
    }
    out << "\n"
        << std::fixed << std::setprecision(6) << "Genotype-Based LRT  " << std::setw(13) << ": "
        << record.getLRT("genotype") << "\n"
        << "Allele-Based LRT    " << std::setw(13) << ": " << record.getLRT("allele") << "\n\n\n";
}

bool Hrr::writeGenotypeAndAlleleCounts(const std::string& baseName) {
    const std::string textName = baseName + ".out";
    std::cout << "The Hrr Counts: " << baseName << std::flush;
    File file;
    if (!file.openFile(textName, "write")) {
        std::cout << std::endl
                  << "Error: Unable to open " << textName << " for writing" << std::endl;
        return false;
    }
    std::ostream& out = file.outputBuffer;
    out << std::right << welcome() << "\n" << pedigrees->getCommonHeader();
    out << "HRR Pedigree statistics\n" << std::string(24, '=') << "\n";
    out << "  # pedigrees          : " << pedigrees->getHrrPedigreeCount() << "\n"
        << "  # persons            : " << pedigrees->getHrrPersonCount() << "\n\n";
    const MarkerMap* map = pedigrees->getMarkerMap();
    for (const std::string& phenotype : phenotypeNames) {
        out << "Phenotype : " << phenotype << "\n";
        const HrrPhenotype& results = *phenotypes.at(phenotype);
        for (const std::string& index : results.getHrrMarkerNames()) {
            writeMarkerSection(out, map->getMarkerName(index), *results.getHrrMarker(index));
        }
    }
    file.addAllLinesFromOStringStream();
    file.closeFile("write");
    // A failed write shows only once the stream is flushed at its close.
    if (!file.isOpen("write")) {
        std::cout << std::endl << "Error: Unable to write " << textName << std::endl;
        return false;
    }
    std::cout << std::endl;
    return true;
}
