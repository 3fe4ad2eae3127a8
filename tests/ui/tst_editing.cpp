// The dictionary editing commands of the main window: New, Open, Save, Close, Add term,
// Delete term, Edit term, and the menus that carry them.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include "dictionary/dictionary.h"
#include "platform/compare.h"
#include "support/main_form_rig.h"
#include "ui/dialogs/word_form.h"

using rig::TDicFile;
using rig::TWindow;
using TAnswer = TDialogs::TAnswer;

Q_DECLARE_METATYPE(TDialogs::TAnswer)

namespace {

const QString kTitle = QString::fromLatin1(ProgramTitle);

// a.dic "Alpha" with two terms, b.dic "Beta" with none, c.dic without a name with one term.
std::vector<TDicFile> threeDics() {
    return {{"a.dic", "Alpha", {{"apple", "яблоко"}, {"apricot", "абрикос"}}},
            {"b.dic", "Beta", {}},
            {"c.dic", "", {{"cherry", "вишня"}}}};
}

std::vector<TDicFile> fruitDic() {
    return {{"f.dic", "Fruit", {{"apple", "яблоко"}, {"cherry", "вишня"}, {"plum", "слива"}}}};
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Leaves the fruit dictionary modified through the window itself: the first article edited.
void modifyFirstArticle(TWindow& w) {
    w.clickRow(0);
    w.typeIntoNextWindow("apple", "changed");
    TMainFormView(*w.form).actEdit()->trigger();
}

}  // namespace

class TestEditing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { compare::setLocale(""); }

    void newTwiceGivesTwoEmptyTabs();
    void closeAsksOnlyAboutModified_data();
    void closeAsksOnlyAboutModified();
    void closeSelectsNeighbour_data();
    void closeSelectsNeighbour();
    void saveOffersCaptionAndRenamesTab_data();
    void saveOffersCaptionAndRenamesTab();
    void saveCancelledChangesNothing();
    void failedSaveKeepsCaptionAndModified();
    void saveOverFileChangedElsewhereAsks_data();
    void saveOverFileChangedElsewhereAsks();
    void openMissingFileAddsNoTab();
    void openAddsTabAndTitle();
    void addPutsRowAtSortedPlace_data();
    void addPutsRowAtSortedPlace();
    void addOfPresentTermIsReported();
    void addCancelledChangesNothing();
    void unstorableTextKeepsWindowOpen_data();
    void unstorableTextKeepsWindowOpen();
    void unstorableTextAcceptedAnywayIsShownAgain();
    void unstorableTextKeepsModalLoopRunning();
    void deleteAsksFirst_data();
    void deleteAsksFirst();
    void deleteOfOnlyTermDisablesTermsGroup();
    void editBlockedByOpenTranslationOfSameTerm_data();
    void editBlockedByOpenTranslationOfSameTerm();
    void editMovesRowAndSelectsIt_data();
    void editMovesRowAndSelectsIt();
    void editIntoAnotherPresentTermIsRefused_data();
    void editIntoAnotherPresentTermIsRefused();
    void menusPlaceTheActions();
    void editMenusFollowEditMode_data();
    void editMenusFollowEditMode();
    void shortcutsActWithEditMenusHidden();
    void rightClickOnWordListOpensPopupMenu();
    void editingWindowSizeCarriesToViewingWindow();
};

void TestEditing::newTwiceGivesTwoEmptyTabs() {
    TWindow w;
    TMainFormView(*w.form).actNew()->trigger();
    TMainFormView(*w.form).actNew()->trigger();
    QCOMPARE(w.tabs(), QStringList({"noname.dic", "noname.dic"}));
    QCOMPARE(TMainFormView(*w.form).TabSet()->currentIndex(), 1);
    QCOMPARE(TMainFormView(*w.form).CurDic(), 1);
    QCOMPARE(w.rows(), QStringList());
    QCOMPARE(w.states(), QString("1110000"));
    QCOMPARE(w.form->windowTitle(), kTitle);
    QVERIFY(w.fake->shown.empty());
}

void TestEditing::closeAsksOnlyAboutModified_data() {
    QTest::addColumn<bool>("modify");
    QTest::addColumn<TAnswer>("answer");
    QTest::addColumn<int>("questions");
    QTest::addColumn<int>("tabsLeft");
    QTest::newRow("unchanged new dictionary") << false << TAnswer::No << 0 << 0;
    QTest::newRow("modified, No keeps it") << true << TAnswer::No << 1 << 1;
    QTest::newRow("modified, Yes drops it") << true << TAnswer::Yes << 1 << 0;
    QTest::newRow("modified, box closed keeps it") << true << TAnswer::Closed << 1 << 1;
}

void TestEditing::closeAsksOnlyAboutModified() {
    QFETCH(bool, modify);
    QFETCH(TAnswer, answer);
    QFETCH(int, questions);
    QFETCH(int, tabsLeft);
    TWindow w;
    TMainFormView(*w.form).actNew()->trigger();
    if (modify) {
        w.typeIntoNextWindow("term", "article");
        TMainFormView(*w.form).actAdd()->trigger();
    }
    w.fake->confirmAnswers.push_back(answer);
    TMainFormView(*w.form).actClose()->trigger();
    QCOMPARE(w.fake->texts("confirm").size(), questions);
    if (questions > 0)
        QCOMPARE(w.fake->texts("confirm").first(), QString("Словарь не сохранен! Продолжить?"));
    QCOMPARE(TMainFormView(*w.form).TabSet()->count(), tabsLeft);
    QCOMPARE(TMainFormView(*w.form).dicCount(), tabsLeft);
    QCOMPARE(w.rows(), tabsLeft ? QStringList({"term"}) : QStringList());
}

void TestEditing::closeSelectsNeighbour_data() {
    QTest::addColumn<int>("files");  // how many of a, b, c are laid out
    QTest::addColumn<int>("closeTab");
    QTest::addColumn<QStringList>("tabsAfter");
    QTest::addColumn<int>("currentAfter");
    QTest::addColumn<QStringList>("rowsAfter");
    QTest::addColumn<QString>("statesAfter");
    QTest::addColumn<QString>("titleAfter");
    QTest::newRow("middle: right neighbour, no name")
        << 3 << 1 << QStringList({"a.dic", "c.dic"}) << 1 << QStringList({"cherry"})
        << QString("1111111") << kTitle;
    QTest::newRow("last: new last, empty dictionary")
        << 3 << 2 << QStringList({"a.dic", "b.dic"}) << 1 << QStringList() << QString("1110000")
        << kTitle + " - Beta";
    QTest::newRow("first: right neighbour")
        << 3 << 0 << QStringList({"b.dic", "c.dic"}) << 0 << QStringList() << QString("1110000")
        << kTitle + " - Beta";
    QTest::newRow("only: nothing left")
        << 1 << 0 << QStringList() << -1 << QStringList() << QString("0000000") << kTitle;
}

void TestEditing::closeSelectsNeighbour() {
    QFETCH(int, files);
    QFETCH(int, closeTab);
    QFETCH(QStringList, tabsAfter);
    QFETCH(int, currentAfter);
    QFETCH(QStringList, rowsAfter);
    QFETCH(QString, statesAfter);
    QFETCH(QString, titleAfter);
    std::vector<TDicFile> dics = threeDics();
    dics.resize(static_cast<size_t>(files));
    TWindow w(dics);
    TMainFormView(*w.form).TabSet()->setCurrentIndex(closeTab);  // the user's click on the tab
    w.clickRow(0);
    TMainFormView(*w.form).actClose()->trigger();
    QVERIFY(w.fake->shown.empty());
    QCOMPARE(w.tabs(), tabsAfter);
    QCOMPARE(TMainFormView(*w.form).TabSet()->currentIndex(), currentAfter);
    QCOMPARE(TMainFormView(*w.form).CurDic(), currentAfter);
    QCOMPARE(w.rows(), rowsAfter);
    QCOMPARE(w.form->selectedRow(), -1);
    QCOMPARE(w.states(), statesAfter);
    QCOMPARE(w.form->windowTitle(), titleAfter);
    QCOMPARE(TMainFormView(*w.form).cmbString()->currentText(), QString());
}

void TestEditing::saveOffersCaptionAndRenamesTab_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("savedAs");
    QTest::newRow("bare name gets .dic") << "med"
                                         << "med.dic";
    QTest::newRow("name with .dic") << "med.dic"
                                    << "med.dic";
    QTest::newRow("other extension kept") << "med.txt"
                                          << "med.txt";
}

void TestEditing::saveOffersCaptionAndRenamesTab() {
    QFETCH(QString, typed);
    QFETCH(QString, savedAs);
    TWindow w;
    TMainFormView(*w.form).actNew()->trigger();
    w.typeIntoNextWindow("zebra", "зебра\r\nполосатая");
    TMainFormView(*w.form).actAdd()->trigger();
    w.typeIntoNextWindow("Ant", "муравей");
    TMainFormView(*w.form).actAdd()->trigger();
    w.chooseFile(typed);
    TMainFormView(*w.form).actSave()->trigger();

    QCOMPARE(w.offeredFiles, QStringList({"noname.dic"}));
    QVERIFY(w.fake->shown.empty());
    QCOMPARE(w.tabs(), QStringList({savedAs}));
    QVERIFY(!w.dic(0).Modified());
    QVERIFY(QFileInfo::exists(w.path(savedAs)));
    TDictionary loaded;
    loaded.LoadFromFile(w.path(savedAs).toStdString());
    QCOMPARE(rig::termsOf(loaded), QStringList({"Ant", "zebra"}));
    QCOMPARE(rig::qs(loaded.Article(1)), QString("зебра\r\nполосатая"));
    QCOMPARE(loaded.Count(), w.dic(0).Count());
    for (int i = 0; i < loaded.Count(); ++i) {
        QCOMPARE(loaded.Term(i), w.dic(0).Term(i));
        QCOMPARE(loaded.Article(i), w.dic(0).Article(i));
    }
    QCOMPARE(loaded.Name(), w.dic(0).Name());

    // The next save offers the new caption.
    w.chooseFile(savedAs);
    TMainFormView(*w.form).actSave()->trigger();
    QCOMPARE(w.offeredFiles.last(), savedAs);
}

void TestEditing::saveCancelledChangesNothing() {
    TWindow w(fruitDic());
    modifyFirstArticle(w);
    w.cancelFileDialog();
    TMainFormView(*w.form).actSave()->trigger();
    QCOMPARE(w.offeredFiles, QStringList({"f.dic"}));
    QCOMPARE(w.tabs(), QStringList({"f.dic"}));
    QVERIFY(w.dic(0).Modified());
}

void TestEditing::failedSaveKeepsCaptionAndModified() {
    TWindow w(fruitDic());
    modifyFirstArticle(w);
    const QString target = w.path("no such folder/other.dic");
    w.chooseFile(target);
    TMainFormView(*w.form).actSave()->trigger();
    QCOMPARE(w.fake->texts("error"), QStringList({QString("Cannot create file %1").arg(target)}));
    QCOMPARE(w.tabs(), QStringList({"f.dic"}));
    QVERIFY(w.dic(0).Modified());
    QCOMPARE(w.rows(), QStringList({"apple", "cherry", "plum"}));
}

void TestEditing::saveOverFileChangedElsewhereAsks_data() {
    QTest::addColumn<TAnswer>("answer");
    QTest::newRow("No keeps the other program's file") << TAnswer::No;
    QTest::newRow("box closed keeps it too") << TAnswer::Closed;
    QTest::newRow("Yes writes over it") << TAnswer::Yes;
}

void TestEditing::saveOverFileChangedElsewhereAsks() {
    QFETCH(TAnswer, answer);
    TWindow w(fruitDic());
    modifyFirstArticle(w);
    // Meanwhile another program adds a term to the same file, as the command-line import does.
    const QString file = w.path("f.dic");
    {
        TDictionary other;
        other.LoadFromFile(file.toStdString());
        other.AddTerm("pear", rig::cp("груша"));
        other.SaveToFile(file.toStdString());
    }
    const QByteArray theirs = fileBytes(file);

    w.fake->confirmAnswers.push_back(answer);
    w.chooseFile("f.dic");
    TMainFormView(*w.form).actSave()->trigger();
    QCOMPARE(w.fake->texts("confirm"),
             QStringList({QString("Файл %1 изменён другой программой после того, как был открыт "
                                  "или сохранён здесь. Записать поверх? Изменения той программы "
                                  "будут потеряны.")
                              .arg(file)}));
    QVERIFY(w.fake->texts("error").isEmpty());
    QCOMPARE(w.tabs(), QStringList({"f.dic"}));
    TDictionary onDisk;
    onDisk.LoadFromFile(file.toStdString());
    if (answer != TAnswer::Yes) {
        QVERIFY(fileBytes(file) == theirs);
        QVERIFY(w.dic(0).Modified());
        return;
    }
    QVERIFY(!w.dic(0).Modified());
    QCOMPARE(rig::termsOf(onDisk), QStringList({"apple", "cherry", "plum"}));
    QCOMPARE(rig::qs(onDisk.Article(0)), QString("changed"));
}

void TestEditing::openMissingFileAddsNoTab() {
    TWindow w(fruitDic());
    w.chooseFile("missing.dic");
    TMainFormView(*w.form).actOpen()->trigger();
    QCOMPARE(w.fake->texts("error"),
             QStringList({QString("Cannot open file %1").arg(w.path("missing.dic"))}));
    QCOMPARE(w.tabs(), QStringList({"f.dic"}));
    QCOMPARE(TMainFormView(*w.form).CurDic(), 0);
    QCOMPARE(w.rows(), QStringList({"apple", "cherry", "plum"}));
    QCOMPARE(w.states(), QString("1111111"));
}

void TestEditing::openAddsTabAndTitle() {
    TWindow w;
    QVERIFY(QDir().mkpath(w.path("other")));
    rig::writeDic(w.path("other/g.dic"), {"g.dic", "Garden", {{"rose", "роза"}}});
    w.chooseFile("other/g");  // typed without extension
    TMainFormView(*w.form).actOpen()->trigger();
    QVERIFY(w.fake->shown.empty());
    QCOMPARE(w.tabs(), QStringList({"g.dic"}));
    QCOMPARE(w.rows(), QStringList({"rose"}));
    QCOMPARE(w.form->windowTitle(), kTitle + " - Garden");
    QCOMPARE(w.states(), QString("1111111"));
}

void TestEditing::addPutsRowAtSortedPlace_data() {
    QTest::addColumn<QString>("term");
    QTest::addColumn<int>("row");
    QTest::newRow("first") << "Aardvark" << 0;
    QTest::newRow("middle, mixed case") << "BANANA" << 1;
    QTest::newRow("last") << "zucchini" << 3;
    QTest::newRow("Cyrillic after Latin") << "яблоко" << 3;
}

void TestEditing::addPutsRowAtSortedPlace() {
    QFETCH(QString, term);
    QFETCH(int, row);
    TWindow w(fruitDic());
    w.typeIntoNextWindow(term, "article");
    TMainFormView(*w.form).actAdd()->trigger();
    QCOMPARE(w.modalSeen.size(), size_t{1});
    QCOMPARE(w.modalSeen[0], QStringList({"Добавление", "", ""}));
    QStringList expected{"apple", "cherry", "plum"};
    expected.insert(row, term);
    QCOMPARE(w.rows(), expected);
    QCOMPARE(rig::termsOf(w.dic(0)), expected);
    QVERIFY(w.dic(0).Modified());
    QCOMPARE(w.form->selectedRow(), -1);
}

void TestEditing::addOfPresentTermIsReported() {
    TWindow w(fruitDic());
    TMainFormView(*w.form).actNew()->trigger();
    w.typeIntoNextWindow("word", "old");
    TMainFormView(*w.form).actAdd()->trigger();
    QCOMPARE(w.states(), QString("1111111"));  // the empty dictionary got its first term
    TMainFormView(*w.form).TabSet()->setCurrentIndex(0);
    w.typeIntoNextWindow("CHERRY", "новая статья");
    TMainFormView(*w.form).actAdd()->trigger();
    QCOMPARE(w.fake->texts("information"), QStringList({"Термин «cherry» уже есть в словаре."}));
    QCOMPARE(w.rows(), QStringList({"apple", "cherry", "plum"}));
    QCOMPARE(rig::qs(w.dic(0).Article(1)), QString("вишня"));
    QVERIFY(!w.dic(0).Modified());
}

void TestEditing::addCancelledChangesNothing() {
    TWindow w(fruitDic());
    w.cancelNextWindow();
    TMainFormView(*w.form).actAdd()->trigger();
    QCOMPARE(w.modalSeen.size(), size_t{1});
    QCOMPARE(w.rows(), QStringList({"apple", "cherry", "plum"}));
    QVERIFY(!w.dic(0).Modified());
    QVERIFY(w.fake->shown.empty());
}

void TestEditing::unstorableTextKeepsWindowOpen_data() {
    QTest::addColumn<bool>("editing");
    QTest::addColumn<QString>("term");
    QTest::addColumn<QString>("article");
    QTest::addColumn<QString>("named");
    QTest::newRow("add, term") << false << "kanji 日本"
                               << "ok"
                               << "日";
    QTest::newRow("add, article") << false << "kiwi"
                                  << "line\r\nsmile 😀 here"
                                  << "😀";
    QTest::newRow("edit, article") << true << "apple"
                                   << "Ωmega"
                                   << "Ω";
}

// "Сохранить" with a character Windows-1251 lacks: the window refuses to close, names the
// character and keeps what was typed; after the text is mended the same window is accepted.
void TestEditing::unstorableTextKeepsWindowOpen() {
    QFETCH(bool, editing);
    QFETCH(QString, term);
    QFETCH(QString, article);
    QFETCH(QString, named);
    TWindow w(fruitDic());
    QString termAfterRefusal;
    QString articleAfterRefusal;
    int resultAfterRefusal = -1;
    w.modalAnswers.push_back([&](TWordForm& window) {
        window.setTexts(term, article);
        window.accept();  // the "Сохранить" button
        resultAfterRefusal = window.result();
        termAfterRefusal = window.termText();
        articleAfterRefusal = window.articleText();
        window.setTexts("kiwi", "киви");
        window.accept();
        return window.result();
    });
    if (editing) {
        w.clickRow(0);
        TMainFormView(*w.form).actEdit()->trigger();
    } else {
        TMainFormView(*w.form).actAdd()->trigger();
    }
    QCOMPARE(resultAfterRefusal, int(QDialog::Rejected));
    QCOMPARE(termAfterRefusal, term);
    QCOMPARE(articleAfterRefusal, article);
    const QStringList infos = w.fake->texts("information");
    QCOMPARE(infos.size(), 1);
    QVERIFY2(infos[0].contains("«" + named + "»"), qPrintable(infos[0]));
    QCOMPARE(w.modalSeen.size(), size_t{1});
    QStringList expected = editing ? QStringList({"cherry", "kiwi", "plum"})
                                   : QStringList({"apple", "cherry", "kiwi", "plum"});
    QCOMPARE(w.rows(), expected);
    QCOMPARE(rig::qs(w.dic(0).Article(w.dic(0).Find("kiwi"))), QString("киви"));
}

void TestEditing::unstorableTextAcceptedAnywayIsShownAgain() {
    TWindow w(fruitDic());
    w.typeIntoNextWindow("日本", "статья");
    w.cancelNextWindow();
    TMainFormView(*w.form).actAdd()->trigger();
    QCOMPARE(w.modalSeen.size(), size_t{2});
    QCOMPARE(w.modalSeen[1], QStringList({"Добавление", "日本", "статья"}));
    QCOMPARE(w.fake->texts("information").size(), 1);
    QCOMPARE(w.rows(), QStringList({"apple", "cherry", "plum"}));
    QVERIFY(!w.dic(0).Modified());
}

// The real modal loop: pressing "Сохранить" with an unstorable character leaves the window up
// and running; the mended text is then accepted by the same showing.
void TestEditing::unstorableTextKeepsModalLoopRunning() {
    TWindow w(fruitDic());
    bool visibleAfterRefusal = false;
    w.modalAnswers.push_back([&](TWordForm& window) {
        QTimer::singleShot(0, &window, [&] {
            window.setTexts("日本", "статья");
            window.Button1->click();
            visibleAfterRefusal = window.isVisible();
            window.Edit1->setText("japan");
            window.Button1->click();
        });
        return window.exec();
    });
    TMainFormView(*w.form).actAdd()->trigger();
    QVERIFY(visibleAfterRefusal);
    QCOMPARE(w.fake->texts("information").size(), 1);
    QCOMPARE(w.rows(), QStringList({"apple", "cherry", "japan", "plum"}));
    QCOMPARE(rig::qs(w.dic(0).Article(2)), QString("статья"));
}

void TestEditing::deleteAsksFirst_data() {
    QTest::addColumn<TAnswer>("answer");
    QTest::addColumn<QStringList>("rowsAfter");
    QTest::newRow("No") << TAnswer::No << QStringList({"apple", "cherry", "plum"});
    QTest::newRow("box closed") << TAnswer::Closed << QStringList({"apple", "cherry", "plum"});
    QTest::newRow("Yes") << TAnswer::Yes << QStringList({"apple", "plum"});
}

void TestEditing::deleteAsksFirst() {
    QFETCH(TAnswer, answer);
    QFETCH(QStringList, rowsAfter);
    TWindow w(fruitDic());
    w.clickRow(1);
    QCOMPARE(TMainFormView(*w.form).cmbString()->currentText(), QString("cherry"));
    w.fake->confirmAnswers.push_back(answer);
    TMainFormView(*w.form).actSub()->trigger();
    QCOMPARE(w.fake->texts("confirm"), QStringList({"Удалить выделенное слово?"}));
    QCOMPARE(w.rows(), rowsAfter);
    QCOMPARE(rig::termsOf(w.dic(0)), rowsAfter);
    const bool deleted = answer == TAnswer::Yes;
    QCOMPARE(w.dic(0).Modified(), deleted);
    QCOMPARE(w.form->selectedRow(), deleted ? -1 : 1);
    QCOMPARE(TMainFormView(*w.form).cmbString()->currentText(),
             deleted ? QString() : QString("cherry"));
}

void TestEditing::deleteOfOnlyTermDisablesTermsGroup() {
    TWindow w({{"one.dic", "", {{"single", "один"}}}});
    TMainFormView(*w.form).actSub()->trigger();  // no row selected: nothing, no question
    QVERIFY(w.fake->shown.empty());
    w.clickRow(0);
    w.fake->confirmAnswers.push_back(TAnswer::Yes);
    TMainFormView(*w.form).actSub()->trigger();
    QCOMPARE(w.rows(), QStringList());
    QCOMPARE(w.dic(0).Count(), 0);
    QCOMPARE(w.states(), QString("1110001"));  // Translate keeps its state
}

void TestEditing::editBlockedByOpenTranslationOfSameTerm_data() {
    QTest::addColumn<int>("viewedRow");
    QTest::addColumn<bool>("blocked");
    QTest::newRow("window of the same term") << 1 << true;
    QTest::newRow("window of another term") << 2 << false;
}

void TestEditing::editBlockedByOpenTranslationOfSameTerm() {
    QFETCH(int, viewedRow);
    QFETCH(bool, blocked);
    TWindow w(fruitDic());
    w.clickRow(viewedRow);
    TMainFormView(*w.form).actTranslate()->trigger();
    QCOMPARE(w.form->translationWindows().size(), size_t{1});
    w.clickRow(1);
    w.typeIntoNextWindow("cherry", "черешня");
    TMainFormView(*w.form).actEdit()->trigger();
    if (blocked) {
        QCOMPARE(w.fake->texts("information"), QStringList({"Сначала закройте окно перевода!"}));
        QVERIFY(w.modalSeen.empty());
        QCOMPARE(rig::qs(w.dic(0).Article(1)), QString("вишня"));
        QVERIFY(!w.dic(0).Modified());
    } else {
        QVERIFY(w.fake->shown.empty());
        QCOMPARE(w.modalSeen.size(), size_t{1});
        QCOMPARE(rig::qs(w.dic(0).Article(1)), QString("черешня"));
    }
}

void TestEditing::editMovesRowAndSelectsIt_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("newTerm");
    QTest::addColumn<QStringList>("rowsAfter");
    QTest::addColumn<int>("selectedAfter");
    QTest::newRow("article only: row stays")
        << 1 << "cherry" << QStringList({"apple", "cherry", "plum"}) << 1;
    QTest::newRow("first term to the end")
        << 0 << "zebra" << QStringList({"cherry", "plum", "zebra"}) << 2;
    QTest::newRow("last term to the front")
        << 2 << "aaa" << QStringList({"aaa", "apple", "cherry"}) << 0;
    QTest::newRow("letter case of itself")
        << 0 << "APPLE" << QStringList({"APPLE", "cherry", "plum"}) << 0;
}

void TestEditing::editMovesRowAndSelectsIt() {
    QFETCH(int, row);
    QFETCH(QString, newTerm);
    QFETCH(QStringList, rowsAfter);
    QFETCH(int, selectedAfter);
    TWindow w(fruitDic());
    const QString statesBefore = w.states();
    w.clickRow(row);
    const QString searchBefore = TMainFormView(*w.form).cmbString()->currentText();
    w.typeIntoNextWindow(newTerm, "new article");
    TMainFormView(*w.form).actEdit()->trigger();
    QCOMPARE(w.modalSeen.size(), size_t{1});
    QCOMPARE(w.modalSeen[0][0], QString("Редактирование"));
    QCOMPARE(w.modalSeen[0][1], fruitDic()[0].terms[static_cast<size_t>(row)].first);
    QCOMPARE(w.modalSeen[0][2], fruitDic()[0].terms[static_cast<size_t>(row)].second);
    QCOMPARE(w.rows(), rowsAfter);
    QCOMPARE(rig::termsOf(w.dic(0)), rowsAfter);
    QCOMPARE(w.form->selectedRow(), selectedAfter);
    QCOMPARE(rig::qs(w.dic(0).Article(selectedAfter)), QString("new article"));
    QVERIFY(w.dic(0).Modified());
    QCOMPARE(w.states(), statesBefore);
    QCOMPARE(TMainFormView(*w.form).cmbString()->currentText(), searchBefore);
}

void TestEditing::editIntoAnotherPresentTermIsRefused_data() {
    QTest::addColumn<QString>("newTerm");
    QTest::addColumn<QString>("message");
    QTest::newRow("exact") << "plum"
                           << "Термин «plum» уже есть в словаре.";
    QTest::newRow("other case") << "CHERRY"
                                << "Термин «cherry» уже есть в словаре.";
}

void TestEditing::editIntoAnotherPresentTermIsRefused() {
    QFETCH(QString, newTerm);
    QFETCH(QString, message);
    TWindow w(fruitDic());
    w.clickRow(0);
    w.typeIntoNextWindow(newTerm, "new article");
    TMainFormView(*w.form).actEdit()->trigger();
    QCOMPARE(w.fake->texts("warning"), QStringList({message}));
    QCOMPARE(w.rows(), QStringList({"apple", "cherry", "plum"}));
    QCOMPARE(rig::termsOf(w.dic(0)), QStringList({"apple", "cherry", "plum"}));
    QCOMPARE(rig::qs(w.dic(0).Article(0)), QString("яблоко"));
    QCOMPARE(rig::qs(w.dic(0).Article(1)), QString("вишня"));
    QCOMPARE(w.form->selectedRow(), 0);
    QVERIFY(!w.dic(0).Modified());
}

void TestEditing::menusPlaceTheActions() {
    TWindow w;
    auto captions = [](QMenu* menu) {
        QStringList out;
        for (QAction* action : menu->actions())
            out << (action->isSeparator() ? QString("-") : action->text());
        return out;
    };
    TMainForm& f = *w.form;
    QCOMPARE(f.menuBar()->actions(), QList<QAction*>({TMainFormView(f).mnFile()->menuAction(),
                                                      TMainFormView(f).mnDic()->menuAction(),
                                                      TMainFormView(f).mnWord()->menuAction(),
                                                      TMainFormView(f).mnHelp()->menuAction()}));
    QCOMPARE(TMainFormView(f).mnFile()->title(), QString("Сервис"));
    QCOMPARE(captions(TMainFormView(f).mnFile()),
             QStringList({"Перевести", "Найти в статьях…", "Информация", "-", "&Настройки", "-",
                          "&Выход"}));
    QCOMPARE(TMainFormView(f).mnDic()->title(), QString("Словарь"));
    QCOMPARE(captions(TMainFormView(f).mnDic()),
             QStringList({"&Новый", "&Открыть", "Закрыть", "&Сохранить", "-", "Импортировать"}));
    QCOMPARE(TMainFormView(f).mnWord()->title(), QString("Слова"));
    QCOMPARE(captions(TMainFormView(f).mnWord()),
             QStringList({"Добавить термин", "Удалить термин", "Редактировать термин"}));
    QCOMPARE(TMainFormView(f).mnHelp()->title(), QString("&Помощь"));
    QCOMPARE(TMainFormView(f).mnHelp()->menuAction()->statusTip(),
             QString("Помощь при работе с программой"));
    QCOMPARE(captions(TMainFormView(f).mnHelp()),
             QStringList({"&Справка", "Web-сайт", "&О программе"}));
    QCOMPARE(captions(TMainFormView(f).PopupMenu()), QStringList({"Запустить", "&Выход"}));
    // Shortcuts act with the editing menus hidden: the actions belong to the window too.
    for (QAction* action : {TMainFormView(f).actNew(), TMainFormView(f).actOpen(),
                            TMainFormView(f).actClose(), TMainFormView(f).actSave()})
        QVERIFY(f.actions().contains(action));
}

void TestEditing::editMenusFollowEditMode_data() {
    QTest::addColumn<QString>("editMode");
    QTest::addColumn<bool>("visible");
    QTest::newRow("1") << "1" << true;
    QTest::newRow("0") << "0" << false;
    QTest::newRow("01") << "01" << false;
    QTest::newRow("true") << "true" << false;
}

void TestEditing::editMenusFollowEditMode() {
    QFETCH(QString, editMode);
    QFETCH(bool, visible);
    TWindow w({}, {{"Main", "EditMode", editMode.toStdString()}});
    QVERIFY(TMainFormView(*w.form).mnDic() && TMainFormView(*w.form).mnWord());
    QCOMPARE(TMainFormView(*w.form).mnDic()->menuAction()->isVisible(), visible);
    QCOMPARE(TMainFormView(*w.form).mnWord()->menuAction()->isVisible(), visible);
    QVERIFY(TMainFormView(*w.form).mnFile()->menuAction()->isVisible());
    QVERIFY(TMainFormView(*w.form).mnHelp()->menuAction()->isVisible());
}

void TestEditing::shortcutsActWithEditMenusHidden() {
    TWindow w({}, {{"Main", "EditMode", "0"}});
    w.form->show();
    w.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.form));
    QVERIFY(!TMainFormView(*w.form).mnDic()->menuAction()->isVisible());
    QTest::keyClick(w.form, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(w.tabs(), QStringList({"noname.dic"}));
    QTest::keyClick(w.form, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(w.offeredFiles.size(), 1);  // the open dialog came up
    QTest::keyClick(w.form, Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(w.tabs(), QStringList());
    QTest::keyClick(w.form, Qt::Key_W, Qt::ControlModifier);  // disabled: nothing
    QVERIFY(w.fake->shown.empty());
}

void TestEditing::rightClickOnWordListOpensPopupMenu() {
    TWindow w(fruitDic());
    w.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.form));
    QVERIFY(!TMainFormView(*w.form).PopupMenu()->isVisible());
    QWidget* viewport = TMainFormView(*w.form).ListBox()->viewport();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            viewport->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(viewport, &event);
    QVERIFY(TMainFormView(*w.form).PopupMenu()->isVisible());
    TMainFormView(*w.form).PopupMenu()->hide();
}

void TestEditing::editingWindowSizeCarriesToViewingWindow() {
    TWindow w(fruitDic());
    // The adding window is resized and closed with Cancel: its size is the one kept.
    w.modalAnswers.push_back([](TWordForm& window) {
        window.resize(321, 432);
        window.reject();
        return int(QDialog::Rejected);
    });
    TMainFormView(*w.form).actAdd()->trigger();
    QCOMPARE(TMainFormView(*w.form).WordWidth(), 321);
    QCOMPARE(TMainFormView(*w.form).WordHeight(), 432);
    w.clickRow(1);
    w.form->ShowTranslation();
    QCOMPARE(w.form->translationWindows().size(), size_t{1});
    QCOMPARE(w.form->translationWindows().front()->size(), QSize(321, 432));
}

QTEST_MAIN(TestEditing)
#include "tst_editing.moc"
