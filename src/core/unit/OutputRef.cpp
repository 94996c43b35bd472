#include "core/unit/OutputRef.h"

#include <QByteArray>
#include <algorithm>

OutputRef OutputRef::FromBytes(const unsigned char* bytes, qsizetype count) {
    OutputRef ref;
    if (bytes == nullptr)
        return ref;
    const qsizetype n = std::clamp<qsizetype>(count, 0, SIZE);
    std::copy_n(bytes, n, ref.Bytes.begin());
    return ref;
}

OutputRef OutputRef::FromBytes(const QByteArray& bytes) {
    return FromBytes(reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
}

void OutputRef::SetFromElement(const unsigned char* bytes, qsizetype count) {
    *this = FromBytes(bytes, count);
}

bool OutputRef::IsNone() const {
    return std::all_of(Bytes.begin(), Bytes.end(), [](uint8_t b) { return b == 0; });
}

QString OutputRef::Text() const {
    if (IsNone())
        return QString();
    if (Bytes[0] == UNIT_OUTPUT_MARK && Bytes[2] == 0)
        return QString::number(Bytes[1]);
    static const char digits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(2 * 8 + 4);
    for (int i = 0; i < 8; ++i) {
        text += QLatin1Char(digits[Bytes[i] >> 4]);
        text += QLatin1Char(digits[Bytes[i] & 0x0F]);
    }
    text += QLatin1Char(':');
    text += QString::number(Bytes[8]);
    return text;
}
