// SPDX-License-Identifier: GPL-2.0-or-later
#include "settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <sstream>
#include <vector>

#include "core/outputfile.h"
#include "core/startup.h"
#include "devices/chipname.h"
#include "devices/select.h"
#include "image/image.h"

namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }
// Around names and values a run of CRs (a line end written twice over) is a
// blank too.
bool edge(char c) { return blank(c) || c == '\r'; }

std::string trim(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && edge(text[first])) ++first;
    while (last > first && edge(text[last - 1])) --last;
    return text.substr(first, last - first);
}

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The file as lines without their ends; crlf tells which end it uses.
struct Profile {
    std::vector<std::string> lines;
    bool crlf = false;
};

constexpr off_t largestprofile = 1 << 20;

// The file's bytes, read only when it is a regular file of at most 1 MiB
// (a link to /dev/zero or a fifo is refused without reading it). A missing
// file is empty; otherwise false with the reason.
bool readbounded(const std::string& path, std::string& text, std::string& why) {
    text.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        why = std::strerror(errno);
        return false;
    }
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok) why = std::strerror(errno);
    else if (!S_ISREG(st.st_mode)) why = "not a regular file", ok = false;
    else if (st.st_size > largestprofile) why = "larger than 1 MiB", ok = false;
    char buffer[65536];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) why = std::strerror(errno), ok = false;
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
        // It may grow while being read.
        if (text.size() > static_cast<size_t>(largestprofile)) why = "larger than 1 MiB", ok = false;
    }
    ::close(fd);
    return ok;
}

// False when the file exists but cannot be read or is refused; a missing
// file is empty.
bool loadProfile(const std::string& path, Profile& p) {
    std::string text, why;
    if (!readbounded(path, text, why)) return false;
    std::istringstream in(text);
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        const bool cr = !line.empty() && line.back() == '\r';
        if (cr) line.pop_back();
        if (first) p.crlf = cr;
        first = false;
        p.lines.push_back(line);
    }
    return true;
}

// The name of a "[name]" line, or nullopt for any other line.
std::optional<std::string> sectionName(const std::string& line) {
    const std::string t = trim(line);
    if (t.empty() || t.front() != '[') return std::nullopt;
    const size_t close = t.find(']');
    return trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

bool comment(const std::string& line) {
    const std::string t = trim(line);
    return !t.empty() && (t.front() == ';' || t.front() == '#');
}

// The key of a "key=value" line, or nullopt.
std::optional<std::string> keyName(const std::string& line) {
    if (comment(line)) return std::nullopt;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return std::nullopt;
    return trim(line.substr(0, eq));
}

// Index of the first line of the named section, or -1.
long findSection(const Profile& p, const std::string& section) {
    for (size_t i = 0; i < p.lines.size(); ++i)
        if (auto name = sectionName(p.lines[i]); name && sameName(*name, section))
            return static_cast<long>(i);
    return -1;
}

// One past the last line of the section that starts at `start`.
size_t sectionEnd(const Profile& p, long start) {
    size_t i = static_cast<size_t>(start) + 1;
    while (i < p.lines.size() && !sectionName(p.lines[i])) ++i;
    return i;
}

long findKey(const Profile& p, long section, const std::string& key) {
    const size_t end = sectionEnd(p, section);
    for (size_t i = static_cast<size_t>(section) + 1; i < end; ++i)
        if (auto name = keyName(p.lines[i]); name && sameName(*name, key))
            return static_cast<long>(i);
    return -1;
}

// Writes the whole file through the output file (core/outputfile.h): beside
// the file, renamed over it, so a failure at any point leaves the old file
// as it was. A linked settings file has its target replaced (the link
// stays), with the target's owner, group and permission bits.
bool storeProfile(const std::string& path, const Profile& p) {
    std::string text;
    const char* end = p.crlf ? "\r\n" : "\n";
    for (const auto& line : p.lines) text += line + end;
    output::File out;
    std::string why;
    return out.open(path, why) && !out.stream() && out.write(text.data(), text.size()) &&
           out.commit(why);
}

bool lineSafe(const std::string& text) {
    return text.find_first_of("\r\n") == std::string::npos;
}

}  // namespace

std::string profileread(const std::string& path, const std::string& section,
                        const std::string& key, const std::string& fallback,
                        std::size_t size) {
    if (size == 0) return "";
    std::string value = fallback;
    Profile p;
    if (loadProfile(path, p)) {
        const long sec = findSection(p, section);
        const long line = sec < 0 ? -1 : findKey(p, sec, key);
        if (line >= 0) {
            const std::string& text = p.lines[static_cast<size_t>(line)];
            value = trim(text.substr(text.find('=') + 1));
        }
    }
    if (value.size() > size - 1) value.resize(size - 1);
    return value;
}

bool profilewrite(const std::string& path, const std::string& section,
                  const std::string& key, const std::string& value) {
    // A line end inside a name or value would break the file's layout.
    if (!lineSafe(section) || !lineSafe(key) || !lineSafe(value)) return false;
    Profile p;
    if (!loadProfile(path, p)) return false;
    const std::string entry = key + "=" + value;
    const long sec = findSection(p, section);
    if (sec < 0) {
        if (!p.lines.empty() && !trim(p.lines.back()).empty()) p.lines.push_back("");
        p.lines.push_back("[" + section + "]");
        p.lines.push_back(entry);
    } else if (const long line = findKey(p, sec, key); line >= 0) {
        p.lines[static_cast<size_t>(line)] = entry;
    } else {
        // After the section's last non-blank line, before the blank lines
        // that part it from the next section.
        size_t at = sectionEnd(p, sec);
        while (at > static_cast<size_t>(sec) + 1 && trim(p.lines[at - 1]).empty()) --at;
        p.lines.insert(p.lines.begin() + static_cast<long>(at), entry);
    }
    return storeProfile(path, p);
}

bool profileremove(const std::string& path, const std::string& section,
                   const std::string& key) {
    Profile p;
    if (!loadProfile(path, p)) return false;
    const long sec = findSection(p, section);
    const long line = sec < 0 ? -1 : findKey(p, sec, key);
    if (line < 0) return true;
    p.lines.erase(p.lines.begin() + line);
    return storeProfile(path, p);
}

std::string settingsproblem(const std::string& path) {
    std::string text, why;
    return readbounded(path, text, why) ? "" : why;
}

std::string cutAtNull(const std::string& text) {
    const size_t nul = text.find('\0');
    return nul == std::string::npos ? text : text.substr(0, nul);
}

std::string readIniValue(const std::string& path, const std::string& section,
                         const std::string& key) {
    // The file's own path is the default, so a missing value comes back as
    // (the first 49 characters of) the path; anything equal to a leading
    // part of it counts as absent.
    const std::string got = profileread(path, section, key, path, 50);
    if (got.empty()) return "";
    const std::string t = cutAtNull(got);
    if (t.size() <= path.size() && path.compare(0, t.size(), t) == 0) return "";
    return t;
}

std::string inipath(const State& s) { return s.startdir + "/quibb9x.ini"; }

std::string numprint(int32_t value) {
    return (value >= 0 ? " " : "") + std::to_string(value);
}

int64_t readnumber(const std::string& text) {
    constexpr int64_t ceiling = 1'000'000'000'000'000;  // far past any field
    size_t i = 0;
    while (i < text.size() && blank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (blank(text[i])) continue;
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) break;
        value = std::min(ceiling, value * 10 + (text[i] - '0'));
    }
    return negative ? -value : value;
}

std::optional<int16_t> readint16(const std::string& text) {
    const int64_t v = readnumber(text);
    if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max())
        return std::nullopt;
    return static_cast<int16_t>(v);
}

std::optional<int16_t> readhex16(const std::string& text) {
    uint32_t value = 0;
    int significant = 0;
    for (char c : text) {
        if (blank(c)) continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) break;
        const int d = std::isdigit(static_cast<unsigned char>(c))
                          ? c - '0'
                          : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
        if (significant == 0 && d == 0) continue;
        if (++significant > 4) return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(d);
    }
    return static_cast<int16_t>(static_cast<uint16_t>(value));
}

bool save_ini(const State& s, const std::string& loadtext) {
    const std::string path = inipath(s);
    bool ok = profilewrite(path, "OPTIONS", "PIC", numprint(s.picmodel));
    ok = profilewrite(path, "OPTIONS", "LPT", numprint(s.portaddr)) && ok;
    ok = profilewrite(path, "DIRECTORIES", "LOAD", loadtext) && ok;
    ok = profilewrite(path, "OPTIONS", "CWORD", numprint(s.configmem[0])) && ok;
    // CONFIG2, once given, on a chip that has one; other files stay as they were.
    if (currentchip(s).words(Kind::config) >= 2 && s.configused >= 2)
        ok = profilewrite(path, "OPTIONS", "CWORD2", numprint(s.configmem[1])) && ok;
    // A file for the original board stays as it always was.
    if (!isoriginal(s.wiring))
        ok = profilewrite(path, "OPTIONS", "BOARD", s.wiring.name) && ok;
    else if (!profileread(path, "OPTIONS", "BOARD", "", 4096).empty())
        ok = profilewrite(path, "OPTIONS", "BOARD", originalwiring().name) && ok;
    // Likewise a file of the usual 7 ms.
    if (s.tprog != 7 || !profileread(path, "OPTIONS", "TPROG", "", 64).empty())
        ok = profilewrite(path, "OPTIONS", "TPROG", numprint(s.tprog)) && ok;
    return ok;
}

bool savechip(const State& s, const std::string& chip) {
    const std::string path = inipath(s);
    if (chip.empty()) return profileremove(path, "OPTIONS", "CHIP");
    return profilewrite(path, "OPTIONS", "CHIP", chip);
}

IniValues readsettings(const State& s) {
    const std::string path = inipath(s);
    IniValues v;
    v.pic = readIniValue(path, "OPTIONS", "PIC");
    v.lpt = readIniValue(path, "OPTIONS", "LPT");
    v.cword = readIniValue(path, "OPTIONS", "CWORD");
    v.cword2 = readIniValue(path, "OPTIONS", "CWORD2");
    v.load = readIniValue(path, "DIRECTORIES", "LOAD");
    // A board file's path may be long; the other values keep their cut.
    v.board = cutAtNull(profileread(path, "OPTIONS", "BOARD", "", 4096));
    v.chip = readIniValue(path, "OPTIONS", "CHIP");
    v.tprog = readIniValue(path, "OPTIONS", "TPROG");
    return v;
}

std::optional<int16_t> readtprog(const std::string& text) {
    if (text.empty()) return std::nullopt;
    const int64_t v = readnumber(text);
    if (v < 7 || v > 20) return std::nullopt;
    return static_cast<int16_t>(v);
}

PortChoice portchoice(const std::string& lpt) {
    const int64_t v = readnumber(lpt);
    if (v == 888) return {4, std::nullopt};
    if (v == 632) return {5, std::nullopt};
    // Signed (as saved) or unsigned 16-bit patterns both name an address.
    if (v < -32768 || v > 65535) return {6, std::nullopt};
    return {6, hexupper(static_cast<uint16_t>(v))};
}

ChipChoice chipchoice(const IniValues& values, const Overrides& o) {
    ChipChoice c;
    if (auto pic = readint16(values.pic)) c.row = chipbymodel(*pic);
    if (chipnamekey(values.chip) == "AUTO") {
        c.automatic = true;
    } else if (!values.chip.empty()) {
        if (const ChipRow* row = findchip(values.chip)) c.row = row;
        else c.unknown = values.chip;
    }
    if (o.device) c.row = chipbymodel(*o.device);
    if (o.chip) c.row = o.chip;
    if (o.device || o.chip) c.automatic = false;
    if (o.autodevice) c.automatic = true;
    return c;
}

ChipChoice applysettings(State& s, ConfigEditor& editor, const IniValues& values,
                         const Overrides& o) {
    if (auto pic = readint16(values.pic)) s.picmodel = *pic;
    const ChipChoice choice = chipchoice(values, o);
    if (choice.row) selectchip(s, *choice.row);

    const PortChoice port = portchoice(values.lpt);
    if (port.option == 4) s.portaddr = LPT1;
    else if (port.option == 5) s.portaddr = LPT2;
    else if (port.text)
        if (auto addr = readhex16(*port.text)) s.portaddr = *addr;

    if (auto word = readint16(values.cword)) s.configmem[0] = *word;
    editor.updateC(s);
    if (auto ms = readtprog(values.tprog)) s.tprog = *ms;
    return choice;
}
