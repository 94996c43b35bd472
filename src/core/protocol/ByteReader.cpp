#include "core/protocol/ByteReader.h"

bool ByteReader::take(qsizetype count) {
    if (Error || count < 0 || count > remaining()) {
        Error = true;
        return false;
    }
    return true;
}

void ByteReader::seek(qsizetype offset) {
    if (offset < 0 || offset > Bytes.size()) {
        Error = true;
        return;
    }
    Position = offset;
}

void ByteReader::skip(qsizetype count) {
    if (take(count))
        Position += count;
}

quint8 ByteReader::readU8() {
    if (!take(1))
        return 0;
    return byteAt(Position++);
}

quint16 ByteReader::readU16BE() {
    if (!take(2))
        return 0;
    const quint16 value = static_cast<quint16>((byteAt(Position) << 8) | byteAt(Position + 1));
    Position += 2;
    return value;
}

quint16 ByteReader::readU16LE() {
    if (!take(2))
        return 0;
    const quint16 value = static_cast<quint16>(byteAt(Position) | (byteAt(Position + 1) << 8));
    Position += 2;
    return value;
}

quint32 ByteReader::readU32BE() {
    if (!take(4))
        return 0;
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value = (value << 8) | byteAt(Position + i);
    Position += 4;
    return value;
}

quint32 ByteReader::readU32LE() {
    if (!take(4))
        return 0;
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | byteAt(Position + i);
    Position += 4;
    return value;
}

QByteArray ByteReader::readBytes(qsizetype count) {
    if (!take(count))
        return {};
    const QByteArray part = Bytes.mid(Position, count);
    Position += count;
    return part;
}

quint16 ByteReader::readSum16(qsizetype count) {
    if (!take(count))
        return 0;
    quint16 sum = 0;
    for (qsizetype i = 0; i < count; ++i)
        sum = static_cast<quint16>(sum + byteAt(Position + i));
    Position += count;
    return sum;
}
