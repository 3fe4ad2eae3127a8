#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "platform/regular_file.h"

namespace {

// Each piece written is handed to the disk at once, so the disk works while the rest is still
// being prepared and the final flush has less left to wait for.
constexpr size_t kWritePiece = size_t{8} << 20;

// The kernel gives up on a chain of links after 40 hops; so do we.
constexpr int kMaxLinkHops = 40;

// How often a writer looks again whether the lock came free.
constexpr std::chrono::milliseconds kLockPoll{20};

constexpr const char* kTempMark = ".tmp";

// --- Temporary files removed on SIGTERM/SIGINT --------------------------------------------
// The handler may only touch what is async-signal-safe: fixed buffers and atomic flags, read
// with unlink, signal and raise. A slot is 0 free, 1 being filled, 2 holding a path.
constexpr int kTrackedSlots = 8;
char gTracked[kTrackedSlots][PATH_MAX];
std::atomic<int> gTrackedState[kTrackedSlots];

void removeTrackedAndRaise(int signal) {
    for (int i = 0; i < kTrackedSlots; ++i) {
        if (gTrackedState[i].load() == 2)
            ::unlink(gTracked[i]);
    }
    // The signal then ends the process as it would have without us.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// The handler goes only where the signal's action is still the default one: a program that
// handles the signal itself (quitting cleanly) keeps its handler, and its writers clean up.
void installHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int signal : {SIGTERM, SIGINT}) {
            struct sigaction old {};
            if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler != SIG_DFL)
                continue;
            struct sigaction action {};
            action.sa_handler = removeTrackedAndRaise;
            sigemptyset(&action.sa_mask);
            ::sigaction(signal, &action, nullptr);
        }
        // A write past the file size limit (ulimit -f) then fails with EFBIG and is reported
        // like any failed write, instead of killing the process in the middle of a save.
        struct sigaction old {};
        if (::sigaction(SIGXFSZ, nullptr, &old) == 0 && old.sa_handler == SIG_DFL)
            ::signal(SIGXFSZ, SIG_IGN);
    });
}

// --- The locks this process holds --------------------------------------------------------
std::mutex gHeldMutex;
std::vector<std::pair<dev_t, ino_t>> gHeld;  // one entry per TSaveLock that really locked

bool held(dev_t device, ino_t inode) {
    std::lock_guard guard(gHeldMutex);
    return std::find(gHeld.begin(), gHeld.end(), std::pair{device, inode}) != gHeld.end();
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

// The name of a temporary file for the file named base: "." base ".tmp" pid "-" number. A
// name that would pass the file system's limit of regular_file::kMaxNameBytes keeps only the start
// of base, followed by "~" and a hash of the whole, so that the temporary file stays in the folder
// of the file it replaces and its name remains one removeStaleTemporaries knows.
std::string temporaryName(const std::string& base, pid_t pid, unsigned number) {
    const std::string tail = kTempMark + std::to_string(pid) + "-" + std::to_string(number);
    const size_t room = regular_file::kMaxNameBytes - 1 - tail.size();
    if (base.size() <= room)
        return "." + base + tail;
    char hash[16];
    std::snprintf(hash, sizeof hash, "~%08zx", std::hash<std::string>{}(base)&0xFFFFFFFFu);
    return "." + base.substr(0, room - std::strlen(hash)) + hash + tail;
}

// The pid in a temporary file's name ("." name ".tmp" pid "-" number), or 0 when the name is
// not one of ours.
pid_t temporaryOwner(std::string_view name) {
    if (name.size() < 2 || name.front() != '.')
        return 0;
    const size_t mark = name.rfind(kTempMark);
    if (mark == std::string_view::npos || mark == 0)
        return 0;
    const std::string_view rest = name.substr(mark + std::strlen(kTempMark));
    const size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size())
        return 0;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (i != dash && (rest[i] < '0' || rest[i] > '9'))
            return 0;
    }
    long long pid = 0;
    for (size_t i = 0; i < dash && pid <= INT_MAX; ++i)
        pid = pid * 10 + (rest[i] - '0');
    return pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

}  // namespace

namespace atomic_file {

std::string replacementTarget(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path at(path);
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(at, ec)))
            return at.string();
        const fs::path next = fs::read_symlink(at, ec);
        if (ec)
            return at.string();
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return {};
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void removeStaleTemporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t owner = temporaryOwner(entry->d_name);
        if (owner == 0 || owner == ::getpid())
            continue;
        // Only a process that is gone: kill(pid, 0) fails with ESRCH. A running process (or
        // one of another user, EPERM) keeps its file.
        if (::kill(owner, 0) == 0 || errno != ESRCH)
            continue;
        struct stat info {};
        if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode) || info.st_uid != ::geteuid())
            continue;
        (void)::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

void trackTemporary(const std::string& path) {
    installHandlers();
    if (path.size() >= PATH_MAX)
        return;
    for (int i = 0; i < kTrackedSlots; ++i) {
        int expected = 0;
        if (gTrackedState[i].compare_exchange_strong(expected, 1)) {
            std::memcpy(gTracked[i], path.c_str(), path.size() + 1);
            gTrackedState[i].store(2);
            return;
        }
    }
}

void untrackTemporary(const std::string& path) {
    for (int i = 0; i < kTrackedSlots; ++i) {
        int expected = 2;
        if (gTrackedState[i].load() == 2 && path == gTracked[i] &&
            gTrackedState[i].compare_exchange_strong(expected, 1)) {
            gTrackedState[i].store(0);
            return;
        }
    }
}

}  // namespace atomic_file

TSaveLock::TSaveLock(const std::string& path, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::string target = atomic_file::replacementTarget(path);
    if (target.empty())
        return;  // a loop of links: the save fails by itself
    for (;;) {
        // The file itself, or its folder while it does not exist.
        bool onFolder = false;
        int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0 && errno == EACCES)
            fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0 && errno == ENOENT) {
            onFolder = true;
            fd = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        }
        struct stat locked {};
        if (fd < 0 || ::fstat(fd, &locked) != 0) {
            if (fd >= 0)
                ::close(fd);
            return;
        }
        if (held(locked.st_dev, locked.st_ino)) {
            ::close(fd);
            return;
        }
        while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) {
                ::close(fd);
                return;  // a file system without locks: nothing to wait for
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                ::close(fd);
                throw TError(formatMessage(error_text::kFileBusy, path));
            }
            std::this_thread::sleep_for(kLockPoll);
        }
        // Still the file the path names? Another writer may have renamed a new one over it, or
        // created it, while we waited.
        struct stat now {};
        const bool present = ::stat(target.c_str(), &now) == 0;
        const bool same =
            onFolder ? !present
                     : present && now.st_dev == locked.st_dev && now.st_ino == locked.st_ino;
        if (same) {
            fd_ = fd;
            device_ = locked.st_dev;
            inode_ = locked.st_ino;
            std::lock_guard guard(gHeldMutex);
            gHeld.emplace_back(device_, inode_);
            return;
        }
        ::close(fd);  // drops the lock too
    }
}

TSaveLock::~TSaveLock() {
    if (fd_ < 0)
        return;
    {
        std::lock_guard guard(gHeldMutex);
        const auto it = std::find(gHeld.begin(), gHeld.end(), std::pair{device_, inode_});
        if (it != gHeld.end())
            gHeld.erase(it);
    }
    ::close(fd_);
}

TAtomicFileWriter::TAtomicFileWriter(const std::string& path, std::optional<TFileStamp> expected,
                                     TFlush flush)
    : path_(path),
      target_(atomic_file::replacementTarget(path)),
      flush_(flush),
      expected_(expected) {
    if (target_.empty())
        throw TError(formatMessage(error_text::kCannotCreateFile, path));
    lock_ = std::make_unique<TSaveLock>(path);
    requireUnchanged();
    installHandlers();
    // Renaming over a file needs only the folder's permission, but a file the user may not
    // write to must stay as it is, just as writing into it directly would fail.
    struct stat old {};
    const bool haveOld = ::stat(target_.c_str(), &old) == 0;
    if (haveOld && ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)
        throw TError(formatMessage(error_text::kCannotCreateFile, path));
    const size_t slash = target_.find_last_of('/');
    folder_ = folderOf(target_);
    const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    // Only a regular file is replaced: a rename over a device, FIFO or folder would put a
    // dictionary where the system (or another program) expects something else.
    if (haveOld && !S_ISREG(old.st_mode))
        throw TError(formatMessage(error_text::kCannotCreateFile, path));
    atomic_file::removeStaleTemporaries(folder_);
    // A file of several names (hard links) is written in place: a new file renamed over one
    // name would leave the others holding the old content.
    if (haveOld && old.st_nlink > 1) {
        fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd_ < 0)
            throw TError(formatMessage(error_text::kCannotCreateFile, path));
        inPlace_ = true;
        return;
    }
    if (!openTemporary(base, slash != std::string::npos)) {
        // No temporary file in a folder the user may not write to: the file itself, when it
        // may be written, is written in place. Only then: on a full disk or a read-only
        // system, writing in place would only spoil the old file.
        const bool folderClosed = errno == EACCES || errno == EPERM;
        if (folderClosed && haveOld && S_ISREG(old.st_mode))
            fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd_ < 0)
            throw TError(formatMessage(error_text::kCannotCreateFile, path));
        inPlace_ = true;
        return;
    }
    // The new file takes the old one's owner and group as far as the process may (all of it
    // as root, so that a save run by root leaves a user's file that user's), then its mode:
    // a change of owner clears the set-id bits. Anyone else keeps at least the group when a
    // member of it; a group that cannot be kept gets none of the old group's rights, which
    // were never meant for it.
    if (haveOld) {
        mode_t mode = old.st_mode & 07777;
        if (::fchown(fd_, old.st_uid, old.st_gid) != 0 &&
            ::fchown(fd_, static_cast<uid_t>(-1), old.st_gid) != 0)
            mode &= ~static_cast<mode_t>(S_IRWXG | S_ISGID);
        (void)::fchmod(fd_, mode);
    }
}

// Returns false with errno from the failed open.
bool TAtomicFileWriter::openTemporary(const std::string& base, bool inFolder) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate =
            (inFolder ? folder_ : "") + temporaryName(base, ::getpid(), counter++);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            tempPath_ = candidate;
            atomic_file::trackTemporary(tempPath_);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    errno = EEXIST;
    return false;
}

TAtomicFileWriter::~TAtomicFileWriter() {
    discard();
}

void TAtomicFileWriter::discard() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        atomic_file::untrackTemporary(tempPath_);
    }
    tempPath_.clear();
}

void TAtomicFileWriter::write(const char* data, size_t size) {
    for (size_t done = 0; done < size;) {
        const size_t piece = std::min(kWritePiece, size - done);
        if (!atomic_file::writeAll(fd_, data + done, piece))
            throw TError(error_text::kStreamWrite);
        if (flush_ == TFlush::ToDisk)
            (void)::sync_file_range(fd_, static_cast<off_t>(written_), static_cast<off_t>(piece),
                                    SYNC_FILE_RANGE_WRITE);
        written_ += piece;
        done += piece;
    }
}

void TAtomicFileWriter::requireUnchanged() const {
    if (!expected_)
        return;
    // A file that is gone holds no one's work to lose.
    const std::optional<TFileStamp> now = file_stamp::ofPath(target_);
    if (now && *now != *expected_)
        throw TFileChanged(formatMessage(error_text::kFileChanged, path_));
}

void TAtomicFileWriter::commit() {
    // In place, the old file may have been longer: it is cut to what was written.
    if (inPlace_ && ::ftruncate(fd_, static_cast<off_t>(written_)) != 0)
        throw TError(error_text::kStreamWrite);
    if (flush_ == TFlush::ToDisk && ::fsync(fd_) != 0)
        throw TError(error_text::kStreamWrite);
    // Taken from the written file itself: the rename moves it without touching its time.
    const std::optional<TFileStamp> written = file_stamp::ofDescriptor(fd_);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        throw TError(error_text::kStreamWrite);
    if (inPlace_) {
        stamp_ = written;
        return;
    }
    // Looked at once more: a program that writes without taking the lock may have written
    // while the new file was being made.
    requireUnchanged();
    if (::rename(tempPath_.c_str(), target_.c_str()) != 0)
        throw TError(formatMessage(error_text::kCannotCreateFile, path_));
    stamp_ = written;
    atomic_file::untrackTemporary(tempPath_);
    tempPath_.clear();

    if (flush_ == TFlush::None)
        return;
    // The rename itself reaches the disk with the folder's entry.
    const int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
}
