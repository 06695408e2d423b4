// vantrel's result files: the detail report, one table of every phenotype,
// model and marker, and the charts of each phenotype and model.
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "locus.h"
#include "utilities.h"
#include "vantrel.h"
#include "vt_results.h"

namespace {

const char* const citations =
    "Please cite the methods this analysis rests on:\n"
    "  Likelihoods of the pedigrees (FASTLINK, on the LINKAGE programs):\n"
    "    Lathrop GM, Lalouel JM, Julier C, Ott J (1984) Strategies for multilocus\n"
    "      linkage analysis in humans. Proc Natl Acad Sci USA 81:3443-3446.\n"
    "    Cottingham RW Jr, Idury RM, Schaffer AA (1993) Faster sequential genetic\n"
    "      linkage computations. Am J Hum Genet 53:252-263.\n"
    "    Schaffer AA, Gupta SK, Shriram K, Cottingham RW Jr (1994) Avoiding\n"
    "      recomputation in linkage analysis. Hum Hered 44:225-237.\n"
    "  Likelihood-ratio tests of a parameter on the boundary of its range\n"
    "  (the halved and mixed chi-square p-values):\n"
    "    Self SG, Liang KY (1987) Asymptotic properties of maximum likelihood\n"
    "      estimators and likelihood ratio tests under nonstandard conditions.\n"
    "      J Am Stat Assoc 82:605-610.\n"
    "\n";

// The title underlined with '=' and followed by an empty line.
std::string heading(const std::string& title) {
    return title + "\n" + std::string(title.size(), '=') + "\n\n";
}

// The names, each followed by a blank, the first alone on its line and ten
// on each later one; the last line is left open.
std::string skippedMarkers(const std::string& title, const std::vector<std::string>& names) {
    if (names.empty()) {
        return "";
    }
    std::string text = "\n" + title + "\n" + std::string(title.size(), '=') + "\n";
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += names[i] + " ";
        if (i % 10 == 0) {
            text += "\n";
        }
    }
    return text;
}

}  // namespace

std::string Vantrel::inputSummaryText() const {
    const int caseDummies = static_cast<int>(pedigrees->getCaseControlPedigreeCount("case"));
    const int controlDummies = static_cast<int>(pedigrees->getCaseControlPedigreeCount("control"));
    const int dummies = caseDummies + controlDummies;
    const int allPedigrees = pedigrees->pedigreeTree->count;
    const int allPersons = pedigrees->getPedigreePersonCount();
    // The pedigree file's own counts: a dummy pedigree holds three persons,
    // two singletons (or one and a dummy spouse) and their dummy child.
    std::ostringstream out;
    out << "Input files\n" << std::string(24, '=') << '\n';
    out << "Pedigree file          : " << pedigreeFileName << '\n';
    out << "  # pedigrees          : " << allPedigrees - dummies << '\n';
    out << "  # persons            : " << allPersons - 3 * dummies << '\n';
    const struct {
        bool given;
        const char* label;
        const std::string& name;
    } optionalFiles[] = {
        {linkageLocusFileGiven, "Linkage locus file     : ", linkageLocusFileName},
        {mapFileGiven, "Map file               : ", mapFileName},
        {modelFileGiven, "Model file             : ", modelFileName},
        {phenotypeFileGiven, "Phenotype file         : ", phenotypeFileName},
    };
    for (const auto& file : optionalFiles) {
        if (file.given) {
            out << file.label << file.name << '\n';
        }
    }
    if (caseFilesGiven) {
        out << "Cases genotype file    : " << caseGenotypeFileName << '\n';
        out << "  # singletons         : " << pedigrees->caseSingletonCount << '\n';
        out << "  # dummy pedigrees    : " << caseDummies << '\n';
        out << "Cases map file         : " << caseMapFileName << '\n';
    }
    if (controlFilesGiven) {
        out << "Controls genotype file : " << controlGenotypeFileName << '\n';
        out << "  # singletons         : " << pedigrees->controlSingletonCount << '\n';
        out << "  # dummy pedigrees    : " << controlDummies << '\n';
        out << "Controls map file      : " << controlMapFileName << '\n';
    }
    out << '\n';
    if (caseFilesGiven || controlFilesGiven) {
        out << "Pedigree statistics\n" << std::string(24, '=') << '\n';
        out << "Total # of pedigrees   : " << allPedigrees << '\n';
        out << "Total # of persons     : " << allPersons
            << " (including singleton pedigree 'dummy' kids) \n\n";
    }
    out << '\n';
    return out.str();
}

std::string Vantrel::detailFileText() const {
    std::ostringstream out;
    out << welcome() << '\n';
    out << "Date : " << current_time_and_date() << '\n';
    out << citations;
    out << inputSummaryText();
    const Locus* traitLocus = linkageLocusFile != nullptr ? linkageLocusFile->getLocus(0) : nullptr;
    if (modelBasedAnalysis && traitLocus != nullptr) {
        out << "\nParameters used model-based analysis:\n"
            << traitLocus->toStringDiseaseLocus(xlinked ? 1 : 0) << "\n\n";
    }

    using Block = std::string (VTResults::*)() const;
    const std::pair<const char*, Block> sections[] = {
        {"LOD SCORE statistics", &VTResults::getLodScoresInString},
        {"p-value statistics", &VTResults::getPValuesInString},
        {"-2ln(Likelihood) difference", &VTResults::get2lnLikelihoodsDifferencesInString},
        {"-2ln(Likelihood)", &VTResults::getLikelihoodsInString},
        {"Maximized allele and haplotype frequencies",
         &VTResults::getAlleleandHaplotypeFrequenciesInString},
        {"Detail maximization info", &VTResults::getAllMaximitionInfoInString},
    };
    for (const auto& [title, block] : sections) {
        out << heading(title);
        if (block == &VTResults::get2lnLikelihoodsDifferencesInString) {
            out << "After -2ln(Like) difference in brackets is the degrees of freedom (df)\n\n";
        }
        for (const auto& result : results) {
            out << result->getInfo() << '\n' << ((*result).*block)();
        }
        out << '\n';
    }

    out << heading("LD measures between disease and marker loci");
    for (const int hypothesis : {2, 3}) {
        if (hypothesis == 3) {
            out << '\n';
        }
        out << heading(hypothesis == 2 ? "Hypothesis H2: Linkage=No, LD=YES"
                                       : "Hypothesis H3: Linkage=YES, LD=YES");
        for (const auto& result : results) {
            out << result->getInfo() << '\n' << result->getLDmeasures(hypothesis) << '\n';
        }
    }
    out << skippedMarkerLists() << '\n';
    return out.str();
}

static const char* const impossibleTitle =
    "Following markers with a zero likelihood (impossible genotypes) were not analysed:";

std::string Vantrel::skippedMarkerLists() const {
    return skippedMarkers("Following monomorphic markers were not analysed:", monomorphicMarkers) +
           skippedMarkers("Following markers with Mendel errors were not analysed:",
                          mendelErrorMarkers) +
           skippedMarkers(impossibleTitle, impossibleMarkers);
}

std::string Vantrel::tableFileText() const {
    std::string text = "# VANTREL analysis results in table format\n";
    for (std::size_t i = 0; i < results.size(); ++i) {
        text += results[i]->getInfoLodscorePValuesInString(static_cast<unsigned int>(i));
    }
    // Only rows: a table reader takes every line as one. The skipped markers
    // are listed in the detail file and on the console.
    return text + "\n\n";
}

bool Vantrel::writeCharts() {
    bool written = true;
    // Lower-casing can give two phenotypes one file name; the first keeps it.
    std::map<std::string, const VTResults*> chartOwners;
    for (const auto& result : results) {
        result->outputPrefix = outputPrefix;
        result->runDate = current_time_and_date();
        const std::string fileName = result->chartFileName();
        const auto [owner, isNew] = chartOwners.emplace(fileName, result.get());
        if (!isNew) {
            std::cout << "Error: The " << result->modelName << " charts of phenotypes "
                      << owner->second->phenotypeName << " and " << result->phenotypeName
                      << " would both be written to " << fileName << "; the chart of "
                      << result->phenotypeName << " is not written" << std::endl;
            written = false;
            continue;
        }
        written = result->writeGraphs() && written;
    }
    return written;
}

bool Vantrel::write_result_files() {
    if (!dominantAnalysis && !recessiveAnalysis && !modelBasedAnalysis) {
        return true;
    }
    const std::string detailName = outputPrefix + ".out";
    if (!writeTextFile(detailName, detailFileText())) {
        return false;
    }
    std::cout << "Detail output file is '" << detailName << "'" << std::endl;

    const std::string tableName = outputPrefix + "_tbl.out";
    if (!writeTextFile(tableName, tableFileText())) {
        return false;
    }
    std::cout << "Table format output file is '" << tableName << "'" << std::endl;

    const bool chartsWritten = writeCharts();
    const std::string skipped = skippedMarkerLists();
    std::cout << (skipped.empty() ? "" : skipped + "\n") << '\n';
    if (!monomorphicMarkers.empty()) {
        std::cout << "Note: Some markers were monomorphic and were omitted from the analysis! "
                     "See output files!\n";
    }
    if (!mendelErrorMarkers.empty()) {
        std::cout << "Note: Some markers with Mendelian errorr were skipped! See output files!\n";
    }
    if (!impossibleMarkers.empty()) {
        std::cout << "Note: Some markers with a zero likelihood were not analysed! See output "
                     "files!\n";
    }
    std::cout << std::endl;
    return chartsWritten;
}
