#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// How often text had to be changed to fit Windows-1251.
struct TFoldCounts {
    uint64_t folded = 0;    // characters written as a near form (base letter, X-SAMPA, ASCII)
    uint64_t replaced = 0;  // characters written as "?" because no near form exists

    TFoldCounts& operator+=(const TFoldCounts& other) {
        folded += other.folded;
        replaced += other.replaced;
        return *this;
    }
};

// Writes UTF-8 text from other dictionary formats as Windows-1251, so that nothing the code page
// can hold changes and the rest is brought as near as it can be:
//
//   - characters the code page holds are written as they are;
//   - line breaks become bare LF (CR LF and a lone CR alike);
//   - symbols of the phonetic alphabet become X-SAMPA, its ASCII form (ə → @, ʃ → S, ˈ → ");
//     letters that are also phonetic symbols (æ, ð, θ, ŋ …) are read as phonetic only inside
//     a transcription, that is between "[" and "]" on one line, or in a text that is a
//     transcription as a whole;
//   - accented and other Latin letters and typographic signs fold to ASCII (é → e, ß → ss,
//     → → ->), box-drawing lines to "-", "|" and "+"; a combining accent on its own is dropped;
//   - anything else, a zero byte included (it would end the text in a dictionary file), is "?".
//
// Bytes that are not well-formed UTF-8 are read as Latin-1 characters, which is what older
// databases mixed into their UTF-8 text.
class TCodePageFolder {
public:
    TCodePageFolder();
    ~TCodePageFolder();
    TCodePageFolder(const TCodePageFolder&) = delete;
    TCodePageFolder& operator=(const TCodePageFolder&) = delete;

    // Appends the Windows-1251 form of utf8 to out and returns what had to change. With
    // transcription, the whole text is read as a transcription.
    TFoldCounts append(std::string_view utf8, std::string& out, bool transcription = false);

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

// The form in which a dictionary would hold a word looked up (UTF-8): as it is when Windows-1251
// holds it, otherwise folded as the converters fold headwords (é → e, ß → ss); nullopt when some
// character has no near form in the code page. The window's look-ups and the tool's share it.
std::optional<std::string> foldForLookup(std::string_view utf8);
