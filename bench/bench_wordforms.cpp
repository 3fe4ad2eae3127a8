// A look-up through word forms against an exact one, and the suggestions for a misspelt word,
// on WordNet's 147 000 terms (build/dics/en_wordnet.dic, or the file TERMOVEL_WORDNET names).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "platform/codepage.h"
#include "wordforms/suggest_index.h"
#include "wordforms/suggestions.h"
#include "wordforms/word_forms.h"
#include "wordnet_dictionary.h"

namespace {

// Words as written and the dictionary forms they answer with.
const char* const kTerms[] = {"book", "party", "work", "big", "mouse", "go", "child", "look up"};
const char* const kForms[] = {"books", "parties", "worked",   "bigger",
                              "mice",  "went",    "children", "looked up"};
// Typos at one and two edits.
const char* const kTypos[] = {"hosue", "recieve", "acommodate", "wrold", "ambiguos", "xylophnoe"};

// One look-up of each word of words through findThroughForms, the morphology loaded before.
void lookUp(benchmark::State& state, const char* const* words, size_t count) {
    const TDictionary* d = wordNet();
    if (!d) {
        state.SkipWithError(kNoWordNet);
        return;
    }
    TWordForms forms;
    forms.candidates("warm");
    const auto isTerm = [&](std::string_view t) { return d->Find(std::string(t)) >= 0; };
    size_t i = 0;
    for (auto _ : state) {
        const TFormMatch match = findThroughForms(forms, words[i++ % count], isTerm);
        if (!match.found)
            state.SkipWithError("a word did not answer");
        benchmark::DoNotOptimize(match);
    }
}

void BM_WordFormsLookup_Exact(benchmark::State& state) {
    lookUp(state, kTerms, std::size(kTerms));
}
BENCHMARK(BM_WordFormsLookup_Exact)->Unit(benchmark::kMicrosecond);

void BM_WordFormsLookup_ThroughForms(benchmark::State& state) {
    lookUp(state, kForms, std::size(kForms));
}
BENCHMARK(BM_WordFormsLookup_ThroughForms)->Unit(benchmark::kMicrosecond);

// All candidates of Russian words whose dictionary form lies past Hunspell's stems: reflexive
// verbs and participles traced to their verb, each candidate checked with Hunspell.
void BM_WordFormsCandidates_RussianVerbs(benchmark::State& state) {
    std::vector<std::string> words;
    for (const char* utf8 : {"допускается", "указанных", "помечен", "оканчивающееся", "создаются",
                             "используемых", "приведённых", "завершилась"})
        words.push_back(codepage::fromUtf8(utf8).value());
    TWordForms forms;
    forms.candidates(words.front());
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(forms.candidates(words[i++ % words.size()]));
}
BENCHMARK(BM_WordFormsCandidates_RussianVerbs)->Unit(benchmark::kMicrosecond);

void BM_SuggestIndexBuild_WordNet(benchmark::State& state) {
    const TDictionary* d = wordNet();
    if (!d) {
        state.SkipWithError(kNoWordNet);
        return;
    }
    const std::vector<std::string> terms = dictionaryTerms(*d);
    for (auto _ : state)
        benchmark::DoNotOptimize(TSuggestIndex(terms).size());
}
BENCHMARK(BM_SuggestIndexBuild_WordNet)->Unit(benchmark::kMillisecond)->Iterations(3);

// Terms within two edits of a typo: the index walk alone (range 0), and the whole offer with
// the forms' neighbours and Hunspell's suggestions (range 1).
void BM_Suggest_WordNet(benchmark::State& state) {
    const TDictionary* d = wordNet();
    if (!d) {
        state.SkipWithError(kNoWordNet);
        return;
    }
    const std::vector<std::string> terms = dictionaryTerms(*d);
    const TSuggestIndex index(terms);
    TWordForms forms;
    forms.candidates("warm");
    const auto isTerm = [&](std::string_view t) { return d->Find(std::string(t)) >= 0; };
    size_t i = 0;
    for (auto _ : state) {
        const char* typo = kTypos[i++ % std::size(kTypos)];
        if (state.range(0) == 0)
            benchmark::DoNotOptimize(index.near(typo, 2, 10));
        else
            benchmark::DoNotOptimize(suggestTerms(forms, index, terms, typo, isTerm));
    }
}
BENCHMARK(BM_Suggest_WordNet)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
