#include "result_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <system_error>

namespace {

// How much is left in a stream that can tell, 0 in one that cannot; the
// stream is left where and as it was.
std::size_t sizeLeft(std::istream& input) {
    const std::ios::iostate state = input.rdstate();
    const std::streampos start = input.tellg();
    if (start == std::streampos(-1)) {
        input.clear(state);
        return 0;
    }
    std::streamoff left = 0;
    if (input.seekg(0, std::ios::end)) {
        const std::streampos end = input.tellg();
        left = end == std::streampos(-1) ? 0 : std::max<std::streamoff>(end - start, 0);
    }
    input.clear(state);
    input.seekg(start);
    return static_cast<std::size_t>(left);
}

}  // namespace

ResultText::ResultText(std::istream& input) {
    // Room for the whole file at once, so that it is not copied as it grows.
    text_.reserve(sizeLeft(input));
    // In blocks, not character by character.
    std::array<char, 65536> block{};
    while (input.read(block.data(), block.size()) || input.gcount() > 0) {
        text_.append(block.data(), static_cast<std::size_t>(input.gcount()));
    }
}

bool ResultText::nextLine(ResultTextLine& line) {
    if (position_ >= text_.size()) {
        return false;
    }
    const std::size_t end = text_.find('\n', position_);
    const std::size_t stop = end == std::string::npos ? text_.size() : end;
    line.number = ++lineNumber_;
    line.text = std::string_view(text_).substr(position_, stop - position_);
    position_ = end == std::string::npos ? text_.size() : end + 1;
    return true;
}

int ResultText::lastWordLineNumber() const {
    int number = 0;
    int last = 0;
    bool hasWord = false;
    for (const char c : text_) {
        if (c == '\n') {
            ++number;
            last = hasWord ? number : last;
            hasWord = false;
        } else if (!isResultSpace(c)) {
            hasWord = true;
        }
    }
    // A last line without a line break still counts.
    return hasWord ? number + 1 : last;
}

void ResultWords::skipSpace() {
    std::size_t i = 0;
    while (i < rest_.size() && isResultSpace(rest_[i])) {
        ++i;
    }
    rest_.remove_prefix(i);
}

bool ResultWords::atEnd() {
    skipSpace();
    return rest_.empty();
}

std::string_view ResultWords::word() {
    // Every word of every line of a result file passes here.
    const auto space = [](char c) { return isResultSpace(c); };
    const char* const end = rest_.data() + rest_.size();
    const char* const first = std::find_if_not(rest_.data(), end, space);
    const char* const last = std::find_if(first, end, space);
    rest_ = std::string_view(last, static_cast<std::size_t>(end - last));
    return std::string_view(first, static_cast<std::size_t>(last - first));
}

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The engine prints plain decimals of a few digits, thousands per file. When
// all the digits make a whole number below 2^53 and the decimals are few, the
// whole number and the power of ten are both exact doubles, so one division
// gives the correctly rounded value, the very one std::from_chars gives, at a
// fraction of its cost. Null for anything else (more digits, an exponent, no
// digit), which std::from_chars then reads.
const char* readPlainDecimal(const char* first, const char* last, double& value) {
    static constexpr int mostDigits = 15;  // 10^15 < 2^53
    static constexpr std::array<double, mostDigits + 1> powersOfTen{
        1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char* p = first;
    const bool negative = p != last && *p == '-';
    if (negative) {
        ++p;
    }
    std::uint64_t whole = 0;
    int digits = 0;
    int decimals = 0;
    const auto takeDigits = [&](bool afterPoint) {
        for (; p != last && isDigit(*p); ++p) {
            if (++digits > mostDigits) {
                return false;
            }
            whole = whole * 10 + static_cast<std::uint64_t>(*p - '0');
            decimals += afterPoint ? 1 : 0;
        }
        return true;
    };
    if (!takeDigits(false)) {
        return nullptr;
    }
    if (p != last && *p == '.') {
        ++p;
        if (!takeDigits(true)) {
            return nullptr;
        }
    }
    if (digits == 0 || (p != last && (*p == 'e' || *p == 'E'))) {
        return nullptr;
    }
    const double magnitude = static_cast<double>(whole) / powersOfTen[decimals];
    value = negative ? -magnitude : magnitude;
    return p;
}

// A number at the front of text, with an optional plus sign, as strtod reads
// the engine's notations; the position after it, or nullptr.
const char* readNumber(std::string_view text, double& value) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-') {
            return nullptr;
        }
    }
    if (const char* end = readPlainDecimal(first, last, value)) {
        return end;
    }
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() ? end : nullptr;
}

}  // namespace

bool ResultWords::number(double& value) {
    skipSpace();
    // A stream reads digits only: no "inf" or "nan".
    const std::size_t digit = !rest_.empty() && (rest_[0] == '+' || rest_[0] == '-') ? 1 : 0;
    if (digit >= rest_.size() ||
        (rest_[digit] != '.' && (rest_[digit] < '0' || rest_[digit] > '9'))) {
        return false;
    }
    const char* end = readNumber(rest_, value);
    if (end == nullptr) {
        return false;
    }
    rest_.remove_prefix(static_cast<std::size_t>(end - rest_.data()));
    return true;
}

std::size_t resultWordCount(std::string_view line) {
    ResultWords words(line);
    std::size_t count = 0;
    while (!words.word().empty()) {
        ++count;
    }
    return count;
}

bool parseResultNumber(std::string_view word, double& value) {
    return readNumber(word, value) == word.data() + word.size() && !word.empty();
}
