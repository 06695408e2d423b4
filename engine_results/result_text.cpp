#include "result_text.h"

#include <algorithm>
#include <charconv>
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

void ResultText::passLine(std::size_t read) {
    const std::size_t end = text_.find('\n', position_ + read);
    ++lineNumber_;
    position_ = end == std::string_view::npos ? text_.size() : end + 1;
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

bool ResultWords::atEnd() {
    skipSpace();
    return rest_.empty();
}

namespace result_text_detail {

const char* readOtherNumber(const char* first, const char* last, double& value) {
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() ? end : nullptr;
}

}  // namespace result_text_detail

bool ResultWords::number(double& value) {
    skipSpace();
    // A stream reads digits only: no "inf" or "nan".
    const std::size_t digit = !rest_.empty() && (rest_[0] == '+' || rest_[0] == '-') ? 1 : 0;
    if (digit >= rest_.size() ||
        (rest_[digit] != '.' && (rest_[digit] < '0' || rest_[digit] > '9'))) {
        return false;
    }
    const char* end =
        result_text_detail::readNumber(rest_.data(), rest_.data() + rest_.size(), value);
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
    const char* const last = word.data() + word.size();
    return result_text_detail::readNumber(word.data(), last, value) == last && !word.empty();
}
