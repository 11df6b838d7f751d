// Placeholder until the port access lands.
#include "zavbit2.h"
#define EXPORT __attribute__((visibility("default")))
extern "C" {
EXPORT int32_t zavSR(int32_t value, int32_t count) { return value >> (count & 31); }
EXPORT int32_t zavSL(int32_t value, int32_t count) { return static_cast<int32_t>(static_cast<uint32_t>(value) << (count & 31)); }
EXPORT int32_t zavINP(int32_t) { return -1; }
EXPORT void zavOUT(int32_t, int32_t) {}
}
