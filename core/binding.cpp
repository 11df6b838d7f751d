// SPDX-License-Identifier: GPL-2.0-or-later
#include "binding.h"
#include "capture.h"
#include "crashguard.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform.h"

namespace binding {
namespace {

std::string chosenPath;  // empty: decide at first use
void* library = nullptr;
std::function<void(const std::string&)> failureHandler;

using ShiftFn = int32_t (*)(int32_t, int32_t);
using InpFn = int32_t (*)(int32_t);
using OutFn = void (*)(int32_t, int32_t);

ShiftFn boundSR = nullptr;
ShiftFn boundSL = nullptr;
InpFn boundINP = nullptr;
OutFn boundOUT = nullptr;

[[noreturn]] void fail(const std::string& message) {
    if (failureHandler)
        failureHandler(message);
    else
        std::fprintf(stderr, "quibb9x: %s\n", message.c_str());
    std::exit(1);
}

// The installed library directory as seen from the installed program's
// (set by the build; "../lib" for the usual layout).
#ifndef QUIBB9X_LIBDIR_FROM_BINDIR
#define QUIBB9X_LIBDIR_FROM_BINDIR "../lib"
#endif

// Candidate files for a library name: beside the executable (the build
// tree), then the installed library directory relative to the program, then
// the usual bin/../lib and ../lib64, then the bare name for the system search.
std::string locate(const std::string& name) {
    const std::string dir = executableDir();
    const std::vector<std::string> candidates = {
        dir + "/" + name,
        dir + "/" QUIBB9X_LIBDIR_FROM_BINDIR "/" + name,
        dir + "/../lib/" + name,
        dir + "/../lib64/" + name,
    };
    for (const auto& c : candidates) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(c, ec)) return c;
    }
    return name;
}

std::string decidePath() {
    if (!chosenPath.empty()) return chosenPath;
    if (const char* env = std::getenv("QUIBB9X_PORTLIB"); env && *env)
        return env;
    return locate("libzavbit2.so");
}

void* open() {
    if (library) return library;
    chosenPath = decidePath();
    dlerror();
    library = dlopen(chosenPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        fail("cannot load the port library '" + chosenPath + "': " +
             (why ? why : "unknown reason"));
    }
    return library;
}

template <typename Fn>
Fn lookup(Fn& slot, const char* name) {
    if (slot) return slot;
    void* lib = open();
    dlerror();
    void* sym = dlsym(lib, name);
    if (!sym) {
        const char* why = dlerror();
        fail(std::string("the port library '") + chosenPath +
             "' has no export '" + name + "': " + (why ? why : "not found"));
    }
    slot = reinterpret_cast<Fn>(sym);
    return slot;
}

}  // namespace

std::string executableDir() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    return exe.parent_path().string();
}

namespace {

void keepsimulatedchip() {
    if (std::getenv("QUIBB9X_SIM_FILE") || std::getenv("QUIBB9X_SIM_DIR")) return;
    const std::string state = platform::stateDirectory();
    if (state.empty()) return;
    const std::filesystem::path dir = std::filesystem::path(state) / "quibb9x";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "quibb9x: cannot make %s (%s); the simulated chip is not kept "
                             "after this run\n", dir.c_str(), ec.message().c_str());
        return;
    }
    setenv("QUIBB9X_SIM_DIR", dir.c_str(), 0);
}

}  // namespace

void chooseSimulated() {
    chosenPath = locate("libzavbit2sim.so");
    keepsimulatedchip();
}
void chooseLibrary(const std::string& path) { chosenPath = path; }
std::string libraryPath() { return library ? chosenPath : decidePath(); }

void setFailureHandler(std::function<void(const std::string&)> handler) {
    failureHandler = std::move(handler);
}

void reset() {
    crashguard::disarm();  // its port function goes with the library
    if (library) dlclose(library);
    library = nullptr;
    chosenPath.clear();
    boundSR = boundSL = nullptr;
    boundINP = nullptr;
    boundOUT = nullptr;
}

void* handle() { return open(); }

bool simulatedboard() { return dlsym(open(), "zavsimSave") != nullptr; }

std::optional<uint16_t> simulatedbase() {
    using Base = int32_t (*)();
    const auto base = reinterpret_cast<Base>(dlsym(open(), "zavsimBase"));
    if (!base) return std::nullopt;
    return static_cast<uint16_t>(base());
}

void simulatedchipnowait() { setenv("QUIBB9X_SIM_SHARED", "copy", 1); }

std::string simulatedchipcopy() {
    using File = int32_t (*)(char*, int32_t);
    const auto file = reinterpret_cast<File>(dlsym(open(), "zavsimChipFile"));
    if (!file) return {};
    std::vector<char> path(4096);
    return file(path.data(), static_cast<int32_t>(path.size())) == 2 ? std::string(path.data()) : std::string();
}

PortWrite boundout() { return lookup(boundOUT, "zavOUT"); }

int32_t zavSR(int32_t value, int32_t count) {
    return lookup(boundSR, "zavSR")(value, count);
}
int32_t zavSL(int32_t value, int32_t count) {
    return lookup(boundSL, "zavSL")(value, count);
}
// Every access also goes to the capture of the lines, when one is open.
int32_t zavINP(int32_t port) {
    const int32_t value = lookup(boundINP, "zavINP")(port);
    if (capture::active()) capture::read(port, value);
    return value;
}
void zavOUT(int32_t port, int32_t value) {
    lookup(boundOUT, "zavOUT")(port, value);
    if (capture::active()) capture::written(port, value);
}

}  // namespace binding
