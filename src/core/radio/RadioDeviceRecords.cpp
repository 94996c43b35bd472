// The device list part of RadioPayloadsClass: ParseIEEEUnits and its record layouts.
#include "core/app/DebugLog.h"
#include "core/protocol/ByteReader.h"
#include "core/radio/RadioPayloadWindow.h"
#include "core/radio/RadioPayloadsClass.h"
#include "core/radio/RadioTexts.h"
#include "core/unit/UnitInfoClass.h"

namespace {

constexpr quint8 EXTENDED_INFO = 0xFE;
constexpr quint8 EXTENDED_PAYLOAD = 0xFD;
constexpr char NAME_END = 0x1F;
constexpr quint8 SELECTOR_NOTHING_MORE = 0x1E;
constexpr quint8 SELECTOR_NO_MINI_BLOCK = 0x80;
constexpr int PARENT_LIST_ON_WIRE = 4;
constexpr int FIELD_OFFSET_IEEE = 2;

// Building a log line costs more than parsing a record; skip it while nothing would be written.
bool LogActive() {
    return DebugLog::instance().countdown() > 0;
}

bool Read(ByteReader& reader, quint8& field) {
    const quint8 value = reader.readU8();
    if (reader.ok())
        field = value;
    return reader.ok();
}

bool Read(ByteReader& reader, quint16& field) {
    const quint16 value = reader.readU16BE();
    if (reader.ok())
        field = value;
    return reader.ok();
}

// The name runs from the reader's position to the next 0x1F within the reader's bytes. False (and
// the name left as it was) when there is no 0x1F before the end.
bool ReadName(ByteReader& reader, const char* bytes, QString& name) {
    const qsizetype start = reader.position();
    for (qsizetype i = start; i < reader.size(); ++i) {
        if (bytes[i] == NAME_END) {
            // A refreshed device usually keeps its name: compare before building a new text.
            const QLatin1String received(bytes + start, i - start);
            if (name != received)
                name = received;
            reader.seek(i + 1);
            return true;
        }
    }
    return false;
}

// Two-input devices show the temperatures of their inputs instead of the sensor reading.
void RebuildInputText(IEEEObjectClass& device) {
    if (device.HW == 5 || device.HW == 6)
        UpdateInputTemperatureString(device);
}

} // namespace

int RadioPayloadsClass::ParseIEEEUnits(UnitInfoClass& unit, int length, const QByteArray& value) {
    const QByteArray payload = RadioPayloadWindow(value, length);
    WriteLog(QStringLiteral("ParseIEEEUnits. KeyLen: ") + QString::number(length) +
             QStringLiteral(". First Pos: ") + QString::number(RadioPayloadFirstPos(payload)));
    // An empty page is the unit's way of saying the list is complete.
    if (payload.isEmpty())
        return BackupStepResult(unit, KEY_IEEE_UNITS);

    try {
        ByteReader reader(payload);
        int lastPos = -1;
        do {
            if (!ParseDeviceRecord(unit, payload, reader, lastPos))
                break;
        } while (reader.position() < payload.size() - 5);

        int result = 0;
        // Position 0xFFFF has no successor: asking for 0 would empty the list and start over.
        if (lastPos > 0 && lastPos < 0xFFFF) {
            Q_EMIT requestShortKey(KEY_IEEE_UNITS, static_cast<quint16>(lastPos + 1));
            result = NEXT_PAGE_REQUESTED;
        } else {
            result = BackupStepResult(unit, KEY_IEEE_UNITS);
        }
        Q_EMIT devicesChanged(unit.Mac);
        return result;
    } catch (...) {
        WriteLog(QStringLiteral("ParseIEEEUnits Error"));
        return 0;
    }
}

bool RadioPayloadsClass::ParseDeviceRecord(UnitInfoClass& unit, const QByteArray& payload, ByteReader& reader,
                                           int& lastPos) {
    const qsizetype start = reader.position();
    if (reader.remaining() < DEVICE_BASE_SIZE) {
        WriteLog(QStringLiteral("ParseIEEEUnits. Record runs past the end of the payload. Offset: ") +
                 QString::number(start));
        return false;
    }
    const auto* data = reinterpret_cast<const unsigned char*>(payload.constData());

    // The base part is all there, so its fields are read without further checks.
    const quint16 pos = reader.readU16BE();
    IEEEObjectClass& device = *unit.FindOrAddDevice(IeeeAddressText(data + start + FIELD_OFFSET_IEEE, 8));
    reader.skip(8);
    device.NWK = reader.readU16BE();
    device.ParentNWK = reader.readU16BE();
    device.ZigbeeStatus = reader.readU8();
    device.RSSIbase = static_cast<int8_t>(reader.readU8());
    device.RSSIdet = static_cast<int8_t>(reader.readU8());
    UpdateRSSIString(device);
    device.Battery = reader.readU16BE();
    const quint32 timeoutHigh = reader.readU8();
    device.TimeoutTimer = (timeoutHigh << 16) | reader.readU16BE();
    device.Resends = reader.readU16BE();
    device.PollTime = reader.readU16BE();
    device.EndPoint = reader.readU8();
    const quint8 sensorKind = reader.readU8();
    device.spec_var[0] = reader.readU16BE();
    UpdateSensorSpecVariableString(device, sensorKind);
    device.HW = reader.readU8();
    device.SWHigh = reader.readU8();
    device.SWLow = reader.readU8();
    device.SWYear = reader.readU8();
    device.SWMonth = reader.readU8();
    device.SWDay = reader.readU8();
    UpdateFirmwareTexts(device);
    lastPos = pos;

    // The next byte only selects an extension; any other value already starts the next record.
    if (reader.atEnd())
        return true;
    const quint8 selector = data[reader.position()];
    if (selector == EXTENDED_INFO) {
        WriteLog(QStringLiteral("ParseIEEEUnits. Extended info"));
        reader.skip(1);
        bool complete = true;
        ParseExtendedInfo(device, payload, reader, complete);
        RebuildInputText(device);
        if (!complete)
            WriteLog(QStringLiteral("ParseIEEEUnits. Record runs past the end of the payload. Offset: ") +
                     QString::number(start));
        return complete;
    }
    if (selector == EXTENDED_PAYLOAD) {
        WriteLog(QStringLiteral("ParseIEEEUnits. Extended payload info"));
        reader.skip(1);
        quint8 blockLength = 0;
        if (!Read(reader, blockLength)) {
            WriteLog(QStringLiteral("ParseIEEEUnits. Record runs past the end of the payload. Offset: ") +
                     QString::number(start));
            return false;
        }
        // The block says how long it is; the next record starts there whatever was read inside.
        const qsizetype blockStart = reader.position();
        const qsizetype end = blockStart + blockLength;
        ParseExtendedPayload(device, payload, blockStart, qMin(end, payload.size()));
        RebuildInputText(device);
        if (end > payload.size()) {
            WriteLog(QStringLiteral("ParseIEEEUnits. Record runs past the end of the payload. Offset: ") +
                     QString::number(start));
            return false;
        }
        reader.seek(end);
    }
    return true;
}

void RadioPayloadsClass::ParseExtendedInfo(IEEEObjectClass& device, const QByteArray& payload,
                                           ByteReader& reader, bool& complete) {
    complete = Read(reader, device.ZoneID) && Read(reader, device.Disabled) &&
               Read(reader, device.InputTypes[0]) && Read(reader, device.InputTypes[1]) &&
               Read(reader, device.AlarmStatus) && Read(reader, device.spec_var[1]) &&
               ReadName(reader, payload.constData(), device.Name);
}

void RadioPayloadsClass::ParseExtendedPayload(IEEEObjectClass& device, const QByteArray& payload,
                                              qsizetype start, qsizetype end) {
    // Reads stay inside the block: a field that the block's length does not cover belongs to the
    // next record and is not taken.
    const char* bytes = payload.constData() + start;
    ByteReader reader(QByteArray::fromRawData(bytes, end - start));
    quint8 selector = 0;
    bool complete = Read(reader, device.ZoneID) && Read(reader, device.Disabled) &&
                    Read(reader, device.AlarmStatus) && Read(reader, device.Power) &&
                    ReadName(reader, bytes, device.Name) && Read(reader, selector);
    if (complete && selector != SELECTOR_NOTHING_MORE) {
        if (selector < SELECTOR_NO_MINI_BLOCK) {
            complete = Read(reader, device.InputTypes[0]) && Read(reader, device.InputTypes[1]) &&
                       Read(reader, device.spec_var[1]);
            if (complete && LogActive())
                WriteLog(QStringLiteral("ParseIEEEUnits. Mini payload. Type0: ") +
                         QString::number(device.InputTypes[0]) + QStringLiteral(". Type1: ") +
                         QString::number(device.InputTypes[1]) + QStringLiteral(". Spec0: ") +
                         QString::number(device.spec_var[0]) + QStringLiteral(". Spec1: ") +
                         QString::number(device.spec_var[1]));
        }
        if (complete && selector != 0) {
            complete = Read(reader, device.ComErrors);
            // Parent slots and the join counter are optional: only what the block covers is read.
            for (int i = 0; complete && i < PARENT_LIST_ON_WIRE && reader.remaining() >= 2; ++i)
                Read(reader, device.ParentList[static_cast<std::size_t>(i)]);
            if (complete && reader.remaining() >= 2)
                Read(reader, device.Joins);
        }
    }
    if (!complete)
        WriteLog(QStringLiteral("ParseIEEEUnits. Extended payload cut short. Address: ") + device.Address);
}
