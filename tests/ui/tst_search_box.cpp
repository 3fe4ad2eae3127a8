// The search box's own behaviour: its width is the layout's whatever the history holds, and a
// key completed from the history is reported once with the whole text.
#include <QAbstractItemView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "ui/widgets/search_box.h"

class TestSearchBox : public QObject {
    Q_OBJECT

private slots:
    void longEntryNeitherWidensBoxNorItsWindow_data() {
        QTest::addColumn<int>("length");
        QTest::addRow("short") << 3;
        QTest::addRow("a sentence") << 40;
        QTest::addRow("300 characters") << 300;
        QTest::addRow("longest value a setting holds") << 2047;
    }
    void longEntryNeitherWidensBoxNorItsWindow() {
        QFETCH(int, length);
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* box = new TSearchBox(&window);
        box->setEditable(true);
        box->setFont(QFont(QStringLiteral("Courier New"), 9));
        box->addItem(QString(length, QLatin1Char('w')));
        layout->addWidget(box);
        window.resize(273, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QVERIFY2(window.minimumSizeHint().width() < 273,
                 qPrintable(QString::number(window.minimumSizeHint().width())));
        QCOMPARE(window.width(), 273);
        // The box takes the width the layout gives it.
        QCOMPARE(box->width(), window.contentsRect().width() - layout->contentsMargins().left() -
                                   layout->contentsMargins().right());
        // The list may be wider than the box, to show the entry, but not wider than the screen.
        const int screenWidth = box->screen()->availableGeometry().width();
        QVERIFY(box->popupWidth() >= box->width());
        QVERIFY(box->popupWidth() <= screenWidth);
        if (length >= 300)
            QCOMPARE(box->popupWidth(), screenWidth);
        if (length == 3)
            QCOMPARE(box->popupWidth(), box->width());
    }

    void popupOpensAtItsWidth() {
        TSearchBox box;
        box.setEditable(true);
        box.addItem(QString(120, QLatin1Char('w')));
        box.resize(200, box.sizeHint().height());
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        box.showPopup();
        QTRY_VERIFY(box.view()->isVisible());
        QVERIFY(box.view()->width() > box.width());
        box.hidePopup();
    }

    void keyCompletedFromHistoryIsReportedOnceWithWholeText_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("reported");
        QTest::addRow("completed") << "c"
                                   << "cat";
        QTest::addRow("case of typed letters kept") << "C"
                                                    << "Cat";
        QTest::addRow("no entry begins so") << "x"
                                            << "x";
    }
    void keyCompletedFromHistoryIsReportedOnceWithWholeText() {
        QFETCH(QString, typed);
        QFETCH(QString, reported);
        TSearchBox box;
        box.setEditable(true);
        box.setInsertPolicy(QComboBox::NoInsert);
        box.addItem(QStringLiteral("cat"));
        box.setCurrentIndex(-1);
        box.setEditText(QString());
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QSignalSpy spy(&box, &TSearchBox::textTyped);
        QStringList changesWhileTyping;
        connect(box.lineEdit(), &QLineEdit::textChanged, this, [&](const QString& text) {
            if (box.isTyping())
                changesWhileTyping << text;
        });
        QTest::keyClicks(&box, typed);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), reported);
        QCOMPARE(box.currentText(), reported);
        QVERIFY(!changesWhileTyping.isEmpty());
        QVERIFY(!box.isTyping());
    }
};

QTEST_MAIN(TestSearchBox)
#include "tst_search_box.moc"
