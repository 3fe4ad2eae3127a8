#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>

// Folders of the program's own: where it keeps what no other user may read or replace (copies
// of unsaved work, the single-instance lock, the look-up index). Such a folder is a real folder
// (never a link), belongs to the running user, and no one else may change it; what is read from
// it is trusted only because nobody else can put anything there, and a folder that is not so is
// not used: another user could plant files in it, or swap it for a link into a folder of theirs,
// and what the program wrote there would land where they chose.
namespace private_folder {

// Whether users other than the running one may change the file, or add, remove or rename
// entries of the folder, that info (from stat) describes: it is writable by others, or by a
// group that is not the user's own private group (the group of the user's name, with no other
// members, that a umask of 002 leaves writable on systems that give each user a group of their
// own).
bool writableByOthers(const struct stat& info);

// Whether what info describes belongs to the effective user and no one else may change it (see
// writableByOthers); callers check the kind (folder, regular file) themselves.
bool isUsersAlone(const struct stat& info);

// The temporary folder shared by all users: $TMPDIR when it names a folder, else /tmp.
std::string temporaryBase();

// Whether folder is one of the user's own: a real folder (not a link), owned by the effective
// user, and writable by no one else (see writableByOthers).
bool isOwn(const std::string& folder);

// Makes folder (its parent must exist) with mode 0700 when it is missing. A folder already
// there is used when isOwn holds; any access others still have to it is then taken away (mode
// 0700, where the file system keeps modes), as a folder made by an older version may have been
// readable by all. Returns false,
// changing nothing, for a link, another user's folder, one others may write to, or anything
// that is not a folder.
bool make(const std::string& folder);

// The user's own folder in the temporary folder ($TMPDIR, else /tmp): "termovel-" and the
// user's id, made by make. Returns "" when it cannot be made or is refused (another user may
// have put something of theirs under that name).
std::string inTemporary();

// The cache holds what the program reads back and acts on; its folder is stricter than the
// others: it grants nobody else anything (mode 0700 or less).

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
