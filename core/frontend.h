// SPDX-License-Identifier: GPL-2.0-or-later
// The seam between the operations and the person using the program. The
// operations never touch a widget: they speak only through this interface.
// The main window implements it with widgets, the command line with standard
// output and standard error, the tests with a recorder.
#pragma once
#include <string>

enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No };

class Frontend {
public:
    virtual ~Frontend() = default;

    // The status list, the program's log.
    virtual void statusClear() = 0;
    virtual void statusAdd(const std::string& line) = 0;
    virtual void statusRepaint() = 0;

    // The file list, the lines of the HEX file last read.
    virtual void fileListClear() = 0;
    virtual void fileListAdd(const std::string& line) = 0;

    virtual void progressMax(int maximum) = 0;
    virtual void progressValue(int value) = 0;

    // How far along an erase or a blank check is: `done` of `total` steps.
    // The progress bar stays Burn's and Verify's, so the window shows
    // nothing of these; the command line draws them on a terminal.
    virtual void stepsDone(const std::string& label, int done, int total) {
        (void)label, (void)done, (void)total;
    }

    // Words an operation has just written to the chip and read back equal
    // to the image, for a record of what it did; the window shows nothing.
    virtual void wordsDone(int written, int verified) { (void)written, (void)verified; }

    // A modal message box. An empty title means the program's own title.
    virtual Answer message(const std::string& text, const std::string& title,
                           Buttons buttons = Buttons::Ok) = 0;

    // Bring the whole window up to date before a long operation.
    virtual void windowRepaint() {}
};
