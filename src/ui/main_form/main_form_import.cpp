// The import of a text file into the current dictionary: the command that asks for the file,
// and the import itself under its progress window. The terms come in as one bulk change of the
// dictionary, so the word list is shown afresh once at the end (reloadWordList), however the
// import ends.
#include <QApplication>
#include <QScopedValueRollback>
#include <QStatusBar>
#include <QStringList>
#include <QTimer>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "interchange/text_import.h"
#include "platform/error.h"
#include "ui/dialogs/import_progress.h"
#include "ui/main_form/main_form.h"
#include "ui/text.h"

namespace {

// How often a leave that waits for the import's messages looks again whether they are gone.
constexpr int kLeaveRetryMs = 50;

}  // namespace

void TMainForm::actImportExecute() {
    if (!currentDictionary() || importRunning_ || refusedAsReadOnly())
        return;
    const QString chosen = chooseFileToOpen(false);
    if (chosen.isEmpty())
        return;
    // File names on disk are UTF-8.
    ImportText(chosen.toStdString());
}

void TMainForm::ImportText(const std::string& path) {
    TDictionary* dictionary = editableDictionary();
    // One import at a time, into the dictionary that was current when it began: the progress
    // window keeps the user away from the tabs and the commands while it runs.
    if (!dictionary || importRunning_ || refusedAsReadOnly() || reloadIfChanged(CurDic))
        return;
    // The dictionary's own file would be read as text: its scrambled bytes would come in as
    // terms of noise.
    if (dictionary->IsOwnFile(path))
        throw TError(formatMessage("Файл импорта %s — это сам словарь; импорт отменён", path));
    const QScopedValueRollback<bool> running(importRunning_, true);
    // A close asked for during the import follows it, however it ends.
    struct TLeaveAfterwards {
        TMainForm& form;
        ~TLeaveAfterwards() {
            if (std::exchange(form.leaveAfterImport_, false))
                form.leaveWhenNothingIsModal();
        }
    } leaveAfterwards{*this};
    TImportRunner runner(this, dialogs());
    runner.setOnUpdate([this](std::string_view term) { StatusBar->showMessage(fromCp1251(term)); });
    TImportResult result;
    try {
        result = runner.run(*dictionary, path);
    } catch (...) {
        // A failed import leaves the dictionary as it was; the list is shown afresh all the same,
        // so that what the user sees is what the dictionary holds.
        reloadWordList();
        throw;
    }
    // The panel keeps the last term read until something else is shown there.
    if (!runner.lastTerm().empty())
        StatusBar->showMessage(fromCp1251(runner.lastTerm()));
    reloadWordList();
    // A UTF-8 file is said so in the status bar; what looks wrong with the file is a warning
    // naming it, after the import, which has gone on as usual.
    size_t warningsFrom = 0;
    const std::vector<std::string> notes = importNotes(result, path, &warningsFrom);
    if (warningsFrom > 0)
        StatusBar->showMessage(QString::fromStdString(notes.front()));
    QStringList warnings;
    for (size_t i = warningsFrom; i < notes.size(); ++i)
        warnings << QString::fromStdString(notes[i]);
    if (!warnings.isEmpty())
        dialogs().warning(this, warnings.join('\n'));
}

void TMainForm::leaveWhenNothingIsModal() {
    // The import's own messages (an error box, say) come first: the exit question waits until
    // no modal window is open, then asks as the exit command always does.
    QTimer::singleShot(kLeaveRetryMs, this, [this] {
        if (QApplication::activeModalWidget())
            leaveWhenNothingIsModal();
        else
            guarded([this] { actExitExecute(); });
    });
}
