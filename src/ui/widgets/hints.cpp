#include "ui/widgets/hints.h"

#include <QAction>
#include <QEvent>
#include <QStatusTipEvent>
#include <QVariant>
#include <QWidget>

QString shownHint(const QString& hint) {
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.left(bar);
}

void setHint(QAction& action, const QString& text) {
    if (text.isEmpty())
        return;
    const QString hint = text + QLatin1Char('|') + text;
    action.setProperty("hint", hint);
    action.setStatusTip(shownHint(hint));
    action.setToolTip(shownHint(hint));
}

THintWatcher::THintWatcher(QWidget& window, std::function<void(const QString&)> onHint)
    : QObject(&window), window_(window), onHint_(std::move(onHint)) {
    window_.installEventFilter(this);
}

bool THintWatcher::eventFilter(QObject* watched, QEvent* event) {
    // Menus, the menu bar, tool bar buttons and controls send their status tip up to the window
    // when the pointer reaches them, and an empty one when it leaves.
    if (watched == &window_ && event->type() == QEvent::StatusTip) {
        onHint_(shownHint(static_cast<QStatusTipEvent*>(event)->tip()));
        return true;
    }
    return QObject::eventFilter(watched, event);
}
