// SPDX-License-Identifier: GPL-2.0-or-later
// The factory's calibration that a bulk erase clears on some chips: on the
// PIC12F629/675 and 16F630/676 OSCCAL, a RETLW 0x34kk in the last program
// word, and the band-gap bits BG1:BG0 of the configuration word. The row's
// memories with Erase::restored say where it is (devices/chiptable.h).
// Every erase reads it first and writes it back after (operations/erase.h),
// no file ever burns it, and what it reads must look like a calibration, or
// the person gives the value (--osccal, --bandgap, the window's box):
// otherwise nothing is erased.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/frontend.h"
#include "core/state.h"
#include "devices/chiptable.h"
#include "image/dumps.h"
#include "operations/walk.h"

struct Calibration {
    int16_t osccal = -1;   // the OSCCAL word; -1: the chip has none
    int16_t bandgap = -1;  // BG1:BG0 as 0 to 3; -1: the chip has none
    int16_t config = -1;   // the configuration word those were read from, all 14 bits
};

// What an erase did with the calibration: read first, what it wrote back
// (the person's values where given), and whether each word took it.
struct KeptCalibration {
    Calibration read;
    Calibration keep;
    bool restored = true;
    std::string why;  // when not restored: the word and what it reads
};

// The memories that hold it: the OSCCAL word and the configuration word
// with the band-gap bits; nullptr where the chip has none.
const Memory* osccalmemory(const ChipRow& row);
const Memory* bandgapmemory(const ChipRow& row);
// Whether an erase of the chip clears a calibration it must keep.
bool hascalibration(const ChipRow& row);

// Reads it from the chosen chip: a short visit to programming mode that ends
// with the board idle.
Calibration readcalibration(State& s);

// What an erase writes back: the values the person gave, else those read.
Calibration tokeep(const State& s, const Calibration& read);

// Why what was read cannot be written back, and which values the person
// must give for it; nullopt when it can (or the person gave them).
struct CalibrationTrouble {
    bool osccal = false;
    bool bandgap = false;
    // OSCCAL is lost and the band-gap bits read as erased: maybe lost with it.
    bool maybebandgap = false;
    // What was read and why it is none: "OSCCAL (word 0x03FF) reads 0x3FFF, ..."
    std::string what;
};
std::optional<CalibrationTrouble> calibrationtrouble(const State& s, const Calibration& read);
// "the PIC12F629's factory calibration would be lost: " and what.
std::string wouldbelost(const ChipRow& row, const CalibrationTrouble& t);

// "OSCCAL 0x3494, band-gap bits 10"; a value that is no calibration says so.
std::string describecalibration(const ChipRow& row, const Calibration& c);
// "10": BG1:BG0 as they are written down.
std::string bandgaptext(int16_t bandgap);

// After an erase, in a visit of its own: writes the calibration back and
// reads each word back; false, with the word in `why`, when one did not
// take it. Ends with the board idle.
bool writecalibration(State& s, const Calibration& keep, std::string& why);

// The plan with the kept band-gap bits in place of the image's in its
// configuration words (their copies go to `room`): what a burn writes.
Plan withcalibration(const Plan& plan, const Calibration& keep, std::vector<int16_t>& room);

// The status lines after an operation that kept the calibration: for a
// burn the image's words that were not burnt (a file's OSCCAL word, band-gap
// bits other than the chip's), then "Calibration kept: ...". A calibration
// not written back gets an error box that gives its values instead; false
// then. Nothing for a chip without one.
bool showkept(State& s, Frontend& f, const KeptCalibration& k, bool burnt);

// The box when an erase refused because the calibration was lost.
void reportlost(Frontend& f, const ChipRow& row, const CalibrationTrouble& t, const std::string& nothing);

// A read-out's words pass through to `out`; the calibration's are noted, and
// show() adds a status line with them.
class CalibrationTap : public WordSink {
public:
    CalibrationTap(const ChipRow& row, WordSink* out) : row_(row), out_(out) {}
    void put(int32_t address, int16_t word) override;
    void show(Frontend& f) const;

private:
    const ChipRow& row_;
    WordSink* out_;
    Calibration seen_;
};

// The values as people write them: OSCCAL "0x34NN" (hexadecimal, 0x3400 to
// 0x34FF); the band-gap bits as two binary digits "00" to "11", or 0 to 3.
std::optional<int16_t> parseosccal(const std::string& text);
std::optional<int16_t> parsebandgap(const std::string& text);
