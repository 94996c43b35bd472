#pragma once

#include <QByteArray>
#include <algorithm>

// The bytes a radio parser may look at: the entry's stated length, but never more than was
// received. The window shares the caller's buffer; it lives no longer than the parse.
inline QByteArray RadioPayloadWindow(const QByteArray& value, int length) {
    const qsizetype size = std::clamp<qsizetype>(length, 0, value.size());
    return QByteArray::fromRawData(value.constData(), size);
}

// The first two bytes as a big-endian number, which the parsers log as the page's first position;
// 0 when the payload is shorter.
inline int RadioPayloadFirstPos(const QByteArray& payload) {
    if (payload.size() < 2)
        return 0;
    return (static_cast<unsigned char>(payload[0]) << 8) | static_cast<unsigned char>(payload[1]);
}
