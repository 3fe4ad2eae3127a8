#include "ui/shell_open.h"

#include <QDesktopServices>
#include <QMimeDatabase>
#include <QProcess>
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

bool lacksHandlerFor(const QString& path) {
    // The desktop's opener hands the file on and returns at once, and it says nothing when no
    // program takes files of this type; so the desktop's choice is asked first.
    constexpr int kAnswerWaitMs = 3000;
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QMimeDatabase().mimeTypeForFile(path).name()});
    if (!query.waitForFinished(kAnswerWaitMs) || query.exitStatus() != QProcess::NormalExit)
        return false;
    return query.readAllStandardOutput().trimmed().isEmpty();
}
