#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "platform/file_stamp.h"

// A side index of a dictionary file's terms, kept in the user's cache, so that a dictionary
// can be shown, searched and looked up in without reading the file whole: the window reads
// terms from the index and an article from the file only when it is shown.
//
// The index holds, in the dictionary's order, every distinct term (the first of equal terms in
// file order, as loading keeps it), where its record starts in the file, the header texts, and
// the terms' order by upper-cased bytes that the incremental search walks. It holds for exactly
// one version of one file (device, inode, size, modification and status change time, and its
// bytes while those times are too recent to tell versions apart) under one collation order,
// and carries a checksum; any other index is ignored and replaced. It is never needed: without
// a cache the index is made in memory, which costs only the time of walking the file.
//
// A dictionary of another format read in place (a source, see source.h) has an index of the
// same kind: its terms in UTF-8 and the UTF-8 order, for each term the locators of all the
// source's entries it joins (which the source's reader takes back to read their articles),
// and the versions of every file of the source, a change to any of which makes it stale.
//
// Indexes are kept only in a folder of the user's own (see platform/private_folder.h), and an
// index is read only when it is the user's own file that nobody else may write.

// Raised when a dictionary read through its index finds that its file is no longer the
// version indexed (written in place, replaced or cut short by another program): nothing from
// the new file is shown against the old terms. The message names the file.
class TDictionaryChanged : public TError {
public:
    using TError::TError;
};

// How far the making of an index has come, for a progress display: bytes of the file walked
// out of its size. Written by the making thread, read by any; cancel, set by any, makes the
// walk give up soon with TIndexCancelled.
struct TIndexProgress {
    std::atomic<uint64_t> done{0};
    std::atomic<uint64_t> total{0};
    std::atomic<bool> cancel{false};
};

// Raised by the making of an index that was cancelled.
class TIndexCancelled : public TError {
public:
    using TError::TError;
};

// One dictionary file's index, open: the index file mapped read-only (only the pages read
// become resident), or the index made in memory when it could not be kept. Every read is
// checked against the index's bounds, so no index bytes can lead a read astray.
namespace file_format {
class TRecordStream;
}
class TSourceReader;

// One file of a source as it was when seen: its path, stamp and status change time.
struct TFileVersion {
    std::string path;
    TFileStamp stamp;
    struct timespec changeTime {};
};

class TTermFile {
public:
    ~TTermFile();
    TTermFile(const TTermFile&) = delete;
    TTermFile& operator=(const TTermFile&) = delete;

    // How an index is had: only from the cache; from the cache, else made; made afresh
    // whatever the cache holds (after the file was found to disagree with it).
    enum class TOpen { Cached, CachedOrMade, Made };
    // How much of an index from the cache is checked: all of it as it is opened (what the
    // window needs: it reads the arrays in place), or each block as it is first read (a single
    // look-up, which reads a few dozen).
    enum class TCheck { Whole, OnUse };

    // Opens the index of the dictionary file path kept in folder when it is valid for the file
    // as it is now; otherwise, unless how is Cached, walks the file, makes the index (written
    // into folder when it can be: created mode 0700, the index mode 0600, never through a
    // link) and opens that. Returns null when how is Cached and there is no valid index, or
    // when the file's terms are too many bytes for an index (over 4 GiB). Raises
    // TError("Cannot open file %s") for a file that cannot be opened and TError("Stream read
    // error") for one that does not load, as TDictionary::LoadFromFile does. An empty folder
    // means no cache; so does one that is a link, another user's or open to others, which
    // refusedFolder (when given) then names. progress, when given, follows the walk. A path
    // that the source opener (see source.h) takes for a dictionary of another format is
    // opened as openSource opens it, and check is then always Whole.
    static std::shared_ptr<const TTermFile> open(const std::string& path, const std::string& folder,
                                                 TOpen how, TIndexProgress* progress = nullptr,
                                                 std::string* refusedFolder = nullptr,
                                                 TCheck check = TCheck::Whole);

    // Opens the index of a dictionary of another format read in place (see source.h), opened
    // by path and read through reader, as open does for a dictionary file: kept in folder,
    // made when missing or when it no longer holds for the versions of every file of
    // reader->files() (and for the order), made in memory without a cache. Its terms are the
    // headwords as written (UTF-8), blanks and line breaks around them dropped and control
    // characters inside made blanks, an empty one left out, in the UTF-8 order
    // (compare::termsUtf8); entries whose headwords are equal terms make one term, the first
    // headword in the reader's walk, whose article joins theirs (see article). Raises what the
    // reader raises (TError naming the file, TIndexCancelled), and TError("Cannot open file
    // %s") for a source whose terms are too many bytes for an index. how Cached returns null
    // when there is no valid index.
    static std::shared_ptr<const TTermFile> openSource(std::shared_ptr<TSourceReader> reader,
                                                       const std::string& path,
                                                       const std::string& folder, TOpen how,
                                                       TIndexProgress* progress = nullptr,
                                                       std::string* refusedFolder = nullptr);

    // Whether the index is of a dictionary of another format (openSource).
    bool isSource() const { return reader_ != nullptr; }
    // The files the index holds for: the dictionary file, or every file of the source.
    std::vector<std::string> files() const;

    // Whether the index was read from the cache rather than made by this opening.
    bool fromCache() const { return fromCache_; }
    // The file as the index was made for it (the path given; for a source, the stamp of its
    // first file).
    const std::string& path() const { return path_; }
    const TFileStamp& stamp() const { return stamp_; }

    const std::string& name() const { return name_; }
    const std::string& author() const { return author_; }
    const std::string& info() const { return info_; }

    // Number of distinct terms.
    size_t count() const { return count_; }
    // The term at position (0..count-1); the view holds while this object lives. With
    // TCheck::OnUse, raises TDictionaryChanged when the index's bytes there fail their check.
    std::string_view term(size_t position) const;
    // The first position whose term is not before term in the dictionary's order; found says
    // whether it equals term.
    size_t lowerBound(std::string_view term, bool& found) const;

    // The positions in the order of their terms' upper-cased bytes, and the minimum tree over
    // them (leaves at [count, 2 count)), as TPrefixSearch keeps them; each value is below
    // count, checked when the index is opened.
    const uint32_t* upperOrder() const { return upperOrder_; }
    const uint32_t* minimumTree() const { return tree_; }

    // Reads the article at position from the file. Raises TDictionaryChanged when the file is
    // no longer the version indexed or the record there is not the term's, and
    // TError("Cannot open file %s") when it cannot be opened. For a source: the articles of the
    // term's entries in walk order, each text once, empty ones left out, with an empty line
    // between them; TDictionaryChanged (naming the file) when any of its files is no longer
    // the version indexed, and what the reader raises.
    std::string article(size_t position) const;

    // For a source: how many entries the term at position joins (0 for a dictionary file, or
    // when the index's bytes there are no list of them), and where the data of one lies, as
    // the reader tells it (see TSourceReader::dataPosition; 0 when entry is not one). Neither
    // reads a file.
    size_t entryCount(size_t position) const;
    uint64_t dataPosition(size_t position, size_t entry) const;
    // For a source: the article of one of the term's entries (entry below entryCount), as
    // article reads it: the whole article holds each non-empty one. Raises as article does.
    std::string entryArticle(size_t position, size_t entry) const;

    // Whether the file at path (for a source, any of its files) is no longer the version
    // indexed (gone, replaced or written).
    bool fileChanged() const;

private:
    TTermFile();
    struct TBytes;
    // How bytes to be adopted are checked: as TCheck says, or not at all (made just now).
    enum class TTrust { Whole, OnUse, Made };
    // Takes the bytes as the index when they are a whole, valid index for the file's stamp
    // (with checkContent, a provisional one only while the file still has its bytes).
    bool adopt(std::shared_ptr<TBytes> bytes, bool checkContent, TTrust trust);
    // Maps the index file name of the cache folder (an open descriptor) and adopts it; false
    // when it is missing, empty, larger than largest bytes or not adopted.
    bool adoptCached(int folder, const std::string& name, uint64_t largest, bool checkContent,
                     TTrust trust);
    // Takes index bytes just made for file: written into the cache folder and mapped from there
    // when keep (its pages are then the page cache's, not the process's), else, or when either
    // fails, held in memory. fresh gives another index of the same file with no bytes yet.
    static std::shared_ptr<TTermFile> takeMade(
        std::shared_ptr<TTermFile> file, std::shared_ptr<TBytes> bytes, bool keep, int folder,
        const std::string& name, uint64_t largest,
        const std::function<std::shared_ptr<TTermFile>()>& fresh);
    // With TCheck::OnUse: checks the blocks that hold the n bytes at from, once each.
    void checkUse(const char* from, size_t n) const;
    uint64_t recordOffset(size_t position) const;
    // Whether a file of this stamp and status change time is the version indexed.
    bool isIndexedVersion(const TFileStamp& stamp, const struct timespec& changeTime) const;
    // A source's locators of the term at position in walk order; empty when the index's bytes
    // there are no list of them.
    std::vector<std::string_view> locators(size_t position) const;
    // A source's article (see article).
    std::string sourceArticle(size_t position) const;
    // The first of a source's files that is no longer the version indexed; null when none.
    const std::string* changedSourceFile() const;

    // A source: its reader, and each of its files as indexed, also as the bytes the index
    // holds for them.
    std::shared_ptr<TSourceReader> reader_;
    std::vector<TFileVersion> versions_;
    std::string versionBytes_;
    // A source's locators: count entries of the record offsets are where each term's list
    // starts among these bytes, each locator its length (u32) and bytes.
    const char* locators_ = nullptr;
    size_t locatorBytes_ = 0;

    std::shared_ptr<TBytes> bytes_;
    std::string path_;
    TFileStamp stamp_;
    struct timespec changeTime_ {};
    bool fromCache_ = false;
    std::string name_;
    std::string author_;
    std::string info_;
    size_t count_ = 0;
    const char* records_ = nullptr;    // count × u64
    const char* termStart_ = nullptr;  // (count + 1) × u32
    const uint32_t* upperOrder_ = nullptr;
    const uint32_t* tree_ = nullptr;
    const char* terms_ = nullptr;
    size_t termBytes_ = 0;
    // With TCheck::OnUse: the block checks, the arrays they cover, and which blocks passed.
    const char* blocks_ = nullptr;
    const char* arrays_ = nullptr;
    const char* arraysEnd_ = nullptr;
    mutable std::vector<uint8_t> checked_;
    // Reads the record at offset through the window (see article); false on short or bad data.
    bool readRecord(size_t offset, std::string& value, size_t& next) const;

    // The file, open once the first article is read, and the bytes last read from it
    // (scrambled), from windowAt_ on.
    mutable std::mutex reading_;
    mutable std::unique_ptr<file_format::TRecordStream> file_;
    mutable std::string window_;
    mutable size_t windowAt_ = 0;
};

// The answer of a look-up, and whether the index gave it.
struct TIndexedLookup {
    std::optional<std::string> article;
    bool fromIndex = false;
    // When the cache folder was not used because it is not the user's own: why, for the user.
    std::string refusedFolder;
};

// The folder where indexes are kept: $XDG_CACHE_HOME/termovel, else $HOME/.cache/termovel;
// "" when neither variable is set.
std::string termIndexFolder();

// Gives exactly what lookUpInFile(path, term) gives, and raises as it does for a file that
// does not load. With a valid index for the file as it is now in folder, reads only the term's
// records, checked as they are read; a record that disagrees with the index sends the look-up
// the long way, which walks the whole file and writes a fresh index (see TTermFile::open).
TIndexedLookup lookUpIndexed(const std::string& path, std::string_view term,
                             const std::string& folder);
