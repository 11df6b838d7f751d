// SPDX-License-Identifier: GPL-2.0-or-later
#include "serial.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "cli/console.h"
#include "core/outputfile.h"
#include "core/stop.h"
#include "image/hexreader.h"
#include "image/image.h"

namespace cli {
namespace {

const char* const header = "quibb9x serial numbers, format 1";
const char* const headerstem = "quibb9x serial numbers, format ";
constexpr off_t largestcounter = 1 << 20;
constexpr size_t quoted = 41;

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string hex(int32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

std::optional<uint64_t> digits(const std::string& text, int base) {
    if (text.empty() || text.size() > 16) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        int d;
        if (std::isdigit(u)) d = c - '0';
        else if (base == 16 && std::isxdigit(u)) d = std::tolower(u) - 'a' + 10;
        else return std::nullopt;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    if (value > largestserial) return std::nullopt;
    return value;
}

// The digits of a number in a base, least significant first, `width` of
// them; false when the number needs more.
bool spread(uint64_t number, uint64_t base, int width, std::vector<uint64_t>& out) {
    out.assign(static_cast<size_t>(width), 0);
    for (int i = 0; i < width; ++i) {
        out[static_cast<size_t>(i)] = number % base;
        number /= base;
    }
    return number == 0;
}

const char* formatname(SerialFormat f) {
    switch (f) {
    case SerialFormat::bin: return "bin";
    case SerialFormat::bcd: return "bcd";
    case SerialFormat::ascii: return "ascii";
    }
    return "bin";
}

std::string largestfor(const SerialSetup& setup) {
    if (setup.format == SerialFormat::bin && setup.width >= 7) return std::to_string(largestserial);
    const uint64_t base = setup.format == SerialFormat::bin ? 256 : setup.format == SerialFormat::bcd ? 100 : 10;
    uint64_t most = 1;
    for (int i = 0; i < setup.width; ++i) most *= base;
    return std::to_string(most - 1);
}

std::string counting(int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// A range of addresses as our lines show them.
std::string range(const char* what, const char* whats, int32_t first, int width, int digits) {
    if (width == 1) return std::string(what) + " " + hex(first, digits);
    return std::string(whats) + " " + hex(first, digits) + " to " + hex(first + width - 1, digits);
}

std::string named(const std::string& path) { return "the counter file " + escaped(path); }

// The kind of a file that is not a regular one, for a refusal.
std::string kindof(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

// Its directory made durable too: a rename is only kept once the directory
// is written.
void syncdirectory(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::optional<uint64_t> parsenumber(const std::string& text) {
    const std::string t = lower(text);
    if (t.rfind("0x", 0) == 0) return digits(t.substr(2), 16);
    return digits(t, 10);
}

bool parseplace(const std::string& text, SerialSetup& setup) {
    const std::string t = lower(text);
    if (t == "id") {
        setup.place = SerialPlace::id;
        setup.address = 0;
        return true;
    }
    const size_t colon = t.find(':');
    if (colon == std::string::npos) return false;
    const std::string kind = t.substr(0, colon);
    const auto address = parsenumber(t.substr(colon + 1));
    if (!address || *address > 0xFFFF) return false;
    if (kind == "eeprom") setup.place = SerialPlace::eeprom;
    else if (kind == "retlw") setup.place = SerialPlace::retlw;
    else return false;
    setup.address = static_cast<int32_t>(*address);
    return true;
}

std::optional<SerialFormat> parseformat(const std::string& text) {
    const std::string t = lower(text);
    if (t == "bin") return SerialFormat::bin;
    if (t == "bcd") return SerialFormat::bcd;
    if (t == "ascii") return SerialFormat::ascii;
    return std::nullopt;
}

std::vector<uint8_t> serialbytes(uint64_t number, const SerialSetup& setup, std::string& why) {
    const uint64_t base = setup.format == SerialFormat::bin ? 256 : setup.format == SerialFormat::bcd ? 100 : 10;
    std::vector<uint64_t> d;
    if (!spread(number, base, setup.width, d)) {
        why = "serial " + std::to_string(number) + " does not fit " +
              counting(setup.width, "byte", "bytes") + " as " + formatname(setup.format) +
              " (the largest is " + largestfor(setup) + "); give a larger --serial-width";
        return {};
    }
    std::vector<uint8_t> bytes;
    for (uint64_t v : d) {
        if (setup.format == SerialFormat::bcd) v = (v / 10) << 4 | v % 10;
        if (setup.format == SerialFormat::ascii) v += '0';
        bytes.push_back(static_cast<uint8_t>(v));
    }
    if (setup.bigendian) std::reverse(bytes.begin(), bytes.end());
    return bytes;
}

std::vector<int32_t> serialwords(const SerialSetup& setup) {
    const int32_t first = setup.place == SerialPlace::id       ? regionbase(Region::id)
                          : setup.place == SerialPlace::eeprom ? regionbase(Region::data) + setup.address
                                                              : setup.address;
    std::vector<int32_t> words;
    for (int i = 0; i < setup.width; ++i) words.push_back(first + i);
    return words;
}

std::string describeplace(const SerialSetup& setup) {
    switch (setup.place) {
    case SerialPlace::id: return range("the ID word", "the ID words", regionbase(Region::id), setup.width, 4);
    case SerialPlace::eeprom:
        return range("data EEPROM byte", "data EEPROM bytes", setup.address, setup.width, 2);
    case SerialPlace::retlw:
        return range("the RETLW at program word", "RETLWs at program words", setup.address, setup.width, 4);
    }
    return {};
}

std::string placeproblem(const SerialSetup& setup, const ChipRow& row) {
    const std::string chip = "the " + chiplabel(row);
    switch (setup.place) {
    case SerialPlace::id:
        if (setup.width <= row.words(Kind::id)) return {};
        return "--serial-at id takes one byte per ID word, and " + chip + " has " +
               counting(row.words(Kind::id), "ID word", "ID words") + ": give --serial-width " +
               std::to_string(row.words(Kind::id)) + " or less";
    case SerialPlace::eeprom:
        if (row.words(Kind::data) == 0) return chip + " has no data EEPROM; use --serial-at id or retlw:ADDR";
        if (setup.address + setup.width <= row.words(Kind::data)) return {};
        return "--serial-at eeprom:" + hex(setup.address, 2) + " with --serial-width " +
               std::to_string(setup.width) + " runs past the end of " + chip + "'s data EEPROM (" +
               counting(row.words(Kind::data), "byte", "bytes") + ", 0x00 to " + hex(row.words(Kind::data) - 1, 2) + ")";
    case SerialPlace::retlw:
        if (setup.address + setup.width <= row.words(Kind::program)) return {};
        return "--serial-at retlw:" + hex(setup.address, 4) + " with --serial-width " +
               std::to_string(setup.width) + " runs past the end of " + chip + "'s program memory (" +
               counting(row.words(Kind::program), "word", "words") + ", 0x0000 to " + hex(row.words(Kind::program) - 1, 4) + ")";
    }
    return {};
}

std::optional<Clash> fileclash(const std::string& hexfile, const SerialSetup& setup) {
    const std::unique_ptr<FILE, int (*)(FILE*)> fp(std::fopen(hexfile.c_str(), "rb"), std::fclose);
    if (!fp) return std::nullopt;  // the HEX file's own check says why
    const std::vector<int32_t> words = serialwords(setup);
    std::string line;
    long long number = 0;
    int64_t upper = 0;
    while (readitem(fp.get(), line)) {
        ++number;
        if (validhexline(line) == 0) continue;
        if (readfield(line, 8, 2) == 1) break;
        int64_t first = 0;
        int32_t count = 0;
        if (!recordwords(line, upper, first, count)) continue;
        for (int32_t w : words)
            if (w >= first && w < first + count) return Clash{number, w};
    }
    return std::nullopt;
}

void putserial(State& s, const SerialSetup& setup, const std::vector<uint8_t>& bytes) {
    const int32_t n = static_cast<int32_t>(bytes.size());
    // Words the file left out below the serial stay erased.
    auto place = [&](int16_t* image, int16_t& used, int32_t first, int16_t erased, int16_t over) {
        for (int32_t i = used; i < first; ++i) image[i] = erased;
        for (int32_t i = 0; i < n; ++i) image[first + i] = static_cast<int16_t>(over | bytes[i]);
        used = static_cast<int16_t>(std::max<int32_t>(used, first + n));
    };
    switch (setup.place) {
    case SerialPlace::id: place(s.idmem.data(), s.idused, 0, 0x3FFF, 0); break;
    case SerialPlace::eeprom: place(s.datamem.data(), s.dataused, setup.address, 0xFF, 0); break;
    // RETLW k: 11 01xx kkkk kkkk.
    case SerialPlace::retlw: place(s.progmem.data(), s.progused, setup.address, 0x3FFF, 0x3400); break;
    }
}

bool parsecounter(const std::string& text, Counter& out, std::string& why) {
    if (text.empty()) {
        why = "is empty";
        return false;
    }
    std::vector<std::string> lines;
    for (size_t at = 0; at <= text.size();) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            if (at < text.size()) lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    if (lines.empty() || lines[0] != header) {
        const std::string first = lines.empty() ? std::string() : lines[0];
        if (first.rfind(headerstem, 0) == 0)
            why = "line 1: format '" + escaped(first.substr(std::strlen(headerstem)).substr(0, quoted)) +
                  "' is not one this quibb9x reads";
        else
            why = "line 1 reads '" + escaped(first.substr(0, quoted)) +
                  "': not a counter file of quibb9x (its first line is '" + header + "')";
        return false;
    }
    Counter c;
    bool sawnext = false;
    std::map<uint64_t, size_t> listed;  // taken or failed number -> its line
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string where = "line " + std::to_string(i + 1);
        const std::string& l = lines[i];
        const size_t blank = l.find(' ');
        const std::string word = l.substr(0, blank);
        const auto value = blank == std::string::npos ? std::nullopt : digits(l.substr(blank + 1), 10);
        if ((word != "next" && word != "taken" && word != "failed") || !value) {
            why = where + " reads '" + escaped(l.substr(0, quoted)) +
                  "', not 'next N', 'taken N' or 'failed N'";
            return false;
        }
        const uint64_t number = value.value_or(0);
        if (word == "next") {
            if (sawnext) {
                why = where + ": a second 'next' line";
                return false;
            }
            sawnext = true;
            c.next = number;
            continue;
        }
        if (!listed.emplace(number, i + 1).second) {
            why = where + ": " + std::to_string(number) + " is listed twice";
            return false;
        }
        (word == "taken" ? c.taken : c.failed).insert(number);
    }
    if (!sawnext) {
        why = "has no 'next N' line";
        return false;
    }
    for (const auto& [number, line] : listed) {
        if (number < c.next) continue;
        why = "line " + std::to_string(line) + ": " + std::to_string(number) +
              " was never given out (the next number is " + std::to_string(c.next) + ")";
        return false;
    }
    out = c;
    return true;
}

std::string formatcounter(const Counter& c) {
    std::string text = std::string(header) + "\nnext " + std::to_string(c.next) + "\n";
    for (uint64_t n : c.taken) text += "taken " + std::to_string(n) + "\n";
    for (uint64_t n : c.failed) text += "failed " + std::to_string(n) + "\n";
    return text;
}

bool CounterFile::read(Counter& c, bool& missing, std::string& why) const {
    missing = false;
    struct stat st;
    if (::lstat(path_.c_str(), &st) != 0) {
        if (errno == ENOENT) {
            missing = true;
            return true;
        }
        why = "cannot read " + named(path_) + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISLNK(st.st_mode)) {
        why = named(path_) + " is a symbolic link; give the file itself, so that every run "
                             "counts in the same one";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = named(path_) + " is " + kindof(st.st_mode) + ", not a counter file";
        return false;
    }
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        why = "cannot read " + named(path_) + ": " + std::strerror(errno);
        return false;
    }
    std::string text;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (!ok) why = named(path_) + " is not a regular file";
    if (ok && st.st_size > largestcounter) {
        ok = false;
        why = named(path_) + " is larger than 1 MiB; it is not a counter file of quibb9x";
    }
    if (ok) {
        text.resize(static_cast<size_t>(st.st_size));
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        text.resize(done);
    }
    ::close(fd);
    if (!ok) return false;
    std::string what;
    if (parsecounter(text, c, what)) return true;
    why = named(path_) + (what.rfind("line ", 0) == 0 ? ", " : " ") + what;
    return false;
}

bool CounterFile::write(const Counter& c, std::string& why) const {
    output::File out;
    const std::string text = formatcounter(c);
    std::string reason;
    if (out.open(path_, reason) && out.write(text.data(), text.size()) && out.commit(reason)) {
        syncdirectory(path_);
        return true;
    }
    if (reason.empty()) reason = std::strerror(errno);
    why = "cannot write " + named(path_) + ": " + reason;
    return false;
}

bool CounterFile::change(const std::function<bool(Counter&, std::string&)>& edit,
                         std::string& why) {
    const std::string lockpath = path_ + ".lock";
    const int fd = ::open(lockpath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        why = "cannot lock " + named(path_) + " with " + escaped(lockpath) + ": " + std::strerror(errno);
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        why = "cannot lock " + named(path_) + ": " + escaped(lockpath) + " is not a regular file";
        return false;
    }
    // Another run holds the lock only while it reads and rewrites the file.
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR || stop::requested()) {
            const int error = errno;
            ::close(fd);
            why = "interrupted while waiting for the lock on " + named(path_);
            if (error != EINTR) why = "cannot lock " + named(path_) + ": " + std::strerror(error);
            return false;
        }
    }
    Counter c;
    bool missing = false;
    bool ok = read(c, missing, why);
    if (ok && missing) c.next = start_;
    ok = ok && edit(c, why) && write(c, why);
    ::close(fd);  // and with it the lock
    return ok;
}

bool CounterFile::check(uint64_t& next, std::string& why) const {
    Counter c;
    bool missing = false;
    if (!read(c, missing, why)) return false;
    next = missing ? start_ : c.next;
    // The file is replaced by a new one beside it: its place must take one.
    output::File probe;
    std::string reason;
    if (!probe.open(path_, reason)) {
        why = "cannot write " + named(path_) + ": " + reason;
        return false;
    }
    return true;
}

bool CounterFile::take(uint64_t& number, const std::function<std::string(uint64_t)>& fits,
                       std::string& why) {
    return change(
        [&](Counter& c, std::string& w) {
            w = fits(c.next);
            if (!w.empty()) return false;
            if (c.next > largestserial - step_) {
                w = named(path_) + ": the number after " + std::to_string(c.next) + " would pass " +
                    std::to_string(largestserial);
                return false;
            }
            number = c.next;
            c.next += step_;
            c.taken.insert(number);
            return true;
        },
        why);
}

bool CounterFile::finish(uint64_t number, bool passed, std::string& why) {
    return change(
        [&](Counter& c, std::string&) {
            c.taken.erase(number);
            if (!passed) c.failed.insert(number);
            return true;
        },
        why);
}

}  // namespace cli
