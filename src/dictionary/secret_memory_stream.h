#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "dictionary/malloc_buffer.h"
#include "platform/file_stamp.h"

// The built-in scrambling key of dictionary files: the register's initial state and its taps.
// Taps with bit 15 set make the step invertible, and these give the longest period, 65535
// bytes. Changing either makes every existing file unreadable.
inline constexpr uint32_t kKeyState = 0x5A3C;
inline constexpr uint32_t kKeyTaps = 0xD295;
inline constexpr uint32_t kKeyWidth = 16;

// A memory stream holding a whole dictionary file: a contiguous buffer, its size and a
// position, plus the two whole-content keystream walks Scramble and Unscramble.
class TSecretMemoryStream {
public:
    TSecretMemoryStream() = default;
    ~TSecretMemoryStream() = default;
    TSecretMemoryStream(const TSecretMemoryStream&) = delete;
    TSecretMemoryStream& operator=(const TSecretMemoryStream&) = delete;

    // Writes exactly n bytes at the position, growing the content. Raises
    // TError("Out of memory while expanding memory stream") when the buffer cannot grow.
    void WriteBuffer(const void* data, size_t n);
    // Reads exactly n bytes from the position. Raises TError("Stream read error") when fewer
    // than n remain; then nothing is read and the position stays.
    void ReadBuffer(void* destination, size_t n);

    // Makes the content exactly the file's bytes, position 0. Raises
    // TError("Cannot open file %s") when the file cannot be opened, TError("Stream read error")
    // when reading it fails, and the out-of-memory error when it does not fit.
    void LoadFromFile(const std::string& path);
    // Creates or empties the file and writes the whole content to it. Raises
    // TError("Cannot create file %s") or TError("Stream write error").
    void SaveToFile(const std::string& path) const;

    // Adds the keystream to every byte; size and position stay.
    void Scramble();
    // Subtracts the keystream from every byte; size and position stay.
    void Unscramble();

    size_t size() const { return size_; }
    size_t position() const { return position_; }
    // Requires position <= size.
    void setPosition(size_t position);
    size_t remaining() const { return size_ - position_; }
    const char* data() const { return buffer_.get(); }
    char* data() { return buffer_.get(); }

    // Makes room for at least n bytes of content, so that a writer who knows the final size
    // grows the buffer once. Raises the out-of-memory error.
    void reserve(size_t n);

    // Empties the content (size and position 0), keeping the buffer for reuse.
    void clear();

    // Hands the buffer over to the caller; the stream is left empty. The buffer holds size()
    // bytes (it may be null when the size is 0).
    TMallocBuffer release();

private:
    TMallocBuffer buffer_;
    size_t size_ = 0;
    size_t capacity_ = 0;
    size_t position_ = 0;
};

// A dictionary file read into one buffer of the file's size a piece at a time, each piece
// unscrambled as it arrives, while its reader parses what has arrived: the reader asks for
// bytes and waits only when it has caught up. A large file is read by a thread of its own, a
// small one by the reader itself as it asks. Either way, one pass over the data in memory
// instead of three (reading, unscrambling, parsing one after another).
class TUnscrambledFile {
public:
    // Opens the file (a regular file only), makes room for its size as it is now and starts
    // reading. Raises TError("Cannot open file %s") or the out-of-memory error, or
    // TError("Stream read error") before reading when a long record among the header and the
    // first entry is followed by lengths that cannot fit the file (see file_format.h).
    explicit TUnscrambledFile(const std::string& path);
    // Stops reading (after the piece under way) and closes the file.
    ~TUnscrambledFile();
    TUnscrambledFile(const TUnscrambledFile&) = delete;
    TUnscrambledFile& operator=(const TUnscrambledFile&) = delete;

    // The file's size when it was opened, which is the buffer's size.
    size_t size() const { return size_; }
    // The file's stamp when it was opened, before anything was read: a writer that changes the
    // file while it is read leaves a stamp that no longer matches, never a matching stamp over
    // mixed content.
    const TFileStamp& stamp() const { return stamp_; }
    const char* data() const { return data_; }

    // Makes bytes [0, end) present and unscrambled. Returns false when they cannot be: end lies
    // beyond size(), the file has shrunk since it was measured, or reading it failed.
    bool ensure(size_t end) { return end <= ready_ || fill(end); }

    // Reads the file's bytes [offset, offset + n) as they lie on disk (scrambled), wherever
    // reading has got to; false when the file gives fewer. source is the TUnscrambledFile.
    static bool readScrambledAt(const void* source, size_t offset, char* out, size_t n);

    // Hands the buffer (size() bytes) over to the caller, who keeps it for as long as this file
    // is read: the bytes go on arriving in it. Bytes beyond the last one ensured stay unread.
    TMallocBuffer takeBuffer() { return std::move(buffer_); }

private:
    bool fill(size_t end);
    // Reads and unscrambles bytes [done, target); returns how far it got.
    size_t readPiece(size_t done, size_t target);
    void readAhead();

    int fd_ = -1;
    TFileStamp stamp_;
    TMallocBuffer buffer_;
    char* data_ = nullptr;
    size_t size_ = 0;
    // Bytes the reader has seen to be ready.
    size_t ready_ = 0;
    // Bytes ready, with the top bit set once no more will come; written by whoever reads.
    std::atomic<uint64_t> progress_{0};
    std::atomic<bool> stop_{false};
    std::thread reader_;
};

namespace keystream {

// The keystream walks over a plain byte range, with the built-in key. Both are fast
// equivalents of stepping the register once per byte.
void scramble(char* data, size_t size);
void unscramble(char* data, size_t size);
// Scrambles size bytes that lie at offset within the whole content (data points at them),
// so content can be scrambled slice by slice in order with the same result.
void scrambleFrom(char* data, size_t size, size_t offset);
// Unscrambles size bytes that lie at offset within the whole content (data points at them),
// so content can be unscrambled slice by slice in order with the same result.
void unscrambleFrom(char* data, size_t size, size_t offset);

// The keystream's period: the register passes through every non-zero 16-bit state.
inline constexpr size_t kKeyPeriod = 65535;
// The longest run keyAt gives.
inline constexpr size_t kKeyRun = 64;

// One whole period of the keystream followed by its first kKeyRun bytes again (see keyAt).
extern const std::array<unsigned char, kKeyPeriod + kKeyRun> kPeriodBytes;

// The key bytes for content offsets [offset, offset + n), n <= kKeyRun, for callers that
// unscramble many short runs (a byte is unscrambled by subtracting its key byte). Inline: a
// walk over a file asks for them a few times per entry.
inline const unsigned char* keyAt(size_t offset) {
    return kPeriodBytes.data() + offset % kKeyPeriod;
}

// Subtracts the keystream from a short run of content bytes at offset.
inline void unscrambleShort(char* data, size_t size, size_t offset) {
    if (size > kKeyRun) {
        unscrambleFrom(data, size, offset);
        return;
    }
    const unsigned char* key = keyAt(offset);
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>(static_cast<unsigned char>(data[i]) - key[i]);
}

}  // namespace keystream
