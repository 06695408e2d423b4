// Free functions shared by the whole package.
#pragma once

#include <string>
#include <vector>

// Conversions and formatting

std::string IntToString(int value);
// The default form of a fresh output stream: general notation, six significant digits.
std::string doubleToString(double value);
// The value formatted with two decimals and read back.
double changeValueLengthToTwo(double value);
// Leading number of the text (0 when there is none); out-of-range values saturate.
int stringToInt(const std::string& text);
double stringToDouble(const std::string& text);
std::string stringToLower(std::string text);
// Number of characters that are neither a blank nor a tab.
int countElements(const std::string& text);
// The words of every line that has any, split at blanks and tabs.
std::vector<std::vector<std::string>> readFile(const std::string& fileName);
// Local time in ctime form, line feed included.
std::string current_time_and_date();
std::string secondsToCorrectTimeFormat(double seconds);
// Overwrites one terminal line with the percentage done at each tenth.
void progressReportX(const char* label, int done, int total);
