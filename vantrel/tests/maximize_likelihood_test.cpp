// One maximisation run: the engine command lines, the failures that stop
// it, and a run of the real engine with a closed-form answer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "likelihoods.h"
#include "locus_file.h"
#include "test_support.h"
#include "vantrel.h"

namespace {

using test_support::readText;
using test_support::sourcePath;
using test_support::writeText;

// A locus model of the trait and one two-allele marker.
std::unique_ptr<LinkageLocusFile> locusModel() {
    auto model = std::make_unique<LinkageLocusFile>();
    model->setNumberOfLoci(2);
    model->addLocus(new Locus("TRAIT", Locus::affectionType, 2));
    auto* marker = new Locus("1", Locus::numberedAllelesType, 2);
    marker->addAlleleFrequencies({0.5, 0.5});
    model->addLocus(marker);
    return model;
}

struct Hypothesis {
    std::string name;
    bool linkage, ld, thetasFixed;
};
const Hypothesis h0{"H0", false, false, true};
const Hypothesis h1{"H1", true, false, false};
const Hypothesis h2{"H2", false, true, true};
const Hypothesis h3{"H3", true, true, false};

class MaximizeLikelihood : public test_support::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        vantrel.linkageLocusFile = model.get();
        // The H1 estimate that an H3 run starts from.
        auto estimate = std::make_unique<Likelihood>();
        estimate->setThetas({0.05});
        h1Run.addEstimate(std::move(estimate));
        vantrel.bestH1 = &h1Run;
    }

    // Puts stand-ins for the two engine programs first on PATH: each logs
    // its command line to "calls.log", then runs its script.
    void standIns(const std::string& unknownScript, const std::string& ilinkScript) {
        for (const auto& [name, script] :
             {std::pair{"unknownvant", unknownScript}, std::pair{"ilinkvant", ilinkScript}}) {
            standIn(name, std::string("echo ") + name + " \"$@\" >> calls.log\n" + script);
        }
    }

    std::string writesFinal(const std::string& fixture) const {
        return "cp '" + sourcePath("vantrel/tests/data/final_dat/" + fixture + ".final").string() +
               "' final.dat";
    }

    Likelihoods* run(const Hypothesis& h) {
        vantrel.make_datafile(1, h.linkage, h.ld, "Dominant", false, h.thetasFixed);
        testing::internal::CaptureStdout();
        Likelihoods* record = vantrel.maximize_likelihood(h.linkage, h.ld, false, h.thetasFixed);
        output = testing::internal::GetCapturedStdout();
        return record;
    }

    std::unique_ptr<LinkageLocusFile> model = locusModel();
    Likelihoods h1Run{"Hypothesis", true, false, 2};
    Vantrel vantrel;
    std::string output;
};

// The engine's error box and the line that says how the program ended.
std::string errorBox(const std::string& label, const std::string& command, int status) {
    const std::string rule(66, '*');
    return "\n" + rule + "\nError in executing " + label + ": " + command +
           "\n\nSomething is wrong....\n" + rule +
           "\n\nAborting program!\nError: The engine program " +
           command.substr(0, command.find(' ')) + " ended with status " + std::to_string(status) +
           "\n";
}

struct Commands {
    Hypothesis hypothesis;
    std::string unknown;
    std::string ilink;
    std::string fixture;
};

void PrintTo(const Commands& value, std::ostream* out) {
    *out << value.hypothesis.name;
}

class MaximizeCommands : public MaximizeLikelihood, public testing::WithParamInterface<Commands> {};

// The command line's words joined by single blanks, as a program sees them.
std::string words(const std::string& command) {
    std::istringstream in(command);
    std::string word, joined;
    while (in >> word) {
        joined += (joined.empty() ? "" : " ") + word;
    }
    return joined;
}

TEST_P(MaximizeCommands, RunsBothProgramsWithTheRunsSwitchesAndReadsTheEstimate) {
    const Commands& c = GetParam();
    standIns("", writesFinal(c.fixture));
    vantrel.verbose = true;
    Likelihoods* record = run(c.hypothesis);
    ASSERT_NE(record, nullptr) << output;
    EXPECT_EQ(readText("calls.log"), words(c.unknown) + "\n" + words(c.ilink) + "\n");
    EXPECT_EQ(
        output.rfind("External command: " + c.unknown + "\nExternal command: " + c.ilink + "\n", 0),
        0u)
        << output;
    EXPECT_EQ(record->modelLinkage, c.hypothesis.linkage);
    EXPECT_EQ(record->modelLD, c.hypothesis.ld);
    EXPECT_EQ(record->getNumberOfAlleles(), 2);
    EXPECT_EQ(record->getLikelihoodVectorSize(), 1);
    ASSERT_EQ(vantrel.runRecords.size(), 1u);
    EXPECT_EQ(vantrel.runRecords.front().get(), record);
}

// The commands as built: the pieces joined as they stand, so two blanks
// stand between two switches.
const Commands commands[] = {
    {h0, "unknownvant", "ilinkvant -n ", "no_ld"},
    {h1, "unknownvant", "ilinkvant -n  -b ", "no_ld"},
    {h2, "unknownvant -c ", "ilinkvant -n  -c ", "ld"},
    {h3, "unknownvant -c ", "ilinkvant -n  -b  -c ", "ld"},
};

INSTANTIATE_TEST_SUITE_P(Hypotheses, MaximizeCommands, testing::ValuesIn(commands),
                         [](const testing::TestParamInfo<Commands>& info) {
                             return info.param.hypothesis.name;
                         });

TEST_F(MaximizeLikelihood, QuietRunsHideTheEngineOutput) {
    standIns("echo preparing", "echo maximising; " + writesFinal("no_ld"));
    ASSERT_NE(run(h0), nullptr);
    EXPECT_EQ(output, "199.121111          94   220   0.500000\n");
}

TEST_F(MaximizeLikelihood, AFailingPreparationStopsBeforeTheMaximisation) {
    standIns("exit 1", writesFinal("ld"));
    EXPECT_EQ(run(h3), nullptr);
    EXPECT_EQ(output, errorBox("UNKNOWNVANT", "unknownvant -c ", 1));
    EXPECT_EQ(readText("calls.log"), "unknownvant -c\n");
    EXPECT_TRUE(vantrel.runRecords.empty());
}

TEST_F(MaximizeLikelihood, AFailingMaximisationShowsTheErrorBox) {
    standIns("", writesFinal("no_ld") + "; exit 2");
    EXPECT_EQ(run(h1), nullptr);
    EXPECT_EQ(output, errorBox("ILINKVANT", "ilinkvant -n  -b ", 2));
    EXPECT_TRUE(vantrel.runRecords.empty());
}

TEST_F(MaximizeLikelihood, AMaximisationWithoutEstimateNeverGetsThePreviousOne) {
    standIns("", writesFinal("no_ld"));
    ASSERT_NE(run(h0), nullptr);
    standIns("", "true");
    EXPECT_EQ(run(h1), nullptr);
    EXPECT_EQ(output, "Error: Unable to open FINAL file final.dat for reading.\n");
    EXPECT_EQ(vantrel.runRecords.size(), 1u);
}

TEST_F(MaximizeLikelihood, AnUnreadableEstimateFailsTheRun) {
    standIns("", "echo 'CHROMOSOME ORDER OF LOCI :' > final.dat");
    EXPECT_EQ(run(h0), nullptr);
    EXPECT_EQ(output.rfind("Error: FINAL file final.dat, line ", 0), 0u) << output;
}

// The real engine on a phase-known family: the affected father got the
// disease allele with marker allele 1 from his affected father (1/1), allele
// 2 from his unaffected mother (2/2); the mother is 2/2. Under the dominant
// trait only the affected are informative, and the father's affected
// children show each meiosis: 2 of 10 got allele 2, so theta-hat is 0.2.
TEST_F(MaximizeLikelihood, RealEngineFindsTheRecombinantFraction) {
    std::ostringstream ped;
    ped << "1 1 0 0 3 0 0 1 0 2 1 1\n"
        << "1 2 0 0 3 0 0 2 0 1 2 2\n"
        << "1 3 1 2 5 0 0 1 1 2 1 2\n"
        << "1 4 0 0 5 0 0 2 0 1 2 2\n";
    for (int child = 5; child <= 14; ++child) {
        const int next = child < 14 ? child + 1 : 0;
        ped << "1 " << child << " 3 4 0 " << next << " " << next << " " << 1 + child % 2 << " 0 2 "
            << (child <= 6 ? "2" : "1") << " 2\n";
    }
    writeText("pedfile.dat", ped.str());
    Likelihoods* record = run(h1);
    ASSERT_NE(record, nullptr) << output;
    ASSERT_EQ(record->getMinLikelihoodEstThetas().size(), 1u);
    EXPECT_NEAR(record->getMinLikelihoodEstThetas()[0], 0.2, 1e-4);
    // And H0 keeps the theta it was given.
    record = run(h0);
    ASSERT_NE(record, nullptr) << output;
    EXPECT_EQ(record->getMinLikelihoodEstThetas(), std::vector<double>{0.5});
}

}  // namespace
