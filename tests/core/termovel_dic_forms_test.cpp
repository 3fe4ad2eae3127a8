#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "platform/codepage.h"
#include "platform/compare.h"
#include "test_support.h"

namespace {

bool haveMorphology() {
    return std::filesystem::exists("/usr/share/hunspell/ru_RU.dic") &&
           std::filesystem::exists("/usr/share/hunspell/en_US.dic") &&
           std::filesystem::exists("/usr/share/wordnet/noun.exc");
}

class TermovelDicForms : public ::testing::Test {
public:
    // Runs the lookup; out is standard output, err standard error.
    struct TRun {
        int code;
        std::string out, err;
    };

protected:
    void SetUp() override {
        compare::setLocale("");
        dic_ = temp_.path() + "/forms.dic";
        TDictionary d;
        for (const auto& [term, article] :
             std::vector<std::pair<std::string, std::string>>{{"кошка", "cat"},
                                                              {"ещё", "more"},
                                                              {"go", "идти"},
                                                              {"mouse", "мышь"},
                                                              {"look up", "искать"},
                                                              {"house", "дом"},
                                                              {"horse", "лошадь"}})
            d.AddTerm(codepage::fromUtf8(term).value(), codepage::fromUtf8(article).value());
        d.SaveToFile(dic_);
    }

    TRun lookup(const std::string& arguments) {
        const std::string errFile = temp_.path() + "/err";
        const TToolRun run =
            runShell("LC_ALL=C XDG_CACHE_HOME=" + temp_.path() + " timeout 60 " +
                     TERMOVEL_TOOL_PATH + " lookup " + dic_ + " " + arguments + " 2>" + errFile);
        return {run.code, run.out, readFile(errFile)};
    }

    TTempFolder temp_;
    std::string dic_;
};

struct TCase {
    std::string arguments;
    int code;
    std::string out;  // standard output, whole
    std::string err;  // standard error, whole
    bool needsMorphology = true;
};

void check(const std::vector<TCase>& cases,
           const std::function<TermovelDicForms::TRun(const std::string&)>& run) {
    for (const TCase& c : cases) {
        if (c.needsMorphology && !haveMorphology())
            continue;
        const auto result = run(c.arguments);
        EXPECT_EQ(result.code, c.code) << c.arguments;
        EXPECT_EQ(result.out, c.out) << c.arguments;
        EXPECT_EQ(result.err, c.err) << c.arguments;
    }
}

}  // namespace

TEST_F(TermovelDicForms, AFormAnswersAndIsNamedOnStandardError) {
    const std::vector<TCase> cases = {
        {"кошка", 0, "cat\n", ""},
        {"кошки", 0, "cat\n", "«кошки» → кошка\n"},
        {"--no-index Кошкой", 0, "cat\n", "«Кошкой» → кошка\n"},
        {"еще", 0, "more\n", "«еще» → ещё\n", false},
        {"mice", 0, "мышь\n", "«mice» → mouse\n"},
        {"went --no-index", 0, "идти\n", "«went» → go\n"},
        {"'\"House\",'", 0, "дом\n", "«\"House\",» → House\n", false},
        {"'looked up'", 0, "искать\n", "«looked up» → look up\n"},
    };
    check(cases, [this](const std::string& a) { return lookup(a); });
}

TEST_F(TermovelDicForms, ExactKeepsTheWordAsWritten) {
    const std::vector<TCase> cases = {
        {"кошки --exact", 1, "", "termovel-dic: Термин не найден: кошки\n", false},
        {"--exact еще --no-index", 1, "", "termovel-dic: Термин не найден: еще\n", false},
        {"--exact кошка", 0, "cat\n", "", false},
        // With two arguments the second is the term, whatever it says.
        {"--exact", 1, "", "termovel-dic: Термин не найден: --exact\n", false},
    };
    check(cases, [this](const std::string& a) { return lookup(a); });
}

TEST_F(TermovelDicForms, NothingAnsweringSuggestsNearTermsAndExitsWithOne) {
    const std::vector<TCase> cases = {
        {"hosue", 1, "",
         "termovel-dic: Термин не найден: hosue\nВозможно, вы искали: house, horse, mouse\n",
         false},
        {"mosue", 1, "",
         "termovel-dic: Термин не найден: mosue\nВозможно, вы искали: mouse, house\n", false},
        {"кшка", 1, "", "termovel-dic: Термин не найден: кшка\nВозможно, вы искали: кошка\n",
         false},
        {"xylophone", 1, "", "termovel-dic: Термин не найден: xylophone\n", false},
    };
    check(cases, [this](const std::string& a) { return lookup(a); });
}
