// Thousands of random editing steps against a plain model of what the dictionaries should
// hold: after every step row i of the word list is term i of the current dictionary, CurDic is
// the selected tab, and both agree with the model.
#include <QAction>
#include <QTabBar>
#include <QTest>

#include <algorithm>
#include <random>

#include "dictionary/dictionary.h"
#include "platform/compare.h"
#include "support/main_form_rig.h"

using rig::TWindow;
using TAnswer = TDialogs::TAnswer;

namespace {

constexpr unsigned kSeed = 20261207;
constexpr int kSteps = 3000;

// What one dictionary should hold: its terms in order (Windows-1251) and whether it changed.
struct TModelDic {
    std::vector<std::string> terms;
    bool modified = false;

    // Index of the term equal to term ignoring case, or -1; lowerBound gives its sorted place.
    int find(const std::string& term) const {
        for (size_t i = 0; i < terms.size(); ++i) {
            if (compare::terms(terms[i], term) == 0)
                return static_cast<int>(i);
        }
        return -1;
    }
    int lowerBound(const std::string& term) const {
        return static_cast<int>(std::lower_bound(terms.begin(), terms.end(), term,
                                                 [](const std::string& a, const std::string& b) {
                                                     return compare::terms(a, b) < 0;
                                                 }) -
                                terms.begin());
    }
};

const QStringList kWords = {
    "apple", "apricot", "banana", "berry", "cherry", "date", "fig",    "grape",  "kiwi",  "lemon",
    "mango", "melon",   "olive",  "peach", "pear",   "plum", "quince", "zebra",  "арбуз", "берёза",
    "вишня", "груша",   "дыня",   "ёж",    "жёлудь", "изюм", "лимон",  "малина", "слива", "яблоко"};

class TStepper {
public:
    explicit TStepper(TWindow& w) : w_(w), random_(kSeed) {
        model_.push_back({});
        model_[0].terms = {"cherry", "plum"};
        current_ = 0;
    }

    // Runs one random step; returns its name.
    QString step() {
        w_.fake->confirmAnswers.clear();
        w_.modalAnswers.clear();
        w_.fake->clear();
        const int roll = pick(100);
        if (roll < 35)
            return add();
        if (roll < 50)
            return remove();
        if (roll < 70)
            return edit();
        if (roll < 78)
            return close();
        if (roll < 85)
            return newDic();
        return selectTab();
    }

    // "" when the window agrees with the model, else what differs.
    QString check() const {
        const TMainFormView f(*w_.form);
        if (f.dicCount() != static_cast<int>(model_.size()) ||
            f.TabSet()->count() != static_cast<int>(model_.size()))
            return "dictionary or tab count";
        if (f.CurDic() != f.TabSet()->currentIndex() || f.CurDic() != current_)
            return QString("CurDic %1, tab %2, model %3")
                .arg(f.CurDic())
                .arg(f.TabSet()->currentIndex())
                .arg(current_);
        const QStringList rows = w_.rows();
        if (current_ < 0)
            return rows.isEmpty() ? QString() : "rows without a dictionary";
        const TDictionary& dic = f.dic(current_);
        const TModelDic& expected = model_[static_cast<size_t>(current_)];
        if (rows.size() != dic.Count() || dic.Count() != static_cast<int>(expected.terms.size()))
            return QString("rows %1, terms %2, model %3")
                .arg(rows.size())
                .arg(dic.Count())
                .arg(expected.terms.size());
        for (int i = 0; i < dic.Count(); ++i) {
            if (rows[i] != rig::qs(dic.Term(i)) || dic.Term(i) != expected.terms[size_t(i)])
                return QString("row %1: %2 / %3").arg(i).arg(rows[i], rig::qs(dic.Term(i)));
        }
        if (dic.Modified() != expected.modified)
            return "Modified";
        const bool hasTerms = dic.Count() > 0;
        if (TMainFormView(f).actSave()->isEnabled() != hasTerms ||
            TMainFormView(f).actSub()->isEnabled() != hasTerms ||
            TMainFormView(f).actEdit()->isEnabled() != hasTerms ||
            (hasTerms && !TMainFormView(f).actTranslate()->isEnabled()))
            return "terms group " + w_.states();
        if (!TMainFormView(f).actClose()->isEnabled() || !TMainFormView(f).actAdd()->isEnabled())
            return "dictionary group " + w_.states();
        return {};
    }

private:
    int pick(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random_); }

    // A pool word in a random letter case, so that equal terms of other case come up often.
    QString randomTerm() {
        QString word = kWords[pick(static_cast<int>(kWords.size()))];
        switch (pick(4)) {
            case 0:
                return word.toUpper();
            case 1:
                return word.left(1).toUpper() + word.mid(1);
            default:
                return word;
        }
    }

    TModelDic* currentModel() { return current_ < 0 ? nullptr : &model_[size_t(current_)]; }

    QString add() {
        const QString term = randomTerm();
        w_.typeIntoNextWindow(term, "article of " + term);
        TMainFormView(*w_.form).actAdd()->trigger();
        if (TModelDic* m = currentModel()) {
            const std::string bytes = rig::cp(term);
            if (m->find(bytes) < 0) {
                m->terms.insert(m->terms.begin() + m->lowerBound(bytes), bytes);
                m->modified = true;
            }
        }
        return "add " + term;
    }

    QString remove() {
        TModelDic* m = currentModel();
        if (!m || m->terms.empty())
            return "remove (nothing)";
        const int row = pick(static_cast<int>(m->terms.size()));
        const bool yes = pick(4) != 0;
        w_.clickRow(row);
        w_.fake->confirmAnswers.push_back(yes ? TAnswer::Yes : TAnswer::No);
        TMainFormView(*w_.form).actSub()->trigger();
        if (yes) {
            m->terms.erase(m->terms.begin() + row);
            m->modified = true;
        }
        return QString("remove %1 %2").arg(row).arg(yes);
    }

    QString edit() {
        TModelDic* m = currentModel();
        if (!m || m->terms.empty())
            return "edit (nothing)";
        const int row = pick(static_cast<int>(m->terms.size()));
        // Sometimes only the letter case of the edited term changes.
        const QString term = pick(4) == 0 ? rig::qs(m->terms[size_t(row)]).toUpper() : randomTerm();
        const bool cancel = pick(8) == 0;
        w_.clickRow(row);
        if (cancel)
            w_.cancelNextWindow();
        else
            w_.typeIntoNextWindow(term, "edited");
        TMainFormView(*w_.form).actEdit()->trigger();
        if (!cancel) {
            const std::string bytes = rig::cp(term);
            const int present = m->find(bytes);
            if (present < 0 || present == row) {
                m->terms.erase(m->terms.begin() + row);
                m->terms.insert(m->terms.begin() + m->lowerBound(bytes), bytes);
                m->modified = true;
            }
        }
        return QString("edit %1 -> %2").arg(row).arg(term);
    }

    QString close() {
        if (current_ < 0)
            return "close (nothing)";
        const bool yes = pick(3) != 0;
        w_.fake->confirmAnswers.push_back(yes ? TAnswer::Yes : TAnswer::No);
        const bool asks = model_[size_t(current_)].modified;
        TMainFormView(*w_.form).actClose()->trigger();
        if (asks != (w_.fake->texts("confirm").size() == 1))
            return "close asked wrongly";
        if (!asks || yes) {
            model_.erase(model_.begin() + current_);
            if (model_.empty())
                current_ = -1;
            else
                current_ = std::min(current_, static_cast<int>(model_.size()) - 1);
        }
        return "close";
    }

    QString newDic() {
        TMainFormView(*w_.form).actNew()->trigger();
        model_.push_back({});
        current_ = static_cast<int>(model_.size()) - 1;
        return "new";
    }

    QString selectTab() {
        if (model_.empty())
            return "select (nothing)";
        const int tab = pick(static_cast<int>(model_.size()));
        TMainFormView(*w_.form).TabSet()->setCurrentIndex(tab);  // the user's click
        current_ = tab;
        return QString("select %1").arg(tab);
    }

    TWindow& w_;
    std::mt19937 random_;
    std::vector<TModelDic> model_;
    int current_ = -1;
};

}  // namespace

class TestEditProperty : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { compare::setLocale(""); }
    void randomStepsKeepRowsAndTabsInStep();
};

void TestEditProperty::randomStepsKeepRowsAndTabsInStep() {
    TWindow w({{"start.dic", "Start", {{"cherry", "вишня"}, {"plum", "слива"}}}});
    TStepper stepper(w);
    QVERIFY2(stepper.check().isEmpty(), qPrintable(stepper.check()));
    int errors = 0;
    for (int i = 0; i < kSteps; ++i) {
        const QString name = stepper.step();
        const QString problem = stepper.check();
        QVERIFY2(problem.isEmpty(),
                 qPrintable(QString("step %1 (%2): %3").arg(i).arg(name, problem)));
        errors += static_cast<int>(w.fake->texts("error").size());
    }
    QCOMPARE(errors, 0);
}

QTEST_MAIN(TestEditProperty)
#include "tst_edit_property.moc"
