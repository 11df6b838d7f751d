// SPDX-License-Identifier: GPL-2.0-or-later
// The program's one working window. It owns the state record and the
// configuration editor's model, speaks to the person through the Frontend
// seam, and wires every button to its operation. Message boxes and file
// dialogs go through replaceable functions so that tests answer them.
//
// Device operations run on a worker thread so that the window stays alive:
// the Frontend calls they make are carried to the window's thread (queued,
// or waiting for the answer of a box), and while one runs every control that
// could change the state record or start another operation is locked.
#pragma once
#include <QPointer>
#include <QWidget>
#include <array>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/frontend.h"
#include "core/overrides.h"
#include "core/state.h"
#include "image/dumps.h"
#include "ui/aboutwindow.h"
#include "ui/fieldsdialog.h"
#include "settings/configword.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QSpinBox;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class BitBox;
struct ChipRow;

// What the calibration box holds: the values as typed.
struct CalibrationEntry {
    std::string osccal;   // "0x3494"
    std::string bandgap;  // "10"
};

// What a file dialog is asked for.
struct FileRequest {
    bool save = false;     // save dialog, else open
    std::string title;     // "Open HEX File", "SAVE BIN", "SAVE HEX"
    std::string proposed;  // the file name offered ("*.hex" offers none)
    std::string filter;    // "*.hex", "*.bin"
    std::string suffix;    // added to a name typed without one
};

class MainWindow : public QWidget, public Frontend {
    Q_OBJECT
public:
    // Runs the whole start-up, then applies the run's overrides.
    explicit MainWindow(const Overrides& overrides = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    State state;
    ConfigEditor editor;

    // The person's answers: a message box (empty title = the program's
    // title) and a file dialog (nullopt = cancelled). Real dialogs unless
    // replaced.
    std::function<Answer(const std::string& text, const std::string& title, Buttons)> askBox;
    std::function<std::optional<std::string>(const FileRequest&)> askFile;
    // The calibration box (ui/calibrationbox.cpp): the text and the values
    // it starts with; nullopt = cancelled. A real dialog unless replaced.
    std::function<std::optional<CalibrationEntry>(const std::string& text,
                                                  const CalibrationEntry& proposed)>
        askCalibration;

    // Frontend
    void statusClear() override;
    void statusAdd(const std::string& line) override;
    void statusRepaint() override;
    void fileListClear() override;
    void fileListAdd(const std::string& line) override;
    void progressMax(int maximum) override;
    void progressValue(int value) override;
    Answer message(const std::string& text, const std::string& title,
                   Buttons buttons = Buttons::Ok) override;
    void windowRepaint() override;

    // Device and port options, the port box.
    void Option1_Click();
    void Option2_Click();
    void Option3_Click();
    void Option4_Click();
    void Option5_Click();
    void Option6_Click();
    void GetPort();
    void text_port_Change();

    // "Other:" and its list: every other chip of the table, then "Auto
    // (device ID)". Choosing from the list selects "Other:".
    void OptionOther_Click();
    void comboChip_Change();
    // Selects "Other:" with the chip (nullptr: "Auto (device ID)"); false
    // when the list does not hold it.
    bool chooseother(const ChipRow* row);
    bool autodevice() const { return autochip; }
    // The chip after the original ones set by name ("Bits by name...").
    void bFields_Click();
    FieldsDialog* fieldsDialog() const { return fields; }

    // The configuration editor: the model's handler, then the widgets.
    void C_DblClick(int index);
    void OSC_Click(int index);
    void cWDTE_Click();
    void cPWRTE_Click();
    void cCP_Click();
    void updateC();

    // Buttons.
    void bCargar_Click();
    void bhex_Click();
    void bbin_Click();
    void bProgramar_Click();
    void bverificar_Click();
    void bBorrar_Click();
    void bbuscar_Click();
    void bTestear_Click();
    void babout_Click();
    void Command1_Click();

    // The settings file, with the run's --device in the choice of the chip;
    // then the rest of the run's overrides.
    void load_ini(const Overrides& o = {});
    void applyoverrides(const Overrides& o);
    // --simulate without a port: the simulated board's own.
    void takesimulatedport();

    AboutWindow* aboutWindow() const { return about; }

    // An operation is under way on the worker thread.
    bool busy() const { return worker.joinable(); }

signals:
    // An operation has ended and the controls are back.
    void idle();

protected:
    void keyPressEvent(QKeyEvent* event) override;  // Escape stops an operation
    void closeEvent(QCloseEvent* event) override;   // stops an operation first

private:
    struct PendingBox;

    // Runs `work` on the worker thread with the controls locked; `after`
    // runs on the window's thread once it is over and the controls are back.
    void runoperation(std::function<void()> work, std::function<void()> after = {});
    void finishoperation();
    void lockcontrols();
    void unlockcontrols();
    // Runs `call` on the window's thread: at once when already there, else
    // queued behind what the operation showed before.
    void onwindow(std::function<void()> call);
    void showpendingbox(const std::shared_ptr<PendingBox>& box);
    // The operation's progress waits here for the next moment the worker
    // can spare: the start of a sleep, its next other call, or 20 ms on.
    class ProgressWaits;
    void holdprogress(std::optional<int> maximum, std::optional<int> value);
    void flushprogress();
    bool imagefits();  // the image's program words fit the chosen device
    // Burn asks before it burns a configuration word that nobody chose.
    bool confirmword();
    // The checks before programming mode, on the worker thread: each says
    // why in a box when the operation cannot go on. `nothing` ends the box
    // ("Nothing was burnt.").
    bool boardanswers(const std::string& nothing);
    bool nocheck = false;  // --no-check: Burn, Verify, Erase and the dumps skip it
    // Burn asks before a configuration word that this board cannot enter
    // again (the internal oscillator with MCLR off): false for No.
    bool lockoutconfirmed();
    // The chip in the socket is the chosen one (by its device ID), or under
    // "Auto" becomes the chosen one; else a box, and false.
    bool rightchip(const std::string& nothing);
    // Whether Burn, Verify and Erase read the device ID first.
    bool checksid() const;
    // On the worker thread, before anything is erased (ui/calibrationbox.cpp):
    // a chip that carries the factory's calibration has it read, and one
    // whose calibration is lost gets the box to type it in; false when the
    // box was cancelled (a status line then ends with `nothing`).
    bool calibrationready(const std::string& nothing);
    // Burn: a program written for a chip of the chosen chip's kin (one that
    // uses a register the chosen chip lacks) is refused in a box.
    bool fitschip(const std::string& nothing);
    std::optional<CalibrationEntry> askcalibrationfromworker(const std::string& text,
                                                             const CalibrationEntry& proposed);
    void buildcalibrationbox();  // the real dialog behind askCalibration
    // The device's controls after a change of chip: the editor's tooltips
    // and which of its controls the chip has, "Bits by name...".
    void chipchanged(const ChipRow* before);
    void showchipcontrols();
    bool chipreadable();
    void dump(const FileRequest& request,
              bool (*writer)(State&, Frontend&, const ChipReader&, ReadOut&));
    // After a burn or verify that passed: the checksum of the file loaded.
    void checksumlines();

    void buildwidgets();
    void connecthandlers();
    void Form_Load(const Overrides& overrides);
    void showeditor();  // the editor's widgets from the model, no handler runs
    void enableburn(bool on);
    void choose(QRadioButton* option, void (MainWindow::*handler)());
    // The chip choice beside the three options (ui/chipchoice.cpp).
    void buildchipwidgets();
    void buildtprog();
    void spinTprog_Change(int ms);
    void connectchiphandlers();
    void setoriginal(int16_t model);  // a device option's handler
    // The settings file's CHIP: what "Other:" holds.
    std::string chipsetting() const;
    // Shows a chosen chip: its device option, or "Other:" with it.
    void showchip(const ChipRow& row);
    // The board of --board, else of the settings file's BOARD, taken before
    // start-up's first port access so that the port goes straight to that
    // board's idle levels. The status line to show after the welcome: one
    // naming a board that is not the original one, or the mistake.
    std::string takeboard(const std::optional<std::string>& given);

    QGroupBox *Frame1, *Frame2, *Frame3, *Frame4, *Frame5, *Frame6, *Frame7, *Frame8, *Frame9;
    QPushButton *bCargar, *Command2, *bhex, *bbin, *bProgramar, *bverificar, *bBorrar, *bbuscar,
        *bTestear, *babout, *Command1;
    QLineEdit *text_filename, *text_port, *cvalue;
    QListWidget *List2, *List3;
    QProgressBar* ProgressBar1;
    QRadioButton *Option1, *Option2, *Option3, *Option4, *Option5, *Option6;
    QLabel *Label1, *Label2;
    std::array<BitBox*, 14> C{};
    std::array<QRadioButton*, 4> OSC{};
    QCheckBox *cCP, *cPWRTE, *cWDTE;
    QRadioButton* OptionOther;
    QComboBox* comboChip;
    QPushButton* bFields;
    // The original chips' programming time, where bFields stands for the
    // other chips.
    QLabel* LabelTprog;
    QSpinBox* spinTprog;
    QPointer<FieldsDialog> fields;
    bool autochip = false;  // "Auto (device ID)" chosen
    std::string chipline;   // the chip "Auto" found, kept during the operation
    QPointer<AboutWindow> about;
    std::string version;  // for the about window, without reaching into the record

    std::thread worker;
    std::function<void()> afteroperation;
    std::vector<QWidget*> locked;  // what lockcontrols disabled
    QPointer<QWidget> focusbefore;
    bool closewhenidle = false;
    bool dumped = false;  // the last dump passed its checks and ran
    std::vector<bool> givenwords;  // the program words the HEX file loaded gives

    // Where the configuration word in the editor came from.
    enum class WordFrom { startup, earlierfile, file, settings, edit };
    WordFrom wordfrom = WordFrom::startup;
    // A box asked for by the operation waits here for the person's answer;
    // `abandoned` lets the operation go on when the window is destroyed.
    std::mutex boxmutex;
    std::condition_variable boxanswered;
    bool abandoned = false;
    std::mutex progressmutex;
    std::optional<int> pendingmaximum, pendingvalue;
    int64_t progresssentNs = 0;
};
