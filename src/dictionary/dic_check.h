#pragma once

#include <string>

// Why a dictionary file would not come back the same after it is loaded and saved again:
// saving it would lose what the loader skipped or cut.
enum class TDicFlaw {
    None,
    Unreadable,     // the data end inside a record or before the announced entries, or a length
                    // is negative: the loader stops there
    NegativeCount,  // the term count is negative: the loader reads no entries
    TrailingBytes,  // bytes after the announced entries: a count smaller than the entries held
    ZeroByte,       // a text holds a zero byte: the loader cuts it there
    Duplicate,      // a term equals an earlier one (case ignored): the loader keeps the first
    OutOfOrder,     // a term sorts before the one it follows: the loader reorders them
    Other,          // the saved copy differs for another reason
};

struct TDicCheck {
    TDicFlaw flaw = TDicFlaw::None;
    std::string term;   // the term concerned, for ZeroByte in a term, Duplicate and OutOfOrder
    std::string error;  // the loader's message, for Unreadable
    int count = 0;      // the terms loaded, when clean

    bool clean() const { return flaw == TDicFlaw::None; }
};

// Checks that loading the file and saving it again gives the same bytes, and names the first
// reason when it does not. Terms are ordered as the dictionary orders them under the current
// locale. Raises TError("Cannot open file %s") when the file cannot be read. Holds at most one
// copy of the file in memory (and the loaded dictionary's index); a file whose lengths cannot
// fit it is found unreadable before it is read whole.
TDicCheck checkDictionaryFile(const std::string& path);
