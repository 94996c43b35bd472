#include "core/transport/TcpPacketFramer.h"

#include "core/transport/TransportTestPackets.h"

#include <gtest/gtest.h>

namespace {

// A discovery-sized reply and a smaller one; neither holds 0xB0 after its start byte, so the
// cases below know exactly where a resync lands.
const QByteArray P1 = MakeConfigPacket(0x04, QByteArray::fromHex("00010006414243444546"), 7);
const QByteArray P2 = MakeConfigPacket(0x03, QByteArray(), 8);

struct FramerCase {
    const char* Name;
    QList<QByteArray> Reads;
    QList<QByteArray> Packets;
    QList<QByteArray> Skipped;
    qsizetype Pending;
};

struct Collected {
    QList<QByteArray> Packets;
    QList<QByteArray> Skipped;
};

Collected PushAll(TcpPacketFramer& framer, const QList<QByteArray>& reads) {
    Collected all;
    for (const QByteArray& read : reads) {
        const TcpPacketFramer::Result result = framer.Push(read);
        all.Packets += result.Packets;
        all.Skipped += result.Skipped;
    }
    return all;
}

QByteArray Hex(const char* text) {
    return QByteArray::fromHex(text);
}

} // namespace

TEST(TcpPacketFramerTest, TestPacketsHaveNoStrayStartByte) {
    ASSERT_EQ(P1.indexOf(char(0xB0), 1), -1);
    ASSERT_EQ(P2.indexOf(char(0xB0), 1), -1);
}

TEST(TcpPacketFramerTest, FramesTheStreamByTheLengthField) {
    const QByteArray shortLie = WithLengthField(P1, 3);  // says 25 bytes, P1 is longer
    const QByteArray longLie = WithLengthField(P1, 200); // says 222 bytes
    const QList<FramerCase> cases = {
        {"one packet in one read", {P1}, {P1}, {}, 0},
        {"two packets in one read", {P1 + P2}, {P1, P2}, {}, 0},
        {"one packet in three reads", {P1.left(5), P1.mid(5, 20), P1.mid(25)}, {P1}, {}, 0},
        {"second packet split over reads", {P1 + P2.left(10), P2.mid(10)}, {P1, P2}, {}, 0},
        {"garbage before the start byte", {Hex("010203") + P1}, {P1}, {Hex("010203")}, 0},
        {"garbage between packets, split",
         {P1 + Hex("AA"), Hex("BB") + P2},
         {P1, P2},
         {Hex("AA"), Hex("BB")},
         0},
        {"only garbage", {Hex("00FF7F")}, {}, {Hex("00FF7F")}, 0},
        {"header not complete", {P1.left(16)}, {}, {}, 16},
        {"start byte with too small a length",
         {WithLengthField(P1, 2).left(17) + P2},
         {P2},
         {WithLengthField(P1, 2).left(17)},
         0},
        {"length shorter than the packet", {shortLie + P2}, {shortLie.left(25), P2}, {shortLie.mid(25)}, 0},
        {"length longer than the packet waits", {longLie + P2}, {}, {}, longLie.size() + P2.size()},
        {"length longer than the packet, completed",
         {longLie + P2, QByteArray(222 - longLie.size() - P2.size(), 'x') + P1},
         {(longLie + P2 + QByteArray(222 - longLie.size() - P2.size(), 'x')), P1},
         {},
         0},
    };
    for (const FramerCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TcpPacketFramer framer;
        const Collected all = PushAll(framer, c.Reads);
        EXPECT_EQ(all.Packets, c.Packets);
        EXPECT_EQ(all.Skipped, c.Skipped);
        EXPECT_EQ(framer.PendingLength(), c.Pending);
    }
}

TEST(TcpPacketFramerTest, ByteByByteEachPacketCompletesAtItsLastByte) {
    const QByteArray stream = P1 + P2 + P1;
    const QList<qsizetype> ends = {P1.size(), P1.size() + P2.size(), stream.size()};
    TcpPacketFramer framer;
    QList<QByteArray> packets;
    for (qsizetype i = 0; i < stream.size(); ++i) {
        const TcpPacketFramer::Result result = framer.Push(stream.mid(i, 1));
        EXPECT_TRUE(result.Skipped.isEmpty()) << "at byte " << i;
        if (ends.contains(i + 1))
            EXPECT_EQ(result.Packets.size(), 1) << "at byte " << i;
        else
            EXPECT_TRUE(result.Packets.isEmpty()) << "at byte " << i;
        packets += result.Packets;
    }
    EXPECT_EQ(packets, (QList<QByteArray>{P1, P2, P1}));
    EXPECT_EQ(framer.PendingLength(), 0);
}

TEST(TcpPacketFramerTest, EverySplitPointGivesThePacketOnce) {
    for (qsizetype split = 0; split <= P1.size(); ++split) {
        SCOPED_TRACE(split);
        TcpPacketFramer framer;
        const Collected all = PushAll(framer, {P1.left(split), P1.mid(split)});
        EXPECT_EQ(all.Packets, QList<QByteArray>{P1});
        EXPECT_TRUE(all.Skipped.isEmpty());
        EXPECT_EQ(framer.PendingLength(), 0);
    }
}

TEST(TcpPacketFramerTest, LargestPacketArrivesWhole) {
    const QByteArray big = MakeConfigPacket(0x04, QByteArray(65535 - 3, 'k'));
    ASSERT_EQ(big.size(), TcpPacketFramer::MAX_PACKET_LENGTH);
    TcpPacketFramer framer;
    QList<QByteArray> packets;
    qsizetype mostPending = 0;
    for (qsizetype i = 0; i < big.size(); ++i) {
        packets += framer.Push(big.mid(i, 1)).Packets;
        mostPending = qMax(mostPending, framer.PendingLength());
    }
    EXPECT_EQ(packets, QList<QByteArray>{big});
    EXPECT_LT(mostPending, TcpPacketFramer::MAX_PACKET_LENGTH);
    EXPECT_EQ(framer.PendingLength(), 0);
}

TEST(TcpPacketFramerTest, ALyingMaximumLengthHoldsNoMoreThanOnePacket) {
    // A start byte claiming the largest payload, then far more bytes than that in one read:
    // at most one packet's worth is kept together, the rest is skipped, nothing waits.
    const QByteArray lie = WithLengthField(P1, 0xFFFF);
    const QByteArray read = lie + QByteArray(100000, 'z');
    TcpPacketFramer framer;
    const TcpPacketFramer::Result result = framer.Push(read);
    ASSERT_EQ(result.Packets.size(), 1);
    EXPECT_EQ(result.Packets[0], read.left(TcpPacketFramer::MAX_PACKET_LENGTH));
    ASSERT_EQ(result.Skipped.size(), 1);
    EXPECT_EQ(result.Skipped[0].size(), read.size() - TcpPacketFramer::MAX_PACKET_LENGTH);
    EXPECT_EQ(framer.PendingLength(), 0);
}

TEST(TcpPacketFramerTest, ClearDropsAPartialPacket) {
    TcpPacketFramer framer;
    framer.Push(P1.left(30));
    framer.Clear();
    const TcpPacketFramer::Result result = framer.Push(P2);
    EXPECT_EQ(result.Packets, QList<QByteArray>{P2});
    EXPECT_TRUE(result.Skipped.isEmpty());
}
