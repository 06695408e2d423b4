// The engine build script's own refusals, which stop it before it fetches or
// builds anything.

#include <filesystem>
#include <string>

#include "test_support.h"

using test_support::runCommand;
using test_support::sourcePath;

class BuildScriptTest : public test_support::TempDirTest {};

// A misspelt step must not build the normal engine under the name of one
// without that step: a comparison of the two would then show no change.
TEST_F(BuildScriptTest, RefusesAStepItDoesNotKnow) {
    for (const std::string steps : {"walk_pedigree_alone", "walk_pedigrees_alone,nosuchstep"}) {
        const auto result = runCommand("ORLEX_ENGINE_SKIP_STEPS='" + steps + "' bash " +
                                       sourcePath("engine/build.sh").string() + " out");
        EXPECT_NE(result.status, 0) << steps;
        EXPECT_NE(result.output.find("ORLEX_ENGINE_SKIP_STEPS names an unknown step"),
                  std::string::npos)
            << result.output;
        EXPECT_FALSE(std::filesystem::exists("out/bin")) << steps;
        EXPECT_FALSE(std::filesystem::exists("out/work")) << steps;
    }
}
