#pragma once

#include <QObject>

class QEvent;
class QKeyEvent;
class QWidget;

// The main window's shortcut keys beyond what Qt does by itself. Qt carries out an enabled
// action's shortcut from the main window and from the windows it owns (the viewing translation
// windows), and blocks it while a modal window is open. A disabled action's shortcut, though,
// Qt passes on to the focused control as an ordinary key. Here such a key is swallowed: a key
// that names one of the window's commands never reaches a control, whether the command can run
// or not. While a modal window is open the keys are left alone, since they belong to it.
class TShortcutGuard : public QObject {
    Q_OBJECT

public:
    // Guards the keys pressed in window and in the windows it owns. Watches the whole
    // application (a translation window is a window of its own); lives as long as window.
    explicit TShortcutGuard(QWidget& window);

    // True when key, pressed in a control of the guarded windows, matches the shortcut of one
    // of the window's disabled actions.
    bool swallows(QObject* receiver, const QKeyEvent& key) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool guards(QObject* receiver) const;

    QWidget& window_;
};
