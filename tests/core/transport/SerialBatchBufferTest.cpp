#include "core/transport/SerialBatchBuffer.h"

#include <gtest/gtest.h>

namespace {

// Ticks until a batch comes out; returns the number of ticks it took (0 when none came).
int TicksUntilBatch(SerialBatchBuffer& buffer, QByteArray* batch, int limit = 100) {
    for (int tick = 1; tick <= limit; ++tick) {
        if (std::optional<QByteArray> out = buffer.Tick()) {
            *batch = *out;
            return tick;
        }
    }
    return 0;
}

} // namespace

TEST(SerialBatchBufferTest, ABatchClosesAtTheTenthQuietTick) {
    SerialBatchBuffer buffer;
    EXPECT_FALSE(buffer.Waiting());
    EXPECT_FALSE(buffer.Tick().has_value());

    EXPECT_TRUE(buffer.Append("\x12\x01").isEmpty());
    EXPECT_TRUE(buffer.Waiting());
    QByteArray batch;
    EXPECT_EQ(TicksUntilBatch(buffer, &batch), SerialBatchBuffer::QUIET_TICKS);
    EXPECT_EQ(batch, QByteArray("\x12\x01"));
    EXPECT_FALSE(buffer.Waiting());
    EXPECT_EQ(buffer.Count(), 0);
}

TEST(SerialBatchBufferTest, NewBytesRestartTheQuietTime) {
    SerialBatchBuffer buffer;
    buffer.Append("ab");
    for (int tick = 0; tick < SerialBatchBuffer::QUIET_TICKS - 1; ++tick)
        ASSERT_FALSE(buffer.Tick().has_value());
    buffer.Append("cd");
    QByteArray batch;
    EXPECT_EQ(TicksUntilBatch(buffer, &batch), SerialBatchBuffer::QUIET_TICKS);
    EXPECT_EQ(batch, QByteArray("abcd"));
}

TEST(SerialBatchBufferTest, ABurstLongerThanTheBufferLosesNoByte) {
    QByteArray burst;
    for (int i = 0; i < 20000; ++i)
        burst.append(char(i * 7));
    SerialBatchBuffer buffer;
    QList<QByteArray> batches = buffer.Append(burst.left(15000));
    EXPECT_TRUE(batches.isEmpty());
    batches += buffer.Append(burst.mid(15000));
    ASSERT_EQ(batches.size(), 1);
    EXPECT_EQ(batches[0].size(), SerialBatchBuffer::CAPACITY);
    QByteArray rest;
    EXPECT_EQ(TicksUntilBatch(buffer, &rest), SerialBatchBuffer::QUIET_TICKS);
    EXPECT_EQ(batches[0] + rest, burst);
}

TEST(SerialBatchBufferTest, AFullBufferWithNothingAfterItGivesNoEmptyBatch) {
    SerialBatchBuffer buffer;
    EXPECT_EQ(buffer.Append(QByteArray(SerialBatchBuffer::CAPACITY, 'x')).size(), 1);
    QByteArray batch;
    EXPECT_EQ(TicksUntilBatch(buffer, &batch), 0);
    EXPECT_FALSE(buffer.Waiting());
}
