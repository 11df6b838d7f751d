// SPDX-License-Identifier: GPL-2.0-or-later
#include "hexreader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include "core/binding.h"
#include "devices/chiptable.h"
#include "image.h"

namespace {

int hexdigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

constexpr size_t linebuffer = 256;  // longer lines are cut to this

}  // namespace

// A damaged or missing field gives a number (0 when it has no digit) and only
// the checksum catches it.
int32_t readfield(const std::string& s, size_t position, size_t length) {
    int32_t value = 0;
    for (size_t p = position; p < position + length; ++p) {
        const char c = p <= s.size() ? s[p - 1] : ' ';
        if (c == ' ' || c == '\t') continue;
        const int d = hexdigit(c);
        if (d < 0) break;
        value = value * 16 + d;
    }
    return value;
}

bool readitem(FILE* fp, std::string& item) {
    item.clear();
    int c = getc(fp);
    if (c == EOF) return false;
    while (c == ' ') c = getc(fp);
    while (c != EOF && c != '\n' && c != ',') {
        if (c == '\r') {
            const int next = getc(fp);
            if (next != '\n' && next != EOF) ungetc(next, fp);
            break;
        }
        if (item.size() < linebuffer) item.push_back(static_cast<char>(c));
        c = getc(fp);
    }
    return true;
}

namespace {

constexpr size_t quoted = 41;       // characters of a bad line shown in a box

// Beyond the last word any region can hold (a region has at most 32767
// words, the data region coming last). Records past it are refused here,
// before the address can overflow the 32-bit arithmetic of the region map;
// nearer ones the map refuses itself, with the same message.
const int64_t lastchipword = regionbase(Region::data) + INT16_MAX;

// Halving as the reader always has: an odd value's half goes to the even
// neighbour (1 -> 0, 3 -> 2, 5 -> 2, 7 -> 4).
int64_t halve(int64_t v) {
    const int64_t q = v / 2;
    if (v % 2 == 0 || q % 2 == 0) return q;
    return q + 1;
}

std::string numbered(long long number, const std::string& line) {
    char text[32];
    std::snprintf(text, sizeof text, "%03lld", number);
    return text + std::string("->") + line;
}

std::string counted(const char* label, int16_t counter) {
    return label + std::to_string(counter) + " word(s)";
}

// Opens a file for reading; directories are refused like missing files.
FILE* openforreading(const std::string& filename) {
    FILE* fp = std::fopen(filename.c_str(), "rb");
    if (!fp) return nullptr;
    struct stat st;
    if (fstat(fileno(fp), &st) != 0 || S_ISDIR(st.st_mode)) {
        std::fclose(fp);
        return nullptr;
    }
    return fp;
}

enum class Outcome { more, done, failed };

// The words a load stored, by region in the order the summary names them
// (program, configuration, ID, data), so the summary can say how many the
// file gave: its counts run to the highest word.
struct Given {
    std::set<int64_t> words[4];
};

int regionof(int64_t w) {
    switch (regionat(static_cast<int32_t>(std::min<int64_t>(w, regionbase(Region::data))))) {
    case Region::data: return 3;
    case Region::config: return 1;
    case Region::id: return 2;
    case Region::program: break;
    }
    return 0;
}

// Data byte k lies at byte 0x4200 + 2k with its high byte after it: a data
// record at an odd byte address or with an odd byte count would put a byte
// where it does not belong or drop one. The word address to name (that of
// the first byte, or of the last one without its pair), or -1.
int64_t straydata(const std::string& line, int64_t upper, int64_t w) {
    if (w < regionbase(Region::data)) return -1;
    if ((upper + readfield(line, 4, 4)) % 2 != 0) return w;
    if (const int32_t n = readfield(line, 2, 2); n % 2 != 0) return w + n / 2;
    return -1;
}

// Acts on one valid record: ends the load (type 01), takes an upper address
// (types 02 and 04), ignores a start address (03 and 05), or stores the data
// of every other type where recordwords puts it.
Outcome takerecord(State& s, Frontend& f, const std::string& line, int64_t& upper, Given& given) {
    if (readfield(line, 8, 2) == 1) return Outcome::done;
    int64_t w = 0;
    int32_t words = 0;
    const int64_t before = upper;
    if (!recordwords(line, upper, w, words)) return Outcome::more;

    int16_t data[16];
    for (int32_t i = 0; i < words; ++i) {
        const int32_t low = readfield(line, 10 + 4 * i, 2);
        const int32_t high = readfield(line, 12 + 4 * i, 2);
        data[i] = static_cast<int16_t>(binding::zavSL(high, 8) | low);
    }

    // The last word's address, or the first one's for a record of none.
    if (w > lastchipword + 1) {
        f.message("Invalid address: 0x" + hexupper(static_cast<uint32_t>(w + std::max(words, 1) - 1)), "");
        return Outcome::failed;
    }
    if (const int64_t stray = straydata(line, before, w); stray >= 0) {
        f.message("Invalid address: 0x" + hexupper(static_cast<uint32_t>(stray)), "");
        return Outcome::failed;
    }
    if (stuffrecord(s, f, static_cast<int32_t>(w), data, words) == 0) return Outcome::failed;
    for (int32_t i = 0; i < words; ++i) given.words[regionof(w)].insert(w + i);
    return Outcome::more;
}

// After the counts, for each region a file left gaps in: how many words it
// gave and the highest (which the count runs to).
void givenlines(Frontend& f, const Given& given, const int16_t (&counters)[4]) {
    const char* const names[4] = {"program memory", "configuration", "ID memory", "data memory"};
    for (int r = 0; r < 4; ++r) {
        const auto& words = given.words[r];
        if (words.empty() || static_cast<int64_t>(words.size()) >= counters[r]) continue;
        char text[120];
        std::snprintf(text, sizeof text, "quibb9x: %s: %zu word(s) given, the highest at 0x%04llX",
                      names[r], words.size(), static_cast<long long>(*words.rbegin()));
        f.statusAdd(text);
    }
}

}  // namespace

bool recordwords(const std::string& line, int64_t& upper, int64_t& first, int32_t& count) {
    const int32_t n = readfield(line, 2, 2);
    const int32_t address = readfield(line, 4, 4);
    const int32_t type = readfield(line, 8, 2);
    if (type == 1) return false;
    if (type == 2 || type == 4) {
        // The address information is the first two data bytes, high first;
        // bytes the record does not carry count as 0.
        const int64_t hi = n >= 1 ? readfield(line, 10, 2) : 0;
        const int64_t lo = n >= 2 ? readfield(line, 12, 2) : 0;
        upper = (hi * 256 + lo) * (type == 2 ? 16 : 65536);
        return false;
    }
    if (type == 3 || type == 5) return false;
    count = static_cast<int32_t>(halve(n));
    first = halve(upper + address);
    return true;
}

int16_t validhexline(const std::string& s) {
    if (s.empty() || s[0] != ':') return 0;
    const int32_t n = readfield(s, 2, 2);
    if (n > 32) return 0;
    int32_t sum = n;
    for (int32_t k = 1; k <= n + 3; ++k) sum = (sum + readfield(s, 2 * k + 2, 2)) % 256;
    const int32_t c = readfield(s, 2 * n + 10, 2);
    return (256 - sum) % 256 == c ? 1 : 0;
}

bool loadhexfile(State& s, Frontend& f, const std::string& filename) {
    f.fileListClear();
    FILE* fp = openforreading(filename);
    bool ok = false;
    bool ended = false;  // by the end record, not the end of the file
    Given given;
    if (fp) {
        cleararrays(s);
        // Each load starts from the start-up image, so no word of an earlier
        // file is burnt where this one has a gap.
        clearwords(s);
        std::string line;
        long long number = 0;
        int64_t upper = 0;  // from the latest type 02 or 04 record
        Outcome outcome = Outcome::more;
        while (outcome == Outcome::more) {
            if (!readitem(fp, line)) {
                outcome = std::ferror(fp) ? Outcome::failed : Outcome::done;
                break;
            }
            ++number;
            f.fileListAdd(numbered(number, line));
            if (validhexline(line) == 0) {
                if (line.empty() || line[0] != ':') {
                    f.message("Invalid line (skipped): '" + line.substr(0, quoted) + "'", "INVALID LINE!");
                    continue;
                }
                f.message("Unable to decode line: '" + line.substr(0, quoted) + "'", "UNABLE TO DECODE!");
                outcome = Outcome::failed;
                break;
            }
            outcome = takerecord(s, f, line, upper, given);
            if (outcome == Outcome::done) ended = true;
        }
        // A read error part-way (an unreadable disk, say) fails the load like
        // a file that cannot be opened: nothing half-read is offered for Burn.
        if (outcome == Outcome::done && std::ferror(fp)) outcome = Outcome::failed;
        ok = outcome == Outcome::done;
    }

    if (ok) {
        f.statusClear();
        f.statusAdd(counted("Program memory loaded: ", s.progused));
        f.statusAdd(counted("Configuration loaded:  ", s.configused));
        f.statusAdd(counted("ID memory loaded:      ", s.idused));
        f.statusAdd(counted("Data memory loaded:    ", s.dataused));
        givenlines(f, given, {s.progused, s.configused, s.idused, s.dataused});
        if (!ended)
            f.statusAdd("quibb9x: the file ends without its end record (:00000001FF): cut short? "
                        "Only what it holds was loaded.");
        std::fclose(fp);
        return true;
    }

    if (fp) std::fclose(fp);
    cleararrays(s);
    f.message("Unable to load file.", "ERROR!");
    f.statusClear();
    f.statusAdd("No file loaded.");
    return false;
}
