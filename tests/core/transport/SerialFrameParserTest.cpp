#include "core/transport/SerialFrameParser.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

// One line per item, so a whole batch compares as one list.
QString Describe(const SerialFrameItem& item) {
    switch (item.Type) {
    case SerialFrameItem::Kind::TextLine:
        return QStringLiteral("text@%1 k=%2 [%3]").arg(item.Position).arg(item.LookedAt).arg(item.Text);
    case SerialFrameItem::Kind::Poll:
        return QStringLiteral("poll@%1 %2").arg(item.Position).arg(item.PollByte);
    case SerialFrameItem::Kind::Reply:
        return QStringLiteral("reply@%1 type=%2 frame=%3")
            .arg(item.Position)
            .arg(item.ItemType)
            .arg(QString::fromLatin1(item.Frame.toHex(' ')));
    case SerialFrameItem::Kind::CutOff:
        return QStringLiteral("cutoff@%1 type=%2 len=%3")
            .arg(item.Position)
            .arg(item.ItemType)
            .arg(item.ValueLength);
    }
    return {};
}

QStringList DescribeAll(const QByteArray& batch) {
    QStringList lines;
    for (const SerialFrameItem& item : SerialFrameParser::Parse(batch))
        lines << Describe(item);
    return lines;
}

QByteArray Hex(const char* text) {
    return QByteArray::fromHex(text);
}

struct ParserCase {
    const char* Name;
    QByteArray Batch;
    QStringList Expected;
};

} // namespace

TEST(SerialFrameParserTest, SplitsBatchesIntoLinesPollsAndReplies) {
    const QList<ParserCase> cases = {
        {"text line with CR LF", " hello\r\n", {"text@0 k=6 [hello]"}},
        {"text line without line feed ends with the batch", " abc", {"text@0 k=3 [abc]"}},
        {"empty text line", " \n", {"text@0 k=0 []"}},
        {"two text lines", " a\n b\n", {"text@0 k=1 [a]", "text@3 k=1 [b]"}},
        {"carriage returns inside a line", " a\rb\r\n", {"text@0 k=4 [ab]"}},
        {"bytes above 0x7F are one character each",
         QByteArray(" \xE4\xFF\n"),
         {QStringLiteral("text@0 k=2 [\u00E4\u00FF]")}},
        {"text, poll and reply in that order",
         QByteArray(" hi\n") + Hex("EE07000000") +
             Hex("120102"
                 "00AABB"
                 "00"),
         {"text@0 k=2 [hi]", "poll@4 7", "reply@9 type=1 frame=01 02 00 aa bb"}},
        {"identity reply",
         Hex("1201080001020304050607"
             "0800"),
         {"reply@0 type=1 frame=01 08 00 01 02 03 04 05 06 07 08"}},
        {"reply whose trailing byte is missing", Hex("1209010005"), {"reply@0 type=9 frame=09 01 00 05"}},
        {"reply with empty value",
         Hex("1204000000"
             "EE01"),
         {"reply@0 type=4 frame=04 00 00", "poll@5 1"}},
        {"little-endian length",
         Hex("12070001") + QByteArray(256, 'v') + Hex("00"),
         {"reply@0 type=7 frame=07 00 01 " + QString::fromLatin1(QByteArray(256, 'v').toHex(' '))}},
        {"spaces and polls inside a value are value bytes",
         Hex("12010300"
             "20EE20"
             "00"),
         {"reply@0 type=1 frame=01 03 00 20 ee 20"}},
        {"other bytes are skipped one by one", Hex("00FF41") + Hex("EE02"), {"poll@3 2"}},
        {"poll at the end of the batch", Hex("EE"), {"poll@0 -1"}},
        {"poll shorter than five bytes", Hex("EE05"), {"poll@0 5"}},
        {"lying reply length ends the walk",
         Hex("1201FFFF010203"
             "EE01000000"),
         {"cutoff@0 type=1 len=65535"}},
        {"reply length one past the batch",
         Hex("1201030001"
             "02"),
         {"cutoff@0 type=1 len=3"}},
        {"reply without its length", Hex("1201"), {"cutoff@0 type=1 len=-1"}},
        {"reply with half its length", Hex("120105"), {"cutoff@0 type=1 len=-1"}},
        {"reply start byte alone", Hex("20410A12"), {"text@0 k=1 [A]", "cutoff@3 type=-1 len=-1"}},
        {"empty batch", QByteArray(), {}},
    };
    for (const ParserCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(DescribeAll(c.Batch), c.Expected);
    }
}

// Whatever the bytes, every item lies inside the batch, reply frames are exact copies of the
// batch at their place, and a cut-off frame is the last item.
void CheckInvariants(const QByteArray& batch) {
    const QList<SerialFrameItem> items = SerialFrameParser::Parse(batch);
    int lastPosition = -1;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const SerialFrameItem& item = items[i];
        ASSERT_GT(item.Position, lastPosition);
        ASSERT_LT(item.Position, batch.size());
        lastPosition = item.Position;
        switch (item.Type) {
        case SerialFrameItem::Kind::Reply:
            ASSERT_GE(item.ValueLength, 0);
            ASSERT_LE(item.Position + 4 + item.ValueLength, batch.size());
            ASSERT_EQ(item.Frame, batch.mid(item.Position + 1, item.ValueLength + 3));
            break;
        case SerialFrameItem::Kind::TextLine:
            ASSERT_LE(item.Position + 1 + item.LookedAt, batch.size());
            ASSERT_LE(item.Text.size(), item.LookedAt);
            break;
        case SerialFrameItem::Kind::CutOff:
            ASSERT_EQ(i, items.size() - 1);
            break;
        case SerialFrameItem::Kind::Poll:
            break;
        }
    }
}

TEST(SerialFrameParserTest, EveryTruncationStaysInsideTheBatch) {
    const QByteArray batch = QByteArray(" line one\r\n") + Hex("EE01020304") + Hex("1203020014000C") +
                             QByteArray(" tail") + Hex("120FFFFF00");
    for (qsizetype length = 0; length <= batch.size(); ++length) {
        SCOPED_TRACE(length);
        CheckInvariants(batch.left(length));
    }
    // Cut inside the second reply's value, the walk stops there and the earlier items survive.
    const QStringList cut = DescribeAll(batch.left(11 + 5 + 5));
    EXPECT_EQ(cut, (QStringList{"text@0 k=9 [line one]", "poll@11 1", "cutoff@16 type=3 len=2"}));
}

TEST(SerialFrameParserTest, RandomBatchesStayInsideTheBatch) {
    QRandomGenerator random(20240611);
    // Mostly frame start bytes, so lengths and cut-offs are hit often.
    const char alphabet[] = {0x12, 0x12, char(0xEE), 0x20, 0x0A, 0x0D, 0x00, 0x01, char(0xFF)};
    for (int round = 0; round < 3000; ++round) {
        QByteArray batch;
        const int size = random.bounded(40);
        for (int i = 0; i < size; ++i)
            batch.append(alphabet[random.bounded(int(sizeof(alphabet)))]);
        SCOPED_TRACE(batch.toHex(' ').toStdString());
        CheckInvariants(batch);
    }
}
