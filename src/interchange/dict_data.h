#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/secret_memory_stream.h"

// The data file of a dictd or StarDict database (.dict, .dict.dz, .idx.gz …), read whole into
// memory and handed out by byte ranges of its uncompressed content. What it holds is told by
// its first bytes, not its name:
//
//   plain      any file not starting with the gzip magic 1F 8B
//   gzip       inflated as one whole stream (members one after another)
//   dictzip    gzip whose header carries the random-access field, chunks inflated on demand:
//
//     ID1 ID2 CM FLG MTIME(4) XFL OS              10 bytes, 1F 8B 08, FLG bit 2 = FEXTRA
//     XLEN (2, LE), then XLEN bytes of subfields, each SI1 SI2 LEN(2, LE) and LEN bytes;
//       the subfield 'R' 'A': VER (2, LE) = 1, CHLEN (2, LE), CHCNT (2, LE),
//       CHCNT × compressed chunk size (2, LE)
//     [FNAME, zero-terminated, when FLG bit 3] [FCOMMENT, when FLG bit 4] [CRC16, when bit 1]
//     CHCNT raw deflate chunks, each inflating on its own to CHLEN bytes (the last to less)
//     CRC32 (4, LE), ISIZE (4, LE) = uncompressed size modulo 2^32
//
// A dictzip file whose chunk table does not agree with its size, or promises more content than
// its chunks could inflate to, is read as plain gzip.
class TDictData {
public:
    // Reads the file. Raises TError("Cannot open file %s"), or a TError naming the file when
    // the gzip data is damaged or truncated or inflates to more than kMaxSize bytes.
    explicit TDictData(const std::string& path);

    // The uncompressed size.
    uint64_t size() const { return size_; }

    // The bytes [offset, offset + length) of the uncompressed content; the view stays valid
    // until the next call. Raises a TError naming the file when the range ends beyond the
    // content or a chunk is damaged.
    std::string_view read(uint64_t offset, uint64_t length);

    // The whole uncompressed content (inflating every chunk of a dictzip file).
    std::string_view all() { return read(0, size_); }

    const std::string& path() const { return path_; }

    // The largest uncompressed content accepted: what one dictionary file can hold.
    static constexpr uint64_t kMaxSize = uint64_t{1} << 31;

private:
    void inflateWhole();
    bool readChunkTable();
    const std::string& chunk(size_t index);
    [[noreturn]] void fail(const std::string& what) const;

    std::string path_;
    TSecretMemoryStream file_;
    uint64_t size_ = 0;

    // Plain or whole-stream content.
    std::string_view content_;
    std::string inflated_;

    // Dictzip: chunk table and the chunks inflated so far (empty until needed).
    bool chunked_ = false;
    uint32_t chunkLength_ = 0;
    std::vector<uint64_t> chunkStart_;  // file offset of each chunk, plus one past the last
    std::vector<std::string> chunks_;
    std::string spanning_;  // a range that crosses chunk borders, copied together
};

// A dictzip file of data, for writing test and benchmark databases. chunkLength is at most
// 65535; chunks compress with zlib's default level.
std::string makeDictzip(std::string_view data, uint32_t chunkLength = 58315);
