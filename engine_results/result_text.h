#ifndef ORLEX_ENGINE_RESULTS_RESULT_TEXT_H
#define ORLEX_ENGINE_RESULTS_RESULT_TEXT_H

// The engine's result files are read once per marker or window, so their
// readers take the whole file in one read and walk it in place: a line is a
// view into the text, a word a view into the line, and numbers are parsed
// where they stand.
#include <istream>
#include <string>
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
    std::string text_;
    std::size_t position_ = 0;
    int lineNumber_ = 0;
};

// Whether a character separates words, as for reading a word from a stream.
inline bool isResultSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');  // tab, line feed, vertical tab, form feed, return
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

    bool atEnd();

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
