#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TConversion;

// Reads a dictd database into the conversion, entries in the order of its index.
//
// The index is text, one entry a line: headword TAB offset TAB length [TAB original headword],
// the numbers in dictd's base 64 (digits A–Z a–z 0–9 + /, most significant first, no padding)
// counting bytes of the data file's uncompressed content (plain or dictzip, see TDictData).
// Each article there starts with its headword's line, in the database's own letter case; the
// index may hold it lowered and stripped of punctuation, so that line gives the term when it
// is the same word. Entries named 00-database-… (00database… in a stripped index) are not
// terms: -short, -info and -url give the dictionary's name, description and author line.
//
// The data is inflated only as far as the index refers to. An article that lies in a damaged
// chunk of a dictzip file is left out, with a line naming the file, the chunk and the headword
// added to skipped; without skipped it raises TDamagedData instead.
//
// Raises TError("Cannot open file %s"), or a TError naming the file for a malformed index line
// or number, an article longer than TDictData::kMaxArticle or beyond the data, or damaged
// compressed data of plain gzip.
void readDictd(const std::string& indexPath, const std::string& dataPath, TConversion& conversion,
               std::vector<std::string>* skipped = nullptr);

// Reads a number in dictd's base 64 into value; false when digits is empty, longer than 10
// digits (no sane offset needs more) or holds a character that is no digit.
bool decodeDictdNumber(std::string_view digits, uint64_t& value);

// The parts of reading a dictd database that the converter shares with the reader in place.

// One line of the index: the headword as the index lists it, the headword its entry stands for
// (the original one when the line gives it) and the article's place in the data.
struct TDictdIndexEntry {
    std::string_view indexWord;
    std::string_view word;
    uint64_t offset = 0;
    uint64_t length = 0;
};

// Reads one line of the index (its line break left out) into entry; false for an empty line.
// Raises a TError naming the index and the line when it is malformed.
bool parseDictdIndexLine(std::string_view line, const std::string& indexPath, size_t lineNumber,
                         TDictdIndexEntry& entry);

// Whether an entry is one of the database's own (00-database-…), no term.
bool isDictdHeaderWord(std::string_view word);

// What a header entry gives: the name, the description, the author line, or nothing (another
// 00-database entry); none for an entry that is a term.
enum class TDictdHeaderField { none, name, info, author, other };
TDictdHeaderField dictdHeaderEntry(std::string_view word, std::string_view article,
                                   std::string& text);

// The term of an entry: the article's headword line when it is the index's word in the
// database's own letter case and punctuation, else the index's word.
std::string_view dictdTerm(std::string_view word, std::string_view article);
