// The translation window: its three modes, the closing rule, its keys, the article's line
// breaks, the cascade of viewing windows and the size the main window remembers.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "platform/compare.h"
#include "support/main_form_rig.h"
#include "ui/dialogs/word_form.h"

class TestWordForm : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { compare::setLocale(""); }

    void cascadeOnScreen_data();
    void cascadeOnScreen();
    void modes_data();
    void modes();
    void closeQuery_data();
    void closeQuery();
    void saveWithEmptyTermIsRefused();
    void enterInTermBoxSaves();
    void escapeCancelsAndRemembersSize();
    void viewingWindowIgnoresEnterAndClosesOnEscape();
    void articleLineBreaks_data();
    void articleLineBreaks();
    void typedLineBreaksReadAsCrLf();
    void longTermKeptWhole();
};

void TestWordForm::cascadeOnScreen_data() {
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("left");
    QTest::newRow("1st at the corner") << 1 << 0 << 0;
    QTest::newRow("2nd") << 2 << 20 << 20;
    QTest::newRow("24th, lowest") << 24 << 460 << 460;
    QTest::newRow("25th, top wrapped") << 25 << 0 << 480;
    QTest::newRow("41st, rightmost") << 41 << 320 << 800;
    QTest::newRow("42nd, left wrapped") << 42 << 340 << 0;
}

void TestWordForm::cascadeOnScreen() {
    QFETCH(int, window);
    QFETCH(int, top);
    QFETCH(int, left);
    TCascade at;
    for (int n = 1; n < window; ++n)
        at = nextCascade(at, QSize(224, 298), QSize(1024, 768));
    QCOMPARE(at.top, top);
    QCOMPARE(at.left, left);
}

void TestWordForm::modes_data() {
    QTest::addColumn<int>("mode");  // 0 viewing, 1 adding, 2 editing
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("editable");
    QTest::newRow("viewing") << 0 << "Перевод" << false;
    QTest::newRow("adding") << 1 << "Добавление" << true;
    QTest::newRow("editing") << 2 << "Редактирование" << true;
}

void TestWordForm::modes() {
    QFETCH(int, mode);
    QFETCH(QString, caption);
    QFETCH(bool, editable);
    TWordForm form(nullptr);
    if (mode == 1)
        form.SetAdding();
    if (mode == 2)
        form.SetEditing();
    QCOMPARE(form.windowTitle(), caption);
    QCOMPARE(form.isViewing(), !editable);
    QCOMPARE(form.Edit1->isReadOnly(), !editable);
    QCOMPARE(form.Memo1->isReadOnly(), !editable);
    QCOMPARE(form.Edit1->focusPolicy() == Qt::StrongFocus, editable);
    QCOMPARE(form.CoolBar2->isHidden(), !editable);
    QCOMPARE(form.Button1->text(), QStringLiteral("Сохранить"));
    QVERIFY(form.Button1->isDefault());
    QCOMPARE(form.testAttribute(Qt::WA_DeleteOnClose), !editable);
    QCOMPARE(form.isModal(), editable);
    QVERIFY(form.Edit1->font().bold());
    QCOMPARE(form.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(form.Memo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(form.size(), QSize(224, 298));
}

void TestWordForm::closeQuery_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("term");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("canClose");
    const int ok = QDialog::Accepted;
    const int cancel = QDialog::Rejected;
    QTest::newRow("viewing, empty") << 0 << "" << ok << true;
    QTest::newRow("adding, OK, empty term") << 1 << "" << ok << false;
    QTest::newRow("adding, OK, blank term passes") << 1 << " " << ok << true;
    QTest::newRow("adding, OK, term") << 1 << "cat" << ok << true;
    QTest::newRow("adding, cancel, empty") << 1 << "" << cancel << true;
    QTest::newRow("editing, OK, empty term") << 2 << "" << ok << false;
    QTest::newRow("editing, cancel, empty") << 2 << "" << cancel << true;
}

void TestWordForm::closeQuery() {
    QFETCH(int, mode);
    QFETCH(QString, term);
    QFETCH(int, result);
    QFETCH(bool, canClose);
    TWordForm form(nullptr);
    QSignalSpy sizes(&form, &TWordForm::closeAsked);
    if (mode == 1)
        form.SetAdding();
    if (mode == 2)
        form.SetEditing();
    form.setTexts(term, QString());
    form.resize(300, 310);
    form.setResult(result);
    bool allowed = !canClose;
    form.FormCloseQuery(allowed);
    QCOMPARE(allowed, canClose);
    // The size is reported whether the close is allowed or not.
    QCOMPARE(sizes.size(), 1);
    QCOMPARE(sizes.first().first().toSize(), QSize(300, 310));
}

void TestWordForm::saveWithEmptyTermIsRefused() {
    TWordForm form(nullptr);
    form.SetAdding();
    form.setTexts(QString(), QStringLiteral("an article"));
    form.show();
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QVERIFY(form.isVisible());
    QCOMPARE(form.articleText(), QStringLiteral("an article"));
}

void TestWordForm::enterInTermBoxSaves() {
    TWordForm form(nullptr);
    form.SetAdding();
    form.show();
    QTest::keyClicks(form.Edit1, "cat");
    QTest::keyClick(form.Edit1, Qt::Key_Return);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(form.termText(), QStringLiteral("cat"));
}

void TestWordForm::escapeCancelsAndRemembersSize() {
    TWordForm form(nullptr);
    QSignalSpy sizes(&form, &TWordForm::closeAsked);
    form.SetAdding();
    form.show();
    form.resize(333, 444);
    QTest::keyClicks(form.Memo1, "text");
    QTest::keyClick(form.Memo1, Qt::Key_Escape);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QCOMPARE(sizes.size(), 1);
    QCOMPARE(sizes.first().first().toSize(), QSize(333, 444));
}

void TestWordForm::viewingWindowIgnoresEnterAndClosesOnEscape() {
    TLookupFolder folder;
    TMainForm& main = folder.open();
    QPointer<TWordForm> form = new TWordForm(&main);
    form->setTexts(QStringLiteral("cat"), QStringLiteral("a pet"));
    form->show();
    QTest::keyClick(form.data(), Qt::Key_Return);
    QVERIFY(form && form->isVisible());
    QTest::keyClick(form->Edit1, Qt::Key_Escape);
    QTRY_VERIFY(form.isNull());
}

void TestWordForm::articleLineBreaks_data() {
    QTest::addColumn<QString>("article");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("CR LF") << "one\r\ntwo" << 2 << "one\r\ntwo";
    QTest::newRow("LF") << "one\ntwo" << 2 << "one\r\ntwo";
    QTest::newRow("CR") << "one\rtwo" << 2 << "one\r\ntwo";
    QTest::newRow("mixed, empty line kept") << "a\r\rb\nc" << 4 << "a\r\n\r\nb\r\nc";
    QTest::newRow("trailing break kept, none added") << "a\n" << 2 << "a\r\n";
    QTest::newRow("empty") << "" << 1 << "";
    QTest::newRow("no-break spaces stay as they are")
        << QStringLiteral("a\u00A0b\r\n\u00A0c") << 2 << QStringLiteral("a\u00A0b\r\n\u00A0c");
}

void TestWordForm::articleLineBreaks() {
    QFETCH(QString, article);
    QFETCH(int, lines);
    QFETCH(QString, readBack);
    TWordForm form(nullptr);
    form.setTexts(QStringLiteral("t"), article);
    QCOMPARE(form.Memo1->blockCount(), lines);
    QCOMPARE(form.articleText(), readBack);
}

void TestWordForm::typedLineBreaksReadAsCrLf() {
    TWordForm form(nullptr);
    form.SetAdding();
    // Enter starts a new paragraph, Shift+Enter a line inside one: both are line breaks.
    QTest::keyClicks(form.Memo1, QStringLiteral("a"));
    QTest::keyClick(form.Memo1, Qt::Key_Return);
    QTest::keyClicks(form.Memo1, QStringLiteral("b"));
    QTest::keyClick(form.Memo1, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(form.Memo1, QStringLiteral("c"));
    QCOMPARE(form.articleText(), QStringLiteral("a\r\nb\r\nc"));
}

void TestWordForm::longTermKeptWhole() {
    // Terms come from files with 32-bit lengths; the window shows and gives back all of one.
    const QString term = QString(40000, QLatin1Char('x')) + QStringLiteral("end");
    for (const bool editing : {false, true}) {
        TWordForm form(nullptr);
        if (editing)
            form.SetEditing();
        form.setTexts(term, QStringLiteral("article"));
        QCOMPARE(form.termText(), term);
    }
}

QTEST_MAIN(TestWordForm)
#include "tst_word_form.moc"
