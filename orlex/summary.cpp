// The summary file: per phenotype, the best two-point LOD score of every
// marker (whole and component nuclear pedigrees) and the haplotype-relative-
// risk p-values of every marker.
#include <iomanip>
#include <iostream>

#include "file.h"
#include "marker_map.h"
#include "orlex.h"

// The record of the named marker in a row of two-point results, or null.
static const MLinkMarker* markerNamed(const std::vector<MLinkMarker*>& row,
                                      const std::string& name) {
    for (const MLinkMarker* record : row) {
        if (record != nullptr && record->getIndex() == name) {
            return record;
        }
    }
    return nullptr;
}

static void writeBestPoint(std::ostream& out, const FastlinkLikelihoods& best) {
    out << std::setw(13) << std::setprecision(6) << best.getLodScore() << std::setw(10)
        << std::setprecision(2) << best.getRecombinationFraction();
}

static void writeLodHomTable(std::ostream& out, const std::vector<MLinkMarker*>& row,
                             const std::vector<MLinkMarker*>* nuclearRow, bool nuclear) {
    out << std::setw(20) << "Marker" << std::setw(13) << "LodHom" << std::setw(10) << "Theta";
    if (nuclear) {
        out << std::setw(13) << "NucLodHom" << std::setw(10) << "Theta";
    }
    out << "\n";
    for (const MLinkMarker* record : row) {
        const FastlinkLikelihoods* best =
            record != nullptr ? record->getLikelihoodWithMaxLodScore() : nullptr;
        if (best == nullptr) {
            continue;
        }
        out << std::setw(20) << record->getIndex();
        writeBestPoint(out, *best);
        // The nuclear result of the same marker, wherever it stands in its row.
        const MLinkMarker* nuclearRecord =
            nuclearRow != nullptr ? markerNamed(*nuclearRow, record->getIndex()) : nullptr;
        if (const FastlinkLikelihoods* nuclearBest =
                nuclearRecord != nullptr ? nuclearRecord->getLikelihoodWithMaxLodScore()
                                         : nullptr) {
            writeBestPoint(out, *nuclearBest);
        }
        out << "\n";
    }
    out << "\n\n";
}

static void writeLinkagePart(std::ostream& out, const MLink& basic, const MLink* nuclear,
                             bool nuclearAnalysis) {
    out << "Parametric Linkage analysis summary - All on Lod Score Scale\n\n";
    const bool phenotypeRows = basic.results.size() == basic.selectedPhenotypes.size();
    for (std::size_t i = 0; i < basic.results.size(); ++i) {
        if (phenotypeRows) {
            out << "Phenotype: " << basic.selectedPhenotypes[i] << "\n\n";
        }
        const std::vector<MLinkMarker*>* nuclearRow =
            nuclear != nullptr && i < nuclear->results.size() ? &nuclear->results[i] : nullptr;
        writeLodHomTable(out, basic.results[i], nuclearRow, nuclearAnalysis);
    }
}

static void writeAssociationPart(std::ostream& out, const Hrr& hrr, const MarkerMap& map) {
    out << "\n\nAssociation analysis summary - results are p-values\n\n";
    for (const std::string& phenotype : hrr.phenotypeNames) {
        out << "Phenotype: " << phenotype << "\n\n"
            << "Halplotype Relative Risk\n";
        out << std::setw(20) << "Marker" << std::setw(15) << "Allele-based" << std::setw(15)
            << "Allele-based" << std::setw(15) << "Genotype-based" << std::setw(15)
            << "Genotype-based"
            << "\n"
            << std::setw(20) << "" << std::setw(15) << "randomized" << std::setw(15)
            << "theoretical" << std::setw(15) << "randomized" << std::setw(15) << "theoretical"
            << "\n";
        const auto found = hrr.phenotypes.find(phenotype);
        if (found != hrr.phenotypes.end()) {
            const HrrPhenotype& results = *found->second;
            for (const std::string& index : results.getHrrMarkerNames()) {
                const HrrMarker& record = *results.getHrrMarker(index);
                out << std::setw(20) << map.getMarkerName(record.markerIndex)
                    << hrrPValueField(record.alleleRandomizedPValue)
                    << hrrPValueField(record.alleleTheoreticalPValue)
                    << hrrPValueField(record.genotypeRandomizedPValue)
                    << hrrPValueField(record.genotypeTheoreticalPValue) << "\n";
            }
        }
        out << "\n\n";
    }
}

bool Orlex::writeSummaryFile(const std::string& name) {
    const std::string fileName = name + ".out";
    File file;
    if (!file.openFile(fileName, "write")) {
        std::cout << "\nError: Unable to open " << fileName << " for writing" << std::endl;
        return false;
    }
    std::cout << "\nSummary file: " << fileName;
    std::ostream& out = file.outputBuffer;
    out << std::right << std::fixed << welcome() << "\n" << pedigrees->getCommonHeader();
    if (basicMLink != nullptr) {
        writeLinkagePart(out, *basicMLink, nuclearMLink.get(), nuclearAnalysis);
    }
    if (hrr != nullptr) {
        writeAssociationPart(out, *hrr, *pedigrees->getMarkerMap());
    }
    file.addAllLinesFromOStringStream();
    file.closeFile("write");
    // A failed write shows only once the stream is flushed at its close.
    if (!file.isOpen("write")) {
        std::cout << std::endl << "Error: Unable to write " << fileName << std::endl;
        return false;
    }
    std::cout << std::endl;
    return true;
}
