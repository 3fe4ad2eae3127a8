#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

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

    // Makes the content exactly the file's bytes, position 0, and puts the file's stamp as it
    // was before reading into *stamp when given. Raises TError("Cannot open file %s") when the
    // file cannot be opened, TError("Stream read error") when reading it fails, and the
    // out-of-memory error when it does not fit; *stamp is then unchanged.
    void LoadFromFile(const std::string& path, TFileStamp* stamp = nullptr);
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

}  // namespace keystream
