// The import command of the main window: terms taken from a text file into the dictionary shown,
// the word list brought up to date once at the end however the import ends, and a window that
// nobody can disturb while the import runs.
#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>
#include <QWindow>

#include <functional>
#include <memory>
#include <string>

#include "dictionary/dictionary.h"
#include "platform/compare.h"
#include "support/failing_reads.h"
#include "support/main_form_rig.h"
#include "ui/dialogs/import_progress.h"
#include "ui/main_form/main_form_view.h"

using rig::TDicFile;
using rig::TWindow;

namespace {

// The example of the import format: two terms, the first with a two-line article.
const QByteArray kExample =
    "@first term\r\nArticle line one\r\nArticle line two\r\n~~~\r\n"
    "@second term\r\nIts article\r\n~~~\r\n";

QString numbered(int i) {
    return QStringLiteral("term %1").arg(i, 4, 10, QLatin1Char('0'));
}

// n blocks "@term NNNN", numbered from 1 with four digits, so they sort in file order.
QByteArray numberedTerms(int n) {
    QByteArray text;
    for (int i = 1; i <= n; ++i)
        text += ("@" + numbered(i) + "\nmeaning\n~~~\n").toLatin1();
    return text;
}

QStringList numberedRows(int from, int to) {
    QStringList out;
    for (int i = from; i <= to; ++i)
        out << numbered(i);
    return out;
}

std::vector<TDicFile> fruitDic() {
    return {{"f.dic",
             "Fruit",
             {{"apple", "яблоко"}, {"Second Term", "старая статья"}, {"zebra", "зебра"}}}};
}

// Runs body at the given update of the progress window of the coming import (from 1).
void atUpdate(TFakeDialogs& fake, int update, std::function<void(TImportProgressForm&)> body) {
    fake.onProgress = [update, body](QDialog& dialog) {
        auto* form = qobject_cast<TImportProgressForm*>(&dialog);
        QVERIFY(form);
        auto count = std::make_shared<int>(0);
        QObject::connect(form, &TImportProgressForm::progressed, form, [form, count, update, body] {
            if (++*count == update)
                body(*form);
        });
    };
}

// A click on the tab's middle as the desktop delivers it: through the window, where a modal
// window in front holds it back.
void clickTabThroughWindow(TMainForm& form, int tab) {
    QTabBar* bar = TMainFormView(form).TabSet();
    QWindow* window = form.windowHandle();
    const QPoint at = bar->mapTo(&form, bar->tabRect(tab).center());
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, at);
}

}  // namespace

class TestImport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { compare::setLocale(""); }

    void importJoinsTermsInSortedOrder_data();
    void importJoinsTermsInSortedOrder();
    void emptyFileStillRebuildsList_data();
    void emptyFileStillRebuildsList();
    void cancelOrCloseDuringImport_data();
    void cancelOrCloseDuringImport();
    void windowCannotBeDisturbedWhileImporting_data();
    void windowCannotBeDisturbedWhileImporting();
    void fileThatCannotBeImportedIsReported_data();
    void fileThatCannotBeImportedIsReported();
    void readErrorPartWayKeepsDictionaryAndList();
    void importNeedsAnOpenDictionary();
    void utf8FileIsConvertedAndOddFilesWarned_data();
    void utf8FileIsConvertedAndOddFilesWarned();

private:
    QString writeText(TWindow& w, const QString& name, const QByteArray& bytes);
};

QString TestImport::writeText(TWindow& w, const QString& name, const QByteArray& bytes) {
    QFile file(w.path(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the import file");
    return file.fileName();
}

void TestImport::importJoinsTermsInSortedOrder_data() {
    QTest::addColumn<bool>("startEmpty");  // a dictionary made by New, or f.dic
    QTest::addColumn<QStringList>("rowsAfter");
    QTest::addColumn<QString>("statesBefore");
    QTest::newRow("into a new dictionary")
        << true << QStringList{"first term", "second term"} << "1110000";
    QTest::newRow("among present terms; one present in other case keeps its article")
        << false << QStringList{"apple", "first term", "Second Term", "zebra"} << "1111111";
}

void TestImport::importJoinsTermsInSortedOrder() {
    QFETCH(bool, startEmpty);
    QFETCH(QStringList, rowsAfter);
    QFETCH(QString, statesBefore);
    TWindow w(startEmpty ? std::vector<TDicFile>{} : fruitDic());
    TMainFormView view(*w.form);
    if (startEmpty)
        view.actNew()->trigger();
    QCOMPARE(w.states(), statesBefore);
    QVERIFY(!w.dic(0).Modified());
    w.chooseFile(writeText(w, "example.txt", kExample));
    QSignalSpy resets(view.ListBox()->model(), &QAbstractItemModel::modelReset);
    QSignalSpy inserts(view.ListBox()->model(), &QAbstractItemModel::rowsInserted);

    view.actImport()->trigger();

    QVERIFY(w.fake->shown.empty());
    QCOMPARE(w.rows(), rowsAfter);
    QCOMPARE(rig::termsOf(w.dic(0)), rowsAfter);
    QCOMPARE(resets.size(), 1);  // the list is rebuilt once, not row by row
    QCOMPARE(inserts.size(), 0);
    QVERIFY(w.dic(0).Modified());
    QCOMPARE(w.states(), QString("1111111"));
    QCOMPARE(view.StatusBar()->currentMessage(), QString("second term"));
    const int first = w.dic(0).Find("first term");
    QCOMPARE(std::string(w.dic(0).Article(first)),
             std::string("Article line one\nArticle line two\n"));
    if (!startEmpty) {
        const int present = w.dic(0).Find(rig::cp("second term"));
        QCOMPARE(rig::qs(w.dic(0).Article(present)), QString("старая статья"));
    }
}

void TestImport::emptyFileStillRebuildsList_data() {
    QTest::addColumn<bool>("startEmpty");
    QTest::addColumn<QString>("states");
    QTest::newRow("dictionary with terms") << false << "1111111";
    QTest::newRow("new dictionary") << true << "1110000";
}

void TestImport::emptyFileStillRebuildsList() {
    QFETCH(bool, startEmpty);
    QFETCH(QString, states);
    TWindow w(startEmpty ? std::vector<TDicFile>{} : fruitDic());
    TMainFormView view(*w.form);
    if (startEmpty)
        view.actNew()->trigger();
    const QStringList before = w.rows();
    w.clickRow(0);
    w.chooseFile(writeText(w, "empty.txt", QByteArray()));
    QSignalSpy resets(view.ListBox()->model(), &QAbstractItemModel::modelReset);

    view.actImport()->trigger();

    QCOMPARE(resets.size(), 1);
    QCOMPARE(w.rows(), before);
    QCOMPARE(w.form->selectedRow(), -1);
    QVERIFY(!w.dic(0).Modified());
    QCOMPARE(w.states(), states);
    QCOMPARE(w.fake->progressShown, 0);
    QVERIFY(w.fake->shown.empty());
}

void TestImport::windowCannotBeDisturbedWhileImporting_data() {
    QTest::addColumn<QString>("attempt");
    QTest::newRow("click on the other tab") << "tab";
    QTest::newRow("Ctrl+W") << "close";
    QTest::newRow("Ctrl+N") << "new";
    QTest::newRow("a second import") << "import";
}

void TestImport::windowCannotBeDisturbedWhileImporting() {
    QFETCH(QString, attempt);
    TWindow w(std::vector<TDicFile>{{"a.dic", "", {{"apple", "яблоко"}}},
                                    {"b.dic", "", {{"berry", "ягода"}}}});
    TMainFormView view(*w.form);
    w.form->show();
    w.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.form));
    w.chooseFile(writeText(w, "numbered.txt", numberedTerms(20)));
    w.chooseFile(writeText(w, "second.txt", "@intruder\nx\n~~~\n"));
    // What the user tries, and whether it has taken effect.
    const std::function<void()> tryIt = [&] {
        if (attempt == "tab")
            clickTabThroughWindow(*w.form, 1);
        else if (attempt == "close")
            QTest::keyClick(w.form->windowHandle(), Qt::Key_W, Qt::ControlModifier);
        else if (attempt == "new")
            QTest::keyClick(w.form->windowHandle(), Qt::Key_N, Qt::ControlModifier);
        else
            view.actImport()->trigger();
    };
    const std::function<bool()> tookEffect = [&] {
        return view.CurDic() != 0 || w.tabs().size() != 2 || w.offeredFiles.size() != 1 ||
               !w.fake->texts("confirm").isEmpty();
    };
    bool modalInFront = false;
    bool heldBack = false;
    atUpdate(*w.fake, 5, [&](TImportProgressForm& form) {
        modalInFront = QApplication::activeModalWidget() == &form;
        tryIt();
        heldBack = !tookEffect();
    });

    view.actImport()->trigger();

    QVERIFY(heldBack);
    QVERIFY(modalInFront);
    QVERIFY(!tookEffect());
    QStringList expected = numberedRows(1, 20);
    expected.prepend("apple");
    QCOMPARE(rig::termsOf(view.dic(0)), expected);
    QCOMPARE(w.rows(), expected);
    QCOMPARE(rig::termsOf(view.dic(1)), QStringList{"berry"});

    // Once the import is over the same attempt goes through: the window was held, not deaf.
    w.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.form));
    tryIt();
    QVERIFY(tookEffect());
}

// Cancel keeps what was added, and a close asked for during the import waits for its end; either
// way the list is rebuilt once, from what the dictionary then holds.
void TestImport::cancelOrCloseDuringImport_data() {
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("close");  // "", the close box or the tray's Exit
    QTest::newRow("cancel keeps what was added") << true << "";
    QTest::newRow("close box, import runs to its end") << false << "box";
    QTest::newRow("close box, import cancelled") << true << "box";
    QTest::newRow("tray's Exit, import runs to its end") << false << "exit";
}

void TestImport::cancelOrCloseDuringImport() {
    QFETCH(bool, cancel);
    QFETCH(QString, close);
    TWindow w;
    TMainFormView view(*w.form);
    view.actNew()->trigger();
    w.chooseFile(writeText(w, "numbered.txt", numberedTerms(20)));
    bool askedDuringImport = true;
    atUpdate(*w.fake, 5, [&](TImportProgressForm& form) {
        if (close == "exit")
            view.actExit()->trigger();
        else if (close == "box")
            w.form->close();
        if (cancel)
            QTest::mouseClick(form.cancelButton(), Qt::LeftButton);
        askedDuringImport = !w.fake->texts("confirm").isEmpty();
    });
    QSignalSpy resets(view.ListBox()->model(), &QAbstractItemModel::modelReset);

    view.actImport()->trigger();

    QVERIFY(!askedDuringImport);
    if (!close.isEmpty()) {
        // The new dictionary is unsaved, so both questions come, in the usual order; the first
        // No keeps the program open.
        QTRY_COMPARE(w.fake->texts("confirm").size(), 1);
        QVERIFY(w.fake->texts("confirm").front().contains(QStringLiteral("не сохранен")));
    }
    const int added = cancel ? 4 : 20;
    QCOMPARE(w.rows(), numberedRows(1, added));
    QCOMPARE(rig::termsOf(w.dic(0)), numberedRows(1, added));
    QCOMPARE(resets.size(), 1);
    QVERIFY(w.dic(0).Modified());
    QCOMPARE(w.states(), QString("1111111"));
    QCOMPARE(view.StatusBar()->currentMessage(), numbered(added));
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(w.fake->texts("confirm").size(), close.isEmpty() ? 0 : 1);
}

void TestImport::fileThatCannotBeImportedIsReported_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QString>("error");
    QTest::newRow("missing file") << "missing.txt" << false << "Cannot open file %1";
    QTest::newRow("a folder") << "folder.txt" << true << "Cannot open file %1";
    QTest::newRow("the dictionary's own file")
        << "f.dic" << false << "Файл импорта %1 — это сам словарь; импорт отменён";
}

void TestImport::fileThatCannotBeImportedIsReported() {
    QFETCH(QString, name);
    QFETCH(bool, folder);
    QFETCH(QString, error);
    TWindow w(fruitDic());
    TMainFormView view(*w.form);
    const QString path = w.path(name);
    if (folder)
        QVERIFY(QDir().mkdir(path));
    const QStringList before = w.rows();
    w.chooseFile(path);

    view.actImport()->trigger();

    QCOMPARE(w.fake->texts("error"), QStringList{error.arg(path)});
    QCOMPARE(w.fake->progressShown, 0);
    QCOMPARE(w.rows(), before);
    QVERIFY(!w.dic(0).Modified());
}

void TestImport::readErrorPartWayKeepsDictionaryAndList() {
    TWindow w(fruitDic());
    TMainFormView view(*w.form);
    const QStringList before = w.rows();
    const QString path = writeText(w, "numbered.txt", numberedTerms(9999));
    w.chooseFile(path);
    bool failed = false;
    atUpdate(*w.fake, 10,
             [&](TImportProgressForm&) { failed = failFurtherReads(path.toStdString()); });

    view.actImport()->trigger();

    QVERIFY(failed);
    QCOMPARE(w.fake->texts("error"), QStringList{"Stream read error"});
    QCOMPARE(rig::termsOf(w.dic(0)), before);
    QCOMPARE(w.rows(), before);
    QVERIFY(!w.dic(0).Modified());
    QVERIFY(!QApplication::activeModalWidget());
}

void TestImport::importNeedsAnOpenDictionary() {
    TWindow w;
    TMainFormView view(*w.form);
    QVERIFY(!view.actImport()->isEnabled());
    view.actImport()->trigger();  // even when reached, it does nothing
    QVERIFY(w.offeredFiles.isEmpty());
    view.actNew()->trigger();
    QVERIFY(view.actImport()->isEnabled());
    view.actClose()->trigger();
    QVERIFY(!view.actImport()->isEnabled());
}

void TestImport::utf8FileIsConvertedAndOddFilesWarned_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("rows");
    // What the one warning box says after the file name; none: the file was read as UTF-8.
    QTest::addColumn<QString>("warning");
    QTest::newRow("UTF-8 with BOM")
        << QByteArray("\xEF\xBB\xBF@кошка\ncafé\n~~~\n") << QStringList{"кошка"} << "";
    QTest::newRow("CR alone") << QByteArray("@a\rb\r~~~\r") << QStringList{}
                              << ": строки разделены одним CR";
    QTest::newRow("no @ line") << QByteArray("plain text\n") << QStringList{}
                               << ": не найдено ни одной строки «@термин»";
}

void TestImport::utf8FileIsConvertedAndOddFilesWarned() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, rows);
    QFETCH(QString, warning);
    TWindow w;
    TMainFormView view(*w.form);
    view.actNew()->trigger();
    const QString file = writeText(w, "odd.txt", bytes);
    w.chooseFile(file);

    view.actImport()->trigger();

    QCOMPARE(w.rows(), rows);
    const QStringList warnings = w.fake->texts("warning");
    if (warning.isEmpty()) {
        const QString status = view.StatusBar()->currentMessage();
        QVERIFY2(status.startsWith("Файл импорта " + file + " прочитан как UTF-8"),
                 qPrintable(status));
        QCOMPARE(rig::qs(w.dic(0).Article(0)), QString("cafe\n"));
        QCOMPARE(warnings, QStringList{});
    } else {
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings[0].startsWith("Файл импорта " + file + warning), qPrintable(warnings[0]));
    }
}

QTEST_MAIN(TestImport)
#include "tst_import.moc"
