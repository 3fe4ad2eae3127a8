#pragma once

#include <string>
#include <string_view>

// The markup languages that dictionary articles come in.
enum class TMarkup {
    Html,  // HTML, and the Pango and KingSoft markup that look like it
    Xdxf,  // XDXF: like HTML, and <tr>…</tr> holds a transcription, not a table row
};

// Appends the plain text of a marked-up UTF-8 article to out: tags are removed, <br> and the
// end of a block (paragraph, division, list item, heading, table row) start a new line,
// character references (&lt; &#1076; &#x434; …) become their characters, comments and the
// contents of <script> and <style> are dropped, and CDATA sections are kept as text. Line
// breaks of the source stay. In XDXF a transcription is written between "[" and "]". An
// unknown entity or a "<" that opens no tag stays as it is.
void appendMarkupText(std::string_view markup, TMarkup kind, std::string& out);
