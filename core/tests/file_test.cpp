#include "file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using test_support::readText;
using test_support::writeText;

class FileTest : public test_support::TempDirTest {};

TEST_F(FileTest, UnknownModeOpensNothing) {
    File file;
    EXPECT_FALSE(file.openFile("out.txt", "append"));
    EXPECT_FALSE(file.isOpen("append"));
    EXPECT_FALSE(std::filesystem::exists("out.txt"));
}

TEST_F(FileTest, WriteModeEmptiesAnExistingFile) {
    writeText("out.txt", "old text\n");
    {
        File file;
        ASSERT_TRUE(file.openFile("out.txt", "write"));
        EXPECT_TRUE(file.isOpen("write"));
        file.closeFile("write");
        EXPECT_TRUE(file.isOpen("write"));
    }
    EXPECT_TRUE(std::filesystem::exists("out.txt"));
    EXPECT_EQ(readText("out.txt"), "");
}

TEST_F(FileTest, WritingTheBufferTwiceWritesItTwice) {
    File file;
    ASSERT_TRUE(file.openFile("out.txt", "write"));
    file.outputBuffer << "x = " << 1.5 << '\n';
    file.addAllLinesFromOStringStream();
    file.addAllLinesFromOStringStream();
    EXPECT_EQ(file.outputBuffer.str(), "x = 1.5\n");
    file.closeFile("write");
    EXPECT_EQ(readText("out.txt"), "x = 1.5\nx = 1.5\n");
}

TEST_F(FileTest, WritingTheBufferReportsWhetherItReachedTheFile) {
    File file;
    ASSERT_TRUE(file.openFile("out.txt", "write"));
    file.outputBuffer << "text\n";
    EXPECT_TRUE(file.writeOutputBufferAndClose());
    EXPECT_EQ(readText("out.txt"), "text\n");

    // A full disk shows only at the close, and the earlier file stays.
    File full;
    ASSERT_TRUE(full.openFile("out.txt", "write"));
    full.outputBuffer << std::string(4096, 'x');
    {
        const test_support::FileSizeLimit limit(16);
        EXPECT_FALSE(full.writeOutputBufferAndClose());
    }
    EXPECT_FALSE(full.isOpen("write"));
    EXPECT_EQ(readText("out.txt"), "text\n");
    EXPECT_EQ(test_support::entriesOf("."), std::vector<std::string>{"out.txt"});
}

TEST_F(FileTest, AddedLinesReachTheFileWhenItCloses) {
    writeText("out.txt", "the earlier file\n");
    File file;
    ASSERT_TRUE(file.openFile("out.txt", "write"));
    file.addLine("%!PS-Adobe-3.0");
    EXPECT_EQ(readText("out.txt"), "the earlier file\n");
    file.closeFile("write");
    EXPECT_EQ(readText("out.txt"), "%!PS-Adobe-3.0\n");
}

// A writer that returns before it closes its file has failed: what it
// wrote goes, and so does nothing else.
TEST_F(FileTest, AnOutputNeverClosedLeavesTheFileAsItWas) {
    writeText("kept.txt", "the earlier summary\n");
    for (const char* name : {"kept.txt", "new.txt"}) {
        File file;
        ASSERT_TRUE(file.openFile(name, "write"));
        file.outputBuffer << "half a summary";
        file.addAllLinesFromOStringStream();
    }
    EXPECT_EQ(readText("kept.txt"), "the earlier summary\n");
    EXPECT_EQ(test_support::entriesOf("."), std::vector<std::string>{"kept.txt"});
}

TEST_F(FileTest, ClosingASideWithNothingOpenMarksItFailed) {
    File file;
    file.closeFile("write");
    EXPECT_FALSE(file.isOpen("write"));
    file.addLine("lost");  // a failed side does nothing
    EXPECT_TRUE(file.isOpen("read"));
}

TEST_F(FileTest, OpeningTheReadSideTwiceFails) {
    writeText("in.txt", "a\n");
    File file;
    ASSERT_TRUE(file.openFile("in.txt", "read"));
    EXPECT_FALSE(file.openFile("in.txt", "read"));
    EXPECT_FALSE(file.isOpen("read"));
    EXPECT_EQ(file.getLine(), "");
}

TEST_F(FileTest, WholeFileGoesIntoTheInputBufferWithItsLineEnds) {
    const struct {
        const char* name;
        std::string text;
        std::string buffer;
    } cases[] = {
        {"final line feed", "a\nb\n", "a\nb\n"},
        {"no final line feed", "a\nb", "a\nb"},
        {"empty file", "", ""},
        {"blank lines", "\n\na\n", "\n\na\n"},
        {"Windows line ends", "a\r\nb\r\n", "a\nb\n"},
        {"carriage return inside a line", "a\rb\r\r\n", "a\rb\r\n"},
        {"carriage return not before a line feed", "a\r", "a\r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeText("in.txt", c.text);
        File file;
        ASSERT_TRUE(file.openFile("in.txt", "read"));
        file.getAllLinesInOStringStream();
        EXPECT_EQ(file.inputBuffer.str(), c.buffer);
        file.closeFile("read");
    }
}

TEST_F(FileTest, ReadersExtractTokensFromTheBuffer) {
    writeText("markers.txt", "D1S243 D1S468\r\n\tD1S214\r\n");
    File file;
    ASSERT_TRUE(file.openFile("markers.txt", "read"));
    file.getAllLinesInOStringStream();
    std::string name;
    std::string names;
    while (file.inputBuffer >> name) {
        names += name + "|";
    }
    EXPECT_EQ(names, "D1S243|D1S468|D1S214|");
}

TEST_F(FileTest, GetLineReturnsLinesThenEmptyText) {
    writeText("in.txt", "first\r\nsecond");
    File file;
    ASSERT_TRUE(file.openFile("in.txt", "read"));
    EXPECT_EQ(file.getLine(), "first");
    EXPECT_EQ(file.getLine(), "second");
    EXPECT_EQ(file.getLine(), "");
    EXPECT_EQ(file.getLine(), "");
}

// A side that never opened is not at its end; reading it must still stop.
TEST_F(FileTest, ReadingAnUnreadableInputStopsWithAnEmptyBuffer) {
    std::filesystem::create_directory("folder");
    for (const char* name : {"missing.txt", "folder"}) {
        SCOPED_TRACE(name);
        File file;
        EXPECT_FALSE(file.openFile(name, "read"));
        EXPECT_FALSE(file.isOpen("read"));
        file.getAllLinesInOStringStream();
        EXPECT_EQ(file.inputBuffer.str(), "");
    }
    File neverOpened;
    neverOpened.getAllLinesInOStringStream();
    EXPECT_EQ(neverOpened.inputBuffer.str(), "");
}

TEST_F(FileTest, UnwritablePathFailsTheWriteSide) {
    File file;
    EXPECT_FALSE(file.openFile("no_such_folder/out.txt", "write"));
    EXPECT_FALSE(file.isOpen("write"));
    file.outputBuffer << "text";
    file.addAllLinesFromOStringStream();
    file.closeFile("write");
    EXPECT_FALSE(std::filesystem::exists("no_such_folder"));
}

}  // namespace
