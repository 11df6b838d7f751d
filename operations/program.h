// SPDX-License-Identifier: GPL-2.0-or-later
// Burn, verify and read-out: whole-device passes over the chip's regions.
#pragma once
#include <cstdint>

#include "core/frontend.h"
#include "core/state.h"

enum : int16_t { modeverify = 0, modeprogram = 1, modereadout = 2 };

// File number 1 of a read-out: bytes placed by 1-based position. Errors are
// the sink's own business (the dump writer asks it afterwards).
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void put(int32_t position, uint8_t byte) = 0;
};

// One region pass; 1 when every word passed, 0 at the first mismatch or when
// a stop was asked for (core/stop.h).
int16_t programall(State& s, Frontend& f, int16_t& mode, int16_t& mask,
                   uint8_t& writecommand, uint8_t& readcommand, int16_t* image,
                   int16_t& base, int16_t& count, ByteSink* file1);

// One whole-device pass in the given mode; true when every region passed
// (a read-out is false only when stopped). Always ends with allpinslow.
// file1 is used in read-out mode only.
bool program2(State& s, Frontend& f, int16_t mode, ByteSink* file1 = nullptr);

struct Walk;
// The regions of a walk in turn, each visited by programall in the given
// mode; false at the first region that did not pass.
bool walkpass(State& s, Frontend& f, int16_t mode, Walk& w, ByteSink* file1);
// A read-out's counts: the whole chip.
void readoutcounts(State& s);
// The 1-based position in a read-out's file 1 of a region's first word.
int32_t dumpposition(const State& s, int32_t base);

// Pieces shared by the passes over the chip.
void modeline(Frontend& f, int16_t mode);           // "Programming..." and the others
void regionline(Frontend& f, const char* line);     // "Program memory: " and the others
// A mismatch as burn and verify report it: status line, box, and the
// code-protection hint when program word 0 reads 0.
void reportmismatch(Frontend& f, int32_t address, int16_t expected, int16_t found);
// Moves the chip's address counter to 0x2000 (the ID locations).
void toconfigspace(State& s);
// Enters programming mode, reads one word of configuration space (0x2000 to
// 0x200F: load configuration, then increments) and leaves the board idle.
int16_t readconfigspace(State& s, int32_t address);
// Whether a configuration word closes the chip: any code-protection bit clear
// (bits 13 to 4 where the device's mask has them).
bool codeprotected(const State& s, int16_t config);
// The status list after a pass that passed: "SUCCESS!", and after a burn the
// note on verifying at the supply's limits.
void successlines(Frontend& f, int16_t mode);
