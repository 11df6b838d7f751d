// SPDX-License-Identifier: GPL-2.0-or-later
// The socket of a run that burns chip after chip. QUIBB9X_SIM_SOCKET names
// a small file whose first line is the chip file of the chip in the socket
// now (a file as QUIBB9X_SIM_FILE keeps one, created when the chip is first
// saved), or "none" for an empty socket. The board reads it at start and at
// each entry into programming mode, so that a test can take a chip out and
// put the next one in while the program waits.
#pragma once
#include <optional>
#include <string>

namespace boardsim {

// The chip file the socket names now; empty for an empty socket (also when
// the socket file cannot be read); nullopt when QUIBB9X_SIM_SOCKET is unset
// and QUIBB9X_SIM_FILE says where the one chip is kept.
std::optional<std::string> socketChip();

}  // namespace boardsim
