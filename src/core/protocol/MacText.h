#pragma once

#include <QByteArray>
#include <QString>

inline constexpr int MAC_BYTES = 6;
inline constexpr int SERIAL_MAC_BYTES = 8;
inline const QString BROADCAST_MAC_TEXT = QStringLiteral("FF-FF-FF-FF-FF-FF");

// The six bytes of a MAC text such as "00-1A-2B-3C-4D-5E". Only the characters at the 1-based
// positions 3k+1 and 3k+2 are read, so "-", ":" or anything else may separate the pairs; a
// character that is not a hexadecimal digit, or is missing because the text is short, counts
// as 0. Always returns exactly six bytes.
QByteArray MacTextToBytes(const QString& text);

// "00-1A-2B-3C-4D-5E": six bytes from offset as upper-case hexadecimal pairs joined by "-".
// Empty when the six bytes are not all there.
QString MacBytesToText(const QByteArray& bytes, qsizetype offset = 0);

// A serial device's MAC text: eight bytes from offset, last to first, as upper-case
// hexadecimal pairs joined by single spaces ("08 07 06 05 04 03 02 01"). Empty when the eight
// bytes are not all there.
QString SerialMacText(const QByteArray& bytes, qsizetype offset = 0);
