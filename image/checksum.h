// SPDX-License-Identifier: GPL-2.0-or-later
// The checksum the maker's IDE shows for a mid-range chip without code
// protection: every program word the chip has, 14 bits each, plus each
// configuration word under the bits the chip implements, summed and kept to
// 16 bits. ID locations and data memory are not part of it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/state.h"
#include "devices/chiptable.h"

// The sum over the words a burn of the image leaves in the chip: the image's
// program words up to its last one (on the original chips a word the file
// left out below that is burnt as 0, elsewhere as erased), every word above
// as erased (0x3FFF), and the configuration word(s) the burn writes.
uint16_t imagechecksum(const State& s);

// The same sum over a read-out's bytes, in the read-out's layout (program
// word i at byte 2i, low byte first; the configuration word at 0x2007 on the
// original chips, at 0x400E, and CONFIG2 at 0x4010, on the others).
uint16_t readoutchecksum(const ChipRow& row, const std::vector<uint8_t>& bytes);

// "0x19FF".
std::string checksumtext(uint16_t sum);
