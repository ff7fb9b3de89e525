// Quillantern: pick a colour, read it as decimal, channels and HTML code.
// The program takes no arguments and reads no files, settings or environment.
#include "window/main_window.hpp"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
    return quill::win32::MainWindow::Run(instance, show_command);
}
