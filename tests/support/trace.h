// SPDX-License-Identifier: GPL-2.0-or-later
// A whole operation's traffic on the simulated board as text that can be
// kept in a file and compared line by line: a few summary lines (port
// accesses, their hash, the waits), then the chip's decoded command stream.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "simboard.h"

namespace trace {

// FNV-1a, 64 bits.
struct Fnv {
    uint64_t h = 0xcbf29ce484222325ull;
    void add(uint8_t byte) { h = (h ^ byte) * 0x100000001b3ull; }
    void add16(int32_t v) { add(v & 0xFF), add((v >> 8) & 0xFF); }
    void access(const zavsim_access& a) { add16(a.port), add16(a.value), add(a.is_read ? 1 : 0); }
};

inline std::string hex(uint64_t v, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(v));
    return text;
}

inline std::string commandname(int code) {
    switch (code) {
    case 0: return "load-config";
    case 1: return "erase-setup-1";
    case 2: return "load-prog";
    case 3: return "load-data";
    case 4: return "read-prog";
    case 5: return "read-data";
    case 6: return "increment";
    case 7: return "erase-setup-2";
    case 8: return "begin-prog";
    case 9: return "erase-prog";
    case 11: return "erase-data";
    default: return "command-" + hex(code, 2);
    }
}

// One line of the stream. A written address stands as '@' in `text`, so that
// runs of words that differ only by it can be folded into one line.
struct Line {
    std::string text;
    int32_t address = -1;
    std::string shown() const {
        const size_t at = text.find('@');
        return at == std::string::npos ? text : text.substr(0, at) + hex(address, 4) + text.substr(at + 1);
    }
};

// The stream: a line ends after each increment, and before any port access
// that follows a pause of a millisecond or more (a sleep). A line with chip
// events lists them, then its port accesses as count, 32-bit hash and time
// taken; a line without any lists the accesses themselves ("27A<0F" written,
// "279>7F" read) when there are few.
inline std::vector<Line> streamlines(const std::vector<zavsim_access>& log,
                                     const std::vector<zavsim_event>& events) {
    std::vector<Line> lines;
    Line line;
    std::vector<zavsim_access> group;
    int64_t previous = log.empty() ? 0 : log.front().time_ns;  // end of the last line
    int64_t last = previous;
    auto flush = [&] {
        if (group.empty() && line.text.empty()) return;
        if (line.text.empty() && group.size() <= 24) {
            line.text = "port";
            for (const auto& a : group)
                line.text += " " + hex(a.port, 3) + (a.is_read ? ">" : "<") + hex(a.value & 0xFF, 2);
        } else {
            Fnv f;
            for (const auto& a : group) f.access(a);
            char tail[96];
            std::snprintf(tail, sizeof tail, "  [%zu accesses %s, %lld.%03lld us]", group.size(),
                          hex((f.h >> 32) ^ (f.h & 0xFFFFFFFF), 8).c_str(),
                          static_cast<long long>((last - previous) / 1000),
                          static_cast<long long>((last - previous) % 1000));
            line.text = (line.text.empty() ? "port" : line.text.substr(1)) + tail;
        }
        lines.push_back(line);
        line = Line{};
        group.clear();
        previous = last;
    };
    size_t e = 0;
    for (size_t i = 0; i <= log.size(); ++i) {
        // The events a port access caused carry its time: they follow it.
        const int64_t until = i < log.size() ? log[i].time_ns : INT64_MAX;
        for (; e < events.size() && events[e].time_ns < until; ++e) {
            const zavsim_event& ev = events[e];
            last = std::max(last, ev.time_ns);
            switch (ev.kind) {
            case 0: line.text += " " + commandname(ev.value); break;
            case 1: line.text += " in " + hex(ev.value & 0xFFFF, 4); break;
            case 2: line.text += " out " + hex(ev.value & 0xFFFF, 4); break;
            case 3:
                if (ev.value == ZAVSIM_ERASED_PROGRAM) line.text += " erased-program";
                else if (ev.value == ZAVSIM_ERASED_DATA) line.text += " erased-data";
                else if (ev.value == ZAVSIM_ERASED_CHIP) line.text += " erased-chip";
                else line.text += " written @", line.address = ev.value;
                break;
            default: line.text += " FAULT-" + std::to_string(ev.value); break;
            }
            if (ev.kind == 0 && ev.value == 6) flush();
        }
        if (i == log.size()) break;
        if (log[i].time_ns - last >= 1'000'000) flush();
        group.push_back(log[i]);
        last = log[i].time_ns;
    }
    flush();
    return lines;
}

// Consecutive lines that are the same but for a written address counting up
// by one are kept as the first of them and " x N".
inline std::string folded(const std::vector<Line>& lines) {
    std::string out;
    for (size_t i = 0; i < lines.size();) {
        size_t n = 1;
        while (i + n < lines.size() && lines[i + n].text == lines[i].text &&
               (lines[i].address < 0 || lines[i + n].address == lines[i].address + int32_t(n)))
            ++n;
        out += lines[i].shown() + (n > 1 ? " x " + std::to_string(n) : "") + "\n";
        i += n;
    }
    return out;
}

// The summary lines, then the stream, of what the board logged since it was
// last cleared and the waits asked for since they were.
inline std::string recorded() {
    const auto log = sim::accesses();
    Fnv all;
    for (const auto& a : log) all.access(a);
    std::string out = "port accesses " + std::to_string(log.size()) + "\n";
    out += "fnv1a64 " + hex(all.h, 16) + "\n";
    out += "holds " + std::to_string(sim::holds()) + "\n";
    out += "sleeps (ms)";
    const auto sleeps = sim::sleeps();
    for (size_t i = 0; i < sleeps.size();) {
        size_t n = 1;
        while (i + n < sleeps.size() && sleeps[i + n] == sleeps[i]) ++n;
        out += " " + std::to_string(sleeps[i]) + (n > 1 ? " x " + std::to_string(n) : "");
        i += n;
    }
    const auto events = sim::chipEvents();
    int faults = 0;
    for (const auto& e : events) faults += e.kind == 4;
    out += "\nchip faults " + std::to_string(faults) + "\n";
    return out + "--- command stream\n" + folded(streamlines(log, events));
}

}  // namespace trace
