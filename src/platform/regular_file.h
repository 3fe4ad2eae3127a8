#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>

// Reading only what is a plain file. A device (/dev/zero, /dev/urandom) never ends, a FIFO
// blocks until someone writes to it, and a folder is no file at all; a reader that took any of
// them for a file would grow without bound or hang.
namespace regular_file {

// The longest file name (not path) the usual Linux file systems take, in bytes.
inline constexpr size_t kMaxNameBytes = 255;

// What is at a path, as far as reading it goes.
enum class TKind {
    Regular,     // a plain file (also through symbolic links)
    Missing,     // nothing there (or a link that leads nowhere)
    LinkLoop,    // a chain of symbolic links that never ends (or runs past the system's limit)
    Directory,   // a folder
    Special,     // a device, FIFO or socket
    Unreadable,  // there, but the user may not read it (or it cannot be examined)
};

// Opens path for reading when it is a regular file; the descriptor is blocking and
// close-on-exec. Never blocks on a FIFO: the file is opened without waiting and examined
// before anything is read. Returns -1 otherwise, with kind (when given) saying why.
int openForReading(const std::string& path, TKind* kind = nullptr);
// The same, also giving the opened file's status (its size and identity as the reading starts).
int openForReading(const std::string& path, struct stat& info, TKind* kind = nullptr);

// What is at path, without opening it (a folder that cannot be searched gives Unreadable).
TKind kindOf(const std::string& path);

}  // namespace regular_file
