#include "core/protocol/ByteWriter.h"

ByteWriter::ByteWriter(qsizetype capacity) : Capacity(capacity < 0 ? 0 : capacity) {
    Bytes.reserve(Capacity);
}

bool ByteWriter::fits(qsizetype count) {
    if (Overflow || count > remaining()) {
        Overflow = true;
        Refused += count;
        return false;
    }
    return true;
}

bool ByteWriter::writeU8(quint8 value) {
    if (!fits(1))
        return false;
    Bytes.append(static_cast<char>(value));
    return true;
}

bool ByteWriter::writeU16BE(quint16 value) {
    if (!fits(2))
        return false;
    Bytes.append(static_cast<char>(value >> 8));
    Bytes.append(static_cast<char>(value & 0xFF));
    return true;
}

bool ByteWriter::writeU16LE(quint16 value) {
    if (!fits(2))
        return false;
    Bytes.append(static_cast<char>(value & 0xFF));
    Bytes.append(static_cast<char>(value >> 8));
    return true;
}

bool ByteWriter::writeU32BE(quint32 value) {
    if (!fits(4))
        return false;
    for (int shift = 24; shift >= 0; shift -= 8)
        Bytes.append(static_cast<char>((value >> shift) & 0xFF));
    return true;
}

bool ByteWriter::writeU32LE(quint32 value) {
    if (!fits(4))
        return false;
    for (int shift = 0; shift <= 24; shift += 8)
        Bytes.append(static_cast<char>((value >> shift) & 0xFF));
    return true;
}

bool ByteWriter::writeBytes(const QByteArray& bytes) {
    if (!fits(bytes.size()))
        return false;
    Bytes.append(bytes);
    return true;
}

bool ByteWriter::writeTextLowBytes(const QString& text) {
    return writeBytes(TextToLowBytes(text));
}

bool ByteWriter::patchU16BE(qsizetype offset, quint16 value) {
    if (offset < 0 || offset + 2 > Bytes.size()) {
        Overflow = true;
        return false;
    }
    Bytes[offset] = static_cast<char>(value >> 8);
    Bytes[offset + 1] = static_cast<char>(value & 0xFF);
    return true;
}

bool ByteWriter::patchU16LE(qsizetype offset, quint16 value) {
    if (offset < 0 || offset + 2 > Bytes.size()) {
        Overflow = true;
        return false;
    }
    Bytes[offset] = static_cast<char>(value & 0xFF);
    Bytes[offset + 1] = static_cast<char>(value >> 8);
    return true;
}

quint16 ByteWriter::sum16(qsizetype offset, qsizetype count) const {
    if (offset < 0 || count < 0 || offset > Bytes.size() || count > Bytes.size() - offset)
        return 0;
    quint16 sum = 0;
    for (qsizetype i = offset; i < offset + count; ++i)
        sum = static_cast<quint16>(sum + static_cast<quint8>(Bytes.at(i)));
    return sum;
}

QByteArray TextToLowBytes(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar c : text)
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
    return bytes;
}
