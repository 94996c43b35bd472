#pragma once

#include <QString>
#include <cstdint>

// One entry of a radio node's neighbor table; (OwnerNWK, NeighborNWK) is its identity.
class NeighborObjectClass {
public:
    NeighborObjectClass(uint16_t ownerNwk, uint16_t neighborNwk)
        : OwnerNWK(ownerNwk), NeighborNWK(neighborNwk) {}
    NeighborObjectClass(const NeighborObjectClass&) = delete;
    NeighborObjectClass& operator=(const NeighborObjectClass&) = delete;

    uint16_t OwnerNWK = 0; // the node whose table this is
    uint16_t NeighborNWK = 0;
    QString extID; // IEEE address, byte pairs separated by single spaces
    uint8_t rxLqi = 0;
    uint8_t depth = 0; // 255 is shown blank
    uint8_t type = 0;  // bits 0-1 device type, bits 4-7 relation
    uint8_t age = 0;
    QString ReceivedTime; // "hh:nn:ss" local time of the last report
};
