#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class TDialogs;

// The folders the user adds to the search for dictionaries (besides the program's own folders
// and the system's dictd and StarDict folders): a list with "Добавить…" and "Удалить", closed
// with "Ok" or "Отмена". Folders are chosen with a folder dialog shown through dialogs.
class TSourceFoldersForm : public QDialog {
    Q_OBJECT

public:
    // folders: the added folders so far (UTF-8 paths), shown in that order.
    TSourceFoldersForm(std::vector<std::string> folders, TDialogs& dialogs,
                       QWidget* parent = nullptr);
    ~TSourceFoldersForm() override;

    // The folders as the list now holds them, in order.
    const std::vector<std::string>& folders() const { return folders_; }

    // Asks for a folder and appends it. A folder already listed (by any path) is selected, not
    // listed twice; a path that is not a folder, or one the settings file cannot hold (a
    // character Windows-1251 lacks, blanks at its end, too long), is refused with a warning
    // that says why. Nothing happens when the folder dialog is cancelled.
    void btnAddClick();
    // Removes the selected folder; nothing without one.
    void btnRemoveClick();

    QLabel* lbInfo = nullptr;
    QListWidget* lbFolders = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnRemove = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

private:
    void refill(int selected);

    std::vector<std::string> folders_;
    TDialogs& dialogs_;
};
