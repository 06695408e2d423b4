#include "result_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <system_error>
#include <utility>

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

const char* skipSeparators(const char* p, const char* last) {
    while (p != last && isResultSpace(*p)) {
        ++p;
    }
    return p;
}

const char* skipWord(const char* p, const char* last) {
    while (p != last && !isResultSpace(*p)) {
        ++p;
    }
    return p;
}

// Reads the digits from p on into whole; the position after them. Past 15
// digits a number is refused, so a whole that wraps is never used.
const char* readDigits(const char* p, const char* last, std::uint64_t& whole) {
    for (; p != last; ++p) {
        const auto digit = static_cast<unsigned char>(*p - '0');
        if (digit > 9) {
            break;
        }
        whole = whole * 10 + digit;
    }
    return p;
}

}  // namespace

ResultText::ResultText(std::istream& input) {
    // Room for the whole file and one byte more, so that the read that finds
    // its end is the one that fills it; a stream that cannot tell its size
    // (or grew) gets room doubled as it fills.
    std::size_t capacity = sizeLeft(input) + 1;
    storage_.reset(new char[capacity]);
    std::size_t size = 0;
    while (input) {
        if (size == capacity) {
            std::unique_ptr<char[]> larger(new char[2 * capacity]);
            std::copy_n(storage_.get(), size, larger.get());
            storage_ = std::move(larger);
            capacity *= 2;
        }
        input.read(storage_.get() + size, static_cast<std::streamsize>(capacity - size));
        size += static_cast<std::size_t>(input.gcount());
    }
    text_ = std::string_view(storage_.get(), size);
}

bool ResultText::nextLine(ResultTextLine& line) {
    if (position_ >= text_.size()) {
        return false;
    }
    const std::size_t end = text_.find('\n', position_);
    const std::size_t stop = end == std::string_view::npos ? text_.size() : end;
    line.number = ++lineNumber_;
    line.text = text_.substr(position_, stop - position_);
    position_ = end == std::string_view::npos ? text_.size() : end + 1;
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
    const char* const last = rest_.data() + rest_.size();
    const char* const first = skipSeparators(rest_.data(), last);
    rest_ = std::string_view(first, static_cast<std::size_t>(last - first));
}

bool ResultWords::atEnd() {
    skipSpace();
    return rest_.empty();
}

std::string_view ResultWords::word() {
    // Every word of every line of a result file passes here.
    const char* const end = rest_.data() + rest_.size();
    const char* const first = skipSeparators(rest_.data(), end);
    const char* const last = skipWord(first, end);
    rest_ = std::string_view(last, static_cast<std::size_t>(end - last));
    return std::string_view(first, static_cast<std::size_t>(last - first));
}

namespace {

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
    const char* const integer = p;
    p = readDigits(p, last, whole);
    std::ptrdiff_t digits = p - integer;
    std::ptrdiff_t decimals = 0;
    if (p != last && *p == '.') {
        const char* const fraction = p + 1;
        p = readDigits(fraction, last, whole);
        decimals = p - fraction;
        digits += decimals;
    }
    if (digits == 0 || digits > mostDigits || (p != last && (*p == 'e' || *p == 'E'))) {
        return nullptr;
    }
    const double magnitude = static_cast<double>(whole) / powersOfTen[decimals];
    value = negative ? -magnitude : magnitude;
    return p;
}

// A number at the front of first to last, with an optional plus sign, as
// strtod reads the engine's notations; the position after it, or nullptr.
const char* readNumber(const char* first, const char* last, double& value) {
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
    const char* end = readNumber(rest_.data(), rest_.data() + rest_.size(), value);
    if (end == nullptr) {
        return false;
    }
    rest_.remove_prefix(static_cast<std::size_t>(end - rest_.data()));
    return true;
}

bool ResultWords::wholeNumber(double& value) {
    skipSpace();
    // The number is read from the rest of the line; as no number goes on
    // across a separator, it ends where the same word read alone would.
    const char* const last = rest_.data() + rest_.size();
    const char* const end = readNumber(rest_.data(), last, value);
    if (end == nullptr || (end != last && !isResultSpace(*end))) {
        return false;
    }
    rest_ = std::string_view(end, static_cast<std::size_t>(last - end));
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
    const char* const last = word.data() + word.size();
    return readNumber(word.data(), last, value) == last && !word.empty();
}
