// SPDX-License-Identifier: GPL-2.0-or-later
// The lazy binding to the port library: which file, when it is loaded, and
// how a missing file or export ends the program. Tests that need a process in
// which nothing was loaded yet run their body in a fresh child process.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "core/binding.h"

namespace {

bool loaded(const char* path) {
    void* h = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (h) dlclose(h);
    return h != nullptr;
}

class Binding : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        unsetenv("QUIBB9X_PORTLIB");
        unsetenv("PARTIALLIB_STATUS");
        binding::reset();
    }
    void TearDown() override {
        unsetenv("QUIBB9X_PORTLIB");
        binding::reset();
    }
};

}  // namespace

TEST_F(Binding, NothingIsLoadedBeforeTheFirstCall) {
    EXPECT_EXIT(
        {
            setenv("QUIBB9X_PORTLIB", PARTIALLIB_PATH, 1);
            const bool before = loaded(PARTIALLIB_PATH);
            const bool shifted = binding::zavSR(0x3FF3, 1) == 0x1FF9;
            const bool after = loaded(PARTIALLIB_PATH);
            std::exit(!before && shifted && after ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(Binding, TheFileComesFromTheChoiceThenTheEnvironmentThenBesideTheProgram) {
    const std::string dir = binding::executableDir();
    EXPECT_EQ(binding::libraryPath(), dir + "/libzavbit2.so");

    setenv("QUIBB9X_PORTLIB", PARTIALLIB_PATH, 1);
    EXPECT_EQ(binding::libraryPath(), PARTIALLIB_PATH);
    EXPECT_EQ(binding::zavINP(0x279), 0x5A);  // only the test library answers this
    EXPECT_EQ(binding::libraryPath(), PARTIALLIB_PATH);

    // The --simulate choice wins over the environment.
    binding::reset();
    binding::chooseSimulated();
    EXPECT_EQ(binding::libraryPath(), dir + "/libzavbit2sim.so");
}

TEST_F(Binding, AMissingLibraryEndsWithItsNameAndTheLoadersReason) {
    EXPECT_EXIT(
        {
            setenv("QUIBB9X_PORTLIB", "/nonexistent/libzavbit2.so", 1);
            binding::zavOUT(0x27A, 0x04);
        },
        ::testing::ExitedWithCode(1),
        "cannot load the port library '/nonexistent/libzavbit2\\.so': "
        "/nonexistent/libzavbit2\\.so: cannot open shared object file: No such file or directory");

    const std::string junk = ::testing::TempDir() + "binding-not-a-library.so";
    std::ofstream(junk) << "not a library\n";
    EXPECT_EXIT(
        {
            setenv("QUIBB9X_PORTLIB", junk.c_str(), 1);
            binding::zavSR(1, 1);
        },
        ::testing::ExitedWithCode(1),
        "cannot load the port library '" + junk + "': .*(invalid ELF header|file too short)");
    std::remove(junk.c_str());
}

TEST_F(Binding, AMissingExportEndsOnlyAtItsOwnFirstUse) {
    EXPECT_EXIT(
        {
            setenv("QUIBB9X_PORTLIB", PARTIALLIB_PATH, 1);
            setenv("PARTIALLIB_STATUS", "0x7F", 1);
            if (binding::zavSR(-2, 1) == -1 && binding::zavSL(1, 13) == 0x2000 &&
                binding::zavINP(0x279) == 0x7F)
                std::fprintf(stderr, "three exports answered\n");
            binding::zavOUT(0x27A, 0x04);
            std::fprintf(stderr, "still running\n");
        },
        ::testing::ExitedWithCode(1),
        std::string("^three exports answered\nquibb9x: the port library '") + PARTIALLIB_PATH +
            "' has no export 'zavOUT': [^\n]*undefined symbol: zavOUT\n$");
}
