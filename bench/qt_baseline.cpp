// The Qt start-up baseline: the least Qt Widgets program that shows the same
// fixed window as Quillantern with the same fifteen plain widgets, and
// nothing else (no font fitting, no commands, no core).
#include <QApplication>
#include <QWidget>

#include "bench/baseline_widgets.hpp"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle("Quillantern baseline");
    AddBaselineWidgets(window);
    window.show();
    return QApplication::exec();
}
