#include "ui/text.h"

#include <QByteArray>
#include <QStringDecoder>
#include <QTextDocument>

#include "interchange/fold_1251.h"
#include "platform/codepage.h"

QString fromCp1251(std::string_view text) {
    return QString::fromStdString(codepage::toUtf8(text));
}

std::optional<std::string> toCp1251(const QString& text, char32_t* firstBad) {
    return codepage::fromUtf8(text.toUtf8().toStdString(), firstBad);
}

std::optional<std::string> lookupForm(const QString& text) {
    return foldForLookup(text.toStdString());
}

QString fromForm(std::string_view text, TTextForm form) {
    if (form == TTextForm::Utf8)
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return fromCp1251(text);
}

std::optional<std::string> toForm(const QString& text, TTextForm form, char32_t* firstBad) {
    if (form == TTextForm::Utf8)
        return text.toUtf8().toStdString();
    return toCp1251(text, firstBad);
}

std::optional<std::string> lookupForm(const QString& text, TTextForm form) {
    if (form == TTextForm::Utf8)
        return text.toUtf8().toStdString();
    return lookupForm(text);
}

std::optional<char32_t> firstUnstorable(std::initializer_list<QString> texts) {
    for (const QString& text : texts) {
        char32_t bad = 0;
        if (!toCp1251(text, &bad))
            return bad;
    }
    return std::nullopt;
}

QString toBoxLines(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString fromBoxLines(const QTextDocument& document) {
    QString text = document.toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

QString unstorableCharacterText(char32_t character) {
    const QString shown = QString::fromUcs4(&character, 1);
    const QString code =
        QStringLiteral("U+%1").arg(static_cast<uint>(character), 4, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("Знак «") + shown + QStringLiteral("» (") + code +
           QStringLiteral(") нельзя сохранить в словаре: его нет в кодировке Windows-1251.");
}

QString errorText(const std::exception& error) {
    const QByteArray message(error.what());
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString asUtf8 = utf8.decode(message);
    if (!utf8.hasError())
        return asUtf8;
    return fromCp1251(message.toStdString());
}
