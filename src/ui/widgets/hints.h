#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QEvent;
class QWidget;

// Hints: a hint is stored as two halves around "|" (for example "Справка|Справка"); tooltips
// and the status bar show the first half. The two halves of every hint of this program are
// equal.

// The half of hint that is shown: the text before the first "|", or the whole hint without one.
QString shownHint(const QString& hint);

// Gives action the hint text|text (property "hint") and the shown half as its status tip and
// tooltip. An empty text leaves the action without a hint.
void setHint(QAction& action, const QString& text);

// Watches window for the application's current hint: every menu item, tool bar button or
// control under the pointer announces its hint (empty where it has none), and onHint receives
// it, already cut to its shown half. The event is taken, so the window does no more with it.
class THintWatcher : public QObject {
    Q_OBJECT

public:
    THintWatcher(QWidget& window, std::function<void(const QString&)> onHint);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    std::function<void(const QString&)> onHint_;
};
