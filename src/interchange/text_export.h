#pragma once

#include <string>
#include <string_view>

// Writing a dictionary back in the import format ("@term", the article's lines, "~~~"), and
// telling which entries that format cannot carry: importing the text gives them back changed
// or not at all.

// Appends the entry as one import block: "@" and the term, LF, the article with an LF added
// when it does not end with one, then "~~~" and LF.
void appendImportBlock(std::string& out, std::string_view term, std::string_view article);

// What importing an entry's import block would change, as bits; 0 when it comes back exactly.
enum TImportLoss : unsigned {
    kLossEmptyTerm = 1u << 0,       // an empty term: the block is not added
    kLossEmptyArticle = 1u << 1,    // an empty article: the block is not added
    kLossTermLineBreak = 1u << 2,   // an LF in the term breaks its "@" line
    kLossTermTrailing = 1u << 3,    // the term ends with bytes 00–20 hex, which are trimmed
    kLossLineBlanks = 1u << 4,      // an article line begins or ends with bytes 00–20 hex
    kLossCarriageReturn = 1u << 5,  // a CR before a line break: text mode reads CR LF as LF
    kLossBlockEnd = 1u << 6,        // an article line "~~~" ends the article there
    kLossFinalLineBreak = 1u << 7,  // the article does not end with LF; the import adds one
    kLossLongLine = 1u << 8,        // a line of more than 4094 bytes is read as several
    kLossZeroByte = 1u << 9,        // a zero byte ends the line's text
};

// The losses of the entry, per the import parser's rules (lines trimmed of bytes 00–20 hex at
// both ends, the "@" line trimmed before the "@" is removed, "~~~" ending the block, CR LF read
// as LF, lines of at most 4095 bytes with their LF, text up to the first zero byte).
unsigned importFormatLosses(std::string_view term, std::string_view article);
