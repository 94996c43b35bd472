#include "core/transport/SerialFrameParser.h"

namespace {

unsigned char ByteAt(const QByteArray& batch, qsizetype pos) {
    return static_cast<unsigned char>(batch[pos]);
}

// Returns how far the walk advances.
qsizetype ParseTextLine(const QByteArray& batch, qsizetype pos, QList<SerialFrameItem>& items) {
    SerialFrameItem item;
    item.Type = SerialFrameItem::Kind::TextLine;
    item.Position = static_cast<int>(pos);
    qsizetype k = 0;
    while (pos + 1 + k < batch.size()) {
        const unsigned char byte = ByteAt(batch, pos + 1 + k);
        if (byte == SerialFrameParser::LINE_FEED)
            break;
        if (byte != SerialFrameParser::CARRIAGE_RETURN)
            item.Text += QChar(byte);
        ++k;
    }
    item.LookedAt = static_cast<int>(k);
    items.append(item);
    // The line feed itself is skipped as an ordinary byte in the next step.
    return k + 1;
}

qsizetype ParsePoll(const QByteArray& batch, qsizetype pos, QList<SerialFrameItem>& items) {
    SerialFrameItem item;
    item.Type = SerialFrameItem::Kind::Poll;
    item.Position = static_cast<int>(pos);
    if (pos + 1 < batch.size())
        item.PollByte = ByteAt(batch, pos + 1);
    items.append(item);
    return SerialFrameParser::POLL_LENGTH;
}

// Returns -1 when the walk must end.
qsizetype ParseReply(const QByteArray& batch, qsizetype pos, QList<SerialFrameItem>& items) {
    SerialFrameItem item;
    item.Position = static_cast<int>(pos);
    const qsizetype left = batch.size() - pos;
    if (left > 1)
        item.ItemType = ByteAt(batch, pos + 1);
    if (left >= SerialFrameParser::REPLY_HEADER_LENGTH)
        item.ValueLength = ByteAt(batch, pos + 2) | (ByteAt(batch, pos + 3) << 8);

    if (item.ValueLength < 0 || left < SerialFrameParser::REPLY_HEADER_LENGTH + item.ValueLength) {
        item.Type = SerialFrameItem::Kind::CutOff;
        items.append(item);
        return -1;
    }
    item.Type = SerialFrameItem::Kind::Reply;
    item.Frame = batch.mid(pos + 1, item.ValueLength + 3);
    items.append(item);
    // The trailing byte is not checked, so it may well be missing at the end of the batch.
    return SerialFrameParser::REPLY_HEADER_LENGTH + item.ValueLength +
           SerialFrameParser::REPLY_TRAILER_LENGTH;
}

} // namespace

QList<SerialFrameItem> SerialFrameParser::Parse(const QByteArray& batch) {
    QList<SerialFrameItem> items;
    qsizetype pos = 0;
    while (pos < batch.size()) {
        qsizetype advance = 1;
        switch (ByteAt(batch, pos)) {
        case TEXT_START:
            advance = ParseTextLine(batch, pos, items);
            break;
        case POLL_START:
            advance = ParsePoll(batch, pos, items);
            break;
        case REPLY_START:
            advance = ParseReply(batch, pos, items);
            break;
        default:
            break;
        }
        if (advance < 0)
            break;
        pos += advance;
    }
    return items;
}
