// The summary file: per phenotype, the best two-point LOD score of every
// marker (whole and component nuclear pedigrees) and the haplotype-relative-
// risk p-values of every marker.
#include <algorithm>
#include <iomanip>
#include <iostream>
#include <optional>

#include "file.h"
#include "marker_map.h"
#include "orlex.h"

// The position of the named marker's record in a row of two-point results.
static std::optional<std::size_t> positionOf(const std::vector<MLinkMarker*>& row,
                                             const std::string& name) {
    const auto found = std::find_if(row.begin(), row.end(), [&name](const MLinkMarker* record) {
        return record != nullptr && record->getIndex() == name;
    });
    return found == row.end() ? std::nullopt : std::optional<std::size_t>(found - row.begin());
}

static const MLinkMarker* markerNamed(const std::vector<MLinkMarker*>& row,
                                      const std::string& name) {
    const std::optional<std::size_t> position = positionOf(row, name);
    return position ? row[*position] : nullptr;
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

static void writeHLod(std::ostream& out, const MLinkHLod& best) {
    out << std::setw(13) << std::setprecision(6) << best.hlod << std::setprecision(2)
        << std::setw(10) << best.theta << std::setw(10) << best.alpha;
}

// The best heterogeneity point of every marker of row i, and of the same
// marker in the nuclear analysis.
static void writeLodHetTable(std::ostream& out, const MLink& basic, const MLink* nuclear,
                             std::size_t i, bool nuclearAnalysis) {
    out << std::setw(20) << "Marker" << std::setw(13) << "LodHet" << std::setw(10) << "Theta"
        << std::setw(10) << "Alpha";
    if (nuclearAnalysis) {
        out << std::setw(13) << "NucLodHet" << std::setw(10) << "Theta" << std::setw(10) << "Alpha";
    }
    out << "\n";
    if (i >= basic.bestHlods.size()) {
        return;
    }
    const std::vector<MLinkMarker*>& row = basic.results[i];
    for (std::size_t k = 0; k < basic.bestHlods[i].size() && k < row.size(); ++k) {
        if (row[k] == nullptr) {
            continue;
        }
        out << std::setw(20) << row[k]->getIndex();
        writeHLod(out, basic.bestHlods[i][k]);
        if (nuclear != nullptr && i < nuclear->results.size() && i < nuclear->bestHlods.size()) {
            const std::optional<std::size_t> position =
                positionOf(nuclear->results[i], row[k]->getIndex());
            if (position && *position < nuclear->bestHlods[i].size()) {
                writeHLod(out, nuclear->bestHlods[i][*position]);
            }
        }
        out << "\n";
    }
}

static void writeLinkagePart(std::ostream& out, const MLink& basic, const MLink* nuclear,
                             bool nuclearAnalysis, bool hlodAnalysis) {
    out << "Parametric Linkage analysis summary - All on Lod Score Scale\n\n";
    const bool phenotypeRows = basic.results.size() == basic.selectedPhenotypes.size();
    for (std::size_t i = 0; i < basic.results.size(); ++i) {
        if (phenotypeRows) {
            out << "Phenotype: " << basic.selectedPhenotypes[i] << "\n\n";
        }
        const std::vector<MLinkMarker*>* nuclearRow =
            nuclear != nullptr && i < nuclear->results.size() ? &nuclear->results[i] : nullptr;
        writeLodHomTable(out, basic.results[i], nuclearRow, nuclearAnalysis);
        if (hlodAnalysis) {
            writeLodHetTable(out, basic, nuclear, i, nuclearAnalysis);
        }
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
        writeLinkagePart(out, *basicMLink, nuclearMLink.get(), nuclearAnalysis, hlodAnalysis);
    }
    if (hrr != nullptr) {
        writeAssociationPart(out, *hrr, *pedigrees->getMarkerMap());
    }
    if (!file.writeOutputBufferAndClose()) {
        std::cout << std::endl << "Error: Unable to write " << fileName << std::endl;
        return false;
    }
    std::cout << std::endl;
    return true;
}
