// SPDX-License-Identifier: GPL-2.0-or-later
#include "simscript.h"

#include <gtest/gtest.h>

#include <sstream>

namespace simscript {
namespace {

// Pin levels as control bytes, a microsecond before each change.
void pins(bool vpp, bool clock, bool data, bool pcDrives = true) {
    sim::advance(1000);
    binding::zavOUT(0x27A, (clock ? 0 : 1) | (data ? 0 : 2) | (vpp ? 0 : 4) | (pcDrives ? 8 : 0));
}

void bit(int b) {
    pins(true, false, b);
    pins(true, true, b);
    pins(true, false, b);
    pins(true, false, false);
}

}  // namespace

void command(int code) {
    for (int i = 0; i < 6; ++i) bit((code >> i) & 1);
}

int receive() {
    int word = 0;
    for (int i = 0; i < 16; ++i) {
        pins(true, true, true, false);
        pins(true, false, true, false);
        if (i >= 1 && i <= 14) word |= ((binding::zavINP(0x279) & 0x80) ? 0 : 1) << (i - 1);
    }
    return word;
}

void run(const std::string& script) {
    std::istringstream in(script);
    for (std::string t; in >> t;) {
        const size_t colon = t.find(':'), eq = t.find('=');
        if (t == "+") {
            pins(false, false, false);
            pins(true, false, false);
        } else if (t == "-") {
            pins(false, false, false);
        } else if (t[0] == 'w') {
            sim::advance(static_cast<int64_t>(std::stod(t.substr(1)) * MS));
        } else if (t[0] == 'i') {
            for (int n = std::stoi(t.substr(1)); n > 0; --n) command(6);
        } else if (colon != std::string::npos) {
            command(std::stoi(t));
            const int word = std::stoi(t.substr(colon + 1), nullptr, 16);
            bit(1);
            for (int i = 0; i < 14; ++i) bit((word >> i) & 1);
            bit(1);
        } else if (eq != std::string::npos) {
            command(std::stoi(t));
            EXPECT_EQ(receive(), std::stoi(t.substr(eq + 1), nullptr, 16)) << "at " << t << " of " << script;
        } else {
            command(std::stoi(t));
        }
    }
}

Ints eventsOf(int kind) {
    Ints out;
    for (const auto& e : sim::chipEvents())
        if (e.kind == kind) out.push_back(e.value);
    return out;
}

}  // namespace simscript
