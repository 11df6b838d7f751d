// SPDX-License-Identifier: GPL-2.0-or-later
#include "checks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>

#include "cli/console.h"
#include "cli/interrupt.h"
#include "core/detect.h"
#include "core/lines.h"
#include "core/outputfile.h"
#include "core/protocol.h"
#include "core/stop.h"
#include "image/hexreader.h"
#include "image/image.h"
#include "operations/portcheck.h"
#include "devices/select.h"
#include "operations/readiness.h"
#include "portinfo.h"
#include "settings/settings.h"

namespace cli {
namespace {

constexpr off_t largesthexfile = 16 << 20;
constexpr size_t quoted = 41;  // characters of a bad line shown, as the reader does

int refuse(int status, const std::string& why) {
    std::cerr << "quibb9x: " << why << '\n' << std::flush;
    return status;
}

std::string hex2(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

std::string hex4(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFF);
    return text;
}

// Why one line would not load as a record, or empty.
std::string badrecord(const std::string& line) {
    if (line.empty() || line[0] != ':')
        return "not a HEX record ('" + escaped(line.substr(0, quoted)) +
               "'); the reader would skip it";
    const int32_t n = readfield(line, 2, 2);
    if (n > 32) return "byte count " + hex2(n) + " is more than 32";
    const size_t needed = 2 * static_cast<size_t>(n) + 11;
    if (line.size() < needed)
        return "record cut short: its byte count " + hex2(n) + " needs " +
               std::to_string(needed) + " characters, the line has " +
               std::to_string(line.size());
    // The reader skips blanks in a field and stops at another character, so
    // such a field could still fit the checksum and give a word the file
    // does not hold: every character of a record is a hexadecimal digit.
    for (size_t at = 1; at < needed; ++at) {
        const auto c = static_cast<unsigned char>(line[at]);
        if (std::isxdigit(c)) continue;
        const std::string shown = c == ' ' ? "a blank" : c == '\t' ? "a tab" : "'" + escaped(line.substr(at, 1)) + "'";
        return shown + " at column " + std::to_string(at + 1) +
               " where the record needs a hexadecimal digit";
    }
    int32_t sum = n;
    for (int32_t k = 1; k <= n + 3; ++k) sum = (sum + readfield(line, 2 * k + 2, 2)) % 256;
    const int32_t found = readfield(line, 2 * n + 10, 2);
    const int32_t wanted = (256 - sum) % 256;
    if (found != wanted)
        return "checksum " + hex2(found) + " is wrong, the record needs " + hex2(wanted);
    return {};
}

// A region of the image as a refusal names it.
struct Bounds {
    const char* name;
    int32_t base;
    int16_t size;
};

const char* regionname(Region r) {
    switch (r) {
    case Region::program: return "program word";
    case Region::id: return "ID location";
    case Region::config: return "configuration word";
    case Region::data: return "data byte";
    }
    return "";
}

// The first word of a record at `first` (of `count` words) that the chosen
// chip does not have, or -1: the reader would refuse the record.
int64_t beyondchip(const State& s, int64_t first, int32_t count, Bounds& region) {
    const Region r = regionat(static_cast<int32_t>(std::min<int64_t>(first, regionbase(Region::data))));
    region = {regionname(r), regionbase(r), imagewords(s, r)};
    const int64_t end = static_cast<int64_t>(region.base) + region.size;  // one past the last word
    // A record without a whole word stores nothing, and is refused as the
    // reader refuses it: when its address lies past the end.
    if (count == 0) return first > end ? first : -1;
    if (first + count <= end) return -1;
    return std::max<int64_t>(first, end);
}

// Data byte k lies at byte address 0x4200 + 2k, its high byte (00) after
// it: a data record that starts at an odd address, or holds an odd number
// of bytes, would lose a byte. Why, or empty.
std::string straydatabyte(const std::string& line, int64_t upper, int64_t first) {
    if (first < regionbase(Region::data)) return {};
    const int32_t n = readfield(line, 2, 2);
    const int64_t at = upper + readfield(line, 4, 4);
    char text[160];
    if (at % 2 != 0)
        std::snprintf(text, sizeof text,
                      "a data record at the odd byte address 0x%04llX (data byte k lies at 0x4200 + "
                      "2k, followed by its high byte 00)",
                      static_cast<long long>(at));
    else if (n % 2 != 0)
        std::snprintf(text, sizeof text,
                      "a data record of %d bytes leaves its last byte without the high byte 00 "
                      "that follows each data byte",
                      n);
    else
        return {};
    return text;
}

std::string wordsbeyond(int64_t word, const Bounds& r) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "word 0x%04llX is beyond the chosen chip, which has %d %s%s (0x%04X to 0x%04X)",
                  static_cast<long long>(word), r.size, r.name, r.size == 1 ? "" : "s", r.base,
                  r.base + r.size - 1);
    return text;
}

}  // namespace

int checkport(const Options& o, const State& s) {
    if (s.portaddr != 0) return exitok;
    const std::string how =
        "choose one with --port (lpt1, lpt2 or a hexadecimal address; 'quibb9x ports' "
        "lists this machine's)";
    if (o.overrides.port) return refuse(exitusage, "--port 0 names no port; " + how);
    return refuse(exitusage, "no port chosen (no --port, and the settings file gives none); " + how);
}

int checkhexfile(const std::string& path, const State& s) {
    const std::string name = escaped(path);
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return refuse(exitfailed, "cannot read " + name + ": " + std::strerror(errno) +
                                      "; check the name and that you may read it");
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return refuse(exitfailed, name + " is not a regular file; give a HEX file");
    }
    if (st.st_size > largesthexfile) {
        close(fd);
        return refuse(exitfailed, name + " is larger than 16 MiB (" + std::to_string(st.st_size) +
                                      " bytes); no HEX file for these chips is that large");
    }
    const std::unique_ptr<FILE, int (*)(FILE*)> fp(fdopen(fd, "rb"), std::fclose);
    if (!fp) {
        close(fd);
        return refuse(exitfailed, "cannot read " + name + ": " + std::strerror(errno));
    }
    std::string line;
    long long number = 0;
    int datarecords = 0;
    int64_t upper = 0;
    bool ended = false;
    while (readitem(fp.get(), line)) {
        if (stop::requested()) throw Interrupted{};
        ++number;
        if (const std::string why = badrecord(line); !why.empty())
            return refuse(exitfailed, name + " line " + std::to_string(number) + ": " + why +
                                          "; mend the file, nothing was sent to the chip");
        const int32_t type = readfield(line, 8, 2);
        if (type == 1) {  // the reader stops here too
            ended = true;
            break;
        }
        int64_t first = 0;
        int32_t count = 0;
        Bounds region{};
        const int64_t before = upper;
        if (recordwords(line, upper, first, count)) {
            if (const int64_t word = beyondchip(s, first, count, region); word >= 0)
                return refuse(exitfailed, name + " line " + std::to_string(number) + ": " +
                                              wordsbeyond(word, region) +
                                              "; give the chip's own --device or mend the file, "
                                              "nothing was sent to the chip");
            if (const std::string why = straydatabyte(line, before, first); !why.empty())
                return refuse(exitfailed, name + " line " + std::to_string(number) + ": " + why +
                                              "; mend the file, nothing was sent to the chip");
        }
        // Types 02 to 05 carry addresses, not words.
        if ((type < 2 || type > 5) && readfield(line, 2, 2) >= 2) ++datarecords;
    }
    if (std::ferror(fp.get())) return refuse(exitfailed, "cannot read " + name + ": input/output error");
    if (datarecords == 0)
        return refuse(exitfailed, name + " holds no data record; give a HEX file with the "
                                         "chip's words (lines such as :02000000...)");
    // A file cut at a line boundary is otherwise whole: half a program
    // would be burnt.
    if (!ended)
        return refuse(exitfailed, name + " ends without its end record (:00000001FF) after line " +
                                      std::to_string(number) +
                                      ": cut short? Make the file again; nothing was sent to the chip");
    return exitok;
}

int checkconfigword(const Options& o, const State& s, bool filehasone) {
    if (filehasone || o.overrides.config || !readsettings(s).cword.empty()) return exitok;
    return refuse(exitusage, escaped(o.file) +
                                 " has no configuration word and the settings file gives "
                                 "none; give one with --config (e.g. --config 0x3FF1)");
}

int checktarget(const std::string& path) {
    const std::string name = escaped(path);
    if (path == "-") return exitok;
    struct stat st;
    std::string why;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return refuse(exitfailed, "cannot write " + name + ": it is a directory; give a file name");
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        // A terminal, pipe or device is written as a stream.
        if (access(path.c_str(), W_OK) == 0) return exitok;
        why = std::strerror(errno);
    } else {
        // The dump goes into a new file beside the target first: try one.
        output::File probe;
        if (probe.open(path, why)) return exitok;
    }
    return refuse(exitfailed, "cannot write " + name + ": " + why +
                                  "; choose another place, nothing was read from the chip");
}

int checkboard(State& s, bool skip) {
    if (skip) return exitok;
    const auto absent = noboard(s);
    if (!absent) return exitok;
    std::string why = "no board answers at port " + portinfo::hex(static_cast<uint16_t>(s.portaddr));
    // The port library has said why on standard error, once, when it first
    // reached for the port: the reason is not repeated here.
    if (absent->unreachable)
        why += ", which the port library cannot reach (its line above says why and what to do)";
    else if (!absent->undocumented.empty())
        why += " as the board check expects: " + absent->undocumented +
               "; if the board is connected and powered, give --no-check to go on without the check";
    else
        why += "; check the port address ('quibb9x ports'), the cable and the board's power";
    return refuse(exitfailed, why);
}

int checkprotection(State& s) {
    const auto word = protectedword(s);
    if (!word) return exitok;
    const ChipRow& row = currentchip(s);
    const std::string erase = "only an erase (quibb9x erase) lifts the protection, and it clears the chip";
    if (isoriginal(row))
        return refuse(exitprotected, "the chip is code-protected (configuration word " + hex4(*word) +
                                         "): its memory cannot be read, so no file was written; " + erase);
    // The chips after the original ones say which of their words it closes.
    const std::string clause = closedclause(row, closedranges(row, static_cast<uint16_t>(*word)));
    return refuse(exitprotected, "the chip is code-protected (configuration word " + hex4(*word) +
                                     ": " + clause + "): a read-out would pass those zeros off as "
                                     "the chip's words, so no file was written; " + erase);
}

int listports(std::ostream& out) {
    const portinfo::Roots roots = portinfo::rootsfromenv();
    const auto known = portinfo::scanports(roots.proc);
    if (known.empty()) return refuse(exitfailed, portinfo::nodriver());
    for (const auto& k : known) {
        const std::string path = portinfo::devicepath(roots.dev, k.number);
        out << "parport" << k.number << "  " << portinfo::hex(k.base) << "  " << escaped(path);
        const int error = portinfo::tryopen(path);
        if (error == 0) {
            out << "  you may open it\n";
            continue;
        }
        const std::string fix = portinfo::fixfor(error);
        out << "  you may not open it: " << std::strerror(error) << (fix.empty() ? "" : ". " + fix)
            << '\n';
    }
    out << std::flush;
    return exitok;
}

}  // namespace cli
