// SPDX-License-Identifier: GPL-2.0-or-later
// How the chips that do not come in the board's 18-pin package reach it: a
// passive adapter takes the chip's MCLR/Vpp, clock, data, VDD and VSS pins
// to the socket's pins 4, 12, 13, 14 and 5. A row names its package
// (devices/chiptable.h); the adapter is the package's.
#pragma once
#include <span>
#include <string>

#include "chiptable.h"

struct Adapter {
    Package package;
    const char* name;  // "8-pin"
    // The chip's pins that go to socket pins 4, 12, 13, 14 and 5: "4 (GP3)".
    const char* mclr;
    const char* clock;
    const char* data;
    const char* vdd;
    const char* vss;
};

// Every adapter, smallest package first.
std::span<const Adapter> adapters();

// The package's adapter; nullptr for the 18-pin chips, which sit in the
// socket.
const Adapter* adapterfor(Package package);

// "MCLR/Vpp 4 (GP3) to socket pin 4, clock 6 (GP1) to 12, data 7 (GP0) to
// 13, VDD 1 to 14, VSS 8 to 5".
std::string describeadapter(const Adapter& a);
