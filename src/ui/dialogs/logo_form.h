#pragma once

#include <QWidget>

#include "ui/dialogs/form_parts.h"

class QLabel;
class QTimer;

// The splash window: the program's picture with its title, a copyright notice and the makers'
// link, borderless, centred. Its timer runs for 2000 ms from creation and then stops for good;
// start-up keeps the splash up (handling input) for as long as the timer runs.
class TLogoForm : public QWidget {
    Q_OBJECT

public:
    // Builds the window (client 300 × 225), not shown, and starts Timer1. openLink takes the
    // makers' address when lbURL is clicked; empty means the desktop's handler (shellOpen).
    explicit TLogoForm(TLinkOpener openLink = {}, QWidget* parent = nullptr);
    ~TLogoForm() override;

    // Sets lbTitle to the program's title.
    void FormCreate();
    // Timer1's one firing: switches it off.
    void Timer1Timer();
    // Hands lbURL's text to the desktop.
    void lbURLClick();
    // True while Timer1 runs, that is until 2000 ms after creation.
    bool timerEnabled() const;

    TClickableLabel* Image1 = nullptr;
    QLabel* lbTitle = nullptr;
    QLabel* Label2 = nullptr;
    TClickableLabel* lbURL = nullptr;
    QTimer* Timer1 = nullptr;

private:
    TLinkOpener openLink_;
};
