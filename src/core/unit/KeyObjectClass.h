#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>

class UnitInfoClass;

// One key of one unit. A key holds its value either as a number (`Value`) or as the bytes the unit
// sent (`Data`), by the base kind of its type; the other one stays 0 or empty.
//
// The record does not own an editor. The settings view creates one when the key is first shown and
// parks a weak pointer here; it goes null by itself when the view's list is destroyed.
class KeyObjectClass {
public:
    KeyObjectClass(UnitInfoClass& unit, int id) : Unit(unit), Id(id) {}
    KeyObjectClass(const KeyObjectClass&) = delete;
    KeyObjectClass& operator=(const KeyObjectClass&) = delete;

    UnitInfoClass& Unit;
    // The key id never changes: the unit record indexes its keys by it.
    const int Id;
    QPointer<QObject> Editor;
    int32_t Value = 0;
    QByteArray Data;
    int32_t Length = 0;

    // `Data` read one byte per character.
    QString DataText() const { return QString::fromLatin1(Data); }
    // Value byte at the position (0-255), or -1 past the end: callers decide what a missing byte means.
    int ByteAt(qsizetype index) const;
    // True when `Data` holds at least `count` bytes.
    bool HasBytes(qsizetype count) const { return Data.size() >= count; }
};
