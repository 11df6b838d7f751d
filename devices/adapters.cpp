// SPDX-License-Identifier: GPL-2.0-or-later
#include "adapters.h"

namespace {

// The 8-pin PIC12F629/675 and the 14-pin PIC16F630/676, by their package
// drawings (the port names of the 8-pin chips are GPx, of the 14-pin RAx).
constexpr Adapter all[] = {
    {Package::pin8, "8-pin", "4 (GP3)", "6 (GP1)", "7 (GP0)", "1", "8"},
    {Package::pin14, "14-pin", "4 (RA3)", "12 (RA1)", "13 (RA0)", "1", "14"},
};

}  // namespace

std::span<const Adapter> adapters() { return all; }

const Adapter* adapterfor(Package package) {
    for (const Adapter& a : all)
        if (a.package == package) return &a;
    return nullptr;
}

std::string describeadapter(const Adapter& a) {
    return std::string("MCLR/Vpp ") + a.mclr + " to socket pin 4, clock " + a.clock +
           " to 12, data " + a.data + " to 13, VDD " + a.vdd + " to 14, VSS " + a.vss + " to 5";
}
