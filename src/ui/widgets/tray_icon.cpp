#include "ui/widgets/tray_icon.h"

#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace {

// How often a desktop without a notification area is asked again whether it has one now.
constexpr int kRetryMs = 3000;

}  // namespace

TTrayIcon::TTrayIcon(QWidget& window, const QIcon& icon, const QString& toolTip, QMenu* menu,
                     TAvailability available)
    : QObject(&window),
      window_(window),
      icon_(new QSystemTrayIcon(icon, this)),
      retryTimer_(new QTimer(this)),
      hiddenWatch_(new QTimer(this)),
      available_(available ? std::move(available) : &QSystemTrayIcon::isSystemTrayAvailable) {
    icon_->setObjectName(QStringLiteral("TrayIcon1"));
    icon_->setToolTip(toolTip);
    icon_->setContextMenu(menu);
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // Only a double click restores; a single click and the middle button do
                // nothing, and the right button's menu is the icon's own.
                if (reason == QSystemTrayIcon::DoubleClick)
                    restore();
            });
    retryTimer_->setInterval(kRetryMs);
    connect(retryTimer_, &QTimer::timeout, this, &TTrayIcon::addWhenAvailable);
    hiddenWatch_->setInterval(kRetryMs);
    connect(hiddenWatch_, &QTimer::timeout, this, &TTrayIcon::checkAreaWhileHidden);
    window_.installEventFilter(this);
    if (!addWhenAvailable())
        retryTimer_->start();
}

TTrayIcon::~TTrayIcon() {
    icon_->hide();
}

bool TTrayIcon::isShown() const {
    return icon_->isVisible() && available_();
}

bool TTrayIcon::addWhenAvailable() {
    if (!icon_->isVisible() && available_())
        icon_->show();
    if (icon_->isVisible())
        retryTimer_->stop();
    return icon_->isVisible();
}

bool TTrayIcon::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_ && event->type() == QEvent::WindowStateChange &&
        window_.isMinimized() && !hidden_ && isShown()) {
        // Hidden once the minimising is through: hiding inside the state change would leave
        // the window system's idea of the window behind Qt's.
        QTimer::singleShot(0, this, [this] {
            if (window_.isMinimized() && !hidden_ && isShown())
                hideProgram();
        });
    }
    return QObject::eventFilter(watched, event);
}

void TTrayIcon::hideProgram() {
    hidden_ = true;
    hiddenWindows_.clear();
    // The whole program goes, as one application minimises: the windows the main window owns
    // (the translation windows) leave the task bar with it.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget == &window_ || !widget->isVisible() || widget->parentWidget() != &window_)
            continue;
        const Qt::WindowType type = widget->windowType();
        if (type == Qt::Popup || type == Qt::ToolTip)
            continue;
        hiddenWindows_.emplace_back(widget);
        widget->hide();
    }
    window_.hide();
    hiddenWatch_->start();
}

void TTrayIcon::checkAreaWhileHidden() {
    if (!hidden_ || available_())
        return;
    showHiddenWindows(&QWidget::showMinimized);
    window_.showMinimized();
}

void TTrayIcon::showHiddenWindows(void (QWidget::*show)()) {
    hidden_ = false;
    hiddenWatch_->stop();
    for (const QPointer<QWidget>& widget : hiddenWindows_) {
        if (widget)
            (widget->*show)();
    }
    hiddenWindows_.clear();
}

void TTrayIcon::restore() {
    if (hidden_)
        showHiddenWindows(&QWidget::show);
    window_.setWindowState(window_.windowState() & ~Qt::WindowMinimized);
    window_.show();
    window_.raise();
    window_.activateWindow();
}
