#pragma once

// Helpers shared by the serial device's frame handling and its item values.

#include <QByteArray>
#include <QtGlobal>
#include <iterator>

namespace SimSerialItems {

// No item carries more than 16 bytes; a longer value is not one of ours.
inline constexpr int MAX_FRAME_VALUE = 64;
inline constexpr qint64 CONTACT_PERIOD_MS = 15000; // the device talks to its parent this often

// Device kinds, from the hardware type.
enum Kind { KIND_DETECTOR, KIND_TESTER, KIND_MINI };

inline Kind KindOf(quint8 hw) {
    if (hw == 3 || hw == 4)
        return KIND_TESTER;
    if (hw == 5 || hw == 6)
        return KIND_MINI;
    return KIND_DETECTOR;
}

inline QByteArray Le(quint32 value, int bytes) {
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
    return out;
}

inline quint32 LeNumber(const QByteArray& value) {
    quint32 number = 0;
    for (int i = qMin<int>(int(value.size()), 4) - 1; i >= 0; --i)
        number = (number << 8) | quint8(value.at(i));
    return number;
}

// A slow wobble of the signal around its mean, the same on every run.
inline qint8 SignalAt(int contact) {
    static const qint8 wobble[] = {0, -2, 1, -4, 3, -1, -6, 2, 0, -3};
    return static_cast<qint8>(-61 + wobble[contact % int(std::size(wobble))]);
}

} // namespace SimSerialItems
