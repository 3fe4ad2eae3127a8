#pragma once

#include <array>
#include <string>
#include <string_view>

// Upper-casing of Windows-1251 text, as the system's ANSI rules do it: Latin and Cyrillic
// letters (Ё/ё and the other Cyrillic letters of the code page included) fold, every other
// byte stays. Built once from Unicode case mapping.
namespace upcase {

// The upper-case byte of every Windows-1251 byte, for loops that fold many bytes.
const std::array<unsigned char, 256>& table();

// The upper-case byte of one Windows-1251 byte.
unsigned char byte(unsigned char b);

// The whole text upper-cased byte by byte.
std::string text(std::string_view cp1251);

// Whether text begins with prefix when both are upper-cased.
bool startsWith(std::string_view text, std::string_view prefix);

// Whether the two texts are equal when both are upper-cased.
bool equal(std::string_view a, std::string_view b);

// UTF-8 text upper-cased code point by code point by Unicode's simple case mapping (each
// letter to one letter, whatever its length in bytes); bytes that are not well-formed UTF-8
// stay as they are. ASCII text takes a byte table.
std::string utf8(std::string_view text);

}  // namespace upcase
