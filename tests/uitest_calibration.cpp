// SPDX-License-Identifier: GPL-2.0-or-later
// The window on a chip that carries the factory's calibration, on Qt's
// offscreen platform and the simulated board: a lost calibration gets its
// box before anything is erased, and what is typed there is written back;
// the status lines say what was kept; the dump shows it; a program for a
// chip of the kin is refused before the chip.
#include <gtest/gtest.h>

#include <QtWidgets>
#include <deque>

#include "support/scratchdir.h"
#include "support/simboard.h"
#include "ui/mainwindow.h"

namespace {

void app() {
    static int argc = 1;
    static char name[] = "uitest_calibration", *argv[] = {name, nullptr};
    static QApplication* instance = new QApplication(argc, argv);  // never torn down
    (void)instance;
}

std::string text(const QString& s) { return s.toStdString(); }

int written() {
    int n = 0;
    for (const auto& e : sim::chipEvents()) n += e.kind == 3;
    return n;
}

struct Asked {
    std::string text;
    CalibrationEntry proposed;
    int writtenthen;  // words the chip had written when the box opened
};

struct Window : ::testing::Test {
    ScratchDir scratch{"calibrationwindow", true};
    std::vector<std::string> boxes;
    std::deque<std::optional<std::string>> files;
    std::vector<Asked> asked;
    std::deque<std::optional<CalibrationEntry>> typed;
    std::unique_ptr<MainWindow> w;

    void SetUp() override {
        app();
        sim::useSimulatedBoard();
        sim::board().setChip(ZAVSIM_12F629);
        w = std::make_unique<MainWindow>();
        w->askBox = [this](const std::string& t, const std::string& title, Buttons b) {
            boxes.push_back(title + ": " + t);
            return b == Buttons::Ok ? Answer::Ok : Answer::Yes;
        };
        w->askFile = [this](const FileRequest&) {
            auto f = files.empty() ? std::nullopt : files.front();
            if (!files.empty()) files.pop_front();
            return f;
        };
        w->askCalibration = [this](const std::string& t, const CalibrationEntry& proposed) {
            asked.push_back({t, proposed, written()});
            auto answer = typed.empty() ? std::nullopt : typed.front();
            if (!typed.empty()) typed.pop_front();
            return answer;
        };
        w->findChild<QRadioButton*>("Option5")->click();  // the board's LPT2
        auto* combo = w->findChild<QComboBox*>("comboChip");
        const int i = combo->findText("PIC 12F629");
        ASSERT_GE(i, 0);
        combo->setCurrentIndex(i);
        emit combo->activated(i);
    }
    void press(const char* button) {
        sim::board().eventClear();
        w->findChild<QPushButton*>(button)->click();
        if (!w->busy()) return;
        QEventLoop loop;
        QObject::connect(w.get(), &MainWindow::idle, &loop, &QEventLoop::quit);
        loop.exec();
    }
    void load(const std::string& path) {
        files.push_back(path);
        w->findChild<QPushButton*>("bCargar")->click();
    }
    std::vector<std::string> status() {
        std::vector<std::string> out;
        auto* list = w->findChild<QListWidget*>("List2");
        for (int i = 0; i < list->count(); ++i) out.push_back(text(list->item(i)->text()));
        return out;
    }
    bool shows(const std::string& line) {
        const auto all = status();
        return std::find(all.begin(), all.end(), line) != all.end();
    }
};

TEST_F(Window, ALostCalibrationGetsItsBoxBeforeAnythingIsErased) {
    auto& b = sim::board();
    b.write(0, 0, 0x2805);
    b.write(4, 0, 0x3FFF);
    press("bBorrar");  // cancelled
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].writtenthen, 0);
    EXPECT_EQ(asked[0].text,
              "quibb9x: the PIC12F629's factory calibration would be lost: OSCCAL (word 0x03FF) reads "
              "0x3FFF, which is no RETLW 0x34NN: an erase that did not keep it has cleared it. Nothing has "
              "been erased.\n\nType the chip's own OSCCAL (0x34NN) below, as the label you wrote for the "
              "chip or your note of its values gives it, to have it written back after the erase; Cancel "
              "erases nothing.");
    EXPECT_EQ(asked[0].proposed.osccal, "");
    EXPECT_EQ(asked[0].proposed.bandgap, "10");
    EXPECT_TRUE(boxes.empty());  // not even the erase question
    EXPECT_EQ(status().back(), "quibb9x: no calibration was given for the PIC12F629. Nothing was erased.");
    EXPECT_EQ(b.read(0, 0), 0x2805);
    EXPECT_EQ(written(), 0);

    // A value that is none is asked again; the next one is written back.
    typed = {CalibrationEntry{"0x34", "10"}, CalibrationEntry{"0x3480", "10"}};
    press("bBorrar");
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_NE(asked[2].text.find("Nothing has been erased. \"0x34\" is no OSCCAL word (a RETLW, 0x3400 to "
                                 "0x34FF).\n\n"),
              std::string::npos)
        << asked[2].text;
    EXPECT_EQ(asked[2].writtenthen, 0);
    EXPECT_EQ(b.read(4, 0), 0x3480);
    EXPECT_EQ(b.read(4, 1), 2);
    EXPECT_EQ(b.read(0, 0), 0x3FFF);
    EXPECT_TRUE(shows("Calibration written back as given: OSCCAL 0x3480, band-gap bits 10 (read: OSCCAL "
                      "0x3FFF (lost), band-gap bits 10)"));
    EXPECT_EQ(status().back(), "DONE.");

    // Typed for that erase only: the next one keeps the chip's own.
    b.write(4, 0, 0x3FFF);
    press("bBorrar");
    EXPECT_EQ(asked.size(), 4u);
    EXPECT_EQ(b.read(4, 0), 0x3FFF);
}

TEST_F(Window, BurnAndTheDumpSayWhatTheChipKeeps) {
    load(FIXTURE_DIR "/f629_blink_inhx32.hex");
    press("bProgramar");
    EXPECT_TRUE(asked.empty());
    const auto lines = status();
    // The file's checksum comes last.
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3],
              "quibb9x: not burnt: the band-gap bits 11 of the configuration word 0x3FA4; the chip keeps its "
              "own, 10");
    EXPECT_EQ(lines[lines.size() - 2], "Calibration kept: OSCCAL 0x3494, band-gap bits 10");
    EXPECT_EQ(lines.back().rfind("Checksum: 0x", 0), 0u);
    EXPECT_TRUE(shows("SUCCESS!"));
    EXPECT_EQ(sim::board().read(4, 0), 0x3494);
    EXPECT_EQ(sim::board().read(2, 0), 0x21A4);

    files.push_back((scratch.path() / "dump.hex").string());
    press("bhex");
    EXPECT_TRUE(shows("Calibration: OSCCAL 0x3494, band-gap bits 10"));
    const auto after = status();
    ASSERT_GE(after.size(), 2u);
    EXPECT_EQ(after[after.size() - 2], "Ok. Save successfull!");
    EXPECT_EQ(after.back().rfind("Checksum: 0x", 0), 0u);
}

TEST_F(Window, AProgramForTheKinIsRefusedBeforeTheChip) {
    load(FIXTURE_DIR "/f675_adc_inhx32.hex");
    press("bProgramar");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0],
              "WRONG FILE!: quibb9x: the HEX file's word 0x0004 (0x009F) uses register 0x1F, the PIC12F675's "
              "ADCON0 or ANSEL, which the PIC12F629 does not have: the program was written for a PIC12F675. "
              "Nothing was burnt. Put a PIC12F675 in the socket and choose it under \"Select PicMicro:\", or "
              "assemble the program for the PIC12F629.");
    EXPECT_EQ(written(), 0);
}

// The real box: what is typed comes back as typed; Cancel gives nothing.
TEST_F(Window, TheRealBoxTakesTheValuesTyped) {
    MainWindow real;
    for (const bool accept : {true, false}) {
        QTimer::singleShot(0, [accept] {
            QWidget* box = QApplication::activeModalWidget();
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(text(box->windowTitle()), "CALIBRATION LOST!");
            box->findChild<QLineEdit*>("osccal")->setText(" 0x3480 ");
            auto* buttons = box->findChild<QDialogButtonBox*>();
            buttons->button(accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
        });
        const auto answer = real.askCalibration("lost", CalibrationEntry{"", "10"});
        ASSERT_EQ(answer.has_value(), accept);
        if (!accept) continue;
        EXPECT_EQ(answer->osccal, "0x3480");
        EXPECT_EQ(answer->bandgap, "10");
    }
}

}  // namespace
