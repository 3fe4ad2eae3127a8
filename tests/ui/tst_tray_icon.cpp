// The notification-area icon and minimising to it, driven through the icon's own signals as
// the desktop's clicks arrive; whether the desktop has a notification area is the test's say.
#include <QMainWindow>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>

#include <memory>

#include "ui/widgets/image_icon.h"
#include "ui/widgets/tray_icon.h"

namespace {

// A shown main window owning one shown translation-like window, and the icon over both.
struct TTrayRig {
    explicit TTrayRig(bool& area) {
        window.show();
        owned = new QWidget(&window, Qt::Window);
        owned->show();
        tray = std::make_unique<TTrayIcon>(window, programIcon(), QStringLiteral("Termovel v1.00"),
                                           &menu, [&area] { return area; });
    }
    void minimise() {
        window.setWindowState(window.windowState() | Qt::WindowMinimized);
        QCoreApplication::processEvents();
    }

    QMainWindow window;
    QMenu menu;
    QWidget* owned = nullptr;
    std::unique_ptr<TTrayIcon> tray;
};

}  // namespace

class TestTrayIcon : public QObject {
    Q_OBJECT

private slots:
    void iconCarriesTooltipPictureAndMenu() {
        bool area = true;
        TTrayRig rig(area);
        QVERIFY(rig.tray->isShown());
        QCOMPARE(rig.tray->icon()->toolTip(), QStringLiteral("Termovel v1.00"));
        QCOMPARE(rig.tray->icon()->contextMenu(), &rig.menu);
        QVERIFY(!rig.tray->icon()->icon().isNull());
    }

    void minimisingHidesProgramAndDoubleClickBringsItBack() {
        bool area = true;
        TTrayRig rig(area);
        rig.minimise();
        QVERIFY(rig.tray->isHiddenInTray());
        QVERIFY(!rig.window.isVisible());
        QVERIFY(!rig.owned->isVisible());

        emit rig.tray->icon()->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(!rig.tray->isHiddenInTray());
        QVERIFY(rig.window.isVisible());
        QVERIFY(!rig.window.isMinimized());
        QVERIFY(rig.owned->isVisible());
    }

    void clicksOtherThanDoubleClickLeaveProgramHidden_data() {
        QTest::addColumn<int>("reason");
        QTest::addRow("single left click") << int(QSystemTrayIcon::Trigger);
        QTest::addRow("right button") << int(QSystemTrayIcon::Context);
        QTest::addRow("middle button") << int(QSystemTrayIcon::MiddleClick);
    }
    void clicksOtherThanDoubleClickLeaveProgramHidden() {
        QFETCH(int, reason);
        bool area = true;
        TTrayRig rig(area);
        rig.minimise();
        emit rig.tray->icon()->activated(QSystemTrayIcon::ActivationReason(reason));
        QVERIFY(rig.tray->isHiddenInTray());
        QVERIFY(!rig.window.isVisible());
    }

    void restoreOfShownWindowKeepsItShown() {
        bool area = true;
        TTrayRig rig(area);
        rig.tray->restore();
        QVERIFY(rig.window.isVisible());
        QVERIFY(!rig.window.isMinimized());
        QVERIFY(rig.owned->isVisible());
    }

    void withoutNotificationAreaMinimisingKeepsTaskBarEntry() {
        bool area = false;
        TTrayRig rig(area);
        QVERIFY(!rig.tray->isShown());
        QVERIFY(!rig.tray->icon()->isVisible());
        rig.minimise();
        // Minimised as usual: still a window of the desktop, reachable from its task bar.
        QVERIFY(rig.window.isVisible());
        QVERIFY(rig.window.isMinimized());
        QVERIFY(!rig.tray->isHiddenInTray());
        QVERIFY(rig.owned->isVisible());
    }

    void notificationAreaThatAppearsLaterGetsTheIcon() {
        bool area = false;
        TTrayRig rig(area);
        QVERIFY(!rig.tray->icon()->isVisible());
        area = true;
        // Looked for again by itself every few seconds.
        QTRY_VERIFY_WITH_TIMEOUT(rig.tray->icon()->isVisible(), 10000);
        rig.minimise();
        QVERIFY(!rig.window.isVisible());
    }

    void notificationAreaGoneAtMinimisingKeepsWindowReachable() {
        bool area = true;
        TTrayRig rig(area);
        area = false;  // the panel that held the area was closed
        rig.minimise();
        QVERIFY(rig.window.isVisible());
        QVERIFY(!rig.tray->isHiddenInTray());
    }

    void notificationAreaGoneWhileHiddenBringsProgramBackOnTaskBar() {
        bool area = true;
        TTrayRig rig(area);
        rig.minimise();
        QTRY_VERIFY(!rig.window.isVisible());
        area = false;  // the panel that held the area went away
        // Looked for every few seconds while hidden.
        QTRY_VERIFY_WITH_TIMEOUT(rig.window.isVisible(), 10000);
        QVERIFY(rig.window.isMinimized());
        QVERIFY(rig.owned->isVisible());
        QVERIFY(!rig.tray->isHiddenInTray());
    }
};

QTEST_MAIN(TestTrayIcon)
#include "tst_tray_icon.moc"
