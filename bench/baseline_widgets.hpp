// The fifteen plain widgets of the Qt start-up baseline, at their 96 DPI
// places in the 320 x 184 window: what the least Qt program that shows
// Quillantern's window builds (no font fitting, no commands, no core).
#pragma once

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

inline void AddBaselineWidgets(QWidget& window) {
    window.setFixedSize(320, 184);
    (new QPushButton("Selecteaza culoarea..", &window))->setGeometry(184, 8, 129, 25);
    (new QLabel("Zecimal:", &window))->setGeometry(8, 41, 41, 17);
    (new QLineEdit(&window))->setGeometry(64, 40, 113, 19);
    (new QPushButton("Copiaza in clipboard", &window))->setGeometry(184, 37, 129, 25);
    const char* rows[] = {"Red:", "Green:", "Blue:"};
    for (int i = 0; i < 3; ++i) {
        (new QLabel(rows[i], &window))->setGeometry(8, 81 + 24 * i, 41, 17);
        (new QLineEdit(&window))->setGeometry(64, 80 + 24 * i, 113, 19);
    }
    (new QLineEdit(&window))->setGeometry(80, 160, 97, 19);
    (new QLabel("Hexa (HTML):", &window))->setGeometry(8, 161, 73, 17);
    auto* swatch = new QFrame(&window);
    swatch->setFrameShape(QFrame::Box);
    swatch->setGeometry(8, 8, 169, 25);
    for (const int y : {72, 152}) {
        auto* line = new QFrame(&window);
        line->setFrameShape(QFrame::HLine);
        line->setGeometry(8, y, 304, 1);
    }
}
