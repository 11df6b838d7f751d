// SPDX-License-Identifier: GPL-2.0-or-later
#include "capture.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "outputfile.h"
#include "platform.h"
#include "startup.h"

namespace capture {
namespace {

// The wires, in the order of their declaration, and their identifiers. A
// board without VDD or PGM lines has no such wire.
enum Wire { VPP, VDD, CLOCK, DATA, DATA_DIR, DATA_IN, PGM, WIRES };
constexpr const char* names[WIRES] = {"vpp", "vdd", "clock", "data", "data_dir", "data_in", "pgm"};
constexpr char ids[WIRES] = {'v', 'w', 'k', 'd', 'o', 'i', 'g'};

// Written out whenever this much text has gathered, when programming mode
// ends, and at least every 100 ms: a run killed part-way leaves what it did
// up to its last write.
constexpr std::size_t BLOCK = 1 << 20;
constexpr int64_t FLUSH_NS = 100'000'000;

struct Dump {
    bool open = false;
    int64_t flushedNs = 0;  // when the text was last written out
    std::string text;
    std::string failure;  // the first write that failed
    int64_t startNs = 0;
    int64_t stampNs = -1;  // the last time written
    uint16_t base = 0;
    char levels[WIRES] = {'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    int data = -1, control = -1;  // the registers as last written; -1: not yet
};

Dump dump;
Wiring wiring = originalwiring();

bool declared(Wire w) {
    if (w == VDD) return wiring.has(LINE_VDD);
    if (w == PGM) return wiring.has(LINE_PGM);
    return true;
}
output::File file;  // the capture's own file, or a stream
bool exitHookSet = false;

void flush(int64_t now) {
    dump.flushedNs = now;
    if (dump.text.empty()) return;
    if (dump.failure.empty() && !file.write(dump.text.data(), dump.text.size()))
        dump.failure = std::strerror(errno);
    dump.text.clear();
}

void flushwhendue(int64_t now, bool programmingended) {
    if (programmingended || dump.text.size() >= BLOCK || now - dump.flushedNs >= FLUSH_NS)
        flush(now);
}

void stamp(int64_t now) {
    const int64_t t = now - dump.startNs;
    if (t <= dump.stampNs) return;  // one stamp per instant, never going back
    dump.stampNs = t;
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, t).ptr;
    dump.text += '#';
    dump.text.append(digits, end);
    dump.text += '\n';
}

void set(Wire w, char level, int64_t now) {
    if (dump.levels[w] == level || !declared(w)) return;
    stamp(now);
    dump.levels[w] = level;
    dump.text += level;
    dump.text += ids[w];
    dump.text += '\n';
}

char bit(bool on) { return on ? '1' : '0'; }

void header() {
    char date[64] = "";
    const std::time_t now = std::time(nullptr);
    if (std::tm local{}; localtime_r(&now, &local))
        std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &local);
    std::string& t = dump.text;
    t += "$date ";
    t += date;
    State versioned;
    setversion(versioned);
    t += " $end\n$version quibb9x " + versioned.version + " $end\n";
    t += "$comment the programming board's lines as the PC drives and reads them $end\n";
    t += "$timescale 1 ns $end\n$scope module board $end\n";
    for (int w = 0; w < WIRES; ++w) {
        if (!declared(static_cast<Wire>(w))) continue;
        t += "$var wire 1 ";
        t += ids[w];
        t += ' ';
        t += names[w];
        t += " $end\n";
    }
    t += "$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n";
    for (int w = 0; w < WIRES; ++w) {
        if (!declared(static_cast<Wire>(w))) continue;
        t += 'x';
        t += ids[w];
        t += '\n';
    }
    t += "$end\n";
}

void closeAtExit() {
    std::string why;
    close(why);
}

}  // namespace

bool open(const std::string& path, std::string& why) {
    if (std::string earlier; active()) close(earlier);
    if (!file.open(path, why)) return false;
    dump = Dump{};
    dump.text.reserve(BLOCK + 4096);
    dump.startNs = platform::waits().nowNs();
    dump.stampNs = 0;
    header();
    // The header goes out at once: a full disk or a dead pipe is found
    // here, before the board is touched.
    flush(dump.startNs);
    if (!dump.failure.empty()) {
        why = dump.failure;
        file.abandon();
        return false;
    }
    dump.open = true;
    if (!exitHookSet) exitHookSet = std::atexit(closeAtExit) == 0;
    return true;
}

bool close(std::string& why) {
    if (!dump.open) return true;
    // A last time mark: viewers show the final levels up to it.
    const int64_t now = std::max(platform::waits().nowNs(), dump.startNs + dump.stampNs + 1);
    stamp(now);
    flush(now);
    dump.open = false;
    // A capture that could not be written whole is not put in place.
    if (dump.failure.empty())
        file.commit(dump.failure);
    else
        file.abandon();
    why = dump.failure;
    return why.empty();
}

bool active() { return dump.open; }

void portbase(int32_t base) { dump.base = static_cast<uint16_t>(base); }

void board(const Wiring& w) { wiring = w; }

// The lines decoded from the registers through the board's wiring; a line
// on a register not yet written is unknown.
void written(int32_t port, int32_t value) {
    const uint16_t p = static_cast<uint16_t>(port);
    if (p == static_cast<uint16_t>(dump.base + 2))
        dump.control = value & 0xFF;
    else if (p == dump.base)
        dump.data = value & 0xFF;
    else
        return;
    const int64_t now = platform::waits().nowNs();
    const auto known = [](Line l) {
        return (dump.data >= 0 || !wiring.data[l].mask) && (dump.control >= 0 || !wiring.control[l].mask);
    };
    const uint8_t data = static_cast<uint8_t>(std::max(dump.data, 0));
    const uint8_t control = static_cast<uint8_t>(std::max(dump.control, 0));
    const bool vppwason = dump.levels[VPP] == '1';
    const auto level = [&](Line l) { return known(l) ? bit(lineon(wiring, l, data, control)) : 'x'; };
    set(VPP, level(LINE_VPP), now);
    set(VDD, level(LINE_VDD), now);
    set(CLOCK, level(LINE_CLOCK), now);
    set(PGM, level(LINE_PGM), now);
    const Line dir = wiring.has(LINE_DATADIR) ? LINE_DATADIR : LINE_DATAOUT;
    if (!known(dir)) {
        flushwhendue(now, vppwason && dump.levels[VPP] == '0');
        return;
    }
    const bool pcDrives = pcdrives(wiring, data, control);
    if (pcDrives)
        set(DATA, level(LINE_DATAOUT), now);
    else if (dump.levels[DATA_DIR] != '0')
        set(DATA, 'x', now);  // let go: unknown until the PC reads it
    set(DATA_DIR, bit(pcDrives), now);
    flushwhendue(now, vppwason && dump.levels[VPP] == '0');
}

void read(int32_t port, int32_t value) {
    if (static_cast<uint16_t>(port) != static_cast<uint16_t>(dump.base + 1)) return;
    const int64_t now = platform::waits().nowNs();
    const char level = bit(datainon(wiring, static_cast<uint8_t>(value)));
    set(DATA_IN, level, now);
    if (dump.levels[DATA_DIR] == '0') set(DATA, level, now);
    flushwhendue(now, false);
}

}  // namespace capture
