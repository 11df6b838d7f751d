// SPDX-License-Identifier: GPL-2.0-or-later
#include "configburn.h"

#include "core/protocol.h"
#include "core/stop.h"
#include "operations/erasefirst.h"
#include "operations/program.h"
#include "operations/regionwalk.h"

bool burnconfigwords(State& s, Frontend& f) {
    Walk w;
    configwalk(s, w);
    int32_t counter = 0;
    for (Region& r : w.regions) {
        moveto(s, r, counter);
        if (r.line) {
            regionline(f, r.line);
            modeline(f, modeprogram);
        }
        f.progressValue(0);
        f.progressMax(*r.count + 1);
        for (int16_t i = 0; i < *r.count; ++i) {
            if (stop::requested()) {
                f.statusAdd("**STOPPED**");
                return false;
            }
            f.progressValue(i);
            const int16_t word = static_cast<int16_t>(r.image[i] & r.mask);
            writeword(s, *r.cycle, r.writecommand, word);
            sendcmd(s, r.readcommand);
            const int16_t v = static_cast<int16_t>(recvdata(s) & r.mask);
            if (v != word) {
                reportmismatch(f, r.base + i, word, v);
                return false;
            }
            sendcmd(s, s.cmdincaddr);
        }
        counter += *r.count;
    }
    return true;
}
