// The dictionary information dialog on its own: what it shows, read-only and editable, the
// texts it gives back, and its refusal of characters Windows-1251 cannot hold.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

#include "dictionary/dictionary.h"
#include "support/fake_dialogs.h"
#include "ui/dialogs/info_form.h"
#include "ui/text.h"

namespace {

std::unique_ptr<TDictionary> dictionaryWith(const std::string& name, const std::string& author,
                                            const std::string& info, int terms) {
    auto dictionary = std::make_unique<TDictionary>();
    dictionary->SetName(name);
    dictionary->SetAuthor(author);
    dictionary->SetInfo(info);
    for (int i = 0; i < terms; ++i)
        dictionary->AddTerm("term" + std::to_string(i), "article");
    return dictionary;
}

}  // namespace

class TestInfoForm : public QObject {
    Q_OBJECT

private slots:
    void showsTheHeaderAndTheCount_data() {
        QTest::addColumn<QByteArray>("info");
        QTest::addColumn<int>("terms");
        QTest::addColumn<QString>("lines");  // the box's text, lines joined by LF
        QTest::newRow("new dictionary") << QByteArray() << 0 << "";
        QTest::newRow("CR LF lines") << QByteArray("one\r\ntwo") << 3 << "one\ntwo";
        QTest::newRow("bare LF lines")
            << QByteArray("one\ntwo\n\nfour") << 12 << "one\ntwo\n\nfour";
        QTest::newRow("Windows-1251 text")
            << QByteArray("\xF1\xEB\xEE\xE2\xE0\xF0\xFC") << 1 << "словарь";
    }
    void showsTheHeaderAndTheCount() {
        QFETCH(QByteArray, info);
        QFETCH(int, terms);
        QFETCH(QString, lines);
        TFakeDialogs dialogs;
        TInfoForm form(dialogs);
        form.fill(*dictionaryWith("Name", "\xC0\xE2\xF2\xEE\xF0", info.toStdString(), terms));
        QCOMPARE(form.edName->text(), QString("Name"));
        QCOMPARE(form.edAuthor->text(), QString("Автор"));
        QCOMPARE(form.edInfo->toPlainText(), lines);
        QCOMPARE(form.lbTotal->text(), QString::number(terms));
    }

    void boxesAreReadOnlyUntilMadeEditable() {
        TFakeDialogs dialogs;
        TInfoForm form(dialogs);
        for (QWidget* box :
             {static_cast<QWidget*>(form.edName), static_cast<QWidget*>(form.edAuthor),
              static_cast<QWidget*>(form.edInfo)})
            QCOMPARE(box->focusPolicy(), Qt::ClickFocus);
        QVERIFY(form.edName->isReadOnly());
        QVERIFY(form.edAuthor->isReadOnly());
        QVERIFY(form.edInfo->isReadOnly());

        form.MakeEditable();
        QVERIFY(!form.edName->isReadOnly());
        QVERIFY(!form.edAuthor->isReadOnly());
        QVERIFY(!form.edInfo->isReadOnly());
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.edName->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form.edAuthor);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form.edInfo);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form.Button1);
    }

    void okWithAnUnstorableCharacterIsRefusedAndKeepsTheTyping_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<uint>("named");  // the first character the code page cannot hold
        QTest::newRow("name") << "edName"
                              << "Кит 鯨" << 0x9BE8u;
        QTest::newRow("author") << "edAuthor"
                                << "Ŝ" << 0x15Cu;
        QTest::newRow("description") << "edInfo"
                                     << "line\n€ ok, ∑ not ≠" << 0x2211u;
        QTest::newRow("outside the basic plane") << "edName"
                                                 << "a 😀" << 0x1F600u;
    }
    void okWithAnUnstorableCharacterIsRefusedAndKeepsTheTyping() {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(uint, named);
        TFakeDialogs dialogs;
        TInfoForm form(dialogs);
        form.MakeEditable();
        form.show();
        if (box == "edInfo")
            form.edInfo->setPlainText(typed);
        else
            form.findChild<QLineEdit*>(box)->setText(typed);
        QTest::mouseClick(form.Button1, Qt::LeftButton);
        QVERIFY(form.isVisible());
        QVERIFY(!form.texts());
        const QStringList infos = dialogs.texts("information");
        QCOMPARE(infos, QStringList{unstorableCharacterText(named)});
        const QString now =
            box == "edInfo" ? form.edInfo->toPlainText() : form.findChild<QLineEdit*>(box)->text();
        QCOMPARE(now, typed);

        // Cancel still closes at once.
        QTest::mouseClick(form.Button2, Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(TestInfoForm)
#include "tst_info_form.moc"
