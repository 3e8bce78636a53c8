#include "platform/SystemText.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace tk {

DecodedText decodeFileText(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringConverter::System);
    QString text = decoder.decode(bytes);
    if (!decoder.hasError())
        return {text, TextEncoding::System};
    return {QString::fromLatin1(bytes), TextEncoding::Latin1};
}

QByteArray encodeFileText(const QString& text, TextEncoding encoding)
{
    if (encoding == TextEncoding::Latin1)
        return text.toLatin1();
    QStringEncoder encoder(QStringConverter::System);
    return encoder.encode(text);
}

QString trimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

} // namespace tk
