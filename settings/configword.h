// SPDX-License-Identifier: GPL-2.0-or-later
// The configuration word editor without widgets: the fourteen bit boxes, the
// oscillator choice, the three check boxes and the hexadecimal display, with
// every handler of the editor. The window mirrors this state in its widgets;
// the command line uses it as it is. No Qt here.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "core/state.h"

// Hexadecimal display of a word: upper case, no prefix, no leading zeros;
// a word with bit 15 set shows its 16-bit pattern.
std::string confighex(int16_t word);
// The word that fourteen boxes ('0' or '1', index = bit) stand for.
int16_t configfromboxes(const std::array<char, 14>& boxes);

class ConfigEditor {
public:
    // Initial state of the controls: all boxes "0", cvalue "0000", "LP",
    // "Copy Protection" ticked, the other two clear.
    std::array<char, 14> C{'0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0'};
    // Selected oscillator option: 0 LP, 1 XT, 2 HS, 3 RC; -1 none (a chip
    // after the original ones in a mode that is none of the four).
    int osc = 0;
    bool cCP = true;
    bool cPWRTE = false;
    bool cWDTE = false;
    std::string cvalue = "0000";

    // The user's edits; each recomputes the word into configmem[0]. The
    // option and check-box handlers take the control's new state (the
    // selected option, the box ticked or not) and store it first.
    void C_DblClick(State& s, int index);
    void OSC_Click(State& s, int index);
    void cWDTE_Click(State& s, bool ticked);
    void cPWRTE_Click(State& s, bool ticked);
    void cCP_Click(State& s, bool ticked);

    // Refresh from configmem[0], running the option and check-box handlers
    // exactly when their state changes. A chip after the original ones shows
    // the word as it is, with no handler run.
    void updateC(State& s);

    // Sets the bit boxes so that the word becomes exactly `word` (bits 14 and
    // 15 dropped) with configused 1 (CONFIG2 kept where the chip has it), then
    // shows the matching oscillator option and check boxes without running
    // their handlers (which would rewrite the protection bits as a group).
    void setword(State& s, int16_t word);

    // Sets one named field (configfields.h) to one of its choices: the
    // configuration word's boxes, or CONFIG2 (configmem[1], starting from the
    // chip's erased CONFIG2 when no file gave one). Marks the word as used.
    void setfield(State& s, int word, uint16_t mask, uint16_t value);

    // The oscillator option and the check boxes from the bit boxes, as the
    // chosen chip reads them, without running their handlers.
    void showflags(const State& s);

private:
    void recompute(State& s);
    void setcvalue(State& s, const std::string& text);
    void markused(State& s);
};
