#include "wordforms/suggestions.h"

#include <algorithm>
#include <map>
#include <set>

#include "platform/upcase.h"
#include "wordforms/suggest_index.h"
#include "wordforms/word_forms.h"

std::vector<std::string> suggestTerms(TWordForms& forms, const TSuggestIndex& index,
                                      const std::vector<std::string>& terms, std::string_view word,
                                      const std::function<bool(std::string_view)>& isTerm,
                                      size_t limit) {
    constexpr int kMaxEdits = 2;
    // The nearest distance of each term to the word or any of its candidates; the order in
    // which terms were first met breaks ties, so the word's own neighbours lead.
    std::map<int, std::pair<int, size_t>> best;
    for (const TFormCandidate& candidate : forms.candidates(word)) {
        for (const TSuggestIndex::TNear& near : index.near(candidate.text, kMaxEdits, limit)) {
            auto [it, added] = best.try_emplace(near.term, near.distance, best.size());
            if (!added)
                it->second.first = std::min(it->second.first, near.distance);
        }
    }
    std::vector<std::pair<std::pair<int, size_t>, int>> ranked;
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
    if (out.size() < limit) {
        for (const std::string& suggestion : forms.spellingSuggestions(word)) {
            if (isTerm(suggestion))
                add(suggestion);
        }
    }
    return out;
}
