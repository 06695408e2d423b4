#include "test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace test_support {

void TempDirTest::SetUp() {
    previous_ = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "orlex-test-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    ASSERT_NE(made, nullptr) << "cannot create a temporary directory";
    dir_ = made;
    std::filesystem::current_path(dir_);
}

void TempDirTest::TearDown() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

CommandResult runCommand(const std::string& command, bool mergeStderr) {
    CommandResult result;
    const std::string line = mergeStderr ? command + " 2>&1" : command;
    FILE* pipe = popen(line.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 4096> buffer{};
    size_t got = 0;
    while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        result.output.append(buffer.data(), got);
    }
    const int raw = pclose(pipe);
    if (raw != -1 && WIFEXITED(raw)) {
        result.status = WEXITSTATUS(raw);
    }
    return result;
}

std::filesystem::path sourcePath(const std::string& relative) {
    return std::filesystem::path(ORLEX_SOURCE_DIR) / relative;
}

std::filesystem::path programPath(const std::string& name) {
    return std::filesystem::path(ORLEX_PROGRAM_DIR) / name;
}

std::filesystem::path enginePath(const std::string& name) {
    return std::filesystem::path(ORLEX_ENGINE_BIN_DIR) / name;
}

}  // namespace test_support
