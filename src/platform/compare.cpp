#include "platform/compare.h"

#include <unicode/ucol.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/codepage.h"
#include "platform/error.h"

namespace compare {
namespace {

struct CollatorCloser {
    void operator()(UCollator* c) const { ucol_close(c); }
};

std::string environmentLocale() {
    for (const char* name : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            std::string locale(value);
            // "ru_RU.UTF-8@euro" → "ru_RU": ICU wants neither the charset nor the modifier.
            locale = locale.substr(0, locale.find_first_of(".@"));
            if (locale == "C" || locale == "POSIX")
                return "";
            return locale;
        }
    }
    return "";
}

struct State {
    std::string locale = environmentLocale();
    std::unique_ptr<UCollator, CollatorCloser> collator;
};

State& state() {
    static State s;
    return s;
}

UCollator* collator() {
    State& s = state();
    if (!s.collator) {
        UErrorCode status = U_ZERO_ERROR;
        UCollator* c = ucol_open(s.locale.empty() ? "" : s.locale.c_str(), &status);
        if (U_FAILURE(status)) {
            status = U_ZERO_ERROR;
            c = ucol_open("", &status);
        }
        if (U_FAILURE(status))
            throw TError("Cannot open the collator");
        // Secondary strength: base letters and accents count, letter case does not.
        ucol_setStrength(c, UCOL_SECONDARY);
        s.collator.reset(c);
    }
    return s.collator.get();
}

// Converts Windows-1251 bytes to UTF-16 into buf (stack for short terms, heap otherwise).
struct Utf16 {
    static constexpr size_t kInline = 256;
    UChar inline_[kInline];
    std::u16string heap;
    const UChar* data = nullptr;
    int32_t length = 0;

    explicit Utf16(std::string_view text) {
        UChar* out = inline_;
        if (text.size() > kInline) {
            heap.resize(text.size());
            out = heap.data();
        }
        for (size_t i = 0; i < text.size(); ++i)
            out[i] = static_cast<UChar>(codepage::toUnicode(static_cast<unsigned char>(text[i])));
        data = out;
        length = static_cast<int32_t>(text.size());
    }
};

}  // namespace

int terms(std::string_view a, std::string_view b) {
    UCollator* c = collator();
    const Utf16 ua(a);
    const Utf16 ub(b);
    return static_cast<int>(ucol_strcoll(c, ua.data, ua.length, ub.data, ub.length));
}

size_t appendSortKey(std::string_view term, std::string& out) {
    UCollator* c = collator();
    const Utf16 u(term);
    const size_t start = out.size();
    // Most keys of secondary strength take about two bytes per character.
    size_t room = 2 * term.size() + 16;
    for (;;) {
        out.resize(start + room);
        const int32_t needed =
            ucol_getSortKey(c, u.data, u.length, reinterpret_cast<uint8_t*>(out.data() + start),
                            static_cast<int32_t>(room));
        if (needed > 0 && static_cast<size_t>(needed) <= room) {
            out.resize(start + static_cast<size_t>(needed));
            return static_cast<size_t>(needed);
        }
        if (needed <= 0)
            throw TError("Cannot make a collation key");
        room = static_cast<size_t>(needed);
    }
}

std::string localeName() {
    collator();
    return state().locale.empty() ? "root" : state().locale;
}

void setLocale(const std::string& locale) {
    State& s = state();
    s.locale = locale;
    s.collator.reset();
}

}  // namespace compare
