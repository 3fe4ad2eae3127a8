#pragma once

#include <optional>
#include <string>
#include <string_view>

// A side index of a dictionary file's terms, kept in the user's cache, so that one term can be
// looked up by reading a few records of the file instead of walking all of it.
//
// The index lists where each distinct term's record starts (the first of equal terms in file
// order), in the dictionary's order. It holds for exactly one version of one file (device,
// inode, size, modification and status change time, and its bytes while those times are too
// recent to tell versions apart) under one collation order, and carries a checksum; any other
// index is ignored and replaced. It is never needed: a cache that cannot be read or written
// only costs the time of walking the file.
//
// Indexes are kept only in a folder of the user's own (see platform/private_folder.h), and an
// index is read only when it is the user's own file that nobody else may write.

// The answer of a look-up, and whether the index gave it.
struct TIndexedLookup {
    std::optional<std::string> article;
    bool fromIndex = false;
    // When the cache folder was not used because it is not the user's own: why, for the user.
    std::string refusedFolder;
};

// The folder where indexes are kept: $XDG_CACHE_HOME/termovel, else $HOME/.cache/termovel;
// "" when neither variable is set.
std::string termIndexFolder();

// Gives exactly what lookUpInFile(path, term) gives, and raises as it does for a file that
// does not load. With a valid index for the file as it is now in folder, the binary search
// reads only the records it visits, each checked as it is read; a record that disagrees with
// the index sends the look-up the long way. The long way walks the whole file and then writes
// a fresh index into folder (created mode 0700, the index mode 0600, never through a link);
// writing it may fail without any harm. An empty folder means no index at all; so does a folder
// that is a link, another user's or open to others, which refusedFolder then names.
TIndexedLookup lookUpIndexed(const std::string& path, std::string_view term,
                             const std::string& folder);
