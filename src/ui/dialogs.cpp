#include "ui/dialogs.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QCompleter>
#include <QDialog>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QString>

#include "settings/program_identity.h"

namespace {

// A message box that tells a close by the window's close box apart from the escape button:
// Qt reports both as the escape button, but closing a question gives neither answer. Its text
// is plain: names of files and dictionaries come from outside and may look like markup.
class TMessageBox : public QMessageBox {
public:
    TMessageBox(Icon icon, const QString& caption, const QString& text, QWidget* parent)
        : QMessageBox(icon, caption, text, QMessageBox::NoButton, parent) {
        setTextFormat(Qt::PlainText);
    }

    bool closedByFrame() const { return closedByFrame_; }
    // Esc then closes the box as its close box does, instead of pressing the escape button.
    void setEscapeCloses(bool closes) { escapeCloses_ = closes; }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (escapeCloses_ && event->matches(QKeySequence::Cancel)) {
            close();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }

    void closeEvent(QCloseEvent* event) override {
        const bool open = clickedButton() == nullptr;
        QMessageBox::closeEvent(event);
        if (open && event->isAccepted())
            closedByFrame_ = true;
    }

private:
    bool closedByFrame_ = false;
    bool escapeCloses_ = false;
};

// Boxes with one "OK": the button texts are set by hand so no translation of the standard
// buttons can change them.
void showWithOk(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                const QString& text) {
    TMessageBox box(icon, caption, text, parent);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

TDialogs::TAnswer askYesNo(QWidget* parent, const QString& text, bool escapeAnswersNo) {
    TMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, parent);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.setEscapeCloses(!escapeAnswersNo);
    box.exec();
    if (box.closedByFrame())
        return TDialogs::TAnswer::Closed;
    if (box.clickedButton() == yes)
        return TDialogs::TAnswer::Yes;
    if (box.clickedButton() == no)
        return TDialogs::TAnswer::No;
    return TDialogs::TAnswer::Closed;
}

}  // namespace

TDialogs::TAnswer TQtDialogs::confirm(QWidget* parent, const QString& text) {
    return askYesNo(parent, text, true);
}

TDialogs::TAnswer TQtDialogs::confirmWithoutEscape(QWidget* parent, const QString& text) {
    return askYesNo(parent, text, false);
}

void TQtDialogs::information(QWidget* parent, const QString& text) {
    showWithOk(parent, QMessageBox::Information, QStringLiteral("Information"), text);
}

void TQtDialogs::warning(QWidget* parent, const QString& text) {
    showWithOk(parent, QMessageBox::Warning, QStringLiteral("Warning"), text);
}

void TQtDialogs::error(QWidget* parent, const QString& text) {
    showWithOk(parent, QMessageBox::Critical, QString::fromUtf8(ProgramTitle), text);
}

bool TQtDialogs::execFileDialog(QFileDialog& dialog) {
    const bool accepted = dialog.exec() == QDialog::Accepted;
    // Enter pressed in the file name's completion list accepts the dialog but leaves the list
    // on screen, where it would cover the main window and take its next click.
    for (QCompleter* completer : dialog.findChildren<QCompleter*>()) {
        if (completer->popup())
            completer->popup()->hide();
    }
    return accepted;
}

int TQtDialogs::execModal(QDialog& dialog) {
    return dialog.exec();
}

void TDialogs::showProgress(QDialog& dialog) {
    dialog.show();
    dialog.activateWindow();
}
