// Tabs whose term index is still being made, and dictionaries whose file another program changes
// while the window shows them: the window stays usable, never shows another term's article and
// never writes a stand-in over a real file.
#include <QAction>
#include <QFile>
#include <QListView>
#include <QStatusBar>
#include <QTabBar>
#include <QtTest>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "dictionary/term_index.h"
#include "platform/compare.h"
#include "support/main_form_rig.h"
#include "ui/dialogs/article_search_form.h"
#include "ui/dialogs/word_form.h"
#include "ui/instance_channel.h"

namespace {

const std::vector<std::string> kFruit = {"apple", "banana", "cherry"};
const std::vector<std::string> kTrees = {"ash", "birch", "cedar", "elm"};

// Makes the index of a file in the cache now, so that its tab opens at once at start-up.
void makeIndex(const std::string& path) {
    QVERIFY(TTermFile::open(path, termIndexFolder(), TTermFile::TOpen::CachedOrMade));
}

QString statusText(TMainForm& form) {
    return TMainFormView(form).StatusBar()->currentMessage();
}

bool isProgressLine(const QStringList& rows) {
    static const QRegularExpression line(QStringLiteral("^Подготовка словаря: \\d+ %$"));
    return rows.size() == 1 && line.match(rows.front()).hasMatch();
}

// The user's click on tab index.
void clickTab(TMainForm& form, int index) {
    TMainFormView(form).TabSet()->setCurrentIndex(index);
}

// Selects the row as the user's click does.
void pickRow(TMainForm& form, int row) {
    QListView* list = TMainFormView(form).ListBox();
    list->selectionModel()->setCurrentIndex(list->model()->index(row, 0),
                                            QItemSelectionModel::ClearAndSelect);
}

// Every open translation window shows its term's own article.
bool windowsShowTheirOwnArticles(TMainForm& form) {
    for (const TWordForm* window : form.translationWindows()) {
        if (window->articleText() != QStringLiteral("article of ") + window->termText())
            return false;
    }
    return true;
}

}  // namespace

class TestPreparing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { compare::setLocale(""); }

    void tabWithoutIndexIsPreparedWhileOthersWork_data();
    void tabWithoutIndexIsPreparedWhileOthersWork();
    void closingTabBeingPreparedCancelsIt();
    void lookupRequestWaitsForPreparedTabs();
    void fileChangedUnderWindowIsReadAfresh_data();
    void fileChangedUnderWindowIsReadAfresh();
    void searchInArticlesStopsAtChangedFile();
    void editedLazyTabSavesAndRecovers();
};

// Start-up with two files, only some of whose indexes are made: each tab stands in its place at
// once; one without its index shows its progress, refuses every command that reads or writes
// its dictionary, and becomes a tab like any other when its index is made, while the other tab
// answers look-ups meanwhile. A file that cannot be read ends as at start-up: its error box,
// and no tab.
void TestPreparing::tabWithoutIndexIsPreparedWhileOthersWork_data() {
    QTest::addColumn<bool>("fruitIndexed");
    QTest::addColumn<bool>("treesIndexed");
    QTest::addColumn<bool>("treesBroken");
    QTest::addColumn<QStringList>("tabsAfter");

    const QStringList both = {"fruit.dic", "trees.dic"};
    QTest::newRow("second tab without index") << true << false << false << both;
    QTest::newRow("first tab without index") << false << true << false << both;
    QTest::newRow("no index at all") << false << false << false << both;
    QTest::newRow("second file is no dictionary")
        << true << false << true << QStringList{"fruit.dic"};
}

void TestPreparing::tabWithoutIndexIsPreparedWhileOthersWork() {
    QFETCH(bool, fruitIndexed);
    QFETCH(bool, treesIndexed);
    QFETCH(bool, treesBroken);
    QFETCH(QStringList, tabsAfter);

    TLookupFolder folder;
    folder.writeDic("fruit.dic", kFruit, "Fruit");
    folder.writeDic("trees.dic", kTrees, "Trees");
    if (treesBroken) {
        QFile broken(QString::fromStdString(folder.file("trees.dic")));
        QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
        broken.write("this is no dictionary at all, only some text of no use");
    }
    if (fruitIndexed)
        makeIndex(folder.file("fruit.dic"));
    if (treesIndexed)
        makeIndex(folder.file("trees.dic"));

    TMainForm& form = folder.open({}, false);
    const TMainFormView view(form);
    // Both tabs stand at once, in their order, whatever their indexes.
    QCOMPARE(rig::tabs(form), (QStringList{"fruit.dic", "trees.dic"}));
    QCOMPARE(view.preparing(0), !fruitIndexed);
    QCOMPARE(view.preparing(1), !treesIndexed);

    for (int tab = 0; tab < 2; ++tab) {
        if (!view.preparing(tab))
            continue;
        clickTab(form, tab);
        // One line of progress, which is no term: nothing selects it, nothing opens from it.
        QVERIFY2(isProgressLine(rig::rows(form)), qPrintable(rig::rows(form).join('|')));
        QCOMPARE(rig::states(form), QStringLiteral("1000000"));
        QVERIFY(!view.actSearchArticles()->isEnabled());
        QVERIFY(!view.actImport()->isEnabled());
        QCOMPARE(form.windowTitle(), QString::fromLatin1(ProgramTitle));
        QVERIFY(!form.currentDictionary());
        pickRow(form, 0);
        QCOMPARE(form.selectedRow(), -1);
        // Commands reached some other way than their disabled actions do nothing either: no
        // file dialog, no window, no stand-in written anywhere.
        int fileDialogs = 0;
        folder.dialogs().onFileDialog = [&](QFileDialog&) { return ++fileDialogs, false; };
        form.guarded([&] { form.actSaveExecute(); });
        form.guarded([&] { form.actEditExecute(); });
        form.guarded([&] { form.actInfoExecute(); });
        QCOMPARE(fileDialogs, 0);
        QVERIFY(folder.dialogs().shown.empty());
        // Typing in its search box finds nothing.
        form.lookUpWord(QStringLiteral("zzz"));
        QCOMPARE(form.selectedRow(), -1);
    }

    // A tab that is ready answers look-ups meanwhile, its translation windows included.
    const int ready = fruitIndexed ? 0 : (treesIndexed ? 1 : -1);
    if (ready >= 0) {
        const QString term = ready == 0 ? "banana" : "birch";
        QVERIFY(form.openTerm(term));
        QCOMPARE(rig::windowTerms(form), QStringList{term});
        QVERIFY(windowsShowTheirOwnArticles(form));
    }

    QVERIFY(rig::waitUntilPrepared(form));
    QCOMPARE(rig::tabs(form), tabsAfter);
    if (treesBroken) {
        const QStringList errors = folder.dialogs().texts("error");
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.front().startsWith(QStringLiteral("Файл словаря ") +
                                           QString::fromStdString(folder.file("trees.dic"))),
                 qPrintable(errors.front()));
    } else {
        QVERIFY(folder.dialogs().texts("error").isEmpty());
    }
    // Every tab left is a tab like any other: its terms, its commands, its title.
    for (int tab = 0; tab < tabsAfter.size(); ++tab) {
        clickTab(form, tab);
        const bool fruit = tabsAfter[tab] == "fruit.dic";
        QCOMPARE(rig::termsOf(*form.currentDictionary()),
                 QStringList(fruit ? QStringList{"apple", "banana", "cherry"}
                                   : QStringList{"ash", "birch", "cedar", "elm"}));
        QCOMPARE(rig::rows(form), rig::termsOf(*form.currentDictionary()));
        QCOMPARE(rig::states(form), QStringLiteral("1111111"));
        QVERIFY(form.windowTitle().endsWith(fruit ? " - Fruit" : " - Trees"));
        QVERIFY(form.currentDictionary()->termFile());
    }
}

void TestPreparing::closingTabBeingPreparedCancelsIt() {
    TLookupFolder folder;
    folder.writeDic("fruit.dic", kFruit, "Fruit");
    folder.writeDic("trees.dic", kTrees, "Trees");
    makeIndex(folder.file("fruit.dic"));
    TMainForm& form = folder.open({}, false);
    clickTab(form, 1);
    QVERIFY(TMainFormView(form).preparing(1));
    TMainFormView(form).actClose()->trigger();
    QCOMPARE(rig::tabs(form), QStringList{"fruit.dic"});
    QCOMPARE(TMainFormView(form).preparingCount(), 0);
    QCOMPARE(rig::rows(form), (QStringList{"apple", "banana", "cherry"}));
    // Nothing was asked: a tab being prepared holds nothing unsaved.
    QVERIFY(folder.dialogs().shown.empty());
    QTest::qWait(300);
    QCOMPARE(rig::tabs(form), QStringList{"fruit.dic"});
}

// A word handed over by a later start is looked up in every tab, so it waits while a tab is
// being prepared (its dictionary may be the one that has the word), then opens.
void TestPreparing::lookupRequestWaitsForPreparedTabs() {
    TLookupFolder folder;
    folder.writeDic("fruit.dic", kFruit, "Fruit");
    folder.writeDic("trees.dic", kTrees, "Trees");
    makeIndex(folder.file("fruit.dic"));
    TMainForm& form = folder.open({}, false);
    QVERIFY(TMainFormView(form).preparing(1));
    form.carryOut({TInstanceRequest::TKind::Lookup, QStringLiteral("birch")});
    QVERIFY(form.translationWindows().empty());
    QVERIFY(statusText(form).isEmpty());  // no «not found» for a word that is only being prepared
    QVERIFY(rig::waitUntilPrepared(form));
    QTRY_COMPARE(rig::windowTerms(form), QStringList{"birch"});
    QCOMPARE(form.currentDictionary(), &TMainFormView(form).dic(1));
    QVERIFY(windowsShowTheirOwnArticles(form));
}

// Another program replaces the file (a rename over it), writes it in place, or cuts it short
// while the window shows it. The next read of it, or a tab change to it, reads it afresh with
// a word in the status bar: no other term's article is ever shown, and the tab then shows the
// file as it is now (or its error, when it no longer loads).
void TestPreparing::fileChangedUnderWindowIsReadAfresh_data() {
    QTest::addColumn<QString>("change");  // rename, in place, truncate
    // translate, edit, delete, search (in articles), tab (chosen again), focus (the window
    // comes back from another program)
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("rowsAfter");  // none: the file no longer loads

    const QStringList trees = {"ash", "birch", "cedar", "elm"};
    const auto row = [](const char* name, const char* change, const char* command,
                        const QStringList& rowsAfter) {
        QTest::newRow(name) << QString(change) << QString(command) << rowsAfter;
    };
    row("replaced, then translated", "rename", "translate", trees);
    row("written in place, then translated", "in place", "translate", trees);
    row("cut short, then translated", "truncate", "translate", {});
    row("replaced, then edited", "rename", "edit", trees);
    row("written in place, then deleted from", "in place", "delete", trees);
    row("written in place, then searched in", "in place", "search", trees);
    row("replaced, then its tab chosen", "rename", "tab", trees);
    row("cut short, then its tab chosen", "truncate", "tab", {});
    row("replaced, then the window comes back", "rename", "focus", trees);
}

void TestPreparing::fileChangedUnderWindowIsReadAfresh() {
    QFETCH(QString, change);
    QFETCH(QString, command);
    QFETCH(QStringList, rowsAfter);

    TLookupFolder folder;
    folder.writeDic("a.dic", {"extra"}, "Other");
    folder.writeDic("fruit.dic", kFruit, "Fruit");
    folder.setup().WriteValue("Main", "EditMode", "1");
    TMainForm& form = folder.open();
    form.show();
    const TMainFormView view(form);
    QCOMPARE(rig::tabs(form), (QStringList{"a.dic", "fruit.dic"}));
    clickTab(form, 1);
    QVERIFY(form.currentDictionary()->termFile());
    // The file's new contents: other terms at other places.
    const std::string path = folder.file("fruit.dic");
    folder.writeDic("new.tmp", kTrees, "Trees");
    if (change == "rename") {
        QCOMPARE(std::rename(folder.file("new.tmp").c_str(), path.c_str()), 0);
    } else if (change == "in place") {
        QFile fresh(QString::fromStdString(folder.file("new.tmp")));
        QVERIFY(fresh.open(QIODevice::ReadOnly));
        QFile old(QString::fromStdString(path));
        QVERIFY(old.open(QIODevice::ReadWrite));  // the same file, its bytes overwritten
        QVERIFY(old.resize(0));
        old.write(fresh.readAll());
    } else {
        std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
    }

    int modals = 0;
    folder.dialogs().onModal = [&](QDialog&) { return ++modals, int(QDialog::Rejected); };
    folder.dialogs().confirmAnswers = {TDialogs::TAnswer::Yes};
    if (command == "tab") {
        clickTab(form, 0);
        QVERIFY(statusText(form).isEmpty());
        clickTab(form, 1);
    } else if (command == "focus") {
        QApplication::setActiveWindow(nullptr);
        QVERIFY(statusText(form).isEmpty());
        QApplication::setActiveWindow(&form);
    } else if (command == "search") {
        view.actSearchArticles()->trigger();
    } else {
        pickRow(form, 1);  // banana
        QAction* action = command == "translate" ? view.actTranslate()
                          : command == "edit"    ? view.actEdit()
                                                 : view.actSub();
        action->trigger();
    }
    QCOMPARE(statusText(form),
             QStringLiteral("Словарь «fruit.dic» изменён другой программой и перечитан"));
    QVERIFY(form.translationWindows().empty());
    QCOMPARE(modals, 0);  // no editing window opened over a dictionary that could not load
    QVERIFY(view.preparing(1));

    QVERIFY(rig::waitUntilPrepared(form));
    QVERIFY(windowsShowTheirOwnArticles(form));
    if (rowsAfter.isEmpty()) {
        QCOMPARE(rig::tabs(form), QStringList{"a.dic"});
        QCOMPARE(folder.dialogs().texts("error").size(), 1);
        return;
    }
    QCOMPARE(rig::tabs(form), (QStringList{"a.dic", "fruit.dic"}));
    QCOMPARE(form.currentDictionary(), &view.dic(1));
    QCOMPARE(rig::rows(form), rowsAfter);
    QVERIFY(folder.dialogs().texts("error").isEmpty());
    // The new file's terms open with their own articles.
    pickRow(form, 1);
    view.actTranslate()->trigger();
    QCOMPARE(rig::windowTerms(form), QStringList{"birch"});
    QVERIFY(windowsShowTheirOwnArticles(form));
}

// The file is written in place while the search in articles window is open: the search stops
// at the first article that is no longer the one indexed, offers nothing, and the window closes
// with the dictionary read afresh.
void TestPreparing::searchInArticlesStopsAtChangedFile() {
    TLookupFolder folder;
    folder.writeDic("fruit.dic", kFruit, "Fruit");
    TMainForm& form = folder.open();
    const std::string path = folder.file("fruit.dic");
    folder.writeDic("new.tmp", kTrees, "Trees");
    bool complete = true;
    std::vector<int> offered = {-1};
    folder.dialogs().onModal = [&](QDialog& dialog) {
        auto& search = static_cast<TArticleSearchForm&>(dialog);
        QFile fresh(QString::fromStdString(folder.file("new.tmp")));
        QFile old(QString::fromStdString(path));
        if (!fresh.open(QIODevice::ReadOnly) || !old.open(QIODevice::ReadWrite) || !old.resize(0) ||
            old.write(fresh.readAll()) <= 0)
            return int(QDialog::Rejected);
        old.close();
        search.setText(QStringLiteral("article"));
        complete = search.search();
        offered = search.found();
        return int(QDialog::Rejected);
    };
    TMainFormView(form).actSearchArticles()->trigger();
    QVERIFY(!complete);
    QVERIFY(offered.empty());
    QCOMPARE(statusText(form),
             QStringLiteral("Словарь «fruit.dic» изменён другой программой и перечитан"));
    QVERIFY(folder.dialogs().texts("error").isEmpty());
    QVERIFY(rig::waitUntilPrepared(form));
    QCOMPARE(rig::rows(form), (QStringList{"ash", "birch", "cedar", "elm"}));
}

// A tab opened through its index and edited: the edit loads it whole, Save writes it where it
// came from, and unsaved work goes to a recovery file that a later start offers back.
void TestPreparing::editedLazyTabSavesAndRecovers() {
    TLookupFolder folder;
    folder.writeDic("fruit.dic", kFruit, "Fruit");
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
    QCOMPARE(rig::rows(form), (QStringList{"apple", "banana", "cherry", "date"}));

    // Unsaved work is never read afresh, whatever happens to the file.
    folder.writeDic("fruit.dic", kTrees, "Trees");
    QVERIFY(!form.currentDictionary()->fileChanged());
    folder.dialogs().onModal = [](QDialog&) { return int(QDialog::Rejected); };
    form.guarded([&] { form.actInfoExecute(); });
    QCOMPARE(TMainFormView(form).preparingCount(), 0);
    QCOMPARE(rig::rows(form), (QStringList{"apple", "banana", "cherry", "date"}));

    // Save over the file another program wrote asks first; Yes writes it.
    folder.dialogs().onFileDialog = [&](QFileDialog& dialog) {
        dialog.selectFile(QString::fromStdString(folder.file("fruit.dic")));
        return true;
    };
    folder.dialogs().confirmAnswers = {TDialogs::TAnswer::Yes};
    TMainFormView(form).actSave()->trigger();
    QCOMPARE(folder.dialogs().texts("confirm").size(), 1);
    QVERIFY(!form.currentDictionary()->Modified());
    TDictionary saved;
    saved.LoadFromFile(folder.file("fruit.dic"));
    QCOMPARE(rig::termsOf(saved), (QStringList{"apple", "banana", "cherry", "date"}));
}

QTEST_MAIN(TestPreparing)
#include "tst_preparing.moc"
