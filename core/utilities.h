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
// The same for a command that is one program with its arguments, which the
// shell execs instead of waiting for a child of its own.
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
// To be called before the first engine file of a run is written. Prints an
// "Error: " line naming the first entry of engineFileNames() that exists in
// the working directory (a file, a folder, a link, a dangling link too) and
// returns false: the run would overwrite it, or write through it, and the
// clean-up would remove it. True when there is none.
bool refuseExistingEngineFiles();
// Prints an "Error: " line and returns false when a report of
// reportFileNames() in the working directory is a link, which writing the
// report would follow out of the working directory.
bool refuseLinkedReportFiles();
// The inputs of a run, each as the option that named it and the file name.
// Refuses the first that names an engine file or a report, with an "Error: "
// line naming the option, the file and the file it names, and returns false;
// true when none does. Call it before anything is written.
bool checkInputsAreNotEngineFiles(
    const std::vector<std::pair<std::string, std::string>>& optionsAndNames);
// Runs one engine program (a program and its arguments, which the shell
// execs) as execute_external_command runs a command. On a non-zero
// status prints the engine error box, "Error in executing <label>: <command>",
// and returns false.
bool runEngineProgram(const std::string& label, const std::string& command, bool verbose);

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
