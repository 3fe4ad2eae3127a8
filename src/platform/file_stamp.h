#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

// What tells one version of a file from another without reading it: which file it is (device
// and inode, so a file renamed over the old one is another file) and its size and time of last
// change to the nanosecond. A writer that rewrites a file changes its size or its time; one
// that replaces it atomically changes its inode.
struct TFileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    int64_t modifiedSeconds = 0;
    int64_t modifiedNanoseconds = 0;

    bool operator==(const TFileStamp&) const = default;
    // Whether both stamps are of the same file, whatever version of it.
    bool sameFile(const TFileStamp& other) const {
        return device == other.device && inode == other.inode;
    }
};

namespace file_stamp {

// The stamp of the file that info (from stat or fstat) describes.
TFileStamp fromStat(const struct stat& info);

// The stamp of the open file fd, or nullopt when it cannot be examined.
std::optional<TFileStamp> ofDescriptor(int fd);

// The stamp of the file at path, following symbolic links, or nullopt when there is no file
// there or it cannot be examined.
std::optional<TFileStamp> ofPath(const std::string& path);

}  // namespace file_stamp
