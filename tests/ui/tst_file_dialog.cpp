// The program's file dialogs: the file name's completion list goes with the dialog, also when
// Enter in that list is what accepted it.
#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "ui/dialogs.h"

class TestFileDialog : public QObject {
    Q_OBJECT

private slots:
    void completionListGoesWithAcceptedDialog() {
        QTemporaryDir folder;
        for (const char* name : {"fruits.dic", "fruit2.dic", "vegetables.dic"}) {
            QFile file(folder.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setDirectory(folder.path());
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile);

        bool listWasShown = false;
        QTimer::singleShot(300, &dialog, [&] {
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("fru"));
            QTimer::singleShot(300, &dialog, [&] {
                QWidget* list = QApplication::activePopupWidget();
                listWasShown = list != nullptr;
                QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("its.dic"));
                // Enter where the user's key goes: into the open completion list.
                QWidget* target = QApplication::activePopupWidget()
                                      ? QApplication::activePopupWidget()
                                      : QApplication::focusWidget();
                QTest::keyClick(target, Qt::Key_Return);
            });
        });
        QTimer::singleShot(8000, &dialog, &QDialog::reject);  // never hang

        TQtDialogs dialogs;
        QVERIFY(dialogs.execFileDialog(dialog));
        QVERIFY(listWasShown);
        QCOMPARE(QFileInfo(dialog.selectedFiles().value(0)).fileName(),
                 QStringLiteral("fruits.dic"));
        for (QCompleter* completer : dialog.findChildren<QCompleter*>())
            QVERIFY(!completer->popup()->isVisible());
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
    }
};

QTEST_MAIN(TestFileDialog)
#include "tst_file_dialog.moc"
