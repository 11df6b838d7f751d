// SPDX-License-Identifier: GPL-2.0-or-later
// The four exports of libzavbit2.so. The shifts are pure; the port calls go
// through one process-wide Ports, set up from the environment at the first
// port access and released when the process ends.
#include "zavbit2.h"

#include <cstdio>
#include <mutex>

#include "parport.h"

#define ZAVBIT2_EXPORT __attribute__((visibility("default")))

namespace {

std::mutex portlock;  // callers may come from any thread

parport::Ports& ports() {
    static parport::Ports instance(parport::configfromenv(), parport::realsyscalls(),
                                   [](const std::string& line) {
                                       std::fprintf(stderr, "%s\n", line.c_str());
                                   });
    return instance;
}

}  // namespace

extern "C" {

ZAVBIT2_EXPORT int32_t zavSR(int32_t value, int32_t count) {
    return value >> (count & 31);  // arithmetic for negative values
}

ZAVBIT2_EXPORT int32_t zavSL(int32_t value, int32_t count) {
    // Shift the unsigned pattern: bits past bit 31 fall off without overflow.
    return static_cast<int32_t>(static_cast<uint32_t>(value) << (count & 31));
}

ZAVBIT2_EXPORT int32_t zavINP(int32_t port) {
    uint8_t byte = 0xFF;
    try {
        std::lock_guard<std::mutex> hold(portlock);
        byte = ports().in(static_cast<uint16_t>(port));
    } catch (...) {
        // Out of memory while routing: the port stays an empty bus.
    }
    return static_cast<int8_t>(byte);
}

ZAVBIT2_EXPORT void zavOUT(int32_t port, int32_t value) {
    try {
        std::lock_guard<std::mutex> hold(portlock);
        ports().out(static_cast<uint16_t>(port), static_cast<uint8_t>(value));
    } catch (...) {
    }
}

}  // extern "C"
