#pragma once

#include "core/unit/KeyDefinitionTable.h"

#include <QHash>
#include <QString>

// The key table looked up by id and by label through hashes built once: the settings list looks
// keys up several times per row on every reprint. The first slot of an id or label wins, as in
// the table's own scans.
namespace KeyLookup {

inline uint16_t SlotOfKey(int keyId) {
    static const QHash<int, uint16_t> slots = [] {
        QHash<int, uint16_t> table;
        for (int slot = 0; slot < KEY_TABLE_SLOTS; ++slot) {
            const KeyDefinition& definition = KeyDefinitionAt(slot);
            if (definition.Id != 0 && !table.contains(definition.Id))
                table.insert(definition.Id, static_cast<uint16_t>(slot));
        }
        return table;
    }();
    return slots.value(keyId, KEY_NOT_FOUND);
}

inline uint16_t SlotOfLabel(const QString& label) {
    static const QHash<QString, uint16_t> slots = [] {
        QHash<QString, uint16_t> table;
        for (int slot = 0; slot < KEY_TABLE_SLOTS; ++slot) {
            const KeyDefinition& definition = KeyDefinitionAt(slot);
            if (definition.Id != 0 && !table.contains(definition.Label))
                table.insert(definition.Label, static_cast<uint16_t>(slot));
        }
        return table;
    }();
    return slots.value(label, KEY_NOT_FOUND);
}

// The key's type code, or -1 for an id the table does not know.
inline int TypeCodeOf(int keyId) {
    const uint16_t slot = SlotOfKey(keyId);
    return slot == KEY_NOT_FOUND ? -1 : KeyDefinitionAt(slot).Type;
}

} // namespace KeyLookup
