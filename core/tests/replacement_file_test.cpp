#include "replacement_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::entriesOf;
using test_support::readText;
using test_support::writeText;

class ReplacementFileTest : public test_support::TempDirTest {};

fs::perms permissionsOf(const fs::path& path) {
    return fs::status(path).permissions() & fs::perms::mask;
}

fs::perms newFilePermissions() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<fs::perms>(0666 & ~mask);
}

TEST_F(ReplacementFileTest, TheTextTakesThePlaceOfTheFileWhenCommitted) {
    fs::create_directory("sub");
    struct Case {
        std::string name;
        std::function<void()> setUp;
        std::string written;  // where the text must arrive
        fs::perms permissions;
    };
    const std::vector<Case> cases = {
        {"new.out", [] {}, "new.out", newFilePermissions()},
        {"old.out",
         [] {
             writeText("old.out", "an older and much longer text\n");
             fs::permissions("old.out", static_cast<fs::perms>(0640));
         },
         "old.out", static_cast<fs::perms>(0640)},
        // The link stays; its target is replaced.
        {"linked.out",
         [] {
             writeText("sub/target.out", "old\n");
             fs::permissions("sub/target.out", static_cast<fs::perms>(0600));
             fs::create_symlink("sub/target.out", "linked.out");
         },
         "sub/target.out", static_cast<fs::perms>(0600)},
    };
    for (const Case& c : cases) {
        c.setUp();
        ReplacementFile file;
        ASSERT_TRUE(file.open(c.name)) << c.name;
        file.stream() << "the new text\n";
        // Until the commit the file of that name is as it was.
        EXPECT_NE(readText(c.written), "the new text\n") << c.name;
        ASSERT_TRUE(file.commit()) << c.name;
        EXPECT_EQ(readText(c.written), "the new text\n") << c.name;
        EXPECT_EQ(permissionsOf(c.written), c.permissions) << c.name;
    }
    EXPECT_TRUE(fs::is_symlink("linked.out"));
    EXPECT_EQ(entriesOf("."),
              (std::vector<std::string>{"linked.out", "new.out", "old.out", "sub"}));
    EXPECT_EQ(entriesOf("sub"), std::vector<std::string>{"target.out"});
}

// A full disk shows as a write past the file-size limit: the temporary file
// goes, and what was there before stays.
TEST_F(ReplacementFileTest, AFailedWriteLeavesWhatWasThere) {
    writeText("kept.out", "the earlier results\n");
    for (const std::string name : {"kept.out", "new.out"}) {
        const std::string before = readText(name);
        ReplacementFile file;
        ASSERT_TRUE(file.open(name)) << name;
        {
            const test_support::FileSizeLimit full(16);
            file.stream() << std::string(4096, 'x') << '\n';
            EXPECT_FALSE(file.commit()) << name;
        }
        EXPECT_EQ(readText(name), before) << name;
        EXPECT_EQ(entriesOf("."), std::vector<std::string>{"kept.out"}) << name;
    }
    // Never committed: nothing is put in place either.
    {
        ReplacementFile file;
        ASSERT_TRUE(file.open("kept.out"));
        file.stream() << "half a result";
    }
    EXPECT_EQ(readText("kept.out"), "the earlier results\n");
    EXPECT_EQ(entriesOf("."), std::vector<std::string>{"kept.out"});
}

TEST_F(ReplacementFileTest, NamesThatCannotTakeAnOutputAreRefusedAndLeftAlone) {
    fs::create_directory("folder");
    fs::create_symlink("/dev/full", "full.out");
    writeText("read_only.out", "protected\n");
    fs::permissions("read_only.out", static_cast<fs::perms>(0444));
    fs::create_symlink("nowhere/file.out", "dangling.out");
    writeText("plain", "a file\n");
    struct Case {
        std::string name;
        std::string fileProblem;
        std::string folderProblem;
    };
    const std::vector<Case> cases = {
        {"", "has no name", ""},
        {"folder", "is a folder", ""},
        {"full.out", "is not a regular file", ""},
        {"read_only.out", "is read-only", ""},
        {"dangling.out", "is a link to a file that does not exist", ""},
        {"nodir/x.out", "", "the folder nodir does not exist"},
        {"plain/x.out", "", "plain is not a folder"},
    };
    const std::vector<std::string> entries = entriesOf(".");
    for (const Case& c : cases) {
        EXPECT_EQ(outputFileProblem(c.name), c.fileProblem) << c.name;
        EXPECT_EQ(outputFolderProblem(c.name), c.folderProblem) << c.name;
        ReplacementFile file;
        EXPECT_FALSE(file.open(c.name)) << c.name;
        EXPECT_TRUE(file.stream().fail()) << c.name;
        EXPECT_FALSE(file.commit()) << c.name;
        EXPECT_EQ(entriesOf("."), entries) << c.name;
    }
    EXPECT_EQ(readText("read_only.out"), "protected\n");
    EXPECT_TRUE(fs::is_empty("folder"));
    EXPECT_EQ(outputFolderOf("full.out"), "/dev");
    EXPECT_EQ(outputFolderOf("x.out"), ".");
}

}  // namespace
