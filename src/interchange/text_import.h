#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class TDictionary;

// Where an import stands, reported once per term line.
struct TImportProgress {
    uint64_t bytesRead = 0;   // bytes of the file consumed so far
    uint64_t totalBytes = 0;  // the file's size when the import began
    std::string_view term;    // the term whose block is about to be read
};

// Called once per term line before its block is read; returning false cancels the import
// there, and the blocks before it are still added.
using TImportProgressCallback = std::function<bool(const TImportProgress&)>;

struct TImportResult {
    int added = 0;           // terms that were not present before
    int blocks = 0;          // term blocks read (those cancelled excluded)
    bool cancelled = false;  // the callback stopped the import
};

// Reads an import file (Windows-1251 text; CR LF reads as LF; lines of at most 4095 bytes, a
// longer one read as several) into the dictionary:
//
//   @term          a trimmed line starting with "@" opens a block; the term is the rest
//   article line   every other line up to "~~~" is one line of the article, trimmed, plus LF
//   ~~~            closes the block
//
// A line's text ends at its first zero byte; lines are trimmed of bytes 00–20 hex at both ends.
// Text outside blocks is ignored; a block without "~~~" runs to the end of the file, "@" lines
// included; a block whose term or article is empty adds nothing. The result is that of one AddTerm
// per block in file order (a present term keeps its article, the first of equal terms wins,
// Modified set when a term is added). Raises TError("Cannot open file %s") when the file cannot be
// opened and TError("Stream read error") when reading it fails; the dictionary is then unchanged.
TImportResult importText(TDictionary& dictionary, const std::string& path,
                         const TImportProgressCallback& progress = {});

// The import reads a file as a C runtime's text mode does, into a line buffer of this many
// bytes: a line yields at most kImportLineBuffer - 1 bytes, its LF included, and a longer line
// is read as several.
inline constexpr size_t kImportLineBuffer = 4096;

// The text without the bytes 00–20 hex (blanks, tabs, line breaks, control bytes) at its ends.
std::string_view trimBlanks(std::string_view text);

// The line's text (up to its first zero byte) with bytes 00–20 hex removed from both ends.
std::string_view trimImportLine(std::string_view line);
