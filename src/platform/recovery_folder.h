#pragma once

#include <string>
#include <vector>

// The recovery folder: where the unsaved changes of dictionaries are kept when the program is
// ended from outside (the session ends, a signal), until the next start restores or discards
// them. One file per dictionary; its name carries a number, so files never replace each other
// and come back in the order they were written, and the dictionary's origin, so a restored
// dictionary is saved where it came from.
namespace recovery_folder {

// One recovery file: where it lies and the origin its name records.
struct TRecoveryFile {
    std::string path;
    // The full path of the dictionary's own file, or a bare file name (no "/") for a
    // dictionary that belonged to no file, or whose path was too long to record.
    std::string origin;
};

// The recovery folder of the program folder: programFolder + "/recovery".
std::string path(const std::string& programFolder);

// Makes the recovery folder ready for use: a folder of the user's own, mode 0700, made when
// missing (see private_folder::make). Returns false when it is refused: a link, another
// user's folder, one others may write to; nothing is then read from it or written to it.
bool prepare(const std::string& folder);

// The recovery folder where a save that writes a dictionary in place keeps the old content
// until the save has finished, so that a save cut short by a crash or a signal is offered at
// the next start like any other recovery file. "" (the default) when the process has none.
void useForSaves(const std::string& folder);
const std::string& forSaves();

// A name for a new recovery file in folder: "<n>-" and origin with "%" written "%25" and "/"
// written "%2F", n one more than the highest number in folder (1 for none). A name that would
// pass the file system's limit records only the origin's last part.
std::string newFileName(const std::string& folder, const std::string& origin);

// The recovery files of folder by their numbers, lowest first; entries not named as
// newFileName names them are left out, and so are those that are not regular files of the
// user's own that no one else may write to. A missing or unreadable folder holds none.
std::vector<TRecoveryFile> list(const std::string& folder);

}  // namespace recovery_folder
