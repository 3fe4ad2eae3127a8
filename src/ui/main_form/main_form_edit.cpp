// The dictionary editing commands: New, Open, Save, Close, Add term, Delete term, Edit term.
// They ask the user and check the input; every change they make goes through the operations of
// main_form_dictionaries.cpp, which keep the tabs, the word list and the actions in step.
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QTabBar>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "dictionary/term_index.h"
#include "interchange/conversion.h"
#include "platform/error.h"
#include "platform/program_folder.h"
#include "ui/dialogs/word_form.h"
#include "ui/main_form/main_form.h"
#include "ui/text.h"

namespace {

const QString kNewCaption = QStringLiteral("noname.dic");
const QString kDefaultSuffix = QStringLiteral("dic");

// "Термин «term» уже есть в словаре." — the dictionary's own spelling of the term it holds.
QString alreadyPresentText(std::string_view storedTerm) {
    return QStringLiteral("Термин «") + fromCp1251(storedTerm) +
           QStringLiteral("» уже есть в словаре.");
}

// The question before a save replaces a file that another program wrote since this window
// last read or wrote it: saving over it loses that program's work.
QString changedOnDiskText(const QString& path) {
    return QStringLiteral(
               "Файл %1 изменён другой программой после того, как был открыт или "
               "сохранён здесь. Записать поверх? Изменения той программы будут "
               "потеряны.")
        .arg(path);
}

// A file name typed without an extension gets the default one, as a native file dialog does;
// a name with any extension (or an existing file of that exact name) is taken as it is.
QString withDefaultSuffix(const QString& path, bool keepExisting) {
    const QFileInfo info(path);
    if (info.fileName().contains(QLatin1Char('.')) || (keepExisting && info.exists()))
        return path;
    return path + QLatin1Char('.') + kDefaultSuffix;
}

// Whether path leads to a file the dictionary is read from (for a dictionary of another
// format, any of its files), by its name or, reached through another name, by its identity.
bool isSourceFile(const TDictionary& dictionary, const std::string& path) {
    if (dictionary.IsOwnFile(path))
        return true;
    const std::shared_ptr<const TTermFile> index = dictionary.termFile();
    if (!index)
        return false;
    std::error_code error;
    return std::ranges::any_of(index->files(), [&](const std::string& file) {
        return std::filesystem::equivalent(file, path, error);
    });
}

// The wait cursor for as long as it lives.
struct TBusyCursor {
    TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

// An adding or editing window that refuses "Сохранить" while its texts hold a character the
// dictionary cannot store: an information box names the character and the modal display goes
// on with everything typed, so nothing is ever stored with a stand-in.
class TCheckedWordForm : public TWordForm {
public:
    explicit TCheckedWordForm(TMainForm* mainForm) : TWordForm(mainForm), mainForm_(mainForm) {}

    void done(int result) override {
        // An empty term is left to the window's own silent refusal.
        if (result == QDialog::Accepted && !termText().isEmpty()) {
            if (const std::optional<char32_t> bad = firstUnstorable({termText(), articleText()})) {
                mainForm_->dialogs().information(this, unstorableCharacterText(*bad));
                return;
            }
        }
        TWordForm::done(result);
    }

private:
    TMainForm* mainForm_;
};

}  // namespace

void TMainForm::actNewExecute() {
    // An empty dictionary: the word list empties and the terms group goes off.
    addDictionary(std::make_unique<TDictionary>(), kNewCaption);
}

QString TMainForm::chooseFileToOpen(bool otherFormats) {
    const std::unique_ptr<QFileDialog> dialog =
        makeFileDialog(QFileDialog::AcceptOpen, otherFormats);
    if (!dialogs().execFileDialog(*dialog))
        return QString();
    const QString chosen = dialog->selectedFiles().value(0);
    if (chosen.isEmpty())
        return chosen;
    lastFolder_ = QFileInfo(chosen).absolutePath();
    lastOpened_ = chosen;
    return withDefaultSuffix(chosen, true);
}

QString TMainForm::chooseFileToSave(const QString& proposal) {
    const std::unique_ptr<QFileDialog> dialog = makeFileDialog(QFileDialog::AcceptSave);
    dialog->selectFile(proposal);
    if (!dialogs().execFileDialog(*dialog))
        return QString();
    const QString chosen = dialog->selectedFiles().value(0);
    if (chosen.isEmpty())
        return chosen;
    const QString path = withDefaultSuffix(chosen, false);
    lastFolder_ = QFileInfo(path).absolutePath();
    return path;
}

QString TMainForm::saveProposal() const {
    const std::string& own = currentDictionary()->fileName();
    if (!own.empty() && !program_folder::isInDataFolder(folders_, own))
        return QString::fromStdString(own);
    const QString folder = own.empty() && !lastFolder_.isEmpty()
                               ? lastFolder_
                               : QString::fromStdString(folders_.program);
    return folder + QLatin1Char('/') + tabCaption(CurDic);
}

void TMainForm::actOpenExecute() {
    const QString chosen = chooseFileToOpen(true);
    if (chosen.isEmpty())
        return;
    // File names on disk are UTF-8; OpenDic raises the load's error and then adds no tab.
    OpenDic(chosen.toStdString());
}

void TMainForm::actSaveExecute() {
    TDictionary* dictionary = editableDictionary();
    if (!dictionary || reloadIfChanged(CurDic))
        return;
    if (dictionary->readOnly()) {
        saveConvertedCopy();
        return;
    }
    const QString path = chooseFileToSave(saveProposal());
    if (path.isEmpty())
        return;
    // The save is atomic: when it raises, the old file, the caption and Modified stay. Another
    // file chosen here was already confirmed by the file dialog; the dictionary's own file,
    // changed by another program (the command-line import, a second window) since it was
    // read, is replaced only when the user says so.
    const std::string file = path.toStdString();
    try {
        dictionary->SaveToFile(file, TOverwrite::IfUnchanged);
    } catch (const TFileChanged&) {
        if (dialogs().confirm(this, changedOnDiskText(path)) != TDialogs::TAnswer::Yes)
            return;
        dictionary->SaveToFile(file);
    }
    setTabCaption(CurDic, QFileInfo(path).fileName());
}

bool TMainForm::refusedAsReadOnly() {
    const TDictionary* dictionary = currentDictionary();
    if (!dictionary || !dictionary->readOnly())
        return false;
    // The commands are off on such a tab; one that comes some other way is told why nothing
    // happens, before anything is typed in vain.
    const QString name = dictionary->Name().empty()
                             ? tabCaption(CurDic)
                             : fromForm(dictionary->Name(), dictionary->textForm());
    dialogs().information(this, QStringLiteral("Словарь «%1» открыт только для чтения").arg(name));
    return true;
}

QString TMainForm::convertedCopyProposal() const {
    // The source's own name without the extensions of its format (gcide.index, Littre.dsl.dz,
    // czech.ifo), as a .dic beside the files the user keeps: never one of the source's files.
    QString name = QFileInfo(QString::fromStdString(currentDictionary()->fileName())).fileName();
    for (const QString& packed : {QStringLiteral(".dz"), QStringLiteral(".gz")}) {
        if (name.endsWith(packed, Qt::CaseInsensitive))
            name.chop(packed.size());
    }
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        name.truncate(dot);
    const QString folder =
        lastFolder_.isEmpty() ? QString::fromStdString(folders_.program) : lastFolder_;
    return folder + QLatin1Char('/') + name + QLatin1Char('.') + kDefaultSuffix;
}

void TMainForm::saveConvertedCopy() {
    const TDictionary* source = currentDictionary();
    const QString path = chooseFileToSave(convertedCopyProposal());
    if (path.isEmpty())
        return;
    const std::string file = path.toStdString();
    // The source is read in place and never written: a copy over one of its files would
    // destroy the dictionary the copy is made from.
    if (isSourceFile(*source, file)) {
        dialogs().warning(this, QStringLiteral("Копию нельзя записать в файл самого словаря %1; "
                                               "выберите другое имя.")
                                    .arg(path));
        return;
    }
    // The copy is the program's format, folded to Windows-1251 as the converters fold; the
    // tab goes on showing the source, which is what the user opened (the copy opens by Open).
    TDictionary copy;
    TConversionReport report;
    bool changed = false;
    {
        // Every article is read from the source's files: a large one takes a while.
        const TBusyCursor busy;
        try {
            report = convertDictionary(*source, copy);
        } catch (const TDictionaryChanged&) {
            changed = true;
        }
        if (!changed)
            copy.SaveToFile(file);
    }
    if (changed) {
        // The source changed under the conversion: nothing is written from a mixture of two
        // versions, and the dictionary is read afresh.
        dictionaryChanged();
        return;
    }
    dialogs().information(this, QString::fromStdString(conversionReportText(file, report)));
}

void TMainForm::actCloseExecute() {
    // A tab being prepared closes too, which cancels its preparing.
    if (TabSet->count() == 0 || CurDic < 0 || CurDic >= static_cast<int>(DicList.size()))
        return;
    // Only an explicit Yes discards unsaved changes: a question box closed without an answer
    // keeps the dictionary, since nothing else stands between it and the loss.
    if (currentDictionary() && currentDictionary()->Modified() &&
        dialogs().confirm(this, QStringLiteral("Словарь не сохранен! Продолжить?")) !=
            TDialogs::TAnswer::Yes)
        return;

    closeCurrentDictionary();
}

bool TMainForm::runWordForm(TWordForm& form, std::string& term, std::string& article) {
    rememberSizeOf(form);
    for (;;) {
        if (dialogs().execModal(form) != QDialog::Accepted)
            return false;
        // The window checks its texts before it closes; a window accepted some other way is
        // checked here and shown again with its contents.
        if (const std::optional<char32_t> bad =
                firstUnstorable({form.termText(), form.articleText()})) {
            dialogs().information(&form, unstorableCharacterText(*bad));
            continue;
        }
        term = toCp1251(form.termText()).value();
        article = toCp1251(form.articleText()).value();
        return true;
    }
}

void TMainForm::actAddExecute() {
    const TDictionary* dictionary = currentDictionary();
    if (!dictionary || refusedAsReadOnly() || reloadIfChanged(CurDic))
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
    insertTerm(term, article);
}

void TMainForm::actSubExecute() {
    const TDictionary* dictionary = currentDictionary();
    const int row = selectedRow();
    if (!dictionary || row < 0 || refusedAsReadOnly() || reloadIfChanged(CurDic))
        return;
    if (dialogs().confirm(this, QStringLiteral("Удалить выделенное слово?")) !=
        TDialogs::TAnswer::Yes)
        return;
    removeTerm(row);
    selectRow(-1);
    setSearchText(QString());
}

void TMainForm::actEditExecute() {
    const TDictionary* dictionary = currentDictionary();
    const int row = selectedRow();
    if (!dictionary || row < 0 || refusedAsReadOnly() || reloadIfChanged(CurDic))
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
    // The search text stays; the edited term is selected at its new place.
    selectRow(replaceTerm(row, newTerm, newArticle));
}
