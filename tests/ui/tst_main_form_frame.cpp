// The main window's frame: menus by edit mode, the tool bar, shortcut keys, the status-bar
// hint, the view toggles, the help and web commands, the notification-area icon and its menu,
// and the search box's width and completion as the window shows them.
#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include "platform/compare.h"
#include "settings/help_file.h"
#include "support/main_form_rig.h"
#include "ui/dialogs/word_form.h"
#include "ui/main_form/main_form_view.h"
#include "ui/widgets/image_icon.h"
#include "ui/widgets/tray_icon.h"

namespace {

// Records the addresses the window hands to the desktop instead of opening them.
class TUrlRecorder : public QObject {
    Q_OBJECT

public:
    TUrlRecorder() {
        for (const char* scheme : {"file", "https", "http"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~TUrlRecorder() override {
        for (const char* scheme : {"file", "https", "http"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }
};

// Counts the key presses that reach a widget, the modifier keys' own presses left out.
class TKeyCounter : public QObject {
public:
    explicit TKeyCounter(QObject* target) { target->installEventFilter(this); }
    int presses = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Control:
            case Qt::Key_Shift:
            case Qt::Key_Alt:
            case Qt::Key_Meta:
                break;
            default:
                ++presses;
        }
        return false;
    }
};

// The window shown and active, as the user has it, with the keyboard in the search box.
TMainForm& openActive(TLookupFolder& folder) {
    TMainForm& form = folder.open();
    form.show();
    QApplication::setActiveWindow(&form);
    TMainFormView(form).cmbString()->setFocus();
    return form;
}

QStringList visibleMenuTitles(const TMainForm& form) {
    QStringList titles;
    for (QAction* action : form.menuBar()->actions())
        if (action->isVisible())
            titles << action->text();
    return titles;
}

// Every action a user can reach: items of the visible menus, the tool bar's and the pop-up
// menu's, and every action with a shortcut.
QList<QAction*> reachableActions(const TMainForm& form) {
    const TMainFormView view(form);
    QList<QAction*> reachable;
    for (QAction* title : form.menuBar()->actions())
        if (title->isVisible() && title->menu())
            reachable << title->menu()->actions();
    reachable << view.ToolBar()->actions() << view.PopupMenu()->actions();
    for (QAction* action : form.findChildren<QAction*>())
        if (!action->shortcuts().isEmpty())
            reachable << action;
    return reachable;
}

}  // namespace

class TestMainFormFrame : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { compare::setLocale(""); }

    void editModeDecidesEditingMenus_data();
    void editModeDecidesEditingMenus();
    void toolBarWithoutDictionary();
    void fontsAsDesigned();
    void windowAndTrayShowTheRedBook();
    void handlerlessActionsAreUnreachable();
    void ctrlWClosesOnlyAnOpenDictionary_data();
    void ctrlWClosesOnlyAnOpenDictionary();
    void disabledShortcutReachesNoControl_data();
    void disabledShortcutReachesNoControl();
    void shortcutsActFromTranslationWindow();
    void shortcutsRestWhileModalWindowIsOpen();
    void pointingAtNewShowsItsHint();
    void pointingAtToolButtonShowsItsHint();
    void viewTogglesFlipBarsAndTicks_data();
    void viewTogglesFlipBarsAndTicks();
    void helpOpensHelpFile();
    void helpWithMissingFileReportsNothing();
    void webOpensProgramSite();
    void trayMenuIsPopupMenu();
    void trayDoubleClickAndRestoreItem_data();
    void trayDoubleClickAndRestoreItem();
    void trayExitItemRunsExit();
    void rightClickOnWordListOpensPopupMenu();
    void windowKeepsItsWidthWithLongHistory_data();
    void windowKeepsItsWidthWithLongHistory();
    void completionMovesListToWholeText_data();
    void completionMovesListToWholeText();
};

void TestMainFormFrame::editModeDecidesEditingMenus_data() {
    QTest::addColumn<QString>("editMode");
    QTest::addColumn<QStringList>("titles");
    QTest::addRow("off") << "0" << QStringList{"Сервис", "&Помощь"};
    QTest::addRow("on") << "1" << QStringList{"Сервис", "Словарь", "Слова", "&Помощь"};
    QTest::addRow("anything but 1 is off") << "yes" << QStringList{"Сервис", "&Помощь"};
}

void TestMainFormFrame::editModeDecidesEditingMenus() {
    QFETCH(QString, editMode);
    QFETCH(QStringList, titles);
    TLookupFolder folder;
    folder.writeDic("en.dic", {"apple", "pear"});
    folder.setup().WriteValue("Main", "EditMode", editMode.toStdString());
    TMainForm& form = openActive(folder);
    const TMainFormView view(form);
    QCOMPARE(visibleMenuTitles(form), titles);

    // New works by its key in either mode.
    QTest::keyClick(view.cmbString(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(rig::tabs(form), QStringList({"en.dic", "noname.dic"}));

    // The term commands exist only in the "Слова" menu, which edit mode alone shows.
    const QList<QAction*> reachable = reachableActions(form);
    for (QAction* action : {view.actAdd(), view.actSub(), view.actEdit()})
        QCOMPARE(reachable.contains(action), editMode == "1");
}

void TestMainFormFrame::toolBarWithoutDictionary() {
    TLookupFolder folder;
    TMainForm& form = openActive(folder);
    const TMainFormView view(form);
    QStringList buttons;
    for (QAction* action : view.ToolBar()->actions()) {
        if (action->isSeparator()) {
            buttons << "|";
            QCOMPARE(view.ToolBar()->widgetForAction(action)->width(), 8);
            continue;
        }
        QWidget* button = view.ToolBar()->widgetForAction(action);
        QCOMPARE(button->size(), QSize(23, 22));
        QVERIFY(!action->icon().isNull());
        buttons << QString("%1:%2").arg(action->text(), button->isEnabled() ? "on" : "off");
    }
    QCOMPARE(buttons, QStringList({"Перевести:off", "Информация:off", "|", "&Настройки:on", "|",
                                   "&Справка:on", "&О программе:on"}));
}

void TestMainFormFrame::fontsAsDesigned() {
    TLookupFolder folder;
    TMainForm& form = openActive(folder);
    const TMainFormView view(form);
    // Courier New 9 point (12 pixels) for the search box and the word list, resolved to a
    // fixed-pitch face; the window's sans face 11 pixels high elsewhere.
    for (QWidget* fixed :
         {static_cast<QWidget*>(view.cmbString()), static_cast<QWidget*>(view.ListBox())}) {
        const QFontInfo info(fixed->font());
        QCOMPARE(info.pixelSize(), 12);
        QVERIFY2(info.fixedPitch(), qPrintable(info.family()));
    }
    for (QWidget* sans : {static_cast<QWidget*>(view.TabSet()),
                          static_cast<QWidget*>(view.StatusBar()), static_cast<QWidget*>(&form)}) {
        const QFontInfo info(sans->font());
        QCOMPARE(info.pixelSize(), 11);
        QVERIFY2(!info.fixedPitch(), qPrintable(info.family()));
    }
    QCOMPARE(view.TabSet()->height(), 21);
    QCOMPARE(view.StatusBar()->height(), 19);
    QCOMPARE(view.ToolBar()->height(), 26);
}

void TestMainFormFrame::windowAndTrayShowTheRedBook() {
    TLookupFolder folder;
    TMainForm& form = openActive(folder);
    auto drawn = [](const QIcon& icon, int side) {
        return icon.pixmap(side, side).toImage().convertToFormat(QImage::Format_ARGB32);
    };
    const QIcon small = imageIcon(TImage::Program);
    const QIcon detailed(QString::fromLatin1(kProgramIconPath));
    // The 16-pixel drawing in small, the detailed one at larger sizes.
    QCOMPARE(drawn(form.windowIcon(), 16), drawn(small, 16));
    QVERIFY(drawn(form.windowIcon(), 48) == drawn(detailed, 48));
    QVERIFY(drawn(form.windowIcon(), 48) != drawn(small, 48));
    QCOMPARE(drawn(TMainFormView(form).TrayIcon1()->icon()->icon(), 16), drawn(small, 16));
}

void TestMainFormFrame::handlerlessActionsAreUnreachable() {
    TLookupFolder folder;
    folder.setup().WriteValue("Main", "EditMode", "1");
    TMainForm& form = openActive(folder);
    const QStringList names = {"actFile",  "actHelp",    "actPrint", "actPreview", "actEditMenu",
                               "actCut",   "actCopy",    "actPaste", "actRun",     "actStop",
                               "actDel",   "actUndo",    "actRedo",  "actFind",    "actReplace",
                               "actClear", "actOptions", "actView",  "actDic",     "actService",
                               "actWord"};
    const QList<QAction*> reachable = reachableActions(form);
    for (const QString& name : names) {
        auto* action = form.findChild<QAction*>(name);
        QVERIFY2(action, qPrintable(name));
        QVERIFY(action->shortcuts().isEmpty());
        QVERIFY(!reachable.contains(action));
        QVERIFY(!form.actions().contains(action));
        QVERIFY(action->associatedObjects().isEmpty());
    }
}

void TestMainFormFrame::ctrlWClosesOnlyAnOpenDictionary_data() {
    QTest::addColumn<int>("dictionaries");
    QTest::addColumn<int>("tabsAfter");
    QTest::addRow("none open: nothing") << 0 << 0;
    QTest::addRow("one open: closed") << 1 << 0;
    QTest::addRow("two open: current closed") << 2 << 1;
}

void TestMainFormFrame::ctrlWClosesOnlyAnOpenDictionary() {
    QFETCH(int, dictionaries);
    QFETCH(int, tabsAfter);
    TLookupFolder folder;
    for (int i = 0; i < dictionaries; ++i)
        folder.writeDic("d" + std::to_string(i) + ".dic", {"term"});
    TMainForm& form = openActive(folder);
    QTest::keyClick(TMainFormView(form).cmbString(), Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(TMainFormView(form).TabSet()->count(), tabsAfter);
    QVERIFY(folder.dialogs().shown.empty());
}

void TestMainFormFrame::disabledShortcutReachesNoControl_data() {
    QTest::addColumn<int>("key");
    QTest::addRow("Ctrl+W, Close") << int(Qt::Key_W);
    QTest::addRow("Ctrl+S, Save") << int(Qt::Key_S);
}

void TestMainFormFrame::disabledShortcutReachesNoControl() {
    QFETCH(int, key);
    TLookupFolder folder;
    TMainForm& form = openActive(folder);
    const TMainFormView view(form);
    QVERIFY(!view.actClose()->isEnabled());
    QVERIFY(!view.actSave()->isEnabled());
    int fired = 0;
    connect(view.actClose(), &QAction::triggered, this, [&] { ++fired; });
    connect(view.actSave(), &QAction::triggered, this, [&] { ++fired; });
    TKeyCounter inBox(view.cmbString()->lineEdit());
    TKeyCounter onBox(view.cmbString());
    QTest::keyClick(view.cmbString(), Qt::Key(key), Qt::ControlModifier);
    QCOMPARE(fired, 0);
    QCOMPARE(inBox.presses + onBox.presses, 0);
    // An ordinary key still reaches the box.
    QTest::keyClick(view.cmbString(), Qt::Key_A);
    QVERIFY(onBox.presses > 0);
    QCOMPARE(view.cmbString()->currentText(), QString("a"));
}

void TestMainFormFrame::shortcutsActFromTranslationWindow() {
    TLookupFolder folder;
    folder.writeDic("en.dic", {"apple"});
    TMainForm& form = openActive(folder);
    const TMainFormView view(form);
    QTest::keyClicks(view.cmbString(), "app");
    QTest::keyClick(view.cmbString(), Qt::Key_Return);
    QCOMPARE(form.translationWindows().size(), size_t(1));
    TWordForm* window = form.translationWindows().front();
    QApplication::setActiveWindow(window);
    window->setFocus();
    QTest::keyClick(window, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(rig::tabs(form), QStringList({"en.dic", "noname.dic"}));
}

void TestMainFormFrame::shortcutsRestWhileModalWindowIsOpen() {
    TLookupFolder folder;
    TMainForm& form = openActive(folder);
    QDialog modal(&form);
    QLineEdit edit(&modal);
    int keysInModal = 0;
    TKeyCounter counter(&edit);
    QTimer::singleShot(50, &modal, [&] {
        QApplication::setActiveWindow(&modal);
        edit.setFocus();
        QTest::keyClick(&edit, Qt::Key_N, Qt::ControlModifier);
        QTest::keyClick(&edit, Qt::Key_W, Qt::ControlModifier);
        keysInModal = counter.presses;
        modal.reject();
    });
    modal.exec();
    QCOMPARE(TMainFormView(form).TabSet()->count(), 0);
    // The keys belong to the modal window: none is swallowed there.
    QCOMPARE(keysInModal, 2);
}

void TestMainFormFrame::pointingAtNewShowsItsHint() {
    TLookupFolder folder;
    folder.setup().WriteValue("Main", "EditMode", "1");
    TMainForm& form = openActive(folder);
    const TMainFormView view(form);
    QMenu* menu = view.mnDic();
    menu->popup(form.mapToGlobal(QPoint(40, 40)));
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    QTest::mouseMove(menu, menu->actionGeometry(view.actNew()).center());
    QTRY_COMPARE(view.StatusBar()->currentMessage(), QString("Начать новый словарь"));
    // An item without a hint empties the panel.
    QTest::mouseMove(menu, menu->actionGeometry(view.actOpen()).center());
    QTRY_COMPARE(view.StatusBar()->currentMessage(), QString("Открыть сохраненный словарь"));
    menu->hide();
    view.mnFile()->popup(form.mapToGlobal(QPoint(40, 40)));
    QVERIFY(QTest::qWaitForWindowExposed(view.mnFile()));
    QTest::mouseMove(view.mnFile(), view.mnFile()->actionGeometry(view.actTranslate()).center());
    QTRY_COMPARE(view.StatusBar()->currentMessage(), QString());
    view.mnFile()->hide();
}

void TestMainFormFrame::pointingAtToolButtonShowsItsHint() {
    TLookupFolder folder;
    TMainForm& form = openActive(folder);
    const TMainFormView view(form);
    QWidget* help = view.ToolBar()->widgetForAction(view.actSpravka());
    QCOMPARE(help->toolTip(), QString("Справка"));
    QTest::mouseMove(help, help->rect().center());
    QTRY_COMPARE(view.StatusBar()->currentMessage(), QString("Справка"));
    QWidget* setup = view.ToolBar()->widgetForAction(view.actSetup());
    QCOMPARE(setup->toolTip(), QString("Опции программы"));
    QTest::mouseMove(setup, setup->rect().center());
    QTRY_COMPARE(view.StatusBar()->currentMessage(), QString("Опции программы"));
}

void TestMainFormFrame::viewTogglesFlipBarsAndTicks_data() {
    QTest::addColumn<bool>("toolBar");
    QTest::addRow("tool bar") << true;
    QTest::addRow("status bar") << false;
}

void TestMainFormFrame::viewTogglesFlipBarsAndTicks() {
    QFETCH(bool, toolBar);
    TLookupFolder folder;
    TMainForm& form = openActive(folder);
    const TMainFormView view(form);
    QAction* toggle = toolBar ? view.actToolBar() : view.actStatusBar();
    QWidget* bar = toolBar ? static_cast<QWidget*>(view.ToolBar()) : view.StatusBar();
    QWidget* other = toolBar ? static_cast<QWidget*>(view.StatusBar()) : view.ToolBar();
    QVERIFY(bar->isVisible());
    QVERIFY(toggle->isChecked());
    toggle->trigger();
    QVERIFY(!bar->isVisible());
    QVERIFY(!toggle->isChecked());
    QVERIFY(other->isVisible());
    toggle->trigger();
    QVERIFY(bar->isVisible());
    QVERIFY(toggle->isChecked());

    // Both toggles are offered on the tool bar's context menu.
    QMenu* menu = nullptr;
    QTimer::singleShot(0, this, [&] {
        menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu)
            menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2),
                            view.ToolBar()->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(view.ToolBar(), &event);
    QTRY_VERIFY(menu != nullptr);
    QCOMPARE(menu->actions(), QList<QAction*>({view.actToolBar(), view.actStatusBar()}));
}

void TestMainFormFrame::helpOpensHelpFile() {
    TLookupFolder folder;
    const std::string chm = folder.file("termovel.chm");
    QFile file(QString::fromStdString(chm));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    setHelpFile(chm);
    TMainForm& form = openActive(folder);
    TUrlRecorder recorder;
    QTest::keyClick(TMainFormView(form).cmbString(), Qt::Key_F1);
    QCOMPARE(recorder.opened, QList<QUrl>({QUrl::fromLocalFile(QString::fromStdString(chm))}));
    QVERIFY(folder.dialogs().shown.empty());
}

void TestMainFormFrame::helpWithMissingFileReportsNothing() {
    TLookupFolder folder;
    for (const std::string& path : {folder.file("termovel.chm"), std::string()}) {
        setHelpFile(path);
        TMainForm& form = openActive(folder);
        TUrlRecorder recorder;
        QTest::keyClick(TMainFormView(form).cmbString(), Qt::Key_F1);
        TMainFormView(form).actSpravka()->trigger();
        QVERIFY(recorder.opened.isEmpty());
        QVERIFY(folder.dialogs().shown.empty());
    }
}

void TestMainFormFrame::webOpensProgramSite() {
    TLookupFolder folder;
    TMainForm& form = openActive(folder);
    TUrlRecorder recorder;
    TMainFormView(form).actWeb()->trigger();
    QCOMPARE(recorder.opened, QList<QUrl>({QUrl(QString::fromLatin1(ProgramSite))}));
    QVERIFY(folder.dialogs().shown.empty());
}

void TestMainFormFrame::trayMenuIsPopupMenu() {
    TLookupFolder folder;
    TMainForm& form = openActive(folder);
    const TMainFormView view(form);
    QSystemTrayIcon* icon = view.TrayIcon1()->icon();
    QCOMPARE(icon->contextMenu(), view.PopupMenu());
    QCOMPARE(icon->toolTip(), QString("Termovel v1.00"));
    QStringList items;
    for (QAction* action : view.PopupMenu()->actions())
        items << action->text();
    QCOMPARE(items, QStringList({"Запустить", "&Выход"}));
}

void TestMainFormFrame::trayDoubleClickAndRestoreItem_data() {
    QTest::addColumn<bool>("doubleClick");
    QTest::addRow("double click on the icon") << true;
    QTest::addRow("\"Запустить\" in its menu") << false;
}

void TestMainFormFrame::trayDoubleClickAndRestoreItem() {
    QFETCH(bool, doubleClick);
    TLookupFolder folder;
    TMainForm& form = openActive(folder);
    const TMainFormView view(form);
    form.showMinimized();
    QVERIFY(form.isMinimized());
    // A single click does nothing.
    emit view.TrayIcon1()->icon()->activated(QSystemTrayIcon::Trigger);
    QVERIFY(form.isMinimized());
    if (doubleClick)
        emit view.TrayIcon1()->icon()->activated(QSystemTrayIcon::DoubleClick);
    else
        view.PopupMenu()->actions().value(0)->trigger();
    QVERIFY(!form.isMinimized());
    QVERIFY(form.isVisible());
}

void TestMainFormFrame::trayExitItemRunsExit() {
    TLookupFolder folder;
    TMainForm& form = openActive(folder);
    const TMainFormView view(form);
    folder.dialogs().confirmAnswers = {TDialogs::TAnswer::No, TDialogs::TAnswer::Yes};
    QAction* exit = view.PopupMenu()->actions().value(1);
    exit->trigger();
    QCOMPARE(folder.dialogs().texts("confirm"), QStringList({"Выйти из программы?"}));
    QVERIFY(form.isVisible());
    exit->trigger();
    QVERIFY(!form.isVisible());
}

void TestMainFormFrame::rightClickOnWordListOpensPopupMenu() {
    TLookupFolder folder;
    folder.writeDic("en.dic", {"apple"});
    TMainForm& form = openActive(folder);
    const TMainFormView view(form);
    QWidget* list = view.ListBox()->viewport();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            list->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(list, &event);
    QTRY_VERIFY(view.PopupMenu()->isVisible());
    view.PopupMenu()->close();
}

void TestMainFormFrame::windowKeepsItsWidthWithLongHistory_data() {
    QTest::addColumn<int>("length");
    QTest::addRow("a phrase") << 30;
    QTest::addRow("300 characters") << 300;
    QTest::addRow("longest setting value") << 2047;
}

void TestMainFormFrame::windowKeepsItsWidthWithLongHistory() {
    QFETCH(int, length);
    TLookupFolder folder;
    folder.writeList("History", "1", {std::string(size_t(length), 'w')});
    TMainForm& form = openActive(folder);
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // The designed outer size, frame included, whatever the history holds.
    QTRY_COMPARE(form.frameGeometry().size(), QSize(273, 396));
    QVERIFY(form.minimumSizeHint().width() < 273);
    QVERIFY(form.minimumWidth() < 273);
}

void TestMainFormFrame::completionMovesListToWholeText_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("selected");
    QTest::addRow("completed entry not in the dictionary: list stays") << "c"
                                                                       << "cat"
                                                                       << "argon";
    QTest::addRow("completed entry begins a term") << "b"
                                                   << "bor"
                                                   << "boron";
    QTest::addRow("nothing to complete: typed letters") << "cad"
                                                        << "cad"
                                                        << "cadmium";
}

void TestMainFormFrame::completionMovesListToWholeText() {
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(QString, selected);
    TLookupFolder folder;
    folder.writeDic("elements.dic", {"argon", "boron", "cadmium", "carbon"});
    folder.writeList("History", "2", {"cat", "bor"});
    TMainForm& form = openActive(folder);
    const TMainFormView view(form);
    QTest::keyClicks(view.cmbString(), "ar");
    QCOMPARE(form.selectedRow(), 0);
    view.cmbString()->lineEdit()->clear();
    QCOMPARE(form.selectedRow(), 0);
    QTest::keyClicks(view.cmbString(), typed);
    QCOMPARE(view.cmbString()->currentText(), text);
    QCOMPARE(rig::rows(form).value(form.selectedRow()), selected);
}

QTEST_MAIN(TestMainFormFrame)
#include "tst_main_form_frame.moc"
