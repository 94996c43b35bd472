#include "core/protocol/ByteReader.h"
#include "core/protocol/ByteWriter.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray bytes;
    for (int v : values)
        bytes.append(static_cast<char>(v));
    return bytes;
}

} // namespace

TEST(ByteReader, ReadsEachWidthInTheNamedByteOrder) {
    ByteReader reader(
        Bytes({0xB0, 0x12, 0x34, 0x12, 0x34, 0xDE, 0xAD, 0xBE, 0xEF, 0xDE, 0xAD, 0xBE, 0xEF, 0xFF}));
    EXPECT_EQ(reader.readU8(), 0xB0);
    EXPECT_EQ(reader.readU16BE(), 0x1234);
    EXPECT_EQ(reader.readU16LE(), 0x3412);
    EXPECT_EQ(reader.readU32BE(), 0xDEADBEEFu);
    EXPECT_EQ(reader.readU32LE(), 0xEFBEADDEu);
    EXPECT_EQ(reader.readU8(), 0xFF);
    EXPECT_TRUE(reader.atEnd());
    EXPECT_TRUE(reader.ok());
}

TEST(ByteReader, ReadPastTheEndGivesZeroAndAStickyError) {
    // Each read kind, one byte short: 0, error set, position untouched.
    struct Case {
        const char* Name;
        qsizetype Available;
        std::function<quint64(ByteReader&)> Read;
    } cases[] = {
        {"u8", 0, [](ByteReader& r) { return quint64(r.readU8()); }},
        {"u16be", 1, [](ByteReader& r) { return quint64(r.readU16BE()); }},
        {"u16le", 1, [](ByteReader& r) { return quint64(r.readU16LE()); }},
        {"u32be", 3, [](ByteReader& r) { return quint64(r.readU32BE()); }},
        {"u32le", 3, [](ByteReader& r) { return quint64(r.readU32LE()); }},
        {"bytes", 4, [](ByteReader& r) { return quint64(r.readBytes(5).size()); }},
        {"sum", 4, [](ByteReader& r) { return quint64(r.readSum16(5)); }},
    };
    for (const Case& c : cases) {
        ByteReader reader(QByteArray(c.Available + 1, '\x7F'));
        reader.skip(1);
        EXPECT_EQ(c.Read(reader), 0u) << c.Name;
        EXPECT_TRUE(reader.hasError()) << c.Name;
        EXPECT_EQ(reader.position(), 1) << c.Name;
        // Sticky: even a read that would fit gives 0 now.
        EXPECT_EQ(reader.readU8(), 0) << c.Name;
        EXPECT_TRUE(reader.hasError()) << c.Name;
    }
}

TEST(ByteReader, SeekSkipAndNegativeCountsStayInside) {
    const QByteArray data = Bytes({1, 2, 3, 4});
    {
        ByteReader reader(data);
        reader.seek(4);
        EXPECT_TRUE(reader.ok());
        EXPECT_TRUE(reader.atEnd());
        reader.seek(5);
        EXPECT_TRUE(reader.hasError());
    }
    {
        ByteReader reader(data);
        reader.seek(-1);
        EXPECT_TRUE(reader.hasError());
    }
    {
        ByteReader reader(data);
        EXPECT_TRUE(reader.readBytes(-1).isEmpty());
        EXPECT_TRUE(reader.hasError());
    }
    {
        ByteReader reader(data);
        reader.skip(2);
        EXPECT_EQ(reader.readBytes(2), Bytes({3, 4}));
        reader.skip(1);
        EXPECT_TRUE(reader.hasError());
    }
    {
        // The sum wraps at 16 bits.
        ByteReader reader(QByteArray(300, '\xFF'));
        EXPECT_EQ(reader.readSum16(300), quint16((300 * 255) & 0xFFFF));
        EXPECT_TRUE(reader.ok());
    }
}

TEST(ByteWriter, WritesEachWidthInTheNamedByteOrder) {
    ByteWriter writer(32);
    writer.writeU8(0xB0);
    writer.writeU16BE(0x1234);
    writer.writeU16LE(0x1234);
    writer.writeU32BE(0xDEADBEEF);
    writer.writeU32LE(0xDEADBEEF);
    writer.writeBytes(Bytes({0x00, 0xFF}));
    EXPECT_EQ(writer.bytes(), Bytes({0xB0, 0x12, 0x34, 0x34, 0x12, 0xDE, 0xAD, 0xBE, 0xEF, 0xEF, 0xBE, 0xAD,
                                     0xDE, 0x00, 0xFF}));
    EXPECT_FALSE(writer.overflowed());
    EXPECT_TRUE(writer.patchU16BE(1, 0xABCD));
    EXPECT_TRUE(writer.patchU16LE(3, 0xABCD));
    EXPECT_EQ(writer.bytes().mid(1, 4), Bytes({0xAB, 0xCD, 0xCD, 0xAB}));
    EXPECT_EQ(writer.sum16(13, 2), 0xFF);
    EXPECT_EQ(writer.sum16(14, 2), 0); // outside what was written
}

TEST(ByteWriter, RefusesToGrowPastItsCapacity) {
    ByteWriter writer(5);
    EXPECT_TRUE(writer.writeU16BE(0x0102));
    EXPECT_FALSE(writer.writeU32BE(0x03040506)); // 3 bytes left: nothing of it is written
    EXPECT_EQ(writer.size(), 2);
    EXPECT_TRUE(writer.overflowed());
    // Sticky: a write that would fit is refused too, so a packet never has a hole in it.
    EXPECT_FALSE(writer.writeU8(7));
    EXPECT_EQ(writer.bytes(), Bytes({1, 2}));
    EXPECT_EQ(writer.requiredSize(), 2 + 4 + 1);

    ByteWriter exact(4);
    EXPECT_TRUE(exact.writeU32LE(1));
    EXPECT_EQ(exact.remaining(), 0);
    EXPECT_FALSE(exact.overflowed());
    EXPECT_FALSE(exact.writeBytes(QByteArray(1, 'x')));
    EXPECT_EQ(exact.size(), 4);

    ByteWriter patch(4);
    patch.writeU16BE(0);
    EXPECT_FALSE(patch.patchU16BE(1, 0xFFFF)); // would reach past the written bytes
    EXPECT_EQ(patch.bytes(), Bytes({0, 0}));
}

TEST(ByteWriter, TextsGoOutAsTheLowByteOfEachCharacter) {
    ByteWriter writer(8);
    writer.writeTextLowBytes(QStringLiteral("a\u00E5\u0141"));
    EXPECT_EQ(writer.bytes(), Bytes({0x61, 0xE5, 0x41}));
}
