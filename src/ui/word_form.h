#pragma once

#include <QDialog>
#include <QPoint>
#include <QSize>
#include <QString>

class QFrame;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TMainForm;

// Where viewing translation windows open: the next window goes to (top, left); each opened
// window moves the point 20 pixels right and down, and each edge wraps to 0 on its own when
// the window would no longer fit on the screen.
struct TCascade {
    int top = 0;
    int left = 0;
};

// The cascade point after a window of windowSize was placed at current, on a screen of
// screenSize (the primary screen).
TCascade nextCascade(TCascade current, QSize windowSize, QSize screenSize);

// The translation window: one term and its article. In viewing mode (as built) both boxes are
// read-only and the window is a modeless top-level window of the main window that deletes
// itself on close; SetAdding / SetEditing turn it into a modal editor with the "Сохранить"
// button, shown through the main window's dialogs().execModal.
class TWordForm : public QDialog {
    Q_OBJECT

public:
    // Builds the window in viewing mode, designed size, not shown. mainForm owns the window
    // and receives its size whenever its closing is asked for.
    explicit TWordForm(TMainForm* mainForm);
    ~TWordForm() override;

    // Switch to the adding / editing mode: editable boxes reached by Tab, the "Сохранить" bar
    // shown, centred on the primary screen, modal dialog, caption "Добавление" / "Редактирование".
    void SetAdding();
    void SetEditing();

    // Viewing mode is exactly a read-only term box.
    bool isViewing() const;

    // Texts of the boxes. The article's line breaks (CR, LF or CR LF) become lines of the box;
    // reading gives the lines joined by CR LF, no break after the last one.
    void setTexts(const QString& term, const QString& article);
    QString termText() const;
    QString articleText() const;

    // Escape (character 27): result Cancel and close; returns true when the key was used.
    bool FormKeyPress(QChar key);
    // Whether the window may close: refused in adding/editing mode when the result is OK and
    // the term box is empty. Always stores the current size in the main window's WordWidth and
    // WordHeight.
    void FormCloseQuery(bool& canClose);

    // Every way of closing (the button, Enter, Escape, the window's close box) passes here.
    void done(int result) override;

    QLineEdit* Edit1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QFrame* CoolBar2 = nullptr;
    QPushButton* Button1 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setEditable(const QString& caption);

    TMainForm* mainForm_;
    bool inDone_ = false;
    bool inCloseEvent_ = false;
};
