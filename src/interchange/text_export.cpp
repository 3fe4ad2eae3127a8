#include "interchange/text_export.h"

#include "interchange/text_import.h"

namespace {

// A line is read whole, its LF included, when it holds at most this many bytes before the LF.
constexpr size_t kLongestLine = kImportLineBuffer - 2;

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

}  // namespace

void appendImportBlock(std::string& out, std::string_view term, std::string_view article) {
    out.push_back('@');
    out.append(term);
    out.push_back('\n');
    out.append(article);
    if (!article.empty() && article.back() != '\n')
        out.push_back('\n');
    out.append("~~~\n");
}

unsigned importFormatLosses(std::string_view term, std::string_view article) {
    unsigned losses = 0;
    if (term.empty())
        losses |= kLossEmptyTerm;
    if (article.empty())
        losses |= kLossEmptyArticle;
    if (term.find('\n') != std::string_view::npos)
        losses |= kLossTermLineBreak;
    // Blanks before the term survive: the line is trimmed while it still starts with "@".
    if (!term.empty() && isBlank(term.back()))
        losses |= kLossTermTrailing;
    if (term.find('\0') != std::string_view::npos)
        losses |= kLossZeroByte;
    if (1 + term.size() > kLongestLine)
        losses |= kLossLongLine;

    if (!article.empty() && article.back() != '\n')
        losses |= kLossFinalLineBreak;
    for (size_t at = 0; at < article.size();) {
        size_t end = article.find('\n', at);
        if (end == std::string_view::npos)
            end = article.size();
        std::string_view line = article.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') {
            losses |= kLossCarriageReturn;
            line.remove_suffix(1);
        }
        if (line.size() > kLongestLine)
            losses |= kLossLongLine;
        if (line.find('\0') != std::string_view::npos)
            losses |= kLossZeroByte;
        if (!line.empty() && (isBlank(line.front()) || isBlank(line.back())))
            losses |= kLossLineBlanks;
        if (trimImportLine(line) == "~~~")
            losses |= kLossBlockEnd;
    }
    return losses;
}
