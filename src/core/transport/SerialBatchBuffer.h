#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

// Gathers serial bytes into batches. A device sends a frame as a burst, so a batch is closed
// once the line has been quiet for QUIET_TICKS ticks of the 1 ms batch timer; every new byte
// starts the count again.
//
// A burst longer than the buffer is not cut down: the full buffer is closed as a batch of its
// own at once and the bytes after it start the next one, so no received byte is lost.
class SerialBatchBuffer {
public:
    static constexpr int CAPACITY = 16384;
    static constexpr int QUIET_TICKS = 10;

    // Adds received bytes; returns the batches closed because the buffer filled up.
    QList<QByteArray> Append(const QByteArray& bytes);
    // One tick of the batch timer; returns the batch when this tick ends the quiet time.
    std::optional<QByteArray> Tick();
    // True while a quiet time is running (the timer has work to do).
    bool Waiting() const { return QuietCountdown > 0; }
    qsizetype Count() const { return Buffer.size(); }

private:
    QByteArray Buffer;
    int QuietCountdown = 0;
};
