#include "model.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <utility>
#include <vector>

#include "locus_file.h"
#include "utilities.h"

static std::string numberText(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

// Reads and checks the numbers of one model file; false with error() set at
// the first fault.
class ModelFileParser {
  public:
    ModelFileParser(std::string fileName, std::string text)
        : fileName_(std::move(fileName)), in_(std::move(text)) {}

    bool parse();
    int sexLinked() const { return sexLinked_; }
    std::unique_ptr<Locus> takeLocus() { return std::move(locus_); }
    const std::string& error() const { return error_; }

  private:
    bool readPenetrances(std::vector<double>& values, int count, const std::string& what);

    bool failAtLine(const std::string& problem) {
        error_ = "Error: model file " + fileName_ + ", line " + std::to_string(in_.line()) + ": " +
                 problem;
        return false;
    }

    const std::string fileName_;
    LinkageTextReader in_;
    int sexLinked_ = 0;
    std::unique_ptr<Locus> locus_;
    std::string error_;
};

bool ModelFileParser::parse() {
    if (!in_.readInt(sexLinked_, "the sex-linked flag")) {
        return failAtLine(in_.problem());
    }
    if (sexLinked_ != 0 && sexLinked_ != 1) {
        return failAtLine("the sex-linked flag must be 0 or 1, not " + std::to_string(sexLinked_));
    }
    double frequency = 0.0;
    if (!in_.readDouble(frequency, "the disease allele frequency")) {
        return failAtLine(in_.problem());
    }
    if (!(frequency > 0.0 && frequency < 1.0)) {
        return failAtLine("the disease allele frequency must lie strictly between 0 and 1, not " +
                          numberText(frequency));
    }
    int classes = 0;
    if (!in_.readInt(classes, "the number of liability classes")) {
        return failAtLine(in_.problem());
    }
    if (classes < 1) {
        return failAtLine("the number of liability classes must be at least 1, not " +
                          std::to_string(classes));
    }
    locus_ = std::make_unique<Locus>(Model::diseaseLocusId, Locus::affectionType, 2);
    locus_->addAlleleFrequencies({1.0 - frequency, frequency});
    for (int k = 0; k < classes; ++k) {
        const std::string liability = "liability class " + std::to_string(k + 1);
        std::vector<double> penetrances;
        if (!readPenetrances(penetrances, 3, "a penetrance of " + liability)) {
            return false;
        }
        locus_->setFemalePenetrances(penetrances);
        if (sexLinked_ == 1) {
            if (!readPenetrances(penetrances, 2, "a male penetrance of " + liability)) {
                return false;
            }
            locus_->setMalePenetrances(penetrances);
        }
    }
    return true;
}

// One line of penetrances, each in [0, 1]; a comment may follow them.
bool ModelFileParser::readPenetrances(std::vector<double>& values, int count,
                                      const std::string& what) {
    values.clear();
    for (int i = 0; i < count; ++i) {
        double value = 0.0;
        if (!in_.readDouble(value, what)) {
            return failAtLine(in_.problem());
        }
        if (!(value >= 0.0 && value <= 1.0)) {
            return failAtLine(what + " must lie between 0 and 1, not " + numberText(value));
        }
        values.push_back(value);
    }
    in_.skipRestOfLine();
    return true;
}

Model::~Model() {
    delete locus;
}

bool Model::readModelFile(const std::string& fileName) {
    std::cout << "Reading model file: " << fileName;
    const std::string problem = inputFileProblem(fileName);
    if (!problem.empty()) {
        std::cout << "..failed\n"
                  << "Error: The model file " << fileName << " " << problem << '\n';
        return false;
    }
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        std::cout << "..failed\n"
                  << "Error: Unable to open model file " << fileName << " for reading.\n";
        return false;
    }
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    in.close();
    ModelFileParser parser(fileName, std::move(text));
    if (!parser.parse()) {
        std::cout << "..failed\n" << parser.error() << '\n';
        return false;
    }
    sexLinked = parser.sexLinked();
    delete locus;
    locus = parser.takeLocus().release();
    std::cout << "...done\n";
    return true;
}

void Model::makeModel() {
    std::cout << "Generating model";
    sexLinked = 0;
    delete locus;
    locus = new Locus(diseaseLocusId, Locus::affectionType, 2);
    locus->addAlleleFrequencies({0.99, 0.01});
    locus->setFemalePenetrances({0.01, 0.9, 0.9});
    std::cout << "...done\n";
}
