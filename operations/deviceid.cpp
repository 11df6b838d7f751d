#include "deviceid.h"

#include "operations/program.h"

int16_t readdeviceid(State& s) { return readconfigspace(s, deviceidaddress); }

bool isf84a(int16_t id) { return (id & 0x3FE0) == 0x0560; }

std::string describedeviceid(int16_t id) {
    if (isf84a(id)) return "PIC16F84A, revision " + std::to_string(id & 0x1F);
    if (id == 0x3FFF)
        return "no device ID (a PIC16F84, PIC16C84 or PIC16F83, or an empty socket)";
    return "not a device ID this program knows";
}
