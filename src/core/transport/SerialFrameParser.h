#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One thing found in a batch of bytes from a serial device.
struct SerialFrameItem {
    enum class Kind {
        TextLine, // a debug text line of the device (first byte a space)
        Poll,     // the device asks to be polled; it is answered with SERIAL_POLL_ANSWER
        Reply,    // a reply frame carrying one item
        CutOff,   // a reply frame whose value runs past the end of the batch; the walk ends here
    };

    Kind Type = Kind::TextLine;
    int Position = 0; // offset of the frame's first byte in the batch

    // TextLine: the text without carriage returns, and the number of bytes looked at after the
    // leading space (carriage returns included, the line feed not).
    QString Text;
    int LookedAt = 0;

    // Poll: the byte after 0xEE, or -1 when the batch ended before it.
    int PollByte = -1;

    // Reply and CutOff: the item type (-1 when the batch ended before it) and the declared value
    // length (-1 when the batch ended before the length).
    int ItemType = -1;
    int ValueLength = -1;
    // Reply: item type, 16-bit little-endian length, value bytes (ValueLength + 3 bytes). The
    // trailing byte a device sends after the value is not part of it: nothing reads it.
    QByteArray Frame;
};

// Splits one batch of serial bytes into text lines, polls and reply frames. Pure: it only looks
// at the batch and never reads outside it.
//
//   0x20 ' '  text line up to a line feed or the end of the batch
//   0xEE      poll, 5 bytes
//   0x12      reply: item type, value length L (16-bit little-endian), L value bytes, 1 more byte
//   other     skipped one byte at a time
//
// A reply whose declared value does not fit in the batch ends the walk: whatever follows it
// cannot be told apart from the missing value bytes.
class SerialFrameParser {
public:
    static constexpr unsigned char TEXT_START = 0x20;
    static constexpr unsigned char LINE_FEED = 0x0A;
    static constexpr unsigned char CARRIAGE_RETURN = 0x0D;
    static constexpr unsigned char POLL_START = 0xEE;
    static constexpr int POLL_LENGTH = 5;
    static constexpr unsigned char REPLY_START = 0x12;
    static constexpr int REPLY_HEADER_LENGTH = 4; // 0x12, item type, two length bytes
    static constexpr int REPLY_TRAILER_LENGTH = 1;

    static QList<SerialFrameItem> Parse(const QByteArray& batch);
};

// What every poll of a serial device is answered with: a read of item 4.
inline const QByteArray SERIAL_POLL_ANSWER = QByteArray::fromRawData("\x11\x04\x00\x00", 4);
