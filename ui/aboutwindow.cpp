// SPDX-License-Identifier: GPL-2.0-or-later
#include "aboutwindow.h"

#include <QListWidget>
#include <QPushButton>

namespace {

QRect twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

const std::string separator(89, '-');

}  // namespace

AboutWindow::AboutWindow(const std::string& version, QWidget* parent) : QDialog(parent) {
    setObjectName("Form_about");
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle("ABOUT QUIBB for Windows");
    setFixedSize(6765 / 15, 4350 / 15);

    // The list is larger than the window, so it fills it to the edges.
    List1 = new QListWidget(this);
    List1->setObjectName("List1");
    List1->setGeometry(twips(0, 0, 7215, 5070));
    QPalette grey = List1->palette();
    grey.setColor(QPalette::Base, QColor(0xC0, 0xC0, 0xC0));
    List1->setPalette(grey);
    // Condensed, so the 89-hyphen separators and the longest lines fit the
    // window's width.
    QFont listfont("DejaVu Sans");
    listfont.setStyleHint(QFont::SansSerif);
    listfont.setStretch(QFont::Condensed);
    listfont.setPointSizeF(9.75);
    listfont.setBold(true);
    List1->setFont(listfont);

    Command1 = new QPushButton("&OK", this);
    Command1->setObjectName("Command1");
    Command1->setGeometry(twips(2640, 3960, 1335, 285));
    QFont okfont("Times New Roman");
    okfont.setStyleHint(QFont::Serif);
    okfont.setPointSizeF(8.25);
    Command1->setFont(okfont);
    Command1->raise();
    connect(Command1, &QPushButton::clicked, this, &AboutWindow::Command1_Click);

    Form_Load(version);
}

void AboutWindow::Form_Load(const std::string& version) {
    const std::string lines[] = {
        "-=[ QUIBB for Windows ]=-   Home page: the quibb9x project's repository",
        "**Version " + version + "**",
        separator,
        "This software is a complete rewrite of the original QUIBB.",
        "Code, user interface and improvements: the quibb9x developers, 2026; "
        "free software under the GNU GPL, version 2 or later.",
        "Contact: the quibb9x project's issue tracker.",
        separator,
        "Earlier program: QUIBB, by its original developers.",
        "Its web address is not recorded here.",
        "Based on, and compatible with, the classic PIC16x84 programmer.",
        "Its designer's address is not recorded here.",
        separator,
        "Dedicated to everyone who builds their own tools.",
    };
    for (const auto& line : lines) List1->addItem(QString::fromStdString(line));
}

void AboutWindow::Command1_Click() {
    hide();
    close();  // deletes the window: the next "&About" loads it afresh
}
