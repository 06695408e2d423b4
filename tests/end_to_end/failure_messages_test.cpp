// Every run of either program that fails (status 255) says why on a line of
// its own that begins with "Error: " and names the file or option at fault;
// no "Error: " is glued after other output. Each case runs the real program
// with the real engine on a copy of examples/ with one input damaged.
#include "test_support.h"

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using test_support::contains;
using test_support::linesOf;

struct Failure {
    const char* program;
    std::string arguments;
    // What the "Error: " line says, from its start.
    std::string error;
};

void PrintTo(const Failure& failure, std::ostream* out) {
    *out << failure.program << ' ' << failure.arguments;
}

class FailureMessages : public test_support::TempDirTest,
                        public ::testing::WithParamInterface<Failure> {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        test_support::copySourceFolder("examples");
        test_support::writeText("bad_sum.dat",
                                "2 0 0 5\n0 0 0 0\n1 2\n1 2\n0.99 0.01\n1\n0.01 0.95 0.95\n"
                                "3 2\n0.5 0.3\n0 0\n0.1\n1 0.02 0.49\n");
        test_support::writeText("bad.model", "0 x 1\n0.01 0.95 0.95\n");
        test_support::writeText("none.phen", "0\n");
        test_support::writeText("count.gt", "2\ncontrol01 1  1 1  3 1\n");
        // A trio typed at eight markers 10 cM apart: one window more than
        // the engine holds.
        std::string map = "CHROMOSOME haldane MARKER\n";
        std::string genotypes;
        for (int m = 1; m <= 8; ++m) {
            map += "1 " + std::to_string(10 * m) + ".0 M" + std::to_string(m) + "\n";
            genotypes += " 1 2";
        }
        test_support::writeText("eight_markers.map", map);
        test_support::writeText("trio.ped", "1 1 0 0 3 0 0 1 0 2" + genotypes +
                                                "\n1 2 0 0 3 0 0 2 0 1" + genotypes +
                                                "\n1 3 1 2 0 0 0 1 0 2" + genotypes + "\n");
        // The engine programs that fail, each in a folder of its own.
        for (const char* program : {"mlinkorlex", "ilinkvant", "unknownvant", "makepedvant"}) {
            const fs::path folder = fs::path("failing") / program;
            fs::create_directories(folder);
            test_support::writeText(folder / program, "#!/bin/sh\nexit 3\n");
            fs::permissions(folder / program, fs::perms::owner_all);
        }
    }
};

const std::string orlexInput = "--post --ped families.ped --map markers.map --model dominant.model";
const std::string singlepoint = "--singlepoint " + orlexInput;
const std::string vantrelInput = "--post --pedigreefile families.ped --mapfile markers.map --dom";
const std::string cases = " --casemap markers.map --casegt cases.gt";

TEST_P(FailureMessages, EndWithStatus255AndAnErrorLineOfTheirOwn) {
    const Failure& failure = GetParam();
    std::string extraPath;
    for (const char* program : {"mlinkorlex", "ilinkvant", "unknownvant", "makepedvant"}) {
        if (contains(failure.arguments, std::string("#failing ") + program)) {
            extraPath = (fs::current_path() / "failing" / program).string();
        }
    }
    const std::string arguments = failure.arguments.substr(0, failure.arguments.find(" #"));
    const test_support::CommandResult result =
        test_support::runProgram(failure.program, arguments, extraPath);
    EXPECT_EQ(result.status, 255) << result.output;
    bool found = false;
    for (const std::string& line : linesOf(result.output)) {
        found = found || line.rfind(failure.error, 0) == 0;
        EXPECT_EQ(line.find("Error: ", 1), std::string::npos) << "glued: " << line;
    }
    EXPECT_TRUE(found) << "no line begins \"" << failure.error << "\" in:\n" << result.output;
}

INSTANTIATE_TEST_SUITE_P(
    BothPrograms, FailureMessages,
    ::testing::Values(
        // An empty name is never taken for an absent option.
        Failure{"orlex", "--singlepoint --post --ped families.ped --map markers.map --model \"\"",
                "Error: The file name given with --model is empty"},
        Failure{"orlex", singlepoint + " --dat ''",
                "Error: The file name given with --dat is empty"},
        Failure{"orlex", singlepoint + " --onlymarkers ''",
                "Error: The file name given with --onlymarkers is empty"},
        Failure{"orlex", singlepoint + " --phen ''",
                "Error: The file name given with --phen is empty"},
        Failure{"orlex", "--singlepoint --post --ped '' --map markers.map --model dominant.model",
                "Error: The file name given with --ped is empty"},
        Failure{"vantrel", vantrelInput + " --modelfile ''",
                "Error: The file name given with --modelfile is empty"},
        Failure{"vantrel", vantrelInput + " --casemap '' --casegt cases.gt",
                "Error: The file name given with --casemap is empty"},
        Failure{"vantrel", vantrelInput + " --markerlist ''",
                "Error: The file name given with --markerlist is empty"},
        Failure{"vantrel", "--post --pedigreefile '' --mapfile markers.map --dom",
                "Error: The file name given with --pedigreefile is empty"},
        // Files that are not there.
        Failure{"orlex",
                "--singlepoint --post --ped absent.ped --map markers.map --model dominant.model",
                "Error: Reading the pedigree file absent.ped failed"},
        Failure{"orlex", "--singlepoint --ped absent.pre --map markers.map --model dominant.model",
                "Error: Reading and converting the pre-MAKEPED pedigree file absent.pre failed"},
        Failure{"orlex",
                "--singlepoint --post --ped families.ped --map absent.map --model dominant.model",
                "Error: Reading the map file absent.map failed"},
        Failure{"orlex",
                "--singlepoint --post --ped families.ped --map markers.map --dat absent.dat",
                "Error: Unable to open locus file absent.dat for reading."},
        Failure{"orlex", singlepoint + " --phen absent.phen",
                "Error: Reading the phenotype file absent.phen failed"},
        Failure{"orlex", singlepoint + " --onlymarkers absent.txt",
                "Error: Reading the marker selection file absent.txt failed"},
        Failure{"orlex",
                "--singlepoint --post --ped families.ped --map markers.map --model absent.model",
                "Error: Unable to open model file absent.model for reading."},
        Failure{"vantrel", "--post --pedigreefile absent.ped --mapfile markers.map --dom",
                "Error: Reading the pedigree file absent.ped failed"},
        Failure{"vantrel", "--post --pedigreefile families.ped --mapfile absent.map --dom",
                "Error: Reading the map file absent.map failed"},
        Failure{"vantrel", vantrelInput + " --datafile absent.dat",
                "Error: Unable to open locus file absent.dat for reading."},
        Failure{"vantrel", vantrelInput + " --phenotypefile absent.phen",
                "Error: Reading the phenotype file absent.phen failed"},
        Failure{"vantrel", vantrelInput + " --modelfile absent.model",
                "Error: Unable to open model file absent.model for reading."},
        Failure{"vantrel", vantrelInput + " --markerlist absent.txt",
                "Error: Unable to open file absent.txt for reading."},
        Failure{"vantrel", vantrelInput + " --casemap markers.map --casegt absent.gt",
                "Error: Unable to open singleton file absent.gt for reading!"},
        Failure{"vantrel", vantrelInput + " --casemap absent.map --casegt cases.gt",
                "Error: Reading the cases' files absent.map and cases.gt failed"},
        // Inputs read, and refused.
        Failure{"orlex", singlepoint + " --phen none.phen",
                "Error: Reading the phenotype file none.phen failed"},
        Failure{"vantrel", vantrelInput + " --phenotypefile none.phen",
                "Error: Reading the phenotype file none.phen failed"},
        Failure{"orlex",
                "--singlepoint --post --ped families.ped --map markers.map --model bad.model",
                "Error: model file bad.model, line 1: expected the disease allele frequency"},
        Failure{"vantrel", vantrelInput + " --controlmap markers.map --controlgt count.gt",
                "Error: Singleton marker map file marker count doesn't match"},
        Failure{"orlex",
                "--singlepoint --post --ped families.ped --map markers.map --dat bad_sum.dat",
                "Error: The allele frequencies of locus 2 of LINKAGE locus file bad_sum.dat sum to "
                "0.8"},
        Failure{"vantrel", vantrelInput + " --datafile bad_sum.dat",
                "Error: The allele frequencies of locus 2 of LINKAGE locus file bad_sum.dat sum to "
                "0.8"},
        // Selections that name nothing read.
        Failure{"orlex", singlepoint + " --marker NOPE",
                "Error: Cannot find given marker NOPE (--marker) in the map file markers.map"},
        Failure{"orlex", singlepoint + " --phenotype NOPE",
                "Error: Cannot find given phenotype NOPE (--phenotype) in the pedigree file "
                "families.ped"},
        Failure{"orlex", "--hrrrand " + orlexInput + " --marker NOPE",
                "Error: Cannot find given marker NOPE (--marker) in the map file markers.map"},
        Failure{"orlex", "--hrrrand " + orlexInput + " --phenotype NOPE",
                "Error: Cannot find given phenotype NOPE (--phenotype)"},
        Failure{"orlex", "--multipoint " + orlexInput + " --phenotype NOPE",
                "Error: Phenotype NOPE not found!"},
        Failure{"vantrel", vantrelInput + " --marker NOPE", "Error: Marker (NOPE) not found!"},
        Failure{"vantrel", vantrelInput + " --phen NOPE", "Error: Phenotype NOPE not found!"},
        Failure{"vantrel", vantrelInput + cases + " --ccphen ASTHMA",
                "Error: The cases' and controls' phenotype ASTHMA (--ccphen) is not analysed: "
                "the analysed phenotypes are DISEASE_LOCUS: name one of them with --ccphen"},
        Failure{"vantrel", vantrelInput + cases + " --phenotypefile phenotypes.phen --phen ECZEMA",
                "Error: The cases' and controls' phenotype DISEASE_LOCUS (--ccphen) is not "
                "analysed: the analysed phenotypes are ECZEMA"},
        // Bounds of the multipoint analysis.
        Failure{"orlex",
                "--multipoint --wsize 8 --post --ped trio.ped --map eight_markers.map --model "
                "dominant.model",
                "Error: Multipoint window size 8 (--wsize) is more than the engine's LINKMAP "
                "build takes"},
        Failure{"orlex", "--multipoint " + orlexInput + " --steps 501",
                "Error: Multipoint steps 501 (--steps) are more than 500"},
        // An engine program that fails.
        Failure{"orlex", singlepoint + " #failing mlinkorlex",
                "Error: The engine program mlinkorlex ended with status 3"},
        Failure{"vantrel", vantrelInput + " --marker D1S101 #failing ilinkvant",
                "Error: The engine program ilinkvant ended with status 3"},
        Failure{"vantrel", vantrelInput + " --marker D1S101 --forceloopbreak #failing unknownvant",
                "Error: The engine program unknownvant ended with status 3"},
        Failure{"orlex",
                "--singlepoint --ped families.pre --map markers.map --model "
                "dominant.model #failing makepedvant",
                "Error: The engine program makepedvant ended with status 3"},
        // No analysis asked for.
        Failure{"orlex", orlexInput, "Error: No analysis selected"}));

}  // namespace
