#include "platform/file_stamp.h"

#include <sys/stat.h>

namespace file_stamp {

TFileStamp fromStat(const struct stat& info) {
    TFileStamp stamp;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modifiedSeconds = info.st_mtim.tv_sec;
    stamp.modifiedNanoseconds = info.st_mtim.tv_nsec;
    return stamp;
}

std::optional<TFileStamp> ofDescriptor(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return std::nullopt;
    return fromStat(info);
}

std::optional<TFileStamp> ofPath(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return fromStat(info);
}

}  // namespace file_stamp
