// SPDX-License-Identifier: GPL-2.0-or-later
#include "program.h"

#include "core/binding.h"
#include "core/lines.h"
#include "core/protocol.h"
#include "core/stop.h"
#include "devices/select.h"
#include "image/image.h"
#include "operations/erasefirst.h"
#include "operations/regionwalk.h"
#include "portcheck.h"

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

void regionline(Frontend& f, const char* line) {
    f.statusAdd(line);
    f.statusRepaint();
}

// Load configuration moves the chip's address counter to 0x2000. The word sent
// along is only latched, never programmed.
void toconfigspace(State& s) {
    sendcmd(s, s.cmdloadconfig);
    senddata(s, s.configdefault);
}

int16_t readconfigspace(State& s, int32_t address) {
    vppreset(s);
    toconfigspace(s);
    for (int32_t a = 0x2000; a < address; ++a) sendcmd(s, s.cmdincaddr);
    sendcmd(s, s.cmdreadprog);
    const int16_t word = static_cast<int16_t>(recvdata(s) & 0x3FFF);
    allpinslow(s);
    return word;
}

bool codeprotected(const State& s, int16_t config) {
    const ChipRow& row = currentchip(s);
    const int16_t cpbits = isoriginal(row) ? static_cast<int16_t>(s.configmask & 0x3FF0)
                                           : static_cast<int16_t>(row.cpbits | row.cpdbits);
    return (config & cpbits) != cpbits;
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

int16_t programall(State& s, Frontend& f, int16_t& mode, int16_t& mask,
                   uint8_t& writecommand, uint8_t& readcommand, int16_t* image,
                   int16_t& base, int16_t& count, ByteSink* file1) {
    modeline(f, mode);
    // A read-out covers the whole chip whatever file was loaded. The count
    // argument is one of these fields, so the pass below sees the full size.
    if (mode == modereadout) readoutcounts(s);
    s.dumppos = static_cast<int16_t>(dumpposition(s, base));
    f.progressValue(0);
    f.progressMax(count + 1);
    for (int16_t i = 0; i < count; ++i) {
        // A stop (Escape, closing the window, Ctrl-C) is taken between words,
        // never inside one: each word gets its whole programming cycle.
        if (stop::requested()) {
            f.statusAdd("**STOPPED**");
            return 0;
        }
        f.progressValue(i);
        if (mode == modeprogram) {
            const int16_t w = static_cast<int16_t>(image[i] & mask);
            progcycle(s, writecommand, w);
        }
        sendcmd(s, readcommand);
        const int16_t r = recvdata(s);
        const int16_t v = static_cast<int16_t>(r & mask);
        if (mode == modereadout) {
            const int16_t hi = static_cast<int16_t>(binding::zavSR(v, 8));
            if (file1) {
                file1->put(s.dumppos, static_cast<uint8_t>(v & 0xFF));
                file1->put(s.dumppos + 1, static_cast<uint8_t>(hi));
            }
            s.dumppos = static_cast<int16_t>(s.dumppos + 2);
        } else {
            const int16_t expected = static_cast<int16_t>(image[i] & mask);
            if (v != expected) {
                reportmismatch(f, base + i, expected, v);
                return 0;
            }
        }
        sendcmd(s, s.cmdincaddr);
    }
    return 1;
}

void readoutcounts(State& s) {
    const ChipRow& row = currentchip(s);
    // The original chips' read-out has always covered 1024 program words,
    // the 16F83's wrapped half included.
    s.progused = isoriginal(row) ? 1024 : row.progwords;
    s.idused = row.idwords;
    s.configused = row.configcount;
    s.dataused = isoriginal(row) ? 64 : row.databytes;
}

// The original chips' read-out puts word i of a region at byte base + 2i;
// the other chips' at the HEX file's byte address, 2 × (base + i).
int32_t dumpposition(const State& s, int32_t base) {
    return isoriginal(currentchip(s)) ? base + 1 : 2 * base + 1;
}

// The configuration word goes last: once its code-protection bits are
// programmed, the next entry into programming mode closes the data memory to
// the programmer, so the data memory must be done before that.
bool walkpass(State& s, Frontend& f, int16_t mode, Walk& w, ByteSink* file1) {
    int32_t counter = 0;
    for (Region& r : w.regions) {
        moveto(s, r, counter);
        if (r.line) regionline(f, r.line);
        int16_t base16 = static_cast<int16_t>(r.base);
        if (programall(s, f, mode, r.mask, r.writecommand, r.readcommand, r.image, base16,
                       *r.count, file1) == 0)
            return false;
        counter += *r.count;
    }
    return true;
}

bool program2(State& s, Frontend& f, int16_t mode, ByteSink* file1) {
    if (mode == modeprogram && !isoriginal(currentchip(s))) return burnerasefirst(s, f);
    if (mode == modereadout) readoutcounts(s);
    Walk w;
    burnwalk(s, w);
    f.statusClear();
    const bool ok = walkpass(s, f, mode, w, file1);
    if (ok) successlines(f, mode);
    allpinslow(s);
    // Even a pass that found every word can have read an empty bus (0x3FFF
    // is also what an erased word reads): the note stays.
    noteunreachableport(s, f);
    return ok;
}
