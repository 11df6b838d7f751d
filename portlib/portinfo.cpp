// SPDX-License-Identifier: GPL-2.0-or-later
#include "portinfo.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace portinfo {

Roots rootsfromenv() {
    Roots r;
    if (const char* p = std::getenv("ZAVBIT2_PROC_ROOT"); p && *p) r.proc = p;
    if (const char* d = std::getenv("ZAVBIT2_DEV_ROOT"); d && *d) r.dev = d;
    return r;
}

std::optional<uint32_t> firstdecimal(const std::string& text) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    auto at = std::find_if(text.begin(), text.end(), digit);
    if (at == text.end()) return std::nullopt;
    uint64_t value = 0;
    for (; at != text.end() && digit(*at); ++at) {
        value = value * 10 + static_cast<uint64_t>(*at - '0');
        if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

std::vector<Known> scanports(const std::string& procroot) {
    namespace fs = std::filesystem;
    std::vector<Known> found;
    std::error_code ec;
    fs::directory_iterator dir(fs::path(procroot) / "sys/dev/parport", ec);
    if (ec) return found;
    for (const fs::directory_iterator end; dir != end; dir.increment(ec)) {
        if (ec) break;
        // Entries are parport0, parport1, ... beside "default", which is not a port.
        const std::string name = dir->path().filename().string();
        const std::string prefix = "parport";
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string digits = name.substr(prefix.size());
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        std::ifstream file(dir->path() / "base-addr");
        if (!file) continue;
        char text[64] = {};  // "888\t1912\n": a line is all there is
        file.read(text, sizeof text - 1);
        const auto base = firstdecimal(text);
        if (!base) continue;
        found.push_back({std::atoi(digits.c_str()), *base});
    }
    std::sort(found.begin(), found.end(),
              [](const Known& a, const Known& b) { return a.number < b.number; });
    return found;
}

std::optional<Known> portfor(const std::vector<Known>& ports, uint16_t port) {
    std::optional<Known> best;
    for (const Known& k : ports) {
        if (k.base > port || port - k.base > 2) continue;
        if (!best || k.base > best->base) best = k;
    }
    return best;
}

std::string devicepath(const std::string& devroot, int number) {
    return devroot + "/parport" + std::to_string(number);
}

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

std::string nodriver() {
    return "the kernel knows of no parallel port on this machine; if it has one,"
           " load its driver: sudo modprobe parport_pc ppdev.";
}

std::string fixfor(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return "Add yourself to group lp (sudo usermod -aG lp $USER), then log in again.";
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return "Load the parallel-port drivers: sudo modprobe ppdev parport_pc.";
    case EBUSY:
        return "Another driver such as lp holds the port; unload it: sudo rmmod lp.";
    case ENOTTY:
        return "That file is not a parallel-port device.";
    default:
        return "";
    }
}

std::string noport(uint16_t port, const std::vector<Known>& known, const std::string& devroot) {
    std::string text = "no parallel port has its registers at I/O address " + hex(port) + ".";
    if (known.empty()) {
        std::string sentence = nodriver();
        sentence[0] = 'T';
        return text + " " + sentence;
    }
    text += " Parallel ports on this machine:";
    for (size_t i = 0; i < known.size(); ++i)
        text += (i ? ", " : " ") + hex(known[i].base) + " (" +
                devicepath(devroot, known[i].number) + ")";
    return text + ". Choose one of these addresses.";
}

std::string devicetrouble(const char* verb, const std::string& path, uint32_t base, int error) {
    const std::string text = std::string("cannot ") + verb + " " + path +
                             " (the parallel port at " + hex(base) + "): " +
                             std::strerror(error) + ".";
    const std::string fix = fixfor(error);
    return fix.empty() ? text : text + " " + fix;
}

int tryopen(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

std::optional<std::string> unreachable(uint16_t port, const Roots& roots) {
    const std::vector<Known> known = scanports(roots.proc);
    const std::optional<Known> match = portfor(known, port);
    if (!match) return noport(port, known, roots.dev);
    const std::string path = devicepath(roots.dev, match->number);
    if (const int error = tryopen(path); error != 0)
        return devicetrouble("open", path, match->base, error);
    return std::nullopt;
}

}  // namespace portinfo
