// The word list: its model over the current dictionary (rows at the dictionary's positions,
// kept in step with the incremental search) and its view of uniform rows.
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include "dictionary/dictionary.h"
#include "platform/compare.h"
#include "platform/error.h"
#include "ui/widgets/word_list_model.h"
#include "ui/widgets/word_list_view.h"

namespace {

void fill(TDictionary& dictionary, const std::vector<std::string>& terms) {
    for (const std::string& term : terms)
        dictionary.AddTerm(term, "");
}

QStringList rows(const TWordListModel& model) {
    QStringList out;
    for (int i = 0; i < model.rowCount(); ++i)
        out << model.data(model.index(i)).toString();
    return out;
}

}  // namespace

class TestWordList : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { compare::setLocale(""); }

    void modelShowsTermsAsText();
    void dataChecksIndexAndRole_data();
    void dataChecksIndexAndRole();
    void insertReportsRowAtItsPosition_data();
    void insertReportsRowAtItsPosition();
    void removeReportsRowAndKeepsSearchInStep();
    void changeTermRaisesForPresentTerm();
    void switchingDictionaryIsOneReset();
    void viewGeometry_data();
    void viewGeometry();
    void viewKeysMoveCurrentRow_data();
    void viewKeysMoveCurrentRow();
    void clickSelectsRowUnderPointer();
};

void TestWordList::modelShowsTermsAsText() {
    TDictionary dictionary;
    fill(dictionary, {"cat", "\xEA\xEE\xF2"});  // кот
    TWordListModel model;
    model.setDictionary(&dictionary);
    QCOMPARE(rows(model), (QStringList{"cat", QStringLiteral("кот")}));
}

void TestWordList::dataChecksIndexAndRole_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("role");
    QTest::addColumn<bool>("valid");
    QTest::newRow("first, display") << 0 << int(Qt::DisplayRole) << true;
    QTest::newRow("last, display") << 1 << int(Qt::DisplayRole) << true;
    QTest::newRow("past the end") << 2 << int(Qt::DisplayRole) << false;
    QTest::newRow("negative") << -1 << int(Qt::DisplayRole) << false;
    QTest::newRow("other role") << 0 << int(Qt::DecorationRole) << false;
}

void TestWordList::dataChecksIndexAndRole() {
    QFETCH(int, row);
    QFETCH(int, role);
    QFETCH(bool, valid);
    TDictionary dictionary;
    fill(dictionary, {"a", "b"});
    TWordListModel model;
    model.setDictionary(&dictionary);
    QCOMPARE(model.data(model.index(row), role).isValid(), valid);
    // An index kept from before the dictionary shrank is refused too.
    const QModelIndex last = model.index(1);
    dictionary.Delete(1);
    QVERIFY(!model.data(last, Qt::DisplayRole).isValid());
}

void TestWordList::insertReportsRowAtItsPosition_data() {
    QTest::addColumn<QString>("term");
    QTest::addColumn<int>("position");
    QTest::newRow("front") << "aardvark" << 0;
    QTest::newRow("middle") << "dog" << 1;
    QTest::newRow("end") << "zebra" << 3;
    QTest::newRow("present, other case") << "CAT" << -1;
}

void TestWordList::insertReportsRowAtItsPosition() {
    QFETCH(QString, term);
    QFETCH(int, position);
    TDictionary dictionary;
    fill(dictionary, {"cat", "emu", "fox"});
    TWordListModel model;
    model.setDictionary(&dictionary);
    QCOMPARE(model.findPrefix("e"), 1);  // builds the search index before the change
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QCOMPARE(model.insertTerm(term.toStdString(), "article"), position);
    if (position < 0) {
        QCOMPARE(inserted.count(), 0);
        QCOMPARE(model.rowCount(), 3);
        return;
    }
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.first().at(1).toInt(), position);
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.data(model.index(position)).toString(), term);
    QCOMPARE(model.findPrefix(term.toUpper().toStdString()), position);
    QCOMPARE(model.findPrefix("fo"), dictionary.Find("fox"));
}

void TestWordList::removeReportsRowAndKeepsSearchInStep() {
    TDictionary dictionary;
    fill(dictionary, {"ant", "bee", "cat", "cow"});
    TWordListModel model;
    model.setDictionary(&dictionary);
    QCOMPARE(model.findPrefix("c"), 2);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    model.removeTerm(2);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.first().at(1).toInt(), 2);
    QCOMPARE(rows(model), (QStringList{"ant", "bee", "cow"}));
    QCOMPARE(model.findPrefix("c"), 2);
    QCOMPARE(model.findPrefix("ca"), -1);
    QVERIFY_THROWS_EXCEPTION(TError, model.removeTerm(7));
    QCOMPARE(model.rowCount(), 3);
}

void TestWordList::changeTermRaisesForPresentTerm() {
    TDictionary dictionary;
    fill(dictionary, {"cat"});
    TWordListModel model;
    model.setDictionary(&dictionary);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QVERIFY_THROWS_EXCEPTION(TError, model.changeTerm("Cat", "x"));
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(model.changeTerm("dog", "x"), 1);
    QCOMPARE(inserted.count(), 1);
}

void TestWordList::switchingDictionaryIsOneReset() {
    TDictionary first, second;
    fill(first, {"a", "b"});
    fill(second, {"c"});
    TWordListModel model;
    model.setDictionary(&first);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.setDictionary(&second);
    QCOMPARE(resets.count(), 1);
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(rows(model), QStringList{"c"});
    model.setDictionary(nullptr);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.findPrefix("c"), -1);
}

namespace {

// A shown view 200 × 150 pixels (ten rows of 15) over n terms.
struct TViewOver {
    TDictionary dictionary;
    TWordListModel model;
    TWordListView view;
    explicit TViewOver(int n) {
        TTermBatch batch;
        for (int i = 0; i < n; ++i) {
            char term[16];
            std::snprintf(term, sizeof term, "t%06d", i);
            batch.add(term, "");
        }
        dictionary.addTerms(std::move(batch));
        model.setDictionary(&dictionary);
        view.setModel(&model);
        view.setFrameStyle(QFrame::NoFrame);
        view.resize(200, 150);
        view.show();
        view.doItemsLayout();
    }
};

}  // namespace

void TestWordList::viewGeometry_data() {
    QTest::addColumn<int>("scrollTo");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("top");
    QTest::newRow("first row, unscrolled") << 0 << 0 << 0;
    QTest::newRow("third row, unscrolled") << 0 << 2 << 30;
    QTest::newRow("row brought into view sits at the bottom") << 500 << 500 << 135;
    QTest::newRow("row above it") << 500 << 491 << 0;
    QTest::newRow("last row") << 999 << 999 << 135;
}

void TestWordList::viewGeometry() {
    QFETCH(int, scrollTo);
    QFETCH(int, row);
    QFETCH(int, top);
    TViewOver over(1000);
    QCOMPARE(over.view.viewport()->size(), QSize(200, 150));
    over.view.scrollTo(over.model.index(scrollTo));
    const QRect rect = over.view.visualRect(over.model.index(row));
    QCOMPARE(rect, QRect(0, top, 200, 15));
    QCOMPARE(over.view.indexAt(rect.center()).row(), row);
    QCOMPARE(over.view.verticalScrollBar()->maximum(), 1000 * 15 - 150);
}

void TestWordList::viewKeysMoveCurrentRow_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("row");
    QTest::newRow("down") << int(Qt::Key_Down) << 11;
    QTest::newRow("up") << int(Qt::Key_Up) << 9;
    QTest::newRow("page down") << int(Qt::Key_PageDown) << 19;
    QTest::newRow("page up") << int(Qt::Key_PageUp) << 1;
    QTest::newRow("home") << int(Qt::Key_Home) << 0;
    QTest::newRow("end") << int(Qt::Key_End) << 99;
}

void TestWordList::viewKeysMoveCurrentRow() {
    QFETCH(int, key);
    QFETCH(int, row);
    TViewOver over(100);
    over.view.setCurrentIndex(over.model.index(10));
    QTest::keyClick(&over.view, Qt::Key(key));
    QCOMPARE(over.view.currentIndex().row(), row);
    QVERIFY(over.view.selectionModel()->isSelected(over.model.index(row)));
    // The current row is in view.
    QVERIFY(over.view.viewport()->rect().contains(over.view.visualRect(over.model.index(row))));
}

void TestWordList::clickSelectsRowUnderPointer() {
    TViewOver over(100);
    over.view.verticalScrollBar()->setValue(15 * 40);
    QTest::mouseClick(over.view.viewport(), Qt::LeftButton, {}, QPoint(50, 15 * 3 + 7));
    QCOMPARE(over.view.currentIndex().row(), 43);
    const QModelIndexList selected = over.view.selectionModel()->selectedIndexes();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.first().row(), 43);
    // Below the last row there is nothing to hit.
    over.view.verticalScrollBar()->setValue(over.view.verticalScrollBar()->maximum());
    QVERIFY(!over.view.indexAt(QPoint(5, 149)).isValid() ||
            over.view.indexAt(QPoint(5, 149)).row() == 99);
    QVERIFY(!over.view.grab().isNull());
}

QTEST_MAIN(TestWordList)
#include "tst_word_list.moc"
