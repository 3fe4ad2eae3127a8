#pragma once

#include <csignal>
#include <memory>

class QObject;
class TMainForm;

// Keeps unsaved work when the program is ended from outside, for as long as it lives. On
// SIGTERM or SIGHUP the search history goes into the settings store as a normal end puts it,
// every unsaved dictionary of the main window goes to a recovery file and the message loop
// ends, so start-up finishes as after a normal end. When the desktop session ends,
// the window's commitSession asks the exit questions where the session manager allows it (a No
// cancels the log-out) and keeps what stays unsaved. Requires a QGuiApplication; one at a time.
class TSessionEnd {
public:
    // Starts watching for form, which must outlive this object.
    explicit TSessionEnd(TMainForm& form);
    // Puts the signals' earlier handling back.
    ~TSessionEnd();
    TSessionEnd(const TSessionEnd&) = delete;
    TSessionEnd& operator=(const TSessionEnd&) = delete;

    // True once a signal has ended the message loop: nobody is there to answer a window, so
    // what still goes wrong is told on the standard error stream instead.
    bool endedBySignal() const { return endedBySignal_; }

private:
    void signalled();

    TMainForm& form_;
    bool endedBySignal_ = false;
    int pipe_[2] = {-1, -1};             // written by the signal handler, read on the GUI thread
    struct sigaction previous_[2] = {};  // SIGTERM's and SIGHUP's handling before
    // Owns the pipe's notifier; the connections end with it.
    std::unique_ptr<QObject> context_;
};
