// Free functions shared by the whole package.
#pragma once

#include <algorithm>
#include <iosfwd>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

// Whether two short texts (allele names, a character or two) are equal.
// Compared character by character in place: a library comparison of
// strings calls memcmp, which costs more than such a comparison itself, and
// this runs for every allele copy the store counts or checks.
inline bool sameShortText(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return x == y; });
}

class File;

// Conversions and formatting

std::string IntToString(int value);
// The default form of a fresh output stream: general notation, six significant digits.
std::string doubleToString(double value);
// Fixed notation with the given decimals, right-aligned in width; an empty
// cell of that width where there is no value, so later values keep their
// columns. A value as wide as its cell gets one blank before it, so that it
// cannot fuse with its left neighbour into one unreadable number (the
// engine gives an impossible pedigree ln L -1e20).
void writeCell(std::ostream& out, const std::optional<double>& value, int width, int decimals);
// out << value. A stream of the classic locale in default notation, with no
// width, sign or point flag, writes what std::to_chars writes in general
// notation at the stream's precision (both are printf's "%.*g"), which costs
// a fraction of the stream's own formatting: there the value goes that way.
void writeNumber(std::ostream& out, double value);
// The value formatted with two decimals and read back.
double changeValueLengthToTwo(double value);
// Leading number of the text (0 when there is none); out-of-range values saturate.
int stringToInt(const std::string& text);
double stringToDouble(const std::string& text);
std::string stringToLower(std::string text);
// Number of characters that are neither a blank nor a tab.
int countElements(const std::string& text);
// The words of every line that has any, split at blanks and tabs.
std::vector<std::vector<std::string>> readFile(const std::string& fileName);

// Input files

// Why the named file cannot be read as an input: "is a directory", "is a
// pipe or FIFO, ..." or "is a device or special file, ...". A pipe can be
// read only once and a FIFO without a writer blocks its reader for good,
// while the readers may need a file twice (the column plan and the records,
// or the converter after the check). "" for a regular file, or a name
// that names nothing (its open then fails with the reader's own message).
std::string inputFileProblem(const std::string& fileName);
// Longer than any word of a real input (ids, allele names, numbers): a word
// of this length is a damaged or wrong file, such as one of zero bytes.
constexpr std::size_t longestInputWord = 1 << 20;
// A line of a text file split at blanks and tabs, with its number in the
// file, from 1.
struct ColumnLine {
    int number = 0;
    std::vector<std::string> columns;
};
// Every line of the stream that holds a column; a carriage return before
// the line feed of a file saved on Windows is not part of the last column.
// False at the first word longer than longestInputWord, with the reason
// ("line N holds a word of more than ... characters") in problem.
bool readColumnLines(std::istream& in, std::vector<ColumnLine>& lines, std::string& problem);
// The reason readColumnLines gives for a word too long at the line.
std::string tooLongWordProblem(int lineNumber);
// Local time in ctime form, line feed included.
std::string current_time_and_date();
std::string secondsToCorrectTimeFormat(double seconds);
// Overwrites one terminal line with the percentage done at each tenth.
void progressReportX(const char* label, int done, int total);

// External commands and engine files

// Runs the command line through the shell: echoed behind "External command: "
// when verbose, with its standard output discarded otherwise. Returns the
// shell's status unchanged; any value but 0 is a failure.
int execute_external_command(std::string command, bool verbose);
// The same for a command that is one program with its arguments, run by
// runEngineCommand: its status, the program's standard error passed on.
int execute_program_command(std::string command, bool verbose);
// One shell word that stands for exactly the given text, whatever it holds.
// Every file name that goes into a command line passes through it.
std::string shellQuote(const std::string& word);
// Copies the text file line by line, leaving out empty lines ("EMPTY" is
// printed for each). False, with a message, when either file cannot be
// opened, read or written.
bool copy_file(const char* source, const char* destination);
// Writes the text as the whole new content of the file. False, after an
// "Error: " line naming the file ("Unable to open <name> for writing!" or
// "Unable to write <name>!"), when it cannot be opened, or when writing or
// closing it fails (a full disk shows only at the close).
bool writeTextFile(const std::string& fileName, const std::string& text);
// The second half of writeTextFile, for writers that open their file before
// they build its text: writes the text into the file and closes it. False,
// after "Error: Unable to write <name>!", when any of it did not reach the
// file.
bool finishTextFile(File& file, const std::string& fileName, const std::string& text);
// The files the programs exchange with the engine, and the engine's scratch
// files, in the working directory: every engine run may overwrite them.
const std::vector<std::string>& engineFileNames();
// Removes every file of engineFileNames() from the working directory.
void delete_intermediate_files();
// The engine file that the path names (through a link or another spelling
// too), or "" when it names none: an input of that name would be overwritten
// and removed by the run.
std::string engineFileNamedBy(const std::string& path);
// The reports the store writes into the working directory beside the
// engine's files ("family.err", "mendel.err").
const std::vector<std::string>& reportFileNames();
// The engine file or report that the path names, as engineFileNamedBy does
// for the engine files: an input of that name would be overwritten.
std::string runFileNamedBy(const std::string& path);
// To be called before the first engine file of a run is written. Prints one
// "Error: " line naming every entry of engineFileNames() that exists in the
// working directory (a file, a folder, a link, a dangling link too), with the
// one command that removes them, and returns false: the run would overwrite
// them, or write through them, and the clean-up would remove them. True when
// there is none.
bool refuseExistingEngineFiles();
// Prints an "Error: " line and returns false when a report of
// reportFileNames() in the working directory is a link, which writing the
// report would follow out of the working directory.
bool refuseLinkedReportFiles();
// File options as the command line gave them: each option that was given,
// with its value. Refuses the first whose value is empty (a quoted unset
// shell variable, say), which would otherwise read as an absent option, with
// an "Error: " line naming the option, and returns false; true when none is.
bool checkFileNamesNotEmpty(
    const std::vector<std::pair<std::string, std::string>>& optionsAndNames);
// The inputs of a run, each as the option that named it and the file name.
// Refuses the first that names an engine file or a report, with an "Error: "
// line naming the option, the file and the file it names, and returns false;
// true when none does. Call it before anything is written.
bool checkInputsAreNotEngineFiles(
    const std::vector<std::pair<std::string, std::string>>& optionsAndNames);
// To be called before anything of a run is read or written, with every file
// the run's results go to and the run's inputs (as for
// checkInputsAreNotEngineFiles). Prints an "Error: " line for each output
// that reaches an input (through a link, another spelling or a hard link),
// that names a folder, a file that is not a regular one or a read-only file,
// or whose folder does not exist or cannot be written into, and for the
// folder of the reports (reportFileNames()); false after any of them.
bool checkOutputFiles(const std::vector<std::string>& outputs,
                      const std::vector<std::pair<std::string, std::string>>& inputs);
// How one engine program ended: the wait status as system() gives it (-1:
// it could not be started), and the last non-blank lines (at most 5, each
// cut to 400 characters) of its standard output and of its standard error.
struct EngineRun {
    int status = -1;
    std::vector<std::string> outputTail;
    std::vector<std::string> errorTail;
};
// Runs one engine program with its arguments (shell-quoted where they are
// file names) through /bin/sh, which execs it, and waits for it with SIGINT
// and SIGQUIT ignored, as system() does. Its standard output passes on to
// this process's only when verbose (the command is then echoed behind
// "External command: " first), its standard error always; the last lines of
// both are kept for the error box of a failed run.
EngineRun runEngineCommand(const std::string& command, bool verbose);
// Runs one engine program as runEngineCommand does. On a non-zero
// status prints the engine error box, "Error in executing <label>: <command>"
// with the program's last lines inside it, and returns false.
bool runEngineProgram(const std::string& label, const std::string& command, bool verbose);
// The last lines of a failed run for its error box, each stream under a
// heading of its own; nothing for a program that printed nothing.
void printEngineMessages(const std::string& command, const EngineRun& run, bool verbose);
// The "Error: " line that follows an engine error box: the program of the
// command and how the shell's wait status says it ended.
void printEngineEnding(const std::string& command, int status);

// Probability tails and random numbers

// P(chi-square with df degrees of freedom > x); 1 for x <= 0 or df < 1.
double chipr(double x, int df);
// P(Z > z) for a standard normal Z.
double pnorm(double z);
// A seed of this run: the time mixed with what differs between processes.
unsigned runSeed();
// Uniform in [0, 1]; the first call seeds rand() with runSeed().
double getRandom();
// The generator of the randomisation tests, one per process, seeded with
// runSeed() at its first use. A test runs 100,000 replicates of hundreds of draws
// each, which the library's rand(), at the cost of a lock per call, makes
// several times slower.
std::mt19937_64& randomGenerator();
