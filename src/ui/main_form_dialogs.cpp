// The dialogs the main window owns and keeps between uses: the file dialogs of Open and Save
// (and the settings, information and about dialogs as they join).
#include <QFileDialog>
#include <QString>

#include "ui/main_form.h"

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
