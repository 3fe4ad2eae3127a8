#pragma once

#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

// Synthetic dictionary content for the benchmarks: reproducible from a fixed seed, half
// Cyrillic and half Latin terms in mixed case, articles of 20–200 bytes. All Windows-1251.
namespace dictionary_synthetic {

inline constexpr uint64_t kSeed = 20261207;

// A word of 3–10 letters; Cyrillic а–я (E0–FF hex) or Latin a–z, some letters upper-cased.
inline std::string word(std::mt19937_64& random, bool cyrillic) {
    std::string w;
    const int length = 3 + static_cast<int>(random() % 8);
    for (int i = 0; i < length; ++i) {
        unsigned char c = cyrillic ? static_cast<unsigned char>(0xE0 + random() % 32)
                                   : static_cast<unsigned char>('a' + random() % 26);
        const bool upper = (i == 0 && random() % 3 == 0) || random() % 10 == 0;
        if (upper)
            c = static_cast<unsigned char>(cyrillic ? c - 0x20 : c - 0x20);
        w.push_back(static_cast<char>(c));
    }
    return w;
}

inline std::string term(std::mt19937_64& random) {
    const bool cyrillic = random() % 2 == 0;
    std::string t = word(random, cyrillic);
    const int extra = static_cast<int>(random() % 3);
    for (int i = 0; i < extra; ++i) {
        t.push_back(' ');
        t += word(random, cyrillic);
    }
    return t;
}

inline std::string article(std::mt19937_64& random) {
    const size_t length = 20 + random() % 181;
    std::string a;
    while (a.size() < length) {
        if (!a.empty())
            a.push_back(random() % 8 == 0 ? '\n' : ' ');
        a += word(random, random() % 2 == 0);
    }
    a.resize(length);
    return a;
}

// n (term, article) pairs in generation order (unsorted; a few terms may repeat).
inline std::vector<std::pair<std::string, std::string>> entries(size_t n) {
    std::mt19937_64 random(kSeed + n);
    std::vector<std::pair<std::string, std::string>> out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        std::string t = term(random);
        out.emplace_back(std::move(t), article(random));
    }
    return out;
}

// Writes entries as an import text file: per entry a line "@term", the article's lines and a
// line "~~~", each ended by LF.
inline void writeImportText(const std::string& path,
                            const std::vector<std::pair<std::string, std::string>>& entries) {
    std::ofstream out(path, std::ios::binary);
    for (const auto& [t, a] : entries)
        out << "@" << t << "\n" << a << "\n~~~\n";
}

}  // namespace dictionary_synthetic
