// SPDX-License-Identifier: GPL-2.0-or-later
// The window's choice of the chips after the three original ones, on Qt's
// offscreen platform and the simulated board: "Other:" and its list, each
// chip's editor, the PWRTE box against gpasm's files, the device ID before
// a burn, "Auto", and the chip in the settings file.
#include <gtest/gtest.h>

#include <QtWidgets>
#include <deque>
#include <filesystem>
#include <fstream>

#include "cli/commands.h"
#include "devices/select.h"
#include "support/chipfacts.h"
#include "support/recorder.h"
#include "support/scratchdir.h"
#include "support/simboard.h"
#include "ui/mainwindow.h"

namespace fs = std::filesystem;

namespace {

void app() {
    static int argc = 1;
    static char name[] = "uitest_chipchoice", *argv[] = {name, nullptr};
    static QApplication* instance = new QApplication(argc, argv);  // never torn down
    (void)instance;
}

std::string text(const QString& s) { return s.toStdString(); }

struct Chips : ::testing::Test {
    ScratchDir scratch{"chips", true};
    fs::path dir = scratch.path();
    std::vector<Box> boxes;
    std::deque<Answer> answers;  // for Yes/No boxes; Yes when none is left
    std::deque<std::optional<std::string>> files;
    std::unique_ptr<MainWindow> w;

    void SetUp() override {
        app();
        sim::useSimulatedBoard();
        w = open();
    }
    std::unique_ptr<MainWindow> open() {
        auto win = std::make_unique<MainWindow>();
        win->askBox = [this](const std::string& t, const std::string& title, Buttons b) {
            boxes.push_back({t, title, b});
            if (b == Buttons::Ok) return Answer::Ok;
            if (answers.empty()) return Answer::Yes;
            const Answer a = answers.front();
            answers.pop_front();
            return a;
        };
        win->askFile = [this](const FileRequest&) {
            auto f = files.empty() ? std::nullopt : files.front();
            if (!files.empty()) files.pop_front();
            return f;
        };
        win->findChild<QRadioButton*>("Option5")->click();  // the board's LPT2
        return win;
    }
    template <typename T>
    T* get(const char* name) {
        T* child = w->findChild<T*>(name);
        if (!child) ADD_FAILURE() << "no control " << name;
        return child;
    }
    QLabel* bit(int i) { return get<QLabel>(("C" + std::to_string(i)).c_str()); }
    void choose(const char* label) {
        auto* combo = get<QComboBox>("comboChip");
        const int i = combo->findText(label);
        ASSERT_GE(i, 0) << label;
        combo->setCurrentIndex(i);
        emit combo->activated(i);  // as a pick from the list
    }
    void load(const std::string& path) {
        files.push_back(path);
        get<QPushButton>("bCargar")->click();
    }
    void press(const char* button) {
        get<QPushButton>(button)->click();
        if (!w->busy()) return;
        QEventLoop loop;
        QObject::connect(w.get(), &MainWindow::idle, &loop, &QEventLoop::quit);
        loop.exec();
    }
    std::vector<std::string> status() {
        std::vector<std::string> out;
        for (auto* item : get<QListWidget>("List2")->findItems("", Qt::MatchContains))
            out.push_back(text(item->text()));
        return out;
    }
    // What the editor shows: each box with its tooltip, the value, the options.
    std::string editorview() {
        std::string v;
        for (int i = 13; i >= 0; --i) v += text(bit(i)->text()) + text(bit(i)->toolTip()) + "|";
        v += text(get<QLineEdit>("cvalue")->text());
        for (int i = 0; i < 4; ++i)
            v += get<QRadioButton>(("OSC" + std::to_string(i)).c_str())->isChecked() ? "o" : "-";
        for (const char* b : {"cCP", "cPWRTE", "cWDTE"}) v += get<QCheckBox>(b)->isChecked() ? "x" : "-";
        return v;
    }
    std::string inifile() {
        std::ifstream in(dir / "quibb9x.ini");
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

TEST_F(Chips, OtherSetsTheChipAndNothingElse) {
    auto* frame = get<QGroupBox>("Frame2");
    auto* other = get<QRadioButton>("OptionOther");
    auto* combo = get<QComboBox>("comboChip");
    // Below "PIC 16F83", inside the frame, over none of the options.
    for (QWidget* c : {static_cast<QWidget*>(other), static_cast<QWidget*>(combo)}) {
        EXPECT_EQ(c->parentWidget(), frame);
        EXPECT_TRUE(frame->rect().contains(c->geometry()));
        EXPECT_GE(c->geometry().top(), get<QRadioButton>("Option3")->geometry().bottom());
    }
    EXPECT_FALSE(other->geometry().intersects(combo->geometry()));
    std::vector<std::string> list;
    for (int i = 0; i < combo->count(); ++i) list.push_back(text(combo->itemText(i)));
    EXPECT_EQ(list, (std::vector<std::string>{
                        "PIC 16F84A",  "PIC 16F627",  "PIC 16F628",  "PIC 16F627A", "PIC 16F628A",
                        "PIC 16F648A", "PIC 16F818",  "PIC 16F819",  "PIC 16F87",   "PIC 16F88",
                        "PIC 16F716",  "PIC 16F870",  "PIC 16F871",  "PIC 16F872",  "PIC 16F873",
                        "PIC 16F874",  "PIC 16F876",  "PIC 16F877",  "PIC 16F873A", "PIC 16F874A",
                        "PIC 16F876A", "PIC 16F877A", "PIC 16F882",  "PIC 16F883",  "PIC 16F884",
                        "PIC 16F886",  "PIC 16F887",  "PIC 12F629",  "PIC 12F675",  "PIC 16F630",
                        "PIC 16F676",  "PIC 12F683",  "PIC 16F684",  "PIC 16F685",
                        "PIC 16F687",  "PIC 16F688",  "PIC 16F689",  "PIC 16F690",  "PIC 12F609",
                        "PIC 12F615",  "PIC 12F617",  "PIC 16F610",  "PIC 16F616",  "Auto (device ID)"}));

    load(FIXTURE_DIR "/f84_blink_inhx32.hex");
    const std::vector<int16_t> image(w->state.progmem.begin(), w->state.progmem.begin() + 1024);
    const int16_t used = w->state.progused;
    const std::string shown = editorview();
    choose("PIC 16F84A");  // an original chip's editor: unchanged
    EXPECT_TRUE(other->isChecked());
    EXPECT_EQ(std::string(w->state.chip->name), "16F84A");
    EXPECT_EQ(editorview(), shown);
    EXPECT_FALSE(get<QPushButton>("bFields")->isVisible());
    choose("PIC 16F628A");
    EXPECT_EQ(progsize(w->state), 2048);
    EXPECT_EQ(w->state.progused, used);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), w->state.progmem.begin()));
    EXPECT_EQ(text(get<QLineEdit>("cvalue")->text()), "3FF1");  // the word stays
    EXPECT_EQ(text(bit(7)->toolTip()), "LVP: Low-voltage programming");
    get<QRadioButton>("Option3")->click();
    get<QRadioButton>("Option2")->click();
    EXPECT_FALSE(other->isChecked());
    EXPECT_EQ(editorview(), shown);  // back on the original editor, as it was
}

TEST_F(Chips, PwrteBoxMeansTheTimerOnAgainstGpasmFiles) {
    // _PWRTE_ON: bit 3 clear on the 16F84 (0x3FF1), set on the 16C84 (0x3FF9).
    load(FIXTURE_DIR "/f84_blink_inhx32.hex");
    auto* pwrte = get<QCheckBox>("cPWRTE");
    EXPECT_EQ(text(get<QLineEdit>("cvalue")->text()), "3FF1");
    EXPECT_TRUE(pwrte->isChecked());
    pwrte->click();
    EXPECT_EQ(w->state.configmem[0], 0x3FF9);
    EXPECT_EQ(text(bit(3)->text()), "1");
    pwrte->click();
    EXPECT_EQ(w->state.configmem[0], 0x3FF1);
    choose("PIC 16F84A");
    load(FIXTURE_DIR "/f84_blink_inhx32.hex");
    EXPECT_TRUE(pwrte->isChecked());

    get<QRadioButton>("Option1")->click();
    load(FIXTURE_DIR "/c84_blink_inhx32.hex");
    EXPECT_EQ(text(get<QLineEdit>("cvalue")->text()), "3FF9");
    EXPECT_TRUE(pwrte->isChecked());
    pwrte->click();
    EXPECT_EQ(w->state.configmem[0], 0x3FF1);
    EXPECT_EQ(text(bit(3)->text()), "0");
}

TEST_F(Chips, EachChipsEditorActsOnItsOwnBits) {
    choose("PIC 16F628A");
    w->state.configmem[0] = 0x3FFF;  // as gpasm leaves unimplemented bits
    w->updateC();
    EXPECT_FALSE(bit(9)->isEnabled());
    w->C_DblClick(9);  // a file's 1 can be cleared, not set again
    EXPECT_EQ(w->state.configmem[0], 0x3DFF);
    w->C_DblClick(9);
    EXPECT_EQ(w->state.configmem[0], 0x3DFF);
    get<QRadioButton>("OSC1")->click();  // XT: FOSC2:0 = 001
    EXPECT_EQ(w->state.configmem[0], 0x3DED);
    get<QCheckBox>("cCP")->click();  // protection: bit 13 alone
    EXPECT_EQ(w->state.configmem[0], 0x1DED);
    get<QCheckBox>("cPWRTE")->click();
    EXPECT_EQ(w->state.configmem[0], 0x1DE5);

    get<QPushButton>("bFields")->click();
    FieldsDialog* fields = w->fieldsDialog();
    ASSERT_TRUE(fields);
    auto* mclr = fields->findChild<QComboBox*>("fieldMCLRE");
    ASSERT_TRUE(mclr);
    EXPECT_EQ(text(mclr->currentText()), "Reset input (MCLR)");
    mclr->setCurrentIndex(1);  // RA5 an input
    EXPECT_EQ(w->state.configmem[0], 0x1DC5);
    EXPECT_EQ(text(get<QLineEdit>("cvalue")->text()), "1DC5");
    auto* osc = fields->findChild<QComboBox*>("fieldFOSC");
    osc->setCurrentIndex(4);  // internal oscillator: none of the four options
    EXPECT_EQ(w->state.configmem[0], 0x1DD4);
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(get<QRadioButton>(("OSC" + std::to_string(i)).c_str())->isChecked());
    fields->close();

    // CONFIG2 on the 16F88, from its erased 0x0003.
    choose("PIC 16F88");
    get<QPushButton>("bFields")->click();
    ASSERT_TRUE(w->fieldsDialog());
    auto* ieso = w->fieldsDialog()->findChild<QComboBox*>("fieldIESO");
    ASSERT_TRUE(ieso);
    ieso->setCurrentIndex(1);
    EXPECT_EQ(w->state.configmem[1], 0x0001);
    EXPECT_EQ(w->state.configused, 2);
    w->C_DblClick(2);  // an edit of CONFIG1 keeps CONFIG2 in the burn
    EXPECT_EQ(w->state.configused, 2);
    w->fieldsDialog()->close();
}

TEST_F(Chips, AWrongChipIsRefusedBeforeAnyWordAndAutoNamesTheChip) {
    sim::board().setChip(ZAVSIM_16F88);
    choose("PIC 16F628A");
    load(FIXTURE_DIR "/f628a_blink_inhx32.hex");
    for (const char* button : {"bProgramar", "bverificar", "bBorrar"}) {
        boxes.clear();
        sim::clearWaits();
        press(button);
        ASSERT_EQ(boxes.size(), 1u) << button;
        EXPECT_EQ(boxes[0].title, "WRONG CHIP!");
        EXPECT_NE(boxes[0].text.find("PIC16F628A is chosen, but the chip in the socket is another: "
                                     "word 0x2006 reads 0x076"),
                  std::string::npos)
            << boxes[0].text;
        EXPECT_NE(boxes[0].text.find("PIC16F88, revision"), std::string::npos);
    }
    for (int c : sim::commands()) EXPECT_TRUE(c == 0 || c == 4 || c == 6) << c;  // reads only
    EXPECT_EQ(sim::board().read(0, 0), 0x3FFF);

    sim::board().setChip(ZAVSIM_16F628A);
    choose("Auto (device ID)");
    EXPECT_TRUE(w->autodevice());
    boxes.clear();
    press("bProgramar");
    EXPECT_TRUE(boxes.empty()) << boxes[0].text;
    const auto lines = status();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "quibb9x: the device ID names a PIC16F628A, revision 1: working on it as a "
                        "PIC16F628A."),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "SUCCESS!"), lines.end());
    for (int i = 0; i < 2048; ++i)
        ASSERT_EQ(sim::board().read(0, i), i < w->state.progused ? w->state.progmem[i] : 0x3FFF) << i;
    EXPECT_EQ(sim::board().read(2, 0), w->state.configmem[0] & 0x21FF);

    sim::board().setChip(ZAVSIM_16F84);  // no device ID: "Auto" cannot tell
    boxes.clear();
    press("bProgramar");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "WHICH CHIP?");
    EXPECT_EQ(sim::board().read(0, 0), 0x3FFF);
}

TEST_F(Chips, TheChipSurvivesTheSettingsFileAndTheOriginalsLeaveItAsItWas) {
    get<QRadioButton>("Option1")->click();
    get<QRadioButton>("Option2")->click();
    get<QPushButton>("Command1")->click();
    const std::string original = inifile();
    EXPECT_EQ(original, "[OPTIONS]\nPIC= 2\nLPT= 632\nCWORD= 0\n\n[DIRECTORIES]\nLOAD=\n");

    choose("PIC 16F88");
    get<QPushButton>("Command1")->click();
    EXPECT_EQ(inifile(), "[OPTIONS]\nPIC= 2\nLPT= 632\nCWORD= 0\nCHIP=16F88\n\n[DIRECTORIES]\nLOAD=\n");
    w = open();
    EXPECT_TRUE(get<QRadioButton>("OptionOther")->isChecked());
    EXPECT_EQ(std::string(w->state.chip->name), "16F88");
    EXPECT_EQ(text(get<QComboBox>("comboChip")->currentText()), "PIC 16F88");

    choose("Auto (device ID)");
    get<QPushButton>("Command1")->click();
    w = open();
    EXPECT_TRUE(w->autodevice());

    get<QRadioButton>("Option2")->click();
    get<QPushButton>("Command1")->click();
    EXPECT_EQ(inifile(), original);
}

// Both faces start on the chip that PIC=, CHIP= and --device choose, in
// that order; the settings file's "auto" is the window's alone.
TEST_F(Chips, TheWindowAndTheCommandLineChooseTheSameChip) {
    const ChipRow* f84 = findchip("16F84");
    const struct {
        const char* ini;
        Overrides o;
        const char* chip;  // where both faces end
        bool windowauto;
    } cases[] = {
        {"PIC= 3", {}, "16F83", false},
        {"PIC= 1\nCHIP=pic 16f88", {}, "16F88", false},
        {"PIC= 3\nCHIP=auto", {}, "16F83", true},
        {"PIC= 3\nCHIP=16F84", {}, "16F84", false},
        {"PIC= 2\nCHIP=16F1827", {}, "16F84", false},
        {"PIC= 1\nCHIP=16F88", {.device = 2, .chip = f84}, "16F84", false},
        {"CHIP=16F84A", {.autodevice = true}, "16F84A", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        std::ofstream(dir / "quibb9x.ini") << "[OPTIONS]\n" << c.ini << "\n";
        w = std::make_unique<MainWindow>(c.o);
        EXPECT_EQ(std::string(currentchip(w->state).name), c.chip);
        EXPECT_EQ(w->autodevice(), c.windowauto);
        EXPECT_EQ(get<QRadioButton>("OptionOther")->isChecked(), c.windowauto || !currentchip(w->state).model);
        State s;
        ConfigEditor e;
        cli::clistartup(s, e, c.o);
        EXPECT_EQ(std::string(currentchip(s).name), c.chip);
    }
}

// CONFIG2 of a 16F87/88 is kept by "Save Settings" beside CWORD and comes
// back with the chip; a chip without CONFIG2 leaves the file as it was.
TEST_F(Chips, Config2IsKeptInTheSettingsFile) {
    choose("PIC 16F88");
    w->editor.setfield(w->state, 1, 0x3FFF, 0x0002);
    get<QPushButton>("Command1")->click();
    EXPECT_EQ(inifile(), "[OPTIONS]\nPIC= 0\nLPT= 632\nCWORD= 0\nCWORD2= 2\nCHIP=16F88\n\n[DIRECTORIES]\nLOAD=\n");
    w = open();
    EXPECT_EQ(std::string(w->state.chip->name), "16F88");
    EXPECT_EQ(w->state.configmem[1], 0x0002);
    EXPECT_EQ(w->state.configused, 2);
    get<QRadioButton>("Option2")->click();
    get<QPushButton>("Command1")->click();
    EXPECT_EQ(inifile(), "[OPTIONS]\nPIC= 2\nLPT= 632\nCWORD= 0\nCWORD2= 2\n\n[DIRECTORIES]\nLOAD=\n");
}

TEST_F(Chips, AnotherBoardIsNamedAfterTheWelcomeAndKeptBySave) {
    std::ofstream(dir / "quibb9x.ini") << "[OPTIONS]\nPIC= 2\nLPT= 632\nCWORD= 0\nBOARD=tait-classic\n";
    w = open();
    const auto lines = status();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2].rfind("quibb9x: board 'tait-classic': vpp = ", 0), 0u) << lines[2];
    EXPECT_EQ(w->state.wiring.name, "tait-classic");
    get<QPushButton>("Command1")->click();
    EXPECT_NE(inifile().find("BOARD=tait-classic\n"), std::string::npos);

    Overrides o;
    o.board = "original";  // the original board: the welcome lines alone
    w = std::make_unique<MainWindow>(o);
    EXPECT_EQ(status().size(), 2u);
}

// The internal oscillator with MCLR off on the original board: Burn asks
// first and, told Yes, burns and reads the word back, with a note; the chip
// then answers no more, and a dump is refused with the likely causes. A
// board that switches VDD raises Vpp first and asks nothing.
TEST_F(Chips, ALockOutConfigurationIsAskedForAndTheChipAfterItIsNotDumped) {
    sim::board().setChip(ZAVSIM_16F628A);
    choose("PIC 16F628A");
    load(FIXTURE_DIR "/f628a_blink_inhx32.hex");
    w->editor.setword(w->state, 0x2150);
    boxes.clear();
    answers = {Answer::No};
    press("bProgramar");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "LOCKED OUT?");
    EXPECT_EQ(boxes[0].buttons, Buttons::YesNo);
    EXPECT_EQ(boxes[0].text.rfind("quibb9x: the configuration word 0x2150 selects the internal "
                                  "oscillator with MCLR off. Once it is burnt, the PIC16F628A runs",
                                  0),
              0u)
        << boxes[0].text;
    EXPECT_NE(boxes[0].text.find("A board that switches VDD can still reprogram it"), std::string::npos);
    EXPECT_EQ(sim::board().read(0, 0), 0x3FFF);
    EXPECT_EQ(sim::board().read(2, 0), 0x21FF);

    boxes.clear();
    press("bProgramar");  // Yes
    ASSERT_EQ(boxes.size(), 1u) << boxes.back().text;
    EXPECT_EQ(sim::board().read(2, 0), 0x2150);
    auto lines = status();
    // The note in lines the status list shows whole, after the burn's own.
    const std::vector<std::string> note = {
        "quibb9x: note: the configuration word 0x2150", "     was burnt and read back; the chip now",
        "     runs its program as soon as it has power,", "     and this board cannot enter programming",
        "     mode on it again (a board that switches", "     VDD can)"};
    // SUCCESS! and its four lines of note, then the file's checksum.
    ASSERT_GE(lines.size(), note.size() + 6);
    EXPECT_EQ(lines[lines.size() - note.size() - 6], "SUCCESS!");
    EXPECT_EQ(lines[lines.size() - note.size() - 1].rfind("Checksum: 0x", 0), 0u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<long>(note.size()), lines.end()), note);

    boxes.clear();
    files.push_back((dir / "after.hex").string());
    press("bhex");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "WRONG CHIP!");
    EXPECT_NE(boxes[0].text.find("word 0x2006 reads 0x3FFF: no device ID (a PIC16F84, PIC16C84 or "
                                 "PIC16F83, or an empty socket); the chip did not answer in programming "
                                 "mode"),
              std::string::npos)
        << boxes[0].text;
    EXPECT_NE(boxes[0].text.find("this board cannot raise Vpp before VDD. No file was written."),
              std::string::npos) << boxes[0].text;
    EXPECT_FALSE(fs::exists(dir / "after.hex"));

    setenv("QUIBB9X_SIM_BOARD", "tait-classic", 1);
    sim::useSimulatedBoard();
    sim::board().setChip(ZAVSIM_16F628A);
    Overrides tait;
    tait.board = "tait-classic";
    w = std::make_unique<MainWindow>(tait);
    w->askBox = [this](const std::string& t, const std::string& title, Buttons b) {
        boxes.push_back({t, title, b});
        return b == Buttons::Ok ? Answer::Ok : Answer::No;
    };
    w->askFile = [this](const FileRequest&) { return std::optional<std::string>(FIXTURE_DIR "/f628a_blink_inhx32.hex"); };
    w->findChild<QRadioButton*>("Option5")->click();
    choose("PIC 16F628A");
    get<QPushButton>("bCargar")->click();
    w->editor.setword(w->state, 0x2150);
    boxes.clear();
    press("bProgramar");
    unsetenv("QUIBB9X_SIM_BOARD");
    EXPECT_TRUE(boxes.empty()) << boxes[0].title;
    EXPECT_EQ(sim::board().read(2, 0), 0x2150);
    lines = status();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "     values of Vcc.");
    EXPECT_EQ(lines.back().rfind("Checksum: 0x", 0), 0u);
}

}  // namespace
