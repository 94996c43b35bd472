#pragma once

#include <QByteArray>

// A well-formed config packet: header with MAC 00-11-22-33-44-55, zero cipher block, payload
// length, type byte, body, payload checksum, counter, packet checksum, end byte 0xF0.
inline QByteArray MakeConfigPacket(unsigned char type, const QByteArray& body, quint16 counter = 1) {
    QByteArray packet;
    packet.append(char(0xB0));
    packet.append(QByteArray::fromHex("001122334455"));
    packet.append(QByteArray(8, '\0'));
    const int payloadLength = 1 + static_cast<int>(body.size()) + 2;
    packet.append(char(payloadLength >> 8));
    packet.append(char(payloadLength & 0xFF));
    packet.append(char(type));
    packet.append(body);
    quint16 sum = 0;
    for (qsizetype i = 17; i < packet.size(); ++i)
        sum = quint16(sum + static_cast<unsigned char>(packet[i]));
    packet.append(char(sum >> 8));
    packet.append(char(sum & 0xFF));
    packet.append(char(counter >> 8));
    packet.append(char(counter & 0xFF));
    sum = 0;
    for (char c : packet)
        sum = quint16(sum + static_cast<unsigned char>(c));
    packet.append(char(sum >> 8));
    packet.append(char(sum & 0xFF));
    packet.append(char(0xF0));
    return packet;
}

// Replaces the payload length field (bytes 15-16) with a value that does not match the packet.
inline QByteArray WithLengthField(QByteArray packet, int payloadLength) {
    packet[15] = char(payloadLength >> 8);
    packet[16] = char(payloadLength & 0xFF);
    return packet;
}
