#pragma once

#include <optional>
#include <string>
#include <string_view>

// One term looked up in a dictionary file without loading the dictionary: the file is read
// once, front to back through a small window, and only the lengths and the terms are
// unscrambled. For one look-up that costs little more than reading the file, where loading
// builds the whole index first.
//
// Gives exactly what LoadFromFile, Find and Article give: the article (up to its first zero
// byte) of the first entry in the file whose term equals term as the dictionary's order judges
// (letter case aside), or nothing when there is none. The whole file is still checked, so a
// damaged one raises as LoadFromFile does: TError("Cannot open file %s"), or
// TError("Stream read error") for data that ends early or a bad length anywhere in it.
std::optional<std::string> lookUpInFile(const std::string& path, std::string_view term);
