// The dialogs of the main window: the file dialogs of Open and Save and the settings,
// information and about windows, each made for one showing.
#include <QFileDialog>
#include <QMenu>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

#include "settings/reg_setup.h"
#include "ui/dialogs/about_form.h"
#include "ui/dialogs/info_form.h"
#include "ui/dialogs/options_form.h"
#include "ui/main_form/main_form.h"

namespace {

// The filter of the dictionaries of other programs that Open reads in place (a dictd index, a
// StarDict description, a DSL file). Save writes only the program's own format, and the import
// reads only text.
const QString kSourcesFilter =
    QStringLiteral("Словари других программ (*.ifo *.index *.dsl *.dsl.dz)");

void setUpFileDialog(QFileDialog& dialog, bool otherFormats) {
    QStringList filters{QStringLiteral("*.dic"), QStringLiteral("*.*")};
    if (otherFormats)
        filters.insert(1, kSourcesFilter);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(QStringLiteral("*.dic"));
    dialog.setDefaultSuffix(QStringLiteral("dic"));
    dialog.setSizeGripEnabled(true);
    // Qt's dialogs have no read-only check box, so nothing has to be hidden for it.
}

}  // namespace

std::unique_ptr<QFileDialog> TMainForm::makeFileDialog(int acceptMode, bool otherFormats) {
    auto dialog = std::make_unique<QFileDialog>(this);
    setUpFileDialog(*dialog, otherFormats && acceptMode == QFileDialog::AcceptOpen);
    // A name that does not exist is handed on by the open dialog; opening it then reports the
    // missing file.
    dialog->setFileMode(QFileDialog::AnyFile);
    if (acceptMode == QFileDialog::AcceptOpen) {
        dialog->setObjectName(QStringLiteral("OpenDialog"));
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        // It offers the folder and the file chosen the last time.
        if (!lastOpened_.isEmpty())
            dialog->selectFile(lastOpened_);
    } else {
        dialog->setObjectName(QStringLiteral("SaveDialog"));
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        // The dialog asks itself before a file is overwritten.
        dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
    }
    return dialog;
}

void TMainForm::applyEditMode() {
    const bool editMode = regSetup_.IsOn("EditMode");
    if (mnDic)
        mnDic->menuAction()->setVisible(editMode);
    if (mnWord)
        mnWord->menuAction()->setVisible(editMode);
}

void TMainForm::actSetupExecute() {
    TOptionsForm form(regSetup_, folders_, dialogs(), this);
    // The dictionary list and the start-up switches take effect at the next start; only the
    // editing menus change now.
    if (dialogs().execModal(form) == QDialog::Accepted)
        applyEditMode();
}

void TMainForm::actInfoExecute() {
    const TDictionary* dictionary = currentDictionary();
    if (!dictionary || reloadIfChanged(CurDic))
        return;
    TInfoForm form(dialogs(), this);
    // Edit mode is read afresh each time, so a change in the settings counts at once. A
    // dictionary read in place shows its texts read-only in any mode.
    if (regSetup_.IsOn("EditMode") && !dictionary->readOnly())
        form.MakeEditable();
    form.fill(*dictionary);
    if (dialogs().execModal(form) != QDialog::Accepted || dictionary->readOnly())
        return;
    // The dialog lets "Ok!" through only with texts the code page holds.
    if (const std::optional<TInfoTexts> texts = form.texts())
        setCurrentHeader(texts->name, texts->author, texts->info);
}

void TMainForm::actAboutExecute() {
    TAboutForm form;
    dialogs().execModal(form);
}
