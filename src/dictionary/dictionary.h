#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/term_arena.h"

class TSecretMemoryStream;
class TTermFile;
struct TIndexProgress;

// New (term, article) pairs gathered in their order of arrival, to be added to a dictionary in
// one go (TDictionary::addTerms). Texts are copied into the batch's own arena.
class TTermBatch {
public:
    // Appends one pair. Raises TError("Out of memory while expanding memory stream").
    void add(std::string_view term, std::string_view article);
    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

private:
    friend class TDictionary;
    TTermArena arena_;
    std::vector<TTermEntry> entries_;
};

// One article: the text the translation window shows for a term. Lines are separated by CR LF
// when typed in a window and by LF when imported; the text may be empty.
class TParaItem {
public:
    TParaItem() = default;
    explicit TParaItem(std::string text) : Text(std::move(text)) {}
    virtual ~TParaItem() = default;

    // Writes Text as one string record at the stream's position.
    void SaveToStream(TSecretMemoryStream& stream) const;
    // Reads one string record into Text. Raises TError("Stream read error") on short data or a
    // negative length.
    void LoadFromStream(TSecretMemoryStream& stream);

    std::string Text;
};

// Whether a save may replace a file that another program changed since the dictionary last
// read or wrote it.
enum class TOverwrite {
    Always,       // whatever the file holds now
    IfUnchanged,  // the dictionary's own file only as it was when last loaded or saved
};

// How a dictionary's texts (terms, articles, header) are written.
enum class TTextForm {
    Cp1251,  // Windows-1251 bytes: the program's own files and everything made in the program
    Utf8,    // UTF-8 as written: a dictionary of another format read in place (dictd, StarDict,
             // DSL), which is never written back and so never folded
};

// One open dictionary: the header texts Name, Author and Info, the Modified flag, and its terms
// in ascending order of the term comparison (letter case ignored, no two terms equal), each
// with one article. All texts are Windows-1251 bytes, except in a dictionary of another format
// read in place, whose texts are UTF-8 (see textForm) and which never changes (see readOnly).
//
// Position i is row i of the word list: every operation that moves positions reports where.
//
// A dictionary opened through its term index (openIndexed) holds none of its file in memory:
// terms are read from the index and each article from the file when asked for. The first
// change, or a save, loads the file whole first; from then on the dictionary is as one loaded
// by LoadFromFile. Reads that need the file raise TDictionaryChanged (see term_index.h) when it
// is no longer the version indexed, and change nothing.
class TDictionary {
public:
    TDictionary();
    ~TDictionary();
    TDictionary(const TDictionary&) = delete;
    TDictionary& operator=(const TDictionary&) = delete;

    // Number of terms.
    int Count() const;

    // The term at position; the view stays valid until the dictionary next changes. Raises
    // TError("List index out of bounds (%d)") outside 0..Count-1.
    std::string_view Term(int position) const;
    // The article at position. Raises as Term. The view stays valid until the dictionary next
    // changes or, for a dictionary read through its index, until the next Article or GetTerm.
    std::string_view Article(int position) const;

    // Position of the term equal to term (letter case ignored), or -1.
    int Find(std::string_view term) const;

    // Position of the first term not before term in the dictionary's order (Count when every
    // term sorts before it): where term stands or would be inserted.
    int lowerBound(std::string_view term) const;

    // Inserts term at its sorted place and returns that position, setting Modified. When an
    // equal term is present nothing changes (its term, article and Modified stay) and -1 is
    // returned.
    int AddTerm(std::string_view term, std::string_view article);

    // Adds an absent term exactly as AddTerm. When an equal term is present, raises
    // TError("Operation not allowed on sorted list") and changes nothing.
    int ChangeTerm(std::string_view term, std::string_view article);

    // Copies the term and article at position into the outputs and returns true; returns false
    // with the outputs untouched when position is outside 0..Count-1.
    bool GetTerm(int position, std::string& term, std::string& article) const;

    // Removes the entry at position and sets Modified. Raises
    // TError("List index out of bounds (%d)") outside 0..Count-1, changing nothing.
    void Delete(int position);

    // Removes every entry and sets Modified (also when already empty).
    void Clear();

    // Adds the batch's pairs with exactly the result of one AddTerm per pair in batch order:
    // a pair whose term equals a term already present, or an earlier pair of the batch, is
    // dropped. Returns how many were added; sets Modified when that is not zero. The batch is
    // left empty. Much faster than AddTerm one by one for large batches.
    int addTerms(TTermBatch&& batch);

    const std::string& Name() const;
    const std::string& Author() const;
    const std::string& Info() const;
    // Each stores the text and sets Modified, also when the text equals the old one.
    void SetName(std::string_view text);
    void SetAuthor(std::string_view text);
    void SetInfo(std::string_view text);

    // Whether the dictionary differs from its file; false when created.
    bool Modified() const;

    // Writes the plain (unscrambled) layout at the stream's position.
    void SaveToStream(TSecretMemoryStream& stream) const;
    // Clears the dictionary and reads the plain layout from the stream's position; the first of
    // two equal terms wins. Raises TError("Stream read error") on short or bad data, keeping
    // what was read so far.
    void LoadFromStream(TSecretMemoryStream& stream);

    // Saves the scrambled file atomically (temporary file in the same folder, flushed, renamed
    // over path), clears Modified, and from then on takes that file as its own. Raises
    // TError("Cannot create file %s") or TError("Stream write error"); then the old file, the
    // dictionary and Modified are as they were and no temporary file is left.
    // With TOverwrite::IfUnchanged, when path leads to the dictionary's own file (the one it
    // was last loaded from or saved to) and another program has written or replaced that file
    // since, raises TFileChanged("Файл %s изменён другой программой") with path, leaving all
    // as it was. A file that is gone, or another file, is written as usual.
    void SaveToFile(const std::string& path, TOverwrite overwrite = TOverwrite::Always);
    // Replaces the contents with the file's whole, clears Modified, and takes the file as its
    // own as it was before reading. Raises TError("Cannot open file %s") or TError("Stream read
    // error"); then Modified is true, what was read so far stays and the dictionary has no file.
    void LoadFromFile(const std::string& path);
    // Whether path leads to the file the dictionary was last loaded from or saved to, by its
    // name or, reached through another name, by its identity; false while it has no file.
    bool IsOwnFile(const std::string& path) const;

    // The path the dictionary was last loaded from or saved to, as given, or the one
    // setFileName put; empty for a dictionary that belongs to no file (made new, or a load
    // failed).
    const std::string& fileName() const;
    // Makes path (empty: none) the dictionary's file without writing it, as for contents that
    // were kept elsewhere and belong there: fileName() answers path, Modified is set since the
    // file does not hold these contents, and no earlier state of the file is known, so a save
    // over it is not checked for changes by another program.
    void setFileName(const std::string& path);
    // Writes the same file as SaveToFile would, through the same atomic save, but the
    // dictionary keeps its own file, fileName() and Modified: a copy for safe keeping, which
    // only the user may read (a new file is made with mode 0600). Raises
    // TError("Cannot create file %s") or TError("Stream write error"), leaving no file behind.
    void saveCopy(const std::string& path) const;

    // Replaces the contents with those of the file the index was made for, read through the
    // index from now on: clears Modified, and takes the file as its own as it was indexed, as
    // LoadFromFile would (a source's index makes the dictionary UTF-8 and read-only). The index
    // must be of a file that loads (TTermFile::open checks).
    void openIndexed(std::shared_ptr<const TTermFile> file);
    // Opens the file through its term index kept in folder (made there by the first opening;
    // "" keeps it in memory; progress, when given, follows the making), or loads it whole when
    // it cannot have one. refusedFolder, when given, gets why the folder was not used (see
    // TTermFile::open). Raises as LoadFromFile, with the dictionary then as LoadFromFile leaves
    // it. A path that the source opener (source.h) takes for a dictionary of another format is
    // opened through the source's index: texts UTF-8 (textForm), read-only, the header from
    // the source, Find and lowerBound by the UTF-8 comparison, fileChanged over all its files,
    // fileName the path given; what the reader raises is raised.
    void openIndexed(const std::string& path, const std::string& folder,
                     TIndexProgress* progress = nullptr, std::string* refusedFolder = nullptr);
    // The index the dictionary is read through, while it is (opened so and not changed since);
    // null otherwise.
    std::shared_ptr<const TTermFile> termFile() const;
    // How the texts are written: Utf8 exactly for a dictionary of another format read in place.
    TTextForm textForm() const;
    // Whether the dictionary is another format's, read in place: it is never changed or written
    // to its files. Every change (AddTerm, ChangeTerm, Delete, Clear, addTerms, the Set…
    // texts, LoadFromStream) and SaveToFile, saveCopy and SaveToStream raise
    // TError("Словарь «%s» открыт только для чтения") with its name (Name, else the file's
    // name), changing nothing; a copy in the program's format is made by converting it
    // (folding its text), never by saving it. LoadFromFile and openIndexed replace it whole.
    bool readOnly() const;

    // Whether the dictionary is read through its index and its file has been written, replaced
    // or removed since it was indexed. A cheap check (one status call).
    bool fileChanged() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};
