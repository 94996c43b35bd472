#pragma once

#include <QByteArray>
#include <QString>

class UnitConfigHandlerClass;
class UnitInfoClass;

// Everything a unit sends over UDP or TCP goes through ParseConfig: envelope checks, the sender's
// unit record, and by packet type the write acknowledgement, the firmware response or the key
// entries of a config response. Key entries are stored in the unit record; the radio lists, logs
// and ARP table of the current unit go to their own parsers. Views learn of the results through
// the handler's signals.
//
// Every walk stays inside the bytes received: an entry whose header or value would run past the
// payload ends the walk, whatever its length field says.
class ConfigResponseParser {
public:
    explicit ConfigResponseParser(UnitConfigHandlerClass& handler) : Handler(handler) {}

    void ParseConfig(const QByteArray& packet, const QString& senderIp, int socketType);

    // One key entry of a config response stored in the unit record (also the entries with a radio
    // or log id from a unit that is not the current one).
    void ParseKey(UnitInfoClass& unit, int keyId, const QByteArray& value, int entryPosition);

    // One page of an event log (entry 0x00DD of the current unit).
    void CollectEventLog(UnitInfoClass& unit, const QByteArray& value);

    // The backup item id a key entry completes, or -1 for an entry no backup item waits for.
    static int BackupGroupOfKey(int keyId);

    // The text of an input's Info key: the two value bytes as one 16-bit number in decimal.
    static QString InputInfoText(const QByteArray& value);

private:
    void ParseConfigResponse(UnitInfoClass& unit, const QByteArray& packet);
    // Hands an entry with a radio or log id of the current unit to its parser. False for any other id.
    bool ParseSpecialEntry(UnitInfoClass& unit, int keyId, const QByteArray& value, int& pageResult);
    void ParseInputKey(int keyId, const QByteArray& value, UnitInfoClass& unit);
    void SplitEventLog(UnitInfoClass& unit);

    UnitConfigHandlerClass& Handler;
};
