// SPDX-License-Identifier: GPL-2.0-or-later
// The window's side of the factory calibration (operations/calibration.h):
// before Burn or Erase clears a chip that carries one, it is read; when what
// the chip holds is no calibration, a box says so before anything is erased
// and takes the values typed in, which that one operation then writes back.
// And Burn refuses a program written for a chip of the chosen chip's kin.
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QThread>
#include <QVBoxLayout>

#include <cstdio>

#include "devices/select.h"
#include "image/kinship.h"
#include "operations/calibration.h"
#include "ui/mainwindow.h"

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

std::string hex4(int16_t word) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(static_cast<uint16_t>(word)));
    return text;
}

}  // namespace

void MainWindow::buildcalibrationbox() {
    askCalibration = [this](const std::string& text,
                            const CalibrationEntry& proposed) -> std::optional<CalibrationEntry> {
        QDialog box(this);
        box.setObjectName("CalibrationBox");
        box.setWindowTitle("CALIBRATION LOST!");
        auto* layout = new QVBoxLayout(&box);
        auto* label = new QLabel(qs(text), &box);
        label->setWordWrap(true);
        layout->addWidget(label);
        auto* form = new QFormLayout;
        auto* osccal = new QLineEdit(qs(proposed.osccal), &box);
        osccal->setObjectName("osccal");
        osccal->setPlaceholderText("0x34NN");
        auto* bandgap = new QLineEdit(qs(proposed.bandgap), &box);
        bandgap->setObjectName("bandgap");
        bandgap->setPlaceholderText("00 to 11");
        form->addRow("OSCCAL:", osccal);
        form->addRow("Band-gap bits:", bandgap);
        layout->addLayout(form);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &box);
        connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
        layout->addWidget(buttons);
        if (box.exec() != QDialog::Accepted) return std::nullopt;
        return CalibrationEntry{osccal->text().trimmed().toStdString(),
                                bandgap->text().trimmed().toStdString()};
    };
}

// The operation waits for the answer as for a message box; a window going
// away answers Cancel for it.
std::optional<CalibrationEntry> MainWindow::askcalibrationfromworker(
    const std::string& text, const CalibrationEntry& proposed) {
    if (QThread::currentThread() == thread()) return askCalibration(text, proposed);
    flushprogress();
    struct Pending {
        std::optional<CalibrationEntry> answer;
        bool answered = false;
    };
    auto pending = std::make_shared<Pending>();
    QMetaObject::invokeMethod(
        this,
        [this, pending, text, proposed] {
            auto answer = askCalibration(text, proposed);
            {
                const std::lock_guard<std::mutex> lock(boxmutex);
                pending->answer = std::move(answer);
                pending->answered = true;
            }
            boxanswered.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(boxmutex);
    boxanswered.wait(lock, [&] { return pending->answered || abandoned; });
    return pending->answered ? pending->answer : std::nullopt;
}

bool MainWindow::calibrationready(const std::string& nothing) {
    // Values typed in serve the one operation they were typed for.
    state.osccalgiven = -1;
    state.bandgapgiven = -1;
    const ChipRow& row = currentchip(state);
    if (!hascalibration(row)) return true;
    const Calibration read = readcalibration(state);
    std::string wrong;  // what was amiss with the values typed last
    for (;;) {
        const auto t = calibrationtrouble(state, read);
        if (!t) return true;
        const std::string text =
            "quibb9x: " + wouldbelost(row, *t) + ". Nothing has been erased." + wrong +
            "\n\nType the chip's own " + (t->osccal ? "OSCCAL (0x34NN)" : "band-gap bits (00 to 11)") +
            " below, as the label you wrote for the chip or your note of its values gives it, to "
            "have it written back after the erase; Cancel erases nothing.";
        CalibrationEntry proposed;
        if (!t->osccal) proposed.osccal = hex4(read.osccal);
        if (!t->bandgap && read.bandgap >= 0) proposed.bandgap = bandgaptext(read.bandgap);
        const auto typed = askcalibrationfromworker(text, proposed);
        if (!typed) {
            statusAdd("quibb9x: no calibration was given for the " + chiplabel(row) + ". " + nothing);
            return false;
        }
        const auto osccal = parseosccal(typed->osccal);
        const auto bandgap = typed->bandgap.empty() ? std::nullopt : parsebandgap(typed->bandgap);
        wrong.clear();
        if (!osccal && (t->osccal || !typed->osccal.empty()))
            wrong += " \"" + typed->osccal + "\" is no OSCCAL word (a RETLW, 0x3400 to 0x34FF).";
        if (!bandgap && (t->bandgap || !typed->bandgap.empty()))
            wrong += " \"" + typed->bandgap + "\" are no band-gap bits (00, 01, 10 or 11).";
        if (!wrong.empty()) continue;
        if (osccal) state.osccalgiven = *osccal;
        if (bandgap) state.bandgapgiven = *bandgap;
    }
}

bool MainWindow::fitschip(const std::string& nothing) {
    const ChipRow& row = currentchip(state);
    const auto use = foreignuse(state, row);
    if (!use) return true;
    message("quibb9x: the HEX file's " + describeforeign(row, *use) + ". " + nothing + " Put a " +
                use->reg->chip + " in the socket and choose it under \"Select PicMicro:\", or "
                "assemble the program for the " + chiplabel(row) + ".",
            "WRONG FILE!");
    return false;
}
