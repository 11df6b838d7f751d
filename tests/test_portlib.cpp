// SPDX-License-Identifier: GPL-2.0-or-later
// The real port library: its shifts and exports through the built file, and
// the routing of I/O ports to kernel devices against a fake /proc and /dev and
// a stand-in kernel.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "portlib/parport.h"

namespace fs = std::filesystem;
using parport::Known;

namespace {

template <typename Fn>
Fn exported(const char* name) {
    static void* lib = dlopen(ZAVBIT2_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!lib) return nullptr;
    return reinterpret_cast<Fn>(dlsym(lib, name));
}

// A scratch directory holding a fake proc tree and device directory.
struct FakeRoots {
    fs::path root;
    FakeRoots() {
        root = fs::temp_directory_path() /
               ("portlib-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "proc/sys/dev/parport/default");
        fs::create_directories(root / "dev");
    }
    ~FakeRoots() { fs::remove_all(root); }
    std::string proc() const { return (root / "proc").string(); }
    std::string dev() const { return (root / "dev").string(); }
    void port(const std::string& name, const std::string& baseaddr) const {
        const fs::path dir = root / "proc/sys/dev/parport" / name;
        fs::create_directories(dir);
        std::ofstream(dir / "base-addr") << baseaddr;
    }
};

// A stand-in kernel: records every call, answers from its fields.
struct FakeKernel {
    std::vector<std::string> calls;
    int openErrno = 0;
    int claimErrno = 0;
    int permErrno = 0;
    uint8_t data = 0x11, status = 0x80, control = 0x0C;
} kernel;

std::string byte(unsigned v) {
    char t[8];
    std::snprintf(t, sizeof t, "%02X", v);
    return t;
}

int fakeopen(const char* path, int) {
    kernel.calls.push_back(std::string("open ") + path);
    if (kernel.openErrno) {
        errno = kernel.openErrno;
        return -1;
    }
    return 7;
}
int fakeioctl(int, unsigned long request, unsigned char* arg) {
    switch (request) {
    case PPCLAIM:
        kernel.calls.push_back("claim");
        if (kernel.claimErrno) {
            errno = kernel.claimErrno;
            return -1;
        }
        return 0;
    case PPRELEASE: kernel.calls.push_back("release"); return 0;
    case PPWDATA: kernel.calls.push_back("data<-" + byte(*arg)); return 0;
    case PPWCONTROL: kernel.calls.push_back("control<-" + byte(*arg)); return 0;
    case PPRDATA: kernel.calls.push_back("data?"); *arg = kernel.data; return 0;
    case PPRSTATUS: kernel.calls.push_back("status?"); *arg = kernel.status; return 0;
    case PPRCONTROL: kernel.calls.push_back("control?"); *arg = kernel.control; return 0;
    default: errno = ENOTTY; return -1;
    }
}
int fakeclose(int) { kernel.calls.push_back("close"); return 0; }
int fakeioperm(unsigned long from, unsigned long num, int on) {
    kernel.calls.push_back("ioperm " + byte(from) + " " + std::to_string(num) + " " + std::to_string(on));
    if (kernel.permErrno) {
        errno = kernel.permErrno;
        return -1;
    }
    return 0;
}
int fakeiopl(int level) {
    kernel.calls.push_back("iopl " + std::to_string(level));
    return 0;
}
uint8_t fakeinb(uint16_t port) {
    kernel.calls.push_back("inb " + byte(port));
    return kernel.status;
}
void fakeoutb(uint8_t value, uint16_t port) { kernel.calls.push_back("outb " + byte(port) + " " + byte(value)); }

const parport::Syscalls fakesys = {fakeopen, fakeioctl, fakeclose, fakeioperm,
                                   fakeiopl, fakeinb,   fakeoutb,  true};

class PortsTest : public ::testing::Test {
protected:
    FakeRoots roots;
    std::vector<std::string> said;

    void SetUp() override {
        kernel = FakeKernel{};
        roots.port("parport0", "888\t1912\n");  // 0x378
        roots.port("parport1", "632\n");        // 0x278
    }
    parport::Config config(bool rawio = false) const {
        return {roots.proc(), roots.dev(), rawio};
    }
    std::function<void(const std::string&)> sink() {
        return [this](const std::string& line) { said.push_back(line); };
    }
};

}  // namespace

TEST(Shifts, RightIsArithmeticAndLeftTruncatesWithCountModulo32) {
    auto sr = exported<int32_t (*)(int32_t, int32_t)>("zavSR");
    auto sl = exported<int32_t (*)(int32_t, int32_t)>("zavSL");
    ASSERT_TRUE(sr && sl) << dlerror();
    EXPECT_EQ(sr(-2, 1), -1);
    EXPECT_EQ(sr(0x80, 7), 1);
    EXPECT_EQ(sr(0x3FF3, 1), 0x1FF9);
    EXPECT_EQ(sr(5, 33), 2);
    EXPECT_EQ(sr(5, 32), 5);
    EXPECT_EQ(sr(INT32_MIN, 31), -1);
    EXPECT_EQ(sr(-1, -1), -1);  // count -1 is 31
    EXPECT_EQ(sl(1, 13), 0x2000);
    EXPECT_EQ(sl(0x12, 8), 0x1200);
    EXPECT_EQ(sl(1, 32), 1);
    EXPECT_EQ(sl(1, 31), INT32_MIN);
    EXPECT_EQ(sl(3, 31), INT32_MIN);  // bit 1 falls off the top
    EXPECT_EQ(sl(-1, 4), -16);
    EXPECT_EQ(sl(0x7FFFFFFF, 1), -2);
}

TEST(Exports, ExactlyTheFourPortFunctions) {
    FILE* nm = popen("nm -D --defined-only '" ZAVBIT2_PATH "'", "r");
    ASSERT_NE(nm, nullptr);
    std::set<std::string> names;
    char line[1024];
    while (std::fgets(line, sizeof line, nm)) {
        std::string text(line);
        const auto space = text.find_last_of(' ');
        names.insert(text.substr(space + 1, text.find_last_not_of("\r\n") - space));
    }
    ASSERT_EQ(pclose(nm), 0);
    EXPECT_EQ(names, (std::set<std::string>{"zavINP", "zavOUT", "zavSL", "zavSR"}));
}

TEST(Mapping, FirstDecimalNumberOfBaseAddr) {
    EXPECT_EQ(parport::firstdecimal("888\t1912\n"), 888u);
    EXPECT_EQ(parport::firstdecimal("  632 0\n"), 632u);
    EXPECT_EQ(parport::firstdecimal("0"), 0u);
    EXPECT_FALSE(parport::firstdecimal("").has_value());
    EXPECT_FALSE(parport::firstdecimal("none\n").has_value());
    EXPECT_FALSE(parport::firstdecimal("99999999999").has_value());
}

TEST(Mapping, ScanReadsEveryNumberedPortInOrder) {
    FakeRoots roots;
    roots.port("parport10", "956\n");        // 0x3BC
    roots.port("parport1", "632\n");         // 0x278
    roots.port("parport0", "888\t1912\n");   // 0x378
    roots.port("parport2", "unknown\n");     // no number: not usable
    roots.port("parportx", "760\n");         // not a port's entry
    std::ofstream(roots.root / "proc/sys/dev/parport/default/base-addr") << "1\n";
    const auto ports = parport::scanports(roots.proc());
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].number, 0);
    EXPECT_EQ(ports[0].base, 0x378u);
    EXPECT_EQ(ports[1].number, 1);
    EXPECT_EQ(ports[1].base, 0x278u);
    EXPECT_EQ(ports[2].number, 10);
    EXPECT_EQ(ports[2].base, 0x3BCu);

    EXPECT_TRUE(parport::scanports((roots.root / "nowhere").string()).empty());
    EXPECT_EQ(parport::devicepath(roots.dev(), 10), roots.dev() + "/parport10");
}

TEST(Mapping, APortBelongsToTheBaseWithinTwoBelowIt) {
    const std::vector<Known> ports = {{0, 0x378}, {1, 0x278}};
    for (uint16_t p : {0x378, 0x379, 0x37A}) EXPECT_EQ(parport::portfor(ports, p)->number, 0);
    EXPECT_EQ(parport::portfor(ports, 0x27A)->number, 1);
    EXPECT_FALSE(parport::portfor(ports, 0x377).has_value());
    EXPECT_FALSE(parport::portfor(ports, 0x37B).has_value());
    EXPECT_FALSE(parport::portfor(ports, 0x0001).has_value());
    EXPECT_FALSE(parport::portfor({}, 0x378).has_value());
}

// Two ports whose registers overlap (a card at 0x37A beside the main
// board's 0x378): each register goes to the port with the nearest base below
// it, whatever the order the kernel lists them in; the same base twice goes
// to the lower-numbered port.
TEST(Mapping, OverlappingPortsTakeTheNearestBase) {
    for (const std::vector<Known>& ports : {std::vector<Known>{{0, 0x378}, {1, 0x37A}},
                                            std::vector<Known>{{1, 0x37A}, {0, 0x378}}}) {
        EXPECT_EQ(parport::portfor(ports, 0x378)->number, 0);
        EXPECT_EQ(parport::portfor(ports, 0x379)->number, 0);
        EXPECT_EQ(parport::portfor(ports, 0x37A)->number, 1);
        EXPECT_EQ(parport::portfor(ports, 0x37B)->number, 1);
        EXPECT_EQ(parport::portfor(ports, 0x37C)->number, 1);
        EXPECT_FALSE(parport::portfor(ports, 0x37D).has_value());
    }
    EXPECT_EQ(parport::portfor({{3, 0x278}, {4, 0x278}}, 0x27A)->number, 3);
}

TEST_F(PortsTest, RegistersGoThroughOneClaimedDeviceAsRawBits) {
    {
        parport::Ports ports(config(), fakesys, sink());
        ports.out(0x37A, 0x04);
        ports.out(0x378, 0x01);
        EXPECT_EQ(ports.in(0x379), 0x80);
        ports.out(0x37A, 0x0F);
        ports.out(0x379, 0x55);  // status is read-only: nothing to pass on
        EXPECT_EQ(ports.in(0x378), 0x11);
        EXPECT_EQ(ports.in(0x37A), 0x0C);
        EXPECT_EQ(kernel.calls,
                  (std::vector<std::string>{"open " + roots.dev() + "/parport0", "claim",
                                            "control<-04", "data<-01", "status?",
                                            "control<-0F", "data?", "control?"}));
        kernel.calls.clear();
    }
    EXPECT_EQ(kernel.calls, (std::vector<std::string>{"release", "close"}));
    EXPECT_TRUE(said.empty());
}

TEST_F(PortsTest, EachReasonIsExplainedOncePerBaseWithItsFix) {
    struct Case {
        int openErrno, claimErrno;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {EACCES, 0, "Permission denied. Add yourself to group lp (sudo usermod -aG lp $USER), then log in again."},
        {ENOENT, 0, "Load the parallel-port drivers: sudo modprobe ppdev parport_pc."},
        {ENXIO, 0, "Load the parallel-port drivers: sudo modprobe ppdev parport_pc."},
        {0, EBUSY, "Another driver such as lp holds the port; unload it: sudo rmmod lp."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        kernel = FakeKernel{};
        kernel.openErrno = c.openErrno;
        kernel.claimErrno = c.claimErrno;
        said.clear();
        parport::Ports ports(config(), fakesys, sink());
        for (int round = 0; round < 3; ++round) {
            ports.out(0x27A, 0x04);
            ports.out(0x278, 0x01);
            EXPECT_EQ(ports.in(0x279), 0xFF);
        }
        ASSERT_EQ(said.size(), 1u);
        EXPECT_NE(said[0].find(roots.dev() + "/parport1 (the parallel port at 0x278)"), std::string::npos) << said[0];
        EXPECT_NE(said[0].find(c.expected), std::string::npos) << said[0];
        EXPECT_NE(said[0].find("reads 0xFF"), std::string::npos);
        // Tried once, never again; a refused claim closes what it opened.
        EXPECT_EQ(std::count(kernel.calls.begin(), kernel.calls.end(), "open " + roots.dev() + "/parport1"), 1);
        EXPECT_EQ(std::count(kernel.calls.begin(), kernel.calls.end(), "close"), c.claimErrno ? 1 : 0);

        // Another base gets its own explanation.
        ports.out(0x37A, 0x04);
        EXPECT_EQ(said.size(), 2u);
    }
}

TEST_F(PortsTest, NoPortAtTheAddressListsThePortsThatExist) {
    parport::Ports ports(config(), fakesys, sink());
    ports.out(0x2BE, 0x04);
    ports.out(0x2BC, 0x01);
    EXPECT_EQ(ports.in(0x2BD), 0xFF);
    ASSERT_EQ(said.size(), 1u);
    // The control register comes first, but the line names the base chosen.
    EXPECT_EQ(said[0], "zavbit2: no parallel port has its registers at I/O address 0x2BC. "
                       "Parallel ports on this machine: 0x378 (" + roots.dev() + "/parport0), 0x278 (" +
                           roots.dev() + "/parport1). Choose one of these addresses. "
                           "Meanwhile the port reads 0xFF and writes to it go nowhere.");
    ports.out(0x3BE, 0x04);
    EXPECT_EQ(said.size(), 2u);

    // Start-up idles the lines at address 0 before a port is chosen: the main
    // board's range is left alone without a word.
    ports.out(0x0002, 0x04);
    ports.out(0x0000, 0x01);
    EXPECT_EQ(ports.in(0x0001), 0xFF);
    EXPECT_EQ(said.size(), 2u);
    EXPECT_TRUE(kernel.calls.empty());
}

TEST_F(PortsTest, NoPortsAtAllSaysToLoadTheDriver) {
    fs::remove_all(roots.root / "proc/sys/dev/parport");
    parport::Ports ports(config(), fakesys, sink());
    EXPECT_EQ(ports.in(0x379), 0xFF);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("knows of no parallel port"), std::string::npos);
    EXPECT_NE(said[0].find("sudo modprobe parport_pc"), std::string::npos);
}

TEST_F(PortsTest, AFileThatIsNoDeviceIsUnreachableWithItsReason) {
    std::ofstream(roots.root / "dev/parport0") << "";
    parport::Ports ports(config(), parport::realsyscalls(), sink());
    ports.out(0x37A, 0x04);
    EXPECT_EQ(ports.in(0x379), 0xFF);
    ports.out(0x278, 0x01);  // parport1 has no node at all
    ASSERT_EQ(said.size(), 2u);
    EXPECT_NE(said[0].find("cannot claim " + roots.dev() + "/parport0"), std::string::npos) << said[0];
    EXPECT_NE(said[0].find("not a parallel-port device"), std::string::npos) << said[0];
    EXPECT_NE(said[1].find("cannot open " + roots.dev() + "/parport1"), std::string::npos) << said[1];
    EXPECT_NE(said[1].find("sudo modprobe ppdev parport_pc"), std::string::npos) << said[1];
}

TEST_F(PortsTest, RawAccessAsksPermissionPerPortAndLeavesTheMainBoardAlone) {
    parport::Ports ports(config(true), fakesys, sink());
    ports.out(0x37A, 0x0F);
    ports.out(0x37A, 0x0E);
    EXPECT_EQ(ports.in(0x379), 0x80);
    ports.out(0xE800, 0x01);  // above 0x3FF ioperm cannot grant it
    ports.out(0x0002, 0x04);  // start-up before a port is chosen
    ports.out(0x0000, 0x01);
    EXPECT_EQ(kernel.calls,
              (std::vector<std::string>{"ioperm 37A 1 1", "outb 37A 0F", "outb 37A 0E",
                                        "ioperm 379 1 1", "inb 379", "iopl 3", "outb E800 01"}));
    EXPECT_TRUE(said.empty());  // nothing to explain about the main board's ports

    kernel = FakeKernel{};
    kernel.permErrno = EPERM;
    said.clear();
    parport::Ports refused(config(true), fakesys, sink());
    refused.out(0x27A, 0x04);
    refused.out(0x278, 0x01);
    EXPECT_EQ(refused.in(0x279), 0xFF);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("need root"), std::string::npos) << said[0];
    EXPECT_EQ(std::count_if(kernel.calls.begin(), kernel.calls.end(),
                            [](const std::string& c) { return c.rfind("outb", 0) == 0 || c.rfind("inb", 0) == 0; }),
              0);
}

// The built library, set up from the environment in a fresh process: an
// unreachable port is an empty bus and the reason reaches standard error.
TEST(RealLibrary, EmptyBusFromTheEnvironmentsRoots) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    FakeRoots roots;
    roots.port("parport0", "888\n");
    std::ofstream(roots.root / "dev/parport0") << "";
    EXPECT_EXIT(
        {
            setenv("ZAVBIT2_PROC_ROOT", roots.proc().c_str(), 1);
            setenv("ZAVBIT2_DEV_ROOT", roots.dev().c_str(), 1);
            unsetenv("ZAVBIT2_RAWIO");
            auto inp = exported<int32_t (*)(int32_t)>("zavINP");
            auto out = exported<void (*)(int32_t, int32_t)>("zavOUT");
            out(0x37A, 0x104);
            const bool empty = inp(0x379) == -1 && inp(0x37A) == -1;
            fs::remove_all(roots.root);
            std::exit(empty ? 0 : 2);
        },
        ::testing::ExitedWithCode(0),
        "^zavbit2: cannot claim [^\n]*/dev/parport0 \\(the parallel port at 0x378\\): "
        "Inappropriate ioctl for device\\. That file is not a parallel-port device\\. "
        "Meanwhile the port reads 0xFF and writes to it go nowhere\\.\n$");
}

