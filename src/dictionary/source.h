#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct TIndexProgress;

// A dictionary of another format (dictd, StarDict, DSL) read where it lies: walked once to make
// its term index (see term_index.h), then read one article at a time as the window shows it.
// Its texts are UTF-8 as written, and it is never written to.
//
// The readers live above this layer (they need the converters' parsing); this layer knows them
// only through this interface and the opener the program sets at start (setSourceOpener).
class TSourceReader {
public:
    virtual ~TSourceReader() = default;

    // The files the source is read from, the one it is opened by first: its index holds for
    // the versions of all of them, and a change to any is a change of the dictionary.
    virtual std::vector<std::string> files() const = 0;

    // The header texts, UTF-8 (empty when the source has none).
    struct THeader {
        std::string name;
        std::string author;
        std::string info;
    };

    // Walks every entry in the source's own order, handing each headword (UTF-8, as written)
    // with a locator: bytes of the reader's own that article() takes back to read the entry's
    // article. Entries whose headwords are equal terms (letter case ignored) are joined by the
    // index, their articles in walk order with an empty line between them, as the converters
    // join them. progress, when given, follows the walk (bytes of the source) and its cancel
    // is honoured by raising TIndexCancelled. Raises TError naming the file for a source that
    // cannot be read.
    virtual THeader walk(
        const std::function<void(std::string_view headword, std::string_view locator)>& visit,
        TIndexProgress* progress) = 0;

    // The article of one entry (UTF-8), exactly the text the converters would take for it
    // before folding. Raises TDictionaryChanged when the source no longer holds what the
    // locator was made for, TError naming the file when it cannot be read.
    virtual std::string article(std::string_view locator) const = 0;

    // Where the data of the entry of locator lies, as a number whose order is the order in
    // which its articles are read the cheapest (a packed file read chunk by chunk inflates each
    // chunk once when its articles are read in the order of their data). 0 says nothing about
    // the order; so does a locator that is not one of this reader's. Reads no file.
    virtual uint64_t dataPosition(std::string_view /*locator*/) const { return 0; }
};

// Opens the source at path: null when path is not a dictionary of another format (a .dic, or
// no dictionary at all). Raises TError("Cannot open file %s") for one that cannot be opened.
using TSourceOpener = std::function<std::unique_ptr<TSourceReader>(const std::string& path)>;

// Sets the opener that TDictionary::openIndexed asks before taking a path for a .dic file.
// Set once at start, before any dictionary is opened; unset, every path is a .dic.
void setSourceOpener(TSourceOpener opener);
const TSourceOpener& sourceOpener();

// The rules by which a source's entries become a dictionary's, shared by the index of a source
// read in place and the converters, so that both give the same terms and articles.

// A headword as a term: blanks and control characters at its ends dropped, those inside it
// made blanks (a term is one line).
void tidyHeadword(std::string& headword);

// Appends article to the articles of one headword already joined: an empty line between them.
void appendJoinedArticle(std::string& joined, std::string_view article);

// The text with its line breaks as CR LF, as the program's own dialog writes a description:
// each LF preceded by CR, every other CR left out.
std::string withCrLf(std::string_view text);
