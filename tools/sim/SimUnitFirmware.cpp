#include "core/protocol/ByteReader.h"
#include "sim/SimUnit.h"

#include <algorithm>

// The unit side of a firmware upload: one 1024-byte packet per step, checked against the size and
// checksum announced at the start before the unit takes the new firmware.

namespace {

QByteArray NumberBytes(quint32 number, int width) {
    QByteArray bytes(width, '\0');
    for (int i = width - 1; i >= 0; --i) {
        bytes[i] = static_cast<char>(number & 0xFF);
        number >>= 8;
    }
    return bytes;
}

quint16 Sum16(const QByteArray& bytes) {
    quint16 sum = 0;
    for (const char byte : bytes)
        sum = static_cast<quint16>(sum + static_cast<quint8>(byte));
    return sum;
}

} // namespace

std::optional<QByteArray> SimUnit::FirmwareStep(quint16 key, const QByteArray& value) {
    ByteReader reader(value);
    const quint16 step = reader.readU16BE();
    if (reader.hasError())
        return std::nullopt;
    auto status = [](quint16 code) { return NumberBytes(code, 2); };
    switch (step) {
    case FIRMWARE_STEP_START: {
        const quint32 size = reader.readU32BE();
        const quint16 checksum = reader.readU16BE();
        if (reader.hasError())
            return std::nullopt;
        Upload = SimFirmwareUpload{};
        if (size == 0 || size > MAX_FIRMWARE_BYTES)
            return status(FIRMWARE_UPDATE_CHKERROR);
        Upload.Active = true;
        Upload.Key = key;
        Upload.Size = size;
        Upload.Checksum = checksum;
        if (key == KEY_RADIO_FIRMWARE)
            Upload.Version = reader.readBytes(3);
        return status(FIRMWARE_START_OK);
    }
    case FIRMWARE_STEP_DATA: {
        const quint16 number = reader.readU16BE();
        if (reader.hasError() || !Upload.Active || Upload.Key != key)
            return std::nullopt;
        if (number == Upload.NextPacket) {
            // Kept up to one packet past the announced size, so an overlong file still fails its
            // check at the end without the unit storing whatever it is sent.
            const QByteArray data = value.mid(4);
            if (Upload.Received.size() + data.size() <=
                static_cast<qsizetype>(Upload.Size) + FIRMWARE_PACKET_BYTES)
                Upload.Received += data;
            else
                Upload.Received += data.left(1); // still longer than announced: the check fails
            ++Upload.NextPacket;
        } else if (number + 1 != Upload.NextPacket) {
            // Out of order: say which packet it holds last, so the sender carries on from there.
            if (Upload.NextPacket == 0)
                return status(FIRMWARE_START_OK);
            return status(FIRMWARE_DATA_OK) + NumberBytes(static_cast<quint16>(Upload.NextPacket - 1), 2);
        }
        return status(FIRMWARE_DATA_OK) + NumberBytes(number, 2);
    }
    case FIRMWARE_STEP_DONE: {
        if (!Upload.Active || Upload.Key != key)
            return status(FIRMWARE_UPDATE_CHKERROR);
        const bool good = Upload.Received.size() == static_cast<qsizetype>(Upload.Size) &&
                          Sum16(Upload.Received) == Upload.Checksum;
        if (good)
            FinishFirmware();
        Upload.Active = false;
        return status(good ? FIRMWARE_UPDATE_OK : FIRMWARE_UPDATE_CHKERROR);
    }
    default:
        return std::nullopt;
    }
}

void SimUnit::FinishFirmware() {
    ++FirmwareUpdateCount;
    const QDateTime now = QDateTime::currentDateTime();
    if (Upload.Key == KEY_RADIO_FIRMWARE) {
        if (Upload.Version.size() == 3)
            SetKey(4164, Upload.Version);
        SetKey(4165, NumberBytes(Upload.Checksum, 2));
        SetKey(4166, NumberBytes(Upload.Size, 4));
        Logs.AddDebugLine(now, QStringLiteral("Radio firmware stored"));
        return;
    }
    // The new version is whatever the file's own version tag says, when it has one.
    const QByteArray tag("PVER:");
    const qsizetype at = Upload.Received.indexOf(tag);
    if (at > 0) {
        const qsizetype start = at + tag.size();
        qsizetype end = Upload.Received.indexOf(';', start);
        if (end < 0 || end - start > 30)
            end = std::min<qsizetype>(start + 30, Upload.Received.size());
        const QByteArray version = Upload.Received.mid(start, end - start);
        QByteArray product = KeyValue(105).value_or(QByteArray());
        const qsizetype cut = product.indexOf(" v");
        if (cut >= 0)
            product.truncate(cut);
        if (!version.isEmpty())
            SetKey(105, product + " v" + version);
    }
    if (HasKey(106))
        SetKey(106, now.toString(QStringLiteral("yyyy-MM-dd")).toLatin1());
    Logs.AddDebugLine(now, QStringLiteral("Firmware updated"));
    UptimeAtStart = 0;
    StartedMs = QDateTime::currentMSecsSinceEpoch();
}
