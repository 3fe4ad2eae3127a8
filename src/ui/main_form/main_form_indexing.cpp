// Tabs whose dictionary is being prepared, and dictionaries whose file another program changed.
// A file without a made term index opens as a tab at once, in its place among the others; its
// index is made on a thread of its own while the window goes on working, its progress shown as
// the only line of the word list, and every command that would read or write the dictionary is
// off for it. A dictionary found changed under the program is prepared afresh the same way.
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <memory>
#include <string>
#include <utility>

#include "dictionary/parallel_load.h"
#include "dictionary/term_index.h"
#include "ui/main_form/main_form.h"
#include "ui/widgets/word_list_model.h"

namespace {

// How often the making of an index is looked at: often enough for a progress line that moves
// smoothly, rarely enough to cost nothing.
constexpr int kPreparingPoll = 150;

}  // namespace

const TMainForm::TPreparing* TMainForm::preparingOf(const TDictionary* slot) const {
    const auto tab = std::find_if(preparing_.begin(), preparing_.end(),
                                  [slot](const TPreparing& each) { return each.slot == slot; });
    return tab == preparing_.end() ? nullptr : &*tab;
}

bool TMainForm::isPreparing(int index) const {
    return index >= 0 && index < static_cast<int>(DicList.size()) &&
           preparingOf(DicList[static_cast<size_t>(index)].get());
}

void TMainForm::replaceDictionary(int index, std::unique_ptr<TDictionary> dictionary) {
    if (index == CurDic)
        wordListModel_->setDictionary(nullptr);  // let go of the dictionary before it goes
    forgetDictionary(DicList[static_cast<size_t>(index)].get());
    DicList[static_cast<size_t>(index)] = std::move(dictionary);
}

void TMainForm::prepareTab(int index, const std::string& path) {
    auto standIn = std::make_unique<TDictionary>();
    preparing_.push_back({standIn.get(), path, nullptr});
    if (index < 0) {
        addLoadedDic(path, std::move(standIn));
    } else {
        replaceDictionary(index, std::move(standIn));
        if (index == CurDic) {
            bool allowChange = true;
            TabSetChange(index, allowChange);
        }
    }
    if (!preparingTimer_) {
        preparingTimer_ = new QTimer(this);
        preparingTimer_->setInterval(kPreparingPoll);
        connect(preparingTimer_, &QTimer::timeout, this,
                [this] { guarded([this] { advancePreparing(); }); });
    }
    if (!preparingTimer_->isActive())
        preparingTimer_->start();
}

void TMainForm::forgetDictionary(const TDictionary* dictionary) {
    forgetSuggestions(dictionary);
    // Destroying the making cancels it and waits for its thread, which gives up soon.
    std::erase_if(preparing_,
                  [dictionary](const TPreparing& tab) { return tab.slot == dictionary; });
}

void TMainForm::advancePreparing() {
    const auto tabOf = [this](const TDictionary* slot) {
        for (size_t i = 0; i < DicList.size(); ++i) {
            if (DicList[i].get() == slot)
                return static_cast<int>(i);
        }
        return -1;
    };
    const auto running = std::find_if(preparing_.begin(), preparing_.end(),
                                      [](const TPreparing& tab) { return tab.build != nullptr; });
    if (running != preparing_.end() && running->build->finished()) {
        const TPreparing done = std::move(*running);
        preparing_.erase(running);
        const int index = tabOf(done.slot);
        std::unique_ptr<TDictionary> dictionary;
        try {
            dictionary = done.build->take();
        } catch (const std::exception& error) {
            // As a file that fails at start-up: the error box, and the tab goes.
            removeDictionary(index);
            reportDicError(done.path, error);
        }
        if (dictionary && index >= 0) {
            replaceDictionary(index, std::move(dictionary));
            if (index == CurDic) {
                // The search text typed meanwhile stays and now finds its term.
                const QString typed = cmbString->currentText();
                bool allowChange = true;
                TabSetChange(index, allowChange);
                setSearchText(typed);
                cmbStringChange();
            }
        }
    }

    if (preparing_.empty()) {
        if (preparingTimer_)
            preparingTimer_->stop();
        return;
    }
    // One index is made at a time: the current tab's first, then in tab order.
    if (std::none_of(preparing_.begin(), preparing_.end(),
                     [](const TPreparing& tab) { return tab.build != nullptr; })) {
        TPreparing* next = nullptr;
        int nextIndex = -1;
        for (TPreparing& tab : preparing_) {
            const int index = tabOf(tab.slot);
            if (index == CurDic) {
                next = &tab;
                break;
            }
            if (!next || index < nextIndex) {
                next = &tab;
                nextIndex = index;
            }
        }
        next->build = std::make_unique<TIndexBuild>(next->path, termIndexFolder());
    }
    showPreparingProgress();
}

void TMainForm::showPreparingProgress() {
    if (!isPreparing(CurDic))
        return;
    const TPreparing* tab = preparingOf(DicList[static_cast<size_t>(CurDic)].get());
    const int percent = tab->build ? tab->build->progress() : 0;
    wordListModel_->setNotice(QStringLiteral("Подготовка словаря: %1 %").arg(percent));
}

// --- Files changed by another program ---

bool TMainForm::reloadChangedDictionary(int index) {
    if (index < 0 || index >= static_cast<int>(DicList.size()) || isPreparing(index))
        return false;
    const TDictionary& dictionary = *DicList[static_cast<size_t>(index)];
    const std::shared_ptr<const TTermFile> file = dictionary.termFile();
    if (!file || dictionary.Modified())
        return false;
    const std::string path = file->path();
    prepareTab(index, path);
    StatusBar->showMessage(QStringLiteral("Словарь «%1» изменён другой программой и перечитан")
                               .arg(tabCaption(index)));
    advancePreparing();
    return true;
}

bool TMainForm::reloadIfChanged(int index) {
    return index >= 0 && index < static_cast<int>(DicList.size()) && !isPreparing(index) &&
           DicList[static_cast<size_t>(index)]->fileChanged() && reloadChangedDictionary(index);
}

bool TMainForm::reloadChangedDictionaries() {
    bool reloaded = false;
    for (int i = 0; i < static_cast<int>(DicList.size()); ++i)
        reloaded = reloadIfChanged(i) || reloaded;
    return reloaded;
}

void TMainForm::dictionaryChanged() {
    if (reloadChangedDictionaries())
        return;
    // The file looks as indexed, yet a record read disagreed with the index: the read was of
    // the current dictionary, which is read afresh all the same.
    reloadChangedDictionary(CurDic);
}

void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Coming back from another program is when a file may have changed; a modal window or an
    // import may hold a dictionary, which then must not be replaced under it.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() &&
        !QApplication::activeModalWidget() && !importRunning_)
        guarded([this] { reloadChangedDictionaries(); });
}
