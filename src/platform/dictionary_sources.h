#pragma once

#include <string>
#include <vector>

// Where dictionaries other than the program's own lie on the machine (the packages of dictd and
// StarDict, the user's collections, folders the user names), and finding them there.
namespace dictionary_sources {

// How deep below one of the searched folders the search goes (a StarDict collection keeps each
// dictionary in a subfolder of its own, sometimes one more level down).
inline constexpr int kMaxDepth = 8;
// How many entries of one searched folder and its subfolders are looked at, at most: a folder
// such as /usr/share, named by mistake, costs a moment, never minutes.
inline constexpr int kMaxEntries = 10000;

// The folders searched for dictionaries of the system and of the user, in this order: for each
// system data folder D (systemDataHomes of xdgDataDirs) D + "/dictd" and D + "/stardict/dic";
// home + "/.stardict/dic"; H + "/stardict/dic" with H the user's data folder (userDataHome of
// xdgDataHome and home); then H and each D + "/termovel/dictionaries". Folders that do not
// exist are listed too: find skips them. Any argument may be null.
std::vector<std::string> standardFolders(const char* home, const char* xdgDataHome,
                                         const char* xdgDataDirs);

// standardFolders from the environment ($HOME, else the user database; $XDG_DATA_HOME,
// $XDG_DATA_DIRS). When $TERMOVEL_SOURCE_FOLDERS is set, its absolute folders (separated by
// ":"; none when it is empty) stand instead: a test or a measurement runs without the
// machine's dictionaries so.
std::vector<std::string> standardFolders();

// The dictionaries in folders and their subfolders, as full paths (folder + "/" + the path
// below it), judged by the name's ending (letter case ignored): ".dic", ".ifo" (StarDict),
// ".index" (dictd), ".dsl" and ".dsl.dz" but not a DSL abbreviation file ("…_abrv.dsl",
// "…_abrv.dsl.dz"), which belongs to the dictionary beside it. The folders in the order given,
// within a folder its entries in name order (a subfolder's dictionaries where the subfolder's name
// falls), a dictd index only when
// "<name>.dict" or "<name>.dict.dz" lies beside it. Links are followed, but each real folder
// and each real file is taken once (so a link that loops ends there), never deeper than
// kMaxDepth below a folder nor beyond maxEntries entries of it. A file that is one of known
// (the same file, by any path) is left out. Folders that are missing or unreadable give none.
std::vector<std::string> find(const std::vector<std::string>& folders,
                              const std::vector<std::string>& known = {},
                              int maxEntries = kMaxEntries);

}  // namespace dictionary_sources
