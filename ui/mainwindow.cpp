// SPDX-License-Identifier: GPL-2.0-or-later
#include "mainwindow.h"

#include <algorithm>
#include <sstream>

#include <QCheckBox>
#include <QSpinBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionButton>
#include <QThread>
#include <QTimer>

#include "core/binding.h"
#include "core/platform.h"
#include "core/startup.h"
#include "core/stop.h"
#include "devices/select.h"
#include "image/checksum.h"
#include "image/dumps.h"
#include "image/hexreader.h"
#include "image/image.h"
#include "operations/boardcheck.h"
#include "operations/erase.h"
#include "operations/portcheck.h"
#include "operations/program.h"
#include "operations/readiness.h"
#include "ui/aboutwindow.h"
#include "ui/bitbox.h"
#include "settings/configfields.h"
#include "settings/settings.h"


namespace {

const QColor lightgrey(0xE0, 0xE0, 0xE0);
const QColor darkblue(0x00, 0x00, 0x80);

// Positions are kept in twips as the layout was drawn: 15 twips a pixel.
QRect twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

QString qs(const std::string& text) { return QString::fromStdString(text); }

// A file name is bytes, the box shows text: a name that is not valid UTF-8 is
// kept as it was beside the box, so that saving the settings writes it back
// unchanged.
void setfilename(QLineEdit* box, const std::string& name) {
    box->setText(qs(name));
    box->setProperty("bytes", QByteArray::fromStdString(name));
}

std::string filename(const QLineEdit* box) {
    const std::string bytes = box->property("bytes").toByteArray().toStdString();
    // The kept bytes count only while the box still shows them.
    return qs(bytes) == box->text() ? bytes : box->text().toStdString();
}

void setbase(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::Base, colour);
    w->setPalette(p);
}

// A fixed-pitch face with a tight line height, so that the status list shows
// the board test's seven lines without scrolling; else the system's own.
QFont fixedfont(int points, bool bold) {
    QFont f = QFontDatabase::hasFamily("DejaVu Sans Mono")
                  ? QFont("DejaVu Sans Mono")
                  : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setStyleHint(QFont::Monospace);
    f.setPointSize(points);
    f.setBold(bold);
    f.setStretch(QFont::Unstretched);  // not the window's condensed captions
    return f;
}

// The captions were laid out for a small sans-serif face; a condensed face
// comes closest to its widths.
QFont captionfont() {
    QFont f("DejaVu Sans");
    f.setStyleHint(QFont::SansSerif);
    f.setStretch(QFont::Condensed);
    f.setPointSizeF(7.5);
    return f;
}

// The room a button's caption has inside the control, as the style draws it.
int captionroom(QAbstractButton* b) {
    QStyleOptionButton opt;
    opt.initFrom(b);
    opt.rect = b->rect();
    opt.text = b->text();
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    if (qobject_cast<QCheckBox*>(b)) contents = QStyle::SE_CheckBoxContents;
    if (qobject_cast<QRadioButton*>(b)) contents = QStyle::SE_RadioButtonContents;
    return b->style()->subElementRect(contents, &opt, b).width();
}

int captionwidth(QAbstractButton* b, const QFont& f) {
    return QFontMetrics(f).horizontalAdvance(QString(b->text()).remove('&'));
}

// Controls keep their drawn sizes; where a caption would be clipped, the
// whole group gets the largest slightly smaller font at which every caption
// fits, so neighbours still match.
void fitcaptions(const std::vector<QAbstractButton*>& group) {
    QFont f = group.front()->font();
    for (double size = f.pointSizeF(); size >= 5.0; size -= 0.25) {
        f.setPointSizeF(size);
        bool fits = true;
        for (QAbstractButton* b : group) fits = fits && captionwidth(b, f) <= captionroom(b);
        if (fits) break;
    }
    for (QAbstractButton* b : group) b->setFont(f);
}

template <typename W>
W* place(W* w, const char* name, const QRect& where, const char* tip = nullptr) {
    w->setObjectName(name);
    w->setGeometry(where);
    if (tip) w->setToolTip(tip);
    return w;
}

QGroupBox* frame(QWidget* parent, const char* name, const char* caption, const QRect& where,
                 const char* tip = nullptr) {
    return place(new QGroupBox(caption, parent), name, where, tip);
}

QPushButton* button(QWidget* parent, const char* name, const char* caption, const QRect& where,
                    const char* tip) {
    auto* b = place(new QPushButton(caption, parent), name, where, tip);
    b->setAutoDefault(false);
    return b;
}

QRadioButton* option(QWidget* parent, const char* name, const char* caption, const QRect& where) {
    return place(new QRadioButton(caption, parent), name, where);
}

// A message box that opens below the status list instead of over it, so
// the lines it asks about (the board test's instructions) stay in view.
class BoxBelow : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    QPointer<QWidget> list;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);  // the box has its final size now
        if (!list) return;
        // The window manager puts its title bar above the position given;
        // the main window's shows how tall it is.
        const QWidget* main = list->window();
        const int titlebar = main->geometry().top() - main->frameGeometry().top();
        QPoint at(main->frameGeometry().center().x() - width() / 2,
                  list->mapToGlobal(QPoint(0, list->height())).y() + 8 + titlebar);
        if (const QScreen* screen = list->screen()) {
            const QRect room = screen->availableGeometry();
            at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - width())));
            at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - height())));
        }
        move(at);
    }
};

}  // namespace

// A box the operation asked for, with the person's answer once given.
struct MainWindow::PendingBox {
    std::string text;
    std::string title;
    Buttons buttons;
    Answer answer = Answer::Ok;
    bool answered = false;
};

MainWindow::MainWindow(const Overrides& overrides, QWidget* parent) : QWidget(parent) {
    askBox = [this](const std::string& text, const std::string& title, Buttons buttons) {
        BoxBelow box(QMessageBox::NoIcon, qs(title.empty() ? "quibb9x" : title), qs(text),
                     buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                               : QMessageBox::Ok,
                     this);
        box.list = List2;
        const int answer = box.exec();
        if (buttons == Buttons::Ok) return Answer::Ok;
        return answer == QMessageBox::Yes ? Answer::Yes : Answer::No;
    };
    askFile = [this](const FileRequest& r) -> std::optional<std::string> {
        QFileDialog dialog(this, qs(r.title));
        dialog.setAcceptMode(r.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(r.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog.setNameFilter(qs(r.filter));
        dialog.setDefaultSuffix(qs(r.suffix));
        if (!r.proposed.empty() && r.proposed.find('*') == std::string::npos)
            dialog.selectFile(qs(r.proposed));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().first().toStdString();
    };

    buildcalibrationbox();

    buildwidgets();
    connecthandlers();
    const std::string boardline = takeboard(overrides.board);
    Form_Load(overrides);
    applyoverrides(overrides);
    nocheck = overrides.nocheck;
    if (overrides.simulate && !overrides.port && state.portaddr == 0) takesimulatedport();
    if (!boardline.empty()) statusAdd(boardline);

    // SIGTERM (a logout, a kill), SIGHUP (the terminal went away), SIGQUIT,
    // SIGPIPE (a closed output) or Ctrl-C in the terminal that started the
    // window: close as the person would, so a running operation stops at its
    // next word and the programming voltage goes off first.
    auto* signalwatch = new QTimer(this);
    connect(signalwatch, &QTimer::timeout, this, [this] {
        if (stop::signalled()) close();
    });
    signalwatch->start(100);
}

MainWindow::~MainWindow() {
    if (!busy()) return;
    // An operation still running is stopped at its next word; a box it
    // waits on is answered for it, since nobody can any more.
    stop::request();
    {
        const std::lock_guard<std::mutex> lock(boxmutex);
        abandoned = true;
    }
    boxanswered.notify_all();
    worker.join();
}

void MainWindow::buildwidgets() {
    setObjectName("Form1");
    setWindowTitle("-=ZAV's=- QUIBB for Windows");
    setFixedSize(9480 / 15, 6420 / 15);
    // A window of fixed size has nothing to maximize.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(captionfont());

    Frame4 = frame(this, "Frame4", "Load:", twips(120, 0, 1335, 855));
    bCargar = button(Frame4, "bCargar", "&HEX", twips(120, 360, 495, 375), "Load File In Hex Format.");
    Command2 = button(Frame4, "Command2", "B&IN", twips(720, 360, 495, 375), "Load Raw BIN File.");
    Command2->setEnabled(false);  // there is no loader for raw BIN files

    Frame5 = frame(this, "Frame5", "Save (Dump) :", twips(1440, 0, 1335, 855));
    bhex = button(Frame5, "bhex", "HE&X", twips(120, 360, 495, 375),
                  "Dump the contents of the Pic, using HEX Format.");
    bbin = button(Frame5, "bbin", "BI&N", twips(720, 360, 495, 375),
                  "Dump the contents of the Pic, using BIN Format.");

    Frame1 = frame(this, "Frame1", "Action:", twips(2760, 0, 6615, 855));
    bProgramar = button(Frame1, "bProgramar", "&Burn!", twips(120, 360, 615, 375), "Burn it up!");
    bverificar = button(Frame1, "bverificar", "&Verify", twips(720, 360, 615, 375),
                        "Verify (Compare) the info programmed in the pic to the file loaded in memory.");
    bBorrar = button(Frame1, "bBorrar", "&Erase", twips(1320, 360, 615, 375),
                     "Erase Pic Micro Memory.  (Resets Protection also).");
    bbuscar = button(Frame1, "bbuscar", "&Check H/W", twips(2640, 360, 615, 375),
                     "Try to detect the programmer.");
    bTestear = button(Frame1, "bTestear", "&Test H/W", twips(3240, 360, 615, 375),
                      "Troubleshoot the hardware. You will need a tester!");
    babout = button(Frame1, "babout", "&About", twips(4920, 360, 735, 375), "About Window.");
    Command1 = button(Frame1, "Command1", "&Save Settings", twips(5640, 360, 855, 375),
                      "Save the Settings to the INI file.");

    text_filename = place(new QLineEdit(this), "text_filename", twips(120, 960, 5295, 315));
    setbase(text_filename, lightgrey);

    // The lists belong to the window and lie in front of the frame drawn
    // around them.
    Frame7 = frame(this, "Frame7", "", twips(120, 1320, 5295, 4695));
    List2 = place(new QListWidget(this), "List2", twips(240, 1560, 5055, 1680));
    List2->setFont(fixedfont(9, false));
    setbase(List2, lightgrey);
    List3 = place(new QListWidget(this), "List3", twips(240, 3360, 5055, 2460));
    List3->setFont(fixedfont(6, true));
    setbase(List3, lightgrey);
    for (QListWidget* list : {List2, List3}) {
        list->setSelectionMode(QAbstractItemView::NoSelection);
        list->setFocusPolicy(Qt::NoFocus);
    }

    ProgressBar1 = place(new QProgressBar(this), "ProgressBar1", twips(120, 6120, 9255, 255));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    Frame6 = frame(this, "Frame6", "", twips(5520, 960, 3855, 5055));

    Frame3 = frame(this, "Frame3", "Select the &LPT:", twips(5640, 1200, 1815, 1455),
                   "Select the LPT (Printer Port) Address where the hardware is connected.");
    Option4 = option(Frame3, "Option4", "Option4", twips(120, 240, 1575, 195));
    Option5 = option(Frame3, "Option5", "Option5", twips(120, 480, 1575, 195));
    Option6 = option(Frame3, "Option6", "Option6", twips(120, 720, 1575, 195));
    Label1 = place(new QLabel("PORT: 0x", Frame3), "Label1", twips(240, 1080, 855, 255));
    text_port = place(new QLineEdit("278", Frame3), "text_port", twips(960, 1080, 615, 285));
    QPalette menu = text_port->palette();
    menu.setColor(QPalette::Base, palette().color(QPalette::Window));
    text_port->setPalette(menu);

    Frame2 = frame(this, "Frame2", "Select &PicMicro:", twips(7560, 1200, 1695, 1455),
                   "Select the Pic Microcontroller you wish to program.");
    Option1 = option(Frame2, "Option1", "PIC 16C84", twips(120, 240, 1215, 195));
    Option2 = option(Frame2, "Option2", "PIC 16F84", twips(120, 480, 1215, 195));
    Option3 = option(Frame2, "Option3", "PIC 16F83", twips(120, 720, 1215, 195));
    buildchipwidgets();
    buildtprog();

    Frame8 = frame(Frame6, "Frame8", "Configuration &Word:", twips(120, 1920, 3615, 2415),
                   "Set up the configuration Word you wish to use when programming.");
    QFont bitfont("Sans Serif");
    bitfont.setStyleHint(QFont::SansSerif);
    bitfont.setPointSizeF(9.75);
    bitfont.setBold(true);
    bitfont.setStretch(QFont::Unstretched);
    for (int bit = 0; bit < 14; ++bit) {
        const std::string name = "C" + std::to_string(bit);
        const char* tip = originalbittooltip(bit);
        C[bit] = place(new BitBox("0", Frame8), name.c_str(), twips(3240 - 240 * bit, 240, 240, 360), tip);
        C[bit]->setAlignment(Qt::AlignCenter);
        C[bit]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        C[bit]->setFont(bitfont);
        C[bit]->setAutoFillBackground(true);
        QPalette p = C[bit]->palette();
        p.setColor(QPalette::Window, lightgrey);
        p.setColor(QPalette::WindowText, darkblue);
        C[bit]->setPalette(p);
    }
    cCP = place(new QCheckBox("Copy Protection", Frame8), "cCP", twips(120, 720, 1215, 375),
                "Activate Copy Protection Bits");
    cPWRTE = place(new QCheckBox("PWRTE", Frame8), "cPWRTE", twips(1440, 720, 855, 375),
                   "Activate Power-Up Timer Bits");
    cWDTE = place(new QCheckBox("WatchDog Timer", Frame8), "cWDTE", twips(2280, 720, 1095, 375),
                  "Activate Watchdog Timer Bits");
    Frame9 = frame(Frame8, "Frame9", "&OSC:", twips(120, 1200, 3375, 495),
                   "Select the type of oscilator you intend to use on your circuit.");
    const char* osccaptions[4] = {"LP", "XT", "HS", "RC"};
    for (int i = 0; i < 4; ++i) {
        const std::string name = "OSC" + std::to_string(i);
        OSC[i] = option(Frame9, name.c_str(), osccaptions[i], twips(600 * (i + 1), 120, 615, 255));
    }
    Label2 = place(new QLabel("VALUE: 0x", Frame8), "Label2", twips(720, 1920, 855, 255),
                   "The hexadecimal value corresponding to the configuration word.");
    cvalue = place(new QLineEdit(Frame8), "cvalue", twips(1560, 1920, 495, 285));
    cvalue->setReadOnly(true);
    cvalue->setFocusPolicy(Qt::NoFocus);
    showeditor();  // the controls' initial state is the model's

    fitcaptions({bCargar, Command2, bhex, bbin, bProgramar, bverificar, bBorrar, bbuscar,
                 bTestear, babout, Command1});
    fitcaptions({cCP, cPWRTE, cWDTE});
    fitcaptions({OSC[0], OSC[1], OSC[2], OSC[3]});

    // Frames drawn later would hide what lies over them.
    Frame2->raise();
    Frame3->raise();
    List2->raise();
    List3->raise();
}

void MainWindow::connecthandlers() {
    // Option buttons and check boxes report only real changes of state, so a
    // selection made from code runs the same handler as a click, exactly once.
    auto selected = [this](QRadioButton* o, void (MainWindow::*handler)()) {
        connect(o, &QRadioButton::toggled, this, [this, handler](bool on) {
            if (on) (this->*handler)();
        });
    };
    selected(Option1, &MainWindow::Option1_Click);
    selected(Option2, &MainWindow::Option2_Click);
    selected(Option3, &MainWindow::Option3_Click);
    selected(Option4, &MainWindow::Option4_Click);
    selected(Option5, &MainWindow::Option5_Click);
    selected(Option6, &MainWindow::Option6_Click);
    connect(text_port, &QLineEdit::textChanged, this, &MainWindow::text_port_Change);
    connectchiphandlers();
    connect(spinTprog, &QSpinBox::valueChanged, this, &MainWindow::spinTprog_Change);

    for (int bit = 0; bit < 14; ++bit) C[bit]->onDoubleClick = [this, bit] { C_DblClick(bit); };
    for (int i = 0; i < 4; ++i)
        connect(OSC[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) OSC_Click(i);
        });
    connect(cWDTE, &QCheckBox::toggled, this, &MainWindow::cWDTE_Click);
    connect(cPWRTE, &QCheckBox::toggled, this, &MainWindow::cPWRTE_Click);
    connect(cCP, &QCheckBox::toggled, this, &MainWindow::cCP_Click);

    connect(bCargar, &QPushButton::clicked, this, &MainWindow::bCargar_Click);
    connect(bhex, &QPushButton::clicked, this, &MainWindow::bhex_Click);
    connect(bbin, &QPushButton::clicked, this, &MainWindow::bbin_Click);
    connect(bProgramar, &QPushButton::clicked, this, &MainWindow::bProgramar_Click);
    connect(bverificar, &QPushButton::clicked, this, &MainWindow::bverificar_Click);
    connect(bBorrar, &QPushButton::clicked, this, &MainWindow::bBorrar_Click);
    connect(bbuscar, &QPushButton::clicked, this, &MainWindow::bbuscar_Click);
    connect(bTestear, &QPushButton::clicked, this, &MainWindow::bTestear_Click);
    connect(babout, &QPushButton::clicked, this, &MainWindow::babout_Click);
    connect(Command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
}

void MainWindow::Form_Load(const Overrides& overrides) {
    binding::simulatedchipnowait();  // a simulated chip in use elsewhere must not hold the window up
    startup(state);  // the record, and the port's idle state (first port access)
    setWindowTitle(qs("-=ZAV's=- QUIBB for Windows -=Version " + state.version));
    version = state.version;
    text_filename->setEnabled(true);
    text_filename->setReadOnly(true);
    text_port->setEnabled(false);
    Option4->setText("LPT1 (0x378)");
    Option5->setText("LPT2 (0x278)");
    Option6->setText("Other Port:");
    Option2->setChecked(true);
    Option2_Click();
    Option5->setChecked(true);
    enableburn(false);
    GetPort();
    statusAdd("Welcome to Quibb9x");
    statusAdd("Written by the quibb9x developers.");
    if (const std::string copy = binding::simulatedchipcopy(); !copy.empty())
        statusAdd("quibb9x: another run is using the simulated chip in " + copy + "; this window works on "
                  "a copy of it that is not kept: close the other run and start this one again to keep "
                  "what you do");
    load_ini(overrides);
}

// ---- Frontend ----
// Called from the worker thread during an operation, from the window's own
// thread otherwise (the HEX load, the device check before Burn).

void MainWindow::onwindow(std::function<void()> call) {
    if (QThread::currentThread() == thread())
        call();
    else
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void MainWindow::statusClear() {
    flushprogress();
    onwindow([this] { List2->clear(); });
    // The chip "Auto" found stays named over the operation's clearings.
    if (!chipline.empty()) statusAdd(chipline);
}
void MainWindow::statusAdd(const std::string& line) {
    flushprogress();
    onwindow([this, line = qs(line)] { List2->addItem(line); });
}
void MainWindow::statusRepaint() {
    flushprogress();
    onwindow([this] { List2->repaint(); });
}
void MainWindow::fileListClear() {
    flushprogress();
    onwindow([this] { List3->clear(); });
}
void MainWindow::fileListAdd(const std::string& line) {
    flushprogress();
    onwindow([this, line = qs(line)] { List3->addItem(line); });
}
void MainWindow::progressMax(int maximum) { holdprogress(maximum, std::nullopt); }
void MainWindow::progressValue(int value) { holdprogress(std::nullopt, value); }
void MainWindow::windowRepaint() {
    flushprogress();
    onwindow([this] { repaint(); });
}

// A burn moves the bar once a word. Carried to the window at once, each step
// would wake the window's thread in the middle of the word's bit traffic,
// and the repaint would take the processor from the worker (the scheduler
// puts a thread it wakes beside the one that woke it): about 1 % of a burn.
// So the steps wait for the worker's next sleep, which the window's thread
// may then fill, or for the operation's next other call; only the latest
// maximum and value count. A pass without sleeps (Verify, a dump) still
// sends them every 20 ms.
class MainWindow::ProgressWaits : public platform::Waits {
public:
    explicit ProgressWaits(MainWindow& w) : w_(w), inner_(platform::waits()) {
        platform::installWaits(this);
    }
    ~ProgressWaits() override {
        // Unless whoever installed the waits before has taken them back.
        if (&platform::waits() == this)
            platform::installWaits(&inner_ == &platform::realWaits() ? nullptr : &inner_);
    }
    int64_t nowNs() override { return inner_.nowNs(); }
    void holdUntil(int64_t deadlineNs) override { inner_.holdUntil(deadlineNs); }
    // The sleep counts from before the hand-over: the woken window's thread
    // still takes the processor from the worker for the repaint's length
    // (about 70 µs, a thousand times in a burn, 1 % again), and that time
    // is part of the chip's programming cycle.
    void sleepMs(int milliseconds) override {
        const int64_t since = inner_.nowNs();
        w_.flushprogress();
        inner_.sleepMsSince(since, milliseconds);
    }
    void sleepMsSince(int64_t sinceNs, int milliseconds) override {
        w_.flushprogress();
        inner_.sleepMsSince(sinceNs, milliseconds);
    }

private:
    MainWindow& w_;
    platform::Waits& inner_;
};

void MainWindow::holdprogress(std::optional<int> maximum, std::optional<int> value) {
    if (QThread::currentThread() == thread()) {
        if (maximum) ProgressBar1->setMaximum(*maximum);
        if (value) ProgressBar1->setValue(*value);
        return;
    }
    constexpr int64_t livelyNs = 20'000'000;
    if (maximum) flushprogress();  // what was held for the old maximum goes first
    bool due = false;
    {
        const std::lock_guard<std::mutex> lock(progressmutex);
        if (maximum) pendingmaximum = maximum;
        if (value) pendingvalue = value;
        due = platform::waits().nowNs() - progresssentNs >= livelyNs;
    }
    if (due) flushprogress();
}

void MainWindow::flushprogress() {
    if (QThread::currentThread() == thread()) return;
    std::optional<int> maximum, value;
    {
        const std::lock_guard<std::mutex> lock(progressmutex);
        maximum.swap(pendingmaximum);
        value.swap(pendingvalue);
        if (!maximum && !value) return;
        progresssentNs = platform::waits().nowNs();
    }
    QMetaObject::invokeMethod(
        this,
        [this, maximum, value] {
            if (maximum) ProgressBar1->setMaximum(*maximum);
            if (value) ProgressBar1->setValue(*value);
        },
        Qt::QueuedConnection);
}

// The operation waits for the answer, as it would for a box of its own.
Answer MainWindow::message(const std::string& text, const std::string& title, Buttons buttons) {
    if (QThread::currentThread() == thread()) return askBox(text, title, buttons);
    flushprogress();
    auto box = std::make_shared<PendingBox>(PendingBox{text, title, buttons});
    QMetaObject::invokeMethod(this, [this, box] { showpendingbox(box); }, Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(boxmutex);
    boxanswered.wait(lock, [&] { return box->answered || abandoned; });
    if (box->answered) return box->answer;
    return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
}

void MainWindow::showpendingbox(const std::shared_ptr<PendingBox>& box) {
    const Answer answer = askBox(box->text, box->title, box->buttons);
    {
        const std::lock_guard<std::mutex> lock(boxmutex);
        box->answer = answer;
        box->answered = true;
    }
    boxanswered.notify_all();
}

// ---- Device and port ----

void MainWindow::Option1_Click() { setoriginal(1); }
void MainWindow::Option2_Click() { setoriginal(2); }
void MainWindow::Option3_Click() { setoriginal(3); }

void MainWindow::Option4_Click() {
    text_port->setEnabled(false);
    GetPort();
}
void MainWindow::Option5_Click() {
    text_port->setEnabled(false);
    GetPort();
}
void MainWindow::Option6_Click() {
    text_port->setEnabled(true);
    GetPort();
}

void MainWindow::GetPort() {
    if (Option4->isChecked()) {
        state.portaddr = LPT1;
    } else if (Option5->isChecked()) {
        state.portaddr = LPT2;
    } else if (Option6->isChecked()) {
        // Five or more significant digits do not fit: the address stays.
        if (auto addr = readhex16(text_port->text().toStdString())) state.portaddr = *addr;
    }
}

void MainWindow::text_port_Change() {
    if (auto addr = readhex16(text_port->text().toStdString())) state.portaddr = *addr;
}

// ---- Configuration word editor ----

void MainWindow::C_DblClick(int index) {
    wordfrom = WordFrom::edit;
    editor.C_DblClick(state, index);
    showeditor();
}
void MainWindow::OSC_Click(int index) {
    wordfrom = WordFrom::edit;
    editor.OSC_Click(state, index);
    showeditor();
}
void MainWindow::cWDTE_Click() {
    wordfrom = WordFrom::edit;
    editor.cWDTE_Click(state, cWDTE->isChecked());
    showeditor();
}
void MainWindow::cPWRTE_Click() {
    wordfrom = WordFrom::edit;
    editor.cPWRTE_Click(state, cPWRTE->isChecked());
    showeditor();
}
void MainWindow::cCP_Click() {
    wordfrom = WordFrom::edit;
    editor.cCP_Click(state, cCP->isChecked());
    showeditor();
}
void MainWindow::updateC() {
    editor.updateC(state);
    showeditor();
}

void MainWindow::showeditor() {
    // The model has already run every handler that a change calls for; the
    // widgets only follow it, with their signals held back.
    for (int bit = 0; bit < 14; ++bit) C[bit]->setText(QString(QChar(editor.C[bit])));
    cvalue->setText(qs(editor.cvalue));
    const QSignalBlocker o0(OSC[0]), o1(OSC[1]), o2(OSC[2]), o3(OSC[3]);
    if (editor.osc >= 0) {
        OSC[editor.osc]->setChecked(true);  // the others clear themselves
    } else {
        // A mode none of the four options stands for: none is selected.
        for (QRadioButton* o : OSC) o->setAutoExclusive(false);
        for (QRadioButton* o : OSC) o->setChecked(false);
        for (QRadioButton* o : OSC) o->setAutoExclusive(true);
    }
    const QSignalBlocker h1(cCP), h2(cPWRTE), h3(cWDTE);
    cCP->setChecked(editor.cCP);
    cPWRTE->setChecked(editor.cPWRTE);
    cWDTE->setChecked(editor.cWDTE);
}

// ---- Buttons ----

void MainWindow::enableburn(bool on) {
    bProgramar->setEnabled(on);
    bverificar->setEnabled(on);
}

void MainWindow::bCargar_Click() {
    FileRequest r;
    r.title = "Open HEX File";
    r.proposed = text_filename->text().isEmpty() ? "*.hex" : filename(text_filename);
    r.filter = "*.hex";
    r.suffix = "hex";
    const auto name = askFile(r);
    if (!name) return;  // cancelled: nothing changes
    setfilename(text_filename, *name);
    if (loadhexfile(state, *this, *name)) {
        enableburn(true);
        givenwords = ::givenwords(*name, 4096);
        // A word left from an earlier file is no longer the file's choice.
        if (state.configused != 0) wordfrom = WordFrom::file;
        else if (wordfrom == WordFrom::file) wordfrom = WordFrom::earlierfile;
        updateC();
    } else {
        enableburn(false);
    }
}

void MainWindow::bbin_Click() { dump({true, "SAVE BIN", "", "*.bin", "bin"}, &save_bin); }
void MainWindow::bhex_Click() { dump({true, "SAVE HEX", "", "*.hex", "hex"}, &save_hex); }

// A dump that cannot read the chip refuses before programming mode and
// writes no file; Burn and Verify are left as they were then.
// The sum the maker's IDE shows for the file, and the chip's where a gap
// the file leaves is burnt as 0 (the original chips).
void MainWindow::checksumlines() {
    // An image that no file gave (a test's) is its own file.
    const uint16_t chip = imagechecksum(state);
    const uint16_t file = givenwords.empty() ? chip : filechecksum(state, givenwords);
    statusAdd("Checksum: " + checksumtext(file));
    if (chip != file) statusAdd("Chip's checksum: " + checksumtext(chip));
}

void MainWindow::dump(const FileRequest& request,
                      bool (*writer)(State&, Frontend&, const ChipReader&, ReadOut&)) {
    const auto name = askFile(request);
    if (!name) return;
    dumped = false;
    runoperation(
        [this, writer, name = *name] {
            if (checksid() && !(boardanswers("No file was written.") &&
                                rightchip("No file was written.")))
                return;
            if (!chipreadable()) return;
            dumped = true;
            state.dumpfile = name;
            ReadOut r;
            if (writer(state, *this, chipreader(state, *this), r))
                statusAdd("Checksum: " + checksumtext(readoutchecksum(currentchip(state), r.chip)));
        },
        [this, before = state.chip] {
            chipchanged(before);
            if (dumped) enableburn(false);
        });
}

// An image loaded while a larger device was selected would wrap round the
// chip's address counter onto its lower words, and each word would still
// read back right just after it was written.
bool MainWindow::imagefits() {
    if (state.progused <= imagewords(state, Region::program)) return true;
    message("Invalid address: 0x" + hexupper(static_cast<uint16_t>(state.progused - 1)), "");
    return false;
}

namespace {

std::string hex4(int16_t word) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(static_cast<uint16_t>(word)));
    return text;
}

const char* const oscillators[4] = {"LP", "XT", "HS", "RC"};

// The characters the status list shows without scrolling.
constexpr size_t statuswidth = 46;

// A note of ours in lines that fit the status list, the later ones indented
// as the production-grade note's are.
std::vector<std::string> wrapped(const std::string& text, size_t width) {
    std::vector<std::string> lines;
    std::string line, word;
    std::istringstream words(text);
    while (words >> word) {
        const std::string indent = lines.empty() ? "" : "     ";
        if (!line.empty() && indent.size() + line.size() + 1 + word.size() > width) {
            lines.push_back(indent + line);
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty()) lines.push_back((lines.empty() ? "" : "     ") + line);
    return lines;
}

// The oscillator a word selects: FOSC1:0 on the original chips, the chip's
// own FOSC field on the others.
std::string oscillatorof(const ChipRow& row, uint16_t word) {
    for (const ConfigField& f : configfields(row))
        if (f.word == 0 && std::string(f.name) == "FOSC")
            if (const auto choice = fieldchoice(f, word))
                return std::string("the oscillator \"") + f.choices[*choice].words + "\"";
    return std::string("the ") + oscillators[word & 3] + " oscillator";
}

}  // namespace

// The start-up word 0x0000 would close the chip: the question names the
// word, what it does and where another one comes from.
bool MainWindow::confirmword() {
    if (wordfrom != WordFrom::startup && wordfrom != WordFrom::earlierfile) return true;
    if (state.configused == 0) return true;  // no configuration word is burnt
    const int16_t word = static_cast<int16_t>(state.configmem[0] & currentchip(state).config(0).mask);
    const std::string from =
        wordfrom == WordFrom::startup
            ? "is the editor's start-up word: neither the HEX file nor the settings file gives "
              "one, and it has not been edited"
            : "is left from an earlier HEX file: neither this file nor the settings file gives "
              "one, and it has not been edited";
    const std::string effect =
        codeprotected(state, word)
            ? "turns code protection on (the chip then reads as zeros until it is erased)"
            : "leaves code protection off";
    const std::string text =
        "quibb9x: the configuration word " + hex4(word) + " " + from + ". Burnt, it " + effect +
        " and selects " + oscillatorof(currentchip(state), static_cast<uint16_t>(word)) +
        ".\n\nBurn it all the same? To burn another word, answer No and set it "
        "under \"Configuration Word:\" (\"Save Settings\" keeps it for the next start), or "
        "load a HEX file that has one.";
    return message(text, "CONFIGURATION WORD?", Buttons::YesNo) == Answer::Yes;
}

bool MainWindow::boardanswers(const std::string& nothing) {
    if (nocheck) return true;
    const auto absent = noboard(state);
    if (!absent) return true;
    noteunreachableport(state, *this);
    std::string text = "quibb9x: " + absent->what;
    if (!absent->undocumented.empty())
        text += " as the board check expects: " + absent->undocumented +
                ". If the board is connected and powered, start quibb9x with --no-check to go "
                "on without the check.";
    else if (!absent->unreachable)
        text += "; check the port chosen under \"Select the LPT:\", the cable and the board's "
                "power.";
    message(text + " " + nothing, "NO BOARD!");
    return false;
}

// On the worker thread, once the chip is known: a configuration this board
// cannot enter again is burnt only when the person says so.
bool MainWindow::lockoutconfirmed() {
    const auto question = lockoutquestion(state);
    return !question || message(*question, "LOCKED OUT?", Buttons::YesNo) == Answer::Yes;
}

bool MainWindow::chipreadable() {
    if (!boardanswers("No file was written.")) return false;
    const auto word = protectedword(state);
    if (!word) return true;
    const ChipRow& row = currentchip(state);
    const std::string erase = " Only \"Erase\" lifts the protection, and it clears the chip.";
    if (isoriginal(row))
        message("quibb9x: the chip is code-protected (configuration word " + hex4(*word) +
                    "): its memory reads as zeros, so no file was written." + erase,
                "PROTECTED!");
    else  // which words it closes
        message("quibb9x: the chip is code-protected (configuration word " + hex4(*word) + ": " +
                    closedclause(row, closedranges(row, static_cast<uint16_t>(*word))) +
                    "): a dump would pass those zeros off as the chip's words, so no file was "
                    "written." + erase,
                "PROTECTED!");
    return false;
}

// Under "Auto" the image is measured against the chip the device ID names.
void MainWindow::bProgramar_Click() {
    if ((!autochip && !imagefits()) || !confirmword()) return;
    const ChipRow* before = state.chip;
    runoperation(
        [this] {
            if (!(boardanswers("Nothing was burnt.") && rightchip("Nothing was burnt.") &&
                  (!autochip || imagefits()) && fitschip("Nothing was burnt.") &&
                  calibrationready("Nothing was burnt.")))
                return;
            const bool lockout = lockoutquestion(state).has_value();
            if (lockout && !lockoutconfirmed()) return;
            if (!program2(state, *this, modeprogram)) return;
            checksumlines();
            if (lockout)
                for (const std::string& line : wrapped(lockoutnote(state), statuswidth)) statusAdd(line);
        },
        [this, before] { chipchanged(before); });
}
void MainWindow::bverificar_Click() {
    if (!autochip && !imagefits()) return;
    const ChipRow* before = state.chip;
    runoperation(
        [this] {
            if (boardanswers("Nothing was verified.") && rightchip("Nothing was verified.") &&
                (!autochip || imagefits()) && program2(state, *this, modeverify))
                checksumlines();
        },
        [this, before] { chipchanged(before); });
}
// The original chips have no device ID: their erase starts as it always has.
void MainWindow::bBorrar_Click() {
    const ChipRow* before = state.chip;
    runoperation(
        [this] {
            if (checksid() &&
                (!boardanswers("Nothing was erased.") || !rightchip("Nothing was erased.")))
                return;
            if (calibrationready("Nothing was erased.")) erasechip(state, *this);
        },
        [this, before] { chipchanged(before); });
}
void MainWindow::bbuscar_Click() {
    runoperation([this] { checkhardware(state, *this); });
}
void MainWindow::bTestear_Click() {
    runoperation([this] { troubleshoot(state, *this); });
}

// ---- Operations off the window's thread ----

void MainWindow::runoperation(std::function<void()> work, std::function<void()> after) {
    if (busy()) return;
    stop::clear();
    afteroperation = std::move(after);
    lockcontrols();
    worker = std::thread([this, work = std::move(work)] {
        {
            ProgressWaits waits(*this);
            work();
        }
        flushprogress();  // the bar's last step, before the operation ends
        QMetaObject::invokeMethod(this, [this] { finishoperation(); }, Qt::QueuedConnection);
    });
}

// Runs after everything the operation showed: it was queued behind it.
void MainWindow::finishoperation() {
    worker.join();
    chipline.clear();
    unlockcontrols();
    // What the operation changes in the window's controls comes after they
    // are back as they were (a dump leaves Burn and Verify disabled).
    if (afteroperation) afteroperation();
    afteroperation = nullptr;
    emit idle();
    if (closewhenidle) {
        closewhenidle = false;
        close();
    }
}

// Everything that could change the state record or start another operation.
// A control that was already disabled stays so: its frame is not touched,
// and a button is only handed back when it was enabled before.
void MainWindow::lockcontrols() {
    focusbefore = focusWidget();
    locked.clear();
    for (QWidget* w : std::initializer_list<QWidget*>{Frame4, Frame5, Frame2, Frame3, Frame8,
                                                      bFields, spinTprog, bProgramar, bverificar, bBorrar,
                                                      bbuscar, bTestear, Command1}) {
        if (!w->isEnabled()) continue;
        w->setEnabled(false);
        locked.push_back(w);
    }
}

void MainWindow::unlockcontrols() {
    for (QWidget* w : locked) w->setEnabled(true);
    locked.clear();
    if (focusbefore && focusbefore->isEnabled()) focusbefore->setFocus();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && busy()) {
        stop::request();
        return;
    }
    QWidget::keyPressEvent(event);
}

// The window closes once the operation has stopped and left the board idle.
void MainWindow::closeEvent(QCloseEvent* event) {
    if (!busy()) {
        QWidget::closeEvent(event);
        return;
    }
    stop::request();
    closewhenidle = true;
    event->ignore();
}

void MainWindow::babout_Click() {
    if (!about) about = new AboutWindow(version, this);
    about->show();
    about->raise();
    about->activateWindow();
}

void MainWindow::Command1_Click() {
    save_ini(state, filename(text_filename));
    savechip(state, chipsetting());
}

// ---- Settings and overrides ----

void MainWindow::load_ini(const Overrides& o) {
    const IniValues v = readsettings(state);

    if (auto pic = readint16(v.pic)) state.picmodel = *pic;
    // The device options or "Other:" show the chip of the settings file and
    // --device, chosen as the command line chooses it.
    const ChipChoice chosen = chipchoice(v, o);
    if (chosen.row) showchip(*chosen.row);
    if (chosen.automatic) chooseother(nullptr);

    const PortChoice port = portchoice(v.lpt);
    (port.option == 4 ? Option4 : port.option == 5 ? Option5 : Option6)->setChecked(true);
    if (port.text) text_port->setText(qs(*port.text));

    if (auto word = readint16(v.cword)) state.configmem[0] = *word;
    if (!v.cword.empty()) wordfrom = WordFrom::settings;  // as the command line counts it
    updateC();
    // CONFIG2, for the chip the settings chose when it has one.
    if (auto word2 = readint16(v.cword2); word2 && !v.cword2.empty())
        editor.setfield(state, 1, 0x3FFF, static_cast<uint16_t>(*word2));

    setfilename(text_filename, v.load);
    if (auto ms = readtprog(v.tprog)) spinTprog->setValue(*ms);
}

void MainWindow::choose(QRadioButton* o, void (MainWindow::*handler)()) {
    // An option already selected does not report a change; its handler runs
    // anyway so the override's values stand.
    if (o->isChecked()) (this->*handler)();
    else o->setChecked(true);
}

// The command line takes the same port: the simulated board answers only at
// its own.
void MainWindow::takesimulatedport() {
    const auto base = binding::simulatedbase();
    if (!base) return;
    if (*base == static_cast<uint16_t>(LPT1)) {
        choose(Option4, &MainWindow::Option4_Click);
    } else if (*base == static_cast<uint16_t>(LPT2)) {
        choose(Option5, &MainWindow::Option5_Click);
    } else {
        choose(Option6, &MainWindow::Option6_Click);
        text_port->setText(qs(hexupper(*base)));
    }
}

void MainWindow::applyoverrides(const Overrides& o) {
    if (o.port) {
        if (*o.port == LPT1) {
            choose(Option4, &MainWindow::Option4_Click);
        } else if (*o.port == LPT2) {
            choose(Option5, &MainWindow::Option5_Click);
        } else {
            choose(Option6, &MainWindow::Option6_Click);
            text_port->setText(qs(hexupper(static_cast<uint16_t>(*o.port))));
        }
    }
    if (o.config) {
        wordfrom = WordFrom::edit;
        editor.setword(state, *o.config);
        showeditor();
    }
    if (o.config2) editor.setfield(state, 1, 0x3FFF, static_cast<uint16_t>(*o.config2));
    if (o.tprog) spinTprog->setValue(*o.tprog);
}

// ---- The original chips' programming time ----

void MainWindow::buildtprog() {
    // In the configuration frame's free space below it, shown for the
    // original chips, as "Bits by name..." is for the others.
    LabelTprog = place(new QLabel("Programming time (ms):", Frame6), "LabelTprog",
                       twips(120, 4500, 1815, 255));
    spinTprog = place(new QSpinBox(Frame6), "spinTprog", twips(1920, 4440, 735, 375),
                      "How long each word, the erase and the entry into programming mode are "
                      "given on a PIC16C84, 16F84, 16F83 or 16F84A: 7 to 20 ms. 7 suits "
                      "them; an old 16C84 may want 10.");
    spinTprog->setRange(7, 20);
    spinTprog->setValue(state.tprog);
}

void MainWindow::spinTprog_Change(int ms) { state.tprog = static_cast<int16_t>(ms); }
