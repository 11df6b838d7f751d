#include "linecapture.h"

#include <cstdio>
#include <iostream>

#include "core/capture.h"

namespace cli {
namespace {

// The path as typed, with control characters made visible.
std::string shown(const std::string& path) {
    std::string out;
    for (unsigned char c : path) {
        if (c < 0x20 || c == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02X", c);
            out += code;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

bool startcapture(const std::string& path) {
    std::string why;
    if (capture::open(path, why)) return true;
    std::cerr << "quibb9x: cannot create the capture file '" << shown(path) << "': " << why
              << "; give --vcd a path in a directory you can write to\n";
    return false;
}

bool finishcapture(const std::string& path) {
    std::string why;
    if (capture::close(why)) return true;
    std::cerr << "quibb9x: the capture file '" << shown(path) << "' is incomplete: " << why
              << "; make room or give --vcd another path\n";
    return false;
}

}  // namespace cli
