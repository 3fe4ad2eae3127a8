#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>

// A folder of the user's own, such as the cache: what is read from it is trusted only because
// nobody else can put anything there. Such a folder exists, is a folder and not a symbolic link,
// belongs to the user and grants nobody else anything (mode 0700 or less). A folder that is
// not so is not used: another user could plant files in it, or swap it for a link into a
// folder of theirs, and what the program wrote there would land where they chose.
namespace private_folder {

// Opens folder, first making it (and its parent, when missing) with mode 0700. Returns a
// descriptor of the folder (close-on-exec) to reach its files through, so that the folder
// checked is the folder used; -1 when it cannot be made or is not the user's own, with why (when
// given) saying so in a few words for the user.
int openOwn(const std::string& folder, std::string* why = nullptr);

// Whether info describes a regular file that belongs to the user and that nobody else may write.
bool isOwnFile(const struct stat& info);

// Opens the file name in the folder dirFd for reading when it is one of the user's own files
// (see isOwnFile), giving its status in info. Never follows a symbolic link and never waits on
// a FIFO. Returns -1 otherwise.
int openOwnFile(int dirFd, const std::string& name, struct stat& info);

// Puts size bytes of data in the folder dirFd under name, whole or not at all: they go into a
// new file of an unpredictable name, made there exclusively (never through a link, never over
// a file already there) with mode 0600 from the start, then renamed over name. Returns false
// when that fails, leaving nothing behind.
bool replaceFile(int dirFd, const std::string& name, const char* data, size_t size);

}  // namespace private_folder
