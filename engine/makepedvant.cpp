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
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

// One person's line of the input file.
struct InputLine {
    int lineNumber = 0;
    std::string pedigree;
    std::string person;
    std::string father;
    std::string mother;
    std::string sex;
    std::string rest;  // everything after the sex column, as written
};

struct PedigreeLines {
    std::string id;
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
std::string nextToken(const std::string& text, std::size_t& position) {
    const std::size_t begin = text.find_first_not_of(whiteSpace, position);
    if (begin == std::string::npos) {
        position = text.size();
        return {};
    }
    const std::size_t end = std::min(text.find_first_of(whiteSpace, begin), text.size());
    position = end;
    return text.substr(begin, end - begin);
}

std::string trimmed(const std::string& text) {
    const std::size_t begin = text.find_first_not_of(whiteSpace);
    if (begin == std::string::npos) {
        return {};
    }
    return text.substr(begin, text.find_last_not_of(whiteSpace) - begin + 1);
}

std::string where(const std::string& fileName, const InputLine& line) {
    return fileName + ", line " + std::to_string(line.lineNumber) + ", person " + line.person +
           " (pedigree " + line.pedigree + "): ";
}

// Reads one non-blank line into its leading columns; nullopt for a blank line.
std::optional<InputLine> parseLine(const std::string& fileName, const std::string& text,
                                   int lineNumber) {
    InputLine line;
    line.lineNumber = lineNumber;
    std::size_t position = 0;
    std::string* const columns[] = {&line.pedigree, &line.person, &line.father, &line.mother,
                                    &line.sex};
    int found = 0;
    for (std::string* column : columns) {
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
        const std::string person = found >= 2 ? line.person : std::string("?");
        throw ConversionError{fileName + ", line " + std::to_string(lineNumber) + ", person " +
                              person + ": too few columns (" + std::to_string(found) +
                              "; pedigree, person, father, mother and sex are needed)"};
    }
    if (line.person == "0") {
        throw ConversionError{where(fileName, line) + "0 is the unknown parent, not a person id"};
    }
    if (line.sex != "1" && line.sex != "2") {
        throw ConversionError{where(fileName, line) + "sex must be 1 or 2, not " + line.sex};
    }
    line.rest = trimmed(text.substr(position));
    return line;
}

// The persons grouped by pedigree, pedigrees in the order they first appear.
std::vector<PedigreeLines> readPedigrees(const std::string& fileName) {
    std::error_code ignored;
    if (fs::is_directory(fileName, ignored)) {
        throw ConversionError{"cannot read " + fileName + ": it is a directory"};
    }
    std::ifstream in(fileName);
    if (!in) {
        throw ConversionError{"cannot read " + fileName + ": " + std::strerror(errno)};
    }
    std::vector<PedigreeLines> pedigrees;
    std::map<std::string, std::size_t> pedigreeIndex;
    std::string text;
    int lineNumber = 0;
    while (std::getline(in, text)) {
        ++lineNumber;
        std::optional<InputLine> line = parseLine(fileName, text, lineNumber);
        if (!line) {
            continue;
        }
        const auto [slot, added] = pedigreeIndex.try_emplace(line->pedigree, pedigrees.size());
        if (added) {
            pedigrees.push_back({line->pedigree, {}});
        }
        pedigrees[slot->second].persons.push_back(std::move(*line));
    }
    if (in.bad()) {
        throw ConversionError{"cannot read " + fileName + ": read error at line " +
                              std::to_string(lineNumber + 1)};
    }
    if (pedigrees.empty()) {
        throw ConversionError{fileName + " holds no persons"};
    }
    return pedigrees;
}

// Numbers one pedigree's persons and links each parent to its children.
std::vector<Numbered> numberPedigree(const std::string& fileName, const PedigreeLines& pedigree) {
    std::map<std::string, int> number;
    for (const InputLine& line : pedigree.persons) {
        const auto [slot, added] = number.try_emplace(line.person, int(number.size()) + 1);
        if (!added) {
            throw ConversionError{where(fileName, line) + "listed twice in the pedigree (also as " +
                                  "person number " + std::to_string(slot->second) + ")"};
        }
    }
    const auto parentNumber = [&](const InputLine& line, const std::string& parent,
                                  const char* role) {
        if (parent == "0") {
            return 0;
        }
        if (parent == line.person) {
            throw ConversionError{where(fileName, line) + "is its own " + role};
        }
        const auto found = number.find(parent);
        if (found == number.end()) {
            throw ConversionError{where(fileName, line) + role + " " + parent +
                                  " is not in pedigree " + line.pedigree};
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

std::string convert(const std::string& fileName, const std::vector<PedigreeLines>& pedigrees) {
    std::ostringstream out;
    int pedigreeNumber = 0;
    for (const PedigreeLines& pedigree : pedigrees) {
        ++pedigreeNumber;
        const std::vector<Numbered> persons = numberPedigree(fileName, pedigree);
        for (std::size_t i = 0; i < persons.size(); ++i) {
            const Numbered& p = persons[i];
            const InputLine& line = pedigree.persons[i];
            // The first person of each pedigree is its proband.
            const int proband = i == 0 ? 1 : 0;
            out << pedigreeNumber << ' ' << p.person << ' ' << p.father << ' ' << p.mother << ' '
                << p.firstOffspring << ' ' << p.nextPaternalSib << ' ' << p.nextMaternalSib << ' '
                << line.sex << ' ' << proband;
            if (!line.rest.empty()) {
                out << ' ' << line.rest;
            }
            out << "  Ped: " << pedigree.id << " Per: " << line.person << '\n';
        }
    }
    return out.str();
}

// Writes beside the target and renames, so a reader never sees half a file.
void writeAtomically(const std::string& fileName, const std::string& text) {
    const fs::path target(fileName);
    fs::path partial = target;
    partial += ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << text;
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
        writeAtomically(output, convert(input, readPedigrees(input)));
    } catch (const ConversionError& error) {
        // A converted file from an earlier run must not pass for this one's.
        std::error_code ignored;
        fs::remove(output, ignored);
        std::cerr << "makepedvant: " << error.message << '\n';
        return 1;
    }
    return 0;
}
