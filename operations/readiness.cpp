// SPDX-License-Identifier: GPL-2.0-or-later
#include "readiness.h"

#include <cstdio>

#include "core/detect.h"
#include "devices/chiptable.h"
#include "devices/select.h"
#include "operations/deviceid.h"
#include "operations/portcheck.h"
#include "operations/walk.h"
#include "portinfo.h"

std::optional<NoBoard> noboard(State& s) {
    if (detecthardware(s) == 1) return std::nullopt;
    NoBoard absent;
    absent.what = "no board answers at port " + portinfo::hex(static_cast<uint16_t>(s.portaddr));
    if (const auto problem = portproblem(s)) {
        absent.what += ": " + *problem;
        absent.unreachable = true;
    } else if (!s.wiring.checkdocumented) {
        absent.undocumented = undocumentedcheck(s.wiring);
    }
    return absent;
}

std::string undocumentedcheck(const Wiring& w) {
    return "the check looks for the original board's read-back (low while the PC drives the data "
           "line, high once it lets go), and what the '" + w.name + "' reads back is not documented";
}

std::optional<int16_t> protectedword(State& s) {
    const Memory& config = currentchip(s).config(0);
    const int16_t word = static_cast<int16_t>(readconfigspace(s, config.address) & config.mask);
    if (!codeprotected(s, word)) return std::nullopt;
    return word;
}

ClosedWords closedonchip(State& s) {
    const ChipRow& row = currentchip(s);
    const Memory& config = row.config(0);
    ClosedWords closed;
    closed.config = static_cast<int16_t>(readconfigspace(s, config.address) & config.mask);
    closed.ranges = closedranges(row, static_cast<uint16_t>(closed.config));
    return closed;
}

namespace {

std::string hex4(int32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value & 0xFFFF));
    return text;
}

bool whole(const ChipRow& row, Kind kind, const ClosedRange& r) {
    const Memory* m = row.find(kind);
    return m && r.from == m->address && r.to == m->address + m->words - 1;
}

std::string span(const char* what, const ClosedRange& r) {
    char text[64];
    std::snprintf(text, sizeof text, "%s 0x%04X-0x%04X", what, static_cast<unsigned>(r.from),
                  static_cast<unsigned>(r.to));
    return text;
}

}  // namespace

bool checkedbyid(const ChipRow& row) { return row.deviceid != 0 && !isoriginal(row); }

std::optional<WrongChip> wrongchip(State& s) {
    const ChipRow& row = currentchip(s);
    if (!checkedbyid(row)) return std::nullopt;
    const int16_t id = readdeviceid(s);
    if ((id & row.deviceidmask) == row.deviceid) return std::nullopt;
    WrongChip w;
    w.id = id;
    w.found = "word " + hex4(deviceidaddress) + " reads " + hex4(id) + ": " + describedeviceid(id);
    if (id == 0x3FFF) w.causes = likelycauses(s, row);
    return w;
}

std::string likelycauses(const State& s, const ChipRow& row) {
    std::string why = "the chip did not answer in programming mode (every word reads the released "
                      "data line). Likely causes: an empty or wrongly seated socket";
    if (row.pgmpin)
        why += std::string("; LVP left on with the PGM pin ") + row.pgmpin +
               " floating high (hold it low through a resistor)";
    if (row.entry.foscmask != 0 && !boardswitchesvdd(s.wiring))
        why += "; an internal oscillator with MCLR off in the chip's configuration, which needs "
               "Vpp before VDD, and this board cannot raise Vpp before VDD";
    else if (row.entry.foscmask != 0 && !row.entry.vppfirst)
        why += "; an internal oscillator with MCLR off in the chip's configuration, which needs "
               "Vpp before VDD, and this board enters the chip with VDD first";
    return why;
}

namespace {

// A board that switches VDD enters a Vpp-first chip Vpp first.
bool entersvppfirst(const State& s, const ChipRow& row) {
    return boardswitchesvdd(s.wiring) && row.entry.vppfirst;
}

bool locksout(const State& s) {
    const ChipRow& row = currentchip(s);
    return s.configused != 0 && !entersvppfirst(s, row) &&
           needsvppfirstentry(row, static_cast<uint16_t>(s.configmem[0]));
}

}  // namespace

std::optional<std::string> lockoutquestion(const State& s) {
    if (!locksout(s)) return std::nullopt;
    const ChipRow& row = currentchip(s);
    const std::string board =
        boardswitchesvdd(s.wiring)
            ? "this board, which enters the " + chiplabel(row) + " with VDD before Vpp,"
            : "this board, which cannot switch VDD,";
    const std::string elsewhere =
        row.entry.vppfirst ? "A board that switches VDD can still reprogram it: quibb9x raises Vpp before "
                       "VDD there."
                     : "quibb9x enters this chip with VDD before Vpp on every board, so it may not "
                       "reprogram it at all.";
    return "quibb9x: the configuration word " + hex4(s.configmem[0]) +
           " selects the internal oscillator with MCLR off. Once it is burnt, the " +
           chiplabel(row) + " runs its program as soon as it has power, and " + board +
           " cannot enter programming mode on it again: no verify, read-out or erase here "
           "afterwards. " + elsewhere + " Burn it all the same?";
}

std::string lockoutnote(const State& s) {
    const ChipRow& row = currentchip(s);
    return "quibb9x: note: the configuration word " + hex4(s.configmem[0]) +
           " was burnt and read back; the chip now runs its program as soon as it has power, "
           "and this board cannot enter programming mode on it again (" +
           (row.entry.vppfirst ? std::string("a board that switches VDD can")
                         : std::string("quibb9x enters it with VDD before Vpp on every board")) +
           ")";
}

std::string closedclause(const ChipRow& row, const std::vector<ClosedRange>& closed) {
    bool program = false, data = false;
    std::string partial;
    for (const ClosedRange& r : closed) {
        if (regionat(r.from) == Region::data) data = true;
        else if (whole(row, Kind::program, r)) program = true;
        else partial = span("program words", r);
    }
    if (!partial.empty()) return "its " + partial + (data ? " and its data memory" : "") + " read as zeros";
    if (program && data) return "its program and data memory read as zeros";
    return std::string("its ") + (program ? "program" : "data") + " memory reads as zeros";
}

bool inclosed(const std::vector<ClosedRange>& closed, int32_t address) {
    for (const ClosedRange& r : closed)
        if (address >= r.from && address <= r.to) return true;
    return false;
}
