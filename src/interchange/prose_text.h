#pragma once

#include <string>
#include <string_view>

// An article whose source wrapped its prose at a fixed width, with each paragraph made one line
// again, so that the program's window wraps it at its own width (UTF-8 in and out).
//
// A line is joined to the one before, after a blank (none after a word broken at its hyphen or
// an opening bracket or quote, nor before a closing punctuation mark; a mark followed by more
// than a blank or closing mark, as "!(N-1)" or "?>", is no closing mark, and a hyphen before
// "and", "or", "nor" or "to" is a suspended one that keeps its blank), when all of these hold:
//
//   - neither is blank, and the line before is not at the left margin (a headword or header);
//   - it opens no list item ("1.", "2)", "3:", "a)", "-", "*", "•", WordNet's "n 1:", "adj 2:";
//     numbers of up to two digits, three before ":"), and no "-" that follows wrapped prose,
//     nor a "*" or "+" going on with a small letter after prose broken off mid-sentence;
//   - it is indented as a continuation: as deep as the first line of what it continues, or as
//     deep as that line's text after its list marker (a hanging indent);
//   - the line before was wrapped: it and the line's first word would not fit in 60 columns,
//     or, in the body text (the indentation of most lines), it is 40 columns or more, ends
//     without a closing mark (. ! ? : ;) and the line goes on with a small letter, "{" or "(";
//   - neither looks like a table or code: no tab, no run of three blanks inside the text, not
//     a brace alone.
//
// Everything else (blank lines, lists, tables, code, pronunciation and header lines) stays.
std::string proseArticle(std::string_view article);
