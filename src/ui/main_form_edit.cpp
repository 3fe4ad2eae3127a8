// Placeholder bodies so that the window links while the editing commands are being written.
// Replaced by the editing commands and the close confirmation.
#include <QCloseEvent>

#include "ui/main_form.h"

void TMainForm::actNewExecute() {}
void TMainForm::actOpenExecute() {}
void TMainForm::actSaveExecute() {}
void TMainForm::actCloseExecute() {}
void TMainForm::actAddExecute() {}
void TMainForm::actSubExecute() {}
void TMainForm::actEditExecute() {}
void TMainForm::actExitExecute() {}
void TMainForm::FormCloseQuery(bool& canClose) {
    canClose = true;
}
void TMainForm::closeEvent(QCloseEvent* event) {
    event->accept();
}
void TMainForm::createMenus() {}
