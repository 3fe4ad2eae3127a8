#include "platform/private_folder.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
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
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && !writableByOthers(info);
}

}  // namespace

bool writableByOthers(const struct stat& info) {
    if (info.st_mode & S_IWOTH)
        return true;
    return (info.st_mode & S_IWGRP) && !isUserPrivateGroup(info.st_gid);
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

std::string inTemporary() {
    std::error_code ec;
    std::string base = std::filesystem::temp_directory_path(ec).string();
    if (ec || base.empty())
        base = "/tmp";
    const std::string folder = base + "/termovel-" + std::to_string(::geteuid());
    return make(folder) ? folder : std::string();
}

}  // namespace private_folder
