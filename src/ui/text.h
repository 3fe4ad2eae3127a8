#pragma once

#include <QString>

#include <exception>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "dictionary/dictionary.h"

// The windows' side of the text boundary: the core holds Windows-1251 bytes (or, for a
// dictionary of another format read in place, UTF-8 as written), widgets hold QString. Text
// crosses only here.

// Windows-1251 bytes as a QString. Never fails: every byte has a character.
QString fromCp1251(std::string_view text);

// A QString as Windows-1251 bytes, or nullopt when some character has no byte in the code page;
// the first such character then goes to *firstBad when firstBad is given.
std::optional<std::string> toCp1251(const QString& text, char32_t* firstBad = nullptr);

// The form in which a dictionary would hold text, for looking a word up: as it is when
// Windows-1251 holds it, otherwise folded as the converters fold headwords (é → e, ß → ss);
// nullopt when some character has no near form in the code page.
std::optional<std::string> lookupForm(const QString& text);

// The same three for a dictionary's text in its form (TDictionary::textForm): Windows-1251 as
// above, or UTF-8, which holds every character, is never folded and so never refuses.
QString fromForm(std::string_view text, TTextForm form);
std::optional<std::string> toForm(const QString& text, TTextForm form,
                                  char32_t* firstBad = nullptr);
std::optional<std::string> lookupForm(const QString& text, TTextForm form);

// The first character, taking the texts in order, that Windows-1251 cannot hold; nullopt when
// every text can be stored.
std::optional<char32_t> firstUnstorable(std::initializer_list<QString> texts);

class QTextDocument;

// A stored text with CR LF, bare LF or bare CR line breaks as the lines of a text box (LF).
QString toBoxLines(QString text);

// The whole text of a text box's document with its lines joined by CR LF, no break after the
// last one. The raw text is taken, so no-break spaces stay as they are; paragraphs and line
// separators (Enter, Shift+Enter) both count as line breaks.
QString fromBoxLines(const QTextDocument& document);

// The information box's text for a typed character that Windows-1251 cannot hold: names the
// character and its code, so the user sees exactly what to change.
QString unstorableCharacterText(char32_t character);

// The text of an error for the error box. The core's messages are Windows-1251 like all its
// text, but a file name inside one comes from the disk as UTF-8; a message that is valid UTF-8
// is taken as such.
QString errorText(const std::exception& error);
