#pragma once
// WordNet's 147 000 terms and 34 MB of articles, the large real dictionary the benchmarks
// measure on: build/dics/en_wordnet.dic, or the file TERMOVEL_WORDNET names.

#include <cstdlib>
#include <memory>
#include <string>

#include "dictionary/dictionary.h"

#ifndef TERMOVEL_DICS_DIR
#error "TERMOVEL_DICS_DIR must name the folder of the converted dictionaries"
#endif

// What a benchmark says when the dictionary is missing.
inline constexpr const char* kNoWordNet =
    "no WordNet dictionary (build/dics/en_wordnet.dic, TERMOVEL_WORDNET)";

// The dictionary, loaded once on first use; nullptr when it does not load.
inline const TDictionary* wordNet() {
    static const std::unique_ptr<TDictionary> dictionary = []() -> std::unique_ptr<TDictionary> {
        const char* given = std::getenv("TERMOVEL_WORDNET");
        const std::string path =
            given && *given ? given : std::string(TERMOVEL_DICS_DIR) + "/en_wordnet.dic";
        auto loaded = std::make_unique<TDictionary>();
        try {
            loaded->LoadFromFile(path);
        } catch (...) {
            return nullptr;
        }
        return loaded;
    }();
    return dictionary.get();
}
