#include "ui/shell_open.h"

#include <QDesktopServices>
#include <QRegularExpression>
#include <QString>
#include <QUrl>

QUrl shellUrl(const QString& text) {
    if (text.isEmpty())
        return QUrl();
    // A scheme is letters, digits, "+", "-" or "." after a first letter, then ":". One letter
    // alone is not taken as one, so a Windows drive name never turns into a scheme.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (scheme.match(text).hasMatch())
        return QUrl(text);
    return QUrl::fromLocalFile(text);
}

bool shellOpen(const QString& text) {
    const QUrl url = shellUrl(text);
    return url.isValid() && QDesktopServices::openUrl(url);
}
