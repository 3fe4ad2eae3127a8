#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QRect>
#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/parallel_load.h"
#include "platform/program_folder.h"
#include "settings/program_identity.h"
#include "ui/dialogs.h"
#include "ui/widgets/search_box.h"

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
class QTimer;
class QToolBar;
class TMainFormView;
class TRegSetup;
class TTrayIcon;
class TWordForm;
class TWordForms;
class TWordListModel;
struct TInstanceRequest;

// The main window: one tab per open dictionary, the search box with its history, the word list
// and every command of the program. Row i of the word list is always term i of the current
// dictionary DicList[CurDic]; the state that keeps this so is private and changes only through
// the operations of main_form_dictionaries.cpp. Tests and benchmarks read it through
// TMainFormView.
//
// The window's code lies in files by concern: main_form.cpp (construction and actions),
// main_form_dictionaries.cpp (the open dictionaries and their tabs), main_form_lookup.cpp
// (search box, word list, translation windows), main_form_edit.cpp (editing commands),
// main_form_exit.cpp (leaving), main_form_import.cpp (the text import), main_form_frame.cpp
// (menus, tool bar, status bar, tray), main_form_dialogs.cpp (the dialogs the window owns),
// main_form_recovery.cpp (unsaved work kept when the program is ended from outside) and
// main_form_indexing.cpp (tabs whose term index is being made, files changed under the window).
class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    // Builds the window over the settings store and the folders (the program folder, then the
    // shared data folders: where the start-up dictionaries are looked for) and runs FormCreate.
    // dialogs answers every modal question; nullptr means Qt's own boxes.
    TMainForm(TRegSetup& regSetup, program_folder::TFolders folders,
              std::unique_ptr<TDialogs> dialogs = nullptr, QWidget* parent = nullptr);
    ~TMainForm() override;

    TDialogs& dialogs() { return *dialogs_; }
    TRegSetup& regSetup() { return regSetup_; }
    // The current dictionary, or nullptr when none is open or the current tab's is still being
    // prepared (its index is being made). Its terms change only through the window's commands.
    const TDictionary* currentDictionary() const;
    // The selected row of the word list, or -1.
    int selectedRow() const;
    // The caption of tab index: the dictionary's file name without its folder, as it is.
    QString tabCaption(int index) const;
    // Open viewing translation windows, oldest first.
    const std::vector<TWordForm*>& translationWindows() const { return wordForms_; }
    // The open viewing window whose term box shows exactly term (bytes in the current
    // dictionary's text form, case included), or nullptr.
    TWordForm* translationWindowFor(const std::string& term) const;

    // Runs one handler; an error it raises is shown in the error box and swallowed, so errors
    // never cross the event loop.
    void guarded(const std::function<void()>& handler);

    // --- Creation and dictionaries ---
    // Title, start-up dictionaries, history, edit-mode menus. A failure in one step is shown
    // in the error box and the later steps still run.
    void FormCreate();
    // Opens the dictionaries that List names ("+name", a bare name looked for in the program
    // folder, then the data folders), then those Sources names ("+path", a full path); or, when
    // neither names any (List's Count 0 or less, no Sources), every *.dic of those folders
    // together (a name of the program folder hiding the same name in a data folder), then every
    // dictionary found in the source folders and the folders the user added. Selects the first
    // tab. A bad Count is reported and the list it counts treated as empty; a file that fails to
    // load is reported and skipped.
    void LoadDics();
    // Opens the file into a new current tab (addDictionary). Raises the load's error; no tab
    // is added then.
    void OpenDic(const std::string& fileName);
    // Puts dictionary into a new last tab captioned caption and makes it current as a tab
    // change does (TabSetChange); the dictionary group goes on. Returns the tab's index.
    int addDictionary(std::unique_ptr<TDictionary> dictionary, const QString& caption);
    // Makes dictionary newTab current: word list refilled (one reset, no row selected), terms
    // group enabled by its count, title, empty search box. Sets allowChange.
    void TabSetChange(int newTab, bool& allowChange);

    // --- Look-up ---
    // Selects the first row whose term begins with the search text (case folded; in a
    // Windows-1251 dictionary letters the code page lacks in the form it holds them, é as e, in
    // a UTF-8 one as written); leaves the selection alone when none does or the text is empty.
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
    // Asks for a text file with the open dialog and imports it (ImportText); nothing without a
    // current dictionary or while an import runs.
    void actImportExecute();
    // Imports the text file at path into the current dictionary under a progress window that
    // keeps the rest of the program out of reach until it ends, showing each term in the status
    // bar; then the word list is shown afresh (once, also after Cancel or an error) and the terms
    // group follows the count. Raises "Cannot open file %s" or "Stream read error", the
    // dictionary then unchanged. Nothing without a current dictionary or while an import runs.
    void ImportText(const std::string& path);
    // The close confirmation; sets canClose. Yes stores the search history (storeHistory).
    void FormCloseQuery(bool& canClose);
    // Puts the search box's history into the settings store (section History: Count and the
    // numbered entries, the last used first), replacing what the section held.
    void storeHistory();

    // --- Ended from outside (main_form_recovery.cpp) ---
    // Writes each dictionary with unsaved changes to a file of its own in recovery/ of the
    // program folder (never over the dictionary's own file, through the atomic save), its name
    // recording the dictionary's file; the files an earlier call wrote are replaced. The
    // dictionaries stay as they are. Returns how many could not be written; never raises.
    int writeRecovery();
    // Asks, for each recovery file an earlier run left, whether to restore it. Yes opens it as
    // an unsaved tab under its own file's name, so Save writes it where it came from; No
    // discards the file; a box closed without an answer keeps it for the next start. A file
    // that cannot be read is reported and kept.
    void offerRecovery();
    // The desktop session is ending. When the session lets the program ask (mayInteract), the
    // exit command's questions and the close confirmation come first, and a No answers false:
    // the session should not end. Then everything still unsaved goes to recovery files
    // (writeRecovery), the search history goes into the settings store as a normal end puts
    // it, and the answer is true; a close that follows asks nothing more.
    bool commitSession(bool mayInteract);

    // --- Frame ---
    // F1: hands the help file to the desktop's viewer; a missing file is not reported.
    void actSpravkaExecute();
    // Hands the program's web address to the desktop's browser.
    void actWebExecute();
    // "Запустить": brings the program back from the notification area and to the front.
    void actOpenWinExecute();
    // Each shows or hides its bar and ticks itself while the bar shows.
    void actToolBarExecute();
    void actStatusBarExecute();
    // The application's current hint (already cut to its shown half) into the status bar.
    void ApplicationEvents1Hint(const QString& hint);

    // --- Settings, information and about (main_form_dialogs.cpp) ---
    // The settings dialog (F8); after OK the editing menus follow the stored EditMode at once.
    void actSetupExecute();
    // The current dictionary's header in the information dialog, editable when EditMode is
    // "1"; OK writes the three texts back and marks the dictionary modified, even unchanged.
    // Nothing without a dictionary.
    void actInfoExecute();
    // The about window, modal, owned by the application.
    void actAboutExecute();

    // --- Reach from the desktop and from articles (main_form_desktop.cpp) ---
    // Carries out a request of a later start: Show brings the program forward; Lookup and
    // Selection look up the word (lookUpWord) or the desktop's selected text; Open opens the
    // file into a new tab as Open does, its errors in the error box. While a modal window is
    // shown or an import runs (and, for a look-up, while a tab is being prepared), the request
    // waits for them, in order, but never without bound: a
    // new look-up replaces one that waits, a request like one that waits is dropped, and beyond
    // kWaitingRequests waiting requests a new one is dropped and the status bar says so.
    void carryOut(const TInstanceRequest& request);
    static constexpr int kWaitingRequests = 8;
    // Brings the program forward: out of the notification area, no longer minimised, in front.
    void comeForward();
    // Comes forward and puts word, in the form the current dictionary would hold it (a
    // Windows-1251 one: lookupForm, é as e; a UTF-8 one: as written), into the search box as if
    // typed, then opens the term's translation window (openTerm). While no UTF-8 dictionary is
    // open, a word with a character that has no Windows-1251 form is refused in the information
    // box, which names that character, and nothing else happens.
    void lookUpWord(const QString& word);
    // Looks term up (case ignored, in each dictionary's form: see openThroughForms) in the
    // current dictionary, then in the others in tab order; the first that has it becomes current
    // and the term's translation window opens as from the word list. When none has it, the status
    // bar says so and false comes back.
    bool openTerm(const QString& term);
    // «Найти в статьях…»: asks for a text and lists the current dictionary's terms whose
    // articles contain it; the term chosen there opens in its translation window.
    void actSearchArticlesExecute();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Coming back to the window looks whether another program changed an open dictionary.
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Requests that wait for a modal window or an import (carryOut): one more is kept, or not.
    void keepWaiting(const TInstanceRequest& request);
    // Carries out the waiting requests, oldest first, for as long as nothing holds the window.
    void carryOutWaiting();
    void carryOutNow(const TInstanceRequest& request);
    // Runs the exit command from the event loop as soon as no modal window is open.
    void leaveWhenNothingIsModal();
    // How much the window manager's frame adds to a window shown on this desktop: the largest
    // frame round the main window or an open translation window; nothing before any is framed.
    QSize decorationSize() const;
    friend class TMainFormView;

    // The settings section of the search box's history: Count plus the numbered entries, the
    // last used first.
    static constexpr const char* kHistorySection = "History";

    // --- Construction (main_form.cpp) ---
    // The one place where actions are made: caption, category, hint, shortcut, enabled state
    // and handler. Menus, tool bar and tray only place them.
    void createActions();
    void createCentralWidgets();
    QAction* newAction(const QString& caption, const QString& category, const QString& hint,
                       const QKeySequence& shortcut, bool enabled);
    void setActionImages();      // each action's picture by its image number
    void createUnusedActions();  // the handler-less actions, placed nowhere
    // Shows the error's message in the error box; the one way a window reports an error.
    void reportError(const std::exception& error);

    // --- Frame (main_form_frame.cpp) ---
    void createMenus();
    void createToolBar();
    void createStatusBar();  // with the hint shown in it
    void createViewMenu();   // the two view toggles, on the bars' context menus
    void createTrayIcon();
    void applyFonts();

    // --- Dialogs (main_form_dialogs.cpp) ---
    // A file dialog of Open (AcceptOpen) or Save, made for one showing: a dialog that stays
    // would watch its folder and read its files' headers at every change there, all day long.
    // With otherFormats, the open dialog also offers the dictionaries of other programs, which
    // Open reads in place.
    std::unique_ptr<QFileDialog> makeFileDialog(int acceptMode, bool otherFormats = false);
    // The "Словарь" and "Слова" menus shown exactly when EditMode is "1".
    void applyEditMode();

    // --- The open dictionaries (main_form_dictionaries.cpp) ---
    // Every change to DicList, CurDic, the tabs or the current dictionary's terms goes through
    // these, so that the tabs, the word list with its prefix index, the title and the action
    // groups always agree.
    TDictionary* editableDictionary();  // the current dictionary, or nullptr
    // Starts reading and parsing the start-up dictionaries in the background while the window
    // is built; LoadDics then opens them into tabs.
    void startLoadingDics();
    // The start-up dictionaries as loaded, opened into tabs one by one in the order of paths as
    // OpenDic would; each error goes to the error box in its place.
    void openDicsReporting(const std::vector<std::string>& paths,
                           std::vector<TLoadedDictionary> loaded);
    // The tab of a dictionary loaded from fileName, named after the file (tabCaptionOf).
    void addLoadedDic(const std::string& fileName, std::unique_ptr<TDictionary> dictionary);
    // Removes the current dictionary and its tab; the neighbour (the next tab, else the
    // previous one) becomes current as a tab change does. With none left: empty word list,
    // both groups off, bare title, empty search box.
    void closeCurrentDictionary();
    // Stores the current dictionary's Name, Author and Info (Windows-1251), each setter marking
    // it modified; the title is left as it is until the tab is selected again.
    void setCurrentHeader(const std::string& name, const std::string& author,
                          const std::string& info);
    // AddTerm on the current dictionary with its row inserted in place, then termsChanged.
    // Returns the new row, or -1 (nothing changes) when an equal term is present.
    int insertTerm(const std::string& term, const std::string& article);
    // Delete of row on the current dictionary with its row removed, then termsChanged.
    void removeTerm(int row);
    // Replaces the term of row by term and article (which may sort elsewhere); the caller has
    // made sure no other term equals term. Returns the term's new row.
    int replaceTerm(int row, const std::string& term, const std::string& article);
    // After a bulk change of the current dictionary's terms (an import): the word list shows
    // them again in one reset, the prefix index is rebuilt, no row is selected, and the terms
    // group follows the count. The search text and the title stay.
    void reloadWordList();
    // The terms group after the current dictionary's terms changed: all four on while it holds
    // a term; with none left, Save, Delete and Edit go off and Translate keeps its state (with
    // no row selected it does nothing).
    void termsChanged();
    // Selects a tab with the strip's signal blocked and runs TabSetChange once when the
    // selection changed (or when force is set). Code that adds or removes tabs blocks the
    // strip's signals itself (QSignalBlocker): only the user's clicks reach TabSetChange.
    void selectTab(int index, bool force = false);
    void refillWordList();  // one model reset over DicList[CurDic]
    // actSave, actSub, actEdit and, with translateToo, actTranslate; Delete and Edit never on
    // a read-only dictionary.
    void setTermsGroupEnabled(bool enabled, bool translateToo = true);
    // actClose, actInfo, actAdd, actImport; Add and Import never on a read-only dictionary.
    void setDictionaryGroupEnabled(bool enabled);
    bool currentReadOnly() const;           // whether the current dictionary is read-only
    void applyTitle();                      // title rule for the current dictionary
    int appendTab(const QString& caption);  // signals blocked; returns the tab's index
    void setTabCaption(int index, const QString& caption);

    // Removes dictionary index and its tab: the current one as closeCurrentDictionary does,
    // another one leaving the current tab as it is.
    void removeDictionary(int index);
    // The error box of a dictionary file that could not be opened: its message, naming the
    // file when the message does not already.
    void reportDicError(const std::string& path, const std::exception& error);

    // --- Tabs being prepared (main_form_indexing.cpp) ---
    // A tab whose dictionary file has no term index made yet: its slot in DicList holds an
    // empty stand-in, which nothing may read or write, until the index is made on a thread of
    // its own; then the dictionary takes the slot. One index is made at a time, the current
    // tab's first, then in tab order, so the window keeps a processor to itself.
    struct TPreparing {
        const TDictionary* slot = nullptr;  // the stand-in in DicList
        std::string path;
        std::unique_ptr<TIndexBuild> build;  // under way, or not started yet
    };
    // Puts path's tab into the preparing state in the slot of DicList index (or, with index
    // -1, as a new last tab captioned after the file, not made current).
    void prepareTab(int index, const std::string& path);
    bool isPreparing(int index) const;
    const TPreparing* preparingOf(const TDictionary* slot) const;  // nullptr when not prepared
    // Takes a finished index into its tab, starts the next one and shows the progress; the
    // timer runs this while any tab is being prepared.
    void advancePreparing();
    // The word list's line for a tab being prepared, when it is current.
    void showPreparingProgress();
    // Drops what the window keeps beside DicList for a dictionary that closes or is replaced:
    // its suggestion index, and its preparing, whose making is cancelled.
    void forgetDictionary(const TDictionary* dictionary);
    // Puts dictionary into slot index of DicList; the one there goes.
    void replaceDictionary(int index, std::unique_ptr<TDictionary> dictionary);
    // Reads dictionary index afresh through a new index after another program changed its
    // file, saying so in the status bar. A dictionary with unsaved changes is never read
    // through its index, so it is never reloaded. Returns whether it was.
    bool reloadChangedDictionary(int index);
    // Before a command that may load dictionary index whole (every edit, a save, an import) or
    // before its tab shows: when its file was changed by another program, reads it afresh
    // instead and answers true, so nothing the user is about to type is lost to a load that
    // cannot be.
    bool reloadIfChanged(int index);
    // Reloads every open dictionary whose file another program changed; true when one was.
    bool reloadChangedDictionaries();
    // After a read raised TDictionaryChanged: reloads the dictionaries whose files changed, or
    // the current one when none tells (its read found a record other than the one indexed).
    void dictionaryChanged();

    // --- Look-up (main_form_lookup.cpp) ---
    void connectLookupSignals();
    void setSearchText(const QString& text);  // code-set text: runs no user handler
    void selectRow(int row);                  // code-set selection: runs no ListBoxClick
    void loadHistory();
    // Term and article are the current dictionary's texts, in its form.
    void showTranslationWindow(const std::string& term, const std::string& article);
    // The current dictionary's text form; Windows-1251 without one.
    TTextForm currentTextForm() const;
    // Keeps the size of every translation window whose closing is asked for (WordWidth,
    // WordHeight), so the next viewing window opens at it.
    void rememberSizeOf(TWordForm& form);
    void typeToFind(const QString& text);  // the word list's own type-to-find

    // --- Word forms and suggestions (main_form_forms.cpp) ---
    // Enter in the search box: typed text that is no term of the current dictionary but a
    // form of one opens that term; otherwise the selected row opens (ShowTranslation), and
    // with none selected the text gets suggestions.
    void enterSearchText();
    // Looks word up as written, then cleaned of the punctuation around it, through its ё/е
    // variants and its dictionary forms: each candidate in the current dictionary, then
    // (allTabs) in the others in tab order. The term found becomes current and opens; a term
    // that is not the word as written is named in the status bar. False when nothing answers.
    // Word forms work on Windows-1251, so the word goes to them as a Windows-1251 dictionary
    // would hold it (é as e); a UTF-8 dictionary is first asked for the word exactly as
    // written, and then for each candidate.
    bool openThroughForms(const QString& word, bool allTabs);
    // Offers the terms near word (as a Windows-1251 dictionary would hold it), from the open
    // dictionaries in tab order, current first, in a list under the search box; choosing one
    // looks it up. Nothing when there are none.
    void offerSuggestions(const QString& word);
    // Drops the suggestion index of dictionary: its terms changed, or it closes.
    void forgetSuggestions(const TDictionary* dictionary);
    TWordForms& morphology();

    // --- Editing and leaving (main_form_edit.cpp, main_form_exit.cpp) ---
    // Shows the open dialog (one for Open and the import alike, so each offers the file chosen
    // last by either); the chosen path with the default extension added to a bare name, or empty.
    // otherFormats as for makeFileDialog.
    QString chooseFileToOpen(bool otherFormats);
    // Shows the save dialog offering proposal; the chosen path with the default extension added
    // to a bare name (its folder is then the one last used), or empty.
    QString chooseFileToSave(const QString& proposal);
    // The file Save offers for the current dictionary: its own file; for a bundled dictionary
    // read in place from a data folder, the same name in the program folder, where the saved
    // copy then hides the bundled one; for a new dictionary, its caption in the folder a file
    // dialog was last used in, else in the program folder.
    QString saveProposal() const;
    // On a tab whose dictionary is read-only (another format's, read in place), tells the user
    // so in the information box and answers true: the command that asked changes nothing.
    bool refusedAsReadOnly();
    // Save on a read-only dictionary: asks where, and writes there a copy in the program's
    // format converted as the converters convert (folded to Windows-1251), then reports the
    // conversion's counts in the information box. The tab keeps showing the source. A path
    // that leads to one of the source's own files is refused with a warning.
    void saveConvertedCopy();
    // The file the copy's save dialog offers: the source's name as a .dic, in the folder a
    // file dialog was last used in, else in the program folder.
    QString convertedCopyProposal() const;
    // Asks about each modified dictionary in tab order; false as soon as one answer is No.
    bool confirmUnsavedDictionaries();
    // Shows an adding/editing window until it is cancelled (false) or accepted with a term
    // and an article that Windows-1251 can hold (true, the texts in term and article).
    bool runWordForm(TWordForm& form, std::string& term, std::string& article);

    // --- State: positions of the next translation window, the open dictionaries ---
    int WordTop = 0;
    int WordLeft = 0;
    int CurDic = -1;
    std::vector<std::unique_ptr<TDictionary>> DicList;
    int WordWidth = 0;
    int WordHeight = 0;

    // --- Controls and actions (owned by Qt parenthood) ---
    TSearchBox* cmbString = nullptr;
    QListView* ListBox = nullptr;
    QTabBar* TabSet = nullptr;
    QStatusBar* StatusBar = nullptr;
    QToolBar* ToolBar = nullptr;
    QMenu* mnFile = nullptr;
    QMenu* mnDic = nullptr;
    QMenu* mnWord = nullptr;
    QMenu* mnHelp = nullptr;
    QMenu* PopupMenu = nullptr;
    TTrayIcon* TrayIcon1 = nullptr;

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
    QAction* actSearchArticles = nullptr;

    TRegSetup& regSetup_;
    program_folder::TFolders folders_;
    std::unique_ptr<TDialogs> dialogs_;
    // The start-up load under way from construction to LoadDics, and the errors that reading the
    // list's sections gave (reported by LoadDics, first, as the list is read).
    std::unique_ptr<TBackgroundLoad> startupLoad_;
    std::vector<std::exception_ptr> listErrors_;
    TWordListModel* wordListModel_ = nullptr;
    std::vector<TWordForm*> wordForms_;
    bool settingText_ = false;       // the code is writing the search box
    bool settingSelection_ = false;  // the code is selecting a row of the word list
    QString typedBeginning_;
    QElapsedTimer typeToFindTimer_;
    bool closeConfirmed_ = false;  // the exit command has already asked about unsaved work
    bool importRunning_ = false;   // an import holds the current dictionary
    // A close or exit asked for while an import ran; it is carried out once the import has ended.
    bool leaveAfterImport_ = false;
    QString lastFolder_;  // the folder of the file last chosen in a file dialog
    QString lastOpened_;  // the file last chosen in the open dialog, offered by the next one
    std::vector<std::string> recoveryWritten_;  // the recovery files this run wrote
    bool sessionConfirmed_ = false;             // the session's end has asked the exit questions
    // The frame of the viewing window whose article led to the next one, which then opens
    // beside it instead of at the cascade point; used once.
    std::optional<QRect> besideOf_;
    // The word forms, loaded on first need, and the suggestion index of each dictionary
    // (main_form_forms.cpp); shared pointers so that this header needs neither type whole.
    std::shared_ptr<TWordForms> morphology_;
    struct TSuggestCache;
    std::shared_ptr<TSuggestCache> suggestCache_;
    QMenu* suggestionMenu_ = nullptr;
    QString lastArticleSearch_;  // offered again by the next «Найти в статьях…»
    std::vector<TInstanceRequest> waitingRequests_;  // oldest first, at most kWaitingRequests
    QTimer* waitingRetry_ = nullptr;                 // looks again whether the window is free
    std::vector<TPreparing> preparing_;  // tabs whose index is being made, in no given order
    QTimer* preparingTimer_ = nullptr;   // polls the making of an index while one is under way
};
