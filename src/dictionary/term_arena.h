#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "dictionary/file_format.h"
#include "dictionary/malloc_buffer.h"

// One entry of a dictionary's index: where its term and article bytes lie in an arena.
// Lengths fit 32 bits because the file format stores them as 32-bit signed integers.
//
// plain says whether every byte of the term is plain for the comparison shortcut, and then head
// holds the shortcut's weights of its first 8 bytes, packed first byte highest, so a binary
// search can often decide from the index alone with one integer comparison, without touching
// the term's bytes elsewhere in memory.
struct TTermEntry {
    const char* term = nullptr;
    const char* article = nullptr;
    uint64_t head = 0;
    uint32_t termLength : 31 = 0;
    uint32_t plain : 1 = 0;
    uint32_t articleLength : 31 = 0;
    // The article is a file record's bytes as they lie, still to be cut at its first zero
    // byte: loading leaves that to the rare moment an article is read, not every entry.
    uint32_t articleRaw : 1 = 0;

    // Point the entry at its texts. Their lengths are kept in 31 bits, as the file records them.
    void setTerm(const char* at, size_t length) {
        term = at;
        termLength = file_format::recordLength(length);
    }
    void setArticle(const char* at, size_t length) {
        article = at;
        articleLength = file_format::recordLength(length);
    }

    std::string_view termView() const { return {term, termLength}; }
    std::string_view articleView() const {
        if (!articleRaw || articleLength == 0)
            return {article, articleLength};
        const void* zero = std::memchr(article, 0, articleLength);
        return {article, zero ? static_cast<size_t>(static_cast<const char*>(zero) - article)
                              : size_t{articleLength}};
    }
};

// Owns the bytes that TTermEntry points into: whole buffers taken over (a loaded file) and
// blocks that new texts are copied into. Bytes stay where they are until the arena is cleared,
// so entries can be moved about freely as plain pointers.
class TTermArena {
public:
    TTermArena() = default;
    TTermArena(TTermArena&&) noexcept = default;
    TTermArena& operator=(TTermArena&&) noexcept = default;
    TTermArena(const TTermArena&) = delete;
    TTermArena& operator=(const TTermArena&) = delete;

    // Copies text into the arena and returns where it now lies (null for an empty text).
    // Raises TError("Out of memory while expanding memory stream") when it cannot grow or the
    // text is longer than a file can record.
    const char* store(std::string_view text);

    // Takes over a whole buffer of size bytes.
    void adopt(TMallocBuffer buffer, size_t size);
    // Takes over every buffer of another arena, which is left empty.
    void adopt(TTermArena&& other);

    // Releases every buffer.
    void clear();

    // Bytes held in all buffers.
    size_t bytes() const { return bytes_; }

private:
    static constexpr size_t kBlockSize = size_t{1} << 20;
    // A text longer than this gets a buffer of its own, so blocks waste little at their ends.
    static constexpr size_t kOwnBufferAbove = kBlockSize / 8;

    std::vector<TMallocBuffer> buffers_;
    char* free_ = nullptr;
    size_t freeLeft_ = 0;
    size_t bytes_ = 0;
};
