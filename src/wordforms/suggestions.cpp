#include "wordforms/suggestions.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "dictionary/dictionary.h"
#include "platform/upcase.h"
#include "wordforms/suggest_index.h"
#include "wordforms/word_forms.h"

std::vector<std::string> suggestTerms(TWordForms& forms, const TSuggestIndex& index,
                                      const std::vector<std::string>& terms, std::string_view word,
                                      const std::function<bool(std::string_view)>& isTerm,
                                      size_t limit) {
    constexpr int kMaxEdits = 2;
    // Hunspell's suggestions that are terms, best first: among equally near terms they lead.
    std::vector<std::string> spelling;
    std::map<std::string, size_t> spellingRank;
    for (std::string& suggestion : forms.spellingSuggestions(word)) {
        if (isTerm(suggestion) &&
            spellingRank.try_emplace(upcase::text(suggestion), spelling.size()).second)
            spelling.push_back(std::move(suggestion));
    }
    // Each term near the word or one of its candidates: its nearest distance, its rank among
    // Hunspell's suggestions (none: after them), and the order in which it was first met, so
    // the word's own neighbours lead among the rest.
    struct TRank {
        int distance;
        size_t spelling;
        size_t met;
        bool operator<(const TRank& o) const {
            return std::tie(distance, spelling, met) < std::tie(o.distance, o.spelling, o.met);
        }
    };
    std::map<int, TRank> best;
    for (const TFormCandidate& candidate : forms.candidates(word)) {
        for (const TSuggestIndex::TNear& near : index.near(candidate.text, kMaxEdits, limit)) {
            const auto ranked =
                spellingRank.find(upcase::text(terms[static_cast<size_t>(near.term)]));
            const size_t spellingAt =
                ranked == spellingRank.end() ? spelling.size() : ranked->second;
            auto [it, added] =
                best.try_emplace(near.term, TRank{near.distance, spellingAt, best.size()});
            if (!added)
                it->second.distance = std::min(it->second.distance, near.distance);
        }
    }
    std::vector<std::pair<TRank, int>> ranked;
    for (const auto& [term, rank] : best)
        ranked.push_back({rank, term});
    std::sort(ranked.begin(), ranked.end());
    std::vector<std::string> out;
    std::set<std::string> seen;
    const auto add = [&](const std::string& term) {
        if (out.size() < limit && seen.insert(upcase::text(term)).second)
            out.push_back(term);
    };
    for (const auto& entry : ranked)
        add(terms[static_cast<size_t>(entry.second)]);
    for (const std::string& suggestion : spelling)
        add(suggestion);
    return out;
}

std::vector<std::string> dictionaryTerms(const TDictionary& dictionary) {
    std::vector<std::string> terms;
    terms.reserve(static_cast<size_t>(dictionary.Count()));
    for (int i = 0; i < dictionary.Count(); ++i)
        terms.emplace_back(dictionary.Term(i));
    return terms;
}
