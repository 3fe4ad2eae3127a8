// The dictionary editing commands: New, Open, Save, Close, Add term, Delete term, Edit term,
// and the two file dialogs they share. Each keeps the tabs, the word list, the search box and
// the actions in step with DicList, so that row i of the word list stays term i of DicList[CurDic].
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTabBar>

#include <algorithm>
#include <optional>
#include <string>

#include "platform/codepage.h"
#include "ui/main_form.h"
#include "ui/text.h"
#include "ui/word_form.h"
#include "ui/word_list_model.h"

namespace {

const QString kNewCaption = QStringLiteral("noname.dic");
const QString kDefaultSuffix = QStringLiteral("dic");

// "Термин «term» уже есть в словаре." — the dictionary's own spelling of the term it holds.
QString alreadyPresentText(std::string_view storedTerm) {
    return QStringLiteral("Термин «") + fromCp1251(storedTerm) +
           QStringLiteral("» уже есть в словаре.");
}

QString unstorableCharacterText(char32_t character) {
    const QString shown = QString::fromUcs4(&character, 1);
    const QString code =
        QStringLiteral("U+%1").arg(static_cast<uint>(character), 4, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("Знак «") + shown + QStringLiteral("» (") + code +
           QStringLiteral(") нельзя сохранить в словаре: его нет в кодировке Windows-1251.");
}

// A file name typed without an extension gets the default one, as a native file dialog does;
// a name with any extension (or an existing file of that exact name) is taken as it is.
QString withDefaultSuffix(const QString& path, bool keepExisting) {
    const QFileInfo info(path);
    if (info.fileName().contains(QLatin1Char('.')) || (keepExisting && info.exists()))
        return path;
    return path + QLatin1Char('.') + kDefaultSuffix;
}

// The first character of the window's term or article that Windows-1251 cannot hold, if any.
std::optional<char32_t> firstUnstorable(const TWordForm& form) {
    char32_t bad = 0;
    if (!codepage::fromUtf8(form.termText().toStdString(), &bad))
        return bad;
    if (!codepage::fromUtf8(form.articleText().toStdString(), &bad))
        return bad;
    return std::nullopt;
}

// An adding or editing window that refuses "Сохранить" while its texts hold a character the
// dictionary cannot store: an information box names the character and the modal display goes
// on with everything typed, so nothing is ever stored with a stand-in.
class TCheckedWordForm : public TWordForm {
public:
    explicit TCheckedWordForm(TMainForm* mainForm) : TWordForm(mainForm), mainForm_(mainForm) {}

    void done(int result) override {
        // An empty term is left to the window's own silent refusal.
        if (result == QDialog::Accepted && !termText().isEmpty()) {
            if (const std::optional<char32_t> bad = firstUnstorable(*this)) {
                mainForm_->dialogs().information(this, unstorableCharacterText(*bad));
                return;
            }
        }
        TWordForm::done(result);
    }

private:
    TMainForm* mainForm_;
};

void setUpFileDialog(QFileDialog& dialog) {
    dialog.setNameFilters({QStringLiteral("*.dic"), QStringLiteral("*.*")});
    dialog.selectNameFilter(QStringLiteral("*.dic"));
    dialog.setDefaultSuffix(kDefaultSuffix);
    dialog.setSizeGripEnabled(true);
    // Qt's dialogs have no read-only check box, so nothing has to be hidden for it.
}

}  // namespace

void TMainForm::createDialogs() {
    // Both dialogs live as long as the window, so each offers the folder and the file chosen
    // the last time it was used.
    OpenDialog = new QFileDialog(this);
    OpenDialog->setObjectName(QStringLiteral("OpenDialog"));
    setUpFileDialog(*OpenDialog);
    OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
    // A name that does not exist is handed on; opening it then reports the missing file.
    OpenDialog->setFileMode(QFileDialog::AnyFile);

    SaveDialog = new QFileDialog(this);
    SaveDialog->setObjectName(QStringLiteral("SaveDialog"));
    setUpFileDialog(*SaveDialog);
    SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog->setFileMode(QFileDialog::AnyFile);
    // The dialog asks itself before a file is overwritten.
    SaveDialog->setOption(QFileDialog::DontConfirmOverwrite, false);
}

void TMainForm::actNewExecute() {
    DicList.push_back(std::make_unique<TDictionary>());
    CurDic = static_cast<int>(DicList.size()) - 1;
    appendTab(kNewCaption);
    // Always a change of dictionary, also for the strip's first tab, which the strip selects
    // by itself on adding: the word list empties and the terms group goes off.
    selectTab(CurDic, true);
    setSearchText(QString());
    setDictionaryGroupEnabled(true);
    setTermsGroupEnabled(false);
}

QString TMainForm::chooseFileToOpen() {
    if (!dialogs().execFileDialog(*OpenDialog))
        return QString();
    const QString chosen = OpenDialog->selectedFiles().value(0);
    return chosen.isEmpty() ? chosen : withDefaultSuffix(chosen, true);
}

void TMainForm::actOpenExecute() {
    const QString chosen = chooseFileToOpen();
    if (chosen.isEmpty())
        return;
    // File names on disk are UTF-8; OpenDic raises the load's error and then adds no tab.
    OpenDic(chosen.toStdString());
}

void TMainForm::actSaveExecute() {
    TDictionary* dictionary = currentDictionary();
    if (!dictionary)
        return;
    SaveDialog->selectFile(tabCaption(CurDic));
    if (!dialogs().execFileDialog(*SaveDialog))
        return;
    const QString chosen = SaveDialog->selectedFiles().value(0);
    if (chosen.isEmpty())
        return;
    const QString path = withDefaultSuffix(chosen, false);
    // The save is atomic: when it raises, the old file, the caption and Modified stay.
    dictionary->SaveToFile(path.toStdString());
    setTabCaption(CurDic, QFileInfo(path).fileName());
}

void TMainForm::actCloseExecute() {
    if (TabSet->count() == 0 || !currentDictionary())
        return;
    // Only an explicit Yes discards unsaved changes: a question box closed without an answer
    // keeps the dictionary, since nothing else stands between it and the loss.
    if (currentDictionary()->Modified() &&
        dialogs().confirm(this, QStringLiteral("Словарь не сохранен! Продолжить?")) !=
            TDialogs::Answer::Yes)
        return;

    const int closed = CurDic;
    // The word list reads the dictionary directly: let go of it before it is destroyed.
    CurDic = -1;
    refillWordList();
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
    setSearchText(QString());
}

bool TMainForm::runWordForm(TWordForm& form, std::string& term, std::string& article) {
    for (;;) {
        if (dialogs().execModal(form) != QDialog::Accepted)
            return false;
        // The window checks its texts before it closes; a window accepted some other way is
        // checked here and shown again with its contents.
        if (const std::optional<char32_t> bad = firstUnstorable(form)) {
            dialogs().information(&form, unstorableCharacterText(*bad));
            continue;
        }
        term = codepage::fromUtf8(form.termText().toStdString()).value();
        article = codepage::fromUtf8(form.articleText().toStdString()).value();
        return true;
    }
}

void TMainForm::actAddExecute() {
    TDictionary* dictionary = currentDictionary();
    if (!dictionary)
        return;
    TCheckedWordForm form(this);
    form.SetAdding();
    std::string term;
    std::string article;
    if (!runWordForm(form, term, article))
        return;

    const int present = dictionary->Find(term);
    if (present >= 0) {
        // The typed article is not dropped without a word: the user learns why nothing changed.
        dialogs().information(this, alreadyPresentText(dictionary->Term(present)));
        return;
    }
    {
        // Rows moving under the selection are no click of the user's.
        const QScopedValueRollback<bool> codeSelects(settingSelection_, true);
        wordListModel_->insertTerm(term, article);  // the row goes in at its sorted place
    }
    if (dictionary->Count() > 0)
        setTermsGroupEnabled(true);
}

void TMainForm::actSubExecute() {
    TDictionary* dictionary = currentDictionary();
    const int row = selectedRow();
    if (!dictionary || row < 0)
        return;
    if (dialogs().confirm(this, QStringLiteral("Удалить выделенное слово?")) !=
        TDialogs::Answer::Yes)
        return;
    {
        // The view moves its selection off the removed row; that is no click of the user's.
        const QScopedValueRollback<bool> codeSelects(settingSelection_, true);
        wordListModel_->removeTerm(row);
    }
    selectRow(-1);
    setSearchText(QString());
    if (dictionary->Count() == 0) {
        // Translate keeps its state: with no row selected it does nothing.
        actSave->setEnabled(false);
        actSub->setEnabled(false);
        actEdit->setEnabled(false);
    }
}

void TMainForm::actEditExecute() {
    TDictionary* dictionary = currentDictionary();
    const int row = selectedRow();
    if (!dictionary || row < 0)
        return;
    std::string term;
    std::string article;
    if (!dictionary->GetTerm(row, term, article))
        return;

    // A viewing window shows its term as it was; editing under it would leave it stale.
    if (translationWindowFor(term)) {
        dialogs().information(this, QStringLiteral("Сначала закройте окно перевода!"));
        return;
    }
    const QString shownTerm = fromCp1251(term);

    TCheckedWordForm form(this);
    form.SetEditing();
    form.setTexts(shownTerm, fromCp1251(article));
    std::string newTerm;
    std::string newArticle;
    if (!runWordForm(form, newTerm, newArticle))
        return;

    // Another term equal to the new text is looked up before anything is deleted, so a refused
    // edit leaves the dictionary, the word list and the selection exactly as they were. The
    // edited term itself may change its letter case.
    const int present = dictionary->Find(newTerm);
    if (present >= 0 && present != row) {
        dialogs().warning(this, alreadyPresentText(dictionary->Term(present)));
        return;
    }
    // The search text stays: the view's own moves of the selection while the row is taken out
    // and put back are no clicks of the user's.
    const QScopedValueRollback<bool> codeSelects(settingSelection_, true);
    wordListModel_->removeTerm(row);
    const int newRow = wordListModel_->changeTerm(newTerm, newArticle);
    selectRow(newRow);
}
