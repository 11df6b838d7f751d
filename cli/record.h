// SPDX-License-Identifier: GPL-2.0-or-later
// The record of each chip a run worked on: one JSON object, the same for the
// --log file (one line per chip, appended) and for --json (the line on
// standard output), written by Qt's JSON writer.
#pragma once
#include <cstdint>
#include <optional>
#include <streambuf>
#include <string>
#include <vector>

#include "cli/console.h"

namespace cli {

struct ChipRecord {
    std::string time;       // UTC, ISO 8601 with milliseconds
    std::string operation;  // burn, verify, read-hex, read-bin
    std::string chip;       // PIC16F628A
    std::optional<uint16_t> deviceid;  // the word at 0x2006; none for a chip without one
    std::optional<int> revision;
    std::string board;
    uint16_t port = 0;
    std::string file;    // the HEX file, or the read-out's target
    std::string sha256;  // of that file's bytes; empty: not known
    std::optional<uint16_t> checksum;
    std::optional<uint64_t> serial;
    int written = 0;
    int verified = 0;
    int exit = 0;                     // the exit status this chip gives
    std::optional<int32_t> address;   // the first word that differed
    std::string message;              // on failure, what was said
};

// The object as one line, newline included. Its fields: time, operation,
// chip, deviceid, revision, board, port, file, sha256, checksum, serial,
// written, verified, result ("ok" or "failed"), failure (null, or the kind
// the exit status names), exit, address, message.
std::string jsonline(const ChipRecord& r);

// The line that ends a batch of chips: {"operation":"summary","chips":N,
// "passed":N,"failed":N,"serials":[...],"failedserials":[...]}.
std::string jsonsummary(int chips, int passed, const std::vector<uint64_t>& serials,
                        const std::vector<uint64_t>& failedserials);

// What kind of failure an exit status is, as the record names it; null
// (empty) for 0.
std::string failurekind(int exit);

// Now, as the record's time.
std::string nowutc();

std::string sha256hex(const std::string& bytes);

// A file's bytes, up to `limit`; false when it cannot be read.
bool readwhole(const std::string& path, std::string& bytes, size_t limit = 16u << 20);

// The --log file, open for the whole run. Each line goes in with one
// write(2) to the end of the file, under a lock that other runs writing the
// same log take too; a write that falls short is taken back, so the file
// only ever holds whole lines.
class ChipLog {
public:
    ChipLog() = default;
    ChipLog(const ChipLog&) = delete;
    ChipLog& operator=(const ChipLog&) = delete;
    ~ChipLog();

    // Opens (or creates) the file; a link is followed, anything but a
    // regular file is refused. False with the reason.
    bool open(const std::string& path, std::string& why);
    // Sets room aside for the next lines, so that a full disk is found
    // before a chip is burnt rather than after.
    bool reserve(std::string& why);
    bool append(const std::string& line, std::string& why);

    bool isopen() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

// Watches what is written to a stream (standard error) while it passes
// through: the lines said there, progress redraws left out.
class LineWatch : public std::streambuf {
public:
    explicit LineWatch(std::ostream& stream);
    ~LineWatch() override;
    LineWatch(const LineWatch&) = delete;
    LineWatch& operator=(const LineWatch&) = delete;

    const std::vector<std::string>& lines() const { return lines_; }
    void clear() { lines_.clear(); }

protected:
    int overflow(int c) override;
    int sync() override;

private:
    std::ostream& stream_;
    std::streambuf* inner_;
    std::string line_;
    std::vector<std::string> lines_;
};

// The console front end of a recorded run: it shows what the console shows
// and counts the words the operations report written and read back as they
// should be, and notes the first word that differed.
class RecordingConsole : public ConsoleFrontend {
public:
    using ConsoleFrontend::ConsoleFrontend;

    Answer message(const std::string& text, const std::string& title, Buttons buttons) override;
    void wordsDone(int written, int verified) override;

    // A new chip: nothing counted yet.
    void startchip();
    int written() const { return given_[0].value_or(written_); }
    int verified() const { return given_[1].value_or(verified_); }
    std::optional<int32_t> firstdifference() const { return difference_; }
    // Counts given by the operation itself (burn --only-changed).
    void setcounts(int written, int verified);

private:
    int written_ = 0;
    int verified_ = 0;
    std::optional<int> given_[2];
    std::optional<int32_t> difference_;
};

}  // namespace cli
