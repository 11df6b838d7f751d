#include "commands.h"

#include <unistd.h>

#include <QCoreApplication>
#include <iostream>

#include "cli/console.h"
#include "cli/interrupt.h"
#include "cli/linecapture.h"
#include "core/binding.h"
#include "core/lines.h"
#include "core/platform.h"
#include "core/startup.h"
#include "image/dumps.h"
#include "image/hexreader.h"
#include "operations/boardcheck.h"
#include "operations/erase.h"
#include "operations/program.h"
#include "settings/settings.h"

namespace cli {
namespace {

const char* const programname = "quibb9x";

// Burn and verify: a file that does not load never reaches the chip.
int burnorverify(const Options& o, State& s, ConfigEditor& editor, Frontend& f,
                 int16_t mode) {
    if (!loadhexfile(s, f, o.file)) return exitfailed;
    editor.updateC(s);
    if (o.overrides.config) editor.setword(s, *o.overrides.config);
    return program2(s, f, mode) ? exitok : exitfailed;
}

}  // namespace

int usage(const std::string& why) {
    std::cerr << programname << ": " << why << " (see '" << programname << " --help')\n";
    return exitusage;
}

void clistartup(State& s, ConfigEditor& editor, const Overrides& overrides) {
    startup(s);
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
    if (c == "read-hex" || c == "read-bin") {
        s.dumpfile = o.file;
        const bool saved = c == "read-hex" ? save_hex(s, f) : save_bin(s, f);
        return saved ? exitok : exitfailed;
    }
    if (c == "erase") {
        if (erasechip(s, f)) return exitok;
        std::cerr << programname << ": erase not confirmed; nothing was sent to the chip\n";
        return exitfailed;
    }
    if (c == "detect") return checkhardware(s, f) == 1 ? exitok : exitfailed;
    return usage("unknown command '" + c + "'");
}

int runcli(const Options& o) {
    const bool stdinTerminal = isatty(STDIN_FILENO) == 1;
    // Refuse before the port is touched: a script must say --yes itself.
    if (o.command == "erase" && !o.yes && !stdinTerminal)
        return usage("erase needs --yes when standard input is not a terminal");
    if (!o.vcd.empty() && !startcapture(o.vcd)) return exitfailed;

    installinterrupt();
    platform::Waits& previous = platform::waits();
    InterruptWaits waits(previous);
    platform::installWaits(&waits);
    auto restorewaits = [&] {
        platform::installWaits(&previous == &platform::realWaits() ? nullptr : &previous);
    };

    State s;
    ConfigEditor editor;
    ConsoleFrontend f(std::cout, std::cerr, isatty(STDERR_FILENO) == 1, o.yes,
                      stdinTerminal ? &std::cin : nullptr);
    int status = exitfailed;
    try {
        clistartup(s, editor, o.overrides);
        // As in the window, no settings file means "Other Port:" at 0.
        if (s.portaddr == 0)
            std::cerr << programname << ": the port is 0 (the settings file gives none); "
                      << "choose one with --port\n";
        status = runcommand(o, s, editor, f);
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
        // A HEX dump stopped during its read-out leaves its temporary file.
        if (o.command == "read-hex") unlink(s.tempfile.c_str());
        std::cerr << programname << ": interrupted; the board is idle (programming voltage off)\n";
    }
    if (!finishcapture(o.vcd) && status == exitok) status = exitfailed;
    return status;
}

int climain(int argc, char** argv, const Options& o) {
    // The command line needs no display: a core application loads no
    // platform plugin.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(programname);
    QCoreApplication::setApplicationVersion("1.32");
    if (o.help) {
        std::cout << helptext();
        return exitok;
    }
    if (o.version) {
        std::cout << programname << " 1.32\n";
        return exitok;
    }
    if (o.simulate) binding::chooseSimulated();
    return runcli(o);
}

}  // namespace cli
