#pragma once

#include "core/protocol/KeyChangeEncoder.h"

#include <QList>
#include <QtGlobal>

// Where the longer-running exchanges plug into the config handler: backup and restore (driven by
// replies and write acknowledgements), the firmware upload timeout, and the serial device protocol
// (which replaces the packet requests for a unit reached over a serial port). Every default does
// nothing, so the handler works the same with or without an implementation installed: no backup
// or restore is ever running and serial units get no requests.
class UnitConfigHooks {
public:
    virtual ~UnitConfigHooks() = default;

    // --- backup: a list of items still to be downloaded ---
    virtual bool BackupRunning() const { return false; }
    // An entry (or a finished device or zone list) arrived for the backup item id; 1 when it
    // completed the first item, else 0.
    virtual int CheckBackupList(int /*id*/) { return 0; }
    // After every config response that did not ask for a further list page itself.
    virtual void RequestNextBackupItem() {}

    // --- restore: items written one packet at a time ---
    virtual bool RestoreRunning() const { return false; }
    // A write acknowledgement arrived while a restore is running.
    virtual void PurgeRestoreItems() {}

    // --- the handler's 1-second timer, in this order before the radio polling ---
    virtual void FirmwareTimeoutTick() {}
    virtual void RestoreCountdownTick() {}

    // --- serial devices (SocketType 2): their own frames instead of config packets ---
    virtual void SerialRequestKeyGroup(quint16 /*group*/) {}
    virtual void SerialPostCommand(quint16 /*code*/) {}
    // Validates and sends the changes as serial write frames; the result says what was refused.
    // Without a serial protocol installed nothing can be sent, and saying so keeps the caller from
    // treating the changes as delivered.
    virtual KeyChangeResult SerialSendKeyChanges(const QList<KeyChange>& changes) {
        KeyChangeResult result;
        const KeyChange first = changes.isEmpty() ? KeyChange{} : changes.first();
        result.Refusal = KeyChangeRefusal{first.KeyId, first.ValueText,
                                          QStringLiteral("settings of serial devices cannot be sent yet")};
        return result;
    }
};
