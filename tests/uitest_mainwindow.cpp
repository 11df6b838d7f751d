// SPDX-License-Identifier: GPL-2.0-or-later
// The main window on Qt's offscreen platform, bound to the simulated board:
// start-up with and without a settings file, the device and port options,
// the editor's widgets, the about window, the layout, and a HEX load through
// a scripted file dialog. Each test runs in its own directory, so the
// settings file is its own.
#include <csignal>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <semaphore>
#include <sstream>
#include <thread>

#include "support/recorder.h"
#include "support/scratchdir.h"
#include "core/binding.h"
#include "core/capture.h"
#include "core/stop.h"
#include "support/chipfacts.h"
#include "support/simboard.h"
#include "ui/mainwindow.h"

namespace fs = std::filesystem;

namespace {

QApplication& app() {
    static int argc = 1;
    static char name[] = "uitest_mainwindow";
    static char* argv[] = {name, nullptr};
    // Never destroyed: tearing Qt down among the static destructors crashes
    // once a synthetic mouse event has created its default device.
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

std::string text(const QString& s) { return s.toStdString(); }

std::vector<std::string> lines(QListWidget* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i) out.push_back(text(list->item(i)->text()));
    return out;
}

// Lets the operation that the last click started run to its end.
void settle(MainWindow& w) {
    if (!w.busy()) return;
    QEventLoop loop;
    QObject::connect(&w, &MainWindow::idle, &loop, &QEventLoop::quit);
    loop.exec();
}

void doubleclick(QWidget* w) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent twice(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &twice);
}

struct Window : ::testing::Test {
    ScratchDir scratch{"ui", true};
    fs::path dir = scratch.path();
    std::vector<Box> boxes;
    std::deque<Answer> answers;
    std::vector<FileRequest> requests;
    std::deque<std::optional<std::string>> files;  // the dialog's answers

    void SetUp() override {
        app();
        sim::useSimulatedBoard();
    }

    std::unique_ptr<MainWindow> open(const Overrides& o = {}) {
        auto w = std::make_unique<MainWindow>(o);
        w->askBox = [this](const std::string& t, const std::string& title, Buttons b) {
            boxes.push_back({t, title, b});
            if (b == Buttons::Ok || answers.empty()) return b == Buttons::Ok ? Answer::Ok : Answer::No;
            const Answer a = answers.front();
            answers.pop_front();
            return a;
        };
        w->askFile = [this](const FileRequest& r) -> std::optional<std::string> {
            requests.push_back(r);
            if (files.empty()) return std::nullopt;
            auto f = files.front();
            files.pop_front();
            return f;
        };
        return w;
    }

    void settings(const std::string& contents) {
        std::ofstream(dir / "quibb9x.ini") << contents;
    }
    std::string inifile() const {
        std::ifstream in(dir / "quibb9x.ini");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    template <typename T>
    static T* get(QWidget& w, const char* name) {
        T* child = w.findChild<T*>(name);
        if (!child) ADD_FAILURE() << "no control " << name;
        return child;
    }
};

TEST_F(Window, StartUpWithoutSettingsFile) {
    auto w = open();
    EXPECT_EQ(text(w->windowTitle()), "-=ZAV's=- QUIBB for Windows -=Version 1.32");

    // The first port writes happen before any port is chosen: base 0.
    const auto out = sim::writes();
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(out[0].port, 0x0002);
    EXPECT_EQ(out[0].value, 0x04);
    EXPECT_EQ(out[1].port, 0x0000);
    EXPECT_EQ(out[1].value, 0x01);
    EXPECT_EQ(out[2].port, 0x0002);
    EXPECT_EQ(out[2].value, 0x0F);
    EXPECT_EQ(w->state.ctrlshadow, 0x0F);

    EXPECT_TRUE(get<QRadioButton>(*w, "Option2")->isChecked());
    EXPECT_EQ(w->state.picmodel, 0);
    EXPECT_EQ(progsize(w->state), 1024);
    EXPECT_EQ(configmask(w->state), 0x3FFF);
    EXPECT_TRUE(get<QRadioButton>(*w, "Option6")->isChecked());
    EXPECT_EQ(text(get<QLineEdit>(*w, "text_port")->text()), "0");
    EXPECT_TRUE(get<QLineEdit>(*w, "text_port")->isEnabled());
    EXPECT_EQ(w->state.portaddr, 0);
    EXPECT_FALSE(get<QPushButton>(*w, "bProgramar")->isEnabled());
    EXPECT_FALSE(get<QPushButton>(*w, "bverificar")->isEnabled());
    EXPECT_FALSE(get<QPushButton>(*w, "Command2")->isEnabled());
    EXPECT_EQ(lines(get<QListWidget>(*w, "List2")),
              (std::vector<std::string>{"Welcome to Quibb9x", "Written by the quibb9x developers."}));
    EXPECT_TRUE(get<QLineEdit>(*w, "text_filename")->isReadOnly());
    EXPECT_EQ(text(get<QLineEdit>(*w, "text_filename")->text()), "");

    // Word 0: all bits clear, LP, only "Copy Protection" ticked, marked used.
    EXPECT_EQ(text(get<QLineEdit>(*w, "cvalue")->text()), "0");
    EXPECT_TRUE(get<QRadioButton>(*w, "OSC0")->isChecked());
    EXPECT_TRUE(get<QCheckBox>(*w, "cCP")->isChecked());
    EXPECT_FALSE(get<QCheckBox>(*w, "cWDTE")->isChecked());
    EXPECT_EQ(w->state.configused, 1);
    EXPECT_FALSE(fs::exists(dir / "quibb9x.ini"));  // nothing saved at start
}

TEST_F(Window, StartUpWithSettingsFile) {
    settings("[OPTIONS]\nPIC= 3\nLPT= 888\nCWORD= 16371\n[DIRECTORIES]\nLOAD=/some/where/blink.hex\n");
    auto w = open();
    EXPECT_TRUE(get<QRadioButton>(*w, "Option3")->isChecked());
    EXPECT_EQ(w->state.picmodel, 3);
    EXPECT_EQ(progsize(w->state), 512);
    EXPECT_TRUE(get<QRadioButton>(*w, "Option4")->isChecked());
    EXPECT_FALSE(get<QLineEdit>(*w, "text_port")->isEnabled());
    EXPECT_EQ(text(get<QLineEdit>(*w, "text_port")->text()), "278");
    EXPECT_EQ(w->state.portaddr, 0x378);
    EXPECT_EQ(text(get<QLineEdit>(*w, "cvalue")->text()), "3FF3");
    EXPECT_TRUE(get<QRadioButton>(*w, "OSC3")->isChecked());
    EXPECT_FALSE(get<QCheckBox>(*w, "cCP")->isChecked());
    EXPECT_EQ(text(get<QLineEdit>(*w, "text_filename")->text()), "/some/where/blink.hex");
}

TEST_F(Window, SettingsWithOtherPortUnknownDeviceAndHugeValues) {
    settings("[OPTIONS]\nPIC= 7\nLPT= 956\nCWORD=-1\n");
    auto w = open();
    EXPECT_TRUE(get<QRadioButton>(*w, "Option2")->isChecked());
    EXPECT_EQ(w->state.picmodel, 7);
    EXPECT_TRUE(get<QRadioButton>(*w, "Option6")->isChecked());
    EXPECT_EQ(text(get<QLineEdit>(*w, "text_port")->text()), "3BC");
    EXPECT_EQ(w->state.portaddr, 0x3BC);
    for (int bit = 0; bit < 14; ++bit)
        EXPECT_EQ(text(get<QLabel>(*w, ("C" + std::to_string(bit)).c_str())->text()), "1");
    get<QCheckBox>(*w, "cWDTE")->click();
    get<QCheckBox>(*w, "cWDTE")->click();
    EXPECT_EQ(w->state.configmem[0], 0x3FFF);
    EXPECT_EQ(text(get<QLineEdit>(*w, "cvalue")->text()), "3FFF");

    get<QPushButton>(*w, "Command1")->click();
    EXPECT_NE(inifile().find("PIC= 7\n"), std::string::npos);

    // An address too big for 16 bits leaves "Other Port:" with what the box
    // shows, and the program running.
    settings("[OPTIONS]\nLPT= 99999999\nCWORD= 70000\n");
    auto v = open();
    EXPECT_TRUE(get<QRadioButton>(*v, "Option6")->isChecked());
    EXPECT_EQ(text(get<QLineEdit>(*v, "text_port")->text()), "278");
    EXPECT_EQ(v->state.portaddr, 0x278);
    EXPECT_EQ(v->state.configmem[0], 0);
}

TEST_F(Window, PortOptionsAndThePortBox) {
    settings("[OPTIONS]\nLPT= 632\n");
    auto w = open();
    auto* box = get<QLineEdit>(*w, "text_port");
    ASSERT_TRUE(get<QRadioButton>(*w, "Option5")->isChecked());
    EXPECT_EQ(w->state.portaddr, 0x278);
    EXPECT_FALSE(box->isEnabled());

    get<QRadioButton>(*w, "Option6")->click();
    EXPECT_TRUE(box->isEnabled());
    EXPECT_EQ(w->state.portaddr, 0x278);  // from the box showing 278

    box->clear();
    EXPECT_EQ(w->state.portaddr, 0);
    const int typed[] = {0x3, 0x3B, 0x3BC};
    for (int i = 0; i < 3; ++i) {
        box->insert(QString("3BC").mid(i, 1));
        EXPECT_EQ(w->state.portaddr, typed[i]);
    }
    const std::pair<const char*, int> texts[] = {{"XYZ", 0}, {"3BX", 0x3B}, {"ff", 0xFF}, {"", 0}};
    for (auto [t, addr] : texts) {
        box->setText(t);
        EXPECT_EQ(w->state.portaddr, addr) << t;
    }
    box->setText("3BC");
    box->setText("12345");  // does not fit: the address stays
    EXPECT_EQ(w->state.portaddr, 0x3BC);
    box->setText("FFFF");
    EXPECT_EQ(w->state.portaddr, static_cast<int16_t>(0xFFFF));

    box->setText("3BC");
    get<QRadioButton>(*w, "Option4")->click();
    EXPECT_FALSE(box->isEnabled());
    EXPECT_EQ(text(box->text()), "3BC");
    EXPECT_EQ(w->state.portaddr, 0x378);
    get<QRadioButton>(*w, "Option6")->click();
    EXPECT_EQ(w->state.portaddr, 0x3BC);

    // Closing does not save.
    w.reset();
    EXPECT_EQ(inifile(), "[OPTIONS]\nLPT= 632\n");
}

TEST_F(Window, DeviceOptionsTouchOnlyTheDeviceFields) {
    auto w = open();
    auto* cvalue = get<QLineEdit>(*w, "cvalue");
    const auto status = lines(get<QListWidget>(*w, "List2"));
    get<QRadioButton>(*w, "Option3")->click();
    EXPECT_EQ(w->state.picmodel, 3);
    EXPECT_EQ(progsize(w->state), 512);
    EXPECT_EQ(configmask(w->state), 0x3FFF);
    EXPECT_EQ(configdefault(w->state), 0x3FF3);
    get<QRadioButton>(*w, "Option1")->click();
    EXPECT_EQ(w->state.picmodel, 1);
    EXPECT_EQ(progsize(w->state), 1024);
    EXPECT_EQ(configmask(w->state), 0x1F);
    EXPECT_EQ(configdefault(w->state), 0x1B);
    EXPECT_EQ(text(cvalue->text()), "0");
    EXPECT_EQ(lines(get<QListWidget>(*w, "List2")), status);
}

TEST_F(Window, EditorWidgetsFollowTheModel) {
    settings("[OPTIONS]\nCWORD= 16371\n");  // 0x3FF3
    auto w = open();
    auto* cvalue = get<QLineEdit>(*w, "cvalue");
    auto* cCP = get<QCheckBox>(*w, "cCP");
    auto* c13 = get<QLabel>(*w, "C13");

    doubleclick(c13);
    EXPECT_EQ(text(c13->text()), "0");
    EXPECT_EQ(text(cvalue->text()), "1FF3");
    EXPECT_EQ(w->state.configmem[0], 0x1FF3);
    EXPECT_FALSE(cCP->isChecked());  // the check boxes wait for a refresh

    cCP->click();  // tick: every protection bit to 0
    EXPECT_EQ(w->state.configmem[0], 0x0003);
    for (int bit = 4; bit < 14; ++bit)
        EXPECT_EQ(text(get<QLabel>(*w, ("C" + std::to_string(bit)).c_str())->text()), "0");
    get<QRadioButton>(*w, "OSC1")->click();
    EXPECT_EQ(w->state.configmem[0], 0x0001);
    // On the 16F84 the power-up timer is on while bit 3 is 0: the box shows
    // it ticked; clearing it sets bit 3, ticking it clears the bit again.
    ASSERT_TRUE(get<QCheckBox>(*w, "cPWRTE")->isChecked());
    get<QCheckBox>(*w, "cPWRTE")->click();
    EXPECT_EQ(w->state.configmem[0], 0x0009);
    EXPECT_EQ(text(get<QLabel>(*w, "C3")->text()), "1");
    get<QCheckBox>(*w, "cPWRTE")->click();
    EXPECT_EQ(w->state.configmem[0], 0x0001);
    EXPECT_EQ(text(get<QLabel>(*w, "C3")->text()), "0");

    // A refresh of 0x3FE3 with the box ticked: it clears, its handler runs
    // once and sets the protection bits as a group.
    w->state.configmem[0] = 0x3FE3;
    w->updateC();
    EXPECT_FALSE(cCP->isChecked());
    EXPECT_EQ(w->state.configmem[0], 0x3FF3);
    EXPECT_EQ(text(cvalue->text()), "3FF3");
    EXPECT_TRUE(get<QRadioButton>(*w, "OSC3")->isChecked());
    EXPECT_FALSE(get<QRadioButton>(*w, "OSC1")->isChecked());
    EXPECT_TRUE(get<QCheckBox>(*w, "cPWRTE")->isChecked());  // bit 3 clear: timer on
    EXPECT_EQ(text(get<QLabel>(*w, "C4")->text()), "1");
}

TEST_F(Window, OverridesWinOverTheSettingsAndAreNotSaved) {
    settings("[OPTIONS]\nPIC= 7\nLPT= 888\nCWORD= 16371\n");
    Overrides o;
    o.device = 2;
    o.port = 0x3BC;
    o.config = 0x3FE5;
    auto w = open(o);
    EXPECT_EQ(w->state.picmodel, 2);  // the option was already selected
    EXPECT_TRUE(get<QRadioButton>(*w, "Option6")->isChecked());
    EXPECT_EQ(text(get<QLineEdit>(*w, "text_port")->text()), "3BC");
    EXPECT_EQ(w->state.portaddr, 0x3BC);
    EXPECT_EQ(w->state.configmem[0], 0x3FE5);  // protection bits not normalised
    EXPECT_EQ(text(get<QLineEdit>(*w, "cvalue")->text()), "3FE5");
    EXPECT_TRUE(get<QRadioButton>(*w, "OSC1")->isChecked());
    EXPECT_TRUE(get<QCheckBox>(*w, "cWDTE")->isChecked());
    EXPECT_FALSE(get<QCheckBox>(*w, "cCP")->isChecked());
    EXPECT_EQ(inifile(), "[OPTIONS]\nPIC= 7\nLPT= 888\nCWORD= 16371\n");

    get<QPushButton>(*w, "Command1")->click();
    EXPECT_EQ(inifile(), "[OPTIONS]\nPIC= 2\nLPT= 956\nCWORD= 16357\n\n[DIRECTORIES]\nLOAD=\n");
}

TEST_F(Window, AboutWindowIsFilledOncePerLoad) {
    auto w = open();
    auto* about = get<QPushButton>(*w, "babout");
    about->click();
    about->click();
    QPointer<AboutWindow> a = w->aboutWindow();
    ASSERT_TRUE(a);
    EXPECT_EQ(w->findChildren<AboutWindow*>().size(), 1);
    EXPECT_TRUE(a->isVisible());
    EXPECT_EQ(text(a->windowTitle()), "ABOUT QUIBB for Windows");
    const auto shown = lines(a->List1);
    ASSERT_EQ(shown.size(), 13u);
    EXPECT_EQ(shown[1], "**Version 1.32**");
    EXPECT_TRUE(text(w->windowTitle()).ends_with(shown[1].substr(10, 4)));
    EXPECT_EQ(shown[3], "This software is a complete rewrite of the original QUIBB.");
    for (int i : {2, 6, 11}) EXPECT_EQ(shown[i], std::string(89, '-'));

    a->Command1->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(a);  // unloaded
    about->click();
    ASSERT_TRUE(w->aboutWindow());
    EXPECT_EQ(w->aboutWindow()->List1->count(), 13);
}

TEST_F(Window, ControlsSitWhereTheyWereDrawn) {
    auto w = open();
    EXPECT_EQ(w->size(), QSize(632, 428));
    auto* bCargar = get<QPushButton>(*w, "bCargar");
    EXPECT_EQ(bCargar->geometry(), QRect(8, 24, 33, 25));
    EXPECT_EQ(bCargar->parentWidget(), get<QGroupBox>(*w, "Frame4"));
    EXPECT_EQ(get<QPushButton>(*w, "Command1")->geometry(), QRect(376, 24, 57, 25));
    EXPECT_EQ(get<QListWidget>(*w, "List2")->geometry(), QRect(16, 104, 337, 112));
    EXPECT_EQ(get<QListWidget>(*w, "List2")->parentWidget(), w.get());
    EXPECT_EQ(get<QProgressBar>(*w, "ProgressBar1")->geometry(), QRect(8, 408, 617, 17));
    EXPECT_EQ(get<QGroupBox>(*w, "Frame8")->parentWidget(), get<QGroupBox>(*w, "Frame6"));
    EXPECT_EQ(get<QGroupBox>(*w, "Frame8")->geometry(), QRect(8, 128, 241, 161));
    EXPECT_EQ(get<QLabel>(*w, "C13")->geometry(), QRect(8, 16, 16, 24));
    EXPECT_EQ(get<QLabel>(*w, "C0")->geometry(), QRect(216, 16, 16, 24));
    EXPECT_EQ(get<QRadioButton>(*w, "OSC3")->geometry(), QRect(160, 8, 41, 17));
    EXPECT_EQ(get<QLineEdit>(*w, "text_port")->geometry(), QRect(64, 72, 41, 19));

    // The status list's face is fixed-pitch, so columns line up.
    const QFont face = get<QListWidget>(*w, "List2")->font();
    const QFontMetrics metrics(face);
    EXPECT_EQ(metrics.horizontalAdvance("iiii  ...."), metrics.horizontalAdvance("WWWWMM0000"));
    EXPECT_EQ(QFontInfo(face).pointSize(), 9);
    EXPECT_TRUE(QFontInfo(get<QListWidget>(*w, "List3")->font()).bold());
}

TEST_F(Window, CaptionsCarryTheirAcceleratorsAndFit) {
    auto w = open();
    const std::pair<const char*, const char*> captions[] = {
        {"bCargar", "&HEX"}, {"Command2", "B&IN"}, {"bhex", "HE&X"}, {"bbin", "BI&N"},
        {"bProgramar", "&Burn!"}, {"bverificar", "&Verify"}, {"bBorrar", "&Erase"},
        {"bbuscar", "&Check H/W"}, {"bTestear", "&Test H/W"}, {"babout", "&About"},
        {"Command1", "&Save Settings"}};
    for (auto [name, caption] : captions)
        EXPECT_EQ(text(get<QPushButton>(*w, name)->text()), caption);
    EXPECT_EQ(text(get<QGroupBox>(*w, "Frame3")->title()), "Select the &LPT:");
    EXPECT_EQ(text(get<QGroupBox>(*w, "Frame2")->title()), "Select &PicMicro:");
    EXPECT_EQ(text(get<QGroupBox>(*w, "Frame8")->title()), "Configuration &Word:");
    EXPECT_EQ(text(get<QGroupBox>(*w, "Frame9")->title()), "&OSC:");
    EXPECT_EQ(text(get<QPushButton>(*w, "bBorrar")->toolTip()),
              "Erase Pic Micro Memory.  (Resets Protection also).");
    EXPECT_EQ(text(get<QLabel>(*w, "C3")->toolTip()), "PWRITE#");
    EXPECT_EQ(text(get<QGroupBox>(*w, "Frame9")->toolTip()),
              "Select the type of oscilator you intend to use on your circuit.");

    // No caption is cut off by its control.
    for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) {
        QStyleOptionButton opt;
        opt.initFrom(b);
        opt.rect = b->rect();
        QStyle::SubElement room = qobject_cast<QPushButton*>(b) ? QStyle::SE_PushButtonContents
                                  : qobject_cast<QCheckBox*>(b) ? QStyle::SE_CheckBoxContents
                                                                : QStyle::SE_RadioButtonContents;
        const int width = QFontMetrics(b->font()).horizontalAdvance(b->text().remove('&'));
        EXPECT_LE(width, b->style()->subElementRect(room, &opt, b).width()) << text(b->text());
    }
}

// A small image: two program words, the configuration word, one data byte.
std::string goodhex() {
    return ":040000000528831636\n"
           ":02400E00F13F80\n"
           ":0242000041007B\n"
           ":00000001FF\n";
}

TEST_F(Window, LoadingAHexFileThroughTheDialog) {
    auto w = open();
    auto* name = get<QLineEdit>(*w, "text_filename");
    auto* burn = get<QPushButton>(*w, "bProgramar");
    auto* verify = get<QPushButton>(*w, "bverificar");
    const std::string path = (dir / "small.hex").string();
    std::ofstream(path) << goodhex();

    // A cancelled dialog changes nothing.
    get<QPushButton>(*w, "bCargar")->click();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_FALSE(requests[0].save);
    EXPECT_EQ(requests[0].title, "Open HEX File");
    EXPECT_EQ(requests[0].proposed, "*.hex");
    EXPECT_EQ(requests[0].filter, "*.hex");
    EXPECT_EQ(requests[0].suffix, "hex");
    EXPECT_EQ(text(name->text()), "");
    EXPECT_FALSE(burn->isEnabled());
    EXPECT_EQ(get<QListWidget>(*w, "List2")->count(), 2);

    files.push_back(path);
    get<QPushButton>(*w, "bCargar")->click();
    EXPECT_EQ(text(name->text()), path);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(lines(get<QListWidget>(*w, "List3")),
              (std::vector<std::string>{"001->:040000000528831636", "002->:02400E00F13F80",
                                        "003->:0242000041007B", "004->:00000001FF"}));
    EXPECT_EQ(lines(get<QListWidget>(*w, "List2")),
              (std::vector<std::string>{"Program memory loaded: 2 word(s)",
                                        "Configuration loaded:  1 word(s)",
                                        "ID memory loaded:      0 word(s)",
                                        "Data memory loaded:    1 word(s)"}));
    EXPECT_TRUE(burn->isEnabled());
    EXPECT_TRUE(verify->isEnabled());
    EXPECT_EQ(text(get<QLineEdit>(*w, "cvalue")->text()), "3FF1");
    EXPECT_TRUE(get<QRadioButton>(*w, "OSC1")->isChecked());

    // The next dialog offers the file just loaded; a bad file disables Burn.
    std::ofstream(path) << ":00000001FE\n";
    files.push_back(path);
    get<QPushButton>(*w, "bCargar")->click();
    EXPECT_EQ(requests.back().proposed, path);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, "UNABLE TO DECODE!");
    EXPECT_EQ(boxes[1].text, "Unable to load file.");
    EXPECT_FALSE(burn->isEnabled());
    EXPECT_EQ(lines(get<QListWidget>(*w, "List2")), (std::vector<std::string>{"No file loaded."}));
}

TEST_F(Window, BurnThenDumpDisablesBurnAndVerify) {
    auto w = open();
    get<QRadioButton>(*w, "Option5")->click();
    const std::string path = (dir / "small.hex").string();
    std::ofstream(path) << goodhex();
    files.push_back(path);
    get<QPushButton>(*w, "bCargar")->click();
    get<QPushButton>(*w, "bProgramar")->click();
    settle(*w);
    EXPECT_EQ(sim::board().read(0, 0), 0x2805);
    EXPECT_EQ(sim::board().read(2, 0), 0x3FF1);

    // Cancelled: nothing written, nothing disabled.
    get<QPushButton>(*w, "bbin")->click();
    EXPECT_EQ(requests.back().title, "SAVE BIN");
    EXPECT_TRUE(requests.back().save);
    EXPECT_TRUE(get<QPushButton>(*w, "bProgramar")->isEnabled());

    const std::string dump = (dir / "chip.bin").string();
    files.push_back(dump);
    get<QPushButton>(*w, "bbin")->click();
    settle(*w);
    EXPECT_EQ(w->state.dumpfile, dump);
    EXPECT_TRUE(fs::exists(dump));
    EXPECT_FALSE(get<QPushButton>(*w, "bProgramar")->isEnabled());
    EXPECT_FALSE(get<QPushButton>(*w, "bverificar")->isEnabled());

    files.push_back((dir / "chip.hex").string());
    get<QPushButton>(*w, "bhex")->click();
    settle(*w);
    EXPECT_EQ(requests.back().title, "SAVE HEX");
    EXPECT_EQ(requests.back().filter, "*.hex");
    EXPECT_TRUE(fs::exists(dir / "chip.hex"));
}

// --simulate without a port takes the simulated board's, as the command
// line does; a port from --port or the settings file stays.
TEST_F(Window, TheSimulatedBoardsPortWhenNoneIsChosen) {
    Overrides o;
    o.simulate = true;
    auto w = open(o);
    EXPECT_TRUE(get<QRadioButton>(*w, "Option5")->isChecked());
    EXPECT_EQ(w->state.portaddr, 0x278);
    sim::board().setBase(0x3BC);
    w = open(o);
    EXPECT_TRUE(get<QRadioButton>(*w, "Option6")->isChecked());
    EXPECT_EQ(text(get<QLineEdit>(*w, "text_port")->text()), "3BC");
    EXPECT_EQ(w->state.portaddr, 0x3BC);
    get<QPushButton>(*w, "bbuscar")->click();
    settle(*w);
    EXPECT_EQ(boxes.back().title, "SUCCESS!");
    settings("[OPTIONS]\nLPT= 888\n");
    w = open(o);
    EXPECT_EQ(w->state.portaddr, 0x378);
    o.port = 0x278;
    w = open(o);
    EXPECT_EQ(w->state.portaddr, 0x278);
}

// A board whose read-back the check cannot rely on: Check H/W and Burn say
// so and name --no-check; with it, Burn goes on. The El Cheapo's idle levels
// hold Vpp off through start-up and the check.
TEST_F(Window, ABoardTheCheckCannotConfirmAndAnotherBoardsIdleLevels) {
    setenv("QUIBB9X_SIM_BOARD", "asix-piccolo", 1);
    sim::useSimulatedBoard();
    sim::board().setBoard(0);
    Overrides o;
    o.board = "asix-piccolo";
    o.port = 0x278;
    auto w = open(o);
    get<QPushButton>(*w, "bbuscar")->click();
    settle(*w);
    const std::string undocumented =
        "the check looks for the original board's read-back (low while the PC drives the data "
        "line, high once it lets go), and what the 'asix-piccolo' reads back is not documented";
    EXPECT_EQ(lines(get<QListWidget>(*w, "List2")).back(),
              "quibb9x: " + undocumented +
                  ": if the board is connected and powered, start quibb9x with --no-check to go on "
                  "without the check");
    const std::string path = (dir / "small.hex").string();
    std::ofstream(path) << goodhex();
    files.push_back(path);
    get<QPushButton>(*w, "bCargar")->click();
    get<QPushButton>(*w, "bProgramar")->click();
    settle(*w);
    EXPECT_EQ(boxes.back().title, "NO BOARD!");
    EXPECT_EQ(boxes.back().text, "quibb9x: no board answers at port 0x278 as the board check expects: " +
                                     undocumented +
                                     ". If the board is connected and powered, start quibb9x with "
                                     "--no-check to go on without the check. Nothing was burnt.");
    sim::board().setBoard(1);
    sim::board().logClear();
    o.nocheck = true;
    w = open(o);
    files.push_back(path);
    get<QPushButton>(*w, "bCargar")->click();
    get<QPushButton>(*w, "bProgramar")->click();
    settle(*w);
    EXPECT_EQ(sim::board().read(0, 0), 0x2805);
    EXPECT_EQ(boxes.back().title, "NO BOARD!");  // the one before: none since

    setenv("QUIBB9X_SIM_BOARD", "el-cheapo", 1);
    sim::useSimulatedBoard();
    Overrides cheap;
    cheap.board = "el-cheapo";
    cheap.port = 0x278;
    w = open(cheap);
    get<QPushButton>(*w, "bbuscar")->click();
    settle(*w);
    unsetenv("QUIBB9X_SIM_BOARD");
    EXPECT_EQ(boxes.back().title, "SUCCESS!");
    for (const auto& a : sim::writes()) {
        if (a.port == 0x27A) {
            EXPECT_EQ(a.value & 0x04, 0) << "Vpp (pin 16) raised";
        }
    }
    EXPECT_EQ(sim::board().inProgrammingMode(), 0);
}

TEST_F(Window, RealMessageBoxesCarryTheTitleAndAnswer) {
    auto real = std::make_unique<MainWindow>();  // its own boxes, not the script
    std::string seen;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = text(box->windowTitle()) + "|" + text(box->text()) + "|" +
               std::to_string(box->icon() == QMessageBox::NoIcon);
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(real->message("Sure?", "", Buttons::YesNo), Answer::Yes);
    EXPECT_EQ(seen, "quibb9x|Sure?|1");

    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = text(box->windowTitle());
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(real->message("Sure?", "CAUTION!", Buttons::YesNo), Answer::No);
    EXPECT_EQ(seen, "CAUTION!");
}

// A LOAD path that is not valid UTF-8 is shown as well as it can be and
// saved back byte for byte.
TEST_F(Window, LoadPathThatIsNotUtf8IsSavedBackUnchanged) {
    const std::string name = "/data/\xff\xfe blink\xe9.hex";
    settings("[OPTIONS]\nPIC= 2\nLPT= 632\nCWORD= 16371\n\n[DIRECTORIES]\nLOAD=" + name + "\n");
    const std::string before = inifile();
    auto w = open();
    get<QPushButton>(*w, "Command1")->click();
    EXPECT_EQ(inifile(), before);
}

// The real port library on a fake tree: the first Check H/W or operation
// that finds the port unreachable adds the reason and its fix to the status
// list, once per port and run. (In a child process, so the simulated board
// stays bound for the other tests.)
TEST_F(Window, AnUnreachablePortIsExplainedOncePerPortInTheStatusList) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const fs::path tree = dir / "tree";
    fs::create_directories(tree / "proc/sys/dev/parport/parport0");
    fs::create_directories(tree / "dev");
    std::ofstream(tree / "proc/sys/dev/parport/parport0/base-addr") << "888\t1912\n";
    const std::string noport =
        "quibb9x: no parallel port has its registers at I/O address 0x3BC. Parallel ports on "
        "this machine: 0x378 (" + (tree / "dev").string() + "/parport0). Choose one of these addresses.";
    const std::string nodevice =
        "quibb9x: cannot open " + (tree / "dev").string() + "/parport0 (the parallel port at "
        "0x378): No such file or directory. Load the parallel-port drivers: sudo modprobe ppdev parport_pc.";
    auto run = [&] {
        setenv("ZAVBIT2_PROC_ROOT", (tree / "proc").c_str(), 1);
        setenv("ZAVBIT2_DEV_ROOT", (tree / "dev").c_str(), 1);
        binding::reset();
        binding::chooseLibrary(ZAVBIT2_PATH);
        Overrides o;
        o.port = 0x3BC;
        auto w = open(o);
        auto* list = get<QListWidget>(*w, "List2");
        std::vector<std::string> seen;
        get<QPushButton>(*w, "bbuscar")->click();
        settle(*w);
        seen.push_back(lines(list).back());
        get<QPushButton>(*w, "bbuscar")->click();  // told already: only where it looked
        settle(*w);
        const auto after = lines(list);
        seen.push_back(std::to_string(std::count(after.begin(), after.end(), noport)));
        w->bverificar_Click();  // refused with the reason in its box; the list as it was
        settle(*w);
        seen.push_back(lines(list).back());
        get<QRadioButton>(*w, "Option4")->click();  // LPT1: another port, another reason
        w->bverificar_Click();
        settle(*w);
        seen.push_back(lines(list).back());
        const std::string looked = "quibb9x: no board answers at port 0x3BC (board 'original': vpp = "
                                   "!16 !2, clock = 1, dataout = 14, datadir = !17, datain = 11)";
        const std::vector<std::string> expected = {noport, "1", looked, nodevice};
        // The refusals name the port and give the reason told in the list.
        const auto refusal = [](const char* port, const std::string& line) {
            return "quibb9x: no board answers at port " + std::string(port) + ": " + line.substr(9) +
                   " Nothing was verified.";
        };
        if (seen == expected && boxes.size() == 4 && boxes[0].title == "CAUTION!" &&
            boxes[2].title == "NO BOARD!" && boxes[2].text == refusal("0x3BC", noport) &&
            boxes[3].text == refusal("0x378", nodevice))
            std::exit(0);
        for (const auto& b : boxes) std::fprintf(stderr, "box: %s\n", b.text.c_str());
        for (const auto& l : seen) std::fprintf(stderr, "seen: %s\n", l.c_str());
        std::exit(1);
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
}

// Another run holds the simulated chip's file: the window comes up all the
// same, on a copy of the chip, and says so in its status list.
TEST_F(Window, ASimulatedChipInUseElsewhereGivesACopyAndALine) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const fs::path file = dir / "chip.txt";
    const int held = ::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    auto run = [&] {
        alarm(30);  // waiting on the lock would hang the window: end it instead
        setenv("QUIBB9X_SIM_FILE", file.c_str(), 1);
        binding::reset();
        binding::chooseLibrary(SIMLIB_PATH);
        auto w = open();
        const auto seen = lines(get<QListWidget>(*w, "List2"));
        const std::vector<std::string> expected = {
            "Welcome to Quibb9x", "Written by the quibb9x developers.",
            "quibb9x: another run is using the simulated chip in " + file.string() +
                "; this window works on a copy of it that is not kept: close the other run and start "
                "this one again to keep what you do"};
        if (seen == expected) std::exit(0);
        for (const auto& l : seen) std::fprintf(stderr, "seen: %s\n", l.c_str());
        std::exit(1);
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
    ::close(held);
    EXPECT_FALSE(fs::exists(file));  // the copy was never saved
}

// ---- Operations on the worker thread ----

// Holds the operation after its n-th wait of 7 ms (two enter programming
// mode, then one per programmed word) until released, so that a test can act
// on the window meanwhile.
struct Hold : platform::Waits {
    platform::Waits& inner = platform::waits();
    int left;  // counted down on the operation's thread
    std::atomic<bool> held{false};
    std::binary_semaphore go{0};
    // Calls of the operation's thread still inside this object: it must not
    // go away under them (the operation may have fetched the waits just
    // before they were restored).
    std::atomic<int> inside{0};
    struct Inside {
        std::atomic<int>& n;
        explicit Inside(std::atomic<int>& count) : n(count) { ++n; }
        ~Inside() { --n; }
    };

    explicit Hold(int n) : left(n) { platform::installWaits(this); }
    ~Hold() override {
        platform::installWaits(&inner);
        go.release();
        while (inside.load() != 0) QCoreApplication::processEvents();
    }
    int64_t nowNs() override {
        Inside in(inside);
        return inner.nowNs();
    }
    void holdUntil(int64_t deadlineNs) override {
        Inside in(inside);
        inner.holdUntil(deadlineNs);
    }
    void sleepMs(int ms) override {
        Inside in(inside);
        inner.sleepMs(ms);
        if (--left != 0) return;
        held = true;
        go.acquire();
    }
    // Turns the event loop until the operation is held (then once more for
    // what it showed before) or over.
    bool reached(const MainWindow& w) {
        while (!held && w.busy()) QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return held;
    }
};

struct Operations : Window {
    std::unique_ptr<MainWindow> w;

    void SetUp() override {
        Window::SetUp();
        w = open();
        get<QRadioButton>(*w, "Option5")->click();
        load(FIXTURE_DIR "/c84_full_inhx32.hex");  // every word in use
    }
    void load(const std::string& path) { files.push_back(path); click("bCargar"); }
    void click(const char* name) { get<QPushButton>(*w, name)->click(); }
    // Presses the button, does `meanwhile` with the operation held after its
    // n-th wait, then lets it end.
    template <typename Fn>
    void during(const char* button, int n, Fn meanwhile) {
        {
            Hold hold(n);
            click(button);
            ASSERT_TRUE(hold.reached(*w));
            meanwhile();
        }
        settle(*w);
    }
    void escape() { QTest::keyClick(w.get(), Qt::Key_Escape); }
    std::vector<std::string> status() { return lines(get<QListWidget>(*w, "List2")); }

    // Programming voltage off, clock and data low: data 0x01, then control 0x0F.
    void expectidle() {
        const auto out = sim::writes();
        ASSERT_GE(out.size(), 2u);
        EXPECT_EQ(out.rbegin()[1].port * 256 + out.rbegin()[1].value, 0x27801);
        EXPECT_EQ(out.back().port * 256 + out.back().value, 0x27A0F);
    }
    void expectburnt(int words) {
        for (int i = 0; i < 1024; ++i)
            ASSERT_EQ(sim::board().read(0, i), i < words ? w->state.progmem[i] : 0x3FFF) << i;
    }
};

// The checksum is c84_full's as the maker's IDE sums it for a 16F84
// (srec_cat and a plain sum of its 1024 words and 0x3FFF-masked word).
const std::vector<std::string> burnsuccess = {
    "SUCCESS!", "Note:For production-grade work,", "     you should now verify the PIC",
    "     at the maximum and minimum", "     values of Vcc.", "Checksum: 0x2814"};
// The same lines after another file: its sum, and the chip's where a gap of
// the file was burnt as 0 (both summed apart, in Python, from the files).
std::vector<std::string> burnsuccessof(std::vector<std::string> checksums) {
    std::vector<std::string> lines(burnsuccess.begin(), burnsuccess.end() - 1);
    lines.insert(lines.end(), checksums.begin(), checksums.end());
    return lines;
}

TEST_F(Operations, DuringABurnTheWindowLivesAndKeepsNoInputForLater) {
    const char* locked[] = {"bCargar", "bhex", "bbin", "bProgramar", "bverificar", "bBorrar",
                            "bbuscar", "bTestear", "Command1", "Option1", "Option5", "Option6",
                            "text_port", "C0", "cCP", "OSC2"};
    get<QRadioButton>(*w, "Option6")->click();  // the port box enabled
    get<QLineEdit>(*w, "text_port")->setText("278");
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(w.get(), Qt::Key_E, Qt::AltModifier);  // idle: asks (a moment later)
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.empty(); }));
    settle(*w);
    EXPECT_EQ(boxes[0].title, "*ERASE*");
    boxes.clear();
    during("bProgramar", 100, [&] {  // word 97
        for (const char* name : locked) EXPECT_FALSE(get<QWidget>(*w, name)->isEnabled()) << name;
        EXPECT_EQ(status(), (std::vector<std::string>{"Program memory: ", "Programming..."}));
        EXPECT_EQ(get<QProgressBar>(*w, "ProgressBar1")->value(), 97);
        QTest::keyClick(w.get(), Qt::Key_E, Qt::AltModifier);
        QTest::mouseClick(get<QPushButton>(*w, "bbuscar"), Qt::LeftButton);
        QTest::keyClick(w.get(), Qt::Key_A, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return w->aboutWindow() && w->aboutWindow()->isVisible(); }));
    });
    EXPECT_FALSE(QTest::qWaitFor([&] { return !boxes.empty() || w->busy(); }, 300));
    EXPECT_EQ(status(), burnsuccess);
    expectburnt(1024);
    for (const char* name : locked) EXPECT_TRUE(get<QWidget>(*w, name)->isEnabled()) << name;
}

// The window's bar steps are handed over as a sleep begins, and waking the
// window's thread may cost the worker the processor: each sleep counts from
// a clock reading taken before the hand-over (the hand-over reads the clock
// too). The clock here runs one nanosecond further at each reading, so a
// reading taken after the hand-over would be the last one.
TEST_F(Operations, EachWordsSleepCountsFromBeforeTheBarStepIsHandedOver) {
    struct Readings : platform::Waits {
        platform::Waits& inner = platform::waits();
        std::atomic<int64_t> reads{0}, last{0};
        std::atomic<int> plain{0}, beforehandover{0};
        Readings() { platform::installWaits(this); }
        ~Readings() override { platform::installWaits(&inner); }
        int64_t nowNs() override { return last = inner.nowNs() + ++reads; }
        void holdUntil(int64_t deadlineNs) override { inner.holdUntil(deadlineNs - reads); }
        void sleepMs(int ms) override { ++plain; inner.sleepMs(ms); }
        void sleepMsSince(int64_t sinceNs, int ms) override {
            beforehandover += sinceNs < last;
            inner.sleepMs(ms);
        }
    } readings;
    click("bProgramar");
    settle(*w);
    EXPECT_EQ(readings.plain, 0);
    EXPECT_GE(readings.beforehandover, 1024);
    EXPECT_EQ(status(), burnsuccess);
    expectburnt(1024);
    EXPECT_EQ(sim::board().timingFaults(), 0);
}

TEST_F(Operations, EscapeStopsABurnAtTheNextWordAndTheNextBurnCompletes) {
    during("bProgramar", 100, [&] { escape(); });  // in word 97's programming cycle
    expectidle();
    EXPECT_EQ(status(), (std::vector<std::string>{"Program memory: ", "Programming...", "**STOPPED**"}));
    EXPECT_TRUE(boxes.empty());
    expectburnt(98);
    EXPECT_EQ(sim::board().timingFaults(), 0);  // no cycle cut short

    click("bProgramar");
    settle(*w);
    EXPECT_EQ(status(), burnsuccess);
    expectburnt(1024);
    EXPECT_EQ(sim::board().read(2, 0), w->state.configmem[0]);
}

TEST_F(Operations, ClosingOrDestroyingDuringABurnStopsItFirst) {
    w->show();
    during("bProgramar", 100, [&] { EXPECT_FALSE(w->close()); });
    EXPECT_FALSE(w->isVisible());
    expectidle();
    EXPECT_EQ(status().back(), "**STOPPED**");
    {
        Hold hold(100);
        click("bProgramar");
        ASSERT_TRUE(hold.reached(*w));
    }
    w.reset();
    expectidle();
}

// The window torn down while an operation waits on its question: the erase
// question counts as No (nothing erased), a box after a failed word as seen;
// either way the board ends idle.
TEST_F(Operations, TornDownDuringEachQuestion) {
    click("bProgramar");
    settle(*w);
    ASSERT_EQ(status(), burnsuccess);
    const int word0 = sim::board().read(0, 0);
    // The erase question: the worker is left waiting for it (no event is
    // processed, so the box is never shown) and the window goes.
    sim::board().logClear();
    sim::board().eventClear();
    click("bBorrar");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    w.reset();
    // The question comes before the port is touched: Vpp never rose.
    for (const auto& write : sim::writes()) {
        if (write.port == 0x27A) {
            EXPECT_EQ(write.value & 0x04, 0x04);
        }
    }
    EXPECT_EQ(sim::board().inProgrammingMode(), 0);
    EXPECT_EQ(sim::board().read(0, 0), word0);
    for (const int command : sim::commands()) EXPECT_NE(command, 9) << "an erase was sent";
    EXPECT_TRUE(boxes.empty());

    // The mismatch box of a burn into a protected chip.
    w = open();
    get<QRadioButton>(*w, "Option5")->click();
    load(FIXTURE_DIR "/c84_full_inhx32.hex");
    sim::board().setProtected(1);
    boxes.clear();
    click("bProgramar");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    w.reset();
    expectidle();
    EXPECT_EQ(sim::board().inProgrammingMode(), 0);
}

// SIGTERM or Ctrl-C closes the window as the person would: the burn stops at
// its next word with the board idle, then the window goes. (In a child
// process: a signal is remembered for the rest of the run.)
TEST_F(Operations, ASignalDuringABurnStopsItThenClosesTheWindow) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto run = [&] {
        stop::catchsignals();
        w->show();
        during("bProgramar", 100, [&] { std::raise(SIGTERM); });
        for (int i = 0; i < 100 && w->isVisible(); ++i) QTest::qWait(20);
        expectidle();
        std::exit(!w->isVisible() && !HasFailure() && status().back() == "**STOPPED**" ? 0 : 1);
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
}

TEST_F(Operations, AnImageBeyondTheDeviceIsRefusedBeforeThePort) {
    get<QRadioButton>(*w, "Option3")->click();  // 512 words, for a 1024-word image
    for (const char* button : {"bProgramar", "bverificar"}) {
        boxes.clear();
        sim::board().logClear();
        click(button);
        EXPECT_FALSE(w->busy());
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Invalid address: 0x3FF");
        EXPECT_EQ(boxes[0].title, "");
        EXPECT_TRUE(sim::accesses().empty());
    }
    load(FIXTURE_DIR "/f83_top_inhx32.hex");  // loaded for the 16F83: fits
    click("bProgramar");
    settle(*w);
    EXPECT_EQ(status(), burnsuccessof({"Checksum: 0x137A", "Chip's checksum: 0xD567"}));
}

TEST_F(Operations, AStoppedDumpLeavesNoFile) {
    w->state.tempfile = (dir / "quibb.tmp").string();
    for (const char* button : {"bbin", "bhex"}) {
        files.push_back((dir / "chip.dump").string());
        // After the protection check's two waits: program memory read,
        // entering for the data.
        during(button, 5, [&] { escape(); });
        expectidle();
        EXPECT_EQ(status().back(), "**STOPPED**") << button;
        EXPECT_TRUE(boxes.empty());
        EXPECT_TRUE(fs::is_empty(dir)) << button;
        EXPECT_FALSE(get<QPushButton>(*w, "bProgramar")->isEnabled());  // as after any dump
    }
}

// The window's own boxes open below the status list, which shows every line
// of each test.
TEST_F(Operations, TheBoardTestsBoxesLeaveItsLinesInView) {
    auto real = std::make_unique<MainWindow>();
    real->show();
    auto* list = get<QListWidget>(*real, "List2");
    int answered = 0;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        EXPECT_FALSE(box->frameGeometry().intersects(QRect(list->mapToGlobal(QPoint(0, 0)), list->size())));
        list->doItemsLayout();
        for (int i = 0; i < list->count(); ++i)
            EXPECT_TRUE(list->viewport()->rect().contains(list->visualItemRect(list->item(i))))
                << text(list->item(i)->text());
        ++answered;
        box->button(QMessageBox::Ok)->click();
    });
    answer.start(5);
    get<QPushButton>(*real, "bTestear")->click();
    settle(*real);
    EXPECT_EQ(answered, 5);
    EXPECT_EQ(real->windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint),
              Qt::WindowMinimizeButtonHint);
}

// ---- Checks before an operation ----

// Words 0 and 4 to 7, a gap at 1 to 3, no configuration word.
const char* const gapped = ":020000000528D1\n:08000800090083168601831232\n:00000001FF\n";

// After a full file, a short one: Burn writes its gaps as 0 and nothing of
// the first file (whose configuration word it asks about first).
TEST_F(Operations, ASecondLoadBurnsNoWordOfTheFirst) {
    std::ofstream(dir / "gapped.hex") << gapped;
    load((dir / "gapped.hex").string());
    answers.push_back(Answer::Yes);
    click("bProgramar");
    settle(*w);
    ASSERT_FALSE(boxes.empty());
    EXPECT_NE(boxes[0].text.find(" is left from an earlier HEX file: "), std::string::npos);
    EXPECT_EQ(status(), burnsuccessof({"Checksum: 0x4E9E", "Chip's checksum: 0x8EA1"}));
    for (int i : {1, 2, 3}) EXPECT_EQ(w->state.progmem[i], 0);
    expectburnt(8);
    EXPECT_EQ(sim::board().read(1, 0), 0x3FFF);  // no ID word
    EXPECT_EQ(sim::board().read(3, 0), 0xFF);    // no data byte
}

// The start-up word 0x0000 would protect the chip: Burn asks first; No sends
// nothing to the port, Yes burns. A word from the settings file, the file or
// an edit is burnt without a question.
TEST_F(Window, BurnAsksBeforeAConfigurationWordThatNobodyChose) {
    std::ofstream(dir / "gapped.hex") << gapped;
    const std::string blink = FIXTURE_DIR "/f84_blink_inhx32.hex", gaps = (dir / "gapped.hex").string();
    const struct { const char* ini; std::string file; bool edit; int16_t burnt; } ways[] = {
        {"", gaps, false, 0}, {"[OPTIONS]\nLPT= 632\nCWORD= 16371\n", gaps, false, 0x3FF3},
        {"", blink, false, 0x3FF1}, {"", gaps, true, 0x0001}};
    for (const auto& way : ways) {
        fs::remove(dir / "quibb9x.ini");
        if (*way.ini) settings(way.ini);
        sim::useSimulatedBoard();
        boxes.clear();
        auto w = open();
        get<QRadioButton>(*w, "Option5")->click();
        files.push_back(way.file);
        get<QPushButton>(*w, "bCargar")->click();
        if (way.edit) doubleclick(get<QLabel>(*w, "C0"));
        const bool asks = way.burnt == 0;
        if (asks) {
            sim::board().logClear();
            answers.push_back(Answer::No);
            get<QPushButton>(*w, "bProgramar")->click();
            EXPECT_FALSE(w->busy());
            EXPECT_TRUE(sim::accesses().empty());
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].title, "CONFIGURATION WORD?");
            EXPECT_EQ(boxes[0].buttons, Buttons::YesNo);
            EXPECT_EQ(boxes[0].text,
                      "quibb9x: the configuration word 0x0000 is the editor's start-up word: neither "
                      "the HEX file nor the settings file gives one, and it has not been edited. "
                      "Burnt, it turns code protection on (the chip then reads as zeros until it is "
                      "erased) and selects the LP oscillator.\n\nBurn it all the same? To burn "
                      "another word, answer No and set it under \"Configuration Word:\" (\"Save "
                      "Settings\" keeps it for the next start), or load a HEX file that has one.");
            answers.push_back(Answer::Yes);
        }
        get<QPushButton>(*w, "bProgramar")->click();
        settle(*w);
        EXPECT_EQ(boxes.size(), asks ? 2u : 0u) << way.file;
        EXPECT_EQ(lines(get<QListWidget>(*w, "List2"))[0], "SUCCESS!") << way.file;
        EXPECT_EQ(sim::board().read(2, 0), way.burnt) << way.file;
    }
}

// With no board, Burn, Verify and the dumps refuse with a box naming the
// port, the programming voltage never on; a dump of a protected chip refuses
// after reading its configuration word. No file, Burn and Verify as they were.
TEST_F(Operations, WithNoBoardOrAProtectedChipNothingStartsAndNoFileIsWritten) {
    w->state.tempfile = (dir / "quibb.tmp").string();
    const std::string noboard = "quibb9x: no board answers at port 0x278; check the port chosen under "
                                "\"Select the LPT:\", the cable and the board's power. ";
    const std::string closed = "quibb9x: the chip is code-protected (configuration word 0x000F): its "
                               "memory reads as zeros, so no file was written. Only \"Erase\" lifts "
                               "the protection, and it clears the chip.";
    const struct { const char* button; bool board; std::string box; } cases[] = {
        {"bProgramar", false, "NO BOARD!" + noboard + "Nothing was burnt."},
        {"bverificar", false, "NO BOARD!" + noboard + "Nothing was verified."},
        {"bhex", false, "NO BOARD!" + noboard + "No file was written."},
        {"bbin", false, "NO BOARD!" + noboard + "No file was written."},
        {"bhex", true, "PROTECTED!" + closed}, {"bbin", true, "PROTECTED!" + closed}};
    for (const auto& c : cases) {
        sim::board().setBoard(c.board);
        sim::board().setProtected(c.board);
        sim::board().logClear();
        sim::board().eventClear();
        boxes.clear();
        files = {(dir / "chip.dump").string()};
        click(c.button);
        settle(*w);
        ASSERT_EQ(boxes.size(), 1u) << c.button;
        EXPECT_EQ(boxes[0].title + boxes[0].text, c.box);
        EXPECT_TRUE(fs::is_empty(dir)) << c.button;
        EXPECT_TRUE(get<QPushButton>(*w, "bProgramar")->isEnabled());
        // Only the configuration word is read from the protected chip.
        const std::vector<int> configread = {0, 6, 6, 6, 6, 6, 6, 6, 4};
        EXPECT_EQ(sim::commands(), c.board ? configread : std::vector<int>{}) << c.button;
        for (const auto& a : sim::writes()) EXPECT_FALSE(!c.board && a.port == 0x27A && !(a.value & 0x04));
    }
}

// A hang-up, SIGQUIT or a write to a closed output during a burn stops it
// like SIGTERM: board idle, capture finished, window closed, 128 + n to come.
TEST_F(Operations, AHangUpQuitOrClosedOutputDuringABurnStopsItAndFinishesTheCapture) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const int number : {SIGHUP, SIGQUIT, SIGPIPE}) {
        auto run = [&] {
            stop::catchsignals();
            const std::string vcd = (dir / "lines.vcd").string();
            std::string why;
            if (!capture::open(vcd, why)) std::exit(2);
            w->show();
            during("bProgramar", 100, [&] {
                int ends[2];
                if (number != SIGPIPE) std::raise(number);
                else if (pipe(ends) != 0 || close(ends[0]) != 0 || write(ends[1], "x", 1) != -1)
                    std::exit(3);
            });
            for (int i = 0; i < 100 && w->isVisible(); ++i) QTest::qWait(20);
            expectidle();
            if (!capture::close(why)) std::exit(4);
            std::ifstream in(vcd);
            std::string line, last, vpp;
            while (std::getline(in, line)) {
                if (line == "0v" || line == "1v") vpp = line;
                last = line;
            }
            std::exit(!w->isVisible() && !HasFailure() && last[0] == '#' && vpp == "0v" &&
                      status().back() == "**STOPPED**" && stop::exitstatus() == 128 + number ? 0 : 1);
        };
        EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "") << number;
    }
}

}  // namespace

// The original chips' programming time: from the settings file or --tprog to
// every wait of a Burn, back into the file by Save Settings, locked while an
// operation runs and out of sight for a chip that keeps its own times.
TEST_F(Window, TheProgrammingTimeGoesFromSettingsToEveryWaitAndBack) {
    settings("[OPTIONS]\nPIC= 1\nLPT= 632\nCWORD= 16383\nTPROG= 12\n");
    auto w = open();
    auto* spin = get<QSpinBox>(*w, "spinTprog");
    EXPECT_EQ(spin->value(), 12);
    EXPECT_EQ(w->state.tprog, 12);
    EXPECT_TRUE(spin->isVisibleTo(w.get()));

    files.push_back(FIXTURE_DIR "/c84_blink_inhx32.hex");
    get<QPushButton>(*w, "bCargar")->click();
    sim::clearWaits();
    get<QPushButton>(*w, "bProgramar")->click();
    EXPECT_FALSE(spin->isEnabled());  // the worker reads the time
    settle(*w);
    EXPECT_TRUE(spin->isEnabled());
    ASSERT_FALSE(sim::sleeps().empty());
    EXPECT_EQ(sim::sleeps(), std::vector<int>(sim::sleeps().size(), 12));

    spin->setValue(20);
    EXPECT_EQ(w->state.tprog, 20);
    get<QPushButton>(*w, "Command1")->click();
    EXPECT_NE(inifile().find("TPROG= 20\n"), std::string::npos);

    Overrides o;
    o.tprog = 9;
    auto overridden = open(o);
    EXPECT_EQ(get<QSpinBox>(*overridden, "spinTprog")->value(), 9);
    EXPECT_EQ(overridden->state.tprog, 9);

    auto* chips = get<QComboBox>(*w, "comboChip");
    chips->setCurrentIndex(chips->findText("PIC 16F628A"));
    EXPECT_FALSE(spin->isVisibleTo(w.get()));
    EXPECT_TRUE(get<QPushButton>(*w, "bFields")->isVisibleTo(w.get()));
}
