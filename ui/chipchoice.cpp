// SPDX-License-Identifier: GPL-2.0-or-later
// The window's choice of the chips after the three original ones: "Other:"
// with its list, the editor following the chosen chip's own bits, the
// fields by name, and the device ID read before Burn, Verify and Erase.
#include <QColor>
#include <QComboBox>
#include <QPalette>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QCheckBox>
#include <QSpinBox>
#include <QLabel>
#include <algorithm>

#include "core/lines.h"
#include "core/startup.h"
#include "core/wiring.h"
#include "devices/chiptable.h"
#include "devices/select.h"
#include "operations/deviceid.h"
#include "operations/readiness.h"
#include "settings/configfields.h"
#include "settings/settings.h"
#include "ui/bitbox.h"
#include "ui/fieldsdialog.h"
#include "ui/mainwindow.h"

namespace {

QRect twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

// The three options stand for the rows of picmodel 1 to 3; every other row
// is in the list.
bool hasoption(const ChipRow& row) { return row.model != 0 && row.deviceid == 0; }

std::string hex4(int16_t word) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(static_cast<uint16_t>(word)));
    return text;
}

}  // namespace

void MainWindow::buildchipwidgets() {
    // Below "PIC 16F83", in the frame's free space.
    OptionOther = new QRadioButton("Other:", Frame2);
    OptionOther->setObjectName("OptionOther");
    OptionOther->setGeometry(twips(120, 960, 1215, 195));
    comboChip = new QComboBox(Frame2);
    comboChip->setObjectName("comboChip");
    comboChip->setGeometry(twips(120, 1170, 1455, 255));
    comboChip->setToolTip("Any other chip quibb9x can program, or the chip its device ID names.");
    const auto rows = chiprows();
    for (size_t i = 0; i < rows.size(); ++i)
        if (!hasoption(rows[i]))
            comboChip->addItem(QString::fromStdString("PIC " + std::string(rows[i].name)),
                               static_cast<int>(i));
    comboChip->addItem("Auto (device ID)", -1);
    comboChip->setFocusPolicy(Qt::StrongFocus);

    // Below the configuration word's frame, shown for the chips whose bits
    // go beyond the editor's three boxes.
    bFields = new QPushButton("Bits by &name...", Frame6);
    bFields->setObjectName("bFields");
    bFields->setGeometry(twips(120, 4440, 1815, 375));
    bFields->setToolTip("Set each configuration field of the chosen chip by name.");
    bFields->setAutoDefault(false);
    bFields->hide();
}

void MainWindow::connectchiphandlers() {
    connect(OptionOther, &QRadioButton::toggled, this, [this](bool on) {
        if (on) OptionOther_Click();
    });
    connect(comboChip, &QComboBox::currentIndexChanged, this, [this] { comboChip_Change(); });
    // Picking the chip the list already shows selects "Other:" all the same.
    connect(comboChip, &QComboBox::activated, this, [this] {
        if (!OptionOther->isChecked()) OptionOther->setChecked(true);
    });
    connect(bFields, &QPushButton::clicked, this, &MainWindow::bFields_Click);
}

void MainWindow::setoriginal(int16_t model) {
    const ChipRow* before = state.chip;
    autochip = false;
    setdevice(state, model);
    chipchanged(before);
}

// Sets the device and nothing else, as the three options do: the image
// stays as loaded.
void MainWindow::OptionOther_Click() {
    const ChipRow* before = state.chip;
    const int index = comboChip->currentData().toInt();
    autochip = index < 0;
    if (!autochip) selectchip(state, chiprows()[static_cast<size_t>(index)]);
    chipchanged(before);
}

void MainWindow::comboChip_Change() {
    if (OptionOther->isChecked()) OptionOther_Click();
    else OptionOther->setChecked(true);
}

bool MainWindow::chooseother(const ChipRow* row) {
    const int index = comboChip->findData(row ? static_cast<int>(row - chiprows().data()) : -1);
    if (index < 0) return false;
    if (comboChip->currentIndex() == index) comboChip_Change();
    else comboChip->setCurrentIndex(index);  // its handler selects "Other:"
    return true;
}

// Between two of the original chips nothing in the editor changes. "Auto"
// loads a file of any chip of the table until the device ID picks the chip.
void MainWindow::chipchanged(const ChipRow* before) {
    if (autochip) widenimage(state);
    if (before == state.chip) return;
    if ((!before || isoriginal(*before)) && isoriginal(currentchip(state))) return;
    if (fields) {
        fields->close();  // deleted once closed
        fields = nullptr;
    }
    editor.showflags(state);
    showeditor();
    showchipcontrols();
}

void MainWindow::showchipcontrols() {
    const ChipRow& row = currentchip(state);
    const bool original = isoriginal(row);
    const char* const* bits = row.config(0).bits;
    for (int bit = 0; bit < 14; ++bit) {
        C[bit]->setToolTip(original ? QString(originalbittooltip(bit))
                                    : QString::fromStdString(bittooltip(row, bit)));
        const bool has = original || (bits && bits[bit] != nullptr);
        C[bit]->setEnabled(has);
        QPalette p = C[bit]->palette();  // a bit the chip lacks shows grey
        p.setColor(QPalette::WindowText, has ? QColor(0x00, 0x00, 0x80) : QColor(0xA0, 0xA0, 0xA0));
        C[bit]->setPalette(p);
    }
    cWDTE->setEnabled(namedbit(row, "WDTE") >= 0);
    cPWRTE->setEnabled(namedbit(row, "PWRTE") >= 0);
    cCP->setEnabled(original || row.protection.cpbits != 0);
    for (int i = 0; i < 4; ++i) OSC[i]->setEnabled(original || oscbits(row, i).has_value());
    bFields->setVisible(!original);
    LabelTprog->setVisible(original);
    spinTprog->setVisible(original);
}

void MainWindow::bFields_Click() {
    const ChipRow& row = currentchip(state);
    if (isoriginal(row) || (fields && fields->isVisible())) return;
    auto words = [this, &row] {
        const uint16_t config2 = state.configused >= 2 ? static_cast<uint16_t>(state.configmem[1])
                                                       : row.config(1).erased;
        return std::pair<uint16_t, uint16_t>(static_cast<uint16_t>(state.configmem[0] & 0x3FFF),
                                             config2);
    };
    auto set = [this](const ConfigField& f, uint16_t value) {
        wordfrom = WordFrom::edit;
        editor.setfield(state, f.word, f.mask, value);
        showeditor();
    };
    fields = new FieldsDialog(row, words, set, this);
    fields->setAttribute(Qt::WA_DeleteOnClose);
    fields->setWindowModality(Qt::WindowModal);
    fields->show();
}

bool MainWindow::checksid() const { return autochip || currentchip(state).deviceid != 0; }

// On the worker thread, before programming mode is entered for the work.
bool MainWindow::rightchip(const std::string& nothing) {
    if (!checksid()) return true;
    const int16_t id = readdeviceid(state);
    const std::string found = "word 0x2006 reads " + hex4(id) + ": " + describedeviceid(id);
    if (autochip) {
        const ChipRow* row = chipbyid(static_cast<uint16_t>(id));
        if (!row) {
            message("quibb9x: \"Auto (device ID)\" is chosen, but the chip's " + found +
                        ", so its ID does not say which chip of the list it is. " + nothing +
                        " Choose the chip under \"Select PicMicro:\".",
                    "WHICH CHIP?");
            return false;
        }
        selectchip(state, *row);
        // The operation's clearing of the status list keeps this line.
        chipline = "quibb9x: the device ID names a " + describedeviceid(id) +
                   ": working on it as a " + chiplabel(*row) + ".";
        statusAdd(chipline);
        return true;
    }
    const ChipRow& chosen = currentchip(state);
    if ((id & chosen.deviceidmask) == chosen.deviceid) return true;
    // A chip that reads the released data line did not answer at all.
    const std::string causes = id == 0x3FFF ? "; " + likelycauses(state, chosen) : "";
    message("quibb9x: " + chiplabel(chosen) + " is chosen, but the chip in the socket is another: " +
                found + causes + ". " + nothing + " Put a " + chiplabel(chosen) +
                " in the socket, or choose the chip it is under \"Select PicMicro:\".",
            "WRONG CHIP!");
    return false;
}

std::string MainWindow::chipsetting() const {
    if (!OptionOther->isChecked()) return "";
    return autochip ? "auto" : currentchip(state).name;
}

// An option already selected runs its handler all the same, so that the
// chosen chip's values stand.
void MainWindow::showchip(const ChipRow& row) {
    if (!hasoption(row)) {
        chooseother(&row);
        return;
    }
    if (row.model == 1) choose(Option1, &MainWindow::Option1_Click);
    if (row.model == 2) choose(Option2, &MainWindow::Option2_Click);
    if (row.model == 3) choose(Option3, &MainWindow::Option3_Click);
}

std::string MainWindow::takeboard(const std::optional<std::string>& given) {
    std::string name;
    if (given) {
        name = *given;
    } else {
        State probe;
        GetDirs(probe);
        name = readsettings(probe).board;
    }
    if (name.empty()) return "";
    Wiring wiring;
    std::string why;
    if (!chooseboard(name, wiring, why))
        return "quibb9x: " + std::string(given ? "--board" : "the settings file's BOARD") + ": " +
               why + "; the original board is used. Correct it and start again.";
    state.wiring = wiring;
    if (isoriginal(state.wiring)) return "";
    return "quibb9x: board '" + state.wiring.name + "': " + describepins(state.wiring);
}
