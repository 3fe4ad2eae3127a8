#pragma once

#include <optional>
#include <string>
#include <vector>

class TRegSetup;

// The parts of the start-up list that name dictionaries by their full path, and the folders the
// user added to the search, as termovel.ini keeps them.
//
// [List] holds, as it always has, the dictionaries of the program's own folders by bare name.
// Dictionaries found elsewhere (the system's dictd and StarDict folders, the user's
// collections) are kept in a section of their own, [Sources], in the same form (Count, then
// N1 … NCount, each "+" or "-" and then the full path); the folders the user added are kept in
// [Folders] (Count, then N1 … NCount, each a full path). A program that knows only [List] never
// reads the other two and writes them back as it found them, so neither its start nor its
// settings dialog is disturbed by them. The start-up list is [List]'s entries, then [Sources]'.
//
// Paths on disk are UTF-8 and the file is Windows-1251: a path is stored as its Windows-1251
// text, and one that Windows-1251 cannot hold is not stored at all (see storedPath).
namespace dictionary_list {

inline constexpr const char* kSources = "Sources";
inline constexpr const char* kFolders = "Folders";

// The entries of [Sources], N1 … NCount as far as the section holds them, as stored ("+" or
// "-", then the path). A missing or empty Count holds none, as a file written before the
// section existed. Raises TError("'%s' is not a valid integer value") for any other Count that
// is not a decimal integer.
std::vector<std::string> sourceValues(const TRegSetup& regSetup);

// Rewrites [Sources]: values as N1 … Nn, then Count.
void writeSources(TRegSetup& regSetup, const std::vector<std::string>& values);

// The folders of [Folders] as UTF-8 paths, N1 … NCount as far as the section holds them, empty
// entries left out. Count as for sourceValues, which raises likewise.
std::vector<std::string> folders(const TRegSetup& regSetup);

// Rewrites [Folders] with folders (UTF-8 paths that storedPath holds; others are left out), then
// Count.
void writeFolders(TRegSetup& regSetup, const std::vector<std::string>& folders);

// The Windows-1251 text under which the UTF-8 path is stored (with a flag before it or
// without), or nothing when the path cannot be stored so that it reads back as itself: a
// character Windows-1251 lacks, blanks at its end (reading drops them) or more than the 2046
// characters a value keeps beside its flag.
std::optional<std::string> storedPath(const std::string& path);

}  // namespace dictionary_list
