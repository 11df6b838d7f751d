// SPDX-License-Identifier: GPL-2.0-or-later
#include "commands.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <iostream>

#include "cli/calibrationcli.h"
#include "cli/checks.h"
#include "cli/console.h"
#include "cli/interrupt.h"
#include "cli/linecapture.h"
#include "cli/production.h"
#include "core/binding.h"
#include "core/capture.h"
#include "core/lines.h"
#include "core/platform.h"
#include "core/startup.h"
#include "core/stop.h"
#include "devices/select.h"
#include "core/wiring.h"
#include "image/checksum.h"
#include "image/dumps.h"
#include "image/hexreader.h"
#include "image/image.h"
#include "operations/blankcheck.h"
#include "operations/deviceid.h"
#include "operations/erase.h"
#include "operations/factorywords.h"
#include "operations/readiness.h"
#include "operations/onlychanged.h"
#include "operations/program.h"
#include "operations/readiness.h"
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

// A chip that reports another ID (every chip after the original four) is
// refused before any word is written to it or read from it.
bool chiporrefuse(State& s, const char* nothing) {
    const auto wrong = wrongchip(s);
    if (!wrong) return true;
    const ChipRow& row = currentchip(s);
    std::cerr << programname << ": --device " << row.name << ", but " << wrong->found;
    if (!wrong->causes.empty()) std::cerr << "; " << wrong->causes;
    std::cerr << "; " << nothing << ". Put a " << chiplabel(row)
              << " in the socket, or give the chip's own --device.\n";
    return false;
}

// The board check, unless --no-check: then said once a command, as a
// status line.
bool nochecktold = false;
int boardready(const Options& o, State& s, Frontend& f) {
    if (!o.overrides.nocheck) return checkboard(s);
    if (!nochecktold)
        f.statusAdd(std::string(programname) + ": --no-check: the board at port " +
                    hexfixed(static_cast<uint16_t>(s.portaddr), 3) + " was not checked");
    nochecktold = true;
    return exitok;
}

// --device auto: word 0x2006 names the chip, which is then selected and
// named.
int chooseautomatically(const Options& o, State& s, Frontend& f) {
    if (const int refused = boardready(o, s, f)) return refused;
    const int16_t id = readdeviceid(s);
    if (const ChipRow* row = chipbyid(static_cast<uint16_t>(id))) {
        selectchip(s, *row);
        f.statusAdd(std::string(programname) + ": --device auto: " + idline(id) +
                    "; working on it as a " + chiplabel(*row));
        return exitok;
    }
    std::cerr << programname << ": --device auto: " << hexfixed(deviceidaddress) << " reads "
              << hexfixed(id);
    if (id == 0x3FFF)
        std::cerr << ": the chip has no device ID (a 16C84, 16F84 or 16F83), or the socket is "
                     "empty; name the chip with --device (e.g. --device 16F84)\n";
    else if (const char* other = otherchipname(id))
        std::cerr << ": a " << other << ", which this program cannot program; nothing was "
                     "written\n";
    else
        std::cerr << ", which is no device ID this program knows; name the chip with --device "
                     "('" << programname << " devices' lists them)\n";
    return exitwrongchip;
}

// The configuration word(s) of a chip that the window's editor does not
// model go straight from --config and --config2 into the image; bits the
// chip does not implement are refused, named.
int takeconfig(const Options& o, State& s, const ChipRow& row) {
    const std::optional<int16_t> given[2] = {o.overrides.config, o.overrides.config2};
    const char* option[2] = {"--config", "--config2"};
    for (int k = 0; k < 2; ++k) {
        if (!given[k]) continue;
        if (k >= row.words(Kind::config)) {
            std::cerr << programname << ": --config2 is for a chip with a second configuration "
                         "word (16F87, 16F88, 16F882-887), not the " << chiplabel(row) << "\n";
            return exitusage;
        }
        const uint16_t extra = unimplementedbits(row, k, static_cast<uint16_t>(*given[k]));
        if (extra != 0) {
            std::string bits;
            for (int b = 13; b >= 0; --b)
                if (extra & (1 << b)) bits += (bits.empty() ? "" : ", ") + std::to_string(b);
            std::cerr << programname << ": " << option[k] << " " << hexfixed(*given[k])
                      << " sets bits the " << chiplabel(row) << " does not implement (" << bits
                      << "; it implements " << hexfixed(row.config(k).mask)
                      << "); nothing was written\n";
            return exitusage;
        }
        s.configmem[k] = *given[k];
        if (s.configused < k + 1) s.configused = static_cast<int16_t>(k + 1);
    }
    if (s.configused != 0) return exitok;
    std::cerr << programname << ": " << escaped(o.file)
              << " has no configuration word; give one with --config (the "
              << chiplabel(row) << " implements " << hexfixed(row.config(0).mask) << ")\n";
    return exitusage;
}

// A configuration that selects an internal oscillator with MCLR off is
// burnt only when the person says so: afterwards this board cannot enter the
// chip again. Not asked: refused (a script must say --yes itself).
int confirmlockout(const State& s, ConsoleFrontend& f) {
    const auto question = lockoutquestion(s);
    if (!question) return exitok;
    if (f.message(*question, "LOCKED OUT?", Buttons::YesNo) == Answer::Yes) return exitok;
    if (isatty(STDIN_FILENO) != 1) return exitusage;  // the answer line said why
    std::cerr << programname << ": burn not confirmed; nothing was written to the chip\n";
    return exitfailed;
}

// After a burn or verify that passed: the sum the maker's IDE shows for the
// file, and for the chip where that differs (a file with gaps on the
// original chips, which burn a gap as 0).
void checksumline(const Options& o, const State& s, Frontend& f, const ChipHooks* hooks) {
    std::vector<bool> given = givenwords(o.file, currentchip(s).words(Kind::program));
    if (hooks) hooks->addgiven(given);
    const uint16_t file = filechecksum(s, given), chip = imagechecksum(s);
    std::string line = std::string(programname) + ": checksum " + checksumtext(file);
    if (chip != file)
        line += "; the chip sums to " + checksumtext(chip) +
                ", since the words the file leaves out below its last one are burnt as 0";
    if (s.configused != 0 && codeprotected(s, s.configmem[0]))
        line += " (summed as without code protection, which this configuration word turns on; "
                "the maker's IDE may show another sum for it)";
    f.statusAdd(line);
}

int burnchanged(const Options& o, State& s, ConsoleFrontend& f, ChipHooks* hooks, bool lockout) {
    ChangedCount n;
    const bool ok = programchanged(s, f, n);
    if (hooks) hooks->counted(n.programmed, ok ? n.compared : n.compared - 1);
    if (ok) checksumline(o, s, f, hooks);
    if (n.calibration)
        f.result(std::string(programname) + ": the calibration given is not the chip's, and only "
                 "an erase lets it be written: the chip was erased and all " +
                 std::to_string(n.programmed) + " words of the file were burnt");
    else if (n.erasedat >= 0)
        f.result(std::string(programname) + ": word " + hexfixed(n.erasedat) +
                    " needs bits set that only an erase sets: the chip was erased and all " +
                    std::to_string(n.programmed) + " words of the file were burnt");
    else
        f.result(std::string(programname) + ": programmed " + std::to_string(n.programmed) +
                    " of the " + std::to_string(n.compared) + " words compared" +
                    (ok ? "; the others already held the file's values" : ", then stopped at the mismatch"));
    if (ok && lockout) f.result(lockoutnote(s));
    return ok ? exitok : exitverify;
}

// Burn and verify: a file that does not load never reaches the chip.
int burnorverify(const Options& o, State& s, ConfigEditor& editor, ConsoleFrontend& f,
                 int16_t mode, ChipHooks* hooks) {
    // With --device auto the chip's own sizes bound the file, so the chip
    // is asked first.
    if (o.overrides.autodevice)
        if (const int refused = chooseautomatically(o, s, f)) return refused;
    if (const int refused = checkhexfile(o.file, s)) return refused;
    const ChipRow& row = currentchip(s);
    if (const int refused = checkcalibrationoptions(o, row)) return refused;
    if (!isoriginal(row)) fillerased(s);
    if (!loadhexfile(s, f, o.file)) return exitfailed;
    if (interrupted()) throw Interrupted{};
    if (isoriginal(row)) {
        const bool filehasconfig = s.configused != 0;
        editor.updateC(s);
        if (o.overrides.config) editor.setword(s, *o.overrides.config);
        if (const int refused = checkconfigword(o, s, filehasconfig)) return refused;
    } else if (const int refused = takeconfig(o, s, row)) {
        return refused;
    }
    const bool lockout = mode == modeprogram && lockoutquestion(s).has_value();
    if (mode == modeprogram)
        if (const int refused = checkkinship(o, s, row)) return refused;
    if (lockout)
        if (const int refused = confirmlockout(s, f)) return refused;
    if (const int refused = boardready(o, s, f)) return refused;
    if (o.overrides.requiref84a && !isf84aorrefuse(s)) return exitwrongchip;
    if (!chiporrefuse(s, "nothing was written")) return exitwrongchip;
    if (mode == modeprogram)
        if (const int refused = checkcalibration(s)) return refused;
    if (hooks)
        if (const int refused = hooks->beforechip(s, f)) return refused;
    if (o.onlyChanged) return burnchanged(o, s, f, hooks, lockout);
    bool closed = false;
    if (!program2(s, f, mode, nullptr, &closed)) return closed ? exitprotected : exitverify;
    checksumline(o, s, f, hooks);
    f.summary("SUCCESS!");
    if (lockout) f.result(lockoutnote(s));
    return exitok;
}

// Read-outs: a place the file cannot go, a missing board or a protected chip
// is found before the chip is read, and no file is written.
int readout(const Options& o, State& s, ConsoleFrontend& f, ChipHooks* hooks) {
    if (const int refused = checktarget(o.file)) return refused;
    if (const int refused = boardready(o, s, f)) return refused;
    if (o.overrides.autodevice)
        if (const int refused = chooseautomatically(o, s, f)) return refused;
    // --device auto has just read the ID and taken its chip.
    if (!o.overrides.autodevice && !chiporrefuse(s, "no file was written")) return exitwrongchip;
    if (const int refused = checkprotection(s)) return refused;
    if (hooks)
        if (const int refused = hooks->beforechip(s, f)) return refused;
    s.dumpfile = o.file;
    ReadOut r;
    const ChipReader read = chipreader(s, f);
    const bool saved = o.command == "read-hex" ? save_hex(s, f, read, r) : save_bin(s, f, read, r);
    if (!saved) return exitfailed;
    f.statusAdd(std::string(programname) + ": checksum " +
                checksumtext(readoutchecksum(currentchip(s), r.chip)));
    if (hooks) hooks->readout(s, r);
    f.summary("Ok. Save successfull!");
    return exitok;
}

// Without the board every word reads alike (all ones or all zeros), which
// would pass for a blank or a protected chip: the board must answer first.
int checkblank(const Options& o, State& s, ConsoleFrontend& f) {
    if (const int refused = boardready(o, s, f)) return refused;
    if (o.overrides.autodevice)
        if (const int refused = chooseautomatically(o, s, f)) return refused;
    if (!o.overrides.autodevice && !chiporrefuse(s, "nothing was checked")) return exitwrongchip;
    const BlankResult r = blankcheck(s, &f);
    if (r.blank) {
        f.result(std::string(programname) + ": blank: all " + std::to_string(r.words) +
                    " words read as erased");
        return exitok;
    }
    const std::string word = hexfixed(r.address) + ": " + hexfixed(r.value, regionat(r.address) == Region::data ? 2 : 4);
    const ChipRow& row = currentchip(s);
    if (r.codeprotected)
        std::cerr << programname << ": not blank: the chip is code-protected (" << word << "), so "
                  << closedclause(row, closedranges(row, static_cast<uint16_t>(r.value)))
                  << ". Erase it with '" << programname << " erase --yes'.\n";
    else
        std::cerr << programname << ": not blank: the first word not erased is " << word
                  << ". Erase it with '" << programname << " erase --yes'.\n";
    return exitfailed;
}

// A calibration word of the factory's in configuration space, as the chip
// holds it.
void sayfactoryword(const ChipRow& row, const FactoryWord& w, ConsoleFrontend& f) {
    f.result(std::string(programname) + ": word " + hexfixed(w.address) + " reads " +
             hexfixed(w.word) + ": the " + chiplabel(row) +
             "'s factory calibration, which erase and burn leave as it is");
}

bool calibrated(const ChipRow& row) { return hascalibration(row) || !factorywords(row).empty(); }

// The board answers: the device ID says which chip is in the socket. No
// board: the refusal names the port, as every other command's does. Without
// the board check (--no-check) only a chip's device ID shows that the board
// is there.
int detect(const Options& o, State& s, ConsoleFrontend& f) {
    f.statusAdd(std::string(programname) + ": looking for the board '" + escaped(s.wiring.name) +
                "' at port " + hexfixed(static_cast<uint16_t>(s.portaddr), 3) + ": " + describepins(s.wiring));
    if (o.overrides.nocheck) {
        const int16_t id = readdeviceid(s);
        f.result(std::string(programname) + ": --no-check: the board was not checked; " + idline(id));
        if (chipbyid(static_cast<uint16_t>(id)) || otherchipname(id)) return exitok;
        std::cerr << programname << ": no chip named itself by its device ID, so nothing shows "
                                    "that the board at port "
                  << hexfixed(static_cast<uint16_t>(s.portaddr), 3)
                  << " is there; a chip without a device ID (16C84, 16F84, 16F83) cannot show it\n";
        return exitfailed;
    }
    if (const int refused = checkboard(s)) return refused;
    f.message("QUIBB H/W Successfully detected on port!", "SUCCESS!", Buttons::Ok);
    const int16_t id = readdeviceid(s);
    f.result(std::string(programname) + ": " + idline(id));
    // A chip that carries the factory's calibration: its values too.
    if (const ChipRow* row = chipbyid(static_cast<uint16_t>(id)); row && hascalibration(*row)) {
        selectchip(s, *row);
        f.result(std::string(programname) + ": " + calibrationline(s));
    }
    // The chip the ID names (or the one chosen) shows its factory words.
    const ChipRow* named = chipbyid(static_cast<uint16_t>(id));
    const ChipRow& row = named ? *named : currentchip(s);
    for (const FactoryWord& w : readfactorywords(s, row)) sayfactoryword(row, w, f);
    return exitok;
}

// `quibb9x calibration`: the chosen chip's (or under --device auto the
// named chip's) calibration as it reads now.
int showcalibration(const Options& o, State& s, ConsoleFrontend& f) {
    if (!o.overrides.autodevice && !calibrated(currentchip(s))) {
        std::cerr << programname << ": the " << chiplabel(currentchip(s))
                  << " carries no factory calibration; choose such a chip "
                     "with --device ('" << programname << " devices' lists them)\n";
        return exitusage;
    }
    if (const int refused = boardready(o, s, f)) return refused;
    if (o.overrides.autodevice)
        if (const int refused = chooseautomatically(o, s, f)) return refused;
    const ChipRow& row = currentchip(s);
    if (!calibrated(row)) {
        std::cerr << programname << ": the device ID names a " << chiplabel(row)
                  << ", which carries no factory calibration\n";
        return exitfailed;
    }
    if (!o.overrides.autodevice && !chiporrefuse(s, "nothing was read")) return exitwrongchip;
    if (!hascalibration(row)) {  // a word in configuration space that every erase spares
        for (const FactoryWord& w : readfactorywords(s, row)) sayfactoryword(row, w, f);
        return exitok;
    }
    const Calibration read = readcalibration(s);
    f.result(std::string(programname) + ": " + chiplabel(row) + " calibration: " +
             describecalibration(row, read));
    const auto t = calibrationtrouble(s, read);
    if (!t) return exitok;
    std::cerr << programname << ": " << t->what << "; an erase or burn refuses the chip until "
              << (t->osccal ? "--osccal" : "--bandgap") << " gives the value\n";
    return exitfailed;
}

// The addresses of a row's memories of a kind, "0x2007, 0x2008"; "-" for none.
std::string addresses(const ChipRow& row, Kind kind) {
    std::string text;
    for (const Memory& m : row.memories)
        if (m.kind == kind) text += (text.empty() ? "" : ", ") + hexfixed(m.address);
    return text.empty() ? "-" : text;
}

// Text in lines of at most `width` characters, each after `indent`.
std::string wrapped(const std::string& text, const std::string& indent, size_t width) {
    std::string out, line;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(at, end - at);
        if (!line.empty() && indent.size() + line.size() + 1 + word.size() > width) {
            out += indent + line + '\n';
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        at = end + 1;
    }
    if (!line.empty()) out += indent + line + '\n';
    return out;
}

// The notes after the table: each text once, after the chips that share it.
void listnotes(std::ostream& out) {
    std::vector<const char*> notes;
    for (const ChipRow& row : chiprows())
        for (const char* note : row.notes)
            if (note && std::find(notes.begin(), notes.end(), note) == notes.end()) notes.push_back(note);
    if (notes.empty()) return;
    out << "\nNotes:\n";
    for (const char* note : notes) {
        std::string chips;
        for (const ChipRow& row : chiprows())
            if (std::find(row.notes.begin(), row.notes.end(), note) != row.notes.end())
                chips += (chips.empty() ? "" : ", ") + chiplabel(row);
        out << "  " << chips << ":\n" << wrapped(note, "    ", 78);
    }
}

// `quibb9x devices`: one line per row of the chip table, then how each
// package reaches the board's socket, then where the chips' sources
// disagree and what is used.
int listdevices(std::ostream& out) {
    out << "chip        program words  data bytes  configuration   calibration  device ID  adapter  tried\n";
    for (const ChipRow& row : chiprows()) {
        char line[200];
        std::snprintf(line, sizeof line, "%-11s %13d  %10d  %-15s %-12s %-9s  %-7s  %s\n",
                      chiplabel(row).c_str(), row.words(Kind::program), row.words(Kind::data),
                      addresses(row, Kind::config).c_str(), addresses(row, Kind::calibration).c_str(),
                      row.deviceid ? hexfixed(row.deviceid).c_str() : "none",
                      adapterfor(row.package).name,
                      row.tried == Tried::realboard ? "real board" : "simulated board");
        out << line;
    }
    listcalibrations(out);
    out << "\nThe board's socket has 18 pins: " << adapterfor(Package::dip18).pins
        << ".\nAn adapter (the column above) connects those five lines to the pins of the "
           "chip's package:\n";
    for (const Adapter& a : adapters()) {
        if (a.package == Package::dip18) continue;
        std::string name = std::string(a.name) + ":";
        name.resize(8, ' ');
        out << "  " << name << a.pins << '\n';
    }
    listnotes(out);
    return exitok;
}

// `quibb9x boards`: each built-in board, its pins, and its other names.
int listboards(std::ostream& out) {
    for (const BuiltinBoard& b : builtinboards()) {
        Wiring w;
        std::string why;
        parseboard(b.pins, b.names[0], w, why);
        std::string head = b.names[0];
        head.resize(std::max<std::size_t>(head.size() + 2, 22), ' ');
        out << head << describepins(w) << '\n';
        if (b.names.size() < 2) continue;
        out << "  also:";
        for (std::size_t i = 1; i < b.names.size(); ++i) out << (i > 1 ? ", " : " ") << b.names[i];
        out << '\n';
    }
    out << std::flush;
    return exitok;
}

// The board of this run: --board, else the settings file's BOARD, else the
// original. A name that is no board and no file is a usage error; a board
// file with a mistake is refused. Either way before the port is touched.
int runboard(const Options& o, Wiring& w) {
    std::string given;
    if (o.overrides.board) {
        given = *o.overrides.board;
    } else {
        State probe;
        GetDirs(probe);
        given = readsettings(probe).board;
        if (given.empty()) return exitok;
    }
    std::string why;
    if (chooseboard(given, w, why)) return exitok;
    const bool missing = !builtinboard(given) && access(given.c_str(), F_OK) != 0;
    const std::string from = o.overrides.board ? "--board" : "the settings file's BOARD";
    std::cerr << programname << ": " << from << ": " << why << "; nothing was sent to the port\n";
    return missing && o.overrides.board ? exitusage : exitfailed;
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
    // The window starts on PIC 16F84 and LPT2.
    setdevice(s, 2);
    s.portaddr = LPT2;
    // The chip of the settings file and --device, chosen as the window
    // chooses it; --device auto is the commands' own (the settings file's
    // "auto" is the window's and leaves PIC='s chip).
    const IniValues settings = readsettings(s);
    const ChipChoice chosen = applysettings(s, editor, settings, overrides);
    if (!chosen.unknown.empty())
        std::cerr << programname << ": ignoring CHIP=" << escaped(chosen.unknown)
                  << " in the settings file " << escaped(inipath(s)) << ": no such chip ('"
                  << programname << " devices' lists them)\n";
    if (!settings.tprog.empty() && !readtprog(settings.tprog))
        std::cerr << programname << ": ignoring TPROG=" << escaped(settings.tprog)
                  << " in the settings file " << escaped(inipath(s))
                  << ": the programming time is 7 to 20 ms; the chips get 7\n";
    if (overrides.port) s.portaddr = *overrides.port;
    if (overrides.tprog) s.tprog = *overrides.tprog;
    s.osccalgiven = overrides.osccal.value_or(-1);
    s.bandgapgiven = overrides.bandgap.value_or(-1);
}

int runcommand(const Options& o, State& s, ConfigEditor& editor, ConsoleFrontend& f,
               ChipHooks* hooks) {
    const std::string& c = o.command;
    nochecktold = false;
    if (c == "burn") return burnorverify(o, s, editor, f, modeprogram, hooks);
    if (c == "verify") return burnorverify(o, s, editor, f, modeverify, hooks);
    if (c == "read-hex" || c == "read-bin") return readout(o, s, f, hooks);
    if (c == "erase") {
        if (const int refused = boardready(o, s, f)) return refused;
        if (o.overrides.autodevice)
            if (const int refused = chooseautomatically(o, s, f)) return refused;
        if (const int refused = checkcalibrationoptions(o, currentchip(s))) return refused;
        if (!chiporrefuse(s, "nothing was written")) return exitwrongchip;
        if (const int refused = checkcalibration(s)) return refused;
        bool confirmed = false;
        if (erasechip(s, f, &confirmed)) {
            f.summary("DONE.");
            return exitok;
        }
        if (!confirmed)
            std::cerr << programname << ": erase not confirmed; nothing was sent to the chip\n";
        return exitfailed;
    }
    if (c == "blank-check") return checkblank(o, s, f);
    if (c == "detect") return detect(o, s, f);
    if (c == "calibration") return showcalibration(o, s, f);
    return usage("unknown command '" + c + "'");
}

int runcli(const Options& o) {
    // Needs neither the port library nor the board.
    if (o.command == "ports") {
        const int status = listports(std::cout);
        return interrupted() ? stop::exitstatus() : status;
    }
    if (o.command == "devices") return listdevices(std::cout);
    if (o.command == "boards") return listboards(std::cout);
    Wiring wiring = originalwiring();
    if (const int refused = runboard(o, wiring)) return refused;
    capture::board(wiring);
    const bool stdinTerminal = isatty(STDIN_FILENO) == 1;
    // Refuse before the port is touched: a script must say --yes itself.
    if (o.command == "erase" && !o.yes && !stdinTerminal)
        return usage("erase needs --yes when standard input is not a terminal");
    if (!o.vcd.empty() && !startcapture(o.vcd, capturekeeps(o))) return exitfailed;

    installinterrupt();  // again for tests, which run commands without climain
    platform::Waits& previous = platform::waits();
    InterruptWaits waits(previous);
    platform::installWaits(&waits);
    auto restorewaits = [&] {
        platform::installWaits(&previous == &platform::realWaits() ? nullptr : &previous);
    };

    State s;
    s.wiring = wiring;
    ConfigEditor editor;
    // A dump to standard output keeps it for the dump's own bytes; --json
    // keeps it for the chip's record.
    std::ostream nowhere(nullptr);
    std::ostream& out = o.json ? nowhere : dumpstostdout(o) ? std::cerr : std::cout;
    RecordingConsole f(out, std::cerr, isatty(STDERR_FILENO) == 1, o.yes,
                       stdinTerminal ? &std::cin : nullptr, o.quiet);
    int status = exitfailed;
    try {
        clistartup(s, editor, o.overrides);
        // The simulated board answers only at its own port: without a port
        // from --port or the settings file, that one.
        if (o.simulate && !o.overrides.port && s.portaddr == 0)
            if (const auto base = binding::simulatedbase()) s.portaddr = static_cast<int16_t>(*base);
        // As in the window, no settings file means "Other Port:" at 0.
        status = checkport(o, s);
        // A chip from the settings file that keeps its own times.
        if (status == exitok && o.overrides.tprog && !o.overrides.autodevice &&
            !isoriginal(currentchip(s)))
            status = usage("--tprog sets the programming time of the PIC16C84, 16F84, 16F83 and "
                           "16F84A; the " + chiplabel(currentchip(s)) + " keeps its own");
        if (status == exitok)
            status = productionrun(o) ? runproduction(o, s, editor, f) : runcommand(o, s, editor, f);
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
        status = stop::exitstatus();  // 130, or 128 + n for a hang-up, quit or closed output
    }
    if (!simulatedchipsaved() && status == exitok) status = exitfailed;
    if (!finishcapture(o.vcd) && status == exitok) status = exitfailed;
    return status;
}

int climain(int argc, char** argv, const Options& o) {
    // The command line needs no display: a core application loads no
    // platform plugin.
    // Before anything is written: a closed output or a hang-up stops the
    // run at its next wait instead of ending the program under Vpp.
    installinterrupt();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(programname);
    State versioned;
    setversion(versioned);
    QCoreApplication::setApplicationVersion(QString::fromStdString(versioned.version));
    if (o.help || o.version) {
        if (o.help) std::cout << helptext();
        else std::cout << programname << " " << versioned.version << "\n";
        std::cout << std::flush;
        return interrupted() ? stop::exitstatus() : exitok;
    }
    if (o.simulate) binding::chooseSimulated();
    return runcli(o);
}

}  // namespace cli
