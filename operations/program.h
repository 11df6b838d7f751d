// Burn, verify and read-out: whole-device passes over the chip's regions.
#pragma once
#include <cstdint>

#include "core/frontend.h"
#include "core/state.h"

enum : int16_t { modeverify = 0, modeprogram = 1, modereadout = 2 };

// File number 1 of a read-out: bytes placed by 1-based position. Errors are
// the sink's own business (the dump writer asks it afterwards).
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void put(int32_t position, uint8_t byte) = 0;
};

// One region pass; 1 when every word passed, 0 at the first mismatch or when
// a stop was asked for (core/stop.h).
int16_t programall(State& s, Frontend& f, int16_t& mode, int16_t& mask,
                   uint8_t& writecommand, uint8_t& readcommand, int16_t* image,
                   int16_t& base, int16_t& count, ByteSink* file1);

// One whole-device pass in the given mode; true when every region passed
// (a read-out is false only when stopped). Always ends with allpinslow.
// file1 is used in read-out mode only.
bool program2(State& s, Frontend& f, int16_t mode, ByteSink* file1 = nullptr);
