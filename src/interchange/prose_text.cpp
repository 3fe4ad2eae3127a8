#include "interchange/prose_text.h"

#include <vector>

namespace {

// The width that every source wraps its prose within or beyond.
constexpr size_t kWrapWidth = 60;
// A line of the body text that ends inside a sentence was wrapped if it is at least this wide:
// some sources wrapped before their links were shortened, so their lines are narrower.
constexpr size_t kShortWrap = 40;
constexpr size_t kNone = std::string_view::npos;

// Columns of UTF-8 text: its characters, each byte but the continuation bytes.
size_t columns(std::string_view text) {
    size_t n = 0;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    }
    return n;
}

size_t indentOf(std::string_view line) {
    size_t i = 0;
    while (i < line.size() && line[i] == ' ')
        ++i;
    return i;
}

std::string_view trimEnd(std::string_view line) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

// Whether a line is part of a table or of code: columns aligned by tabs or runs of blanks, or
// a brace alone on its line.
bool tableLike(std::string_view line) {
    const std::string_view text = line.substr(indentOf(line));
    return line.find('\t') != kNone || text.find("   ") != kNone || text == "{" || text == "}" ||
           text == "};";
}

// The column where the text of a list item starts after its marker, or kNone when the line
// opens no list item.
size_t itemTextColumn(std::string_view line) {
    const size_t indent = indentOf(line);
    const std::string_view rest = line.substr(indent);
    size_t marker = 0;
    for (std::string_view part : {"n ", "v ", "adj ", "adv "}) {
        if (rest.starts_with(part))
            marker = part.size();
    }
    size_t digits = marker;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9')
        ++digits;
    // A list counts to 99 (WordNet's senses to 999); a longer number opening a line is a year
    // or an amount that the wrapping brought there.
    const size_t count = digits - marker;
    if (count > 0 && digits < rest.size() &&
        (rest[digits] == ':' ? count <= 3
                             : count <= 2 && (rest[digits] == '.' || rest[digits] == ')'))) {
        marker = digits + 1;
    } else if (marker > 0) {
        return kNone;
    } else if (rest.size() >= 2 && rest[0] >= 'a' && rest[0] <= 'z' && rest[1] == ')') {
        marker = 2;
    } else if (rest.starts_with("- ") || rest.starts_with("* ") || rest.starts_with("+ ")) {
        marker = 1;
    } else if (rest.starts_with("\u2022")) {
        marker = std::string_view("\u2022").size();
    } else {
        return kNone;
    }
    if (marker < rest.size() && rest[marker] != ' ')
        return kNone;
    size_t text = marker;
    while (text < rest.size() && rest[text] == ' ')
        ++text;
    return indent + columns(rest.substr(0, text));
}

// Whether a line break falls inside a sentence: the line before ends in no closing mark and
// the next goes on with a small letter, a link or a parenthesis.
bool midSentence(std::string_view line, std::string_view next) {
    const char last = line.back();
    if (last == '.' || last == '!' || last == '?' || last == ':' || last == ';')
        return false;
    const char c = next.front();
    return (c >= 'a' && c <= 'z') || c == '{' || c == '(';
}

std::string_view firstWord(std::string_view text) {
    const size_t end = text.find(' ');
    return end == kNone ? text : text.substr(0, end);
}

// Whether the joined text takes no blank between line and next: after a word broken at its
// hyphen or an opening quote or parenthesis, and before a closing punctuation mark.
bool joinsTight(std::string_view line, std::string_view next) {
    // A mark that closes what comes before it stands before a blank, the line's end or another
    // closing mark; "!(N-1)" (a factorial) and "?>" open something of their own.
    if (next.find_first_of(".,;:!?)") == 0 &&
        (next.size() == 1 || std::string_view(" .,;:!?)\"'").find(next[1]) != kNone))
        return true;
    // A suspended hyphen ("16- and 32-bit", "Front- or Back-Cover") keeps its blank.
    const std::string_view word = firstWord(next);
    if (line.ends_with('-') && (word == "and" || word == "or" || word == "nor" || word == "to"))
        return false;
    if (line.ends_with("(") || line.ends_with("{") || line.ends_with("[") ||
        line.ends_with("\u201C") || line.ends_with("\u2018"))
        return true;
    if (line.size() < 2 || line.back() != '-')
        return false;
    const auto before = static_cast<unsigned char>(line[line.size() - 2]);
    return (before >= 'a' && before <= 'z') || (before >= 'A' && before <= 'Z') || before >= 0x80;
}

// The indentation of most of the article's lines, its body text (0 when every line is at
// the margin).
size_t bodyIndent(std::string_view article) {
    std::vector<size_t> count;
    while (!article.empty()) {
        const size_t end = article.find('\n');
        const std::string_view line = trimEnd(article.substr(0, end));
        const size_t indent = indentOf(line);
        if (indent > 0 && indent < line.size()) {
            if (count.size() <= indent)
                count.resize(indent + 1);
            ++count[indent];
        }
        article = end == kNone ? std::string_view() : article.substr(end + 1);
    }
    size_t body = 0;
    for (size_t i = 1; i < count.size(); ++i) {
        if (count[i] > count[body])
            body = i;
    }
    return body;
}

}  // namespace

std::string proseArticle(std::string_view article) {
    const size_t body = bodyIndent(article);
    std::vector<std::string> lines;
    bool open = false;  // the last line kept can take continuation lines
    size_t firstIndent = 0;
    size_t hangColumn = kNone;
    size_t previousColumns = 0;
    bool dashItem = false;  // the last line kept opens an item of a dashed list
    for (;;) {
        const size_t end = article.find('\n');
        const std::string_view raw = article.substr(0, end);
        const std::string_view line = trimEnd(raw);
        const size_t indent = indentOf(line);
        if (line.size() == indent) {
            lines.emplace_back(raw);
            open = false;
        } else {
            const std::string_view text = line.substr(indent);
            size_t item = itemTextColumn(line);
            const bool table = tableLike(line);
            const bool wrapped =
                open && (previousColumns + 1 + columns(firstWord(text)) > kWrapWidth ||
                         (firstIndent == body && previousColumns >= kShortWrap &&
                          midSentence(lines.back(), text)));
            // A dash after a wrapped line of prose is a dash of that prose, not a list item
            // (unless the prose is an item of a dashed list itself).
            if (item != kNone && text.starts_with("- ") && open && wrapped && !dashItem)
                item = kNone;
            // So is an asterisk or plus that goes on with a small letter after a line that
            // breaks off mid-sentence ("typing rm -r" / "* or mkfs").
            if (item != kNone && (text.starts_with("* ") || text.starts_with("+ ")) && open &&
                wrapped && !dashItem &&
                std::string_view(".!?:;").find(lines.back().back()) == kNone && text.size() > 2 &&
                text[2] >= 'a' && text[2] <= 'z')
                item = kNone;
            const bool continues = open && item == kNone && !table &&
                                   (indent == firstIndent || indent == hangColumn) && wrapped;
            if (continues) {
                std::string& joined = lines.back();
                if (!joinsTight(joined, text))
                    joined.push_back(' ');
                joined.append(text);
            } else {
                lines.emplace_back(line);
                open = indent > 0 && !table;
                firstIndent = indent;
                hangColumn = item;
                dashItem = item != kNone && text.starts_with("- ");
            }
            previousColumns = columns(line);
        }
        if (end == kNone)
            break;
        article.remove_prefix(end + 1);
    }
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out.push_back('\n');
        out.append(lines[i]);
    }
    return out;
}
