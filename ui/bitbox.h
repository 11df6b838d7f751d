// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
#include <QLabel>
#include <QMouseEvent>
#include <functional>

// One bit of the configuration word: shows "0" or "1", cannot be typed
// into, and toggles on a double-click.
class BitBox : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> onDoubleClick;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && onDoubleClick) onDoubleClick();
    }
};
