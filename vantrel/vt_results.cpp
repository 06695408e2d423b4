#include "vt_results.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <limits>
#include <sstream>

#include "likelihoods.h"
#include "marker_info.h"
#include "marker_map.h"
#include "utilities.h"

namespace {

constexpr double twoLn10 = 4.605170185988092;
const char* const testTitles[] = {"Linkage", "LD|Linkage", "LD|NoLinkage", "Linkage|LD",
                                  "LD+Linkage"};

std::string fixedText(double value) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(6) << value;
    return out.str();
}

// Small values in scientific notation, so that they do not print as 0.
std::string smallInScientific(double value, bool small) {
    std::ostringstream out;
    out << (small ? std::scientific : std::fixed) << std::setprecision(6) << value;
    return out.str();
}

std::string pValueText(double p) {
    return smallInScientific(p, p < 1e-6);
}

std::string ldMeasureText(double value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    return smallInScientific(value, std::fabs(value) < 1e-6);
}

std::vector<double> pValues(const VTResults::Statistics& s) {
    return {s.linkage, s.ldGivenLinkage, s.ldNoLinkage, s.linkageGivenLd, s.ldPlusLinkage};
}

void writeTitles(std::ostream& out, int width) {
    for (const char* title : testTitles) {
        out << std::setw(width) << title;
    }
}

void writeLeftFixed(std::ostream& out, const std::vector<double>& values) {
    for (const double value : values) {
        out << std::setw(10) << fixedText(value);
    }
}

double quotient(double numerator, double denominator) {
    return denominator == 0.0 ? std::numeric_limits<double>::quiet_NaN() : numerator / denominator;
}

}  // namespace

void VTResults::keep(std::map<std::string, Likelihoods*>& best, std::vector<Likelihoods*>& all,
                     const std::string& marker, Likelihoods* run) {
    run->markerName = marker;
    all.push_back(run);
    const auto kept = best.find(marker);
    if (kept == best.end()) {
        best[marker] = run;
    } else if (run->getMinLikelihood() < kept->second->getMinLikelihood()) {
        kept->second = run;
    }
}

void VTResults::addH1(const std::string& marker, Likelihoods* run) {
    keep(bestH1Runs, allH1Runs, marker, run);
}

void VTResults::addH2(const std::string& marker, Likelihoods* run) {
    keep(bestH2Runs, allH2Runs, marker, run);
}

void VTResults::addH3(const std::string& marker, Likelihoods* run) {
    keep(bestH3Runs, allH3Runs, marker, run);
}

std::string VTResults::getInfo() const {
    return modelName + " (Phenotype: " + phenotypeName + ")";
}

VTResults::Statistics VTResults::statistics(const std::string& marker) const {
    Statistics s;
    const Likelihoods& h0 = *h0Runs.at(marker);
    s.l0 = h0.getMinLikelihood();
    s.l1 = bestH1Runs.at(marker)->getMinLikelihood();
    s.l2 = bestH2Runs.at(marker)->getMinLikelihood();
    s.l3 = bestH3Runs.at(marker)->getMinLikelihood();
    s.alleles = h0.getNumberOfAlleles();
    const int k = s.alleles;
    s.lod = (s.l0 - s.l1) / twoLn10;
    // Theta is tested on the boundary 0.5 of its range, hence the halves.
    s.linkage = 0.5 * chipr(s.l0 - s.l1, 1);
    s.ldGivenLinkage = chipr(s.l1 - s.l3, k - 1);
    s.ldNoLinkage = chipr(s.l0 - s.l2, k - 1);
    // The full tail on purpose, unlike the linkage test: result files of
    // earlier runs were computed so and must stay comparable.
    s.linkageGivenLd = chipr(s.l2 - s.l3, 1);
    s.ldPlusLinkage = 0.5 * chipr(s.l0 - s.l3, k - 1) + 0.5 * chipr(s.l0 - s.l3, k);
    return s;
}

VTResults::LdMeasures VTResults::ldMeasures(double f, const std::vector<double>& p,
                                            const std::vector<double>& c) {
    const double hD1 = f * c.at(0);
    const double hD2 = f * c.at(1);
    const double hN1 = (1 - f) * p.at(0);
    const double hN2 = (1 - f) * p.at(1);
    const double pD = hD1 + hD2;
    const double pN = hN1 + hN2;
    const double pA1 = hD1 + hN1;
    const double pA2 = hD2 + hN2;
    LdMeasures m{};
    m.delta = hD1 - pD * pA1;
    const double dMax = m.delta >= 0 ? std::min(pD * pA2, pA1 * pN) : std::min(pD * pA1, pN * pA2);
    m.dPrime = quotient(m.delta, dMax);
    m.r2 = quotient(m.delta * m.delta, pA2 * pA1 * pD * pN);
    m.r = std::sqrt(m.r2);
    return m;
}

void VTResults::printInterMediateResults(const std::string& marker) const {
    const Statistics s = statistics(marker);
    std::ostringstream out;
    out << "\nLinkage LOD Score is " << s.lod << "\n\np-values:\n\n";
    writeTitles(out, 14);
    out << '\n';
    for (const double p : pValues(s)) {
        out << std::setw(14) << pValueText(p);
    }
    out << "\n\n";
    std::cout << out.str() << std::flush;
}

std::string VTResults::getLodScoresInString() const {
    std::ostringstream out;
    out << std::setw(13) << "Marker" << std::setw(13) << "Linkage" << '\n';
    for (const std::string& marker : markerNames) {
        out << std::setw(13) << marker << std::setw(13) << fixedText(statistics(marker).lod)
            << '\n';
    }
    return out.str();
}

std::string VTResults::getPValuesInString() const {
    std::ostringstream out;
    out << std::setw(13) << "Marker";
    writeTitles(out, 13);
    out << '\n';
    for (const std::string& marker : markerNames) {
        out << std::setw(13) << marker;
        for (const double p : pValues(statistics(marker))) {
            out << std::setw(13) << pValueText(p);
        }
        out << '\n';
    }
    return out.str();
}

std::string VTResults::getLikelihoodsInString() const {
    std::ostringstream out;
    out << std::setw(13) << "Marker";
    for (const char* hypothesis : {"H0", "H1", "H2", "H3"}) {
        out << std::setw(15) << hypothesis;
    }
    out << '\n';
    for (const std::string& marker : markerNames) {
        const Statistics s = statistics(marker);
        out << std::setw(13) << marker;
        for (const double value : {s.l0, s.l1, s.l2, s.l3}) {
            out << std::setw(15) << fixedText(value);
        }
        out << '\n';
    }
    return out.str();
}

std::string VTResults::get2lnLikelihoodsDifferencesInString() const {
    std::ostringstream out;
    out << std::string(13, ' ');
    for (const char* comparison :
         {"H0 vs. H1", "H1 vs. H3", "H0 vs. H2", "H2 vs. H3", "H0 vs. H3"}) {
        out << std::setw(15) << comparison;
    }
    out << '\n' << std::setw(13) << "Marker";
    writeTitles(out, 15);
    out << '\n';
    for (const std::string& marker : markerNames) {
        const Statistics s = statistics(marker);
        const int k = s.alleles;
        out << std::setw(13) << marker;
        out << std::setw(11) << fixedText(s.l0 - s.l1) << " (1)";
        out << std::setw(11) << fixedText(s.l1 - s.l3) << " (" << k - 1 << ")";
        out << std::setw(12) << fixedText(s.l0 - s.l2) << " (" << k - 1 << ")";
        out << std::setw(11) << fixedText(s.l2 - s.l3) << " (1)";
        out << std::setw(12) << fixedText(s.l0 - s.l3) << " (50%:" << k << " 50%:" << k - 1
            << ")\n";
    }
    out << '\n';
    return out.str();
}

std::string VTResults::frequencyBlock(const std::string& marker) const {
    std::ostringstream out;
    out << std::left;
    out << "Marker : " << marker << "\n\n";
    const Likelihoods& h0 = *h0Runs.at(marker);
    const auto info = markerInfos.find(marker);
    const std::size_t alleles = h0.getMinLikelihoodEstAlleleFreqs().size();
    for (std::size_t i = 1; i <= alleles; ++i) {
        const std::string newName = IntToString(static_cast<int>(i));
        out << std::setw(10)
            << (info != markerInfos.end() && info->second != nullptr
                    ? info->second->getOldAlleleWithNewName(newName)
                    : std::string("E"));
    }
    out << "Alleles\n";
    const auto runLine = [&out](const Likelihoods& run, const char* label) {
        writeLeftFixed(out, run.getMinLikelihoodEstAlleleFreqs());
        out << label;
        for (const double theta : run.getLastEstimatedThetas()) {
            out << fixedText(theta);
        }
        out << '\n';
    };
    const auto conditionalLine = [&out](const Likelihoods& run) {
        writeLeftFixed(out, run.getMinLikelihoodEstAlleleFreqsCond());
        out << "(D)\n";
    };
    runLine(h0, "Allele frequencies under H0 (Linkage=No, LD=No) Thetas: ");
    runLine(*bestH1Runs.at(marker), "Allele frequencies under H1 (Linkage=YES,LD=No) Thetas: ");
    const Likelihoods& h2 = *bestH2Runs.at(marker);
    runLine(h2, "(+) Conditional allele frequencies under H2 (Linkage=No, LD=YES) Thetas: ");
    conditionalLine(h2);
    const Likelihoods& h3 = *bestH3Runs.at(marker);
    runLine(h3, "(+) Conditional allele frequencies under H3 (Linkage=YES,LD=YES) Thetas: ");
    conditionalLine(h3);
    out << '\n';
    return out.str();
}

std::string VTResults::getAlleleandHaplotypeFrequenciesInString() const {
    std::string text;
    for (const std::string& marker : markerNames) {
        text += frequencyBlock(marker);
    }
    return text;
}

std::string VTResults::runsOf(const std::vector<Likelihoods*>& runs,
                              const std::string& marker) const {
    std::string text;
    for (const Likelihoods* run : runs) {
        if (run->markerName == marker) {
            text += run->InString();
        }
    }
    return text;
}

std::string VTResults::getAllMaximitionInfoInString() const {
    std::string text;
    for (const std::string& marker : markerNames) {
        text += "Marker " + marker + "\n";
        text += "H0: " + h0Runs.at(marker)->InString();
        text += "H1: " + runsOf(allH1Runs, marker);
        text += "H2: " + runsOf(allH2Runs, marker);
        text += "H3: " + runsOf(allH3Runs, marker);
        text += "\n";
    }
    return text;
}

std::string VTResults::getLDmeasures(int hypothesis) const {
    const auto& runs = hypothesis == 2 ? bestH2Runs : bestH3Runs;
    std::ostringstream out;
    out << std::setw(13) << "Marker";
    for (const char* measure : {"delta", "D'", "r", "r2"}) {
        out << std::setw(15) << measure;
    }
    out << '\n';
    for (const std::string& marker : markerNames) {
        const Likelihoods& run = *runs.at(marker);
        const std::vector<double> p = run.getMinLikelihoodEstAlleleFreqs();
        const std::vector<double> c = run.getMinLikelihoodEstAlleleFreqsCond();
        out << std::setw(13) << marker;
        if (p.size() != 2 || c.size() != 2) {
            out << "          LD measures are only for SNP markers\n";
            continue;
        }
        const LdMeasures m = ldMeasures(diseaseAlleleFrequency, p, c);
        for (const double value : {m.delta, m.dPrime, m.r, m.r2}) {
            out << std::setw(15) << ldMeasureText(value);
        }
        out << '\n';
    }
    return out.str();
}

std::string VTResults::getInfoLodscorePValuesInString(unsigned int index) const {
    std::ostringstream out;
    if (index == 0) {
        for (const char* title :
             {"Chr", "Marker", "bp", "cM", "Phenotype", "Model", "Linkage(lodscore)",
              "Linkage(p-value)", "LD|Linkage", "LD|NoLinkage", "Linkage|LD", "LD+Linkage"}) {
            out << title << ' ';
        }
        out << '\n';
    }
    for (const std::string& marker : markerNames) {
        const Statistics s = statistics(marker);
        out << (markerMap != nullptr ? markerMap->getFullMarkerInfo(marker) : std::string()) << ' '
            << phenotypeName << ' ' << modelTag << ' ' << fixedText(s.lod) << ' ';
        for (const double p : pValues(s)) {
            out << pValueText(p) << ' ';
        }
        out << '\n';
    }
    return out.str();
}
