#pragma once

#include <QString>

class KeyObjectClass;
class UnitInfoClass;

// The text a settings row shows for a key's current value. About thirty keys have a rule of their
// own (versions, dates, uptimes, voltages, counts inside table values); every other key is shown by
// the base kind of its type. A key id the key table does not know shows its number and raw bytes.
//
// Byte rules never read past the key's data: a rule that needs more bytes than the key holds gives
// no text of its own, and the key is then shown by its base kind like any other key. An IPv4 value
// with fewer than four bytes shows the empty text.
QString FormatKeyValue(const KeyObjectClass& key, const UnitInfoClass& unit);

// Name of a radio network state (key 4365) for 0-12; the empty text otherwise.
QString NetworkStateName(int state);
// Text of an input's status number, shown by the input overview of the window and the CLI:
// "Normal", "Alarm", "Fault", "Ack Alarm", "Ack Fault", otherwise "Unknown: " + number.
QString InputStatusText(int status);
