// Quillantern on the Linux desktop: pick a colour, read it as decimal,
// channels and HTML code. Reads no files, settings or environment of its own.
#include <QApplication>

#include "qt/clipboard_handoff.hpp"
#include "qt/clipboard_keeper.hpp"
#include "qt/command_line.hpp"
#include "qt/form_widget.hpp"

int main(int argc, char** argv) {
    // Started by the program itself to keep a copied value (never by a user).
    if (quill::qt::IsClipboardKeeper(argc, argv)) return quill::qt::RunClipboardKeeper();
    if (const auto status = quill::qt::HandleCommandLine(argc, argv)) return *status;  // before Qt: no display needed
    QApplication application(argc, argv);
    QApplication::setApplicationName("Quillantern");
    QGuiApplication::setDesktopFileName("quillantern");

    quill::qt::FormWidget window;
    window.show();
    const int status = QApplication::exec();
    const int exit_code = window.ExitCode() != 0 ? window.ExitCode() : status;
    // The copied value outlives the window, as it does on Windows.
    quill::qt::HandOverClipboardAtExit(exit_code == 0);
    return exit_code;
}
