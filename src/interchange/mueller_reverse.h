#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// The Russian–English index of Mueller's English–Russian dictionary (see mueller_text.h for how
// its articles are written). Every Russian translation of a sense becomes a term; its article
// lists the English headwords it translates, one a line: the headword, its part of speech and
// the sense's Russian text for context ("cat (n.): кот; кошка").
//
// A sense's text is split at ";" and "," outside parentheses. A clause whose first letter
// outside parentheses is Latin is an English example with its translation and is left out
// whole, as is every clause after it in the sense (the translations of that example), the
// examples after a description's colon ("служит для усиления: once you …"), and the
// translations listed under a phrase ("а)", "б)" after a line ending in English). Further
// transcriptions and the forms they name ("(полная форма)") are no part of a sense's line.
// Marks and notes in parentheses or braces are no part of a term; a term has Cyrillic letters,
// no Latin ones, and at most four words. An item that only continues the one before it (opening
// with "где", "который", "а", "но" …) or describes rather than translates ("указывает на …", "в
// сложных словах …") is no term; "соединительный союз и" is the term "и".
//
// The headwords of a term are ordered by how the word is used: senses without a label of usage
// before those with a label of field (тех., мед.) and those before the ones labelled by style
// or region (разг., уст., поэт., ам., жарг. …), a label counting for everything under it (the
// homonym, the part of speech, the sense, the clause; a note naming English words labels
// those words only). Among equals, the one whose English word is more common in its part of
// speech (setFrequencies) comes first, the count divided by the square of the sense's number
// and by the cube of the term's place in its sense (both counted from 1), so that a common word
// where the term stands late (work: "работа; труд; занятие; дело") gives way to one that it
// opens (business: "дело"); then the lower sense's number, the earlier place, the shorter
// headword and the order read. Each headword is listed once, at its best sense. Rows of the
// supplement (addSupplement) come before all, in the table's order.
class TMuellerReverse {
public:
    // Reads one entry: its headword and its article as the database holds it (UTF-8).
    void add(std::string_view headword, std::string_view article);

    // Takes how often English words are used from WordNet's sense counts (cntlist.rev: one sense
    // a line, "lemma%type:… number count", type 1 noun, 2 verb, 3 and 5 adjective, 4 adverb):
    // the counts of a word's senses summed for each part of speech. Returns the number of lines
    // read; a line of another shape is passed over.
    size_t setFrequencies(std::string_view cntlist);

    // Takes the words of a WordNet index file (index.noun, index.verb …: one word a line,
    // "lemma pos …", words joined by "_" or "-"): a headword written glued ("RedIndian",
    // "shortcircuit", "cato'ninetails") that is no word there but is one of them without its
    // blanks and hyphens is listed as that word spells it ("Red Indian", "short circuit",
    // "cat-o'-nine-tails"), in the headword's letter case. Returns the number of words read.
    size_t addLemmas(std::string_view index);

    // Adds translations of our own (UTF-8 text, a row a line, fields split by TAB): the Russian
    // term, the English word, its part of speech and a line of usage. Empty lines and lines
    // opening with "#" are passed over. Returns the rows taken; throws std::invalid_argument
    // naming the line of a row with fewer than three fields.
    size_t addSupplement(std::string_view table);

    // The number of Russian terms gathered so far.
    size_t size() const { return terms_.size(); }

    // Hands each Russian term and its article (UTF-8) to sink, terms in no particular order.
    void forEach(const std::function<void(std::string_view, std::string_view)>& sink) const;

private:
    struct TSense {
        std::string headword;
        std::string partOfSpeech;
        std::string context;
    };
    struct TUse {
        size_t sense;     // index in senses_
        int weight;       // 0 unlabelled, 1 a field, 2 style or region; -1 the supplement
        int number;       // the sense's number within its part of speech
        size_t position;  // where the term stands among the sense's translations
        size_t order;     // when it was read
        double rank;      // how common the headword is, less where the term comes late
    };
    struct TTerm {
        std::string text;  // as first met
        std::vector<TUse> uses;
    };

    void addSense(std::string_view headword, std::string_view partOfSpeech, int number, int weight,
                  std::string_view text);
    void addUse(const std::string& term, size_t sense, int weight, int number, size_t position);
    double frequencyOf(const TSense& sense) const;
    std::string spelled(std::string_view headword) const;

    std::vector<TSense> senses_;
    std::unordered_map<std::string, TTerm> terms_;  // by the term in small letters
    // Counts by the word in small letters with "_" between its words, and the part of speech
    // (1 noun, 2 verb, 3 adjective, 4 adverb, 0 all together).
    std::unordered_map<std::string, double> frequencies_;
    // WordNet's words in small letters, and its compound words by their letters run together.
    std::unordered_set<std::string> lemmas_;
    std::unordered_map<std::string, std::string> compounds_;
    size_t order_ = 0;
};
