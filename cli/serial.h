// SPDX-License-Identifier: GPL-2.0-or-later
// Serial numbers for a batch of chips: where in the chip a number goes and
// how it is written there, and the counter file several runs (one per board)
// take their numbers from.
//
// The counter file is a text of our own:
//
//   quibb9x serial numbers, format 1
//   next 21
//   taken 20          a number a run took and has not finished with (its
//                     burn is under way, or the run was killed)
//   failed 7          a number given to a chip that then failed
//
// Every number below "next" was given out once; none is given again. Runs
// take turns through a lock on FILE.lock beside it, and each change is a new
// file renamed onto the old one, so the file is always whole.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/state.h"
#include "devices/chiptable.h"

namespace cli {

// The largest number a counter gives (the largest integer a JSON reader
// keeps exactly).
constexpr uint64_t largestserial = (uint64_t{1} << 53) - 1;

enum class SerialPlace { id, eeprom, retlw };
enum class SerialFormat { bin, bcd, ascii };

struct SerialSetup {
    std::string file;  // the counter file; empty: no serial numbers
    uint64_t start = 1;
    uint64_t step = 1;
    SerialPlace place = SerialPlace::id;
    int32_t address = 0;  // eeprom: the first data byte; retlw: the first program word
    SerialFormat format = SerialFormat::bin;
    int width = 2;          // bytes
    bool bigendian = false;  // most significant byte (or digit) first
    bool overwrite = false;  // the file may give words where the serial goes
};

// Option values; nullopt when the text is not one of the accepted forms.
std::optional<uint64_t> parsenumber(const std::string& text);  // decimal or 0x hexadecimal
bool parseplace(const std::string& text, SerialSetup& setup);    // id, eeprom:ADDR, retlw:ADDR
std::optional<SerialFormat> parseformat(const std::string& text);

// The bytes of a number in the setup's format, width and order; empty with
// the reason in `why` when the number does not fit.
std::vector<uint8_t> serialbytes(uint64_t number, const SerialSetup& setup, std::string& why);

// The chip's word addresses the serial takes, in the order of its bytes
// (ID locations from 0x2000, data bytes from 0x2100, program words).
std::vector<int32_t> serialwords(const SerialSetup& setup);
// "the ID words 0x2000 to 0x2001", "data EEPROM bytes 0x10 to 0x11", ...
std::string describeplace(const SerialSetup& setup);

// Empty when the chip has every word the serial takes; else why not.
std::string placeproblem(const SerialSetup& setup, const ChipRow& row);

// The first HEX record of the file that gives one of the serial's words:
// its line and that word's address; nullopt when none does.
struct Clash {
    long long line;
    int32_t word;
};
std::optional<Clash> fileclash(const std::string& hexfile, const SerialSetup& setup);

// Puts the serial's bytes into the image and counts its words as used; a
// word between the file's last one and the serial is burnt as erased.
void putserial(State& s, const SerialSetup& setup, const std::vector<uint8_t>& bytes);

// The counter file's contents.
struct Counter {
    uint64_t next = 1;
    std::set<uint64_t> taken;
    std::set<uint64_t> failed;
};
// Reads a counter file's text; false with the line and what is wrong.
bool parsecounter(const std::string& text, Counter& out, std::string& why);
std::string formatcounter(const Counter& c);

// The counter file of a run. Every failure says why in `why`, naming the
// file (and the line, for a damaged one); nothing is changed then.
class CounterFile {
public:
    CounterFile(std::string path, uint64_t start, uint64_t step)
        : path_(std::move(path)), start_(start), step_(step) {}

    // The file can be used: absent (then its place takes a new file) or a
    // counter of ours; `next` is the number the next take would give.
    bool check(uint64_t& next, std::string& why) const;
    // Takes the next number, noting it as taken, unless `fits` refuses it
    // (returning its reason), in which case nothing changes.
    bool take(uint64_t& number, const std::function<std::string(uint64_t)>& fits,
              std::string& why);
    // The chip given `number` passed (the number stays used) or failed.
    bool finish(uint64_t number, bool passed, std::string& why);

    const std::string& path() const { return path_; }

private:
    // Under the lock: reads the file (a missing one starts at `start`),
    // lets `edit` change it and writes it back when `edit` says so.
    bool change(const std::function<bool(Counter&, std::string&)>& edit, std::string& why);
    bool read(Counter& c, bool& missing, std::string& why) const;
    bool write(const Counter& c, std::string& why) const;

    std::string path_;
    uint64_t start_;
    uint64_t step_;
};

}  // namespace cli
