#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "platform/compare.h"
#include "platform/error.h"
#include "reference/reference.h"
#include "test_support.h"

namespace {

class Dictionary : public ::testing::Test {
protected:
    void SetUp() override { compare::setLocale(""); }

    // A dictionary that holds the given terms and has just been saved (Modified false).
    std::unique_ptr<TDictionary> saved(
        const std::vector<std::pair<std::string, std::string>>& items) {
        auto d = std::make_unique<TDictionary>();
        for (const auto& [term, article] : items)
            d->AddTerm(term, article);
        d->SaveToFile((folder_ / "saved.dic").string());
        return d;
    }

    TTempFolder temp_;
    std::filesystem::path folder_ = temp_.path();
};

}  // namespace

TEST_F(Dictionary, NewDictionaryIsEmptyAndUnmodified) {
    TDictionary d;
    EXPECT_EQ(d.Count(), 0);
    EXPECT_EQ(d.Name(), "");
    EXPECT_EQ(d.Author(), "");
    EXPECT_EQ(d.Info(), "");
    EXPECT_FALSE(d.Modified());
}

TEST_F(Dictionary, AddTermReturnsSortedPositions) {
    TDictionary d;
    EXPECT_EQ(d.AddTerm("apple", "1"), 0);
    EXPECT_EQ(d.AddTerm("Cherry", "2"), 1);
    EXPECT_EQ(d.AddTerm("banana", "3"), 1);
    EXPECT_EQ(terms(d), (std::vector<std::string>{"apple", "banana", "Cherry"}));
    EXPECT_EQ(d.Article(2), "2");
    EXPECT_TRUE(d.Modified());
}

TEST_F(Dictionary, CyrillicOrdersAlphabeticallyIgnoringCase) {
    TDictionary d;
    // "ящик", "Арбуз", "берег" in Windows-1251.
    d.AddTerm("\xff\xf9\xe8\xea", "");
    d.AddTerm("\xc0\xf0\xe1\xf3\xe7", "");
    d.AddTerm("\xe1\xe5\xf0\xe5\xe3", "");
    EXPECT_EQ(terms(d), (std::vector<std::string>{"\xc0\xf0\xe1\xf3\xe7", "\xe1\xe5\xf0\xe5\xe3",
                                                  "\xff\xf9\xe8\xea"}));
    EXPECT_EQ(d.Find("\xc0\xd0\xc1\xd3\xc7"), 0);  // АРБУЗ
    EXPECT_EQ(d.Find("\xe1\xe5\xf0"), -1);
    EXPECT_EQ(d.lowerBound("\xe1\xe5\xf0"), 1);
}

TEST_F(Dictionary, DuplicateInAnyCaseIsRefusedAndChangesNothing) {
    auto d = saved({{"apple", "first"}});
    EXPECT_EQ(d->AddTerm("APPLE", "second"), -1);
    EXPECT_EQ(d->Count(), 1);
    EXPECT_EQ(d->Term(0), "apple");
    EXPECT_EQ(d->Article(0), "first");
    EXPECT_FALSE(d->Modified());
}

TEST_F(Dictionary, EveryChangeSetsModified) {
    const std::vector<std::pair<const char*, std::function<void(TDictionary&)>>> cases = {
        {"SetName same", [](TDictionary& d) { d.SetName("N"); }},
        {"SetAuthor same", [](TDictionary& d) { d.SetAuthor(""); }},
        {"SetInfo", [](TDictionary& d) { d.SetInfo("a\r\nb"); }},
        {"AddTerm", [](TDictionary& d) { d.AddTerm("new", ""); }},
        {"ChangeTerm absent", [](TDictionary& d) { d.ChangeTerm("other", "x"); }},
        {"Delete", [](TDictionary& d) { d.Delete(0); }},
        {"Clear", [](TDictionary& d) { d.Clear(); }},
    };
    for (const auto& [name, change] : cases) {
        auto d = saved({{"apple", "a"}});
        d->SetName("N");
        d->SaveToFile((folder_ / "m.dic").string());
        ASSERT_FALSE(d->Modified()) << name;
        change(*d);
        EXPECT_TRUE(d->Modified()) << name;
    }
}

TEST_F(Dictionary, ClearOnEmptyDictionarySetsModified) {
    TDictionary d;
    d.Clear();
    EXPECT_TRUE(d.Modified());
    EXPECT_EQ(d.Count(), 0);
}

TEST_F(Dictionary, GetTermOutsideRangeLeavesOutputs) {
    auto d = saved({{"apple", "a"}, {"banana", "b"}});
    for (int position : {-1, 2, 1000}) {
        std::string term = "keep", article = "keep";
        EXPECT_FALSE(d->GetTerm(position, term, article)) << position;
        EXPECT_EQ(term, "keep");
        EXPECT_EQ(article, "keep");
    }
    std::string term, article;
    ASSERT_TRUE(d->GetTerm(1, term, article));
    EXPECT_EQ(term, "banana");
    EXPECT_EQ(article, "b");
}

TEST_F(Dictionary, BadPositionsRaiseIndexError) {
    auto d = saved({{"apple", "a"}, {"banana", "b"}});
    const std::vector<std::pair<std::function<void()>, std::string>> cases = {
        {[&] { d->Delete(2); }, "List index out of bounds (2)"},
        {[&] { d->Delete(-1); }, "List index out of bounds (-1)"},
        {[&] { (void)d->Term(5); }, "List index out of bounds (5)"},
        {[&] { (void)d->Article(-3); }, "List index out of bounds (-3)"},
    };
    for (const auto& [action, message] : cases)
        EXPECT_EQ(errorOf(action), message);
    EXPECT_EQ(d->Count(), 2);
    EXPECT_FALSE(d->Modified());
}

TEST_F(Dictionary, ChangeTermOfPresentTermRaisesAndChangesNothing) {
    auto d = saved({{"apple", "a"}});
    EXPECT_EQ(errorOf([&] { d->ChangeTerm("Apple", "new"); }),
              "Operation not allowed on sorted list");
    EXPECT_EQ(d->Term(0), "apple");
    EXPECT_EQ(d->Article(0), "a");
    EXPECT_FALSE(d->Modified());
    EXPECT_EQ(d->ChangeTerm("cherry", "c"), 1);
}

TEST_F(Dictionary, DeleteOnlyEntryLeavesEmptyModified) {
    auto d = saved({{"apple", "a"}});
    d->Delete(0);
    EXPECT_EQ(d->Count(), 0);
    EXPECT_TRUE(d->Modified());
}

TEST_F(Dictionary, EmptyTermIsAValidTerm) {
    TDictionary d;
    EXPECT_EQ(d.AddTerm("", "nothing"), 0);
    EXPECT_EQ(d.AddTerm("", "again"), -1);
    EXPECT_EQ(d.Find(""), 0);
}

// A batch must give exactly what one AddTerm per pair gives: present terms win, then the
// first of equal newcomers, whatever their case.
TEST_F(Dictionary, BatchAddEqualsTermByTermAdds) {
    std::mt19937 random(7);
    const std::vector<std::string> letters = {"a",    "B",    "c",    "D",    "\xe0", "\xc1",
                                              "\xe2", "\xc3", "\xb8", "\xa8", "-",    " "};
    auto word = [&] {
        std::string w;
        const int n = 1 + static_cast<int>(random() % 3);
        for (int i = 0; i < n; ++i)
            w += letters[random() % letters.size()];
        return w;
    };
    for (int round = 0; round < 20; ++round) {
        TDictionary byTerm;
        TDictionary byBatch;
        const int present = static_cast<int>(random() % 200);
        for (int i = 0; i < present; ++i) {
            const std::string w = word();
            byTerm.AddTerm(w, "old" + std::to_string(i));
            byBatch.AddTerm(w, "old" + std::to_string(i));
        }
        TTermBatch batch;
        int expectedAdded = 0;
        const int fresh = static_cast<int>(random() % 400);
        for (int i = 0; i < fresh; ++i) {
            const std::string w = word();
            if (byTerm.AddTerm(w, "new" + std::to_string(i)) >= 0)
                ++expectedAdded;
            batch.add(w, "new" + std::to_string(i));
        }
        EXPECT_EQ(byBatch.addTerms(std::move(batch)), expectedAdded);
        ASSERT_EQ(byBatch.Count(), byTerm.Count()) << round;
        for (int i = 0; i < byTerm.Count(); ++i) {
            EXPECT_EQ(byBatch.Term(i), byTerm.Term(i));
            EXPECT_EQ(byBatch.Article(i), byTerm.Article(i));
        }
    }
}

TEST_F(Dictionary, EmptyBatchLeavesModified) {
    auto d = saved({{"apple", "a"}});
    TTermBatch batch;
    batch.add("APPLE", "other");
    EXPECT_EQ(d->addTerms(std::move(batch)), 0);
    EXPECT_FALSE(d->Modified());
    EXPECT_EQ(d->Article(0), "a");
}

// Look-ups decide from a term's first bytes where they can; they must agree with a plain scan
// using the collator itself, for terms that share long beginnings, end within them, or hold
// bytes that need the full comparison.
TEST_F(Dictionary, FindAndLowerBoundAgreeWithLinearScan) {
    std::mt19937 random(23);
    const std::vector<std::string> pieces = {"ab",       "AB",   "abcdefgh", "\xe0\xe1",
                                             "\xc0\xc1", "\xb8", "\xe9",     "z",
                                             "-",        " ",    "l\xb7",    "0"};
    auto text = [&] { return randomText(random, pieces, 7); };
    const reference::TFullCollator full("");
    TDictionary d;
    for (int i = 0; i < 3000; ++i)
        d.AddTerm(text(), "");
    for (int i = 0; i < 3000; ++i) {
        const std::string probe = text();
        int expectedFound = -1;
        int expectedBound = d.Count();
        for (int k = 0; k < d.Count(); ++k) {
            const int c = full.terms(d.Term(k), probe);
            if (c >= 0 && expectedBound == d.Count())
                expectedBound = k;
            if (c == 0)
                expectedFound = k;
        }
        ASSERT_EQ(d.Find(probe), expectedFound) << probe;
        ASSERT_EQ(d.lowerBound(probe), expectedBound) << probe;
    }
}

// Deleting most of a dictionary gives the memory of deleted texts back; the entries that stay
// keep their exact texts.
TEST_F(Dictionary, EntriesSurviveDeletingMostOfTheDictionary) {
    TDictionary d;
    for (int i = 0; i < 3000; ++i)
        d.AddTerm("term" + std::to_string(100000 + i),
                  std::string(1000, static_cast<char>('a' + i % 26)));
    for (int i = 2999; i >= 0; --i) {
        if (i % 4 != 0)
            d.Delete(i);
    }
    ASSERT_EQ(d.Count(), 750);
    for (int k = 0; k < d.Count(); ++k) {
        const int i = k * 4;
        EXPECT_EQ(d.Term(k), "term" + std::to_string(100000 + i));
        EXPECT_EQ(d.Article(k), std::string(1000, static_cast<char>('a' + i % 26)));
    }
    EXPECT_EQ(d.AddTerm("term100001", "back"), 1);
}
