// SPDX-License-Identifier: GPL-2.0-or-later
// Where the kernel's parallel ports are and why one cannot be reached: the
// one piece of code both the port library (to explain itself on standard
// error) and the program (the `ports` command, the window's status line, the
// command line's refusals) ask. Plain C++, no state of its own.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace portinfo {

// A parallel port the kernel knows: /dev/parport<number>, registers from base.
struct Known {
    int number;
    uint32_t base;
};

// Where /proc and /dev are: ZAVBIT2_PROC_ROOT and ZAVBIT2_DEV_ROOT move them
// (for tests and for trying the program on a fake tree).
struct Roots {
    std::string proc = "/proc";
    std::string dev = "/dev";
};
Roots rootsfromenv();

// The first decimal number in a text ("888\t1912\n" gives 888).
std::optional<uint32_t> firstdecimal(const std::string& text);

// Every <procroot>/sys/dev/parport/parportN/base-addr, ordered by N. A tree
// that is missing or unreadable gives no ports.
std::vector<Known> scanports(const std::string& procroot);

// The port whose registers (base to base+2) include `port`; when two would,
// the one with the nearest base.
std::optional<Known> portfor(const std::vector<Known>& ports, uint16_t port);

std::string devicepath(const std::string& devroot, int number);

// "0x378": upper-case hexadecimal, as the program shows addresses.
std::string hex(uint32_t value);

// The explanations, each ending in what to do. Callers put their own name
// in front ("zavbit2: ", "quibb9x: "); nodriver() starts in lower case.
std::string noport(uint16_t port, const std::vector<Known>& known, const std::string& devroot);
std::string nodriver();
std::string devicetrouble(const char* verb, const std::string& path, uint32_t base, int error);
// What fixes a device that cannot be opened for this reason (errno), or
// empty when nothing general can be said.
std::string fixfor(int error);

// Opens a port's device for reading and writing, as the library does, and
// closes it again: 0 when that works, else the reason (errno). Never blocks.
int tryopen(const std::string& path);

// Why the library could not reach I/O address `port` through the kernel's
// device, or nothing when the device is there and may be opened. (A port
// held by another driver shows only when the library claims it.)
std::optional<std::string> unreachable(uint16_t port, const Roots& roots);

}  // namespace portinfo
