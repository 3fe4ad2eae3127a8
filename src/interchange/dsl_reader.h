#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TConversion;

// DSL, the text format of card dictionaries: a header of "#" lines, then entries.
//
//   #NAME "…"  #INDEX_LANGUAGE "…"  #CONTENTS_LANGUAGE "…"  #INCLUDE "file.dsl"
//   headword            one or more lines at column 0, each a headword of the same body
//   headword
//   	body line        lines starting with a blank or a tab
//   	@ sub-headword   a sub-entry: its own body runs to a line "@" alone (or the body's end)
//   	…
//   	@
//
// The text is UTF-16LE (with or without its byte order mark, told then by its zero bytes),
// UTF-16BE with its mark, or UTF-8 (with or without its mark); the file may be gzip or dictzip
// (.dsl.dz). An #INCLUDE names a file relative to the including file's folder whose entries are
// read where the line stands; each file is read once, and includes nest at most kMaxIncludeDepth
// deep.
//
// Headwords: "{…}" parts are shown but are no part of the term; "(…)" parts are optional, so a
// line gives each combination of them taken and left out (the first kMaxOptionalParts of them;
// later ones are always taken); "\" makes the next character stand for itself; "{{…}}" is a
// comment, dropped anywhere.

// The header lines read.
struct TDslHeader {
    std::string name;
    std::string indexLanguage;
    std::string contentsLanguage;
};

// How a DSL file's text is written.
enum class TDslEncoding : uint8_t { utf8, utf16le, utf16be };

// One entry as the walk meets it.
struct TDslEntry {
    std::vector<std::string> terms;  // the headwords as terms, each once, in order
    std::string headword;            // what "~" in the body stands for
    std::string_view body;           // the body's lines as written (UTF-8), sub-entries included
    bool subEntry = false;           // an "@" sub-entry of the entry before it
    std::string_view file;           // the file it lies in (the one walked or an included one)
    uint64_t bodyOffset = 0;         // where body starts in that file's decoded text
    // Where body lies in that file's bytes (its uncompressed content) and how they are written:
    // decodeDslBody of those bytes gives body back.
    TDslEncoding encoding = TDslEncoding::utf8;
    uint64_t rawOffset = 0;
    uint64_t rawLength = 0;
};

// What the walk met that a reader should be told of, each counted.
struct TDslNotes {
    uint64_t replacedCharacters = 0;    // invalid UTF-8 or UTF-16 read as U+FFFD
    bool oddByteCount = false;          // UTF-16 with an odd number of bytes: the last one left out
    uint64_t orphanBodyLines = 0;       // body lines before any headword, skipped
    uint64_t headwordsWithoutBody = 0;  // headword lines no body followed, left out
    uint64_t droppedHeadwordLines = 0;  // headword lines beyond kMaxPendingHeadwords, left out
    uint64_t emptyHeadwords = 0;        // headword lines with nothing left of a term
    // Terms of one entry beyond kMaxEntryTerms, or beyond the copies of its article that
    // kArticleCopies allows, left out.
    uint64_t termsLeftOut = 0;
    std::vector<std::string> includes;  // included files that could not be read, with why

    // The notes as lines in the tool's words, naming the file; none when nothing was met.
    std::vector<std::string> lines(const std::string& path) const;
};

constexpr int kMaxIncludeDepth = 4;
constexpr size_t kMaxOptionalParts = 5;
// The headword lines kept for one body: a file of headword lines without bodies costs no more.
constexpr size_t kMaxPendingHeadwords = 1000;
// The terms one entry gives at most (its headword lines with their optional parts).
constexpr size_t kMaxEntryTerms = 1000;
// The bytes of copies of one article a conversion makes for its terms (each term at least one).
constexpr size_t kArticleCopies = size_t{16} << 20;
// A rendered body stops at about this length: no line is started beyond it, and "~" stops
// repeating the headword there (a line of many "~" would multiply it).
constexpr size_t kMaxRenderedBody = size_t{16} << 20;
// How far a compressed DSL may inflate: its compressed size times this, at least
// kMinInflatedLimit, at most TDictData::kMaxSize. Text of dictionaries compresses by far less.
constexpr uint64_t kMaxDslInflateRatio = 64;
constexpr uint64_t kMinInflatedLimit = uint64_t{64} << 20;

// The bytes of a DSL file as UTF-8 text: the byte order mark dropped, UTF-16 converted, invalid
// sequences as U+FFFD (counted in notes).
std::string decodeDslText(std::string_view bytes, TDslNotes& notes);

// How the bytes of a DSL file are written, told by its byte order mark (whose length goes to
// markLength) or, without one, by its zero bytes.
TDslEncoding dslEncoding(std::string_view bytes, size_t& markLength);

// Bytes of a DSL file (whole lines of its text, no byte order mark) as UTF-8, invalid
// sequences as U+FFFD: the same text decodeDslText gives for them within the whole file.
std::string decodeDslBody(std::string_view bytes, TDslEncoding encoding);

// A DSL file's text decoded, with what takes a place in it back to the file's bytes.
struct TDecodedDsl {
    std::string text;
    TDslEncoding encoding = TDslEncoding::utf8;
    size_t markLength = 0;
    std::vector<std::pair<uint64_t, int64_t>> anchors;  // UTF-8: after each U+FFFD made
    // The byte offset of position at of text (a character's start). Cheapest when called with
    // positions near each other.
    uint64_t rawOffset(uint64_t at);

private:
    uint64_t cursorText = 0, cursorRaw = 0;
};
TDecodedDsl decodeDsl(std::string_view bytes, TDslNotes& notes, bool anchored);

// The terms of one headword line (as written, UTF-8), and in shown what "~" stands for: the line
// with its unsorted parts left out and its optional parts taken.
std::vector<std::string> dslHeadwordTerms(std::string_view line, std::string* shown = nullptr);

// Abbreviations and what they stand for (from an abbreviation file, see readDslAbbreviations).
using TDslAbbreviations = std::map<std::string, std::string, std::less<>>;

// The body of an entry rendered as plain text, a line for each of its lines: "[m1]"…"[m9]" indent
// the line by that many steps of two blanks ("[m]" alone by none); other tags are dropped with
// their contents kept; a media file "[s]name[/s]" is named («[звук: name]», «[рисунок: name]»,
// «[видео: name]»);
// "[p]abbr[/p]" is expanded when abbreviations are given and name it; "~" is the headword;
// "<<word>>" is the word; "{{…}}" comments are dropped. A sub-entry stays as its headword's line
// and its body is left out (it is an entry of its own). A tag never closed ends with the line.
// Lines with no text left are dropped; the text ends in a line break unless it is empty.
std::string renderDslBody(std::string_view body, std::string_view headword,
                          const TDslAbbreviations* abbreviations = nullptr);

// Walks the entries of a DSL file in order (included files in place, sub-entries right after
// the entry holding them) and returns its header. Memory is the file's decoded text (the
// largest file being read and those including it), never the entries gathered.
// Raises TError("Cannot open file %s"), or a TError naming the file when its compressed data is
// damaged or inflates beyond the limit above.
TDslHeader walkDsl(const std::string& path, const std::function<void(const TDslEntry&)>& visit,
                   TDslNotes& notes);

// The abbreviation file beside a DSL file (NAME_abrv.dsl, or .dsl.dz, for NAME.dsl[.dz]), or
// an empty string when there is none.
std::string dslAbbreviationPath(const std::string& dslPath);

// The abbreviations of an abbreviation file: each headword and its body rendered on one line.
TDslAbbreviations readDslAbbreviations(const std::string& path, TDslNotes& notes);

// The description a DSL file's header gives: its languages, a line each.
std::string dslHeaderInfo(const TDslHeader& header);

// How many terms of an entry get a copy of an article of this size.
size_t dslArticleCopies(size_t articleSize);

// Reads a DSL file into the conversion: each term of an entry with its rendered body, the name
// from #NAME and the languages as the description. With abbreviations, "[p]" marks are expanded
// from the abbreviation file beside it (a TError naming the file when there is none).
void readDsl(const std::string& path, TConversion& conversion, bool abbreviations,
             TDslNotes& notes);
