// Pre-MAKEPED pedigree files converted through makepedvant, and marriage and
// consanguinity loops broken through unknown -l, both in the working
// directory.
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <utility>

#include "marker_map.h"
#include "pedigrees.h"
#include "utilities.h"

static void printEngineErrorBox(const std::string& message, const std::string& command,
                                const EngineRun& run, bool verbose) {
    const std::string stars(66, '*');
    std::cout << '\n' << stars << '\n' << message << '\n';
    printEngineMessages(command, run, verbose);
    std::cout << stars << "\n" << std::endl;
    printEngineEnding(command, run.status);
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

// A file with Mendelian errors is converted only where the markers with
// errors are then skipped; the user is told both ways on.
static void printMendelianErrorRefusal(const std::string& fileName) {
    const std::filesystem::path path(fileName);
    const std::string converted =
        (path.parent_path() / (path.stem().string() + "_linkage.ped")).string();
    std::cout << "Error: The pre-MAKEPED pedigree file " << fileName
              << " has Mendelian errors (see mendel.err) and is not converted. To go on, "
                 "correct the genotypes; or run vantrel with --skipmendelerrors, which skips "
                 "the markers with errors; or convert the file first with makepedvant "
              << shellQuote(fileName) << " " << shellQuote(converted)
              << " n and analyse the converted file with --post" << std::endl;
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

// The store that validates a pre-MAKEPED file, with the marker map it
// borrows; the map goes back to its lender before the store is deleted.
class ValidationStore {
  public:
    explicit ValidationStore(MarkerMap* map) : store_(std::make_unique<Pedigrees>()) {
        store_->setMarkerMap(map);
    }
    ~ValidationStore() { store_->setMarkerMap(nullptr); }
    ValidationStore(const ValidationStore&) = delete;
    ValidationStore& operator=(const ValidationStore&) = delete;

    Pedigrees& store() const { return *store_; }

  private:
    std::unique_ptr<Pedigrees> store_;
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
    // It lives on while the converted file is read, which takes its
    // genotypes over rather than making them again.
    const ValidationStore validation(markerMap);
    Pedigrees& validating = validation.store();
    validating.linkageFormat = false;
    validating.affectionStatusColumn = affectionStatusColumn;
    validating.liabilityClassColumn = liabilityClassColumn;
    validating.xlinked = xlinked;
    validating.verbose = verbose;
    validating.countAllelesOnRead = false;
    const bool validated = validating.readPedigreeFile(fileName);
    mendelianErrorsFound = validating.mendelianErrorsFound;
    // The validation read writes the reports of the file.
    reportFileLost = reportFileLost || validating.reportFileLost;
    if (!validated) {
        return false;
    }
    if (mendelianErrorsFound && !skipMendelianErrors) {
        printMendelianErrorRefusal(fileName);
        return false;
    }

    std::cout << "(Converting pedigree file " << fileName << " to linkage format)" << std::endl;
    const ConvertedFileRemoval removal(convertedFileName);
    const std::string command =
        "makepedvant " + shellQuote(converterInput) + " " + shellQuote(convertedFileName) + " n";
    if (const EngineRun run = runEngineCommand(command, verbose); run.status != 0) {
        printEngineErrorBox(
            "Error in converting pedigree file " + converterInput + " with MAKEPED...", command,
            run, verbose);
        return false;
    }

    linkageFormat = true;
    convertedLinkageFormat = true;
    // A trimmed file is not the one validated.
    mendelianConsistencyKnown = !mendelianErrorsFound && !trimRequested;
    familyChecksKnown = !trimRequested;
    validatedStore = &validating;
    const bool read = readPedigreeFile(convertedFileName);
    validatedStore = nullptr;
    mendelianConsistencyKnown = false;
    familyChecksKnown = false;
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
    if (const EngineRun run = runEngineCommand(command, verboseOutput); run.status != 0) {
        printEngineErrorBox("Error in breaking loops with UNKNOWN...", command, run, verboseOutput);
        return false;
    }
    return copy_file("lpedfile.dat", "pedfile.dat");
}
