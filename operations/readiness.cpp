// SPDX-License-Identifier: GPL-2.0-or-later
#include "readiness.h"

#include "core/detect.h"
#include "devices/select.h"
#include "operations/portcheck.h"
#include "operations/walk.h"
#include "portinfo.h"

#include <cstdio>

std::optional<NoBoard> noboard(State& s) {
    if (detecthardware(s) == 1) return std::nullopt;
    NoBoard absent;
    absent.what = "no board answers at port " + portinfo::hex(static_cast<uint16_t>(s.portaddr));
    if (const auto problem = portproblem(s)) {
        absent.what += ": " + *problem;
        absent.unreachable = true;
    }
    return absent;
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
