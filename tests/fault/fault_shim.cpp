// Loaded with LD_PRELOAD into the tool, makes one kind of system call fail on purpose:
//   TERMOVEL_FAIL=write-bytes TERMOVEL_FAIL_AT=N  writes to files succeed for N bytes in all,
//                                                 then fail with ENOSPC (the write that
//                                                 crosses N is cut short there first)
//   TERMOVEL_FAIL=fsync|rename|ftruncate|close TERMOVEL_FAIL_AT=N  the Nth such call fails (EIO)
//   TERMOVEL_NO_TEMPORARY=1  creating a new file exclusively (O_CREAT | O_EXCL, as a save's
//                            temporary file is made) fails with EACCES, as in a folder the
//                            user may not write to: saves then write into the file itself
// Standard input, output and error are never touched, so the tool can still report.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>

namespace {

const char* failing() {
    const char* what = getenv("TERMOVEL_FAIL");
    return what ? what : "";
}

long long failAt() {
    const char* at = getenv("TERMOVEL_FAIL_AT");
    return at ? atoll(at) : -1;
}

// Whether this call is the one to fail (counting the calls of one kind from 1).
bool failThis(const char* kind) {
    static std::atomic<long long> calls{0};
    if (strcmp(failing(), kind) != 0)
        return false;
    return ++calls == failAt();
}

template <typename F>
F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    static const auto real = next<int (*)(const char*, int, ...)>("open");
    mode_t mode = 0;
    if (flags & O_CREAT) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    const char* noTemporary = getenv("TERMOVEL_NO_TEMPORARY");
    if (noTemporary && *noTemporary == '1' && (flags & O_CREAT) && (flags & O_EXCL)) {
        errno = EACCES;
        return -1;
    }
    return real(path, flags, mode);
}

ssize_t write(int fd, const void* data, size_t size) {
    static const auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
    static std::atomic<long long> written{0};
    if (fd > 2 && strcmp(failing(), "write-bytes") == 0) {
        const long long left = failAt() - written.load();
        if (left <= 0) {
            errno = ENOSPC;
            return -1;
        }
        if (static_cast<long long>(size) > left)
            size = static_cast<size_t>(left);
        const ssize_t n = real(fd, data, size);
        if (n > 0)
            written += n;
        return n;
    }
    return real(fd, data, size);
}

int fsync(int fd) {
    static const auto real = next<int (*)(int)>("fsync");
    if (fd > 2 && failThis("fsync")) {
        errno = EIO;
        return -1;
    }
    return real(fd);
}

int rename(const char* from, const char* to) {
    static const auto real = next<int (*)(const char*, const char*)>("rename");
    if (failThis("rename")) {
        errno = EIO;
        return -1;
    }
    return real(from, to);
}

int ftruncate(int fd, off_t length) {
    static const auto real = next<int (*)(int, off_t)>("ftruncate");
    if (fd > 2 && failThis("ftruncate")) {
        errno = EIO;
        return -1;
    }
    return real(fd, length);
}

}  // extern "C"
