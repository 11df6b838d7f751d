// SPDX-License-Identifier: GPL-2.0-or-later
#include "checksum.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "devices/select.h"
#include "image/hexreader.h"

namespace {

constexpr uint16_t programmask = 0x3FFF;

uint16_t configpart(const ChipRow& row, int k, int32_t word) {
    return static_cast<uint16_t>(word & row.config(k).mask);
}

uint16_t byteword(const std::vector<uint8_t>& bytes, size_t at) {
    const uint16_t lo = at < bytes.size() ? bytes[at] : 0;
    const uint16_t hi = at + 1 < bytes.size() ? bytes[at + 1] : 0;
    return static_cast<uint16_t>(lo | hi << 8);
}

// Program word i counts as the image holds it when `held(i)`, else erased.
template <class Held>
uint16_t sum(const State& s, Held held) {
    const ChipRow& row = currentchip(s);
    uint32_t total = 0;
    for (int i = 0; i < row.words(Kind::program); ++i)
        total += held(i) ? s.progmem[i] & programmask : programmask;
    for (int k = 0; k < row.words(Kind::config); ++k)
        total += configpart(row, k, k < s.configused ? s.configmem[k] : row.config(k).erased);
    return static_cast<uint16_t>(total);
}

}  // namespace

std::vector<bool> givenwords(const std::string& hexfile, int words) {
    std::vector<bool> given(static_cast<size_t>(words), false);
    const std::unique_ptr<FILE, int (*)(FILE*)> fp(std::fopen(hexfile.c_str(), "rb"), std::fclose);
    if (!fp) return given;
    std::string line;
    int64_t upper = 0;
    while (readitem(fp.get(), line)) {
        if (validhexline(line) == 0) continue;
        if (readfield(line, 8, 2) == 1) break;
        int64_t first = 0;
        int32_t count = 0;
        if (!recordwords(line, upper, first, count)) continue;
        for (int64_t a = std::max<int64_t>(first, 0); a < first + count && a < words; ++a)
            given[static_cast<size_t>(a)] = true;
    }
    return given;
}

uint16_t filechecksum(const State& s, const std::vector<bool>& given) {
    return sum(s, [&](int i) { return i < s.progused && static_cast<size_t>(i) < given.size() && given[i]; });
}

uint16_t imagechecksum(const State& s) {
    return sum(s, [&](int i) { return i < s.progused; });
}

uint16_t readoutchecksum(const ChipRow& row, const std::vector<uint8_t>& bytes) {
    uint32_t sum = 0;
    for (int i = 0; i < row.words(Kind::program); ++i) sum += byteword(bytes, 2 * static_cast<size_t>(i)) & programmask;
    const size_t config = isoriginal(row) ? 0x2007 : 0x400E;
    for (int k = 0; k < row.words(Kind::config); ++k) sum += configpart(row, k, byteword(bytes, config + 2 * k));
    return static_cast<uint16_t>(sum);
}

std::string checksumtext(uint16_t sum) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", sum);
    return text;
}
