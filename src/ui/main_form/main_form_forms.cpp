// The main window's word forms and suggestions: a word that is no term answers through its
// ё/е variants and dictionary forms, and one that nothing answers gets the terms near it.
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>

#include <map>
#include <optional>
#include <string>
#include <unordered_map>

#include "interchange/fold_1251.h"
#include "platform/codepage.h"
#include "platform/upcase.h"
#include "ui/main_form/main_form.h"
#include "ui/text.h"
#include "wordforms/suggest_index.h"
#include "wordforms/suggestions.h"
#include "wordforms/word_forms.h"

// The suggestion index of each open dictionary, built on its first need and dropped when the
// dictionary's terms change or it closes (forgetSuggestions).
struct TMainForm::TSuggestCache {
    struct TEntry {
        // The dictionary's terms in Windows-1251: as held, or, for a dictionary of UTF-8 text,
        // folded as a word looked up is (é as e), those with no such form left out.
        std::vector<std::string> terms;
        std::unique_ptr<TSuggestIndex> index;
        // For a dictionary of UTF-8 text: each folded term upper-cased, and the first term as
        // written that folds to it.
        std::unordered_map<std::string, std::string> written;
    };
    std::map<const TDictionary*, TEntry> entries;
};

namespace {

constexpr size_t kSuggestions = 10;

// The tabs to ask in turn: the current one, then, with allTabs, the others left to right.
std::vector<int> tabOrder(int current, size_t count, bool allTabs) {
    std::vector<int> order{current};
    for (int i = 0; allTabs && i < static_cast<int>(count); ++i) {
        if (i != current)
            order.push_back(i);
    }
    return order;
}

// Windows-1251 text (a word or one of its forms) as a dictionary of form holds it.
std::string inForm(std::string_view cp1251, TTextForm form) {
    return form == TTextForm::Utf8 ? codepage::toUtf8(cp1251) : std::string(cp1251);
}

// The word with the blanks, quotes, brackets and punctuation around it dropped, as
// cleanSelection drops them from a word the code page holds.
QString trimmedWord(const QString& word) {
    qsizetype first = 0;
    qsizetype last = word.size();
    while (first < last && !word.at(first).isLetterOrNumber())
        ++first;
    while (last > first && !word.at(last - 1).isLetterOrNumber())
        --last;
    return word.mid(first, last - first);
}

}  // namespace

TWordForms& TMainForm::morphology() {
    if (!morphology_)
        morphology_ = std::make_shared<TWordForms>();
    return *morphology_;
}

void TMainForm::enterSearchText() {
    const QString typed = cmbString->currentText();
    const TDictionary* dictionary = currentDictionary();
    const std::optional<std::string> text =
        dictionary ? toForm(typed, dictionary->textForm()) : std::nullopt;
    if (text && dictionary->Find(*text) < 0) {
        if (openThroughForms(typed, false))
            return;
        // With no row selected, Enter would open nothing.
        if (selectedRow() < 0) {
            offerSuggestions(typed);
            return;
        }
    }
    ShowTranslation();
}

bool TMainForm::openThroughForms(const QString& word, bool allTabs) {
    if (CurDic < 0)
        return false;
    const std::vector<int> order = tabOrder(CurDic, DicList.size(), allTabs);
    const auto dictionaryAt = [this](int index) -> const TDictionary& {
        return *DicList[static_cast<size_t>(index)];
    };
    const auto open = [&](int dictionary, const std::string& term) {
        if (dictionary != CurDic)
            selectTab(dictionary);
        selectRow(DicList[static_cast<size_t>(CurDic)]->Find(term));
        ShowTranslation();
    };
    // A word with letters the code page lacks is a term, if anywhere, of a UTF-8 dictionary,
    // as written; folding it for the word forms would lose what it is.
    if (!toCp1251(word)) {
        const QString trimmed = trimmedWord(word);
        for (const QString& text : {word, trimmed}) {
            const std::string utf8 = text.toUtf8().toStdString();
            for (const int index : order) {
                const TDictionary& dictionary = dictionaryAt(index);
                if (!text.isEmpty() && dictionary.textForm() == TTextForm::Utf8 &&
                    dictionary.Find(utf8) >= 0) {
                    open(index, utf8);
                    return true;
                }
            }
        }
    }
    const std::optional<std::string> folded = lookupForm(word);
    if (!folded)
        return false;
    const std::string& bytes = *folded;
    const auto isTerm = [&](int dictionary, std::string_view text) {
        const TDictionary& d = dictionaryAt(dictionary);
        return d.Find(inForm(text, d.textForm())) >= 0;
    };
    // The text as handed over may be a term that cleaning would cut ("C++" to C); the
    // cleaned word is asked as written first below, so the text is asked here only when
    // cleaning changed it.
    const std::string cleaned = cleanSelection(bytes);
    TDictionaryMatch match;
    for (size_t i = 0; cleaned != bytes && i < order.size(); ++i) {
        if (isTerm(order[i], bytes)) {
            match = {order[i], {bytes, TFormKind::AsWritten}};
            break;
        }
    }
    if (match.dictionary < 0 && !cleaned.empty())
        match = findInDictionaries(morphology(), cleaned, order, isTerm);
    if (match.dictionary < 0)
        return false;
    open(match.dictionary, inForm(match.candidate.text, dictionaryAt(match.dictionary).textForm()));
    if (match.candidate.kind != TFormKind::AsWritten) {
        StatusBar->showMessage(QStringLiteral("%1 — форма слова «%2»")
                                   .arg(fromCp1251(cleaned), fromCp1251(match.candidate.text)));
    }
    return true;
}

void TMainForm::forgetSuggestions(const TDictionary* dictionary) {
    if (suggestCache_)
        suggestCache_->entries.erase(dictionary);
}

void TMainForm::offerSuggestions(const QString& word) {
    const std::optional<std::string> folded = lookupForm(word);
    if (!folded)
        return;
    const std::string cleaned = cleanSelection(*folded);
    if (cleaned.empty() || CurDic < 0)
        return;
    if (!suggestCache_)
        suggestCache_ = std::make_shared<TSuggestCache>();
    QStringList near;
    for (int index : tabOrder(CurDic, DicList.size(), true)) {
        if (static_cast<size_t>(near.size()) >= kSuggestions)
            break;
        const TDictionary& dictionary = *DicList[static_cast<size_t>(index)];
        const bool utf8 = dictionary.textForm() == TTextForm::Utf8;
        TSuggestCache::TEntry& entry = suggestCache_->entries[&dictionary];
        if (!entry.index) {
            entry.terms = dictionaryTerms(dictionary);
            if (utf8) {
                // Suggestions work on Windows-1251: a UTF-8 term takes part in its folded form
                // and is offered as written.
                // One folder for all of them, as a look-up's word is folded (foldForLookup).
                TCodePageFolder folder;
                std::vector<std::string> terms;
                for (const std::string& term : entry.terms) {
                    std::string bytes;
                    if (folder.append(term, bytes).replaced == 0 &&
                        entry.written.try_emplace(upcase::text(bytes), term).second)
                        terms.push_back(std::move(bytes));
                }
                entry.terms = std::move(terms);
            }
            entry.index = std::make_unique<TSuggestIndex>(entry.terms);
        }
        const auto isTerm = [&](std::string_view t) {
            return utf8 ? entry.written.contains(upcase::text(t))
                        : dictionary.Find(std::string(t)) >= 0;
        };
        for (const std::string& term :
             suggestTerms(morphology(), *entry.index, entry.terms, cleaned, isTerm,
                          kSuggestions - static_cast<size_t>(near.size()))) {
            const QString text = utf8 ? QString::fromStdString(entry.written.at(upcase::text(term)))
                                      : fromCp1251(term);
            if (!near.contains(text, Qt::CaseInsensitive))
                near << text;
        }
    }
    if (near.empty())
        return;
    if (!suggestionMenu_) {
        suggestionMenu_ = new QMenu(this);
        suggestionMenu_->setObjectName(QStringLiteral("suggestions"));
    }
    suggestionMenu_->clear();
    suggestionMenu_->addAction(QStringLiteral("Возможно, вы искали:"))->setEnabled(false);
    for (const QString& text : near) {
        QAction* action = suggestionMenu_->addAction(QString(text).replace('&', "&&"));
        connect(action, &QAction::triggered, this,
                [this, text] { guarded([&] { lookUpWord(text); }); });
    }
    suggestionMenu_->popup(cmbString->mapToGlobal(QPoint(0, cmbString->height())));
}
