#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/source.h"

class TConversion;
struct TArticleExtent;

// Reads a StarDict dictionary, named by its .ifo file, into the conversion: the entries of
// its index in index order, then one entry per synonym whose article refers to its main
// headword ("см. headword"). Beside FILE.ifo lie FILE.idx or FILE.idx.gz, FILE.dict or
// FILE.dict.dz, and optionally FILE.syn.
//
//   .ifo   "StarDict's dict ifo file", then key=value lines: version, bookname, wordcount,
//          idxfilesize, idxoffsetbits (32 or 64), sametypesequence, author, website,
//          description …; bookname, author with website, and description give the header
//   .idx   per entry: the headword (UTF-8) and a zero byte, the article's offset in the data
//          (32 or 64 bits, big-endian) and its size (32 bits, big-endian)
//   .syn   per synonym: the synonym and a zero byte, the entry's number in .idx (32 bits, BE)
//   .dict  per entry, the fields of sametypesequence in order; without it, each field starts
//          with its type letter. A lower-case type is text ending in a zero byte, an upper-case
//          one binary data after its size (32 bits, BE); the last field of sametypesequence
//          has neither and runs to the article's end
//
// Text fields become lines of the article: m, l, y, w, n as they are; t (a transcription)
// between "[" and "]"; g, h, k and x markup reduced to text (see appendMarkupText). Sounds,
// pictures and other binary fields are skipped; an entry with no text is left out.
//
// The data is inflated only as far as the index refers to. An article that lies in a damaged
// chunk of a dictzip file is left out, with a line naming the file, the chunk and the headword
// added to skipped; without skipped it raises TDamagedData instead.
//
// Raises TError("Cannot open file %s"), or a TError naming the file when the .ifo is not one,
// the index is truncated or disagrees with the .ifo, a synonym names no entry, an article is
// longer than TDictData::kMaxArticle, lies beyond the data or its fields overrun it, or other
// compressed data is damaged.
void readStarDict(const std::string& ifoPath, TConversion& conversion,
                  std::vector<std::string>* skipped = nullptr);

// The parts of reading a StarDict dictionary that the converter shares with the reader in place.

// The .ifo read, and the files beside it.
struct TStarDictLayout {
    std::map<std::string, std::string> ifo;
    std::string idxPath;            // FILE.idx or FILE.idx.gz
    std::string dataPath;           // FILE.dict or FILE.dict.dz
    std::string synPath;            // FILE.syn (or .syn.dz), empty when there is none
    size_t offsetBytes = 4;         // of the offsets in .idx
    std::string sequence;           // sametypesequence
    TSourceReader::THeader header;  // each text empty when the .ifo gives none

    std::string value(const char* key) const;
};

// Raises TError("Cannot open file %s"), or a TError naming the file when it is no .ifo.
TStarDictLayout readStarDictLayout(const std::string& ifoPath);

struct TStarDictEntry {
    std::string_view word;
    uint64_t offset = 0;
    uint64_t size = 0;
};

// The entries of the .idx content (views into idx), checked against the .ifo's idxfilesize and
// wordcount and TDictData::kMaxArticle; extent, when given, receives what they ask of the data.
std::vector<TStarDictEntry> readStarDictIdx(const TStarDictLayout& layout, std::string_view idx,
                                            TArticleExtent* extent = nullptr);

// Calls each with every synonym of the .syn content and the number of the entry it names.
// Raises a TError naming the file when it is truncated or names no entry.
void forEachStarDictSynonym(
    const TStarDictLayout& layout, std::string_view syn, size_t entryCount,
    const std::function<void(std::string_view synonym, size_t target)>& each);

// The article a synonym stands with: a reference to its main headword.
std::string starDictSeeAlso(std::string_view main);

// Builds an entry's article from its fields (see readStarDict). Returns a view of the data
// itself when the article is one plain text field, else of the builder's own text (valid until
// the next build).
class TStarDictArticleBuilder {
public:
    TStarDictArticleBuilder(const std::string& dataPath, std::string_view sequence);
    std::string_view build(std::string_view word, std::string_view data);

private:
    // Takes one field of the type from the front of data and returns what follows it.
    std::string_view take(std::string_view word, char type, std::string_view data);
    void field(char type, std::string_view value);
    [[noreturn]] void overrun(std::string_view word) const;

    std::string dataPath_;
    std::string sequence_;
    std::string text_;
    std::string_view single_;
    int fields_ = 0;
};
