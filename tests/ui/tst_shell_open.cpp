#include <QtTest>

#include "ui/shell_open.h"

// What the desktop is handed for the help file, the web site and the mail link.
class TestShellOpen : public QObject {
    Q_OBJECT

private slots:
    void shellUrlChoosesAddressOrFile_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("url");
        QTest::newRow("help file path") << "/opt/termovel/termovel.chm"
                                        << "file:///opt/termovel/termovel.chm";
        QTest::newRow("path with blanks and Cyrillic")
            << "/home/user/мои словари/termovel.chm"
            << QUrl::fromLocalFile("/home/user/мои словари/termovel.chm").toString();
        QTest::newRow("web site") << "https://termovel.example/"
                                  << "https://termovel.example/";
        QTest::newRow("mail link") << "mailto:team@termovel.example"
                                   << "mailto:team@termovel.example";
        QTest::newRow("relative file name") << "termovel.chm"
                                            << "file:termovel.chm";
        QTest::newRow("one letter before a colon is a drive, not a scheme")
            << "C:/termovel.chm" << QUrl::fromLocalFile("C:/termovel.chm").toString();
        QTest::newRow("empty text") << ""
                                    << "";
    }
    void shellUrlChoosesAddressOrFile() {
        QFETCH(QString, text);
        QFETCH(QString, url);
        QCOMPARE(shellUrl(text).toString(), url);
    }

    void emptyTextIsRefused() { QVERIFY(!shellOpen(QString())); }
};

QTEST_MAIN(TestShellOpen)
#include "tst_shell_open.moc"
