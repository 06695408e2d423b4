// Times the randomisation test of the haplotype-relative-risk analysis on one
// marker: HrrMarker::Randomize (count arrays, draws through a precomputed
// cumulative table) against a literal version that fills fresh maps of
// names for every replicate and searches the cumulative list for every draw.
// Both run the same number of replicates on the same counts, one after the
// other in this run, and print their seconds and p-values.
//
//   bench_hrr [TRIOS [ALLELES [REPLICATES_OF_THE_LITERAL_VERSION]]]
//   (defaults: 500 trios, 10 alleles, 100000 replicates)
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "hrr.h"
#include "marker_info.h"
#include "utilities.h"

template <typename Step>
static double seconds(Step step) {
    const auto start = std::chrono::steady_clock::now();
    step();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Counts of trios whose parents carry alleles with a skewed frequency, the
// child taking one allele of each parent at random.
static void fillTrios(HrrMarker& record, int trios, int alleles) {
    std::mt19937 generator(12345);
    std::vector<double> weights;
    for (int a = 0; a < alleles; ++a) {
        weights.push_back(1.0 + a);
    }
    std::discrete_distribution<int> allele(weights.begin(), weights.end());
    std::bernoulli_distribution coin(0.5);
    const auto name = [&record](int a) { return record.alleleNames[a]; };
    for (int t = 0; t < trios; ++t) {
        const int mother[2] = {allele(generator), allele(generator)};
        const int father[2] = {allele(generator), allele(generator)};
        const int m = coin(generator) ? 1 : 0;
        const int f = coin(generator) ? 1 : 0;
        record.addCaseCountForGenotype(record.getGenotypeName(name(mother[m]), name(father[f])));
        record.addCaseAlleleCount(name(mother[m]));
        record.addCaseAlleleCount(name(father[f]));
        record.addControlCountForGenotype(
            record.getGenotypeName(name(mother[1 - m]), name(father[1 - f])));
        record.addControlAlleleCount(name(mother[1 - m]));
        record.addControlAlleleCount(name(father[1 - f]));
    }
}

// The test as a literal reading of its description: fresh maps from
// templates for every replicate, a linear search of the cumulative list and
// map updates for every draw, the statistics from the maps.
static std::pair<double, double> literalRandomize(HrrMarker& record, int replicates) {
    std::map<std::string, int> alleleTemplate;
    std::map<std::string, int> genotypeTemplate;
    for (const std::string& name : record.alleleNames) {
        alleleTemplate[name] = 0;
    }
    std::vector<std::pair<std::string, std::string>> allelesOfGenotype;
    for (const std::string& name : record.genotypeNames) {
        genotypeTemplate[name] = 0;
        const auto slash = name.find('/');
        allelesOfGenotype.emplace_back(name.substr(0, slash), name.substr(slash + 1));
    }
    const std::vector<double> cumulative = record.getProbabilityDistribution();
    record.countLRT("allele", record.caseAlleleCounts, record.controlAlleleCounts);
    record.countLRT("genotype", record.caseGenotypeCounts, record.controlGenotypeCounts);
    const auto drawInto = [&](std::map<std::string, int>& genotypes,
                              std::map<std::string, int>& alleles) {
        const double u = getRandom();
        const auto k = std::find_if(cumulative.begin(), cumulative.end(),
                                    [u](double share) { return share >= u; }) -
                       cumulative.begin();
        if (k == static_cast<long>(cumulative.size())) {
            return;
        }
        ++genotypes[record.genotypeNames[k]];
        ++alleles[allelesOfGenotype[k].first];
        ++alleles[allelesOfGenotype[k].second];
    };
    int alleleHits = 0;
    int genotypeHits = 0;
    for (int r = 0; r < replicates; ++r) {
        std::map<std::string, int> caseAlleles = alleleTemplate;
        std::map<std::string, int> controlAlleles = alleleTemplate;
        std::map<std::string, int> caseGenotypes = genotypeTemplate;
        std::map<std::string, int> controlGenotypes = genotypeTemplate;
        for (int i = 0; i < record.caseGenotypeTotal; ++i) {
            drawInto(caseGenotypes, caseAlleles);
        }
        for (int i = 0; i < record.controlGenotypeTotal; ++i) {
            drawInto(controlGenotypes, controlAlleles);
        }
        alleleHits += record.getLRT("allele", caseAlleles, controlAlleles) >= record.alleleLRT;
        genotypeHits +=
            record.getLRT("genotype", caseGenotypes, controlGenotypes) >= record.genotypeLRT;
    }
    return {alleleHits / static_cast<double>(replicates),
            genotypeHits / static_cast<double>(replicates)};
}

int main(int argc, char** argv) {
    const int trios = argc > 1 ? std::atoi(argv[1]) : 500;
    const int alleleCount = argc > 2 ? std::atoi(argv[2]) : 10;
    const int literalReplicates = argc > 3 ? std::atoi(argv[3]) : HrrMarker::replicates;
    if (trios < 1 || alleleCount < 1 || literalReplicates < 1) {
        std::cerr << "usage: bench_hrr [TRIOS [ALLELES [REPLICATES_OF_THE_LITERAL_VERSION]]]\n";
        return 1;
    }
    std::vector<std::unique_ptr<Allele>> owned;
    std::vector<Allele*> alleles;
    for (int a = 1; a <= alleleCount; ++a) {
        owned.push_back(std::make_unique<Allele>(IntToString(a)));
        alleles.push_back(owned.back().get());
    }
    HrrMarker record("0", alleles);
    fillTrios(record, trios, alleleCount);
    record.quiet = true;

    const double fast = seconds([&] { record.Randomize(); });
    std::pair<double, double> literal;
    const double slow = seconds([&] { literal = literalRandomize(record, literalReplicates); });
    const double slowFull = slow * HrrMarker::replicates / literalReplicates;

    std::cout << trios << " trios, " << alleleCount << " alleles (" << record.genotypeNames.size()
              << " genotypes), " << HrrMarker::replicates << " replicates\n";
    std::cout << "count arrays and cumulative table: " << fast << " s (allele p "
              << record.alleleRandomizedPValue << ", genotype p " << record.genotypeRandomizedPValue
              << ")\n";
    std::cout << "maps for every replicate:          " << slowFull << " s";
    if (literalReplicates != HrrMarker::replicates) {
        std::cout << " (scaled from " << literalReplicates << " replicates)";
    }
    std::cout << " (allele p " << literal.first << ", genotype p " << literal.second << ")\n";
    std::cout << "ratio: " << slowFull / fast << "\n";
    return 0;
}
