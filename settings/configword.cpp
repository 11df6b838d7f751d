#include "configword.h"

#include <cstdio>

namespace {

// FOSC1 and FOSC0 of the four oscillator options LP, XT, HS, RC.
constexpr char fosc1[4] = {'0', '0', '1', '1'};
constexpr char fosc0[4] = {'0', '1', '0', '1'};

char bitchar(bool set) { return set ? '1' : '0'; }

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

void ConfigEditor::setcvalue(State& s, const std::string& text) {
    // The display's change handler marks the word as used; setting the same
    // text is no change and runs nothing.
    if (text == cvalue) return;
    cvalue = text;
    s.configused = 1;
}

void ConfigEditor::recompute(State& s) {
    const int16_t word = configfromboxes(C);
    s.configmem[0] = word;
    setcvalue(s, confighex(word));
}

void ConfigEditor::C_DblClick(State& s, int index) {
    if (index < 0 || index > 13) return;
    C[index] = C[index] == '1' ? '0' : '1';
    recompute(s);
}

void ConfigEditor::OSC_Click(State& s, int index) {
    if (index < 0 || index > 3) return;
    osc = index;
    C[1] = fosc1[index];
    C[0] = fosc0[index];
    recompute(s);
    s.configused = 1;
}

void ConfigEditor::cWDTE_Click(State& s, bool ticked) {
    cWDTE = ticked;
    C[2] = bitchar(ticked);
    recompute(s);
    s.configused = 1;
}

void ConfigEditor::cPWRTE_Click(State& s, bool ticked) {
    cPWRTE = ticked;
    C[3] = bitchar(ticked);
    recompute(s);
    s.configused = 1;
}

void ConfigEditor::cCP_Click(State& s, bool ticked) {
    // Protection is active low: ticked clears all ten protection bits.
    cCP = ticked;
    for (int i = 4; i <= 13; ++i) C[i] = bitchar(!ticked);
    recompute(s);
    s.configused = 1;
}

void ConfigEditor::updateC(State& s) {
    const int16_t word = s.configmem[0];
    setcvalue(s, confighex(word));
    for (int i = 0; i < 14; ++i) C[i] = bitchar((word >> i) & 1);

    // Each control's handler runs only when the control's state changes, as
    // a click on it would.
    const int wanted = (C[1] == '1' ? 2 : 0) + (C[0] == '1' ? 1 : 0);
    if (wanted != osc) OSC_Click(s, wanted);
    if ((C[2] == '1') != cWDTE) cWDTE_Click(s, C[2] == '1');
    if ((C[3] == '1') != cPWRTE) cPWRTE_Click(s, C[3] == '1');
    const bool protect = C[4] == '0' && C[5] == '0';
    if (protect != cCP) cCP_Click(s, protect);

    // A refresh always marks the word as used, also when it changed nothing
    // the editor shows (a HEX file without a configuration record keeps the
    // earlier word): Burn then writes the word the editor shows, whatever
    // happened before.
    s.configused = 1;
}

void ConfigEditor::setword(State& s, int16_t word) {
    for (int i = 0; i < 14; ++i)
        if (C[i] != bitchar((word >> i) & 1)) C_DblClick(s, i);
    // No box may have changed while the stored word still carried bits 14
    // or 15: the recompute brings word and display in line in any case.
    recompute(s);
    s.configused = 1;

    osc = (C[1] == '1' ? 2 : 0) + (C[0] == '1' ? 1 : 0);
    cWDTE = C[2] == '1';
    cPWRTE = C[3] == '1';
    cCP = C[4] == '0' && C[5] == '0';
}
