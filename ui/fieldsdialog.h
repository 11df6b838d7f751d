// SPDX-License-Identifier: GPL-2.0-or-later
// The configuration bits of a chip after the original ones, by name: one
// drop-down per named field (oscillator, watchdog, MCLRE, BOREN, LVP, CPD,
// protection, CONFIG2 on the 16F87/88), each choice in words. A change goes
// to the window's editor at once.
#pragma once
#include <QDialog>
#include <functional>
#include <vector>

#include "settings/configfields.h"

class QComboBox;
class QLabel;

class FieldsDialog : public QDialog {
    Q_OBJECT
public:
    // `words` gives the configuration word and CONFIG2 as they stand;
    // `set` stores one field's choice.
    FieldsDialog(const ChipRow& row, std::function<std::pair<uint16_t, uint16_t>()> words,
                 std::function<void(const ConfigField&, uint16_t)> set, QWidget* parent);

    // The drop-downs from the words, without reporting a change.
    void refresh();

    std::vector<QComboBox*> boxes;  // one per field, in the order of configfields()

private:
    std::span<const ConfigField> fields;  // the row's own
    std::function<std::pair<uint16_t, uint16_t>()> words;
    std::function<void(const ConfigField&, uint16_t)> set;
    QLabel* value;
};
