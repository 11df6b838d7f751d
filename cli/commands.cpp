#include "commands.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <iostream>

#include "cli/checks.h"
#include "cli/console.h"
#include "cli/interrupt.h"
#include "cli/linecapture.h"
#include "core/binding.h"
#include "core/lines.h"
#include "core/platform.h"
#include "core/startup.h"
#include "image/dumps.h"
#include "image/hexreader.h"
#include "operations/blankcheck.h"
#include "operations/boardcheck.h"
#include "operations/deviceid.h"
#include "operations/erase.h"
#include "operations/onlychanged.h"
#include "operations/program.h"
#include "settings/settings.h"

namespace cli {
namespace {

const char* const programname = "quibb9x";

// Addresses and words as our own lines show them: upper-case hexadecimal,
// padded to four digits (to two for a data byte, three for a port).
std::string hexfixed(int32_t value, int digits = 4) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value & 0xFFFF));
    return text;
}

std::string idline(int16_t id) {
    return "word " + hexfixed(deviceidaddress) + " reads " + hexfixed(id) + ": " + describedeviceid(id);
}

// --device 16F84A: a chip that reports another ID is refused before any word
// is written to it.
bool isf84aorrefuse(State& s) {
    const int16_t id = readdeviceid(s);
    if (isf84a(id)) return true;
    std::cerr << programname << ": --device 16F84A, but " << idline(id)
              << "; nothing was written. Put a PIC16F84A in the socket, or give the chip's "
                 "own --device.\n";
    return false;
}

int burnchanged(State& s, Frontend& f) {
    ChangedCount n;
    const bool ok = programchanged(s, f, n);
    f.statusAdd(std::string(programname) + ": programmed " + std::to_string(n.programmed) +
                " of the " + std::to_string(n.compared) + " words compared" +
                (ok ? "; the others already held the file's values" : ", then stopped at the mismatch"));
    return ok ? exitok : exitfailed;
}

// Burn and verify: a file that does not load never reaches the chip.
int burnorverify(const Options& o, State& s, ConfigEditor& editor, Frontend& f,
                 int16_t mode) {
    if (const int refused = checkhexfile(o.file, s)) return refused;
    if (!loadhexfile(s, f, o.file)) return exitfailed;
    if (interrupted()) throw Interrupted{};
    const bool filehasconfig = s.configused != 0;
    editor.updateC(s);
    if (o.overrides.config) editor.setword(s, *o.overrides.config);
    if (const int refused = checkconfigword(o, s, filehasconfig)) return refused;
    if (const int refused = checkboard(s)) return refused;
    if (o.overrides.requiref84a && !isf84aorrefuse(s)) return exitfailed;
    if (o.onlyChanged) return burnchanged(s, f);
    return program2(s, f, mode) ? exitok : exitfailed;
}

// Read-outs: a place the file cannot go, a missing board or a protected chip
// is found before the chip is read, and no file is written.
int readout(const Options& o, State& s, Frontend& f) {
    if (const int refused = checktarget(o.file)) return refused;
    if (const int refused = checkboard(s)) return refused;
    if (const int refused = checkprotection(s)) return refused;
    s.dumpfile = o.file;
    const bool saved = o.command == "read-hex" ? save_hex(s, f) : save_bin(s, f);
    return saved ? exitok : exitfailed;
}

// Without the board every word reads alike (all ones or all zeros), which
// would pass for a blank or a protected chip: the board must answer first.
int checkblank(State& s, Frontend& f) {
    if (const int refused = checkboard(s)) return refused;
    const BlankResult r = blankcheck(s);
    if (r.blank) {
        f.statusAdd(std::string(programname) + ": blank: all " + std::to_string(r.words) +
                    " words read as erased");
        return exitok;
    }
    const std::string word = hexfixed(r.address) + ": " + hexfixed(r.value, r.address >= 0x2100 ? 2 : 4);
    if (r.codeprotected)
        std::cerr << programname << ": not blank: the chip is code-protected (" << word
                  << "), so its program and data memory read as zeros. Erase it with '"
                  << programname << " erase --yes'.\n";
    else
        std::cerr << programname << ": not blank: the first word not erased is " << word
                  << ". Erase it with '" << programname << " erase --yes'.\n";
    return exitfailed;
}

// The board answers: the device ID says which chip is in the socket.
int detect(State& s, Frontend& f) {
    if (checkhardware(s, f) != 1) return exitfailed;
    f.statusAdd(std::string(programname) + ": " + idline(readdeviceid(s)));
    return exitok;
}

// The files of this run that --vcd must not name.
std::vector<RunFile> capturekeeps(const Options& o) {
    std::vector<RunFile> keep = runfiles();
    if (o.command == "burn" || o.command == "verify") keep.push_back({o.file, "the HEX file"});
    if (o.command == "read-hex" || o.command == "read-bin")
        keep.push_back({o.file, "the dump's target"});
    return keep;
}

bool dumpstostdout(const Options& o) {
    if (o.command != "read-hex" && o.command != "read-bin") return false;
    if (o.file == "-") return true;
    struct stat target, out;
    return stat(o.file.c_str(), &target) == 0 && fstat(STDOUT_FILENO, &out) == 0 &&
           !S_ISREG(out.st_mode) && target.st_dev == out.st_dev && target.st_ino == out.st_ino;
}

// The simulated board keeps its chip in a file: a chip that could not be
// saved there was not kept, so the command did not do all it was asked.
bool simulatedchipsaved() {
    if (!binding::simulatedboard()) return true;
    using Saved = int32_t (*)();
    const auto saved = reinterpret_cast<Saved>(dlsym(binding::handle(), "zavsimSaveChip"));
    if (!saved || saved() == 1) return true;
    std::cerr << programname << ": the simulated chip could not be saved (see the line above), "
                                "so the next run will not find it; make room or fix the file's "
                                "place\n";
    return false;
}

}  // namespace

int usage(const std::string& why) {
    std::cerr << programname << ": " << escaped(why) << " (see '" << programname << " --help')\n";
    return exitusage;
}

void clistartup(State& s, ConfigEditor& editor, const Overrides& overrides) {
    startup(s);
    if (const std::string why = settingsproblem(inipath(s)); !why.empty())
        std::cerr << programname << ": ignoring the settings file " << escaped(inipath(s)) << ": "
                  << why << "; remove or replace it\n";
    // The window selects PIC 16F84 (its handler runs, and start-up runs it
    // once more) and LPT2.
    setdevice(s, 2);
    setdevice(s, 2);
    s.portaddr = LPT2;
    applysettings(s, editor, readsettings(s));
    if (overrides.device) setdevice(s, *overrides.device);
    if (overrides.port) s.portaddr = *overrides.port;
}

int runcommand(const Options& o, State& s, ConfigEditor& editor, Frontend& f) {
    const std::string& c = o.command;
    if (c == "burn") return burnorverify(o, s, editor, f, modeprogram);
    if (c == "verify") return burnorverify(o, s, editor, f, modeverify);
    if (c == "read-hex" || c == "read-bin") return readout(o, s, f);
    if (c == "erase") {
        if (const int refused = checkboard(s)) return refused;
        if (erasechip(s, f)) return exitok;
        std::cerr << programname << ": erase not confirmed; nothing was sent to the chip\n";
        return exitfailed;
    }
    if (c == "blank-check") return checkblank(s, f);
    if (c == "detect") return detect(s, f);
    return usage("unknown command '" + c + "'");
}

int runcli(const Options& o) {
    // Needs neither the port library nor the board.
    if (o.command == "ports") return listports(std::cout);
    const bool stdinTerminal = isatty(STDIN_FILENO) == 1;
    // Refuse before the port is touched: a script must say --yes itself.
    if (o.command == "erase" && !o.yes && !stdinTerminal)
        return usage("erase needs --yes when standard input is not a terminal");
    if (!o.vcd.empty() && !startcapture(o.vcd, capturekeeps(o))) return exitfailed;

    installinterrupt();
    platform::Waits& previous = platform::waits();
    InterruptWaits waits(previous);
    platform::installWaits(&waits);
    auto restorewaits = [&] {
        platform::installWaits(&previous == &platform::realWaits() ? nullptr : &previous);
    };

    State s;
    ConfigEditor editor;
    // A dump to standard output keeps it for the dump's own bytes.
    ConsoleFrontend f(dumpstostdout(o) ? std::cerr : std::cout, std::cerr,
                      isatty(STDERR_FILENO) == 1, o.yes, stdinTerminal ? &std::cin : nullptr);
    int status = exitfailed;
    try {
        clistartup(s, editor, o.overrides);
        // As in the window, no settings file means "Other Port:" at 0.
        status = checkport(o, s);
        if (status == exitok) status = runcommand(o, s, editor, f);
    } catch (const Interrupted&) {
        status = exitinterrupted;
    }
    // A signal that came between two waits (or during the question) counts
    // as well.
    if (interrupted()) status = exitinterrupted;
    restorewaits();
    f.finish();
    if (status == exitinterrupted) {
        allpinslow(s);
        std::cerr << programname << ": interrupted; the board is idle (programming voltage off)\n";
    }
    if (!simulatedchipsaved() && status == exitok) status = exitfailed;
    if (!finishcapture(o.vcd) && status == exitok) status = exitfailed;
    return status;
}

int climain(int argc, char** argv, const Options& o) {
    // The command line needs no display: a core application loads no
    // platform plugin.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(programname);
    State versioned;
    setversion(versioned);
    QCoreApplication::setApplicationVersion(QString::fromStdString(versioned.version));
    if (o.help) {
        std::cout << helptext();
        return exitok;
    }
    if (o.version) {
        std::cout << programname << " " << versioned.version << "\n";
        return exitok;
    }
    if (o.simulate) binding::chooseSimulated();
    return runcli(o);
}

}  // namespace cli
