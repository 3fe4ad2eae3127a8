#pragma once

#include <optional>
#include <string>
#include <string_view>

// Windows-1251 ⇄ Unicode. Every byte 00–FF maps to one character and back unchanged (the
// unassigned 98 hex maps to U+0098), so text read from a file can always be written back.
namespace codepage {

// The Unicode character of one Windows-1251 byte.
char32_t toUnicode(unsigned char byte);

// The Windows-1251 byte of a character, or -1 when the code page cannot hold it.
int fromUnicode(char32_t ch);

// Windows-1251 bytes → UTF-8. Never fails.
std::string toUtf8(std::string_view cp1251);

// UTF-8 → Windows-1251, strictly: returns nullopt when some character has no byte, and stores
// the first such character in *firstBad when firstBad is given. Malformed UTF-8 counts as
// U+FFFD, which the code page cannot hold.
std::optional<std::string> fromUtf8(std::string_view utf8, char32_t* firstBad = nullptr);

// One well-formed UTF-8 character at text[i], i then past it; nothing, i unchanged, when the
// bytes there are not one (a stray or over-long form, a surrogate, a value beyond Unicode, a
// sequence cut short). Requires i < text.size().
std::optional<char32_t> decodeUtf8(std::string_view text, size_t& i);

// Appends the UTF-8 bytes of a character (at most U+10FFFF) to out.
void appendUtf8(std::string& out, char32_t ch);

// Text made harmless for a terminal: control characters (C0 but LF and TAB, and DEL), which
// could move the cursor, retitle or clear the terminal, are written as "\xHH" (the character's
// code); a CR stays only before an LF. In UTF-8 text (utf8) the C1 range U+0080–U+009F is
// escaped too; Windows-1251 bytes 80–9F are letters and stay. The rest is kept.
std::string escapeControls(std::string_view text, bool utf8 = true);

}  // namespace codepage
