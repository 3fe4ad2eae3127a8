#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The Russian–English index of Mueller's English–Russian dictionary (see mueller_text.h for how
// its articles are written). Every Russian translation of a sense becomes a term; its article
// lists the English headwords it translates, one a line: the headword, its part of speech and
// the sense's Russian text for context ("cat (n.): кот; кошка").
//
// A sense's text is split at ";" and "," outside parentheses. A clause that opens with a Latin
// letter is an English example with its translation and is left out whole, as are the
// translations listed under a phrase ("а)", "б)" after a line ending in English). Marks and
// notes in parentheses or braces are no part of a term; a term has Cyrillic letters, no Latin
// ones, and at most four words.
//
// The headwords of a term are ordered so that the most direct translation comes first: where
// the term is the first translation of its sense before where it comes later, a sense of a
// lower number before a higher one, then shorter headwords, then in the order read. A headword
// is listed once for each part of speech.
class TMuellerReverse {
public:
    // Reads one entry: its headword and its article as the database holds it (UTF-8).
    void add(std::string_view headword, std::string_view article);

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
        size_t sense;  // index in senses_
        bool first;    // the term is the sense's first translation
        int number;    // the sense's number within its part of speech
        size_t order;  // when it was read
    };
    struct TTerm {
        std::string text;  // as first met
        std::vector<TUse> uses;
    };

    void addSense(std::string_view headword, std::string_view partOfSpeech, int number,
                  std::string_view text);

    std::vector<TSense> senses_;
    std::unordered_map<std::string, TTerm> terms_;  // by the term in small letters
    size_t order_ = 0;
};
