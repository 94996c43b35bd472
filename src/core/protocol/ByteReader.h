#pragma once

#include <QByteArray>
#include <QtGlobal>

// Bounds-checked reading of received bytes. Every multi-byte read names its byte order. A read
// that would pass the end returns 0 (or nothing) and sets a sticky error flag; once the flag is
// set every further read returns 0 as well, so a parser can read a whole record and check
// hasError() once at the end instead of after every field.
class ByteReader {
public:
    explicit ByteReader(const QByteArray& bytes) : Bytes(bytes) {}

    qsizetype size() const { return Bytes.size(); }
    qsizetype position() const { return Position; }
    qsizetype remaining() const { return Bytes.size() - Position; }
    bool atEnd() const { return Position >= Bytes.size(); }
    bool hasError() const { return Error; }
    bool ok() const { return !Error; }

    // Moves to an absolute offset; an offset outside 0..size() sets the error flag.
    void seek(qsizetype offset);
    void skip(qsizetype count);

    quint8 readU8();
    quint16 readU16BE();
    quint16 readU16LE();
    quint32 readU32BE();
    quint32 readU32LE();
    // Exactly count bytes, or an empty array and the error flag.
    QByteArray readBytes(qsizetype count);
    // The 16-bit sum of the next count bytes (unsigned, wrapping), as the config envelope uses.
    quint16 readSum16(qsizetype count);

private:
    // True (and the position is left alone) when count more bytes can be read.
    bool take(qsizetype count);
    quint8 byteAt(qsizetype offset) const { return static_cast<quint8>(Bytes.at(offset)); }

    QByteArray Bytes;
    qsizetype Position = 0;
    bool Error = false;
};
