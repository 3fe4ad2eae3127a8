#pragma once

#include <sys/stat.h>

#include <string>

// Folders of the program's own: where it keeps what no other user may read or replace (copies
// of unsaved work, the single-instance lock). Such a folder is a real folder (never a link),
// belongs to the running user, and no one else may enter it.
namespace private_folder {

// Whether users other than the running one may change the file, or add, remove or rename
// entries of the folder, that info (from stat) describes: it is writable by others, or by a
// group that is not the user's own private group (the group of the user's name, with no other
// members, that a umask of 002 leaves writable on systems that give each user a group of their
// own).
bool writableByOthers(const struct stat& info);

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

}  // namespace private_folder
