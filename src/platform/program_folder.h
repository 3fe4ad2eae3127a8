#pragma once

#include <string>
#include <vector>

// Where the program's files live, and the listing of its dictionaries.
namespace program_folder {

// The folder of the running executable, without a trailing separator.
std::string path();

// The program's own files are named folder + "/" + name.
std::string file(const std::string& folder, const std::string& name);

// Names (without folder) of the entries of folder whose name matches "*.dic" ignoring case,
// hidden files included, folders skipped, in name order. An unreadable folder gives none.
std::vector<std::string> listDictionaries(const std::string& folder);

// Whether a regular file (or a link to one) exists at path.
bool fileExists(const std::string& path);

}  // namespace program_folder
