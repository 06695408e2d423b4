// Running the engine programs through the shell and tidying up the files
// they exchange with the programs in the working directory.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <sys/wait.h>

#include "file.h"
#include "replacement_file.h"
#include "utilities.h"

namespace {

// With `replaceShell` the shell execs the command (one program with its
// arguments) instead of waiting for a child of its own: one process start
// less, which on a fast marker costs about as much as orlex's own work on it.
int runThroughShell(std::string command, bool verbose, bool replaceShell) {
    if (verbose) {
        std::cout << "External command: " << command << '\n';
    } else {
        command += " > /dev/null";
    }
    // Whatever this process has printed must reach the terminal before the
    // command's own output does.
    std::cout.flush();
    std::fflush(stdout);
    if (replaceShell) {
        command.insert(0, "exec ");
    }
    return std::system(command.c_str());
}

}  // namespace

int execute_external_command(std::string command, bool verbose) {
    return runThroughShell(std::move(command), verbose, false);
}

int execute_program_command(std::string command, bool verbose) {
    return runThroughShell(std::move(command), verbose, true);
}

std::string shellQuote(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += '\'';
    return quoted;
}

// The whole source is read before the destination is opened, so a read
// error leaves the destination untouched and a file may be copied onto
// itself.
bool copy_file(const char* source, const char* destination) {
    if (source == nullptr || destination == nullptr) {
        return false;
    }
    std::ifstream in(source);
    if (!in.is_open()) {
        std::cout << "Error: Unable to open " << source << " for reading!" << std::endl;
        return false;
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(std::move(line));
    }
    if (in.bad()) {
        std::cout << "Error: Unable to read " << source << "!" << std::endl;
        return false;
    }
    in.close();

    std::ofstream out(destination, std::ios::out | std::ios::trunc);
    if (!out.is_open()) {
        std::cout << "Error: Unable to open " << destination << " for writing!" << std::endl;
        return false;
    }
    for (const std::string& line : lines) {
        if (line.empty()) {
            std::cout << "EMPTY" << std::endl;
        } else {
            out << line << '\n';
        }
    }
    out.close();
    if (out.fail()) {
        std::cout << "Error: Unable to write " << destination << "!" << std::endl;
        return false;
    }
    return true;
}

bool writeTextFile(const std::string& fileName, const std::string& text) {
    File file;
    if (!file.openFile(fileName, "write")) {
        std::cout << "Error: Unable to open " << fileName << " for writing!" << std::endl;
        return false;
    }
    return finishTextFile(file, fileName, text);
}

bool finishTextFile(File& file, const std::string& fileName, const std::string& text) {
    file.outputBuffer << text;
    if (!file.writeOutputBufferAndClose()) {
        std::cout << "Error: Unable to write " << fileName << "!" << std::endl;
        return false;
    }
    return true;
}

const std::vector<std::string>& engineFileNames() {
    // The exchange files first, then the scratch files that unknown (with
    // gaps in person ids, or when breaking loops) and linkmap (at a theta
    // of 0) leave behind.
    static const std::vector<std::string> names = {
        "datafile.dat",     "FASTLINK.err",    "final.dat",    "ipedfile.dat",
        "lpedfile.dat",     "outfile.dat",     "pedfile.dat",  "speedfile.dat",
        "newspeedfile.dat", "stream.dat",      "loopfile.dat", "upedfile.dat",
        "countfile.dat",    "tpedfile.dat",    "linksave",     "linksave.outfile",
        "linksave.screen",  "linksave.stream",
    };
    return names;
}

void delete_intermediate_files() {
    for (const std::string& file : engineFileNames()) {
        std::remove(file.c_str());
    }
}

const std::vector<std::string>& reportFileNames() {
    static const std::vector<std::string> names = {"family.err", "mendel.err"};
    return names;
}

// What weakly_canonical(directory / name) gives for a directory that is
// already canonical and a plain file name: the name needs resolving of its
// own only where it exists (a link there names its target). False where its
// state cannot be learnt, as weakly_canonical then fails.
static bool resolvedIn(const std::filesystem::path& directory, const std::string& name,
                       std::filesystem::path& resolved) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path entry = directory / name;
    const fs::file_status status = fs::status(entry, error);
    if (fs::exists(status)) {
        resolved = fs::canonical(entry, error);
        return !error;
    }
    if (!fs::status_known(status)) {
        return false;
    }
    resolved = entry.lexically_normal();
    return true;
}

// The name of the list that the path names in the working directory (through
// a link or another spelling too), or "".
static std::string fileNamedBy(const std::string& path, const std::vector<std::string>& names) {
    namespace fs = std::filesystem;
    if (path.empty()) {
        return "";
    }
    std::error_code error;
    const fs::path input = fs::weakly_canonical(fs::absolute(path, error), error);
    // The working directory is resolved once for all the names, not once per
    // name: each resolution walks every component of the path.
    std::error_code directoryError;
    fs::path directory = fs::current_path(directoryError);
    if (!directoryError) {
        directory = fs::weakly_canonical(directory, directoryError);
    }
    for (const std::string& name : names) {
        fs::path exchange;
        if (!error && !directoryError && resolvedIn(directory, name, exchange) &&
            input == exchange) {
            return name;
        }
        std::error_code sameError;
        if (fs::equivalent(path, name, sameError) && !sameError) {
            return name;
        }
    }
    return "";
}

std::string engineFileNamedBy(const std::string& path) {
    return fileNamedBy(path, engineFileNames());
}

std::string runFileNamedBy(const std::string& path) {
    const std::string engineFile = engineFileNamedBy(path);
    return engineFile.empty() ? fileNamedBy(path, reportFileNames()) : engineFile;
}

static bool entryExists(const std::string& name) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(name, error);
    return std::filesystem::exists(status) || std::filesystem::is_symlink(status);
}

static bool isLink(const std::string& name) {
    std::error_code error;
    return std::filesystem::is_symlink(std::filesystem::symlink_status(name, error));
}

// "a", "a and b", "a, b and c".
static std::string listed(const std::vector<std::string>& words) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == words.size() ? " and " : ", ") + words[i];
    }
    return text;
}

bool refuseExistingEngineFiles() {
    std::vector<std::string> existing;
    const auto& names = engineFileNames();
    std::copy_if(names.begin(), names.end(), std::back_inserter(existing), entryExists);
    if (existing.empty()) {
        return true;
    }
    // A failed run leaves its engine files for a look at what went wrong;
    // the next run names them all at once, not one per attempt.
    std::vector<std::string> described;
    std::string command = "rm -f";
    bool folder = false;
    for (const std::string& name : existing) {
        described.push_back(name + (isLink(name) ? " (a link)" : ""));
        command += " " + name;
        std::error_code error;
        folder =
            folder || std::filesystem::is_directory(std::filesystem::symlink_status(name, error));
    }
    if (folder) {
        command.replace(0, 5, "rm -rf");
    }
    const bool one = existing.size() == 1;
    std::cout << "Error: " << listed(described) << (one ? " already exists" : " already exist")
              << " in the working directory: the engine would overwrite "
              << (one ? "it and the clean-up remove it: run in a directory without it, or remove it"
                      : "them and the clean-up remove them: run in a directory without them, or "
                        "remove them")
              << " with: " << command << std::endl;
    return false;
}

bool refuseLinkedReportFiles() {
    const auto& names = reportFileNames();
    const auto linked = std::find_if(names.begin(), names.end(), isLink);
    if (linked == names.end()) {
        return true;
    }
    std::cout << "Error: " << *linked
              << " in the working directory is a link, and the report is never written through "
                 "one: run in a directory without it, or remove it"
              << std::endl;
    return false;
}

bool checkFileNamesNotEmpty(
    const std::vector<std::pair<std::string, std::string>>& optionsAndNames) {
    const auto empty = std::find_if(optionsAndNames.begin(), optionsAndNames.end(),
                                    [](const auto& option) { return option.second.empty(); });
    if (empty == optionsAndNames.end()) {
        return true;
    }
    std::cout << "Error: The file name given with " << empty->first
              << " is empty (an unset shell variable?): give the file's name, or leave the "
                 "option out"
              << std::endl;
    return false;
}

bool checkInputsAreNotEngineFiles(
    const std::vector<std::pair<std::string, std::string>>& optionsAndNames) {
    for (const auto& [option, name] : optionsAndNames) {
        const std::string exchange = engineFileNamedBy(name);
        if (!exchange.empty()) {
            std::cout << "Error: Input file " << name << " (" << option << ") is the engine's file "
                      << exchange
                      << " in the working directory, which the analysis overwrites and "
                         "removes: rename the file or run from another directory"
                      << std::endl;
            return false;
        }
        // Not runFileNamedBy, which would look for the engine's files again.
        const std::string report = fileNamedBy(name, reportFileNames());
        if (!report.empty()) {
            std::cout << "Error: Input file " << name << " (" << option << ") is the report "
                      << report
                      << " in the working directory, which the pedigree checks overwrite: "
                         "rename the file or run from another directory"
                      << std::endl;
            return false;
        }
    }
    return true;
}

// How the shell's wait status ended the command, for the user.
static std::string endingOf(int status) {
    if (status == -1) {
        return "could not be started";
    }
    if (WIFSIGNALED(status)) {
        return "was killed by signal " + std::to_string(WTERMSIG(status));
    }
    return "ended with status " + std::to_string(WEXITSTATUS(status));
}

bool runEngineProgram(const std::string& label, const std::string& command, bool verbose) {
    const int status = runThroughShell(command, verbose, true);
    if (status == 0) {
        return true;
    }
    const std::string rule(66, '*');
    std::cout << "\n"
              << rule << "\nError in executing " << label << ": " << command
              << "\n\nSomething is wrong....\n"
              << rule << "\n\nAborting program!" << std::endl;
    printEngineEnding(command, status, verbose);
    return false;
}

void printEngineEnding(const std::string& command, int status, bool verbose) {
    // The box names no cause; the engine's own messages show only with
    // --verbose, which does not discard its output.
    std::cout << "Error: The engine program " << command.substr(0, command.find(' ')) << ' '
              << endingOf(status) << (verbose ? "" : ": run with --verbose to see its messages")
              << std::endl;
}

// Whether the two names reach one file: by their resolved paths, which also
// holds for an output that does not exist yet but whose name leads through
// a link to the input, or as one file on the disk (a hard link).
static bool sameFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code error;
    std::error_code otherError;
    const fs::path first = fs::weakly_canonical(fs::absolute(a, error), error);
    const fs::path second = fs::weakly_canonical(fs::absolute(b, otherError), otherError);
    if (!error && !otherError && first == second) {
        return true;
    }
    std::error_code sameError;
    return fs::equivalent(a, b, sameError) && !sameError;
}

bool checkOutputFiles(const std::vector<std::string>& outputs,
                      const std::vector<std::pair<std::string, std::string>>& inputs) {
    bool usable = true;
    const auto refuse = [&usable](const std::string& text) {
        std::cout << "Error: " << text << std::endl;
        usable = false;
    };
    // One line per folder: every output in it fails for the same reason.
    std::set<std::string> foldersReported;
    const auto checkFolder = [&](const std::string& name, const std::string& what) {
        const std::string problem = outputFolderProblem(name);
        if (!problem.empty() && foldersReported.insert(outputFolderOf(name)).second) {
            refuse(what + " " + name + " cannot be written: " + problem +
                   ", and the run would lose its results");
        }
        return problem.empty();
    };
    for (const std::string& output : outputs) {
        for (const auto& [option, input] : inputs) {
            if (sameFile(output, input)) {
                refuse("Output file " + output + " is the input file " + input + " (" + option +
                       "), which writing the results would destroy: choose another --prefix, or "
                       "move the input");
            }
        }
        if (!checkFolder(output, "Output file")) {
            continue;
        }
        const std::string problem = outputFileProblem(output);
        if (!problem.empty()) {
            refuse("Output file " + output + " " + problem +
                   ", so the run could not keep its results: remove it, or choose another "
                   "--prefix");
        }
    }
    // The reports are written only when the checks find errors; a report
    // file that cannot be written then ends the run after the rest.
    for (const std::string& report : reportFileNames()) {
        checkFolder(report, "The report");
    }
    return usable;
}
