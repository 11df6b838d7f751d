// SPDX-License-Identifier: GPL-2.0-or-later
#include "console.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <istream>
#include <ostream>

namespace cli {
namespace {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

constexpr int barWidth = 30;

}  // namespace

namespace {

// The length of the well-formed UTF-8 sequence at `at`, or 0.
size_t utf8length(const std::string& text, size_t at, uint32_t& code) {
    const auto u = static_cast<unsigned char>(text[at]);
    const size_t n = u >= 0xF0 ? (u <= 0xF4 ? 4 : 0) : u >= 0xE0 ? 3 : u >= 0xC2 ? 2 : 0;
    if (n == 0 || at + n > text.size()) return 0;
    code = u & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(text[at + k]);
        if ((c & 0xC0) != 0x80) return 0;
        code = code << 6 | (c & 0x3F);
    }
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[n] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return n;
}

}  // namespace

std::string escaped(const std::string& text) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    auto escape = [&](unsigned char u) {
        out += "\\x";
        out += digits[u >> 4];
        out += digits[u & 15];
    };
    for (size_t at = 0; at < text.size();) {
        const auto u = static_cast<unsigned char>(text[at]);
        if (u < 0x80) {
            if (u >= 0x20 && u != 0x7F) out += text[at];
            else escape(u);
            ++at;
            continue;
        }
        // A C1 control (U+0080 to U+009F) acts on a terminal like a C0 one,
        // and so does a lone byte 0x80 to 0x9F on a terminal that is not
        // UTF-8: both are escaped, as is every byte that is not UTF-8.
        uint32_t code = 0;
        const size_t n = utf8length(text, at, code);
        if (n > 0 && code >= 0xA0) {
            out.append(text, at, n);
        } else {
            for (size_t k = 0; k < std::max<size_t>(n, 1); ++k)
                escape(static_cast<unsigned char>(text[at + k]));
        }
        at += std::max<size_t>(n, 1);
    }
    return out;
}

ConsoleFrontend::ConsoleFrontend(std::ostream& out, std::ostream& err, bool progressLine,
                                 bool assumeYes, std::istream* terminal, bool quiet)
    : out_(out), err_(err), progressLine_(progressLine && !quiet), assumeYes_(assumeYes),
      terminal_(terminal), quiet_(quiet), now_([] {
          return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
              .count();
      }) {}

// The status list is a log on standard output, so clearing it prints nothing.
void ConsoleFrontend::statusClear() {}

void ConsoleFrontend::statusAdd(const std::string& line) {
    const std::string t = trim(line);
    // The window marks a pass that failed or was stopped with these; here the
    // error on standard error (the box, the interruption) says it, once.
    if (t == "**ERROR!**" || t == "**STOPPED**") {
        passOpen_ = false;
        clearProgress();
        return;
    }
    // Any other line after a pass: the pass went through all its words
    // (a one-word pass shows its bar only then).
    if (passOpen_) drawProgress(maximum_);
    passOpen_ = false;
    clearProgress();
    // Status lines quote file names; boxes quote the file's own lines.
    if (!quiet_) out_ << escaped(line) << '\n' << std::flush;
    // The bar is labelled with the region and what is done to it, e.g.
    // "Program memory: Programming...".
    if (t.empty()) return;
    if (t.back() == ':') {
        region_ = t;
        label_ = t;
    } else {
        label_ = region_.empty() ? t : region_ + " " + t;
    }
}

void ConsoleFrontend::statusRepaint() { out_ << std::flush; }

// The file list only mirrors the HEX file; the command line does not echo it.
void ConsoleFrontend::fileListClear() {}
void ConsoleFrontend::fileListAdd(const std::string&) {}

void ConsoleFrontend::progressMax(int maximum) {
    maximum_ = maximum;
    passOpen_ = true;
}

void ConsoleFrontend::progressValue(int value) {
    // A bar at 0 says nothing yet, but starts the pass's clock (and the final
    // reset to 0 after "SUCCESS!" must not bring the bar back).
    if (value <= 0) {
        passStart_ = now_();
        return;
    }
    if (progressLine_) drawProgress(value);
}

// An erase or a blank check: the bar shows from its first step, 0 % included,
// since an erase is only a few waits long.
void ConsoleFrontend::stepsDone(const std::string& label, int done, int total) {
    if (done <= 0) passStart_ = now_();
    label_ = label;
    maximum_ = total;
    drawProgress(std::min(done, total));
}

void ConsoleFrontend::drawProgress(int value) {
    if (!progressLine_) return;
    const int percent = maximum_ > 0 ? std::clamp(value * 100 / maximum_, 0, 100) : 0;
    if (showing_ && percent == shownPercent_) return;  // redraw only on change
    const int filled = percent * barWidth / 100;
    err_ << '\r' << label_ << " [" << std::string(filled, '#')
         << std::string(barWidth - filled, '.') << "] " << percent << '%';
    // The time left, from the pace of the pass so far.
    const double elapsed = now_() - passStart_;
    if (value > 0 && value < maximum_ && elapsed > 0)
        err_ << ", " << static_cast<long>(std::ceil(elapsed * (maximum_ - value) / value))
             << " s left";
    err_ << "\x1b[K" << std::flush;
    shownPercent_ = percent;
    showing_ = true;
}

Answer ConsoleFrontend::message(const std::string& text, const std::string& title,
                                Buttons buttons) {
    clearProgress();
    const std::string shown = escaped(title.empty() ? text : title + ": " + text);
    if (buttons == Buttons::Ok) {
        // "SUCCESS!" reports what was done; every other box, a fault.
        if (title != "SUCCESS!")
            err_ << shown << '\n' << std::flush;
        else if (!quiet_)
            out_ << shown << '\n' << std::flush;
        return Answer::Ok;
    }
    // A question is never quiet: what --yes agreed to stays on record.
    if (assumeYes_) {
        out_ << shown << " yes (--yes)\n" << std::flush;
        return Answer::Yes;
    }
    if (!terminal_) {
        err_ << shown << " no (no terminal to ask; give --yes)\n" << std::flush;
        return Answer::No;
    }
    err_ << shown << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(*terminal_, answer)) {
        err_ << '\n' << std::flush;  // end of input or an interruption: no
        return Answer::No;
    }
    answer = lower(trim(answer));
    return answer == "y" || answer == "yes" ? Answer::Yes : Answer::No;
}

void ConsoleFrontend::result(const std::string& line) {
    clearProgress();
    out_ << escaped(line) << '\n' << std::flush;
}

void ConsoleFrontend::summary(const std::string& line) {
    if (quiet_) result(line);
}

void ConsoleFrontend::finish() { clearProgress(); }

void ConsoleFrontend::clearProgress() {
    if (!showing_) return;
    err_ << "\r\x1b[K" << std::flush;
    showing_ = false;
    shownPercent_ = -1;
}

}  // namespace cli
