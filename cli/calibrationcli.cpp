// SPDX-License-Identifier: GPL-2.0-or-later
#include "calibrationcli.h"

#include <cstdio>
#include <iostream>
#include <map>
#include <vector>

#include "cli/console.h"
#include "devices/select.h"
#include "image/kinship.h"
#include "operations/calibration.h"

namespace cli {
namespace {

// The chips of the table that a test of each row picks, joined: "PIC12F629,
// PIC12F675".
template <typename Pick>
std::string chipsthat(Pick pick) {
    std::string names;
    for (const ChipRow& row : chiprows())
        if (pick(row)) names += (names.empty() ? "" : ", ") + chiplabel(row);
    return names;
}

std::string calibratedchips() {
    return chipsthat([](const ChipRow& row) { return hascalibration(row); });
}

// What a row's calibration is and where it sits.
std::string whatcalibration(const ChipRow& row) {
    std::string text;
    char part[96];
    if (const Memory* m = osccalmemory(row)) {
        std::snprintf(part, sizeof part, "OSCCAL, a RETLW 0x%02XNN at word 0x%04X",
                      static_cast<unsigned>(m->signature >> 8), static_cast<unsigned>(m->address));
        text = part;
    }
    if (const Memory* m = bandgapmemory(row)) {
        int high = 13, low = 0;
        while (high > 0 && !(m->restorebits & (1u << high))) --high;
        while (low < 13 && !(m->restorebits & (1u << low))) ++low;
        std::snprintf(part, sizeof part, "the band-gap bits BG1:BG0, bits %d:%d of word 0x%04X",
                      high, low, static_cast<unsigned>(m->address));
        text += (text.empty() ? "" : " and ") + std::string(part);
    }
    return text;
}

}  // namespace

int checkcalibrationoptions(const Options& o, const ChipRow& row) {
    const bool osccal = o.overrides.osccal.has_value(), bandgap = o.overrides.bandgap.has_value();
    if ((!osccal || osccalmemory(row)) && (!bandgap || bandgapmemory(row))) return exitok;
    std::cerr << "quibb9x: " << (osccal && !osccalmemory(row) ? "--osccal" : "--bandgap")
              << " is for a chip that carries the factory's calibration (" << calibratedchips()
              << "), not the " << chiplabel(row) << "; nothing was sent to the chip\n";
    return exitusage;
}

int checkcalibration(State& s) {
    if (!hascalibration(currentchip(s))) return exitok;
    const auto t = calibrationtrouble(s, readcalibration(s));
    if (!t) return exitok;
    std::string how = t->osccal ? "Give the chip's OSCCAL with --osccal 0x34NN" : "";
    if (t->bandgap)
        how += std::string(how.empty() ? "Give" : " and") +
               " its band-gap bits with --bandgap N (BG1:BG0 as two bits, e.g. 10)";
    else if (t->maybebandgap)
        how += " (and --bandgap N if your note gives other band-gap bits than those read)";
    std::cerr << "quibb9x: " << wouldbelost(currentchip(s), *t) << "; nothing was erased. " << how
              << ": the label you wrote for the chip or your note of its values holds them\n";
    return exitfailed;
}

int checkkinship(const Options& o, const State& s, const ChipRow& row) {
    const auto use = foreignuse(s, row);
    if (!use) return exitok;
    std::cerr << "quibb9x: " << escaped(o.file) << ": " << describeforeign(row, *use)
              << "; nothing was sent to the chip. Burn it into a " << use->reg->chip
              << " (--device), or assemble the program for the " << chiplabel(row) << "\n";
    return exitfailed;
}

std::string calibrationline(State& s) {
    const ChipRow& row = currentchip(s);
    if (!hascalibration(row)) return {};
    return chiplabel(row) + " calibration: " + describecalibration(row, readcalibration(s));
}

void listcalibrations(std::ostream& out) {
    // Rows alike in their calibration share a line, in the table's order.
    std::vector<std::string> order;
    std::map<std::string, std::string> chips;
    for (const ChipRow& row : chiprows()) {
        if (!hascalibration(row)) continue;
        const std::string what = whatcalibration(row);
        if (!chips.count(what)) order.push_back(what);
        chips[what] += (chips[what].empty() ? "" : ", ") + chiplabel(row);
    }
    if (!order.empty()) {
        out << "\nFactory calibration, read before every erase and written back after (the "
               "chip's own, or --osccal and --bandgap):\n";
        for (const std::string& what : order) out << "  " << chips[what] << ": " << what << "\n";
    }
}

}  // namespace cli
