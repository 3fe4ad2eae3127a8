#include "ui/widgets/image_icon.h"

#include <QPixmap>
#include <QString>

QIcon imageIcon(TImage image) {
    // By number, which is checked against the list, so a value outside it gives no picture.
    const char* path = imagePath(static_cast<int>(image));
    return path ? QIcon(QString::fromLatin1(path)) : QIcon();
}

QIcon programIcon() {
    // An SVG icon engine keeps one file per icon; a window icon drawn from two files (the
    // simplified book for small sizes, the detailed one above) is therefore made of pixmaps.
    QIcon icon;
    icon.addPixmap(imageIcon(TImage::Program).pixmap(16, 16));
    const QIcon detailed(QString::fromLatin1(kProgramIconPath));
    for (int side : {24, 32, 48, 64, 128, 256})
        icon.addPixmap(detailed.pixmap(side, side));
    return icon;
}
