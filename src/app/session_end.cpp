#include "app/session_end.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <iterator>

#include "ui/main_form/main_form.h"

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP};

// The write end of the pipe, for the handler: a signal handler may only do what is safe at any
// moment, so it writes one byte and the GUI thread does the rest when the byte arrives.
volatile sig_atomic_t gWriteEnd = -1;

extern "C" void onSignal(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    if (gWriteEnd >= 0 && ::write(gWriteEnd, &byte, 1) < 0) {
        // A full pipe already holds a byte the GUI thread will read.
    }
    errno = saved;
}

}  // namespace

TSessionEnd::TSessionEnd(TMainForm& form) : form_(form), context_(std::make_unique<QObject>()) {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) == 0) {
        gWriteEnd = pipe_[1];
        auto* notifier = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, context_.get());
        QObject::connect(notifier, &QSocketNotifier::activated, context_.get(),
                         [this] { signalled(); });
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (size_t i = 0; i < std::size(kSignals); ++i)
            ::sigaction(kSignals[i], &action, &previous_[i]);
    }
    QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, context_.get(),
                     [this](QSessionManager& manager) {
                         const bool mayInteract = manager.allowsInteraction();
                         if (!form_.commitSession(mayInteract))
                             manager.cancel();
                         if (mayInteract)
                             manager.release();
                     });
}

TSessionEnd::~TSessionEnd() {
    if (gWriteEnd >= 0) {
        for (size_t i = 0; i < std::size(kSignals); ++i)
            ::sigaction(kSignals[i], &previous_[i], nullptr);
    }
    gWriteEnd = -1;
    context_.reset();
    for (const int end : pipe_) {
        if (end >= 0)
            ::close(end);
    }
}

void TSessionEnd::signalled() {
    char bytes[16];
    while (::read(pipe_[0], bytes, sizeof bytes) > 0) {
    }
    form_.storeHistory();
    form_.writeRecovery();
    endedBySignal_ = true;
    // exit, not quit: quit would close the windows, and closing asks questions nobody is
    // there to answer.
    QCoreApplication::exit(0);
}
