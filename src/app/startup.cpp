#include "app/startup.h"

#include <QTimer>

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "app/desktop_identity.h"
#include "app/session_end.h"
#include "platform/instance_lock.h"
#include "platform/program_folder.h"
#include "settings/help_file.h"
#include "settings/program_identity.h"
#include "settings/reg_setup.h"
#include "ui/dialogs.h"
#include "ui/dialogs/logo_form.h"
#include "ui/dialogs/tip_form.h"
#include "ui/main_form/main_form.h"
#include "ui/text.h"

namespace {

constexpr const char* kAlreadyRunning = "Приложение уже запущено!";

// The settings saved after a signal ended the program: an error box would keep the process
// alive with nobody to close it, so a failure is told on the standard error stream and the
// program ends all the same.
void saveWithoutWindows(TRegSetup& regSetup) {
    try {
        regSetup.SaveIni();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "termovel: %s\n", errorText(error).toUtf8().constData());
    }
}

}  // namespace

TApplication::TApplication(int& argc, char** argv)
    : QApplication(argc, argv), qtDialogs_(std::make_unique<TQtDialogs>()) {
    dialogs_ = qtDialogs_.get();
    // Before any window: the windows' class is read from the application name when the first
    // one is made. The display name stays unset, so Qt appends nothing to window captions;
    // the captions and boxes carry ProgramTitle themselves.
    setDesktopIdentity();
}

TApplication::~TApplication() = default;

void TApplication::setDialogs(TDialogs* dialogs) {
    dialogs_ = dialogs ? dialogs : qtDialogs_.get();
}

TDialogs& TApplication::dialogs() {
    return *dialogs_;
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showError(*dialogs_, error);
    } catch (...) {
        showError(*dialogs_, std::runtime_error("Unknown error"));
    }
    return false;
}

void showError(TDialogs& dialogs, const std::exception& error) {
    dialogs.error(QApplication::activeWindow(), errorText(error));
}

bool IsFirstInstance(const std::string& lockPath, TDialogs& dialogs,
                     const std::function<bool()>& handOver) {
    if (instance_lock::acquire(lockPath))
        return true;
    if (handOver && handOver())
        return false;
    dialogs.warning(nullptr, QString::fromUtf8(kAlreadyRunning));
    return false;
}

int runStartup(const TStartupEnvironment& environment) {
    TQtDialogs qtDialogs;
    TDialogs& dialogs = environment.dialogs ? *environment.dialogs : qtDialogs;
    try {
        // A later start hands its requests to the running copy; only a bare start (which
        // also brings that copy forward) still warns.
        if (!IsFirstInstance(environment.lockPath, dialogs, [&] {
                return instance_channel::handOver(environment.socketPath, environment.requests);
            }))
            return 0;

        const program_folder::TFolders folders(environment.programFolder, environment.dataFolders,
                                               environment.sourceFolders);
        setHelpFile(program_folder::resolve(folders, kHelpFileName));

        TRegSetup regSetup(program_folder::file(environment.programFolder, kIniFileName));
        // The file's presence alone decides the first run: a file is loaded as it is (an
        // empty one gives an empty store), a missing one is created with the defaults.
        if (regSetup.IniFileExists())
            regSetup.LoadIni();
        else
            regSetup.SaveIni();

        // The splash waits out its timer's 2000 ms before the main window is built. The wait
        // handles input itself (the link works), and it blocks until an event comes, the
        // timer's included, so it costs no processor time. After the wait the splash stays on
        // the screen, no longer answering input, until the main window has been built.
        std::unique_ptr<TLogoForm> logo;
        if (regSetup.IsOn("ShowLogo")) {
            logo = std::make_unique<TLogoForm>(environment.openLink);
            logo->show();
            logo->repaint();
            while (logo->timerEnabled())
                QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        }

        // Declared after the store, so the window is gone before the store it reads.
        auto mainForm = std::make_unique<TMainForm>(
            regSetup, folders,
            environment.makeWindowDialogs ? environment.makeWindowDialogs() : nullptr);
        logo.reset();

        // The tip of the day comes before the main window is shown.
        if (regSetup.IsOn("ShowTip")) {
            TTipForm tip;
            dialogs.execModal(tip);
        }

        mainForm->show();
        // Unsaved work survives an end from outside; what an earlier run kept so is offered.
        auto sessionEnd = std::make_unique<TSessionEnd>(*mainForm);
        mainForm->offerRecovery();
        TInstanceServer server(environment.socketPath, [&](const TInstanceRequest& request) {
            mainForm->carryOut(request);
        });
        for (const TInstanceRequest& request : environment.requests) {
            if (request.kind != TInstanceRequest::TKind::Show)
                QTimer::singleShot(0, mainForm.get(),
                                   [&, request] { mainForm->carryOut(request); });
        }
        if (environment.runLoop)
            environment.runLoop(*mainForm);
        else
            QApplication::exec();
        const bool endedBySignal = sessionEnd->endedBySignal();
        sessionEnd.reset();
        mainForm.reset();
        if (endedBySignal)
            saveWithoutWindows(regSetup);
        else
            regSetup.SaveIni();
    } catch (const std::exception& error) {
        showError(dialogs, error);
    } catch (...) {
        showError(dialogs, std::runtime_error("Unknown error"));
    }
    return 0;
}
