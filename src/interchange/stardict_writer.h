#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "platform/error.h"

class TDictionary;

// StarDict's longest headword: a word of its index is at most 255 bytes of UTF-8.
inline constexpr size_t kStarDictMaxWordBytes = 255;

// What an export had to change for StarDict: the positions (in the dictionary) of the terms
// longer than a headword may be, which went in cut to kStarDictMaxWordBytes at a character's
// end. Their articles are whole.
struct TStarDictReport {
    std::vector<int> cutTerms;
};

// A file of an export that could not be made or written: its name and the errno of the call
// that failed. The message is the core's own ("Stream write error", "Cannot create file %s").
class TStarDictFileError : public TError {
public:
    TStarDictFileError(const std::string& message, std::string file, int cause)
        : TError(message), file_(std::move(file)), cause_(cause) {}
    const std::string& file() const { return file_; }
    int cause() const { return cause_; }

private:
    std::string file_;
    int cause_;
};

// Writes a dictionary as a StarDict 2.4.2 dictionary, for the many programs that read that
// format. ifoPath names the .ifo file (it ends in ".ifo"); beside it go FILE.idx and
// FILE.dict.dz:
//
//   .ifo      "StarDict's dict ifo file", then key=value lines: version=2.4.2, wordcount,
//             idxfilesize, bookname (the name, else the file's base name), author and
//             description when not empty (the description as HTML: line breaks as <br>, the
//             characters < > & as entities), sametypesequence=m
//   .idx      per term, in StarDict's order (ASCII letters without case, then the bytes): the
//             term in UTF-8 (at most kStarDictMaxWordBytes) and a zero byte, the article's
//             offset in the data and its size (32 bits each, big-endian)
//   .dict.dz  the articles in UTF-8 with LF line breaks, one after another in the order of the
//             index, in dictzip form (gzip with the chunk table that lets a reader inflate one
//             chunk alone)
//
// The three go in together or not at all: each is written whole to a temporary file first,
// and only then are they renamed over their names, the .ifo last, so that a reader never finds
// an .ifo without the other two. A file that cannot be made or written raises
// TStarDictFileError naming it, and no file at the three names has changed; when a rename
// itself fails, the files of this export that had no earlier version are removed again. Raises
// a TError when the data grows past what 32-bit offsets reach.
TStarDictReport writeStarDict(const TDictionary& dictionary, const std::string& ifoPath);
