#pragma once
// What the window tests share: a temporary program folder with dictionaries written by the
// core and a settings store over its termovel.ini, the main window built over both with every
// modal question answered by a TFakeDialogs script, and the window's state read back as text.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/reg_setup.h"
#include "support/fake_dialogs.h"
#include "ui/main_form/main_form.h"
#include "ui/main_form/main_form_view.h"

class QDialog;
class QFileDialog;
class TDictionary;
class TWordForm;

namespace rig {

// Text as the core holds it (Windows-1251 bytes; the text must fit the code page) and back.
std::string cp(const QString& text);
std::vector<std::string> cp(const QStringList& texts);
QString qs(std::string_view cp1251);

// One dictionary file to lay into the program folder before the window starts.
struct TDicFile {
    QString fileName;
    QString name;                                    // the dictionary's Name
    std::vector<std::pair<QString, QString>> terms;  // term, article
};

// Writes the dictionary through the core's own save.
void writeDic(const QString& path, const TDicFile& file);

QStringList termsOf(const TDictionary& dictionary);

// --- The window read back ---
QStringList rows(const TMainForm& form);         // the word list, top down
QStringList tabs(const TMainForm& form);         // the tab captions, left to right
QStringList history(const TMainForm& form);      // the search box's entries, top down
QStringList windowTerms(const TMainForm& form);  // the open translation windows' terms
// Enabled states as "1"/"0" in the order Close, Info, Add, Save, Sub, Edit, Translate.
QString states(const TMainForm& form);
QString status(const TMainForm& form);  // the status bar's message
// Every open translation window shows "article of <its term>", as TLookupFolder writes them.
bool ownArticles(const TMainForm& form);

// --- The user's clicks ---
void clickTab(TMainForm& form, int index);
void clickRow(TMainForm& form, int row);  // selects the row

// Points $XDG_CACHE_HOME at a folder of this test process's own (made once), so that the term
// indexes the window makes never touch the user's cache. Every rig that builds a window calls
// it first.
void useOwnCache();
// Runs the event loop until no tab of the window is being prepared any more (each index made,
// or its error shown); false when that takes longer than timeoutMs.
bool waitUntilPrepared(TMainForm& form, int timeoutMs = 20000);

}  // namespace rig

// A program folder for one window test: fill it (dictionaries, settings), then open() builds
// the main window over it; dialogs() then records every box the window showed.
class TLookupFolder {
public:
    TLookupFolder();
    ~TLookupFolder();

    std::string path() const { return dir_.path().toStdString(); }
    std::string file(const std::string& name) const { return path() + "/" + name; }
    TRegSetup& setup() { return *setup_; }

    // A dictionary of the given terms (Windows-1251 bytes), each with the article
    // "article of <term>".
    void writeDic(const std::string& fileName, const std::vector<std::string>& terms,
                  const std::string& name = "");

    // Fills a list-type settings section: Count then N1..Nn.
    void writeList(const std::string& section, const std::string& count,
                   const std::vector<std::string>& entries);
    // Makes the term index of a file in the cache now, so that its tab opens at once.
    bool makeIndex(const std::string& fileName) const;

    // prepare, when given, scripts the dialogs before the window is built (and loads). The
    // window comes back with every tab ready (rig::waitUntilPrepared) unless untilPrepared is
    // false, when tabs whose index is still to be made are being prepared.
    TMainForm& open(const std::function<void(TFakeDialogs&)>& prepare = {},
                    bool untilPrepared = true);
    TMainForm& form() { return *form_; }
    TFakeDialogs& dialogs() { return *dialogs_; }

    // The folders where dictionaries found elsewhere are searched (none by default, so that
    // the machine's own dictionaries never reach a test).
    std::vector<std::string> sourceFolders;

private:
    QTemporaryDir dir_;
    std::unique_ptr<TRegSetup> setup_;
    TFakeDialogs* dialogs_ = nullptr;
    std::unique_ptr<TMainForm> form_;
};

namespace rig {

// A main window over a program folder built from file descriptions and settings at once, with
// scripted answers for the adding/editing window and the file dialogs.
class TWindow {
public:
    // Lays the files into a fresh program folder (opened in name order at start) and builds
    // the window with the settings given as (section, key, value).
    explicit TWindow(const std::vector<TDicFile>& files = {},
                     const std::vector<std::array<std::string, 3>>& settings = {});

    QString path(const QString& fileName) const;

    // --- Scripted answers ---
    // The next modal window gets term and article typed in and is accepted.
    void typeIntoNextWindow(const QString& term, const QString& article);
    void cancelNextWindow();
    // The next file dialog chooses fileName inside the program folder (or an absolute path).
    void chooseFile(const QString& fileName);
    void cancelFileDialog() { fileAnswers.push_back(QString()); }

    // --- Observations ---
    QStringList rows() const { return rig::rows(*form); }
    QStringList tabs() const { return rig::tabs(*form); }
    QString states() const { return rig::states(*form); }
    const TDictionary& dic(int index) const { return TMainFormView(*form).dic(index); }

    // Selects a row as the user's click does.
    void clickRow(int row);

    TRegSetup* setup = nullptr;
    TFakeDialogs* fake = nullptr;
    TMainForm* form = nullptr;
    std::deque<std::function<int(TWordForm&)>> modalAnswers;
    std::deque<QString> fileAnswers;
    // What the window showed when each modal window came up: caption, term, article.
    std::vector<QStringList> modalSeen;
    // The file name each file dialog offered when it came up.
    QStringList offeredFiles;

private:
    int answerModal(QDialog& dialog);
    bool answerFile(QFileDialog& dialog);

    TLookupFolder folder_;
};

}  // namespace rig
