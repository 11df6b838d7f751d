// SPDX-License-Identifier: GPL-2.0-or-later
#include "erase.h"

#include "core/lines.h"
#include "core/protocol.h"
#include "devices/select.h"
#include "operations/erasefirst.h"
#include "portcheck.h"

namespace {

// Commands 1 and 7 have no name of their own: they arm the chip's
// code-protection erase, which the following begin-programming carries out.
constexpr uint8_t erasesetup1 = 1;
constexpr uint8_t erasesetup2 = 7;

void say(Frontend& f, const char* line) {
    f.statusAdd(line);
    f.statusRepaint();
}

// The whole chip, then program memory, then data memory.
constexpr int erasesteps = 3;
void step(Frontend& f, int done) { f.stepsDone("Erasing", done, erasesteps); }

// A bulk erase takes no data of its own: the word is loaded first (the chip
// erases to the latched value), then the erase command alone, then the
// programming cycle that carries it out.
void bulkerase(State& s, uint8_t loadcommand, uint8_t erasecommand) {
    sendcmd(s, loadcommand);
    senddata(s, 0x3FFF);
    sendcmd(s, erasecommand);
    sendcmd(s, s.cmdbeginprog);
    delaymilli(s, 20);
}

}  // namespace

bool erasechip(State& s, Frontend& f) {
    if (f.message("Are you sure you want to erase the PIC?", "*ERASE*", Buttons::YesNo) !=
        Answer::Yes)
        return false;

    if (!isoriginal(currentchip(s))) {
        f.statusClear();
        f.statusAdd("Commanding PIC to erase ID,");
        say(f, "configuration, ");
        say(f, "program,");
        say(f, "data...");
        erasewhole(s, currentchip(s), &f);
        f.statusAdd("DONE.");
        noteunreachableport(s, f);
        return true;
    }

    vppreset(s);
    f.statusClear();
    f.statusAdd("Commanding PIC to erase ID,");
    say(f, "configuration, ");
    step(f, 0);

    // With the counter on the configuration word, this erases the whole chip
    // and lifts code protection.
    sendcmd(s, s.cmdloadconfig);
    senddata(s, 0x3FFF);
    for (int i = 0; i < 7; ++i) sendcmd(s, s.cmdincaddr);
    sendcmd(s, erasesetup1);
    sendcmd(s, erasesetup2);
    sendcmd(s, s.cmdbeginprog);
    delaymilli(s, 20);
    sendcmd(s, erasesetup1);
    sendcmd(s, erasesetup2);

    say(f, "program,");
    step(f, 1);
    bulkerase(s, s.cmdloadprog, s.cmderaseprog);
    say(f, "data...");
    step(f, 2);
    bulkerase(s, s.cmdloaddata, s.cmderasedata);
    step(f, erasesteps);

    allpinslow(s);
    f.statusAdd("DONE.");
    noteunreachableport(s, f);
    return true;
}
