// Pieces of PostScript text shared by the histogram and curve writers.
#pragma once

#include <ostream>
#include <string>

// The text as the body of a PostScript string: "\", "(" and ")" are escaped
// so that names holding them can neither break the document nor add code.
std::string postScriptText(const std::string& text);

// A coordinate as an integer: truncated toward zero in double and brought
// into a range the interpreter draws (a NaN becomes 0), so no undefined
// conversion happens and no "nan" or huge number reaches the document.
int postScriptInt(double value);
// A coordinate written as a real: finite and within the same range.
double postScriptReal(double value);

void writePageHeader(std::ostream& out, int pageNumber);
void writePageFrame(std::ostream& out);
void writePageTexts(std::ostream& out, int pageNumber, const std::string& title,
                    const std::string& subtitle, const std::string& infoLine,
                    const std::string& xAxisLabel, const std::string& yAxisLabel);
void writePageEnd(std::ostream& out);
// One value-axis tick label at pos, turned with the headings.
void writeTickLabel(std::ostream& out, int fontSize, int pos, const std::string& label);
