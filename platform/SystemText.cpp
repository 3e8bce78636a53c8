#include "platform/SystemText.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace tk {

bool isSystemText(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::System,
                           QStringConverter::Flag::Stateless
                               | QStringConverter::Flag::ConvertInitialBom);
    const QString ignored = decoder.decode(bytes);
    return !decoder.hasError();
}

QString decodeSystemText(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

QByteArray encodeFileText(const QString& text, TextEncoding encoding)
{
    if (encoding == TextEncoding::Latin1)
        return text.toLatin1();
    QStringEncoder encoder(QStringConverter::System);
    return encoder.encode(text);
}

namespace {

// Some code pages put a stand-in such as "?" in place of what they lack and
// report nothing, so only the round trip tells.
bool survivesRoundTrip(const QString& character, TextEncoding encoding)
{
    if (encoding == TextEncoding::Latin1)
        return character.size() == 1 && character.at(0).unicode() <= 0xFF;
    QStringEncoder encoder(QStringConverter::System);
    const QByteArray bytes = encoder.encode(character);
    return !encoder.hasError() && decodeSystemText(bytes) == character;
}

} // namespace

QString unstorableCharacters(const QString& text, std::initializer_list<TextEncoding> encodings)
{
    QString unstorable;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size()
            && text.at(i + 1).isLowSurrogate();
        const QString character = text.mid(i, pair ? 2 : 1);
        i += pair ? 1 : 0;
        if (character.at(0).unicode() < 0x80 || unstorable.contains(character))
            continue;
        const bool stored = std::all_of(encodings.begin(), encodings.end(), [&](TextEncoding e) {
            return survivesRoundTrip(character, e);
        });
        if (!stored)
            unstorable += character;
    }
    return unstorable;
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
