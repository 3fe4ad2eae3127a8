// Start-up: the single-instance check, the first-run rule, the error guard, the error box of
// the message loop and the exact message boxes of TQtDialogs.
#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include <unistd.h>

#include "app/startup.h"
#include "platform/error.h"
#include "platform/instance_lock.h"
#include "settings/help_file.h"
#include "settings/program_identity.h"
#include "settings/reg_setup.h"
#include "support/fake_dialogs.h"
#include "support/main_form_rig.h"
#include "ui/dialogs/logo_form.h"
#include "ui/dialogs/tip_form.h"
#include "ui/main_form/main_form.h"
#include "ui/text.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

const std::string kDefaultFile =
    "[Main]\r\nProgram=Termovel v1.00\r\nVersion=1.0\r\n"
    "Copyright=Copyright (c) 2026 Termovel developers\r\nEditMode=0\r\nShowLogo=1\r\n"
    "ShowTip=1\r\n[List]\r\nCount=0\r\n[History]\r\nCount=0\r\n";

// A settings file that differs from the defaults and is not in the form SaveIni writes, so
// any rewrite of it shows.
const std::string kOwnFile =
    "[MAIN]\nshowlogo = 0\nEditMode=1\n[List]\nCount=0\n[History]\nCount=0\n";

// An object whose events raise the error given, as a broken handler would.
class TThrowingObject : public QObject {
public:
    explicit TThrowingObject(std::function<void()> handler) : handler_(std::move(handler)) {}
    int handled = 0;

protected:
    bool event(QEvent* e) override {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        ++handled;
        handler_();
        return true;
    }

private:
    std::function<void()> handler_;
};

// Runs check on the next modal box shown, then lets act answer it.
void onNextBox(std::function<void(QMessageBox&)> handle) {
    QTimer::singleShot(0, [handle] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        handle(*box);
    });
}

QStringList buttonTexts(const QMessageBox& box) {
    QStringList texts;
    for (QAbstractButton* b : box.buttons())
        texts << b->text();
    texts.sort();
    return texts;
}

}  // namespace

class TestStartup : public QObject {
    Q_OBJECT

private:
    TApplication& app() { return *static_cast<TApplication*>(QCoreApplication::instance()); }

    // Start-up over the folder with its own lock; loop runs in place of the message loop.
    TStartupEnvironment environment(const QTemporaryDir& dir, TFakeDialogs& dialogs,
                                    std::function<int(TMainForm&)> loop) {
        rig::useOwnCache();
        TStartupEnvironment env;
        env.programFolder = dir.path().toStdString();
        env.lockPath = dir.filePath("TermovelMutex").toStdString();
        env.dialogs = &dialogs;
        env.runLoop = std::move(loop);
        return env;
    }

private slots:
    // A confirmation, and a question whose No throws something away, which Esc does not answer.
    void confirmHasExactCaptionAndButtons_data() {
        QTest::addColumn<bool>("escapeAnswers");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("expected");
        QTest::newRow("Return answers Yes") << true << "return" << int(TDialogs::TAnswer::Yes);
        QTest::newRow("Escape answers No") << true << "escape" << int(TDialogs::TAnswer::No);
        QTest::newRow("click on Yes") << true << "yes" << int(TDialogs::TAnswer::Yes);
        QTest::newRow("click on No") << true << "no" << int(TDialogs::TAnswer::No);
        QTest::newRow("close box gives neither")
            << true << "close" << int(TDialogs::TAnswer::Closed);
        QTest::newRow("question: Escape gives neither")
            << false << "escape" << int(TDialogs::TAnswer::Closed);
        QTest::newRow("question: close box gives neither")
            << false << "close" << int(TDialogs::TAnswer::Closed);
        QTest::newRow("question: click on No") << false << "no" << int(TDialogs::TAnswer::No);
        QTest::newRow("question: Return answers Yes")
            << false << "return" << int(TDialogs::TAnswer::Yes);
    }
    void confirmHasExactCaptionAndButtons() {
        QFETCH(bool, escapeAnswers);
        QFETCH(QString, action);
        QFETCH(int, expected);
        onNextBox([action](QMessageBox& box) {
            QCOMPARE(box.windowTitle(), QString("Confirm"));
            QCOMPARE(box.text(), QString("Выйти из программы?"));
            QCOMPARE(box.textFormat(), Qt::PlainText);
            QCOMPARE(box.icon(), QMessageBox::Question);
            QCOMPARE(buttonTexts(box), QStringList({"&No", "&Yes"}));
            QCOMPARE(box.defaultButton()->text(), QString("&Yes"));
            QCOMPARE(box.escapeButton()->text(), QString("&No"));
            if (action == "return")
                QTest::keyClick(&box, Qt::Key_Return);
            else if (action == "escape")
                QTest::keyClick(&box, Qt::Key_Escape);
            else if (action == "close")
                box.close();
            else
                for (QAbstractButton* b : box.buttons())
                    if (b->text() == (action == "yes" ? "&Yes" : "&No"))
                        b->click();
        });
        TQtDialogs dialogs;
        const QString text = "Выйти из программы?";
        QCOMPARE(int(escapeAnswers ? dialogs.confirm(nullptr, text)
                                   : dialogs.confirmWithoutEscape(nullptr, text)),
                 expected);
    }

    void messagesHaveExactCaptionAndOneOk_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("icon");
        QTest::newRow("information") << "information"
                                     << "Information" << int(QMessageBox::Information);
        QTest::newRow("warning") << "warning"
                                 << "Warning" << int(QMessageBox::Warning);
        QTest::newRow("error") << "error"
                               << "Termovel v1.00" << int(QMessageBox::Critical);
    }
    void messagesHaveExactCaptionAndOneOk() {
        QFETCH(QString, kind);
        QFETCH(QString, caption);
        QFETCH(int, icon);
        bool seen = false;
        onNextBox([&](QMessageBox& box) {
            seen = true;
            QCOMPARE(box.windowTitle(), caption);
            QCOMPARE(int(box.icon()), icon);
            QCOMPARE(box.text(), QString("<b>Текст</b>"));
            // Names of files come from outside: markup in them is shown, never obeyed.
            QCOMPARE(box.textFormat(), Qt::PlainText);
            QCOMPARE(buttonTexts(box), QStringList({"OK"}));
            QTest::keyClick(&box, Qt::Key_Return);
        });
        TQtDialogs dialogs;
        if (kind == "information")
            dialogs.information(nullptr, "<b>Текст</b>");
        else if (kind == "warning")
            dialogs.warning(nullptr, "<b>Текст</b>");
        else
            dialogs.error(nullptr, "<b>Текст</b>");
        QVERIFY(seen);
    }

    void isFirstInstanceWarnsWhileAnotherCopyHoldsTheLock() {
        QTemporaryDir dir;
        const std::string lock = dir.filePath("TermovelMutex").toStdString();
        TFakeDialogs dialogs;
        QVERIFY(IsFirstInstance(lock, dialogs));
        QVERIFY(dialogs.shown.empty());
        QVERIFY(!IsFirstInstance(lock, dialogs));
        QCOMPARE(dialogs.texts("warning"), QStringList({"Приложение уже запущено!"}));
    }

    void firstRunCreatesTheDefaultsBeforeTheWindow() {
        QTemporaryDir dir;
        const std::string ini = dir.filePath("termovel.ini").toStdString();
        TFakeDialogs dialogs;
        int loops = 0;
        const auto check = [&](TMainForm& form) {
            ++loops;
            QCOMPARE(readFile(ini), kDefaultFile);
            QVERIFY(form.isVisible());
            QCOMPARE(form.windowTitle(), QString("Termovel v1.00"));
        };
        QCOMPARE(runStartup(environment(dir, dialogs,
                                        [&](TMainForm& form) {
                                            check(form);
                                            return 0;
                                        })),
                 0);
        QCOMPARE(loops, 1);
        QVERIFY(dialogs.shown.empty());
        QCOMPARE(helpFile(), dir.filePath("termovel.chm").toStdString());
        // The windows' class: the same in every release, no version, no space.
        QCOMPARE(QApplication::applicationName(), QString("termovel"));
    }

    // An installed program keeps its help file in the shared data folder, not in the user's
    // program folder; a help file of the program folder's own still comes first.
    void helpFileIsTakenFromTheDataFolderWhenTheProgramFolderHasNone() {
        QTemporaryDir dir, data;
        std::ofstream(data.filePath("termovel.chm").toStdString()) << "help";
        writeFile(dir.filePath("termovel.ini").toStdString(),
                  "[Main]\r\nShowLogo=0\r\nShowTip=0\r\n[List]\r\nCount=0\r\n[History]\r\n"
                  "Count=0\r\n");  // no splash wait, no tip
        TFakeDialogs dialogs;
        TStartupEnvironment env = environment(dir, dialogs, [](TMainForm&) { return 0; });
        env.dataFolders = {data.path().toStdString()};
        QCOMPARE(runStartup(env), 0);
        QCOMPARE(helpFile(), data.filePath("termovel.chm").toStdString());

        std::ofstream(dir.filePath("termovel.chm").toStdString()) << "own help";
        env.lockPath += ".again";  // the first run keeps its lock to the end of the process
        QCOMPARE(runStartup(env), 0);
        QCOMPARE(helpFile(), dir.filePath("termovel.chm").toStdString());
    }

    void defaultsShowTheSplashThenTheTipBeforeTheMainWindow() {
        QTemporaryDir dir;
        TFakeDialogs dialogs;
        QElapsedTimer clock;
        QStringList events;
        QStringList opened;
        // While the splash waits, input is handled: this timer fires inside the wait, and a
        // click on the splash's link reaches it.
        QTimer::singleShot(300, [&] {
            TLogoForm* splash = nullptr;
            bool main = false;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* logo = qobject_cast<TLogoForm*>(w); logo && logo->isVisible())
                    splash = logo;
                main = main || qobject_cast<TMainForm*>(w);
            }
            events << QString("during the wait: splash %1, main window %2")
                          .arg(splash != nullptr)
                          .arg(main);
            if (splash)
                QTest::mouseClick(splash->lbURL, Qt::LeftButton);
        });
        dialogs.onModal = [&](QDialog& dialog) {
            bool splash = false;
            bool mainShown = false;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                splash = splash || qobject_cast<TLogoForm*>(w);
                if (auto* form = qobject_cast<TMainForm*>(w))
                    mainShown = form->isVisible();
            }
            events << QString("tip %1 after %2 ms: splash %3, main window shown %4")
                          .arg(qobject_cast<TTipForm*>(&dialog) != nullptr)
                          .arg(clock.elapsed() >= 2000 ? ">= 2000" : "< 2000")
                          .arg(splash)
                          .arg(mainShown);
            return int(QDialog::Accepted);
        };
        TStartupEnvironment env = environment(dir, dialogs, [&](TMainForm& form) {
            events << QString("loop: main window shown %1").arg(form.isVisible());
            return 0;
        });
        env.openLink = [&](const QString& address) {
            opened << address;
            return true;
        };
        clock.start();
        QCOMPARE(runStartup(env), 0);
        QCOMPARE(opened, QStringList{QString::fromUtf8(kMakerSite)});
        QCOMPARE(events, QStringList({"during the wait: splash 1, main window 0",
                                      "tip 1 after >= 2000 ms: splash 0, main window shown 0",
                                      "loop: main window shown 1"}));
    }

    // Only exactly "1" switches the splash or the tip on.
    void splashAndTipFollowTheirSettingsExactly_data() {
        QTest::addColumn<QString>("main");  // the Main section's lines
        QTest::addColumn<bool>("splash");
        QTest::addColumn<bool>("tip");
        QTest::newRow("both 1") << "ShowLogo=1\nShowTip=1" << true << true;
        QTest::newRow("both 0") << "ShowLogo=0\nShowTip=0" << false << false;
        QTest::newRow("splash only") << "ShowLogo=1\nShowTip=0" << true << false;
        QTest::newRow("tip only") << "ShowLogo=0\nShowTip=1" << false << true;
        QTest::newRow("empty values") << "ShowLogo=\nShowTip=" << false << false;
        QTest::newRow("other texts") << "ShowLogo=yes\nShowTip=11" << false << false;
        QTest::newRow("keys missing") << "EditMode=0" << false << false;
        QTest::newRow("letter case of names ignored") << "showlogo=1\nSHOWTIP=1" << true << true;
    }
    void splashAndTipFollowTheirSettingsExactly() {
        QFETCH(QString, main);
        QFETCH(bool, splash);
        QFETCH(bool, tip);
        QTemporaryDir dir;
        writeFile(dir.filePath("termovel.ini").toStdString(),
                  "[MAIN]\n" + main.toStdString() + "\n[List]\nCount=0\n[History]\nCount=0\n");
        TFakeDialogs dialogs;
        bool splashSeen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                splashSeen = splashSeen || (qobject_cast<TLogoForm*>(w) && w->isVisible());
        });
        poll.start(50);
        int tips = 0;
        dialogs.onModal = [&](QDialog& dialog) {
            tips += qobject_cast<TTipForm*>(&dialog) != nullptr;
            return int(QDialog::Rejected);
        };
        QCOMPARE(runStartup(environment(dir, dialogs, [](TMainForm&) { return 0; })), 0);
        QCOMPARE(splashSeen, splash);
        QCOMPARE(tips, tip ? 1 : 0);
    }

    void existingFileIsLoadedAndWrittenBackAfterTheLoop() {
        QTemporaryDir dir;
        const std::string ini = dir.filePath("termovel.ini").toStdString();
        writeFile(ini, kOwnFile);
        TFakeDialogs dialogs;
        const auto check = [&](TMainForm& form) {
            QCOMPARE(readFile(ini), kOwnFile);
            QCOMPARE(form.regSetup().ReadValue("Main", "ShowLogo"), std::string("0"));
            QCOMPARE(form.regSetup().ReadValue("Main", "Program"), std::string());
        };
        QCOMPARE(runStartup(environment(dir, dialogs,
                                        [&](TMainForm& form) {
                                            check(form);
                                            form.regSetup().WriteValue("main", "editmode", "0");
                                            return 0;
                                        })),
                 0);
        QVERIFY(dialogs.shown.empty());
        QCOMPARE(readFile(ini), std::string("[MAIN]\r\nshowlogo=0\r\nEditMode=0\r\n[List]\r\n"
                                            "Count=0\r\n[History]\r\nCount=0\r\n"));
    }

    void secondCopyOnlyWarns() {
        QTemporaryDir dir;
        const std::string ini = dir.filePath("termovel.ini").toStdString();
        writeFile(ini, kOwnFile);
        QVERIFY(instance_lock::acquire(dir.filePath("TermovelMutex").toStdString()));
        TFakeDialogs dialogs;
        bool looped = false;
        QCOMPARE(runStartup(environment(dir, dialogs,
                                        [&](TMainForm&) {
                                            looped = true;
                                            return 0;
                                        })),
                 0);
        QVERIFY(!looped);
        QCOMPARE(dialogs.texts("warning"), QStringList({"Приложение уже запущено!"}));
        QCOMPARE(dialogs.shown.size(), size_t(1));
        QCOMPARE(readFile(ini), kOwnFile);
    }

    void unwritableSettingsShowTheErrorAndNoWindow_data() {
        QTest::addColumn<bool>("readOnlyFolder");
        QTest::newRow("missing folder") << false;
        QTest::newRow("read-only folder") << true;
    }
    void unwritableSettingsShowTheErrorAndNoWindow() {
        QFETCH(bool, readOnlyFolder);
        if (readOnlyFolder && ::geteuid() == 0)
            QSKIP("the superuser writes into read-only folders");
        QTemporaryDir dir;
        QString folder = dir.filePath("gone");
        if (readOnlyFolder) {
            folder = dir.filePath("ro");
            QVERIFY(QDir(dir.path()).mkdir("ro"));
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        }
        TFakeDialogs dialogs;
        TStartupEnvironment env = environment(dir, dialogs, [&](TMainForm&) {
            qFatal("the message loop ran");
            return 0;
        });
        env.programFolder = folder.toStdString();
        QCOMPARE(runStartup(env), 0);
        QCOMPARE(dialogs.texts("error"),
                 QStringList({"Unable to write to " + folder + "/termovel.ini"}));
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<TMainForm*>(w));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // A signal ends the program as a normal end does, the search history saved with the
    // settings; a settings file that cannot be written then is told on the standard error
    // stream, since a box would keep the process alive with nobody to answer it.
    void signalEndsAsANormalEnd_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("writable");
        QTest::newRow("SIGTERM") << SIGTERM << true;
        QTest::newRow("SIGHUP") << SIGHUP << true;
        QTest::newRow("SIGTERM, settings unwritable") << SIGTERM << false;
    }
    void signalEndsAsANormalEnd() {
        QFETCH(int, signal);
        QFETCH(bool, writable);
        QTemporaryDir dir;
        const std::string ini = dir.filePath("termovel.ini").toStdString();
        writeFile(ini, kOwnFile);
        TFakeDialogs dialogs;
        QCOMPARE(runStartup(environment(dir, dialogs,
                                        [&](TMainForm& form) {
                                            form.AddHistory("кот");
                                            // A folder in the file's place: the rename fails.
                                            if (!writable) {
                                                QFile::remove(dir.filePath("termovel.ini"));
                                                QDir(dir.path()).mkpath("termovel.ini/x");
                                            }
                                            ::raise(signal);
                                            return QApplication::exec();
                                        })),
                 0);
        QVERIFY(dialogs.shown.empty());
        QCOMPARE(QFileInfo(dir.filePath("termovel.ini")).isDir(), !writable);
        if (writable)
            QVERIFY(readFile(ini).find("[History]\r\nN1=\xEA\xEE\xF2\r\nCount=1") !=
                    std::string::npos);
    }

    void errorDuringTheSequenceSkipsTheRest() {
        QTemporaryDir dir;
        const std::string ini = dir.filePath("termovel.ini").toStdString();
        writeFile(ini, kOwnFile);
        TFakeDialogs dialogs;
        QCOMPARE(runStartup(environment(dir, dialogs,
                                        [&](TMainForm& form) -> int {
                                            form.regSetup().WriteValue("Main", "EditMode", "0");
                                            throw TError("Cannot open file x.dic");
                                        })),
                 0);
        QCOMPARE(dialogs.texts("error"), QStringList({"Cannot open file x.dic"}));
        QCOMPARE(readFile(ini), kOwnFile);  // no SaveIni after the failed step
    }

    void handlerErrorsAreShownAndTheLoopGoesOn() {
        TFakeDialogs dialogs;
        app().setDialogs(&dialogs);
        TThrowingObject broken([] { throw TError("\xCE\xF8\xE8\xE1\xEA\xE0 1"); });
        TThrowingObject other([] { throw std::runtime_error("plain failure"); });
        QCoreApplication::postEvent(&broken, new QEvent(QEvent::User));
        QCoreApplication::postEvent(&other, new QEvent(QEvent::User));
        QCoreApplication::postEvent(&broken, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        app().setDialogs(nullptr);
        QCOMPARE(broken.handled, 2);
        QCOMPARE(other.handled, 1);
        QCOMPARE(dialogs.texts("error"), QStringList({"Ошибка 1", "plain failure", "Ошибка 1"}));
    }

    void errorTextReadsBothEncodings_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ASCII") << QByteArray("Stream read error") << "Stream read error";
        QTest::newRow("Windows-1251")
            << QByteArray("\xD1\xEB\xEE\xE2\xE0\xF0\xFC \xEF\xF3\xF1\xF2") << "Словарь пуст";
        QTest::newRow("UTF-8 path") << QByteArray("Unable to write to /home/\xD0\xB8/termovel.ini")
                                    << "Unable to write to /home/и/termovel.ini";
    }
    void errorTextReadsBothEncodings() {
        QFETCH(QByteArray, message);
        QFETCH(QString, shown);
        QCOMPARE(errorText(TError(message.toStdString())), shown);
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TestStartup test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
