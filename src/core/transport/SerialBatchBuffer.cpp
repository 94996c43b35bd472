#include "core/transport/SerialBatchBuffer.h"

QList<QByteArray> SerialBatchBuffer::Append(const QByteArray& bytes) {
    QList<QByteArray> full;
    QuietCountdown = QUIET_TICKS;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        const qsizetype room = CAPACITY - Buffer.size();
        const qsizetype take = qMin(room, bytes.size() - pos);
        Buffer.append(bytes.constData() + pos, take);
        pos += take;
        if (Buffer.size() == CAPACITY) {
            full.append(Buffer);
            Buffer.clear();
        }
    }
    return full;
}

std::optional<QByteArray> SerialBatchBuffer::Tick() {
    if (QuietCountdown == 0)
        return std::nullopt;
    if (--QuietCountdown > 0)
        return std::nullopt;
    // Nothing arrived since the last full buffer was handed on: there is no batch to parse.
    if (Buffer.isEmpty())
        return std::nullopt;
    QByteArray batch;
    batch.swap(Buffer);
    return batch;
}
