#pragma once

#include <unicode/uset.h>

#include <string>

#include "platform/codepage.h"

// The sequences of a set of collation contractions and contexts (strings, and ranges of single
// characters) that can occur in Windows-1251 text, as their bytes: visit(bytes) for each one
// made only of characters the code page holds, a range one character at a time. Returns false
// when the set cannot be read.
template <typename Visit>
bool forEachCodePageSequence(const USet* set, Visit visit) {
    const int32_t items = uset_getItemCount(set);
    for (int32_t i = 0; i < items; ++i) {
        UChar32 start = 0, end = 0;
        UChar text[64];
        UErrorCode status = U_ZERO_ERROR;
        const int32_t length = uset_getItem(set, i, &start, &end, text, 64, &status);
        if (U_FAILURE(status) || length > 64)
            return false;
        if (length == 0) {
            for (UChar32 ch = start; ch <= end; ++ch) {
                const int b = codepage::fromUnicode(static_cast<char32_t>(ch));
                if (b >= 0)
                    visit(std::string(1, static_cast<char>(b)));
            }
            continue;
        }
        std::string bytes;
        for (int32_t k = 0; k < length; ++k) {
            const int b = codepage::fromUnicode(text[k]);
            if (b < 0)
                break;
            bytes.push_back(static_cast<char>(b));
        }
        if (bytes.size() == static_cast<size_t>(length))
            visit(bytes);
    }
    return true;
}
