#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/private_folder.h"

namespace instance_lock {

namespace {

constexpr const char* kLockName = "TermovelMutex";

}  // namespace

std::string defaultPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        return std::string(runtime) + "/" + kLockName;
    // The temporary folder is shared by every user: the lock lies in a folder of the user's
    // own there, so that another user can neither hold it nor put a link in its place.
    const std::string folder = private_folder::inTemporary();
    return folder.empty() ? std::string() : folder + "/" + kLockName;
}

bool acquire(const std::string& path) {
    if (path.empty())
        return true;
    // Never through a link, and only a regular file of the user's own counts as the lock.
    const int fd =
        ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return true;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        ::close(fd);
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;  // kept open until the process ends
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return !held;
}

}  // namespace instance_lock
