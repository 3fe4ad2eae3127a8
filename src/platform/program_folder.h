#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

// Where the program's files live, and the listing of its dictionaries.
namespace program_folder {

// The folder of the running executable, without a trailing separator.
std::string path();

// The folders the program folder and the shared data folders are chosen from.
struct TProgramPlaces {
    std::string binaryFolder;  // the folder of the running executable
    std::string dataFolder;    // the installed, shared data beside the binary: ../share/termovel
    std::string userFolder;    // the user's own program folder: $XDG_DATA_HOME/termovel
    // The system's shared data folders, each + "/termovel", in the order of $XDG_DATA_DIRS.
    std::vector<std::string> systemDataFolders;
};

// Whether the running user may create files in folder.
bool isWritable(const std::string& folder);

// $XDG_DATA_HOME when it is set to an absolute path (the base directory rules ignore a relative
// one), else home + "/.local/share". Either argument may be null.
std::string userDataHome(const char* xdgDataHome, const char* home);

// The absolute folders of $XDG_DATA_DIRS in order (relative ones are ignored), or
// "/usr/local/share" and "/usr/share" when it is unset or names none. xdgDataDirs may be null.
std::vector<std::string> systemDataHomes(const char* xdgDataDirs);

// The places of the running executable: dataFolder is binaryFolder + "/" + dataFromBinary,
// normalised (where the install rules lay the data, relative to the binary, so a staged or
// relocated tree finds its own), userFolder is userDataHome(...) + "/termovel" from the environment
// (the home folder from the user database when HOME is unset), systemDataFolders come from
// systemDataHomes($XDG_DATA_DIRS).
TProgramPlaces runningPlaces(const std::string& dataFromBinary);

// Whether folder may hold the program's own files: a folder that belongs to the running user
// and that no one else may write to (see private_folder::writableByOthers). In a folder others
// may write to, the settings file and the recovery folder could be theirs.
bool isOwn(const std::string& folder);

// The program folder. A copy that the user may write beside (writable(binaryFolder)) and that is
// not installed (no dataFolder beside it) keeps its files beside itself: a build, a portable
// copy, as long as that folder is the user's own (isOwn). Any other copy uses userFolder, created
// with its parents when missing; nothing is copied into it, the shared data is read where it lies
// (dataFolders). Creating never raises: a failure shows when start-up writes its settings file
// there.
std::string choose(const TProgramPlaces& places,
                   const std::function<bool(const std::string&)>& writable = isWritable);

// The folders whose bundled dictionaries and help file are read in place beside programFolder
// (as choose gave it), in the order they are searched: the binary's own folder when the user
// may not write there (a read-only portable copy) or it is not the user's own (isOwn), dataFolder,
// then each system data folder; only folders that exist, each once, never programFolder itself. A
// copy whose program folder is its binary's own folder is self-contained and reads no shared data.
std::vector<std::string> dataFolders(
    const TProgramPlaces& places, const std::string& programFolder,
    const std::function<bool(const std::string&)>& writable = isWritable);

// Where the program's files are looked for: its own folder first, where new and edited files
// are written, then the shared data folders, read in place. A folder given alone reads no
// shared data. Besides them, the folders where dictionaries of the system and of the user lie
// (dictionary_sources::standardFolders), searched when the program lists every dictionary; a
// program given none searches only the folders the user added.
struct TFolders {
    TFolders(std::string programFolder, std::vector<std::string> dataFolders = {},
             std::vector<std::string> sourceFolders = {})
        : program(std::move(programFolder)),
          data(std::move(dataFolders)),
          sources(std::move(sourceFolders)) {}

    std::string program;
    std::vector<std::string> data;
    std::vector<std::string> sources;
};

// The first file called name in folders.program, then folders.data in order; when none holds
// one, folders.program + "/" + name. Finds the start-up dictionaries and the help file.
std::string resolve(const TFolders& folders, const std::string& name);

// One dictionary of the program: its name (without folder) and the path it is read from.
struct TListedDictionary {
    std::string name;
    std::string path;
};

// The dictionaries of all folders together, in name order as listDictionaries gives them: a
// name found in an earlier folder hides the same name in a later one, so the user's own copy
// in the program folder stands for the bundled one of that name.
std::vector<TListedDictionary> listDictionaries(const TFolders& folders);

// Whether the file at path lies directly in one of the data folders (a bundled dictionary read
// in place, which the user may not be able to write).
bool isInDataFolder(const TFolders& folders, const std::string& path);

// The program's own files are named folder + "/" + name.
std::string file(const std::string& folder, const std::string& name);

// Names (without folder) of the entries of folder whose name matches "*.dic" ignoring case,
// hidden files included, folders skipped, in name order. An unreadable folder gives none.
std::vector<std::string> listDictionaries(const std::string& folder);

// The order of names in a listing: as an NTFS listing orders them, each character upper-cased
// (names are UTF-8; a byte that is no valid UTF-8 stands for itself), then byte order.
bool nameBefore(const std::string& a, const std::string& b);

// Whether a regular file (or a link to one) exists at path.
bool fileExists(const std::string& path);

}  // namespace program_folder
