// The shared walk over a result file's text: lines as std::getline splits
// them, words and numbers as a stream or strtod reads them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include "result_text.h"

TEST(ResultText, LinesKeepTheirNumbersAndTheLastWordLineIsFound) {
    std::istringstream input("a b\n\n  \t\nc\n \r\n");
    ResultText text(input);
    std::vector<std::string> lines;
    ResultTextLine line;
    while (text.nextLine(line)) {
        lines.push_back(std::to_string(line.number) + ":" + std::string(line.text));
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"1:a b", "2:", "3:  \t", "4:c", "5: \r"}));
    EXPECT_EQ(text.lastWordLineNumber(), 4);

    std::istringstream unterminated("x\ny");
    EXPECT_EQ(ResultText(unterminated).lastWordLineNumber(), 2);
    std::istringstream blank(" \n\n");
    EXPECT_EQ(ResultText(blank).lastWordLineNumber(), 0);
}

// A stream that cannot tell its size nor seek, as a pipe.
class UnseekableText : public std::streambuf {
  public:
    explicit UnseekableText(std::string text) : text_(std::move(text)) {
        setg(text_.data(), text_.data(), text_.data() + text_.size());
    }

  private:
    std::string text_;
};

TEST(ResultText, TakesWhatIsLeftOfSeekableAndUnseekableStreams) {
    std::istringstream seekable("skipped\nkept 1\nkept 2");
    std::string first;
    std::getline(seekable, first);
    ResultText rest(seekable);
    ResultTextLine line;
    ASSERT_TRUE(rest.nextLine(line));
    EXPECT_EQ(line.text, "kept 1");

    UnseekableText buffer("a\nb");
    std::istream unseekable(&buffer);
    ResultText whole(unseekable);
    ASSERT_TRUE(whole.nextLine(line));
    EXPECT_EQ(line.text, "a");
    ASSERT_TRUE(whole.nextLine(line));
    EXPECT_EQ(line.text, "b");
    EXPECT_FALSE(whole.nextLine(line));
}

struct NumberCase {
    const char* name;
    const char* word;
    bool whole;  // read as a whole word, as strtod with nothing left over
    double value;
};

class ResultNumber : public testing::TestWithParam<NumberCase> {};

TEST_P(ResultNumber, WholeWordsReadAsTheEnginePrintsThem) {
    double value = -1.0;
    EXPECT_EQ(parseResultNumber(GetParam().word, value), GetParam().whole);
    if (GetParam().whole) {
        EXPECT_DOUBLE_EQ(value, GetParam().value);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ResultNumber,
                         testing::Values(NumberCase{"Fixed", "-18.548412", true, -18.548412},
                                         NumberCase{"Exponent", "6.35566e+01", true, 63.5566},
                                         NumberCase{"PlusSign", "+0.5", true, 0.5},
                                         NumberCase{"LeadingPoint", ".25", true, 0.25},
                                         NumberCase{"TrailingLetters", "-18.54x412", false, 0.0},
                                         NumberCase{"Word", "nonsense", false, 0.0},
                                         NumberCase{"Empty", "", false, 0.0},
                                         NumberCase{"TwoSigns", "+-1", false, 0.0},
                                         NumberCase{"OutOfRange", "1e999", false, 0.0}),
                         [](const testing::TestParamInfo<NumberCase>& info) {
                             return info.param.name;
                         });

// Decimals of every length around the point where exact arithmetic stops
// (15 digits), of both signs, read to the very bit strtod gives.
TEST(ResultNumber, DecimalsOfAnyLengthReadToTheBitStrtodGives) {
    std::mt19937_64 random(20261210);
    for (int i = 0; i < 20000; ++i) {
        const int digits = 1 + i % 18;
        std::string word = (i / 18) % 2 == 0 ? "" : "-";
        for (int d = 0; d < digits; ++d) {
            word += static_cast<char>('0' + random() % 10);
        }
        const int decimals = static_cast<int>(random() % static_cast<unsigned>(digits + 1));
        word.insert(word.size() - static_cast<std::size_t>(decimals), ".");
        double value = 0.0;
        ASSERT_TRUE(parseResultNumber(word, value)) << word;
        const double expected = std::strtod(word.c_str(), nullptr);
        EXPECT_EQ(value, expected) << word;
        EXPECT_EQ(std::signbit(value), std::signbit(expected)) << word;
    }
}

TEST(ResultWords, NumbersAreReadAsAStreamReadsThem) {
    ResultWords words("  THETAS 0.1\t0.25x 3");
    EXPECT_EQ(words.word(), "THETAS");
    double value = 0.0;
    ASSERT_TRUE(words.number(value));
    EXPECT_DOUBLE_EQ(value, 0.1);
    ASSERT_TRUE(words.number(value));
    EXPECT_DOUBLE_EQ(value, 0.25);
    // The stream stops in front of the letter and fails there.
    EXPECT_FALSE(words.number(value));

    ResultWords special("nan inf");
    EXPECT_FALSE(special.number(value));
    ResultWords empty(" \t");
    EXPECT_TRUE(empty.atEnd());
    EXPECT_EQ(empty.word(), "");
    EXPECT_FALSE(empty.number(value));
}

// Random lines of blanks, every other separator, control characters that
// separate nothing, bytes above 127 and number-like words: a line splits into
// the words a stream reads, and ResultWords::wholeNumber agrees with
// parseResultNumber on each word.
TEST(ResultWords, RandomLinesSplitAsAStreamAndReadNumbersAsWholeWords) {
    const std::vector<std::string> pieces = {" ",        "  ",
                                             "\t",       "\v",
                                             "\f",       "\r",
                                             "\x01",     "\x1f",
                                             "\x7f",     "\xa0",
                                             "\xff",     "x",
                                             "LOD=",     "-",
                                             "+",        ".",
                                             "1",        "-20.925339",
                                             "0.000000", "1e5",
                                             "+-1",      "12345678901234567",
                                             "9.",       ".5",
                                             "inf",      "1.5e",
                                             "-0",       "7x"};
    std::mt19937 random(20261210);
    for (int i = 0; i < 5000; ++i) {
        std::string line;
        for (int n = static_cast<int>(random() % 12); n > 0; --n) {
            line += pieces[random() % pieces.size()];
        }
        std::istringstream stream(line);
        std::vector<std::string> expected;
        for (std::string word; stream >> word;) {
            expected.push_back(word);
        }
        ResultWords words(line);
        std::vector<std::string> actual;
        for (std::string_view word = words.word(); !word.empty(); word = words.word()) {
            actual.emplace_back(word);
        }
        ASSERT_EQ(actual, expected) << '"' << line << '"';
        EXPECT_EQ(resultWordCount(line), expected.size());

        ResultWords numbers(line);
        for (const std::string& word : expected) {
            double whole = 0.0;
            double inLine = 0.0;
            const bool isNumber = parseResultNumber(word, whole);
            ASSERT_EQ(numbers.wholeNumber(inLine), isNumber) << '"' << line << "\" at " << word;
            if (isNumber) {
                EXPECT_EQ(inLine, whole) << word;
            } else {
                EXPECT_EQ(numbers.word(), word);
            }
        }
        EXPECT_TRUE(numbers.atEnd());
    }
}
