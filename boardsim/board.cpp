// SPDX-License-Identifier: GPL-2.0-or-later
#include "board.h"

#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "chipfile.h"
#include "socket.h"

namespace boardsim {
namespace {

std::string lower(const char* s) {
    std::string out;
    for (; *s; ++s) out += static_cast<char>(std::tolower(static_cast<unsigned char>(*s)));
    return out;
}

// Each variable's complaint is said once per run, however often the board
// is reset.
void complain(bool& said, const char* name, const char* value, const char* what) {
    if (said) return;
    said = true;
    std::fprintf(stderr, "zavbit2sim: %s='%s' is not understood; %s\n", name, value, what);
}

bool yes(const std::string& v) { return v == "1" || v == "yes" || v == "on" || v == "true"; }
bool no(const std::string& v) {
    return v == "0" || v == "no" || v == "off" || v == "false" || v == "none";
}

int chipFromEnvironment() {
    static bool said = false;
    const char* env = std::getenv("QUIBB9X_SIM_CHIP");
    if (!env || !*env) return PIC16F84;
    const int kind = kindNamed(env);
    if (kind >= 0) return kind;
    const std::string v = lower(env);
    if (v == "none" || v == "empty") return EMPTY;
    complain(said, "QUIBB9X_SIM_CHIP", env, "using a PIC16F84");
    return PIC16F84;
}

int revisionFromEnvironment() {
    static bool said = false;
    const char* env = std::getenv("QUIBB9X_SIM_REVISION");
    if (!env || !*env) return DEFAULT_REVISION;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(env, &end, 0);
    if (*end || errno || v < 0 || v > 31) {
        complain(said, "QUIBB9X_SIM_REVISION", env, "the chip carries revision 1");
        return DEFAULT_REVISION;
    }
    return static_cast<int>(v);
}

bool boardFromEnvironment(BoardWiring& wiring) {
    static bool said = false;
    const char* env = std::getenv("QUIBB9X_SIM_BOARD");
    if (!env || !*env) return true;
    const std::string v = lower(env);
    if (no(v)) return false;
    if (yes(v) || knownBoard(env, wiring)) return true;
    std::string why;
    if (boardFromFile(env, wiring, why)) return true;
    if (!said)
        std::fprintf(stderr, "zavbit2sim: QUIBB9X_SIM_BOARD='%s' is neither a board nor a usable board file "
                             "(%s); the original board is connected\n", env, why.c_str());
    said = true;
    return true;
}

uint16_t baseFromEnvironment() {
    static bool said = false;
    const char* env = std::getenv("QUIBB9X_SIM_PORT");
    if (!env || !*env) return 0x278;
    const bool hex = env[0] == '0' && (env[1] == 'x' || env[1] == 'X');
    const char* digits = hex ? env + 2 : env;
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(digits, &end, hex ? 16 : 10);
    if (!*digits || *end || errno || v > 0xFFFF || !std::isxdigit(static_cast<unsigned char>(*digits))) {
        complain(said, "QUIBB9X_SIM_PORT", env, "the board answers at 0x278");
        return 0x278;
    }
    return static_cast<uint16_t>(v);
}

// Whether a second run on a chip file in use takes a copy instead of waiting.
bool copyWhenShared() {
    static bool said = false;
    const char* env = std::getenv("QUIBB9X_SIM_SHARED");
    if (!env || !*env) return false;
    const std::string v = lower(env);
    if (v == "copy") return true;
    if (v != "wait") complain(said, "QUIBB9X_SIM_SHARED", env, "a second run waits for the chip file");
    return false;
}

bool protectFromEnvironment() {
    static bool said = false;
    const char* env = std::getenv("QUIBB9X_SIM_PROTECTED");
    if (!env || !*env) return false;
    const std::string v = lower(env);
    if (yes(v)) return true;
    if (!no(v)) complain(said, "QUIBB9X_SIM_PROTECTED", env, "the chip starts unprotected");
    return false;
}

int64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace

Setup setupFromEnvironment() {
    Setup s;
    s.kind = chipFromEnvironment();
    s.board = boardFromEnvironment(s.wiring);
    s.base = baseFromEnvironment();
    s.protect = protectFromEnvironment();
    s.revision = revisionFromEnvironment();
    return s;
}

Board::Board() {
    accesses_.reserve(1 << 16);
    events_.reserve(1 << 12);
    reset();
    chooseFile();
    // A test's socket file names the chip file of the chip in the socket.
    if (const auto socket = socketChip()) {
        path_ = *socket;
        dir_.clear();
        if (path_.empty()) newChip(EMPTY);
    }
    if (!path_.empty() && chip_->present()) {
        if (!dir_.empty()) adoptOlderFiles();
        lockFile();
        loadFile();
        if (setup_.protect) chip_->setProtected(true);
        chip_->dirty = false;
    }
}

void Board::chooseFile() {
    fileKind_ = chip_->kind();
    if (const char* env = std::getenv("QUIBB9X_SIM_FILE")) {
        path_ = env;
        return;
    }
    const char* dir = std::getenv("QUIBB9X_SIM_DIR");
    if (!dir || !*dir || !chip_->present()) return;
    dir_ = dir;
    path_ = dir_ + "/" + chipFileName(fileKind_);
}

// The folder once kept one file for every kind, simulated-chip.txt, and set
// the last chip aside as simulated-chip.txt.bad when the kind changed. Each
// goes to its kind's own file, unless that exists already or another run is
// using it; then it is left where it is.
void Board::adoptOlderFiles() {
    for (const char* name : {"simulated-chip.txt", "simulated-chip.txt.bad"}) {
        const std::string from = dir_ + "/" + name;
        std::string text, why;
        if (readChipFile(from, text, why) != 1) continue;
        const std::string held = heldChip(text);
        const int kind = held.empty() ? -1 : kindNamed(held.c_str());
        if (kind <= EMPTY) continue;  // not a chip: none of ours to move
        const std::string to = dir_ + "/" + chipFileName(kind);
        const int lock = ::open((to + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (lock < 0) continue;
        if (::flock(lock, LOCK_EX | LOCK_NB) == 0) {
            const int moved = moveWithoutReplacing(from, to, why);
            if (moved > 0)
                std::fprintf(stderr, "zavbit2sim: the %s in %s is kept in %s from now on (one file for each "
                                     "kind of chip)\n", held.c_str(), from.c_str(), to.c_str());
            else if (moved == 0)
                std::fprintf(stderr, "zavbit2sim: %s holds a %s, but %s exists already: the older file "
                                     "is left as it is; remove it, or keep it under another name\n",
                             from.c_str(), held.c_str(), to.c_str());
            else
                std::fprintf(stderr, "zavbit2sim: cannot move %s to %s (%s); it is left as it is\n",
                             from.c_str(), to.c_str(), why.c_str());
        }
        ::close(lock);
    }
}

Board::FileUse Board::fileUse() const {
    if (path_.empty()) return NO_FILE;
    return copy_ ? COPY_OF_FILE : OWN_FILE;
}

Board::~Board() {
    // A cycle still running at exit is lost, as when the power goes.
    if (chip_->dirty) save();
    if (lockFd_ >= 0) ::close(lockFd_);  // the next run may have the chip
}

void Board::reset() {
    setup_ = setupFromEnvironment();
    present_ = setup_.board;
    wiring_ = setup_.wiring;
    base_ = setup_.base;
    data_ = 0x00;
    control_ = 0x0C;
    clock_ = nullptr;
    revision_ = setup_.revision;
    newChip(setup_.kind);
    if (setup_.protect) chip_->setProtected(true);
    chip_->dirty = false;
    accesses_.clear();
    events_.clear();
    timingFaults_ = 0;
    phaseFaults_ = 0;
    const char* fd = std::getenv("QUIBB9X_SIM_LEVELS_FD");
    levelsFd_ = fd && *fd ? std::atoi(fd) : -1;
}

void Board::newChip(int kind) {
    chip_ = std::make_unique<Chip>(kind, *this, revision_);
    chip_->seat(pins());
}

int64_t Board::now() const { return clock_ ? clock_() : monotonicNs(); }

// The board's wiring decides which pins carry the lines (wirings.h). With a
// direction line, the PC drives the data line while it is asserted; released,
// the line is the chip's, pulled towards data out through a resistor, and
// the read-back node behind the PC's driver reads low while the PC drives.
// Without one, data out is an open-collector driver: low, it holds the line;
// high, it lets the line be pulled up or pulled low by the chip, and the
// read-back node is the line itself. A board without VDD control powers the
// chip always; without a PGM line, PGM is held low.
Pins Board::pins() const {
    if (!present_) return Pins{false, false, false, false};
    const BoardOutputs o = decodeOutputs(wiring_, data_, control_);
    bool data = o.pcDrives ? o.dataOut : wiring_.dataDir.empty() || o.dataOut;
    if (!o.pcDrives && chip_->drives()) data = chip_->driveLevel();
    Pins p{o.vpp, o.clock, data, o.pcDrives};
    p.vdd = o.vdd;
    p.pgm = o.pgm;
    return p;
}

uint8_t Board::status() const {
    if (!present_) return STATUS_IDLE;
    const Pins p = pins();
    const bool node = wiring_.dataDir.empty() ? p.data : !p.pcDrives && p.data;
    return statusWith(wiring_, node);
}

int32_t Board::inp(int32_t port) {
    const int64_t t = now();
    const uint16_t p = static_cast<uint16_t>(port);
    uint8_t v = 0xFF;  // nothing answers: an empty bus
    if (p == base_)
        v = data_;
    else if (p == static_cast<uint16_t>(base_ + 1))
        v = status();
    else if (p == static_cast<uint16_t>(base_ + 2))
        v = control_;
    log(t, p, v, true);
    return static_cast<int8_t>(v);
}

void Board::out(int32_t port, int32_t value) {
    const int64_t t = now();
    const uint16_t p = static_cast<uint16_t>(port);
    const uint8_t v = static_cast<uint8_t>(value);
    log(t, p, v, false);
    if (p == static_cast<uint16_t>(base_ + 2)) {
        control_ = v;
        feed(t);
    } else if (p == base_) {
        data_ = v;
        feed(t);
    }
    if (levelsFd_ >= 0) {
        const Pins pin = pins();
        const uint8_t levels = (pin.vpp ? ZAVSIM_LEVEL_VPP : 0) | (pin.vdd ? ZAVSIM_LEVEL_VDD : 0) |
                               (pin.clock ? ZAVSIM_LEVEL_CLOCK : 0) | (pin.data ? ZAVSIM_LEVEL_DATA : 0) |
                               (pin.pgm ? ZAVSIM_LEVEL_PGM : 0) |
                               (pin.pcDrives ? ZAVSIM_LEVEL_PCDRIVES : 0);
        if (::write(levelsFd_, &levels, 1) != 1) levelsFd_ = -1;  // the reader went away
    }
}

void Board::feed(int64_t t) {
    const bool vpp = pins().vpp;
    if (vpp && !vppBefore_) reseat();
    vppBefore_ = vpp;
    if (chip_->update(pins(), t)) save();
}

// Vpp rises: the chip the socket file names now is the one that enters.
void Board::reseat() {
    const auto socket = socketChip();
    if (!socket || (*socket == path_ && chip_->present() == !socket->empty())) return;
    if (chip_->present() && chip_->dirty) save();
    if (lockFd_ >= 0) ::close(lockFd_);
    lockFd_ = -1;
    path_ = *socket;
    fileKind_ = path_.empty() ? EMPTY : setup_.kind;
    asideTo_.clear();
    saveFailed_ = false;
    Pins before = pins();
    before.vpp = false;  // the new chip sees Vpp rise
    chip_ = std::make_unique<Chip>(path_.empty() ? EMPTY : setup_.kind, *this, revision_);
    chip_->seat(before);
    if (path_.empty()) return;
    lockFile();
    loadFile();
    chip_->dirty = false;
}

void Board::setChip(int kind) {
    if (kind < EMPTY || kind > LAST_KIND) return;
    newChip(kind);
}

void Board::setPresent(bool present) {
    present_ = present;
    feed(now());
}

void Board::setRevision(int32_t revision) {
    revision_ = revision;
    chip_->setRevision(revision);
}

void Board::setBase(int32_t base) { base_ = static_cast<uint16_t>(base); }

Chip& Board::chip() {
    chip_->settle(now());
    return *chip_;
}

void Board::log(int64_t t, uint16_t port, uint8_t value, bool read) {
    if (accesses_.size() >= ACCESS_LOG_LIMIT) return;
    accesses_.push_back(Access{t, static_cast<uint32_t>(port) << 16 | (read ? 0x100u : 0u) | value});
}

bool Board::logEntry(int32_t i, zavsim_access& out) const {
    if (i < 0 || static_cast<size_t>(i) >= accesses_.size()) return false;
    const Access& a = accesses_[i];
    out.time_ns = a.time;
    out.port = static_cast<int32_t>(a.packed >> 16);
    out.value = static_cast<int32_t>(a.packed & 0xFF);
    out.is_read = (a.packed & 0x100) ? 1 : 0;
    return true;
}

bool Board::eventEntry(int32_t i, zavsim_event& out) const {
    if (i < 0 || static_cast<size_t>(i) >= events_.size()) return false;
    out = events_[i];
    return true;
}

void Board::chipEvent(int64_t t, int kind, int value) {
    if (kind == EV_FAULT && value == FAULT_TIMING) ++timingFaults_;
    if (kind == EV_FAULT && value == FAULT_SHORT_PHASE) ++phaseFaults_;
    if (events_.size() < EVENT_LOG_LIMIT) events_.push_back(zavsim_event{t, kind, value});
}

void Board::loadFile() {
    std::string content, why;
    const int got = readChipFile(path_, content, why);
    if (got == 0) return;  // no chip kept yet: start blank
    if (got < 0) {
        asideTo_ = path_ + ".bad";
        std::fprintf(stderr, "zavbit2sim: cannot read the chip file %s: %s; starting with a blank chip\n",
                     path_.c_str(), why.c_str());
        return;
    }
    Cells cells = blankCells(chip_->kind());
    bool protectedNow = false;
    if (parseChipFile(content, chip_->kind(), cells, protectedNow, why)) {
        chip_->setCells(cells, protectedNow);
        return;
    }
    // Another kind of chip is set aside under its own name, a damaged file
    // as .bad; never over an earlier one.
    const std::string held = heldChip(content);
    const bool otherChip = held != kindName(chip_->kind()) && kindNamed(held.c_str()) > EMPTY;
    asideTo_ = path_ + (otherChip ? "." + held : ".bad");
    std::fprintf(stderr,
                 "zavbit2sim: the chip file %s cannot be used (%s); starting with a blank chip. "
                 "Before the chip is saved the file is moved to %s%s\n",
                 path_.c_str(), why.c_str(), asideTo_.c_str(), copy_ ? " (not in this run, which "
                 "keeps nothing)" : ", or beside it with a number added if that name is taken");
}

// Two runs on one chip file would each keep their own chip and the last to
// save would win: a second run waits for the first to end.
void Board::lockFile() {
    const std::string lock = path_ + ".lock";
    lockFd_ = ::open(lock.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (lockFd_ < 0) {
        std::fprintf(stderr, "zavbit2sim: cannot lock the chip file with %s (%s); another run "
                             "may use the same chip at once\n", lock.c_str(), std::strerror(errno));
        return;
    }
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) return;
    if (copyWhenShared()) {  // the window: it must come up, and says so itself
        ::close(lockFd_);
        lockFd_ = -1;
        copy_ = true;
        std::fprintf(stderr, "zavbit2sim: another run is using the simulated chip in %s; this run "
                             "works on a copy of it that is not kept\n", path_.c_str());
        return;
    }
    std::fprintf(stderr, "zavbit2sim: another run is using the simulated chip in %s; waiting "
                         "until it ends\n", path_.c_str());
    if (::flock(lockFd_, LOCK_EX) == 0) return;
    // Interrupted while waiting (Ctrl-C): this run keeps no chip at all.
    ::close(lockFd_);
    lockFd_ = -1;
    path_.clear();
}

// A copy never writes; a chip of another kind than the file's (put in by a
// test) is not written into the file of the kind it replaced.
bool Board::save() {
    if (path_.empty() || !chip_->present() || copy_) return true;
    if (!dir_.empty() && chip_->kind() != fileKind_) return true;
    chip_->settle(now());
    if (!keepAside()) return false;
    std::string why;
    if (writeFileAtomically(path_, formatChipFile(chip_->kind(), chip_->cells(), chip_->isProtected()),
                            why)) {
        chip_->dirty = false;
        return true;
    }
    if (!saveFailed_) std::fprintf(stderr, "zavbit2sim: the chip is not saved: %s\n", why.c_str());
    saveFailed_ = true;
    return false;
}

bool Board::keepAside() {
    if (asideTo_.empty()) return true;
    std::string chosen, why;
    if (!moveAside(path_, asideTo_, chosen, why)) {
        if (!saveFailed_)
            std::fprintf(stderr, "zavbit2sim: cannot keep %s as %s (%s); the chip is not saved\n",
                         path_.c_str(), asideTo_.c_str(), why.c_str());
        saveFailed_ = true;
        return false;
    }
    if (!chosen.empty() && chosen != asideTo_)
        std::fprintf(stderr, "zavbit2sim: %s is taken; %s is kept as %s\n", asideTo_.c_str(), path_.c_str(),
                     chosen.c_str());
    asideTo_.clear();
    return true;
}

}  // namespace boardsim
