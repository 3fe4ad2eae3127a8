#include <QIcon>
#include <QImage>
#include <QtTest>

#include "ui/widgets/image_list.h"

namespace {

QImage render(const char* path, int side) {
    return QIcon(QString::fromLatin1(path))
        .pixmap(side, side)
        .toImage()
        .convertToFormat(QImage::Format_ARGB32);
}

// The share of pixels that are more than half opaque: a picture that failed to draw is empty.
double coverage(const QImage& image) {
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 127)
                ++opaque;
    return double(opaque) / (image.width() * image.height());
}

}  // namespace

// The pictures are compiled into the program and drawn through Qt's SVG support; these tests
// fail when a resource is missing, misnamed, not an SVG Qt can draw, or drawn off its canvas.
class TestImageList : public QObject {
    Q_OBJECT

private slots:
    void imageDrawsAtToolbarSizeWithTransparentCorners_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < kImageCount; ++i)
            QTest::addRow("image %d", i) << i;
    }
    void imageDrawsAtToolbarSizeWithTransparentCorners() {
        QFETCH(int, index);
        const char* path = imagePath(index);
        QVERIFY(path != nullptr);
        QVERIFY2(QFile::exists(QString::fromLatin1(path)), path);
        QVERIFY(!QIcon(QString::fromLatin1(path)).isNull());
        for (int side : {16, 32}) {
            const QImage image = render(path, side);
            QCOMPARE(image.size(), QSize(side, side));
            for (QPoint corner : {QPoint(0, 0), QPoint(side - 1, 0), QPoint(0, side - 1),
                                  QPoint(side - 1, side - 1)})
                QCOMPARE(qAlpha(image.pixel(corner)), 0);
            // Every icon fills a good part of its square and still leaves some of it clear.
            const double share = coverage(image);
            QVERIFY2(share > 0.2 && share < 0.95, qPrintable(QString::number(share)));
        }
    }

    void everyImageNumberShowsItsOwnPicture() {
        QList<QImage> images;
        for (int i = 0; i < kImageCount; ++i)
            images.append(render(imagePath(i), 16));
        for (int i = 0; i < kImageCount; ++i)
            for (int j = i + 1; j < kImageCount; ++j)
                QVERIFY2(images[i] != images[j], qPrintable(QString("%1 and %2").arg(i).arg(j)));
    }

    void numbersOutsideTheListHaveNoPicture() {
        QCOMPARE(imagePath(-1), nullptr);
        QCOMPARE(imagePath(kImageCount), nullptr);
        QCOMPARE(QString(imagePath(TImage::Program)), QString(imagePath(kImageCount - 1)));
    }

    void windowPictureKeepsItsDesignedSize_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::newRow("splash") << kSplashPicturePath << QSize(300, 225);
        QTest::newRow("tip") << kTipPicturePath << QSize(40, 53);
        QTest::newRow("about") << kAboutPicturePath << QSize(360, 270);
        QTest::newRow("scan button") << kScanPicturePath << QSize(16, 16);
        QTest::newRow("program icon") << kProgramIconPath << QSize(48, 48);
    }
    void windowPictureKeepsItsDesignedSize() {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QImage image(path);
        QVERIFY2(!image.isNull(), qPrintable(path));
        QCOMPARE(image.size(), size);
        QVERIFY(coverage(image.convertToFormat(QImage::Format_ARGB32)) > 0.2);
    }

    void windowIconScalesFromTrayToDesktopSize() {
        const QIcon icon(QString::fromLatin1(kProgramIconPath));
        QVERIFY(!icon.isNull());
        for (int side : {16, 32, 128}) {
            const QImage image = icon.pixmap(side, side).toImage();
            QCOMPARE(image.size(), QSize(side, side));
            QCOMPARE(qAlpha(image.pixel(0, side - 1)), 0);
        }
    }
};

QTEST_MAIN(TestImageList)
#include "tst_image_list.moc"
