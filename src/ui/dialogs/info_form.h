#pragma once

#include <QDialog>

#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TDialogs;
class TDictionary;

// The three header texts of a dictionary as the dictionary stores them (Windows-1251).
struct TInfoTexts {
    std::string name;
    std::string author;
    std::string info;  // lines joined by CR LF
};

// The dictionary information dialog: name, author, description and the number of terms of one
// dictionary. Read-only as built; MakeEditable lets the three texts be changed. The dialog only
// shows and collects texts: the main window writes them back.
class TInfoForm : public QDialog {
    Q_OBJECT

public:
    // Builds the dialog (client 265 × 288, "Информация", centred), not shown. dialogs shows
    // the refusal of a text that Windows-1251 cannot hold.
    explicit TInfoForm(TDialogs& dialogs, QWidget* parent = nullptr);
    ~TInfoForm() override;

    // The three boxes become editable and reachable by Tab; the window is centred again.
    void MakeEditable();
    // Shows dictionary's Name, Author, Info (its line breaks, CR LF or bare LF, as lines) and
    // its number of terms.
    void fill(const TDictionary& dictionary);
    // The boxes' texts in Windows-1251, the description's lines joined by CR LF; nullopt when
    // some character has no Windows-1251 byte (which "Ok!" never lets through).
    std::optional<TInfoTexts> texts() const;

    // Closing with OK is refused while a box holds a character Windows-1251 cannot hold: an
    // information box names it and the dialog stays open with everything typed.
    void done(int result) override;

    QLineEdit* edName = nullptr;
    QLineEdit* edAuthor = nullptr;
    QPlainTextEdit* edInfo = nullptr;
    QLabel* lbTotal = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

private:
    void createControls();

    TDialogs& dialogs_;
};
