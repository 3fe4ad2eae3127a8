// A word that is no term answers through its ё/е variants and dictionary forms, from the
// desktop, from an article and from the search box; one that nothing answers gets a list of
// the terms near it under the search box.
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QStatusBar>
#include <QTabBar>
#include <QtTest>

#include "platform/compare.h"
#include "support/main_form_rig.h"
#include "ui/instance_channel.h"

using rig::TWindow;
using rig::windowTerms;

namespace {

bool haveMorphology() {
    return QFile::exists("/usr/share/hunspell/en_US.dic") &&
           QFile::exists("/usr/share/hunspell/ru_RU.dic") &&
           QFile::exists("/usr/share/wordnet/noun.exc");
}

// Two dictionaries: the current one first.
TWindow twoDictionaries() {
    return TWindow({{"a_en.dic",
                     "English",
                     {{"cat", "a small animal"},
                      {"mouse", "a rodent"},
                      {"zebra", "a striped animal"},
                      {"look up", "seek"},
                      {"ещё", "more"}}},
                    {"b_ru.dic", "Русский", {{"кошка", "cat"}, {"еще", "more"}}}});
}

}  // namespace

class TestWordFormsLookup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { compare::setLocale(""); }
    void handedOverWordAnswersThroughForms_data();
    void handedOverWordAnswersThroughForms();
    void enterOnATypedFormOpensItsTerm();
    void nothingAnsweringOffersNearTerms();
    void suggestionsFollowARenamedTerm();
};

void TestWordFormsLookup::handedOverWordAnswersThroughForms_data() {
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("term");
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("message");

    const QString none;
    QTest::newRow("irregular plural") << "mice"
                                      << "mouse" << 0 << "mice — форма слова «mouse»";
    QTest::newRow("punctuation dropped, plural") << "\"Cats\","
                                                 << "cat" << 0 << "Cats — форма слова «cat»";
    QTest::newRow("a form in the other tab") << "кошки"
                                             << "кошка" << 1 << "кошки — форма слова «кошка»";
    // As written in the second tab beats the ё/е variant in the first.
    QTest::newRow("as written before ё/е") << "еще"
                                           << "еще" << 1 << none;
    QTest::newRow("phrasal term") << "looked up"
                                  << "look up" << 0 << "looked up — форма слова «look up»";
    QTest::newRow("hyphenation joined") << "ze-\nbra"
                                        << "zebra" << 0 << none;
}

void TestWordFormsLookup::handedOverWordAnswersThroughForms() {
    if (!haveMorphology())
        QSKIP("hunspell-en-us, hunspell-ru or wordnet-base is not installed");
    QFETCH(QString, word);
    QFETCH(QString, term);
    QFETCH(int, tab);
    QFETCH(QString, message);
    TWindow w = twoDictionaries();
    w.form->carryOut({TInstanceRequest::TKind::Lookup, word});
    const TMainFormView view(*w.form);
    QCOMPARE(windowTerms(*w.form), QStringList{term});
    QCOMPARE(view.TabSet()->currentIndex(), tab);
    QCOMPARE(view.StatusBar()->currentMessage(), message);
}

void TestWordFormsLookup::enterOnATypedFormOpensItsTerm() {
    if (!haveMorphology())
        QSKIP("hunspell-en-us or wordnet-base is not installed");
    TWindow w = twoDictionaries();
    const TMainFormView view(*w.form);
    QTest::keyClicks(view.cmbString(), "mice");
    QTest::keyClick(view.cmbString(), Qt::Key_Return);
    QCOMPARE(windowTerms(*w.form), QStringList{"mouse"});
    QCOMPARE(view.cmbString()->currentText(), QStringLiteral("mouse"));
    QCOMPARE(view.StatusBar()->currentMessage(), QStringLiteral("mice — форма слова «mouse»"));
}

void TestWordFormsLookup::nothingAnsweringOffersNearTerms() {
    TWindow w = twoDictionaries();
    w.form->show();
    w.form->carryOut({TInstanceRequest::TKind::Lookup, "zebar"});
    QCOMPARE(windowTerms(*w.form), QStringList{});
    QCOMPARE(TMainFormView(*w.form).StatusBar()->currentMessage(),
             QStringLiteral("Термин «zebar» не найден в открытых словарях"));
    auto* menu = w.form->findChild<QMenu*>(QStringLiteral("suggestions"));
    QVERIFY(menu);
    QTRY_VERIFY(menu->isVisible());
    const QList<QAction*> actions = menu->actions();
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions[0]->text(), QStringLiteral("Возможно, вы искали:"));
    QCOMPARE(actions[1]->text(), QStringLiteral("zebra"));
    actions[1]->trigger();
    QCOMPARE(windowTerms(*w.form), QStringList{"zebra"});
}

// The terms offered are those of the dictionary as it is now, also after an edit that keeps
// the number of terms.
void TestWordFormsLookup::suggestionsFollowARenamedTerm() {
    TWindow w = twoDictionaries();
    w.form->show();
    const auto offered = [&] {
        w.form->carryOut({TInstanceRequest::TKind::Lookup, "zebar"});
        QStringList texts;
        for (const QAction* action :
             w.form->findChild<QMenu*>(QStringLiteral("suggestions"))->actions())
            texts << action->text();
        return texts;
    };
    QCOMPARE(offered(), (QStringList{"Возможно, вы искали:", "zebra"}));
    w.clickRow(w.rows().indexOf("zebra"));
    w.typeIntoNextWindow("zebu", "a small ox");
    TMainFormView(*w.form).actEdit()->trigger();
    QCOMPARE(w.rows().indexOf("zebra"), -1);
    QCOMPARE(offered(), (QStringList{"Возможно, вы искали:", "zebu"}));
}

QTEST_MAIN(TestWordFormsLookup)
#include "tst_word_forms_lookup.moc"
