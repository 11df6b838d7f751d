// SPDX-License-Identifier: GPL-2.0-or-later
// The configuration words of the chip table's rows: each bit's name, and the
// fields by name with what each setting of them means. Read by the rows in
// chiptable.cpp only.
#pragma once
#include "chiptable.h"

namespace {

// ---- bit names, bit 0 first ---------------------------------------------

constexpr const char* bits84[14] = {"FOSC0", "FOSC1", "WDTE", "PWRTE", "CP", "CP", "CP",
                                    "CP",    "CP",    "CP",   "CP",    "CP", "CP", "CP"};
constexpr const char* bits16c84[14] = {"FOSC0", "FOSC1", "WDTE", "PWRTE", "CP"};
constexpr const char* bits62x[14] = {"FOSC0", "FOSC1", "WDTE", "PWRTE", "FOSC2",
                                     "MCLRE", "BOREN", "LVP",  "CPD",   nullptr,
                                     "CP0",   "CP1",   "CP0",  "CP1"};
constexpr const char* bits62xa[14] = {"FOSC0", "FOSC1", "WDTE", "PWRTE", "FOSC2",
                                      "MCLRE", "BOREN", "LVP",  "CPD",   nullptr,
                                      nullptr, nullptr, nullptr, "CP"};
constexpr const char* bits81x[14] = {"FOSC0", "FOSC1", "WDTE", "PWRTE", "FOSC2",
                                     "MCLRE", "BOREN", "LVP",  "CPD",   "WRT0",
                                     "WRT1",  "DEBUG", "CCPMX", "CP"};
constexpr const char* bits88config2[14] = {"FCMEN", "IESO"};
constexpr const char* bits716[14] = {"FOSC0", "FOSC1", "WDTE", "PWRTE", nullptr,
                                     nullptr, "BOREN", "BORV", nullptr, nullptr,
                                     nullptr, nullptr, nullptr, "CP"};

// The 28/40-pin and the later 8-, 14- and 20-pin chips.
constexpr const char* bits87x[14] = {"FOSC0", "FOSC1", "WDTE", "PWRTE", "CP0",
                                     "CP1",   "BOREN", "LVP",  "CPD",   "WRT",
                                     nullptr, "DEBUG", "CP0",  "CP1"};
constexpr const char* bits87xa[14] = {"FOSC0", "FOSC1", "WDTE", "PWRTE", nullptr,
                                      nullptr, "BOREN", "LVP",  "CPD",   "WRT0",
                                      "WRT1",  "DEBUG", nullptr, "CP"};
constexpr const char* bits88x[14] = {"FOSC0", "FOSC1", "FOSC2", "WDTE", "PWRTE",
                                     "MCLRE", "CP",    "CPD",   "BOREN0", "BOREN1",
                                     "IESO",  "FCMEN", "LVP",   "DEBUG"};
constexpr const char* bits88xconfig2[14] = {nullptr, nullptr, nullptr, nullptr, nullptr,
                                            nullptr, nullptr, nullptr, "BOR4V", "WRT0",
                                            "WRT1"};
constexpr const char* bits683[14] = {"FOSC0", "FOSC1", "FOSC2", "WDTE", "PWRTE",
                                     "MCLRE", "CP",    "CPD",   "BOREN0", "BOREN1",
                                     "IESO",  "FCMEN"};
constexpr const char* bits609[14] = {"FOSC0", "FOSC1", "FOSC2",  "WDTE",  "PWRTE",
                                     "MCLRE", "CP",    "IOSCFS", "BOREN0", "BOREN1"};
constexpr const char* bits617[14] = {"FOSC0", "FOSC1", "FOSC2",  "WDTE",  "PWRTE",
                                     "MCLRE", "CP",    "IOSCFS", "BOREN0", "BOREN1",
                                     "WRT0",  "WRT1"};

// ---- what each setting means --------------------------------------------

// FOSC2:0 in bits 4, 1 and 0, each mode with the pins it leaves.
constexpr FieldChoice threebitoscillator[] = {
    {0x0000, "LP: low-power crystal"},
    {0x0001, "XT: crystal or resonator"},
    {0x0002, "HS: high-speed crystal or resonator"},
    {0x0003, "EC: external clock in on RA7, RA6 is I/O"},
    {0x0010, "Internal oscillator, RA6 and RA7 are I/O"},
    {0x0011, "Internal oscillator, clock out on RA6, RA7 is I/O"},
    {0x0012, "External resistor on RA7, RA6 is I/O"},
    {0x0013, "External resistor on RA7, clock out on RA6"},
};
constexpr FieldChoice twobitoscillator[] = {
    {0x0000, "LP: low-power crystal"},
    {0x0001, "XT: crystal or resonator"},
    {0x0002, "HS: high-speed crystal or resonator"},
    {0x0003, "RC: external resistor and capacitor"},
};
constexpr FieldChoice watchdog[] = {{0x0004, "on"}, {0x0000, "off"}};
constexpr FieldChoice powerup[] = {{0x0000, "on"}, {0x0008, "off"}};  // on while PWRTE is 0
constexpr FieldChoice brownout[] = {{0x0040, "on"}, {0x0000, "off"}};
constexpr FieldChoice mclrpin[] = {
    {0x0020, "Reset input (MCLR)"},
    {0x0000, "Digital input; MCLR is tied to VDD inside the chip"},
};
constexpr FieldChoice lvprb4[] = {
    {0x0080, "On: RB4 is the PGM pin"},
    {0x0000, "Off: RB4 is an I/O pin (high voltage only)"},
};
constexpr FieldChoice lvprb3[] = {
    {0x0080, "On: RB3 is the PGM pin"},
    {0x0000, "Off: RB3 is an I/O pin (high voltage only)"},
};
constexpr FieldChoice dataprotection[] = {
    {0x0100, "Off: data EEPROM readable"},
    {0x0000, "On: data EEPROM reads as 0"},
};
constexpr FieldChoice wholeprotection[] = {{0x2000, "Off"}, {0x0000, "All program memory protected"}};
// CP1:CP0 twice, in bits 13:12 and 11:10: both copies are written alike.
constexpr FieldChoice cp627[] = {
    {0x3C00, "Off"},
    {0x2800, "Off (0400h-07FFh, which the 16F627 does not have)"},
    {0x1400, "0200h-03FFh protected"},
    {0x0000, "All program memory protected"},
};
constexpr FieldChoice cp628[] = {
    {0x3C00, "Off"},
    {0x2800, "0400h-07FFh protected"},
    {0x1400, "0200h-07FFh protected"},
    {0x0000, "All program memory protected"},
};
constexpr FieldChoice selfwrite818[] = {
    {0x0600, "Off"},
    {0x0400, "0000h-01FFh write-protected"},
    {0x0200, "0000h-03FFh write-protected"},
};
constexpr FieldChoice selfwrite819[] = {
    {0x0600, "Off"},
    {0x0400, "0000h-01FFh write-protected"},
    {0x0200, "0000h-03FFh write-protected"},
    {0x0000, "0000h-05FFh write-protected"},
};
constexpr FieldChoice selfwrite87[] = {
    {0x0600, "Off"},
    {0x0400, "0000h-00FFh write-protected"},
    {0x0200, "0000h-07FFh write-protected"},
    {0x0000, "0000h-0FFFh write-protected"},
};
constexpr FieldChoice debugger[] = {
    {0x0800, "Off: RB6 and RB7 are I/O pins"},
    {0x0000, "On: RB6 and RB7 belong to the debugger"},
};
constexpr FieldChoice ccp1rb2[] = {{0x1000, "CCP1 on RB2"}, {0x0000, "CCP1 on RB3"}};
constexpr FieldChoice ccp1rb0[] = {{0x1000, "CCP1 on RB0"}, {0x0000, "CCP1 on RB3"}};
constexpr FieldChoice clockmonitor[] = {{0x0001, "On"}, {0x0000, "Off"}};
constexpr FieldChoice twospeed[] = {{0x0002, "On"}, {0x0000, "Off"}};
constexpr FieldChoice brownoutvoltage[] = {{0x0080, "4.0 V"}, {0x0000, "2.5 V"}};

// The 16F870-877: CP1:CP0 twice, in bits 13:12 and 5:4, written alike.
constexpr FieldChoice cp870[] = {{0x3030, "Off"}, {0x0000, "All program memory protected"}};
constexpr FieldChoice cp873[] = {
    {0x3030, "Off"},
    {0x2020, "0F00h-0FFFh protected"},
    {0x1010, "0800h-0FFFh protected"},
    {0x0000, "All program memory protected"},
};
constexpr FieldChoice cp876[] = {
    {0x3030, "Off"},
    {0x2020, "1F00h-1FFFh protected"},
    {0x1010, "1000h-1FFFh protected"},
    {0x0000, "All program memory protected"},
};
constexpr FieldChoice selfwrite87x[] = {
    {0x0200, "Writable: EECON writes may change program memory"},
    {0x0000, "Not writable by EECON"},
};
constexpr FieldChoice selfwrite873a[] = {
    {0x0600, "Off"},
    {0x0400, "0000h-00FFh write-protected"},
    {0x0200, "0000h-03FFh write-protected"},
    {0x0000, "0000h-07FFh write-protected"},
};
constexpr FieldChoice selfwrite876a[] = {
    {0x0600, "Off"},
    {0x0400, "0000h-00FFh write-protected"},
    {0x0200, "0000h-07FFh write-protected"},
    {0x0000, "0000h-0FFFh write-protected"},
};

// The later mid-range layout: FOSC2:0 in bits 2:0, WDTE 3, PWRTE 4, MCLRE
// 5, CP 6, CPD 7, BOREN1:0 9:8. OSC1 and OSC2 are the oscillator pins,
// whichever port pins they share on each package.
constexpr FieldChoice oscillator210[] = {
    {0x0000, "LP: low-power crystal"},
    {0x0001, "XT: crystal or resonator"},
    {0x0002, "HS: high-speed crystal or resonator"},
    {0x0003, "EC: external clock in on OSC1, OSC2 is I/O"},
    {0x0004, "Internal oscillator, OSC1 and OSC2 are I/O"},
    {0x0005, "Internal oscillator, clock out on OSC2, OSC1 is I/O"},
    {0x0006, "External resistor on OSC1, OSC2 is I/O"},
    {0x0007, "External resistor on OSC1, clock out on OSC2"},
};
constexpr FieldChoice watchdog3[] = {{0x0008, "on"}, {0x0000, "off (SWDTEN can turn it on)"}};
constexpr FieldChoice powerup4[] = {{0x0000, "on"}, {0x0010, "off"}};
constexpr FieldChoice protection6[] = {{0x0040, "Off"}, {0x0000, "All program memory protected"}};
constexpr FieldChoice dataprotection7[] = {
    {0x0080, "Off: data EEPROM readable"},
    {0x0000, "On: data EEPROM reads as 0"},
};
constexpr FieldChoice brownout98[] = {
    {0x0300, "On"},
    {0x0200, "On while running, off in Sleep"},
    {0x0100, "Controlled by SBOREN"},
    {0x0000, "Off"},
};
constexpr FieldChoice brownout609[] = {
    {0x0300, "On"},
    {0x0200, "On while running, off in Sleep"},
    {0x0100, "Off (01)"},
    {0x0000, "Off (00)"},
};
constexpr FieldChoice twospeed10[] = {{0x0400, "On"}, {0x0000, "Off"}};
constexpr FieldChoice clockmonitor11[] = {{0x0800, "On"}, {0x0000, "Off"}};
constexpr FieldChoice lvprb3bit12[] = {
    {0x1000, "On: RB3 is the PGM pin"},
    {0x0000, "Off: RB3 is an I/O pin (high voltage only)"},
};
constexpr FieldChoice debugger13[] = {
    {0x2000, "Off: RB6 and RB7 are I/O pins"},
    {0x0000, "On: RB6 and RB7 belong to the debugger"},
};
constexpr FieldChoice oscillatorspeed[] = {{0x0080, "8 MHz"}, {0x0000, "4 MHz"}};
constexpr FieldChoice selfwrite617[] = {
    {0x0C00, "Off"},
    {0x0800, "000h-1FFh write-protected"},
    {0x0400, "000h-3FFh write-protected"},
    {0x0000, "000h-7FFh write-protected"},
};
// CONFIG2 of the 16F88x.
constexpr FieldChoice brownoutlevel[] = {{0x0100, "4.0 V"}, {0x0000, "2.1 V"}};
constexpr FieldChoice selfwrite882[] = {
    {0x0600, "Off"},
    {0x0200, "0000h-00FFh write-protected"},
    {0x0000, "0000h-03FFh write-protected"},
};
constexpr FieldChoice selfwrite883[] = {
    {0x0600, "Off"},
    {0x0400, "0000h-00FFh write-protected"},
    {0x0200, "0000h-03FFh write-protected"},
    {0x0000, "0000h-07FFh write-protected"},
};
constexpr FieldChoice selfwrite886[] = {
    {0x0600, "Off"},
    {0x0400, "0000h-00FFh write-protected"},
    {0x0200, "0000h-07FFh write-protected"},
    {0x0000, "0000h-0FFFh write-protected"},
};

// ---- the fields ---------------------------------------------------------

constexpr ConfigField fosc3{0, 0x0013, "FOSC", "Oscillator", threebitoscillator};
constexpr ConfigField fosc2{0, 0x0003, "FOSC", "Oscillator", twobitoscillator};
constexpr ConfigField wdte{0, 0x0004, "WDTE", "Watchdog timer", watchdog};
constexpr ConfigField pwrte{0, 0x0008, "PWRTE", "Power-up timer", powerup};
constexpr ConfigField mclre{0, 0x0020, "MCLRE", "RA5/MCLR pin", mclrpin};
constexpr ConfigField boren{0, 0x0040, "BOREN", "Brown-out reset", brownout};
constexpr ConfigField lvp4{0, 0x0080, "LVP", "Low-voltage programming", lvprb4};
constexpr ConfigField lvp3{0, 0x0080, "LVP", "Low-voltage programming", lvprb3};
constexpr ConfigField cpd{0, 0x0100, "CPD", "Data EEPROM protection", dataprotection};
constexpr ConfigField cpwhole{0, 0x2000, "CP", "Code protection", wholeprotection};
constexpr ConfigField wrt818{0, 0x0600, "WRT", "Self-write protection (EECON writes)", selfwrite818};
constexpr ConfigField wrt819{0, 0x0600, "WRT", "Self-write protection (EECON writes)", selfwrite819};
constexpr ConfigField wrt87{0, 0x0600, "WRT", "Self-write protection (EECON writes)", selfwrite87};
constexpr ConfigField debug{0, 0x0800, "DEBUG", "In-circuit debugger", debugger};
constexpr ConfigField ccpmxrb2{0, 0x1000, "CCPMX", "CCP1 pin", ccp1rb2};
constexpr ConfigField ccpmxrb0{0, 0x1000, "CCPMX", "CCP1 pin", ccp1rb0};
constexpr ConfigField borv{0, 0x0080, "BORV", "Brown-out voltage", brownoutvoltage};
constexpr ConfigField fcmen{1, 0x0001, "FCMEN", "Fail-safe clock monitor (CONFIG2)", clockmonitor};
constexpr ConfigField ieso{1, 0x0002, "IESO", "Two-speed start-up (CONFIG2)", twospeed};

constexpr ConfigField wrt87x{0, 0x0200, "WRT", "Program memory self-write (EECON)", selfwrite87x};
constexpr ConfigField wrt873a{0, 0x0600, "WRT", "Self-write protection (EECON writes)", selfwrite873a};
constexpr ConfigField wrt876a{0, 0x0600, "WRT", "Self-write protection (EECON writes)", selfwrite876a};
constexpr ConfigField fosc210{0, 0x0007, "FOSC", "Oscillator", oscillator210};
constexpr ConfigField wdte3{0, 0x0008, "WDTE", "Watchdog timer", watchdog3};
constexpr ConfigField pwrte4{0, 0x0010, "PWRTE", "Power-up timer", powerup4};
constexpr ConfigField mclre5{0, 0x0020, "MCLRE", "MCLR pin", mclrpin};
constexpr ConfigField cp6{0, 0x0040, "CP", "Code protection", protection6};
constexpr ConfigField cpd7{0, 0x0080, "CPD", "Data EEPROM protection", dataprotection7};
constexpr ConfigField boren98{0, 0x0300, "BOREN", "Brown-out reset", brownout98};
constexpr ConfigField boren609{0, 0x0300, "BOREN", "Brown-out reset", brownout609};
constexpr ConfigField ieso10{0, 0x0400, "IESO", "Two-speed start-up", twospeed10};
constexpr ConfigField fcmen11{0, 0x0800, "FCMEN", "Fail-safe clock monitor", clockmonitor11};
constexpr ConfigField lvp12{0, 0x1000, "LVP", "Low-voltage programming", lvprb3bit12};
constexpr ConfigField debug13{0, 0x2000, "DEBUG", "In-circuit debugger", debugger13};
constexpr ConfigField ioscfs{0, 0x0080, "IOSCFS", "Internal oscillator speed", oscillatorspeed};
constexpr ConfigField wrt617{0, 0x0C00, "WRT", "Self-write protection (EECON writes)", selfwrite617};
constexpr ConfigField bor4v{1, 0x0100, "BOR4V", "Brown-out trip point (CONFIG2)", brownoutlevel};
constexpr ConfigField wrt882{1, 0x0600, "WRT", "Self-write protection (CONFIG2)", selfwrite882};
constexpr ConfigField wrt883{1, 0x0600, "WRT", "Self-write protection (CONFIG2)", selfwrite883};
constexpr ConfigField wrt886{1, 0x0600, "WRT", "Self-write protection (CONFIG2)", selfwrite886};

constexpr ConfigField fields627[] = {
    fosc3, wdte, pwrte, mclre, boren, lvp4, cpd,
    {0, 0x3C00, "CP", "Code protection", cp627},
};
constexpr ConfigField fields628[] = {
    fosc3, wdte, pwrte, mclre, boren, lvp4, cpd,
    {0, 0x3C00, "CP", "Code protection", cp628},
};
constexpr ConfigField fields62xa[] = {fosc3, wdte, pwrte, mclre, boren, lvp4, cpd, cpwhole};
constexpr ConfigField fields818[] = {
    fosc3, wdte, pwrte, mclre, boren, lvp3, cpd, wrt818, debug,
    ccpmxrb2, cpwhole,
};
constexpr ConfigField fields819[] = {
    fosc3, wdte, pwrte, mclre, boren, lvp3, cpd, wrt819, debug,
    ccpmxrb2, cpwhole,
};
constexpr ConfigField fields87[] = {
    fosc3, wdte, pwrte, mclre, boren, lvp3, cpd, wrt87, debug,
    ccpmxrb0, cpwhole, fcmen, ieso,
};
constexpr ConfigField fields716[] = {
    fosc2, wdte, pwrte, boren, borv, cpwhole,
};

constexpr ConfigField fields870[] = {
    fosc2, wdte, pwrte, boren, lvp3, cpd, wrt87x, debug,
    {0, 0x3030, "CP", "Code protection", cp870},
};
constexpr ConfigField fields873[] = {
    fosc2, wdte, pwrte, boren, lvp3, cpd, wrt87x, debug,
    {0, 0x3030, "CP", "Code protection", cp873},
};
constexpr ConfigField fields876[] = {
    fosc2, wdte, pwrte, boren, lvp3, cpd, wrt87x, debug,
    {0, 0x3030, "CP", "Code protection", cp876},
};
constexpr ConfigField fields873a[] = {fosc2, wdte, pwrte, boren, lvp3, cpd, wrt873a, debug, cpwhole};
constexpr ConfigField fields876a[] = {fosc2, wdte, pwrte, boren, lvp3, cpd, wrt876a, debug, cpwhole};
constexpr ConfigField fields882[] = {
    fosc210, wdte3, pwrte4, mclre5, cp6, cpd7, boren98, ieso10, fcmen11, lvp12, debug13,
    bor4v, wrt882,
};
constexpr ConfigField fields883[] = {
    fosc210, wdte3, pwrte4, mclre5, cp6, cpd7, boren98, ieso10, fcmen11, lvp12, debug13,
    bor4v, wrt883,
};
constexpr ConfigField fields886[] = {
    fosc210, wdte3, pwrte4, mclre5, cp6, cpd7, boren98, ieso10, fcmen11, lvp12, debug13,
    bor4v, wrt886,
};
constexpr ConfigField fields683[] = {
    fosc210, wdte3, pwrte4, mclre5, cp6, cpd7, boren98, ieso10, fcmen11,
};
constexpr ConfigField fields609[] = {fosc210, wdte3, pwrte4, mclre5, cp6, ioscfs, boren609};
constexpr ConfigField fields617[] = {fosc210, wdte3, pwrte4, mclre5, cp6, ioscfs, boren609, wrt617};

// ---- PIC12F629/675, PIC16F630/676 ---------------------------------------
// FOSC2:0 in bits 2:0, then WDTE, PWRTE, MCLRE, BOREN, CP, CPD; bits 11:9
// unimplemented; BG1:BG0 in 13:12 belong to the factory (never burnt from a
// file or the editor: the chip's own are kept).

constexpr const char* bits629[14] = {"FOSC0", "FOSC1", "FOSC2", "WDTE",  "PWRTE",
                                     "MCLRE", "BOREN", "CP",    "CPD",   nullptr,
                                     nullptr, nullptr, "BG0",   "BG1"};

// OSC1 and OSC2 are GP5 and GP4 on the 8-pin chips, RA5 and RA4 on the
// 14-pin ones.
constexpr FieldChoice oscillator629[] = {
    {0x0000, "LP: low-power crystal"},
    {0x0001, "XT: crystal or resonator"},
    {0x0002, "HS: high-speed crystal or resonator"},
    {0x0003, "EC: external clock in on OSC1, OSC2 is I/O"},
    {0x0004, "Internal oscillator, OSC1 and OSC2 are I/O"},
    {0x0005, "Internal oscillator, clock out on OSC2, OSC1 is I/O"},
    {0x0006, "External resistor on OSC1, OSC2 is I/O"},
    {0x0007, "External resistor on OSC1, clock out on OSC2"},
};
constexpr FieldChoice watchdog629[] = {{0x0008, "on"}, {0x0000, "off"}};
constexpr FieldChoice powerup629[] = {{0x0000, "on"}, {0x0010, "off"}};  // on while PWRTE is 0
constexpr FieldChoice mclrpin629[] = {
    {0x0020, "Reset input (MCLR)"},
    {0x0000, "Digital input; MCLR is tied to VDD inside the chip"},
};
constexpr FieldChoice brownout629[] = {{0x0040, "on"}, {0x0000, "off"}};
constexpr FieldChoice codeprotection629[] = {{0x0080, "Off"}, {0x0000, "All program memory protected"}};
constexpr FieldChoice dataprotection629[] = {
    {0x0100, "Off: data EEPROM readable"},
    {0x0000, "On: data EEPROM reads as 0"},
};

constexpr ConfigField fields629[] = {
    {0, 0x0007, "FOSC", "Oscillator", oscillator629},
    {0, 0x0008, "WDTE", "Watchdog timer", watchdog629},
    {0, 0x0010, "PWRTE", "Power-up timer", powerup629},
    {0, 0x0020, "MCLRE", "GP3/RA3/MCLR pin", mclrpin629},
    {0, 0x0040, "BOREN", "Brown-out reset", brownout629},
    {0, 0x0080, "CP", "Code protection", codeprotection629},
    {0, 0x0100, "CPD", "Data EEPROM protection", dataprotection629},
};

}  // namespace
