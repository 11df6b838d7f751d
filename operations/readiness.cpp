// SPDX-License-Identifier: GPL-2.0-or-later
#include "readiness.h"

#include "core/detect.h"
#include "devices/select.h"
#include "operations/portcheck.h"
#include "operations/walk.h"
#include "portinfo.h"

std::optional<NoBoard> noboard(State& s) {
    if (detecthardware(s) == 1) return std::nullopt;
    NoBoard absent;
    absent.what = "no board answers at port " + portinfo::hex(static_cast<uint16_t>(s.portaddr));
    if (const auto problem = portproblem(s)) {
        absent.what += ": " + *problem;
        absent.unreachable = true;
    }
    return absent;
}

std::optional<int16_t> protectedword(State& s) {
    const Memory& config = currentchip(s).config(0);
    const int16_t word = static_cast<int16_t>(readconfigspace(s, config.address) & config.mask);
    if (!codeprotected(s, word)) return std::nullopt;
    return word;
}
