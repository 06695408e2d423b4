#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "test_support.h"
#include "utilities.h"

namespace {

namespace fs = std::filesystem;
using test_support::entriesOf;
using test_support::readText;
using test_support::writeText;

class CommandsTest : public test_support::TempDirTest {};

struct Captured {
    int status;
    std::string out;
    std::string err;
};

// The shell's children write to this process's descriptors, so capturing
// them catches the command's own output as well as the function's.
Captured runCaptured(const std::string& command, bool verbose) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = execute_external_command(command, verbose);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    return {status, out, err};
}

TEST_F(CommandsTest, QuietRunDiscardsOnlyStandardOutput) {
    const Captured run = runCaptured("sh -c 'echo out; echo err >&2'", false);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "err\n");
}

TEST_F(CommandsTest, QuietRunAppendsRedirectionWhateverTheCommandHolds) {
    // The appended redirection comes last, so it wins over the command's own.
    const Captured run = runCaptured("echo text > own.txt", false);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(fs::exists("own.txt"));
    EXPECT_EQ(readText("own.txt"), "");
}

TEST_F(CommandsTest, VerboseRunEchoesTheCommandAndRunsItUnchanged) {
    const std::string command = "sh -c 'echo out; echo err >&2'";
    const Captured run = runCaptured(command, true);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "External command: " + command + "\nout\n");
    EXPECT_EQ(run.err, "err\n");
}

TEST_F(CommandsTest, ReturnsTheShellStatusUnchanged) {
    const Captured exitThree = runCaptured("exit 3", false);
    ASSERT_TRUE(WIFEXITED(exitThree.status));
    EXPECT_EQ(WEXITSTATUS(exitThree.status), 3);
    EXPECT_EQ(exitThree.out, "");

    const Captured missing = runCaptured("orlex-no-such-program-here", false);
    EXPECT_NE(missing.status, 0);
    EXPECT_EQ(missing.out, "");
}

TEST_F(CommandsTest, AnEngineProgramReplacesTheShell) {
    // The program's parent is this process, not a shell waiting on it; its
    // status still comes back, and quiet runs still discard its output.
    const std::string command = "sh -c 'echo $PPID >&2; echo out'";
    const std::vector<std::pair<const char*, std::function<bool()>>> runs = {
        {"engine program", [&] { return runEngineProgram("PARENT", command, false); }},
        {"program command", [&] { return execute_program_command(command, false) == 0; }},
    };
    for (const auto& [name, run] : runs) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const bool ran = run();
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(ran) << name;
        EXPECT_EQ(out, "") << name;
        EXPECT_EQ(err, std::to_string(getpid()) + "\n") << name;
    }
    EXPECT_EQ(execute_program_command("sh -c 'exit 3'", false), 3 << 8);

    testing::internal::CaptureStdout();
    EXPECT_FALSE(runEngineProgram("FAILING", "sh -c 'exit 3'", false));
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Error in executing FAILING"),
              std::string::npos);
}

struct EngineCase {
    const char* label;
    std::string command;
    int exitStatus;  // -1: killed by the signal
    int signal;
    std::vector<std::string> outputTail;
    std::vector<std::string> errorTail;
};

// What a failed run's box shows is the last non-blank lines of each stream,
// cut to a width that keeps one long line from filling the terminal.
TEST_F(CommandsTest, AnEngineRunKeepsTheLastLinesOfEachStream) {
    const std::string wide(400, '0');
    const std::vector<EngineCase> cases = {
        {"success", "printf 'one\\ntwo\\n'", 0, 0, {"one", "two"}, {}},
        {"the reason on the output",
         "sh -c 'echo reading; echo ERROR: more than 5000 pedigrees; exit 1'",
         1,
         0,
         {"reading", "ERROR: more than 5000 pedigrees"},
         {}},
        // The engine writes its maxchild reason to the error stream, starting
        // each line with its line end.
        {"the reason on the error output",
         "sh -c 'printf \"\\nA nuclear family\\r\\n  \\n\\tthe last line  \" >&2; exit 1'",
         1,
         0,
         {},
         {"A nuclear family", "\tthe last line"}},
        // Far more than a pipe holds, on both streams, the error stream first.
        {"many lines",
         "sh -c 'seq 200000 >&2; seq 100000'",
         0,
         0,
         {"99996", "99997", "99998", "99999", "100000"},
         {"199996", "199997", "199998", "199999", "200000"}},
        {"a long line",
         "sh -c 'printf \"%0900d\\nend\" 0; exit 2'",
         2,
         0,
         {wide + "...", "end"},
         {}},
        {"a missing program",
         "orlex-no-such-program-here",
         127,
         0,
         {},
         {"sh: 1: exec: orlex-no-such-program-here: not found"}},
        {"signal death", "sh -c 'echo before; kill -SEGV $$'", -1, SIGSEGV, {"before"}, {}},
    };
    for (const EngineCase& c : cases) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const EngineRun run = runEngineCommand(c.command, false);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << c.label;
        testing::internal::GetCapturedStderr();
        if (c.exitStatus >= 0) {
            ASSERT_TRUE(WIFEXITED(run.status)) << c.label;
            EXPECT_EQ(WEXITSTATUS(run.status), c.exitStatus) << c.label;
        } else {
            ASSERT_TRUE(WIFSIGNALED(run.status)) << c.label;
            EXPECT_EQ(WTERMSIG(run.status), c.signal) << c.label;
        }
        EXPECT_EQ(run.outputTail, c.outputTail) << c.label;
        EXPECT_EQ(run.errorTail, c.errorTail) << c.label;
    }
}

TEST_F(CommandsTest, AnEngineRunPassesOnWhatTheUserWouldSeeToday) {
    const std::string command = "sh -c 'echo out; echo err >&2'";
    for (const bool verbose : {false, true}) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const EngineRun run = runEngineCommand(command, verbose);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  verbose ? "External command: " + command + "\nout\n" : "")
            << verbose;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "err\n") << verbose;
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.outputTail, std::vector<std::string>{"out"});
    }
}

// The user's Ctrl-C reaches the engine program, which ends; this process
// lives on to report it and clean up, its own handling unchanged after. (A
// test run started in the background ignores interrupts from the start,
// which the programs it starts keep: the defaults are set here.)
TEST_F(CommandsTest, AnInterruptEndsTheEngineRunAndNotThisProcess) {
    const std::array<int, 2> interrupts = {SIGINT, SIGQUIT};
    std::array<struct sigaction, 2> before{};
    for (std::size_t i = 0; i < interrupts.size(); ++i) {
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        sigaction(interrupts[i], &byDefault, &before[i]);
    }
    testing::internal::CaptureStdout();
    const EngineRun survived =
        runEngineCommand("sh -c 'kill -INT $PPID; kill -QUIT $PPID; echo alive'", false);
    const EngineRun interrupted = runEngineCommand("sh -c 'kill -INT $$'", false);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(survived.status, 0);
    EXPECT_EQ(survived.outputTail, std::vector<std::string>{"alive"});
    EXPECT_TRUE(WIFSIGNALED(interrupted.status) && WTERMSIG(interrupted.status) == SIGINT)
        << interrupted.status;
    for (std::size_t i = 0; i < interrupts.size(); ++i) {
        struct sigaction now {};
        sigaction(interrupts[i], &before[i], &now);
        EXPECT_EQ(now.sa_handler, SIG_DFL) << interrupts[i];
    }
}

TEST_F(CommandsTest, AFailedEngineProgramShowsItsLastLinesInTheBox) {
    const std::string rule(66, '*');
    const std::string command = "sh -c 'echo checking; echo ERROR: too many; echo why >&2; exit 1'";
    for (const bool verbose : {false, true}) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_FALSE(runEngineProgram("UNKNOWN", command, verbose));
        const std::string out = testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        const std::string passed =
            verbose ? "External command: " + command + "\nchecking\nERROR: too many\n" : "";
        EXPECT_EQ(out, passed + "\n" + rule + "\nError in executing UNKNOWN: " + command +
                           "\n\nSomething is wrong....\n\nLast lines of sh's output" +
                           (verbose ? ":" : " (--verbose shows all of it):") +
                           "\n  checking\n  ERROR: too many\n\nLast lines of sh's error output:\n"
                           "  why\n" +
                           rule +
                           "\n\nAborting program!\nError: The engine program sh ended with status "
                           "1\n");
    }
}

TEST(ShellQuoteTest, SingleQuotesTheWord) {
    const struct {
        const char* word;
        const char* quoted;
    } cases[] = {
        {"pedfile.dat", "'pedfile.dat'"}, {"", "''"},
        {"my data.ped", "'my data.ped'"}, {"it's", "'it'\\''s'"},
        {"''", "''\\'''\\'''"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shellQuote(c.word), c.quoted) << c.word;
    }
}

TEST_F(CommandsTest, QuotedNamesReachTheCommandAsOneWordAndRunNothing) {
    const std::vector<std::string> names = {
        "plain.ped",         "two words.ped",  "quote\"d.ped", "dollar$HOME.ped",
        "back`touch pwned`", "$(touch pwned)", "back\\slash",  "it's.ped",
        "semi;touch pwned",  "-dash.ped",      "tab\there",    "new\nline",
    };
    for (const std::string& name : names) {
        const Captured run =
            runCaptured("printf '%s|' " + shellQuote(name) + " > echoed.txt", true);
        EXPECT_EQ(run.status, 0) << name;
        EXPECT_EQ(readText("echoed.txt"), name + "|") << name;

        writeText(name, "content of " + name);
        EXPECT_EQ(runCaptured("cat < " + shellQuote(name) + " > copied.txt", true).status, 0);
        EXPECT_EQ(readText("copied.txt"), "content of " + name) << name;
        fs::remove(name);
    }
    EXPECT_FALSE(fs::exists("pwned"));
}

struct CopyCase {
    const char* label;
    std::string source;
    std::string copy;
    std::string printed;
};

TEST_F(CommandsTest, CopyLeavesOutEmptyLinesAndKeepsEverythingElse) {
    const std::string longLine(50000, 'x');
    const std::vector<CopyCase> cases = {
        {"empty file", "", "", ""},
        {"empty middle line", "a\n\nb\n", "a\nb\n", "EMPTY\n"},
        {"two empty lines at the end", "a\n\n\n", "a\n", "EMPTY\nEMPTY\n"},
        {"carriage return only", "\r\n", "\r\n", ""},
        {"crlf lines", "1 2\r\n3 4\r\n", "1 2\r\n3 4\r\n", ""},
        {"last line without line feed", "a\nb", "a\nb\n", ""},
        {"single line without line feed", "only", "only\n", ""},
        {"line of any length", longLine + "\nend", longLine + "\nend\n", ""},
    };
    for (const CopyCase& c : cases) {
        writeText("source.txt", c.source);
        writeText("copy.txt", "old text that must go\n");
        testing::internal::CaptureStdout();
        const bool copied = copy_file("source.txt", "copy.txt");
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed) << c.label;
        EXPECT_TRUE(copied) << c.label;
        EXPECT_EQ(readText("copy.txt"), c.copy) << c.label;
    }
}

TEST_F(CommandsTest, CopyOntoItselfKeepsTheText) {
    writeText("same.txt", "a\nb\n");
    EXPECT_TRUE(copy_file("same.txt", "same.txt"));
    EXPECT_EQ(readText("same.txt"), "a\nb\n");
}

TEST_F(CommandsTest, CopyFailuresAreReportedAndTouchNothing) {
    writeText("source.txt", "a\n");
    fs::create_directory("folder");
    const struct {
        const char* source;
        const char* destination;
        const char* message;
    } cases[] = {
        {"missing.txt", "copy.txt", "Error: Unable to open missing.txt for reading!\n"},
        {"folder", "copy.txt", "Error: Unable to read folder!\n"},
        {"source.txt", "no/such/dir/copy.txt",
         "Error: Unable to open no/such/dir/copy.txt for writing!\n"},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStdout();
        EXPECT_FALSE(copy_file(c.source, c.destination)) << c.source;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message);
        EXPECT_FALSE(fs::exists(c.destination)) << c.destination;
    }
}

TEST_F(CommandsTest, CopyReportsAFailedWrite) {
    ASSERT_TRUE(fs::exists("/dev/full"));
    writeText("source.txt", "a line\n");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(copy_file("source.txt", "/dev/full"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Unable to write /dev/full!\n");
}

TEST_F(CommandsTest, WriteTextFileReplacesTheFile) {
    writeText("report.out", "an older and longer report\n");
    EXPECT_TRUE(writeTextFile("report.out", "new\n"));
    EXPECT_EQ(readText("report.out"), "new\n");
}

TEST_F(CommandsTest, WriteTextFileReportsEveryFailure) {
    fs::create_directory("folder");
    const struct {
        const char* file;
        const char* message;
    } cases[] = {
        {"no/such/dir/report.out", "Error: Unable to open no/such/dir/report.out for writing!\n"},
        {"folder", "Error: Unable to open folder for writing!\n"},
        // A device takes no whole file.
        {"/dev/full", "Error: Unable to open /dev/full for writing!\n"},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStdout();
        EXPECT_FALSE(writeTextFile(c.file, "text\n")) << c.file;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message);
    }
    // A full disk shows only when the text is flushed at the close; the
    // earlier report stays.
    writeText("report.out", "the earlier report\n");
    testing::internal::CaptureStdout();
    {
        // Room for the captured message, not for the report.
        const test_support::FileSizeLimit full(1024);
        EXPECT_FALSE(writeTextFile("report.out", std::string(8192, 'x')));
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Unable to write report.out!\n");
    EXPECT_EQ(readText("report.out"), "the earlier report\n");
}

TEST_F(CommandsTest, CleanUpRemovesTheEngineFilesAndOnlyThose) {
    const std::vector<std::string> engineFiles = {
        "datafile.dat",     "FASTLINK.err",    "final.dat",    "ipedfile.dat",
        "lpedfile.dat",     "outfile.dat",     "pedfile.dat",  "speedfile.dat",
        "newspeedfile.dat", "stream.dat",      "loopfile.dat", "upedfile.dat",
        "countfile.dat",    "tpedfile.dat",    "linksave",     "linksave.outfile",
        "linksave.screen",  "linksave.stream",
    };
    const std::vector<std::string> userFiles = {
        "family.ped", "pedfile.dat.bak", "orlex_singlepoint", "family.err",
        "mendel.err", "Datafile.dat",    "linksave.txt",      "checkpoint.dat",
    };
    for (const auto& name : engineFiles) {
        writeText(name, "x\n");
    }
    for (const auto& name : userFiles) {
        writeText(name, "keep\n");
    }
    testing::internal::CaptureStdout();
    delete_intermediate_files();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    for (const auto& name : engineFiles) {
        EXPECT_FALSE(fs::exists(name)) << name;
    }
    for (const auto& name : userFiles) {
        EXPECT_EQ(readText(name), "keep\n") << name;
    }

    // With nothing left to remove it is silent and harmless.
    testing::internal::CaptureStdout();
    delete_intermediate_files();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()),
              static_cast<long>(userFiles.size()));
}

// Every name the clean-up removes, found as whatever kind of entry, stops a
// run before its first engine file; the user's entry stays as it was.
TEST_F(CommandsTest, AnyExistingEngineEntryIsRefusedAndLeftAlone) {
    testing::internal::CaptureStdout();
    EXPECT_TRUE(refuseExistingEngineFiles());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    writeText("family.err", "a report of an earlier run\n");
    const auto expectRefused = [](const std::string& name, const std::string& kind,
                                  const std::string& command) {
        testing::internal::CaptureStdout();
        EXPECT_FALSE(refuseExistingEngineFiles()) << name;
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "Error: " + name + kind +
                      " already exists in the working directory: the engine would overwrite it "
                      "and the clean-up remove it: run in a directory without it, or remove it "
                      "with: " +
                      command + " " + name + "\n");
    };
    for (const std::string& name : engineFileNames()) {
        writeText(name, "the user's\n");
        expectRefused(name, "", "rm -f");
        EXPECT_EQ(readText(name), "the user's\n");
        fs::remove(name);
    }
    fs::create_symlink("nowhere/pedigrees", "pedfile.dat");
    expectRefused("pedfile.dat", " (a link)", "rm -f");
    EXPECT_TRUE(fs::is_symlink("pedfile.dat"));
    fs::remove("pedfile.dat");
    fs::create_directory("linksave");
    expectRefused("linksave", "", "rm -rf");
    fs::remove("linksave");
}

// What a failed run leaves is named at once, with the one command that
// clears the way and nothing else.
TEST_F(CommandsTest, EveryEngineEntryLeftIsNamedWithTheCommandThatRemovesIt) {
    fs::create_directory("kept");
    writeText("kept/notes.txt", "the user's\n");
    writeText("family.err", "a report of an earlier run\n");
    writeText("datafile.dat", "left\n");
    writeText("final.dat", "left\n");
    fs::create_symlink("kept/notes.txt", "pedfile.dat");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(refuseExistingEngineFiles());
    const std::string command = "rm -f datafile.dat final.dat pedfile.dat";
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error: datafile.dat, final.dat and pedfile.dat (a link) already exist in the "
              "working directory: the engine would overwrite them and the clean-up remove them: "
              "run in a directory without them, or remove them with: " +
                  command + "\n");
    ASSERT_EQ(test_support::runCommand(command).status, 0);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(refuseExistingEngineFiles());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(entriesOf("."), (std::vector<std::string>{"family.err", "kept"}));
    EXPECT_EQ(readText("kept/notes.txt"), "the user's\n");
}

// An output that reaches an input by any path, or that could not be kept,
// stops the run before anything is read or written.
TEST_F(CommandsTest, OutputsThatWouldDestroyAnInputOrBeLostAreRefused) {
    writeText("in.map", "the user's map\n");
    writeText("study_summary.out", "the user's pedigrees\n");
    fs::create_directory("sub");
    fs::create_symlink("in.map", "linked.out");
    fs::create_hard_link("in.map", "hard.out");
    fs::create_directory("folder");
    const std::vector<std::pair<std::string, std::string>> inputs = {{"--ped", "study_summary.out"},
                                                                     {"--map", "in.map"}};
    const std::string destroys =
        ", which writing the results would destroy: choose another "
        "--prefix, or move the input\n";
    struct Case {
        std::vector<std::string> outputs;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"fresh.out", "sub/fresh.ps"}, ""},
        {{"study_summary.out"},
         "Error: Output file study_summary.out is the input file study_summary.out (--ped)" +
             destroys},
        {{"./sub/../in.map"},
         "Error: Output file ./sub/../in.map is the input file in.map (--map)" + destroys},
        {{"linked.out"},
         "Error: Output file linked.out is the input file in.map (--map)" + destroys},
        {{"hard.out"}, "Error: Output file hard.out is the input file in.map (--map)" + destroys},
        // One line for the folder, not one per file in it.
        {{"nodir/x_a.out", "nodir/x_b.ps"},
         "Error: Output file nodir/x_a.out cannot be written: the folder nodir does not exist, "
         "and the run would lose its results\n"},
        {{"folder", "fresh.out"},
         "Error: Output file folder is a folder, so the run could not keep its results: remove "
         "it, or choose another --prefix\n"},
    };
    const std::vector<std::string> entries = entriesOf(".");
    for (const Case& c : cases) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(checkOutputFiles(c.outputs, inputs), c.message.empty()) << c.outputs.front();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message);
    }
    EXPECT_EQ(entriesOf("."), entries);
    EXPECT_EQ(readText("in.map"), "the user's map\n");
    EXPECT_EQ(readText("study_summary.out"), "the user's pedigrees\n");
}

TEST_F(CommandsTest, LinkedReportsAreRefusedAndInputsNamedLikeThemFound) {
    testing::internal::CaptureStdout();
    writeText("family.err", "an earlier report\n");
    EXPECT_TRUE(refuseLinkedReportFiles());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    fs::create_directory("sub");
    writeText("sub/notes.txt", "the user's\n");
    fs::create_symlink("sub/notes.txt", "mendel.err");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(refuseLinkedReportFiles());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error: mendel.err in the working directory is a link, and the report is never "
              "written through one: run in a directory without it, or remove it\n");

    EXPECT_EQ(runFileNamedBy("./family.err"), "family.err");
    EXPECT_EQ(runFileNamedBy("sub/notes.txt"), "mendel.err");
    EXPECT_EQ(runFileNamedBy("sub/../outfile.dat"), "outfile.dat");
    EXPECT_EQ(runFileNamedBy("sub/family.err"), "");
    EXPECT_EQ(engineFileNamedBy("family.err"), "");
}

}  // namespace
