#include "replacement_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The file that writing the name reaches: a link's final target when there
// is one, else the name itself.
fs::path resolvedOutput(const std::string& name) {
    std::error_code error;
    if (fs::is_symlink(fs::symlink_status(name, error))) {
        const fs::path target = fs::canonical(name, error);
        if (!error) {
            return target;
        }
    }
    return fs::path(name);
}

fs::path folderOf(const fs::path& file) {
    const fs::path folder = file.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

bool hasNoWriteBit(fs::perms permissions) {
    constexpr fs::perms anyWrite =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    return (permissions & anyWrite) == fs::perms::none;
}

// The permissions a file newly made by this process gets.
mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::string outputFileProblem(const std::string& name) {
    if (name.empty()) {
        return "has no name";
    }
    std::error_code error;
    const fs::file_status link = fs::symlink_status(name, error);
    const fs::file_status status = fs::status(name, error);
    if (!fs::exists(status)) {
        return fs::is_symlink(link) ? "is a link to a file that does not exist" : "";
    }
    if (fs::is_directory(status)) {
        return "is a folder";
    }
    if (!fs::is_regular_file(status)) {
        return "is not a regular file";
    }
    if (hasNoWriteBit(status.permissions()) || ::access(name.c_str(), W_OK) != 0) {
        return "is read-only";
    }
    return "";
}

std::string outputFolderProblem(const std::string& name) {
    const std::string folder = outputFolderOf(name);
    std::error_code error;
    const fs::file_status status = fs::status(folder, error);
    if (!fs::exists(status)) {
        return "the folder " + folder + " does not exist";
    }
    if (!fs::is_directory(status)) {
        return folder + " is not a folder";
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return "the folder " + folder + " cannot be written into";
    }
    return "";
}

std::string outputFolderOf(const std::string& name) {
    return folderOf(resolvedOutput(name)).string();
}

ReplacementFile::~ReplacementFile() {
    discard();
}

bool ReplacementFile::open(const std::string& name) {
    if (!temporary.empty() || !outputFileProblem(name).empty() ||
        !outputFolderProblem(name).empty()) {
        out.setstate(std::ios::failbit);
        return false;
    }
    const fs::path resolved = resolvedOutput(name);
    // Hidden, and beside the output: the renaming never crosses file systems.
    std::string pattern =
        (folderOf(resolved) / ("." + resolved.filename().string() + ".XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int descriptor = ::mkstemp(buffer.data());
    if (descriptor < 0) {
        out.setstate(std::ios::failbit);
        return false;
    }
    // A replaced file keeps its permissions; a new one gets those of any
    // file this process makes, not mkstemp's owner-only ones.
    struct stat existing {};
    const mode_t mode =
        ::stat(resolved.c_str(), &existing) == 0 ? existing.st_mode & 07777 : newFileMode();
    const bool prepared = ::fchmod(descriptor, mode) == 0;
    ::close(descriptor);
    temporary = buffer.data();
    target = resolved.string();
    if (prepared) {
        out.clear();
        out.open(temporary, std::ios::out | std::ios::trunc);
    }
    if (!prepared || out.fail()) {
        discard();
        out.setstate(std::ios::failbit);
        return false;
    }
    return true;
}

bool ReplacementFile::commit() {
    if (temporary.empty()) {
        out.setstate(std::ios::failbit);
        return false;
    }
    out.close();
    if (out.fail() || std::rename(temporary.c_str(), target.c_str()) != 0) {
        discard();
        out.setstate(std::ios::failbit);
        return false;
    }
    temporary.clear();
    target.clear();
    return true;
}

void ReplacementFile::discard() {
    if (temporary.empty()) {
        return;
    }
    if (out.is_open()) {
        out.close();
    }
    std::remove(temporary.c_str());
    temporary.clear();
    target.clear();
    out.setstate(std::ios::failbit);
}
