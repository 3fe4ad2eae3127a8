#pragma once

#include <string>
#include <string_view>
#include <vector>

// The text conventions of Mueller's English–Russian dictionary in its dictd form (UTF-8).
//
// An article starts with its headword's line; then come its senses, one a line, each opened by a
// marker: "_I", "_II" … for homonyms, a transcription in brackets, "1." … for a part of speech,
// "1)" … for a sense, "а)" … for a shade of a sense or for the translations of the phrase that
// ends the line before. A line without a marker continues the one before (the text was wrapped
// at a fixed width). Marks of grammar and usage start with "_": "_n.", "_v.", "_разг.".
//
// The transcriptions use stand-in symbols, read by what they mean: ɜ is the schwa (ɜ: the long
// vowel of "bird"), ɘ the vowel of "hot" (ɘ: of "saw"), ɛ the e of "bed", a plain e only opens
// the diphthong of "hair", and ↗ ↘ put the main and the secondary stress before a syllable.

// The lines of a Mueller article as its author meant them: the headword's line left out, each
// line without a marker joined to the one before by a blank, ends trimmed of blanks (the
// indentation before each line is kept). Where a meaning line ends in another word's
// transcription and a new first part of speech follows ("савин … [↗sɛɪvɪŋ]" then "1."), the
// source glued the next entry on: the article ends before that transcription.
std::vector<std::string> muellerLines(std::string_view headword, std::string_view article);

// The X-SAMPA form of a transcription written with Mueller's stand-ins (the text between the
// brackets): ɜ → @, ɜ: → 3:, ʊ: → u:, oʊ → @U, ɘ → O, ɛ → e, e → E, ɪ → I, ʊ → U, æ → {, ʌ → V,
// ɑ → A, ʃ → S, ʒ → Z, θ → T, ð → D, ŋ → N, ↗ → ", ↘ → %; other characters stay as they are.
std::string muellerTranscription(std::string_view standIns);

// The headword as a term: the entries of the list of abbreviations ("_ам.", "_n.") are found
// as a reader types them, without the "_".
std::string_view muellerHeadword(std::string_view headword);

// One line of Mueller's as text: each transcription in X-SAMPA, the marks without their "_"
// ("_n." → "n.", "_I" → "I"), a blank put where a mark was glued to what stands before it.
std::string muellerLineText(std::string_view line);

// The article as the program shows it: muellerLines, each as muellerLineText, one a line.
std::string muellerArticle(std::string_view headword, std::string_view article);
