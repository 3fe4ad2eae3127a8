#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class QEvent;
class QIcon;
class QMenu;
class QString;
class QSystemTrayIcon;
class QTimer;
class QWidget;

// The program's icon in the notification area and the minimising that goes with it. While the
// icon is shown, minimising the main window hides the whole program from the task bar (the
// window and the windows it owns), so that it is reached through the icon alone; a double click
// on the icon, or restore(), brings everything back. A single click does nothing; the right
// button opens the menu given at the pointer.
//
// Many Linux desktops have no notification area. There the icon is not shown and minimising
// works as usual (the task-bar entry stays), since a program hidden with no icon to bring it
// back would be lost. The area is looked for again every few seconds and the icon is added as
// soon as one appears. For the same reason, when the area goes away while the program is
// hidden in it (the panel closed or restarted), the program comes back on the task bar, its
// windows minimised as they were when it went.
class TTrayIcon : public QObject {
    Q_OBJECT

public:
    // Whether the desktop has a notification area at this moment.
    using TAvailability = std::function<bool()>;

    // An icon for window with picture icon, tooltip toolTip and menu on the right button (not
    // owned). available defaults to QSystemTrayIcon::isSystemTrayAvailable; tests give their
    // own. The icon is added at once when an area is there.
    TTrayIcon(QWidget& window, const QIcon& icon, const QString& toolTip, QMenu* menu,
              TAvailability available = {});
    // The icon leaves the notification area with the program.
    ~TTrayIcon() override;
    TTrayIcon(const TTrayIcon&) = delete;
    TTrayIcon& operator=(const TTrayIcon&) = delete;

    // The Qt icon itself: its activated signal is what the desktop's clicks arrive as.
    QSystemTrayIcon* icon() const { return icon_; }
    // True while the icon sits in a notification area, so that minimising hides the program.
    bool isShown() const;
    // True while the program is hidden in the notification area.
    bool isHiddenInTray() const { return hidden_; }
    // Brings the program back from the notification area (its windows shown again, the main
    // window no longer minimised) and the main window to the front; when the window is shown,
    // only brings it to the front.
    void restore();
    // Adds the icon if a notification area is there now; true when the icon is shown. Runs by
    // itself every few seconds until it succeeds.
    bool addWhenAvailable();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void hideProgram();
    // While hidden: when the notification area is gone, back on the task bar, minimised.
    void checkAreaWhileHidden();
    // Leaves the hidden state: the windows that went with the program come back through show
    // (shown, or minimised on the task bar).
    void showHiddenWindows(void (QWidget::*show)());

    QWidget& window_;
    QSystemTrayIcon* icon_;
    QTimer* retryTimer_;
    QTimer* hiddenWatch_;  // runs while the program is hidden in the notification area
    TAvailability available_;
    bool hidden_ = false;
    // The program's other windows that were shown when it went into the notification area.
    std::vector<QPointer<QWidget>> hiddenWindows_;
};
