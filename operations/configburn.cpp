// SPDX-License-Identifier: GPL-2.0-or-later
#include "configburn.h"

#include "core/cycle.h"
#include "core/protocol.h"
#include "core/stop.h"
#include "devices/select.h"
#include "operations/regionpass.h"
#include "operations/walk.h"

bool burnconfigwords(State& s, Frontend& f, const Plan& plan) {
    const uint8_t increment = currentchip(s).increment;
    return walk(s, &f, plan, [&](const Visit& v) {
        const Memory& m = *v.memory;
        const uint16_t compared = m.comparemask();
        if (v.line) modeline(f, modeprogram);
        f.progressValue(0);
        f.progressMax(v.count + 1);
        for (int16_t i = 0; i < v.count; ++i) {
            if (stop::requested()) {
                f.statusAdd("**STOPPED**");
                return false;
            }
            f.progressValue(i);
            const int16_t word = static_cast<int16_t>(v.image[i] & m.mask);
            writeword(s, m.write, m.load, word);
            const int16_t found = readword(s, m);
            if ((found & compared) != (word & compared)) {
                f.wordsDone(1, 0);
                reportmismatch(f, v.address(i), static_cast<int16_t>(word & compared),
                               static_cast<int16_t>(found & compared));
                return false;
            }
            f.wordsDone(1, 1);
            sendcmd(s, increment);
        }
        return true;
    });
}
