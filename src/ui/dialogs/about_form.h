#pragma once

#include <QDialog>

#include "ui/dialogs/form_parts.h"

class QLabel;

// The about window: the program's picture with its title, site, the address for letters and
// the makers' link; borderless, centred. Esc or a click on the picture closes it; the links
// open their addresses and leave it open.
class TAboutForm : public QDialog {
    Q_OBJECT

public:
    // Builds the window (client 360 × 270, "О программе"), not shown. openLink takes the
    // addresses of the clicked links; empty means the desktop's handler (shellOpen).
    explicit TAboutForm(QWidget* parent = nullptr, TLinkOpener openLink = {});
    ~TAboutForm() override;

    // Sets lbTitle to the program's title.
    void FormCreate();
    // Closes the window.
    void Image1Click();
    // Closes the window when key is Esc (27); every other key does nothing. Returns whether
    // the key was used.
    bool FormKeyPress(QChar key);
    // The links: the program's site, "mailto:" + the address, the makers' site.
    void lbProgramSiteClick();
    void lbEmailClick();
    void lbURLClick();

    TClickableLabel* Image1 = nullptr;
    QLabel* lbTitle = nullptr;
    QLabel* Label1 = nullptr;
    TClickableLabel* lbProgramSite = nullptr;
    QLabel* Label2 = nullptr;
    TClickableLabel* lbEmail = nullptr;
    QLabel* Label3 = nullptr;
    TClickableLabel* lbURL = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    TLinkOpener openLink_;
};
