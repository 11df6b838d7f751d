// SPDX-License-Identifier: GPL-2.0-or-later
#include "startup.h"

#include "crashguard.h"
#include "lines.h"
#include "platform.h"
#include "devices/select.h"

std::string droptrailingslash(const std::string& dir) {
    if (!dir.empty() && dir.back() == '/') return dir.substr(0, dir.size() - 1);
    return dir;
}

void GetDirs(State& s) {
    s.startdir = droptrailingslash(platform::currentDirectory());
    s.windir = droptrailingslash(platform::systemDirectory());
}

void GetTempFile(State& s) {
    const std::string temp = platform::temporaryDirectory();
    const std::string dir = temp.empty() ? s.windir : droptrailingslash(temp);
    s.tempfile = dir + "/quibb.tmp";
}

void setversion(State& s) { s.version = "1.32"; }

void startup(State& s) {
    GetDirs(s);
    GetTempFile(s);
    setversion(s);
    s.progsize = 1024;
    s.idsize = 4;
    s.configsize = 1;
    s.datasize = 64;
    s.progused = s.configused = s.idused = s.dataused = 0;
    s.configmask = 31;
    s.configdefault = 27;
    s.cmdloadprog = 2;
    s.cmdreadprog = 4;
    s.cmdincaddr = 6;
    s.cmdbeginprog = 8;
    s.cmdloaddata = 3;
    s.cmdreaddata = 5;
    s.cmderaseprog = 9;
    s.cmderasedata = 11;
    s.picmodel = 0;
    // Before the first write to the port: however the program ends from
    // here on, the board is left down.
    crashguard::install();
    allpinslow(s);
    s.ctrlshadow = 15;
}

// The window's device options are rows of the chip table.
void setdevice(State& s, int16_t model) {
    if (model < 1 || model > 3) return;
    selectchip(s, *chipbymodel(model));
}
