// SPDX-License-Identifier: GPL-2.0-or-later
// Choices given on the command line for one run. They win over the settings
// file and are never saved.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

struct ChipRow;

struct Overrides {
    std::optional<int16_t> device;  // 1 = PIC 16C84, 2 = PIC 16F84, 3 = PIC 16F83
    std::optional<int16_t> port;    // base address of the parallel port
    std::optional<int16_t> config;  // the configuration word, as set in the editor
    // --device 16F84A: the 16F84's row, and burn and verify first check that
    // the chip reports a PIC16F84A's device ID.
    bool requiref84a = false;
    // --device NAME for any chip of the table (the original chips set
    // `device` as well); --device auto: the device ID chooses.
    const ChipRow* chip = nullptr;
    bool autodevice = false;
    std::optional<int16_t> config2 = std::nullopt;  // --config2, CONFIG2 of the 16F87/88
    // --board: a built-in board's name or a board file.
    std::optional<std::string> board;
    // --simulate: the simulated board; without a port from --port or the
    // settings file, the port it answers at is taken.
    bool simulate = false;
    // --no-check: no board check before an operation (on a board it cannot
    // confirm); the device ID of a chip that has one is still read.
    bool nocheck = false;
    // --tprog: the original chips' programming time, 7 to 20 ms.
    std::optional<int16_t> tprog;
    // --osccal, --bandgap: the factory calibration an erase writes back in
    // place of what the chip reads (command line only: one chip's values).
    std::optional<int16_t> osccal = std::nullopt;
    std::optional<int16_t> bandgap = std::nullopt;
};
