#include "sim/SimRadioRecords.h"

#include "core/protocol/ByteWriter.h"
#include "sim/SimJsonFields.h"

namespace {

// Records are small; the writer only needs room for the longest name a unit accepts.
constexpr qsizetype RECORD_CAPACITY = 4096;

constexpr quint8 NAME_END = 0x1F;
constexpr quint8 SELECTOR_NOTHING_MORE = 0x1E;
constexpr quint8 SELECTOR_NO_MINI_BLOCK = 0x80;
// The 0xFD block: zone, disabled, alarm, power, name end, selector, mini block, counters, parents, joins.
constexpr int MAX_PAYLOAD_BLOCK = 255;
constexpr int PAYLOAD_BLOCK_FIXED = 1 + 1 + 1 + 2 + 1 + 1 + 4 + 2 + 8 + 2;

enum ZoneElement : quint8 {
    ELEMENT_NAME = 0,
    ELEMENT_ACTIVATION_OUTPUT = 1,
    ELEMENT_ALARM_OUTPUT_1 = 2,
    ELEMENT_ALARM_OUTPUT_2 = 3,
    ELEMENT_FAULT_OUTPUT_1 = 4,
    ELEMENT_FAULT_OUTPUT_2 = 5,
    ELEMENT_ALARM_OUTPUT_TIME = 6,
    ELEMENT_FAULT_OUTPUT_TIME = 7,
    ELEMENT_CONTROL_DELAY_TIME = 8,
    ELEMENT_ALARM_LOOKUP_TIME = 9,
    ELEMENT_TWO_SECTION = 10,
    ELEMENT_AUTO_ACK = 11,
    ELEMENT_OUTPUT_DELAY = 12,
    ELEMENT_AREA = 13,
    ELEMENT_ACTIVATE_ALL_SIRENS = 14,
    ELEMENT_STATUS = 15,
};

constexpr int OUTPUT_REF_BYTES = 9;

// A name ends at the first 0x1F on the wire, so the unit never stores one inside a name.
QByteArray NameBytes(const QString& name) {
    QByteArray bytes = TextToLowBytes(name);
    bytes.replace(char(NAME_END), QByteArray());
    return bytes.left(255);
}

QByteArray Ieee8(const QByteArray& ieee) {
    return SimPadded(ieee, 8);
}

QByteArray OutputRef9(const QByteArray& ref) {
    return SimPadded(ref, OUTPUT_REF_BYTES);
}

void WriteElement(ByteWriter& out, quint8 type, const QByteArray& data) {
    out.writeU8(type);
    out.writeU8(static_cast<quint8>(data.size()));
    out.writeBytes(data);
}

QByteArray U16Bytes(quint16 value) {
    QByteArray bytes(2, '\0');
    bytes[0] = char(value >> 8);
    bytes[1] = char(value & 0xFF);
    return bytes;
}

} // namespace

QString SimRadioDevice::AddressText() const {
    return SimHexBytes(Ieee8(Ieee));
}

void SimZone::ApplyElement(quint8 type, const QByteArray& data) {
    const auto u16 = [&data](quint16& field) {
        if (data.size() >= 2)
            field = static_cast<quint16>((quint8(data.at(0)) << 8) | quint8(data.at(1)));
    };
    const auto u8 = [&data](quint8& field) {
        if (!data.isEmpty())
            field = static_cast<quint8>(data.at(0));
    };
    // A short output form (00 00 or FE n) leaves the rest of the reference zero, not stale.
    const auto output = [&data](QByteArray& field) { field = OutputRef9(data); };
    switch (type) {
    case ELEMENT_NAME:
        Name = QString::fromLatin1(data);
        break;
    case ELEMENT_AREA:
        AreaID = QString::fromLatin1(data);
        break;
    case ELEMENT_ACTIVATION_OUTPUT:
        output(ActivationOutput);
        break;
    case ELEMENT_ALARM_OUTPUT_1:
        output(AlarmOutputs[0]);
        break;
    case ELEMENT_ALARM_OUTPUT_2:
        output(AlarmOutputs[1]);
        break;
    case ELEMENT_FAULT_OUTPUT_1:
        output(FaultOutputs[0]);
        break;
    case ELEMENT_FAULT_OUTPUT_2:
        output(FaultOutputs[1]);
        break;
    case ELEMENT_ALARM_OUTPUT_TIME:
        u16(AlarmOutputReloadTime);
        break;
    case ELEMENT_FAULT_OUTPUT_TIME:
        u16(FaultOutputReloadTime);
        break;
    case ELEMENT_CONTROL_DELAY_TIME:
        u16(ZoneControlDelayReloadTime);
        break;
    case ELEMENT_ALARM_LOOKUP_TIME:
        u16(AlarmLookupReloadTime);
        break;
    case ELEMENT_TWO_SECTION:
        u8(TwoSection);
        break;
    case ELEMENT_AUTO_ACK:
        u8(AutoAck);
        break;
    case ELEMENT_OUTPUT_DELAY:
        u8(OutputDelay);
        break;
    case ELEMENT_ACTIVATE_ALL_SIRENS:
        u8(ActivateAllSirens);
        break;
    case ELEMENT_STATUS:
        u8(Status);
        break;
    default:
        break;
    }
}

QByteArray EncodeDeviceRecord(const SimRadioDevice& device) {
    ByteWriter out(RECORD_CAPACITY);
    out.writeU16BE(device.Pos);
    out.writeBytes(Ieee8(device.Ieee));
    out.writeU16BE(device.NWK);
    out.writeU16BE(device.ParentNWK);
    out.writeU8(device.ZigbeeStatus);
    out.writeU8(static_cast<quint8>(device.RSSIbase));
    out.writeU8(static_cast<quint8>(device.RSSIdet));
    out.writeU16BE(device.Battery);
    const quint32 timeout = qMin<quint32>(device.TimeoutTimer, 0xFFFFFF);
    out.writeU8(static_cast<quint8>(timeout >> 16));
    out.writeU16BE(static_cast<quint16>(timeout & 0xFFFF));
    out.writeU16BE(device.Resends);
    out.writeU16BE(device.PollTime);
    out.writeU8(device.EndPoint);
    out.writeU8(device.SensorKind);
    out.writeU16BE(device.SpecVar[0]);
    out.writeU8(device.HW);
    out.writeU8(device.SWHigh);
    out.writeU8(device.SWLow);
    out.writeU8(device.SWYear);
    out.writeU8(device.SWMonth);
    out.writeU8(device.SWDay);

    const QByteArray name = NameBytes(device.Name);
    if (device.Ext == SimRadioDevice::ExtendedInfo) {
        out.writeU8(SimRadioDevice::ExtendedInfo);
        out.writeU8(device.ZoneID);
        out.writeU8(device.Disabled);
        out.writeU8(device.InputTypes[0]);
        out.writeU8(device.InputTypes[1]);
        out.writeU8(device.AlarmStatus);
        out.writeU16BE(device.SpecVar[1]);
        out.writeBytes(name);
        out.writeU8(NAME_END);
    } else if (device.Ext == SimRadioDevice::ExtendedPayload) {
        // The block's length is one byte, so a long name is cut to leave room for the rest.
        ByteWriter block(RECORD_CAPACITY);
        block.writeU8(device.ZoneID);
        block.writeU8(device.Disabled);
        block.writeU8(device.AlarmStatus);
        block.writeU16BE(device.Power);
        block.writeBytes(name.left(MAX_PAYLOAD_BLOCK - PAYLOAD_BLOCK_FIXED));
        block.writeU8(NAME_END);
        const quint8 selector = device.Selector;
        block.writeU8(selector);
        if (selector != SELECTOR_NOTHING_MORE && selector < SELECTOR_NO_MINI_BLOCK) {
            block.writeU8(device.InputTypes[0]);
            block.writeU8(device.InputTypes[1]);
            block.writeU16BE(device.SpecVar[1]);
        }
        if (selector != 0 && selector != SELECTOR_NOTHING_MORE) {
            block.writeU16BE(device.ComErrors);
            for (const quint16 parent : device.ParentList)
                block.writeU16BE(parent);
            block.writeU16BE(device.Joins);
        }
        out.writeU8(SimRadioDevice::ExtendedPayload);
        out.writeU8(static_cast<quint8>(block.size()));
        out.writeBytes(block.bytes());
    }
    return out.bytes();
}

QByteArray EncodeZoneElements(const SimZone& zone) {
    ByteWriter out(RECORD_CAPACITY);
    WriteElement(out, ELEMENT_NAME, NameBytes(zone.Name));
    WriteElement(out, ELEMENT_AREA, NameBytes(zone.AreaID));
    WriteElement(out, ELEMENT_ACTIVATION_OUTPUT, OutputRef9(zone.ActivationOutput));
    WriteElement(out, ELEMENT_ALARM_OUTPUT_1, OutputRef9(zone.AlarmOutputs[0]));
    WriteElement(out, ELEMENT_ALARM_OUTPUT_2, OutputRef9(zone.AlarmOutputs[1]));
    WriteElement(out, ELEMENT_FAULT_OUTPUT_1, OutputRef9(zone.FaultOutputs[0]));
    WriteElement(out, ELEMENT_FAULT_OUTPUT_2, OutputRef9(zone.FaultOutputs[1]));
    WriteElement(out, ELEMENT_ALARM_OUTPUT_TIME, U16Bytes(zone.AlarmOutputReloadTime));
    WriteElement(out, ELEMENT_FAULT_OUTPUT_TIME, U16Bytes(zone.FaultOutputReloadTime));
    WriteElement(out, ELEMENT_CONTROL_DELAY_TIME, U16Bytes(zone.ZoneControlDelayReloadTime));
    WriteElement(out, ELEMENT_ALARM_LOOKUP_TIME, U16Bytes(zone.AlarmLookupReloadTime));
    WriteElement(out, ELEMENT_TWO_SECTION, QByteArray(1, char(zone.TwoSection)));
    WriteElement(out, ELEMENT_AUTO_ACK, QByteArray(1, char(zone.AutoAck)));
    WriteElement(out, ELEMENT_OUTPUT_DELAY, QByteArray(1, char(zone.OutputDelay)));
    WriteElement(out, ELEMENT_ACTIVATE_ALL_SIRENS, QByteArray(1, char(zone.ActivateAllSirens)));
    WriteElement(out, ELEMENT_STATUS, QByteArray(1, char(zone.Status)));
    return out.bytes();
}

QByteArray EncodeZoneRecord(quint16 pos, const SimZone& zone) {
    const QByteArray elements = EncodeZoneElements(zone);
    ByteWriter out(RECORD_CAPACITY);
    out.writeU16BE(pos);
    out.writeU8(zone.ZoneID);
    out.writeU16BE(static_cast<quint16>(elements.size()));
    out.writeBytes(elements);
    return out.bytes();
}

QByteArray EncodeNeighborRecord(const SimNeighbor& neighbor) {
    ByteWriter out(16);
    out.writeU16BE(neighbor.OwnerNWK);
    out.writeU16BE(neighbor.NeighborNWK);
    out.writeBytes(Ieee8(neighbor.Ieee));
    out.writeU8(neighbor.rxLqi);
    out.writeU8(neighbor.depth);
    out.writeU8(neighbor.type);
    out.writeU8(neighbor.age);
    return out.bytes();
}

QByteArray EncodeRouteRecord(const SimRoute& route) {
    ByteWriter out(7);
    out.writeU16BE(route.OwnerNWK);
    out.writeU16BE(route.DestNWK);
    out.writeU16BE(route.HopNWK);
    out.writeU8(route.status);
    return out.bytes();
}

QByteArray EncodeTestResultRecord(const SimRadioTest& test) {
    ByteWriter out(8);
    out.writeU16BE(test.TestTimer);
    out.writeU16BE(test.TestCount);
    out.writeU16BE(test.TestUnitNWK);
    out.writeU16BE(test.TestResults);
    return out.bytes();
}

QByteArray SimPadded(const QByteArray& bytes, int size) {
    QByteArray out = bytes.left(size);
    out.append(QByteArray(size - out.size(), '\0'));
    return out;
}
