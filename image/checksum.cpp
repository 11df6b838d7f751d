// SPDX-License-Identifier: GPL-2.0-or-later
#include "checksum.h"

#include <cstdio>
#include <string>

#include "devices/select.h"

namespace {

constexpr uint16_t programmask = 0x3FFF;

uint16_t configpart(const ChipRow& row, int k, int32_t word) {
    return static_cast<uint16_t>(word & row.config[k].implemented);
}

uint16_t byteword(const std::vector<uint8_t>& bytes, size_t at) {
    const uint16_t lo = at < bytes.size() ? bytes[at] : 0;
    const uint16_t hi = at + 1 < bytes.size() ? bytes[at + 1] : 0;
    return static_cast<uint16_t>(lo | hi << 8);
}

}  // namespace

uint16_t imagechecksum(const State& s) {
    const ChipRow& row = currentchip(s);
    uint32_t sum = 0;
    for (int i = 0; i < row.progwords; ++i)
        sum += i < s.progused ? s.progmem[i] & programmask : programmask;
    for (int k = 0; k < row.configcount; ++k)
        sum += configpart(row, k, k < s.configused ? s.configmem[k] : row.config[k].erased);
    return static_cast<uint16_t>(sum);
}

uint16_t readoutchecksum(const ChipRow& row, const std::vector<uint8_t>& bytes) {
    uint32_t sum = 0;
    for (int i = 0; i < row.progwords; ++i) sum += byteword(bytes, 2 * static_cast<size_t>(i)) & programmask;
    const size_t config = isoriginal(row) ? 0x2007 : 0x400E;
    for (int k = 0; k < row.configcount; ++k) sum += configpart(row, k, byteword(bytes, config + 2 * k));
    return static_cast<uint16_t>(sum);
}

std::string checksumtext(uint16_t sum) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", sum);
    return text;
}
