// SPDX-License-Identifier: GPL-2.0-or-later
#include "select.h"

void selectchip(State& s, const ChipRow& row) {
    s.chip = &row;
    if (row.model != 0) s.picmodel = row.model;
    s.progsize = row.progwords;
    s.idsize = row.idwords;
    s.configsize = row.configcount;
    s.datasize = row.databytes;
    s.configmask = static_cast<int16_t>(row.config[0].implemented);
    s.configdefault = row.configdefault;
    s.cmdloadconfig = 0;
    s.cmdloadprog = 2;
    s.cmdreadprog = 4;
    s.cmdincaddr = 6;
    s.cmdbeginprog = row.prog.begin;
    s.cmdloaddata = 3;
    s.cmdreaddata = 5;
    s.cmderaseprog = 9;
    s.cmderasedata = 11;
    s.vppfirst = row.vppfirst;
    s.edgetimed = !isoriginal(row);
}

const ChipRow& currentchip(const State& s) {
    if (s.chip) return *s.chip;
    return *chipbymodel(s.picmodel >= 1 && s.picmodel <= 3 ? s.picmodel : 1);
}
