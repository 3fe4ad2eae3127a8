#pragma once

#include <QApplication>
#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "settings/help_file.h"
#include "ui/dialogs/form_parts.h"
#include "ui/instance_channel.h"

class TDialogs;
class TMainForm;

// The application object. Errors raised by handlers while the message loop runs end up here:
// each is shown in the error box and the loop goes on, so no error ever crosses the loop.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    // The boxes errors are shown in; Qt's own boxes until a test puts in its answerer.
    void setDialogs(TDialogs* dialogs);
    TDialogs& dialogs();

    bool notify(QObject* receiver, QEvent* event) override;

private:
    std::unique_ptr<TDialogs> qtDialogs_;  // used when no other boxes are given
    TDialogs* dialogs_ = nullptr;          // not owned
};

// Shows an error in the error box: captioned with the application title, the message as text.
void showError(TDialogs& dialogs, const std::exception& error);

// Start-up records the help file's path with setHelpFile (program folder + "/termovel.chm", or
// the first data folder's that has it); helpFile() reads it back.

// What start-up runs on; main() gives the real things, tests their own.
struct TStartupEnvironment {
    std::string programFolder;  // where termovel.ini lies and new and edited dictionaries go
    // The shared data read in place (bundled dictionaries, help file), searched after the
    // program folder and hidden by a file of the same name there.
    std::vector<std::string> dataFolders;
    // Where dictionaries of the system and of the user lie (dictd, StarDict, collections),
    // searched when every dictionary is listed; none when empty.
    std::vector<std::string> sourceFolders;
    std::string lockPath;         // the single-instance lock file
    TDialogs* dialogs = nullptr;  // the warning and the error boxes of start-up itself
    // The boxes of the main window itself (errors while it opens dictionaries and reads the
    // history, its questions); Qt's own when empty.
    std::function<std::unique_ptr<TDialogs>()> makeWindowDialogs;
    // Runs the message loop over the shown main window; QApplication::exec when empty.
    std::function<int(TMainForm&)> runLoop;
    // Hands the splash's link to the desktop; the desktop's handler (shellOpen) when empty.
    TLinkOpener openLink;
    // The hand-over socket (none when empty) and what this start asks: passed to a running
    // copy, or carried out by this one once its main window shows.
    std::string socketPath;
    std::vector<TInstanceRequest> requests;
};

// True when no other copy of the program runs; the lock is then kept until the process ends.
// Otherwise runs handOver (when given), which passes this start's requests to the running copy,
// and shows the warning "Приложение уже запущено!" unless handOver returned true; returns false.
bool IsFirstInstance(const std::string& lockPath, TDialogs& dialogs,
                     const std::function<bool()>& handOver = {});

// The start-up sequence: single-instance check, help file, settings (loaded, or created with
// the defaults on the first run), the splash while the main window is built (ShowLogo "1"), the
// tip of the day through dialogs before the main window is shown (ShowTip "1"), the recovery
// files of an earlier run offered back, the message loop (unsaved work kept in recovery files
// if the session ends or a signal ends it), the settings saved. Any error on the way is shown in
// the error box and ends the sequence; the steps after it are not run. Requires a TApplication.
// Returns 0 on every path.
int runStartup(const TStartupEnvironment& environment);
