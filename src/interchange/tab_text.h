#pragma once

#include <functional>
#include <string>
#include <string_view>

class TDictionary;

// The tab-separated text form of a dictionary, which keeps every byte: exporting a dictionary
// and importing the text into a new one gives back the same file. Windows-1251 bytes, one line
// per item, each line ending with LF:
//
//   \#name<TAB>text       the header texts; a line only for a text that is not empty
//   \#author<TAB>text
//   \#info<TAB>text
//   term<TAB>article      one line per entry, in the dictionary's order
//
// In every field a backslash, LF, CR and TAB are written \\, \n, \r and \t. An escaped field
// never holds "\#", so a header line cannot be taken for an entry; the entry lines are the
// form that StarDict's tab-file tools read.

// The field with its backslashes, LF, CR and TAB escaped.
std::string escapeTabField(std::string_view text);

// Undoes escapeTabField. A backslash before any other byte, or at the end, stays as it is.
// The text ends at its first zero byte, as the dictionary file would cut it there anyway.
std::string unescapeTabField(std::string_view field);

// Writes the dictionary's tab form, handing it to sink in pieces in order.
void writeTabText(const TDictionary& dictionary, const std::function<void(std::string_view)>& sink);

struct TTabImportResult {
    int entries = 0;    // entry lines read
    int added = 0;      // terms that were not present before
    int malformed = 0;  // lines skipped: no tab, or an unknown header line
};

// Reads a tab-form file into the dictionary. Header lines set the header texts; entry lines
// are added with the result of one AddTerm per line in file order (a term already present
// keeps its article; empty terms and articles are kept too). Empty lines are skipped; a line
// without a tab is skipped and counted. A CR right before a line's LF is dropped, so a file
// saved with CR LF line breaks reads the same (the form itself writes a CR only as \r).
// Raises TError("Cannot open file %s") or TError("Stream read error"); the dictionary is then
// unchanged.
TTabImportResult importTabText(TDictionary& dictionary, const std::string& path);
