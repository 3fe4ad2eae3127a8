// Leaving the program: the exit command and the close confirmation that every close of the main
// window passes (Exit, the close box, Alt+F4, the tray's Exit).
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QTabBar>

#include <optional>
#include <string>
#include <vector>

#include "settings/reg_setup.h"
#include "ui/main_form/main_form.h"
#include "ui/text.h"

// Asks about every modified dictionary in tab order. Returns false as soon as one answer is No;
// Yes, or a box closed without an answer, leaves that dictionary unsaved and goes on.
bool TMainForm::confirmUnsavedDictionaries() {
    for (int i = 0; i < static_cast<int>(DicList.size()); ++i) {
        if (!DicList[i]->Modified())
            continue;
        const QString text = QStringLiteral("Словарь ") + tabCaption(i) +
                             QStringLiteral(" не сохранен! Продолжить?");
        if (dialogs().confirm(this, text) == TDialogs::TAnswer::No)
            return false;
    }
    return true;
}

void TMainForm::actExitExecute() {
    // The tray's menu is outside the import's progress window; leaving waits for the import.
    if (importRunning_) {
        leaveAfterImport_ = true;
        return;
    }
    if (!confirmUnsavedDictionaries())
        return;
    // The close that follows must not ask about the dictionaries a second time.
    closeConfirmed_ = true;
    close();
    closeConfirmed_ = false;
}

void TMainForm::FormCloseQuery(bool& canClose) {
    if (dialogs().confirm(this, QStringLiteral("Выйти из программы?")) != TDialogs::TAnswer::Yes) {
        canClose = false;
        return;
    }
    canClose = true;
    storeHistory();
}

void TMainForm::storeHistory() {
    // The history goes back to the settings from the top down, Count last, so the next run
    // starts with the same list; start-up writes the file once the loop has ended.
    TRegSetup& setup = regSetup();
    setup.ClearSection(kHistorySection);
    // The settings file is Windows-1251, but a term of a UTF-8 dictionary may hold letters it
    // lacks («přítel»): such an entry stays in the box for the session and is written in the
    // form a Windows-1251 dictionary would hold it (pritel). One with a character that has no
    // such form is not written: never an empty entry or a false "?".
    std::vector<std::string> entries;
    for (int i = 0; i < cmbString->count(); ++i) {
        std::optional<std::string> entry = lookupForm(cmbString->itemText(i));
        if (entry)
            entries.push_back(std::move(*entry));
    }
    for (size_t i = 0; i < entries.size(); ++i)
        setup.WriteValue(kHistorySection, numberedKey(static_cast<int>(i) + 1), entries[i]);
    setup.WriteValue(kHistorySection, "Count", std::to_string(entries.size()));
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // Every way of closing the window protects unsaved work the same way as the exit command;
    // when the exit command has just asked, the answers stand.
    bool canClose = false;
    // The import runs its own event loop under its progress window; the close is kept for when
    // it has ended, so that the user's request is answered rather than lost.
    if (importRunning_) {
        leaveAfterImport_ = true;
        event->ignore();
        return;
    }
    guarded([&] {
        if (sessionConfirmed_) {
            canClose = true;  // the session's end asked the same questions already
            return;
        }
        if (!closeConfirmed_ && !confirmUnsavedDictionaries())
            return;
        FormCloseQuery(canClose);
    });
    if (canClose) {
        event->accept();
        // Closed from the notification area's menu, the window is hidden already, and Qt sees
        // no last window go: the program ends here.
        if (isHidden())
            QCoreApplication::exit(0);
    } else
        event->ignore();
}
