#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/desktop_identity.h"
#include "app/startup.h"
#include "dictionary/source.h"
#include "interchange/source_readers.h"
#include "platform/dictionary_sources.h"
#include "platform/instance_lock.h"
#include "platform/program_folder.h"
#include "settings/program_identity.h"
#include "ui/main_form/main_form.h"

// Where the install rules lay the shared data (bundled dictionaries, help), relative to the
// folder of the binary; set by the build.
#ifndef TERMOVEL_DATA_FROM_BINARY
#error "TERMOVEL_DATA_FROM_BINARY must name the installed data folder relative to the binary"
#endif

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Without a display Qt would abort with a long plugin report; one line saying what to do
// serves the user better. A platform chosen explicitly (offscreen, vnc …) is trusted.
bool hasDisplay() {
    return isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

// For the benchmarks only (bench/collection.sh): prints the resident set as it stands, the
// VmRSS line of /proc/self/status, as "rss_kb=N" on stderr; nothing where /proc is missing.
void reportResidentMemory() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return;
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
        long kb = 0;
        if (std::sscanf(line, "VmRSS: %ld kB", &kb) == 1) {
            std::fprintf(stderr, "rss_kb=%ld\n", kb);
            break;
        }
    }
    std::fclose(status);
}

// For the start-up benchmarks only (bench/figures.sh, bench/collection.sh): with
// TERMOVEL_EXIT_AFTER_SHOW set, the process ends at once, with code 0 and nothing saved, when the
// main window has painted itself for the first time, so the time from exec to exit is the time to a
// shown window. With TERMOVEL_REPORT_RSS set as well, it reports its resident memory at that moment
// first.
class TExitAfterFirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && qobject_cast<TMainForm*>(watched) && !armed_) {
            armed_ = true;
            // After this paint is done: the next turn of the loop.
            QTimer::singleShot(0, [] {
                if (isSet("TERMOVEL_REPORT_RSS"))
                    reportResidentMemory();
                std::fflush(nullptr);
                std::_Exit(0);
            });
        }
        return false;
    }

private:
    bool armed_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    // Dictionaries of other formats (dictd, StarDict, DSL) open where they lie.
    setSourceOpener(openSourceReader);
    if (!hasDisplay()) {
        const std::string self = program_folder::file(program_folder::path(), "termovel");
        std::fprintf(stderr,
                     "Termovel needs a graphical display; run it under a virtual one with: "
                     "xvfb-run -a %s\n",
                     self.c_str());
        return 1;
    }
    TApplication app(argc, argv);
    loadQtTranslation(app);
    TStartupEnvironment environment;
    QString usageError;
    environment.requests =
        instance_channel::parseCommandLine(app.arguments().mid(1), QDir::currentPath(), usageError);
    if (!usageError.isEmpty()) {
        std::fprintf(stderr, "termovel: %s\n", qPrintable(usageError));
        return 2;
    }
    environment.socketPath = instance_channel::socketPath();
    const program_folder::TProgramPlaces places =
        program_folder::runningPlaces(TERMOVEL_DATA_FROM_BINARY);
    environment.programFolder = program_folder::choose(places);
    environment.dataFolders = program_folder::dataFolders(places, environment.programFolder);
    environment.sourceFolders = dictionary_sources::standardFolders();
    environment.lockPath = instance_lock::defaultPath();
    environment.dialogs = &app.dialogs();
    TExitAfterFirstPaint exitAfterShow;
    if (isSet("TERMOVEL_EXIT_AFTER_SHOW"))
        app.installEventFilter(&exitAfterShow);
    return runStartup(environment);
}
