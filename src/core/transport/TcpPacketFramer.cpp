#include "core/transport/TcpPacketFramer.h"

namespace {

// A run of skipped bytes continues the previous one when nothing was framed in between, so one
// stretch of garbage is reported once.
void AddSkipped(TcpPacketFramer::Result& result, const char* bytes, qsizetype count, bool& lastWasSkip) {
    if (count <= 0)
        return;
    if (lastWasSkip && !result.Skipped.isEmpty())
        result.Skipped.last().append(bytes, count);
    else
        result.Skipped.append(QByteArray(bytes, count));
    lastWasSkip = true;
}

} // namespace

TcpPacketFramer::Result TcpPacketFramer::Push(const QByteArray& bytes) {
    Result result;
    Pending.append(bytes);

    const char* data = Pending.constData();
    const qsizetype size = Pending.size();
    qsizetype pos = 0;
    bool lastWasSkip = false;

    while (pos < size) {
        if (static_cast<unsigned char>(data[pos]) != START_BYTE) {
            const qsizetype next = Pending.indexOf(static_cast<char>(START_BYTE), pos + 1);
            const qsizetype end = next < 0 ? size : next;
            AddSkipped(result, data + pos, end - pos, lastWasSkip);
            pos = end;
            continue;
        }
        if (size - pos < HEADER_LENGTH)
            break; // the length field has not arrived yet

        const int payloadLength = (static_cast<unsigned char>(data[pos + LENGTH_OFFSET]) << 8) |
                                  static_cast<unsigned char>(data[pos + LENGTH_OFFSET + 1]);
        if (payloadLength < MIN_PAYLOAD_LENGTH) {
            // No packet can be this short: this 0xB0 was not a start byte after all.
            AddSkipped(result, data + pos, 1, lastWasSkip);
            ++pos;
            continue;
        }
        const qsizetype packetLength = payloadLength + ENVELOPE_LENGTH;
        if (size - pos < packetLength)
            break; // wait for the rest

        result.Packets.append(QByteArray(data + pos, packetLength));
        lastWasSkip = false;
        pos += packetLength;
    }

    Pending.remove(0, pos);
    return result;
}
