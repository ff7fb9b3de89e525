// make bench, Qt side: click -> colour dialog shown, and OK -> all five
// read-outs filled, measured in the program's own process (the dialog is a
// child of its window).
//   qt_dialog_timing ROUNDS
#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "qt/form_widget.hpp"

namespace {

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    quill::qt::FormWidget window;
    window.show();
    std::vector<double> to_dialog, to_readouts;
    QElapsedTimer clock;
    QTimer confirm;
    int round = 0;
    QObject::connect(&confirm, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        confirm.stop();
        to_dialog.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        dialog->setCurrentColor(QColor(255, 128, round % 256));
        clock.restart();
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    auto* button = static_cast<QPushButton*>(window.Control(quill::kIdCommand1));
    auto* hexa = static_cast<QLineEdit*>(window.Control(quill::kIdTxtHexa));
    QTimer::singleShot(200, [&] {
        for (round = 0; round < rounds; ++round) {
            confirm.start(0);
            clock.start();
            button->click();  // returns once the read-outs are filled
            if (hexa->text().isEmpty()) return QApplication::exit(1);
            to_readouts.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
        std::printf("click -> colour dialog visible: first %.1f ms, then median %.1f ms (%d opens)\n",
                    to_dialog.front(), Median({to_dialog.begin() + 1, to_dialog.end()}), rounds);
        std::printf("OK -> all five read-outs filled: median %.1f ms\n", Median(to_readouts));
        QApplication::exit(0);
    });
    return QApplication::exec();
}
