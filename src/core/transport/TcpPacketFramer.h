#pragma once

#include <QByteArray>
#include <QList>

// Cuts the byte stream of a TCP connection into config packets. TCP delivers bytes, not
// packets: one read may hold two packets, or a quarter of one, so each packet is found by the
// payload length N in its header (bytes 15-16, big-endian) and is N + 22 bytes long.
//
// Rules:
// - A complete packet is handed on exactly once, with nothing before or after it.
// - A partial packet is kept until the rest arrives. Since N is a 16-bit number, a packet is at
//   most 65,557 bytes, and that also bounds what is kept between reads.
// - Bytes that cannot start a packet are skipped up to the next 0xB0: any other byte, and a
//   0xB0 whose length field is too small to hold a packet type and the payload checksum.
//
// The framer trusts the length field and nothing else; the checksums are checked by whoever
// parses the packet, exactly as for a UDP datagram.
class TcpPacketFramer {
public:
    static constexpr unsigned char START_BYTE = 0xB0;
    static constexpr int HEADER_LENGTH = 17;     // up to and including the length field
    static constexpr int LENGTH_OFFSET = 15;     // big-endian payload length N
    static constexpr int ENVELOPE_LENGTH = 22;   // header + counter + packet checksum + end byte
    static constexpr int MIN_PAYLOAD_LENGTH = 3; // packet type + payload checksum
    static constexpr int MAX_PACKET_LENGTH = 65535 + ENVELOPE_LENGTH; // 65,557

    struct Result {
        QList<QByteArray> Packets; // complete packets, in stream order
        QList<QByteArray> Skipped; // runs of bytes that could not start a packet, in stream order
    };

    // Adds the bytes of one read and returns what they completed.
    Result Push(const QByteArray& bytes);
    // Forgets a partial packet (a new connection starts a new stream).
    void Clear() { Pending.clear(); }
    // Bytes kept for a packet that is not complete yet; never more than MAX_PACKET_LENGTH - 1.
    qsizetype PendingLength() const { return Pending.size(); }

private:
    QByteArray Pending;
};
