#pragma once

#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

class QFrame;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// Where viewing translation windows open: the next window goes to (top, left); each opened
// window moves the point 20 pixels right and down, and each edge wraps to 0 on its own when
// the window would no longer fit on the screen.
struct TCascade {
    int top = 0;
    int left = 0;
};

// The cascade point after a window was placed at current, on a screen of screenSize (the
// primary screen). windowSize is the window's outer size, frame and title bar included: the
// window is placed by its frame's corner, so the frame counts towards whether it fits.
TCascade nextCascade(TCascade current, QSize windowSize, QSize screenSize);

// Where a viewing window of windowSize opens beside the window whose frame is source: to its
// right, or to its left where the right has no room, top edges level; kept on a screen of
// screenSize. A spot where a window already stands (a corner in taken) is passed by as the
// cascade steps, 20 pixels right and down, each edge wrapping to 0 where the window would leave
// the screen, so windows opened one after another from one article do not hide each other.
QPoint placeBeside(const QRect& source, QSize windowSize, QSize screenSize,
                   const std::vector<QPoint>& taken = {});

// The word of text at position, as a double click takes it in an article: inside braces
// ("{bitty box}") the whole braced phrase, its blanks and line breaks made single spaces;
// otherwise the run of letters and digits (with inner hyphens and apostrophes) at or just
// before position. Empty when there is none.
QString wordAt(const QString& text, qsizetype position);

// The translation window: one term and its article. In viewing mode (as built) both boxes are
// read-only and the window is a modeless top-level window of the main window that deletes
// itself on close; SetAdding / SetEditing turn it into a modal editor with the "Сохранить"
// button, shown through the main window's dialogs().execModal.
class TWordForm : public QDialog {
    Q_OBJECT

public:
    // Builds the window in viewing mode, designed size, not shown, owned by owner (the main
    // window; nullptr for none).
    explicit TWordForm(QWidget* owner);
    ~TWordForm() override;

    // Switch to the adding / editing mode: editable boxes reached by Tab, the "Сохранить" bar
    // shown, centred on the primary screen, modal dialog, caption "Добавление" / "Редактирование".
    void SetAdding();
    void SetEditing();

    // Gives the window its designed outer size (224 × 298) for a frame of the given size, the
    // one the window manager puts round the program's windows, before it is shown; until then
    // (and when it is not called) the window sizes itself when it is first framed.
    void fitToFrame(QSize frame);

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
    // the term box is empty. Always reports the current size through closeAsked, a refused
    // close included.
    void FormCloseQuery(bool& canClose);

    // Every way of closing (the button, Enter, Escape, the window's close box) passes here.
    void done(int result) override;

    QLineEdit* Edit1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QFrame* CoolBar2 = nullptr;
    QPushButton* Button1 = nullptr;

signals:
    // Its closing was asked for while it had this size (the next viewing window opens at it).
    void closeAsked(QSize size);
    // Sent from the destructor while the window is still whole: whoever keeps it in a list
    // lets it go.
    void forgetMe(TWordForm* form);
    // A word of the article was double-clicked in viewing mode (wordAt; never empty).
    void wordChosen(const QString& word);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setEditable(const QString& caption);

    bool inDone_ = false;
    bool inCloseEvent_ = false;
};
