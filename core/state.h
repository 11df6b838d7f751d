// SPDX-License-Identifier: GPL-2.0-or-later
// The one record that holds every field of a run. Widths follow the program's
// own: 16-bit fields are int16_t so that they wrap as they always have, 8-bit
// command codes and the control-register copy are uint8_t.
#pragma once
#include <cstdint>
#include <string>

#include "wiring.h"

struct ChipRow;

struct State {
    std::string version;

    // Selected device and region sizes. The size fields are the number of
    // words the chip implements in each region.
    int16_t picmodel = 0;
    int16_t progsize = 0;
    int16_t idsize = 0;
    int16_t configsize = 0;
    int16_t datasize = 0;

    // The selected chip's row of the chip table (devices/chiptable.h).
    const ChipRow* chip = nullptr;
    // The chip's document asks for Vpp before VDD (boards that switch VDD
    // enter it that way).
    bool vppfirst = false;

    // The memory image: element i of a region is the word at base + i. Sized
    // for the largest chip: 4096 program words, 256 data bytes, two
    // configuration words.
    int16_t progmem[4097] = {};
    int16_t idmem[5] = {};
    int16_t configmem[3] = {};
    int16_t datamem[257] = {};

    // High-water counters: one more than the highest index stored, 0 = none.
    int16_t progused = 0;
    int16_t configused = 0;
    int16_t idused = 0;
    int16_t dataused = 0;

    int16_t configmask = 0;
    int16_t configdefault = 0;

    // Serial command codes of the chip's programming protocol.
    uint8_t cmdloadconfig = 0;
    uint8_t cmdloadprog = 0;
    uint8_t cmdreadprog = 0;
    uint8_t cmdincaddr = 0;
    uint8_t cmdbeginprog = 0;
    uint8_t cmdloaddata = 0;
    uint8_t cmdreaddata = 0;
    uint8_t cmderaseprog = 0;
    uint8_t cmderasedata = 0;

    // Parallel port: base address and the copy of the control register.
    int16_t portaddr = 0;
    uint8_t ctrlshadow = 0;
    // The copy of the data register, kept like ctrlshadow.
    uint8_t datashadow = 0;
    // The board's lines on the port's pins.
    Wiring wiring = originalwiring();
    // Clock phases are timed from the clock edges alone: each edge a
    // microsecond after the one before, the data line changed in between
    // (every chip but the original four, whose recorded traffic holds a
    // microsecond after every line change).
    bool edgetimed = false;
    // How long the original chips' waits last, in ms (7 to 20): each word's
    // programming cycle, the erase, and the entry into programming mode. An
    // old 16C84 may want 10.
    int16_t tprog = 7;

    std::string dumpfile;
    std::string startdir;
    std::string windir;
    std::string tempfile;

    // Running fields of the dump writers.
    int16_t dumppos = 0;
    int16_t hexaddr = 0;
    int16_t hexsum = 0;
    int16_t hexpos = 0;
    uint8_t hexbyte = 0;
    int16_t addrhi = 0;
    int16_t addrlo = 0;
    std::string addrhistr, addrlostr, bytestr, sumstr;
};
