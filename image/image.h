// SPDX-License-Identifier: GPL-2.0-or-later
// The memory image: four regions of the state record, their counters and the
// map from the chip's word addresses to the regions (devices/chiptable.h:
// regionat).
#pragma once
#include <cstdint>
#include <string>

#include "core/frontend.h"
#include "core/state.h"

// Upper-case hexadecimal without leading zeros ("0" for zero).
std::string hexupper(uint32_t value);

// Sets the four counters to 0; the arrays keep their words.
void cleararrays(State& s);

// Puts every word of the image back to its start-up value (0; on the chips
// erased before a burn their erased value), except the configuration word
// itself (configmem[0]): that is the editor's word, which the settings file
// or an edit may have chosen.
void clearwords(State& s);

// Fills the image with the chip's erased values, so that the words a file
// leaves out are burnt and verified as erased: the chips that are erased
// before a burn.
void fillerased(State& s);

// The counters a read-out leaves: everything it covers of the chip.
void readoutcounters(State& s);

// Stores count words at word address `address` into the region whose array,
// base, size (number of words the chip has) and counter are given. A record
// that runs past the region's last word is refused whole with the
// "Invalid address: 0x..." box; returns 1 when stored, 0 when refused.
int16_t stuffarray(State& s, Frontend& f, int32_t address, int16_t* array2,
                   int32_t base, int16_t size, int16_t& used,
                   const int16_t* data, int32_t count);

// Stores a record into the region that its first word address selects, as
// many words as the image takes there (devices/select.h: imagewords). Same
// result as stuffarray.
int16_t stuffrecord(State& s, Frontend& f, int32_t address,
                    const int16_t* data, int32_t count);
