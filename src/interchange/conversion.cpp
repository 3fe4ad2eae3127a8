#include "interchange/conversion.h"

#include <algorithm>

#include "dictionary/dictionary.h"
#include "interchange/mueller_reverse.h"
#include "interchange/mueller_text.h"
#include "interchange/prose_text.h"
#include "platform/codepage.h"
#include "platform/compare.h"

void TConversion::reserve(uint64_t bytes) {
    constexpr uint64_t kMaxHint = uint64_t{256} << 20;
    pool_.reserve(static_cast<size_t>(std::min(bytes, kMaxHint)));
}

TConversion::TConversion() = default;

TConversion::~TConversion() = default;

void TConversion::setMuellerReverse() {
    reverse_ = std::make_unique<TMuellerReverse>();
}

void TConversion::add(std::string_view headword, std::string_view article) {
    ++report_.entries;
    if (reverse_) {
        reverse_->add(headword, article);
        return;
    }
    if (form_ == TArticleForm::mueller) {
        shaped_ = muellerArticle(headword, article);
        article = shaped_;
        headword = muellerHeadword(headword);
    } else if (form_ == TArticleForm::prose) {
        shaped_ = proseArticle(article);
        article = shaped_;
    }
    addFolded(headword, article);
}

void TConversion::addFolded(std::string_view headword, std::string_view article) {
    headword_.clear();
    const TFoldCounts headwordCounts = folder_.append(headword, headword_);
    tidyHeadword(headword_);
    if (headwordCounts.replaced > 0 || headword_.empty()) {
        ++report_.leftOut;
        return;
    }
    TEntry entry{};
    entry.term = pool_.size();
    entry.termLength = static_cast<uint32_t>(headword_.size());
    pool_.append(headword_);
    entry.article = pool_.size();
    const TFoldCounts articleCounts = folder_.append(article, pool_);
    entry.articleLength = pool_.size() - entry.article;
    if (entry.articleLength == 0) {
        ++report_.emptyArticles;
        pool_.resize(entry.term);
        return;
    }
    report_.characters += headwordCounts;
    report_.characters += articleCounts;
    entries_.push_back(entry);
}

bool TConversion::sameTerm(std::string_view a, std::string_view b) {
    foldedA_.clear();
    foldedB_.clear();
    folder_.append(a, foldedA_);
    folder_.append(b, foldedB_);
    return compare::terms(trimBlanks(foldedA_), trimBlanks(foldedB_)) == 0;
}

void TConversion::setName(std::string_view text) {
    if (hasName_)
        return;
    hasName_ = true;
    folder_.append(text, name_);
}

void TConversion::setAuthor(std::string_view text) {
    if (hasAuthor_)
        return;
    hasAuthor_ = true;
    folder_.append(text, author_);
}

void TConversion::setInfo(std::string_view text) {
    if (hasInfo_)
        return;
    hasInfo_ = true;
    std::string plain;
    folder_.append(text, plain);
    info_ += withCrLf(plain);
}

TConversionReport TConversion::finish(TDictionary& dictionary) {
    // The reverse index's terms are built from all the entries read, so they come only now.
    if (reverse_) {
        const std::unique_ptr<TMuellerReverse> reverse = std::move(reverse_);
        reverse->forEach(
            [this](std::string_view term, std::string_view article) { addFolded(term, article); });
    }
    if (hasName_)
        dictionary.SetName(name_);
    if (hasAuthor_)
        dictionary.SetAuthor(author_);
    if (hasInfo_)
        dictionary.SetInfo(info_);

    // Most databases name each headword once: then one batch builds the dictionary. Only
    // when the batch drops equal terms are the groups worked out, from the positions that
    // the dictionary's own comparison gave each headword, and the dictionary built again
    // with the joined articles.
    TTermBatch batch;
    for (const TEntry& e : entries_)
        batch.add(term(e), article(e));
    const size_t count = entries_.size();
    const size_t added = static_cast<size_t>(dictionary.addTerms(std::move(batch)));
    if (added != count) {
        std::vector<int> firstAt(static_cast<size_t>(dictionary.Count()), -1);
        std::vector<int> lastAt(firstAt.size(), -1);
        std::vector<int> next(count, -1);
        std::vector<int> position(count);
        for (size_t i = 0; i < count; ++i) {
            const int at = dictionary.Find(term(entries_[i]));
            position[i] = at;
            const auto slot = static_cast<size_t>(at);
            if (firstAt[slot] < 0) {
                firstAt[slot] = static_cast<int>(i);
            } else {
                next[static_cast<size_t>(lastAt[slot])] = static_cast<int>(i);
                ++report_.joined;
            }
            lastAt[slot] = static_cast<int>(i);
        }
        TTermBatch again;
        std::string joined;
        std::vector<std::string_view> texts;
        for (size_t i = 0; i < count; ++i) {
            if (firstAt[static_cast<size_t>(position[i])] != static_cast<int>(i))
                continue;
            if (next[i] < 0) {
                again.add(term(entries_[i]), article(entries_[i]));
                continue;
            }
            joined.clear();
            texts.clear();
            for (int k = static_cast<int>(i); k >= 0; k = next[static_cast<size_t>(k)]) {
                // One text under two spellings that fold to one term (aliases) is kept once.
                const std::string_view text = article(entries_[static_cast<size_t>(k)]);
                if (std::find(texts.begin(), texts.end(), text) != texts.end())
                    continue;
                texts.push_back(text);
                appendJoinedArticle(joined, text);
            }
            again.add(term(entries_[i]), joined);
        }
        dictionary.Clear();
        dictionary.addTerms(std::move(again));
    }
    report_.terms = dictionary.Count();
    return report_;
}

std::string conversionReportText(const std::string& out, const TConversionReport& r) {
    return "Словарь создан: " + out + "\nСтатей прочитано: " + std::to_string(r.entries) +
           "\nТерминов: " + std::to_string(r.terms) +
           " (статей присоединено к статье того же термина: " + std::to_string(r.joined) +
           ")\nЗаголовков пропущено (символы вне Windows-1251 или пустой заголовок): " +
           std::to_string(r.leftOut) +
           "\nСтатей без текста пропущено: " + std::to_string(r.emptyArticles) +
           "\nСимволов заменено близкими: " + std::to_string(r.characters.folded) +
           "\nСимволов заменено на \"?\": " + std::to_string(r.characters.replaced) + "\n";
}

TConversionReport convertDictionary(const TDictionary& source, TDictionary& out) {
    // The conversion takes UTF-8; a dictionary of the program's own form is brought to it
    // first, which Windows-1251 then holds again without a change.
    const bool utf8 = source.textForm() == TTextForm::Utf8;
    const auto asUtf8 = [utf8](std::string_view text) {
        return utf8 ? std::string(text) : codepage::toUtf8(text);
    };
    TConversion conversion;
    conversion.setName(asUtf8(source.Name()));
    conversion.setAuthor(asUtf8(source.Author()));
    conversion.setInfo(asUtf8(source.Info()));
    std::string term;
    std::string article;
    for (int i = 0; i < source.Count(); ++i) {
        source.GetTerm(i, term, article);
        conversion.add(asUtf8(term), asUtf8(article));
    }
    return conversion.finish(out);
}
