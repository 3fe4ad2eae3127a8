#pragma once

#include <string_view>
#include <vector>

class TDictionary;

// Positions, in order, of the terms whose article contains text, letter case ignored as the
// Windows-1251 upper-casing ignores it (Latin and Cyrillic letters, Ё included), or, in a
// dictionary whose texts are UTF-8, as UTF-8 upper-casing does (text then UTF-8 too). Every
// article contains the empty text.
std::vector<int> findInArticles(const TDictionary& dictionary, std::string_view text);

// The same over the positions [first, end) only, appended to found in order, so a long search
// can be made in steps. Requires 0 <= first <= end <= the dictionary's Count.
void findInArticles(const TDictionary& dictionary, std::string_view text, int first, int end,
                    std::vector<int>& found);
