// The main window's dictionary tabs: which dictionaries open at start-up, the title, the
// actions that follow the open dictionaries, and what a tab change leaves behind.
#include <QAction>
#include <QComboBox>
#include <QListView>
#include <QMenu>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <fstream>

#include "dictionary/dictionary.h"
#include "platform/compare.h"
#include "support/main_form_rig.h"
#include "ui/dialogs/word_form.h"

namespace {

const QString kTitle = QStringLiteral("Termovel v1.00");

}  // namespace

class TestMainForm : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { compare::setLocale(""); }

    void startupDictionaries_data();
    void startupDictionaries();
    void startupTakesSourcesByFullPath_data();
    void startupTakesSourcesByFullPath();
    void folderNamedLikeDictionaryIsSkipped();
    void ampersandInFileNameIsNoMnemonic();
    void badListCountReportsAndScans();
    void parallelLoadKeepsTheSerialOrder();
    void threeDictionariesSelectFirstTab();
    void titleNamesCurrentDictionary_data();
    void titleNamesCurrentDictionary();
    void emptyDictionaryDisablesTermActions();
    void noDictionaryLeavesActionsDisabled();
    void tabChangeEmptiesSearchAndSelection();
    void clickingSelectedTabChangesNothing();
    void actionsCarryTheirTable_data();
    void actionsCarryTheirTable();
};

void TestMainForm::startupDictionaries_data() {
    QTest::addColumn<QString>("count");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("expectedTabs");

    QTest::newRow("scan mode opens every file in name order")
        << "0" << QStringList{} << QStringList{"a.dic", "b.dic", "c.dic"};
    QTest::newRow("negative count scans too")
        << "-3" << QStringList{"+a.dic"} << QStringList{"a.dic", "b.dic", "c.dic"};
    QTest::newRow("list mode: plus opens, minus skips")
        << "2" << QStringList{"+a.dic", "-b.dic"} << QStringList{"a.dic"};
    QTest::newRow("list keeps its own order")
        << "2" << QStringList{"+c.dic", "+a.dic"} << QStringList{"c.dic", "a.dic"};
    QTest::newRow("missing file skipped, next still opens")
        << "2" << QStringList{"+gone.dic", "+b.dic"} << QStringList{"b.dic"};
    QTest::newRow("empty and bare entries skipped")
        << "3" << QStringList{"", "+", "+c.dic"} << QStringList{"c.dic"};
    QTest::newRow("count beyond the entries")
        << "3" << QStringList{"+a.dic"} << QStringList{"a.dic"};
    QTest::newRow("names reaching out of the folder are skipped")
        << "3" << QStringList{"+sub/d.dic", "+../a.dic", "+sub\\d.dic"} << QStringList{};
}

void TestMainForm::startupDictionaries() {
    QFETCH(QString, count);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, expectedTabs);

    TLookupFolder folder;
    folder.writeDic("a.dic", {"alpha"});
    folder.writeDic("b.dic", {"beta"});
    folder.writeDic("c.dic", {"gamma"});
    std::filesystem::create_directory(folder.file("sub"));
    folder.writeDic("sub/d.dic", {"delta"});
    std::vector<std::string> list;
    for (const QString& entry : entries)
        list.push_back(entry.toStdString());
    folder.writeList("List", count.toStdString(), list);

    TMainForm& form = folder.open();
    QCOMPARE(rig::tabs(form), expectedTabs);
    QCOMPARE(TMainFormView(form).dicCount(), expectedTabs.size());
    QCOMPARE(folder.dialogs().shown.size(), size_t{0});
    QCOMPARE(TMainFormView(form).CurDic(), expectedTabs.isEmpty() ? -1 : 0);
}

// Dictionaries found elsewhere ("@" stands for a folder outside the program folder): the
// Sources section names them by full path after the List's bare names, and with no list made
// yet the ones found in the source folders and the added folders open after the program's own.
void TestMainForm::startupTakesSourcesByFullPath_data() {
    QTest::addColumn<QStringList>("list");     // Count, then the entries
    QTest::addColumn<QStringList>("sources");  // Count, then the entries; empty: no section
    QTest::addColumn<QStringList>("folders");  // the Folders section, likewise
    QTest::addColumn<bool>("searched");        // "@/sub" is the source folder
    QTest::addColumn<QStringList>("expectedTabs");
    QTest::addColumn<QStringList>("errors");

    QTest::newRow("the list, then the sources in their order")
        << QStringList{"2", "+b.dic", "-a.dic"}
        << QStringList{"4", "+@/y.dic", "-@/sub/x.dic", "+@/gone.dic", "+@/sub/x.dic"}
        << QStringList{} << false << QStringList{"b.dic", "y.dic", "x.dic"} << QStringList{};
    QTest::newRow("sources alone make a list")
        << QStringList{"0"} << QStringList{"1", "+@/sub/x.dic"} << QStringList{} << true
        << QStringList{"x.dic"} << QStringList{};
    QTest::newRow("a path that is not absolute is not taken")
        << QStringList{"0"} << QStringList{"2", "+a.dic", "+@/y.dic"} << QStringList{} << false
        << QStringList{"y.dic"} << QStringList{};
    QTest::newRow("no list yet: the program's own, then those found")
        << QStringList{"0"} << QStringList{} << QStringList{"1", "@/added"} << true
        << QStringList{"a.dic", "b.dic", "x.dic", "z.dic"} << QStringList{};
    QTest::newRow("no list yet, no source folders: the added folders still")
        << QStringList{"0"} << QStringList{} << QStringList{"1", "@/added"} << false
        << QStringList{"a.dic", "b.dic", "z.dic"} << QStringList{};
    QTest::newRow("a damaged Sources count is told, the list still opens")
        << QStringList{"1", "+a.dic"} << QStringList{"many", "+@/y.dic"} << QStringList{} << false
        << QStringList{"a.dic"}
        << QStringList{QStringLiteral("'many' is not a valid integer value")};
    QTest::newRow("a file without the section opens its list as always")
        << QStringList{"1", "+a.dic"} << QStringList{} << QStringList{} << true
        << QStringList{"a.dic"} << QStringList{};
}

void TestMainForm::startupTakesSourcesByFullPath() {
    QFETCH(QStringList, list);
    QFETCH(QStringList, sources);
    QFETCH(QStringList, folders);
    QFETCH(bool, searched);
    QFETCH(QStringList, expectedTabs);
    QFETCH(QStringList, errors);

    QTemporaryDir elsewhere;
    const std::string at = elsewhere.path().toStdString();
    TLookupFolder folder;
    folder.writeDic("a.dic", {"alpha"});
    folder.writeDic("b.dic", {"beta"});
    std::filesystem::create_directories(at + "/sub");
    std::filesystem::create_directories(at + "/added");
    for (const auto& [path, term] : std::vector<std::pair<std::string, std::string>>{
             {"/sub/x.dic", "xi"}, {"/y.dic", "ypsilon"}, {"/added/z.dic", "zeta"}}) {
        TDictionary dictionary;
        dictionary.AddTerm(term, "article of " + term);
        dictionary.SaveToFile(at + path);
    }
    const auto write = [&](const std::string& section, QStringList entries) {
        if (entries.isEmpty())
            return;
        std::vector<std::string> values;
        for (const QString& entry : entries.mid(1))
            values.push_back(QString(entry).replace('@', elsewhere.path()).toStdString());
        folder.writeList(section, entries[0].toStdString(), values);
    };
    write("List", list);
    write("Sources", sources);
    write("Folders", folders);
    if (searched)
        folder.sourceFolders = {at + "/sub"};

    TMainForm& form = folder.open();
    QCOMPARE(rig::tabs(form), expectedTabs);
    QCOMPARE(folder.dialogs().texts("error"), errors);
}

void TestMainForm::folderNamedLikeDictionaryIsSkipped() {
    TLookupFolder folder;
    std::filesystem::create_directory(folder.file("x.dic"));
    folder.writeDic("y.dic", {"yes"});
    TMainForm& form = folder.open();
    QCOMPARE(rig::tabs(form), QStringList{"y.dic"});
    QVERIFY(folder.dialogs().shown.empty());
}

void TestMainForm::ampersandInFileNameIsNoMnemonic() {
    TLookupFolder folder;
    folder.writeDic("a.dic", {"alpha"});
    folder.writeDic("R&D.dic", {"delta"});
    TMainForm& form = folder.open();
    form.show();
    QApplication::setActiveWindow(&form);
    QCOMPARE(rig::tabs(form), (QStringList{"a.dic", "R&D.dic"}));
    // The ampersand is part of the name: it lends the tab no Alt key.
    QTest::keyClick(&form, Qt::Key_D, Qt::AltModifier);
    QCOMPARE(TMainFormView(form).TabSet()->currentIndex(), 0);
    QCOMPARE(TMainFormView(form).CurDic(), 0);
    // The question about unsaved work names the file as it is.
    TMainFormView(form).TabSet()->setCurrentIndex(1);
    folder.dialogs().onModal = [](QDialog& window) {
        static_cast<TWordForm&>(window).setTexts("epsilon", "");
        return int(QDialog::Accepted);
    };
    form.actAddExecute();
    QCOMPARE(rig::termsOf(TMainFormView(form).dic(1)), (QStringList{"delta", "epsilon"}));
    folder.dialogs().confirmAnswers = {TDialogs::TAnswer::No};
    form.actExitExecute();
    QCOMPARE(folder.dialogs().texts("confirm"),
             QStringList{QStringLiteral("Словарь R&D.dic не сохранен! Продолжить?")});
}

void TestMainForm::badListCountReportsAndScans() {
    TLookupFolder folder;
    folder.writeDic("a.dic", {"alpha"});
    folder.writeDic("b.dic", {"beta"});
    folder.writeList("List", "two", {"+a.dic"});
    folder.writeList("History", "1", {"kept"});
    TMainForm& form = folder.open();
    QCOMPARE(folder.dialogs().texts("error"),
             QStringList{QStringLiteral("'two' is not a valid integer value")});
    QCOMPARE(rig::tabs(form), (QStringList{"a.dic", "b.dic"}));
    // The rest of the creation still ran: the history is loaded.
    QCOMPARE(TMainFormView(form).cmbString()->count(), 1);
}

// The start-up dictionaries load on several threads, yet the window changes as a load one by one
// would: a large file first and damaged ones among good ones give the tabs in list order and
// the first tab's title. A damaged file has no index to open it by: its tab stands in its place
// until making the index finds the damage; then its error box, naming the file, comes in list
// order, and the file costs only its own tab.
void TestMainForm::parallelLoadKeepsTheSerialOrder() {
    TLookupFolder folder;
    std::vector<std::string> many;
    for (int i = 0; i < 20000; ++i)
        many.push_back("term" + std::to_string(i));
    folder.writeDic("big.dic", many, "Big");
    folder.writeDic("a.dic", {"alpha"});
    folder.writeDic("c.dic", {"gamma"}, "C");
    folder.writeDic("e.dic", {"epsilon"});
    folder.writeDic("off.dic", {"off"});
    std::ofstream(folder.file("short.dic")) << "xy";  // far too short to hold a dictionary
    // A whole header and count, then the entry cut short.
    TDictionary d;
    d.SetName("Cut");
    d.AddTerm("one", "1");
    d.SaveToFile(folder.file("cut.dic"));
    std::filesystem::resize_file(folder.file("cut.dic"), 20);
    folder.writeList("List", "8",
                     {"+big.dic", "+short.dic", "+a.dic", "+cut.dic", "+missing.dic", "+c.dic",
                      "-off.dic", "+e.dic"});
    QStringList events;
    TMainForm& form = folder.open([&](TFakeDialogs& dialogs) {
        dialogs.onError = [&](QWidget* parent, const QString& text) {
            auto* window = static_cast<TMainForm*>(parent);
            events << QString::number(TMainFormView(*window).TabSet()->count()) + ": " + text;
        };
    });
    const auto failed = [&](int tabs, const char* name) {
        return QString::number(tabs) + QStringLiteral(": Файл словаря ") +
               QString::fromStdString(folder.file(name)) + QStringLiteral(":\nStream read error");
    };
    // Every tab stood at once (six), each damaged one gone as its error is shown.
    QCOMPARE(events, (QStringList{failed(5, "short.dic"), failed(4, "cut.dic")}));
    QCOMPARE(rig::tabs(form), (QStringList{"big.dic", "a.dic", "c.dic", "e.dic"}));
    QCOMPARE(TMainFormView(form).dicCount(), 4);
    QCOMPARE(TMainFormView(form).TabSet()->currentIndex(), 0);
    QCOMPARE(TMainFormView(form).CurDic(), 0);
    QCOMPARE(form.windowTitle(), kTitle + QStringLiteral(" - Big"));
    QCOMPARE(TMainFormView(form).dic(0).Count(), 20000);
}

void TestMainForm::threeDictionariesSelectFirstTab() {
    TLookupFolder folder;
    folder.writeDic("a.dic", {"one", "two"});
    folder.writeDic("b.dic", {"three"});
    folder.writeDic("c.dic", {"four"});
    TMainForm& form = folder.open();
    QCOMPARE(TMainFormView(form).TabSet()->currentIndex(), 0);
    QCOMPARE(TMainFormView(form).CurDic(), 0);
    QCOMPARE(rig::rows(form), (QStringList{"one", "two"}));
    QVERIFY(TMainFormView(form).cmbString()->currentText().isEmpty());
    QCOMPARE(form.selectedRow(), -1);
    QVERIFY(TMainFormView(form).actClose()->isEnabled());
    QVERIFY(TMainFormView(form).actInfo()->isEnabled());
    QVERIFY(TMainFormView(form).actAdd()->isEnabled());
    QVERIFY(TMainFormView(form).actTranslate()->isEnabled());
}

void TestMainForm::titleNamesCurrentDictionary_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("title");
    QTest::newRow("named first") << 0 << kTitle + QStringLiteral(" - Первый");
    QTest::newRow("unnamed second drops the old name") << 1 << kTitle;
    QTest::newRow("named third") << 2 << kTitle + QStringLiteral(" - Third");
}

void TestMainForm::titleNamesCurrentDictionary() {
    QFETCH(int, tab);
    QFETCH(QString, title);
    TLookupFolder folder;
    folder.writeDic("a.dic", {"one"}, "\xCF\xE5\xF0\xE2\xFB\xE9");  // Первый
    folder.writeDic("b.dic", {"two"});
    folder.writeDic("c.dic", {"three"}, "Third");
    TMainForm& form = folder.open();
    // Go through another tab first, so the title is set by the change to the tab of this row.
    TMainFormView(form).TabSet()->setCurrentIndex(tab == 2 ? 0 : 2);
    TMainFormView(form).TabSet()->setCurrentIndex(tab);
    QCOMPARE(form.windowTitle(), title);
}

void TestMainForm::emptyDictionaryDisablesTermActions() {
    TLookupFolder folder;
    folder.writeDic("a.dic", {"one"});
    folder.writeDic("b.dic", {});
    TMainForm& form = folder.open();
    TMainFormView(form).TabSet()->setCurrentIndex(1);
    QCOMPARE(TMainFormView(form).CurDic(), 1);
    for (QAction* action : {TMainFormView(form).actSave(), TMainFormView(form).actSub(),
                            TMainFormView(form).actEdit(), TMainFormView(form).actTranslate()})
        QVERIFY2(!action->isEnabled(), qPrintable(action->text()));
    for (QAction* action : {TMainFormView(form).actClose(), TMainFormView(form).actInfo(),
                            TMainFormView(form).actAdd()})
        QVERIFY2(action->isEnabled(), qPrintable(action->text()));
    TMainFormView(form).TabSet()->setCurrentIndex(0);
    QVERIFY(TMainFormView(form).actTranslate()->isEnabled());
}

void TestMainForm::noDictionaryLeavesActionsDisabled() {
    TLookupFolder folder;
    TMainForm& form = folder.open();
    QCOMPARE(TMainFormView(form).TabSet()->count(), 0);
    QCOMPARE(TMainFormView(form).CurDic(), -1);
    QCOMPARE(form.windowTitle(), kTitle);
    for (QAction* action :
         {TMainFormView(form).actClose(), TMainFormView(form).actInfo(),
          TMainFormView(form).actAdd(), TMainFormView(form).actSave(), TMainFormView(form).actSub(),
          TMainFormView(form).actEdit(), TMainFormView(form).actTranslate()})
        QVERIFY2(!action->isEnabled(), qPrintable(action->text()));
}

void TestMainForm::tabChangeEmptiesSearchAndSelection() {
    TLookupFolder folder;
    folder.writeDic("a.dic", {"apple", "apricot"});
    folder.writeDic("b.dic", {"banana", "berry"});
    TMainForm& form = folder.open();
    form.show();
    QTest::keyClicks(TMainFormView(form).cmbString(), "apr");
    QCOMPARE(form.selectedRow(), 1);
    TMainFormView(form).TabSet()->setCurrentIndex(1);
    QCOMPARE(TMainFormView(form).CurDic(), 1);
    QVERIFY(TMainFormView(form).cmbString()->currentText().isEmpty());
    QCOMPARE(form.selectedRow(), -1);
    QCOMPARE(rig::rows(form), (QStringList{"banana", "berry"}));
}

void TestMainForm::clickingSelectedTabChangesNothing() {
    TLookupFolder folder;
    folder.writeDic("a.dic", {"apple", "apricot"});
    folder.writeDic("b.dic", {"banana"});
    TMainForm& form = folder.open();
    form.show();
    QTest::keyClicks(TMainFormView(form).cmbString(), "apr");
    const QRect tab = TMainFormView(form).TabSet()->tabRect(0);
    QTest::mouseClick(TMainFormView(form).TabSet(), Qt::LeftButton, {}, tab.center());
    QCOMPARE(TMainFormView(form).cmbString()->currentText(), QStringLiteral("apr"));
    QCOMPARE(form.selectedRow(), 1);
}

void TestMainForm::actionsCarryTheirTable_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("checked");

    auto row = [](const char* name, const char* caption, const char* category, const char* hint,
                  QKeySequence key, bool enabled, bool checked = false) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromUtf8(caption)
                            << QString::fromUtf8(category) << QString::fromUtf8(hint) << key
                            << enabled << checked;
    };
    row("actTranslate", "Перевести", "", "", {}, false);
    row("actInfo", "Информация", "Словарь", "Информация о словаре", {}, false);
    row("actSetup", "&Настройки", "Опции", "Опции программы", QKeySequence(Qt::Key_F8), true);
    row("actExit", "&Выход", "Файл", "Выход из программы", QKeySequence(Qt::CTRL | Qt::Key_Q),
        true);
    row("actNew", "&Новый", "Файл", "Начать новый словарь", QKeySequence(Qt::CTRL | Qt::Key_N),
        true);
    row("actOpen", "&Открыть", "Файл", "Открыть сохраненный словарь",
        QKeySequence(Qt::CTRL | Qt::Key_O), true);
    row("actClose", "Закрыть", "Файл", "Закрыть текущий словарь",
        QKeySequence(Qt::CTRL | Qt::Key_W), false);
    row("actSave", "&Сохранить", "Файл", "Сохранить текущий словарь",
        QKeySequence(Qt::CTRL | Qt::Key_S), false);
    row("actAdd", "Добавить термин", "Словарь", "Добавить термин в словарь", {}, false);
    row("actSub", "Удалить термин", "Словарь", "Удалить термин из словаря", {}, false);
    row("actEdit", "Редактировать термин", "Словарь", "Редактировать текущий термин", {}, false);
    row("actSpravka", "&Справка", "Помощь", "Справка", QKeySequence(Qt::Key_F1), true);
    row("actWeb", "Web-сайт", "Помощь", "Web-сайт программы", {}, true);
    row("actAbout", "&О программе", "Помощь", "О программе", {}, true);
    row("actOpenWin", "Запустить", "", "", {}, true);
    row("actToolBar", "&Панель инструментов", "Вид", "", {}, true, true);
    row("actStatusBar", "&Строка состояния", "Вид", "", {}, true, true);
    // The import needs a current dictionary; the window here opens none.
    row("actImport", "Импортировать", "Словарь", "", {}, false);
}

void TestMainForm::actionsCarryTheirTable() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, category);
    QFETCH(QString, hint);
    QFETCH(QKeySequence, shortcut);
    QFETCH(bool, enabled);
    QFETCH(bool, checked);

    TLookupFolder folder;
    TMainForm& form = folder.open();
    const QMap<QString, QAction*> actions{{"actTranslate", TMainFormView(form).actTranslate()},
                                          {"actInfo", TMainFormView(form).actInfo()},
                                          {"actSetup", TMainFormView(form).actSetup()},
                                          {"actExit", TMainFormView(form).actExit()},
                                          {"actNew", TMainFormView(form).actNew()},
                                          {"actOpen", TMainFormView(form).actOpen()},
                                          {"actClose", TMainFormView(form).actClose()},
                                          {"actSave", TMainFormView(form).actSave()},
                                          {"actAdd", TMainFormView(form).actAdd()},
                                          {"actSub", TMainFormView(form).actSub()},
                                          {"actEdit", TMainFormView(form).actEdit()},
                                          {"actSpravka", TMainFormView(form).actSpravka()},
                                          {"actWeb", TMainFormView(form).actWeb()},
                                          {"actAbout", TMainFormView(form).actAbout()},
                                          {"actOpenWin", TMainFormView(form).actOpenWin()},
                                          {"actToolBar", TMainFormView(form).actToolBar()},
                                          {"actStatusBar", TMainFormView(form).actStatusBar()},
                                          {"actImport", TMainFormView(form).actImport()}};
    QAction* action = actions.value(name);
    QVERIFY(action);
    QCOMPARE(action->text(), caption);
    QCOMPARE(action->property("category").toString(), category);
    QCOMPARE(action->property("hint").toString(), hint.isEmpty() ? QString() : hint + "|" + hint);
    QCOMPARE(action->statusTip(), hint);
    QCOMPARE(action->shortcut(), shortcut);
    QCOMPARE(action->isEnabled(), enabled);
    QCOMPARE(action->isChecked(), checked);
    // The window holds the action itself, so its shortcut works while its menu is hidden.
    QVERIFY(form.actions().contains(action));
}

QTEST_MAIN(TestMainForm)
#include "tst_main_form.moc"
