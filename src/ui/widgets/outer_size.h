#pragma once

#include <QObject>
#include <QSize>

class QEvent;
class QTimer;
class QWidget;

// Gives a top-level window its designed outer size, frame and title bar included, centred on
// its screen or left where it is placed. Qt sizes a window without its frame, and the frame is
// known only once the window manager has put it around the shown window, which happens a moment
// after showing; so the window is sized once then. Without a window manager (no frame) the
// window keeps the outer size as its own.
class TOuterSize : public QObject {
    Q_OBJECT

public:
    enum class TPlacement {
        Centred,  // centred on its screen, now and when framed
        // left where its owner puts it; a size its owner gives it before it is framed (one the
        // user chose earlier, or the outer size with a frame already known) stands
        Kept,
    };

    // Sizes window to outer now (as its own size) and again, frame counted, when it is first
    // framed.
    TOuterSize(QWidget& window, QSize outer, TPlacement placement = TPlacement::Centred);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fit(QSize frame);

    QWidget& window_;
    QSize outer_;
    TPlacement placement_;
    QSize given_;  // the size this gave the window last
    QTimer* waitForFrame_;
    int triesLeft_;
};
