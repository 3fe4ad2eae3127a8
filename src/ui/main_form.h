#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "settings/program_identity.h"
#include "ui/dialogs.h"

class QAction;
class QComboBox;
class QFileDialog;
class QKeyEvent;
class QKeySequence;
class QListView;
class QMenu;
class QStatusBar;
class QSystemTrayIcon;
class QTabBar;
class QToolBar;
class TRegSetup;
class TWordForm;
class TWordListModel;

// The main window: one tab per open dictionary, the search box with its history, the word list
// and every command of the program. Row i of the word list is always term i of the current
// dictionary DicList[CurDic].
class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    // Builds the window over the settings store and the program folder (where the start-up
    // dictionaries are looked for) and runs FormCreate. dialogs answers every modal question;
    // nullptr means Qt's own boxes.
    TMainForm(TRegSetup& regSetup, std::string programFolder,
              std::unique_ptr<TDialogs> dialogs = nullptr, QWidget* parent = nullptr);
    ~TMainForm() override;

    // --- State (positions of the next translation window, the open dictionaries) ---
    int WordTop = 0;
    int WordLeft = 0;
    int CurDic = -1;
    std::vector<std::unique_ptr<TDictionary>> DicList;
    int WordWidth = 0;
    int WordHeight = 0;

    // --- Controls and actions (owned by Qt parenthood) ---
    QComboBox* cmbString = nullptr;
    QListView* ListBox = nullptr;
    QTabBar* TabSet = nullptr;
    QStatusBar* StatusBar = nullptr;
    QToolBar* ToolBar = nullptr;
    QMenu* mnFile = nullptr;
    QMenu* mnDic = nullptr;
    QMenu* mnWord = nullptr;
    QMenu* mnHelp = nullptr;
    QMenu* PopupMenu = nullptr;
    QFileDialog* OpenDialog = nullptr;
    QFileDialog* SaveDialog = nullptr;

    QAction* actTranslate = nullptr;
    QAction* actInfo = nullptr;
    QAction* actSetup = nullptr;
    QAction* actExit = nullptr;
    QAction* actNew = nullptr;
    QAction* actOpen = nullptr;
    QAction* actClose = nullptr;
    QAction* actSave = nullptr;
    QAction* actAdd = nullptr;
    QAction* actSub = nullptr;
    QAction* actEdit = nullptr;
    QAction* actSpravka = nullptr;
    QAction* actWeb = nullptr;
    QAction* actAbout = nullptr;
    QAction* actOpenWin = nullptr;
    QAction* actToolBar = nullptr;
    QAction* actStatusBar = nullptr;
    QAction* actImport = nullptr;

    TDialogs& dialogs() { return *dialogs_; }
    TRegSetup& regSetup() { return regSetup_; }
    const std::string& programFolder() const { return programFolder_; }
    // The current dictionary, or nullptr when none is open.
    TDictionary* currentDictionary();
    // The selected row of the word list, or -1.
    int selectedRow() const;
    // The caption of tab index: the dictionary's file name without its folder, as it is.
    QString tabCaption(int index) const;
    // Open viewing translation windows, oldest first.
    const std::vector<TWordForm*>& translationWindows() const { return wordForms_; }
    // The open viewing window whose term box shows exactly term (bytes, case included), or
    // nullptr.
    TWordForm* translationWindowFor(const std::string& term) const;

    // Runs one handler; an error it raises is shown in the error box and swallowed, so errors
    // never cross the event loop.
    void guarded(const std::function<void()>& handler);

    // --- Creation and dictionaries ---
    // Title, start-up dictionaries, history, edit-mode menus. A failure in one step is shown
    // in the error box and the later steps still run.
    void FormCreate();
    // Opens the dictionaries that List names ("+name", program folder only) or, with a Count
    // of 0 or less, every *.dic of the folder; selects the first tab. A bad Count is reported
    // and treated as 0; a file that fails to load is reported and skipped.
    void LoadDics();
    // Opens the file into a new current tab. Raises the load's error; no tab is added then.
    void OpenDic(const std::string& fileName);
    // Makes dictionary newTab current: word list refilled (one reset, no row selected), terms
    // group enabled by its count, title, empty search box. Sets allowChange.
    void TabSetChange(int newTab, bool& allowChange);

    // --- Look-up ---
    // Selects the first row whose term begins with the search text (case folded); leaves the
    // selection alone when none does or the text is empty.
    void cmbStringChange();
    // Enter (non-empty text): ShowTranslation. Down/Up with a row that can move: moves it,
    // puts its term into the box all selected, and consumes the key unless Alt is held.
    // Returns true when the key was consumed.
    bool cmbStringKeyDown(QKeyEvent* event);
    // Puts the selected row's term into the search box, all selected; nothing without a row.
    void ListBoxClick();
    void ListBoxDblClick();
    // Enter (13) runs ShowTranslation; other characters are the list's own.
    void ListBoxKeyPress(QChar key);
    // With a selected row: history, search text, and a viewing window for the term (an open
    // one showing exactly that term comes forward instead). Nothing without a row.
    void ShowTranslation();
    // Moves a known term (case ignored, stored case kept) or inserts term at the top; an
    // insertion removes the 11th entry if there is one. The search text stays.
    void AddHistory(const QString& term);
    void actTranslateExecute();

    // --- Editing and leaving ---
    void actNewExecute();
    void actOpenExecute();
    void actSaveExecute();
    void actCloseExecute();
    void actAddExecute();
    void actSubExecute();
    void actEditExecute();
    void actExitExecute();
    // The close confirmation; sets canClose.
    void FormCloseQuery(bool& canClose);

    // Called by a viewing translation window when it is destroyed.
    void forgetTranslationWindow(TWordForm* form);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createStatusBar();
    void createCentralWidgets();
    void createDialogs();

    // The editing and leaving part.
    // Asks about each modified dictionary in tab order; false as soon as one answer is No.
    bool confirmUnsavedDictionaries();
    // Shows an adding/editing window until it is cancelled (false) or accepted with a term
    // and an article that Windows-1251 can hold (true, the texts in term and article).
    bool runWordForm(TWordForm& form, std::string& term, std::string& article);

    // The look-up part.
    // Selects a tab with the strip's signal blocked and runs TabSetChange once when the
    // selection changed (or when force is set). Code that adds or removes tabs blocks the
    // strip's signals itself (QSignalBlocker): only the user's clicks reach TabSetChange.
    void selectTab(int index, bool force = false);
    void refillWordList();                         // one model reset over DicList[CurDic]
    void setTermsGroupEnabled(bool enabled);       // actSave, actSub, actEdit, actTranslate
    void setDictionaryGroupEnabled(bool enabled);  // actClose, actInfo, actAdd
    void applyTitle();                             // title rule for the current dictionary
    int appendTab(const QString& caption);         // signals blocked; returns the tab's index
    void setTabCaption(int index, const QString& caption);
    void setSearchText(const QString& text);  // code-set text: runs no user handler
    void selectRow(int row);                  // code-set selection: runs no ListBoxClick
    void loadHistory();
    void showTranslationWindow(const std::string& term, const std::string& article);
    QAction* newAction(const QString& caption, const QString& category, const QString& hint,
                       const QKeySequence& shortcut, bool enabled);
    void connectLookupSignals();
    void openDicReporting(const std::string& path);  // OpenDic; an error goes to the error box
    void typeToFind(const QString& text);            // the word list's own type-to-find

    TRegSetup& regSetup_;
    std::string programFolder_;
    std::unique_ptr<TDialogs> dialogs_;
    TWordListModel* wordListModel_ = nullptr;
    std::vector<TWordForm*> wordForms_;
    bool settingText_ = false;       // the code is writing the search box
    bool settingSelection_ = false;  // the code is selecting a row of the word list
    QString typedBeginning_;
    QElapsedTimer typeToFindTimer_;
    bool closeConfirmed_ = false;  // the exit command has already asked about unsaved work
};
