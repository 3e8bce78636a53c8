#include "platform/SystemText.h"

#include "platform/TextScan.h"

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
    for (qsizetype i = 0, length = 0; i < text.size(); i += length) {
        length = characterAt(text, i).length;
        const QString character = text.mid(i, length);
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
    return withoutBlanks(QStringView(text)).toString();
}

} // namespace tk
