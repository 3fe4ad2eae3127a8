#include "ui/dialogs/word_form.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

#include "ui/dialogs/form_parts.h"
#include "ui/text.h"
#include "ui/widgets/outer_size.h"

namespace {

constexpr QSize kDesignedSize(224, 298);
constexpr int kCascadeStep = 20;
// How far from the click a brace is looked for: a braced phrase names a term, never a page.
constexpr qsizetype kPhraseReach = 256;
constexpr int kArticleMargin = 4;
constexpr int kFontPointSize = 9;
const char* const kFixedFont = "Courier New";

// The character a key press stands for, Escape and Enter included whatever text the platform
// attached to them.
QChar keyChar(const QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        return QChar(27);
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return QChar(13);
    return event->text().isEmpty() ? QChar() : event->text().at(0);
}

}  // namespace

TCascade nextCascade(TCascade current, QSize windowSize, QSize screenSize) {
    TCascade next{current.top + kCascadeStep, current.left + kCascadeStep};
    if (screenSize.width() - windowSize.width() < next.left)
        next.left = 0;
    if (screenSize.height() - windowSize.height() < next.top)
        next.top = 0;
    return next;
}

QPoint placeBeside(const QRect& source, QSize windowSize, QSize screenSize,
                   const std::vector<QPoint>& taken) {
    int left = source.right() + 1;
    if (left + windowSize.width() > screenSize.width())
        left = source.left() - windowSize.width();
    left = std::clamp(left, 0, std::max(0, screenSize.width() - windowSize.width()));
    int top = std::clamp(source.top(), 0, std::max(0, screenSize.height() - windowSize.height()));
    // Every window can take at most one spot, so this many steps always find a free one.
    for (size_t step = 0; step < taken.size() && std::ranges::count(taken, QPoint(left, top)) > 0;
         ++step) {
        const TCascade next = nextCascade({top, left}, windowSize, screenSize);
        top = next.top;
        left = next.left;
    }
    return {left, top};
}

QString wordAt(const QString& text, qsizetype position) {
    const qsizetype size = text.size();
    if (size == 0)
        return {};
    position = std::clamp<qsizetype>(position, 0, size - 1);
    // A braced phrase: the nearest brace on each side, with no other brace between.
    qsizetype open = -1;
    for (qsizetype i = position; i >= 0 && position - i <= kPhraseReach; --i) {
        if (text[i] == u'{') {
            open = i;
            break;
        }
        if (text[i] == u'}' && i != position)
            break;
    }
    if (open >= 0) {
        for (qsizetype i = std::max(position, open + 1); i < size && i - open <= kPhraseReach;
             ++i) {
            if (text[i] == u'}')
                return text.mid(open + 1, i - open - 1).simplified();
            if (text[i] == u'{')
                break;
        }
    }
    auto inWord = [&](qsizetype i) {
        const QChar c = text[i];
        return c.isLetterOrNumber() || c == u'-' || c == u'\'' || c == u'_';
    };
    // A click on the right half of a word's last letter puts the cursor after it.
    if (!inWord(position) && position > 0 && inWord(position - 1))
        --position;
    if (!inWord(position))
        return {};
    qsizetype first = position;
    while (first > 0 && inWord(first - 1))
        --first;
    qsizetype end = position + 1;
    while (end < size && inWord(end))
        ++end;
    static const QRegularExpression edges(QStringLiteral("^[-'_]+|[-'_]+$"));
    return text.mid(first, end - first).remove(edges);
}

TWordForm::TWordForm(QWidget* owner) : QDialog(owner, Qt::Window) {
    setWindowTitle(QStringLiteral("Перевод"));
    setAttribute(Qt::WA_DeleteOnClose);
    setSizeGripEnabled(false);

    QFont termFont(kFixedFont, kFontPointSize);
    termFont.setBold(true);
    Edit1 = new QLineEdit(this);
    Edit1->setFont(termFont);
    // A line edit cuts its text at 32767 characters by default; a term of a dictionary file may
    // be longer, and editing it must not shorten it unasked.
    Edit1->setMaxLength(std::numeric_limits<int>::max());

    // The article sits in a window-coloured, lowered panel with a small margin, so the text does
    // not touch the edge although the box itself has no border.
    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAutoFillBackground(true);
    panel->setBackgroundRole(QPalette::Base);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(kArticleMargin, kArticleMargin, kArticleMargin, kArticleMargin);
    Memo1 = new QPlainTextEdit(panel);
    Memo1->setFont(QFont(kFixedFont, kFontPointSize));
    Memo1->setFrameStyle(QFrame::NoFrame);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setTabChangesFocus(true);
    panelLayout->addWidget(Memo1);

    CoolBar2 = new QFrame(this);
    auto* barLayout = new QHBoxLayout(CoolBar2);
    barLayout->setContentsMargins(2, 2, 2, 2);
    Button1 = new QPushButton(QStringLiteral("Сохранить"), CoolBar2);
    Button1->setDefault(true);
    barLayout->addWidget(Button1);
    barLayout->addStretch();
    CoolBar2->hide();
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Edit1);
    layout->addWidget(panel, 1);
    layout->addWidget(CoolBar2);

    Edit1->installEventFilter(this);
    Memo1->installEventFilter(this);
    Memo1->viewport()->installEventFilter(this);

    // Viewing mode as designed: read-only boxes that Tab skips.
    Edit1->setReadOnly(true);
    Edit1->setFocusPolicy(Qt::ClickFocus);
    Memo1->setReadOnly(true);
    Memo1->setFocusPolicy(Qt::ClickFocus);
    // The designed size is the window's outer size, frame and title bar included.
    new TOuterSize(*this, kDesignedSize, TOuterSize::TPlacement::Kept);
}

void TWordForm::fitToFrame(QSize frame) {
    resize(kDesignedSize - frame);
}

TWordForm::~TWordForm() {
    emit forgetMe(this);
}

void TWordForm::setEditable(const QString& caption) {
    setWindowFlags(Qt::Dialog);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setModal(true);
    setWindowTitle(caption);
    Edit1->setReadOnly(false);
    Edit1->setFocusPolicy(Qt::StrongFocus);
    Memo1->setReadOnly(false);
    Memo1->setFocusPolicy(Qt::StrongFocus);
    CoolBar2->show();
    setTabOrder(Edit1, Memo1);
    setTabOrder(Memo1, Button1);
    centreOnScreen(*this);
    Edit1->setFocus();
}

void TWordForm::SetAdding() {
    setEditable(QStringLiteral("Добавление"));
}

void TWordForm::SetEditing() {
    setEditable(QStringLiteral("Редактирование"));
}

bool TWordForm::isViewing() const {
    return Edit1->isReadOnly();
}

void TWordForm::setTexts(const QString& term, const QString& article) {
    Edit1->setText(term);
    Edit1->setCursorPosition(0);
    Memo1->setPlainText(toBoxLines(article));
}

QString TWordForm::termText() const {
    return Edit1->text();
}

QString TWordForm::articleText() const {
    // The raw text, because the plain text turns no-break spaces into spaces and an edit would
    // change every one of them in the article.
    return fromBoxLines(*Memo1->document());
}

bool TWordForm::FormKeyPress(QChar key) {
    if (key.unicode() != 27)
        return false;
    done(QDialog::Rejected);
    return true;
}

void TWordForm::FormCloseQuery(bool& canClose) {
    canClose = isViewing() || result() != QDialog::Accepted || !Edit1->text().isEmpty();
    emit closeAsked(size());
}

void TWordForm::done(int result) {
    if (!inCloseEvent_) {
        setResult(result);
        bool canClose = true;
        FormCloseQuery(canClose);
        if (!canClose)
            return;
    }
    inDone_ = true;
    QDialog::done(result);
    inDone_ = false;
}

void TWordForm::closeEvent(QCloseEvent* event) {
    if (inDone_) {
        QDialog::closeEvent(event);
        return;
    }
    // The window's close box: a close with the result Cancel.
    setResult(QDialog::Rejected);
    bool canClose = true;
    FormCloseQuery(canClose);
    if (!canClose) {
        event->ignore();
        return;
    }
    inCloseEvent_ = true;
    QDialog::closeEvent(event);
    inCloseEvent_ = false;
}

void TWordForm::keyPressEvent(QKeyEvent* event) {
    if (FormKeyPress(keyChar(event)))
        return;
    if (isViewing() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter))
        return;  // a viewing window has nothing to confirm
    QDialog::keyPressEvent(event);
}

bool TWordForm::eventFilter(QObject* watched, QEvent* event) {
    // In viewing mode a double click on a word leads to its own article; an editor keeps the
    // double click's selection of the word and nothing else.
    if (event->type() == QEvent::MouseButtonDblClick && watched == Memo1->viewport() &&
        isViewing()) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const int position = Memo1->cursorForPosition(mouse->position().toPoint()).position();
        const QString word = wordAt(Memo1->document()->toPlainText(), position);
        if (!word.isEmpty())
            emit wordChosen(word);
    }
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((watched == Edit1 || watched == Memo1) && FormKeyPress(keyChar(key)))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}
