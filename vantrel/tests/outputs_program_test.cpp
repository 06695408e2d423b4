// What vantrel does with its output files when they would destroy an input
// or could not be kept, and with the engine files a failed run leaves: the
// run is refused before the engine starts, naming what is in the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"
#include "utilities.h"

namespace fs = std::filesystem;
using test_support::CommandResult;
using test_support::contains;
using test_support::entriesOf;
using test_support::readText;
using test_support::writeText;

namespace {

const std::vector<std::string> resultFiles = {"vantrel.out", "vantrel_tbl.out"};
const std::string chartFile = "vantrel_dominant.ps";

struct InputKind {
    std::string option;  // as the messages name it
    std::string given;   // as the command line gives it
    std::string file;    // the file of an ordinary run, "" when it has none
};

const std::vector<InputKind> inputKinds = {
    {"--pedigreefile", "-p", "families.ped"},
    {"--mapfile", "-m", "markers.map"},
    {"--controlmap", "--controlmap", "markers.map"},
    {"--controlgt", "--controlgt", "controls.gt"},
    {"--casemap", "--casemap", "markers.map"},
    {"--casegt", "--casegt", "cases.gt"},
    {"--modelfile", "-k", "dominant.model"},
    {"--markerlist", "--markerlist", ""},
    {"--phenotypefile", "-f", ""},
    {"--datafile", "-d", ""},
};

class VantrelOutputs : public test_support::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        test_support::copySourceFiles("examples", {"families.ped", "markers.map", "dominant.model",
                                                   "cases.gt", "controls.gt"});
        writeText("markers.txt", "D1S103\n");
        test_support::writeRecordingEngine("fake", {"ilinkvant", "unknownvant"},
                                           dir() / "engine_ran");
    }

    // The example's arguments, the input of `kind` under `name` when given.
    static std::string arguments(const InputKind* kind = nullptr, const std::string& name = "") {
        std::string text = "--dom --post";
        for (const InputKind& input : inputKinds) {
            if (kind != nullptr && kind->option == input.option) {
                text += " " + input.given + " " + name;
            } else if (!input.file.empty()) {
                text += " " + input.given + " " + input.file;
            }
        }
        return text;
    }

    CommandResult run(const std::string& arguments) const {
        return test_support::runProgram("vantrel", arguments, (dir() / "fake").string());
    }
};

// The chart's name depends on the phenotypes read, so it is checked once
// they are known: only inputs that read as they should get that far.
TEST_F(VantrelOutputs, AnOutputNamedLikeAnyInputIsRefusedAndTheInputKept) {
    std::vector<std::string> outputs = resultFiles;
    outputs.push_back(chartFile);
    const std::vector<std::string> entries = entriesOf(".");
    for (const std::string& name : outputs) {
        for (const InputKind& kind : inputKinds) {
            if (name == chartFile &&
                (kind.option == "--phenotypefile" || kind.option == "--datafile")) {
                continue;
            }
            const std::string source = kind.file.empty() ? "markers.txt" : kind.file;
            fs::copy_file(source, name);
            const CommandResult result = run(arguments(&kind, name));
            EXPECT_EQ(result.status, 255) << name << " " << kind.option << "\n" << result.output;
            EXPECT_TRUE(contains(result.output, "Error: Output file " + name +
                                                    " is the input file " + name + " (" +
                                                    kind.option +
                                                    "), which writing the results "
                                                    "would destroy"))
                << name << " " << kind.option << "\n"
                << result.output;
            EXPECT_EQ(readText(name), readText(source)) << name << " " << kind.option;
            fs::remove(name);
            EXPECT_EQ(entriesOf("."), entries) << name << " " << kind.option;
        }
    }
    EXPECT_FALSE(fs::exists("engine_ran"));
}

TEST_F(VantrelOutputs, AnOutputThatCouldNotBeKeptIsRefusedBeforeTheEngineStarts) {
    std::vector<std::string> outputs = resultFiles;
    outputs.push_back(chartFile);
    for (const std::string& name : outputs) {
        for (const std::string kind : {"link", "folder", "read-only"}) {
            if (kind == "folder") {
                fs::create_directory(name);
            } else if (kind == "read-only") {
                writeText(name, "the earlier results\n");
                fs::permissions(name, static_cast<fs::perms>(0444));
            } else {
                fs::create_symlink("/dev/full", name);
            }
            const std::vector<std::string> entries = entriesOf(".");
            const CommandResult result = run(arguments());
            EXPECT_EQ(result.status, 255) << name << " " << kind << "\n" << result.output;
            EXPECT_TRUE(contains(result.output, "Error: Output file " + name + " "))
                << name << " " << kind << "\n"
                << result.output;
            EXPECT_EQ(entriesOf("."), entries) << name << " " << kind;
            if (kind == "read-only") {
                EXPECT_EQ(readText(name), "the earlier results\n") << name;
            }
            fs::remove(name);
        }
    }
    // A missing output folder, found before any input is read.
    const CommandResult missing = run(arguments() + " --prefix nodir/run");
    EXPECT_EQ(missing.status, 255) << missing.output;
    EXPECT_TRUE(
        contains(missing.output,
                 "Error: Output file nodir/run.out cannot be written: the folder nodir does "
                 "not exist, and the run would lose its results\n"))
        << missing.output;
    EXPECT_FALSE(contains(missing.output, "Done reading input files.")) << missing.output;
    EXPECT_FALSE(fs::exists("engine_ran"));
}

// A failed run keeps its engine files to be looked at; the next run names
// all of them at once with the command that removes them, and after that
// command nothing stands in its way.
TEST_F(VantrelOutputs, TheEngineFilesOfAFailedRunAreNamedAtOnceWithTheirRemoval) {
    const CommandResult failed = run(arguments());
    ASSERT_EQ(failed.status, 255) << failed.output;
    ASSERT_TRUE(fs::exists("engine_ran"));
    std::vector<std::string> left;
    for (const std::string& name : engineFileNames()) {
        if (fs::exists(name)) {
            left.push_back(name);
        }
    }
    ASSERT_GE(left.size(), 2u) << failed.output;

    const CommandResult refused = run(arguments());
    EXPECT_EQ(refused.status, 255) << refused.output;
    std::string command = "rm -f";
    for (const std::string& name : left) {
        command += " " + name;
    }
    const std::string ending = "remove them with: " + command + "\n";
    ASSERT_TRUE(contains(refused.output, ending)) << refused.output;
    std::istringstream lines(refused.output);
    std::string errorLine;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("Error: ", 0) == 0) {
            EXPECT_TRUE(errorLine.empty()) << "a second error line: " << line;
            errorLine = line;
        }
    }
    for (const std::string& name : left) {
        EXPECT_TRUE(contains(errorLine, name)) << name << "\n" << errorLine;
    }

    ASSERT_EQ(test_support::runCommand(command).status, 0);
    const std::vector<std::string> userFiles = {"cases.gt",    "controls.gt", "dominant.model",
                                                "engine_ran",  "fake",        "families.ped",
                                                "markers.map", "markers.txt"};
    EXPECT_EQ(entriesOf("."), userFiles);
    const CommandResult again = run(arguments());
    EXPECT_FALSE(contains(again.output, "already exist")) << again.output;
}

}  // namespace
