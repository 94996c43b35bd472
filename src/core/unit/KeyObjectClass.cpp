#include "core/unit/KeyObjectClass.h"

int KeyObjectClass::ByteAt(qsizetype index) const {
    if (index < 0 || index >= Data.size())
        return -1;
    return static_cast<unsigned char>(Data.at(index));
}
