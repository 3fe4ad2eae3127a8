// Look-ups that come from outside the search box: a word handed over by a later start, a word
// double-clicked in an article, and the search inside the articles.
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTabBar>
#include <QTextCursor>
#include <QtTest>

#include "platform/compare.h"
#include "support/main_form_rig.h"
#include "ui/dialogs/article_search_form.h"
#include "ui/dialogs/word_form.h"
#include "ui/instance_channel.h"

using rig::TWindow;

namespace {

// Two dictionaries: the current one first.
TWindow twoDictionaries() {
    return TWindow({{"a_en.dic",
                     "English",
                     {{"cat", "a small animal that hunts the mouse;\nsee {hot\n   dog}"},
                      {"mouse", "a rodent"},
                      {"zebra", "a striped ANIMAL"}}},
                    {"b_food.dic", "Food", {{"hot dog", "a sausage in a bun"}}}});
}

QStringList windowTerms(const TMainForm& form) {
    QStringList terms;
    for (const TWordForm* window : form.translationWindows())
        terms << window->termText();
    return terms;
}

void doubleClickWord(TWordForm& window, const QString& word) {
    QPlainTextEdit* memo = window.Memo1;
    QTextCursor cursor(memo->document());
    cursor.setPosition(memo->toPlainText().indexOf(word) + 1);
    QTest::mouseDClick(memo->viewport(), Qt::LeftButton, {}, memo->cursorRect(cursor).center());
}

}  // namespace

class TestDesktopLookup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { compare::setLocale(""); }
    void wordAtTakesWordOrBracedPhrase_data();
    void wordAtTakesWordOrBracedPhrase();
    void lookUpWord_data();
    void lookUpWord();
    void requestWaitsForModalWindow();
    void doubleClickInArticleLeadsOn();
    void doubleClickInEditorOnlySelects();
    void searchInArticles_data();
    void searchInArticles();
    void escapeStopsLongSearch();
};

void TestDesktopLookup::wordAtTakesWordOrBracedPhrase_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("word");

    QTest::newRow("inside a word") << "see the mouse now" << 10 << "mouse";
    QTest::newRow("inner hyphen kept, outer dropped") << "a -well-being- x" << 5 << "well-being";
    QTest::newRow("braced phrase over a line break") << "see {hot\n   dog}." << 13 << "hot dog";
    QTest::newRow("on the opening brace") << "see {bitty box}" << 4 << "bitty box";
    QTest::newRow("blank between words") << "a  b" << 2 << "";
    QTest::newRow("Cyrillic") << "это кот" << 5 << "кот";
}

void TestDesktopLookup::wordAtTakesWordOrBracedPhrase() {
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(QString, word);
    QCOMPARE(wordAt(text, position), word);
}

void TestDesktopLookup::lookUpWord_data() {
    QTest::addColumn<QString>("word");
    QTest::addColumn<QStringList>("windows");
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("searchText");
    QTest::addColumn<QString>("message");

    const QString none;
    QTest::newRow("current dictionary") << "cat" << QStringList{"cat"} << 0 << "cat" << none;
    QTest::newRow("another tab, case ignored")
        << "HOT DOG" << QStringList{"hot dog"} << 1 << "hot dog" << none;
    QTest::newRow("nowhere: the list stands at the prefix")
        << "mou" << QStringList{} << 0 << "mou"
        << "Термин «mou» не найден в открытых словарях";
    QTest::newRow("not in the code page") << "λ" << QStringList{} << 0 << "" << none;
}

void TestDesktopLookup::lookUpWord() {
    QFETCH(QString, word);
    QFETCH(QStringList, windows);
    QFETCH(int, tab);
    QFETCH(QString, searchText);
    QFETCH(QString, message);
    TWindow w = twoDictionaries();
    w.form->showMinimized();
    w.form->carryOut({TInstanceRequest::TKind::Lookup, word});
    const TMainFormView view(*w.form);
    QVERIFY(!w.form->isMinimized());
    QCOMPARE(windowTerms(*w.form), windows);
    QCOMPARE(view.TabSet()->currentIndex(), tab);
    QCOMPARE(view.cmbString()->currentText(), searchText);
    QCOMPARE(view.StatusBar()->currentMessage(), message);
    if (!message.isEmpty())
        QCOMPARE(w.form->selectedRow(), 1);  // "mou" leads to mouse
    QCOMPARE(w.fake->texts("information").size(), word == "λ" ? 1 : 0);
}

void TestDesktopLookup::requestWaitsForModalWindow() {
    TWindow w = twoDictionaries();
    QDialog question(w.form);
    question.setModal(true);
    question.show();
    QVERIFY(QTest::qWaitForWindowExposed(&question));
    w.form->carryOut({TInstanceRequest::TKind::Lookup, "hot dog"});
    QTest::qWait(300);
    QCOMPARE(windowTerms(*w.form), QStringList{});
    QCOMPARE(TMainFormView(*w.form).TabSet()->currentIndex(), 0);
    question.close();
    QTRY_COMPARE(windowTerms(*w.form), QStringList{"hot dog"});
}

// The look-up itself is lookUpWord's and the braced phrase wordAt's: here the click reaches
// them through the article, and the window it leads to opens beside the one clicked.
void TestDesktopLookup::doubleClickInArticleLeadsOn() {
    TWindow w = twoDictionaries();
    w.form->show();
    QVERIFY(w.form->openTerm("cat"));
    TWordForm* cat = w.form->translationWindows().front();
    QVERIFY(QTest::qWaitForWindowExposed(cat));
    doubleClickWord(*cat, "dog");
    QCOMPARE(windowTerms(*w.form), (QStringList{"cat", "hot dog"}));
    QCOMPARE(TMainFormView(*w.form).TabSet()->currentIndex(), 1);
    const TWordForm* led = w.form->translationWindows().back();
    QCOMPARE(led->frameGeometry().left(), cat->frameGeometry().right() + 1);
    QCOMPARE(led->frameGeometry().top(), cat->frameGeometry().top());
}

void TestDesktopLookup::doubleClickInEditorOnlySelects() {
    TWordForm editor(nullptr);
    editor.SetEditing();
    editor.setTexts("cat", "a small animal");
    QSignalSpy chosen(&editor, &TWordForm::wordChosen);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    doubleClickWord(editor, "small");
    QCOMPARE(chosen.count(), 0);
    QCOMPARE(editor.Memo1->textCursor().selectedText(), QString("small"));
    editor.close();
}

void TestDesktopLookup::searchInArticles_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("found");
    QTest::addColumn<QString>("window");  // the one it leads to, if any

    QTest::newRow("case ignored, chosen first") << "animal" << QStringList{"cat", "zebra"} << "cat";
    QTest::newRow("a phrase, in another case") << "A RODENT" << QStringList{"mouse"} << "mouse";
    QTest::newRow("nothing") << "giraffe" << QStringList{} << "";
    QTest::newRow("not in the code page") << "λ" << QStringList{} << "";
}

void TestDesktopLookup::searchInArticles() {
    QFETCH(QString, text);
    QFETCH(QStringList, found);
    QFETCH(QString, window);
    TWindow w = twoDictionaries();
    QStringList listed;
    w.fake->onModal = [&](QDialog& dialog) {
        auto& form = dynamic_cast<TArticleSearchForm&>(dialog);
        form.setText(text);
        form.search();
        for (int row = 0; row < form.lbFound->model()->rowCount(); ++row)
            listed << form.lbFound->model()->index(row, 0).data().toString();
        form.choose(0);
        return form.result();
    };
    QVERIFY(TMainFormView(*w.form).actSearchArticles()->isEnabled());
    TMainFormView(*w.form).actSearchArticles()->trigger();
    QCOMPARE(listed, found);
    QCOMPARE(windowTerms(*w.form).join(','), window);
    QCOMPARE(w.fake->texts("information").size(), text == "λ" ? 1 : 0);
}

void TestDesktopLookup::escapeStopsLongSearch() {
    rig::TDicFile big{"big.dic", "Big", {}};
    for (int i = 0; i < 10000; ++i)
        big.terms.push_back({QString("t%1").arg(i, 5, 10, QChar('0')), "x"});
    TWindow w({big});
    w.fake->progressIntervalMs = 0;  // progress, and Escape, from the first step on
    TArticleSearchForm form(w.dic(0), *w.fake, w.form);
    form.setText("x");
    form.show();
    QTimer::singleShot(0, &form, [&] { form.reject(); });
    QVERIFY(!form.search());
    QVERIFY(form.isVisible());
    QVERIFY(form.found().size() > 0 && form.found().size() < 10000);
    QVERIFY(form.lbTotal->text().startsWith("Поиск прерван"));
}

QTEST_MAIN(TestDesktopLookup)
#include "tst_desktop_lookup.moc"
