// The look-up side of the main window: typing in the search box, the keys it takes, the word
// list's clicks, the history and the translation windows it opens.
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QtTest>

#include "platform/codepage.h"
#include "platform/compare.h"
#include "support/main_form_rig.h"
#include "ui/dialogs/word_form.h"

namespace {

using rig::history;

// A window over one dictionary "Abandon, abbey, able, cat" and the given history.
TMainForm& openStandard(TLookupFolder& folder, const QStringList& historyEntries = {}) {
    folder.writeDic("en.dic", {"Abandon", "abbey", "able", "cat"});
    folder.writeList("History", std::to_string(historyEntries.size()), rig::cp(historyEntries));
    TMainForm& form = folder.open();
    form.show();
    // The search box completes from the history while it has the keyboard focus.
    QApplication::setActiveWindow(&form);
    TMainFormView(form).cmbString()->setFocus();
    return form;
}

void clickRow(TMainForm& form, int row) {
    const QRect rect = TMainFormView(form).ListBox()->visualRect(
        TMainFormView(form).ListBox()->model()->index(row, 0));
    QTest::mouseClick(TMainFormView(form).ListBox()->viewport(), Qt::LeftButton, {}, rect.center());
}

}  // namespace

class TestMainFormLookup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { compare::setLocale(""); }

    void typingSelectsFirstMatchingRow_data();
    void typingSelectsFirstMatchingRow();
    void historyLoadsAsStored_data();
    void historyLoadsAsStored();
    void badHistoryCountReportsAndStartsEmpty();
    void addHistory_data();
    void addHistory();
    void historyChangeRunsNoSearch();
    void enterTranslatesSelectedTerm();
    void enterWithEmptyBoxDoesNothing();
    void translationNeedsSelectedRow();
    void doubleClickTranslates();
    void enterInWordListTranslates();
    void clickCopiesTermWithoutHistory();
    void upDownInSearchBox_data();
    void upDownInSearchBox();
    void entryChosenFromListSearches();
    void altKeysCloseOpenList_data();
    void altKeysCloseOpenList();
    void oneWindowPerTerm();
    void minimisedWindowIsRestored();
    void windowsAreFoundByExactTerm();
    void closedWindowIsForgotten();
    void viewingWindowsCascadeAndRememberSize();
};

void TestMainFormLookup::typingSelectsFirstMatchingRow_data() {
    QTest::addColumn<QStringList>("historyEntries");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");

    const QStringList none;
    QTest::newRow("a") << none << "a" << 0 << "a";
    QTest::newRow("ab") << none << "ab" << 0 << "ab";
    QTest::newRow("abx keeps Abandon") << none << "abx" << 0 << "abx";
    QTest::newRow("abb") << none << "abb" << 1 << "abb";
    QTest::newRow("capitals") << none << "ABL" << 2 << "ABL";
    QTest::newRow("no match keeps no selection") << none << "x" << -1 << "x";
    QTest::newRow("backspace to empty keeps the row") << none << "ca\b\b" << 3 << "";
    QTest::newRow("backspace narrows") << none << "abl\b" << 0 << "ab";
    QTest::newRow("completion from history ignoring case")
        << QStringList{"ABLE"} << "a" << 2 << "aBLE";
    // The list follows the whole text in the box: no term begins with "abacus", so the list
    // stays where it was.
    QTest::newRow("completion of an entry not in the dictionary")
        << QStringList{"abacus"} << "ab" << -1 << "abacus";
    QTest::newRow("first matching entry completes")
        << QStringList{"cat", "cab", "cane"} << "ca" << 3 << "cat";
}

void TestMainFormLookup::typingSelectsFirstMatchingRow() {
    QFETCH(QStringList, historyEntries);
    QFETCH(QString, keys);
    QFETCH(int, row);
    QFETCH(QString, text);
    TLookupFolder folder;
    TMainForm& form = openStandard(folder, historyEntries);
    QTest::keyClicks(TMainFormView(form).cmbString(), keys);
    QCOMPARE(TMainFormView(form).cmbString()->currentText(), text);
    QCOMPARE(form.selectedRow(), row);
    // A selection made by the search is not a click: the text stays as typed.
    QVERIFY(form.translationWindows().empty());
    // Leaving the box changes neither its text (a completion keeps the typed letters' case)
    // nor the row.
    TMainFormView(form).ListBox()->setFocus();
    QVERIFY(!TMainFormView(form).cmbString()->hasFocus());
    QCOMPARE(TMainFormView(form).cmbString()->currentText(), text);
    QCOMPARE(form.selectedRow(), row);
}

void TestMainFormLookup::historyLoadsAsStored_data() {
    QTest::addColumn<QString>("count");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("loaded");
    QTest::newRow("in order") << "3" << QStringList{"c", "a", "b"} << QStringList{"c", "a", "b"};
    QTest::newRow("duplicates and blanks kept")
        << "3" << QStringList{"a", "", "A"} << QStringList{"a", "", "A"};
    QStringList twelve;
    for (int i = 1; i <= 12; ++i)
        twelve << QStringLiteral("h%1").arg(i);
    QTest::newRow("twelve stay twelve") << "12" << twelve << twelve;
    QTest::newRow("count shorter than keys") << "1" << QStringList{"a", "b"} << QStringList{"a"};
}

void TestMainFormLookup::historyLoadsAsStored() {
    QFETCH(QString, count);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, loaded);
    TLookupFolder folder;
    folder.writeDic("en.dic", {"a"});
    folder.writeList("History", count.toStdString(), rig::cp(entries));
    TMainForm& form = folder.open();
    QCOMPARE(history(form), loaded);
    QVERIFY(TMainFormView(form).cmbString()->currentText().isEmpty());
    QVERIFY(folder.dialogs().shown.empty());
}

void TestMainFormLookup::badHistoryCountReportsAndStartsEmpty() {
    TLookupFolder folder;
    folder.writeDic("en.dic", {"a"});
    folder.writeList("History", "1x", {"a"});
    TMainForm& form = folder.open();
    QCOMPARE(folder.dialogs().texts("error"),
             QStringList{QStringLiteral("'1x' is not a valid integer value")});
    QVERIFY(history(form).isEmpty());
    // The creation went on past the history: the dictionary is open and current.
    QCOMPARE(TMainFormView(form).CurDic(), 0);
}

void TestMainFormLookup::addHistory_data() {
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("term");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("new term on top") << QStringList{"a", "b"} << "c" << QStringList{"c", "a", "b"};
    QTest::newRow("known term moves keeping its case")
        << QStringList{"x", "abbey", "y"} << "ABBEY" << QStringList{"abbey", "x", "y"};
    QTest::newRow("top term stays") << QStringList{"a", "b"} << "A" << QStringList{"a", "b"};
    QStringList ten, tenAfter{"new"};
    for (int i = 1; i <= 10; ++i)
        ten << QStringLiteral("h%1").arg(i);
    tenAfter << ten.mid(0, 9);
    QTest::newRow("ten: the tenth goes") << ten << "new" << tenAfter;
    QStringList twelve, twelveAfter{"new"};
    for (int i = 1; i <= 12; ++i)
        twelve << QStringLiteral("h%1").arg(i);
    twelveAfter << twelve.mid(0, 9) << twelve.mid(10);
    QTest::newRow("twelve: one goes, twelve stay") << twelve << "new" << twelveAfter;
    QTest::newRow("cyrillic folds")
        << QStringList{QStringLiteral("ёж")} << QStringLiteral("ЁЖ") << QStringList{"ёж"};
}

void TestMainFormLookup::addHistory() {
    QFETCH(QStringList, before);
    QFETCH(QString, term);
    QFETCH(QStringList, after);
    TLookupFolder folder;
    TMainForm& form = openStandard(folder, before);
    QTest::keyClicks(TMainFormView(form).cmbString(), "zz");
    form.AddHistory(term);
    QCOMPARE(history(form), after);
    QCOMPARE(TMainFormView(form).cmbString()->currentText(), QStringLiteral("zz"));
}

void TestMainFormLookup::historyChangeRunsNoSearch() {
    TLookupFolder folder;
    TMainForm& form = openStandard(folder, {"ab", "cat"});
    QTest::keyClicks(TMainFormView(form).cmbString(), "ca");  // completes to "cat", selects cat
    QCOMPARE(form.selectedRow(), 3);
    TMainFormView(form).cmbString()->lineEdit()->setText(
        QStringLiteral("ab"));  // as a user's paste would
    QCOMPARE(form.selectedRow(), 0);
    clickRow(form, 2);
    QCOMPARE(TMainFormView(form).cmbString()->currentText(), QStringLiteral("able"));
    form.AddHistory(QStringLiteral("able"));
    form.AddHistory(QStringLiteral("cat"));
    QCOMPARE(form.selectedRow(), 2);
    QCOMPARE(TMainFormView(form).cmbString()->currentText(), QStringLiteral("able"));
}

void TestMainFormLookup::enterTranslatesSelectedTerm() {
    TLookupFolder folder;
    TMainForm& form = openStandard(folder);
    QTest::keyClicks(TMainFormView(form).cmbString(), "abx");
    QTest::keyClick(TMainFormView(form).cmbString(), Qt::Key_Return);
    QCOMPARE(TMainFormView(form).cmbString()->currentText(), QStringLiteral("Abandon"));
    QCOMPARE(history(form), QStringList{"Abandon"});
    QCOMPARE(form.translationWindows().size(), size_t{1});
    const TWordForm* window = form.translationWindows().front();
    QCOMPARE(window->termText(), QStringLiteral("Abandon"));
    QCOMPARE(window->articleText(), QStringLiteral("article of Abandon"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Перевод"));
    QVERIFY(window->isVisible());
    QVERIFY(window->isViewing());
}

void TestMainFormLookup::enterWithEmptyBoxDoesNothing() {
    TLookupFolder folder;
    TMainForm& form = openStandard(folder);
    clickRow(form, 1);
    TMainFormView(form).cmbString()->lineEdit()->clear();
    QTest::keyClick(TMainFormView(form).cmbString(), Qt::Key_Return);
    QVERIFY(form.translationWindows().empty());
    QVERIFY(history(form).isEmpty());
    QCOMPARE(form.selectedRow(), 1);
}

void TestMainFormLookup::translationNeedsSelectedRow() {
    TLookupFolder folder;
    TMainForm& form = openStandard(folder);
    QTest::keyClicks(TMainFormView(form).cmbString(), "x");
    QTest::keyClick(TMainFormView(form).cmbString(), Qt::Key_Return);
    TMainFormView(form).actTranslate()->trigger();
    QVERIFY(form.translationWindows().empty());
    QVERIFY(history(form).isEmpty());
    QVERIFY(folder.dialogs().shown.empty());
}

void TestMainFormLookup::doubleClickTranslates() {
    TLookupFolder folder;
    TMainForm& form = openStandard(folder);
    const QRect rect = TMainFormView(form).ListBox()->visualRect(
        TMainFormView(form).ListBox()->model()->index(2, 0));
    // A double-click begins with the press of its first click.
    QTest::mouseClick(TMainFormView(form).ListBox()->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(TMainFormView(form).ListBox()->viewport(), Qt::LeftButton, {},
                       rect.center());
    QCOMPARE(form.selectedRow(), 2);
    QCOMPARE(form.translationWindows().size(), size_t{1});
    QCOMPARE(form.translationWindows().front()->termText(), QStringLiteral("able"));
    QCOMPARE(history(form), QStringList{"able"});
}

void TestMainFormLookup::enterInWordListTranslates() {
    TLookupFolder folder;
    TMainForm& form = openStandard(folder);
    clickRow(form, 3);
    QTest::keyClick(TMainFormView(form).ListBox(), Qt::Key_Return);
    QCOMPARE(form.translationWindows().size(), size_t{1});
    QCOMPARE(form.translationWindows().front()->termText(), QStringLiteral("cat"));
}

void TestMainFormLookup::clickCopiesTermWithoutHistory() {
    TLookupFolder folder;
    TMainForm& form = openStandard(folder, {"old"});
    clickRow(form, 1);
    QCOMPARE(form.selectedRow(), 1);
    QCOMPARE(TMainFormView(form).cmbString()->currentText(), QStringLiteral("abbey"));
    QCOMPARE(TMainFormView(form).cmbString()->lineEdit()->selectedText(), QStringLiteral("abbey"));
    QCOMPARE(history(form), QStringList{"old"});
    QVERIFY(form.translationWindows().empty());
    // Moving with the keyboard counts as a click too.
    QTest::keyClick(TMainFormView(form).ListBox(), Qt::Key_Down);
    QCOMPARE(TMainFormView(form).cmbString()->currentText(), QStringLiteral("able"));
    // So does the list's own type-to-find.
    QTest::keyClick(TMainFormView(form).ListBox(), Qt::Key_C);
    QCOMPARE(form.selectedRow(), 3);
    QCOMPARE(TMainFormView(form).cmbString()->currentText(), QStringLiteral("cat"));
}

void TestMainFormLookup::upDownInSearchBox_data() {
    QTest::addColumn<int>("startRow");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("alt");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("popup");

    QTest::newRow("down from middle") << 1 << int(Qt::Key_Down) << false << 2 << "able" << false;
    QTest::newRow("up from middle") << 2 << int(Qt::Key_Up) << false << 1 << "abbey" << false;
    QTest::newRow("alt+down moves and opens the list")
        << 1 << int(Qt::Key_Down) << true << 2 << "able" << true;
    QTest::newRow("alt+up moves and opens the list")
        << 2 << int(Qt::Key_Up) << true << 1 << "abbey" << true;
    QTest::newRow("down at the last row steps the history")
        << 3 << int(Qt::Key_Down) << false << 3 << "h1" << false;
    QTest::newRow("up at the first row leaves the list")
        << 0 << int(Qt::Key_Up) << false << 0 << "Abandon" << false;
    QTest::newRow("down with no row steps the history")
        << -1 << int(Qt::Key_Down) << false << -1 << "h1" << false;
}

void TestMainFormLookup::upDownInSearchBox() {
    QFETCH(int, startRow);
    QFETCH(int, key);
    QFETCH(bool, alt);
    QFETCH(int, row);
    QFETCH(QString, text);
    QFETCH(bool, popup);
    TLookupFolder folder;
    TMainForm& form = openStandard(folder, {"h1", "h2"});
    if (startRow >= 0)
        clickRow(form, startRow);
    QTest::keyClick(TMainFormView(form).cmbString(), Qt::Key(key),
                    alt ? Qt::AltModifier : Qt::NoModifier);
    QCOMPARE(form.selectedRow(), row);
    QCOMPARE(TMainFormView(form).cmbString()->currentText(), text);
    if (row != startRow)
        QCOMPARE(TMainFormView(form).cmbString()->lineEdit()->selectedText(), text);
    QCOMPARE(TMainFormView(form).cmbString()->view()->isVisible(), popup);
    TMainFormView(form).cmbString()->hidePopup();
}

void TestMainFormLookup::entryChosenFromListSearches() {
    TLookupFolder folder;
    TMainForm& form = openStandard(folder, {"cat", "able"});
    TMainFormView(form).cmbString()->showPopup();
    QAbstractItemView* list = TMainFormView(form).cmbString()->view();
    QVERIFY(list->isVisible());
    const QRect rect = list->visualRect(list->model()->index(1, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(TMainFormView(form).cmbString()->currentText(), QStringLiteral("able"));
    QCOMPARE(form.selectedRow(), 2);
    QCOMPARE(history(form), (QStringList{"cat", "able"}));
    QVERIFY(form.translationWindows().empty());
}

void TestMainFormLookup::altKeysCloseOpenList_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("alt+down") << int(Qt::Key_Down);
    QTest::newRow("alt+up") << int(Qt::Key_Up);
}

void TestMainFormLookup::altKeysCloseOpenList() {
    QFETCH(int, key);
    TLookupFolder folder;
    TMainForm& form = openStandard(folder, {"cat", "able"});
    TMainFormView(form).cmbString()->showPopup();
    QAbstractItemView* list = TMainFormView(form).cmbString()->view();
    QVERIFY(list->isVisible());
    QTest::keyClick(list, Qt::Key(key), Qt::AltModifier);
    QVERIFY(!list->isVisible());
    // Closing the list chose nothing.
    QCOMPARE(TMainFormView(form).cmbString()->currentText(), QString());
}

void TestMainFormLookup::oneWindowPerTerm() {
    TLookupFolder folder;
    TMainForm& form = openStandard(folder, {"x"});
    clickRow(form, 3);
    form.ShowTranslation();
    TWordForm* first = form.translationWindows().front();
    first->Memo1->setPlainText(QStringLiteral("seen before"));
    clickRow(form, 0);
    form.ShowTranslation();
    QCOMPARE(form.translationWindows().size(), size_t{2});
    clickRow(form, 3);
    form.ShowTranslation();
    QCOMPARE(form.translationWindows().size(), size_t{2});
    // Brought forward, not read again; the history still moves.
    QCOMPARE(first->articleText(), QStringLiteral("seen before"));
    QCOMPARE(history(form), (QStringList{"cat", "Abandon", "x"}));
    QCOMPARE(TMainFormView(form).cmbString()->currentText(), QStringLiteral("cat"));
}

void TestMainFormLookup::minimisedWindowIsRestored() {
    TLookupFolder folder;
    TMainForm& form = openStandard(folder);
    clickRow(form, 3);
    form.ShowTranslation();
    TWordForm* window = form.translationWindows().front();
    window->showMinimized();
    QVERIFY(window->isMinimized());
    form.ShowTranslation();
    // Brought to the front means seen: a minimised window comes back to its size.
    QCOMPARE(form.translationWindows().size(), size_t{1});
    QVERIFY(!window->isMinimized());
    QVERIFY(window->isVisible());
}

void TestMainFormLookup::windowsAreFoundByExactTerm() {
    TLookupFolder folder;
    folder.writeDic("a.dic", {"cat"});
    folder.writeDic("b.dic", {"Cat", "dog"});
    TMainForm& form = folder.open();
    form.show();
    clickRow(form, 0);
    form.ShowTranslation();
    TMainFormView(form).TabSet()->setCurrentIndex(1);
    clickRow(form, 0);
    form.ShowTranslation();
    // "Cat" differs in letter case: a window of its own.
    QCOMPARE(form.translationWindows().size(), size_t{2});
    QCOMPARE(history(form), QStringList{"cat"});
}

void TestMainFormLookup::closedWindowIsForgotten() {
    TLookupFolder folder;
    TMainForm& form = openStandard(folder);
    clickRow(form, 0);
    form.ShowTranslation();
    QPointer<TWordForm> window = form.translationWindows().front();
    QTest::keyClick(window.data(), Qt::Key_Escape);
    QTRY_VERIFY(window.isNull());
    QVERIFY(form.translationWindows().empty());
    form.ShowTranslation();
    QCOMPARE(form.translationWindows().size(), size_t{1});
}

void TestMainFormLookup::viewingWindowsCascadeAndRememberSize() {
    TLookupFolder folder;
    TMainForm& form = openStandard(folder);
    for (int row = 0; row < 2; ++row) {
        clickRow(form, row);
        form.ShowTranslation();
    }
    const auto& windows = form.translationWindows();
    QCOMPARE(windows[0]->pos(), QPoint(0, 0));
    QCOMPARE(windows[1]->pos(), QPoint(20, 20));
    // The designed size is the outer one: the offscreen platform frames windows too.
    QCOMPARE(windows[0]->frameGeometry().size(), QSize(224, 298));
    QCOMPARE(TMainFormView(form).WordTop(), 40);
    QCOMPARE(TMainFormView(form).WordLeft(), 40);

    windows[1]->resize(400, 500);
    windows[1]->close();
    QCOMPARE(TMainFormView(form).WordWidth(), 400);
    QCOMPARE(TMainFormView(form).WordHeight(), 500);
    clickRow(form, 2);
    form.ShowTranslation();
    QCOMPARE(form.translationWindows().back()->size(), QSize(400, 500));
    QCOMPARE(form.translationWindows().front()->frameGeometry().size(), QSize(224, 298));
}

QTEST_MAIN(TestMainFormLookup)
#include "tst_main_form_lookup.moc"
