#pragma once

#include <QDialog>

#include <exception>
#include <string>
#include <vector>

#include "platform/program_folder.h"

class QCheckBox;
class QGroupBox;
class QListWidget;
class QPushButton;
class QToolBar;
class QToolButton;
class TDialogs;
class TRegSetup;

// The settings dialog: which dictionaries start-up opens (the List section), edit mode, the
// splash and the tip of the day. It works straight on the settings store: the scan writes the
// list at once, everything else is written when the dialog closes with OK.
class TOptionsForm : public QDialog {
    Q_OBJECT

public:
    // Builds the dialog (client 213 × 337, wider only where the system's font needs more room
    // for a caption; "Настройки", centred) and fills it from regSetup.
    // A List Count that is not an integer is shown in an error box through dialogs and gives
    // an empty list; a missing or empty entry gives an empty unchecked item; entries are listed
    // up to the last one present, never beyond Count. The Sources entries follow as items
    // showing the file's name and its folder; a damaged Sources or Folders Count is shown the
    // same way and gives none. The scan looks in folders: the program folder, then the shared
    // data folders, then the source folders (folders.sources) and the added folders.
    TOptionsForm(TRegSetup& regSetup, program_folder::TFolders folders, TDialogs& dialogs,
                 QWidget* parent = nullptr);
    ~TOptionsForm() override;

    // The "Найти все словари" button: ScanDictionaries.
    void btnScanClick();
    // Lists every *.dic of the program folder and the data folders together in name order (a
    // name listed once), then every dictionary found in the source folders and the added ones
    // (dictionary_sources::find; one already listed by name left out), all checked, and
    // rewrites the List section ("+" + name for N1…, then Count) and the Sources section ("+" +
    // full path) at once. A name or path that Windows-1251 cannot hold (or the settings file
    // cannot keep) is left out, and those left out are shown in one information box afterwards.
    void ScanDictionaries();
    // The folders button beside the scan (a folder picture, tooltip "Папки со словарями"): the
    // window of the added folders (TSourceFoldersForm), shown through dialogs; with Ok its list
    // becomes the dialog's, searched by the next scan and stored on OK.
    void btnFoldersClick();
    // The added folders as the dialog now holds them (UTF-8 paths).
    const std::vector<std::string>& addedFolders() const { return addedFolders_; }
    // Runs as the dialog closes: with the result OK, writes each item as List "N"+number
    // ("+" checked, "-" not, then the name) and EditMode, ShowLogo, ShowTip ("1"/"0"); with any
    // other result writes nothing. The items found elsewhere go to Sources, rewritten as a
    // whole, and a changed list of added folders to Folders. The close is always allowed.
    void FormCloseQuery(bool& canClose);

    // Every way of closing (the buttons, Enter, Escape, the close box) passes here.
    void done(int result) override;

    QToolBar* ToolBar1 = nullptr;
    QToolButton* btnScan = nullptr;
    QToolButton* btnFolders = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QListWidget* CheckListBox = nullptr;
    QCheckBox* chkEditMode = nullptr;
    QCheckBox* chkLogo = nullptr;
    QCheckBox* chkTip = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

private:
    void createControls();
    void fillFromSettings();
    // Appends an item showing name (Windows-1251 bytes, kept exactly for writing back): a bare
    // name of List, or (source) a full path of Sources, shown as its file name and folder.
    void appendItem(const std::string& name, bool checked, bool source = false);
    // Shows a failure to read the settings in the error box.
    void reportError(const std::exception& error);

    TRegSetup& regSetup_;
    program_folder::TFolders folders_;
    TDialogs& dialogs_;
    std::vector<std::string> addedFolders_;
    bool foldersChanged_ = false;
};
