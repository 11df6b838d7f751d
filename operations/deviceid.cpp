// SPDX-License-Identifier: GPL-2.0-or-later
#include "deviceid.h"

#include "operations/walk.h"

int16_t readdeviceid(State& s) { return readconfigspace(s, deviceidaddress); }

bool isf84a(int16_t id) { return idmatches(*findchip("16F84A"), static_cast<uint16_t>(id)); }

std::string describedeviceid(int16_t id) {
    if (const ChipRow* row = chipbyid(static_cast<uint16_t>(id)))
        return chiplabel(*row) + ", revision " + std::to_string(id & ~row->deviceidmask & 0x3FFF);
    if (const char* other = otherchipname(id))
        return std::string(other) + ", which this program cannot program";
    if (id == 0x3FFF)
        return "no device ID (a PIC16F84, PIC16C84 or PIC16F83, or an empty socket)";
    return "not a device ID this program knows";
}
