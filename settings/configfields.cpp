// SPDX-License-Identifier: GPL-2.0-or-later
#include "configfields.h"

#include <cstring>

namespace {

bool named(const ChipRow& row, const char* name) { return std::strcmp(row.name, name) == 0; }

ConfigField onoff(uint16_t mask, const char* name, const char* what, bool onwhenset) {
    return {0, mask, name, what,
            {{onwhenset ? mask : uint16_t{0}, "on"}, {onwhenset ? uint16_t{0} : mask, "off"}}};
}

// FOSC2:0 in bits 4, 1 and 0 (the 16F627/628, 16F627A/628A/648A, 16F818/819
// and 16F87/88), each mode with the pins it leaves.
ConfigField threebitoscillator() {
    return {0, 0x0013, "FOSC", "Oscillator",
            {{0x0000, "LP: low-power crystal"},
             {0x0001, "XT: crystal or resonator"},
             {0x0002, "HS: high-speed crystal or resonator"},
             {0x0003, "EC: external clock in on RA7, RA6 is I/O"},
             {0x0010, "Internal oscillator, RA6 and RA7 are I/O"},
             {0x0011, "Internal oscillator, clock out on RA6, RA7 is I/O"},
             {0x0012, "External resistor on RA7, RA6 is I/O"},
             {0x0013, "External resistor on RA7, clock out on RA6"}}};
}

ConfigField twobitoscillator() {
    return {0, 0x0003, "FOSC", "Oscillator",
            {{0x0000, "LP: low-power crystal"},
             {0x0001, "XT: crystal or resonator"},
             {0x0002, "HS: high-speed crystal or resonator"},
             {0x0003, "RC: external resistor and capacitor"}}};
}

ConfigField mclre() {
    return {0, 0x0020, "MCLRE", "RA5/MCLR pin",
            {{0x0020, "Reset input (MCLR)"},
             {0x0000, "Digital input; MCLR is tied to VDD inside the chip"}}};
}

ConfigField lvp(const char* pin) {
    return {0, 0x0080, "LVP", "Low-voltage programming",
            {{0x0080, std::string("On: ") + pin + " is the PGM pin"},
             {0x0000, std::string("Off: ") + pin + " is an I/O pin (high voltage only)"}}};
}

ConfigField cpd() {
    return {0, 0x0100, "CPD", "Data EEPROM protection",
            {{0x0100, "Off: data EEPROM readable"},
             {0x0000, "On: data EEPROM reads as 0"}}};
}

ConfigField wholeprotection() {
    return {0, 0x2000, "CP", "Code protection",
            {{0x2000, "Off"}, {0x0000, "All program memory protected"}}};
}

// The 16F627/628 keep CP1:CP0 twice, in bits 13:12 and 11:10: both copies
// are written alike.
ConfigField twocopyprotection(const ChipRow& row) {
    const bool f627 = named(row, "16F627");
    return {0, 0x3C00, "CP", "Code protection",
            {{0x3C00, "Off"},
             {0x2800, f627 ? "Off (0400h-07FFh, which the 16F627 does not have)"
                           : "0400h-07FFh protected"},
             {0x1400, f627 ? "0200h-03FFh protected" : "0200h-07FFh protected"},
             {0x0000, "All program memory protected"}}};
}

ConfigField selfwrite(const ChipRow& row) {
    ConfigField f{0, 0x0600, "WRT", "Self-write protection (EECON writes)", {{0x0600, "Off"}}};
    if (named(row, "16F818")) {
        f.choices.push_back({0x0400, "0000h-01FFh write-protected"});
        f.choices.push_back({0x0200, "0000h-03FFh write-protected"});
    } else if (named(row, "16F819")) {
        f.choices.push_back({0x0400, "0000h-01FFh write-protected"});
        f.choices.push_back({0x0200, "0000h-03FFh write-protected"});
        f.choices.push_back({0x0000, "0000h-05FFh write-protected"});
    } else {
        f.choices.push_back({0x0400, "0000h-00FFh write-protected"});
        f.choices.push_back({0x0200, "0000h-07FFh write-protected"});
        f.choices.push_back({0x0000, "0000h-0FFFh write-protected"});
    }
    return f;
}

void common62x(const ChipRow& row, std::vector<ConfigField>& f) {
    f.push_back(threebitoscillator());
    f.push_back(onoff(0x0004, "WDTE", "Watchdog timer", true));
    f.push_back(onoff(0x0008, "PWRTE", "Power-up timer", false));
    f.push_back(mclre());
    f.push_back(onoff(0x0040, "BOREN", "Brown-out reset", true));
    f.push_back(lvp(row.family == Family::f81x ? "RB3" : "RB4"));
    f.push_back(cpd());
}

}  // namespace

std::vector<ConfigField> configfields(const ChipRow& row) {
    std::vector<ConfigField> f;
    switch (row.family) {
    case Family::f84:
        break;
    case Family::f62x:
        common62x(row, f);
        f.push_back(twocopyprotection(row));
        break;
    case Family::f62xa:
        common62x(row, f);
        f.push_back(wholeprotection());
        break;
    case Family::f81x:
        common62x(row, f);
        f.push_back(selfwrite(row));
        f.push_back({0, 0x0800, "DEBUG", "In-circuit debugger",
                     {{0x0800, "Off: RB6 and RB7 are I/O pins"},
                      {0x0000, "On: RB6 and RB7 belong to the debugger"}}});
        f.push_back({0, 0x1000, "CCPMX", "CCP1 pin",
                     {{0x1000, row.configcount > 1 ? "CCP1 on RB0" : "CCP1 on RB2"},
                      {0x0000, "CCP1 on RB3"}}});
        f.push_back(wholeprotection());
        if (row.configcount > 1) {
            f.push_back({1, 0x0001, "FCMEN", "Fail-safe clock monitor (CONFIG2)",
                         {{0x0001, "On"}, {0x0000, "Off"}}});
            f.push_back({1, 0x0002, "IESO", "Two-speed start-up (CONFIG2)",
                         {{0x0002, "On"}, {0x0000, "Off"}}});
        }
        break;
    case Family::f716:
        f.push_back(twobitoscillator());
        f.push_back(onoff(0x0004, "WDTE", "Watchdog timer", true));
        f.push_back(onoff(0x0008, "PWRTE", "Power-up timer", false));
        f.push_back(onoff(0x0040, "BOREN", "Brown-out reset", true));
        f.push_back({0, 0x0080, "BORV", "Brown-out voltage",
                     {{0x0080, "4.0 V"}, {0x0000, "2.5 V"}}});
        f.push_back(wholeprotection());
        break;
    }
    return f;
}

std::optional<size_t> fieldchoice(const ConfigField& field, uint16_t word) {
    for (size_t i = 0; i < field.choices.size(); ++i)
        if ((word & field.mask) == field.choices[i].value) return i;
    return std::nullopt;
}

bool pwrteonwhenset(const ChipRow& row) { return named(row, "16C84"); }

uint16_t oscmask(const ChipRow& row) {
    const char* fosc2 = row.config[0].bits[4];
    return fosc2 && std::strcmp(fosc2, "FOSC2") == 0 ? 0x0013 : 0x0003;
}

std::optional<uint16_t> oscbits(const ChipRow& row, int option) {
    if (option < 0 || option > 3) return std::nullopt;
    // With three FOSC bits RC is the external resistor with clock out, the
    // mode that, like the 16F84's RC, gives the clock on the second pin.
    if (oscmask(row) == 0x0013) {
        constexpr uint16_t threebit[4] = {0x0000, 0x0001, 0x0002, 0x0013};
        return threebit[option];
    }
    return static_cast<uint16_t>(option);
}

const char* originalbittooltip(int bit) {
    return bit == 0 ? "FOSC0" : bit == 1 ? "FOSC1" : bit == 2 ? "WDTE"
           : bit == 3 ? "PWRITE#" : "CP (protection)";
}

std::string bittooltip(const ChipRow& row, int bit) {
    const char* name = row.config[0].bits[bit];
    if (!name) return "Unimplemented on the " + chiplabel(row) + ": cannot be set";
    const uint16_t mask = static_cast<uint16_t>(1u << bit);
    for (const ConfigField& f : configfields(row))
        if (f.word == 0 && (f.mask & mask)) return std::string(name) + ": " + f.what;
    return name;
}
