#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

// The 9-byte reference to one output. Bytes 0-7 are a device's IEEE address and byte 8 the output
// number on it; 0xFE, n, 0, ... names output n of the unit itself; nine zero bytes name no output.
struct OutputRef {
    static constexpr int SIZE = 9;
    static constexpr uint8_t UNIT_OUTPUT_MARK = 0xFE;

    std::array<uint8_t, SIZE> Bytes{};

    // Up to nine bytes from the buffer; bytes it does not hold stay 0.
    static OutputRef FromBytes(const unsigned char* bytes, qsizetype count);
    static OutputRef FromBytes(const QByteArray& bytes);

    // Sets the reference from a zone element's bytes: the element names the whole output, so bytes
    // it does not carry become 0 rather than keeping what an earlier report left there (which would
    // name an output that does not exist). Bytes past nine are dropped.
    void SetFromElement(const unsigned char* bytes, qsizetype count);

    bool IsNone() const;
    // "" for no output, "n" for output n of the unit, otherwise "00112233AABBCCDD:1".
    QString Text() const;

    bool operator==(const OutputRef&) const = default;
};
