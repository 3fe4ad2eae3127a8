// The dialogs of the main window: the file dialogs of Open and Save, which it keeps between
// uses, and the settings, information and about windows, made for one showing each.
#include <QFileDialog>
#include <QMenu>
#include <QString>

#include <optional>

#include "settings/reg_setup.h"
#include "ui/dialogs/about_form.h"
#include "ui/dialogs/info_form.h"
#include "ui/dialogs/options_form.h"
#include "ui/main_form/main_form.h"

namespace {

void setUpFileDialog(QFileDialog& dialog) {
    dialog.setNameFilters({QStringLiteral("*.dic"), QStringLiteral("*.*")});
    dialog.selectNameFilter(QStringLiteral("*.dic"));
    dialog.setDefaultSuffix(QStringLiteral("dic"));
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
    if (!dictionary)
        return;
    TInfoForm form(dialogs(), this);
    // Edit mode is read afresh each time, so a change in the settings counts at once.
    if (regSetup_.IsOn("EditMode"))
        form.MakeEditable();
    form.fill(*dictionary);
    if (dialogs().execModal(form) != QDialog::Accepted)
        return;
    // The dialog lets "Ok!" through only with texts the code page holds.
    if (const std::optional<TInfoTexts> texts = form.texts())
        setCurrentHeader(texts->name, texts->author, texts->info);
}

void TMainForm::actAboutExecute() {
    TAboutForm form;
    dialogs().execModal(form);
}
