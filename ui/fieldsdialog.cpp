// SPDX-License-Identifier: GPL-2.0-or-later
#include "fieldsdialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <cstdio>

namespace {

QString hex4(uint16_t word) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", word);
    return text;
}

}  // namespace

FieldsDialog::FieldsDialog(const ChipRow& row,
                           std::function<std::pair<uint16_t, uint16_t>()> words_,
                           std::function<void(const ConfigField&, uint16_t)> set_,
                           QWidget* parent)
    : QDialog(parent), fields(configfields(row)), words(std::move(words_)), set(std::move(set_)) {
    setObjectName("FieldsDialog");
    setWindowTitle(QString::fromStdString("Configuration bits of the " + chiplabel(row)));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    for (size_t i = 0; i < fields.size(); ++i) {
        const ConfigField& f = fields[i];
        auto* box = new QComboBox(this);
        box->setObjectName(QString::fromStdString(std::string("field") + f.name));
        for (const FieldChoice& c : f.choices) box->addItem(QString::fromStdString(c.words));
        box->setPlaceholderText("(a setting without a name)");
        connect(box, &QComboBox::currentIndexChanged, this, [this, i](int index) {
            if (index < 0) return;
            set(fields[i], fields[i].choices[static_cast<size_t>(index)].value);
            refresh();
        });
        form->addRow(QString::fromStdString(std::string(f.what) + " (" + f.name + "):"), box);
        boxes.push_back(box);
    }
    value = new QLabel(this);
    value->setObjectName("fieldsvalue");
    layout->addWidget(value);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::accept);
    layout->addWidget(close);
    refresh();
}

void FieldsDialog::refresh() {
    const auto [config1, config2] = words();
    for (size_t i = 0; i < fields.size(); ++i) {
        const QSignalBlocker hold(boxes[i]);
        const auto choice = fieldchoice(fields[i], fields[i].word == 0 ? config1 : config2);
        boxes[i]->setCurrentIndex(choice ? static_cast<int>(*choice) : -1);
    }
    bool two = false;
    for (const ConfigField& f : fields) two = two || f.word == 1;
    value->setText("Configuration word: 0x" + hex4(config1) +
                   (two ? "    CONFIG2: 0x" + hex4(config2) : QString()));
}
