// The window reached from outside itself: requests of later starts (a word to look up, the
// desktop's selection, a file to open, or just coming forward), the articles that lead on to
// the terms they name, and the search inside the current dictionary's articles.
#include <QApplication>
#include <QListView>
#include <QStatusBar>
#include <QTimer>

#include <optional>
#include <string>

#include "ui/dialogs/article_search_form.h"
#include "ui/instance_channel.h"
#include "ui/main_form/main_form.h"
#include "ui/text.h"
#include "ui/widgets/tray_icon.h"
#include "ui/widgets/word_list_model.h"

namespace {

// How often a request that has to wait looks again whether the window is free.
constexpr int kRequestRetryMs = 200;

}  // namespace

void TMainForm::carryOut(const TInstanceRequest& request) {
    // A modal window (a question, the search in articles) or an import holds the current
    // dictionary and its position: the request waits until it is done, as the user would.
    if (importRunning_ || QApplication::activeModalWidget()) {
        QTimer::singleShot(kRequestRetryMs, this, [this, request] { carryOut(request); });
        return;
    }
    // A request comes from the event loop: an error ends in the error box, as a command's does.
    guarded([&] {
        switch (request.kind) {
            case TInstanceRequest::TKind::Show:
                comeForward();
                break;
            case TInstanceRequest::TKind::Lookup:
                lookUpWord(request.argument);
                break;
            case TInstanceRequest::TKind::Selection:
                lookUpWord(instance_channel::selectedWord());
                break;
            case TInstanceRequest::TKind::Open:
                comeForward();
                // As Open does: the load's error goes to the error box and no tab is added.
                OpenDic(request.argument.toStdString());
                break;
        }
    });
}

void TMainForm::comeForward() {
    TrayIcon1->restore();
}

void TMainForm::lookUpWord(const QString& word) {
    comeForward();
    if (word.isEmpty())
        return;
    char32_t bad = 0;
    if (!toCp1251(word, &bad)) {
        dialogs().information(this, unstorableCharacterText(bad));
        return;
    }
    // As if typed: the list moves to where the text's beginning puts it.
    setSearchText(word);
    cmbStringChange();
    openTerm(word);
}

bool TMainForm::openTerm(const QString& term) {
    const std::optional<std::string> bytes = toCp1251(term);
    // The word as written, then as a reader means it: its ё/е variants and dictionary forms.
    if (bytes && openThroughForms(*bytes, true))
        return true;
    besideOf_.reset();
    StatusBar->showMessage(QStringLiteral("Термин «%1» не найден в открытых словарях").arg(term));
    if (bytes)
        offerSuggestions(*bytes);
    return false;
}

void TMainForm::actSearchArticlesExecute() {
    const TDictionary* dictionary = currentDictionary();
    if (!dictionary)
        return;
    TArticleSearchForm form(*dictionary, dialogs(), this);
    form.setText(lastArticleSearch_);
    const int result = dialogs().execModal(form);
    lastArticleSearch_ = form.text();
    if (result != QDialog::Accepted || form.chosenRow() < 0)
        return;
    selectRow(form.chosenRow());
    ShowTranslation();
}
