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
    s.progused = s.configused = s.idused = s.dataused = 0;
    // The 16C84's row, whose mask and default start-up has always written
    // first; no device option is chosen yet.
    selectchip(s, startrow());
    s.picmodel = 0;
    // Before the first write to the port: however the program ends from
    // here on, the board is left down.
    crashguard::install();
    allpinslow(s);
    // The copy now holds what allpinslow has just written: 15 on the
    // original board. Another board's idle byte stays as written, so that
    // the next line change (the board check's) keeps its Vpp off.
}

// The window's device options are rows of the chip table.
void setdevice(State& s, int16_t model) {
    if (model < 1 || model > 3) return;
    selectchip(s, *chipbymodel(model));
}
