// Both programs on inputs that cannot be read as files, and on files
// damaged in ways that change nothing of their content.
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;
using test_support::contains;
using test_support::readText;
using test_support::runShell;
using test_support::writeText;

namespace {

class InputFilesRun : public test_support::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        test_support::copySourceFolder("examples");
    }
};

struct Input {
    std::string program;
    std::string command;  // with NAME where the input goes
    std::string file;     // the example file NAME stands for
};

// Every input named on the command line is read only as a regular file:
// a pipe can be read once and a FIFO without a writer blocks its reader,
// while the column plan and the converter read a pedigree file again.
// Each stands in for the file it replaces, and each run ends at once with
// status 255 and an "Error: " line; none analyses nothing with status 0.
TEST_F(InputFilesRun, PipesFifosAndFoldersAreRefusedAsAnyInput) {
    const std::string orlex = "orlex --singlepoint ";
    const std::string ped = "--post --ped families.ped ";
    const std::string vantrel = "vantrel --dom --post ";
    const std::vector<Input> inputs = {
        {"orlex", orlex + "--post --ped NAME --map markers.map --model dominant.model",
         "families.ped"},
        {"orlex", orlex + "--ped NAME --map markers.map --model dominant.model", "families.pre"},
        {"orlex", orlex + ped + "--map NAME --model dominant.model", "markers.map"},
        {"orlex", orlex + ped + "--map markers.map --model NAME", "dominant.model"},
        {"orlex", orlex + ped + "--map markers.map --dat NAME", "families.dat"},
        {"orlex", orlex + ped + "--map markers.map --model dominant.model --phen NAME",
         "phenotypes.phen"},
        {"orlex", orlex + ped + "--map markers.map --model dominant.model --onlymarkers NAME",
         "onlymarkers.txt"},
        {"vantrel", vantrel + "-p NAME -m markers.map", "families.ped"},
        {"vantrel", "vantrel --dom -p NAME -m markers.map", "families.pre"},
        {"vantrel", vantrel + "-p families.ped -m NAME", "markers.map"},
        {"vantrel", vantrel + "-p families.ped -m markers.map -d NAME", "families.dat"},
        {"vantrel", vantrel + "-p families.ped -m markers.map -k NAME", "dominant.model"},
        {"vantrel", vantrel + "-p families.ped -m markers.map -f NAME", "phenotypes.phen"},
        {"vantrel", vantrel + "-p families.ped -m markers.map --markerlist NAME", "markerlist.txt"},
        {"vantrel",
         vantrel + "-p families.ped -m markers.map --controlmap NAME --controlgt controls.gt",
         "markers.map"},
        {"vantrel",
         vantrel + "-p families.ped -m markers.map --controlmap markers.map --controlgt NAME",
         "controls.gt"},
        {"vantrel", vantrel + "-p families.ped -m markers.map --casemap markers.map --casegt NAME",
         "cases.gt"},
    };
    fs::create_directory("folder");
    ASSERT_EQ(runShell("mkfifo fifo").status, 0);
    struct Stand {
        std::string name;  // "" for the file itself through a pipe
        std::string problem;
    };
    const std::vector<Stand> stands = {
        {"fifo", "is a pipe or FIFO, which can be read only once"},
        {"", "is a pipe or FIFO, which can be read only once"},
        {"folder", "is a directory, not a file"},
    };
    for (const Input& input : inputs) {
        for (const Stand& stand : stands) {
            std::string command = input.command;
            const std::string name = stand.name.empty() ? "<(cat " + input.file + ")" : stand.name;
            command.replace(command.find("NAME"), 4, name);
            SCOPED_TRACE(command);
            // A reader that opened the FIFO would wait for a writer for good.
            const test_support::CommandResult run =
                runShell("status=0; timeout 30 " + command + " || status=$?; echo status $status");
            EXPECT_TRUE(contains(run.output, "status 255\n")) << run.output;
            EXPECT_TRUE(contains(run.output, stand.problem)) << run.output;
            EXPECT_TRUE(contains(run.output, "\nError: ")) << run.output;
        }
    }
}

// The text with the damages of files passed between systems and editors:
// Windows line ends, tabs and runs of blanks between the words, blanks at
// the line ends, and no line end after the last line.
std::string damaged(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == ' ') {
            out += " \t ";
        } else if (c == '\n') {
            out += " \t\r\n";
        } else {
            out += c;
        }
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) {
        out.pop_back();
    }
    return out;
}

// The same analyses of the same data, once from the example files and once
// from damaged copies of them under the same names: every result file is
// byte for byte the same.
TEST_F(InputFilesRun, BenignDamagesChangeNoResult) {
    const std::vector<std::string> inputs = {"families.ped", "families.pre",    "markers.map",
                                             "families.dat", "phenotypes.phen", "cases.gt",
                                             "controls.gt",  "dominant.model",  "onlymarkers.txt"};
    const std::string commands =
        "orlex --singlepoint --post --ped families.ped --map markers.map --dat families.dat "
        "--phen phenotypes.phen --prefix post > /dev/null\n"
        "orlex --singlepoint --multipoint --ped families.pre --map markers.map --model "
        "dominant.model --onlymarkers onlymarkers.txt --prefix pre > /dev/null\n"
        "vantrel --dom --post -p families.ped -m markers.map -d families.dat --casemap "
        "markers.map --casegt cases.gt --controlmap markers.map --controlgt controls.gt "
        "--marker D1S103 > /dev/null\n";
    const std::vector<std::string> results = {"post_singlepoint.out", "pre_singlepoint.out",
                                              "pre_multipoint.out", "vantrel.out",
                                              "vantrel_tbl.out"};
    fs::create_directory("damaged");
    for (const std::string& name : inputs) {
        writeText("damaged/" + name, damaged(readText(name)));
    }
    const test_support::CommandResult clean = runShell(commands);
    ASSERT_EQ(clean.status, 0) << clean.output;
    const test_support::CommandResult rough = runShell("cd damaged\n" + commands);
    ASSERT_EQ(rough.status, 0) << rough.output;
    for (const std::string& name : results) {
        SCOPED_TRACE(name);
        const std::string expected = readText(name);
        ASSERT_FALSE(expected.empty());
        // The date of the run aside.
        const auto withoutDates = [](const std::string& text) {
            std::string kept;
            for (const std::string& line : test_support::linesOf(text)) {
                if (line.rfind("Date : ", 0) != 0) {
                    kept += line + "\n";
                }
            }
            return kept;
        };
        EXPECT_EQ(withoutDates(readText("damaged/" + name)), withoutDates(expected));
    }
}

}  // namespace
