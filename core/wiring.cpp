// SPDX-License-Identifier: GPL-2.0-or-later
#include "wiring.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

const char* const linenames[LINES] = {"vpp", "vdd", "clock", "dataout", "datadir", "datain", "pgm"};

namespace {

enum Register { DATA, STATUS, CONTROL, NOWHERE };

// Where a connector pin sits: register, bit, and whether the PC inverts it
// between the two.
struct Place {
    Register reg;
    uint8_t bit;
    bool inverted;
};

Place place(int pin) {
    if (pin >= 2 && pin <= 9) return {DATA, static_cast<uint8_t>(pin - 2), false};
    switch (pin) {
    case 1: return {CONTROL, 0, true};
    case 14: return {CONTROL, 1, true};
    case 16: return {CONTROL, 2, false};
    case 17: return {CONTROL, 3, true};
    case 15: return {STATUS, 3, false};
    case 13: return {STATUS, 4, false};
    case 12: return {STATUS, 5, false};
    case 10: return {STATUS, 6, false};
    case 11: return {STATUS, 7, true};
    default: return {NOWHERE, 0, false};
    }
}

bool isinput(Line l) { return l == LINE_DATAIN; }

// Every board in chips' documentation whose lines are all known. Boards that
// are one wiring under several names are one entry. The PIP84 and SM6LKM
// boards also have a line that connects the socket (pin 9 low); it is
// switched with VDD, so the chip is connected while it is powered. Made at
// first use: records made before main need it.
const std::vector<BuiltinBoard>& boards() {
    static const std::vector<BuiltinBoard> all = {
    {{"original", "quibb"},
     "vpp = !16 !2\nclock = 1\ndataout = 14\ndatadir = !17\ndatain = 11\n"},
    {{"tait-classic", "tait-7407-pnp", "p16pro40-7407", "epic+", "epic", "propic2-vpp1", "propic2",
      "ett-high-vpp"},
     "vpp = !5\nvdd = !4\nclock = 3\ndataout = 2\ndatain = 10\n"},
    {{"tait-7406-pnp", "tait-7405", "p16pro40", "p16pro40-classic"},
     "vpp = 5\nvdd = 4\nclock = !3\ndataout = !2\ndatain = !10\n"},
    {{"tait-7406-4066"}, "vpp = !5\nvdd = !4\nclock = !3\ndataout = !2\ndatain = !10\n"},
    {{"tait-7407-4066"}, "vpp = 5\nvdd = 4\nclock = 3\ndataout = 2\ndatain = 10\n"},
    {{"p16pro40-vpp40", "p16pro40-vpp40-classic"},
     "vpp = 6\nvdd = 4\nclock = !3\ndataout = !2\ndatain = !10\n"},
    {{"p16pro40-vpp40-7407", "propic2-vpp2"},
     "vpp = !6\nvdd = !4\nclock = 3\ndataout = 2\ndatain = 10\n"},
    {{"propic2-vpp3"}, "vpp = !7\nvdd = !4\nclock = 3\ndataout = 2\ndatain = 10\n"},
    {{"el-cheapo", "mykes-el-cheapo"}, "vpp = 16\nclock = 1\ndataout = 17\ndatain = 13\n"},
    {{"el-cheapo-classic"}, "vpp = 16\nclock = !1\ndataout = !17\ndatain = !13\n"},
    {{"monty-robot"}, "vpp = !5\nvdd = 4\nclock = 2\ndataout = 3\ndatain = 10\n"},
    // Pin 2 sets a data buffer's direction; what pin 10 reads while the
    // buffer drives the line is not documented.
    {{"asix-piccolo", "piccolo", "piccolo-grande", "asix-piccolo-grande"},
     "vpp = !6\nvdd = !7\nclock = !5\ndataout = !3\ndatadir = !2\ndatain = !10\n", false},
    {{"ett-low-vpp"}, "vpp = 3\nvdd = 5\nclock = 2\ndataout = 1\ndatain = 10\n"},
    {{"pip84-v1", "pip84"}, "vpp = !6\nvdd = !2 !9\nclock = 5\ndataout = 4\ndatain = !12\n"},
    {{"pip84-v2"}, "vpp = !6\nvdd = !2 !9\nclock = 5\ndataout = 4\ndatain = !10\n"},
    {{"sm6lkm-flash", "sm6lkm"}, "vpp = !6\nvdd = 2 !9\nclock = 5\ndataout = 4\ndatain = !10\n"},
    };
    return all;
}

std::string folded(const std::string& name) {
    std::string out;
    for (unsigned char c : name)
        if (!std::strchr(" -_.", c)) out += static_cast<char>(std::tolower(c));
    return out;
}

std::string trim(const std::string& t) {
    const auto b = t.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    return t.substr(b, t.find_last_not_of(" \t\r") - b + 1);
}

// Text from the file, with control characters shown as \xNN.
std::string shown(const std::string& t) {
    std::string out;
    for (unsigned char c : t) {
        if (c >= 0x20 && c != 0x7F) {
            out += static_cast<char>(c);
            continue;
        }
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        out += hex;
    }
    return out;
}

const char* const outputpins = "1-9, 14, 16 or 17";
const char* const inputpins = "10-13 or 15";

// One "key = pins" line. Fills `pins` or says what is wrong.
std::string readpins(Line l, const std::string& text, std::vector<BoardPin>& pins) {
    size_t at = 0;
    while (true) {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
        if (at >= text.size()) break;
        size_t end = at;
        while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
        const std::string token = text.substr(at, end - at);
        at = end;
        const bool onlow = token[0] == '!';
        const std::string digits = token.substr(onlow ? 1 : 0);
        if (digits.empty() || digits.size() > 3 ||
            !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
            return "'" + shown(token) + "' is not a pin: write a pin number, with ! in front when the "
                   "line is on while the pin is low";
        const int pin = std::stoi(digits);
        if (pin < 1 || pin > 25) return "pin " + std::to_string(pin) + " is not on the connector (pins 1 to 25)";
        if (pin >= 18) return "pin " + std::to_string(pin) + " is a ground pin";
        const bool input = place(pin).reg == STATUS;
        if (isinput(l) && !input)
            return "pin " + std::to_string(pin) + " is an output of the port; " + linenames[l] +
                   " needs an input pin (" + inputpins + ")";
        if (!isinput(l) && input)
            return "pin " + std::to_string(pin) + " is an input of the port; " + linenames[l] +
                   " needs an output pin (" + outputpins + ")";
        pins.push_back({static_cast<uint8_t>(pin), onlow});
    }
    if (pins.empty()) return std::string(linenames[l]) + " names no pin";
    if (isinput(l) && pins.size() > 1) return "datain takes one pin";
    return "";
}

}  // namespace

void wireup(Wiring& w) {
    for (int l = 0; l < LINES; ++l) {
        w.data[l] = w.control[l] = w.status[l] = RegisterBits{};
        for (const BoardPin& p : w.pins[l]) {
            const Place at = place(p.pin);
            const uint8_t bit = static_cast<uint8_t>(1u << at.bit);
            // The register bit that puts the pin at its "on" level.
            const bool onbit = (!p.onlow) != at.inverted;
            RegisterBits& r = at.reg == DATA ? w.data[l] : at.reg == CONTROL ? w.control[l] : w.status[l];
            r.mask |= bit;
            if (onbit) r.on |= bit;
            if (at.reg == STATUS) w.statusbit = at.bit;
        }
    }
}

const Wiring& originalwiring() {
    static const Wiring w = *builtinboard("original");
    return w;
}

bool isoriginal(const Wiring& w) {
    const Wiring& o = originalwiring();
    for (int l = 0; l < LINES; ++l) {
        auto key = [](const BoardPin& p) { return p.pin * 2 + p.onlow; };
        std::vector<int> a, b;
        for (const auto& p : w.pins[l]) a.push_back(key(p));
        for (const auto& p : o.pins[l]) b.push_back(key(p));
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        if (a != b) return false;
    }
    return true;
}

bool boardswitchesvdd(const Wiring& w) { return w.has(LINE_VDD); }

const std::vector<BuiltinBoard>& builtinboards() { return boards(); }

std::optional<Wiring> builtinboard(const std::string& name) {
    const std::string wanted = folded(name);
    if (wanted.empty()) return std::nullopt;
    for (const auto& b : boards())
        for (const auto& n : b.names)
            if (folded(n) == wanted) {
                Wiring w;
                std::string why;
                if (!parseboard(b.pins, b.names[0], w, why)) return std::nullopt;
                w.name = b.names[0];
                w.checkdocumented = b.checkdocumented;
                return w;
            }
    return std::nullopt;
}

bool parseboard(const std::string& text, const std::string& origin, Wiring& out, std::string& why) {
    Wiring w;
    int given[LINES] = {};  // the line each key was given on
    int usedby[26] = {};    // the line each pin was given on
    Line usedfor[26] = {};
    int number = 0;
    size_t start = 0;
    auto fail = [&](const std::string& what) {
        why = origin + " line " + std::to_string(number) + ": " + what;
        return false;
    };
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (const auto hash = line.find('#'); hash != std::string::npos) line.resize(hash);
        line = trim(line);
        if (line.empty()) {
            if (end == text.size()) break;
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            return fail("'" + shown(line) + "' is not 'key = pins'");
        const std::string key = trim(line.substr(0, eq));
        // Keys, like board names, ignore case: "VPP = 5" is vpp.
        std::string lowered = key;
        for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        int l = 0;
        while (l < LINES && lowered != linenames[l]) ++l;
        if (l == LINES)
            return fail("unknown key '" + shown(key) +
                        "'; the keys are vpp, vdd, clock, dataout, datadir, datain and pgm");
        if (given[l])
            return fail(key + " is given twice (also on line " + std::to_string(given[l]) + ")");
        given[l] = number;
        std::vector<BoardPin> pins;
        if (const std::string bad = readpins(static_cast<Line>(l), line.substr(eq + 1), pins); !bad.empty())
            return fail(bad);
        for (const BoardPin& p : pins) {
            if (usedby[p.pin])
                return fail("pin " + std::to_string(p.pin) + " is used twice (also by " +
                            linenames[usedfor[p.pin]] + " on line " + std::to_string(usedby[p.pin]) + ")");
            usedby[p.pin] = number;
            usedfor[p.pin] = static_cast<Line>(l);
        }
        w.pins[l] = pins;
        if (end == text.size()) break;
    }
    for (Line l : {LINE_VPP, LINE_CLOCK, LINE_DATAOUT, LINE_DATAIN})
        if (!given[l]) {
            why = origin + " line " + std::to_string(number) + " (the end): no " + linenames[l] +
                  " line; vpp, clock, dataout and datain are required";
            return false;
        }
    w.name = origin;
    wireup(w);
    out = w;
    return true;
}

bool readboardfile(const std::string& path, Wiring& out, std::string& why) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        why = "cannot read the board file " + shown(path) + ": " + std::strerror(errno);
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > 65536) {
        close(fd);
        why = "the board file " + shown(path) + " is not a regular file of at most 64 KiB";
        return false;
    }
    std::string text(static_cast<size_t>(st.st_size), '\0');
    size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    close(fd);
    text.resize(got);
    if (!parseboard(text, shown(path), out, why)) return false;
    out.name = path;
    return true;
}

bool chooseboard(const std::string& nameorfile, Wiring& out, std::string& why) {
    if (auto w = builtinboard(nameorfile)) {
        out = *w;
        return true;
    }
    struct stat st;
    if (stat(nameorfile.c_str(), &st) != 0) {
        why = "'" + shown(nameorfile) + "' is neither a built-in board nor a file (" + std::strerror(errno) +
              "); 'quibb9x boards' lists the boards";
        return false;
    }
    return readboardfile(nameorfile, out, why);
}

std::string describepins(const Wiring& w) {
    std::string out;
    for (int l = 0; l < LINES; ++l) {
        if (!w.has(static_cast<Line>(l))) continue;
        if (!out.empty()) out += ", ";
        out += std::string(linenames[l]) + " =";
        for (const BoardPin& p : w.pins[l]) out += std::string(" ") + (p.onlow ? "!" : "") + std::to_string(p.pin);
    }
    return out;
}

bool lineon(const Wiring& w, Line l, uint8_t data, uint8_t control) {
    if (!w.has(l)) return false;
    const BoardPin& first = w.pins[l].front();
    const Place at = place(first.pin);
    const uint8_t reg = at.reg == DATA ? data : control;
    const bool high = (((reg >> at.bit) & 1) != 0) != at.inverted;
    return high != first.onlow;
}

bool datainon(const Wiring& w, uint8_t status) { return w.status[LINE_DATAIN].ison(status); }

bool pcdrives(const Wiring& w, uint8_t data, uint8_t control) {
    if (w.has(LINE_DATADIR)) return lineon(w, LINE_DATADIR, data, control);
    return !lineon(w, LINE_DATAOUT, data, control);
}
