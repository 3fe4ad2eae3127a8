#include "dictionary/secret_memory_stream.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "dictionary/key_generator.h"
#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/regular_file.h"

namespace {

TKeyGenerator keyedGenerator() {
    TKeyGenerator generator;
    generator.State = kKeyState;
    generator.SetWidth(kKeyWidth);
    generator.Taps = kKeyTaps;
    return generator;
}

// One whole period of the keystream. The register's next state depends only on its state, and
// with bit 15 among the taps every state has exactly one predecessor, so the walk returns to
// its initial state and the key bytes repeat from there on with no lead-in.
struct TKeyPeriod {
    std::vector<unsigned char> bytes;

    TKeyPeriod() {
        static_assert((kKeyTaps & (1u << (kKeyWidth - 1))) != 0, "the key step must be invertible");
        static_assert(kKeyState != 0, "a zero register never moves");
        TKeyGenerator generator = keyedGenerator();
        do {
            bytes.push_back(static_cast<unsigned char>(generator.Next() & 0xFF));
        } while (generator.State != kKeyState);
    }
};

const TKeyPeriod& keyPeriod() {
    static const TKeyPeriod period;
    return period;
}

// Adds (or subtracts) the periodic key to the bytes; the inner loop is a plain byte-wise add
// over two arrays, which the compiler turns into vector instructions.
template <bool kAdd>
void walk(char* data, size_t size, size_t offset) {
    const auto& key = keyPeriod().bytes;
    const size_t period = key.size();
    auto* bytes = reinterpret_cast<unsigned char*>(data);
    size_t at = offset % period;
    for (size_t done = 0; done < size;) {
        const size_t n = std::min(period - at, size - done);
        unsigned char* __restrict out = bytes + done;
        const unsigned char* __restrict k = key.data() + at;
        for (size_t i = 0; i < n; ++i) {
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

// Spare room at the end of a loaded file's buffer that is worth returning.
constexpr size_t kGiveBackFrom = size_t{64} << 10;

// A buffer for a file of size bytes about to be read whole. A large one is laid on huge pages
// (2 MiB) where the system offers them: filling a fresh buffer page by page costs a page fault
// per 4 KiB, which for a large dictionary took longer than copying its bytes. The buffer is
// still malloc's own (aligned_alloc), freed with free like every other.
TMallocBuffer readBuffer(size_t size, size_t& capacity) {
    constexpr size_t kHugePage = size_t{2} << 20;
    constexpr size_t kHugeFrom = size_t{4} << 20;
    if (size >= kHugeFrom && size <= SIZE_MAX - kHugePage) {
        const size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
        if (void* p = std::aligned_alloc(kHugePage, rounded)) {
            adviseHugePages(p, rounded);
            capacity = rounded;
            return TMallocBuffer(static_cast<char*>(p));
        }
    }
    TMallocBuffer buffer;
    resizeBuffer(buffer, size);
    capacity = size;
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

void TSecretMemoryStream::LoadFromFile(const std::string& path, TFileStamp* stamp) {
    // Only a regular file: a device or FIFO would be read without end or block.
    const int fd = regular_file::openForReading(path);
    if (fd < 0)
        throw TError(formatMessage(error_text::kCannotOpenFile, path));
    struct TCloser {
        int fd;
        ~TCloser() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        throw TError(formatMessage(error_text::kCannotOpenFile, path));
    // Taken before reading: a writer that changes the file while it is read then leaves a
    // stamp that no longer matches, never a matching stamp over mixed content.
    const TFileStamp before = file_stamp::fromStat(info);

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
    if (expected > 0)
        buffer = readBuffer(expected, capacity);
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
    // The room a huge-page buffer had beyond the file goes back (shrinking a block in place).
    if (capacity - size >= kGiveBackFrom && size > 0) {
        resizeBuffer(buffer, size);
        capacity = size;
    }
    buffer_ = std::move(buffer);
    size_ = size;
    capacity_ = capacity;
    position_ = 0;
    if (stamp)
        *stamp = before;
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

}  // namespace keystream
