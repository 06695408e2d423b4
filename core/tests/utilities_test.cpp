#include "utilities.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iomanip>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

TEST(ConversionsTest, IntToStringIsPlainDecimal) {
    const struct {
        int value;
        const char* text;
    } cases[] = {{0, "0"},
                 {-1, "-1"},
                 {7, "7"},
                 {-12, "-12"},
                 {100000, "100000"},
                 {INT_MAX, "2147483647"},
                 {INT_MIN, "-2147483648"}};
    for (const auto& c : cases) {
        EXPECT_EQ(IntToString(c.value), c.text);
    }
}

TEST(ConversionsTest, DoubleToStringUsesSixSignificantDigits) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.1, "0.1"},
        {100000, "100000"},
        {1000000, "1e+06"},
        {0.00012345678, "0.000123457"},
        {-2.5, "-2.5"},
        {0.5, "0.5"},
        {3.0, "3"},
        {0.333333333, "0.333333"},
        {0.00001, "1e-05"},
        {999999.7, "1e+06"},
        {0.0001, "0.0001"},
        {0, "0"},
        {1.5e-300, "1.5e-300"},
        {inf, "inf"},
        {-inf, "-inf"},
        {std::nan(""), "nan"},
        {-std::nan(""), "nan"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(doubleToString(c.value), c.text);
    }
}

// writeNumber must write what the stream itself writes, on its short way and
// on every way back to the stream.
TEST(ConversionsTest, WriteNumberWritesWhatTheStreamWrites) {
    const std::vector<double> values = {0.0,
                                        -0.0,
                                        0.999,
                                        1.0 / 3.0,
                                        0.02,
                                        1e-5,
                                        123456789012345678.0,
                                        -2.5e-300,
                                        std::numeric_limits<double>::denorm_min(),
                                        std::numeric_limits<double>::max(),
                                        std::numeric_limits<double>::infinity(),
                                        -std::numeric_limits<double>::infinity(),
                                        std::numeric_limits<double>::quiet_NaN()};
    const auto fixed = [](std::ostream& out) { out << std::fixed; };
    const auto showpos = [](std::ostream& out) { out << std::showpos; };
    const auto showpoint = [](std::ostream& out) { out << std::showpoint; };
    const auto scientific = [](std::ostream& out) { out << std::scientific << std::uppercase; };
    const auto wide = [](std::ostream& out) { out << std::setw(12); };
    const auto plain = [](std::ostream&) {};
    const std::vector<std::function<void(std::ostream&)>> settings = {
        plain, fixed, showpos, showpoint, scientific, wide};
    for (const int precision : {17, 6, 1, 0, 25}) {
        for (const auto& set : settings) {
            for (const double value : values) {
                std::ostringstream expected;
                std::ostringstream written;
                for (std::ostringstream* out : {&expected, &written}) {
                    *out << std::setprecision(precision);
                    set(*out);
                }
                expected << value << '|';
                writeNumber(written, value);
                written << '|';
                EXPECT_EQ(written.str(), expected.str()) << "precision " << precision;
            }
        }
    }
}

TEST(ConversionsTest, ChangeValueLengthToTwoRoundsToTwoDecimals) {
    const struct {
        double value;
        double expected;
    } cases[] = {{2.0, 2.0}, {0.4567, 0.46}, {0.333, 0.33}, {-0.456, -0.46}, {12.344, 12.34}};
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(changeValueLengthToTwo(c.value), c.expected) << c.value;
    }
}

TEST(ConversionsTest, StringToIntReadsTheLeadingNumberAndSaturates) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {{"12abc", 12},
                 {"abc", 0},
                 {" 7", 7},
                 {"\t-3", -3},
                 {"+5", 5},
                 {"", 0},
                 {"3000000000", INT_MAX},
                 {"-3000000000", INT_MIN},
                 {"99999999999999999999999", INT_MAX},
                 {"-99999999999999999999999", INT_MIN}};
    for (const auto& c : cases) {
        EXPECT_EQ(stringToInt(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(ConversionsTest, StringToDoubleReadsTheLeadingNumberAndSaturates) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* text;
        double expected;
    } cases[] = {{"0.5x", 0.5}, {"abc", 0.0},   {" 2.5", 2.5},    {"-1e-3", -0.001},
                 {"", 0.0},     {"1e400", inf}, {"-1e400", -inf}, {"1e-400", 0.0}};
    for (const auto& c : cases) {
        EXPECT_EQ(stringToDouble(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(ConversionsTest, StringToLowerChangesOnlyAsciiCapitals) {
    EXPECT_EQ(stringToLower("HaLDane"), "haldane");
    EXPECT_EQ(stringToLower("KOSAMBI 1.5 \xC9\xD6"), "kosambi 1.5 \xC9\xD6");
}

TEST(ConversionsTest, CountElementsSkipsBlanksAndTabsOnly) {
    EXPECT_EQ(countElements(" \t  \t"), 0);
    EXPECT_EQ(countElements(""), 0);
    EXPECT_EQ(countElements(" 0.1\t0.2 x\n"), 8);  // the line feed counts
}

class ReadFileTest : public test_support::TempDirTest {};

TEST_F(ReadFileTest, SplitsLinesIntoWordsAndSkipsEmptyLines) {
    const struct {
        const char* name;
        std::string text;
        Rows rows;
    } cases[] = {
        {"blank and tab separators", "a b\n\n c\td \n", {{"a", "b"}, {"c", "d"}}},
        {"no final line feed", "1 2\n3", {{"1", "2"}, {"3"}}},
        {"blanks and tabs only", " \t \n\t\n", {}},
        {"Windows line ends", "1 1 0 0\r\n\r\n2 1 0\r\n", {{"1", "1", "0", "0"}, {"2", "1", "0"}}},
        {"other control bytes stay in words", "a\rb c\v\n", {{"a\rb", "c\v"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test_support::writeText("ped.txt", c.text);
        EXPECT_EQ(readFile("ped.txt"), c.rows);
    }
}

TEST_F(ReadFileTest, UnreadableFileGivesAMessageAndNoRows) {
    std::filesystem::create_directory("folder");
    for (const std::string name : {"missing.ped", "folder"}) {
        testing::internal::CaptureStdout();
        const Rows rows = readFile(name);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "Unable to open file " + name + " for reading.\n");
        EXPECT_TRUE(rows.empty());
    }
}

std::string ctimeForm(std::time_t when) {
    char text[64];
    std::strftime(text, sizeof text, "%a %b %e %H:%M:%S %Y\n", std::localtime(&when));
    return text;
}

TEST(TimeTest, CurrentTimeAndDateHasTheCtimeForm) {
    const std::time_t before = std::time(nullptr);
    const std::string now = current_time_and_date();
    const std::time_t after = std::time(nullptr);
    EXPECT_EQ(now.size(), 25u);
    EXPECT_TRUE(now == ctimeForm(before) || now == ctimeForm(after)) << now;
}

TEST(TimeTest, DurationsAreSplitIntoHoursMinutesAndSeconds) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {0, "0 seconds"},
        {59, "59 seconds"},
        {59.5, "59.5 seconds"},
        {60, "1 minutes  0 seconds"},
        {90.5, "1 minutes  30.5 seconds"},
        {3599, "59 minutes  59 seconds"},
        {3600, "1 hours  0 minutes  0 seconds"},
        {3725, "1 hours  2 minutes  5 seconds"},
        {7200, "2 hours  0 minutes  0 seconds"},
        // far beyond the int range: 277777777 h 46 min 40 s
        {1e12, "2.77778e+08 hours  46 minutes  40 seconds"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(secondsToCorrectTimeFormat(c.seconds), c.text) << c.seconds;
    }
}

std::string progressOutput(int done, int total) {
    testing::internal::CaptureStdout();
    progressReportX("Completed", done, total);
    return testing::internal::GetCapturedStdout();
}

TEST(ProgressTest, ReportsEveryDoneValueAtAWholeTenth) {
    const std::string blanks(20, ' ');
    const struct {
        int done;
        int total;
        std::string output;
    } cases[] = {
        {999, 100000, "Completed: 0%" + blanks + "\r"},
        {10000, 100000, "Completed: 10%" + blanks + "\r"},
        {10001, 100000, "Completed: 10%" + blanks + "\r"},
        {11000, 100000, ""},
        {100000, 100000, "Completed: 100%" + blanks + "\r"},
        // done * 100 would overflow an int here
        {30000000, 100000000, "Completed: 30%" + blanks + "\r"},
        {INT_MAX, INT_MAX, "Completed: 100%" + blanks + "\r"},
        {5, 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(progressOutput(c.done, c.total), c.output) << c.done << "/" << c.total;
    }
}

class InputFilesTest : public test_support::TempDirTest {};

// A reader may need its input twice, and opening a FIFO without a writer
// blocks: only regular files (or names of nothing, whose open then fails)
// pass, and the test opens none of them.
TEST_F(InputFilesTest, OnlyRegularFilesAreInputs) {
    test_support::writeText("plain.txt", "1 2\n");
    std::filesystem::create_directory("folder");
    ASSERT_EQ(test_support::runCommand("mkfifo fifo && ln -s plain.txt link").status, 0);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain.txt", ""},
        {"link", ""},
        {"absent.txt", ""},
        {"folder", "is a directory, not a file"},
        {"fifo", "is a pipe or FIFO, which can be read only once: save it as a file first"},
        {"/dev/null",
         "is a device or special file, not a regular file: save its text as a file first"},
    };
    for (const auto& [name, problem] : cases) {
        EXPECT_EQ(inputFileProblem(name), problem) << name;
    }
}

TEST_F(InputFilesTest, ColumnLinesKeepTheirNumbersAndRefuseOverlongWords) {
    std::istringstream text("a b\r\n\n \t\nc\td  e\n" + std::string(3, ' '));
    std::vector<ColumnLine> lines;
    std::string problem;
    ASSERT_TRUE(readColumnLines(text, lines, problem));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].number, 1);
    EXPECT_EQ(lines[0].columns, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(lines[1].number, 4);
    EXPECT_EQ(lines[1].columns, (std::vector<std::string>{"c", "d", "e"}));

    std::istringstream longest("x\ny " + std::string(longestInputWord, '\0') + "\n");
    lines.clear();
    EXPECT_TRUE(readColumnLines(longest, lines, problem));
    std::istringstream tooLong("x\ny " + std::string(longestInputWord + 1, '\0') + "\n");
    lines.clear();
    EXPECT_FALSE(readColumnLines(tooLong, lines, problem));
    EXPECT_EQ(problem,
              "line 2 holds a word of more than 1048576 characters, longer than any real input");
}

}  // namespace
