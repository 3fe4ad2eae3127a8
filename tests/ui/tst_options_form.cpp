// The settings dialog on its own: filling from the store (damaged lists included), the scan,
// and what OK and Cancel leave in the store.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QStyleOptionGroupBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "settings/dictionary_list.h"
#include "settings/reg_setup.h"
#include "support/fake_dialogs.h"
#include "support/main_form_rig.h"
#include "ui/dialogs/options_form.h"
#include "ui/dialogs/source_folders_form.h"
#include "ui/main_form/main_form.h"
#include "ui/text.h"

namespace {

// Items as the user sees them: "+name" when checked, "-name" when not.
QStringList items(const TOptionsForm& form) {
    QStringList out;
    for (int i = 0; i < form.CheckListBox->count(); ++i) {
        const QListWidgetItem* item = form.CheckListBox->item(i);
        out << (item->checkState() == Qt::Checked ? "+" : "-") + item->text();
    }
    return out;
}

// A section of the list read back as the entries N1..NCount, then "Count=" + Count.
QStringList storedList(const TRegSetup& setup, const std::string& section = "List") {
    QStringList out;
    const std::string count = setup.ReadValue(section, "Count");
    for (int i = 1; i <= (count.empty() ? 0 : StrToInt(count)); ++i)
        out << fromCp1251(setup.ReadValue(section, "N" + std::to_string(i)));
    out << "Count=" + QString::fromStdString(count);
    return out;
}

void touch(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

}  // namespace

class TestOptionsForm : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<TRegSetup> setup_;
    TFakeDialogs dialogs_;

    std::string folder() const { return dir_->path().toStdString(); }

    // A dialog over the store, built as the settings command builds it; sources are the
    // folders searched for dictionaries found elsewhere.
    std::unique_ptr<TOptionsForm> open(std::vector<std::string> sources = {}) {
        return std::make_unique<TOptionsForm>(
            *setup_, program_folder::TFolders(folder(), {}, std::move(sources)), dialogs_);
    }

    // Opens the folders window from the dialog and carries out steps in it: "add NAME" (the
    // folder dialog answered with NAME under the temporary folder, or cancelled for "add"
    // alone), "remove N" (row N selected, then "Удалить"), and last "ok" or "cancel".
    void inFoldersWindow(TOptionsForm& form, const QStringList& steps) {
        dialogs_.onModal = [&](QDialog& dialog) {
            auto* window = qobject_cast<TSourceFoldersForm*>(&dialog);
            if (!window)
                return int(QDialog::Rejected);
            for (const QString& step : steps) {
                const QString argument = step.section(' ', 1);
                if (step.startsWith("add")) {
                    dialogs_.onFileDialog = [&](QFileDialog& files) {
                        if (argument.isEmpty())
                            return false;
                        files.selectFile(argument.startsWith('/') ? argument
                                                                  : dir_->filePath(argument));
                        return true;
                    };
                    QTest::mouseClick(window->btnAdd, Qt::LeftButton);
                } else if (step.startsWith("remove")) {
                    window->lbFolders->setCurrentRow(argument.toInt());
                    QTest::mouseClick(window->btnRemove, Qt::LeftButton);
                }
            }
            return int(steps.last() == "ok" ? QDialog::Accepted : QDialog::Rejected);
        };
        form.show();
        QTest::mouseClick(form.btnFolders, Qt::LeftButton);
        dialogs_.onModal = nullptr;
        dialogs_.onFileDialog = nullptr;
    }

    // The Folders section as paths under the temporary folder; "none" without the section.
    QStringList storedFolders() const {
        if (setup_->KeyNames("Folders").empty())
            return {"none"};
        QStringList out;
        for (const std::string& path : dictionary_list::folders(*setup_))
            out << QString::fromStdString(path).remove(dir_->path() + "/");
        return out;
    }

    // The Sources section as storedList reads it, the temporary folder written "@".
    QStringList storedSources() const {
        return storedList(*setup_, "Sources").replaceInStrings(dir_->path(), "@");
    }

    void layFiles(const QStringList& names) {
        for (const QString& name : names) {
            if (name.endsWith('/')) {
                QVERIFY(QDir(dir_->path()).mkpath(name.chopped(1)));
            } else {
                QVERIFY(QDir(dir_->path()).mkpath(QFileInfo(name).path()));
                touch(dir_->filePath(name));
            }
        }
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        setup_ = std::make_unique<TRegSetup>(dir_->filePath("termovel.ini").toStdString());
        dialogs_.clear();
    }

    // The group's caption keeps clear of the dialog's edges and of the scan button's frame, and
    // every control of the group lies inside it.
    void captionAndControlsKeepClearOfEdges() {
        auto form = open();
        form->show();
        auto* group = form->findChild<QGroupBox*>(QStringLiteral("GroupBox1"));
        QVERIFY(group);
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.textAlignment = group->alignment();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect caption =
            group->style()
                ->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group)
                .translated(group->pos());
        const QRect button = form->btnScan->geometry().translated(
            form->btnScan->parentWidget()->mapTo(form.get(), QPoint()));
        QVERIFY2(caption.left() > 0, "the caption touches the dialog's left edge");
        QVERIFY2(caption.top() > button.bottom() + 1, "the caption touches the scan button");
        QVERIFY(form->rect().contains(group->geometry()));
        // The folders button stands beside the scan, whole, not in the tool bar's overflow.
        QVERIFY(form->btnFolders->isVisible());
        QVERIFY(form->btnFolders->geometry().right() < form->ToolBar1->width());
        QVERIFY(form->btnFolders->geometry().left() > form->btnScan->geometry().right());
        for (const QWidget* control : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY2(group->rect().contains(control->geometry()),
                     qPrintable(control->objectName()));
    }

    void firstUseShowsAnEmptyListAndTheStoredSwitches() {
        auto form = open();
        QCOMPARE(items(*form), QStringList());
        QVERIFY(!form->chkEditMode->isChecked());
        QVERIFY(form->chkLogo->isChecked());
        QVERIFY(form->chkTip->isChecked());
        QVERIFY(dialogs_.shown.empty());
    }

    // What the dialog shows for a List section as the file may hold it.
    void fillsFromTheListSection_data() {
        QTest::addColumn<QString>("count");
        QTest::addColumn<QStringList>("entries");  // key=value
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("errors");
        QTest::newRow("two entries") << "2" << QStringList{"N1=+a.dic", "N2=-b.dic"}
                                     << QStringList{"+a.dic", "-b.dic"} << QStringList{};
        QTest::newRow("plus alone is an empty checked item")
            << "1" << QStringList{"N1=+"} << QStringList{"+"} << QStringList{};
        QTest::newRow("another first character is unchecked")
            << "1" << QStringList{"N1=*a.dic"} << QStringList{"-a.dic"} << QStringList{};
        QTest::newRow("Cyrillic name") << "1" << QStringList{"N1=+словарь.dic"}
                                       << QStringList{"+словарь.dic"} << QStringList{};
        QTest::newRow("missing entry gives no item")
            << "3" << QStringList{"N1=+a.dic", "N3=+c.dic"} << QStringList{"+a.dic", "+c.dic"}
            << QStringList{};
        QTest::newRow("a gap of two thousand million gives no items")
            << "2000000000" << QStringList{"N1=+a.dic", "N1999999999=-z.dic"}
            << QStringList{"+a.dic", "-z.dic"} << QStringList{};
        QTest::newRow("empty entry is an empty unchecked item")
            << "2" << QStringList{"N1=", "N2=+b.dic"} << QStringList{"-", "+b.dic"}
            << QStringList{};
        QTest::newRow("Count beyond the entries lists up to the last present")
            << "1000000" << QStringList{"N1=+a.dic", "N2=-b.dic"} << QStringList{"+a.dic", "-b.dic"}
            << QStringList{};
        QTest::newRow("entries beyond Count are not read")
            << "1" << QStringList{"N1=+a.dic", "N2=+b.dic"} << QStringList{"+a.dic"}
            << QStringList{};
        QTest::newRow("key letter case is ignored")
            << "1" << QStringList{"n1=+a.dic"} << QStringList{"+a.dic"} << QStringList{};
        QTest::newRow("key with a leading zero is not an entry")
            << "2" << QStringList{"N1=+a.dic", "N02=+b.dic"} << QStringList{"+a.dic"}
            << QStringList{};
        QTest::newRow("negative Count")
            << "-3" << QStringList{"N1=+a.dic"} << QStringList{} << QStringList{};
        QTest::newRow("Count not an integer") << "2x" << QStringList{"N1=+a.dic"} << QStringList{}
                                              << QStringList{"'2x' is not a valid integer value"};
        QTest::newRow("Count empty") << "" << QStringList{"N1=+a.dic"} << QStringList{}
                                     << QStringList{"'' is not a valid integer value"};
    }
    void fillsFromTheListSection() {
        QFETCH(QString, count);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, errors);
        setup_->ClearSection("List");
        setup_->WriteValue("List", "Count", count.toStdString());
        for (const QString& entry : entries) {
            const std::string value = *toCp1251(entry.section('=', 1));
            setup_->WriteValue("List", entry.section('=', 0, 0).toStdString(), value);
        }
        auto form = open();
        QCOMPARE(items(*form), shown);
        QCOMPARE(dialogs_.texts("error"), errors);
    }

    void scanListsTheFolderInNameOrderAndWritesAtOnce() {
        layFiles({"gamma.dic", "Beta.DIC", "alpha.dic", "folder.dic/", "notes.txt", ".hidden.dic",
                  "словарь.dic"});
        setup_->WriteValue("List", "Count", "2");
        setup_->WriteValue("List", "N1", "-old.dic");
        setup_->WriteValue("List", "N2", "+older.dic");
        auto form = open();
        QTest::mouseClick(form->btnScan, Qt::LeftButton);
        const QStringList expected{"+.hidden.dic", "+alpha.dic", "+Beta.DIC", "+gamma.dic",
                                   "+словарь.dic"};
        QCOMPARE(items(*form), expected);
        QCOMPARE(storedList(*setup_), expected + QStringList{"Count=5"});
        QCOMPARE(setup_->KeyNames("List").size(), size_t(6));  // N1..N5 and Count
        QVERIFY(dialogs_.shown.empty());
    }

    void scanOfAFolderWithoutDictionariesGivesCountZero() {
        layFiles({"notes.txt"});
        setup_->WriteValue("List", "Count", "1");
        setup_->WriteValue("List", "N1", "+gone.dic");
        auto form = open();
        form->ScanDictionaries();
        QCOMPARE(items(*form), QStringList());
        QCOMPARE(storedList(*setup_), QStringList{"Count=0"});
        QCOMPARE(setup_->KeyNames("List"), std::vector<std::string>{"Count"});
    }

    void scanLeavesOutNamesWindows1251CannotHoldAndNamesThem() {
        layFiles({"a.dic", "日本語.dic", "b.dic", "ελληνικά.dic"});
        auto form = open();
        form->ScanDictionaries();
        QCOMPARE(items(*form), QStringList({"+a.dic", "+b.dic"}));
        QCOMPARE(storedList(*setup_), QStringList({"+a.dic", "+b.dic", "Count=2"}));
        const QStringList infos = dialogs_.texts("information");
        QCOMPARE(infos.size(), 1);
        QVERIFY(infos[0].contains("Windows-1251"));
        QVERIFY(infos[0].endsWith("\nελληνικά.dic\n日本語.dic"));
    }

    void scanThenOkStoresTheChecks() {
        layFiles({"a.dic", "b.dic", "c.dic", "d.dic"});
        auto form = open();
        form->ScanDictionaries();
        form->CheckListBox->item(1)->setCheckState(Qt::Unchecked);
        form->CheckListBox->item(3)->setCheckState(Qt::Unchecked);
        form->show();
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        QCOMPARE(form->result(), int(QDialog::Accepted));
        QCOMPARE(storedList(*setup_),
                 QStringList({"+a.dic", "-b.dic", "+c.dic", "-d.dic", "Count=4"}));
    }

    void scanThenCancelKeepsTheScanButNotTheSwitches_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Отмена") << "button";
        QTest::newRow("Esc") << "escape";
        QTest::newRow("close box") << "close";
    }
    void scanThenCancelKeepsTheScanButNotTheSwitches() {
        QFETCH(QString, how);
        layFiles({"a.dic", "b.dic"});
        auto form = open();
        form->show();
        form->ScanDictionaries();
        form->CheckListBox->item(0)->setCheckState(Qt::Unchecked);
        form->chkEditMode->setChecked(true);
        form->chkLogo->setChecked(false);
        if (how == "button")
            QTest::mouseClick(form->Button2, Qt::LeftButton);
        else if (how == "escape")
            QTest::keyClick(form.get(), Qt::Key_Escape);
        else
            form->close();
        QCOMPARE(form->result(), int(QDialog::Rejected));
        QCOMPARE(storedList(*setup_), QStringList({"+a.dic", "+b.dic", "Count=2"}));
        QCOMPARE(setup_->ReadValue("Main", "EditMode"), std::string("0"));
        QCOMPARE(setup_->ReadValue("Main", "ShowLogo"), std::string("1"));
    }

    void okStoresTheSwitches_data() {
        QTest::addColumn<bool>("editMode");
        QTest::addColumn<bool>("logo");
        QTest::addColumn<bool>("tip");
        QTest::newRow("all on") << true << true << true;
        QTest::newRow("all off") << false << false << false;
        QTest::newRow("edit mode only") << true << false << false;
        QTest::newRow("tip only") << false << false << true;
    }
    void okStoresTheSwitches() {
        QFETCH(bool, editMode);
        QFETCH(bool, logo);
        QFETCH(bool, tip);
        setup_->WriteValue("Main", "ShowTip", "yes");  // not "1": the box starts unchecked
        auto form = open();
        QVERIFY(!form->chkTip->isChecked());
        form->chkEditMode->setChecked(editMode);
        form->chkLogo->setChecked(logo);
        form->chkTip->setChecked(tip);
        form->show();
        QTest::keyClick(form.get(), Qt::Key_Return);  // Ok is the default button
        QCOMPARE(form->result(), int(QDialog::Accepted));
        QCOMPARE(setup_->ReadValue("Main", "EditMode"), std::string(editMode ? "1" : "0"));
        QCOMPARE(setup_->ReadValue("Main", "ShowLogo"), std::string(logo ? "1" : "0"));
        QCOMPARE(setup_->ReadValue("Main", "ShowTip"), std::string(tip ? "1" : "0"));
    }

    void okWithoutChangesKeepsTheEntriesByteForByte() {
        setup_->WriteValue("List", "Count", "2");
        setup_->WriteValue("List", "N1", "+\x98odd.dic");  // the one unassigned byte
        setup_->WriteValue("List", "N2", "-\xF1\xEB\xEE\xE2\xE0\xF0\xFC.dic");
        auto form = open();
        form->accept();
        QCOMPARE(setup_->ReadValue("List", "N1"), std::string("+\x98odd.dic"));
        QCOMPARE(setup_->ReadValue("List", "N2"), std::string("-\xF1\xEB\xEE\xE2\xE0\xF0\xFC.dic"));
        QCOMPARE(setup_->ReadValue("List", "Count"), std::string("2"));
    }

    void okAfterADamagedCountStoresTheListShown_data() {
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("stored");
        QTest::newRow("not an integer") << "many"
                                        << "Count=0";
        QTest::newRow("beyond the entries") << "40"
                                            << "+a.dic,+b.dic,Count=2";
    }
    void okAfterADamagedCountStoresTheListShown() {
        QFETCH(QString, count);
        QFETCH(QString, stored);
        setup_->WriteValue("List", "Count", count.toStdString());
        setup_->WriteValue("List", "N1", "+a.dic");
        setup_->WriteValue("List", "N2", "+b.dic");
        auto form = open();
        form->accept();
        QCOMPARE(storedList(*setup_), stored.split(','));
    }

    // The scan offers, after the program folder's own, what the source folders and the added
    // folders hold, shown as the file's name and its folder, and stores them by full path in
    // Sources while List keeps bare names only.
    void scanOffersDictionariesFoundElsewhere() {
        layFiles({"a.dic", "src/dictd/gcide.index", "src/dictd/gcide.dict.dz",
                  "src/dictd/nodata.index", "src/stardict/xml/XMLittre.ifo", "src/en.dsl",
                  "src/en_abrv.dsl", "added/own/m.dic", "added/jiří/j.dic"});
        setup_->WriteValue("Folders", "Count", "1");
        setup_->WriteValue("Folders", "N1", (dir_->path() + "/added").toStdString());
        auto form = open({dir_->filePath("src").toStdString()});
        form->ScanDictionaries();
        const QString at = dir_->path();
        QCOMPARE(items(*form), QStringList({"+a.dic", "+gcide.index (" + at + "/src/dictd)",
                                            "+en.dsl (" + at + "/src)",
                                            "+XMLittre.ifo (" + at + "/src/stardict/xml)",
                                            "+m.dic (" + at + "/added/own)"}));
        QCOMPARE(storedList(*setup_), QStringList({"+a.dic", "Count=1"}));
        QCOMPARE(storedSources(), QStringList({"+@/src/dictd/gcide.index", "+@/src/en.dsl",
                                               "+@/src/stardict/xml/XMLittre.ifo",
                                               "+@/added/own/m.dic", "Count=4"}));
        // The path Windows-1251 cannot hold is named, as an unfit file name is.
        QCOMPARE(dialogs_.texts("information").size(), 1);
        QVERIFY(dialogs_.texts("information")[0].endsWith("\n" + at + "/added/jiří/j.dic"));
    }

    // Sources shown from the store after the List's entries; OK writes each back to its own
    // section, and a file that never had Sources gets none.
    void okKeepsSourcesApartFromTheList_data() {
        QTest::addColumn<QStringList>("sources");  // Count, then the entries; empty: none
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("stored");  // after unchecking the last item and OK
        QTest::newRow("older file")
            << QStringList{} << QStringList{"+a.dic", "-b.dic"} << QStringList{"Count="};
        QTest::newRow("sources after the list")
            << QStringList{"2", "+/s/dictd/gcide.index", "-/x/Словари/r.dsl"}
            << QStringList{"+a.dic", "-b.dic", "+gcide.index (/s/dictd)", "-r.dsl (/x/Словари)"}
            << QStringList{"+/s/dictd/gcide.index", "-/x/Словари/r.dsl", "Count=2"};
        QTest::newRow("an entry without a path is dropped")
            << QStringList{"2", "+", "+/y.ifo"} << QStringList{"+a.dic", "-b.dic", "+y.ifo (/)"}
            << QStringList{"-/y.ifo", "Count=1"};
    }
    void okKeepsSourcesApartFromTheList() {
        QFETCH(QStringList, sources);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, stored);
        setup_->WriteValue("List", "Count", "2");
        setup_->WriteValue("List", "N1", "+a.dic");
        setup_->WriteValue("List", "N2", "-b.dic");
        if (!sources.isEmpty())
            setup_->WriteValue("Sources", "Count", sources[0].toStdString());
        for (int i = 1; i < sources.size(); ++i)
            setup_->WriteValue("Sources", "N" + std::to_string(i), *toCp1251(sources[i]));
        auto form = open();
        QCOMPARE(items(*form), shown);
        QListWidgetItem* last = form->CheckListBox->item(form->CheckListBox->count() - 1);
        if (sources.size() > 1)
            last->setCheckState(Qt::Unchecked);
        form->accept();
        QCOMPARE(storedList(*setup_), QStringList({"+a.dic", "-b.dic", "Count=2"}));
        QCOMPARE(storedSources(), stored);
        QCOMPARE(setup_->KeyNames("Sources").empty(), sources.isEmpty());
        QVERIFY(dialogs_.shown.empty());
    }

    // Folders added and removed in the folders window reach the store only through Ok there and
    // OK in the settings dialog.
    void foldersAreAddedAndRemoved_data() {
        QTest::addColumn<QStringList>("before");  // the Folders section's folders
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("ok");  // the settings dialog closes with OK
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<int>("warnings");
        QTest::newRow("two added") << QStringList{} << QStringList{"add one", "add two", "ok"}
                                   << true << QStringList{"one", "two"} << 0;
        QTest::newRow("one added, the first removed")
            << QStringList{"one"} << QStringList{"add two", "remove 0", "ok"} << true
            << QStringList{"two"} << 0;
        QTest::newRow("nothing to remove without a selection")
            << QStringList{"one"} << QStringList{"remove -1", "ok"} << true << QStringList{"one"}
            << 0;
        QTest::newRow("the same folder twice, once through a link")
            << QStringList{} << QStringList{"add one", "add link", "ok"} << true
            << QStringList{"one"} << 0;
        QTest::newRow("a file is no folder") << QStringList{} << QStringList{"add file.txt", "ok"}
                                             << true << QStringList{"none"} << 1;
        QTest::newRow("a path Windows-1251 cannot hold")
            << QStringList{} << QStringList{"add jiří", "add two", "ok"} << true
            << QStringList{"two"} << 1;
        QTest::newRow("the folder dialog cancelled")
            << QStringList{} << QStringList{"add", "ok"} << true << QStringList{"none"} << 0;
        QTest::newRow("the folders window cancelled")
            << QStringList{"one"} << QStringList{"remove 0", "add two", "cancel"} << true
            << QStringList{"one"} << 0;
        QTest::newRow("the settings dialog cancelled")
            << QStringList{} << QStringList{"add one", "ok"} << false << QStringList{"none"} << 0;
    }
    void foldersAreAddedAndRemoved() {
        QFETCH(QStringList, before);
        QFETCH(QStringList, steps);
        QFETCH(bool, ok);
        QFETCH(QStringList, stored);
        QFETCH(int, warnings);
        layFiles({"one/", "two/", "jiří/", "file.txt"});
        QVERIFY(QFile::link(dir_->filePath("one"), dir_->filePath("link")));
        if (!before.isEmpty()) {
            std::vector<std::string> paths;
            for (const QString& name : before)
                paths.push_back(dir_->filePath(name).toStdString());
            dictionary_list::writeFolders(*setup_, paths);
        }
        auto form = open();
        inFoldersWindow(*form, steps);
        if (ok)
            form->accept();
        else
            form->reject();
        QCOMPARE(storedFolders(), stored);
        QCOMPARE(dialogs_.texts("warning").size(), warnings);
    }

    // Damaged counts of the two sections are told; OK stores what the dialog shows.
    void damagedCountsAreToldAndPutRightOnOk() {
        setup_->WriteValue("Sources", "Count", "x");
        setup_->WriteValue("Sources", "N1", "+/a.ifo");
        setup_->WriteValue("Folders", "Count", "y");
        setup_->WriteValue("Folders", "N1", "/f");
        auto form = open();
        QCOMPARE(dialogs_.texts("error"), QStringList({"'x' is not a valid integer value",
                                                       "'y' is not a valid integer value"}));
        form->accept();
        QCOMPARE(storedSources(), QStringList{"Count=0"});
        QCOMPARE(storedFolders(), QStringList{});
    }

    // A folder just added is searched by the next scan, before the dialog is closed.
    void scanSearchesTheFoldersJustAdded() {
        layFiles({"col/sub/m.dic", "col/n.ifo"});
        auto form = open();
        inFoldersWindow(*form, {"add col", "ok"});
        form->ScanDictionaries();
        QCOMPARE(storedSources(), QStringList({"+@/col/n.ifo", "+@/col/sub/m.dic", "Count=2"}));
        form->reject();
        QCOMPARE(storedFolders(), QStringList{"none"});
    }

    void everyItemUncheckedOpensNoDictionaryAtTheNextStart() {
        layFiles({"a.dic", "b.dic"});
        auto form = open();
        form->ScanDictionaries();
        for (int i = 0; i < form->CheckListBox->count(); ++i)
            form->CheckListBox->item(i)->setCheckState(Qt::Unchecked);
        form->accept();
        QCOMPARE(storedList(*setup_), QStringList({"-a.dic", "-b.dic", "Count=2"}));
        // The files are not even dictionaries: a start that tried to open them would report it.
        // (A damaged file is found once its index is being made: the window is taken when no
        // tab is being prepared any more.)
        rig::useOwnCache();
        TMainForm next(*setup_, folder(), std::make_unique<TFakeDialogs>());
        QVERIFY(rig::waitUntilPrepared(next));
        QVERIFY(!next.currentDictionary());
        QCOMPARE(static_cast<TFakeDialogs&>(next.dialogs()).texts("error"), QStringList());
    }
};

QTEST_MAIN(TestOptionsForm)
#include "tst_options_form.moc"
