// Running the engine programs through the shell and tidying up the files
// they exchange with the programs in the working directory.
#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "file.h"
#include "replacement_file.h"
#include "utilities.h"

extern char** environ;

namespace {

// Whatever this process has printed must reach the terminal before a
// command's own output does.
void flushOwnOutput() {
    std::cout.flush();
    std::fflush(stdout);
}

int runThroughShell(std::string command, bool verbose) {
    if (verbose) {
        std::cout << "External command: " << command << '\n';
    } else {
        command += " > /dev/null";
    }
    flushOwnOutput();
    return std::system(command.c_str());
}

constexpr std::size_t tailLines = 5;
constexpr std::size_t tailWidth = 400;

// The last non-blank lines of a stream that arrives in pieces, each cut to
// tailWidth characters: enough for the engine's reason without holding a
// long run's output.
class LineTail {
  public:
    void add(const char* data, std::size_t size) {
        const char* const end = data + size;
        while (data != end) {
            const char* const lineEnd = std::find(data, end, '\n');
            const std::size_t room = tailWidth - std::min(tailWidth, line_.size());
            const std::size_t length = static_cast<std::size_t>(lineEnd - data);
            line_.append(data, std::min(room, length));
            cut_ = cut_ || length > room;
            if (lineEnd == end) {
                return;
            }
            endLine();
            data = lineEnd + 1;
        }
    }

    // The kept lines, the last one included when no line end closed it.
    std::vector<std::string> finish() {
        endLine();
        return {lines_.begin(), lines_.end()};
    }

  private:
    void endLine() {
        const auto lastShown = line_.find_last_not_of(" \t\r\f\v");
        if (lastShown != std::string::npos) {
            line_.erase(lastShown + 1);
            lines_.push_back(cut_ ? line_ + "..." : line_);
            if (lines_.size() > tailLines) {
                lines_.pop_front();
            }
        }
        line_.clear();
        cut_ = false;
    }

    std::string line_;
    bool cut_ = false;
    std::deque<std::string> lines_;
};

// Passes the piece on to the descriptor; a reader that went away (a closed
// pipe, a full disk) costs the copy, never the run.
void writeAll(int descriptor, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(descriptor, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

// SIGINT and SIGQUIT ignored while the engine runs, as system() does: a
// Ctrl-C at the terminal ends the engine program, which this process then
// reports as a failed run and cleans up after. A signal that was ignored
// before stays ignored in the program too.
class InterruptsIgnored {
  public:
    InterruptsIgnored() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigemptyset(&defaults_);
        for (std::size_t i = 0; i < signals_.size(); ++i) {
            sigaction(signals_[i], &ignore, &saved_[i]);
            if (saved_[i].sa_handler != SIG_IGN) {
                sigaddset(&defaults_, signals_[i]);
            }
        }
    }
    ~InterruptsIgnored() {
        for (std::size_t i = 0; i < signals_.size(); ++i) {
            sigaction(signals_[i], &saved_[i], nullptr);
        }
    }
    InterruptsIgnored(const InterruptsIgnored&) = delete;
    InterruptsIgnored& operator=(const InterruptsIgnored&) = delete;

    // The signals the program is to take with their default action.
    const sigset_t& defaults() const { return defaults_; }

  private:
    static constexpr std::array<int, 2> signals_ = {SIGINT, SIGQUIT};
    std::array<struct sigaction, 2> saved_{};
    sigset_t defaults_{};
};

// The two ends of a pipe, closed when they go out of use.
class Pipe {
  public:
    Pipe() {
        if (::pipe2(ends_.data(), O_CLOEXEC) != 0) {
            ends_ = {-1, -1};
        }
    }
    ~Pipe() {
        closeEnd(0);
        closeEnd(1);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    bool open() const { return ends_[0] >= 0; }
    int readEnd() const { return ends_[0]; }
    int writeEnd() const { return ends_[1]; }
    void closeEnd(std::size_t end) {
        if (ends_[end] >= 0) {
            ::close(ends_[end]);
            ends_[end] = -1;
        }
    }

  private:
    std::array<int, 2> ends_{-1, -1};
};

// Starts /bin/sh -c 'exec <command>' with its standard output and error
// into the pipes' write ends; the process id, or -1. The shell execs the
// program instead of waiting for a child of its own: one process start
// less, which on a fast marker costs about as much as orlex's own work on
// it.
pid_t spawnShell(const std::string& command, int output, int errors, const sigset_t& defaults) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return -1;
    }
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return -1;
    }
    std::string shell = "sh";
    std::string option = "-c";
    std::string line = "exec " + command;
    std::array<char*, 4> arguments = {shell.data(), option.data(), line.data(), nullptr};
    pid_t child = -1;
    const bool prepared = posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO) == 0 &&
                          posix_spawn_file_actions_adddup2(&actions, errors, STDERR_FILENO) == 0 &&
                          posix_spawnattr_setsigdefault(&attributes, &defaults) == 0 &&
                          posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF) == 0;
    if (!prepared ||
        posix_spawn(&child, "/bin/sh", &actions, &attributes, arguments.data(), environ) != 0) {
        child = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

// A stream of the program's that arrives through a pipe: its tail kept,
// and each piece passed on to passTo unless that is -1.
struct Stream {
    Pipe& pipe;
    LineTail& tail;
    int passTo;
};

// Reads the streams until the program and whatever it started close them:
// polled together, so a program filling one pipe while this process waits
// on the other never stalls.
void readStreams(std::vector<Stream> streams) {
    std::array<char, 65536> buffer{};
    const auto anyOpen = [&streams] {
        return std::any_of(streams.begin(), streams.end(),
                           [](const Stream& stream) { return stream.pipe.readEnd() >= 0; });
    };
    while (anyOpen()) {
        std::vector<pollfd> polled;
        std::transform(streams.begin(), streams.end(), std::back_inserter(polled),
                       [](const Stream& stream) {
                           return pollfd{stream.pipe.readEnd(), POLLIN, 0};
                       });
        if (::poll(polled.data(), polled.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            // Unread, the program would wait on a full pipe for ever; closed,
            // its next write ends it.
            for (Stream& stream : streams) {
                stream.pipe.closeEnd(0);
            }
            return;
        }
        for (std::size_t i = 0; i < streams.size(); ++i) {
            if (polled[i].fd < 0 || polled[i].revents == 0) {
                continue;
            }
            Stream& stream = streams[i];
            const ssize_t got = ::read(stream.pipe.readEnd(), buffer.data(), buffer.size());
            if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
                continue;
            }
            if (got <= 0) {
                stream.pipe.closeEnd(0);
                continue;
            }
            const auto size = static_cast<std::size_t>(got);
            stream.tail.add(buffer.data(), size);
            if (stream.passTo >= 0) {
                writeAll(stream.passTo, buffer.data(), size);
            }
        }
    }
}

// An unlinked temporary file for the standard output that no one watches:
// the engine writes to it as cheaply as to /dev/null (a pipe would wake this
// process for every buffer the engine flushes), and only its last lines
// are read back.
class OutputFile {
  public:
    // Where no temporary file can be made, the output is discarded and a
    // failed run's box shows none of it.
    OutputFile() : file_(std::tmpfile()) {
        if (file_ == nullptr) {
            file_ = std::fopen("/dev/null", "w");
        }
    }
    ~OutputFile() {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool open() const { return file_ != nullptr; }
    int descriptor() const { return fileno(file_); }

    // The tail of what the program wrote: the last lines are within its
    // last 64 KiB, a line cut at the start of them left out.
    void readTail(LineTail& tail) const {
        constexpr off_t window = 65536;
        const off_t size = ::lseek(descriptor(), 0, SEEK_END);
        if (size <= 0) {
            return;
        }
        const off_t from = std::max<off_t>(0, size - window);
        std::string text(static_cast<std::size_t>(size - from), '\0');
        const ssize_t got = ::pread(descriptor(), text.data(), text.size(), from);
        if (got <= 0) {
            return;
        }
        text.resize(static_cast<std::size_t>(got));
        const std::size_t start = from == 0 ? 0 : std::min(text.size(), text.find('\n') + 1);
        tail.add(text.data() + start, text.size() - start);
    }

  private:
    std::FILE* file_;
};

int waitFor(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return status;
}

std::string programOf(const std::string& command) {
    return command.substr(0, command.find(' '));
}

}  // namespace

EngineRun runEngineCommand(const std::string& command, bool verbose) {
    if (verbose) {
        std::cout << "External command: " << command << '\n';
    }
    flushOwnOutput();
    EngineRun run;
    // With --verbose the output is passed on as it comes; without, it goes
    // to a file whose end is read when the program has ended.
    Pipe output;
    const OutputFile outputFile;
    Pipe errors;
    if (!(verbose ? output.open() : outputFile.open()) || !errors.open()) {
        return run;
    }
    const InterruptsIgnored interrupts;
    const pid_t child = spawnShell(command, verbose ? output.writeEnd() : outputFile.descriptor(),
                                   errors.writeEnd(), interrupts.defaults());
    if (child < 0) {
        return run;
    }
    // Only the program holds the write ends now, so the reads end when it
    // does.
    output.closeEnd(1);
    errors.closeEnd(1);
    LineTail outputTail;
    LineTail errorTail;
    // The standard error is never redirected: it reaches the terminal as
    // it comes.
    std::vector<Stream> streams = {Stream{errors, errorTail, STDERR_FILENO}};
    if (verbose) {
        streams.push_back(Stream{output, outputTail, STDOUT_FILENO});
    }
    readStreams(std::move(streams));
    run.status = waitFor(child);
    if (!verbose) {
        outputFile.readTail(outputTail);
    }
    run.outputTail = outputTail.finish();
    run.errorTail = errorTail.finish();
    return run;
}

int execute_external_command(std::string command, bool verbose) {
    return runThroughShell(std::move(command), verbose);
}

int execute_program_command(std::string command, bool verbose) {
    return runEngineCommand(command, verbose).status;
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
    const EngineRun run = runEngineCommand(command, verbose);
    if (run.status == 0) {
        return true;
    }
    const std::string rule(66, '*');
    std::cout << "\n"
              << rule << "\nError in executing " << label << ": " << command
              << "\n\nSomething is wrong....\n";
    printEngineMessages(command, run, verbose);
    std::cout << rule << "\n\nAborting program!" << std::endl;
    printEngineEnding(command, run.status);
    return false;
}

void printEngineMessages(const std::string& command, const EngineRun& run, bool verbose) {
    const std::string program = programOf(command);
    const auto section = [](const std::string& heading, const std::vector<std::string>& lines) {
        if (lines.empty()) {
            return;
        }
        std::cout << '\n' << heading << '\n';
        for (const std::string& line : lines) {
            std::cout << "  " << line << '\n';
        }
    };
    section("Last lines of " + program + "'s output" +
                (verbose ? ":" : " (--verbose shows all of it):"),
            run.outputTail);
    section("Last lines of " + program + "'s error output:", run.errorTail);
}

void printEngineEnding(const std::string& command, int status) {
    std::cout << "Error: The engine program " << programOf(command) << ' ' << endingOf(status)
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
