#pragma once

class QDialog;
class QFileDialog;
class QString;
class QWidget;

// The main window's one door to everything modal: message boxes, file dialogs and the modal
// windows it opens. The program uses TQtDialogs; the window tests put in their own answerer.
class TDialogs {
public:
    enum class TAnswer { Yes, No, Closed };

    // Milliseconds between two updates of a progress window: often enough to look alive, rarely
    // enough that drawing costs little beside the work.
    static constexpr int kProgressInterval = 80;

    virtual ~TDialogs() = default;

    // A confirmation: caption "Confirm", question icon, "&Yes" (default) and "&No" (Esc).
    virtual TAnswer confirm(QWidget* parent, const QString& text) = 0;
    // The same box for a question whose No throws something away: only a click on a button (or
    // its key) answers it, and Esc, like the close box, gives neither answer (Closed).
    virtual TAnswer confirmWithoutEscape(QWidget* parent, const QString& text) {
        return confirm(parent, text);
    }
    // An information message: caption "Information", information icon, "OK".
    virtual void information(QWidget* parent, const QString& text) = 0;
    // A warning: caption "Warning", one "OK".
    virtual void warning(QWidget* parent, const QString& text) = 0;
    // An error box captioned with the application title, showing the error's message.
    virtual void error(QWidget* parent, const QString& text) = 0;
    // Shows a file dialog kept by the window; true when the user accepted a file.
    virtual bool execFileDialog(QFileDialog& dialog) = 0;
    // Shows a modal window and returns its result (QDialog::Accepted or Rejected).
    virtual int execModal(QDialog& dialog) = 0;
    // Puts up the progress window of a task that runs on the GUI thread and returns at once:
    // the task updates the window and processes pending events itself, and takes it down.
    virtual void showProgress(QDialog& dialog);
    // How often such a task updates its window, in milliseconds; its first update puts the
    // window up, so a task shorter than this shows none.
    virtual int progressInterval() const { return kProgressInterval; }
};

// The real thing: Qt's message boxes with the program's own captions and button texts. Every
// text is shown as plain text: a file name holding markup is shown as it is, never as markup.
class TQtDialogs : public TDialogs {
public:
    TAnswer confirm(QWidget* parent, const QString& text) override;
    TAnswer confirmWithoutEscape(QWidget* parent, const QString& text) override;
    void information(QWidget* parent, const QString& text) override;
    void warning(QWidget* parent, const QString& text) override;
    void error(QWidget* parent, const QString& text) override;
    bool execFileDialog(QFileDialog& dialog) override;
    int execModal(QDialog& dialog) override;
};
