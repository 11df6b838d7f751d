// SPDX-License-Identifier: GPL-2.0-or-later
// The benchmarks' HEX files: Intel HEX data records, and the maximal file of
// a PIC16F84 (every word of every region in use, each different from its
// neighbours), the same image the chip holds after burning it.
#pragma once
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace bench {

inline int16_t programword(int i) { return static_cast<int16_t>((i * 7 + 3) & 0x3FFF); }
inline int16_t idword(int i) { return static_cast<int16_t>(i + 1); }
constexpr int16_t configword = 0x3FF1;
inline int16_t databyte(int k) { return static_cast<int16_t>((k * 13 + 5) & 0xFF); }

// One data record of 16-bit words, low byte first, at a byte address.
inline std::string hexrecord(int address, const std::vector<int>& words) {
    std::vector<int> bytes = {static_cast<int>(words.size() * 2), address >> 8, address & 0xFF, 0};
    for (int w : words) {
        bytes.push_back(w & 0xFF);
        bytes.push_back((w >> 8) & 0xFF);
    }
    int sum = 0;
    std::string line = ":";
    char hex[3];
    for (int b : bytes) {
        sum += b;
        std::snprintf(hex, sizeof hex, "%02X", b & 0xFF);
        line += hex;
    }
    std::snprintf(hex, sizeof hex, "%02X", -sum & 0xFF);
    return line + hex + "\n";
}

// 8 words to a record, as gpasm writes them.
inline std::string maxhex() {
    std::string text = ":020000040000FA\n";
    for (int a = 0; a < 1024; a += 8) {
        std::vector<int> w;
        for (int i = a; i < a + 8; ++i) w.push_back(programword(i));
        text += hexrecord(a * 2, w);
    }
    text += hexrecord(0x4000, {idword(0), idword(1), idword(2), idword(3)});
    text += hexrecord(0x400E, {configword});
    for (int k = 0; k < 64; k += 8) {
        std::vector<int> w;
        for (int i = k; i < k + 8; ++i) w.push_back(databyte(i));
        text += hexrecord(0x4200 + k * 2, w);
    }
    return text + ":00000001FF\n";
}

inline void writemaxhex(const std::string& path) { std::ofstream(path) << maxhex(); }

}  // namespace bench
