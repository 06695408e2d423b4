#include "utilities.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <locale>
#include <sstream>
#include <system_error>

// Conversions and formatting

std::string IntToString(int value) {
    return std::to_string(value);
}

std::string doubleToString(double value) {
    if (std::isnan(value)) {
        return "nan";  // the C library would print a sign-bit NaN as "-nan"
    }
    // As a stream prints it by default (six significant digits, "%g"), without
    // the cost of a stream: the keys of two-point results are made this way.
    std::array<char, 32> text{};
    const auto [end, error] =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::general, 6);
    return error == std::errc() ? std::string(text.data(), end) : std::string();
}

void writeCell(std::ostream& out, const std::optional<double>& value, int width, int decimals) {
    if (!value) {
        out << std::string(static_cast<size_t>(width), ' ');
        return;
    }
    std::ostringstream cell;
    cell << std::fixed << std::setprecision(decimals) << *value;
    const std::string text = cell.str();
    out << (text.size() >= static_cast<size_t>(width)
                ? " " + text
                : std::string(width - text.size(), ' ') + text);
}

void writeNumber(std::ostream& out, double value) {
    constexpr std::ios_base::fmtflags formatting =
        std::ios_base::floatfield | std::ios_base::showpos | std::ios_base::showpoint |
        std::ios_base::uppercase;
    // Precisions past the 17 digits that tell every double apart are rare
    // and may need more room than the text here has.
    const std::streamsize precision = out.precision();
    if ((out.flags() & formatting) != 0 || out.width() != 0 || precision <= 0 || precision > 17 ||
        out.getloc() != std::locale::classic()) {
        out << value;
        return;
    }
    // Room for 17 digits, a sign, a point and an exponent.
    std::array<char, 32> text{};
    const std::to_chars_result written =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::general,
                      static_cast<int>(precision));
    if (written.ec != std::errc{}) {
        out << value;
        return;
    }
    out.write(text.data(), written.ptr - text.data());
}

double changeValueLengthToTwo(double value) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(2) << value;
    return stringToDouble(text.str());
}

int stringToInt(const std::string& text) {
    // strtol saturates at the long range on overflow; the clamp does the same
    // for the int range, where a plain atoi would be undefined.
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

double stringToDouble(const std::string& text) {
    // Out of range gives +-HUGE_VAL (or a denormal/zero) instead of undefined behaviour.
    return std::strtod(text.c_str(), nullptr);
}

std::string stringToLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

static bool isSeparator(char c) {
    return c == ' ' || c == '\t';
}

int countElements(const std::string& text) {
    return static_cast<int>(
        std::count_if(text.begin(), text.end(), [](char c) { return !isSeparator(c); }));
}

// Words of one line, split at runs of blanks and tabs only.
static std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    auto wordStart = std::find_if_not(line.begin(), line.end(), isSeparator);
    while (wordStart != line.end()) {
        const auto wordEnd = std::find_if(wordStart, line.end(), isSeparator);
        words.emplace_back(wordStart, wordEnd);
        wordStart = std::find_if_not(wordEnd, line.end(), isSeparator);
    }
    return words;
}

std::string inputFileProblem(const std::string& fileName) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(fileName, error);
    if (error || !std::filesystem::exists(status) || std::filesystem::is_regular_file(status)) {
        return "";
    }
    if (std::filesystem::is_directory(status)) {
        return "is a directory, not a file";
    }
    if (std::filesystem::is_fifo(status)) {
        return "is a pipe or FIFO, which can be read only once: save it as a file first";
    }
    return "is a device or special file, not a regular file: save its text as a file first";
}

std::string tooLongWordProblem(int lineNumber) {
    return "line " + IntToString(lineNumber) + " holds a word of more than " +
           IntToString(static_cast<int>(longestInputWord)) +
           " characters, longer than any real input";
}

bool readColumnLines(std::istream& in, std::vector<ColumnLine>& lines, std::string& problem) {
    std::string text;
    int number = 0;
    while (std::getline(in, text)) {
        ++number;
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        ColumnLine line{number, {}};
        auto begin = std::find_if_not(text.cbegin(), text.cend(), isSeparator);
        while (begin != text.cend()) {
            const auto end = std::find_if(begin, text.cend(), isSeparator);
            if (static_cast<std::size_t>(end - begin) > longestInputWord) {
                problem = tooLongWordProblem(number);
                return false;
            }
            line.columns.emplace_back(begin, end);
            begin = std::find_if_not(end, text.cend(), isSeparator);
        }
        if (!line.columns.empty()) {
            lines.push_back(std::move(line));
        }
    }
    return true;
}

std::vector<std::vector<std::string>> readFile(const std::string& fileName) {
    std::ifstream input;
    std::error_code error;
    // A directory may open as a stream but holds no text: report it like any
    // file that cannot be read.
    if (!std::filesystem::is_directory(fileName, error)) {
        input.open(fileName);
    }
    if (!input.is_open()) {
        std::cout << "Unable to open file " << fileName << " for reading." << std::endl;
        return {};
    }
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(input, line)) {
        // Windows line ends: the carriage return before a line feed is not text.
        if (!input.eof() && !line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::vector<std::string> words = splitWords(line);
        if (!words.empty()) {
            rows.push_back(std::move(words));
        }
    }
    return rows;
}

std::string current_time_and_date() {
    const std::time_t now = std::time(nullptr);
    const char* text = std::ctime(&now);
    return text != nullptr ? std::string(text) : std::string();
}

std::string secondsToCorrectTimeFormat(double seconds) {
    if (seconds < 60) {
        return doubleToString(seconds) + " seconds";
    }
    // Whole units are kept in doubles: cutting a huge duration to an int
    // would overflow.
    double minutes = std::trunc(seconds / 60);
    double rest = seconds - 60 * minutes;
    if (rest == 60) {
        minutes += 1;
        rest = 0;
    }
    if (minutes < 60) {
        return doubleToString(minutes) + " minutes  " + doubleToString(rest) + " seconds";
    }
    double hours = std::trunc(minutes / 60);
    minutes -= 60 * hours;
    if (minutes == 60) {
        hours += 1;
        minutes = 0;
    }
    return doubleToString(hours) + " hours  " + doubleToString(minutes) + " minutes  " +
           doubleToString(rest) + " seconds";
}

void progressReportX(const char* label, int done, int total) {
    if (total == 0) {
        return;  // no share of nothing to report
    }
    // Wide arithmetic: done * 100 overflows an int above about 21 million.
    const long long percent = static_cast<long long>(done) * 100 / total;
    if (percent % 10 == 0) {
        std::cout << (label != nullptr ? label : "") << ": " << percent << "%"
                  << std::string(20, ' ') << '\r' << std::flush;
    }
}
