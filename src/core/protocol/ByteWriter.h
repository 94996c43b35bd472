#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Bounds-checked building of packets in a buffer of fixed capacity. Every multi-byte write names
// its byte order. A write that does not fit whole is refused: nothing of it is written, the
// sticky overflow flag is set, and from then on every write is refused, so a packet is either
// complete or clearly marked as not sendable. requiredSize() tells how long it would have been.
class ByteWriter {
public:
    explicit ByteWriter(qsizetype capacity);

    qsizetype capacity() const { return Capacity; }
    qsizetype size() const { return Bytes.size(); }
    qsizetype remaining() const { return Capacity - Bytes.size(); }
    bool overflowed() const { return Overflow; }
    // Bytes written plus every byte refused so far.
    qsizetype requiredSize() const { return Bytes.size() + Refused; }
    const QByteArray& bytes() const { return Bytes; }

    bool writeU8(quint8 value);
    bool writeU16BE(quint16 value);
    bool writeU16LE(quint16 value);
    bool writeU32BE(quint32 value);
    bool writeU32LE(quint32 value);
    bool writeBytes(const QByteArray& bytes);
    // Texts go on the wire as the low byte of each character.
    bool writeTextLowBytes(const QString& text);

    // Overwrites two bytes already written (a length placeholder, for instance).
    bool patchU16BE(qsizetype offset, quint16 value);
    bool patchU16LE(qsizetype offset, quint16 value);

    // The 16-bit sum (unsigned, wrapping) of count written bytes from offset; 0 when outside.
    quint16 sum16(qsizetype offset, qsizetype count) const;

    // For callers that find a field cannot be represented (a length above 16 bits): the packet
    // is then refused like one that ran out of room.
    void markOverflow() { Overflow = true; }

private:
    bool fits(qsizetype count);

    QByteArray Bytes;
    qsizetype Capacity;
    qsizetype Refused = 0;
    bool Overflow = false;
};

// The low byte of each character of a text, in order.
QByteArray TextToLowBytes(const QString& text);
