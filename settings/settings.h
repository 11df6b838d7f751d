// SPDX-License-Identifier: GPL-2.0-or-later
// The settings file quibb9x.ini in the start directory, read through small
// profile-file functions of our own (no Qt here, so the command line can use
// it too).
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "core/overrides.h"
#include "core/state.h"
#include "settings/configword.h"

// Profile calls: read one value (default when the file, section or key is
// missing; the value cut to size - 1 characters); write one value, creating
// file, section and key as needed and keeping everything else of the file.
// Section and key names match without regard to case.
//
// File format: "[SECTION]" lines and "KEY=value" lines, written with no
// blanks around "=" (a value's own leading blank, as in "PIC= 2", is part of
// the value) and "\n" line ends (a file that uses "\r\n" keeps them). A new
// key goes after the last non-blank line of its section; a new section goes
// at the end of the file after one blank line. Blanks around names and
// values are ignored when reading, as are lines starting with ";" or "#".
// The file is rewritten whole through a temporary file beside it and a
// rename, so it is never left half written.
std::string profileread(const std::string& path, const std::string& section,
                        const std::string& key, const std::string& fallback,
                        std::size_t size);
bool profilewrite(const std::string& path, const std::string& section,
                  const std::string& key, const std::string& value);
// Removes the key's line; a file without it is not touched.
bool profileremove(const std::string& path, const std::string& section,
                   const std::string& key);

// A settings file that is not a regular file, or is larger than 1 MiB, is
// neither read nor written (it reads as absent). The reason, or empty when
// the file is fine or missing.
std::string settingsproblem(const std::string& path);

std::string cutAtNull(const std::string& text);
// The value, or empty when absent (the file path itself came back, or a cut
// of it).
std::string readIniValue(const std::string& path, const std::string& section,
                         const std::string& key);

std::string inipath(const State& s);        // startdir + "/quibb9x.ini"
std::string numprint(int32_t value);        // " 2", "-1"
// A decimal literal read leniently: blanks ignored, an optional sign, digits
// from the left up to the first other character. Empty or non-numeric gives
// 0. nullopt when it does not fit 16 bits.
std::optional<int16_t> readint16(const std::string& text);
// The same without the 16-bit limit (for LPT, whose fit is checked apart).
// Absurdly long digit runs saturate instead of overflowing.
int64_t readnumber(const std::string& text);
// A port address typed in hexadecimal: blanks ignored, digits (either case)
// from the left up to the first non-digit, none gives 0. Four significant
// digits at most make a 16-bit pattern (FFFF is -1); more do not fit and
// give nullopt, so the caller keeps the address it had.
std::optional<int16_t> readhex16(const std::string& text);

// Writes PIC, LPT, LOAD, CWORD in that order; `loadtext` is the file name box.
// Then CWORD2 (OPTIONS), CONFIG2, when the chip has one and it was given.
// Then BOARD (OPTIONS), the board's name or file, when the board is not the
// original one, or when the file already names another board.
// Then TPROG (OPTIONS), the original chips' programming time, when it is not
// 7 ms, or when the file already has one.
// False when a value could not be stored (nothing is shown to the user).
bool save_ini(const State& s, const std::string& loadtext);

// The chip chosen beside the three device options: "CHIP" in "OPTIONS",
// the chip's name ("16F628A") or "auto"; empty for the three options, whose
// file stays as it always was (a CHIP key left from before is removed).
bool savechip(const State& s, const std::string& chip);

// The four values as read (each empty when absent), and CHIP.
struct IniValues {
    std::string pic, lpt, cword, load, board;
    std::string cword2;  // CONFIG2 of the 16F87/88
    std::string chip;
    std::string tprog;
};
IniValues readsettings(const State& s);

// TPROG as read: 7 to 20 ms, nothing for any other text.
std::optional<int16_t> readtprog(const std::string& text);

// How the "LPT" value chooses the port: option 4 (LPT1, 0x378), 5 (LPT2,
// 0x278) or 6 ("Other Port:") with the text for the port box in upper-case
// hexadecimal. A number that does not fit 16 bits gives option 6 without a
// text: the box keeps what it shows, and so does the address.
struct PortChoice {
    int option = 6;
    std::optional<std::string> text;
};
PortChoice portchoice(const std::string& lpt);

// The chip a run starts with, chosen in this one place for the window and
// the command line: the settings file's PIC= (a device option), then its
// CHIP= (any chip of the table by name, or "auto"), then --device (a chip,
// or auto).
struct ChipChoice {
    const ChipRow* row = nullptr;  // nullptr: none named, start-up's choice stays
    bool automatic = false;        // "auto": the device ID chooses; `row` until then
    std::string unknown;           // a CHIP= that names no chip, left out
};
ChipChoice chipchoice(const IniValues& values, const Overrides& o);

// The settings applied as the window applies them, for a front end without
// widgets: PIC to picmodel, the chip of chipchoice (the command line's
// "auto" is its own, the settings file's is the window's), LPT to portaddr,
// CWORD to the configuration word then the editor's refresh, TPROG to tprog.
// LOAD is left to the caller. Returns the choice.
ChipChoice applysettings(State& s, ConfigEditor& editor, const IniValues& values,
                         const Overrides& o = {});
