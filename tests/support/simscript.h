// SPDX-License-Identifier: GPL-2.0-or-later
// Raw programming traffic for the simulated board's chips, written as a
// short script, and what the chip made of it. The pins are driven through
// the original board's control byte, a microsecond apart on the virtual
// clock; load frames carry start and stop bits of 1, which every chip after
// the original four ignores.
#pragma once
#include <dlfcn.h>

#include <string>
#include <vector>

#include "core/binding.h"
#include "support/simboard.h"

namespace simscript {

using Ints = std::vector<int>;
constexpr int64_t MS = 1'000'000;

// "+" enters programming mode, "-" leaves it, "6" sends command 6, "2:1A5"
// command 2 and a data frame of 0x1A5, "4=3FFF" command 4 and expects that
// word back, "w2.5" waits 2.5 ms, "i7" sends 7 increments.
void run(const std::string& script);

// One read frame after a read command: the line released, sampled after
// each falling edge.
int receive();
void command(int code);

// Values of the chip's events of one kind, in order.
Ints eventsOf(int kind);
inline Ints faults() { return eventsOf(4); }
inline Ints written() { return eventsOf(3); }

// An extra export of the board, looked up in the library the program uses.
template <typename Fn>
Fn simExport(const char* name) {
    sim::board();
    return reinterpret_cast<Fn>(dlsym(binding::handle(), name));
}

}  // namespace simscript
