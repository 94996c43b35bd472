#pragma once

#include <QString>
#include <cstdint>

// The static vocabulary of unit keys: every key the tool can show, with its type code and labels,
// and the option texts of choice keys. Built once, never written; lookups scan from slot 0 and the
// first match wins, so the tables may stay unsorted.

struct KeyDefinition {
    uint16_t Id = 0; // 0 marks an empty slot
    uint8_t Type = 0;
    QString Label;
    QString LabelSwedish;
};

inline constexpr int KEY_TABLE_SLOTS = 300;
inline constexpr int KEY_OPTION_LIST_SLOTS = 300;
inline constexpr int KEY_OPTIONS_PER_LIST = 50;
inline constexpr uint16_t KEY_NOT_FOUND = 0xFFFF;

// Base kinds of a type code (a code of 100 or more is the read-only status form of code - 100).
enum KeyBaseKind : int {
    KEY_KIND_TEXT = 0,
    KEY_KIND_YESNO = 1,
    KEY_KIND_CHOICE = 2,
    KEY_KIND_IPV4 = 3,
    KEY_KIND_TEXTLINES = 4,
    KEY_KIND_DURATION = 5,
    KEY_KIND_TEXT_SUGGEST = 6,
    KEY_KIND_ACTION = 7,
    KEY_KIND_NUMBER = 8,
    KEY_KIND_COUNT_ACTION = 9,
    KEY_KIND_SIGNAL_LEVEL = 10,
    KEY_KIND_NUMBER_SUGGEST = 11,
};

struct KeyOptionList {
    uint16_t KeyId = 0; // 0 marks an empty list
    QString Options[KEY_OPTIONS_PER_LIST];
};

// Slot access (index 0..299); empty slots have Id 0.
const KeyDefinition& KeyDefinitionAt(int slot);
const KeyOptionList& KeyOptionListAt(int slot);

// Slot of the key id, or KEY_NOT_FOUND.
uint16_t FindKeyIndex(int keyId);
// Slot of the first row whose English label equals the text exactly (case-sensitive), or KEY_NOT_FOUND.
uint16_t FindKeyIndexByLabel(const QString& label);
// Option text at the index in the first list of the key; empty without a list or outside 0..49.
QString GetKeyOptionText(int keyId, int index);
// Number of non-empty option texts of the key's list, counted from index 0 up to the first empty one.
int KeyOptionCount(int keyId);

inline int KeyBaseKindOf(int typeCode) {
    return typeCode >= 100 ? typeCode - 100 : typeCode;
}
inline bool IsStatusKeyType(int typeCode) {
    return typeCode >= 100;
}

// Menus group keys by id range; each has its group request id.
enum KeyMenu : int {
    MENU_IP = 0,
    MENU_GPRS,
    MENU_ALARMSERVER,
    MENU_NEBRYN,
    MENU_SYSTEM,
    MENU_INPUTS,
    MENU_SMSBACKUP,
    MENU_SMS,
    MENU_LOGS,
    MENU_CUSTOM,
    MENU_COUNT,
    MENU_NONE = -1,
};

struct KeyMenuRange {
    KeyMenu Menu;
    const char* Name; // caption: "IP", "GPRS", ...
    int FirstKey;
    int LastKey;
    uint16_t GroupId; // 0xF000 upwards
};

const KeyMenuRange& KeyMenuRangeOf(KeyMenu menu);
// The menu whose id range holds the key, or MENU_NONE.
KeyMenu KeyMenuOfKey(int keyId);
// Menu by its caption ("IP" ... "Custom") or MENU_NONE.
KeyMenu KeyMenuByName(const QString& name);
