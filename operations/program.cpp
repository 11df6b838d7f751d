#include "program.h"

#include "core/binding.h"
#include "core/lines.h"
#include "core/protocol.h"
#include "core/stop.h"
#include "image/image.h"
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
    const int16_t cpbits = static_cast<int16_t>(s.configmask & 0x3FF0);
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
    if (mode == modereadout) {
        s.progused = 1024;
        s.idused = 4;
        s.configused = 1;
        s.dataused = 64;
    }
    s.dumppos = static_cast<int16_t>(base + 1);
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

// The configuration word goes last: once its code-protection bits are
// programmed, the next entry into programming mode closes the data memory to
// the programmer, so the data memory must be done before that.
bool program2(State& s, Frontend& f, int16_t mode, ByteSink* file1) {
    int16_t wordmask = 0x3FFF;
    int16_t bytemask = 0xFF;
    int16_t progbase16 = progbase;
    int16_t idbase16 = idbase;
    int16_t database16 = database;
    int16_t configbase16 = configbase;

    vppreset(s);
    f.statusClear();
    regionline(f, "Program memory: ");
    bool ok = programall(s, f, mode, wordmask, s.cmdloadprog, s.cmdreadprog, s.progmem,
                         progbase16, s.progused, file1) != 0;
    if (ok) {
        toconfigspace(s);
        regionline(f, "ID memory: ");
        ok = programall(s, f, mode, wordmask, s.cmdloadprog, s.cmdreadprog, s.idmem,
                        idbase16, s.idused, file1) != 0;
    }
    if (ok) {
        vppreset(s);
        regionline(f, "Data memory: ");
        ok = programall(s, f, mode, bytemask, s.cmdloaddata, s.cmdreaddata, s.datamem,
                        database16, s.dataused, file1) != 0;
    }
    if (ok) {
        // Nothing was read in configuration space since this reset, so the
        // counter walks the whole way from 0x2000 to the configuration word.
        vppreset(s);
        toconfigspace(s);
        for (int i = 0; i < 7; ++i) sendcmd(s, s.cmdincaddr);
        regionline(f, "Configuration memory: ");
        ok = programall(s, f, mode, s.configmask, s.cmdloadprog, s.cmdreadprog, s.configmem,
                        configbase16, s.configused, file1) != 0;
    }
    if (ok) successlines(f, mode);
    allpinslow(s);
    // Even a pass that found every word can have read an empty bus (0x3FFF
    // is also what an erased word reads): the note stays.
    noteunreachableport(s, f);
    return ok;
}
