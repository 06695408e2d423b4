// An output file written whole or not at all. The text goes into a temporary
// file beside the file it is meant for, which takes that file's place only
// once every byte of it has been written and closed without error; on any
// failure the temporary file is removed and a file that was there before is
// left as it was. A name that is a link is written at the link's target, so
// the link stays.
#pragma once

#include <fstream>
#include <string>

class ReplacementFile {
  public:
    ReplacementFile() = default;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    // Removes a temporary file that was never put in place.
    ~ReplacementFile();

    // Makes the temporary file for the named output. False, with nothing
    // made, when the name cannot take an output (outputFileProblem) or the
    // temporary file cannot be made; opening twice fails as well.
    bool open(const std::string& name);
    // The stream into the temporary file; failed when nothing is open.
    std::ofstream& stream() { return out; }
    const std::ofstream& stream() const { return out; }
    // Closes the temporary file and puts it in place of the output. False,
    // with the temporary file removed and the output untouched, when any of
    // the text did not reach it (a full disk shows only at the close), the
    // stream has failed, nothing is open, or the renaming fails.
    bool commit();
    // Drops the temporary file; the output stays as it was.
    void discard();

  private:
    std::ofstream out;
    std::string target;
    std::string temporary;
};

// Why an output file of this name cannot be written, or "" when it can: the
// name is empty, or names a folder, a file that is not a regular one (a
// device such as /dev/full, a pipe), a read-only file or a link to nothing.
// A file counts as read-only by its permission bits too, which a run as the
// superuser would otherwise pass over: its owner has marked it as not to be
// replaced. The text follows the name in a message ("is a folder").
std::string outputFileProblem(const std::string& name);

// Why the folder that an output of this name goes into (after the links of
// the name are followed) cannot take it, or "" when it can: it does not
// exist, is no folder, or cannot be written into. The text is a whole
// clause ("the folder results does not exist").
std::string outputFolderProblem(const std::string& name);

// The folder that an output of this name is written into ("." for a bare
// file name), after the links of the name are followed.
std::string outputFolderOf(const std::string& name);
