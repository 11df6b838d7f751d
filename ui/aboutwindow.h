// SPDX-License-Identifier: GPL-2.0-or-later
// The about window: modeless, filled once each time it is loaded; "&OK"
// (or the close box) hides and unloads it, so the next "&About" loads it
// afresh.
#pragma once
#include <QDialog>
#include <string>

class QListWidget;
class QPushButton;

class AboutWindow : public QDialog {
    Q_OBJECT
public:
    AboutWindow(const std::string& version, QWidget* parent = nullptr);

    void Command1_Click();

    QListWidget* List1;
    QPushButton* Command1;

private:
    void Form_Load(const std::string& version);
};
