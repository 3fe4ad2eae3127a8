#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One Hunspell dictionary (NAME.aff and NAME.dic), read in place, asked in Windows-1251: words
// go to Hunspell in the dictionary's own encoding and its answers come back in Windows-1251,
// answers the code page cannot hold dropped.
class TSpeller {
public:
    // Opens folder/name.aff and folder/name.dic. Never raises: when either file is missing or
    // unreadable, or the dictionary's encoding cannot be converted, valid() is false and every
    // question answers nothing.
    TSpeller(const std::string& folder, const std::string& name);
    ~TSpeller();
    TSpeller(const TSpeller&) = delete;
    TSpeller& operator=(const TSpeller&) = delete;

    bool valid() const;

    // The dictionary forms (stems) Hunspell gives for the word, in its order; the word itself
    // among them when Hunspell lists it as a word of its own.
    std::vector<std::string> stems(std::string_view cp1251) const;

    // Hunspell's spelling suggestions for the word, best first.
    std::vector<std::string> suggestions(std::string_view cp1251) const;

    // Whether Hunspell takes the word as correctly spelt (a word of its own or a form of one).
    bool accepts(std::string_view cp1251) const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};
