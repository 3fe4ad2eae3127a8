#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>

#include "platform/error.h"

namespace {

// Each piece written is handed to the disk at once, so the disk works while the rest is still
// being prepared and the final flush has less left to wait for.
constexpr size_t kWritePiece = size_t{8} << 20;

// The kernel gives up on a chain of links after 40 hops; so do we.
constexpr int kMaxLinkHops = 40;

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

}  // namespace atomic_file

TAtomicFileWriter::TAtomicFileWriter(const std::string& path)
    : path_(path), target_(atomic_file::replacementTarget(path)) {
    if (target_.empty())
        throw TError(formatMessage(error_text::kCannotCreateFile, path));
    // Renaming over a file needs only the folder's permission, but a file the user may not
    // write to must stay as it is, just as writing into it directly would fail.
    if (::faccessat(AT_FDCWD, target_.c_str(), F_OK, AT_EACCESS) == 0 &&
        ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)
        throw TError(formatMessage(error_text::kCannotCreateFile, path));
    static std::atomic<unsigned> counter{0};
    const size_t slash = target_.find_last_of('/');
    folder_ = slash == std::string::npos ? "." : target_.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);

    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        const std::string candidate = (slash == std::string::npos ? "" : folder_) + "." + base +
                                      ".tmp" + std::to_string(::getpid()) + "-" +
                                      std::to_string(counter++);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            tempPath_ = candidate;
        } else if (errno != EEXIST) {
            break;
        }
    }
    if (fd_ < 0)
        throw TError(formatMessage(error_text::kCannotCreateFile, path));

    struct stat old {};
    if (::stat(target_.c_str(), &old) == 0) {
        if (S_ISDIR(old.st_mode)) {
            discard();
            throw TError(formatMessage(error_text::kCannotCreateFile, path));
        }
        (void)::fchmod(fd_, old.st_mode & 07777);
    }
}

TAtomicFileWriter::~TAtomicFileWriter() {
    discard();
}

void TAtomicFileWriter::discard() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!tempPath_.empty())
        ::unlink(tempPath_.c_str());
    tempPath_.clear();
}

void TAtomicFileWriter::write(const char* data, size_t size) {
    for (size_t done = 0; done < size;) {
        const size_t piece = std::min(kWritePiece, size - done);
        if (!atomic_file::writeAll(fd_, data + done, piece))
            throw TError(error_text::kStreamWrite);
        (void)::sync_file_range(fd_, static_cast<off_t>(written_), static_cast<off_t>(piece),
                                SYNC_FILE_RANGE_WRITE);
        written_ += piece;
        done += piece;
    }
}

void TAtomicFileWriter::commit() {
    if (::fsync(fd_) != 0)
        throw TError(error_text::kStreamWrite);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        throw TError(error_text::kStreamWrite);
    if (::rename(tempPath_.c_str(), target_.c_str()) != 0)
        throw TError(formatMessage(error_text::kCannotCreateFile, path_));
    tempPath_.clear();

    // The rename itself reaches the disk with the folder's entry.
    const int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
}
