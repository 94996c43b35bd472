#include "core/protocol/ConfigCryptoClass.h"

#include "core/protocol/ByteWriter.h"

QByteArray ConfigCryptoClass::CipherBlockAsBytes() const {
    return QByteArray(reinterpret_cast<const char*>(Block.data()), CIPHER_BLOCK_SIZE);
}

bool ConfigCryptoClass::CipherPayload(ByteWriter& packet, qsizetype first, qsizetype count) {
    // Identity: nothing to change, only the range to check.
    return first >= 0 && count >= 0 && first <= packet.size() && count <= packet.size() - first;
}
