// The main window's word forms and suggestions: a word that is no term answers through its
// ё/е variants and dictionary forms, and one that nothing answers gets the terms near it.
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>

#include <map>

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
        std::vector<std::string> terms;
        std::unique_ptr<TSuggestIndex> index;
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

}  // namespace

TWordForms& TMainForm::morphology() {
    if (!morphology_)
        morphology_ = std::make_shared<TWordForms>();
    return *morphology_;
}

void TMainForm::enterSearchText() {
    const std::optional<std::string> text = toCp1251(cmbString->currentText());
    const TDictionary* dictionary = currentDictionary();
    if (text && dictionary && dictionary->Find(*text) < 0) {
        if (openThroughForms(*text, false))
            return;
        // With no row selected, Enter would open nothing.
        if (selectedRow() < 0) {
            offerSuggestions(*text);
            return;
        }
    }
    ShowTranslation();
}

bool TMainForm::openThroughForms(const std::string& word, bool allTabs) {
    if (CurDic < 0)
        return false;
    const std::vector<int> order = tabOrder(CurDic, DicList.size(), allTabs);
    const auto isTerm = [this](int dictionary, std::string_view text) {
        return DicList[static_cast<size_t>(dictionary)]->Find(std::string(text)) >= 0;
    };
    // The text as handed over may be a term that cleaning would cut ("C++" to C); the
    // cleaned word is asked as written first below, so the text is asked here only when
    // cleaning changed it.
    const std::string cleaned = cleanSelection(word);
    TDictionaryMatch match;
    for (size_t i = 0; cleaned != word && i < order.size(); ++i) {
        if (isTerm(order[i], word)) {
            match = {order[i], {word, TFormKind::AsWritten}};
            break;
        }
    }
    if (match.dictionary < 0 && !cleaned.empty())
        match = findInDictionaries(morphology(), cleaned, order, isTerm);
    if (match.dictionary < 0)
        return false;
    if (match.dictionary != CurDic)
        selectTab(match.dictionary);
    selectRow(DicList[static_cast<size_t>(CurDic)]->Find(match.candidate.text));
    ShowTranslation();
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

void TMainForm::offerSuggestions(const std::string& word) {
    const std::string cleaned = cleanSelection(word);
    if (cleaned.empty() || CurDic < 0)
        return;
    if (!suggestCache_)
        suggestCache_ = std::make_shared<TSuggestCache>();
    std::vector<std::string> near;
    for (int index : tabOrder(CurDic, DicList.size(), true)) {
        if (near.size() >= kSuggestions)
            break;
        const TDictionary& dictionary = *DicList[static_cast<size_t>(index)];
        TSuggestCache::TEntry& entry = suggestCache_->entries[&dictionary];
        if (!entry.index) {
            entry.terms = dictionaryTerms(dictionary);
            entry.index = std::make_unique<TSuggestIndex>(entry.terms);
        }
        for (std::string& term : suggestTerms(
                 morphology(), *entry.index, entry.terms, cleaned,
                 [&](std::string_view t) { return dictionary.Find(std::string(t)) >= 0; },
                 kSuggestions - near.size())) {
            if (std::none_of(near.begin(), near.end(),
                             [&](const std::string& n) { return upcase::equal(n, term); }))
                near.push_back(std::move(term));
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
    for (const std::string& term : near) {
        const QString text = fromCp1251(term);
        QAction* action = suggestionMenu_->addAction(QString(text).replace('&', "&&"));
        connect(action, &QAction::triggered, this,
                [this, text] { guarded([&] { lookUpWord(text); }); });
    }
    suggestionMenu_->popup(cmbString->mapToGlobal(QPoint(0, cmbString->height())));
}
