#include "interchange/fold_1251.h"

#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <optional>
#include <unordered_map>

#include "platform/codepage.h"

namespace {

constexpr char kReplacement = '?';

struct TPhoneticSymbol {
    char32_t ch;
    const char* xsampa;
};

// The phonetic alphabet in X-SAMPA. Symbols from the IPA block and the modifier letters
// (U+0250–U+02FF) are phonetic wherever they stand; the others are letters or signs of
// ordinary text too and are read this way only inside a transcription. The arrows are the
// stress marks that some transcriptions put before the stressed syllable.
constexpr TPhoneticSymbol kPhonetic[] = {
    {0x0250, "6"},
    {0x0251, "A"},
    {0x0252, "Q"},
    {0x0253, "b_<"},
    {0x0254, "O"},
    {0x0255, "s\\"},
    {0x0256, "d`"},
    {0x0257, "d_<"},
    {0x0258, "@\\"},
    {0x0259, "@"},
    {0x025A, "@`"},
    {0x025B, "E"},
    {0x025C, "3"},
    {0x025D, "3`"},
    {0x025E, "3\\"},
    {0x025F, "J\\"},
    {0x0260, "g_<"},
    {0x0261, "g"},
    {0x0262, "G\\"},
    {0x0263, "G"},
    {0x0264, "7"},
    {0x0265, "H"},
    {0x0266, "h\\"},
    {0x0267, "x\\"},
    {0x0268, "1"},
    {0x026A, "I"},
    {0x026B, "5"},
    {0x026C, "K"},
    {0x026D, "l`"},
    {0x026E, "K\\"},
    {0x026F, "M"},
    {0x0270, "M\\"},
    {0x0271, "F"},
    {0x0272, "J"},
    {0x0273, "n`"},
    {0x0274, "N\\"},
    {0x0275, "8"},
    {0x0276, "&"},
    {0x0278, "p\\"},
    {0x0279, "r\\"},
    {0x027A, "l\\"},
    {0x027B, "r\\`"},
    {0x027D, "r`"},
    {0x027E, "4"},
    {0x0280, "R\\"},
    {0x0281, "R"},
    {0x0282, "s`"},
    {0x0283, "S"},
    {0x0284, "J\\_<"},
    {0x0288, "t`"},
    {0x0289, "}"},
    {0x028A, "U"},
    {0x028B, "P"},
    {0x028C, "V"},
    {0x028D, "W"},
    {0x028E, "L"},
    {0x028F, "Y"},
    {0x0290, "z`"},
    {0x0291, "z\\"},
    {0x0292, "Z"},
    {0x0294, "?"},
    {0x0295, "?\\"},
    {0x0298, "O\\"},
    {0x0299, "B\\"},
    {0x029B, "G\\_<"},
    {0x029C, "H\\"},
    {0x029D, "j\\"},
    {0x029F, "L\\"},
    {0x02A1, ">\\"},
    {0x02A2, "<\\"},
    {0x02A3, "dz"},
    {0x02A4, "dZ"},
    {0x02A6, "ts"},
    {0x02A7, "tS"},
    {0x02B0, "_h"},
    {0x02B2, "'"},
    {0x02B7, "_w"},
    {0x02BC, "_>"},
    {0x02C8, "\""},
    {0x02CC, "%"},
    {0x02D0, ":"},
    {0x02D1, ":\\"},
    {0x02DE, "`"},
    {0x02E0, "_G"},
    {0x02E4, "_?\\"},
    // Letters and signs shared with ordinary text.
    {0x00E6, "{"},
    {0x00E7, "C"},
    {0x00F0, "D"},
    {0x00F8, "2"},
    {0x0127, "X\\"},
    {0x014B, "N"},
    {0x0153, "9"},
    {0x03B2, "B"},
    {0x03B8, "T"},
    {0x03C7, "X"},
    {0x2197, "\""},
    {0x2198, "%"},
    {0x0303, "~"},
    {0x0325, "_0"},
    {0x0329, "="},
    {0x032F, "_^"},
};

bool phoneticEverywhere(char32_t ch) {
    return ch >= 0x0250 && ch <= 0x02FF;
}

const char* xsampa(char32_t ch) {
    for (const TPhoneticSymbol& symbol : kPhonetic) {
        if (symbol.ch == ch)
            return symbol.xsampa;
    }
    return nullptr;
}

// Box-drawing lines as the ASCII that plain-text tables draw them with.
const char* boxDrawing(char32_t ch) {
    if (ch < 0x2500 || ch > 0x257F)
        return nullptr;
    constexpr char32_t kHorizontal[] = {0x2500, 0x2501, 0x2504, 0x2505, 0x2508,
                                        0x2509, 0x254C, 0x254D, 0x2550, 0x2574,
                                        0x2576, 0x2578, 0x257A, 0x257C, 0x257E};
    constexpr char32_t kVertical[] = {0x2502, 0x2503, 0x2506, 0x2507, 0x250A,
                                      0x250B, 0x254E, 0x254F, 0x2551, 0x2575,
                                      0x2577, 0x2579, 0x257B, 0x257D, 0x257F};
    for (char32_t h : kHorizontal) {
        if (h == ch)
            return "-";
    }
    for (char32_t v : kVertical) {
        if (v == ch)
            return "|";
    }
    return "+";
}

// Signs that the transliteration leaves alone but that have a plain ASCII form.
const char* plainSign(char32_t ch) {
    switch (ch) {
        case 0x00B4:  // acute accent standing alone
            return "'";
        case 0x2190:
            return "<-";
        case 0x21D2:
            return "=>";
        case 0x21D4:
            return "<=>";
        case 0x223C:
            return "~";
        case 0x2260:
            return "!=";
        case 0x2264:
            return "<=";
        case 0x2265:
            return ">=";
        default:
            return boxDrawing(ch);
    }
}

// Decodes one UTF-8 character at text[i], advancing i. A byte that does not start a
// well-formed sequence is taken as a Latin-1 character on its own.
char32_t decodeLenient(std::string_view text, size_t& i) {
    if (const std::optional<char32_t> ch = codepage::decodeUtf8(text, i))
        return *ch;
    return static_cast<unsigned char>(text[i++]);
}

// The Windows-1251 bytes of a Unicode text, or nothing when a character has none.
std::optional<std::string> toCodePage(const icu::UnicodeString& text) {
    std::string out;
    for (int32_t k = 0; k < text.length();) {
        const UChar32 c = text.char32At(k);
        k += U16_LENGTH(c);
        const int byte = codepage::fromUnicode(static_cast<char32_t>(c));
        if (byte <= 0)
            return std::nullopt;
        out.push_back(static_cast<char>(byte));
    }
    return out;
}

}  // namespace

struct TCodePageFolder::TImpl {
    struct TOutcome {
        std::string text;
        bool replaced = false;
    };

    std::unordered_map<uint64_t, TOutcome> cache;
    std::unique_ptr<icu::Transliterator> latinAscii;
    bool latinAsciiTried = false;

    // Where the text being converted stands as to transcriptions, worked out up to scanned.
    const char* text = nullptr;
    size_t scanned = 0;
    bool inBrackets = false;

    bool insideBrackets(std::string_view utf8, size_t at) {
        if (text != utf8.data() || at < scanned) {
            text = utf8.data();
            scanned = 0;
            inBrackets = false;
        }
        for (; scanned < at; ++scanned) {
            const char c = utf8[scanned];
            if (c == '[')
                inBrackets = true;
            else if (c == ']' || c == '\n')
                inBrackets = false;
        }
        return inBrackets;
    }

    const TOutcome& outcome(char32_t ch, bool transcription) {
        const uint64_t key = (static_cast<uint64_t>(ch) << 1) | (transcription ? 1 : 0);
        auto found = cache.find(key);
        if (found != cache.end())
            return found->second;
        return cache.emplace(key, work(ch, transcription)).first->second;
    }

    TOutcome work(char32_t ch, bool transcription) {
        if (transcription || phoneticEverywhere(ch)) {
            if (const char* x = xsampa(ch))
                return {x, false};
        }
        if (const char* sign = plainSign(ch))
            return {sign, false};
        const auto c = static_cast<UChar32>(ch);
        // An accent left on its own after its letter was written belongs to that letter.
        if (u_charType(c) == U_NON_SPACING_MARK)
            return {"", false};
        if (!latinAsciiTried) {
            latinAsciiTried = true;
            UErrorCode status = U_ZERO_ERROR;
            latinAscii.reset(
                icu::Transliterator::createInstance("Latin-ASCII", UTRANS_FORWARD, status));
            if (U_FAILURE(status))
                latinAscii.reset();
        }
        if (latinAscii) {
            icu::UnicodeString text(c);
            latinAscii->transliterate(text);
            if (text != icu::UnicodeString(c)) {
                if (auto bytes = toCodePage(text); bytes && !bytes->empty())
                    return {*bytes, false};
            }
        }
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2* nfkd = icu::Normalizer2::getNFKDInstance(status);
        if (U_SUCCESS(status)) {
            const icu::UnicodeString decomposed = nfkd->normalize(icu::UnicodeString(c), status);
            icu::UnicodeString bare;
            for (int32_t k = 0; U_SUCCESS(status) && k < decomposed.length();) {
                const UChar32 part = decomposed.char32At(k);
                k += U16_LENGTH(part);
                if (u_charType(part) != U_NON_SPACING_MARK)
                    bare.append(part);
            }
            if (U_SUCCESS(status) && bare != icu::UnicodeString(c)) {
                if (auto bytes = toCodePage(bare); bytes && !bytes->empty())
                    return {*bytes, false};
            }
        }
        return {std::string(1, kReplacement), true};
    }
};

TCodePageFolder::TCodePageFolder() : impl_(std::make_unique<TImpl>()) {}

TCodePageFolder::~TCodePageFolder() = default;

TFoldCounts TCodePageFolder::append(std::string_view utf8, std::string& out, bool transcription) {
    TFoldCounts counts;
    const char* s = utf8.data();
    const size_t n = utf8.size();
    impl_->text = nullptr;
    size_t i = 0;
    while (i < n) {
        // Plain ASCII runs, nearly all of most texts, are copied as they are.
        const size_t start = i;
        while (i < n) {
            const auto b = static_cast<unsigned char>(s[i]);
            if (b >= 0x80 || b == '\r' || b == 0)
                break;
            ++i;
        }
        out.append(s + start, i - start);
        if (i == n)
            break;
        const auto b = static_cast<unsigned char>(s[i]);
        if (b == '\r') {
            out.push_back('\n');
            i += (i + 1 < n && s[i + 1] == '\n') ? 2 : 1;
            continue;
        }
        if (b == 0) {
            out.push_back(kReplacement);
            ++counts.replaced;
            ++i;
            continue;
        }
        const size_t at = i;
        const char32_t ch = decodeLenient(utf8, i);
        const int byte = codepage::fromUnicode(ch);
        if (byte > 0) {
            out.push_back(static_cast<char>(byte));
            continue;
        }
        const bool phonetic = transcription || impl_->insideBrackets(utf8, at);
        const TImpl::TOutcome& result = impl_->outcome(ch, phonetic);
        out.append(result.text);
        if (result.replaced)
            ++counts.replaced;
        else
            ++counts.folded;
    }
    return counts;
}

std::optional<std::string> foldForLookup(std::string_view utf8) {
    if (std::optional<std::string> exact = codepage::fromUtf8(utf8))
        return exact;
    std::string folded;
    TCodePageFolder folder;
    if (folder.append(utf8, folded).replaced > 0)
        return std::nullopt;
    return folded;
}
