// A text file read or written in one piece through an in-memory buffer:
// writers compose the whole text in outputBuffer and write it at once;
// readers pull the whole input into inputBuffer and extract from it. The two
// sides are addressed by the mode texts "read" and "write". An output file is
// written whole or not at all (ReplacementFile): it takes the place of the
// file of its name only when closed without error. Nothing is printed:
// callers report their own failures.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include "replacement_file.h"

class File {
  public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    // Closes what is still open. An output that was never closed is
    // dropped: the file of its name stays as it was.
    ~File();

    // True when the side is in good state afterwards; opening a side that
    // already has a file open fails and leaves it failed.
    bool openFile(const std::string& name, const std::string& mode);
    // Whether that side is in good state (neither failed nor broken).
    bool isOpen(const std::string& mode) const;
    // Closing the write side puts the written file in place of the file of
    // its name; when that fails the side is marked failed and the file of
    // that name stays as it was.
    void closeFile(const std::string& mode);

    // The next line without its line end; "" at the end or on a failed side.
    std::string getLine();
    // Appends the rest of the input file, line ends included, to inputBuffer.
    void getAllLinesInOStringStream();
    // Writes the whole text of outputBuffer; the buffer keeps it.
    void addAllLinesFromOStringStream();
    // Writes the text and a line feed and flushes.
    void addLine(const std::string& text);
    // Writes the whole of outputBuffer and closes the write side. False when
    // any of it did not reach the file: a full disk shows only at the close.
    bool writeOutputBufferAndClose();

  private:
    std::ifstream inputFile;
    ReplacementFile outputFile;

  public:
    std::stringstream inputBuffer;
    std::stringstream outputBuffer;
};
