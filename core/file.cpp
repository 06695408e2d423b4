#include "file.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

// An output never closed is one its writer gave up on: it must not replace
// the file of its name. ReplacementFile drops it.
File::~File() = default;

bool File::openFile(const std::string& name, const std::string& mode) {
    if (mode == "read") {
        // A directory opens as a stream on some systems but yields no text;
        // refusing it keeps "cannot read this" from passing as an empty file.
        std::error_code error;
        if (fs::is_directory(name, error)) {
            inputFile.setstate(std::ios::failbit);
            return false;
        }
        inputFile.open(name);
        return !inputFile.fail();
    }
    if (mode == "write") {
        return outputFile.open(name);
    }
    return false;
}

bool File::isOpen(const std::string& mode) const {
    if (mode == "read") {
        return !inputFile.fail();
    }
    if (mode == "write") {
        return !outputFile.stream().fail();
    }
    return false;
}

void File::closeFile(const std::string& mode) {
    if (mode == "read" && !inputFile.fail()) {
        inputFile.close();
    } else if (mode == "write") {
        // A failed side never puts its file in place: its temporary file
        // goes at once.
        if (outputFile.stream().fail()) {
            outputFile.discard();
        } else {
            outputFile.commit();
        }
    }
}

std::string File::getLine() {
    std::string line;
    if (inputFile.fail() || !std::getline(inputFile, line)) {
        return std::string();
    }
    // A line that ended in a line feed drops a carriage return before it, so
    // files saved with Windows line ends read like Unix ones.
    if (!inputFile.eof() && !line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

void File::getAllLinesInOStringStream() {
    // Stop on any failure, not only at the end: a failed stream never
    // reaches its end.
    while (inputFile.good()) {
        inputBuffer << getLine();
        if (inputFile.good()) {
            inputBuffer << '\n';
        }
    }
}

void File::addAllLinesFromOStringStream() {
    if (!outputFile.stream().fail()) {
        outputFile.stream() << outputBuffer.str();
    }
}

void File::addLine(const std::string& text) {
    if (!outputFile.stream().fail()) {
        outputFile.stream() << text << '\n' << std::flush;
    }
}

bool File::writeOutputBufferAndClose() {
    addAllLinesFromOStringStream();
    closeFile("write");
    return isOpen("write");
}
