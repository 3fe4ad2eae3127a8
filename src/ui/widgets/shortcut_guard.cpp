#include "ui/widgets/shortcut_guard.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QWidget>

TShortcutGuard::TShortcutGuard(QWidget& window) : QObject(&window), window_(window) {
    qApp->installEventFilter(this);
}

bool TShortcutGuard::guards(QObject* receiver) const {
    if (!receiver->isWidgetType() || QApplication::activeModalWidget())
        return false;
    const QWidget* window = static_cast<QWidget*>(receiver)->window();
    return window == &window_ || window->parentWidget() == &window_;
}

bool TShortcutGuard::swallows(QObject* receiver, const QKeyEvent& key) const {
    if (!guards(receiver))
        return false;
    const QKeySequence pressed(key.keyCombination());
    for (const QAction* action : window_.actions()) {
        if (action->isEnabled())
            continue;
        for (const QKeySequence& shortcut : action->shortcuts()) {
            if (shortcut.matches(pressed) == QKeySequence::ExactMatch)
                return true;
        }
    }
    return false;
}

bool TShortcutGuard::eventFilter(QObject* watched, QEvent* event) {
    // An enabled action's key never arrives here as a key press: the shortcut map has taken it
    // before. What arrives for a disabled one is taken before the control sees it.
    if (event->type() == QEvent::KeyPress && swallows(watched, *static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
