// SPDX-License-Identifier: GPL-2.0-or-later
// How a person names a chip: "16F628A", "PIC16F628A", "pic 16f628a" and
// "PIC 16F83" all mean one chip. The command line, the settings file and the
// simulated board all read names through this one key, so that a name that
// works in one place works in all of them.
#pragma once
#include <cctype>
#include <string>
#include <string_view>

// The name without blanks, in capitals, without a leading "PIC": "16F628A".
inline std::string chipnamekey(std::string_view text) {
    std::string key;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isspace(u)) continue;
        key += static_cast<char>(std::toupper(u));
    }
    if (key.rfind("PIC", 0) == 0) key.erase(0, 3);
    return key;
}
