#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/secret_memory_stream.h"
#include "platform/error.h"

// The data file of a dictd or StarDict database (.dict, .dict.dz, .idx.gz …), read whole into
// memory and handed out by byte ranges of its uncompressed content. What it holds is told by
// its first bytes, not its name:
//
//   plain      any file not starting with the gzip magic 1F 8B
//   gzip       inflated as one stream (members one after another), from its start as far as
//              the content is needed
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
//
// Memory follows the content asked for: a dictzip file inflates only the chunks that ranges
// read fall in, and a reader that knows the highest offset its index refers to gives it as
// needed, so that plain gzip is inflated only that far (a small file of zeros may otherwise
// inflate to gigabytes). Plain gzip has no way to reach an offset but inflating all that lies
// before it, so a reader that also gives how many bytes its articles take has the file refused
// when the farthest article lies well beyond what the articles could fill (kGapFactor,
// kGapMargin): an index naming one article far away would otherwise cost that much memory.
class TDictData {
public:
    // Reads the file; of plain gzip, the first needed bytes of the content (all of it when
    // needed is kWhole). Raises TError("Cannot open file %s"), or a TError naming the file
    // when the gzip data is damaged or truncated before that point or inflates to more than
    // kMaxSize bytes, or, given named (the bytes of the articles to be read), when plain gzip
    // would have to inflate further than kGapFactor × named + kGapMargin to reach needed.
    explicit TDictData(const std::string& path, uint64_t needed = kWhole, uint64_t named = kWhole);

    // The uncompressed size (of plain gzip read only in part, the part inflated).
    uint64_t size() const { return size_; }

    // The bytes [offset, offset + length) of the uncompressed content; the view stays valid
    // until the next call. Raises a TError naming the file when the range ends beyond the
    // content, and TDamagedData naming the file and the chunk when a chunk it falls in is
    // damaged (the other chunks stay readable).
    std::string_view read(uint64_t offset, uint64_t length);

    // The whole uncompressed content (inflating every chunk of a dictzip file).
    std::string_view all() { return read(0, size_); }

    const std::string& path() const { return path_; }

    // The largest uncompressed content accepted: what one dictionary file can hold.
    static constexpr uint64_t kMaxSize = uint64_t{1} << 31;
    // needed for reading the whole content.
    static constexpr uint64_t kWhole = UINT64_MAX;
    // The longest article a reader takes from a data file; an index entry asking for more is
    // refused, so that one entry cannot make the content expand without bound.
    static constexpr uint64_t kMaxArticle = uint64_t{16} << 20;
    // How far plain gzip is inflated for articles of a given total length: their data with room
    // for what lies between them (headers, articles the index leaves out).
    static constexpr uint64_t kGapFactor = 2;
    static constexpr uint64_t kGapMargin = uint64_t{16} << 20;

private:
    void inflateWhole(uint64_t needed);
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

// The chunk table of a dictzip file (see TDictData).
struct TChunkTable {
    uint32_t chunkLength = 0;
    std::vector<uint64_t> starts;  // file offset of each chunk, plus one past the last
    uint64_t size = 0;             // the uncompressed size
};

// Reads the chunk table from head, the file's first bytes (the whole file, or as much as its
// header may take), given the file's size and the trailer's ISIZE. False when the file is no
// dictzip or its table does not agree with the file.
bool readDictzipTable(std::string_view head, uint64_t fileSize, uint32_t isize, TChunkTable& table);

// A data file read at random where it lies, for dictionaries read in place: memory does not
// grow with the file. Plain content is read by byte ranges from the open file, dictzip chunks
// are inflated one at a time as a range needs them, the last kCachedChunks of them kept (at
// most kCachedChunks × 64 KiB, 1 MiB a file, whatever its size): articles read in an order
// near the data's but not the same (search in articles goes in term order, and a database's
// own sorting differs from it in punctuation and letter case) then find their chunk already
// inflated instead of inflating it again for each article. Plain gzip cannot be
// reached at random: it is inflated once into memory when its content is at most kMaxInflated
// bytes, and refused with a message saying so when larger. Reads may come from any thread.
class TDataReader {
public:
    // Raises TError("Cannot open file %s"), or a TError naming the file for plain gzip that is
    // damaged or too large to hold.
    explicit TDataReader(const std::string& path);
    ~TDataReader();
    TDataReader(const TDataReader&) = delete;
    TDataReader& operator=(const TDataReader&) = delete;

    uint64_t size() const { return size_; }
    const std::string& path() const { return path_; }

    // The bytes [offset, offset + length) of the uncompressed content. Raises a TError naming
    // the file when the range ends beyond the content or the file cannot be read there, and
    // TDamagedData when a chunk it falls in is damaged.
    std::string read(uint64_t offset, uint64_t length) const;

    static constexpr uint64_t kMaxInflated = uint64_t{32} << 20;
    static constexpr size_t kCachedChunks = 16;

    // How many chunks were inflated so far (each read that found its chunk kept costs none).
    uint64_t inflatedChunks() const;

    // Lets go of the chunks kept, their memory with them: for a reader that has read many
    // articles once (a walk in the data's order) and will now read only those asked for.
    void forgetChunks();

private:
    // An inflated chunk kept, with when it was last used.
    struct TCachedChunk {
        size_t index = SIZE_MAX;
        uint64_t used = 0;
        std::string text;
    };

    void readRaw(uint64_t offset, size_t length, std::string& out) const;
    // The chunk's text, inflated now unless kept, in place of the least recently used one.
    const std::string& chunk(size_t index) const;

    std::string path_;
    int fd_ = -1;
    uint64_t fileSize_ = 0;
    uint64_t size_ = 0;
    bool chunked_ = false;
    TChunkTable table_;
    std::string inflated_;  // plain gzip, inflated whole
    mutable std::mutex mutex_;
    mutable std::vector<TCachedChunk> cached_;  // at most kCachedChunks
    mutable uint64_t uses_ = 0;
    mutable uint64_t inflatedChunks_ = 0;
    mutable std::string compressed_;
};

// Raised for a range of a dictzip file that falls in a damaged chunk: only what lies in that
// chunk is lost.
class TDamagedData : public TError {
public:
    using TError::TError;
};

// What an index asks of its data file, gathered entry by entry before the data is read: how far
// the content must be inflated (TDictData's needed) and how much room its articles take.
struct TArticleExtent {
    uint64_t needed = 0;  // the end of the farthest article (UINT64_MAX when that overflows)
    uint64_t total = 0;   // the articles' lengths added up

    // Counts the article of word at [offset, offset + length), listed in the index as entry
    // entryNumber of kind entryKind ("строка", "запись"). Raises a TError naming dataPath, the
    // word and the entry when length is above TDictData::kMaxArticle.
    void add(const std::string& dataPath, std::string_view word, const char* entryKind,
             size_t entryNumber, uint64_t offset, uint64_t length);
};

// The article of word at [offset, offset + length) of data. When that range lies in a damaged
// chunk and skipped is given, the article is named there and nothing is returned, so that the
// rest of the database can still be read; without skipped the TDamagedData goes to the caller.
std::optional<std::string_view> readArticle(TDictData& data, uint64_t offset, uint64_t length,
                                            std::string_view word,
                                            std::vector<std::string>* skipped);

// A dictzip file of data, for writing test and benchmark databases. chunkLength is at most
// 65535; chunks compress with zlib's default level.
std::string makeDictzip(std::string_view data, uint32_t chunkLength = 58315);
