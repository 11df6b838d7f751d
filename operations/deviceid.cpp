// SPDX-License-Identifier: GPL-2.0-or-later
#include "deviceid.h"

#include "devices/chiptable.h"
#include "operations/program.h"

int16_t readdeviceid(State& s) { return readconfigspace(s, deviceidaddress); }

bool isf84a(int16_t id) { return (id & 0x3FE0) == 0x0560; }

namespace {

// Chips with a device ID that the board reaches only through an adapter, or
// not at all; named so that --device auto and detect can say what they are.
struct OtherChip {
    uint16_t id, mask;
    const char* name;
};
constexpr OtherChip otherchips[] = {
    {0x0D00, 0x3FE0, "PIC16F870"},  {0x0D20, 0x3FE0, "PIC16F871"},  {0x08E0, 0x3FE0, "PIC16F872"},
    {0x0960, 0x3FE0, "PIC16F873"},  {0x0920, 0x3FE0, "PIC16F874"},  {0x09E0, 0x3FE0, "PIC16F876"},
    {0x09A0, 0x3FE0, "PIC16F877"},  {0x0E40, 0x3FF0, "PIC16F873A"}, {0x0E60, 0x3FF0, "PIC16F874A"},
    {0x0E00, 0x3FF0, "PIC16F876A"}, {0x0E20, 0x3FF0, "PIC16F877A"}, {0x0F80, 0x3FE0, "PIC12F629"},
    {0x0FC0, 0x3FE0, "PIC12F675"},  {0x10C0, 0x3FE0, "PIC16F630"},  {0x10E0, 0x3FE0, "PIC16F676"},
};

}  // namespace

const char* otherchipname(int16_t id) {
    for (const auto& c : otherchips)
        if ((id & c.mask) == c.id) return c.name;
    return nullptr;
}

std::string describedeviceid(int16_t id) {
    if (const ChipRow* row = chipbyid(static_cast<uint16_t>(id)))
        return chiplabel(*row) + ", revision " + std::to_string(id & ~row->deviceidmask & 0x3FFF);
    if (const char* other = otherchipname(id))
        return std::string(other) + ", which this program cannot program";
    if (id == 0x3FFF)
        return "no device ID (a PIC16F84, PIC16C84 or PIC16F83, or an empty socket)";
    return "not a device ID this program knows";
}
