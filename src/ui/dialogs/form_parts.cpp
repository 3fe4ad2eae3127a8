#include "ui/dialogs/form_parts.h"

#include <QDialog>
#include <QFont>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QRect>
#include <QScreen>
#include <QSvgRenderer>
#include <QWidget>

#include "ui/shell_open.h"

QFont dialogFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    return font;
}

QFont titleFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(19);
    font.setBold(true);
    return font;
}

void shrinkToFit(QLabel& label) {
    constexpr int kSmallestPixels = 9;
    QFont font = label.font();
    while (label.sizeHint().width() > label.width() && font.pixelSize() > kSmallestPixels) {
        font.setPixelSize(font.pixelSize() - 1);
        label.setFont(font);
    }
}

void setUpFixedDialog(QDialog& dialog, const QString& caption, QSize clientSize) {
    dialog.setWindowTitle(caption);
    dialog.setFont(dialogFont());
    dialog.setFixedSize(clientSize);
    dialog.setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void centreOnScreen(QWidget& window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        window.move(area.center() - QPoint(window.width() / 2, window.height() / 2));
    }
}

QPixmap pictureAt(const char* path, QSize size, qreal pixelRatio) {
    QPixmap pixmap(size * pixelRatio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(QString::fromUtf8(path));
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    pixmap.setDevicePixelRatio(pixelRatio);
    return pixmap;
}

TClickableLabel::TClickableLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}

TLinkOpener orShellOpen(TLinkOpener openLink) {
    return openLink ? std::move(openLink) : TLinkOpener(shellOpen);
}

void makeLink(TClickableLabel& label, bool coloured) {
    label.setCursor(Qt::PointingHandCursor);
    if (coloured) {
        QFont font = label.font();
        font.setUnderline(true);
        label.setFont(font);
        QPalette palette = label.palette();
        palette.setColor(QPalette::WindowText, Qt::blue);
        label.setPalette(palette);
    }
}

void TClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
    // A click is a release over the label with the left button, as a push button takes it.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

QPushButton* placeButton(QWidget* parent, const char* objectName, const QString& caption,
                         const QRect& geometry, bool isDefault) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setGeometry(geometry);
    if (isDefault)
        button->setDefault(true);
    else
        button->setAutoDefault(false);
    return button;
}
