#include "test_support.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace test_support {

void TempDirTest::SetUp() {
    previous_ = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "orlex-test-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    ASSERT_NE(made, nullptr) << "cannot create a temporary directory";
    dir_ = made;
    std::filesystem::current_path(dir_);
}

void TempDirTest::TearDown() {
    if (pathBeforeStandIns_) {
        setenv("PATH", pathBeforeStandIns_->c_str(), 1);
    }
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

void TempDirTest::standIn(const std::string& program, const std::string& body) {
    const std::filesystem::path folder = dir_ / "stand-ins";
    std::filesystem::create_directories(folder);
    writeText(folder / program, "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(folder / program, std::filesystem::perms::owner_all);
    if (!pathBeforeStandIns_) {
        const char* path = std::getenv("PATH");
        pathBeforeStandIns_ = path != nullptr ? path : "";
        setenv("PATH", (folder.string() + ":" + *pathBeforeStandIns_).c_str(), 1);
    }
}

FileSizeLimit::FileSizeLimit(unsigned long bytes) {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    previousLimit_ = limit.rlim_cur;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
}

FileSizeLimit::~FileSizeLimit() {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = previousLimit_;
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previousHandler_);
}

void wrapEngineProgram(const std::filesystem::path& folder, const std::string& program,
                       const std::string& commands) {
    std::filesystem::create_directories(folder);
    const std::filesystem::path script = folder / program;
    writeText(script,
              "#!/bin/sh\n" + commands + "\nexec '" + enginePath(program).string() + "' \"$@\"\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
}

void writeRecordingEngine(const std::filesystem::path& folder,
                          const std::vector<std::string>& programs,
                          const std::filesystem::path& mark) {
    std::filesystem::create_directories(folder);
    for (const std::string& program : programs) {
        const std::filesystem::path script = folder / program;
        writeText(script, "#!/bin/sh\ntouch '" + mark.string() + "'\nexit 1\n");
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    }
}

std::vector<std::string> entriesOf(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> wordsOf(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

CommandResult runCommand(const std::string& command, bool mergeStderr) {
    CommandResult result;
    const std::string line = mergeStderr ? command + " 2>&1" : command;
    FILE* pipe = popen(line.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 4096> buffer{};
    size_t got = 0;
    while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        result.output.append(buffer.data(), got);
    }
    const int raw = pclose(pipe);
    if (raw != -1 && WIFEXITED(raw)) {
        result.status = WEXITSTATUS(raw);
    }
    return result;
}

namespace {

std::string quoted(const std::string& word) {
    std::string text = "'";
    for (const char c : word) {
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return text + "'";
}

std::filesystem::path makeTemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orlex-gs-XXXXXX").string();
    const char* made = mkdtemp(pattern.data());
    return made == nullptr ? std::filesystem::path() : std::filesystem::path(made);
}

}  // namespace

CommandResult runProgram(const std::string& program, const std::string& arguments,
                         const std::string& extraPath) {
    const std::string path = (extraPath.empty() ? "" : quoted(extraPath) + ":") +
                             quoted(std::string(ORLEX_PROGRAM_DIR)) + ":" +
                             quoted(std::string(ORLEX_ENGINE_BIN_DIR)) + ":\"$PATH\"";
    return runCommand("PATH=" + path + " " + quoted(programPath(program).string()) + " " +
                      arguments + " </dev/null");
}

void copySourceFiles(const std::string& folder, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        std::filesystem::copy_file(sourcePath(folder) / name, name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
}

void copySourceFolder(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(sourcePath(folder))) {
        if (entry.is_regular_file()) {
            std::filesystem::copy_file(entry.path(), entry.path().filename(),
                                       std::filesystem::copy_options::overwrite_existing);
        }
    }
}

CommandResult runShell(const std::string& commands) {
    writeText("commands.sh", commands);
    const std::string path = quoted(std::string(ORLEX_PROGRAM_DIR)) + ":" +
                             quoted(std::string(ORLEX_ENGINE_BIN_DIR)) + ":\"$PATH\"";
    return runCommand("PATH=" + path + " bash -e commands.sh </dev/null");
}

int renderedPageCount(const std::filesystem::path& outputDir) {
    int count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(outputDir, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("page", 0) == 0 && entry.path().extension() == ".png") {
            ++count;
        }
    }
    return count;
}

::testing::AssertionResult renderPostScript(const std::filesystem::path& file,
                                            const std::filesystem::path& outputDir) {
    const bool temporary = outputDir.empty();
    const std::filesystem::path folder = temporary ? makeTemporaryFolder() : outputDir;
    if (!temporary) {
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
    }
    if (folder.empty()) {
        return ::testing::AssertionFailure() << "cannot create a folder for the rendered pages";
    }
    const CommandResult gs =
        runCommand("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -sOutputFile=" +
                   quoted((folder / "page%d.png").string()) + " " + quoted(file.string()));
    const int pages = renderedPageCount(folder);
    if (temporary) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    // Ghostscript recovers from some faults with a message only, so any
    // output of a quiet run counts as a failure too.
    if (gs.status != 0 || !gs.output.empty() || pages == 0) {
        return ::testing::AssertionFailure() << "Ghostscript on " << file << " (status "
                                             << gs.status << ", " << pages << " pages rendered):\n"
                                             << gs.output;
    }
    return ::testing::AssertionSuccess() << pages << " pages rendered";
}

std::filesystem::path sourcePath(const std::string& relative) {
    return std::filesystem::path(ORLEX_SOURCE_DIR) / relative;
}

std::filesystem::path programPath(const std::string& name) {
    return std::filesystem::path(ORLEX_PROGRAM_DIR) / name;
}

std::filesystem::path enginePath(const std::string& name) {
    return std::filesystem::path(ORLEX_ENGINE_BIN_DIR) / name;
}

}  // namespace test_support
