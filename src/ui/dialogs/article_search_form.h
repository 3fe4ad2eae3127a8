#pragma once

#include <QDialog>
#include <QString>

#include <vector>

class QLabel;
class QLineEdit;
class QListView;
class QProgressBar;
class QPushButton;
class TDialogs;
class TDictionary;
class TFoundTermsModel;

// «Найти в статьях»: a text box, and the list of the dictionary's terms whose articles contain
// the text (letter case ignored, as the command-line tool's search). Choosing a term (double
// click or Enter in the list) closes the window with the result OK and chosenRow() set. A
// search that takes longer than a moment shows its progress and an "Отмена" button; Escape then
// stops the search instead of closing the window. The dictionary must not change while the
// window is shown (it is modal).
class TArticleSearchForm : public QDialog {
    Q_OBJECT

public:
    TArticleSearchForm(const TDictionary& dictionary, TDialogs& dialogs, QWidget* owner);
    ~TArticleSearchForm() override;

    void setText(const QString& text);
    QString text() const;

    // Searches for the box's text and lists what it found. A text that Windows-1251 cannot hold
    // is refused in the information box and the list is emptied. Returns false when the search
    // was cancelled (the list then holds what was found up to there).
    bool search();
    // Stops a running search at its next step.
    void cancel() { cancelled_ = true; }
    bool isSearching() const { return searching_; }
    // Positions in the dictionary of the terms listed, in order.
    const std::vector<int>& found() const;
    // Chooses the term of list row row: sets chosenRow and closes the window with OK.
    void choose(int row);
    // The dictionary position of the chosen term, or -1.
    int chosenRow() const { return chosenRow_; }
    // Whether a search stopped because another program changed the dictionary's file; the
    // window then closed (rejected), and the dictionary is to be read afresh.
    bool dictionaryChanged() const { return dictionaryChanged_; }

    void reject() override;

    QLineEdit* edText = nullptr;
    QPushButton* btnFind = nullptr;
    QListView* lbFound = nullptr;
    QLabel* lbTotal = nullptr;
    QProgressBar* pbSearch = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    const TDictionary& dictionary_;
    TDialogs& dialogs_;
    TFoundTermsModel* model_;
    int chosenRow_ = -1;
    bool dictionaryChanged_ = false;
    bool searching_ = false;
    bool cancelled_ = false;
};
