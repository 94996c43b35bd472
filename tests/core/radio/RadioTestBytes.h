#pragma once

#include "core/radio/RadioPayloadsClass.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <utility>

// Builds radio payloads byte by byte, big-endian as the units send them.
struct Bytes {
    QByteArray Data;

    Bytes& u8(int v) {
        Data.append(static_cast<char>(v & 0xFF));
        return *this;
    }
    Bytes& u16(int v) { return u8(v >> 8).u8(v); }
    Bytes& u24(int v) { return u8(v >> 16).u16(v); }
    Bytes& raw(const QByteArray& bytes) {
        Data.append(bytes);
        return *this;
    }
    Bytes& text(const char* characters) { return raw(QByteArray(characters)); }
    Bytes& hex(const char* digits) { return raw(QByteArray::fromHex(digits)); }
    qsizetype size() const { return Data.size(); }
};

// The 36-byte base part of a device record. Fields not given keep recognisable defaults.
struct DeviceBase {
    int Pos = 1;
    const char* Ieee = "00124B0001020304";
    int NWK = 0x1A2B;
    int ParentNWK = 0x0000;
    int ZigbeeStatus = 0x05;
    int RSSIbase = -52;
    int RSSIdet = -61;
    int Battery = 1500;
    int TimeoutTimer = 0x012345;
    int Resends = 3;
    int PollTime = 60;
    int EndPoint = 1;
    int SensorKind = 1;
    int SpecVar0 = 23;
    int HW = 6;
    int SWHigh = 1;
    int SWLow = 12;
    int SWYear = 17;
    int SWMonth = 6;
    int SWDay = 5;

    QByteArray Encode() const {
        Bytes b;
        b.u16(Pos).hex(Ieee).u16(NWK).u16(ParentNWK).u8(ZigbeeStatus).u8(RSSIbase).u8(RSSIdet).u16(Battery);
        b.u24(TimeoutTimer).u16(Resends).u16(PollTime).u8(EndPoint).u8(SensorKind).u16(SpecVar0);
        b.u8(HW).u8(SWHigh).u8(SWLow).u8(SWYear).u8(SWMonth).u8(SWDay);
        return b.Data;
    }
};

// Collects what a RadioPayloadsClass asks for and announces.
struct RadioRecorder {
    QList<std::pair<quint16, quint16>> ShortKeys;
    QList<std::pair<quint16, QString>> KeyStrings;
    int DevicesChanged = 0;
    QList<quint8> ZoneRows;
    int NeighborsChanged = 0;
    int RoutesChanged = 0;
    QList<RadioTestResult> TestResults;
    QList<ArpRow> ArpRows;

    explicit RadioRecorder(RadioPayloadsClass& radio) {
        QObject::connect(&radio, &RadioPayloadsClass::requestShortKey, [this](quint16 key, quint16 position) {
            ShortKeys.append({key, position});
        });
        QObject::connect(&radio, &RadioPayloadsClass::requestKeyString,
                         [this](quint16 key, const QString& text) {
                             KeyStrings.append({key, text});
                         });
        QObject::connect(&radio, &RadioPayloadsClass::devicesChanged,
                         [this](const QString&) { ++DevicesChanged; });
        QObject::connect(&radio, &RadioPayloadsClass::zonesChanged,
                         [this](const QString&, quint8 zoneId) { ZoneRows.append(zoneId); });
        QObject::connect(&radio, &RadioPayloadsClass::neighborsChanged,
                         [this](const QString&) { ++NeighborsChanged; });
        QObject::connect(&radio, &RadioPayloadsClass::routesChanged,
                         [this](const QString&) { ++RoutesChanged; });
        QObject::connect(
            &radio, &RadioPayloadsClass::testResultReceived,
            [this](const QString&, const RadioTestResult& result) { TestResults.append(result); });
        QObject::connect(&radio, &RadioPayloadsClass::arpRowAdded,
                         [this](const QString&, const ArpRow& row) { ArpRows.append(row); });
    }
};
