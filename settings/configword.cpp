// SPDX-License-Identifier: GPL-2.0-or-later
#include "configword.h"

#include <cstdio>

#include "devices/select.h"
#include "settings/configfields.h"

namespace {

// FOSC1 and FOSC0 of the four oscillator options LP, XT, HS, RC.
constexpr char fosc1[4] = {'0', '0', '1', '1'};
constexpr char fosc0[4] = {'0', '1', '0', '1'};

char bitchar(bool set) { return set ? '1' : '0'; }

uint16_t boxbits(const std::array<char, 14>& boxes) {
    return static_cast<uint16_t>(configfromboxes(boxes));
}

void setboxes(std::array<char, 14>& boxes, uint16_t mask, uint16_t value) {
    for (int i = 0; i < 14; ++i)
        if (mask & (1u << i)) boxes[i] = bitchar(value & (1u << i));
}

// The original chips' editor is the one it has always been; the chips after
// them act on their own bits.
bool original(const State& s) { return isoriginal(currentchip(s)); }

// The PWRTE box is ticked while the power-up timer is on.
char pwrtebit(const State& s, bool ticked) {
    return bitchar(pwrteonwhenset(currentchip(s)) ? ticked : !ticked);
}

// The boxes' bits: the chip's own WDTE and PWRTE (bits 2 and 3 up to the
// 16F88, 3 and 4 on the later chips).
int watchdogbit(const State& s) { return namedbit(currentchip(s), "WDTE"); }
int timerbit(const State& s) { return namedbit(currentchip(s), "PWRTE"); }

}  // namespace

std::string confighex(int16_t word) {
    char text[8];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(static_cast<uint16_t>(word)));
    return text;
}

int16_t configfromboxes(const std::array<char, 14>& boxes) {
    int word = 0;
    for (int i = 0; i < 14; ++i)
        if (boxes[i] == '1') word |= 1 << i;
    return static_cast<int16_t>(word);
}

// A chip with CONFIG2 keeps it in the burn once a file or an edit gave it.
void ConfigEditor::markused(State& s) {
    if (currentchip(s).words(Kind::config) < 2 || s.configused < 1) s.configused = 1;
}

void ConfigEditor::setcvalue(State& s, const std::string& text) {
    // The display's change handler marks the word as used; setting the same
    // text is no change and runs nothing.
    if (text == cvalue) return;
    cvalue = text;
    markused(s);
}

void ConfigEditor::recompute(State& s) {
    const int16_t word = configfromboxes(C);
    s.configmem[0] = word;
    setcvalue(s, confighex(word));
}

void ConfigEditor::C_DblClick(State& s, int index) {
    if (index < 0 || index > 13) return;
    // A bit the chip does not have cannot be set (one a file set can be
    // cleared).
    const uint16_t bit = static_cast<uint16_t>(1u << index);
    if (!original(s) && C[index] == '0' && unimplementedbits(currentchip(s), 0, bit)) return;
    C[index] = C[index] == '1' ? '0' : '1';
    recompute(s);
}

void ConfigEditor::OSC_Click(State& s, int index) {
    if (index < 0 || index > 3) return;
    if (!original(s)) {
        const ChipRow& row = currentchip(s);
        const auto bits = oscbits(row, index);
        if (!bits) return;
        osc = index;
        setboxes(C, oscmask(row), *bits);
        recompute(s);
        markused(s);
        return;
    }
    osc = index;
    C[1] = fosc1[index];
    C[0] = fosc0[index];
    recompute(s);
    s.configused = 1;
}

void ConfigEditor::cWDTE_Click(State& s, bool ticked) {
    cWDTE = ticked;
    if (watchdogbit(s) < 0) return;
    C[watchdogbit(s)] = bitchar(ticked);
    recompute(s);
    markused(s);
}

void ConfigEditor::cPWRTE_Click(State& s, bool ticked) {
    cPWRTE = ticked;
    if (timerbit(s) < 0) return;
    C[timerbit(s)] = pwrtebit(s, ticked);
    recompute(s);
    markused(s);
}

void ConfigEditor::cCP_Click(State& s, bool ticked) {
    // Protection is active low: ticked clears all ten protection bits.
    cCP = ticked;
    if (original(s)) {
        for (int i = 4; i <= 13; ++i) C[i] = bitchar(!ticked);
    } else {
        const uint16_t cp = currentchip(s).protection.cpbits;
        setboxes(C, cp, ticked ? 0 : cp);
    }
    recompute(s);
    markused(s);
}

void ConfigEditor::updateC(State& s) {
    const int16_t word = s.configmem[0];
    setcvalue(s, confighex(word));
    for (int i = 0; i < 14; ++i) C[i] = bitchar((word >> i) & 1);

    if (!original(s)) {
        // The word is shown as it is: a handler run here would rewrite a
        // partial protection or an oscillator mode the options do not have.
        showflags(s);
        markused(s);
        return;
    }

    // Each control's handler runs only when the control's state changes, as
    // a click on it would.
    const int wanted = (C[1] == '1' ? 2 : 0) + (C[0] == '1' ? 1 : 0);
    if (wanted != osc) OSC_Click(s, wanted);
    if ((C[2] == '1') != cWDTE) cWDTE_Click(s, C[2] == '1');
    const bool timer = C[3] == pwrtebit(s, true);
    if (timer != cPWRTE) cPWRTE_Click(s, timer);
    const bool protect = C[4] == '0' && C[5] == '0';
    if (protect != cCP) cCP_Click(s, protect);

    // A refresh always marks the word as used, also when it changed nothing
    // the editor shows (a HEX file without a configuration record keeps the
    // earlier word): Burn then writes the word the editor shows, whatever
    // happened before.
    s.configused = 1;
}

void ConfigEditor::setword(State& s, int16_t word) {
    setboxes(C, 0x3FFF, static_cast<uint16_t>(word));
    // No box may have changed while the stored word still carried bits 14
    // or 15: the recompute brings word and display in line in any case.
    recompute(s);
    markused(s);
    showflags(s);
}

void ConfigEditor::setfield(State& s, int word, uint16_t mask, uint16_t value) {
    const ChipRow& row = currentchip(s);
    if (word == 1) {
        if (row.words(Kind::config) < 2) return;
        // CONFIG2 starts from the erased chip's until a file or an edit gave it.
        const uint16_t old = s.configused >= 2 ? static_cast<uint16_t>(s.configmem[1])
                                               : row.config(1).erased;
        s.configmem[1] = static_cast<int16_t>((old & ~mask) | (value & mask));
        s.configused = 2;
        return;
    }
    setboxes(C, mask, value);
    recompute(s);
    markused(s);
    showflags(s);
}

void ConfigEditor::showflags(const State& s) {
    cWDTE = watchdogbit(s) >= 0 && C[watchdogbit(s)] == '1';
    cPWRTE = timerbit(s) >= 0 && C[timerbit(s)] == pwrtebit(s, true);
    const uint16_t word = boxbits(C);
    if (original(s)) {
        osc = (C[1] == '1' ? 2 : 0) + (C[0] == '1' ? 1 : 0);
        cCP = C[4] == '0' && C[5] == '0';
        return;
    }
    const ChipRow& row = currentchip(s);
    osc = -1;
    for (int i = 0; i < 4; ++i)
        if (oscbits(row, i) == (word & oscmask(row))) osc = i;
    // Ticked while any protection is on: clearing it lifts all of it.
    const uint16_t cp = row.protection.cpbits;
    cCP = cp != 0 && (word & cp) != cp;
}
