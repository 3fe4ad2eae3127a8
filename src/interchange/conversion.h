#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/source.h"
#include "interchange/fold_1251.h"
#include "interchange/text_import.h"

class TDictionary;
class TMuellerReverse;

// How the articles of a source are written, and so how they are brought into the dictionary.
enum class TArticleForm {
    asIs,     // kept line for line
    prose,    // each prose paragraph made one line (see proseArticle)
    mueller,  // Mueller's conventions read as text (see muellerArticle)
};

// What a conversion from another dictionary format did, for the report at its end.
struct TConversionReport {
    int entries = 0;         // entries read (header entries not counted)
    int terms = 0;           // terms in the resulting dictionary
    int joined = 0;          // entries whose article was joined to an equal earlier headword
    int leftOut = 0;         // headwords left out: empty, or holding a character shown as "?"
    int emptyArticles = 0;   // entries left out because no text remained of their article
    TFoldCounts characters;  // characters of the kept terms and articles folded or replaced
};

// Gathers the entries of a foreign dictionary (UTF-8 text) in their order, converts them to
// Windows-1251 and builds the dictionary in one batch:
//
//   - a headword that Windows-1251 cannot hold even after folding (or that is empty) is left
//     out with its article;
//   - entries whose headwords are equal terms (letter case ignored, the dictionary's own
//     comparison, after folding) become one term: the first headword, and the articles joined
//     in order of arrival with an empty line between them;
//   - the header (name, author, description) is converted the same way.
class TConversion {
public:
    TConversion();
    ~TConversion();
    TConversion(const TConversion&) = delete;
    TConversion& operator=(const TConversion&) = delete;

    // How the articles added from now on are written (asIs unless set).
    void setForm(TArticleForm form) { form_ = form; }

    // Makes the dictionary the reverse of the Mueller entries added from now on: their Russian
    // translations become the terms (see TMuellerReverse) and finish builds from those.
    void setMuellerReverse();

    // The reverse index being gathered (to give it frequencies or a supplement), or nullptr.
    TMuellerReverse* muellerReverse() { return reverse_.get(); }

    // Adds one entry. Blanks and line breaks around the headword are dropped; control
    // characters inside it become blanks.
    void add(std::string_view headword, std::string_view article);

    // Whether two headwords (UTF-8) come out as equal terms once folded as add folds them:
    // the dictionary's comparison, letter case ignored, blanks at the ends left out.
    bool sameTerm(std::string_view a, std::string_view b);

    // Sets room aside for about this many bytes of texts: a hint, taken up to 256 MiB, so
    // that a size read from a damaged file cannot make a huge allocation.
    void reserve(uint64_t bytes);

    // Sets a header text, each only the first time it is given (a later database of a merge
    // does not overwrite the first's). The description's lines end in CR LF, as the program's
    // own dialog writes them.
    void setName(std::string_view text);
    void setAuthor(std::string_view text);
    void setInfo(std::string_view text);

    // Fills the empty dictionary with the entries and header gathered and returns the report.
    // Raises TError("Out of memory while expanding memory stream") when the texts do not fit.
    TConversionReport finish(TDictionary& dictionary);

private:
    struct TEntry {
        uint64_t term;  // offset in pool_
        uint32_t termLength;
        uint64_t article;
        uint64_t articleLength;
    };

    std::string_view term(const TEntry& e) const { return {pool_.data() + e.term, e.termLength}; }
    std::string_view article(const TEntry& e) const {
        return {pool_.data() + e.article, e.articleLength};
    }

    void addFolded(std::string_view headword, std::string_view article);

    TArticleForm form_ = TArticleForm::asIs;
    std::unique_ptr<TMuellerReverse> reverse_;
    std::string shaped_;  // the article of the entry being added, in its form
    TCodePageFolder folder_;
    std::string foldedA_, foldedB_;  // sameTerm's room, kept between calls
    TConversionReport report_;
    std::string pool_;
    std::vector<TEntry> entries_;
    std::string headword_;
    std::string name_, author_, info_;
    bool hasName_ = false, hasAuthor_ = false, hasInfo_ = false;
};

// The text that reports a conversion that made the dictionary file out (named as given): the
// counts of report, one a line, as the command-line converters print them.
std::string conversionReportText(const std::string& out, const TConversionReport& report);

// Converts source into out, which must be empty, as the converters convert another format: its
// terms in order with their articles kept line for line (TArticleForm::asIs) and its header,
// folded to Windows-1251 where its text is UTF-8 (a dictionary of another format read in
// place). The way to a copy in the program's format of a dictionary that cannot be saved.
// Raises what reading source raises (TDictionaryChanged when its file changed, TError naming a
// file that cannot be read), and as TConversion::finish; out is then to be thrown away.
TConversionReport convertDictionary(const TDictionary& source, TDictionary& out);
