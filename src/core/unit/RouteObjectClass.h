#pragma once

#include <cstdint>

// One entry of a radio node's routing table; (OwnerNWK, DestNWK, HopNWK) is its identity.
class RouteObjectClass {
public:
    RouteObjectClass(uint16_t ownerNwk, uint16_t destNwk, uint16_t hopNwk)
        : OwnerNWK(ownerNwk), DestNWK(destNwk), HopNWK(hopNwk) {}
    RouteObjectClass(const RouteObjectClass&) = delete;
    RouteObjectClass& operator=(const RouteObjectClass&) = delete;

    uint16_t OwnerNWK = 0; // the node whose table this is
    uint16_t DestNWK = 0;
    uint16_t HopNWK = 0; // next hop towards DestNWK
    uint8_t status = 0;  // 0 RT_INIT, 1 RT_ACTIVE, 2 RT_DISC, 3 RT_LINK_FAIL, 4 RT_REPAIR
};
