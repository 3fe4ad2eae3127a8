// The look-up side of the main window: the search box with its history, the word list and the
// translation windows. Text that the code puts into the search box and rows that the code
// selects never run the user's handlers: both go through setSearchText / selectRow, which
// raise a flag the signal connections honour.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStringList>
#include <QTimer>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/upcase.h"
#include "settings/reg_setup.h"
#include "ui/dialogs/word_form.h"
#include "ui/main_form/main_form.h"
#include "ui/text.h"
#include "ui/widgets/word_list_model.h"

namespace {

constexpr int kHistoryLimit = 10;

// Whole texts equal ignoring case, by the same Windows-1251 rules as the incremental search;
// a text the code page cannot hold falls back to Unicode's case folding.
bool sameIgnoringCase(const QString& a, const QString& b) {
    const auto x = toCp1251(a);
    const auto y = toCp1251(b);
    if (x && y)
        return upcase::equal(*x, *y);
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace

void TMainForm::connectLookupSignals() {
    // Every change of the search box's text that the code did not make is the user's: typing,
    // deleting, pasting, the inline completion from the history, an entry taken from the list
    // or stepped to with Up/Down. textChanged reports each of them with the text as it stands.
    // A key may change the text twice (the typed letters, then their completion from the
    // history); the search runs once, after the key, on the whole text it left.
    connect(cmbString->lineEdit(), &QLineEdit::textChanged, this, [this] {
        if (!settingText_ && !cmbString->isTyping())
            guarded([this] { cmbStringChange(); });
    });
    connect(cmbString, &TSearchBox::textTyped, this, [this] {
        if (!settingText_)
            guarded([this] { cmbStringChange(); });
    });
    // When its line edit finishes editing (the focus leaves the box), Qt's combo box replaces a
    // text that equals a history entry ignoring case by that entry and reports it as chosen. The
    // search text is the user's: it changes only by typing, completion or choosing an entry.
    disconnect(cmbString->lineEdit(), &QLineEdit::editingFinished, cmbString, nullptr);
    // The keys are looked at on the combo box, which receives them first (its line edit hands
    // the focus on to it) and to which the line edit passes any key it leaves alone.
    cmbString->installEventFilter(this);
    // The open list takes the keys while it is shown; Alt+Up is looked at there too.
    cmbString->view()->installEventFilter(this);

    auto userSelection = [this] {
        if (!settingSelection_)
            guarded([this] { ListBoxClick(); });
    };
    connect(ListBox->selectionModel(), &QItemSelectionModel::selectionChanged, this, userSelection);
    connect(ListBox, &QAbstractItemView::clicked, this, userSelection);
    connect(ListBox, &QAbstractItemView::doubleClicked, this,
            [this] { guarded([this] { ListBoxDblClick(); }); });
    ListBox->installEventFilter(this);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const bool altUp = key->key() == Qt::Key_Up && (key->modifiers() & Qt::AltModifier);
    if (watched == cmbString->view() && altUp) {
        // Alt+Up closes the open list as Alt+Down does; Qt's list would only move up in it.
        cmbString->hidePopup();
        return true;
    }
    if (watched == cmbString) {
        bool consumed = false;
        guarded([&] { consumed = cmbStringKeyDown(key); });
        if (!consumed && altUp) {
            // Alt+Up opens the list as Alt+Down does; Qt's combo box would step to the previous
            // history entry instead and so replace the term just put into the box.
            cmbString->showPopup();
            return true;
        }
        return consumed;
    }
    if (watched == ListBox) {
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            guarded([this] { ListBoxKeyPress(QChar(13)); });
            return true;
        }
        const QString text = key->text();
        const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (plain && !text.isEmpty() && text.at(0).isPrint()) {
            guarded([&] { typeToFind(text); });
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- Search box ---

void TMainForm::setSearchText(const QString& text) {
    const QScopedValueRollback<bool> scope(settingText_, true);
    // The history's current entry follows the text, so that Up and Down step on from the
    // entry shown (or from the top when the text is none of them).
    const int entry =
        text.isEmpty() ? -1 : cmbString->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (cmbString->currentIndex() != entry)
        cmbString->setCurrentIndex(entry);
    cmbString->setEditText(text);
}

void TMainForm::cmbStringChange() {
    if (!currentDictionary())
        return;
    // The text is taken in the current dictionary's own form: in a Windows-1251 one, letters
    // the code page lacks are looked for by their near form (é as e), as the terms of converted
    // dictionaries hold them, and text with no such form begins no term; a UTF-8 one holds
    // them as written.
    const std::optional<std::string> text =
        lookupForm(cmbString->currentText(), currentDictionary()->textForm());
    if (!text)
        return;
    const int row = wordListModel_->findPrefix(*text);
    if (row >= 0)
        selectRow(row);
}

bool TMainForm::cmbStringKeyDown(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (cmbString->currentText().isEmpty())
                return false;
            enterSearchText();
            return true;
        case Qt::Key_Down:
        case Qt::Key_Up: {
            const int row = selectedRow();
            const int next = event->key() == Qt::Key_Down ? row + 1 : row - 1;
            if (row < 0 || next < 0 || next >= wordListModel_->rowCount())
                return false;
            selectRow(next);
            setSearchText(wordListModel_->data(wordListModel_->index(next)).toString());
            cmbString->lineEdit()->selectAll();
            // With Alt the key keeps its own meaning too: the combo box opens or closes its list.
            return !(event->modifiers() & Qt::AltModifier);
        }
        default:
            return false;
    }
}

// --- Word list ---

int TMainForm::selectedRow() const {
    const QItemSelectionModel* selection = ListBox->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isSelected(current))
        return current.row();
    const QModelIndexList rows = selection->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TMainForm::selectRow(int row) {
    const QScopedValueRollback<bool> scope(settingSelection_, true);
    QItemSelectionModel* selection = ListBox->selectionModel();
    if (row < 0 || row >= wordListModel_->rowCount()) {
        selection->clear();
        return;
    }
    const QModelIndex index = wordListModel_->index(row);
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    ListBox->scrollTo(index);
}

void TMainForm::ListBoxClick() {
    const int row = selectedRow();
    if (row < 0)
        return;
    setSearchText(wordListModel_->data(wordListModel_->index(row)).toString());
    cmbString->lineEdit()->selectAll();
}

void TMainForm::ListBoxDblClick() {
    ShowTranslation();
}

void TMainForm::ListBoxKeyPress(QChar key) {
    if (key.unicode() == 13)
        ShowTranslation();
}

void TMainForm::typeToFind(const QString& text) {
    // Characters typed in quick succession make one beginning, as in any list box; the word
    // list moves to the first term with that beginning, and the move counts as a click.
    if (!typeToFindTimer_.isValid() ||
        typeToFindTimer_.elapsed() > QApplication::keyboardInputInterval())
        typedBeginning_.clear();
    typeToFindTimer_.start();
    typedBeginning_ += text;
    if (!currentDictionary())
        return;
    const std::optional<std::string> beginning =
        toForm(typedBeginning_, currentDictionary()->textForm());
    if (!beginning)
        return;
    const int row = wordListModel_->findPrefix(*beginning);
    if (row < 0 || row == selectedRow())
        return;
    selectRow(row);
    ListBoxClick();
}

// --- Translation ---

TTextForm TMainForm::currentTextForm() const {
    const TDictionary* dictionary = currentDictionary();
    return dictionary ? dictionary->textForm() : TTextForm::Cp1251;
}

void TMainForm::actTranslateExecute() {
    ShowTranslation();
}

void TMainForm::ShowTranslation() {
    const int row = selectedRow();
    const TDictionary* dictionary = currentDictionary();
    if (row < 0 || !dictionary)
        return;
    std::string term;
    std::string article;
    if (!dictionary->GetTerm(row, term, article))
        return;
    const QString shownTerm = fromForm(term, dictionary->textForm());
    AddHistory(shownTerm);
    setSearchText(shownTerm);
    showTranslationWindow(term, article);
}

TWordForm* TMainForm::translationWindowFor(const std::string& term) const {
    const TTextForm textForm = currentTextForm();
    for (TWordForm* form : wordForms_) {
        if (toForm(form->termText(), textForm) == term)
            return form;
    }
    return nullptr;
}

void TMainForm::showTranslationWindow(const std::string& term, const std::string& article) {
    const std::optional<QRect> beside = std::exchange(besideOf_, std::nullopt);
    if (TWordForm* open = translationWindowFor(term)) {
        // Brought forward as it is: its texts are not read again from the dictionary. A
        // minimised window comes back first, or bringing it forward would show nothing.
        open->setWindowState(open->windowState() & ~Qt::WindowMinimized);
        open->show();
        open->raise();
        open->activateWindow();
        return;
    }

    auto* form = new TWordForm(this);
    rememberSizeOf(*form);
    // The list holds only live windows: each one leaves it as it is destroyed.
    connect(form, &TWordForm::forgetMe, this,
            [this](TWordForm* gone) { std::erase(wordForms_, gone); });
    // A double click on a word of an article asks for that word's translation.
    connect(form, &TWordForm::wordChosen, this, [this, form](const QString& word) {
        guarded([&] {
            besideOf_ = form->frameGeometry();
            openTerm(word);
        });
    });
    if (WordWidth != 0 && WordHeight != 0)
        form->resize(WordWidth, WordHeight);
    else if (!decorationSize().isEmpty())
        form->fitToFrame(decorationSize());
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->geometry().size() : QSize();
    if (beside) {
        std::vector<QPoint> taken;
        for (const TWordForm* open : wordForms_)
            taken.push_back(open->frameGeometry().topLeft());
        form->move(placeBeside(*beside, form->size() + decorationSize(), screenSize, taken));
    } else {
        form->move(WordLeft, WordTop);
        // The new window has no frame until it is shown; the frame the window manager put
        // round a window already shown (this one, or another translation window) stands for it.
        const TCascade next =
            nextCascade({WordTop, WordLeft}, form->size() + decorationSize(), screenSize);
        WordTop = next.top;
        WordLeft = next.left;
    }
    const TTextForm textForm = currentTextForm();
    form->setTexts(fromForm(term, textForm), fromForm(article, textForm));
    wordForms_.push_back(form);
    form->show();
}

QSize TMainForm::decorationSize() const {
    QSize largest(0, 0);
    const auto take = [&](const QWidget& window) {
        if (window.isVisible())
            largest = largest.expandedTo(window.frameGeometry().size() - window.size());
    };
    take(*this);
    for (const TWordForm* open : wordForms_)
        take(*open);
    return largest;
}

void TMainForm::rememberSizeOf(TWordForm& form) {
    connect(&form, &TWordForm::closeAsked, this, [this](QSize size) {
        WordWidth = size.width();
        WordHeight = size.height();
    });
}

// --- History ---

void TMainForm::AddHistory(const QString& term) {
    const QScopedValueRollback<bool> scope(settingText_, true);
    // The combo box rewrites its text as entries move; the text the user sees stays.
    const QString text = cmbString->currentText();
    int found = -1;
    for (int i = 0; i < cmbString->count(); ++i) {
        if (sameIgnoringCase(cmbString->itemText(i), term)) {
            found = i;
            break;
        }
    }
    if (found >= 0) {
        // A known term moves up and keeps the letter case it was stored with.
        const QString stored = cmbString->itemText(found);
        cmbString->removeItem(found);
        cmbString->insertItem(0, stored);
    } else {
        cmbString->insertItem(0, term);
        // One entry goes per insertion, so a longer history loaded from the settings keeps
        // its length instead of being cut down to the limit.
        if (cmbString->count() > kHistoryLimit)
            cmbString->removeItem(kHistoryLimit);
    }
    cmbString->setCurrentIndex(
        cmbString->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
    cmbString->setEditText(text);
}

void TMainForm::loadHistory() {
    const QScopedValueRollback<bool> scope(settingText_, true);
    int count = 0;
    try {
        count = StrToInt(regSetup_.ReadValue(kHistorySection, "Count"));
    } catch (const std::exception& error) {
        // The history then starts empty; the close confirmation writes back what this run
        // builds.
        reportError(error);
        count = 0;
    }
    // Only the entries the file holds: a Count beyond them, or a gap in their numbering, adds
    // no empty ones. One batch, so a long history costs one insertion into the box.
    QStringList entries;
    for (const std::string& value : regSetup_.NumberedValues(kHistorySection, count))
        entries << fromCp1251(value);
    cmbString->addItems(entries);
    cmbString->setCurrentIndex(-1);
    cmbString->setEditText(QString());
}
