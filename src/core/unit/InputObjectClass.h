#pragma once

#include <QString>
#include <cstdint>

// One wired input of a unit, as reported through the input keys 150 to 159. The numbers start at
// NOT_REPORTED so that a view can tell a field the unit has not sent yet from a real 0.
class InputObjectClass {
public:
    static constexpr int32_t NOT_REPORTED = 0xFFFF;

    explicit InputObjectClass(const QString& address) : Address(address) {}
    InputObjectClass(const InputObjectClass&) = delete;
    InputObjectClass& operator=(const InputObjectClass&) = delete;

    // The input's name as the unit gives it ("1", "2", ...). It is the input's identity and the unit
    // record indexes inputs by it, so it is fixed at creation.
    const QString Address;
    QString Text;
    int32_t Type = NOT_REPORTED;
    int32_t Balance = NOT_REPORTED;
    int32_t MaxTemp = NOT_REPORTED;
    int32_t MinTemp = NOT_REPORTED;
    int32_t Delay = NOT_REPORTED;
    int32_t Status = NOT_REPORTED;
    int32_t Analog = NOT_REPORTED;
    QString Info;
};
