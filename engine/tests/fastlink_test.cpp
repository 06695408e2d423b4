// The engine programs as the build installs them, run on small data sets
// converted by makepedvant; LOD scores are checked against the closed form of
// a fully informative family, not against earlier output.

#include <cmath>
#include <filesystem>
#include <iomanip>
#include <map>
#include <sstream>
#include <string>
#include <utility>

#include "engine_limits.h"
#include "test_support.h"

using test_support::enginePath;
using test_support::readText;
using test_support::runCommand;
using test_support::writeText;

// Two-point MLINK file: a fully penetrant dominant trait (disease allele
// frequency 0.01) and a three-allele marker, theta 0 to 0.48 in steps of 0.02.
const char* const twoPointDatafile =
    "2 0 0 5\n"
    "0 0 0 0\n"
    "1 2 \n"
    "1 2\n"
    "0.98999999999999999 0.01 \n"
    "1\n"
    "0 1 1 \n"
    "3 3\n"
    "0.29999999999999999 0.29999999999999999 0.40000000000000002 \n"
    "0 0\n"
    "0  \n"
    "1 0.02 0.48999999999999999\n";

// Pre-MAKEPED: pedigree, person, father, mother, sex, affection, marker.
// fam7: an affected father 1/2 (phase unknown) with six children by two
// unaffected 3/3 wives, listed alternately; c6 is the one recombinant under
// the phase "disease allele with marker allele 1". fam9, interleaved with
// fam7, has three children and no recombinant.
const char* const informativeFamilies =
    "fam7 dad 0  0  1 2 1 2\n"
    "fam7 w1  0  0  2 1 3 3\n"
    "fam9 f   0  0  1 2 2 1\n"
    "fam7 w2  0  0  2 1 3 3\n"
    "fam7 c1  dad w1 1 2 1 3\n"
    "fam9 m   0  0  2 1 3 3\n"
    "fam7 c2  dad w2 2 2 1 3\n"
    "fam7 c3  dad w1 1 2 1 3\n"
    "fam9 s1  f  m  1 2 2 3\n"
    "fam7 c4  dad w2 2 1 2 3\n"
    "fam9 s2  f  m  2 1 1 3\n"
    "fam7 c5  dad w1 1 1 2 3\n"
    "fam9 s3  f  m  2 2 2 3\n"
    "fam7 c6  dad w2 2 2 2 3\n";

// LINKMAP file: the same trait and marker, then a copy of the marker 0.1
// further on; the trait moves from 0.5 towards the first marker in five
// evaluations.
const char* const threeLociDatafile =
    "3 0 0 4\n0 0 0 0\n1 2 3 \n1 2\n0.98999999999999999 0.01 \n1\n0 1 1 \n"
    "3 3\n0.3 0.3 0.4 \n3 3\n0.3 0.3 0.4 \n0 0\n0.5  0.1  \n1 0.0001 5\n";

// The families with their marker's two alleles repeated as a second marker.
static std::string withSecondMarker(const std::string& families) {
    std::string result;
    std::istringstream lines(families);
    for (std::string line; std::getline(lines, line);) {
        result += line + line.substr(line.size() - 4) + "\n";
    }
    return result;
}

// LOD of n informative meioses of which k recombine, phase unknown.
static double informativeLod(double theta, int n, int k) {
    return std::log10(std::pow(2.0, n - 1) * (std::pow(theta, k) * std::pow(1 - theta, n - k) +
                                              std::pow(theta, n - k) * std::pow(1 - theta, k)));
}

// LOD per (theta, pedigree number) and the total per theta, from MLINK's outfile.
struct TwoPointLods {
    std::map<std::pair<double, int>, double> byPedigree;
    std::map<double, double> total;
};

static TwoPointLods readTwoPointOutfile(const std::string& text) {
    TwoPointLods lods;
    std::istringstream lines(text);
    std::string line;
    double theta = -1;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (first == "THETAS") {
            words >> theta;
        } else if (const auto lod = line.find("LOD="); lod != std::string::npos) {
            lods.byPedigree[{theta, std::stoi(first)}] = std::stod(line.substr(lod + 4));
        } else if (const auto score = line.find("LOD SCORE ="); score != std::string::npos) {
            lods.total[theta] = std::stod(line.substr(score + 11));
        }
    }
    return lods;
}

// Pedigrees p1 .. pN of four persons each, pre-MAKEPED.
static std::string manyFamilies(int count) {
    std::string families;
    for (int i = 1; i <= count; ++i) {
        const std::string id = "p" + std::to_string(i);
        families += id + " f 0 0 1 2 1 2\n" + id + " m 0 0 2 1 3 3\n" + id + " c f m 1 2 1 3\n" +
                    id + " d f m 2 1 2 3\n";
    }
    return families;
}

class FastlinkTest : public test_support::TempDirTest {
  protected:
    // Runs a program of the engine folder with stdin closed off; returns its status.
    static int run(const std::string& program) {
        const auto result = runCommand(enginePath(program).string() + " </dev/null >/dev/null");
        return result.status;
    }

    static void convertToPedfile(const std::string& preMakeped) {
        writeText("fam.pre", preMakeped);
        const auto converted = runCommand(test_support::programPath("makepedvant").string() +
                                          " fam.pre pedfile.dat n");
        ASSERT_EQ(converted.status, 0) << converted.output;
    }

    // unknown, then the given analysis program; the outfile's text.
    static std::string analyse(const std::string& program) {
        std::filesystem::remove("outfile.dat");
        EXPECT_EQ(run("unknownorlex"), 0);
        EXPECT_EQ(run(program), 0);
        return readText("outfile.dat");
    }
};

TEST_F(FastlinkTest, TwoPointLodsOfConvertedFamiliesMatchTheClosedForm) {
    convertToPedfile(informativeFamilies);
    writeText("datafile.dat", twoPointDatafile);
    const TwoPointLods lods = readTwoPointOutfile(analyse("mlinkorlex"));

    ASSERT_EQ(lods.total.size(), 26u);
    ASSERT_EQ(lods.byPedigree.size(), 52u);
    for (const auto& [theta, total] : lods.total) {
        const double fam9 = informativeLod(theta, 3, 0);
        EXPECT_NEAR(lods.byPedigree.at({theta, 2}), fam9, 1e-5) << "theta " << theta;
        if (theta == 0.0) {
            // One recombinant makes theta 0 impossible for fam7.
            EXPECT_LT(lods.byPedigree.at({theta, 1}), -100);
            continue;
        }
        const double fam7 = informativeLod(theta, 6, 1);
        EXPECT_NEAR(lods.byPedigree.at({theta, 1}), fam7, 1e-5) << "theta " << theta;
        EXPECT_NEAR(total, fam7 + fam9, 1e-5) << "theta " << theta;
    }
}

TEST_F(FastlinkTest, SlowBuildsWriteTheSameOutfileAsTheFastOnes) {
    convertToPedfile(informativeFamilies);
    writeText("datafile.dat", twoPointDatafile);
    const std::string fastMlink = analyse("mlinkorlex");
    EXPECT_NE(fastMlink.find("THETAS"), std::string::npos);
    EXPECT_EQ(analyse("mlinkorlexslow"), fastMlink);

    convertToPedfile(withSecondMarker(informativeFamilies));
    writeText("datafile.dat", threeLociDatafile);
    const std::string fastLinkmap = analyse("linkmaporlex");
    EXPECT_NE(fastLinkmap.find("THETAS  0.100 0.100"), std::string::npos) << fastLinkmap;
    EXPECT_EQ(analyse("linkmaporlexslow"), fastLinkmap);
}

TEST_F(FastlinkTest, HoldsAsManyPedigreesAndPersonsAsTheBuildPromises) {
    // 5,000 pedigrees of four, 20,000 persons: the raised limits exactly.
    const std::string families = manyFamilies(5000);
    convertToPedfile(families);
    // Only six thetas keep the run short.
    std::string datafile = twoPointDatafile;
    datafile.replace(datafile.rfind("1 0.02"), std::string::npos, "1 0.1 0.45\n");
    writeText("datafile.dat", datafile);
    const TwoPointLods lods = readTwoPointOutfile(analyse("mlinkorlex"));
    EXPECT_EQ(lods.byPedigree.size(), 6u * 5000u);

    // One pedigree more is refused with an error status, not a crash.
    writeText("pedfile.dat", readText("pedfile.dat") +
                                 "5001 1 0 0 3 0 0 1 1 2 1 2\n"
                                 "5001 2 0 0 3 0 0 2 0 1 3 3\n"
                                 "5001 3 1 2 0 0 0 1 0 2 1 3\n");
    EXPECT_EQ(run("unknownorlex"), 0);
    EXPECT_EQ(run("mlinkorlex"), 1);
}

// A post-MAKEPED couple, the father affected 1/2 and the mother 3/3, with
// the given number of children.
static std::string sibship(int children) {
    std::string pedigree = "1 1 0 0 3 0 0 1 1 2 1 2\n1 2 0 0 3 0 0 2 0 1 3 3\n";
    for (int child = 3; child < children + 3; ++child) {
        const std::string next = child + 1 < children + 3 ? std::to_string(child + 1) : "0";
        pedigree += "1 " + std::to_string(child) + " 1 2 0 " + next + " " + next + " " +
                    (child % 2 == 0 ? "1 0 2 1 3\n" : "2 0 1 2 3\n");
    }
    return pedigree;
}

// The likelihood routines hold a couple's children in arrays of maxchild
// (18); a larger sibship stops every analysis program with the engine's
// reason, before anything is written past them.
TEST_F(FastlinkTest, ASibshipBeyondTheLimitStopsEveryAnalysisProgram) {
    const struct {
        const char* program;
        const char* datafile;
        bool twoMarkers;
    } programs[] = {{"mlinkorlex", twoPointDatafile, false},
                    {"mlinkorlexslow", twoPointDatafile, false},
                    {"linkmaporlex", threeLociDatafile, true},
                    {"linkmaporlexslow", threeLociDatafile, true}};
    for (const auto& [program, datafile, twoMarkers] : programs) {
        writeText("datafile.dat", datafile);
        for (const int children : {18, 19, 60}) {
            const std::string pedigree = sibship(children);
            writeText("pedfile.dat", twoMarkers ? withSecondMarker(pedigree) : pedigree);
            ASSERT_EQ(run("unknownorlex"), 0) << children;
            const auto result = runCommand(
                "timeout 60 " + enginePath(program).string() + " </dev/null 2>&1 >/dev/null",
                false);
            const bool beyond = children > 18;
            EXPECT_EQ(result.status, beyond ? 1 : 0) << program << " " << children;
            EXPECT_EQ(result.output, beyond ? "\nA nuclear family has more children than maxchild"
                                              "\nThe program will exit politely to allow you to"
                                              "\nincrease maxchild in the file commondefs.h\n"
                                            : "")
                << program << " " << children;
        }
    }
}

// A loop pedigree, post-MAKEPED, with its loop broken at person 3: person 5
// is 3's copy, father of 6 by 3's sister 4; both copies carry the mark 2.
static std::string loopPedigree(int number) {
    const std::string id = std::to_string(number) + " ";
    return id + "1 0 0 3 0 0 1 1 2 1 2\n" + id + "2 0 0 3 0 0 2 0 1 3 3\n" + id +
           "3 1 2 0 4 4 1 2 1 1 3\n" + id + "4 1 2 6 0 0 2 0 1 1 3\n" + id +
           "5 0 0 6 0 0 1 2 1 1 3\n" + id + "6 5 4 0 0 0 1 0 1 1 1\n";
}

TEST_F(FastlinkTest, UnknownRefusesALoopPedigreeBeyondItsLoopTable) {
    writeText("datafile.dat", twoPointDatafile);
    writeText("pedfile.dat", loopPedigree(1));
    EXPECT_EQ(run("unknownorlex"), 0);

    convertToPedfile(manyFamilies(5000));
    writeText("pedfile.dat", readText("pedfile.dat") + loopPedigree(5001));
    const auto result = runCommand(enginePath("unknownorlex").string() + " </dev/null");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("ERROR: more than 5000 pedigrees"), std::string::npos);
}

TEST_F(FastlinkTest, UnknownNeverWaitsForEnter) {
    // An open standard input that never delivers a byte: a program that
    // waits for Enter hangs until the timeout (status 124).
    const auto withOpenStdin = [](const std::string& program) {
        return runCommand("mkfifo stdin.fifo && exec 3<>stdin.fifo && timeout 60 " +
                          enginePath(program).string() + " <stdin.fifo");
    };
    writeText("datafile.dat", twoPointDatafile);

    // c3 carries marker allele 3 twice: incompatible with its father 1/2.
    std::string incompatible = informativeFamilies;
    incompatible.replace(incompatible.find("c3  dad w1 1 2 1 3"), 18, "c3  dad w1 1 2 3 3");
    convertToPedfile(incompatible);
    const auto mendel = withOpenStdin("unknownorlex");
    EXPECT_EQ(mendel.status, 0) << mendel.output;
    EXPECT_NE(mendel.output.find("Incompatibility detected"), std::string::npos);
    EXPECT_EQ(mendel.output.find("Press <Enter>"), std::string::npos);
    std::filesystem::remove("stdin.fifo");

    // An empty pedigree file is an input error, not a prompt.
    writeText("pedfile.dat", "");
    const auto empty = withOpenStdin("unknownorlex");
    EXPECT_EQ(empty.status, 1) << empty.output;
    EXPECT_NE(empty.output.find("ERROR: File empty or nonexistent."), std::string::npos);
}

TEST_F(FastlinkTest, KilledRunLeavesNoCheckpointToReplay) {
    // A run killed part-way through must leave nothing that the next run in
    // this folder could restore as its own result.
    convertToPedfile(manyFamilies(5000));
    writeText("datafile.dat", twoPointDatafile);
    ASSERT_EQ(run("unknownorlex"), 0);
    runCommand("timeout -s KILL 2 " + enginePath("mlinkorlex").string() + " </dev/null >/dev/null");
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find("checkpoint"), std::string::npos) << name;
        EXPECT_NE(name.rfind("main.", 0), 0u) << name;
        EXPECT_NE(name.rfind("outf.", 0), 0u) << name;
    }
}

TEST_F(FastlinkTest, AnalysisProgramsReportTheirFlavourAndRaisedLimits) {
    const struct {
        const char* program;
        const char* banner;
        const char* datafile;
    } programs[] = {{"mlinkorlex", "Program MLINK", twoPointDatafile},
                    {"mlinkorlexslow", "Program MLINK", twoPointDatafile},
                    {"linkmaporlex", "Program LINKMAP", threeLociDatafile},
                    {"linkmaporlexslow", "Program LINKMAP", threeLociDatafile}};
    convertToPedfile(withSecondMarker(informativeFamilies));
    for (const auto& [program, banner, datafile] : programs) {
        writeText("datafile.dat", datafile);
        ASSERT_EQ(run("unknownorlex"), 0);
        const auto result = runCommand(enginePath(program).string() + " </dev/null");
        EXPECT_EQ(result.status, 0) << program;
        const std::string& output = result.output;
        const bool slow = std::string(program).find("slow") != std::string::npos;
        EXPECT_NE(output.find(banner), std::string::npos) << program;
        EXPECT_NE(output.find(slow ? "FASTLINK (slow) version" : "FASTLINK version"),
                  std::string::npos)
            << program;
        EXPECT_NE(output.find("20000 individuals in all pedigrees combined"), std::string::npos)
            << program;
        EXPECT_NE(output.find(" 5000 pedigrees (maxped)"), std::string::npos) << program;
    }
}

// The limits the programs refuse input beyond are the ones the engine was
// compiled with: each program's banner states its own.
TEST_F(FastlinkTest, ProgramsHoldTheLimitsTheBuildRecorded) {
    const auto banner = [](int value, const std::string& what) {
        std::ostringstream line;
        line << std::setw(6) << value << " " << what;
        return line.str();
    };
    const struct {
        const char* program;
        EngineLimits limits;
    } programs[] = {{"mlinkorlex", orlexEngineLimits},
                    {"linkmaporlex", orlexEngineLimits},
                    {"mlinkorlexslow", orlexEngineLimits},
                    {"linkmaporlexslow", orlexEngineLimits}};
    for (const auto& [program, limits] : programs) {
        const auto result = runCommand(enginePath(program).string() + " </dev/null");
        EXPECT_NE(result.output.find(banner(limits.alleles, "alleles at a single locus")),
                  std::string::npos)
            << program << "\n"
            << result.output;
        EXPECT_NE(result.output.find(banner(limits.liabilityClasses, "liability classes")),
                  std::string::npos)
            << program << "\n"
            << result.output;
    }
    for (const auto& [program, limits] : {std::pair{"unknownorlex", orlexEngineLimits},
                                          std::pair{"unknownvant", vantrelEngineLimits}}) {
        const auto result = runCommand(enginePath(program).string() + " </dev/null");
        EXPECT_NE(result.output.find(banner(limits.alleles, "alleles at a single locus")),
                  std::string::npos)
            << program << "\n"
            << result.output;
    }
}
