// Quillantern on the Linux desktop: pick a colour, read it as decimal,
// channels and HTML code. Reads no files, settings or environment of its own.
#include <QApplication>

#include "qt/form_widget.hpp"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Quillantern");
    QGuiApplication::setDesktopFileName("quillantern");

    quill::qt::FormWidget window;
    window.show();
    const int status = QApplication::exec();
    return window.ExitCode() != 0 ? window.ExitCode() : status;
}
