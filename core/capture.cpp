#include "capture.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "outputfile.h"
#include "platform.h"
#include "startup.h"

namespace capture {
namespace {

// The wires, in the order of their declaration, and their identifiers.
enum Wire { VPP, CLOCK, DATA, DATA_DIR, DATA_IN, WIRES };
constexpr const char* names[WIRES] = {"vpp", "clock", "data", "data_dir", "data_in"};
constexpr char ids[WIRES] = {'v', 'k', 'd', 'o', 'i'};

// Written out whenever this much text has gathered, when programming mode
// ends, and at least every 100 ms: a run killed part-way leaves what it did
// up to its last write.
constexpr std::size_t BLOCK = 1 << 20;
constexpr int64_t FLUSH_NS = 100'000'000;

struct Dump {
    bool open = false;
    int64_t flushedNs = 0;  // when the text was last written out
    std::string text;
    std::string failure;  // the first write that failed
    int64_t startNs = 0;
    int64_t stampNs = -1;  // the last time written
    uint16_t base = 0;
    char levels[WIRES] = {'x', 'x', 'x', 'x', 'x'};
};

Dump dump;
output::File file;  // the capture's own file, or a stream
bool exitHookSet = false;

void flush(int64_t now) {
    dump.flushedNs = now;
    if (dump.text.empty()) return;
    if (dump.failure.empty() && !file.write(dump.text.data(), dump.text.size()))
        dump.failure = std::strerror(errno);
    dump.text.clear();
}

void flushwhendue(int64_t now, bool programmingended) {
    if (programmingended || dump.text.size() >= BLOCK || now - dump.flushedNs >= FLUSH_NS)
        flush(now);
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
    if (!file.open(path, why)) return false;
    dump = Dump{};
    dump.text.reserve(BLOCK + 4096);
    dump.startNs = platform::waits().nowNs();
    dump.stampNs = 0;
    header();
    // The header goes out at once: a full disk or a dead pipe is found
    // here, before the board is touched.
    flush(dump.startNs);
    if (!dump.failure.empty()) {
        why = dump.failure;
        file.abandon();
        return false;
    }
    dump.open = true;
    if (!exitHookSet) exitHookSet = std::atexit(closeAtExit) == 0;
    return true;
}

bool close(std::string& why) {
    if (!dump.open) return true;
    // A last time mark: viewers show the final levels up to it.
    const int64_t now = std::max(platform::waits().nowNs(), dump.startNs + dump.stampNs + 1);
    stamp(now);
    flush(now);
    dump.open = false;
    // A capture that could not be written whole is not put in place.
    if (dump.failure.empty())
        file.commit(dump.failure);
    else
        file.abandon();
    why = dump.failure;
    return why.empty();
}

bool active() { return dump.open; }

void portbase(int32_t base) { dump.base = static_cast<uint16_t>(base); }

void written(int32_t port, int32_t value) {
    if (static_cast<uint16_t>(port) != static_cast<uint16_t>(dump.base + 2)) return;
    const int64_t now = platform::waits().nowNs();
    // Control bits 0, 1 and 3 are inverted on the way to their pins, bit 2 is not.
    const bool pcDrives = (value & 0x08) != 0;
    const bool vppwason = dump.levels[VPP] == '1';
    set(VPP, bit(!(value & 0x04)), now);
    set(CLOCK, bit(!(value & 0x01)), now);
    if (pcDrives)
        set(DATA, bit(!(value & 0x02)), now);
    else if (dump.levels[DATA_DIR] != '0')
        set(DATA, 'x', now);  // let go: unknown until the PC reads it
    set(DATA_DIR, bit(pcDrives), now);
    flushwhendue(now, vppwason && dump.levels[VPP] == '0');
}

void read(int32_t port, int32_t value) {
    if (static_cast<uint16_t>(port) != static_cast<uint16_t>(dump.base + 1)) return;
    const int64_t now = platform::waits().nowNs();
    const char level = bit(!(value & 0x80));  // status bit 7 is inverted
    set(DATA_IN, level, now);
    if (dump.levels[DATA_DIR] == '0') set(DATA, level, now);
    flushwhendue(now, false);
}

}  // namespace capture
