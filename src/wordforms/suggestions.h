#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TDictionary;
class TSuggestIndex;
class TWordForms;

// The terms to offer for a word that nothing answered (Windows-1251): the terms of index within
// two edits of the word or of one of its dictionary forms, nearest first (among equally near
// ones, Hunspell's spelling suggestions first, in its order), then Hunspell's other
// suggestions that isTerm accepts; at most limit in all and no term twice. terms is the list
// index was built from.
std::vector<std::string> suggestTerms(TWordForms& forms, const TSuggestIndex& index,
                                      const std::vector<std::string>& terms, std::string_view word,
                                      const std::function<bool(std::string_view)>& isTerm,
                                      size_t limit = 10);

// The terms of dictionary in its order, copied: the list a TSuggestIndex over it is built from.
std::vector<std::string> dictionaryTerms(const TDictionary& dictionary);
