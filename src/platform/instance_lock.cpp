#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace instance_lock {

std::string defaultPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        return std::string(runtime) + "/TermovelMutex";
    // A TMPDIR that names no folder must not stop the program from starting.
    std::error_code ec;
    std::string folder = std::filesystem::temp_directory_path(ec).string();
    if (ec || folder.empty())
        folder = "/tmp";
    return folder + "/TermovelMutex";
}

bool acquire(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;  // kept open until the process ends
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return !held;
}

}  // namespace instance_lock
