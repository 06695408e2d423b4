#include "locus.h"

#include <iomanip>
#include <sstream>
#include <utility>

#include "utilities.h"

Locus::Locus(std::string id, int type, int numberOfAlleles)
    : id(std::move(id)), type(type), numberOfAlleles(numberOfAlleles) {}

Locus::Locus(const Locus* source) : Locus(*source) {}

double Locus::getAlleleFrequency(int i) const {
    if (i < 0 || static_cast<size_t>(i) >= alleleFrequencies.size()) {
        return -3.0;
    }
    return alleleFrequencies[static_cast<size_t>(i)];
}

void Locus::addAlleleFrequencies(const std::vector<double>& frequencies) {
    alleleFrequencies = frequencies;
}

void Locus::setFemalePenetrances(const std::vector<double>& penetrances) {
    femalePenetrances.push_back(penetrances);
    numberOfLiabClasses = static_cast<int>(femalePenetrances.size());
}

void Locus::setMalePenetrances(const std::vector<double>& penetrances) {
    malePenetrances.push_back(penetrances);
    numberOfLiabClasses = static_cast<int>(malePenetrances.size());
}

void Locus::setHaplotypeFrequencies(const std::vector<double>& frequencies) {
    haplotypeFrequencies = frequencies;
}

void Locus::setHaplotypeFrequenciesCond(const std::vector<double>& frequencies) {
    haplotypeFrequenciesCond = frequencies;
}

static bool holds(const std::vector<std::vector<double>>& rows, int k, int j) {
    return k >= 0 && static_cast<size_t>(k) < rows.size() && j >= 0 &&
           static_cast<size_t>(j) < rows[static_cast<size_t>(k)].size();
}

double Locus::femalePenetrance(int k, int j) const {
    return holds(femalePenetrances, k, j)
               ? femalePenetrances[static_cast<size_t>(k)][static_cast<size_t>(j)]
               : missingPenetrance;
}

double Locus::malePenetrance(int k, int j) const {
    return holds(malePenetrances, k, j)
               ? malePenetrances[static_cast<size_t>(k)][static_cast<size_t>(j)]
               : missingMalePenetrance;
}

bool Locus::hasFemalePenetrances(int k) const {
    return holds(femalePenetrances, k, 2);
}

bool Locus::hasMalePenetrances(int k) const {
    return holds(malePenetrances, k, 1);
}

// Every value followed by one blank, then the line feed.
static void writeValueLine(std::ostream& out, const std::vector<double>& values) {
    for (const double value : values) {
        writeNumber(out, value);
        out << ' ';
    }
    out << '\n';
}

std::string Locus::toString(int sexLink) const {
    std::ostringstream out;
    out << std::setprecision(17);
    out << type << ' ' << numberOfAlleles << '\n';
    switch (type) {
        case affectionType:
            writeValueLine(out, alleleFrequencies);
            out << numberOfLiabClasses << '\n';
            for (int k = 0; k < numberOfLiabClasses; ++k) {
                writeValueLine(
                    out, {femalePenetrance(k, 0), femalePenetrance(k, 1), femalePenetrance(k, 2)});
                if (sexLink == 1) {
                    writeValueLine(out, {malePenetrance(k, 0), malePenetrance(k, 1)});
                }
            }
            break;
        case numberedAllelesType:
            if (haplotypeFrequenciesOnOff) {
                writeValueLine(out, haplotypeFrequencies);
                writeValueLine(out, haplotypeFrequenciesCond);
            } else {
                writeValueLine(out, alleleFrequencies);
            }
            break;
        case quantitativeType:
            writeValueLine(out, alleleFrequencies);
            out << numberOfLiabClasses << '\n';
            // One line of three genotype means per trait, as the reader takes
            // them back.
            for (size_t i = 0; i < genotypeMeans.size(); ++i) {
                out << genotypeMeans[i] << ' ';
                if (i % 3 == 2 || i + 1 == genotypeMeans.size()) {
                    out << '\n';
                }
            }
            writeValueLine(out, variances);
            out << multiplier << '\n';
            break;
        default:
            break;
    }
    return out.str();
}

std::string Locus::toStringDiseaseLocus(int sexLink) const {
    std::ostringstream out;
    if (type != affectionType) {
        out << "This is not disease locus\n";
        return out.str();
    }
    const std::string equals(63, '=');
    out << equals << '\n';
    out << "Disease allele frequency: P(D) = " << getAlleleFrequency(1) << '\n';
    out << "Liability class  P(Affected|++)  P(Affected|D+)  P(Affected|DD)\n";
    out << std::string(63, '-') << '\n';
    for (int k = 0; k < numberOfLiabClasses; ++k) {
        out << std::setw(15) << k + 1;
        for (int j = 0; j < 3; ++j) {
            out << std::setw(15) << femalePenetrance(k, j) << ' ';
        }
        out << '\n';
        if (sexLink == 1) {
            out << std::string(15, ' ');
            for (int j = 0; j < 2; ++j) {
                out << std::setw(15) << malePenetrance(k, j) << ' ';
            }
            out << " (males)\n";
        }
    }
    out << equals << '\n';
    out << '\n';
    return out.str();
}
