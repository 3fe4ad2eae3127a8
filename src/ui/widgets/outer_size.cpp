#include "ui/widgets/outer_size.h"

#include <QEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace {

// The window manager frames a new window within a few hundredths of a second; after a second
// the window is taken to have no frame.
constexpr int kTryEveryMs = 20;
constexpr int kTries = 50;

}  // namespace

TOuterSize::TOuterSize(QWidget& window, QSize outer, TPlacement placement)
    : QObject(&window),
      window_(window),
      outer_(outer),
      placement_(placement),
      waitForFrame_(new QTimer(this)),
      triesLeft_(kTries) {
    fit(QSize(0, 0));  // no frame yet
    waitForFrame_->setInterval(kTryEveryMs);
    connect(waitForFrame_, &QTimer::timeout, this, [this] {
        const QSize frame = window_.frameGeometry().size() - window_.size();
        if (!frame.isEmpty() || --triesLeft_ <= 0)
            waitForFrame_->stop();
        if (!frame.isEmpty())
            fit(frame);
    });
    window_.installEventFilter(this);
}

void TOuterSize::fit(QSize frame) {
    if (placement_ == TPlacement::Kept && !frame.isEmpty() && window_.size() != given_)
        return;
    window_.resize(outer_ - frame);
    given_ = window_.size();
    if (placement_ == TPlacement::Kept)
        return;
    // A window's position is that of its frame.
    if (const QScreen* screen = window_.screen())
        window_.move(screen->availableGeometry().center() -
                     QPoint(outer_.width() / 2, outer_.height() / 2));
}

bool TOuterSize::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_ && event->type() == QEvent::Show) {
        window_.removeEventFilter(this);
        waitForFrame_->start();
    }
    return QObject::eventFilter(watched, event);
}
