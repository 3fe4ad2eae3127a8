// Dictionaries of another format read in place: their UTF-8 text as written in the word list,
// the translation window and the search box, beside a Windows-1251 tab; read-only in edit mode;
// Save writing a folded .dic copy; the history of their terms; Open and start-up taking real
// dictd, StarDict and DSL files.
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>
#include <tuple>

#include "platform/compare.h"
#include "source_support.h"
#include "support/main_form_rig.h"
#include "tab_source.h"
#include "ui/dialogs/article_search_form.h"
#include "ui/dialogs/info_form.h"
#include "ui/dialogs/word_form.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

const Entries kSource = {
    {"été", "summer"}, {"přítel", "Freund, přítel"}, {"привет", "greeting"}, {"Straße", "street"}};

// Tab 0: a Windows-1251 dictionary; tab 1 (current): the UTF-8 source, opened as Open does.
struct TBoth {
    TTabOpener opener;
    rig::TWindow w{{{"ru.dic", "Русский", {{"привет", "hello"}, {"cat", "кошка"}}}},
                   {{"Main", "EditMode", "1"}}};

    TBoth() {
        writeTabSource(w.path("fr.tab").toStdString(), kSource, "Littré «été»");
        w.form->OpenDic(w.path("fr.tab").toStdString());
    }
    TMainFormView view() const { return TMainFormView(*w.form); }
};

// Typed as the keyboard types it, one character a key, whatever its alphabet.
void type(QWidget* box, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(box, &press);
    }
}

// A one-entry dictionary («été», "summer") named "Littré" in a format of another program,
// written into folder as the format is published; returns the file Open names.
std::string writeSample(const QString& folder, const QString& format) {
    const std::string base = folder.toStdString() + "/";
    const auto put = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(base + name, std::ios::binary) << bytes;
        return base + name;
    };
    if (format == "StarDict") {
        // .idx: the word, a NUL, then the article's offset and size, 32-bit big-endian.
        const std::string idx = std::string("été\0\0\0\0\0\0\0\0\6", 14);
        put("xmlittre.idx", idx);
        put("xmlittre.dict", "summer");
        return put("xmlittre.ifo",
                   "StarDict's dict ifo file\nversion=2.4.2\nwordcount=1\n"
                   "idxfilesize=" +
                       std::to_string(idx.size()) + "\nbookname=Littré\nsametypesequence=m\n");
    }
    if (format == "dictd") {
        // .index: word TAB offset TAB length, the numbers in dictd's base-64 digits.
        put("gcide.dict", "00-database-short\n    Littré\nété\n    summer\n");
        return put("gcide.index", "00-database-short\tA\te\nété\te\tR\n");
    }
    return put("Littre.DSL", "#NAME \"Littré\"\n\nété\n\t[m1]summer[/m1]\n");
}

}  // namespace

class TestReadInPlace : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { compare::setLocale(""); }

    void textShownAsWritten();
    void typingFindsInEachTabsForm_data();
    void typingFindsInEachTabsForm();
    void handedOverWordFindsTermAsWritten();
    void searchInArticlesTakesUtf8();
    void suggestionsOfferTermsAsWritten();
    void changingCommandsOffAndRefusedOnReadOnlyTab();
    void informationReadOnly();
    void saveWritesFoldedCopyWithReport();
    void saveRefusesSourcesOwnFile();
    void historyKeepsWhatTheFileCanHold_data();
    void historyKeepsWhatTheFileCanHold();
    void openOffersOtherFormats_data();
    void openOffersOtherFormats();
    void sourceTabNamedAfterItsFiles_data();
    void sourceTabNamedAfterItsFiles();
    void openTellsWhatAPartOfASourceIs_data();
    void openTellsWhatAPartOfASourceIs();
};

void TestReadInPlace::textShownAsWritten() {
    TBoth both;
    QCOMPARE(both.view().CurDic(), 1);
    QVERIFY(both.w.rows().contains(QStringLiteral("été")));
    QVERIFY(both.w.rows().contains(QStringLiteral("přítel")));
    QCOMPARE(both.w.form->windowTitle().section(" - ", 1), QStringLiteral("Littré «été»"));
    both.w.clickRow(static_cast<int>(both.w.rows().indexOf(QStringLiteral("été"))));
    both.w.form->ShowTranslation();
    QCOMPARE(rig::windowTerms(*both.w.form), QStringList{QStringLiteral("été")});
    QCOMPARE(both.w.form->translationWindows().front()->articleText(), QStringLiteral("summer"));
    QCOMPARE(rig::history(*both.w.form).value(0), QStringLiteral("été"));
    // The open window is found again by its term, not opened twice.
    both.w.form->ShowTranslation();
    QCOMPARE(both.w.form->translationWindows().size(), size_t{1});
}

void TestReadInPlace::typingFindsInEachTabsForm_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("found");

    const std::tuple<const char*, int, const char*, const char*> rows[] = {
        {"háček in the UTF-8 tab", 1, "pře", "přítel"},
        {"accent in the UTF-8 tab", 1, "ét", "été"},
        {"capitals in the UTF-8 tab", 1, "STRA", "Straße"},
        {"Cyrillic in the UTF-8 tab", 1, "ПРИ", "привет"},
        {"Cyrillic in the Windows-1251 tab", 0, "при", "привет"},
    };
    for (const auto& [name, tab, typed, found] : rows)
        QTest::newRow(name) << tab << QString(typed) << QString(found);
}

void TestReadInPlace::typingFindsInEachTabsForm() {
    QFETCH(int, tab);
    QFETCH(QString, typed);
    QFETCH(QString, found);
    TBoth both;
    rig::clickTab(*both.w.form, tab);
    type(both.view().cmbString(), typed);
    QCOMPARE(both.view().cmbString()->currentText(), typed);
    QVERIFY(both.w.form->selectedRow() >= 0);
    QCOMPARE(both.w.rows().value(both.w.form->selectedRow()), found);
}

void TestReadInPlace::handedOverWordFindsTermAsWritten() {
    TBoth both;
    rig::clickTab(*both.w.form, 0);
    both.w.form->lookUpWord(QStringLiteral("«přítel»,"));
    QCOMPARE(both.view().CurDic(), 1);
    QCOMPARE(rig::windowTerms(*both.w.form), QStringList{QStringLiteral("přítel")});
    QVERIFY(both.w.fake->texts("information").isEmpty());
}

void TestReadInPlace::searchInArticlesTakesUtf8() {
    TBoth both;
    QStringList found;
    both.w.fake->onModal = [&](QDialog& dialog) {
        auto& search = dynamic_cast<TArticleSearchForm&>(dialog);
        search.setText(QStringLiteral("PŘÍ"));
        search.search();
        for (int i = 0; i < search.lbFound->model()->rowCount(); ++i)
            found << search.lbFound->model()->index(i, 0).data().toString();
        return int(QDialog::Rejected);
    };
    both.w.form->actSearchArticlesExecute();
    QCOMPARE(found, QStringList{QStringLiteral("přítel")});
    QVERIFY(both.w.fake->texts("information").isEmpty());
}

void TestReadInPlace::suggestionsOfferTermsAsWritten() {
    TBoth both;
    both.w.form->lookUpWord(QStringLiteral("pritel"));
    const auto* menu = both.w.form->findChild<QMenu*>(QStringLiteral("suggestions"));
    QVERIFY(menu);
    QStringList offered;
    for (const QAction* action : menu->actions()) {
        if (action->isEnabled())
            offered << action->text();
    }
    QVERIFY2(offered.contains(QStringLiteral("přítel")), qPrintable(offered.join(',')));
    menu->actions().at(1)->trigger();
    QCOMPARE(rig::windowTerms(*both.w.form), QStringList{QStringLiteral("přítel")});
}

// The changing commands are off on the read-only tab; one that comes some other way is refused
// with the read-only message, before any window opens.
void TestReadInPlace::changingCommandsOffAndRefusedOnReadOnlyTab() {
    TBoth both;
    both.w.clickRow(0);
    // Close, Info, Add, Save, Sub, Edit, Translate: Save stays, for the copy.
    QCOMPARE(both.w.states(), QStringLiteral("1101001"));
    QVERIFY(!both.view().actImport()->isEnabled());
    for (void (TMainForm::*command)() : {&TMainForm::actAddExecute, &TMainForm::actEditExecute,
                                         &TMainForm::actSubExecute, &TMainForm::actImportExecute}) {
        both.w.fake->clear();
        (both.w.form->*command)();
        QCOMPARE(both.w.fake->texts("information"),
                 QStringList{QStringLiteral("Словарь «Littré «été»» открыт только для чтения")});
    }
    QVERIFY(both.w.modalSeen.empty());
    QCOMPARE(both.w.rows().size(), qsizetype(kSource.size()));
    rig::clickTab(*both.w.form, 0);
    both.w.clickRow(0);
    QCOMPARE(both.w.states(), QStringLiteral("1111111"));
    QVERIFY(both.view().actImport()->isEnabled());
}

void TestReadInPlace::informationReadOnly() {
    TBoth both;
    bool readOnly = false;
    QString name;
    both.w.fake->onModal = [&](QDialog& dialog) {
        auto& info = dynamic_cast<TInfoForm&>(dialog);
        readOnly = info.edName->isReadOnly() && info.edInfo->isReadOnly();
        name = info.edName->text();
        info.edName->setText(QStringLiteral("changed"));
        return int(QDialog::Accepted);
    };
    both.w.form->actInfoExecute();
    QVERIFY(readOnly);
    QCOMPARE(name, QStringLiteral("Littré «été»"));
    QVERIFY(both.w.fake->texts("error").isEmpty());
    QCOMPARE(both.w.dic(1).Name(), std::string("Littré «été»"));
}

void TestReadInPlace::saveWritesFoldedCopyWithReport() {
    TBoth both;
    both.w.chooseFile(QStringLiteral("copy"));
    both.w.form->actSaveExecute();
    QCOMPARE(both.w.offeredFiles, QStringList{"fr.dic"});
    const QStringList report = both.w.fake->texts("information");
    QCOMPARE(report.size(), 1);
    QVERIFY2(report[0].startsWith("Словарь создан: " + both.w.path("copy.dic")),
             qPrintable(report[0]));
    // é twice, ř and í twice, ß: seven characters written as near forms, none as "?".
    QVERIFY2(report[0].contains("Символов заменено близкими: 7\n"), qPrintable(report[0]));
    QVERIFY2(report[0].contains("Символов заменено на \"?\": 0"), qPrintable(report[0]));
    TDictionary copy;
    copy.LoadFromFile(both.w.path("copy.dic").toStdString());
    QCOMPARE(rig::termsOf(copy), (QStringList{"ete", "pritel", "Strasse", "привет"}));
    QCOMPARE(rig::qs(copy.Name()), QStringLiteral("Littre «ete»"));
    // The tab goes on showing the source.
    QCOMPARE(both.w.tabs().value(1), QStringLiteral("fr.tab"));
    QVERIFY(both.w.dic(1).readOnly());
}

void TestReadInPlace::saveRefusesSourcesOwnFile() {
    TBoth both;
    both.w.chooseFile(QStringLiteral("fr.tab"));
    both.w.form->actSaveExecute();
    QCOMPARE(both.w.fake->texts("warning").size(), 1);
    QVERIFY(both.w.fake->texts("information").isEmpty());
    both.w.form->OpenDic(both.w.path("fr.tab").toStdString());
    QCOMPARE(both.w.rows().size(), qsizetype(kSource.size()));
}

void TestReadInPlace::historyKeepsWhatTheFileCanHold_data() {
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("stored");

    QTest::newRow("code page as it is")
        << QStringList{"привет", "cat"} << QStringList{"cat", "привет"};
    QTest::newRow("folded") << QStringList{"přítel", "été"} << QStringList{"ete", "pritel"};
    QTest::newRow("no near form: left out")
        << QStringList{"cat", "\u4E00", "Straße"} << QStringList{"Strasse", "cat"};
}

void TestReadInPlace::historyKeepsWhatTheFileCanHold() {
    QFETCH(QStringList, entries);
    QFETCH(QStringList, stored);
    TBoth both;
    for (const QString& entry : entries)
        both.w.form->AddHistory(entry);
    // Kept for the session as typed, the last first.
    QStringList shown = entries;
    std::reverse(shown.begin(), shown.end());
    QCOMPARE(rig::history(*both.w.form), shown);
    both.w.form->storeHistory();
    QCOMPARE(both.w.setup->ReadValue("History", "Count"), std::to_string(stored.size()));
    QStringList written;
    for (const std::string& value : both.w.setup->NumberedValues("History", int(stored.size())))
        written << rig::qs(value);
    QCOMPARE(written, stored);
}

void TestReadInPlace::openOffersOtherFormats_data() {
    QTest::addColumn<bool>("import");
    QTest::addColumn<QStringList>("filters");  // then the one selected

    QTest::newRow("Open") << false
                          << QStringList{"*.dic",
                                         "Словари других программ (*.ifo *.index *.dsl *.dsl.dz)",
                                         "*.*", "*.dic"};
    QTest::newRow("the import, of text only") << true << QStringList{"*.dic", "*.*", "*.dic"};
}

void TestReadInPlace::openOffersOtherFormats() {
    QFETCH(bool, import);
    QFETCH(QStringList, filters);
    TLookupFolder folder;
    folder.writeDic("a.dic", {"alpha"});
    TMainForm& form = folder.open();
    QStringList offered;
    folder.dialogs().onFileDialog = [&](QFileDialog& dialog) {
        offered = dialog.nameFilters();
        offered << dialog.selectedNameFilter();
        return false;
    };
    (form.*(import ? &TMainForm::actImportExecute : &TMainForm::actOpenExecute))();
    QCOMPARE(offered, filters);
}

void TestReadInPlace::sourceTabNamedAfterItsFiles_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("caption");

    for (const auto& [name, format, caption] :
         {std::tuple{"StarDict: without .ifo", "StarDict", "xmlittre"},
          std::tuple{"dictd: without .index", "dictd", "gcide"},
          std::tuple{"DSL: without .dsl, in any case", "DSL", "Littre"}})
        QTest::newRow(name) << QString(format) << QString(caption);
}

// Opened by Open or at start-up from the list's full path alike: the tab named after the
// dictionary's files, the title after the dictionary, the text as written.
void TestReadInPlace::sourceTabNamedAfterItsFiles() {
    QFETCH(QString, format);
    QFETCH(QString, caption);
    QTemporaryDir elsewhere;
    const std::string path = writeSample(elsewhere.path(), format);
    const TProgramReaders readers;

    TLookupFolder opening;
    TMainForm& form = opening.open();
    opening.dialogs().onFileDialog = [&](QFileDialog& dialog) {
        dialog.selectFile(QString::fromStdString(path));
        return true;
    };
    form.actOpenExecute();
    QVERIFY(opening.dialogs().texts("error").isEmpty());
    QCOMPARE(rig::tabs(form), QStringList{caption});
    QCOMPARE(form.windowTitle(), QStringLiteral("Termovel v1.00 - Littré"));
    QCOMPARE(rig::rows(form), QStringList{QStringLiteral("été")});

    TLookupFolder starting;
    starting.writeList("Sources", "1", {"+" + path});
    TMainForm& started = starting.open();
    QCOMPARE(rig::tabs(started), QStringList{caption});
    QCOMPARE(started.windowTitle(), QStringLiteral("Termovel v1.00 - Littré"));
}

void TestReadInPlace::openTellsWhatAPartOfASourceIs_data() {
    QTest::addColumn<QString>("file");  // written with a DSL entry; "@" stands for its folder
    QTest::addColumn<QString>("error");

    QTest::newRow("DSL abbreviations")
        << "en_ABRV.dsl"
        << "Файл @/en_ABRV.dsl — сокращения словаря DSL; откройте сам словарь, который лежит рядом";
    QTest::newRow("dictd index without its data")
        << "gcide.index"
        << "Рядом с указателем словаря dictd @/gcide.index нет файла данных (.dict или .dict.dz)";
}

void TestReadInPlace::openTellsWhatAPartOfASourceIs() {
    QFETCH(QString, file);
    QFETCH(QString, error);
    const TProgramReaders readers;
    rig::TWindow w;
    std::ofstream(w.path(file).toStdString(), std::ios::binary) << "n\n\tnoun\n";
    w.chooseFile(file);
    // As the action runs it: through the guard that shows the error box.
    TMainFormView(*w.form).actOpen()->trigger();
    QCOMPARE(w.fake->texts("error"), QStringList{error.replace('@', w.path("").chopped(1))});
    QVERIFY(w.tabs().isEmpty());
}

QTEST_MAIN(TestReadInPlace)
#include "tst_read_in_place.moc"
