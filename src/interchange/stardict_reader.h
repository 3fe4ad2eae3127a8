#pragma once

#include <string>
#include <vector>

class TConversion;

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
