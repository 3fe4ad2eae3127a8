#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace regular_file {

namespace {

TKind kindOfMode(mode_t mode) {
    if (S_ISREG(mode))
        return TKind::Regular;
    return S_ISDIR(mode) ? TKind::Directory : TKind::Special;
}

TKind kindOfErrno(int error) {
    if (error == ELOOP)
        return TKind::LinkLoop;
    return error == ENOENT || error == ENOTDIR ? TKind::Missing : TKind::Unreadable;
}

}  // namespace

int openForReading(const std::string& path, TKind* kind) {
    struct stat info {};
    return openForReading(path, info, kind);
}

int openForReading(const std::string& path, struct stat& info, TKind* kind) {
    TKind found = TKind::Regular;
    // O_NONBLOCK: opening a FIFO with no writer returns at once instead of waiting; O_NOCTTY:
    // a terminal device is never made the controlling one.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    info = {};
    if (fd < 0) {
        found = kindOfErrno(errno);
        // A FIFO or device that cannot be opened is still reported for what it is.
        if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
            found = kindOfMode(info.st_mode);
    } else if (::fstat(fd, &info) != 0) {
        found = TKind::Unreadable;
    } else {
        found = kindOfMode(info.st_mode);
    }
    if (found == TKind::Regular && ::fcntl(fd, F_SETFL, 0) != 0)
        found = TKind::Unreadable;
    if (found != TKind::Regular && fd >= 0) {
        ::close(fd);
        fd = -1;
    }
    if (kind)
        *kind = found;
    return fd;
}

TKind kindOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return kindOfErrno(errno);
    if (S_ISREG(info.st_mode) && ::access(path.c_str(), R_OK) != 0)
        return TKind::Unreadable;
    return kindOfMode(info.st_mode);
}

}  // namespace regular_file
