#pragma once

#include <QObject>
#include <QSize>

class QEvent;
class QTimer;
class QWidget;

// Gives a top-level window its designed outer size, frame and title bar included, centred on
// its screen. Qt sizes a window without its frame, and the frame is known only once the window
// manager has put it around the shown window, which happens a moment after showing; so the
// window is sized once then. Without a window manager (no frame) the window keeps the outer
// size as its own.
class TOuterSize : public QObject {
    Q_OBJECT

public:
    // Sizes window to outer now (as its own size, centred) and again, frame counted, when it is
    // first framed.
    TOuterSize(QWidget& window, QSize outer);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fit(QSize frame);

    QWidget& window_;
    QSize outer_;
    QTimer* waitForFrame_;
    int triesLeft_;
};
