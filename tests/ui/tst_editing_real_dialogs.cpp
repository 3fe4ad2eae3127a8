// The adding window with the program's real dialogs: the information box about an unstorable
// character comes up over the still-open adding window, and after it the same window takes
// the mended text.
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "dictionary/dictionary.h"
#include "platform/compare.h"
#include "settings/reg_setup.h"
#include "support/main_form_rig.h"
#include "ui/dialogs/word_form.h"

class TestEditingRealDialogs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { compare::setLocale(""); }
    void informationBoxSitsOverOpenAddingWindow();
};

void TestEditingRealDialogs::informationBoxSitsOverOpenAddingWindow() {
    QTemporaryDir folder;
    rig::writeDic(folder.path() + "/f.dic", {"f.dic", "", {{"apple", "яблоко"}}});
    TRegSetup setup(folder.path().toStdString() + "/termovel.ini");
    rig::useOwnCache();
    TMainForm form(setup, folder.path().toStdString());  // Qt's own boxes and windows
    QVERIFY(rig::waitUntilPrepared(form));
    form.show();

    // Answers whatever modal window is up, step by step, as a user would.
    int stage = 0;
    QString boxText;
    bool addingWindowUnderBox = false;
    QTimer driver;
    driver.setInterval(20);
    connect(&driver, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (stage == 0) {
            if (auto* window = qobject_cast<TWordForm*>(modal)) {
                window->setTexts("日本", "статья");
                stage = 1;
                // Clicked from the event loop, so the box's own loop does not run inside this
                // timer's slot (a timer does not fire again while its slot runs).
                QMetaObject::invokeMethod(window->Button1, &QPushButton::click,
                                          Qt::QueuedConnection);
            }
        } else if (stage == 1) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                boxText = box->text();
                const auto windows = form.findChildren<TWordForm*>();
                addingWindowUnderBox = windows.size() == 1 && windows[0]->isVisible();
                stage = 2;
                QMetaObject::invokeMethod(box, &QDialog::accept, Qt::QueuedConnection);
            }
        } else if (stage == 2) {
            if (auto* window = qobject_cast<TWordForm*>(modal)) {
                stage = 3;
                window->Edit1->setText("japan");
                QMetaObject::invokeMethod(window->Button1, &QPushButton::click,
                                          Qt::QueuedConnection);
            }
        }
    });
    driver.start();
    QTimer::singleShot(10000, &driver, [&] {
        // A safety net: never leave the test hanging in a modal loop.
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    TMainFormView(form).actAdd()->trigger();
    driver.stop();

    QCOMPARE(stage, 3);
    QVERIFY2(boxText.contains("«日»"), qPrintable(boxText));
    QVERIFY(addingWindowUnderBox);
    QCOMPARE(rig::termsOf(TMainFormView(form).dic(0)), QStringList({"apple", "japan"}));
    QCOMPARE(rig::qs(TMainFormView(form).dic(0).Article(1)), QString("статья"));
}

QTEST_MAIN(TestEditingRealDialogs)
#include "tst_editing_real_dialogs.moc"
