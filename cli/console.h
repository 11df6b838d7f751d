// SPDX-License-Identifier: GPL-2.0-or-later
// The front end of the command line: status lines and results on standard
// output as they are added, errors (every message box but "SUCCESS!") on
// standard error, the Yes/No question answered by --yes or by the person at
// the terminal, and the progress bar as one line on a terminal (nothing when
// standard error is not one). Quiet, only the errors, the questions (with
// the answer --yes gave) and the one line that sums the command up are
// shown.
#pragma once
#include <functional>
#include <iosfwd>
#include <string>

#include "core/frontend.h"

namespace cli {

// Text from a file or an argument made safe for a terminal: control
// characters (C0, DEL and C1, the last also as UTF-8) and bytes that are not
// UTF-8 become \xNN, so a crafted line cannot move the cursor or clear the
// screen.
std::string escaped(const std::string& text);

class ConsoleFrontend : public Frontend {
public:
    // `terminal` is the input to ask on, or nullptr when there is no one to
    // ask; `progressLine` draws the progress display on `err`.
    ConsoleFrontend(std::ostream& out, std::ostream& err, bool progressLine, bool assumeYes,
                    std::istream* terminal, bool quiet = false);

    void statusClear() override;
    void statusAdd(const std::string& line) override;
    void statusRepaint() override;
    void fileListClear() override;
    void fileListAdd(const std::string& line) override;
    void progressMax(int maximum) override;
    void progressValue(int value) override;
    void stepsDone(const std::string& label, int done, int total) override;
    Answer message(const std::string& text, const std::string& title, Buttons buttons) override;

    // A command's own result line: shown quiet or not.
    void result(const std::string& line);
    // The line that sums up an operation whose status lines already said it:
    // shown only when those were not (quiet).
    void summary(const std::string& line);

    // Takes the progress display off the terminal (at the end of a command).
    void finish();

    // Seconds on a monotonic clock, for the time left (tests set their own).
    void setclock(std::function<double()> now) { now_ = std::move(now); }

private:
    void clearProgress();
    void drawProgress(int value);

    std::ostream& out_;
    std::ostream& err_;
    bool progressLine_;
    bool assumeYes_;
    std::istream* terminal_;
    bool quiet_;
    std::function<double()> now_;
    double passStart_ = 0;  // when the bar's pass drew its first value
    bool passOpen_ = false;  // a pass has a bar that has not reached its end
    std::string region_;  // the last region line ("Program memory:")
    std::string label_;   // shown before the bar
    int maximum_ = 100;
    int shownPercent_ = -1;
    bool showing_ = false;
};

}  // namespace cli
