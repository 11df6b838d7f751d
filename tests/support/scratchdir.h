// SPDX-License-Identifier: GPL-2.0-or-later
// A directory of a test's own under /tmp, removed with everything in it when
// the test ends. Entered, it is the current directory while it lives (the
// settings file is looked for there).
#pragma once
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag, bool enter = false) {
        std::string name = "/tmp/quibb9x-" + tag + "-XXXXXX";
        if (!mkdtemp(name.data())) throw std::runtime_error("cannot make " + name);
        path_ = name;
        if (enter) {
            before_ = std::filesystem::current_path();
            std::filesystem::current_path(path_);
        }
    }
    ~ScratchDir() {
        std::error_code ec;
        if (!before_.empty()) std::filesystem::current_path(before_, ec);
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::filesystem::path before_;
};
