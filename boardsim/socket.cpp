// SPDX-License-Identifier: GPL-2.0-or-later
#include "socket.h"

#include <cstdlib>
#include <fstream>

#include "chipfile.h"

namespace boardsim {

std::optional<std::string> socketChip() {
    const char* env = std::getenv("QUIBB9X_SIM_SOCKET");
    if (!env || !*env) return std::nullopt;
    std::string text, why;
    if (readChipFile(env, text, why) != 1) return std::string();
    std::string line = text.substr(0, text.find('\n'));
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    line = line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
    if (line == "none") return std::string();
    return line;
}

}  // namespace boardsim
