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

// Which program words a HEX file gives: element a is word address a, up to
// the chip's `words`. Nothing when the file cannot be read.
std::vector<bool> givenwords(const std::string& hexfile, int words);

// The sum the maker's IDE shows for the HEX file once loaded into the image
// (a serial number put into the image included): each program word the
// file gives as the image holds it, every other word as erased (0x3FFF),
// and the configuration word(s) a burn writes.
uint16_t filechecksum(const State& s, const std::vector<bool>& given);

// The same sum over what a burn of the image leaves in the chip: the
// image's program words up to its last one, every word above as erased. On
// the original chips a word the file leaves out below its last one is burnt
// as 0, and the two sums differ.
uint16_t imagechecksum(const State& s);

// The same sum over a read-out's bytes, in the read-out's layout (program
// word i at byte 2i, low byte first; the configuration word at 0x2007 on the
// original chips, at 0x400E, and CONFIG2 at 0x4010, on the others).
uint16_t readoutchecksum(const ChipRow& row, const std::vector<uint8_t>& bytes);

// "0x19FF".
std::string checksumtext(uint16_t sum);
