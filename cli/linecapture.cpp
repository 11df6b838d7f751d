// SPDX-License-Identifier: GPL-2.0-or-later
#include "linecapture.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "cli/console.h"
#include "core/capture.h"
#include "core/outputfile.h"
#include "core/platform.h"

namespace cli {

bool startcapture(const std::string& path, const std::vector<RunFile>& keep) {
    for (const auto& k : keep) {
        if (!output::samefile(path, k.path)) continue;
        std::cerr << "quibb9x: --vcd '" << escaped(path) << "' is " << k.what << " ("
                  << escaped(k.path) << "), which the capture would replace; give --vcd "
                  << "another path, nothing was touched\n";
        return false;
    }
    std::string why;
    if (capture::open(path, why)) return true;
    std::cerr << "quibb9x: cannot create the capture file '" << escaped(path) << "': " << why
              << "; give --vcd a path in a directory you can write to\n";
    return false;
}

bool finishcapture(const std::string& path) {
    std::string why;
    if (capture::close(why)) return true;
    std::cerr << "quibb9x: the capture file '" << escaped(path) << "' is incomplete: " << why
              << "; make room or give --vcd another path\n";
    return false;
}

// With a folder of chip files, every chip kept there (simulated-*.txt).
std::vector<RunFile> runfiles() {
    std::vector<RunFile> files = {{platform::currentDirectory() + "/quibb9x.ini", "the settings file"}};
    if (const char* chip = std::getenv("QUIBB9X_SIM_FILE")) {
        if (*chip) files.push_back({chip, "the simulated chip's file"});
        return files;
    }
    const char* dir = std::getenv("QUIBB9X_SIM_DIR");
    std::error_code ec;
    if (!dir || !*dir) return files;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("simulated-", 0) == 0 && name.size() > 14 && name.substr(name.size() - 4) == ".txt")
            files.push_back({e.path().string(), "a simulated chip's file"});
    }
    return files;
}

}  // namespace cli
