// Writes the contractions and contexts of ICU's root collation order that can occur in
// Windows-1251 text, with the root order's version, as a C++ include file. Listing them at run
// time takes ICU several milliseconds, which every start of the program and of the tool would
// pay; the comparison takes them from this list when the run-time root order has the same
// version, and lists them itself otherwise.
//
// Usage: root_sequences OUTPUT.inc
#include <unicode/ucol.h>
#include <unicode/uset.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include "platform/code_page_sequences.h"

namespace {

std::string cLiteral(const std::string& bytes) {
    std::string out = "\"";
    char hex[8];
    for (unsigned char b : bytes) {
        std::snprintf(hex, sizeof hex, "\\x%02X", b);
        out += hex;
    }
    return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: root_sequences OUTPUT.inc\n");
        return 2;
    }
    UErrorCode status = U_ZERO_ERROR;
    UCollator* root = ucol_open("", &status);
    USet* contractions = uset_openEmpty();
    ucol_getContractionsAndExpansions(root, contractions, nullptr, true, &status);
    std::set<std::string> sequences;
    if (U_FAILURE(status) || !forEachCodePageSequence(contractions, [&](const std::string& bytes) {
            sequences.insert(bytes);
        })) {
        std::fprintf(stderr, "root_sequences: ICU cannot list the root contractions\n");
        return 1;
    }
    UVersionInfo version;
    ucol_getVersion(root, version);

    std::ofstream out(argv[1], std::ios::binary);
    out << "// Made at build time by src/generators/root_sequences.cpp: the root collation\n"
           "// order's contractions and contexts that Windows-1251 text can hold.\n"
           "#pragma once\n#include <cstdint>\n#include <string_view>\n"
           "namespace root_sequences {\n"
           "inline constexpr uint8_t kVersion[] = {";
    for (int i = 0; i < U_MAX_VERSION_LENGTH; ++i)
        out << (i ? ", " : "") << static_cast<int>(version[i]);
    out << "};\ninline constexpr std::string_view kSequences[] = {";
    for (const std::string& s : sequences)
        out << cLiteral(s) << ", ";
    // An empty list still needs one element; the empty sequence drops nothing.
    out << "\"\"};\n}  // namespace root_sequences\n";
    uset_close(contractions);
    ucol_close(root);
    return out.good() ? 0 : 1;
}
