// SPDX-License-Identifier: GPL-2.0-or-later
#include "calibration.h"

#include <bit>
#include <cctype>
#include <cstdio>

#include "core/cycle.h"
#include "core/lines.h"
#include "core/protocol.h"
#include "devices/select.h"

namespace {

std::string hex4(int32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value & 0xFFFF));
    return text;
}

const Memory* restored(const ChipRow& row, Kind kind) {
    for (const Memory& m : row.memories)
        if (m.kind == kind && m.erase == Erase::restored) return &m;
    return nullptr;
}

int shiftof(const Memory& m) { return std::countr_zero(static_cast<unsigned>(m.restorebits)); }

bool looksright(const Memory& m, int16_t word) {
    return (word & m.signaturemask) == m.signature;
}

// A protected chip reads its program memory as zeros, OSCCAL too.
bool unreadable(const ChipRow& row, const Calibration& c) {
    const uint16_t cp = row.protection.cpbits;
    return c.config >= 0 && cp != 0 && (c.config & cp) != cp;
}

// A word with bits the memory does not have was not read from the chip
// (a data line that nobody drives reads 1).
uint16_t strangebits(const Memory& m, int16_t word) {
    return static_cast<uint16_t>(word & 0x3FFF & ~m.mask);
}

std::string bitlist(uint16_t bits) {
    std::string list;
    for (int b = 13; b >= 0; --b)
        if (bits & (1u << b)) list += (list.empty() ? "" : ", ") + std::to_string(b);
    return list;
}

// The word a calibration memory gets written: OSCCAL whole; the band-gap
// bits in an otherwise erased configuration word, which the burn's own
// configuration word (with the same bits) then programs further.
int16_t wordfor(const Memory& m, const Calibration& keep) {
    if (m.kind != Kind::config) return keep.osccal;
    return static_cast<int16_t>((m.erased & ~m.restorebits) |
                                ((keep.bandgap << shiftof(m)) & m.restorebits));
}

bool samewords(const Memory& m, int16_t a, int16_t b) {
    const uint16_t bits = m.kind == Kind::config ? m.restorebits : m.mask;
    return (a & bits) == (b & bits);
}

}  // namespace

const Memory* osccalmemory(const ChipRow& row) { return restored(row, Kind::calibration); }
const Memory* bandgapmemory(const ChipRow& row) { return restored(row, Kind::config); }
bool hascalibration(const ChipRow& row) { return osccalmemory(row) || bandgapmemory(row); }

Calibration readcalibration(State& s) {
    const ChipRow& row = currentchip(s);
    Calibration c;
    int32_t counter = -1;
    for (const Memory& m : row.memories) {
        if (m.kind == Kind::none || m.erase != Erase::restored) continue;
        moveto(s, m.address, false, counter);
        sendcmd(s, m.read);
        const auto word = static_cast<int16_t>(recvdata(s) & 0x3FFF);
        if (m.kind == Kind::config) {
            c.config = word;
            c.bandgap = static_cast<int16_t>((word & m.restorebits) >> shiftof(m));
        } else {
            c.osccal = word;
        }
    }
    allpinslow(s);
    return c;
}

Calibration tokeep(const State& s, const Calibration& read) {
    Calibration keep = read;
    if (read.osccal >= 0 && s.osccalgiven >= 0) keep.osccal = s.osccalgiven;
    if (read.bandgap >= 0 && s.bandgapgiven >= 0) keep.bandgap = s.bandgapgiven;
    return keep;
}

std::optional<CalibrationTrouble> calibrationtrouble(const State& s, const Calibration& read) {
    const ChipRow& row = currentchip(s);
    const Memory* osccal = osccalmemory(row);
    const Memory* bandgap = bandgapmemory(row);
    CalibrationTrouble t;
    std::string what;
    if (osccal && s.osccalgiven < 0 && !looksright(*osccal, read.osccal)) {
        t.osccal = true;
        what = "OSCCAL (word " + hex4(osccal->address) + ") ";
        if (unreadable(row, read))
            what += "cannot be read: the chip is code-protected (configuration word " +
                    hex4(read.config) + "), so its program memory reads as zeros";
        else
            what += "reads " + hex4(read.osccal) + ", which is no RETLW 0x34NN" +
                    (read.osccal == 0x3FFF ? ": an erase that did not keep it has cleared it" : "");
    }
    if (bandgap && s.bandgapgiven < 0 && strangebits(*bandgap, read.config) != 0) {
        t.bandgap = true;
        if (!what.empty()) what += "; ";
        what += "the configuration word reads " + hex4(read.config) + ", with bits " +
                bitlist(strangebits(*bandgap, read.config)) +
                " set that the chip does not have, so its band-gap bits cannot be read";
    } else if (t.osccal && bandgap && s.bandgapgiven < 0 &&
               (read.config & bandgap->mask) == bandgap->erased) {
        t.maybebandgap = true;
        what += " (its band-gap bits read " + bandgaptext(read.bandgap) +
                ", as an erased chip's: they may be lost with it)";
    }
    if (!t.osccal && !t.bandgap) return std::nullopt;
    t.what = what;
    return t;
}

std::string bandgaptext(int16_t bandgap) {
    return std::string(1, (bandgap & 2) ? '1' : '0') + ((bandgap & 1) ? '1' : '0');
}

std::string describecalibration(const ChipRow& row, const Calibration& c) {
    std::string text;
    if (const Memory* m = osccalmemory(row)) {
        if (looksright(*m, c.osccal)) text = "OSCCAL " + hex4(c.osccal);
        else if (unreadable(row, c)) text = "OSCCAL unreadable (the chip is code-protected)";
        else text = "OSCCAL " + hex4(c.osccal) + " (lost)";
    }
    if (const Memory* m = bandgapmemory(row)) {
        if (!text.empty()) text += ", ";
        text += "band-gap bits " + bandgaptext(c.bandgap);
        if (strangebits(*m, c.config) != 0) text += " (unreadable)";
    }
    return text;
}

bool writecalibration(State& s, const Calibration& keep, std::string& why) {
    const ChipRow& row = currentchip(s);
    int32_t counter = -1;
    bool ok = true;
    for (const Memory& m : row.memories) {
        if (m.kind == Kind::none || m.erase != Erase::restored) continue;
        const int16_t word = wordfor(m, keep);
        moveto(s, m.address, false, counter);
        writeword(s, m.write, m.load, static_cast<int16_t>(word & m.mask));
        sendcmd(s, m.read);
        const auto back = static_cast<int16_t>(recvdata(s) & m.mask);
        if (ok && !samewords(m, back, word)) {
            why = "word " + hex4(m.address) + " reads " + hex4(back) + " after " + hex4(word & m.mask) +
                  " was written";
            ok = false;
        }
    }
    allpinslow(s);
    return ok;
}

Plan withcalibration(const Plan& plan, const Calibration& keep, std::vector<int16_t>& room) {
    size_t words = 0;
    for (const Visit& v : plan) words += static_cast<size_t>(v.count);
    room.clear();
    room.reserve(words);  // the visits point into it: it never moves
    Plan out = plan;
    for (Visit& v : out) {
        const Memory& m = *v.memory;
        if (m.kind != Kind::config || m.erase != Erase::restored || keep.bandgap < 0) continue;
        int16_t* copy = room.data() + room.size();
        for (int16_t i = 0; i < v.count; ++i)
            room.push_back(static_cast<int16_t>((v.image[i] & ~m.restorebits) |
                                                ((keep.bandgap << shiftof(m)) & m.restorebits)));
        v.image = copy;
    }
    return out;
}

bool showkept(State& s, Frontend& f, const KeptCalibration& k, bool burnt) {
    const ChipRow& row = currentchip(s);
    if (!hascalibration(row)) return true;
    if (!k.restored) {
        f.message("quibb9x: the calibration was not written back after the erase: " + k.why +
                      ". Write down " + describecalibration(row, k.keep) +
                      " and give them when you erase or burn the chip again.",
                  "ERROR!");
        return false;
    }
    const Memory* osccal = osccalmemory(row);
    const Region r = osccal ? regionat(osccal->address) : Region::program;
    if (burnt && osccal && s.used(r) > osccal->address - regionbase(r)) {
        const int16_t word = s.image(r)[static_cast<size_t>(osccal->address - regionbase(r))];
        f.statusAdd("quibb9x: not burnt: the file's word " + hex4(osccal->address) + ", " +
                    hex4(word & 0x3FFF) + "; the chip keeps OSCCAL " + hex4(k.keep.osccal));
    }
    const Memory* bandgap = bandgapmemory(row);
    if (burnt && bandgap && s.configused > 0) {
        const int16_t word = s.configmem[0];
        const auto bits = static_cast<int16_t>((word & bandgap->restorebits) >> shiftof(*bandgap));
        if (bits != k.keep.bandgap)
            f.statusAdd("quibb9x: not burnt: the band-gap bits " + bandgaptext(bits) +
                        " of the configuration word " + hex4(word & 0x3FFF) +
                        "; the chip keeps its own, " + bandgaptext(k.keep.bandgap));
    }
    const bool given = k.keep.osccal != k.read.osccal || k.keep.bandgap != k.read.bandgap;
    f.statusAdd(given ? "Calibration written back as given: " + describecalibration(row, k.keep) +
                            " (read: " + describecalibration(row, k.read) + ")"
                      : "Calibration kept: " + describecalibration(row, k.keep));
    f.statusRepaint();
    return true;
}

std::string wouldbelost(const ChipRow& row, const CalibrationTrouble& t) {
    return "the " + chiplabel(row) + "'s factory calibration would be lost: " + t.what;
}

void reportlost(Frontend& f, const ChipRow& row, const CalibrationTrouble& t, const std::string& nothing) {
    f.message("quibb9x: " + wouldbelost(row, t) + ". " + nothing, "CALIBRATION LOST!");
}

void CalibrationTap::put(int32_t address, int16_t word) {
    if (const Memory* m = osccalmemory(row_); m && address == m->address) seen_.osccal = word;
    if (const Memory* m = bandgapmemory(row_); m && address == m->address) {
        seen_.config = word;
        seen_.bandgap = static_cast<int16_t>((word & m->restorebits) >> shiftof(*m));
    }
    if (out_) out_->put(address, word);
}

void CalibrationTap::show(Frontend& f) const {
    if (!hascalibration(row_)) return;
    f.statusAdd("Calibration: " + describecalibration(row_, seen_));
    f.statusRepaint();
}

namespace {

std::optional<int32_t> hexvalue(const std::string& text) {
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    if (digits.empty() || digits.size() > 4) return std::nullopt;
    int32_t value = 0;
    for (const char c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        value = value * 16 + (std::isdigit(static_cast<unsigned char>(c))
                                  ? c - '0'
                                  : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    }
    return value;
}

}  // namespace

std::optional<int16_t> parseosccal(const std::string& text) {
    const auto v = hexvalue(text);
    if (!v || (*v & 0xFF00) != 0x3400) return std::nullopt;
    return static_cast<int16_t>(*v);
}

// Two digits are the bits as written down, BG1 first; a single digit is the
// same value either way, except 2 and 3, which only a number can mean.
std::optional<int16_t> parsebandgap(const std::string& text) {
    if (text.size() == 2 && (text[0] == '0' || text[0] == '1') && (text[1] == '0' || text[1] == '1'))
        return static_cast<int16_t>((text[0] - '0') * 2 + (text[1] - '0'));
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '3') return static_cast<int16_t>(text[0] - '0');
    return std::nullopt;
}
