// Pre-MAKEPED pedigree files converted through makepedvant, and marriage and
// consanguinity loops broken through unknown -l, both in the working
// directory.
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <utility>

#include "marker_map.h"
#include "pedigrees.h"
#include "utilities.h"

static void printEngineErrorBox(const std::string& message, const std::string& command, int status,
                                bool verbose) {
    const std::string stars(66, '*');
    std::cout << std::endl
              << stars << std::endl
              << message << std::endl
              << stars << std::endl
              << std::endl;
    printEngineEnding(command, status, verbose);
}

// Removes a file an earlier run left behind; true when it is gone.
static bool removeStaleFile(const std::string& fileName) {
    std::error_code error;
    std::filesystem::remove(fileName, error);
    if (error) {
        std::cout << "Error: Unable to remove " << fileName << " left by an earlier run!"
                  << std::endl;
        return false;
    }
    return true;
}

static bool isRegularFile(const std::string& fileName) {
    std::error_code ignored;
    return std::filesystem::is_regular_file(fileName, ignored);
}

bool Pedigrees::readAndConvertPreToLinkage(const std::string& fileName) {
    return readAndConvertPreToLinkage(fileName, false);
}

// Removes the converted file when the conversion ends, whichever way: the
// check before the conversion made sure that no file of the user's has its
// name.
class ConvertedFileRemoval {
  public:
    explicit ConvertedFileRemoval(std::string fileName) : fileName_(std::move(fileName)) {}
    ~ConvertedFileRemoval() {
        std::error_code ignored;
        std::filesystem::remove(fileName_, ignored);
    }
    ConvertedFileRemoval(const ConvertedFileRemoval&) = delete;
    ConvertedFileRemoval& operator=(const ConvertedFileRemoval&) = delete;

  private:
    std::string fileName_;
};

bool Pedigrees::readAndConvertPreToLinkage(const std::string& fileName, bool skipMendelianErrors) {
    pedigreeFileName = fileName;
    // Written into the working directory, never beside the input: the input
    // folder may be read-only or hold a file of that name.
    const std::string convertedFileName =
        std::filesystem::path(fileName).filename().string() + ".linkage";
    const std::string converterInput = trimRequested ? fileName + ".trimmed" : fileName;
    // The converter writes the partial file first and renames it.
    for (const std::string& name : {convertedFileName, convertedFileName + ".partial"}) {
        std::error_code ignored;
        const auto entry = std::filesystem::symlink_status(name, ignored);
        if (std::filesystem::exists(entry) || std::filesystem::is_symlink(entry)) {
            std::cout << "Error: " << name
                      << " already exists in the working directory, and the conversion of the "
                         "pedigree file would overwrite and then remove it: run in a directory "
                         "without it, or remove it"
                      << std::endl;
            return false;
        }
    }
    // Nothing in this package writes the trimmed file; without it the
    // converter has nothing to convert.
    if (trimRequested && !isRegularFile(converterInput)) {
        std::cout << "Error: Unable to open trimmed pedigree file " << converterInput
                  << " for reading!" << std::endl;
        return false;
    }

    // The pre-MAKEPED file is validated in a store of its own that borrows
    // this store's marker map (and generates it there when none was read).
    auto* validation = new Pedigrees();
    validation->linkageFormat = false;
    validation->affectionStatusColumn = affectionStatusColumn;
    validation->liabilityClassColumn = liabilityClassColumn;
    validation->xlinked = xlinked;
    validation->verbose = verbose;
    validation->setMarkerMap(markerMap);
    validation->countAllelesOnRead = false;
    const bool validated = validation->readPedigreeFile(fileName);
    const bool validationMendelianErrors = validation->mendelianErrorsFound;
    // The validation read writes the reports of the file.
    reportFileLost = reportFileLost || validation->reportFileLost;
    validation->setMarkerMap(nullptr);
    delete validation;
    mendelianErrorsFound = validationMendelianErrors;
    if (!validated || (mendelianErrorsFound && !skipMendelianErrors)) {
        return false;
    }

    std::cout << "(Converting pedigree file " << fileName << " to linkage format)" << std::endl;
    const ConvertedFileRemoval removal(convertedFileName);
    const std::string command =
        "makepedvant " + shellQuote(converterInput) + " " + shellQuote(convertedFileName) + " n";
    if (const int status = execute_program_command(command, verbose); status != 0) {
        printEngineErrorBox(
            "Error in converting pedigree file " + converterInput + " with MAKEPED...", command,
            status, verbose);
        return false;
    }

    linkageFormat = true;
    convertedLinkageFormat = true;
    // A trimmed file is not the one validated.
    mendelianConsistencyKnown = !mendelianErrorsFound && !trimRequested;
    const bool read = readPedigreeFile(convertedFileName);
    mendelianConsistencyKnown = false;
    return read;
}

bool Pedigrees::break_loops(bool jointProgram, bool verboseOutput) {
    if (verboseOutput) {
        std::cout << "Breaking loops..." << std::endl;
    }
    // Loop breaking reads the current marker's datafile; without it the
    // loop breakers would be chosen for another marker, or not at all.
    if (!isRegularFile("datafile.dat")) {
        std::cout << "Error: Unable to break loops without datafile.dat!" << std::endl;
        return false;
    }
    // The loop-broken file of an earlier marker must not replace this one's
    // pedigree file if unknown writes none.
    if (!removeStaleFile("lpedfile.dat")) {
        return false;
    }
    const std::string command = std::string(jointProgram ? "unknownvant" : "unknownorlex") + " -l ";
    if (const int status = execute_program_command(command, verboseOutput); status != 0) {
        printEngineErrorBox("Error in breaking loops with UNKNOWN...", command, status,
                            verboseOutput);
        return false;
    }
    return copy_file("lpedfile.dat", "pedfile.dat");
}
