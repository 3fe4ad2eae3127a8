#include "ui/text.h"

#include <QByteArray>
#include <QStringDecoder>

#include "platform/codepage.h"

QString fromCp1251(std::string_view text) {
    return QString::fromStdString(codepage::toUtf8(text));
}

std::optional<std::string> toCp1251(const QString& text, char32_t* firstBad) {
    return codepage::fromUtf8(text.toUtf8().toStdString(), firstBad);
}

QString errorText(const std::exception& error) {
    const QByteArray message(error.what());
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString asUtf8 = utf8.decode(message);
    if (!utf8.hasError())
        return asUtf8;
    return fromCp1251(message.toStdString());
}
