// SPDX-License-Identifier: GPL-2.0-or-later
#include "options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cctype>

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
    QCommandLineOption board{"board",
                             "The programming board: one of 'quibb9x boards', or a file "
                             "describing yours (see the man page). Default: the "
                             "settings file's BOARD, else the original board.",
                             "name|file"};
    QCommandLineOption vcd{"vcd",
                           "Record the board's lines (vpp, clock, data, data_dir, "
                           "data_in, and vdd or pgm where the board has them) into the file as a Value Change Dump, in "
                           "nanoseconds, for GTKWave, PulseView or sigrok-cli.",
                           "file"};
    QCommandLineOption simulate{"simulate",
                                "Use the simulated board (libzavbit2sim.so); without a port "
                                "from --port or the settings file, the one it answers at."};
    QCommandLineOption yes{"yes", "Answer yes to the erase question."};
    QCommandLineOption onlyChanged{"only-changed",
                                   "With burn: program only the words the chip does not "
                                   "already hold, read each back, and say how many were "
                                   "programmed."};
    QCommandLineOption quiet{{"q", "quiet"},
                             "No progress and no status lines: only the errors (on "
                             "standard error) and the line that sums the command up."};
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
            "16F873A-877A, 16F882-887, 12F683, 16F684-690, 12F609/615/617 and "
            "16F610/616 through a board on the parallel port.\nWithout a "
            "command it opens the window.");
        parser.addOption(device);
        parser.addOption(port);
        parser.addOption(config);
        parser.addOption(config2);
        parser.addOption(board);
        parser.addOption(vcd);
        parser.addOption(simulate);
        parser.addOption(yes);
        parser.addOption(onlyChanged);
        parser.addOption(quiet);
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

    if (parser.isSet(d.board)) {
        o.overrides.board = asgiven(parser.value(d.board));
        if (o.overrides.board->empty()) {
            error = "--board needs a board name or a file";
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
    if (o.overrides.board && o.command.empty()) {
        error = "--board goes with a command; the window uses the original board";
        return false;
    }
    if (o.onlyChanged && o.command != "burn") {
        error = "--only-changed goes with burn only";
        return false;
    }
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
        "cut short or a wrong checksum, or no data record (exit 1); a dump's target\n"
        "cannot be written (exit 1); no board answers at the port (exit 1). A chip\n"
        "found code-protected is not read out (exit 1, no file).\n"
        "\nChips: 'quibb9x devices' lists them; --device auto reads the device ID.\n"
        "The 16F627/628, 627A/628A/648A (PGM = RB4, pin 10) and 818/819/87/88 (PGM =\n"
        "RB3, pin 9) come with low-voltage programming on: hold PGM low while burning.\n"
        "\nAdapters: the board's socket has 18 pins (MCLR/Vpp 4, clock 12, data 13,\n"
        "VDD 14, VSS 5). The 28- and 40-pin 16F870-877, 873A-877A and 882-887 and the\n"
        "8-, 14- and 20-pin 12F683, 16F684-690 and 12F609 family go in a passive\n"
        "adapter that wires those five pins to the chip's own; the 28- and 40-pin\n"
        "adapters also tie RB3 (PGM) low. 'quibb9x devices' gives each chip's adapter\n"
        "and each adapter's pins. The 16F882-887 take at most 12 V on MCLR.\n"
        "\n--simulate keeps its chip in $QUIBB9X_SIM_FILE, or when that is unset one\n"
        "chip of each kind in ${XDG_STATE_HOME:-~/.local/state}/quibb9x/ (simulated-\n"
        "PIC16F84.txt, ...); set but empty, the chip lasts one run.\n"
        "\nExit status: 0 success, 1 the operation failed, 2 bad arguments,\n"
        "130 interrupted (the board is left with the programming voltage off); 129, 131\n"
        "and 141 stopped the same way by SIGHUP, SIGQUIT or a closed output (SIGPIPE).\n";
    return text;
}

}  // namespace cli
