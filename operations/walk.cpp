// SPDX-License-Identifier: GPL-2.0-or-later
#include "walk.h"

#include <algorithm>

#include "core/lines.h"
#include "core/protocol.h"
#include "devices/select.h"
#include "image/image.h"

namespace {

// The status line before a memory, on the first of its kind.
const char* lineof(Kind kind) {
    switch (kind) {
    case Kind::program: return "Program memory: ";
    case Kind::id: return "ID memory: ";
    case Kind::config: return "Configuration memory: ";
    case Kind::data: return "Data memory: ";
    case Kind::calibration:
    case Kind::none: break;
    }
    return nullptr;
}

int16_t* imagefor(State& s, const Memory& m) {
    const Region r = regionat(m.address);
    return s.image(r).data() + (m.address - regionbase(r));
}

// How many of a memory's words the image's counter takes in.
int16_t imagecount(State& s, const Memory& m) {
    const Region r = regionat(m.address);
    const int32_t n = s.used(r) - (m.address - regionbase(r));
    return static_cast<int16_t>(std::clamp<int32_t>(n, 0, m.readoutwords()));
}

// Program words up to a calibration word of the factory's inside them
// (OSCCAL, the last word): no file burns it, no verify or blank check
// compares it; a read-out shows it.
int16_t beforecalibration(const ChipRow& row, const Memory& m, int16_t count) {
    for (const Memory& c : row.memories)
        if (c.kind == Kind::calibration && c.address > m.address && c.address < m.address + m.words)
            count = std::min<int16_t>(count, static_cast<int16_t>(c.address - m.address));
    return count;
}

enum class Part { body, config, all };

Plan inburnorder(State& s, Part part, bool readout) {
    const ChipRow& row = currentchip(s);
    Plan plan;
    const auto add = [&](Kind kind) {
        bool first = true;
        for (const Memory& m : row.memories) {
            if (m.kind != kind) continue;
            // A calibration word inside program memory is read with it.
            if (kind == Kind::calibration && regionat(m.address) == Region::program) continue;
            const int16_t count = readout ? m.readoutwords() : beforecalibration(row, m, imagecount(s, m));
            plan.push_back({&m, count, imagefor(s, m), first ? lineof(kind) : nullptr,
                            kind == Kind::config && first});
            first = false;
        }
    };
    if (part != Part::config) {
        add(Kind::program);
        add(Kind::id);
        add(Kind::data);
    }
    if (part != Part::body) {
        add(Kind::config);
        // Factory words are never burnt from a file; a read-out shows them.
        if (readout) add(Kind::calibration);
    }
    return plan;
}

// Program memory, configuration space (0x2000 on) and data memory: the
// counter steps within one of them only.
enum class Space { program, config, data };
Space spaceof(int32_t address) {
    switch (regionat(address)) {
    case Region::program: return Space::program;
    case Region::data: return Space::data;
    case Region::id:
    case Region::config: break;
    }
    return Space::config;
}

// Where a visit leaves the counter: one past its last word. The counter
// has 13 bits, so after the last word of an 8192-word program memory it
// wraps round to word 0, still in program memory: 0x2000 is reached only
// through Load Configuration.
int32_t aftervisit(const Visit& v) {
    const int32_t next = v.memory->address + v.count;
    if (spaceof(v.memory->address) == Space::program && next >= regionbase(Region::id))
        return next - regionbase(Region::id);
    return next;
}

}  // namespace

Plan burnplan(State& s) { return inburnorder(s, Part::all, false); }
Plan bodyplan(State& s) { return inburnorder(s, Part::body, false); }
Plan configplan(State& s) { return inburnorder(s, Part::config, false); }

Plan readoutplan(State& s) {
    readoutcounters(s);
    return inburnorder(s, Part::all, true);
}

Plan blankplan(State& s) {
    const ChipRow& row = currentchip(s);
    Plan plan;
    for (const Kind kind : {Kind::program, Kind::id, Kind::config, Kind::data})
        for (const Memory& m : row.memories)
            if (m.kind == kind)
                plan.push_back({&m, beforecalibration(row, m, m.words), imagefor(s, m), nullptr, false});
    return plan;
}

bool walk(State& s, Frontend* f, const Plan& plan, const Visitor& visit) {
    int32_t counter = -1;
    for (const Visit& v : plan) {
        moveto(s, v.memory->address, v.fresh, counter);
        if (f && v.line) {
            f->statusAdd(v.line);
            f->statusRepaint();
        }
        if (!visit(v)) return false;
        counter = aftervisit(v);
    }
    return true;
}

void moveto(State& s, int32_t address, bool fresh, int32_t& counter) {
    const ChipRow& row = currentchip(s);
    const Space to = spaceof(address);
    const bool known = counter >= 0;
    const bool stepping = known && counter <= address && spaceof(counter) == to;
    const bool loading = known && to == Space::config && spaceof(counter) == Space::program;
    if (fresh || !(stepping || loading)) {
        vppreset(s);
        // Entry leaves the counter at 0: program word 0, and data byte 0.
        counter = to == Space::data ? regionbase(Region::data) : 0;
    }
    if (to == Space::config && spaceof(counter) == Space::program) {
        // Load Configuration moves the counter to 0x2000; the word sent along
        // is only latched, never programmed.
        sendcmd(s, row.loadconfig);
        senddata(s, row.configdefault);
        counter = regionbase(Region::id);
    }
    for (; counter < address; ++counter) sendcmd(s, row.increment);
}

int16_t readword(State& s, const Memory& m) {
    sendcmd(s, m.read);
    return static_cast<int16_t>(recvdata(s) & m.mask);
}

int16_t readconfigspace(State& s, int32_t address) {
    int32_t counter = -1;
    moveto(s, address, true, counter);
    const int16_t word = readword(s, *currentchip(s).find(Kind::program));
    allpinslow(s);
    return word;
}

bool codeprotected(const State& s, int16_t config) {
    return closesthechip(currentchip(s), static_cast<uint16_t>(config));
}
