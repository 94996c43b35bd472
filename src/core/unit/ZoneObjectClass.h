#pragma once

#include "core/unit/OutputRef.h"

#include <QString>
#include <array>
#include <cstdint>

// One zone of a unit's radio network; a new zone has its id and everything else at 0 or empty.
class ZoneObjectClass {
public:
    explicit ZoneObjectClass(uint8_t zoneId) : ZoneID(zoneId) {}
    ZoneObjectClass(const ZoneObjectClass&) = delete;
    ZoneObjectClass& operator=(const ZoneObjectClass&) = delete;

    uint8_t ZoneID = 0;
    uint8_t Status = 0; // 0 not used, 1 disarmed, 2 armed, 3 armed home
    QString Name;
    QString AreaID;
    OutputRef ActivationOutput;
    std::array<OutputRef, 2> AlarmOutputs{};
    std::array<OutputRef, 2> FaultOutputs{};
    uint16_t AlarmOutputReloadTime = 0;
    uint16_t FaultOutputReloadTime = 0;
    uint8_t TwoSection = 0;
    uint8_t AutoAck = 0;
    uint8_t OutputDelay = 0;
    uint8_t ActivateAllSirens = 0;
    uint16_t ZoneControlDelayReloadTime = 0;
    uint16_t AlarmLookupReloadTime = 0;
};
