#pragma once

#include <functional>
#include <string>
#include <vector>

// Where the program's files live, and the listing of its dictionaries.
namespace program_folder {

// The folder of the running executable, without a trailing separator.
std::string path();

// The three folders the program folder is chosen from.
struct TProgramPlaces {
    std::string binaryFolder;  // the folder of the running executable
    std::string dataFolder;    // the installed, shared data: bundled dictionaries, help file
    std::string userFolder;    // the user's own program folder: $XDG_DATA_HOME/termovel
};

// Whether the running user may create files in folder.
bool isWritable(const std::string& folder);

// $XDG_DATA_HOME when it is set to an absolute path (the base directory rules ignore a relative
// one), else home + "/.local/share". Either argument may be null.
std::string userDataHome(const char* xdgDataHome, const char* home);

// The places of the running executable: dataFolder is binaryFolder + "/" + dataFromBinary,
// normalised (where the install rules lay the data, relative to the binary, so a staged or
// relocated tree finds its own), userFolder is userDataHome(...) + "/termovel" from the environment
// (the home folder from the user database when HOME is unset).
TProgramPlaces runningPlaces(const std::string& dataFromBinary);

// The program folder. A copy that the user may write beside (writable(binaryFolder)) and that is
// not installed (no dataFolder beside it) keeps its files beside itself: a build, a portable
// copy. Any other copy uses userFolder, created with its parents when missing; while it holds no
// settingsName file yet (the first start), every "*.dic" of dataFolder that it has no file of
// that name for is copied in, so a user's own copy is never overwritten and a dictionary the
// user deleted later does not come back. Creating and seeding never raise: what failed shows
// when start-up writes its settings file there.
std::string choose(const TProgramPlaces& places, const std::string& settingsName,
                   const std::function<bool(const std::string&)>& writable = isWritable);

// folder + "/" + name when something is there, else fallbackFolder + "/" + name when that
// exists (an empty fallbackFolder is none), else folder + "/" + name. Finds the help file,
// which an install keeps in dataFolder.
std::string locate(const std::string& folder, const std::string& fallbackFolder,
                   const std::string& name);

// The program's own files are named folder + "/" + name.
std::string file(const std::string& folder, const std::string& name);

// Names (without folder) of the entries of folder whose name matches "*.dic" ignoring case,
// hidden files included, folders skipped, in name order. An unreadable folder gives none.
std::vector<std::string> listDictionaries(const std::string& folder);

// Whether a regular file (or a link to one) exists at path.
bool fileExists(const std::string& path);

}  // namespace program_folder
