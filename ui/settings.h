// The settings file quibb9x.ini in the start directory, read through small
// profile-file functions of our own (no Qt here, so the command line can use
// it too).
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "core/state.h"

// Profile calls: read one value (default when the file, section or key is
// missing; the value cut to size - 1 characters); write one value, creating
// file, section and key as needed and keeping everything else of the file.
// Section and key names match without regard to case.
std::string profileread(const std::string& path, const std::string& section,
                        const std::string& key, const std::string& fallback,
                        std::size_t size);
bool profilewrite(const std::string& path, const std::string& section,
                  const std::string& key, const std::string& value);

std::string cutAtNull(const std::string& text);
// The value, or empty when absent (the file path itself came back, or a cut
// of it).
std::string readIniValue(const std::string& path, const std::string& section,
                         const std::string& key);

std::string inipath(const State& s);        // startdir + "/quibb9x.ini"
std::string numprint(int32_t value);        // " 2", "-1"
// A decimal literal read leniently: blanks ignored, digits from the left.
// Empty or non-numeric gives 0. nullopt when it does not fit 16 bits.
std::optional<int16_t> readint16(const std::string& text);
// The same without the 16-bit limit (for LPT, whose fit is checked apart).
int64_t readnumber(const std::string& text);

// Writes PIC, LPT, LOAD, CWORD in that order; `loadtext` is the file name box.
void save_ini(const State& s, const std::string& loadtext);

// The four values as read (each empty when absent).
struct IniValues {
    std::string pic, lpt, cword, load;
};
IniValues readsettings(const State& s);
