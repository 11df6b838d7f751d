#include "capture.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform.h"
#include "startup.h"

namespace capture {
namespace {

// The wires, in the order of their declaration, and their identifiers.
enum Wire { VPP, CLOCK, DATA, DATA_DIR, DATA_IN, WIRES };
constexpr const char* names[WIRES] = {"vpp", "clock", "data", "data_dir", "data_in"};
constexpr char ids[WIRES] = {'v', 'k', 'd', 'o', 'i'};

// Written out whenever this much text has gathered: a few writes per burn.
constexpr std::size_t BLOCK = 1 << 20;

struct Dump {
    std::FILE* file = nullptr;
    std::string text;
    std::string failure;  // the first write that failed
    int64_t startNs = 0;
    int64_t stampNs = -1;  // the last time written
    uint16_t base = 0;
    char levels[WIRES] = {'x', 'x', 'x', 'x', 'x'};
};

Dump dump;
bool exitHookSet = false;

void flush() {
    if (dump.text.empty()) return;
    if (dump.failure.empty() &&
        std::fwrite(dump.text.data(), 1, dump.text.size(), dump.file) != dump.text.size())
        dump.failure = std::strerror(errno);
    dump.text.clear();
}

void stamp(int64_t now) {
    const int64_t t = now - dump.startNs;
    if (t <= dump.stampNs) return;  // one stamp per instant, never going back
    dump.stampNs = t;
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, t).ptr;
    dump.text += '#';
    dump.text.append(digits, end);
    dump.text += '\n';
}

void set(Wire w, char level, int64_t now) {
    if (dump.levels[w] == level) return;
    stamp(now);
    dump.levels[w] = level;
    dump.text += level;
    dump.text += ids[w];
    dump.text += '\n';
}

char bit(bool on) { return on ? '1' : '0'; }

void header() {
    char date[64] = "";
    const std::time_t now = std::time(nullptr);
    if (std::tm local{}; localtime_r(&now, &local))
        std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &local);
    std::string& t = dump.text;
    t += "$date ";
    t += date;
    State versioned;
    setversion(versioned);
    t += " $end\n$version quibb9x " + versioned.version + " $end\n";
    t += "$comment the programming board's lines as the PC drives and reads them $end\n";
    t += "$timescale 1 ns $end\n$scope module board $end\n";
    for (int w = 0; w < WIRES; ++w) {
        t += "$var wire 1 ";
        t += ids[w];
        t += ' ';
        t += names[w];
        t += " $end\n";
    }
    t += "$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n";
    for (int w = 0; w < WIRES; ++w) {
        t += 'x';
        t += ids[w];
        t += '\n';
    }
    t += "$end\n";
}

void closeAtExit() {
    std::string why;
    close(why);
}

}  // namespace

bool open(const std::string& path, std::string& why) {
    if (std::string earlier; active()) close(earlier);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        why = std::strerror(errno);
        return false;
    }
    dump = Dump{};
    dump.file = f;
    dump.text.reserve(BLOCK + 4096);
    dump.startNs = platform::waits().nowNs();
    dump.stampNs = 0;
    header();
    if (!exitHookSet) exitHookSet = std::atexit(closeAtExit) == 0;
    return true;
}

bool close(std::string& why) {
    if (!dump.file) return true;
    // A last time mark: viewers show the final levels up to it.
    stamp(std::max(platform::waits().nowNs(), dump.startNs + dump.stampNs + 1));
    flush();
    if (std::fclose(dump.file) != 0 && dump.failure.empty()) dump.failure = std::strerror(errno);
    dump.file = nullptr;
    why = dump.failure;
    return why.empty();
}

bool active() { return dump.file != nullptr; }

void portbase(int32_t base) { dump.base = static_cast<uint16_t>(base); }

void written(int32_t port, int32_t value) {
    if (static_cast<uint16_t>(port) != static_cast<uint16_t>(dump.base + 2)) return;
    const int64_t now = platform::waits().nowNs();
    // Control bits 0, 1 and 3 are inverted on the way to their pins, bit 2 is not.
    const bool pcDrives = (value & 0x08) != 0;
    set(VPP, bit(!(value & 0x04)), now);
    set(CLOCK, bit(!(value & 0x01)), now);
    if (pcDrives)
        set(DATA, bit(!(value & 0x02)), now);
    else if (dump.levels[DATA_DIR] != '0')
        set(DATA, 'x', now);  // let go: unknown until the PC reads it
    set(DATA_DIR, bit(pcDrives), now);
    if (dump.text.size() >= BLOCK) flush();
}

void read(int32_t port, int32_t value) {
    if (static_cast<uint16_t>(port) != static_cast<uint16_t>(dump.base + 1)) return;
    const int64_t now = platform::waits().nowNs();
    const char level = bit(!(value & 0x80));  // status bit 7 is inverted
    set(DATA_IN, level, now);
    if (dump.levels[DATA_DIR] == '0') set(DATA, level, now);
}

}  // namespace capture
