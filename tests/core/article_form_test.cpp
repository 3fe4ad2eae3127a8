// How converted articles are brought into a dictionary: prose paragraphs made one line, and
// Mueller's dictionary read by its own conventions, forward and as a Russian–English index.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>

#include "dictionary/dictionary.h"
#include "interchange/conversion.h"
#include "interchange/mueller_reverse.h"
#include "interchange/mueller_text.h"
#include "interchange/prose_text.h"
#include "platform/codepage.h"

namespace {

struct TProseCase {
    const char* what;
    const char* source;
    const char* joined;
};

const std::string kWrapped = "   A small fast memory holding recently accessed data, designed";

// Each shape that must stay, beside the two that are joined.
const TProseCase kProse[] = {
    {"paragraph",
     "   A small fast memory holding recently accessed data, designed\n   to speed up access.",
     "   A small fast memory holding recently accessed data, designed to speed up access."},
    {"hanging indent",
     "    adj 1: used of physical heat; having a high or higher than\n"
     "           desirable temperature\n    2: violent",
     "    adj 1: used of physical heat; having a high or higher than desirable temperature\n"
     "    2: violent"},
    {"item whose lines share its indent",
     "    4. vt. To work on something (typically a program). In an\n    immediate sense.",
     "    4. vt. To work on something (typically a program). In an immediate sense."},
    {"dash that is prose",
     "   The characteristic of a cache is its {hit rate} and so on\n   - the fraction.",
     "   The characteristic of a cache is its {hit rate} and so on - the fraction."},
    {"body text wrapped early inside a sentence, and a year that wrapping brought first",
     "   <web> A misspelling of \"referrer\" which somehow\n"
     "   made it into the {HTTP} standard; it was coined in the year\n   1913) at last.",
     "   <web> A misspelling of \"referrer\" which somehow made it into the {HTTP} standard; it "
     "was coined in the year 1913) at last."},
    {"a factorial that wrapping brought first",
     "   towns, N, increases since the number of possible routes is\n   !(N-1).  A more",
     "   towns, N, increases since the number of possible routes is !(N-1).  A more"},
    {"the end of a processing instruction that wrapping brought first",
     "   (\"<?xml-stylesheet href=\"shop-english.xsl\" type=\"text/xsl\"\n   ?>\").",
     "   (\"<?xml-stylesheet href=\"shop-english.xsl\" type=\"text/xsl\" ?>\")."},
    {"suspended hyphens",
     "   Zilog now produce a range of 8-bit {microcontrollers}, 8-, 16-\n   and 32-bit "
     "{microprocessors}\n\n   Free Software Foundation; with no Invariant Sections, Front-\n"
     "   or Back-Cover Texts.",
     "   Zilog now produce a range of 8-bit {microcontrollers}, 8-, 16- and 32-bit "
     "{microprocessors}\n\n   Free Software Foundation; with no Invariant Sections, Front- or "
     "Back-Cover Texts."},
    {"an asterisk of prose that wrapping brought first",
     "    especially one made while running as {root} under Unix, e.g., typing rm -r\n"
     "    * or mkfs on a mounted file system.",
     "    especially one made while running as {root} under Unix, e.g., typing rm -r * or mkfs "
     "on a mounted file system."},
    {"blank line between paragraphs",
     "   A small fast memory holding recently accessed data, designed\n\n   to speed up access.",
     nullptr},
    {"headword and header lines", "cache\ncache memory\ncaching", nullptr},
    {"list items",
     "   The list holds the following items in this very order:\n   1. one\n   2) two\n"
     "   - three\n   * four\n   a) five",
     nullptr},
    {"short lines: a list without markers or code",
     "   Commercial versions:\n   APL SV\n   VS APL\n\n       int main() {\n       }", nullptr},
    {"code deeper than the body text",
     "   The body text of the article.\n   More of it.\n   The end of it.\n"
     "      \"Your IP address is: \", remote_host(),\n      end_html;",
     nullptr},
    {"a brace alone",
     "   int F=00,OO=00; main(){F_OO();printf(\"%1.3f\", 4.*-F/OO/OO);}F_OO()\n   {", nullptr},
    {"table", "   A small fast memory holding recently accessed data, designed\n   Name      Value",
     nullptr},
    {"deeper indent: a quotation",
     "   A small fast memory holding recently accessed data, designed\n       FOO: the syllable",
     nullptr},
    {"pronunciation line", "foo\n /foo/\n\n    1. interj. Term of disgust.", nullptr},
};

}  // namespace

TEST(ProseArticle, JoinsWrappedProseAndKeepsEveryOtherShape) {
    for (const TProseCase& c : kProse) {
        EXPECT_EQ(proseArticle(c.source), c.joined ? c.joined : c.source) << c.what;
        EXPECT_EQ(proseArticle(std::string(c.source) + "\n"),
                  std::string(c.joined ? c.joined : c.source) + "\n")
            << c.what << " (with the final line break)";
    }
}

TEST(MuellerText, TranscriptionsReadByMeaningAndMarksAsText) {
    const std::map<std::string, std::string> transcriptions = {
        {"ɜ↗baʊt", "@\"baUt"}, {"hɘt", "hOt"},     {"heɜ", "hE@"},   {"bɜ:d", "b3:d"},
        {"sɘ:", "sO:"},        {"bɛd", "bed"},     {"θɪŋk", "TINk"}, {"ðæt", "D{t"},
        {"kʌt", "kVt"},        {"↘ʃɑ:ʒ", "%SA:Z"}, {"fʊ:d", "fu:d"}, {"-oʊz", "-@Uz"},
    };
    for (const auto& [standIns, xsampa] : transcriptions)
        EXPECT_EQ(muellerTranscription(standIns), xsampa) << standIns;

    const std::string article =
        "hot\n   _I  [hɘt]\n      1. _a.\n         1) горячий; boiling hot\n         кипящий\n"
        "         2)_attr. hot line _разг. горячая линия\n   _III[hɘt] _v. греть";
    EXPECT_EQ(muellerArticle("hot", article),
              "   I  [hOt]\n      1. a.\n         1) горячий; boiling hot кипящий\n"
              "         2) attr. hot line разг. горячая линия\n   III [hOt] v. греть");
    // An entry the source glued on after a transcription ends the article.
    EXPECT_EQ(muellerArticle("savin",
                             "savin\n   [↗sævɪn] _n. можжевельник [↗sɛɪvɪŋ]\n"
                             "   1. _pres-p. от save\n   2. _n. спасение"),
              "   [\"s{vIn] n. можжевельник");
    EXPECT_EQ(muellerHeadword("_ам."), "ам.");
}

TEST(MuellerReverse, ListsTheMostDirectTranslationFirstAndSkipsWhatIsNoTerm) {
    TMuellerReverse reverse;
    reverse.add("tabby", "tabby\n   [↗tæbɪ] _n.\n   1) полосатая кошка\n   2) сплетница, кошка");
    reverse.add("cat",
                "cat\n   _I  [kæt]\n      1. _n.\n         1) кот; кошка; tom cat кот, котяра\n"
                "         2) _разг. кошка (плеть)");
    reverse.add("grimalkin", "grimalkin\n   [grɪ↗mælkɪn] _n.\n   1) старая кошка\n   2) кошка");
    reverse.add("hair",
                "hair\n   [heɜ] _n.\n   1) волосы; to let one's hair down\n"
                "      а) распустить волосы;\n      б) вести себя очень свободно и легко\n"
                "   2) (очень) длинный ворс животного, {см. тж.}; = fur");
    std::map<std::string, std::string> articles;
    reverse.forEach([&](std::string_view term, std::string_view article) {
        articles[std::string(term)] = std::string(article);
    });

    // Each headword once at its best sense: "кошка" in cat's first sense before the second
    // senses of grimalkin's (where it comes first) and tabby's (where it comes second).
    EXPECT_EQ(articles["кошка"],
              "cat (n.): кот; кошка\ngrimalkin (n.): кошка\ntabby (n.): сплетница, кошка");
    EXPECT_EQ(articles["кот"], "cat (n.): кот; кошка");
    EXPECT_EQ(articles["длинный ворс животного"],
              "hair (n.): (очень) длинный ворс животного, {см. тж.}");
    EXPECT_EQ(articles.count("котяра"), 0u) << "a translation of an English example";
    EXPECT_EQ(articles.count("распустить волосы"), 0u) << "a translation of a phrase";
    EXPECT_EQ(articles.count("вести себя очень свободно и легко"), 0u) << "more than four words";
    EXPECT_EQ(articles.size(), 7u);  // and полосатая кошка, сплетница, старая кошка, волосы
}

namespace {

struct TReverseCase {
    const char* term;
    const char* article;  // its article's lines, nullptr where it must be no term
};

// Entries read together: labels of usage at each level, WordNet's counts, notes in parentheses
// before a translation, examples and descriptions that are no terms, and a row of our own.
const char* const kReverseEntries[][2] = {
    {"nob", "nob\n   _I  [nɘb] _разг.\n      1. _n.\n         1) голова, башка"},
    {"head", "head\n   [hɛd]\n   1. _n.\n      1) голова; (by) a head taller на голову выше"},
    {"pate", "pate\n   [pɛɪt] _n. голова, башка"},
    {"write", "write\n   [raɪt] _v. (wrote, written) писать"},
    {"limn", "limn\n   [lɪm] _v.\n   1) писать (картину, портрет; обыкн. шутл.)"},
    {"and", "and\n   [ænd] _cj.\n   1) соединительный союз и; boys and girls мальчики и девочки"},
    {"will",
     "will\n   [wɪl] _n.\n   1) завещание; a will of one's own своеволие; было бы желание, а "
     "возможность найдётся"},
    {"once", "once\n   [wʌns] _adv. служит для усиления: once you hesitate вы пропали"},
    {"pike", "pike\n   [paɪk] _n. застава, где взимается сбор"},
    {"name", "name\n   [nɛɪm] _n.\n   1) имя (тж. _ам. given name)"},
    {"forename", "forename\n   [↗fɘ:nɛɪm] _n. имя"},
    {"acridity", "acridity\n   [æ↗krɪdɪtɪ] _n. острота и пр. {см. acrid}"},
    {"that", "that\n   [ðæt] (полная форма); [ðɜt] (редуцированная форма) _cj. что, чтобы"},
    {"RedIndian", "RedIndian\n   [↗rɛd↗ɪndjɜn] _n. индеец"},
    {"blackbird", "blackbird\n   [↗blækbɜ:d] _n. чёрный дрозд"},
    {"export", "export\n   1. _n. экспорт\n   2. _v. [ɛks↗pɘ:t] экспортировать, вывозить"},
};

const TReverseCase kReverse[] = {
    // An unlabelled sense first, the more common word first; the homonym's label holds.
    {"голова", "head (n.): голова\npate (n.): голова, башка\nnob (n.): голова, башка"},
    {"писать",
     "write (v.): (wrote, written) писать\nlimn (v.): писать (картину, портрет; обыкн. "
     "шутл.)"},
    {"и", "and (cj.): соединительный союз и"},
    {"имя", "name (n.): имя (тж. ам. given name)\nforename (n.): имя"},
    {"острота", "acridity (n.): острота и пр. {см. acrid}"},
    {"что", "that (cj.): что, чтобы"},
    {"можно", "may (v.): можно; можно войти? — may I come in?\ncan (v.): можно"},
    {"застава", "pike (n.): застава, где взимается сбор"},
    {"завещание", "will (n.): завещание"},
    // A compound the source glued is spelt as WordNet spells it, one WordNet has whole stays.
    {"индеец", "Red Indian (n.): индеец"},
    {"чёрный дрозд", "blackbird (n.): чёрный дрозд"},
    {"экспортировать", "export (v.): экспортировать, вывозить"},
    {"мальчики и девочки", nullptr},
    {"было бы желание", nullptr},
    {"вы пропали", nullptr},
    {"где взимается сбор", nullptr},
    {"острота и пр", nullptr},
    {"соединительный союз и", nullptr},
};

}  // namespace

TEST(MuellerReverse, OrdersByUsageAndLeavesOutWhatIsNoTranslation) {
    TMuellerReverse reverse;
    EXPECT_EQ(reverse.setFrequencies("head%1:08:00:: 1 50\npate%1:08:00:: 1 2\n"
                                     "name%1:10:00:: 1 30\nnot a count line\n"),
              3u);
    EXPECT_EQ(reverse.addSupplement("# our rows\n\nможно\tmay\tv.\tможно войти? — may I come "
                                    "in?\nможно\tcan\tv.\n"),
              2u);
    EXPECT_THROW(reverse.addSupplement("можно\tmay"), std::invalid_argument);
    EXPECT_EQ(reverse.addLemmas("  1 The licence\nred_indian n 1 1 @ 1 0 09724234\n"
                                "black_bird n 1 1 @ 1 0 1\nblackbird n 1 1 @ 1 0 2\n"),
              3u);
    for (const auto& [headword, article] : kReverseEntries)
        reverse.add(headword, article);
    std::map<std::string, std::string> articles;
    reverse.forEach([&](std::string_view term, std::string_view article) {
        articles[std::string(term)] = std::string(article);
    });
    for (const TReverseCase& c : kReverse) {
        if (c.article)
            EXPECT_EQ(articles[c.term], c.article) << c.term;
        else
            EXPECT_EQ(articles.count(c.term), 0u) << c.term;
    }
}

TEST(MuellerReverse, TheConversionBuildsTheReverseDictionaryInWindows1251) {
    TConversion conversion;
    conversion.setForm(TArticleForm::mueller);
    conversion.setMuellerReverse();
    conversion.add("cat", "cat\n   [kæt] _n. кошка");
    conversion.add("dog", "dog\n   [dɘg] _n. собака");
    TDictionary dictionary;
    EXPECT_EQ(conversion.finish(dictionary).terms, 2);
    const int at = dictionary.Find(codepage::fromUtf8("кошка").value());
    ASSERT_GE(at, 0);
    EXPECT_EQ(dictionary.Article(at), codepage::fromUtf8("cat (n.): кошка").value());
}
