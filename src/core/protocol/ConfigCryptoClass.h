#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <array>

class ByteWriter;

// The payload cipher hook of the config envelope. Units expect the cipher block in every header
// and run the payload through nothing: the block is always zeroed before a header is built and
// the cipher leaves the bytes as they are. Kept as its own object so a real cipher could be
// dropped in without touching the packet builders.
class ConfigCryptoClass {
public:
    static constexpr int CIPHER_BLOCK_SIZE = 8;
    using CipherBlockBytes = std::array<quint8, CIPHER_BLOCK_SIZE>;

    const CipherBlockBytes& CipherBlock() const { return Block; }
    QByteArray CipherBlockAsBytes() const;
    void SetCipherBlock(const CipherBlockBytes& block) { Block = block; }
    void ZeroCipherBlock() { Block.fill(0); }

    // Ciphers count bytes of the packet from first. The units use no cipher, so the bytes stay
    // as they are; false when the range is not inside what has been written.
    bool CipherPayload(ByteWriter& packet, qsizetype first, qsizetype count);

private:
    CipherBlockBytes Block{};
};
