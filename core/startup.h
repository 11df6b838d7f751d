// SPDX-License-Identifier: GPL-2.0-or-later
// The record's start-up: directories, sizes, command codes, the port's idle
// state, and the device and port defaults that the window's options apply.
#pragma once
#include <cstdint>

#include "state.h"

constexpr int16_t LPT1 = 0x378;
constexpr int16_t LPT2 = 0x278;

void GetDirs(State& s);
void GetTempFile(State& s);

// The program's version, as the about window and --version show it.
void setversion(State& s);

// Steps of start-up up to and including the port's idle state: directories,
// version, counters, the 16C84's row (its sizes, masks and commands),
// picmodel 0, allpinslow and ctrlshadow.
void startup(State& s);

// The device options: 1 = PIC 16C84, 2 = PIC 16F84, 3 = PIC 16F83 select
// their rows (picmodel with them); other numbers do nothing.
void setdevice(State& s, int16_t model);

// Directory text without one trailing "/"; used by GetDirs and GetTempFile.
std::string droptrailingslash(const std::string& dir);
