// SPDX-License-Identifier: GPL-2.0-or-later
#include "wirings.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace boardsim {
namespace {

constexpr bool L = true;   // asserted low
constexpr bool H = false;  // asserted high

struct Entry {
    std::vector<const char*> names;
    BoardWiring w;
};

// The boards, column by column as their makers' tables give them: Vpp, VDD,
// clock, data out, direction, data in, PGM, each as pin levels.
const std::vector<Entry>& table() {
    static const std::vector<Entry> boards = {
        {{"original", "quibb"}, {"", {{16, L}, {2, L}}, {}, {{1, H}}, {{14, H}}, {{17, L}}, {{11, H}}, {}}},
        {{"tait-classic", "tait-7407-pnp", "p16pro40-7407", "epic+", "epic", "propic2-vpp1", "propic2",
          "ett-high-vpp"},
         {"", {{5, L}}, {{4, L}}, {{3, H}}, {{2, H}}, {}, {{10, H}}, {}}},
        {{"tait-7406-pnp", "tait-7405", "p16pro40", "p16pro40-classic"},
         {"", {{5, H}}, {{4, H}}, {{3, L}}, {{2, L}}, {}, {{10, L}}, {}}},
        {{"tait-7406-4066"}, {"", {{5, L}}, {{4, L}}, {{3, L}}, {{2, L}}, {}, {{10, L}}, {}}},
        {{"tait-7407-4066"}, {"", {{5, H}}, {{4, H}}, {{3, H}}, {{2, H}}, {}, {{10, H}}, {}}},
        {{"p16pro40-vpp40", "p16pro40-vpp40-classic"},
         {"", {{6, H}}, {{4, H}}, {{3, L}}, {{2, L}}, {}, {{10, L}}, {}}},
        {{"p16pro40-vpp40-7407", "propic2-vpp2"}, {"", {{6, L}}, {{4, L}}, {{3, H}}, {{2, H}}, {}, {{10, H}}, {}}},
        {{"propic2-vpp3"}, {"", {{7, L}}, {{4, L}}, {{3, H}}, {{2, H}}, {}, {{10, H}}, {}}},
        {{"el-cheapo", "mykes-el-cheapo"}, {"", {{16, H}}, {}, {{1, H}}, {{17, H}}, {}, {{13, H}}, {}}},
        {{"el-cheapo-classic"}, {"", {{16, H}}, {}, {{1, L}}, {{17, L}}, {}, {{13, L}}, {}}},
        {{"monty-robot"}, {"", {{5, L}}, {{4, H}}, {{2, H}}, {{3, H}}, {}, {{10, H}}, {}}},
        {{"asix-piccolo", "piccolo", "piccolo-grande", "asix-piccolo-grande"},
         {"", {{6, L}}, {{7, L}}, {{5, L}}, {{3, L}}, {{2, L}}, {{10, L}}, {}}},
        {{"ett-low-vpp"}, {"", {{3, H}}, {{5, H}}, {{2, H}}, {{1, H}}, {}, {{10, H}}, {}}},
        {{"pip84-v1", "pip84"}, {"", {{6, L}}, {{2, L}, {9, L}}, {{5, H}}, {{4, H}}, {}, {{12, L}}, {}}},
        {{"pip84-v2"}, {"", {{6, L}}, {{2, L}, {9, L}}, {{5, H}}, {{4, H}}, {}, {{10, L}}, {}}},
        {{"sm6lkm-flash", "sm6lkm"}, {"", {{6, L}}, {{2, H}, {9, L}}, {{5, H}}, {{4, H}}, {}, {{10, L}}, {}}},
    };
    return boards;
}

std::string squeezed(const std::string& name) {
    std::string out;
    for (unsigned char c : name)
        if (c != ' ' && c != '-' && c != '_' && c != '.') out += static_cast<char>(std::tolower(c));
    return out;
}

bool outputPin(int p) { return (p >= 1 && p <= 9) || p == 14 || p == 16 || p == 17; }
bool inputPin(int p) { return (p >= 10 && p <= 13) || p == 15; }

}  // namespace

BoardWiring originalBoard() {
    BoardWiring w;
    knownBoard("original", w);
    return w;
}

bool knownBoard(const std::string& name, BoardWiring& out) {
    const std::string wanted = squeezed(name);
    for (const Entry& e : table())
        for (const char* n : e.names)
            if (!wanted.empty() && squeezed(n) == wanted) {
                out = e.w;
                out.name = e.names[0];
                return true;
            }
    return false;
}

bool boardFromFile(const std::string& path, BoardWiring& out, std::string& why) {
    std::ifstream in(path);
    if (!in) {
        why = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    BoardWiring w;
    w.name = path;
    std::string text;
    int number = 0;
    std::vector<bool> used(26, false);
    while (std::getline(in, text)) {
        ++number;
        text = text.substr(0, text.find('#'));
        const auto eq = text.find('=');
        std::istringstream keyin(text.substr(0, eq));
        std::string key;
        if (!(keyin >> key)) continue;
        const std::string where = path + " line " + std::to_string(number) + ": ";
        std::vector<Contact>* line = key == "vpp"       ? &w.vpp
                                     : key == "vdd"     ? &w.vdd
                                     : key == "clock"   ? &w.clock
                                     : key == "dataout" ? &w.dataOut
                                     : key == "datadir" ? &w.dataDir
                                     : key == "datain"  ? &w.dataIn
                                     : key == "pgm"     ? &w.pgm
                                                        : nullptr;
        if (!line || eq == std::string::npos || !line->empty()) {
            why = where + "'" + key + "' is not a line of the board, or given twice";
            return false;
        }
        std::istringstream pins(text.substr(eq + 1));
        for (std::string p; pins >> p;) {
            const bool low = p[0] == '!';
            char* end = nullptr;
            const long n = std::strtol(p.c_str() + (low ? 1 : 0), &end, 10);
            const bool fits = line == &w.dataIn ? inputPin(static_cast<int>(n)) : outputPin(static_cast<int>(n));
            if (*end || !fits || used[n]) {
                why = where + "pin '" + p + "' cannot be used for " + key;
                return false;
            }
            used[n] = true;
            line->push_back({static_cast<int>(n), low});
        }
        if (line->empty() || (line == &w.dataIn && line->size() > 1)) {
            why = where + key + " needs pins";
            return false;
        }
    }
    if (w.vpp.empty() || w.clock.empty() || w.dataOut.empty() || w.dataIn.empty()) {
        why = path + ": vpp, clock, dataout and datain are needed";
        return false;
    }
    out = w;
    return true;
}

bool pinHigh(int pin, uint8_t data, uint8_t control) {
    if (pin >= 2 && pin <= 9) return (data >> (pin - 2)) & 1;
    switch (pin) {
    case 1: return !(control & 0x01);   // nStrobe
    case 14: return !(control & 0x02);  // nAutoFeed
    case 16: return control & 0x04;     // nInit
    case 17: return !(control & 0x08);  // nSelectIn
    default: return false;
    }
}

bool asserted(const std::vector<Contact>& line, uint8_t data, uint8_t control) {
    return !line.empty() && pinHigh(line[0].pin, data, control) != line[0].activeLow;
}

BoardOutputs decodeOutputs(const BoardWiring& w, uint8_t data, uint8_t control) {
    BoardOutputs o{};
    o.vpp = asserted(w.vpp, data, control);
    o.vdd = w.vdd.empty() || asserted(w.vdd, data, control);
    o.clock = asserted(w.clock, data, control);
    o.dataOut = asserted(w.dataOut, data, control);
    // Without a direction line the PC's open-collector driver holds the line
    // only while it pulls it low.
    o.pcDrives = w.dataDir.empty() ? !o.dataOut : asserted(w.dataDir, data, control);
    o.pgm = asserted(w.pgm, data, control);
    return o;
}

uint8_t statusWith(const BoardWiring& w, bool high) {
    uint8_t status = 0x78;  // every input pin high; pin 11 shows as bit 7 clear
    const Contact in = w.dataIn.front();
    const bool pinLevel = in.activeLow ? !high : high;
    if (pinLevel) return status;
    switch (in.pin) {
    case 15: return status & ~0x08;
    case 13: return status & ~0x10;
    case 12: return status & ~0x20;
    case 10: return status & ~0x40;
    case 11: return status | 0x80;
    default: return status;
    }
}

}  // namespace boardsim
