// The documentation is checked against the package itself, so that it cannot
// drift from the programs: every example command runs as written on a copy of
// examples/, every file shown as an example is the file under examples/, the
// engine limits are the build's, and every link leads to a file.
#include "engine_limits.h"
#include "test_support.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
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
    // Of an "sh" block: the "text output" blocks after it, before the next
    // "sh" block, which show parts of what its commands print or write.
    std::vector<Block> excerpts;
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
            blocks.push_back({document, lineNumber, line.substr(3), "", {}});
            open = &blocks.back();
        } else {
            open = nullptr;
        }
    }
    return blocks;
}

bool isExcerpt(const Block& block) {
    return block.info == "text output" || block.info.rfind("text output ", 0) == 0;
}

// The "sh" blocks of every document, each with its excerpts; an excerpt
// before a document's first command goes to the orphans.
std::vector<Block> commandBlocks(std::vector<Block>* orphans = nullptr) {
    std::vector<Block> commands;
    for (const std::string& document : documents) {
        bool open = false;
        for (const Block& block : blocksOf(document)) {
            if (block.info == "sh") {
                commands.push_back(block);
                open = true;
            } else if (isExcerpt(block) && open) {
                commands.back().excerpts.push_back(block);
            } else if (isExcerpt(block) && orphans != nullptr) {
                orphans->push_back(block);
            }
        }
    }
    return commands;
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

// The words of a line that are numbers become '#' and the words are joined
// by single blanks: the layout of the line without its values (names such
// as D1S102 stay).
std::string layoutOf(const std::string& line) {
    static const std::regex number(R"(-?[0-9]+(\.[0-9]+)?(e[-+][0-9]+)?)");
    std::string layout;
    for (const std::string& word : test_support::wordsOf(line)) {
        layout += (layout.empty() ? "" : " ") + (std::regex_match(word, number) ? "#" : word);
    }
    return layout;
}

// The first line at which the excerpt's lines stand in the text one after
// another, compared as they are or by their layout.
std::optional<std::size_t> findLines(const std::vector<std::string>& text,
                                     const std::vector<std::string>& excerpt, bool byLayout) {
    const auto same = [byLayout](const std::string& a, const std::string& b) {
        return byLayout ? layoutOf(a) == layoutOf(b) : a == b;
    };
    const auto found = std::search(text.begin(), text.end(), excerpt.begin(), excerpt.end(), same);
    if (excerpt.empty() || found == text.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(found - text.begin());
}

// An excerpt ("text output" for the standard output and error of the
// commands, "text output FILE" for a file they wrote) must stand in the fresh
// output line for line. When only its numbers differ, as after a change of an
// analysis, the failure gives the fresh lines to put in its place.
void expectExcerptShown(const Block& excerpt, const std::string& output) {
    std::istringstream info(excerpt.info);
    std::string kind;
    std::string word;
    std::string file;
    info >> kind >> word >> file;
    const std::string source = file.empty() ? "the output of the commands above it" : file;
    const std::string whole = file.empty() ? output : readText(file);
    const std::vector<std::string> text = test_support::linesOf(whole);
    const std::vector<std::string> lines = test_support::linesOf(excerpt.text);
    if (findLines(text, lines, false)) {
        return;
    }
    const std::string where = excerpt.document + ":" + std::to_string(excerpt.line);
    if (const auto at = findLines(text, lines, true)) {
        std::string fresh;
        for (std::size_t i = *at; i < *at + lines.size(); ++i) {
            fresh += text[i] + "\n";
        }
        ADD_FAILURE() << where << ": the numbers of the excerpt are not those of " << source
                      << ". Replace the excerpt's lines by the fresh ones:\n"
                      << fresh;
    } else {
        ADD_FAILURE() << where << ": the excerpt does not stand in " << source << ":\n"
                      << excerpt.text << "---- " << source << ":\n"
                      << whole;
    }
}

// Each "sh" block is what a user types in a folder holding a copy of
// examples/: its commands run in order and must all succeed, and what they
// print and write is what the document shows of it.
class DocumentedCommandTest : public test_support::TempDirTest,
                              public ::testing::WithParamInterface<Block> {};

TEST_P(DocumentedCommandTest, RunsAsWrittenOnTheExamples) {
    test_support::copySourceFolder("examples");
    const auto result = test_support::runShell(GetParam().text);
    ASSERT_EQ(result.status, 0) << GetParam().text << "\n" << result.output;
    for (const Block& excerpt : GetParam().excerpts) {
        expectExcerptShown(excerpt, result.output);
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, DocumentedCommandTest, ::testing::ValuesIn(commandBlocks()),
                         blockLabel);

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

TEST(Documentation, EveryDocumentHoldsExamplesOfCommandsFilesAndOutput) {
    // Guards the tests above against a change of the fence markers that
    // would leave them nothing to check.
    for (const char* document : {"docs/orlex.md", "docs/vantrel.md"}) {
        int commands = 0;
        int files = 0;
        int excerpts = 0;
        for (const Block& block : blocksOf(document)) {
            commands += block.info == "sh";
            files += block.info.rfind("text examples/", 0) == 0;
            excerpts += isExcerpt(block);
        }
        EXPECT_GE(commands, 3) << document;
        EXPECT_GE(files, 3) << document;
        EXPECT_GE(excerpts, 1) << document;
    }
}

// Output shown in a document is checked only as an excerpt of a command's
// output: any other block showing program output would go unchecked.
TEST(Documentation, EveryShownOutputBelongsToACommand) {
    std::vector<Block> orphans;
    commandBlocks(&orphans);
    for (const Block& orphan : orphans) {
        ADD_FAILURE() << orphan.document << ":" << orphan.line << " shows output of no command";
    }
    for (const std::string& document : documents) {
        for (const Block& block : blocksOf(document)) {
            EXPECT_TRUE(block.info == "sh" || isExcerpt(block) ||
                        block.info.rfind("text examples/", 0) == 0)
                << document << ":" << block.line
                << " is a block of an unchecked kind: " << block.info;
        }
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
