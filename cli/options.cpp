// SPDX-License-Identifier: GPL-2.0-or-later
#include "options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cctype>

#include "operations/calibration.h"

namespace cli {
namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Hexadecimal digits with an optional 0x in front, nothing else; nullopt when
// the text is not that or the value needs more than 16 bits.
std::optional<uint32_t> strictHex(const std::string& text) {
    std::string digits = lower(text);
    if (digits.rfind("0x", 0) == 0) digits = digits.substr(2);
    if (digits.empty() || digits.size() > 4) return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(c))
                                                       ? c - '0'
                                                       : c - 'a' + 10);
    }
    return value;
}

// Every option, shared by the parser and the help text.
struct Definitions {
    QCommandLineOption device{"device",
                              "The chip, as 'quibb9x devices' lists it (16F628A, "
                              "PIC16F88, any case), or auto: the chip's device ID "
                              "chooses. For a chip with a device ID, burn, verify and "
                              "erase first check that the ID is the chip's (for the "
                              "16F84A burn and verify).",
                              "chip"};
    QCommandLineOption port{"port",
                            "The parallel port: lpt1 (0x378), lpt2 (0x278) or any "
                            "base address in hexadecimal.",
                            "address"};
    QCommandLineOption config{"config",
                              "The configuration word in hexadecimal (e.g. 0x3FF1); "
                              "wins over the HEX file's own.",
                              "word"};
    QCommandLineOption config2{"config2",
                               "CONFIG2 (0x2008) of a 16F87, 16F88 or 16F882-887 in hexadecimal "
                               "(e.g. 0x3); wins over the HEX file's own.",
                               "word"};
    QCommandLineOption osccal{"osccal",
                              "With burn or erase: the OSCCAL word (a RETLW, 0x3400 to "
                              "0x34FF) to write back after the erase, for a PIC12F629, "
                              "12F675, 16F630 or 16F676 whose own was lost; without it the "
                              "chip's own is read first and kept.",
                              "0x34NN"};
    QCommandLineOption bandgap{"bandgap",
                               "With burn or erase: the band-gap bits BG1:BG0 (00 to 11) to "
                               "write back after the erase, in place of the chip's own.",
                               "bits"};
    QCommandLineOption board{"board",
                             "The programming board: one of 'quibb9x boards', or a file "
                             "describing yours (see the man page). Default: the "
                             "settings file's BOARD, else the original board.",
                             "name|file"};
    QCommandLineOption tprog{"tprog",
                             "The programming time of the PIC16C84, 16F84, 16F83 and "
                             "16F84A, 7 to 20 ms (default 7; an old 16C84 may want "
                             "10): every word's cycle, the erase and the entry wait it.",
                             "ms"};
    QCommandLineOption vcd{"vcd",
                           "Record the board's lines (vpp, clock, data, data_dir, "
                           "data_in, and vdd or pgm where the board has them) into the file as a Value Change Dump, in "
                           "nanoseconds, for GTKWave, PulseView or sigrok-cli.",
                           "file"};
    QCommandLineOption nocheck{"no-check",
                               "Go on without the board check (its read-back test), on a "
                               "board it cannot confirm such as the Asix Piccolo; a chip "
                               "with a device ID is still checked by its ID."};
    QCommandLineOption simulate{"simulate",
                                "Use the simulated board (libzavbit2sim.so); without a port "
                                "from --port or the settings file, the one it answers at."};
    QCommandLineOption yes{"yes", "Answer yes to the questions: the erase, and a burn of a "
                                  "configuration the board cannot enter again."};
    QCommandLineOption onlyChanged{"only-changed",
                                   "With burn: program only the words the chip does not "
                                   "already hold, read each back, and say how many were "
                                   "programmed."};
    QCommandLineOption quiet{{"q", "quiet"},
                             "No progress and no status lines: only the errors (on "
                             "standard error) and the line that sums the command up."};
    QCommandLineOption serial{"serial",
                              "With burn: give each chip the next number of this counter "
                              "file (created at --serial-start when missing); runs on other "
                              "boards may share it.",
                              "file"};
    QCommandLineOption serialStart{"serial-start",
                                   "The first number of a new counter file (default 1).", "n"};
    QCommandLineOption serialStep{"serial-step", "How far each number is from the last (default 1).",
                                  "n"};
    QCommandLineOption serialAt{"serial-at",
                                "Where the number goes: id (one byte per ID word), "
                                "eeprom:ADDR (data EEPROM bytes from ADDR) or retlw:ADDR "
                                "(RETLW instructions from program word ADDR); default id.",
                                "place"};
    QCommandLineOption serialFormat{"serial-format",
                                    "bin (the number's bytes), bcd (two decimal digits a "
                                    "byte) or ascii (a decimal digit a byte); default bin.",
                                    "format"};
    QCommandLineOption serialWidth{"serial-width", "The number's bytes (1 to 8, default 2).", "n"};
    QCommandLineOption serialOrder{"serial-order",
                                   "little (the least significant byte or digit first, the "
                                   "default) or big.",
                                   "order"};
    QCommandLineOption serialOverwrite{"serial-overwrite",
                                       "Let the serial replace words the HEX file gives at "
                                       "its place (refused otherwise)."};
    QCommandLineOption log{"log",
                           "Add one line per chip to this file: a JSON object with the time, "
                           "chip, board, file, checksum, serial and result.",
                           "file"};
    QCommandLineOption json{"json",
                            "Print the chip's record (the --log line) on standard output "
                            "instead of the text lines."};
    QCommandLineOption repeat{"repeat",
                              "With burn: chip after chip. After each chip wait for the next "
                              "to be put in (seen by its device ID, or Enter for a chip "
                              "without one); Ctrl-C between chips ends with a summary."};
    QCommandLineOption quitAfterStart{"quit-after-start",
                                      "Benchmark aid: the window quits at its first "
                                      "event-loop turn."};

    // Qt's own options for a window (-platform offscreen, -style Fusion, ...):
    // accepted and left in the arguments for the application object.
    std::vector<QCommandLineOption> toolkit() const {
        std::vector<QCommandLineOption> all;
        for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin",
                                 "qwindowgeometry", "geometry", "qwindowtitle", "qwindowicon",
                                 "style", "stylesheet", "session", "display", "name"})
            all.emplace_back(QString(name), QString(), QString("value"));
        for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"})
            all.emplace_back(QString(name));
        for (auto& o : all) o.setFlags(QCommandLineOption::HiddenFromHelp);
        return all;
    }

    void addTo(QCommandLineParser& parser) {
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        for (const auto& o : toolkit()) parser.addOption(o);
        parser.setApplicationDescription(
            "Programs the 18-pin flash PICs (PIC16C84, PIC16F84(A), PIC16F83, "
            "PIC16F627(A), PIC16F628(A), PIC16F648A, PIC16F818, PIC16F819, PIC16F87, "
            "PIC16F88, PIC16F716) and, through an adapter, the PIC16F870-877, "
            "16F873A-877A, 16F882-887, 12F629/675, 16F630/676, 12F683, 16F684-690, "
            "12F609/615/617 and 16F610/616 through a board on the parallel port.\nWithout a "
            "command it opens the window.");
        parser.addOption(device);
        parser.addOption(port);
        parser.addOption(config);
        parser.addOption(config2);
        parser.addOption(osccal);
        parser.addOption(bandgap);
        parser.addOption(board);
        parser.addOption(tprog);
        parser.addOption(vcd);
        parser.addOption(nocheck);
        parser.addOption(simulate);
        parser.addOption(yes);
        parser.addOption(onlyChanged);
        parser.addOption(quiet);
        for (const auto* o : {&serial, &serialStart, &serialStep, &serialAt, &serialFormat,
                              &serialWidth, &serialOrder, &serialOverwrite, &log, &json, &repeat})
            parser.addOption(*o);
        quitAfterStart.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(quitAfterStart);
        parser.addPositionalArgument("command", "One of the commands below; none opens the window.",
                                     "[command]");
        parser.addPositionalArgument("file", "The HEX file to burn or verify, or the dump to write.",
                                     "[FILE]");
    }
};

// Arguments are bytes, not text: each byte goes into the parser as the one
// character of that code (Latin-1), so every value comes back out byte for
// byte, whatever its encoding, and two different names never become one.
QString fromargument(const std::string& arg) {
    return QString::fromLatin1(arg.data(), static_cast<qsizetype>(arg.size()));
}

std::string asgiven(const QString& value) { return value.toLatin1().toStdString(); }

const Command* findcommand(const std::string& name) {
    for (const auto& c : commands())
        if (name == c.name) return &c;
    return nullptr;
}

std::optional<uint64_t> numberof(QCommandLineParser& parser, const QCommandLineOption& option,
                                 uint64_t least, uint64_t most, const char* what,
                                 std::string& error) {
    const std::string v = asgiven(parser.value(option));
    const auto n = parsenumber(v);
    if (n && *n >= least && *n <= most) return n;
    error = "bad --" + asgiven(option.names().first()) + " '" + v + "': use " + what;
    return std::nullopt;
}

// --serial and its companions, --log, --json and --repeat.
bool parseproduction(QCommandLineParser& parser, Definitions& d, Options& o, std::string& error) {
    SerialSetup& s = o.serial;
    if (parser.isSet(d.serial)) {
        s.file = asgiven(parser.value(d.serial));
        if (s.file.empty()) {
            error = "--serial needs a counter file";
            return false;
        }
    } else {
        for (const auto* c : {&d.serialStart, &d.serialStep, &d.serialAt, &d.serialFormat,
                              &d.serialWidth, &d.serialOrder, &d.serialOverwrite})
            if (parser.isSet(*c)) {
                error = "--" + asgiven(c->names().first()) + " goes with --serial FILE";
                return false;
            }
    }
    const std::string decimal = "a number in decimal (or hexadecimal after 0x)";
    if (parser.isSet(d.serialStart)) {
        const auto n = numberof(parser, d.serialStart, 0, largestserial,
                                (decimal + " up to " + std::to_string(largestserial)).c_str(), error);
        if (!n) return false;
        s.start = *n;
    }
    if (parser.isSet(d.serialStep)) {
        const auto n = numberof(parser, d.serialStep, 1, largestserial, (decimal + " from 1").c_str(), error);
        if (!n) return false;
        s.step = *n;
    }
    if (parser.isSet(d.serialWidth)) {
        const auto n = numberof(parser, d.serialWidth, 1, 8, "1 to 8 (bytes)", error);
        if (!n) return false;
        s.width = static_cast<int>(*n);
    }
    if (parser.isSet(d.serialAt) && !parseplace(asgiven(parser.value(d.serialAt)), s)) {
        error = "bad --serial-at '" + asgiven(parser.value(d.serialAt)) +
                "': use id, eeprom:ADDR or retlw:ADDR (ADDR in decimal or 0x hexadecimal)";
        return false;
    }
    if (parser.isSet(d.serialFormat)) {
        const auto f = parseformat(asgiven(parser.value(d.serialFormat)));
        if (!f) {
            error = "bad --serial-format '" + asgiven(parser.value(d.serialFormat)) + "': use bin, bcd or ascii";
            return false;
        }
        s.format = *f;
    }
    if (parser.isSet(d.serialOrder)) {
        const std::string v = lower(asgiven(parser.value(d.serialOrder)));
        if (v != "little" && v != "big") {
            error = "bad --serial-order '" + asgiven(parser.value(d.serialOrder)) + "': use little or big";
            return false;
        }
        s.bigendian = v == "big";
    }
    s.overwrite = parser.isSet(d.serialOverwrite);
    if (parser.isSet(d.log)) {
        o.log = asgiven(parser.value(d.log));
        if (o.log.empty()) {
            error = "--log needs a file name";
            return false;
        }
    }
    o.json = parser.isSet(d.json);
    o.repeat = parser.isSet(d.repeat);
    return true;
}

// Serial numbers and chip after chip are burn's; a record is kept of the
// commands that burn, verify or read a chip against a file.
bool productioncommand(const Options& o, std::string& error) {
    const bool burn = o.command == "burn";
    const bool recorded = burn || o.command == "verify" || o.command == "read-hex" || o.command == "read-bin";
    if (!o.serial.file.empty() && !burn) error = "--serial goes with burn only";
    else if (o.repeat && !burn) error = "--repeat goes with burn only";
    else if (o.json && !recorded) error = "--json goes with burn, verify, read-hex and read-bin";
    else if (!o.log.empty() && !recorded) error = "--log goes with burn, verify, read-hex and read-bin";
    else if (o.json && o.file == "-" && o.command != "burn" && o.command != "verify")
        error = "--json and a read-out to standard output cannot share it; give the read-out a file";
    return error.empty();
}

}  // namespace

const std::vector<Command>& commands() {
    static const std::vector<Command> all = {
        {"burn", true, "load the HEX file, program and verify each word; 0 when it passed"},
        {"verify", true, "load the HEX file and compare the chip with it"},
        {"erase", false, "erase the whole chip, code protection included (asks; --yes)"},
        {"read-hex", true, "read the chip and save it as an Intel HEX file"},
        {"read-bin", true, "read the chip and save it as a raw BIN image"},
        {"blank-check", false, "0 when every word of the chip reads as erased"},
        {"detect", false, "check that the board answers on the port, then read the device ID (and a calibration word)"},
        {"calibration", false, "read the chip's factory calibration (OSCCAL and band-gap bits, or a calibration word)"},
        {"ports", false, "list the parallel ports the kernel knows and whether you may open them"},
        {"devices", false, "list every chip: memory, configuration and calibration words, device ID, adapter, how it was tried"},
        {"boards", false, "list the built-in boards, their other names and their pins"},
    };
    return all;
}

// The rows of the window's device options, and the 16F84A, which has the
// 16F84's option and a device ID.
std::optional<int16_t> parsedevice(const std::string& text, bool* f84a) {
    const ChipRow* row = findchip(text);
    const bool option = row && row->model != 0;
    if (f84a) *f84a = option && row->deviceid != 0;
    if (!option) return std::nullopt;
    return row->model;
}

const ChipRow* parsechip(const std::string& text) { return findchip(text); }

std::optional<int16_t> parseport(const std::string& text) {
    const std::string t = lower(text);
    if (t == "lpt1") return static_cast<int16_t>(0x378);
    if (t == "lpt2") return static_cast<int16_t>(0x278);
    const auto v = strictHex(text);
    if (!v) return std::nullopt;
    return static_cast<int16_t>(static_cast<uint16_t>(*v));
}

std::optional<int16_t> parseconfig(const std::string& text) {
    const auto v = strictHex(text);
    // The editor holds fourteen bits; bits 14 and 15 cannot be set there.
    if (!v || *v > 0x3FFF) return std::nullopt;
    return static_cast<int16_t>(*v);
}

std::optional<int16_t> parsetprog(const std::string& text) {
    if (text.empty() || text.size() > 2) return std::nullopt;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v < 7 || v > 20) return std::nullopt;
    return static_cast<int16_t>(v);
}

bool parseoptions(const std::vector<std::string>& args, Options& out, std::string& error) {
    QCommandLineParser parser;
    Definitions d;
    d.addTo(parser);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();

    QStringList list;
    for (const auto& a : args) list << fromargument(a);
    if (list.isEmpty()) list << "quibb9x";
    if (!parser.parse(list)) {
        error = asgiven(parser.errorText());
        return false;
    }

    Options o;
    o.help = parser.isSet(help) || parser.isSet("help-all");
    o.version = parser.isSet(version);
    o.simulate = parser.isSet(d.simulate);
    o.overrides.simulate = o.simulate;
    o.overrides.nocheck = parser.isSet(d.nocheck);
    o.yes = parser.isSet(d.yes);
    o.onlyChanged = parser.isSet(d.onlyChanged);
    o.quiet = parser.isSet(d.quiet);
    o.quitAfterStart = parser.isSet(d.quitAfterStart);
    if (o.help || o.version) {
        out = o;
        return true;
    }

    if (parser.isSet(d.device)) {
        const std::string v = asgiven(parser.value(d.device));
        o.overrides.device = parsedevice(v, &o.overrides.requiref84a);
        o.overrides.chip = parsechip(v);
        o.overrides.autodevice = lower(v) == "auto";
        if (!o.overrides.chip && !o.overrides.autodevice) {
            error = "bad --device '" + v + "': use a chip 'quibb9x devices' lists (e.g. 16F628A) or auto";
            return false;
        }
    }
    if (parser.isSet(d.port)) {
        const std::string v = asgiven(parser.value(d.port));
        o.overrides.port = parseport(v);
        if (!o.overrides.port) {
            error = "bad --port '" + v + "': use lpt1, lpt2 or a hexadecimal address up to FFFF";
            return false;
        }
    }
    if (parser.isSet(d.config)) {
        const std::string v = asgiven(parser.value(d.config));
        o.overrides.config = parseconfig(v);
        if (!o.overrides.config) {
            error = "bad --config '" + v + "': use a hexadecimal word from 0 to 0x3FFF";
            return false;
        }
    }

    if (parser.isSet(d.config2)) {
        const std::string v = asgiven(parser.value(d.config2));
        o.overrides.config2 = parseconfig(v);
        if (!o.overrides.config2) {
            error = "bad --config2 '" + v + "': use a hexadecimal word from 0 to 0x3FFF";
            return false;
        }
    }

    if (parser.isSet(d.osccal)) {
        const std::string v = asgiven(parser.value(d.osccal));
        o.overrides.osccal = parseosccal(v);
        if (!o.overrides.osccal) {
            error = "bad --osccal '" + v + "': give the chip's OSCCAL word, a RETLW from 0x3400 to 0x34FF "
                    "(e.g. 0x3480)";
            return false;
        }
    }
    if (parser.isSet(d.bandgap)) {
        const std::string v = asgiven(parser.value(d.bandgap));
        o.overrides.bandgap = parsebandgap(v);
        if (!o.overrides.bandgap) {
            error = "bad --bandgap '" + v + "': give the band-gap bits BG1:BG0 as two binary digits, 00 to 11";
            return false;
        }
    }

    if (parser.isSet(d.board)) {
        o.overrides.board = asgiven(parser.value(d.board));
        if (o.overrides.board->empty()) {
            error = "--board needs a board name or a file";
            return false;
        }
    }

    if (parser.isSet(d.tprog)) {
        const std::string v = asgiven(parser.value(d.tprog));
        o.overrides.tprog = parsetprog(v);
        if (!o.overrides.tprog) {
            error = "bad --tprog '" + v + "': use a programming time of 7 to 20 ms";
            return false;
        }
        if (o.overrides.chip && !isoriginal(*o.overrides.chip)) {
            error = "--tprog sets the programming time of the PIC16C84, 16F84, 16F83 and 16F84A; "
                    "the " + chiplabel(*o.overrides.chip) + " keeps its own";
            return false;
        }
    }

    if (parser.isSet(d.vcd)) {
        o.vcd = asgiven(parser.value(d.vcd));
        if (o.vcd.empty()) {
            error = "--vcd needs a file name";
            return false;
        }
    }

    if (!parseproduction(parser, d, o, error)) return false;

    const QStringList rest = parser.positionalArguments();
    if (!rest.isEmpty()) {
        o.command = asgiven(rest[0]);
        const Command* c = findcommand(o.command);
        if (!c) {
            error = "unknown command '" + o.command + "'";
            return false;
        }
        if (c->needsFile) {
            if (rest.size() < 2) {
                error = o.command + " needs a FILE";
                return false;
            }
            o.file = asgiven(rest[1]);
            if (o.file.empty()) {
                error = o.command + " needs a FILE";
                return false;
            }
        }
        const qsizetype expected = c->needsFile ? 2 : 1;
        if (rest.size() > expected) {
            error = "too many arguments for " + o.command + ": '" +
                    asgiven(rest[expected]) + "'";
            return false;
        }
    }
    if ((o.overrides.osccal || o.overrides.bandgap) && o.command != "burn" && o.command != "erase") {
        error = std::string(o.overrides.osccal ? "--osccal" : "--bandgap") +
                " goes with burn or erase, which write the calibration back after the erase";
        return false;
    }
    if (o.onlyChanged && o.command != "burn") {
        error = "--only-changed goes with burn only";
        return false;
    }
    if (!productioncommand(o, error)) return false;
    out = o;
    return true;
}

std::string helptext() {
    QCommandLineParser parser;
    Definitions d;
    d.addTo(parser);
    parser.addHelpOption();
    parser.addVersionOption();
    std::string text = parser.helpText().toStdString();
    // The usage line names the program, not the path it was started by.
    const std::string usage = "Usage: ";
    if (text.rfind(usage, 0) == 0) {
        const auto end = text.find(" [options]");
        if (end != std::string::npos) text.replace(usage.size(), end - usage.size(), "quibb9x");
    }
    text += "\nCommands:\n";
    for (const auto& c : commands()) {
        std::string head = std::string("  ") + c.name + (c.needsFile ? " FILE" : "");
        head.resize(std::max<std::size_t>(head.size() + 2, 20), ' ');
        text += head + c.summary + "\n";
    }
    text +=
        "\nEvery clock phase on the board lasts at least 1 microsecond (the program\n"
        "watches the clock rather than giving up the processor, so a busy machine\n"
        "does not slow a burn down); the 7 ms programming cycles are sleeps.\n"
        "\nWithout options the settings file quibb9x.ini in the current directory\n"
        "chooses the device, the port and the configuration word, as in the window;\n"
        "options override it for this run only and are never saved.\n"
        "\nBefore the chip enters programming mode a command refuses (and the chip is\n"
        "not touched) when: the port is 0 (exit 2); burn or verify get no configuration\n"
        "word from the file, --config or the settings file (exit 2); the HEX file is\n"
        "not a regular file, is over 16 MiB, has a line the reader would skip, a record\n"
        "cut short or a wrong checksum, a word beyond the chip, a data byte at an odd\n"
        "address, no data record or no end record (exit 1); a dump's target cannot be\n"
        "written (exit 1); no board answers at the port (exit 1; --no-check goes on\n"
        "without the check); a chip after the original four does not report the chosen\n"
        "chip's device ID (exit 1). A chip found code-protected is not read out (exit\n"
        "1, no file). A burn of the internal oscillator with MCLR off, which a board\n"
        "that keeps VDD on cannot enter again, asks first (--yes; exit 2 unasked).\n"
        "\nChips: 'quibb9x devices' lists them; --device auto reads the device ID.\n"
        "The 16F627/628, 627A/628A/648A (PGM = RB4, pin 10) and 818/819/87/88 (PGM =\n"
        "RB3, pin 9) come with low-voltage programming on: hold PGM low while burning.\n"
        "The PIC12F629/675 and 16F630/676 keep their factory calibration (OSCCAL and\n"
        "the band-gap bits) through every erase: it is read first and written back,\n"
        "never taken from a file; a chip that has lost it is refused until --osccal\n"
        "(and --bandgap) give it. 'quibb9x calibration' prints it.\n"
        "\nAdapters: the board's socket has 18 pins (MCLR/Vpp 4, clock 12, data 13,\n"
        "VDD 14, VSS 5). The 28- and 40-pin 16F870-877, 873A-877A and 882-887 and the\n"
        "8-, 14- and 20-pin 12F683, 16F684-690 and 12F609 family go in a passive\n"
        "adapter that wires those five pins to the chip's own; the 28- and 40-pin\n"
        "adapters also tie RB3 (PGM) low. 'quibb9x devices' gives each chip's adapter\n"
        "and each adapter's pins. The 16F882-887 take at most 12 V on MCLR.\n"
        "\n--simulate keeps its chip in $QUIBB9X_SIM_FILE, or when that is unset one\n"
        "chip of each kind in ${XDG_STATE_HOME:-~/.local/state}/quibb9x/ (simulated-\n"
        "PIC16F84.txt, ...); set but empty, the chip lasts one run.\n"
        "\nA production run: --serial FILE numbers each chip it burns from a counter file\n"
        "that runs on other boards may share (a number given to a chip that failed is\n"
        "kept as failed, none is given twice); --log FILE adds a JSON line per chip;\n"
        "--json prints that object instead of the text; --repeat burns chip after chip.\n"
        "The checksum printed after a burn, verify or read-out is the 16-bit sum of\n"
        "every program word and the configuration word (see the man page).\n"
        "\nExit status: 0 success, 1 the operation failed (a file, the board, the\n"
        "counter or the log), 2 bad arguments, 3 a word did not verify, 4 the socket\n"
        "holds another chip than the one named (or none answers), 5 the chip is\n"
        "code-protected, 130 interrupted (the board is left with the programming voltage\n"
        "off); 129, 131 and 141 stopped the same way by SIGHUP, SIGQUIT or a closed output\n"
        "(SIGPIPE).\n";
    return text;
}

}  // namespace cli
