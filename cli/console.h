// The front end of the command line: status lines on standard output as they
// are added, message boxes on standard error, the Yes/No question answered by
// --yes or by the person at the terminal, and the progress bar as one line
// on a terminal (nothing when standard error is not one).
#pragma once
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
                    std::istream* terminal);

    void statusClear() override;
    void statusAdd(const std::string& line) override;
    void statusRepaint() override;
    void fileListClear() override;
    void fileListAdd(const std::string& line) override;
    void progressMax(int maximum) override;
    void progressValue(int value) override;
    Answer message(const std::string& text, const std::string& title, Buttons buttons) override;

    // Takes the progress display off the terminal (at the end of a command).
    void finish();

private:
    void clearProgress();

    std::ostream& out_;
    std::ostream& err_;
    bool progressLine_;
    bool assumeYes_;
    std::istream* terminal_;
    std::string region_;  // the last region line ("Program memory:")
    std::string label_;   // shown before the bar
    int maximum_ = 100;
    int shownPercent_ = -1;
    bool showing_ = false;
};

}  // namespace cli
