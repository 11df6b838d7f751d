// SPDX-License-Identifier: GPL-2.0-or-later
// The four exports of the port library. Every call passes plain integers by
// value; nothing is allocated across the library boundary.
#pragma once
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// value shifted right by (count & 31) places, arithmetically.
int32_t zavSR(int32_t value, int32_t count);
// value shifted left by (count & 31) places; bits past bit 31 are lost.
int32_t zavSL(int32_t value, int32_t count);
// One 8-bit read of the I/O port (low 16 bits of port), sign-extended.
int32_t zavINP(int32_t port);
// One 8-bit write of the low byte of value to the I/O port.
void zavOUT(int32_t port, int32_t value);

#ifdef __cplusplus
}
#endif
