// The documentation is checked against the package itself, so that it cannot
// drift from the programs: every example command runs as written on a copy of
// examples/, every file shown as an example is the file under examples/, the
// engine limits are the build's, and every link leads to a file.
#include "engine_limits.h"
#include "test_support.h"

#include <cctype>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using test_support::readText;

const std::vector<std::string> documents{"README.md", "docs/orlex.md", "docs/vantrel.md",
                                         "examples/README.md"};

// A fenced block of a document: its info string ("sh", "text examples/x") and text.
struct Block {
    std::string document;
    int line = 0;  // the line of its opening fence
    std::string info;
    std::string text;
};

std::vector<Block> blocksOf(const std::string& document) {
    std::vector<Block> blocks;
    std::istringstream text(readText(test_support::sourcePath(document)));
    int lineNumber = 0;
    Block* open = nullptr;
    for (std::string line; std::getline(text, line);) {
        ++lineNumber;
        if (line.rfind("```", 0) != 0) {
            if (open != nullptr) {
                open->text += line + "\n";
            }
        } else if (open == nullptr) {
            blocks.push_back({document, lineNumber, line.substr(3), ""});
            open = &blocks.back();
        } else {
            open = nullptr;
        }
    }
    return blocks;
}

std::vector<Block> blocksWithInfo(const std::string& prefix) {
    std::vector<Block> selected;
    for (const std::string& document : documents) {
        for (const Block& block : blocksOf(document)) {
            if (block.info.rfind(prefix, 0) == 0) {
                selected.push_back(block);
            }
        }
    }
    return selected;
}

std::string blockLabel(const ::testing::TestParamInfo<Block>& info) {
    std::string label = std::filesystem::path(info.param.document).replace_extension().string() +
                        "_line" + std::to_string(info.param.line);
    for (char& c : label) {
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return label;
}

void PrintTo(const Block& block, std::ostream* out) {
    *out << block.document << ":" << block.line;
}

// Each "sh" block is what a user types in a folder holding a copy of
// examples/: its commands run in order and must all succeed.
class DocumentedCommandTest : public test_support::TempDirTest,
                              public ::testing::WithParamInterface<Block> {};

TEST_P(DocumentedCommandTest, RunsAsWrittenOnTheExamples) {
    test_support::copySourceFolder("examples");
    const auto result = test_support::runShell(GetParam().text);
    EXPECT_EQ(result.status, 0) << GetParam().text << "\n" << result.output;
}

INSTANTIATE_TEST_SUITE_P(Documents, DocumentedCommandTest,
                         ::testing::ValuesIn(blocksWithInfo("sh")), blockLabel);

// A "text examples/NAME" block shows the whole of that example file, a
// "text examples/NAME head" block its first lines.
class DocumentedFileTest : public ::testing::TestWithParam<Block> {};

TEST_P(DocumentedFileTest, ShowsTheExampleFileAsItIs) {
    std::istringstream info(GetParam().info);
    std::string kind;
    std::string name;
    std::string part;
    info >> kind >> name >> part;
    const std::string file = readText(test_support::sourcePath(name));
    if (part == "head") {
        EXPECT_EQ(file.substr(0, GetParam().text.size()), GetParam().text) << name;
    } else {
        EXPECT_EQ(GetParam().text, file) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, DocumentedFileTest,
                         ::testing::ValuesIn(blocksWithInfo("text examples/")), blockLabel);

TEST(Documentation, EveryDocumentHoldsExamplesOfCommandsAndFiles) {
    // Guards the two tests above against a change of the fence markers that
    // would leave them nothing to check.
    for (const char* document : {"docs/orlex.md", "docs/vantrel.md"}) {
        int commands = 0;
        int files = 0;
        for (const Block& block : blocksOf(document)) {
            commands += block.info == "sh";
            files += block.info.rfind("text examples/", 0) == 0;
        }
        EXPECT_GE(commands, 3) << document;
        EXPECT_GE(files, 3) << document;
    }
}

// The limits table gives the numbers the engine programs were built with.
TEST(Documentation, EngineLimitsAreTheBuilds) {
    const std::vector<std::pair<std::string, EngineLimits>> cases{
        {"docs/orlex.md", orlexEngineLimits}, {"docs/vantrel.md", vantrelEngineLimits}};
    for (const auto& [document, limits] : cases) {
        const std::string text = readText(test_support::sourcePath(document));
        const std::vector<std::pair<std::string, int>> rows{
            {"Alleles per marker", limits.alleles},
            {"Liability classes", limits.liabilityClasses},
            {"Pedigrees per engine run", limits.pedigrees},
            {"Persons per engine run, all pedigrees together", limits.persons}};
        for (const auto& [row, value] : rows) {
            const std::string line = "| " + row + " | " + std::to_string(value) + " |";
            EXPECT_NE(text.find(line), std::string::npos) << document << " lacks: " << line;
        }
    }
}

TEST(Documentation, EveryLinkLeadsToAFile) {
    const std::regex link(R"(\]\(([^)#]+)(#[^)]*)?\))");
    for (const std::string& document : documents) {
        const std::string text = readText(test_support::sourcePath(document));
        const auto folder = test_support::sourcePath(document).parent_path();
        for (std::sregex_iterator it(text.begin(), text.end(), link), end; it != end; ++it) {
            const std::string target = (*it)[1];
            if (target.find("://") == std::string::npos) {
                EXPECT_TRUE(std::filesystem::exists(folder / target))
                    << document << " links to " << target;
            }
        }
    }
}

}  // namespace
