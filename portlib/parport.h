// SPDX-License-Identifier: GPL-2.0-or-later
// Inside the port library: which kernel device serves an I/O port, and the
// access itself. Nothing here is exported from the library; the tests compile
// parport.cpp into themselves to reach it.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "portinfo.h"

namespace parport {

// Where the ports are and the explanations live in portinfo, shared with
// the program.
using portinfo::devicepath;
using portinfo::firstdecimal;
using portinfo::hex;
using portinfo::Known;
using portinfo::portfor;
using portinfo::scanports;

// The system calls the access goes through, so tests can stand in for the
// kernel. ioctl takes a byte pointer (or nothing) as every ppdev call here does.
struct Syscalls {
    int (*open)(const char* path, int flags);
    int (*ioctl)(int fd, unsigned long request, unsigned char* arg);
    int (*close)(int fd);
    int (*ioperm)(unsigned long from, unsigned long num, int on);
    int (*iopl)(int level);
    uint8_t (*inb)(uint16_t port);
    void (*outb)(uint8_t value, uint16_t port);
    bool rawAvailable;  // the processor has port instructions at all
};
const Syscalls& realsyscalls();

struct Config {
    std::string procroot = "/proc";
    std::string devroot = "/dev";
    bool rawio = false;  // port instructions instead of /dev/parportN
};

// The settings from the environment: ZAVBIT2_RAWIO=1 asks for raw port
// instructions; ZAVBIT2_PROC_ROOT and ZAVBIT2_DEV_ROOT move /proc and /dev
// (for tests).
Config configfromenv();

// All port traffic of the process. Each I/O port is routed once, at its first
// access: to a claimed /dev/parportN, to the processor's port instructions, or
// to nothing (the empty bus: reads 0xFF, writes are dropped). An unreachable
// port is explained once per base address through `say`; nothing is retried.
class Ports {
public:
    Ports(Config config, const Syscalls& sys, std::function<void(const std::string&)> say);
    ~Ports();  // releases and closes every claimed device
    Ports(const Ports&) = delete;
    Ports& operator=(const Ports&) = delete;

    uint8_t in(uint16_t port);
    void out(uint16_t port, uint8_t value);

private:
    enum class Kind { None, Device, Raw };
    struct Route {
        Kind kind = Kind::None;
        int fd = -1;
        uint16_t offset = 0;  // register: 0 data, 1 status, 2 control
        uint32_t base = 0;
        std::string path;     // the device, for messages
    };

    const Route& route(uint16_t port);
    Route devicerouting(uint16_t port);
    Route rawrouting(uint16_t port);
    int claimdevice(const Known& known);  // fd, or -1 after explaining why
    void explain(uint32_t base, const std::string& why);
    void explainunknown(uint16_t port, const std::string& why);

    Config config_;
    const Syscalls& sys_;
    std::function<void(const std::string&)> say_;
    std::map<uint16_t, Route> routes_;
    std::map<uint32_t, int> devices_;  // base -> claimed fd, or -1
    std::set<uint32_t> explained_;     // bases already explained
};

}  // namespace parport
