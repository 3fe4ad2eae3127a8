#include "dictionary/secret_memory_stream.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <type_traits>

#include "dictionary/file_format.h"
#include "dictionary/key_generator.h"
#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/regular_file.h"

namespace {

constexpr TKeyGenerator keyedGenerator() {
    TKeyGenerator generator;
    generator.State = kKeyState;
    generator.SetWidth(kKeyWidth);
    generator.Taps = kKeyTaps;
    return generator;
}

// One whole period of the keystream, followed by its first kKeyRun bytes again, so that a run
// of up to kKeyRun key bytes can be read from any offset in the period without wrapping. The
// register's next state depends only on its state, and with bit 15 among the taps every state
// has exactly one predecessor, so the walk returns to its initial state and the key bytes
// repeat from there on with no lead-in.
//
// Laid down by the compiler: a short-lived process (one look-up by the tool) then pays only for
// the few pages of it that it touches, not for 65 535 register steps.
using TKeyPeriod = std::remove_const_t<decltype(keystream::kPeriodBytes)>;

constexpr TKeyPeriod makeKeyPeriod() {
    static_assert((kKeyTaps & (1u << (kKeyWidth - 1))) != 0, "the key step must be invertible");
    static_assert(kKeyState != 0, "a zero register never moves");
    TKeyPeriod bytes{};
    TKeyGenerator generator = keyedGenerator();
    // Offsets are reduced by the constant, which costs a multiplication where a period only
    // known at run time would cost a division per record; a register that came back early
    // or late would break that, and stops the build.
    for (size_t i = 0; i < keystream::kKeyPeriod; ++i) {
        bytes[i] = static_cast<unsigned char>(generator.Next() & 0xFF);
        if ((generator.State == kKeyState) != (i + 1 == keystream::kKeyPeriod))
            throw "the keystream's period is not 65535 bytes";
    }
    for (size_t i = 0; i < keystream::kKeyRun; ++i)
        bytes[keystream::kKeyPeriod + i] = bytes[i];
    return bytes;
}

// Sixteen bytes at a time; the compiler's vector extension gives plain byte-wise adds on any
// processor (one instruction where it has vector registers), without relying on the optimiser
// to see that the loop could be vectorised.
using TBytes16 = unsigned char __attribute__((vector_size(16)));
constexpr size_t kVector = sizeof(TBytes16);

// Adds (or subtracts) the periodic key to the bytes, a whole vector at a time and byte by
// byte only at the end of a period and of the range.
template <bool kAdd>
void walk(char* data, size_t size, size_t offset) {
    const TKeyPeriod& key = keystream::kPeriodBytes;
    const size_t period = keystream::kKeyPeriod;
    auto* bytes = reinterpret_cast<unsigned char*>(data);
    size_t at = offset % period;
    for (size_t done = 0; done < size;) {
        const size_t n = std::min(period - at, size - done);
        unsigned char* out = bytes + done;
        const unsigned char* k = key.data() + at;
        size_t i = 0;
        for (; i + kVector <= n; i += kVector) {
            TBytes16 v;
            TBytes16 w;
            std::memcpy(&v, out + i, kVector);
            std::memcpy(&w, k + i, kVector);
            if constexpr (kAdd)
                v += w;
            else
                v -= w;
            std::memcpy(out + i, &v, kVector);
        }
        for (; i < n; ++i) {
            if constexpr (kAdd)
                out[i] = static_cast<unsigned char>(out[i] + k[i]);
            else
                out[i] = static_cast<unsigned char>(out[i] - k[i]);
        }
        done += n;
        at = 0;
    }
}

// Makes the buffer exactly wanted bytes long, keeping its content. Raises the out-of-memory
// error; the buffer is then as it was.
void resizeBuffer(TMallocBuffer& buffer, size_t wanted) {
    char* grown = static_cast<char*>(std::realloc(buffer.get(), wanted));
    if (!grown)
        throw TError(error_text::kOutOfMemory);
    (void)buffer.release();
    buffer.reset(grown);
}

// How much a TUnscrambledFile reads at a time: well within the processor's second-level cache,
// and large enough that the system calls do not count.
constexpr size_t kReadPiece = size_t{256} << 10;
// The size from which a TUnscrambledFile reads in a thread of its own; below it, the thread
// would cost more than it saves.
constexpr size_t kReadAheadFrom = size_t{2} << 20;
// The mark in a TUnscrambledFile's progress that no more bytes will come.
constexpr uint64_t kEnded = uint64_t{1} << 63;

// Spare room at the end of a loaded file's buffer that is worth returning.
constexpr size_t kGiveBackFrom = size_t{64} << 10;

// A buffer for a file of size bytes about to be read whole. A large one starts on a huge-page
// boundary (2 MiB) and is laid on huge pages where the system offers them: filling a fresh
// buffer page by page costs a page fault per 4 KiB, which for a large dictionary took longer
// than copying its bytes. Only its last, partial huge page is left to small pages, so it holds
// no room beyond the file. The buffer is still malloc's own, freed with free like every other.
TMallocBuffer readBuffer(size_t size) {
    constexpr size_t kHugePage = size_t{2} << 20;
    constexpr size_t kHugeFrom = size_t{4} << 20;
    void* p = nullptr;
    if (size >= kHugeFrom && ::posix_memalign(&p, kHugePage, size) == 0) {
        adviseHugePages(p, size);
        return TMallocBuffer(static_cast<char*>(p));
    }
    TMallocBuffer buffer;
    resizeBuffer(buffer, size);
    return buffer;
}

}  // namespace

void TSecretMemoryStream::reserve(size_t n) {
    if (n <= capacity_)
        return;
    resizeBuffer(buffer_, n);
    capacity_ = n;
}

void TSecretMemoryStream::WriteBuffer(const void* data, size_t n) {
    if (n == 0)
        return;
    if (n > SIZE_MAX - position_)
        throw TError(error_text::kOutOfMemory);
    const size_t end = position_ + n;
    if (end > capacity_) {
        // Doubling keeps a long run of small writes linear.
        size_t wanted = capacity_ < 4096 ? 4096 : capacity_;
        while (wanted < end)
            wanted = wanted > SIZE_MAX / 2 ? end : wanted * 2;
        reserve(wanted);
    }
    std::memcpy(buffer_.get() + position_, data, n);
    position_ = end;
    if (end > size_)
        size_ = end;
}

void TSecretMemoryStream::ReadBuffer(void* destination, size_t n) {
    if (n == 0)
        return;
    if (n > size_ - position_)
        throw TError(error_text::kStreamRead);
    std::memcpy(destination, buffer_.get() + position_, n);
    position_ += n;
}

void TSecretMemoryStream::setPosition(size_t position) {
    position_ = position <= size_ ? position : size_;
}

TMallocBuffer TSecretMemoryStream::release() {
    TMallocBuffer out = std::move(buffer_);
    size_ = capacity_ = position_ = 0;
    return out;
}

void TSecretMemoryStream::LoadFromFile(const std::string& path) {
    // Only a regular file: a device or FIFO would be read without end or block.
    struct stat info {};
    const int fd = regular_file::openForReading(path, info);
    if (fd < 0)
        throw TError(formatMessage(error_text::kCannotOpenFile, path));
    struct TCloser {
        int fd;
        ~TCloser() { ::close(fd); }
    } closer{fd};

    // The file's own size is the only size trusted here; a file that grows while it is read is
    // taken up to its end.
    size_t expected = info.st_size > 0 ? static_cast<size_t>(info.st_size) : 0;
    TMallocBuffer buffer;
    size_t capacity = 0;
    size_t size = 0;
    auto grow = [&](size_t wanted) {
        resizeBuffer(buffer, wanted);
        capacity = wanted;
    };
    if (expected > 0) {
        buffer = readBuffer(expected);
        capacity = expected;
    }
    for (;;) {
        if (size == capacity && size > 0) {
            // The file may have grown since it was measured: look for more before making room,
            // so a file read in full never costs a buffer twice its size.
            char probe[1];
            const ssize_t more = ::read(fd, probe, 1);
            if (more < 0 && errno == EINTR)
                continue;
            if (more < 0)
                throw TError(error_text::kStreamRead);
            if (more == 0)
                break;
            grow(capacity * 2);
            buffer.get()[size++] = probe[0];
        } else if (size == capacity) {
            grow(65536);
        }
        const ssize_t n = ::read(fd, buffer.get() + size, capacity - size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw TError(error_text::kStreamRead);
        }
        if (n == 0)
            break;
        size += static_cast<size_t>(n);
    }
    // Room doubled for a file that grew while it was read goes back (shrinking a block in place).
    if (capacity - size >= kGiveBackFrom && size > 0) {
        resizeBuffer(buffer, size);
        capacity = size;
    }
    buffer_ = std::move(buffer);
    size_ = size;
    capacity_ = capacity;
    position_ = 0;
}

TUnscrambledFile::TUnscrambledFile(const std::string& path) {
    struct stat info {};
    fd_ = regular_file::openForReading(path, info);
    if (fd_ < 0)
        throw TError(formatMessage(error_text::kCannotOpenFile, path));
    stamp_ = file_stamp::fromStat(info);
    size_ = info.st_size > 0 ? static_cast<size_t>(info.st_size) : 0;
    if (size_ == 0)
        return;
    // Reading runs ahead of the parser: a long record at the start whose following lengths
    // cannot fit is refused before any of it is read (the parser checks the later ones).
    if (size_ >= file_format::kProbeFrom &&
        !file_format::leadingRecordsFit(&readScrambledAt, this, size_,
                                        file_format::kFirstEntryItem + 2)) {
        ::close(fd_);
        throw TError(error_text::kStreamRead);
    }
    try {
        buffer_ = readBuffer(size_);
        data_ = buffer_.get();
    } catch (...) {
        ::close(fd_);
        throw;
    }
    // A large file is read and unscrambled by a thread of its own while the caller parses
    // what has arrived: the second processor does the copying, and loading takes about as long
    // as the slower of the two instead of both together. Without a thread, the caller reads.
    if (size_ >= kReadAheadFrom) {
        try {
            reader_ = std::thread([this] { readAhead(); });
        } catch (const std::system_error&) {
        }
    }
}

TUnscrambledFile::~TUnscrambledFile() {
    stop_.store(true, std::memory_order_relaxed);
    if (reader_.joinable())
        reader_.join();
    ::close(fd_);
}

bool TUnscrambledFile::readScrambledAt(const void* source, size_t offset, char* out, size_t n) {
    const auto* file = static_cast<const TUnscrambledFile*>(source);
    return offset <= file->size_ && n <= file->size_ - offset &&
           file_format::readFully(file->fd_, out, n, offset);
}

size_t TUnscrambledFile::readPiece(size_t done, size_t target) {
    while (done < target) {
        const ssize_t n = ::read(fd_, data_ + done, target - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;  // shrunk or unreadable: nothing more will come from this file
        walk<false>(data_ + done, static_cast<size_t>(n), done);
        done += static_cast<size_t>(n);
    }
    return done;
}

void TUnscrambledFile::readAhead() {
    size_t done = 0;
    while (done < size_ && !stop_.load(std::memory_order_relaxed)) {
        const size_t target = std::min(size_, done + kReadPiece);
        const size_t got = readPiece(done, target);
        const bool short_ = got < target;
        done = got;
        progress_.store(done | (short_ ? kEnded : 0), std::memory_order_release);
        progress_.notify_one();
        if (short_)
            return;
    }
    progress_.store(done | kEnded, std::memory_order_release);
    progress_.notify_one();
}

bool TUnscrambledFile::fill(size_t end) {
    if (end > size_)
        return false;
    if (!reader_.joinable()) {
        const uint64_t progress = progress_.load(std::memory_order_relaxed);
        if (progress & kEnded)
            return false;
        const size_t target = std::min(size_, std::max(end, ready_ + kReadPiece));
        ready_ = readPiece(ready_, target);
        progress_.store(ready_ | (ready_ < target ? kEnded : 0), std::memory_order_relaxed);
        return ready_ >= end;
    }
    for (;;) {
        const uint64_t progress = progress_.load(std::memory_order_acquire);
        ready_ = static_cast<size_t>(progress & ~kEnded);
        if (ready_ >= end)
            return true;
        if (progress & kEnded)
            return false;
        progress_.wait(progress, std::memory_order_acquire);
    }
}

void TSecretMemoryStream::SaveToFile(const std::string& path) const {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        throw TError(formatMessage(error_text::kCannotCreateFile, path));
    const bool written = atomic_file::writeAll(fd, buffer_.get(), size_);
    const bool closed = ::close(fd) == 0;
    if (!written || !closed)
        throw TError(error_text::kStreamWrite);
}

void TSecretMemoryStream::clear() {
    size_ = 0;
    position_ = 0;
}

void TSecretMemoryStream::Scramble() {
    keystream::scramble(buffer_.get(), size_);
}

void TSecretMemoryStream::Unscramble() {
    keystream::unscramble(buffer_.get(), size_);
}

namespace keystream {

void scramble(char* data, size_t size) {
    walk<true>(data, size, 0);
}

void unscramble(char* data, size_t size) {
    walk<false>(data, size, 0);
}

void scrambleFrom(char* data, size_t size, size_t offset) {
    walk<true>(data, size, offset);
}

void unscrambleFrom(char* data, size_t size, size_t offset) {
    walk<false>(data, size, offset);
}

constinit const std::array<unsigned char, kKeyPeriod + kKeyRun> kPeriodBytes = makeKeyPeriod();

}  // namespace keystream
