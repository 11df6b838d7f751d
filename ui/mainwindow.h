// The program's one working window. It owns the state record and the
// configuration editor's model, speaks to the person through the Frontend
// seam, and wires every button to its operation. Message boxes and file
// dialogs go through replaceable functions so that tests answer them.
#pragma once
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "core/frontend.h"
#include "core/overrides.h"
#include "core/state.h"
#include "ui/aboutwindow.h"
#include "settings/configword.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class BitBox;

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

    void load_ini();
    void applyoverrides(const Overrides& o);

    AboutWindow* aboutWindow() const { return about; }

private:
    void buildwidgets();
    void connecthandlers();
    void Form_Load();
    void showeditor();  // the editor's widgets from the model, no handler runs
    void enableburn(bool on);
    void choose(QRadioButton* option, void (MainWindow::*handler)());

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
    QPointer<AboutWindow> about;
};
