// SPDX-License-Identifier: GPL-2.0-or-later
#include "boardcheck.h"

#include <initializer_list>

#include "core/detect.h"
#include "core/lines.h"
#include "portcheck.h"
#include "readiness.h"
#include "portinfo.h"

int16_t checkhardware(State& s, Frontend& f) {
    const int16_t found = detecthardware(s);
    if (found != 1) {
        // The box does not say where it looked.
        f.statusAdd("quibb9x: no board answers at port " +
                    portinfo::hex(static_cast<uint16_t>(s.portaddr)) + " (board '" + s.wiring.name +
                    "': " + describepins(s.wiring) + ")");
        if (!s.wiring.checkdocumented)
            f.statusAdd("quibb9x: " + undocumentedcheck(s.wiring) +
                        ": if the board is connected and powered, start quibb9x with --no-check "
                        "to go on without the check");
        noteunreachableport(s, f);  // a board that answers was reached
    }
    if (found == 1)
        f.message("QUIBB H/W Successfully detected on port!", "SUCCESS!");
    else
        f.message("QUIBB H/W not found (This may be ok on some systems).", "CAUTION!");
    return found;
}

namespace {

// Each test's lines name the socket points to measure against pin 5; the
// point column is 19 characters wide so the values line up.
void show(Frontend& f, std::initializer_list<const char*> lines) {
    for (const char* line : lines) f.statusAdd(line);
}

void next(Frontend& f) { f.message("Continue...", "OK?"); }

// The idle lines with the supply on: the tests are measured on a powered
// board, as the original always is. A board that switches VDD gets it back
// after each allpinslow; elsewhere nothing is written.
void idlepowered(State& s) {
    allpinslow(s);
    vddon(s);
}

}  // namespace

void troubleshoot(State& s, Frontend& f) {
    f.statusClear();
    f.message("Ensure programmer is powered and no PIC in socket", "TROUBLESHOOT");

    // A: everything idle.
    idlepowered(s);
    show(f, {"TEST A:", "(conect (-) tester lead to pin 5)",
             "Socket pin 4       < 0.8 V",
             "Socket pin 12      < 0.8 V",
             "Socket pin 13      < 0.8 V",
             "Socket pin 14      4.75 to 5.25 V",
             "Junction D1,D2,R1  < 0.8 V"});
    next(f);

    // B: programming voltage on, clock and data high.
    vppon(s);
    clockup(s);
    dataup(s);
    f.statusClear();
    show(f, {"TEST B:", "(conect (-) tester lead to pin 5)",
             "Socket pin 4       12.0 - 14.0 V",
             "Socket pin 12      > 4.0 V",
             "Socket pin 13      > 4.0 V",
             "Junction D1,D2,R1  < 0.8 V"});
    next(f);

    // C: data high but driven by the PC, so the read-back node stays low.
    vppoff(s);
    clockdown(s);
    datareadable(s);
    idlepowered(s);
    datawritable(s);
    dataup(s);
    f.statusClear();
    show(f, {"TEST C:", "(conect (-) tester lead to pin 5)",
             "Verify that the junction of",
             "D1, D2, and R1 is < 0.8 V."});
    next(f);

    // D: the same, with the line released to the board.
    idlepowered(s);
    datareadable(s);
    dataup(s);
    f.statusClear();
    show(f, {"TEST D:", "(conect (-) tester lead to pin 5)",
             "Verify that the junction of",
             "D1, D2, and R1 is now > 4 V."});
    f.message("This completes the voltage test sequence.", "");

    f.statusClear();
    allpinslow(s);
}
