#pragma once

class QString;
class QUrl;

// Hands a file or an address to the desktop, as the Windows shell's "open" does: the help file
// opens in its viewer, a web address in the browser, "mailto:" in the mail program.

// The address the desktop is given for text: a text with a scheme ("http:", "https:",
// "mailto:", "file:" …) is taken as an address, anything else as a local file path. An empty
// text gives an empty (invalid) address.
QUrl shellUrl(const QString& text);

// Opens text with the desktop's handler. Returns whether the desktop accepted it; callers
// that, like the help and web commands, report nothing may ignore the answer.
bool shellOpen(const QString& text);

// Whether the desktop, asked which program opens the local file path (its type's default
// handler, as xdg-mime tells it), names none. False also when it cannot be asked: the desktop's
// opener may still find a program.
bool lacksHandlerFor(const QString& path);
