// Leaving the program: the exit command's questions about unsaved dictionaries, the close
// confirmation on every way of closing, and the history written back to the settings.
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QTabBar>
#include <QTest>

#include "dictionary/dictionary.h"
#include "platform/compare.h"
#include "support/main_form_rig.h"

using rig::TDicFile;
using rig::TWindow;
using TAnswer = TDialogs::TAnswer;
using TAnswers = QList<TDialogs::TAnswer>;

Q_DECLARE_METATYPE(TDialogs::TAnswer)

namespace {

const QString kExitQuestion = QStringLiteral("Выйти из программы?");

std::vector<TDicFile> twoDics() {
    return {{"a.dic", "A", {{"apple", "яблоко"}}}, {"b.dic", "B", {{"berry", "ягода"}}}};
}

// Changes the dictionaries at the given tabs through the window (a term added to each), then
// goes back to the tab that was current.
void modify(TWindow& w, std::initializer_list<int> tabs) {
    QTabBar* strip = TMainFormView(*w.form).TabSet();
    const int current = strip->currentIndex();
    for (int tab : tabs) {
        strip->setCurrentIndex(tab);
        w.typeIntoNextWindow("changed", "article");
        TMainFormView(*w.form).actAdd()->trigger();
    }
    strip->setCurrentIndex(current);
}

QString unsavedQuestion(const QString& caption) {
    return QStringLiteral("Словарь ") + caption + QStringLiteral(" не сохранен! Продолжить?");
}

// The [History] section of the settings file as its lines, in file order.
QStringList historyLines(TWindow& w) {
    w.setup->SaveIni();
    QFile file(QString::fromStdString(w.setup->IniFileName()));
    if (!file.open(QIODevice::ReadOnly))
        return {"<no file>"};
    QStringList out;
    bool inHistory = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromLatin1(raw).trimmed();
        if (line.startsWith('[')) {
            inHistory = line.compare("[History]", Qt::CaseInsensitive) == 0;
            continue;
        }
        if (inHistory && !line.isEmpty())
            out << line;
    }
    return out;
}

// Settings holding an older history of five entries.
std::vector<std::array<std::string, 3>> olderHistory() {
    return {{"History", "Count", "5"}, {"History", "N1", "old1"}, {"History", "N2", "old2"},
            {"History", "N3", "old3"}, {"History", "N4", "old4"}, {"History", "N5", "old5"}};
}

}  // namespace

class TestExit : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { compare::setLocale(""); }

    void exitAsksAboutUnsavedInTabOrder_data();
    void exitAsksAboutUnsavedInTabOrder();
    void everyCloseAsksAboutUnsaved_data();
    void everyCloseAsksAboutUnsaved();
    void historyReplacesOlderSection();
    void declinedExitLeavesHistory_data();
    void declinedExitLeavesHistory();
};

void TestExit::exitAsksAboutUnsavedInTabOrder_data() {
    QTest::addColumn<QList<int>>("modified");
    QTest::addColumn<TAnswers>("answers");
    QTest::addColumn<QStringList>("questions");
    QTest::addColumn<bool>("closed");
    const QString a = unsavedQuestion("a.dic");
    const QString b = unsavedQuestion("b.dic");
    QTest::newRow("No on the first asks nothing more")
        << QList<int>{0, 1} << TAnswers{TAnswer::No} << QStringList{a} << false;
    QTest::newRow("Yes, then No on the second")
        << QList<int>{0, 1} << TAnswers{TAnswer::Yes, TAnswer::No} << QStringList{a, b} << false;
    QTest::newRow("Yes to both reaches the exit question, declined")
        << QList<int>{0, 1} << TAnswers{TAnswer::Yes, TAnswer::Yes, TAnswer::No}
        << QStringList{a, b, kExitQuestion} << false;
    QTest::newRow("Yes to all closes")
        << QList<int>{0, 1} << TAnswers{TAnswer::Yes, TAnswer::Yes, TAnswer::Yes}
        << QStringList{a, b, kExitQuestion} << true;
    QTest::newRow("box closed goes on; exit question closed stays")
        << QList<int>{0, 1} << TAnswers{TAnswer::Closed, TAnswer::Yes, TAnswer::Closed}
        << QStringList{a, b, kExitQuestion} << false;
    QTest::newRow("only the modified one is asked about")
        << QList<int>{1} << TAnswers{TAnswer::Yes, TAnswer::Yes} << QStringList{b, kExitQuestion}
        << true;
    QTest::newRow("nothing modified: only the exit question")
        << QList<int>{} << TAnswers{TAnswer::Yes} << QStringList{kExitQuestion} << true;
}

void TestExit::exitAsksAboutUnsavedInTabOrder() {
    QFETCH(QList<int>, modified);
    QFETCH(TAnswers, answers);
    QFETCH(QStringList, questions);
    QFETCH(bool, closed);
    TWindow w(twoDics());
    for (int tab : modified)
        modify(w, {tab});
    w.form->show();
    w.fake->confirmAnswers.assign(answers.begin(), answers.end());
    TMainFormView(*w.form).actExit()->trigger();
    QCOMPARE(w.fake->texts("confirm"), questions);
    QCOMPARE(w.fake->unansweredConfirms, 0);
    QCOMPARE(w.form->isVisible(), !closed);
    // Leaving saves nothing and closes no tab.
    QCOMPARE(w.tabs(), QStringList({"a.dic", "b.dic"}));
    for (int tab : modified)
        QVERIFY(w.dic(tab).Modified());
}

void TestExit::everyCloseAsksAboutUnsaved_data() {
    QTest::addColumn<bool>("modified");
    QTest::addColumn<TAnswers>("answers");
    QTest::addColumn<QStringList>("questions");
    QTest::addColumn<bool>("closed");
    const QString a = unsavedQuestion("a.dic");
    QTest::newRow("modified, No") << true << TAnswers{TAnswer::No} << QStringList{a} << false;
    QTest::newRow("modified, Yes, Yes")
        << true << TAnswers{TAnswer::Yes, TAnswer::Yes} << QStringList{a, kExitQuestion} << true;
    QTest::newRow("unchanged, exit question only")
        << false << TAnswers{TAnswer::Yes} << QStringList{kExitQuestion} << true;
    QTest::newRow("unchanged, exit declined")
        << false << TAnswers{TAnswer::No} << QStringList{kExitQuestion} << false;
}

// The close box, Alt+F4 and the system menu all arrive as a close of the window.
void TestExit::everyCloseAsksAboutUnsaved() {
    QFETCH(bool, modified);
    QFETCH(TAnswers, answers);
    QFETCH(QStringList, questions);
    QFETCH(bool, closed);
    TWindow w(twoDics());
    if (modified)
        modify(w, {0});
    w.form->show();
    w.fake->confirmAnswers.assign(answers.begin(), answers.end());
    QCOMPARE(w.form->close(), closed);
    QCOMPARE(w.fake->texts("confirm"), questions);
    QCOMPARE(w.form->isVisible(), !closed);
}

void TestExit::historyReplacesOlderSection() {
    TWindow w(twoDics(), olderHistory());
    // The window loaded the five old entries; the run leaves three, newest first.
    TMainFormView(*w.form).cmbString()->clear();
    TMainFormView(*w.form).cmbString()->addItems({"third", "второй", "first"});
    w.form->show();
    w.fake->confirmAnswers = {TAnswer::Yes};
    TMainFormView(*w.form).actExit()->trigger();
    QVERIFY(!w.form->isVisible());
    QCOMPARE(historyLines(w),
             QStringList({"N1=third",
                          QString("N2=") +
                              QString::fromLatin1(QByteArray::fromStdString(rig::cp("второй"))),
                          "N3=first", "Count=3"}));
    QCOMPARE(w.setup->ReadValue("History", "N4"), std::string());
    QCOMPARE(w.setup->ReadValue("History", "N2"), rig::cp("второй"));
}

void TestExit::declinedExitLeavesHistory_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::addColumn<TAnswer>("answer");
    QTest::newRow("exit command, No") << false << TAnswer::No;
    QTest::newRow("exit command, box closed") << false << TAnswer::Closed;
    QTest::newRow("close box, No") << true << TAnswer::No;
}

void TestExit::declinedExitLeavesHistory() {
    QFETCH(bool, closeBox);
    QFETCH(TAnswer, answer);
    TWindow w(twoDics(), olderHistory());
    const QStringList before = historyLines(w);
    QCOMPARE(before.size(), 6);
    TMainFormView(*w.form).cmbString()->clear();
    TMainFormView(*w.form).cmbString()->addItems({"third", "second", "first"});
    w.form->show();
    w.fake->confirmAnswers = {answer};
    if (closeBox)
        w.form->close();
    else
        TMainFormView(*w.form).actExit()->trigger();
    QCOMPARE(w.fake->texts("confirm"), QStringList({kExitQuestion}));
    QVERIFY(w.form->isVisible());
    QCOMPARE(historyLines(w), before);
}

QTEST_MAIN(TestExit)
#include "tst_exit.moc"
