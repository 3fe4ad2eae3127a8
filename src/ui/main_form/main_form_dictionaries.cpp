// The open dictionaries and their tabs: which dictionaries open at start-up, how one becomes a
// tab, what a tab change does, and the one path for every change to DicList, CurDic and the
// current dictionary's terms that keeps the tabs, the word list with its prefix index, the
// title and the action groups in step.
#include <QAction>
#include <QListView>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTabBar>

#include <algorithm>
#include <array>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dictionary/parallel_load.h"
#include "dictionary/term_index.h"
#include "interchange/source_readers.h"
#include "platform/codepage.h"
#include "platform/dictionary_sources.h"
#include "platform/error.h"
#include "platform/program_folder.h"
#include "settings/dictionary_list.h"
#include "settings/reg_setup.h"
#include "ui/dialogs.h"
#include "ui/main_form/main_form.h"
#include "ui/text.h"
#include "ui/widgets/word_list_model.h"

const TDictionary* TMainForm::currentDictionary() const {
    // A tab being prepared holds a stand-in that must never be read, edited or saved (over
    // the real file): to every command it is no dictionary at all.
    if (CurDic < 0 || CurDic >= static_cast<int>(DicList.size()) || isPreparing(CurDic))
        return nullptr;
    return DicList[static_cast<size_t>(CurDic)].get();
}

TDictionary* TMainForm::editableDictionary() {
    return const_cast<TDictionary*>(std::as_const(*this).currentDictionary());
}

// --- The header texts ---

void TMainForm::setCurrentHeader(const std::string& name, const std::string& author,
                                 const std::string& info) {
    TDictionary* dictionary = editableDictionary();
    if (!dictionary)
        return;
    dictionary->SetName(name);
    dictionary->SetAuthor(author);
    dictionary->SetInfo(info);
}

// --- Opening and closing ---

void TMainForm::openDicsReporting(const std::vector<std::string>& paths,
                                  std::vector<TLoadedDictionary> loaded) {
    for (size_t i = 0; i < paths.size(); ++i) {
        try {
            if (loaded[i].error)
                std::rethrow_exception(loaded[i].error);
            // A file without a made index gets its tab in its place now; the index is made
            // afterwards while the window is usable.
            if (loaded[i].indexToMake)
                prepareTab(-1, paths[i]);
            else
                addLoadedDic(paths[i], std::move(loaded[i].dictionary));
        } catch (const std::exception& error) {
            // One bad file costs only its own tab: the rest of the start-up goes on.
            reportDicError(paths[i], error);
        }
    }
}

void TMainForm::reportDicError(const std::string& path, const std::exception& error) {
    // The box names the file, since several files may fail with the same message.
    const QString text = errorText(error);
    const QString file = QString::fromStdString(path);
    dialogs().error(
        this, text.contains(file) ? text : QStringLiteral("Файл словаря %1:\n%2").arg(file, text));
}

namespace {

// The value of a list's entry when it is switched on ("+" and the rest), else nothing.
std::optional<std::string> switchedOn(const std::string& value) {
    if (value.empty() || value[0] != '+')
        return std::nullopt;
    return value.substr(1);
}

}  // namespace

void TMainForm::startLoadingDics() {
    // Each section of the list is read on its own: a damaged one costs only its own entries.
    const auto reading = [this](auto read) {
        try {
            return read();
        } catch (const std::exception&) {
            listErrors_.push_back(std::current_exception());
            return decltype(read())();
        }
    };
    const int count = reading([this] { return StrToInt(regSetup_.ReadValue("List", "Count")); });
    const std::vector<std::string> sources =
        reading([this] { return dictionary_list::sourceValues(regSetup_); });

    std::vector<std::string> paths;
    if (count > 0 || !sources.empty()) {
        // Only the entries the file holds, however large the Count.
        for (const std::string& value : regSetup_.NumberedValues("List", std::max(count, 0))) {
            // "+" marks a dictionary that is switched on; "-" one switched off, "" nothing.
            const std::optional<std::string> name = switchedOn(value);
            if (!name)
                continue;
            // Start-up opens only files of the program folder: a name that reaches elsewhere
            // is skipped like a missing file.
            if (name->find('/') != std::string::npos || name->find('\\') != std::string::npos)
                continue;
            const std::string path = program_folder::resolve(folders_, codepage::toUtf8(*name));
            if (program_folder::fileExists(path))
                paths.push_back(path);
        }
        // Dictionaries found elsewhere are named by their full path; one that has gone is
        // skipped like a missing bare name.
        for (const std::string& value : sources) {
            const std::optional<std::string> stored = switchedOn(value);
            if (!stored || stored->empty() || (*stored)[0] != '/')
                continue;
            const std::string path = codepage::toUtf8(*stored);
            if (program_folder::fileExists(path))
                paths.push_back(path);
        }
    } else {
        for (const program_folder::TListedDictionary& listed :
             program_folder::listDictionaries(folders_))
            paths.push_back(listed.path);
        std::vector<std::string> searched = folders_.sources;
        for (const std::string& folder :
             reading([this] { return dictionary_list::folders(regSetup_); }))
            searched.push_back(folder);
        for (const std::string& path : dictionary_sources::find(searched, paths))
            paths.push_back(path);
    }
    // Each opens through its term index in the user's cache: terms from the index, articles
    // from the file when shown, so neither start-up nor memory grows with the collection. A
    // file whose index is not made yet is not walked here: its tab is prepared once the
    // window shows (prepareTab).
    startupLoad_ = std::make_unique<TBackgroundLoad>(std::move(paths), termIndexFolder(), true);
}

void TMainForm::LoadDics() {
    if (!startupLoad_)
        startLoadingDics();
    for (const std::exception_ptr& listError : std::exchange(listErrors_, {})) {
        try {
            std::rethrow_exception(listError);
        } catch (const std::exception& error) {
            reportError(error);
        }
    }
    const std::unique_ptr<TBackgroundLoad> load = std::move(startupLoad_);
    openDicsReporting(load->paths(), load->take());

    if (TabSet->count() > 0)
        selectTab(0);
    advancePreparing();
}

void TMainForm::OpenDic(const std::string& fileName) {
    // A file that only belongs to a dictionary of another format would otherwise be read as a
    // damaged .dic; the one who chose it is told what to choose instead.
    const QString file = QString::fromStdString(fileName);
    switch (sourceRefusal(fileName)) {
        case TSourceRefusal::abbreviations:
            throw TError(QStringLiteral("Файл %1 — сокращения словаря DSL; откройте сам словарь, "
                                        "который лежит рядом")
                             .arg(file)
                             .toStdString());
        case TSourceRefusal::noData:
            throw TError(QStringLiteral("Рядом с указателем словаря dictd %1 нет файла данных "
                                        "(.dict или .dict.dz)")
                             .arg(file)
                             .toStdString());
        case TSourceRefusal::none:
            break;
    }
    auto dictionary = std::make_unique<TDictionary>();
    dictionary->openIndexed(fileName, termIndexFolder());  // raises; then nothing below happens
    addLoadedDic(fileName, std::move(dictionary));
}

namespace {

// The endings that name a dictionary of another format by one of its files: a dictd index, a
// StarDict description, a DSL file, packed or not.
constexpr std::array<std::string_view, 4> kSourceEndings = {".index", ".ifo", ".dsl.dz", ".dsl"};

// A tab names its dictionary's file as the file's name, as a .dic tab is named
// ("mueller.dic"); the title names the dictionary itself. A dictionary of another format is
// several files (gcide.index with gcide.dict.dz, xmlittre.ifo with its .idx and .dict.dz) that
// share a name, and the one the path names is only its index or description, so the tab
// carries that shared name alone ("gcide", "xmlittre"), which is also the name of the .dic
// copy Save offers.
QString tabCaptionOf(const std::string& fileName) {
    const size_t slash = fileName.find_last_of('/');
    std::string caption = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    for (const std::string_view ending : kSourceEndings) {
        if (caption.size() > ending.size() &&
            std::equal(
                ending.begin(), ending.end(), caption.end() - ending.size(),
                [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); })) {
            caption.resize(caption.size() - ending.size());
            break;
        }
    }
    return QString::fromStdString(caption);
}

}  // namespace

void TMainForm::addLoadedDic(const std::string& fileName, std::unique_ptr<TDictionary> dictionary) {
    addDictionary(std::move(dictionary), tabCaptionOf(fileName));
}

int TMainForm::addDictionary(std::unique_ptr<TDictionary> dictionary, const QString& caption) {
    DicList.push_back(std::move(dictionary));
    const int index = appendTab(caption);
    setDictionaryGroupEnabled(true);
    // The new tab is always a change of dictionary, also when it is the strip's first tab,
    // which the strip selects by itself on adding. (A tab being prepared then turns the
    // commands that need its dictionary off again.)
    selectTab(index, true);
    return index;
}

void TMainForm::closeCurrentDictionary() {
    const int closed = CurDic;
    if (closed < 0 || closed >= static_cast<int>(DicList.size()))
        return;
    // The word list reads the dictionary directly: let go of it before it is destroyed.
    CurDic = -1;
    refillWordList();
    forgetDictionary(DicList[static_cast<size_t>(closed)].get());
    DicList.erase(DicList.begin() + closed);
    int next = -1;
    {
        // Removing a tab is not a tab change; the state is brought up below in one go.
        const QSignalBlocker blocker(TabSet);
        TabSet->removeTab(closed);
        if (TabSet->count() > 0) {
            next = std::min(closed, TabSet->count() - 1);
            TabSet->setCurrentIndex(next);
        }
    }

    if (next < 0) {
        setDictionaryGroupEnabled(false);
        setTermsGroupEnabled(false);
        applyTitle();
        setSearchText(QString());
        return;
    }
    // The neighbour becomes current exactly as if its tab had been selected: word list, the
    // terms group and the title all follow it.
    bool allowChange = true;
    TabSetChange(next, allowChange);
}

void TMainForm::removeDictionary(int index) {
    if (index < 0 || index >= static_cast<int>(DicList.size()))
        return;
    if (index == CurDic) {
        closeCurrentDictionary();
        return;
    }
    forgetDictionary(DicList[static_cast<size_t>(index)].get());
    DicList.erase(DicList.begin() + index);
    {
        // The current tab stays current; only its index moves.
        const QSignalBlocker blocker(TabSet);
        TabSet->removeTab(index);
        if (index < CurDic)
            --CurDic;
        TabSet->setCurrentIndex(CurDic);
    }
}

// --- Terms of the current dictionary ---

int TMainForm::insertTerm(const std::string& term, const std::string& article) {
    int row = -1;
    {
        // Rows moving under the selection are no click of the user's.
        const QScopedValueRollback<bool> codeSelects(settingSelection_, true);
        row = wordListModel_->insertTerm(term, article);  // the row goes in at its sorted place
    }
    termsChanged();
    return row;
}

void TMainForm::removeTerm(int row) {
    {
        // The view moves its selection off the removed row; that is no click of the user's.
        const QScopedValueRollback<bool> codeSelects(settingSelection_, true);
        wordListModel_->removeTerm(row);
    }
    termsChanged();
}

int TMainForm::replaceTerm(int row, const std::string& term, const std::string& article) {
    int newRow = -1;
    {
        // The view's own moves of the selection while the row is taken out and put back are no
        // clicks of the user's.
        const QScopedValueRollback<bool> codeSelects(settingSelection_, true);
        wordListModel_->removeTerm(row);
        newRow = wordListModel_->changeTerm(term, article);
    }
    termsChanged();
    return newRow;
}

void TMainForm::reloadWordList() {
    {
        const QScopedValueRollback<bool> codeSelects(settingSelection_, true);
        wordListModel_->refresh();
    }
    selectRow(-1);
    termsChanged();
}

void TMainForm::termsChanged() {
    const TDictionary* dictionary = currentDictionary();
    if (!dictionary)
        return;
    forgetSuggestions(dictionary);
    if (dictionary->Count() > 0)
        setTermsGroupEnabled(true);
    else
        setTermsGroupEnabled(false, false);
}

// --- Tabs ---

void TMainForm::TabSetChange(int newTab, bool& allowChange) {
    CurDic = newTab;
    // A dictionary whose file another program changed is read afresh before it shows; the
    // reload runs this again for the tab, then being prepared.
    if (reloadIfChanged(newTab)) {
        allowChange = true;
        return;
    }
    refillWordList();
    const TDictionary* dictionary = currentDictionary();
    const bool preparing = isPreparing(newTab);
    if (preparing)
        showPreparingProgress();
    setDictionaryGroupEnabled(!preparing);
    actClose->setEnabled(true);  // closing a tab being prepared cancels its preparing
    setTermsGroupEnabled(dictionary && dictionary->Count() > 0);
    applyTitle();
    setSearchText(QString());
    allowChange = true;
}

void TMainForm::selectTab(int index, bool force) {
    const bool changed = force || TabSet->currentIndex() != index;
    {
        const QSignalBlocker blocker(TabSet);
        TabSet->setCurrentIndex(index);
    }
    if (changed) {
        bool allowChange = true;
        TabSetChange(index, allowChange);
    }
}

// The tab strip reads "&" as the mark of a mnemonic letter; a file name such as "R&D.dic" keeps
// its ampersand in the caption and lends no letter to a key.
namespace {

QString escapeMnemonic(QString caption) {
    return caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

QString TMainForm::tabCaption(int index) const {
    return TabSet->tabText(index).replace(QStringLiteral("&&"), QStringLiteral("&"));
}

void TMainForm::setTabCaption(int index, const QString& caption) {
    TabSet->setTabText(index, escapeMnemonic(caption));
}

int TMainForm::appendTab(const QString& caption) {
    // Adding a tab is no tab change of its own: the callers decide when TabSetChange runs.
    const QSignalBlocker blocker(TabSet);
    return TabSet->addTab(escapeMnemonic(caption));
}

void TMainForm::refillWordList() {
    wordListModel_->setDictionary(editableDictionary());
    if (ListBox->model()->rowCount() > 0)
        ListBox->scrollToTop();
}

bool TMainForm::currentReadOnly() const {
    const TDictionary* dictionary = currentDictionary();
    return dictionary && dictionary->readOnly();
}

void TMainForm::setTermsGroupEnabled(bool enabled, bool translateToo) {
    // A dictionary read in place never changes: Delete and Edit stay off on its tab, and Save
    // writes a copy in the program's format (saveConvertedCopy).
    actSave->setEnabled(enabled);
    for (QAction* action : {actSub, actEdit})
        action->setEnabled(enabled && !currentReadOnly());
    if (translateToo)
        actTranslate->setEnabled(enabled);
}

void TMainForm::setDictionaryGroupEnabled(bool enabled) {
    // The import and the search in articles need a current dictionary, so they go with the group.
    for (QAction* action : {actClose, actInfo, actSearchArticles})
        action->setEnabled(enabled);
    for (QAction* action : {actAdd, actImport})
        action->setEnabled(enabled && !currentReadOnly());
}

void TMainForm::applyTitle() {
    // The title always names the current dictionary, and only it.
    const TDictionary* dictionary = currentDictionary();
    QString title = QString::fromLatin1(ProgramTitle);
    if (dictionary && !dictionary->Name().empty())
        title += QStringLiteral(" - ") + fromForm(dictionary->Name(), dictionary->textForm());
    setWindowTitle(title);
}
