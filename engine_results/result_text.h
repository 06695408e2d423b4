#ifndef ORLEX_ENGINE_RESULTS_RESULT_TEXT_H
#define ORLEX_ENGINE_RESULTS_RESULT_TEXT_H

// The engine's result files are read once per marker or window, so their
// readers take the whole file in one read and walk it in place: a line is a
// view into the text, a word a view into the line, and numbers are parsed
// where they stand.
#include <array>
#include <cstddef>
#include <istream>
#include <memory>
#include <string_view>

// One line of a result file and its number (the first line is 1).
struct ResultTextLine {
    int number = 0;
    std::string_view text;
};

class ResultText {
  public:
    // Takes all that is left in the stream.
    explicit ResultText(std::istream& input);

    // The next line, as std::getline would split the text; false at the end.
    bool nextLine(ResultTextLine& line);

    // The number of the last line holding a word; 0 when none does.
    int lastWordLineNumber() const;

  private:
    // Left uninitialised until read into: a result file is a few hundred
    // kilobytes, and the stream reads straight into it.
    std::unique_ptr<char[]> storage_;
    std::string_view text_;
    std::size_t position_ = 0;
    int lineNumber_ = 0;
};

// The characters that separate words, as for reading a word from a stream,
// by code: one look-up per character of every line of a result file.
inline constexpr std::array<bool, 256> resultSpaces = [] {
    std::array<bool, 256> table{};
    for (const char c : {' ', '\t', '\n', '\v', '\f', '\r'}) {
        table[static_cast<unsigned char>(c)] = true;
    }
    return table;
}();

// Whether a character separates words.
inline bool isResultSpace(char c) {
    return resultSpaces[static_cast<unsigned char>(c)];
}

// Reads the words of one line from the front, as a stream would.
class ResultWords {
  public:
    explicit ResultWords(std::string_view line) : rest_(line) {}

    // The next word; empty when the line has no more.
    std::string_view word();

    // A number at the front of the rest, read as a stream reads a double:
    // blanks skipped, then the longest number there; the rest goes on after it.
    bool number(double& value);

    // The next word as a number, as parseResultNumber reads a whole word, and
    // the rest goes on after it; false when the word is missing or is not all
    // number, and the rest is then left at the word.
    bool wholeNumber(double& value);

    bool atEnd();

    // What is left of the line, from its next word on.
    std::string_view rest() {
        skipSpace();
        return rest_;
    }

  private:
    void skipSpace();
    std::string_view rest_;
};

// Counts the words of a line.
std::size_t resultWordCount(std::string_view line);

// A whole word as a number in fixed or exponent notation; false for anything
// else, and for a value out of the range of a double.
bool parseResultNumber(std::string_view word, double& value);

#endif
