// SPDX-License-Identifier: GPL-2.0-or-later
#include "parport.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#if defined(__i386__) || defined(__x86_64__)
#include <sys/io.h>
#define PARPORT_HAVE_PORT_INSTRUCTIONS 1
#endif

namespace parport {

// ---------------------------------------------------------------------------
// The real kernel.

namespace {

int sysopen(const char* path, int flags) { return ::open(path, flags); }
int sysioctl(int fd, unsigned long request, unsigned char* arg) { return ::ioctl(fd, request, arg); }
int sysclose(int fd) { return ::close(fd); }

#ifdef PARPORT_HAVE_PORT_INSTRUCTIONS
int sysioperm(unsigned long from, unsigned long num, int on) { return ::ioperm(from, num, on); }
int sysiopl(int level) { return ::iopl(level); }
uint8_t sysinb(uint16_t port) { return ::inb(port); }
void sysoutb(uint8_t value, uint16_t port) { ::outb(value, port); }
#else
int sysioperm(unsigned long, unsigned long, int) { errno = ENOSYS; return -1; }
int sysiopl(int) { errno = ENOSYS; return -1; }
uint8_t sysinb(uint16_t) { return 0xFF; }
void sysoutb(uint8_t, uint16_t) {}
#endif

}  // namespace

const Syscalls& realsyscalls() {
    static const Syscalls real = {
        sysopen, sysioctl, sysclose, sysioperm, sysiopl, sysinb, sysoutb,
#ifdef PARPORT_HAVE_PORT_INSTRUCTIONS
        true,
#else
        false,
#endif
    };
    return real;
}

Config configfromenv() {
    Config c;
    const portinfo::Roots roots = portinfo::rootsfromenv();
    c.procroot = roots.proc;
    c.devroot = roots.dev;
    if (const char* r = std::getenv("ZAVBIT2_RAWIO"); r && std::strcmp(r, "1") == 0) c.rawio = true;
    return c;
}

// ---------------------------------------------------------------------------
// Why a port cannot be reached, and what the user can do about it.

namespace {

const char* const emptybus = " Meanwhile the port reads 0xFF and writes to it go nowhere.";

// The base address a register belongs to, as the person chose it: a port's
// base is a multiple of 4 (0x278, 0x378, 0x3BC; PCI cards' I/O ranges are
// aligned to their size), and its registers are base to base+2. A register
// that cannot be one of those is named as it is.
uint16_t chosenbase(uint16_t port) { return (port & 3) == 3 ? port : port & ~3u; }

std::string noportmessage(uint16_t port, const std::vector<Known>& known,
                          const std::string& devroot) {
    return "zavbit2: " + portinfo::noport(chosenbase(port), known, devroot) + emptybus;
}

std::string devicemessage(const char* verb, const std::string& path, uint32_t base, int error) {
    return "zavbit2: " + portinfo::devicetrouble(verb, path, base, error) + emptybus;
}

std::string rawmessage(uint16_t port, int error) {
    std::string text = "zavbit2: no raw access to I/O address " + hex(chosenbase(port)) + ": " +
                       std::strerror(error) + ".";
    if (error == EPERM)
        text += " Port instructions need root (or CAP_SYS_RAWIO); or unset ZAVBIT2_RAWIO"
                " to go through /dev/parportN as a member of group lp.";
    return text + emptybus;
}

}  // namespace

// ---------------------------------------------------------------------------
// The access.

Ports::Ports(Config config, const Syscalls& sys, std::function<void(const std::string&)> say)
    : config_(std::move(config)), sys_(sys), say_(std::move(say)) {}

Ports::~Ports() {
    for (const auto& [base, fd] : devices_) {
        if (fd < 0) continue;
        sys_.ioctl(fd, PPRELEASE, nullptr);
        sys_.close(fd);
    }
}

void Ports::explain(uint32_t base, const std::string& why) {
    if (!explained_.insert(base).second) return;
    say_(why);
}

// Without a known base the access could belong to any base from port-2 to
// port; one explanation covers all three, so a base's three registers do not
// each print their own.
void Ports::explainunknown(uint16_t port, const std::string& why) {
    const uint32_t low = port >= 2 ? port - 2u : 0u;
    bool told = false;
    for (uint32_t b = low; b <= port; ++b) told = told || explained_.count(b) > 0;
    for (uint32_t b = low; b <= port; ++b) explained_.insert(b);
    if (!told) say_(why);
}

int Ports::claimdevice(const Known& known) {
    if (auto it = devices_.find(known.base); it != devices_.end()) return it->second;
    const std::string path = devicepath(config_.devroot, known.number);
    int fd = sys_.open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        devices_[known.base] = -1;
        explain(known.base, devicemessage("open", path, known.base, error));
        return -1;
    }
    // Claimed once and held until the process ends: claiming per access would
    // let another driver in between two halves of a clock pulse.
    if (sys_.ioctl(fd, PPCLAIM, nullptr) != 0) {
        const int error = errno;
        sys_.close(fd);
        devices_[known.base] = -1;
        explain(known.base, devicemessage("claim", path, known.base, error));
        return -1;
    }
    devices_[known.base] = fd;
    return fd;
}

Ports::Route Ports::devicerouting(uint16_t port) {
    const std::vector<Known> known = scanports(config_.procroot);
    const std::optional<Known> match = portfor(known, port);
    if (!match) {
        explainunknown(port, noportmessage(port, known, config_.devroot));
        return {};
    }
    const int fd = claimdevice(*match);
    if (fd < 0) return {};
    return {Kind::Device, fd, static_cast<uint16_t>(port - match->base), match->base,
            devicepath(config_.devroot, match->number)};
}

Ports::Route Ports::rawrouting(uint16_t port) {
    if (!sys_.rawAvailable) {
        explainunknown(port, "zavbit2: ZAVBIT2_RAWIO=1 asks for port instructions, which this"
                             " processor does not have; unset it to go through /dev/parportN." +
                                 std::string(emptybus));
        return {};
    }
    const int rc = port < 0x400 ? sys_.ioperm(port, 1, 1) : sys_.iopl(3);
    if (rc != 0) {
        const int error = errno;
        explainunknown(port, rawmessage(port, error));
        return {};
    }
    return {Kind::Raw, -1, 0, port, {}};
}

const Ports::Route& Ports::route(uint16_t port) {
    if (auto it = routes_.find(port); it != routes_.end()) return it->second;
    // The main board's DMA, interrupt and timer controllers live below 0x100:
    // a stray write there can hang the machine, and no parallel port is ever
    // there. The program idles the lines once at start-up before any port is
    // chosen, at address 0, so these accesses are expected: they go nowhere,
    // read 0xFF, and need no explanation.
    const Route r = port < 0x100 ? Route{}
                    : config_.rawio ? rawrouting(port)
                                    : devicerouting(port);
    return routes_.emplace(port, r).first->second;
}

uint8_t Ports::in(uint16_t port) {
    const Route& r = route(port);
    if (r.kind == Kind::Raw) return sys_.inb(port);
    if (r.kind != Kind::Device) return 0xFF;
    // The kernel hands over the raw register bits: the PC's inversions of
    // strobe, auto feed, select in and busy stay where the hardware puts them.
    // Data and control read back what was last written to them.
    const unsigned long request = r.offset == 0 ? PPRDATA : r.offset == 1 ? PPRSTATUS : PPRCONTROL;
    unsigned char value = 0xFF;
    if (sys_.ioctl(r.fd, request, &value) != 0) {
        const int error = errno;
        explain(r.base, devicemessage("read", r.path, r.base, error));
        return 0xFF;
    }
    return value;
}

void Ports::out(uint16_t port, uint8_t value) {
    const Route& r = route(port);
    if (r.kind == Kind::Raw) {
        sys_.outb(value, port);
        return;
    }
    // The status register is read-only on the PC: a write to it reaches no
    // latch, so there is nothing to pass on.
    if (r.kind != Kind::Device || r.offset == 1) return;
    unsigned char byte = value;
    if (sys_.ioctl(r.fd, r.offset == 0 ? PPWDATA : PPWCONTROL, &byte) != 0) {
        const int error = errno;
        explain(r.base, devicemessage("write", r.path, r.base, error));
    }
}

}  // namespace parport
