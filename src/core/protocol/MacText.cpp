#include "core/protocol/MacText.h"

#include "core/protocol/ByteReader.h"

namespace {

int HexDigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return 0;
}

// A missing character counts like any other non-digit.
int DigitAt(const QString& text, qsizetype index) {
    return index < text.size() ? HexDigitValue(text.at(index)) : 0;
}

QString HexPair(quint8 value) {
    static const char digits[] = "0123456789ABCDEF";
    const char pair[2] = {digits[value >> 4], digits[value & 0x0F]};
    return QString::fromLatin1(pair, 2);
}

} // namespace

QByteArray MacTextToBytes(const QString& text) {
    QByteArray bytes(MAC_BYTES, '\0');
    for (int k = 0; k < MAC_BYTES; ++k)
        bytes[k] = static_cast<char>(DigitAt(text, 3 * k) * 16 + DigitAt(text, 3 * k + 1));
    return bytes;
}

QString MacBytesToText(const QByteArray& bytes, qsizetype offset) {
    ByteReader reader(bytes);
    reader.seek(offset);
    const QByteArray mac = reader.readBytes(MAC_BYTES);
    if (reader.hasError())
        return {};
    QString text;
    for (int i = 0; i < MAC_BYTES; ++i) {
        if (i > 0)
            text += QLatin1Char('-');
        text += HexPair(static_cast<quint8>(mac.at(i)));
    }
    return text;
}

QString SerialMacText(const QByteArray& bytes, qsizetype offset) {
    ByteReader reader(bytes);
    reader.seek(offset);
    const QByteArray mac = reader.readBytes(SERIAL_MAC_BYTES);
    if (reader.hasError())
        return {};
    QString text;
    for (int i = SERIAL_MAC_BYTES - 1; i >= 0; --i) {
        text += HexPair(static_cast<quint8>(mac.at(i)));
        if (i > 0)
            text += QLatin1Char(' ');
    }
    return text;
}
