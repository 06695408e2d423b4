// makepedvant IN OUT n
//
// Converts a pre-MAKEPED LINKAGE pedigree file (pedigree, person, father,
// mother, sex, then the phenotype and marker columns) into the post-MAKEPED
// layout that the FASTLINK programs read: pedigrees and persons renumbered
// from 1 in file order, the first-offspring and next-paternal/maternal-sib
// pointers, one proband per pedigree, the rest of each line unchanged, and
// "Ped: <pedigree> Per: <person>" with the original ids at the end.
//
// The engine trusts the pointer columns blindly (a broken sib chain silently
// changes a likelihood), so every structural fault stops the conversion with
// a message naming file, line and person, and no output file is left behind.
// "n" declares no loop breakers; loops are broken later by unknown -l.

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace fs = std::filesystem;

// One person's line of the input file. The columns are views into the text
// of the whole file, which outlives them: the file is read once, and no line
// is copied before it is written out.
struct InputLine {
    int lineNumber = 0;
    std::string_view pedigree;
    std::string_view person;
    std::string_view father;
    std::string_view mother;
    std::string_view sex;
    std::string_view rest;  // everything after the sex column, as written
};

struct PedigreeLines {
    std::string_view id;
    std::vector<InputLine> persons;  // in file order
};

// A person of the output: the numbers of itself, its parents and its links.
struct Numbered {
    int person = 0;
    int father = 0;
    int mother = 0;
    int firstOffspring = 0;
    int nextPaternalSib = 0;
    int nextMaternalSib = 0;
};

struct ConversionError {
    std::string message;
};

const std::string_view whiteSpace = " \t\r";

// Splits off the next blank-delimited token of text starting at position;
// position moves past the token. Returns "" at the end of the text.
std::string_view nextToken(std::string_view text, std::size_t& position) {
    const std::size_t begin = text.find_first_not_of(whiteSpace, position);
    if (begin == std::string_view::npos) {
        position = text.size();
        return {};
    }
    const std::size_t end = std::min(text.find_first_of(whiteSpace, begin), text.size());
    position = end;
    return text.substr(begin, end - begin);
}

std::string_view trimmed(std::string_view text) {
    const std::size_t begin = text.find_first_not_of(whiteSpace);
    if (begin == std::string_view::npos) {
        return {};
    }
    return text.substr(begin, text.find_last_not_of(whiteSpace) - begin + 1);
}

std::string where(const std::string& fileName, const InputLine& line) {
    return fileName + ", line " + std::to_string(line.lineNumber) + ", person " +
           std::string(line.person) + " (pedigree " + std::string(line.pedigree) + "): ";
}

// Reads one non-blank line into its leading columns; nullopt for a blank line.
std::optional<InputLine> parseLine(const std::string& fileName, std::string_view text,
                                   int lineNumber) {
    InputLine line;
    line.lineNumber = lineNumber;
    std::size_t position = 0;
    std::string_view* const columns[] = {&line.pedigree, &line.person, &line.father, &line.mother,
                                         &line.sex};
    int found = 0;
    for (std::string_view* column : columns) {
        *column = nextToken(text, position);
        if (column->empty()) {
            break;
        }
        ++found;
    }
    if (found == 0) {
        return std::nullopt;
    }
    if (found < 5) {
        const std::string person = found >= 2 ? std::string(line.person) : std::string("?");
        throw ConversionError{fileName + ", line " + std::to_string(lineNumber) + ", person " +
                              person + ": too few columns (" + std::to_string(found) +
                              "; pedigree, person, father, mother and sex are needed)"};
    }
    if (line.person == "0") {
        throw ConversionError{where(fileName, line) + "0 is the unknown parent, not a person id"};
    }
    if (line.sex != "1" && line.sex != "2") {
        throw ConversionError{where(fileName, line) + "sex must be 1 or 2, not " +
                              std::string(line.sex)};
    }
    line.rest = trimmed(text.substr(position));
    return line;
}

// The whole file in one read.
std::string readFile(const std::string& fileName) {
    std::error_code ignored;
    if (fs::is_directory(fileName, ignored)) {
        throw ConversionError{"cannot read " + fileName + ": it is a directory"};
    }
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        throw ConversionError{"cannot read " + fileName + ": " + std::strerror(errno)};
    }
    // Room for the whole file, so that one read takes it; a file that grows
    // meanwhile is read on to its end.
    std::error_code sizeError;
    const std::uintmax_t size = fs::file_size(fileName, sizeError);
    std::string text(sizeError ? 0 : static_cast<std::size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    std::array<char, 1 << 16> chunk{};
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        const auto linesRead = std::count(text.begin(), text.end(), '\n');
        throw ConversionError{"cannot read " + fileName + ": read error at line " +
                              std::to_string(linesRead + 1)};
    }
    return text;
}

// The persons grouped by pedigree, pedigrees in the order they first appear;
// their columns are views into the text.
std::vector<PedigreeLines> readPedigrees(const std::string& fileName, std::string_view text) {
    std::vector<PedigreeLines> pedigrees;
    std::unordered_map<std::string_view, std::size_t> pedigreeIndex;
    int lineNumber = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        ++lineNumber;
        std::optional<InputLine> line =
            parseLine(fileName, text.substr(start, end - start), lineNumber);
        start = end + 1;
        if (!line) {
            continue;
        }
        const auto [slot, added] = pedigreeIndex.try_emplace(line->pedigree, pedigrees.size());
        if (added) {
            pedigrees.push_back({line->pedigree, {}});
        }
        pedigrees[slot->second].persons.push_back(*line);
    }
    if (pedigrees.empty()) {
        throw ConversionError{fileName + " holds no persons"};
    }
    return pedigrees;
}

// Numbers one pedigree's persons and links each parent to its children.
std::vector<Numbered> numberPedigree(const std::string& fileName, const PedigreeLines& pedigree) {
    std::unordered_map<std::string_view, int> number;
    number.reserve(pedigree.persons.size());
    for (const InputLine& line : pedigree.persons) {
        const auto [slot, added] = number.try_emplace(line.person, int(number.size()) + 1);
        if (!added) {
            throw ConversionError{where(fileName, line) + "listed twice in the pedigree (also as " +
                                  "person number " + std::to_string(slot->second) + ")"};
        }
    }
    const auto parentNumber = [&](const InputLine& line, std::string_view parent,
                                  const char* role) {
        if (parent == "0") {
            return 0;
        }
        if (parent == line.person) {
            throw ConversionError{where(fileName, line) + "is its own " + role};
        }
        const auto found = number.find(parent);
        if (found == number.end()) {
            throw ConversionError{where(fileName, line) + role + " " + std::string(parent) +
                                  " is not in pedigree " + std::string(line.pedigree)};
        }
        return found->second;
    };

    std::vector<Numbered> persons(pedigree.persons.size());
    std::vector<int> lastPaternalChild(persons.size() + 1, 0);
    std::vector<int> lastMaternalChild(persons.size() + 1, 0);
    // Chains a child behind its parent's previous child, in file order.
    const auto chainChild = [&persons](int parent, std::vector<int>& lastChild,
                                       int Numbered::*nextSib, int child) {
        Numbered& parentRecord = persons[parent - 1];
        if (parentRecord.firstOffspring == 0) {
            parentRecord.firstOffspring = child;
        }
        if (lastChild[parent] != 0) {
            persons[lastChild[parent] - 1].*nextSib = child;
        }
        lastChild[parent] = child;
    };
    for (std::size_t i = 0; i < persons.size(); ++i) {
        const InputLine& line = pedigree.persons[i];
        Numbered& self = persons[i];
        self.person = int(i) + 1;
        self.father = parentNumber(line, line.father, "father");
        self.mother = parentNumber(line, line.mother, "mother");
        if ((self.father == 0) != (self.mother == 0)) {
            throw ConversionError{where(fileName, line) +
                                  "has one parent unknown; give both parents or neither"};
        }
        if (self.father == 0) {
            continue;
        }
        chainChild(self.father, lastPaternalChild, &Numbered::nextPaternalSib, self.person);
        chainChild(self.mother, lastMaternalChild, &Numbered::nextMaternalSib, self.person);
    }
    return persons;
}

// The converted lines, passed to the sink a pedigree at a time: the output
// is about as large as the input, and is never held whole.
void convert(const std::string& fileName, const std::vector<PedigreeLines>& pedigrees,
             std::ostream& out) {
    std::string text;
    const auto add = [&text](int value) {
        std::array<char, 16> digits{};
        const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
        text.append(digits.data(), end);
        text += ' ';
    };
    int pedigreeNumber = 0;
    for (const PedigreeLines& pedigree : pedigrees) {
        ++pedigreeNumber;
        const std::vector<Numbered> persons = numberPedigree(fileName, pedigree);
        text.clear();
        for (std::size_t i = 0; i < persons.size(); ++i) {
            const Numbered& p = persons[i];
            const InputLine& line = pedigree.persons[i];
            for (const int value : {pedigreeNumber, p.person, p.father, p.mother, p.firstOffspring,
                                    p.nextPaternalSib, p.nextMaternalSib}) {
                add(value);
            }
            text += line.sex;
            // The first person of each pedigree is its proband.
            text += i == 0 ? " 1" : " 0";
            if (!line.rest.empty()) {
                text += ' ';
                text += line.rest;
            }
            text += "  Ped: ";
            text += pedigree.id;
            text += " Per: ";
            text += line.person;
            text += '\n';
        }
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
}

// Writes beside the target and renames, so a reader never sees half a file.
// A fault while writing (the writer's ConversionError included) leaves no
// partial file behind.
template <typename Write>
void writeAtomically(const std::string& fileName, const Write& write) {
    const fs::path target(fileName);
    fs::path partial = target;
    partial += ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        try {
            write(out);
        } catch (...) {
            out.close();
            std::error_code ignored;
            fs::remove(partial, ignored);
            throw;
        }
        out.close();
        if (!out) {
            const std::string reason = std::strerror(errno);
            std::error_code ignored;
            fs::remove(partial, ignored);
            throw ConversionError{"cannot write " + fileName + ": " + reason};
        }
    }
    std::error_code error;
    fs::rename(partial, target, error);
    if (error) {
        fs::remove(partial, error);
        throw ConversionError{"cannot write " + fileName + ": " + error.message()};
    }
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
}

int main(int argc, char* argv[]) {
    if (argc != 4 || std::string_view(argv[3]) != "n") {
        std::cerr << "usage: makepedvant PRE_MAKEPED_FILE OUTPUT_FILE n\n"
                     "  n: no loop breakers are declared\n";
        return 2;
    }
    const std::string input = argv[1];
    const std::string output = argv[2];
    if (sameFile(input, output)) {
        std::cerr << "makepedvant: the output file " << output << " is the input file\n";
        return 2;
    }
    try {
        const std::string text = readFile(input);
        const std::vector<PedigreeLines> pedigrees = readPedigrees(input, text);
        writeAtomically(output, [&](std::ostream& out) { convert(input, pedigrees, out); });
    } catch (const ConversionError& error) {
        // A converted file from an earlier run must not pass for this one's.
        std::error_code ignored;
        fs::remove(output, ignored);
        std::cerr << "makepedvant: " << error.message << '\n';
        return 1;
    }
    return 0;
}
