// SPDX-License-Identifier: GPL-2.0-or-later
// Lazy binding to the port library. Nothing is loaded at program start: the
// library file is opened, and each export looked up by name, at the first call
// of that export; the address is remembered for later calls.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace binding {

// Which file to load, decided once before the first call:
// the explicit choice (the --simulate option) when set, otherwise the path in
// QUIBB9X_PORTLIB, otherwise libzavbit2.so beside the executable, otherwise the
// system's library search.
// libzavbit2sim.so beside the executable. When neither QUIBB9X_SIM_FILE nor
// QUIBB9X_SIM_DIR is set, QUIBB9X_SIM_DIR is set to <state
// directory>/quibb9x (made as needed), where the simulated board keeps one
// chip of each kind between runs; QUIBB9X_SIM_FILE set names one file for
// the chip, set but empty none: the chip lives only as long as the run.
void chooseSimulated();
void chooseLibrary(const std::string& path);  // an explicit file
std::string libraryPath();              // the file that will be (or was) loaded

// Called with the message when the library or an export cannot be found; the
// default prints the message on standard error. The program then ends with
// exit status 1 whatever the handler does.
void setFailureHandler(std::function<void(const std::string&)> handler);

// Forget the loaded library and every remembered address (tests only).
void reset();

// Directory of the running executable (without a trailing "/").
std::string executableDir();

int32_t zavSR(int32_t value, int32_t count);
int32_t zavSL(int32_t value, int32_t count);
int32_t zavINP(int32_t port);
void zavOUT(int32_t port, int32_t value);

// zavOUT as the library exports it, bound now if it was not yet: for the
// crash handler, which must not pass through the capture.
using PortWrite = void (*)(int32_t port, int32_t value);
PortWrite boundout();

// True when the loaded library is the simulated board (it has exports of its
// own beside the four): its port is never a kernel device. Loads the library.
bool simulatedboard();

// The base address the simulated board answers at, or nothing when the
// loaded library is not the simulated board. Loads the library.
std::optional<uint16_t> simulatedbase();

// Before the first port access: a simulated chip whose file another run is
// using is taken as a copy (kept by nobody) instead of waiting for that run
// to end. For the window, which must come up.
void simulatedchipnowait();
// The chip file whose chip this run works on a copy of, because another run
// is using it; empty otherwise (also on real hardware).
std::string simulatedchipcopy();

// The opened library handle, for tests that reach the simulated board's extra
// exports through the same library the program uses. Loads the library.
void* handle();

}  // namespace binding
