// SPDX-License-Identifier: GPL-2.0-or-later
#include "chipfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

namespace boardsim {
namespace {

const char* const HEADER = "quibb9x simulated chip, format 1";

void putWords(std::string& out, const uint16_t* words, int count, int digits) {
    char buf[8];
    for (int i = 0; i < count; ++i) {
        std::snprintf(buf, sizeof buf, "%0*X", digits, words[i]);
        out += buf;
        out += (i % 16 == 15 || i == count - 1) ? '\n' : ' ';
    }
}

struct Token {
    std::string text;
    int line;
};

// Walks the tokens after the header; every failure names the line.
class Reader {
public:
    explicit Reader(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    bool keyword(const char* word, std::string& why) {
        if (at_ < tokens_.size() && tokens_[at_].text == word) {
            ++at_;
            return true;
        }
        why = where() + "expected '" + word + "'";
        return false;
    }

    bool text(std::string& out, std::string& why) {
        if (at_ >= tokens_.size()) {
            why = where() + "the file ends early";
            return false;
        }
        out = tokens_[at_++].text;
        return true;
    }

    // A number in hexadecimal (base 16) or decimal (base 10) up to `limit`.
    bool number(int base, unsigned limit, unsigned& out, std::string& why) {
        std::string t;
        if (!text(t, why)) return false;
        if (t.empty() || t.size() > 5) return bad(t, why);
        unsigned v = 0;
        for (char c : t) {
            int d;
            if (c >= '0' && c <= '9') d = c - '0';
            else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
            else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
            else return bad(t, why);
            v = v * base + d;
        }
        if (v > limit) return bad(t, why);
        out = v;
        return true;
    }

    bool atEnd() const { return at_ >= tokens_.size(); }
    std::string where() const {
        const int line = at_ < tokens_.size() ? tokens_[at_].line
                         : tokens_.empty()   ? 1
                                             : tokens_.back().line;
        return "line " + std::to_string(line) + ": ";
    }

private:
    bool bad(const std::string& t, std::string& why) {
        --at_;
        why = where() + "'" + t + "' is not a valid value";
        return false;
    }

    std::vector<Token> tokens_;
    size_t at_ = 0;
};

bool region(Reader& r, const char* name, unsigned count, unsigned limit, uint16_t* out,
            std::string& why) {
    unsigned n = 0;
    if (!r.keyword(name, why)) return false;
    if (!r.number(10, 8192, n, why)) return false;
    if (n != count) {
        why = r.where() + "'" + name + "' holds " + std::to_string(n) + " words, the chip has " +
              std::to_string(count);
        return false;
    }
    for (unsigned i = 0; i < count; ++i) {
        unsigned v = 0;
        if (!r.number(16, limit, v, why)) return false;
        out[i] = static_cast<uint16_t>(v);
    }
    return true;
}

}  // namespace

const char* kindName(int kind) {
    const Model* m = modelOf(kind);
    return m ? m->name : "empty socket";
}

std::string formatChipFile(int kind, const Cells& cells, bool protectedNow) {
    std::string out;
    out.reserve(48 * 1024);
    out += HEADER;
    out += "\nchip ";
    out += kindName(kind);
    out += protectedNow ? "\nprotected 1\n" : "\nprotected 0\n";
    const int words = programWords(kind);
    out += "program " + std::to_string(words) + "\n";
    putWords(out, cells.program.data(), words, 4);
    out += "id 4\n";
    putWords(out, cells.id.data(), 4, 4);
    const uint16_t config[2] = {cells.config, cells.config2};
    out += "config " + std::to_string(configWords(kind)) + "\n";
    putWords(out, config, configWords(kind), 4);
    if (hasCalibrationWord(kind)) {
        out += "calibration 1\n";
        putWords(out, &cells.calibration, 1, 4);
    }
    const int bytes = dataBytes(kind);
    out += "data " + std::to_string(bytes) + "\n";
    uint16_t data[256];
    for (int i = 0; i < bytes; ++i) data[i] = cells.data[i];
    putWords(out, data, bytes, 2);
    out += "end\n";
    return out;
}

bool parseChipFile(const std::string& text, int kind, Cells& cells, bool& protectedNow,
                   std::string& why) {
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line != HEADER) {
        why = "line 1: not a simulated chip file";
        return false;
    }
    std::vector<Token> tokens;
    int number = 1;
    while (std::getline(in, line)) {
        ++number;
        std::istringstream words(line);
        std::string w;
        while (words >> w) tokens.push_back({w, number});
    }
    Reader r(std::move(tokens));
    std::string name;
    unsigned flag = 0;
    if (!r.keyword("chip", why) || !r.text(name, why)) return false;
    if (name != kindName(kind)) {
        why = std::string("it holds a ") + name + ", the socket a " + kindName(kind);
        return false;
    }
    if (!r.keyword("protected", why) || !r.number(10, 1, flag, why)) return false;

    Cells c = blankCells(kind);
    uint16_t config[2] = {c.config, c.config2};
    uint16_t data[256];
    const int bytes = dataBytes(kind);
    if (!region(r, "program", programWords(kind), 0x3FFF, c.program.data(), why) ||
        !region(r, "id", 4, 0x3FFF, c.id.data(), why) ||
        !region(r, "config", configWords(kind), 0x3FFF, config, why) ||
        (hasCalibrationWord(kind) && !region(r, "calibration", 1, 0x3FFF, &c.calibration, why)) ||
        !region(r, "data", bytes, 0xFF, data, why) || !r.keyword("end", why))
        return false;
    if (!r.atEnd()) {
        why = r.where() + "text after 'end'";
        return false;
    }
    c.config = storedConfig(kind, config[0]);
    if (configWords(kind) == 2) c.config2 = storedConfig2(kind, config[1]);
    for (int i = 0; i < bytes; ++i) c.data[i] = static_cast<uint8_t>(data[i]);
    cells = c;
    protectedNow = flag != 0;
    return true;
}

int readChipFile(const std::string& path, std::string& text, std::string& why) {
    text.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return 0;
        why = std::strerror(errno);
        return -1;
    }
    struct stat st;
    int result = 1;
    if (::fstat(fd, &st) != 0) why = std::strerror(errno), result = -1;
    else if (!S_ISREG(st.st_mode)) why = "not a regular file", result = -1;
    else if (st.st_size > static_cast<off_t>(CHIP_FILE_LIMIT)) why = "larger than 1 MiB", result = -1;
    char buffer[16384];
    while (result == 1) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) why = std::strerror(errno), result = -1;
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
        if (text.size() > CHIP_FILE_LIMIT) why = "larger than 1 MiB", result = -1;
    }
    ::close(fd);
    return result;
}

bool writeFileAtomically(const std::string& path, const std::string& text, std::string& why) {
    // A name of our own beside the target, created exclusively: never a
    // file or link someone else put there.
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    FILE* f = fd < 0 ? nullptr : ::fdopen(fd, "w");
    if (!f) {
        why = "cannot create " + temp + ": " + std::strerror(errno);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(temp.c_str());
        }
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size() &&
                         std::fflush(f) == 0 && fsync(fileno(f)) == 0;
    const int err = errno;
    if (std::fclose(f) != 0 || !written) {
        why = "cannot write " + temp + ": " + std::strerror(written ? errno : err);
        std::remove(temp.c_str());
        return false;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        why = "cannot rename " + temp + " to " + path + ": " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace boardsim

namespace boardsim {

std::string heldChip(const std::string& text) {
    std::istringstream in(text);
    std::string line, word, name;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line != HEADER || !std::getline(in, line)) return {};
    std::istringstream words(line);
    if (!(words >> word >> name) || word != "chip") return {};
    return name;
}

std::string chipFileName(int kind) { return std::string("simulated-") + kindName(kind) + ".txt"; }

// A hard link cannot replace a name; where the file system has none, the
// check and the rename are apart, which the chip file's lock covers.
int moveWithoutReplacing(const std::string& from, const std::string& to, std::string& why) {
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 1;
    }
    if (errno == EEXIST) return 0;
    if (errno == ENOENT) {
        why = std::strerror(errno);
        return -1;
    }
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0) return 0;
    if (std::rename(from.c_str(), to.c_str()) == 0) return 1;
    why = std::strerror(errno);
    return -1;
}

bool moveAside(const std::string& from, const std::string& base, std::string& chosen, std::string& why) {
    chosen.clear();
    struct stat st;
    if (::lstat(from.c_str(), &st) != 0) {
        if (errno == ENOENT) return true;  // nothing to keep
        why = std::strerror(errno);
        return false;
    }
    for (int n = 0; n < 1000; ++n) {
        const std::string to = n ? base + "." + std::to_string(n) : base;
        const int moved = moveWithoutReplacing(from, to, why);
        if (moved < 0) return false;
        if (moved) {
            chosen = to;
            return true;
        }
    }
    why = "every name from " + base + " to " + base + ".999 is taken";
    return false;
}

}  // namespace boardsim
