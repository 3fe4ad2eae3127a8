#pragma once

#include <QLabel>

#include <functional>

class QDialog;
class QFont;
class QPixmap;
class QPushButton;
class QRect;
class QSize;
class QString;
class QWidget;

// Small pieces the secondary windows share: their font, their place on the screen, and the
// labels that open an address when clicked.

// Hands an address (a web address, "mailto:…") to the desktop; the windows do not look at the
// answer. The program's opener is shellOpen; tests put in their own to see what was opened.
using TLinkOpener = std::function<bool(const QString&)>;

// openLink, or the desktop's own opener (shellOpen) when none is given.
TLinkOpener orShellOpen(TLinkOpener openLink);

// The dialogs' font: a sans-serif face of Arial's metrics, 11 pixels high, so the fixed
// layouts of the small windows fit their texts.
QFont dialogFont();

// The title font of the splash and the about window: Arial, 19 pixels, bold.
QFont titleFont();

// Makes the font of a one-line label smaller, a pixel at a time, until its text fits the
// label's width: a title on a picture has no room to grow, and a face wider than Arial's
// metrics (DejaVu Sans where Liberation is missing) would cut it.
void shrinkToFit(QLabel& label);

// Draws the SVG picture at path at exactly size pixels (the screen's pixel ratio taken into
// account, so it stays sharp).
QPixmap pictureAt(const char* path, QSize size, qreal pixelRatio);

// A fixed-size dialog with caption, the dialogs' font, a client area of clientSize and no
// context-help button.
void setUpFixedDialog(QDialog& dialog, const QString& caption, QSize clientSize);

// A push button named objectName at geometry in parent. The default button of a dialog is the
// one Enter presses; every other button is kept from becoming default when it has the focus,
// so that Enter never presses a button the user did not mean.
QPushButton* placeButton(QWidget* parent, const char* objectName, const QString& caption,
                         const QRect& geometry, bool isDefault);

// Puts label on parent at (left, top), named objectName, sized to its text; returns it.
template <typename TLabel>
TLabel* placeLabel(QWidget* parent, TLabel* label, const char* objectName, int left, int top) {
    label->setParent(parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->move(left, top);
    label->adjustSize();
    return label;
}

// Centres window on the primary screen (no screen: leaves it where it is).
void centreOnScreen(QWidget& window);

// A label that says when the user clicks it: the pictures and link labels of the splash and
// the about window. A link label shows the hand cursor (makeLink).
class TClickableLabel : public QLabel {
    Q_OBJECT

public:
    explicit TClickableLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// Makes label a link: the hand cursor and a transparent background; with colour, blue and
// underlined, otherwise in the normal text colour.
void makeLink(TClickableLabel& label, bool coloured);
