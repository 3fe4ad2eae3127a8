// The main window's settings, information and about commands: what each shows, and what OK
// and Cancel change in the window, the store and the current dictionary.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <functional>
#include <string>

#include "dictionary/dictionary.h"
#include "support/main_form_rig.h"
#include "ui/dialogs/about_form.h"
#include "ui/dialogs/info_form.h"
#include "ui/dialogs/options_form.h"
#include "ui/text.h"

namespace {

// The editing menus "Словарь" and "Слова": "shown", "hidden", or "mixed" when they disagree.
QString menus(const TMainForm& form) {
    const TMainFormView view(form);
    const bool dic = view.mnDic()->menuAction()->isVisible();
    const bool word = view.mnWord()->menuAction()->isVisible();
    return dic != word ? "mixed" : (dic ? "shown" : "hidden");
}

// Answers the next modal window of type T with answer, which returns the dialog's result.
template <typename T>
void answer(TFakeDialogs& dialogs, std::function<int(T&)> answer, int* seen = nullptr) {
    dialogs.onModal = [answer, seen](QDialog& dialog) {
        auto* window = dynamic_cast<T*>(&dialog);
        if (!window)
            return int(QDialog::Rejected);
        if (seen)
            ++*seen;
        return answer(*window);
    };
}

// A dictionary file with the given header, written by the core.
void writeHeaderDic(const std::string& path, const std::string& info) {
    TDictionary dictionary;
    dictionary.SetName("English");
    dictionary.SetAuthor("Author");
    dictionary.SetInfo(info);
    dictionary.AddTerm("cat", "a small animal");
    dictionary.AddTerm("dog", "a faithful animal");
    dictionary.SaveToFile(path);
}

}  // namespace

class TestMainFormDialogs : public QObject {
    Q_OBJECT

private slots:
    // --- Settings ---
    void settingsOkShowsOrHidesTheEditingMenusAtOnce_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("shown");
        QTest::newRow("newly checked, OK") << "0" << true << true << true;
        QTest::newRow("newly checked, Cancel") << "0" << true << false << false;
        QTest::newRow("unchecked, OK") << "1" << false << true << false;
        QTest::newRow("unchecked, Cancel") << "1" << false << false << true;
        QTest::newRow("left on, OK") << "1" << true << true << true;
    }
    void settingsOkShowsOrHidesTheEditingMenusAtOnce() {
        QFETCH(QString, stored);
        QFETCH(bool, checked);
        QFETCH(bool, ok);
        QFETCH(bool, shown);
        TLookupFolder folder;
        folder.setup().WriteValue("Main", "EditMode", stored.toStdString());
        TMainForm& form = folder.open();
        QCOMPARE(menus(form), QString(stored == "1" ? "shown" : "hidden"));
        int seen = 0;
        answer<TOptionsForm>(
            folder.dialogs(),
            [&](TOptionsForm& dialog) {
                // The dialog belongs to the main window and is filled from the store.
                if (dialog.parentWidget() != &form)
                    return int(QDialog::Rejected);
                dialog.chkEditMode->setChecked(checked);
                QTest::mouseClick(ok ? dialog.Button1 : dialog.Button2, Qt::LeftButton);
                return dialog.result();
            },
            &seen);
        TMainFormView(form).actSetup()->trigger();
        QCOMPARE(seen, 1);
        QCOMPARE(menus(form), QString(shown ? "shown" : "hidden"));
        const std::string expected = ok ? (checked ? "1" : "0") : stored.toStdString();
        QCOMPARE(folder.setup().ReadValue("Main", "EditMode"), expected);
    }

    void settingsScanLeavesTheOpenTabsAlone() {
        TLookupFolder folder;
        folder.writeDic("a.dic", {"one"});
        TMainForm& form = folder.open();
        folder.writeDic("b.dic", {"two"});
        answer<TOptionsForm>(folder.dialogs(), [](TOptionsForm& dialog) {
            dialog.ScanDictionaries();
            dialog.accept();
            return dialog.result();
        });
        form.actSetupExecute();
        QCOMPARE(rig::tabs(form), QStringList{"a.dic"});
        QCOMPARE(folder.setup().ReadValue("List", "N2"), std::string("+b.dic"));
        QCOMPARE(folder.setup().ReadValue("List", "Count"), std::string("2"));
    }

    // --- Information ---
    void informationDoesNothingWithoutADictionary() {
        TLookupFolder folder;
        TMainForm& form = folder.open();
        int seen = 0;
        answer<QDialog>(
            folder.dialogs(), [](QDialog&) { return int(QDialog::Accepted); }, &seen);
        QVERIFY(!TMainFormView(form).actInfo()->isEnabled());
        form.actInfoExecute();
        QCOMPARE(seen, 0);
    }

    void informationShowsTheCurrentDictionary() {
        TLookupFolder folder;
        writeHeaderDic(folder.file("en.dic"), "first\nsecond");
        TMainForm& form = folder.open();
        QStringList shown;
        answer<TInfoForm>(folder.dialogs(), [&](TInfoForm& dialog) {
            shown << dialog.windowTitle() << dialog.edName->text() << dialog.edAuthor->text()
                  << dialog.edInfo->toPlainText() << dialog.lbTotal->text();
            return int(QDialog::Rejected);
        });
        TMainFormView(form).actInfo()->trigger();
        QCOMPARE(shown, QStringList({"Информация", "English", "Author", "first\nsecond", "2"}));
    }

    void informationOkAndCancel_data() {
        QTest::addColumn<QString>("editMode");
        QTest::addColumn<QString>("how");        // ok, cancel, escape, close
        QTest::addColumn<QString>("typedName");  // empty: nothing typed
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("info");
        QTest::addColumn<bool>("modified");
        const QByteArray lf("one\ntwo");
        const QByteArray crlf("one\r\ntwo");
        QTest::newRow("read-only, OK writes back") << "0"
                                                   << "ok"
                                                   << "" << QByteArray("English") << crlf << true;
        QTest::newRow("read-only, Cancel") << "0"
                                           << "cancel"
                                           << "" << QByteArray("English") << lf << false;
        QTest::newRow("edit mode, OK unchanged") << "1"
                                                 << "ok"
                                                 << "" << QByteArray("English") << crlf << true;
        QTest::newRow("edit mode, OK with a new name")
            << "1"
            << "ok"
            << "Новый" << QByteArray("\xCD\xEE\xE2\xFB\xE9") << crlf << true;
        QTest::newRow("edit mode, Esc after typing")
            << "1"
            << "escape"
            << "Новый" << QByteArray("English") << lf << false;
        QTest::newRow("edit mode, close box after typing")
            << "1"
            << "close"
            << "Новый" << QByteArray("English") << lf << false;
        QTest::newRow("EditMode other than 1 is read-only")
            << "yes"
            << "ok"
            << "" << QByteArray("English") << crlf << true;
    }
    void informationOkAndCancel() {
        QFETCH(QString, editMode);
        QFETCH(QString, how);
        QFETCH(QString, typedName);
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, info);
        QFETCH(bool, modified);
        TLookupFolder folder;
        writeHeaderDic(folder.file("en.dic"), "one\ntwo");
        folder.setup().WriteValue("Main", "EditMode", editMode.toStdString());
        TMainForm& form = folder.open();
        const QString title = form.windowTitle();
        bool readOnly = false;
        answer<TInfoForm>(folder.dialogs(), [&](TInfoForm& dialog) {
            readOnly = dialog.edName->isReadOnly() && dialog.edAuthor->isReadOnly() &&
                       dialog.edInfo->isReadOnly();
            dialog.show();
            if (!typedName.isEmpty())
                dialog.edName->setText(typedName);
            if (how == "ok")
                QTest::mouseClick(dialog.Button1, Qt::LeftButton);
            else if (how == "cancel")
                QTest::mouseClick(dialog.Button2, Qt::LeftButton);
            else if (how == "escape")
                QTest::keyClick(&dialog, Qt::Key_Escape);
            else
                dialog.close();
            return dialog.result();
        });
        form.actInfoExecute();
        QCOMPARE(readOnly, editMode != "1");
        const TDictionary& dictionary = TMainFormView(form).dic(0);
        QCOMPARE(QByteArray::fromStdString(dictionary.Name()), name);
        QCOMPARE(dictionary.Author(), std::string("Author"));
        QCOMPARE(QByteArray::fromStdString(dictionary.Info()), info);
        QCOMPARE(dictionary.Modified(), modified);
        // The title follows a new name only when the tab is selected again.
        QCOMPARE(form.windowTitle(), title);
    }

    void informationOkMakesTheExitAskAboutTheDictionary() {
        TLookupFolder folder;
        writeHeaderDic(folder.file("en.dic"), "");
        TMainForm& form = folder.open();
        answer<TInfoForm>(folder.dialogs(), [](TInfoForm& dialog) {
            dialog.accept();
            return dialog.result();
        });
        form.actInfoExecute();
        folder.dialogs().confirmAnswers = {TDialogs::TAnswer::No};
        form.actExitExecute();
        QCOMPARE(folder.dialogs().texts("confirm"),
                 QStringList{"Словарь en.dic не сохранен! Продолжить?"});
    }

    void informationRefusesTextsWindows1251CannotHold() {
        TLookupFolder folder;
        writeHeaderDic(folder.file("en.dic"), "");
        folder.setup().WriteValue("Main", "EditMode", "1");
        TMainForm& form = folder.open();
        answer<TInfoForm>(folder.dialogs(), [](TInfoForm& dialog) {
            dialog.show();
            dialog.edAuthor->setText("Ω");
            QTest::mouseClick(dialog.Button1, Qt::LeftButton);  // refused, still open
            const bool stillOpen = dialog.isVisible();
            dialog.edAuthor->setText("Автор");
            QTest::mouseClick(dialog.Button1, Qt::LeftButton);
            return stillOpen ? dialog.result() : int(QDialog::Rejected);
        });
        form.actInfoExecute();
        QCOMPARE(folder.dialogs().texts("information"),
                 QStringList{unstorableCharacterText(U'\u03A9')});
        QCOMPARE(TMainFormView(form).dic(0).Author(), std::string("\xC0\xE2\xF2\xEE\xF0"));
    }

    // --- About ---
    void aboutOpensModallyWithTheApplicationAsOwner() {
        TLookupFolder folder;
        TMainForm& form = folder.open();
        QStringList seen;
        answer<TAboutForm>(folder.dialogs(), [&](TAboutForm& about) {
            seen << about.windowTitle() << (about.parentWidget() ? "owned by a window" : "free");
            return int(QDialog::Rejected);
        });
        TMainFormView(form).actAbout()->trigger();
        QCOMPARE(seen, QStringList({"О программе", "free"}));
    }
};

QTEST_MAIN(TestMainFormDialogs)
#include "tst_main_form_dialogs.moc"
