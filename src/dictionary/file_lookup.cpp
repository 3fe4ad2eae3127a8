#include "dictionary/file_lookup.h"

#include "dictionary/file_format.h"
#include "platform/compare.h"

std::optional<std::string> lookUpInFile(const std::string& path, std::string_view term) {
    file_format::TRecordStream records(path);
    std::string name;
    std::string author;
    std::string info;
    const int32_t count = file_format::readHeader(records, name, author, info);
    std::optional<std::string> article;
    for (int32_t i = 0; i < count; ++i) {
        std::string_view value;
        if (!records.readValue(value))
            file_format::throwShortData();
        // Only the first equal term counts, as loading keeps only the first; the rest of the
        // file is still walked for damage.
        if (!article && compare::terms(value, term) == 0) {
            if (!records.readValue(value))
                file_format::throwShortData();
            article.emplace(value);
        } else if (!records.skipRecord()) {
            file_format::throwShortData();
        }
    }
    return article;
}
