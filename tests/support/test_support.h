// Shared helpers for the unit and end-to-end tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace test_support {

// The programs of this package and the engine use fixed file names in the
// working directory, so every test that touches files runs in a fresh
// temporary directory of its own.
class TempDirTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path dir() const { return dir_; }

    // Puts a shell script of this name, running the body, before the real
    // programs on this process's PATH (restored at the end of the test).
    void standIn(const std::string& program, const std::string& body);

  private:
    std::filesystem::path previous_;
    std::filesystem::path dir_;
    std::optional<std::string> pathBeforeStandIns_;
};

// While it lives, no file this process (or a program it starts) writes may
// grow beyond the given number of bytes: a write past it fails as on a full
// disk, the signal that would otherwise end the process being ignored.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(unsigned long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    unsigned long previousLimit_ = 0;
    void (*previousHandler_)(int) = nullptr;
};

// The names of the entries of the folder, sorted.
std::vector<std::string> entriesOf(const std::filesystem::path& folder);

// Whole file as a string ("" when it cannot be read).
std::string readText(const std::filesystem::path& path);

// Writes the text to the file, replacing it.
void writeText(const std::filesystem::path& path, const std::string& text);

// Whether the text holds the part anywhere.
bool contains(const std::string& text, const std::string& part);
// The lines of the text without their line feeds.
std::vector<std::string> linesOf(const std::string& text);
// The blank-separated words of the line.
std::vector<std::string> wordsOf(const std::string& line);

// Words as a program's main receives them: argc() and argv(), the program
// name first.
class Arguments {
  public:
    explicit Arguments(std::vector<std::string> words) : words_(std::move(words)) {
        for (std::string& word : words_) {
            pointers_.push_back(word.data());
        }
    }
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;

    int argc() const { return static_cast<int>(pointers_.size()); }
    char** argv() { return pointers_.data(); }

  private:
    std::vector<std::string> words_;
    std::vector<char*> pointers_;
};

struct CommandResult {
    int status = -1;     // exit status of the command (WEXITSTATUS), -1 if it did not exit
    std::string output;  // standard output (and standard error when merged)
};

// Runs a shell command line, capturing its standard output; standard error
// is merged into it when mergeStderr is set.
CommandResult runCommand(const std::string& command, bool mergeStderr = true);

// A path inside the source tree (fixtures, examples).
std::filesystem::path sourcePath(const std::string& relative);

// A program of this package built into the build tree's bin folder.
std::filesystem::path programPath(const std::string& name);

// An engine program in the engine folder. End-to-end tests fail, never
// skip, when it is missing: CI must not pass without the real engine.
std::filesystem::path enginePath(const std::string& name);

// Runs a program of this package in the working directory with standard
// input closed, this package's programs and the engine first on PATH; the
// folder extraPath, when given, comes before them (stand-in programs).
CommandResult runProgram(const std::string& program, const std::string& arguments,
                         const std::string& extraPath = "");

// Writes into the folder a stand-in for the engine program that runs the
// shell commands first and then the real engine program with its arguments:
// with the folder as runProgram's extraPath, a run meets what the commands
// change while it computes.
void wrapEngineProgram(const std::filesystem::path& folder, const std::string& program,
                       const std::string& commands);

// Writes into the folder stand-ins for the engine programs that only create
// the mark file and fail: a test that a run stops before the engine starts
// puts the folder first on PATH and finds no mark.
void writeRecordingEngine(const std::filesystem::path& folder,
                          const std::vector<std::string>& programs,
                          const std::filesystem::path& mark);

// Copies data files from a folder of the source tree into the working directory.
void copySourceFiles(const std::string& folder, const std::vector<std::string>& names);

// Copies every file of a folder of the source tree into the working directory.
void copySourceFolder(const std::string& folder);

// Runs shell commands with bash -e (the first failing command ends them) in the
// working directory with standard input closed, this package's programs and the
// engine first on PATH, as a user who followed the README would run them.
CommandResult runShell(const std::string& commands);

// Renders every page of the PostScript file with Ghostscript
// (gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m) into page1.png,
// page2.png, ... in outputDir, or in a temporary folder removed afterwards
// when outputDir is empty. Fails with Ghostscript's messages when it reports
// any error or warning, exits non-zero, or renders no page; fails, never
// skips, when gs is missing.
::testing::AssertionResult renderPostScript(const std::filesystem::path& file,
                                            const std::filesystem::path& outputDir = {});

// Number of pages Ghostscript rendered into the folder (page<N>.png files).
int renderedPageCount(const std::filesystem::path& outputDir);

}  // namespace test_support
