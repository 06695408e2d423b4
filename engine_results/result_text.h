#ifndef ORLEX_ENGINE_RESULTS_RESULT_TEXT_H
#define ORLEX_ENGINE_RESULTS_RESULT_TEXT_H

// The engine's result files are read once per marker or window, so their
// readers take the whole file in one read and walk it in place: a line is a
// view into the text, a word a view into the line, and numbers are parsed
// where they stand.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
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

    // For a reader that reads a line in place: the text from the start of the
    // next line to the end of the file. passLine then passes that line, of
    // which the first `read` characters hold no line break.
    std::string_view remaining() const { return text_.substr(position_); }
    void passLine(std::size_t read);

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

// The same but the line break: for reading the words of a line in place in
// the whole text, without running on into the next line.
inline constexpr std::array<bool, 256> resultLineSpaces = [] {
    std::array<bool, 256> table = resultSpaces;
    table[static_cast<unsigned char>('\n')] = false;
    return table;
}();

// Whether a character separates words.
inline bool isResultSpace(char c) {
    return resultSpaces[static_cast<unsigned char>(c)];
}

// The reading of words and numbers is inline: a reader's walk over the
// thousands of lines of a result file then compiles into one pass per line.
namespace result_text_detail {

// Runs of blanks, which make half of a pedigree line, are passed eight
// characters at a time: a chunk holds eight characters, the first in its
// lowest byte, and notBlankBytes sets the high bit of each byte that is no
// blank, with no carry between bytes.
using Chunk = std::uint64_t;
inline constexpr std::size_t chunkSize = sizeof(Chunk);

inline Chunk loadChunk(const char* p) {
    Chunk chunk = 0;
    std::memcpy(&chunk, p, chunkSize);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    chunk = __builtin_bswap64(chunk);
#endif
    return chunk;
}

inline Chunk notBlankBytes(Chunk chunk) {
    constexpr Chunk low = 0x7f7f7f7f7f7f7f7fU;
    const Chunk differs = chunk ^ 0x2020202020202020U;
    return (((differs & low) + low) | differs) & ~low;
}

// The place of the first byte with its high bit set; flags is not zero.
inline std::size_t firstFlagged(Chunk flags) {
#if defined(__GNUC__)
    return static_cast<std::size_t>(__builtin_ctzll(flags)) / 8;
#else
    std::size_t place = 0;
    for (; (flags & 0x80) == 0; flags >>= 8) {
        ++place;
    }
    return place;
#endif
}

// Passes the separators from p on: those of resultSpaces, or of another such
// table.
template <const std::array<bool, 256>& spaces = resultSpaces>
inline const char* skipSeparators(const char* p, const char* last) {
    const auto isSpace = [](char c) { return spaces[static_cast<unsigned char>(c)]; };
    while (last - p >= static_cast<std::ptrdiff_t>(chunkSize)) {
        const Chunk flags = notBlankBytes(loadChunk(p));
        if (flags == 0) {
            p += chunkSize;
            continue;
        }
        // The blanks end here, but a tab or the like may go on.
        p += firstFlagged(flags);
        if (!isSpace(*p)) {
            return p;
        }
        ++p;
    }
    while (p != last && isSpace(*p)) {
        ++p;
    }
    return p;
}

inline const char* skipWord(const char* p, const char* last) {
    while (p != last && !isResultSpace(*p)) {
        ++p;
    }
    return p;
}

inline constexpr int mostPlainDigits = 15;  // 10^15 < 2^53
inline constexpr std::array<double, mostPlainDigits + 1> plainPowersOfTen{
    1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// Reads the digits from p on into whole; the position after the last digit.
// A loop of digits alone, apart from the point, is the tightest: most of the
// characters of a result file are the digits of its numbers.
inline const char* readDigits(const char* p, const char* last, std::uint64_t& whole) {
    for (; p != last; ++p) {
        const auto digit = static_cast<unsigned char>(*p - '0');
        if (digit > 9) {
            break;
        }
        whole = whole * 10 + digit;
    }
    return p;
}

// The engine prints plain decimals of a few digits, thousands per file. When
// all the digits make a whole number below 2^53 and the decimals are few, the
// whole number and the power of ten are both exact doubles, so one division
// gives the correctly rounded value, the very one std::from_chars gives, at a
// fraction of its cost. Null for anything else (more digits, an exponent, no
// digit), which readOtherNumber then reads.
inline const char* readPlainDecimal(const char* first, const char* last, double& value) {
    const char* p = first;
    const bool negative = p != last && *p == '-';
    if (negative) {
        ++p;
    }
    // The digits on both sides of the point. Past 15 digits the number is
    // refused, so a whole that wraps is never used.
    std::uint64_t whole = 0;
    const char* const integer = p;
    p = readDigits(p, last, whole);
    const char* point = nullptr;
    if (p != last && *p == '.') {
        point = p;
        p = readDigits(p + 1, last, whole);
    }
    const std::ptrdiff_t decimals = point == nullptr ? 0 : p - point - 1;
    const std::ptrdiff_t digits = p - integer - (point == nullptr ? 0 : 1);
    if (digits == 0 || digits > mostPlainDigits || (p != last && (*p == 'e' || *p == 'E'))) {
        return nullptr;
    }
    const double magnitude = static_cast<double>(whole) / plainPowersOfTen[decimals];
    value = negative ? -magnitude : magnitude;
    return p;
}

// Any other number std::from_chars reads; the position after it, or null.
const char* readOtherNumber(const char* first, const char* last, double& value);

// A number at the front of first to last, with an optional plus sign, as
// strtod reads the engine's notations; the position after it, or null.
inline const char* readNumber(const char* first, const char* last, double& value) {
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-') {
            return nullptr;
        }
    }
    if (const char* end = readPlainDecimal(first, last, value)) {
        return end;
    }
    return readOtherNumber(first, last, value);
}

}  // namespace result_text_detail

// Reads the words of one line from the front, as a stream would.
class ResultWords {
  public:
    explicit ResultWords(std::string_view line) : rest_(line) {}

    // The next word; empty when the line has no more.
    std::string_view word() {
        const char* const end = rest_.data() + rest_.size();
        const char* const first = result_text_detail::skipSeparators(rest_.data(), end);
        const char* const last = result_text_detail::skipWord(first, end);
        rest_ = std::string_view(last, static_cast<std::size_t>(end - last));
        return std::string_view(first, static_cast<std::size_t>(last - first));
    }

    // A number at the front of the rest, read as a stream reads a double:
    // blanks skipped, then the longest number there; the rest goes on after it.
    bool number(double& value);

    // The next word as a number, as parseResultNumber reads a whole word, and
    // the rest goes on after it; false when the word is missing or is not all
    // number, and the rest is then left at the word.
    bool wholeNumber(double& value) {
        skipSpace();
        // The number is read from the rest of the line; as no number goes on
        // across a separator, it ends where the same word read alone would.
        const char* const last = rest_.data() + rest_.size();
        const char* const end = result_text_detail::readNumber(rest_.data(), last, value);
        if (end == nullptr || (end != last && !isResultSpace(*end))) {
            return false;
        }
        rest_ = std::string_view(end, static_cast<std::size_t>(last - end));
        return true;
    }

    bool atEnd();

    // What is left of the line, from its next word on.
    std::string_view rest() {
        skipSpace();
        return rest_;
    }

  private:
    void skipSpace() {
        const char* const last = rest_.data() + rest_.size();
        const char* const first = result_text_detail::skipSeparators(rest_.data(), last);
        rest_ = std::string_view(first, static_cast<std::size_t>(last - first));
    }

    std::string_view rest_;
};

// Counts the words of a line.
std::size_t resultWordCount(std::string_view line);

// A whole word as a number in fixed or exponent notation; false for anything
// else, and for a value out of the range of a double.
bool parseResultNumber(std::string_view word, double& value);

#endif
