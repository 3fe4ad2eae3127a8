#include "dictionary/source.h"

namespace {

TSourceOpener& opener() {
    static TSourceOpener instance;
    return instance;
}

}  // namespace

void setSourceOpener(TSourceOpener value) {
    opener() = std::move(value);
}

const TSourceOpener& sourceOpener() {
    return opener();
}

void tidyHeadword(std::string& headword) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    size_t end = headword.size();
    while (end > 0 && blank(headword[end - 1]))
        --end;
    size_t start = 0;
    while (start < end && blank(headword[start]))
        ++start;
    headword.erase(end);
    headword.erase(0, start);
    for (char& c : headword) {
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    }
}

void appendJoinedArticle(std::string& joined, std::string_view article) {
    if (!joined.empty()) {
        if (joined.back() != '\n')
            joined.push_back('\n');
        if (joined.size() < 2 || joined[joined.size() - 2] != '\n')
            joined.push_back('\n');
    }
    joined.append(article);
}

std::string withCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (char c : text) {
        if (c == '\n')
            out.push_back('\r');
        if (c != '\r')
            out.push_back(c);
    }
    return out;
}
