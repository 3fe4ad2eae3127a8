// The window reached from outside itself: requests of later starts (a word to look up, the
// desktop's selection, a file to open, or just coming forward), the articles that lead on to
// the terms they name, and the search inside the current dictionary's articles.
#include <QApplication>
#include <QListView>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
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

bool isLookup(const TInstanceRequest& request) {
    return request.kind == TInstanceRequest::TKind::Lookup ||
           request.kind == TInstanceRequest::TKind::Selection;
}

}  // namespace

void TMainForm::carryOut(const TInstanceRequest& request) {
    // A modal window (a question, the search in articles) or an import holds the current
    // dictionary and its position: the request waits until it is done, as the user would, and
    // after those that already wait. A look-up also waits while a tab is being prepared, whose
    // dictionary may hold the word before the tabs that are ready.
    if (importRunning_ || QApplication::activeModalWidget() || !waitingRequests_.empty() ||
        (isLookup(request) && !preparing_.empty())) {
        keepWaiting(request);
        return;
    }
    carryOutNow(request);
}

void TMainForm::keepWaiting(const TInstanceRequest& request) {
    // Requests pile up while a box waits for the user; each could bring a box of its own. Only
    // the last word asked for is worth looking up, and the same request twice does nothing
    // more than once.
    if (isLookup(request))
        std::erase_if(waitingRequests_, isLookup);
    else if (std::ranges::find(waitingRequests_, request) != waitingRequests_.end())
        return;
    if (static_cast<int>(waitingRequests_.size()) >= kWaitingRequests) {
        StatusBar->showMessage(
            QStringLiteral("Запрос не выполнен: уже ждут %1 запросов").arg(kWaitingRequests));
        return;
    }
    waitingRequests_.push_back(request);
    if (!waitingRetry_) {
        waitingRetry_ = new QTimer(this);
        waitingRetry_->setInterval(kRequestRetryMs);
        connect(waitingRetry_, &QTimer::timeout, this, &TMainForm::carryOutWaiting);
    }
    waitingRetry_->start();
}

void TMainForm::carryOutWaiting() {
    while (!waitingRequests_.empty() && !importRunning_ && !QApplication::activeModalWidget() &&
           !(isLookup(waitingRequests_.front()) && !preparing_.empty())) {
        const TInstanceRequest next = waitingRequests_.front();
        waitingRequests_.erase(waitingRequests_.begin());
        carryOutNow(next);
    }
    if (waitingRequests_.empty() && waitingRetry_)
        waitingRetry_->stop();
}

void TMainForm::carryOutNow(const TInstanceRequest& request) {
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
    // Looked up as each dictionary would hold it: a Windows-1251 one "résumé" as "resume", a
    // UTF-8 one as written. A character with no near form in the code page is refused, naming
    // it, unless a dictionary of UTF-8 text is open, which may hold it as it is.
    const std::optional<std::string> folded = lookupForm(word);
    const bool anyUtf8 = std::ranges::any_of(
        DicList, [](const auto& dictionary) { return dictionary->textForm() == TTextForm::Utf8; });
    if (!folded && !anyUtf8) {
        for (const char32_t character : word.toUcs4()) {
            if (!lookupForm(QString::fromUcs4(&character, 1))) {
                dialogs().information(this, unstorableCharacterText(character));
                break;
            }
        }
        return;
    }
    // As if typed, in the current dictionary's form: the list moves to where the text's
    // beginning puts it.
    const QString shown =
        folded && currentTextForm() == TTextForm::Cp1251 ? fromCp1251(*folded) : word;
    setSearchText(shown);
    cmbStringChange();
    openTerm(word);
}

bool TMainForm::openTerm(const QString& term) {
    // Looked up as each dictionary would hold it ("résumé" finds "resume" in a Windows-1251
    // one), then as a reader means it: the word as written, its ё/е variants and dictionary
    // forms, in every tab.
    if (openThroughForms(term, true))
        return true;
    besideOf_.reset();
    StatusBar->showMessage(QStringLiteral("Термин «%1» не найден в открытых словарях").arg(term));
    offerSuggestions(term);
    return false;
}

void TMainForm::actSearchArticlesExecute() {
    const TDictionary* dictionary = currentDictionary();
    if (!dictionary)
        return;
    if (reloadIfChanged(CurDic))
        return;
    TArticleSearchForm form(*dictionary, dialogs(), this);
    form.setText(lastArticleSearch_);
    const int result = dialogs().execModal(form);
    lastArticleSearch_ = form.text();
    if (form.dictionaryChanged()) {
        // The search stopped at an article that was no longer the one indexed.
        dictionaryChanged();
        return;
    }
    if (result != QDialog::Accepted || form.chosenRow() < 0)
        return;
    selectRow(form.chosenRow());
    ShowTranslation();
}
