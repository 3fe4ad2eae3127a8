// Tabs whose term index is still being made, and dictionaries whose file another program changes
// while the window shows them: the window stays usable, never shows another term's article and
// never writes a stand-in over a real file.
#include <QAction>
#include <QStatusBar>
#include <QtTest>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/compare.h"
#include "support/main_form_rig.h"
#include "ui/dialogs/article_search_form.h"
#include "ui/dialogs/word_form.h"
#include "ui/instance_channel.h"

namespace {

const QStringList kFruitRows = {"apple", "banana", "cherry"};
const QStringList kTreeRows = {"ash", "birch", "cedar", "elm"};
const QString kReadAfresh =
    QStringLiteral("Словарь «fruit.dic» изменён другой программой и перечитан");

}  // namespace

class TestPreparing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { compare::setLocale(""); }
    void tabWithoutIndexIsPreparedWhileOthersWork_data();
    void tabWithoutIndexIsPreparedWhileOthersWork();
    void fileChangedUnderWindowIsReadAfresh_data();
    void fileChangedUnderWindowIsReadAfresh();
    void editedTabIsNeverReadAfresh();
};

// Start-up with two files, only some of whose indexes are made: each tab stands in its place at
// once; one without its index shows its progress, refuses every command that reads or writes
// its dictionary, and becomes a tab like any other when its index is made, while the other tab
// answers look-ups meanwhile. Closing the tab meanwhile cancels its preparing and asks nothing;
// a word handed over by a later start waits for it (its dictionary may have the word), then
// opens. A file that cannot be read ends as at start-up: its error box, and no tab.
void TestPreparing::tabWithoutIndexIsPreparedWhileOthersWork_data() {
    QTest::addColumn<bool>("fruitIndexed");
    QTest::addColumn<bool>("treesIndexed");
    QTest::addColumn<bool>("treesBroken");
    QTest::addColumn<QString>("meanwhile");  // what the user does while trees.dic is prepared
    QTest::addColumn<QStringList>("tabsAfter");

    const QStringList both = {"fruit.dic", "trees.dic"};
    const QStringList fruit = {"fruit.dic"};
    QTest::newRow("second tab without index") << true << false << false << QString() << both;
    QTest::newRow("first tab without index") << false << true << false << QString() << both;
    QTest::newRow("no index at all") << false << false << false << QString() << both;
    QTest::newRow("second file is no dictionary") << true << false << true << QString() << fruit;
    QTest::newRow("closed while prepared") << true << false << false << QString("close") << fruit;
    QTest::newRow("word handed over") << true << false << false << QString("birch") << both;
}

void TestPreparing::tabWithoutIndexIsPreparedWhileOthersWork() {
    QFETCH(bool, fruitIndexed);
    QFETCH(bool, treesIndexed);
    QFETCH(bool, treesBroken);
    QFETCH(QString, meanwhile);
    QFETCH(QStringList, tabsAfter);

    TLookupFolder folder;
    folder.writeDic("fruit.dic", rig::cp(kFruitRows), "Fruit");
    folder.writeDic("trees.dic", rig::cp(kTreeRows), "Trees");
    if (treesBroken)
        std::ofstream(folder.file("trees.dic")) << "this is no dictionary, only some text";
    QVERIFY(!fruitIndexed || folder.makeIndex("fruit.dic"));
    QVERIFY(!treesIndexed || folder.makeIndex("trees.dic"));

    TMainForm& form = folder.open({}, false);
    const TMainFormView view(form);
    // Both tabs stand at once, in their order, whatever their indexes.
    QCOMPARE(rig::tabs(form), (QStringList{"fruit.dic", "trees.dic"}));
    QCOMPARE(view.preparing(0), !fruitIndexed);
    QCOMPARE(view.preparing(1), !treesIndexed);

    for (int tab = 0; tab < 2; ++tab) {
        if (!view.preparing(tab))
            continue;
        rig::clickTab(form, tab);
        // One line of progress, which is no term: nothing selects it, nothing opens from it.
        static const QRegularExpression progress(QStringLiteral("^Подготовка словаря: \\d+ %$"));
        const QStringList rows = rig::rows(form);
        QVERIFY2(rows.size() == 1 && progress.match(rows.front()).hasMatch(),
                 qPrintable(rows.join('|')));
        QCOMPARE(rig::states(form), QStringLiteral("1000000"));
        QVERIFY(!view.actSearchArticles()->isEnabled() && !view.actImport()->isEnabled());
        QCOMPARE(form.windowTitle(), QString::fromLatin1(ProgramTitle));
        QVERIFY(!form.currentDictionary());
        rig::clickRow(form, 0);
        QCOMPARE(form.selectedRow(), -1);
        // Commands reached some other way than their disabled actions do nothing either: no
        // file dialog, no window, no stand-in written anywhere.
        int fileDialogs = 0;
        folder.dialogs().onFileDialog = [&](QFileDialog&) { return ++fileDialogs, false; };
        form.guarded([&] { form.actSaveExecute(), form.actEditExecute(), form.actInfoExecute(); });
        QCOMPARE(fileDialogs, 0);
        QVERIFY(folder.dialogs().shown.empty());
        // Typing in its search box finds nothing.
        form.lookUpWord(QStringLiteral("zzz"));
        QCOMPARE(form.selectedRow(), -1);
    }

    if (meanwhile == "close") {
        view.actClose()->trigger();  // trees.dic, clicked last above
        QCOMPARE(rig::tabs(form), tabsAfter);
        QCOMPARE(view.preparingCount(), 0);
        QCOMPARE(rig::rows(form), kFruitRows);
        QVERIFY(folder.dialogs().shown.empty());  // a tab being prepared holds nothing unsaved
        QTest::qWait(300);
    } else if (!meanwhile.isEmpty()) {
        rig::clickTab(form, 0);            // the word is in the other tab
        view.StatusBar()->clearMessage();  // «zzz» above was not found
        form.carryOut({TInstanceRequest::TKind::Lookup, meanwhile});
        QVERIFY(form.translationWindows().empty());
        QVERIFY(rig::status(form).isEmpty());  // no «not found» for a word being prepared
    } else if (const int ready = fruitIndexed ? 0 : (treesIndexed ? 1 : -1); ready >= 0) {
        // A tab that is ready answers look-ups meanwhile, its translation windows included.
        const QString term = ready == 0 ? "banana" : "birch";
        QVERIFY(form.openTerm(term));
        QCOMPARE(rig::windowTerms(form), QStringList{term});
        QVERIFY(rig::ownArticles(form));
    }

    QVERIFY(rig::waitUntilPrepared(form));
    QCOMPARE(rig::tabs(form), tabsAfter);
    if (!meanwhile.isEmpty() && meanwhile != "close") {
        QTRY_COMPARE(rig::windowTerms(form), QStringList{meanwhile});
        QCOMPARE(form.currentDictionary(), &view.dic(1));
        QVERIFY(rig::ownArticles(form));
    }
    const QStringList errors = folder.dialogs().texts("error");
    QCOMPARE(errors.size(), treesBroken ? 1 : 0);
    const QString treesError = "Файл словаря " + QString::fromStdString(folder.file("trees.dic"));
    QVERIFY2(!treesBroken || errors.front().startsWith(treesError), qPrintable(errors.join('|')));
    // Every tab left is a tab like any other: its terms, its commands, its title.
    for (int tab = 0; tab < tabsAfter.size(); ++tab) {
        rig::clickTab(form, tab);
        const bool fruit = tabsAfter[tab] == "fruit.dic";
        QCOMPARE(rig::termsOf(*form.currentDictionary()), fruit ? kFruitRows : kTreeRows);
        QCOMPARE(rig::rows(form), rig::termsOf(*form.currentDictionary()));
        QCOMPARE(rig::states(form), QStringLiteral("1111111"));
        QVERIFY(form.windowTitle().endsWith(fruit ? " - Fruit" : " - Trees"));
        QVERIFY(form.currentDictionary()->termFile());
    }
}

// Another program replaces the file (a rename over it), writes it in place, or cuts it short
// while the window shows it. The next read of it, or a tab change to it, reads it afresh with
// a word in the status bar: no other term's article is ever shown, and the tab then shows the
// file as it is now (or its error, when it no longer loads). A search in articles under way
// when the file changes stops at the first article that is no longer the one indexed and
// offers nothing.
void TestPreparing::fileChangedUnderWindowIsReadAfresh_data() {
    QTest::addColumn<QString>("change");  // rename, in place, truncate
    // translate, edit, delete, search (in articles, before or during), tab (chosen again),
    // focus (the window comes back from another program)
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("rowsAfter");  // none: the file no longer loads

    const auto row = [](const char* name, const char* change, const char* command,
                        const QStringList& rowsAfter) {
        QTest::newRow(name) << QString(change) << QString(command) << rowsAfter;
    };
    row("replaced, then translated", "rename", "translate", kTreeRows);
    row("written in place, then translated", "in place", "translate", kTreeRows);
    row("cut short, then translated", "truncate", "translate", {});
    row("replaced, then edited", "rename", "edit", kTreeRows);
    row("written in place, then deleted from", "in place", "delete", kTreeRows);
    row("written in place, then searched in", "in place", "search", kTreeRows);
    row("written in place while searched in", "in place", "during search", kTreeRows);
    row("replaced, then its tab chosen", "rename", "tab", kTreeRows);
    row("cut short, then its tab chosen", "truncate", "tab", {});
    row("replaced, then the window comes back", "rename", "focus", kTreeRows);
}

void TestPreparing::fileChangedUnderWindowIsReadAfresh() {
    QFETCH(QString, change);
    QFETCH(QString, command);
    QFETCH(QStringList, rowsAfter);

    TLookupFolder folder;
    folder.writeDic("a.dic", {"extra"}, "Other");
    folder.writeDic("fruit.dic", rig::cp(kFruitRows), "Fruit");
    folder.setup().WriteValue("Main", "EditMode", "1");
    TMainForm& form = folder.open();
    form.show();
    const TMainFormView view(form);
    QCOMPARE(rig::tabs(form), (QStringList{"a.dic", "fruit.dic"}));
    rig::clickTab(form, 1);
    QVERIFY(form.currentDictionary()->termFile());
    // The file's new contents: other terms at other places. Written in place, it stays the same
    // file, its bytes overwritten.
    const std::string path = folder.file("fruit.dic");
    folder.writeDic("new.tmp", rig::cp(kTreeRows), "Trees");
    const auto changeFile = [&] {
        if (change == "rename")
            QCOMPARE(std::rename(folder.file("new.tmp").c_str(), path.c_str()), 0);
        else if (change == "in place")
            std::ofstream(path, std::ios::binary) << std::ifstream(folder.file("new.tmp")).rdbuf();
        else
            std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
    };
    const bool duringSearch = command == "during search";
    if (!duringSearch)
        changeFile();

    int modals = 0;
    bool complete = true;
    std::vector<int> offered = {-1};
    folder.dialogs().onModal = [&](QDialog& dialog) {
        ++modals;
        if (auto* search = dynamic_cast<TArticleSearchForm*>(&dialog); search && duringSearch) {
            changeFile();
            search->setText(QStringLiteral("article"));
            complete = search->search();
            offered = search->found();
        }
        return int(QDialog::Rejected);
    };
    folder.dialogs().confirmAnswers = {TDialogs::TAnswer::Yes};
    if (command == "tab" || command == "focus") {  // away, nothing read, and back
        command == "tab" ? rig::clickTab(form, 0) : QApplication::setActiveWindow(nullptr);
        QVERIFY(rig::status(form).isEmpty());
        command == "tab" ? rig::clickTab(form, 1) : QApplication::setActiveWindow(&form);
    } else if (command.endsWith("search")) {
        view.actSearchArticles()->trigger();
    } else {
        rig::clickRow(form, 1);  // banana
        QAction* action = command == "translate" ? view.actTranslate()
                          : command == "edit"    ? view.actEdit()
                                                 : view.actSub();
        action->trigger();
    }
    QCOMPARE(rig::status(form), kReadAfresh);
    QVERIFY(form.translationWindows().empty());
    // No editing window opened over a dictionary that could not load; the search under way
    // found the change.
    QCOMPARE(modals, duringSearch ? 1 : 0);
    QCOMPARE(complete, !duringSearch);
    QCOMPARE(offered.empty(), duringSearch);
    QVERIFY(view.preparing(1));

    QVERIFY(rig::waitUntilPrepared(form));
    QVERIFY(rig::ownArticles(form));
    QCOMPARE(folder.dialogs().texts("error").size(), rowsAfter.isEmpty() ? 1 : 0);
    if (rowsAfter.isEmpty()) {
        QCOMPARE(rig::tabs(form), QStringList{"a.dic"});
        return;
    }
    QCOMPARE(rig::tabs(form), (QStringList{"a.dic", "fruit.dic"}));
    QCOMPARE(form.currentDictionary(), &view.dic(1));
    QCOMPARE(rig::rows(form), rowsAfter);
    // The new file's terms open with their own articles.
    rig::clickRow(form, 1);
    view.actTranslate()->trigger();
    QCOMPARE(rig::windowTerms(form), QStringList{"birch"});
    QVERIFY(rig::ownArticles(form));
}

// A tab opened through its index and edited: the edit loads it whole, its unsaved work goes to a
// recovery file, and it is never read afresh whatever happens to the file. (Saving an edited
// tab over a file another program wrote is the editing tests' own.)
void TestPreparing::editedTabIsNeverReadAfresh() {
    TLookupFolder folder;
    folder.writeDic("fruit.dic", rig::cp(kFruitRows), "Fruit");
    folder.setup().WriteValue("Main", "EditMode", "1");
    TMainForm& form = folder.open();
    QVERIFY(form.currentDictionary()->termFile());
    folder.dialogs().onModal = [](QDialog& dialog) {
        static_cast<TWordForm&>(dialog).setTexts("date", "article of date");
        return int(QDialog::Accepted);
    };
    TMainFormView(form).actAdd()->trigger();
    QVERIFY(form.currentDictionary()->Modified());
    QVERIFY(!form.currentDictionary()->termFile());
    QVERIFY(!form.currentDictionary()->fileChanged());
    QCOMPARE(form.writeRecovery(), 0);
    const QStringList edited = kFruitRows + QStringList{"date"};
    QCOMPARE(rig::rows(form), edited);

    // Unsaved work is never read afresh, whatever happens to the file.
    folder.writeDic("fruit.dic", rig::cp(kTreeRows), "Trees");
    QVERIFY(!form.currentDictionary()->fileChanged());
    folder.dialogs().onModal = [](QDialog&) { return int(QDialog::Rejected); };
    form.guarded([&] { form.actInfoExecute(); });
    QCOMPARE(TMainFormView(form).preparingCount(), 0);
    QCOMPARE(rig::rows(form), edited);
}

QTEST_MAIN(TestPreparing)
#include "tst_preparing.moc"
