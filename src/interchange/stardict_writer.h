#pragma once

#include <string>

class TDictionary;

// Writes a dictionary as a StarDict 2.4.2 dictionary, for the many programs that read that
// format. ifoPath names the .ifo file (it ends in ".ifo"); beside it go FILE.idx and
// FILE.dict.dz:
//
//   .ifo      "StarDict's dict ifo file", then key=value lines: version=2.4.2, wordcount,
//             idxfilesize, bookname (the name, else the file's base name), author and
//             description when not empty (the description as HTML: line breaks as <br>, the
//             characters < > & as entities), sametypesequence=m
//   .idx      per term, in StarDict's order (ASCII letters without case, then the bytes): the
//             term in UTF-8 and a zero byte, the article's offset in the data and its size
//             (32 bits each, big-endian)
//   .dict.dz  the articles in UTF-8 with LF line breaks, one after another in the order of the
//   index, in dictzip
//             form (gzip with the chunk table that lets a reader inflate one chunk alone)
//
// Each file is replaced atomically; the .ifo comes last, so a reader never finds it without
// the other two. Raises TError("Cannot create file %s") or TError("Stream write error") with
// the file that failed, and a TError when the data grows past what 32-bit offsets reach.
void writeStarDict(const TDictionary& dictionary, const std::string& ifoPath);
