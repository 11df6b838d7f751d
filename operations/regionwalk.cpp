// SPDX-License-Identifier: GPL-2.0-or-later
#include "regionwalk.h"

#include "core/lines.h"
#include "core/protocol.h"
#include "devices/select.h"
#include "image/image.h"
#include "operations/program.h"

namespace {

const WriteCycle* cycleof(const ChipRow& row, const WriteCycle& c) {
    return isoriginal(row) ? nullptr : &c;
}

Region progregion(State& s, Move move) {
    const ChipRow& row = currentchip(s);
    return {"Program memory: ", progbase, s.progmem, &s.progused, 0x3FFF, s.cmdloadprog,
            s.cmdreadprog, cycleof(row, row.prog), move};
}

Region idregion(State& s, Move move) {
    const ChipRow& row = currentchip(s);
    return {"ID memory: ", idbase, s.idmem, &s.idused, 0x3FFF, s.cmdloadprog, s.cmdreadprog,
            cycleof(row, row.configw), move};
}

Region dataregion(State& s) {
    const ChipRow& row = currentchip(s);
    return {"Data memory: ", database, s.datamem, &s.dataused, 0xFF, s.cmdloaddata,
            s.cmdreaddata, cycleof(row, row.data), Move::enter};
}

Region configregion(State& s, Move move) {
    const ChipRow& row = currentchip(s);
    return {"Configuration memory: ", configbase, s.configmem, &s.configused, s.configmask,
            s.cmdloadprog, s.cmdreadprog, cycleof(row, row.configw), move};
}

// CONFIG2 of the 16F87/88 follows the configuration word; it is visited when
// the file (or a read-out) has it.
void addconfig2(State& s, Walk& w, bool whole = false) {
    const ChipRow& row = currentchip(s);
    if (row.configcount < 2) return;
    w.config2count = whole || s.configused >= 2 ? 1 : 0;
    w.regions.push_back({nullptr, row.config[1].address, &s.configmem[1], &w.config2count,
                         static_cast<int16_t>(row.config[1].implemented), s.cmdloadprog,
                         s.cmdreadprog, &row.configw, Move::step});
}

}  // namespace

// A chip without data memory (the 16F716) has no data region at all.
void bodywalk(State& s, Walk& w) {
    w.regions.push_back(progregion(s, Move::enter));
    w.regions.push_back(idregion(s, Move::loadconfig));
    if (currentchip(s).databytes > 0) w.regions.push_back(dataregion(s));
}

// Nothing was read in configuration space since this entry, so the counter
// walks the whole way from 0x2000 to the configuration word.
void configwalk(State& s, Walk& w) {
    w.regions.push_back(configregion(s, Move::enterloadconfig));
    // configused counts CONFIG2 too; the first region is CONFIG1 alone.
    w.configcount = s.configused >= 1 ? 1 : 0;
    if (s.configused > 1) w.regions.back().count = &w.configcount;
    addconfig2(s, w);
}

void burnwalk(State& s, Walk& w) {
    bodywalk(s, w);
    configwalk(s, w);
}

void blankwalk(State& s, Walk& w) {
    w.regions = {progregion(s, Move::enter), idregion(s, Move::loadconfig),
                 configregion(s, Move::step)};
    w.regions[0].count = &s.progsize;
    w.regions[1].count = &s.idsize;
    w.regions[2].count = &w.configcount;
    addconfig2(s, w, true);
    if (currentchip(s).databytes > 0) {
        w.regions.push_back(dataregion(s));
        w.regions.back().count = &s.datasize;
    }
}

void moveto(State& s, const Region& r, int32_t& counter) {
    switch (r.move) {
    case Move::enter:
        vppreset(s);
        counter = r.base >= 0x2100 ? r.base : 0;
        break;
    case Move::enterloadconfig:
        vppreset(s);
        [[fallthrough]];
    case Move::loadconfig:
        toconfigspace(s);
        counter = idbase;
        break;
    case Move::step: break;
    }
    for (; counter < r.base; ++counter) sendcmd(s, s.cmdincaddr);
    counter = r.base;
}
