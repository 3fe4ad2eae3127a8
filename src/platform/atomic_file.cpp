#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "platform/private_folder.h"
#include "platform/recovery_folder.h"
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

// The piece in which the old content of a file written in place is copied aside and back.
constexpr size_t kCopyPiece = size_t{1} << 20;

// --- Temporary files removed, and a file written in place put back, on SIGTERM/SIGINT/SIGHUP
// The handler may only touch what is async-signal-safe: fixed buffers and atomic values, read
// with open, pread, pwrite, ftruncate, fsync, unlink, signal and raise. A slot is 0 free, 1
// being filled, 2 holding a path.
constexpr int kTrackedSlots = 8;
char gTracked[kTrackedSlots][PATH_MAX];
std::atomic<int> gTrackedState[kTrackedSlots];

// The file being written in place (its descriptor, -1 for none) and the copy of its old
// content; at most one at a time is put back by the handler.
std::atomic<int> gInPlaceFd{-1};
char gInPlaceCopy[PATH_MAX];

// Copies everything from in to out from their starts through buffer. Async-signal-safe.
// Returns the number of bytes copied, or -1 when a read or write fails.
off_t copyAll(int in, int out, char* buffer, size_t size) {
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(in, buffer, size, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            return at;
        if (::pwrite(out, buffer, static_cast<size_t>(n), at) != n)
            return -1;
        at += n;
    }
}

// Puts the kept old content (in) back over a file written in place (out): copied, cut to its
// length and flushed to the disk. Async-signal-safe. Returns false when any step fails.
bool putBack(int in, int out, char* buffer, size_t size) {
    const off_t length = copyAll(in, out, buffer, size);
    return length >= 0 && ::ftruncate(out, length) == 0 && ::fsync(out) == 0;
}

// Writes the copy back over the file written in place, then removes the copy.
void restoreInPlace() {
    const int fd = gInPlaceFd.exchange(-1);
    if (fd < 0)
        return;
    const int in = ::open(gInPlaceCopy, O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return;
    char buffer[4096];
    const bool restored = putBack(in, fd, buffer, sizeof buffer);
    ::close(in);
    if (restored)
        ::unlink(gInPlaceCopy);
}

void removeTrackedAndRaise(int signal) {
    const int savedErrno = errno;
    restoreInPlace();
    for (int i = 0; i < kTrackedSlots; ++i) {
        if (gTrackedState[i].load() == 2)
            ::unlink(gTracked[i]);
    }
    errno = savedErrno;
    // The signal then ends the process as it would have without us.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// The handler goes only where the signal's action is still the default one: a program that
// handles the signal itself (quitting cleanly) keeps its handler, and its writers clean up.
void installHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
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

// A number nobody can foretell, so that no one can put a file or a link of theirs under the
// name a temporary file is about to get.
uint64_t randomNumber() {
    uint64_t value = 0;
    if (::getrandom(&value, sizeof value, 0) == static_cast<ssize_t>(sizeof value))
        return value;
    std::random_device device;
    return (uint64_t{device()} << 32) ^ device();
}

// The name of a temporary file for the file named base: "." base ".tmp" pid "-" number, the
// number a random one. A name that would pass the file system's limit of
// regular_file::kMaxNameBytes keeps only the start of base, followed by "~" and a hash of the
// whole, so that the temporary file stays in the folder of the file it replaces and its name
// remains one removeStaleTemporaries knows.
std::string temporaryName(const std::string& base, pid_t pid, uint64_t number) {
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

// The process's umask, read without changing it: from /proc where the kernel shows it, else
// by setting and restoring it once (the moment another thread might create a file with the
// wrong mode is then at the first save only).
mode_t currentUmask() {
    static const mode_t mask = [] {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("Umask:", 0) == 0)
                return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8) & 0777);
        }
        const mode_t old = ::umask(022);
        ::umask(old);
        return old;
    }();
    return mask;
}

// Whether the link at link (as lstat gives info) may be followed to the file it names. In a
// folder that is sticky and writable by all (/tmp), a link is followed only when it is the
// user's own or the folder owner's, as the kernel's protection of such folders has it: anyone
// may put a link there, and following another user's would write where they chose. A link that
// leads nowhere is followed to create its file only when it is the user's own in a folder of
// the user's (or the superuser's) that no one else may write to.
bool mayFollow(const std::filesystem::path& link, const struct stat& info, bool dangling) {
    struct stat folder {};
    const std::filesystem::path parent = link.has_parent_path() ? link.parent_path() : ".";
    if (::stat(parent.c_str(), &folder) != 0)
        return false;
    const uid_t user = ::geteuid();
    if (dangling)
        return info.st_uid == user && (folder.st_uid == user || folder.st_uid == 0) &&
               !private_folder::writableByOthers(folder);
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || info.st_uid == user || info.st_uid == folder.st_uid;
}

void syncFolder(const std::string& folder) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
}

}  // namespace

namespace atomic_file {

std::string replacementTarget(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path at(path);
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat link {};
        if (::lstat(at.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
            return at.string();
        std::error_code ec;
        const fs::path next = fs::read_symlink(at, ec);
        if (ec)
            return at.string();
        struct stat end {};
        const bool dangling = ::stat(at.c_str(), &end) != 0 && errno == ENOENT;
        if (!mayFollow(at, link, dangling))
            return {};
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
    : TAtomicFileWriter(path, std::move(expected), TOptions{flush, TAccess::AsCreated, {}}) {}

TAtomicFileWriter::TAtomicFileWriter(const std::string& path, std::optional<TFileStamp> expected,
                                     TOptions options)
    : path_(path),
      target_(atomic_file::replacementTarget(path)),
      flush_(options.flush),
      access_(options.access),
      keepFolder_(std::move(options.keepFolder)),
      expected_(expected) {
    if (target_.empty())
        throw TError(formatMessage(error_text::kCannotCreateFile, path));
    lock_ = std::make_unique<TSaveLock>(path);
    requireUnchanged();
    installHandlers();
    // Renaming over a file needs only the folder's permission, but a file the user may not
    // write to must stay as it is, just as writing into it directly would fail.
    struct stat old {};
    const bool haveOld = ::lstat(target_.c_str(), &old) == 0;
    if (haveOld && ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)
        throw TError(formatMessage(error_text::kCannotCreateFile, path));
    const size_t slash = target_.find_last_of('/');
    folder_ = folderOf(target_);
    const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    // Only a regular file is replaced: a rename over a device, FIFO or folder would put a
    // dictionary where the system (or another program) expects something else.
    if (haveOld && !S_ISREG(old.st_mode))
        throw TError(formatMessage(error_text::kCannotCreateFile, path));
    if (haveOld)
        old_ = old;
    atomic_file::removeStaleTemporaries(folder_);
    // A file of several names (hard links) is written in place: a new file renamed over one
    // name would leave the others holding the old content.
    if (haveOld && old.st_nlink > 1) {
        openInPlace();
        return;
    }
    if (!openTemporary(base, slash != std::string::npos)) {
        // No temporary file in a folder the user may not write to: the file itself, when it
        // may be written, is written in place. Only then: on a full disk or a read-only
        // system, writing in place would only spoil the old file.
        const bool folderClosed = errno == EACCES || errno == EPERM;
        if (!folderClosed || !haveOld)
            throw TError(formatMessage(error_text::kCannotCreateFile, path));
        openInPlace();
    }
}

void TAtomicFileWriter::openInPlace() {
    // Never through a link put in the file's place since it was examined.
    fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK);
    struct stat now {};
    if (fd_ >= 0 && (::fstat(fd_, &now) != 0 || !S_ISREG(now.st_mode) ||
                     now.st_dev != old_->st_dev || now.st_ino != old_->st_ino)) {
        ::close(fd_);
        fd_ = -1;
    }
    if (fd_ < 0 || ::fcntl(fd_, F_SETFL, 0) != 0)
        throw TError(formatMessage(error_text::kCannotCreateFile, path_));
    inPlace_ = true;
    keepOldContent();
}

// Written in place, the file holds neither version while the save runs. The old content is
// first copied (mode 0600, flushed to disk) into the recovery folder, or else the user's own
// temporary folder, and the copy is removed only once the new content is on the disk: a save
// cut short, even by SIGKILL, leaves the old content there, and in the recovery folder the
// next start offers it. A save that fails puts the old content back itself.
void TAtomicFileWriter::keepOldContent() {
    const int in = ::open(target_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
    if (in < 0) {
        // A file the user may not read holds nothing of theirs to keep.
        if (errno == EACCES)
            return;
        throw TError(formatMessage(error_text::kCannotCreateFile, path_));
    }
    std::string folder;
    if (!keepFolder_.empty() && recovery_folder::prepare(keepFolder_))
        folder = keepFolder_;
    else
        folder = private_folder::inTemporary();
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(target_, ec);
    const std::string origin = ec ? target_ : absolute.lexically_normal().string();
    int out = -1;
    for (int attempt = 0; !folder.empty() && out < 0 && attempt < 100; ++attempt) {
        keepPath_ = folder + "/" + recovery_folder::newFileName(folder, origin);
        out = ::open(keepPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (out < 0 && errno != EEXIST)
            break;
    }
    std::vector<char> buffer(kCopyPiece);
    bool kept =
        out >= 0 && copyAll(in, out, buffer.data(), buffer.size()) >= 0 && ::fsync(out) == 0;
    ::close(in);
    if (out >= 0 && ::close(out) != 0)
        kept = false;
    if (!kept) {
        if (out >= 0)
            ::unlink(keepPath_.c_str());
        keepPath_.clear();
        ::close(fd_);
        fd_ = -1;
        throw TError(formatMessage(error_text::kCannotCreateFile, path_));
    }
    syncFolder(folder);
    if (keepPath_.size() < PATH_MAX) {
        std::memcpy(gInPlaceCopy, keepPath_.c_str(), keepPath_.size() + 1);
        gInPlaceFd.store(fd_);
    }
}

// Writes the kept old content back over a file that a failed in-place save left part-written.
// The copy goes only once the file holds it again; otherwise it stays to be restored later.
void TAtomicFileWriter::restoreOldContent() {
    const int in = ::open(keepPath_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    const int out =
        in < 0 ? -1 : ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
    std::vector<char> buffer(kCopyPiece);
    const bool restored = out >= 0 && putBack(in, out, buffer.data(), buffer.size());
    if (in >= 0)
        ::close(in);
    if (out >= 0 && ::close(out) != 0)
        return;
    if (restored)
        ::unlink(keepPath_.c_str());
}

// Returns false with errno from the failed open.
bool TAtomicFileWriter::openTemporary(const std::string& base, bool inFolder) {
    // Created for the user alone, whatever the umask: the file gets its final mode only when
    // it is complete (see giveFinalOwnerAndMode), so no reader can open it on the way. A name
    // already taken (by chance or by someone's planted file or link) is never opened: another
    // random name is tried.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate =
            (inFolder ? folder_ : "") + temporaryName(base, ::getpid(), randomNumber());
        const int fd =
            ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
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

// The new file takes the old one's owner and group as far as the process may (all of it as
// root, so that a save run by root leaves a user's file that user's), then its mode: a change
// of owner clears the set-id bits. What cannot be kept narrows the mode: a new owner loses the
// set-user-id bit, and a new group gets no more than any other user had, never the rights the
// old group had. A new file gets a plainly created file's mode, or 0600 for the user's eyes.
void TAtomicFileWriter::giveFinalOwnerAndMode() {
    // Where the file system keeps no modes (FAT), a change fails and the file stays as the
    // mount makes it; elsewhere a failure leaves it the user's alone, never more open.
    if (!old_) {
        const mode_t mode = access_ == TAccess::UserOnly ? 0600 : 0666 & ~currentUmask();
        if (mode != 0600)
            (void)::fchmod(fd_, mode);
        return;
    }
    struct stat now {};
    if (::fstat(fd_, &now) != 0)
        return;
    if (now.st_uid != old_->st_uid || now.st_gid != old_->st_gid) {
        if (::fchown(fd_, old_->st_uid, old_->st_gid) == 0) {
            now.st_uid = old_->st_uid;
            now.st_gid = old_->st_gid;
        } else if (now.st_gid != old_->st_gid &&
                   ::fchown(fd_, static_cast<uid_t>(-1), old_->st_gid) == 0) {
            // Without privilege the owner stays the user; the group is kept when the user is
            // one of its members.
            now.st_gid = old_->st_gid;
        }
    }
    mode_t mode = old_->st_mode & 07777;
    if (now.st_uid != old_->st_uid)
        mode &= ~S_ISUID;
    if (now.st_gid != old_->st_gid)
        mode = (mode & ~(S_ISGID | S_IRWXG)) | ((mode & S_IRWXO) << 3);
    (void)::fchmod(fd_, mode);
}

TAtomicFileWriter::~TAtomicFileWriter() {
    discard();
}

void TAtomicFileWriter::discard() {
    if (!keepPath_.empty())
        gInPlaceFd.store(-1);
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!keepPath_.empty()) {
        if (touched_)
            restoreOldContent();
        else
            ::unlink(keepPath_.c_str());
        keepPath_.clear();
    }
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        atomic_file::untrackTemporary(tempPath_);
    }
    tempPath_.clear();
}

void TAtomicFileWriter::write(const char* data, size_t size) {
    for (size_t done = 0; done < size;) {
        const size_t piece = std::min(kWritePiece, size - done);
        touched_ = true;
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
    if (inPlace_) {
        touched_ = true;
        if (::ftruncate(fd_, static_cast<off_t>(written_)) != 0)
            throw TError(error_text::kStreamWrite);
    } else {
        giveFinalOwnerAndMode();
    }
    // The copy of the old content waits for the new one on the disk, whatever the flush asked.
    if ((flush_ == TFlush::ToDisk || !keepPath_.empty()) && ::fsync(fd_) != 0)
        throw TError(error_text::kStreamWrite);
    // Taken from the written file itself: the rename moves it without touching its time.
    const std::optional<TFileStamp> written = file_stamp::ofDescriptor(fd_);
    if (!keepPath_.empty())
        gInPlaceFd.store(-1);  // the new content is on the disk: nothing to put back
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        throw TError(error_text::kStreamWrite);
    if (inPlace_) {
        stamp_ = written;
        if (!keepPath_.empty())
            ::unlink(keepPath_.c_str());
        keepPath_.clear();
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
    syncFolder(folder_);
}
