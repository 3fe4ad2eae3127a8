#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "interchange/fold_1251.h"

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
    int added = 0;            // terms that were not present before
    int blocks = 0;           // term blocks read (those cancelled excluded)
    bool cancelled = false;   // the callback stopped the import
    bool utf8 = false;        // the text was read as UTF-8 and converted to Windows-1251
    TFoldCounts characters;   // of UTF-8 text, the characters folded or replaced by "?"
    int zeroByteLines = 0;    // lines holding a zero byte (each cut there)
    int loneCrBreaks = 0;     // line breaks that were a CR alone (not read as breaks)
    bool noTermLine = false;  // the file holds text but no line starting with "@"
};

// How the bytes of an import file are read.
enum class TImportEncoding {
    Detect,  // UTF-8 when the file is well-formed UTF-8 holding something beyond ASCII (a
             // byte-order mark counts), else Windows-1251
    Cp1251,
    Utf8,
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
//
// UTF-8 text (see TImportEncoding) is read the same way, a byte-order mark at its start left
// out, and each trimmed line converted to Windows-1251 as the converters convert (accents
// folded, the rest "?"; see TCodePageFolder). The result counts what the user should hear of:
// zero bytes, lines ended by CR alone, a file without any "@" line.
TImportResult importText(TDictionary& dictionary, const std::string& path,
                         const TImportProgressCallback& progress = {},
                         TImportEncoding encoding = TImportEncoding::Detect);

// What the user should be told of an import of the file at path (UTF-8 texts naming it): that
// it was read as UTF-8, and warnings for zero bytes, lone-CR line breaks and no "@" line.
// Notes come first, warnings after; warningsFrom gives the index of the first warning.
std::vector<std::string> importNotes(const TImportResult& result, const std::string& path,
                                     size_t* warningsFrom = nullptr);

// The import reads a file as a C runtime's text mode does, into a line buffer of this many
// bytes: a line yields at most kImportLineBuffer - 1 bytes, its LF included, and a longer line
// is read as several.
inline constexpr size_t kImportLineBuffer = 4096;

// The text without the bytes 00–20 hex (blanks, tabs, line breaks, control bytes) at its ends.
std::string_view trimBlanks(std::string_view text);

// The line's text (up to its first zero byte) with bytes 00–20 hex removed from both ends.
std::string_view trimImportLine(std::string_view line);
