// Where the user's files are read and written: the shared data read in place beside the program
// folder, Save starting where the dictionary lives, and unsaved work kept when the program is
// ended from outside and offered back at the next start.
#include <QDialog>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>

#include "platform/atomic_file.h"
#include "platform/recovery_folder.h"
#include "settings/reg_setup.h"
#include "support/main_form_rig.h"
#include "ui/dialogs/options_form.h"
#include "ui/dialogs/word_form.h"

using TAnswer = TDialogs::TAnswer;

Q_DECLARE_METATYPE(TDialogs::TAnswer)

namespace {

// A program folder, a data folder beside it and a folder elsewhere, and main windows built over
// the first two, their file dialogs and adding windows answered from a script.
struct TPlaces {
    QTemporaryDir own, data, elsewhere;
    std::unique_ptr<TRegSetup> setup;
    std::unique_ptr<TMainForm> form;
    TFakeDialogs* fake = nullptr;
    QStringList offered;          // the full path each file dialog came up with
    std::deque<QString> choices;  // full paths the next file dialogs choose; none cancels
    QStringList list;             // the List section's entries; none: scan mode

    // (Re)builds the main window, as a new start of the program does.
    TMainForm& start(std::deque<TAnswer> answers = {}) {
        form.reset();
        setup = std::make_unique<TRegSetup>(own.filePath("termovel.ini").toStdString());
        if (!list.isEmpty())
            setup->WriteValue("List", "Count", std::to_string(list.size()));
        for (int i = 0; i < list.size(); ++i)
            setup->WriteValue("List", "N" + std::to_string(i + 1), rig::cp(list[i]));
        auto dialogs = std::make_unique<TFakeDialogs>();
        fake = dialogs.get();
        fake->confirmAnswers = std::move(answers);
        fake->onFileDialog = [this](QFileDialog& dialog) {
            offered << dialog.selectedFiles().value(0);
            if (choices.empty())
                return false;
            dialog.selectFile(choices.front());
            choices.pop_front();
            return true;
        };
        fake->onModal = [](QDialog& dialog) {
            static_cast<TWordForm&>(dialog).setTexts("added", "a new article");
            return int(QDialog::Accepted);
        };
        rig::useOwnCache();
        form = std::make_unique<TMainForm>(*setup, folders(), std::move(dialogs));
        rig::waitUntilPrepared(*form);
        return *form;
    }
    program_folder::TFolders folders() const {
        return {own.path().toStdString(), {data.path().toStdString()}};
    }
    QStringList tabs() const { return rig::tabs(*form); }
    std::string recoveryFolder() const { return recovery_folder::path(own.path().toStdString()); }
    int recoveryFiles() const { return int(recovery_folder::list(recoveryFolder()).size()); }
    QStringList terms(int tab) const { return rig::termsOf(TMainFormView(*form).dic(tab)); }
};

}  // namespace

class TestUserFiles : public QObject {
    Q_OBJECT

private slots:
    void startUpReadsTheDataFolderInPlaceBehindTheProgramFolder_data() {
        QTest::addColumn<QString>("list");  // List N1, N2 ("" for scan mode)
        QTest::addColumn<QStringList>("tabs");
        QTest::addRow("scan") << "" << QStringList{"chords.dic", "general.dic", "mine.dic"};
        QTest::addRow("list") << "+general.dic,+chords.dic"
                              << QStringList{"general.dic", "chords.dic"};
    }
    void startUpReadsTheDataFolderInPlaceBehindTheProgramFolder() {
        QFETCH(QString, list);
        QFETCH(QStringList, tabs);
        TPlaces places;
        rig::writeDic(places.data.filePath("general.dic"), {"", "", {{"bundled", ""}}});
        rig::writeDic(places.data.filePath("chords.dic"), {"", "", {{"C", ""}}});
        rig::writeDic(places.own.filePath("general.dic"), {"", "", {{"edited", ""}}});
        rig::writeDic(places.own.filePath("mine.dic"), {"", "", {{"mine", ""}}});
        if (!list.isEmpty())
            places.list = list.split(',');
        places.start();
        QCOMPARE(places.tabs(), tabs);
        const int general = int(tabs.indexOf("general.dic"));
        QCOMPARE(places.terms(general), QStringList{"edited"});
        QVERIFY(places.fake->shown.empty());

        // The settings dialog's scan lists the same union, each name once.
        TOptionsForm options(*places.setup, places.folders(), *places.fake);
        options.ScanDictionaries();
        QCOMPARE(places.setup->NumberedValues("List", 4),
                 (std::vector<std::string>{"+chords.dic", "+general.dic", "+mine.dic"}));
    }

    // The folder and name the save dialog comes up with, for each kind of dictionary.
    void saveStartsWhereTheDictionaryLives_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("expected");  // folder key ("own", "elsewhere") / name
        QTest::addRow("bundled, read from the data folder") << "bundled"
                                                            << "own/general.dic";
        QTest::addRow("new, no folder used yet") << "new"
                                                 << "own/noname.dic";
        QTest::addRow("new after a file chosen elsewhere") << "new after open"
                                                           << "elsewhere/noname.dic";
    }
    void saveStartsWhereTheDictionaryLives() {
        QFETCH(QString, kind);
        QFETCH(QString, expected);
        TPlaces places;
        rig::writeDic(places.data.filePath("general.dic"), {"", "", {{"bundled", ""}}});
        rig::writeDic(places.elsewhere.filePath("other.dic"), {"", "", {{"other", ""}}});
        TMainForm& form = places.start();
        if (kind == "new after open") {
            places.choices.push_back(places.elsewhere.filePath("other.dic"));
            form.actOpenExecute();
        }
        if (kind.startsWith("new"))
            form.actNewExecute();
        form.actAddExecute();
        places.offered.clear();
        form.actSaveExecute();  // cancelled
        const QString folder =
            expected.section('/', 0, 0) == "own" ? places.own.path() : places.elsewhere.path();
        QCOMPARE(places.offered, QStringList{folder + "/" + expected.section('/', 1)});
    }

    // Ended from outside with two dictionaries unsaved (one of a file, one new): each goes to a
    // recovery file and its own file is left alone; the next start asks about each in turn.
    void recoveryFilesAreOfferedBackAtTheNextStart_data() {
        QTest::addColumn<TAnswer>("first");
        QTest::addColumn<TAnswer>("second");
        QTest::addColumn<QStringList>("tabs");  // after the two answers
        QTest::addColumn<int>("left");          // recovery files left
        QTest::addRow("both restored")
            << TAnswer::Yes << TAnswer::Yes << QStringList{"own.dic", "noname.dic"} << 0;
        QTest::addRow("first discarded")
            << TAnswer::No << TAnswer::Yes << QStringList{"noname.dic"} << 0;
        QTest::addRow("no answer keeps the file")
            << TAnswer::Closed << TAnswer::No << QStringList{} << 1;
    }
    void recoveryFilesAreOfferedBackAtTheNextStart() {
        QFETCH(TAnswer, first);
        QFETCH(TAnswer, second);
        QFETCH(QStringList, tabs);
        QFETCH(int, left);
        TPlaces places;
        const QString own = places.elsewhere.filePath("own.dic");
        rig::writeDic(own, {"", "", {{"kept", ""}}});
        TMainForm& form = places.start();
        form.OpenDic(own.toStdString());
        form.actAddExecute();
        form.actNewExecute();
        form.actAddExecute();
        form.actNewExecute();  // unchanged: nothing to keep
        QCOMPARE(form.writeRecovery(), 0);
        QCOMPARE(places.recoveryFiles(), 2);

        places.start({first, second});
        places.form->offerRecovery();
        // Questions that Esc does not answer: only No throws the changes away.
        QCOMPARE(places.fake->texts("question").size(), 2);
        QVERIFY(places.fake->texts("question")[0].contains("own.dic"));
        QCOMPARE(places.tabs(), tabs);
        for (int i = 0; i < tabs.size(); ++i) {
            const TDictionary& restored = TMainFormView(*places.form).dic(i);
            QVERIFY(restored.Modified());
            QCOMPARE(rig::termsOf(restored).contains("added"), true);
            QCOMPARE(QString::fromStdString(restored.fileName()),
                     tabs[i] == "own.dic" ? own : QString());
        }
        QCOMPARE(places.recoveryFiles(), left);
    }

    // A save writing a file of two names in place, cut short (here: the process ends before
    // the writer can finish or clean up), leaves the old content in the recovery folder; the next
    // start offers it under the file's own name. A recovery folder that is a link is not read.
    void anInPlaceSaveCutShortIsOfferedAtTheNextStart_data() {
        QTest::addColumn<bool>("linkedFolder");
        QTest::addRow("own recovery folder") << false;
        QTest::addRow("recovery folder is a link") << true;
    }
    void anInPlaceSaveCutShortIsOfferedAtTheNextStart() {
        QFETCH(bool, linkedFolder);
        TPlaces places;
        const QString file = places.elsewhere.filePath("shared.dic");
        rig::writeDic(file, {"", "", {{"old", ""}}});
        const QString secondName = places.elsewhere.filePath("second-name.dic");
        QCOMPARE(::link(qPrintable(file), qPrintable(secondName)), 0);
        places.start().offerRecovery();
        const pid_t child = ::fork();
        if (child == 0) {
            TAtomicFileWriter out(
                file.toStdString(), std::nullopt,
                {TAtomicFileWriter::TFlush::ToDisk, TAtomicFileWriter::TAccess::AsCreated,
                 recovery_folder::forSaves()});
            out.write("torn", 4);
            ::_exit(0);
        }
        ::waitpid(child, nullptr, 0);
        const std::string folder = places.recoveryFolder();
        if (linkedFolder) {
            std::filesystem::rename(folder, places.elsewhere.filePath("moved").toStdString());
            std::filesystem::create_symlink(places.elsewhere.filePath("moved").toStdString(),
                                            folder);
        }
        places.start({TAnswer::Yes});
        places.form->offerRecovery();
        QCOMPARE(places.fake->texts("question").size(), linkedFolder ? 0 : 1);
        if (linkedFolder)
            return;
        QVERIFY(places.fake->texts("question")[0].contains("shared.dic"));
        QCOMPARE(places.tabs(), QStringList{"shared.dic"});
        places.choices.push_back(file);  // the save dialog comes up with it; accepted
        places.form->actSaveExecute();
        QCOMPARE(places.offered, QStringList{file});
        TDictionary back;
        back.LoadFromFile(secondName.toStdString());
        QCOMPARE(rig::termsOf(back), QStringList{"old"});
    }

    // A recovery file that cannot be read is reported by its name, not by the bare stream error,
    // and stays for another try.
    void damagedRecoveryFileIsNamedAndKept() {
        TPlaces places;
        TMainForm& form = places.start();
        form.actNewExecute();
        form.actAddExecute();
        QCOMPARE(form.writeRecovery(), 0);
        const std::string kept = recovery_folder::list(places.recoveryFolder()).at(0).path;
        std::filesystem::resize_file(kept, 3);
        places.start({TAnswer::Yes});
        places.form->offerRecovery();
        const QStringList errors = places.fake->texts("error");
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(QString::fromStdString(kept)), qPrintable(errors[0]));
        QCOMPARE(places.recoveryFiles(), 1);
    }

    // The desktop session ends: where it may ask, the exit questions come first and a No keeps
    // the session going; whatever stays unsaved is kept either way, and the close that ends the
    // program afterwards asks nothing more.
    void sessionEndAsksWhereAllowedAndKeepsUnsavedWork_data() {
        QTest::addColumn<bool>("mayInteract");
        QTest::addColumn<QList<TAnswer>>("answers");
        QTest::addColumn<bool>("ends");
        QTest::addColumn<int>("questions");
        QTest::addRow("no interaction") << false << QList<TAnswer>{} << true << 0;
        QTest::addRow("unsaved dictionary kept open")
            << true << QList<TAnswer>{TAnswer::No} << false << 1;
        QTest::addRow("exit declined")
            << true << QList<TAnswer>{TAnswer::Yes, TAnswer::No} << false << 2;
        QTest::addRow("both answered yes")
            << true << QList<TAnswer>{TAnswer::Yes, TAnswer::Yes} << true << 2;
    }
    void sessionEndAsksWhereAllowedAndKeepsUnsavedWork() {
        QFETCH(bool, mayInteract);
        QFETCH(QList<TAnswer>, answers);
        QFETCH(bool, ends);
        QFETCH(int, questions);
        TPlaces places;
        TMainForm& form = places.start({answers.begin(), answers.end()});
        form.actNewExecute();
        form.actAddExecute();
        QCOMPARE(form.commitSession(mayInteract), ends);
        QCOMPARE(int(places.fake->texts("confirm").size()), questions);
        QCOMPARE(places.recoveryFiles(), ends ? 1 : 0);
        if (ends && mayInteract) {
            form.show();
            QVERIFY(form.close());
            QCOMPARE(int(places.fake->texts("confirm").size()), questions);
        }
    }
};

QTEST_MAIN(TestUserFiles)
#include "tst_user_files.moc"
