#pragma once

#include <QString>
#include <array>
#include <cstdint>

// One wireless device of a unit's radio network. The radio payload parser fills it; a new device
// has only its address and everything else at 0 or empty.
class IEEEObjectClass {
public:
    static constexpr int PARENT_LIST_SIZE = 10;

    explicit IEEEObjectClass(const QString& address) : Address(address) {}
    IEEEObjectClass(const IEEEObjectClass&) = delete;
    IEEEObjectClass& operator=(const IEEEObjectClass&) = delete;

    QString Address; // 16 upper-case hexadecimal digits
    uint16_t NWK = 0;
    uint16_t ParentNWK = 0;
    uint8_t EndPoint = 0;
    uint8_t ZigbeeStatus = 0;
    int8_t RSSIdet = 0;
    int8_t RSSIbase = 0;
    uint16_t Battery = 0;
    uint16_t Power = 0;
    uint16_t Resends = 0;
    std::array<uint16_t, 2> spec_var{};
    QString SpecVariableString;
    uint32_t TimeoutTimer = 0; // 0 means offline
    uint16_t PollTime = 0;
    uint8_t HW = 0;
    uint8_t SWHigh = 0;
    uint8_t SWLow = 0;
    uint8_t SWYear = 0;
    uint8_t SWMonth = 0;
    uint8_t SWDay = 0;
    uint8_t ZoneID = 0;
    uint8_t Disabled = 0;
    std::array<uint8_t, 2> InputTypes{};
    uint8_t AlarmStatus = 0;
    uint16_t ComErrors = 0;
    uint16_t Joins = 0;
    std::array<uint16_t, PARENT_LIST_SIZE> ParentList{}; // 0 is an empty slot
    QString Name;
    QString RSSIString;
    QString FirmwareDate;
    QString FirmwareVersion;
};
