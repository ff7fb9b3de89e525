// Quillantern on the Linux desktop: pick a colour, read it as decimal,
// channels and HTML code. Reads no files, settings or environment of its own.
#include <QApplication>
#include <QIcon>

#include "qt/form_widget.hpp"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Quillantern");
    QGuiApplication::setDesktopFileName("quillantern");
    // The sizes a title bar and a task switcher show; menus and launchers
    // take the larger ones from the installed icon theme.
    QIcon icon;
    for (const int size : {16, 32, 48, 64}) icon.addFile(QString(":/icons/quillantern-%1.png").arg(size));
    QApplication::setWindowIcon(icon);

    quill::qt::FormWidget window;
    window.show();
    const int status = QApplication::exec();
    return window.ExitCode() != 0 ? window.ExitCode() : status;
}
