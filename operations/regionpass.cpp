// SPDX-License-Identifier: GPL-2.0-or-later
#include "regionpass.h"

#include "core/cycle.h"
#include "core/protocol.h"
#include "core/stop.h"
#include "devices/select.h"
#include "image/image.h"
#include "operations/readiness.h"

// The status list's line for what a region pass does to each word.
void modeline(Frontend& f, int16_t mode) {
    switch (mode) {
    case modeverify: f.statusAdd("Verifying..."); break;
    case modeprogram: f.statusAdd("Programming..."); break;
    case modereadout: f.statusAdd("Saving..."); break;
    default: break;
    }
    f.statusRepaint();
}

void regionline(Frontend& f, const char* line) {
    f.statusAdd(line);
    f.statusRepaint();
}

// The first mismatch ends the whole pass: the status list says so, the box
// names the word, and a program word 0 reading 0 points at code protection.
void reportmismatch(Frontend& f, int32_t address, int16_t expected, int16_t found) {
    f.statusAdd("**ERROR!**");
    f.message("Failed at 0x" + hexupper(static_cast<uint32_t>(address)) + ": Expecting 0x" +
                  hexupper(static_cast<uint16_t>(expected)) + ", found 0x" +
                  hexupper(static_cast<uint16_t>(found)) + ".",
              "ERROR!");
    if (address == 0 && found == 0)
        f.message("The micro must be s/w protected, erase first.", "Protected?");
}

void successlines(Frontend& f, int16_t mode) {
    f.statusClear();
    f.statusAdd("SUCCESS!");
    if (mode == modeprogram) {
        f.statusAdd("Note:For production-grade work,");
        f.statusAdd("     you should now verify the PIC");
        f.statusAdd("     at the maximum and minimum");
        f.statusAdd("     values of Vcc.");
    }
    f.progressValue(0);
}

int16_t programall(State& s, Frontend& f, int16_t mode, const Visit& v, WordSink* out,
                   const std::vector<ClosedRange>* closed) {
    const Memory& m = *v.memory;
    const uint8_t increment = currentchip(s).increment;
    modeline(f, mode);
    f.progressValue(0);
    f.progressMax(v.count + 1);
    for (int16_t i = 0; i < v.count; ++i) {
        // A stop (Escape, closing the window, Ctrl-C) is taken between words,
        // never inside one: each word gets its whole programming cycle.
        if (stop::requested()) {
            f.statusAdd("**STOPPED**");
            return 0;
        }
        f.progressValue(i);
        if (mode == modeverify && closed && inclosed(*closed, v.address(i))) {
            sendcmd(s, increment);
            continue;
        }
        const int16_t expected = static_cast<int16_t>(v.image[i] & m.mask);
        if (mode == modeprogram) writeword(s, m.write, m.load, expected);
        const int16_t word = readword(s, m);
        // Bits of the factory's calibration are the chip's, not the file's.
        const uint16_t compared = m.comparemask();
        if (mode == modereadout) {
            if (out) out->put(v.address(i), word);
        } else if ((word & compared) != (expected & compared)) {
            if (mode == modeprogram) f.wordsDone(1, 0);
            reportmismatch(f, v.address(i), static_cast<int16_t>(expected & compared),
                           static_cast<int16_t>(word & compared));
            return 0;
        } else {
            f.wordsDone(mode == modeprogram ? 1 : 0, 1);
        }
        sendcmd(s, increment);
    }
    return 1;
}
