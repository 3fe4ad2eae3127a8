#include "platform/private_folder.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace private_folder {
namespace {

// Whether gid is the running user's private group: the user's primary group, named as the
// user is, with no other members named.
bool isUserPrivateGroup(gid_t gid) {
    std::vector<char> buffer(16384);
    passwd user{};
    passwd* userFound = nullptr;
    if (::getpwuid_r(::geteuid(), &user, buffer.data(), buffer.size() / 2, &userFound) != 0 ||
        !userFound || user.pw_gid != gid)
        return false;
    group entry{};
    group* groupFound = nullptr;
    char* groupBuffer = buffer.data() + buffer.size() / 2;
    if (::getgrgid_r(gid, &entry, groupBuffer, buffer.size() / 2, &groupFound) != 0 ||
        !groupFound || std::strcmp(entry.gr_name, user.pw_name) != 0)
        return false;
    for (char** member = entry.gr_mem; member && *member; ++member) {
        if (std::strcmp(*member, user.pw_name) != 0)
            return false;
    }
    return true;
}

bool ownAndClosed(const struct stat& info) {
    return S_ISDIR(info.st_mode) && isUsersAlone(info);
}

}  // namespace

bool writableByOthers(const struct stat& info) {
    if (info.st_mode & S_IWOTH)
        return true;
    return (info.st_mode & S_IWGRP) && !isUserPrivateGroup(info.st_gid);
}

bool isUsersAlone(const struct stat& info) {
    return info.st_uid == ::geteuid() && !writableByOthers(info);
}

bool isOwn(const std::string& folder) {
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && ownAndClosed(info);
}

bool make(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    // Opened without following a link, and examined through the descriptor: what is checked
    // is what gets its mode changed, whatever is renamed in between.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    const bool own = ::fstat(fd, &info) == 0 && ownAndClosed(info);
    // Where the file system keeps no modes (FAT), the change fails and the mount decides who
    // may look in; no one else may write there all the same.
    if (own && (info.st_mode & 07777) != 0700)
        (void)::fchmod(fd, 0700);
    ::close(fd);
    return own;
}

std::string temporaryBase() {
    // A TMPDIR that names no folder must not stop the program from starting.
    std::error_code ec;
    std::string base = std::filesystem::temp_directory_path(ec).string();
    return ec || base.empty() ? "/tmp" : base;
}

std::string inTemporary() {
    const std::string folder = temporaryBase() + "/termovel-" + std::to_string(::geteuid());
    return make(folder) ? folder : std::string();
}

namespace {

// A name no other user can guess ahead of time.
std::string randomName(const std::string& name) {
    uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, 0) != static_cast<ssize_t>(sizeof bits))
        return {};
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(bits));
    return "." + name + "." + suffix + ".tmp";
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

int openOwn(const std::string& folder, std::string* why) {
    auto refuse = [&](const char* reason) {
        if (why)
            *why = "папка " + folder + " " + reason;
        return -1;
    };
    const size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0)
        (void)::mkdir(folder.substr(0, slash).c_str(), 0700);
    (void)::mkdir(folder.c_str(), 0700);
    // O_NOFOLLOW: a link in the folder's place is refused, not followed; the checks below are
    // made on the very folder opened.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        struct stat info {};
        if (::lstat(folder.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
            return refuse("— символическая ссылка");
        return refuse(errno == ENOTDIR ? "— не папка" : "недоступна");
    }
    struct stat info {};
    const char* reason = nullptr;
    if (::fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode))
        reason = "— не папка";
    else if (info.st_uid != ::geteuid())
        reason = "принадлежит другому пользователю";
    else if ((info.st_mode & 077) != 0)
        reason = "открыта другим пользователям (нужны права 0700)";
    if (reason) {
        ::close(fd);
        return refuse(reason);
    }
    return fd;
}

bool isOwnFile(const struct stat& info) {
    return S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 022) == 0;
}

int openOwnFile(int dirFd, const std::string& name, struct stat& info) {
    const int fd =
        ::openat(dirFd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return -1;
    if (::fstat(fd, &info) != 0 || !isOwnFile(info)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool replaceFile(int dirFd, const std::string& name, const char* data, size_t size) {
    const std::string temporary = randomName(name);
    if (temporary.empty())
        return false;
    const int fd = ::openat(dirFd, temporary.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    // The mode is set through the descriptor: the file is never anybody else's to read, whatever
    // the umask, and a name swapped meanwhile cannot redirect it.
    bool done = ::fchmod(fd, 0600) == 0 && writeAll(fd, data, size);
    done = ::close(fd) == 0 && done;
    done = done && ::renameat(dirFd, temporary.c_str(), dirFd, name.c_str()) == 0;
    if (!done)
        (void)::unlinkat(dirFd, temporary.c_str(), 0);
    return done;
}

}  // namespace private_folder
