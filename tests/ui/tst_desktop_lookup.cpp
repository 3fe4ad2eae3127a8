// Look-ups that come from outside the search box: a word handed over by a later start, a word
// double-clicked in an article, and the search inside the articles.
#include <QClipboard>
#include <QLabel>
#include <QListView>
#include <QMimeData>
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
using rig::windowTerms;

namespace {

// Enough terms before "hot dog" that its row lies below the word list's first screen.
std::vector<std::pair<QString, QString>> foodTerms() {
    std::vector<std::pair<QString, QString>> terms{{"cafe", "a small restaurant"},
                                                   {"hot dog", "a sausage in a bun"}};
    for (int i = 0; i < 60; ++i)
        terms.push_back({QStringLiteral("fig %1").arg(i, 2, 10, QLatin1Char('0')), "a fruit"});
    return terms;
}

// Two dictionaries: the current one first.
TWindow twoDictionaries() {
    return TWindow({{"a_en.dic",
                     "English",
                     {{"cat", "a small animal that hunts the mouse;\nsee {hot\n   dog}"},
                      {"mouse", "a rodent"},
                      {"zebra", "a striped ANIMAL"}}},
                    {"b_food.dic", "Food", foodTerms()}});
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
    void selectionDropsWhatIsNotUtf8_data();
    void selectionDropsWhatIsNotUtf8();
    void requestWaitsForModalWindow();
    void waitingRequestsAreBounded_data();
    void waitingRequestsAreBounded();
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
    QTest::newRow("accents folded as the dictionary holds them")
        << "Café" << QStringList{"cafe"} << 1 << "cafe" << none;
    QTest::newRow("a letter with no near form still refused")
        << "caf\u4E00" << QStringList{} << 0 << "" << none;
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
    QCOMPARE(w.fake->texts("information").size(), windows.isEmpty() && message.isEmpty() ? 1 : 0);
    // The row found is in view, also after the hand-over switched tabs.
    const QListView* list = view.ListBox();
    if (w.form->selectedRow() >= 0)
        QVERIFY(list->viewport()->rect().contains(
            list->visualRect(list->model()->index(w.form->selectedRow(), 0))));
}

void TestDesktopLookup::selectionDropsWhatIsNotUtf8_data() {
    QTest::addColumn<QByteArray>("clipboard");
    QTest::addColumn<QString>("word");
    QTest::newRow("UTF-8 kept") << QByteArray("caf\xC3\xA9") << "café";
    QTest::newRow("stray bytes dropped") << QByteArray(" caf\xFF\xC3\xA9\xFE\nnext") << "café";
    QTest::newRow("nothing but stray bytes") << QByteArray("\xFF\xFE") << "";
}

void TestDesktopLookup::selectionDropsWhatIsNotUtf8() {
    QFETCH(QByteArray, clipboard);
    QFETCH(QString, word);
    auto* data = new QMimeData;
    data->setData("text/plain", clipboard);
    QGuiApplication::clipboard()->setMimeData(data);
    QCOMPARE(instance_channel::selectedWord(), word);
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

// Twenty requests while a box waits for the user: a look-up replaces the one before it, and the
// files wait only up to the bound; each would bring a box of its own.
void TestDesktopLookup::waitingRequestsAreBounded_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("boxes");
    QTest::newRow("look-ups: the last one alone")
        << int(TInstanceRequest::TKind::Lookup) << "information" << 1;
    QTest::newRow("files: as many as may wait")
        << int(TInstanceRequest::TKind::Open) << "error" << TMainForm::kWaitingRequests;
}

void TestDesktopLookup::waitingRequestsAreBounded() {
    QFETCH(int, kind);
    QFETCH(QString, box);
    QFETCH(int, boxes);
    TWindow w = twoDictionaries();
    QDialog question(w.form);
    question.setModal(true);
    question.show();
    QVERIFY(QTest::qWaitForWindowExposed(&question));
    for (int i = 0; i < 20; ++i) {
        const QString argument = QStringLiteral("λ%1").arg(i);
        w.form->carryOut({TInstanceRequest::TKind(kind), kind == int(TInstanceRequest::TKind::Open)
                                                             ? w.path(argument)
                                                             : argument});
    }
    question.close();
    QTRY_COMPARE(w.fake->texts(box).size(), boxes);
    QTest::qWait(500);
    QCOMPARE(w.fake->texts(box).size(), boxes);
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
    TWordForm* led = w.form->translationWindows().back();
    QCOMPARE(led->frameGeometry().left(), cat->frameGeometry().right() + 1);
    QCOMPARE(led->frameGeometry().top(), cat->frameGeometry().top());
    // The next word of the same article opens a step further on, not over the first.
    QVERIFY(QTest::qWaitForWindowExposed(led));
    doubleClickWord(*cat, "mouse");
    QCOMPARE(windowTerms(*w.form), (QStringList{"cat", "hot dog", "mouse"}));
    QCOMPARE(w.form->translationWindows().back()->frameGeometry().topLeft(),
             led->frameGeometry().topLeft() + QPoint(20, 20));
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
