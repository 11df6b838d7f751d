// SPDX-License-Identifier: GPL-2.0-or-later
#include "production.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/serial.h"
#include "core/lines.h"
#include "core/outputfile.h"
#include "core/platform.h"
#include "devices/select.h"
#include "image/checksum.h"
#include "operations/deviceid.h"

namespace cli {
namespace {

const char* const programname = "quibb9x";

// How often an empty or a full socket is looked at while the next chip is
// awaited: each look is a short visit to programming mode.
constexpr int pollms = 250;

std::string hexfixed4(int32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value & 0xFFFF));
    return text;
}

int refuse(int status, const std::string& why) {
    std::cerr << programname << ": " << why << '\n' << std::flush;
    return status;
}

// A failure that concerns the chip in the socket: the batch goes on with
// the next one. Any other (a file, the board, the counter, the log, usage)
// stops it.
bool chipfailure(int status) {
    return status == exitverify || status == exitwrongchip || status == exitprotected;
}

// "1-3, 5, 7-9".
std::string ranges(const std::vector<uint64_t>& numbers) {
    std::string text;
    for (size_t i = 0; i < numbers.size();) {
        size_t j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) ++j;
        if (!text.empty()) text += ", ";
        text += std::to_string(numbers[i]);
        if (j > i) text += (j == i + 1 ? ", " : "-") + std::to_string(numbers[j]);
        i = j + 1;
    }
    return text.empty() ? "none" : text;
}

class Production : public ChipHooks {
public:
    Production(const Options& o, State& s, ConfigEditor& editor, RecordingConsole& f)
        : o_(o), s_(s), editor_(editor), f_(f) {
        if (!o.serial.file.empty())
            counter_.emplace(o.serial.file, o.serial.start, o.serial.step);
    }

    int run();

    int beforechip(State& s, ConsoleFrontend& f) override;
    void counted(int written, int verified) override { f_.setcounts(written, verified); }
    void addgiven(std::vector<bool>& given) const override {
        if (!taken_ || o_.serial.place != SerialPlace::retlw) return;
        for (int32_t w : serialwords(o_.serial))
            if (static_cast<size_t>(w) < given.size()) given[static_cast<size_t>(w)] = true;
    }
    void readout(const State& s, const ReadOut& r) override {
        record_.checksum = readoutchecksum(currentchip(s), r.chip);
        record_.sha256 = sha256hex(r.file);
    }

private:
    int start();
    int onechip();
    int finishserial(int status);
    void fillrecord(int status, const std::vector<std::string>& said);
    int keep(int status);
    bool nextchip();
    bool waitsocket(bool empty);
    void summary();

    const Options& o_;
    State& s_;
    ConfigEditor& editor_;
    RecordingConsole& f_;
    std::optional<CounterFile> counter_;
    ChipLog log_;
    ChipRecord record_;
    std::optional<uint64_t> taken_;

    // The batch so far.
    int chips_ = 0;
    int passed_ = 0;
    std::vector<uint64_t> used_, failedserials_;
    int firstfailure_ = exitok;
};

// Before the board: the log takes lines, the counter file is ours and its
// next number fits, the HEX file leaves the serial's place free.
int Production::start() {
    const std::vector<std::pair<std::string, const char*>> others = {
        {o_.command == "burn" || o_.command == "verify" ? o_.file : std::string(), "the HEX file"},
        {o_.command == "read-hex" || o_.command == "read-bin" ? o_.file : std::string(), "the read-out's target"},
        {o_.serial.file, "the counter file"}};
    if (!o_.log.empty()) {
        for (const auto& [path, what] : others)
            if (output::samefile(o_.log, path))
                return refuse(exitusage, "--log " + escaped(o_.log) + " names " + what +
                                             "; give the log a file of its own");
        std::string why;
        if (!log_.open(o_.log, why))
            return refuse(exitfailed, "cannot write the log " + escaped(o_.log) + ": " + why +
                                          "; choose another place, nothing was burnt");
        if (!log_.reserve(why))
            return refuse(exitfailed, "cannot write the log " + escaped(o_.log) + ": " + why +
                                          "; make room or choose another place, nothing was burnt");
    }
    if (!counter_) return exitok;
    if (output::samefile(o_.serial.file, o_.file))
        return refuse(exitusage, "--serial " + escaped(o_.serial.file) + " names the HEX file");
    uint64_t next = 0;
    std::string why;
    if (!counter_->check(next, why)) return refuse(exitfailed, why + "; nothing was burnt");
    if (!o_.serial.overwrite)
        if (const auto clash = fileclash(o_.file, o_.serial))
            return refuse(exitfailed,
                          escaped(o_.file) + " line " + std::to_string(clash->line) + " gives word " +
                              hexfixed4(clash->word) + ", where the serial goes (" +
                              describeplace(o_.serial) + "); leave that place out of the file, "
                              "choose another with --serial-at, or give --serial-overwrite; nothing "
                              "was burnt");
    if (!o_.overrides.autodevice)
        if (const std::string problem = placeproblem(o_.serial, currentchip(s_)); !problem.empty())
            return refuse(exitusage, problem);
    if (serialbytes(next, o_.serial, why).empty())
        return refuse(exitfailed, why + "; nothing was burnt");
    return exitok;
}

int Production::beforechip(State& s, ConsoleFrontend& f) {
    const ChipRow& row = currentchip(s);
    if (row.deviceid != 0) {
        const int16_t id = readdeviceid(s);
        record_.deviceid = static_cast<uint16_t>(id);
        record_.revision = id & ~row.deviceidmask & 0x3FFF;
    }
    if (o_.command != "burn" && o_.command != "verify") return exitok;
    if (counter_) {
        if (const std::string problem = placeproblem(o_.serial, row); !problem.empty())
            return refuse(exitusage, problem);
        uint64_t number = 0;
        std::string why;
        const auto fits = [&](uint64_t n) {
            std::string w;
            serialbytes(n, o_.serial, w);
            return w;
        };
        if (!counter_->take(number, fits, why)) {
            if (interrupted()) throw Interrupted{};
            return refuse(exitfailed, why + "; nothing was burnt");
        }
        taken_ = number;
        record_.serial = number;
        putserial(s, o_.serial, serialbytes(number, o_.serial, why));
        f.statusAdd(std::string(programname) + ": serial " + std::to_string(number) + " goes into " +
                    describeplace(o_.serial));
    }
    std::vector<bool> given = givenwords(o_.file, row.words(Kind::program));
    addgiven(given);
    record_.checksum = filechecksum(s, given);
    return exitok;
}

// The number of a chip that failed is kept as failed, never given again.
int Production::finishserial(int status) {
    if (!taken_) return status;
    const uint64_t number = *taken_;
    taken_.reset();
    const bool passed = status == exitok;
    (passed ? used_ : failedserials_).push_back(number);
    std::string why;
    if (!counter_->finish(number, passed, why)) {
        refuse(exitfailed, why + "; serial " + std::to_string(number) + " stays marked as taken there");
        return passed ? exitfailed : status;
    }
    if (passed)
        f_.result(std::string(programname) + ": serial " + std::to_string(number) + " burnt into " +
                  describeplace(o_.serial));
    else
        std::cerr << programname << ": serial " << number << " is kept as failed in "
                  << escaped(o_.serial.file) << " and will not be given again\n";
    return status;
}

void Production::fillrecord(int status, const std::vector<std::string>& said) {
    ChipRecord& r = record_;
    r.operation = o_.command;
    r.chip = chiplabel(currentchip(s_));
    r.board = s_.wiring.name;
    r.port = static_cast<uint16_t>(s_.portaddr);
    r.file = o_.file;
    if (o_.command == "burn" || o_.command == "verify") {
        std::string bytes;
        if (readwhole(o_.file, bytes)) r.sha256 = sha256hex(bytes);
    }
    r.written = f_.written();
    r.verified = f_.verified();
    r.exit = status;
    r.address = f_.firstdifference();
    if (status == exitok) r.message.clear();
    else if (status > 128) r.message = "interrupted";
    else if (!said.empty()) r.message = said.front();
}

// The record goes to the log and to standard output; a chip whose line
// could not be added is not done.
int Production::keep(int status) {
    if (log_.isopen()) {
        std::string why;
        if (!log_.append(jsonline(record_), why)) {
            refuse(exitfailed, "cannot add the chip's line to the log " + escaped(log_.path()) +
                                   ": " + why + "; the chip has no record there");
            if (status == exitok) status = exitfailed;
        }
    }
    if (o_.json) std::cout << jsonline(record_) << std::flush;
    return status;
}

int Production::onechip() {
    record_ = ChipRecord{};
    record_.time = nowutc();
    f_.startchip();
    int status = exitfailed;
    bool stopped = false;
    std::vector<std::string> said;
    {
        LineWatch watch(std::cerr);
        std::string why;
        if (log_.isopen() && !log_.reserve(why)) {
            status = refuse(exitfailed, "cannot write the log " + escaped(log_.path()) + ": " + why +
                                            "; make room, nothing was burnt");
        } else {
            try {
                status = runcommand(o_, s_, editor_, f_, this);
            } catch (const Interrupted&) {
                stopped = true;
            }
        }
        if (interrupted()) stopped = true;
        said = watch.lines();
    }
    if (stopped) status = exitinterrupted;
    status = finishserial(status);
    fillrecord(status, said);
    status = keep(status);
    if (stopped) throw Interrupted{};
    return status;
}

bool Production::waitsocket(bool empty) {
    std::optional<int16_t> last;
    for (;;) {
        const int16_t id = readdeviceid(s_);
        if (empty && id == 0x3FFF) return true;
        // A chip just put in may still be settling: the same word twice.
        if (!empty && id != 0x3FFF && last == id) return true;
        last = id;
        platform::waits().sleepMs(pollms);
    }
}

// Between chips: the chip in the socket goes out and the next comes in,
// seen through the device ID, or the person says so with Enter. False when
// the batch ends (a signal, or the end of input).
bool Production::nextchip() {
    const bool hasid = currentchip(s_).deviceid != 0;
    try {
        if (hasid) {
            std::cerr << programname << ": take the chip out and put the next one in "
                                         "(Ctrl-C ends the batch)\n" << std::flush;
            waitsocket(true);
            std::cerr << programname << ": the socket is empty; put the next chip in\n" << std::flush;
            waitsocket(false);
            return true;
        }
        std::cerr << programname << ": put the next chip in and press Enter (Ctrl-C or the end "
                                     "of input ends the batch)\n" << std::flush;
        std::string line;
        if (std::getline(std::cin, line) && !interrupted()) return true;
    } catch (const Interrupted&) {
    }
    // The batch ends here, as asked: not an interruption of a chip. The flag
    // goes first, so that the idle levels are written whole (their clock
    // edge is paced through the waits, which would throw again).
    clearinterrupt();
    allpinslow(s_);
    return false;
}

void Production::summary() {
    const int failed = chips_ - passed_;
    if (o_.json) {
        std::cout << jsonsummary(chips_, passed_, used_, failedserials_) << std::flush;
        return;
    }
    std::string line = std::string(programname) + ": " + std::to_string(chips_) +
                       (chips_ == 1 ? " chip: " : " chips: ") + std::to_string(passed_) + " passed, " +
                       std::to_string(failed) + " failed";
    if (counter_)
        line += "; serials burnt: " + ranges(used_) + "; kept as failed: " + ranges(failedserials_);
    f_.result(line);
}

int Production::run() {
    record_.time = nowutc();
    int refused = exitok;
    std::vector<std::string> said;
    {
        LineWatch watch(std::cerr);
        refused = start();
        said = watch.lines();
    }
    if (refused) {
        fillrecord(refused, said);
        return keep(refused);
    }
    if (!o_.repeat) return onechip();
    for (;;) {
        int status = exitfailed;
        try {
            status = onechip();
        } catch (const Interrupted&) {
            ++chips_;
            summary();
            throw;
        }
        if (firstfailure_ == exitok) firstfailure_ = status;
        // Trouble that is not the chip's (a file, the board, the counter,
        // the log) stops the batch before a chip is counted.
        if (status != exitok && !chipfailure(status)) break;
        ++chips_;
        if (status == exitok) ++passed_;
        std::string line = std::string(programname) + ": chip " + std::to_string(chips_) + ": " +
                           (status == exitok ? "passed" : "failed (exit status " + std::to_string(status) + ")");
        if (record_.serial) line += ", serial " + std::to_string(*record_.serial);
        if (record_.checksum) line += ", checksum " + checksumtext(*record_.checksum);
        f_.result(line);
        if (isatty(STDERR_FILENO) == 1) std::cerr << '\a' << std::flush;
        if (!nextchip()) break;
    }
    summary();
    return firstfailure_;
}

}  // namespace

bool productionrun(const Options& o) {
    return !o.serial.file.empty() || !o.log.empty() || o.json || o.repeat;
}

int runproduction(const Options& o, State& s, ConfigEditor& editor, RecordingConsole& f) {
    Production p(o, s, editor, f);
    return p.run();
}

}  // namespace cli
