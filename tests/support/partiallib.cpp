// SPDX-License-Identifier: GPL-2.0-or-later
// A port library that lacks zavOUT, for the binding's missing-export path.
// Its zavINP answers with the byte in PARTIALLIB_STATUS (default 0x5A), so a
// test can present any status byte and tell this library from the others.
#include <cstdint>
#include <cstdlib>

#define PARTIAL_EXPORT extern "C" __attribute__((visibility("default")))

PARTIAL_EXPORT int32_t zavSR(int32_t value, int32_t count) { return value >> (count & 31); }
PARTIAL_EXPORT int32_t zavSL(int32_t value, int32_t count) {
    return static_cast<int32_t>(static_cast<uint32_t>(value) << (count & 31));
}
PARTIAL_EXPORT int32_t zavINP(int32_t) {
    const char* text = std::getenv("PARTIALLIB_STATUS");
    const long byte = text ? std::strtol(text, nullptr, 0) : 0x5A;
    return static_cast<int8_t>(byte & 0xFF);
}
